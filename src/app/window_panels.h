// The document window's side of the floating panels over the canvas: which of the toolbar, the crop panel
// and the lock badge is shown for the selection and where, and how they follow the window's own events
// (moving, resizing, activation, full screen). A live resize has no start and end events here, so its end
// is taken to be a short pause after the last resize.
#pragma once

#include "canvas/floating_panels.h"

#include <QObject>
#include <QPointF>
#include <QTimer>

#include <functional>

class KXCanvas;
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

    // Whether this window is the one that the notifications about the current document concern; a window
    // that is not leaves its panels alone. By default: the active window, or any window when none is active.
    void setCurrentWindowTest(std::function<bool()> test) { m_isCurrent = std::move(test); }
    bool isCurrentWindow() const;

    KXFloatingWindowController* normalFloatingPanel() const { return m_normal; }
    KXCropWindowController* cropFloatingPanel() const { return m_crop; }
    KXLockFloatingWindowController* lockFloatingPanel() const { return m_lock; }

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

    bool isInLiveResize() const { return m_liveResize.isActive(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    KXCanvas* page() const;
    void windowWillStartLiveResize();
    void windowDidEndLiveResize();
    void windowWillChangeFullScreen();
    void windowDidChangeFullScreen();

    KXPreview* m_preview;
    QScrollArea* m_scrollArea;
    QWidget* m_window;
    KXFloatingWindowController* m_normal;
    KXCropWindowController* m_crop;
    KXLockFloatingWindowController* m_lock;
    std::function<bool()> m_isCurrent;
    QTimer m_liveResize;
};
