// The background editor ("BackgroundView"): a popover in which the person sets the background of the page
// shown: a colour (one colour, two colours with an angle, or a multi-stop gradient, linear or radial), one of
// the background images of the application and of the content packs (tiled or filling the page), or an image
// of their own (tiled, stretched, or covering the page). The controls write straight into the page's own
// background object, which the page records as undo steps; the editor tells its delegate (the document
// window) so that the page is redrawn, and hands it what concerns the page or the project: applying the
// background to every page, swapping the two colours, and multi-stop changes.
//
// A background whose image is not among those listed (its content pack was removed) shows no selection in
// the list and changes nothing.
#pragma once

#include "inspectors/view_controller.h"
#include "platform/foundation/notification_center.h"
#include "platform/gfx/color.h"

#include <QPointer>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include "controls/color_well.h"
#include "controls/gradient_editor.h"
#include "controls/image_browser_view.h"
#include "controls/segmented_control.h"
#include "controls/stepper.h"
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class KXBackground;
class QRadioButton;
class QButtonGroup;

namespace kx {
class ImageBrowserView;
}
namespace kx::controls {
class KXAdGradientView;
class KXColorWell;
class KXPopupWindow;
class KXSegmentedControl;
class KXStepper;
}  // namespace kx::controls

class KXBackgroundViewController;

class KXBackgroundViewControllerDelegate {
public:
    virtual ~KXBackgroundViewControllerDelegate() = default;
    virtual void backgroundViewControllerDidChangeBackground(KXBackgroundViewController* editor) = 0;
    // The multi-stop gradient changed: its colours and the 8 stop locations.
    virtual void undoAdvanceGradientWithColorArray(const std::vector<kx::Color>& colors,
                                                   const std::vector<double>& locations) = 0;
    virtual void applyToAllCanvasWithBackground(KXBackground* background) = 0;
    virtual void backgroundSwapColors(KXBackground* background) = 0;
};

class KXBackgroundViewController : public KXViewController {
    Q_OBJECT
public:
    // The heights of the colour section's rows: one well, and two wells with the angle controls.
    static constexpr int kSolidRowHeight = 31;
    static constexpr int kGradientRowHeight = 62;
    static constexpr int kColorSectionExtra = 30;
    // The image section is this much wider than the others.
    static constexpr int kImageSectionExtraWidth = 30;

    KXBackgroundViewController();
    ~KXBackgroundViewController() override;

    KXBackgroundViewControllerDelegate* delegate() const { return m_delegate; }
    void setDelegate(KXBackgroundViewControllerDelegate* delegate) { m_delegate = delegate; }

    // Shows the popover with its top edge centred on the point (screen coordinates), editing the background
    // (not owned; the page keeps it), or hides it when it is shown.
    void popupAtPosition(const QPoint& point, KXBackground* background);
    void hideWindow();
    bool isWindowVisible() const;
    KXBackground* background() const { return m_background; }
    // Shows the background's values in every control.
    void synchronousBackground();

    // The images of a category ("Tile" or "Stretch"): the application's own, then each content pack's.
    static QStringList backgroundImages(const QString& category);
    // Where the content packs are looked for; tests point it at a folder of theirs. Empty: the caches
    // folder's "Boxes".
    static void setPackFolder(const QString& folder);

    // ---- what the controls do ----
    // Fill type: 0 colour, 1 image, 2 own image.
    void backgroundTypeChanged(int type);
    // Colour kind: 0 solid, 1 gradient, 2 multi-stop.
    void fillStyleChange(int kind);
    void gradientStyleChange(int type);
    // A slider's value (shows (angle + 90) mod 360) or a stepper's value (the angle).
    void colorAngleFromSlider(int value);
    void colorAngleFromStepper(int value);
    void colorAngleTyped(const QString& text);
    void color1Changed(const QColor& color);
    void color2Changed(const QColor& color);
    void swapColorAction();
    void applyToAllCanvas();
    // Image category: 0 Tile, 1 Stretch.
    void imageFillTypeChanged(int category);
    void imageBrowserSelectionDidChange();
    void tileScaleChanged(double scale);
    // Own image: row 0 tile, 1 stretch, 2 cover.
    void customFillStyleChanged(int row);
    void setCustomImagePath(const QString& path);
    void chooseCustomImage();
    void adGradientDidChange();

