// The canvas view's mouse road in its normal mode: selecting by click, Shift or Option-role click and rubber
// band; moving, resizing and turning the selection by the pressed object's body and handles, with snapping
// and guides; following links of text objects. Each drag is one undo group on the shown page's undo manager,
// opened by its first drag event and closed at the release.
//
// Coordinates: every mouse location becomes a page point (the page layer's own space, y up); tracker hit
// tests use the point in the overlay's space, where the overlay draws the trackers.
#include "canvas/canvas_layer.h"
#include "canvas/canvas_view.h"
#include "canvas/graph_layer.h"
#include "canvas/mouse_tracking.h"
#include "graphics/geometry_utilities.h"
#include "model/graph.h"
#include "model/group.h"
#include "model/shape.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/user_defaults.h"
#include "shapes/custom_shape.h"
#include "shapes/symbol_shape.h"
#include "text/text.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QMouseEvent>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

bool isGroup(const KXGraph* graph) {
    return graph && graph->graphType() == KXGraphTypeGroup;
}

QString localized(const char* key) {
    return kx::Bundle::main().localizedString(QString::fromUtf8(key));
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// Events

void KXPreview::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        mouseDown(event);
        event->accept();
        return;
    }
    // Right presses open the context menu (contextMenuEvent); while the pen tool is active they do nothing.
    if (isDrawMode()) {
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void KXPreview::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click: the same start as any press, then the double-click road.
    if (event->button() != Qt::LeftButton) {
        if (isDrawMode())
            event->accept();
        else
            QWidget::mouseDoubleClickEvent(event);
        return;
    }
    event->accept();
    if (isDrawingPath()) {
        // A double click finishes the drawing; its second press adds no node.
        finishDrawing(false);
        return;
    }
    const std::optional<kx::Point> point = pagePointOfEvent(event->position());
    if (!point)
        return;
    if (isDrawMode()) {
        beginDrawPathAtPoint(*point);
        return;
    }
    m_isMouseDown = true;
    setFocus(Qt::MouseFocusReason);
    m_mouseDownPoint = *point;
    mouseDoubleClickAtPoint(*point);
}

