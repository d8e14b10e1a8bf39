// The small panels that float over the canvas next to the selected object: the floating toolbar (move
// forward, move backward, crop, delete), the badge over a locked object and the crop panel. Each is a child
// widget of the canvas scroll area's viewport, placed in the viewport's own coordinates (y grows downwards),
// so it behaves the same on every window system. The controllers only enable their controls, report values
// and place themselves; the document window connects the buttons to its own work.
#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QWidget>

class QAbstractButton;
class QButtonGroup;
class QPushButton;
class QSlider;

inline const QString KXSwitchCropModeChange = QStringLiteral("KXSwitchCropModeChange");

// Where a panel of the given size goes for an object whose lower-left corner on screen is `anchor` (in the
// parent's coordinates, y downwards) and whose width is `objectWidth`: centred on the object's width, its top
// edge at the anchor, hanging below it.
QRectF floatingPanelFrame(const QPointF& anchor, double objectWidth, const QSizeF& size);

// The common part of the three panels: a frameless child widget placed by a fractional frame. The widget's
// own geometry is the frame rounded to whole pixels; it is touched only when the frame changes.
class KXFloatingPanel : public QWidget {
    Q_OBJECT
public:
    explicit KXFloatingPanel(QWidget* parent = nullptr);

    QRectF frame() const { return m_frame; }
    // Hides the panel when it is shown; a hidden panel is left alone.
    void hidePanel();

protected:
    // Places the panel at `frame`: the whole frame when the width changes, else only the origin when it
    // differs. A panel not yet shown is raised above its siblings and shown without taking the focus.
    void placeAt(const QRectF& frame);
    void paintEvent(QPaintEvent* event) override;

private:
    QRectF m_frame;
};

class KXFloatingWindowController : public KXFloatingPanel {
    Q_OBJECT
public:
    static constexpr double kWidthWithCrop = 147;
    static constexpr double kWidthWithoutCrop = 112;
    static constexpr double kHeight = 34;

    explicit KXFloatingWindowController(QWidget* parent = nullptr);

    void objectForwardSetEnabel(bool enabled);
    void objectBackwardSetEnable(bool enabled);
    bool canForward() const;
    bool canBackward() const;
    void cropSetEnabel(bool enabled);
    bool canCrop() const;

    // `anchor` is the object's lower-left corner in the parent's coordinates; `objectRect` gives its width.
    void showRelativeToPoint(const QPointF& anchor, const QRectF& objectRect, bool canCrop);
    void hide() { hidePanel(); }

    QPushButton* btMoveObjectForward() const { return m_forward; }
    QPushButton* btMoveObjectBackward() const { return m_backward; }
    QPushButton* btCrop() const { return m_crop; }
    QPushButton* btDelete() const { return m_delete; }

private:
    QPushButton* m_forward;
    QPushButton* m_backward;
    QPushButton* m_crop;
    QPushButton* m_delete;
};

class KXLockFloatingWindowController : public KXFloatingPanel {
    Q_OBJECT
public:
    static constexpr int kWidth = 34;
    static constexpr int kHeight = 34;

    explicit KXLockFloatingWindowController(QWidget* parent = nullptr);

    void showRelativeToPoint(const QPointF& anchor, const QRectF& objectRect);
    void hide() { hidePanel(); }
};

class KXCropWindowController : public KXFloatingPanel {
    Q_OBJECT
public:
    static constexpr int kWidth = 300;
    static constexpr int kHeight = 64;
    // The slider runs over whole steps; its values are crop zooms in steps of 1/kSliderScale.
    static constexpr int kSliderScale = 1000;
    // The slider's zoom-in end, unless the value set is larger still.
    static constexpr float kSliderTop = 0.9f;

    explicit KXCropWindowController(QWidget* parent = nullptr);

    void setCropCurrentValue(float value);
    float cropValue() const;
    void setCropMinValue(float value);
    float minCropValue() const;
    // The index of the selected segment of the crop-mode control.
    int cropMode() const;
    // Selects the segment whose tag is `tag`.
    void synchronizeCropModeWithType(int tag);

    void showRelativeToPoint(const QPointF& anchor, const QRectF& objectRect);
    void hide() { hidePanel(); }

    QSlider* slCropImage() const { return m_slider; }
    QPushButton* btQuitCrop() const { return m_quit; }
    QPushButton* btResetCrop() const { return m_reset; }
    QPushButton* btMinCrop() const { return m_min; }
    QPushButton* btMaxCrop() const { return m_max; }
    QButtonGroup* segCropModeType() const { return m_segments; }

signals:
    // The user moved the slider; values set through the setters above do not count.
    void cropValueChanged();

private:
    void cropModeSwich();

    QSlider* m_slider;
    QPushButton* m_quit;
    QPushButton* m_reset;
    QPushButton* m_min;
    QPushButton* m_max;
    QButtonGroup* m_segments;
    // Set while the slider is changed from code.
    bool m_settingValue = false;
};