    // ---- controls (tests look at them) ----
    kx::controls::KXSegmentedControl* scBackgroundType() const { return m_scBackgroundType; }
    QWidget* colorView() const { return m_colorView; }
    QWidget* imageView() const { return m_imageView; }
    QWidget* customImageView() const { return m_customImageView; }
    QComboBox* pubColorType() const { return m_pubColorType; }
    kx::controls::KXColorWell* cwColor1() const { return m_cwColor1; }
    kx::controls::KXColorWell* cwColor2() const { return m_cwColor2; }
    QPushButton* btColorSwap() const { return m_btColorSwap; }
    QSlider* slColorAngle() const { return m_slColorAngle; }
    kx::controls::KXStepper* stColorAngle() const { return m_stColorAngle; }
    QLineEdit* tfColorAngle() const { return m_tfColorAngle; }
    kx::controls::KXAdGradientView* adGradientView() const { return m_adGradientView; }
    kx::controls::KXSegmentedControl* gradientStyle() const { return m_gradientStyle; }
    QSlider* slGradientColorAngle() const { return m_slGradientColorAngle; }
    kx::controls::KXStepper* stGradientColorAngle() const { return m_stGradientColorAngle; }
    QLineEdit* tfGradientColorAngle() const { return m_tfGradientColorAngle; }
    QComboBox* pubImageType() const { return m_pubImageType; }
    kx::ImageBrowserView* ibvBackground() const { return m_ibvBackground; }
    QSlider* slTileScale() const { return m_slTileScale; }
    QLabel* ivCustomImage() const { return m_ivCustomImage; }
    QButtonGroup* mCustomFillStyle() const { return m_mCustomFillStyle; }
    QPushButton* btApplyToAll() const { return m_btApplyToAll; }
    const QStringList& images() const { return m_images; }
    kx::controls::KXPopupWindow* popupWindow() const { return m_popupWindow.get(); }

    // How the own image is chosen; tests answer with a path. Empty: a file dialog.
    using ImageChooser = std::function<QString(QWidget* parent)>;
    static void setImageChooser(ImageChooser chooser);

protected:
    QWidget* loadView() override;
    void viewDidLoad() override;

private:
    void tellDelegate();
    void showAngle(double angle);
    void setAngle(int angle);
    void updateColorBackgroundUI();
    void updateImageBackgroundUI();
    void updateCustomBackgroundUI();
    void updateBackgroundUI();
    void showSection(int type);
    void showColorKind(int kind);
    void rebuildImageList(int category);
    void selectImagePath(const QString& path);
    // Resizes the popover by the difference between two sections, keeping its top edge and centre.
    void changeWindowSize(int dw, int dh);
    int sectionHeight(int type) const;

    KXBackground* m_background = nullptr;
    KXBackgroundViewControllerDelegate* m_delegate = nullptr;
    std::unique_ptr<kx::controls::KXPopupWindow> m_popupWindow;
    // Where the shown popover points.
    QPoint m_anchor;
    bool m_observing = true;
    QStringList m_images;
    int m_imageCategory = -1;
    int m_tileIndex = 0;
    int m_stretchIndex = 0;
    int m_shownSection = 0;
    // The colour kind the colour section is laid out for (the menu may show the next one already).
    int m_colorKind = 0;
    std::vector<kx::NotificationToken> m_observers;

    QPointer<kx::controls::KXSegmentedControl> m_scBackgroundType;
    QPointer<QWidget> m_colorView;
    QPointer<QWidget> m_imageView;
    QPointer<QWidget> m_customImageView;
    QPointer<QComboBox> m_pubColorType;
    QPointer<QWidget> m_colorSubView;
    QPointer<kx::controls::KXColorWell> m_cwColor1;
    QPointer<kx::controls::KXColorWell> m_cwColor2;
    QPointer<QPushButton> m_btColorSwap;
    QPointer<QSlider> m_slColorAngle;
    QPointer<kx::controls::KXStepper> m_stColorAngle;
    QPointer<QLineEdit> m_tfColorAngle;
    QPointer<QWidget> m_colorAngleRow;
    QPointer<QWidget> m_gradientSubView;
    QPointer<kx::controls::KXAdGradientView> m_adGradientView;
    QPointer<kx::controls::KXSegmentedControl> m_gradientStyle;
    QPointer<QSlider> m_slGradientColorAngle;
    QPointer<kx::controls::KXStepper> m_stGradientColorAngle;
    QPointer<QLineEdit> m_tfGradientColorAngle;
    QPointer<QComboBox> m_pubImageType;
    QPointer<kx::ImageBrowserView> m_ibvBackground;
    QPointer<QSlider> m_slTileScale;
    QPointer<QLabel> m_ivCustomImage;
    QButtonGroup* m_mCustomFillStyle = nullptr;
    QPointer<QPushButton> m_btCustomSelecte;
    QPointer<QPushButton> m_btApplyToAll;
};
