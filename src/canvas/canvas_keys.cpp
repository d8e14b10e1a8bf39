// Keys and the context menu of the canvas view. Delete and Backspace delete the selection (or only the
// active node of a pen path), Escape leaves the pen tool, the arrow keys nudge the selection by one page
// pixel (or 0.01 inch, 0.3 mm on pages measured in those units) with the alignment guides showing while the
// key is held; every other key stops here. A right press selects as a click does and opens the context
// menu, whose photo commands show only for one selected photo and whose arrangement commands only for a
// multiple selection or a group.
#include "canvas/canvas_layer.h"
#include "canvas/canvas_view.h"
#include "canvas/handle_info.h"
#include "graphics/geometry_utilities.h"
#include "model/graph.h"
#include "model/page_size.h"
#include "platform/foundation/undo_manager.h"
#include "shapes/custom_shape.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>


double KXPreview::moveIncrement() const {
    if (!m_canvas)
        return 0;
    double perPixel = 1;
    if (const KXSize* size = m_canvas->pageSize()) {
        const double dpi = double(size->dpi());
        if (size->unit() == KXSizeUnitMillimeter)
            perPixel = 0.011811023578047752 * dpi;
        else if (size->unit() == KXSizeUnitInch)
            perPixel = 0.01 * dpi;
    }
    return m_canvas->zoomValue() * perPixel;
}

void KXPreview::keyPressEvent(QKeyEvent* event) {
    event->accept();
    if (isDrawingPath()) {
        drawKey(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete: {
        if (m_mutabSelectedList.size() == 1) {
            KXCustomShape* path = penPathShape(m_mutabSelectedList.front().get());
            if (path && !path->isLocked() && path->customPointElement() != -1) {
                path->removeCustomPathPoint();
                m_handerInfo.reset();
                checkSelectionChanged();
                redrawAuxiliaryLayer();
                return;
            }
        }
        removeSelectedGrpahs();
        return;
    }
    case Qt::Key_Escape:
        if (isDrawMode())
            exitDrawMode();
        return;
    case Qt::Key_Left: nudgeSelection(-moveIncrement(), 0); return;
    case Qt::Key_Right: nudgeSelection(moveIncrement(), 0); return;
    case Qt::Key_Down: nudgeSelection(0, -moveIncrement()); return;
    case Qt::Key_Up: nudgeSelection(0, moveIncrement()); return;
    default: return;
    }
}

void KXPreview::keyReleaseEvent(QKeyEvent* event) {
    event->accept();
    // X11 repeats a held key as release and press pairs; only the real release ends the guides, so they do
    // not flicker while the key is held.
    if (event->isAutoRepeat() || !m_nudgeGuides)
        return;
    m_nudgeGuides = false;
    if (m_auxilLayer)
        m_auxilLayer->clearLine();
    redrawAuxiliaryLayer();
}

void KXPreview::nudgeSelection(double dx, double dy) {
    if (!m_canvas || !m_canvasLayer || (dx == 0 && dy == 0))
        return;
    undoNeedExitCropMode();
    kx::UndoManager& undo = m_canvas->undoManager();
    const KXCanvas::GraphList unselected = m_canvas->unselectedGraphs();
    m_snapping.setCanvasLayer(m_canvasLayer.get());
    m_snapping.setAuxiliaryLayer(m_auxilLayer.get());
    bool moved = false;
    for (const std::shared_ptr<KXGraph>& graph : KXCanvas::GraphList(m_mutabSelectedList)) {
        if (graph->isLocked())
            continue;
        KXCustomShape* path = penPathShape(graph.get());
        if (path && m_handerInfo && graph == m_mouseDownGraph) {
            // The active node moves as a whole with its handles; a first control handle belongs to the node
            // before its element, and there is none before the first.
            const std::int32_t e = handleInfoInteger(*m_handerInfo, KXHandleElementKey);
            const std::int32_t type = handleInfoInteger(*m_handerInfo, KXHandleChangeTypeKey);
            if (type == 3 && e < 1)
                continue;
            path->nudgePathElement(e, type, float(dx), float(dy));
            continue;
        }
        // One undo step per object and key press.
        undo.beginUndoGrouping();
        graph->moveGraphWithOffsetX(dx, dy);
        undo.endUndoGrouping();
        if (m_auxilLayer && !moved)
            m_auxilLayer->clearLine();
        m_snapping.updateLinesForRect(roundRectComponents(graph->frameRect()), &unselected);
        moved = true;
    }
    m_nudgeGuides = m_nudgeGuides || moved;
    redrawAuxiliaryLayer();
}

// ---------------------------------------------------------------------------------------------------------
// Context menu

void KXPreview::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    const QPointF at = event->reason() == QContextMenuEvent::Mouse ? QPointF(event->pos())
                                                                    : QPointF(width() / 2.0, height() / 2.0);
    rightMouseDown(at);
}

void KXPreview::rightMouseDown(const QPointF& viewPoint) {
    // Not during a drag's edit nor with the pen tool.
    if (m_isEditing || isDrawMode() || !m_canvas)
        return;
    const std::optional<kx::Point> point = pagePointOfEvent(viewPoint);
    if (!point)
        return;
    // A later left drag without a new left press drags nothing.
    m_mouseDownPoint.reset();
    setFocus(Qt::MouseFocusReason);
    if (isCroppingPhoto())
        singleClickWithCropAtPoint(*point);
    else
        singleClickWithNormalAtPoint(*point);
    m_mouseDownPoint.reset();
    m_mouseDownNode = KXTrackerNodeNone;
    m_mouseDownGraph.reset();
    if (!m_contextMenu)
        return;
    const bool arrangeable = m_canvas->selectedGraphs().size() > 1 || m_canvas->selectedGroupCount() > 0;
    const bool onePhoto = m_canvas->selectedPhotos().size() == 1;
    const QList<QAction*> actions = m_contextMenu->actions();
    for (int i = 0; i < actions.size(); ++i) {
        QAction* action = actions[i];
        if (i < 2) {
            action->setVisible(arrangeable);
            continue;
        }
        bool ok = false;
        const int tag = action->data().toInt(&ok);
        if (ok && (tag == KXMenuTagPhotoCommand || tag == KXMenuTagUnlockedPhoto || tag == KXMenuTagPhoto))
            action->setVisible(onePhoto);
    }
    m_contextMenu->popup(mapToGlobal(viewPoint.toPoint()));
}

// ---------------------------------------------------------------------------------------------------------
// Leaving the view

void KXPreview::leaveEvent(QEvent* event) {
    // The mouse leaving the view finishes a pen drawing.
    if (isDrawingPath())
        finishDrawing(false);
    QWidget::leaveEvent(event);
}

void KXPreview::focusOutEvent(QFocusEvent* event) {
    // So does the view losing the keyboard (another window, a menu, another control).
    if (isDrawingPath())
        finishDrawing(false);
    QWidget::focusOutEvent(event);
}
