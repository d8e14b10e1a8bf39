// The borderless window popovers and balloons appear in: frameless, translucent (its content draws the
// balloon and arrow), above ordinary windows, kept out of the task bar, movable by its background. It can
// take the keyboard focus and hides when it loses it.
//
// Popovers are made once and kept: toggleAt shows a hidden popover next to its anchor and hides a visible
// one. Placement keeps the window inside the available area of the screen that holds the anchor.
#pragma once

#include "controls/control_geometry.h"

#include <QPointer>
#include <QWidget>

#include <functional>

namespace kx::controls {

class KXPopupWindow : public QWidget {
    Q_OBJECT
public:
    explicit KXPopupWindow(QWidget* parent = nullptr);
    ~KXPopupWindow() override;

    // The view the window shows; the window takes its size. The window owns it.
    void setContentView(QWidget* view);
    QWidget* contentView() const { return m_content; }

    bool isMovableByBackground() const { return m_movableByBackground; }
    void setMovableByBackground(bool movable) { m_movableByBackground = movable; }

    // Hiding on focus loss: on by default. `keepOpen`, when set, is asked first; answering true keeps the
    // window open (a popover whose own balloon took the focus stays).
    void setHidesOnResignKey(bool hides) { m_hidesOnResignKey = hides; }
    bool hidesOnResignKey() const { return m_hidesOnResignKey; }
    void setKeepOpenWhenResigning(std::function<bool()> keepOpen) { m_keepOpen = std::move(keepOpen); }

    // Places the window next to `anchor` (screen coordinates; a point is an empty rectangle) on the
    // preferred side, shows it, brings it to the front and gives it the focus. A KXPopupView content view
    // gets its arrow pointed at the anchor.
    PopoverPlacement popupAt(const QRect& anchor, PopoverEdge preferred = PopoverEdge::Below);
    // Shows the window as popupAt does when it is hidden and hides it when it is visible; answers whether
    // it is now shown. A click on the anchor that took the focus away (and so hid the window) does not show
    // it again.
    bool toggleAt(const QRect& anchor, PopoverEdge preferred = PopoverEdge::Below);

    PopoverPlacement lastPlacement() const { return m_placement; }

signals:
    // The window lost the keyboard focus (sent before it hides).
    void resignedKey();
    // The window was placed at a new position; the content may redraw its arrow.
    void placed(const kx::controls::PopoverPlacement& placement);

protected:
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void resignKey();
    // On X11, where translucent windows need a compositor that may not be running, shapes the window to a
    // balloon content's outline, so that the corners beside the arrow and the body stay see-through.
    void shapeToContent();

    QPointer<QWidget> m_content;
    bool m_movableByBackground = true;
    bool m_hidesOnResignKey = true;
    std::function<bool()> m_keepOpen;
    PopoverPlacement m_placement{};
    // A mouse button is down somewhere in the application.
    bool m_pointerDown = false;
    // The window lost the focus and hid during the click going on now (or the last one); see toggleAt.
    bool m_hiddenByPress = false;
    bool m_dragging = false;
    QPoint m_dragOffset;
};

// A transparent frameless panel (for floating panels that draw their own rounded background).
class KXRoundPanel : public QWidget {
    Q_OBJECT
public:
    explicit KXRoundPanel(QWidget* parent = nullptr);
};

}  // namespace kx::controls
