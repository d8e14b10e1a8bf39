// The colour control of the inspectors: a rounded field showing the colour (over half white, half black, so
// that translucency shows) with a square button at its right end. A click on the field opens a balloon of
// 49 swatches below the well; a swatch click takes its colour and closes the balloon. A click on the button
// binds the shared colour dialog to this well until the dialog closes, another well takes it, or the button
// is clicked again.
//
// Observers learn of every new colour through colorChanged; a colour the person chose in the balloon is also
// written through the well's binding (bindColor), the way an interface file's "color" binding would.
#pragma once

#include "controls/popup_window.h"

#include "platform/foundation/notification_center.h"

#include <QColor>
#include <QWidget>

#include <functional>

namespace kx::controls {

class KXColorWell;

inline constexpr char kPopUpWindowDidResignKey[] = "KXPopUpWindowDidResignKey";

// The swatches, each filling its own frame; a press on one hands its colour to the target well.
class KXColorSwatchMatrix : public QWidget {
    Q_OBJECT
public:
    KXColorSwatchMatrix(int rows, int columns, std::vector<QColor> colors, QSize swatch, KXColorWell* target,
                        QWidget* parent = nullptr);
    const std::vector<QColor>& colors() const { return m_colors; }
    int columns() const { return m_columns; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    int m_rows;
    int m_columns;
    std::vector<QColor> m_colors;
    QSize m_swatch;
    KXColorWell* m_target;
};

// The balloon's content: the swatch matrix inset for the arrow; its well draws the balloon behind it.
class KXColorPickerView : public QWidget {
    Q_OBJECT
public:
    KXColorPickerView(std::vector<QColor> colors, int rows, int columns, QSize swatch, KXColorWell* target,
                      QWidget* parent = nullptr);
    KXColorSwatchMatrix* matrix() const { return m_matrix; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    KXColorSwatchMatrix* m_matrix;
    KXColorWell* m_well;
};

class KXColorWell : public QWidget {
    Q_OBJECT
public:
    explicit KXColorWell(QWidget* parent = nullptr);
    ~KXColorWell() override;

    QColor color() const { return m_color; }
    // Stores the colour and redraws; while bound, the shared dialog shows it too. The colour already held
    // changes nothing.
    void setColor(const QColor& color);

    // A disabled well ignores clicks (hover still shows) and draws veiled. Kept apart from QWidget's own
    // enabled state, which would also stop the hover tracking.
    bool isWellEnabled() const { return m_enabled; }
    void setWellEnabled(bool enabled);

    bool isBindingToColorPanel() const { return m_bound; }
    bool mouseInColor() const { return m_mouseInColor; }
    bool mouseInButton() const { return m_mouseInButton; }
    void setMouseInColor(bool in);
    void setMouseInButton(bool in);

    // The "color" binding: `read` gives the bound value, `write` stores a new one.
    void bindColor(std::function<QColor()> read, std::function<void(const QColor&)> write);
    void unbindColor();

    bool popupWindowIsVisible() const;
    // The balloon's arrow: its sideways shift and whether it is on the balloon's top edge.
    double offset() const { return m_offset; }
    bool upArrow() const { return m_upArrow; }
    KXPopupWindow* popupWindow() const { return m_popupWindow; }
    KXColorPickerView* colorPickerView() const { return m_pickerView; }

    // A swatch was chosen: takes the colour, writes it through the binding and hides the balloon.
    void setColorAndClose(const QColor& color);
    // The shared dialog's action while it targets this well.
    void changeColor(const QColor& color);
    void showColorPicker();
    void hideColorPicker();

signals:
    void colorChanged(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void colorWellTargetChanged(const kx::Notification& notification);
    void setBound(bool bound);

    QColor m_color{Qt::white};
    bool m_enabled = true;
    bool m_bound = false;
    bool m_mouseInColor = false;
    bool m_mouseInButton = false;
    double m_offset = 0;
    bool m_upArrow = true;
    std::function<QColor()> m_readBinding;
    std::function<void(const QColor&)> m_writeBinding;
    KXPopupWindow* m_popupWindow;
    KXColorPickerView* m_pickerView;
    kx::NotificationToken m_targetToken;
    QMetaObject::Connection m_panelClose;
};

}  // namespace kx::controls
