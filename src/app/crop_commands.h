// The document window's crop commands: starting and ending crop mode for the selected photo, the crop
// panel's zoom slider with its two end buttons, and the reset that shows the whole image again.
//
// The slider's value v and the photo's crop rectangle c (unit coordinates of the image) are tied by
// c.width = 1 - v, so larger values zoom further in. Moving the slider keeps the crop's centre and
// proportions. The slider's minimum is the value at which the crop would fill as much of the image as it can
// around the same centre; a crop touching an edge of the image cannot grow around its centre, so its minimum
// is where it is now. The zoom-in end is 0.9, a crop one tenth of the image wide.
#pragma once

#include "platform/foundation/geometry.h"

#include <QObject>

class KXCropWindowController;
class KXGraph;
class KXPhoto;
class KXPreview;
class KXWindowPanels;
class QAction;
namespace kx {
class UndoManager;
}

// The slider value of a crop: 1 - its width.
float currentValueForCrop(const kx::Rect& crop);
// The smallest slider value the crop can take around its centre and with its proportions. A crop without
// height has no proportions to keep: its minimum is its current value.
float minValueForCrop(const kx::Rect& crop);
// The crop for the slider value `value`: width 1 - value, the height following the crop's proportions, the
// centre kept. A crop without a finite, positive width and height, or a value that gives no positive width,
// is returned unchanged.
kx::Rect cropForSliderValue(const kx::Rect& crop, float value);
// Sets the panel's slider from the photo's crop: its minimum (minValueForCrop for a crop that touches no
// edge of the image, else the current value) and its current value. A null photo counts as the zero crop.
void updateCropValueWithPhoto(KXCropWindowController& panel, const KXPhoto* photo);

class KXCropCommands : public QObject {
    Q_OBJECT
public:
    static constexpr float kMaxCropValue = 0.9f;

    // Connects the crop panel's slider and buttons of `panels` to the commands.
    KXCropCommands(KXWindowPanels* panels, KXPreview* preview);

    // The canvas view crops the photo of the first selected photo graph that shows an image and is not
    // locked (or leaves crop mode when that photo is being cropped already); nothing happens without one.
    void beginCrop();
    // The canvas view leaves crop mode.
    void cropDone();
    // The single selected photo shows its whole image again: its graph grows around what was visible until
    // the whole image shows at the same scale, as one undo step, and crop mode ends.
    void resetCrop();
    // The slider's ends: its minimum, and 0.9.
    void minCropRect();
    void maxCropRect();
    // The slider moved: the single selected photo takes the crop of the slider's value. A drag of the
    // slider's handle, from press to release, is one undo step.
    void cropRectChanged();

    // "Crop" for a menu: runs beginCrop, and is enabled while exactly one photo graph is selected, shows an
    // image and is not locked (kept up to date when a menu holding it is about to show).
    QAction* cropAction() const { return m_cropAction; }
    void validateCropAction();

private:
    // The one selected graph when it is a photo graph; null otherwise.
    KXGraph* singleSelectedPhotoGraph() const;
    void sliderPressed();
    void sliderReleased();

    KXWindowPanels* m_panels;
    KXPreview* m_preview;
    QAction* m_cropAction;
    // The undo manager holding the open group of a slider drag; null when none is open.
    kx::UndoManager* m_dragUndo = nullptr;
};
