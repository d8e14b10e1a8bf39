// The document window's side of the floating panels over the canvas: which of the toolbar, the crop panel
// and the lock badge is shown for the selection and where, and how they follow the window's own events
// (moving, resizing, activation, full screen, minimising, closing). A live resize has no start and end
// events here, so its end is taken to be a short pause after the last resize; a change into or out of full
// screen likewise starts when the window's state changes and ends when the resizes it brings have settled.
#pragma once

#include "canvas/floating_panels.h"

#include <QObject>
#include <QPointF>
#include <QTimer>

#include <functional>

class KXCanvas;
class KXCropCommands;
class KXGraph;
class KXPreview;
class QScrollArea;

class KXWindowPanels : public QObject {
    Q_OBJECT
public:
    static constexpr int kLiveResizeSettleMs = 250;
    // How far below an object the toolbar and the crop panel hang, in view pixels.
    static constexpr double kToolbarGap = 8;

    // The panels are children of the scroll area's viewport; `window` is the document window whose events
    // they follow.
    KXWindowPanels(KXPreview* preview, QScrollArea* scrollArea, QWidget* window);
    ~KXWindowPanels() override;

    // What the document window does besides placing the floating panels when its window is about to close,
    // is minimised, becomes the active window, or goes into full screen (before and after the change).
    struct WindowHooks {
        std::function<void()> willClose;
        std::function<void()> willMiniaturize;
        std::function<void()> didBecomeKey;
        std::function<void()> willEnterFullScreen;
        std::function<void()> didEnterFullScreen;
    };
    void setWindowHooks(WindowHooks hooks) { m_hooks = std::move(hooks); }

    // Whether this window is the one that the notifications about the current document concern; a window
    // that is not leaves its panels alone. By default: the active window, or any window when none is active.
    void setCurrentWindowTest(std::function<bool()> test) { m_isCurrent = std::move(test); }
    bool isCurrentWindow() const;

    KXFloatingWindowController* normalFloatingPanel() const { return m_normal; }
    KXCropWindowController* cropFloatingPanel() const { return m_crop; }
    KXLockFloatingWindowController* lockFloatingPanel() const { return m_lock; }
    // The crop commands, wired to the crop panel and the toolbar's crop button.
    KXCropCommands* cropCommands() const { return m_cropCommands; }

    void updateFloatingPanel();
    void hideAllFloatingPanel();
    void showLockFloatingPanel(KXGraph* graph);
    void updateSelectFloatingPanel(KXGraph* graph, int type);
    // Enables the toolbar's stacking buttons from what the page allows now.
    void updateLayoutState();
    void exitCropAndTextEditMode();
    // Turns the floating panels setting over and shows or hides the panels to match.
    void showHideFloatingPanel();

    // The lower-left corner of a graph in the viewport, raised to the bottom of the visible area when the
    // graph's bottom is scrolled out of view, moved down by `gap`; and the graph's width there.
    QPointF anchorOfGraph(KXGraph* graph, double gap) const;
    QRectF viewRectOfGraph(KXGraph* graph) const;

    // Whether a live resize or a change into or out of full screen has not settled yet.
    bool isInLiveResize() const { return m_liveResize.isActive(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    KXCanvas* page() const;
    void windowWillStartLiveResize();
    void windowDidEndLiveResize();
    void windowWillChangeFullScreen(bool entering);
    void windowDidChangeFullScreen(bool entering);
    // The resizes have settled: the end of a live resize or of a change of full screen.
    void windowDidSettle();

    KXPreview* m_preview;
    QScrollArea* m_scrollArea;
    QWidget* m_window;
    KXFloatingWindowController* m_normal;
    KXCropWindowController* m_crop;
    KXLockFloatingWindowController* m_lock;
    KXCropCommands* m_cropCommands;
    std::function<bool()> m_isCurrent;
    WindowHooks m_hooks;
    QTimer m_liveResize;
    enum class FullScreenChange { None, Entering, Leaving };
    FullScreenChange m_fullScreenChange = FullScreenChange::None;
};
