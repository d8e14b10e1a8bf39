// The photo inspector, hosted in the style inspector's object section for shapes that hold a photo. It
// chooses the photo's effect from the effect catalogue, flips the shape, turns the image by quarter turns,
// chooses the decoration (none, border, picture frame or mask) with the border's width, colour and corner
// radius, sets the photo filter's five adjustments and the reflection's opacity. Every control writes
// straight into the photo or its shape; the page turns each write into an undo step, and a decoration
// switch, which writes several properties, is one group.
//
// Filling the controls from a photo never writes it: the controls' own reports are ignored meanwhile.
#pragma once

#include "inspectors/effect_chooser.h"
#include "inspectors/graph_view_controller.h"
#include "inspectors/value_row.h"

#include <QPointer>

#include <array>
#include <memory>

class KXImageEffectManager;
class KXPhoto;
class KXShape;
class QCheckBox;
class QComboBox;
class QPushButton;
class QSlider;

namespace kx::controls {
class KXColorWell;
}

// Posted with the inspector's window as object after the decoration became a frame or a mask: the
// document window then shows the frames or the masks of the resource panel.
inline const QString KXSelectFrameResources = QStringLiteral("KXSelectFrameResources");
inline const QString KXSelectMaskResources = QStringLiteral("KXSelectMaskResources");

class KXImageViewController : public KXObjectInspector {
public:
    enum Decoration { NoDecoration = 0, Border = 1, Frame = 2, Mask = 3 };
    enum Filter { Exposure = 0, Saturation, Brightness, Contrast, Hue, FilterCount };

    KXImageViewController();
    ~KXImageViewController() override;

    // Shows the photo of the shape (null or another kind of object: lets go of the photo it held; the
    // controls keep what they showed).
    void updateUIWithGraph(const std::shared_ptr<KXGraph>& graph) override;
    KXPhoto* photo() const;
    // Whether the photo shown has no image.
    bool isPhotoEmpty() const { return m_photoEmpty; }

    // Opens the effect chooser under the effect button, or closes it when it is open.
    void effectAction();
    // A cell of the effect chooser was chosen: the photo takes that effect (the first cell, "Original",
    // removes the effect) as one undo step.
    void imageBrowserSelectionDidChange(int index);
    // The catalogue the chooser lists: the application's unless another is given (for tests); it must
    // outlive the inspector.
    void setEffectCatalogue(const KXImageEffectManager* catalogue);

    // Segment 0 flips horizontally, 1 vertically.
    void flipAction(int segment);
    // Segment 0 turns the image by 90 degrees, 1 by 270.
    void rotateAction(int segment);
    void overlayTypeChanged(int item);
    void resetFilter();
    void reflectionAction(bool on);

    QPushButton* btEffect() const { return m_btEffect; }
    KXEffectChooser* effectChooser() const { return m_effectChooser; }
    QComboBox* pubOverlay() const { return m_pubOverlay; }
    QPushButton* flipButton(int segment) const { return m_flip[segment]; }
    QPushButton* rotateButton(int segment) const { return m_rotate[segment]; }
    QWidget* overlayView() const { return m_overlayView; }
    QWidget* effectView() const { return m_effectView; }
    QWidget* borderView() const { return m_borderView; }
    QWidget* adjustView() const { return m_adjustView; }
    QWidget* reflectionView() const { return m_reflectionView; }
    QWidget* reflectionSettingView() const { return m_reflectionSettingView; }
    const ValueRow& borderWidth() const { return m_borderWidth; }
    const ValueRow& corner() const { return m_corner; }
    const ValueRow& reflection() const { return m_reflection; }
    kx::controls::KXColorWell* cwBorderColor() const { return m_cwBorderColor; }
    QSlider* filterSlider(Filter filter) const { return m_filterSliders[filter]; }
    QPushButton* btResetFilter() const { return m_btResetFilter; }
    QCheckBox* btReflection() const { return m_btReflection; }

    // Stacks the sections from the top at their heights; when the total height changed, the view takes it
    // and the style inspector is told.
    void updateContentView();

protected:
    QWidget* loadView() override;

private:
    // The three numeric rows that take typed values (all 0 .. 100).
    enum class Typed { BorderWidth, Corner, Reflection };

    ValueRow makeRow(QWidget* parent, int y, const char* label, Typed which);
    void valueChanged(Typed which, double value);
    // The model value of a row (border width, corner radius or reflection opacity) from the row's number.
    void writeValue(Typed which, double value);
    void valueTyped(Typed which, const QString& text);
    void valueEditingEnded(Typed which);
    const ValueRow& rowOf(Typed which) const;
    QSlider* makeFilterSlider(QWidget* parent, int y, const char* label, int minimum, int maximum, Filter filter);
    void filterChanged(Filter filter, int value);
    void borderColorChanged(const QColor& color);
    void updateEffectUI();
    // The effect button shows the preview and title of the chooser's cell at `index`.
    void showEffectItem(int index);
    void updateDecorationUI();
    void updateFilterUI();
    void postExitObjectMode();

    std::shared_ptr<KXShape> m_shape;
    bool m_updatingUI = false;
    bool m_photoEmpty = true;
    std::vector<kx::NotificationToken> m_observers;

    QWidget* m_view = nullptr;
    QWidget* m_overlayView = nullptr;
    QComboBox* m_pubOverlay = nullptr;
    QWidget* m_borderView = nullptr;
    QWidget* m_effectView = nullptr;
    QPushButton* m_btEffect = nullptr;
    QPointer<KXEffectChooser> m_effectChooser;
    std::array<QPushButton*, 2> m_flip{};
    std::array<QPushButton*, 2> m_rotate{};
    kx::controls::KXColorWell* m_cwBorderColor = nullptr;
    ValueRow m_borderWidth, m_corner, m_reflection;
    QWidget* m_adjustView = nullptr;
    std::array<QSlider*, FilterCount> m_filterSliders{};
    QPushButton* m_btResetFilter = nullptr;
    QWidget* m_reflectionView = nullptr;
    QWidget* m_reflectionSettingView = nullptr;
    QCheckBox* m_btReflection = nullptr;
};