void KXPreview::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) {
        if (isDrawingPath()) {
            if (const std::optional<kx::Point> q = pagePointOfEvent(event->position()))
                drawDragToPoint(*q);
        } else if (m_isMouseDown) {
            // Only a drag that began with a left press here drags anything.
            mouseDragged(event);
        }
        event->accept();
        return;
    }
    if (event->buttons() == Qt::NoButton) {
        mouseMoved(event);
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void KXPreview::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_isMouseDown) {
        mouseUp(event);
        event->accept();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

std::optional<kx::Point> KXPreview::pagePointOfEvent(const QPointF& viewPoint) const {
    const kx::Point p = pagePointForViewPoint(viewPoint);
    if (!std::isfinite(p.x) || !std::isfinite(p.y))
        return std::nullopt;
    return p;
}

// ---------------------------------------------------------------------------------------------------------
// Press

void KXPreview::mouseDown(QMouseEvent* event) {
    if (isDrawMode()) {
        // The pen tool takes every left press: the first starts a drawing, the next ones add nodes.
        setFocus(Qt::MouseFocusReason);
        const std::optional<kx::Point> point = pagePointOfEvent(event->position());
        if (!point)
            return;
        if (isDrawingPath())
            drawClickAtPoint(*point, event->modifiers());
        else
            beginDrawPathAtPoint(*point);
        return;
    }
    m_isMouseDown = true;
    setFocus(Qt::MouseFocusReason);
    const kx::Point point = pagePointForViewPoint(event->position());
    m_mouseDownPoint = point;
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if ((modifiers & Qt::ShiftModifier) || isOptionModifier(modifiers)) {
        // The toggle click. The drag state of the previous click stays, so that dragging on from here moves
        // the selection as that click set it up (click A, Shift-click B, drag: A and B move together); only
        // the anchor is this press. A handle of the earlier press is not dragged from here.
        m_handerInfo.reset();
        m_rotateBaseAngle.reset();
        const std::shared_ptr<KXGraph> graph = m_canvas ? m_canvas->selectGraphAtPoint(point) : nullptr;
        if (graph) {
            const auto it = std::find(m_mutabSelectedList.begin(), m_mutabSelectedList.end(), graph);
            if (it != m_mutabSelectedList.end()) {
                m_mutabSelectedList.erase(it);
                graph->setSelected(false);
                // The object just taken out of the selection must not follow the mouse, nor anything else.
                m_mouseDownNode = KXTrackerNodeNone;
                m_mouseDownGraph.reset();
                m_mouseDownPoint.reset();
            } else {
                m_mutabSelectedList.push_back(graph);
                graph->setSelected(true);
            }
            redrawAuxiliaryLayer();
            kx::NotificationCenter::defaultCenter().post(KXGraphSelectionChange, this);
        }
        // A kept drag object that has left the selection since (deselected another way) is not dragged.
        if (m_mouseDownGraph && std::find(m_mutabSelectedList.begin(), m_mutabSelectedList.end(),
                                          m_mouseDownGraph) == m_mutabSelectedList.end()) {
            m_mouseDownNode = KXTrackerNodeNone;
            m_mouseDownGraph.reset();
        }
        return;
    }
    mouseSingleClickAtPoint(point);
}

void KXPreview::mouseSingleClickAtPoint(const kx::Point& point) {
    if (isCroppingPhoto())
        singleClickWithCropAtPoint(point);
    else
        singleClickWithNormalAtPoint(point);
}

kx::Point KXPreview::overlayPointForPagePoint(const kx::Point& point) const {
    if (!m_auxilLayer || !m_canvasLayer)
        return point;
    return m_auxilLayer->convertPointFromLayer(point, m_canvasLayer.get());
}

KXTrackerNode KXPreview::trackerNodeOfGraph(KXGraph* graph, const kx::Point& overlayPoint) const {
    KXTracker* tracker = graph ? graph->tracker() : nullptr;
    if (!tracker)
        return KXTrackerNodeNone;
    // The tracker as the overlay draws it: the rounded frame in the overlay's space, turned by the angle.
    kx::Rect frame = roundRectComponents(graph->frameRect());
    if (m_auxilLayer && m_canvasLayer)
        frame = m_auxilLayer->convertRectFromLayer(frame, m_canvasLayer.get());
    tracker->setAngle(graph->angle());
    tracker->setFrame(frame);
    return tracker->nodeAtPoint(overlayPoint);
}

bool KXPreview::graphIsOnShownPage(const KXGraph* graph) const {
    return graph && m_canvas && graph->canvas() == m_canvas && m_canvas->indexOfGraph(graph) >= 0;
}

void KXPreview::singleClickWithNormalAtPoint(const kx::Point& point) {
    m_rotateBaseAngle.reset();
    m_mouseDownNode = KXTrackerNodeNone;
    m_mouseDownGraph.reset();
    // A handle of an earlier press must not steer this one.
    m_handerInfo.reset();
    if (!m_canvas)
        return;
    if (checkSelectTextIsLinkAtPoint(point))
        return;
    const kx::Point overlayPoint = overlayPointForPagePoint(point);
    const KXCanvas::GraphList selected = m_canvas->selectedGraphs();
    for (auto it = selected.rbegin(); it != selected.rend(); ++it) {
        const std::shared_ptr<KXGraph>& graph = *it;
        if (graph->isLocked())
            continue;
        auto* shape = dynamic_cast<KXShape*>(graph.get());
        if (shape && hitShape(shape, point)) {
            m_mouseDownGraph = graph;
            setSelectedGraphs({graph});
            return;
        }
        // Lines show no tracker, and a path with an active node is edited by its nodes.
        if (dynamic_cast<KXSymbolShape*>(graph.get()))
            continue;
        if (auto* path = dynamic_cast<KXCustomShape*>(graph.get()); path && path->customPointElement() != -1)
            continue;
        m_mouseDownNode = trackerNodeOfGraph(graph.get(), overlayPoint);
        if (m_mouseDownNode != KXTrackerNodeNone) {
            m_mouseDownGraph = graph;
            return;
        }
    }
    const std::shared_ptr<KXGraph> hit = m_canvas->selectGraphAtPoint(point);
    if (!hit) {
        setSelectedGraphs({});
        return;
    }
    if (std::find(m_mutabSelectedList.begin(), m_mutabSelectedList.end(), hit) == m_mutabSelectedList.end())
        setSelectedGraphs({hit});
    m_mouseDownGraph = hit;
    if (!hit->isLocked())
        resetCursorRects(CursorKind::ClosedHand);
}

// ---------------------------------------------------------------------------------------------------------
// Links

bool KXPreview::checkSelectTextIsLinkAtPoint(const kx::Point& point) {
    if (!m_canvas || !m_canvasLayer)
        return false;
    const KXCanvas::GraphList texts = m_canvas->selectedTexts();
    if (texts.size() != 1)
        return false;
    const std::optional<QUrl> url = linkOfTextAtPoint(dynamic_cast<KXShape*>(texts.front().get()), point);
    if (!url)
        return false;
    openLink(*url);
    return true;
}

std::optional<QUrl> KXPreview::linkOfTextAtPoint(KXShape* shape, const kx::Point& point) const {
    auto* text = shape ? dynamic_cast<KXText*>(shape->text()) : nullptr;
    kx::Layer* layer = shape && shape->render() ? shape->render()->graphLayer() : nullptr;
    if (!text || !layer || !m_canvasLayer)
        return std::nullopt;
    // Into the object's layer, then mirrored as drawn; the text measures y downwards.
    const kx::Rect frame = shape->frameRect();
    const kx::Rect bounds{0, 0, frame.size.width, frame.size.height};
    const kx::Point local = transformPointAboutCenter(layer->convertPointFromLayer(point, m_canvasLayer.get()),
                                                      bounds.center(), 0, shape->flipX(), -shape->flipY());
    if (!bounds.contains(local))
        return std::nullopt;
    return text->linkStringAtPoint(local);
}

void KXPreview::openLink(const QUrl& url) {
    // A document may hold any address; only web and mail links leave the program.
    bool opened = false;
    if (isOpenableLink(url))
        opened = m_linkOpener ? m_linkOpener(url) : QDesktopServices::openUrl(url);
    if (opened)
        return;
    if (m_linkFailureReporter) {
        m_linkFailureReporter(url);
        return;
    }
    QMessageBox alert(QMessageBox::Information, QString(), localized("Error"), QMessageBox::NoButton, this);
    alert.setInformativeText(localized("FailedOpenURL"));
    alert.addButton(localized("OK"), QMessageBox::AcceptRole);
    alert.exec();
}

// ---------------------------------------------------------------------------------------------------------
// Drag

void KXPreview::mouseDragged(QMouseEvent* event) {
    if (!m_mouseDownPoint || !m_canvas || !m_canvasLayer)
        return;
    const kx::Point q = pagePointForViewPoint(event->position());
    if (!std::isfinite(q.x) || !std::isfinite(q.y))
        return;
    // An object that left the page since the press is no longer dragged.
    if (m_mouseDownGraph && !graphIsOnShownPage(m_mouseDownGraph.get())) {
        m_mouseDownGraph.reset();
        m_mouseDownNode = KXTrackerNodeNone;
    }
    if (m_mouseDownNode == KXTrackerNodeNone && (!m_mouseDownGraph || m_mouseDownGraph->isLocked())) {
        selectGraphsWithMousePoint(q);
        return;
    }
    beginEdit();
    if (isCroppingPhoto()) {
        m_editBeyondPlacement = true;
        dragCropToPoint(q, event);
    } else if (m_handerInfo) {
        m_editBeyondPlacement = true;
        setGraphsEditing(true);
        dragSpecialNodeToPoint(event, q);
    } else {
        const kx::UserDefaults& defaults = kx::UserDefaults::standard();
        const bool snapping = (defaults.boolValue(KXAutoSnap) || defaults.boolValue(KXAutoObjectSnap)) &&
                              !isOptionModifier(event->modifiers());
        KXGraph* graph = m_mouseDownGraph.get();
        KXTrackerNode node = m_mouseDownNode;
        if (isGroup(graph))
            node = trackerNode(node, graph->flipX(), graph->flipY());
        if (m_auxilLayer) {
            m_auxilLayer->setDraggingGraph(graph);
            m_auxilLayer->setDraggingNode(node);
        }
        if (!graph || graph->isLocked())
            return;
        m_snapping.setCanvasLayer(m_canvasLayer.get());
        m_snapping.setAuxiliaryLayer(m_auxilLayer.get());
        if (m_mouseDownNode == KXTrackerNodeNone) {
            moveGraphsWithMousePoint(q, snapping);
        } else {
            setGraphsEditing(true);
            if (m_mouseDownNode == KXTrackerNodeRotate) {
                rotateGraphsWithMousePoint(q, snapping);
                if (graph->isTextWrapEnabled() || isGroup(graph))
                    m_canvas->updateTextsWrapUnderGraph(graph);
            } else if (m_mouseDownNode < KXTrackerNodeRotate) {
                resizeGraphsWithMousePoint(q, snapping);
            }
        }
    }
    kx::NotificationCenter::defaultCenter().post(KXHideAllFloatingPanel, this);
}

void KXPreview::moveGraphsWithMousePoint(const kx::Point& q, bool absorption) {
    KXGraph* graph = m_mouseDownGraph.get();
    if (!graph || !m_mouseDownPoint)
        return;
    double dx = q.x - m_mouseDownPoint->x;
    double dy = q.y - m_mouseDownPoint->y;
    const KXCanvas::GraphList unselected = m_canvas->unselectedGraphs();
    moveGraph(graph, dx, dy, absorption, unselected);
    for (const std::shared_ptr<KXGraph>& other : KXCanvas::GraphList(m_mutabSelectedList)) {
        if (other.get() == graph || other->isLocked())
            continue;
        other->lockDisplay();
        other->moveGraphWithOffsetX(dx, dy);
        other->unlockDisplay();
    }
    redrawAuxiliaryLayer();
    // The anchor follows the snapped position, so the object stays on a guide until the mouse has left it by
    // more than the snap distance.
    m_mouseDownPoint = kx::Point{m_mouseDownPoint->x + dx, m_mouseDownPoint->y + dy};
}

void KXPreview::moveGraph(KXGraph* graph, double& dx, double& dy, bool absorption,
                          const KXCanvas::GraphList& unselected) {
    graph->lockDisplay();
    graph->moveGraphWithOffsetX(dx, dy);
    if (absorption) {
        const kx::Point snap = m_snapping.absorbGraph(graph, &unselected, KXAlignmentMaskAll);
        if (snap.x != 0 || snap.y != 0) {
            graph->moveGraphWithOffsetX(snap.x, snap.y);
            dx += snap.x;
            dy += snap.y;
        }
    }
    if (m_auxilLayer)
        m_auxilLayer->clearLine();
    m_snapping.updateLinesForRect(KXSnapping::guideRectOfGraph(*graph), &unselected);
    redrawAuxiliaryLayer();
    graph->unlockDisplay();
}

void KXPreview::resizeGraphsWithMousePoint(const kx::Point& q, bool absorption) {
    KXGraph* graph = m_mouseDownGraph.get();
    if (!graph || !m_mouseDownPoint)
        return;
    const kx::Point anchor = *m_mouseDownPoint;
    // The drag in the object's own unturned (and, for a group, unmirrored) axes.
    const double sx = isGroup(graph) ? graph->flipX() : 1;
    const double sy = isGroup(graph) ? graph->flipY() : 1;
    const kx::AffineTransform toObject = makeTransformAboutCenter(anchor, -graph->angle(), sx, sy, {});
    const kx::Point mapped = toObject.apply(q);
    double dx = mapped.x - anchor.x;
    double dy = mapped.y - anchor.y;
    // Snap candidates: the unselected objects near the resized one.
    const kx::Rect page = m_canvasLayer->bounds();
    const kx::Rect near = graph->frameRect().insetBy(-0.1 * page.size.width, -0.1 * page.size.height);
    KXCanvas::GraphList candidates;
    for (const std::shared_ptr<KXGraph>& other : m_canvas->unselectedGraphs()) {
        if (other->frameRect().intersects(near))
            candidates.push_back(other);
    }
    const bool corrected = resizeGraph(graph, dx, dy, absorption, candidates);
    for (const std::shared_ptr<KXGraph>& other : KXCanvas::GraphList(m_mutabSelectedList)) {
        if (other.get() == graph || other->isLocked())
            continue;
        other->lockDisplay();
        other->resizeGraphWithOffsetX(dx, dy, m_mouseDownNode, true);
        other->unlockDisplay();
        other->setNeedsDisplay();
    }
    if (corrected) {
        // The applied offset is in the object's axes; the anchor lives on the page.
        m_mouseDownPoint = toObject.inverted().apply(kx::Point{anchor.x + dx, anchor.y + dy});
    } else {
        m_mouseDownPoint = q;
    }
}

bool KXPreview::resizeGraph(KXGraph* graph, double& dx, double& dy, bool& absorption,
                            const KXCanvas::GraphList& unselectedGraphs) {
    graph->lockDisplay();
    KXTrackerNode node = m_mouseDownNode;
    if (isGroup(graph))
        node = trackerNode(node, graph->flipX(), graph->flipY());
    graph->resizeGraphWithOffsetX(dx, dy, node, true);
    bool result = false;
    if (absorption) {
        const kx::Point snap = m_snapping.absorbGraph(graph, &unselectedGraphs, alignmentMaskOfTrackerNode(int(node)));
        if (snap.x == 0 && snap.y == 0) {
            absorption = false;
        } else {
            const kx::Point c = resizeSnapCorrection(node, dx, dy, snap.x, snap.y);
            if (c.x != 0 || c.y != 0) {
                graph->resizeGraphWithOffsetX(c.x, c.y, node, true);
                dx += c.x;
                dy += c.y;
                result = true;
            }
        }
    }
    if (m_auxilLayer)
        m_auxilLayer->clearLine();
    m_snapping.updateLinesForRect(KXSnapping::guideRectOfGraph(*graph), &unselectedGraphs);
    graph->unlockDisplay();
    graph->setNeedsDisplay();
    m_needUpdateAnchorPoint = true;
    return result;
}

void KXPreview::rotateGraphsWithMousePoint(const kx::Point& q, bool absorption) {
    KXGraph* graph = m_mouseDownGraph.get();
    if (!graph || !m_mouseDownPoint)
        return;
    const double before = graph->angle();
    const bool snapped = rotateGraph(graph, q, absorption);
    const double change = graph->angle() - before;
    if (change != 0) {
        for (const std::shared_ptr<KXGraph>& other : KXCanvas::GraphList(m_mutabSelectedList)) {
            if (other.get() != graph && !other->isLocked())
                other->rotateGraphWithOffsetAngle(change);
        }
        redrawAuxiliaryLayer();
    }
    // While on a right angle the anchor stays, so the angle holds until the mouse's turn since the last free
    // position leaves the band.
    if (!snapped)
        m_mouseDownPoint = q;
}

bool KXPreview::rotateGraph(KXGraph* graph, const kx::Point& q, bool absorption) {
    if (!m_mouseDownPoint)
        return false;
    const kx::Point c = graph->frameRect().center();
    // The turn is measured from the anchor, so it is added to the angle the object had at the anchor: while
    // a right-angle snap holds the anchor, the angle it snapped to must not take the same turn again.
    const double base = m_rotateBaseAngle.value_or(graph->angle());
    double t = base + angleOfPoint(*m_mouseDownPoint, c, 0) - angleOfPoint(q, c, 0);
    if (!std::isfinite(t))
        return false;
    if (t < 0)
        t += 2 * std::numbers::pi * std::ceil(-t / (2 * std::numbers::pi));
    bool snapped = false;
    if (absorption)
        t = snapAngleToRightAngle(t, &snapped);
    graph->rotateGraphWithOffsetAngle(t - graph->angle());
    if (snapped)
        m_rotateBaseAngle = base;
    else
        m_rotateBaseAngle.reset();
    return snapped;
}

KXTrackerNode KXPreview::trackerNode(KXTrackerNode node, std::int32_t flipX, std::int32_t flipY) {
    return trackerNodeFlip(node, flipX, flipY);
}

// ---------------------------------------------------------------------------------------------------------
// Rubber band

void KXPreview::selectGraphsWithMousePoint(const kx::Point& q) {
    if (!m_mouseDownPoint || !m_canvas)
        return;
    const kx::Rect rect = marqueeRectWithPoints(*m_mouseDownPoint, q);
    if (m_auxilLayer)
        m_auxilLayer->lockDisplay();
    selectGraphsWithFrame(rect);
    if (m_auxilLayer) {
        m_auxilLayer->setSelectionFrame(m_canvasLayer ? m_auxilLayer->convertRectFromLayer(rect, m_canvasLayer.get())
                                                      : rect);
        m_auxilLayer->unlockDisplay();
    }
    redrawAuxiliaryLayer();
}

void KXPreview::selectGraphsWithFrame(const kx::Rect& rect) {
    if (m_canvas)
        setSelectedGraphs(m_canvas->selectedGraphsWithFrame(rect));
}

// ---------------------------------------------------------------------------------------------------------
// Release

void KXPreview::mouseUp(QMouseEvent* event) {
    if (m_needUpdateAnchorPoint && m_canvas) {
        // The layers' anchors went to the fixed handles while resizing; back to the centres, unrecorded.
        for (const std::shared_ptr<KXGraph>& graph : m_canvas->selectedGraphs()) {
            KXCanvas* page = graph->canvas();
            if (!page)
                continue;
            kx::UndoDisabler noUndo(page->undoManager());
            graph->resetAnchor();
        }
    }
    m_needUpdateAnchorPoint = false;
    endEdit();
    if (!isCroppingPhoto())
        setGraphsEditing(false);
    m_isMouseDown = false;
    m_mouseDownPoint.reset();
    m_rotateBaseAngle.reset();
    if (m_auxilLayer) {
        m_auxilLayer->setDragEventDictionary(std::nullopt);
        m_auxilLayer->setDraggingGraph(nullptr);
        m_auxilLayer->setDraggingNode(KXTrackerNodeNone);
        if (m_auxilLayer->drawMode() == KXAuxiliaryDrawModeEditable)
            m_auxilLayer->setDrawMode(KXAuxiliaryDrawModeNormal);
        m_auxilLayer->setSelectionFrame({});
        m_auxilLayer->clearLine();
    }
    redrawAuxiliaryLayer();
    kx::NotificationCenter::defaultCenter().post(KXFloatingNeedUpdate, this);
    mouseMoved(event);
}

void KXPreview::endMouseTracking() {
    if (m_isEditing)
        endEdit();
    if (m_isMouseDown)
        resetCursorRects(CursorKind::Arrow);
    m_isMouseDown = false;
    m_mouseDownPoint.reset();
    m_mouseDownNode = KXTrackerNodeNone;
    m_mouseDownGraph.reset();
    m_handerInfo.reset();
    m_needUpdateAnchorPoint = false;
    m_rotateBaseAngle.reset();
    if (m_auxilLayer) {
        m_auxilLayer->setDraggingGraph(nullptr);
        m_auxilLayer->setDraggingNode(KXTrackerNodeNone);
        m_auxilLayer->setSelectionFrame({});
        m_auxilLayer->clearLine();
    }
}

// ---------------------------------------------------------------------------------------------------------
// Undo group of a drag

void KXPreview::beginEdit() {
    if (m_isEditing || !m_canvas)
        return;
    m_editingUndoManager = &m_canvas->undoManager();
    m_editingUndoManager->beginUndoGrouping();
    m_isEditing = true;
    m_editBeyondPlacement = false;
    m_editStart.clear();
    for (const std::shared_ptr<KXGraph>& graph : m_canvas->graphs())
        m_editStart.push_back({graph, graph->relativeRect(), graph->angle()});
}

void KXPreview::endEdit() {
    if (!m_isEditing)
        return;
    m_isEditing = false;
    kx::UndoManager* manager = m_editingUndoManager;
    m_editingUndoManager = nullptr;
    // A drag that ended with every object where it was (a jiggle, a snap back onto a guide, a turn back to
    // the start) leaves no step, though its events recorded changes that cancel out.
    bool unchanged = !m_editBeyondPlacement && m_canvas && manager == &m_canvas->undoManager() &&
                     m_editStart.size() == m_canvas->graphs().size();
    for (std::size_t i = 0; unchanged && i < m_editStart.size(); ++i) {
        const GraphPlacement& start = m_editStart[i];
        const KXGraph* graph = m_canvas->graphs()[i].get();
        unchanged = start.graph.get() == graph && start.relativeRect == graph->relativeRect() &&
                    start.angle == graph->angle();
    }
    m_editStart.clear();
    m_editBeyondPlacement = false;
    if (!manager)
        return;
    if (unchanged)
        manager->discardUndoGrouping();
    else
        manager->endUndoGrouping();
}

void KXPreview::setGraphsEditing(bool editing) {
    for (const std::shared_ptr<KXGraph>& graph : m_mutabSelectedList) {
        KXGraphRender* render = graph->render();
        if (auto* layer = render ? dynamic_cast<KXGraphLayer*>(render->graphLayer()) : nullptr)
            layer->setEditing(editing);
    }
}
