// The pen tool of the canvas view: a state machine in the view's own event handlers (no nested event loop).
//
// Inactive -> active (enterDrawMode) -> drawing (the first press makes the pen-tool layer over the page) ->
// inactive again when the drawing is finished or abandoned. While drawing, a press adds a node joined by a
// curve (a press on the start point closes the outline), a drag pulls the handles of the segment under way,
// "z" and "Z" undo and redo nodes, and a double click, any other key, the mouse leaving the view, a menu or
// shortcut elsewhere, or the window losing focus finishes the drawing into one pen shape.
//
// Each node is one undo step of its own, recorded by the page, which observes the pen-tool layer's path;
// those steps serve the in-drawing undo and redo and are dropped when the drawing ends, so that the new
// shape is the only step left.
#include "canvas/canvas_layer.h"
#include "canvas/canvas_view.h"
#include "canvas/custom_layer.h"
#include "model/path_point.h"
#include "platform/foundation/undo_manager.h"
#include "platform/layers/layer_transaction.h"
#include "shapes/custom_shape.h"
#include "shapes/shape_path_builders.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

#include <algorithm>
#include <cmath>

namespace {

using Element = kx::BezierPath::Element;
using ElementType = kx::BezierPath::ElementType;

kx::Point endOf(const Element& e) {
    return e.type == ElementType::CurveTo ? e.points[2] : e.points[0];
}

// The click point constrained to the horizontal, the vertical or a diagonal through the last node, by the
// direction's angle in degrees (single precision): within 30 degrees of the horizontal it goes horizontal,
// from 60 on vertical, between them on the 45-degree diagonal. A click on the node itself has no direction
// and stays where it is.
kx::Point constrainedPoint(const kx::Point& q, const kx::Point& last) {
    const float a = std::atan(float(q.y - last.y) / float(q.x - last.x)) * 180.0f / 3.14159265358979f;
    if (std::isnan(a))
        return q;
    kx::Point p = q;
    if (std::abs(a) < 30)
        p.y = last.y;
    else if (a >= 30 && a < 60)
        p.y = last.y + (q.x - last.x);
    else if (a > -60 && a <= -30)
        p.y = last.y - (q.x - last.x);
    else
        p.x = last.x;
    return p;
}

bool isModifierKey(int key) {
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_unknown:
        return true;
    default:
        return false;
    }
}

}  // namespace

void KXPreview::enterDrawMode() {
    m_isDrawMode = true;
    resetCursorRects(CursorKind::Pen);
}

void KXPreview::exitDrawMode() {
    if (isDrawingPath())
        finishDrawing(false);
    m_isDrawMode = false;
    resetCursorRects(CursorKind::Arrow);
}

void KXPreview::beginDrawPathAtPoint(const kx::Point& p0) {
    if (!m_canvas || !m_canvasLayer || isDrawingPath() || !std::isfinite(p0.x) || !std::isfinite(p0.y))
        return;
    const kx::Size preview = m_canvas->previewSize();
    if (!(preview.width > 0) || !(preview.height > 0))
        return;
    deselectAllGraphs();
    m_drawCanvas = m_canvas;
    m_drawStart = p0;
    m_drawPreviewSize = preview;
    kx::BezierPath path;
    path.moveTo(p0);
    m_customLayer = std::make_shared<KXCustomLayer>();
    {
        kx::LayerTransaction transaction;
        m_customLayer->setFrame(m_canvasLayer->bounds());
        m_canvasLayer->addSublayer(m_customLayer);
    }
    // Observed before the path is set, so the start is a step of its own: undoing every node and then the
    // start leaves no path, which abandons the drawing.
    m_customLayer->addObserver(m_drawCanvas);
    m_customLayer->setCustomPath(path);
    m_customLayer->setNeedsDisplay();
    if (!m_watchingApplication && qApp) {
        qApp->installEventFilter(this);
        m_watchingApplication = true;
    }
}

void KXPreview::drawClickAtPoint(const kx::Point& q, Qt::KeyboardModifiers modifiers) {
    if (!m_customLayer || !m_customLayer->customPath())
        return;
    const kx::Rect closeTarget(m_drawStart.x - 5, m_drawStart.y - 5, 10, 10);
    if (closeTarget.contains(q)) {
        finishDrawing(true);
        return;
    }
    if (!QRectF(rect()).contains(viewPointForPagePoint(q)))
        return;
    const kx::BezierPath current = *m_customLayer->customPath();
    if (current.isEmpty())
        return;
    // One undo step per node.
    m_customLayer->setCustomPath(current);
    const Element last = current.elements().back();
    const kx::Point node = endOf(last);
    kx::Point p = q;
    if (modifiers & (Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier | Qt::MetaModifier))
        p = constrainedPoint(q, node);
    // A smooth continuation: the new segment leaves the last node opposite the handle it arrived with.
    kx::Point c1 = p;
    if (last.type == ElementType::CurveTo && last.points[1] != last.points[2])
        c1 = {2 * node.x - last.points[1].x, 2 * node.y - last.points[1].y};
    m_customLayer->curveToPoint(p, c1, p);
    m_customLayer->setNeedsDisplay();
}

void KXPreview::drawDragToPoint(const kx::Point& q) {
    if (!m_customLayer)
        return;
    m_customLayer->mouseDraggingWithPoint(q);
    m_customLayer->setNeedsDisplay();
}

bool KXPreview::drawKey(QKeyEvent* event) {
    if (!isDrawingPath())
        return false;
    const int key = event->key();
    if (isModifierKey(key))
        return true;
    if (key == Qt::Key_Z && m_drawCanvas) {
        kx::UndoManager& undo = m_drawCanvas->undoManager();
        if (event->modifiers() & Qt::ShiftModifier) {
            if (undo.canRedo())
                undo.redo();
            m_customLayer->setNeedsDisplay();
            return true;
        }
        undo.undoNestedGroup();
        if (m_customLayer)
            m_customLayer->setNeedsDisplay();
        if (m_customLayer && !m_customLayer->customPath()) {
            abandonDrawing();
            m_isDrawMode = false;
            resetCursorRects(CursorKind::Arrow);
        }
        return true;
    }
    // Any other key ends the drawing (Escape included); the key does nothing else.
    finishDrawing(false);
    return true;
}

void KXPreview::finishDrawing(bool close) {
    if (!m_customLayer)
        return;
    const std::shared_ptr<KXCustomLayer> layer = m_customLayer;
    KXCanvas* page = m_drawCanvas;
    const kx::Size size = m_drawPreviewSize;
    const kx::Point p0 = m_drawStart;
    std::optional<kx::BezierPath> drawn = layer->customPath();
    abandonDrawing();
    m_isDrawMode = false;
    resetCursorRects(CursorKind::Arrow);
    // A drawing whose page is no longer shown, or that was undone to nothing, makes no object.
    if (!page || page != m_canvas || !drawn || drawn->isEmpty())
        return;
    // Joined back to the start; a closing click closes the outline.
    drawn->curveTo(p0, p0, p0);
    if (close)
        drawn->closePath();
    kx::Rect b = drawn->bounds();
    b.size.width = std::max(b.size.width, 2.0);
    b.size.height = std::max(b.size.height, 2.0);
    if (!std::isfinite(b.origin.x) || !std::isfinite(b.origin.y) || !std::isfinite(b.size.width) ||
        !std::isfinite(b.size.height))
        return;
    const auto unit = [&](const kx::Point& p) {
        return kx::Point((p.x - b.origin.x) / b.size.width, (p.y - b.origin.y) / b.size.height);
    };
    KXPathPointArray points;
    for (const Element& e : drawn->elements()) {
        if (e.type == ElementType::ClosePath)
            break;
        auto point = std::make_shared<KXPathPoint>();
        if (e.type == ElementType::CurveTo) {
            point->setPoint1(unit(e.points[0]), unit(e.points[1]), unit(e.points[2]));
        } else {
            // The start (and any straight element) has one point; its other points repeat it, so the list
            // holds no undefined point.
            const kx::Point p = unit(e.points[0]);
            point->setPoint1(p, p, p);
        }
        points.push_back(std::move(point));
    }
    const kx::BezierPath outline = customPathWithPoints(points, {0, 0, b.size.width, b.size.height});
    const kx::Rect relative(b.origin.x / size.width, b.origin.y / size.height, b.size.width / size.width,
                            b.size.height / size.height);
    const std::shared_ptr<KXCustomShape> shape = KXCustomShape::customShapeWithRelativeRect(relative);
    // A plain shape: a new shape holds an empty photo and a text, which would make the drawing an empty
    // photo frame whose nodes could never be dragged (only plain shapes reshape by their handles).
    shape->setPhoto(nullptr);
    shape->setText(nullptr);
    shape->setCustomPointsArray(points);
    shape->setPath(outline);
    page->addGraph(shape);
    const kx::Rect frame = shape->frameRect();
    if (frame.size.height > 0)
        shape->setAspectRatio(frame.size.width / frame.size.height);
    setSelectedGraphs({shape});
}

void KXPreview::abandonDrawing() {
    stopWatchingApplication();
    if (!m_customLayer)
        return;
    const std::shared_ptr<KXCustomLayer> layer = std::move(m_customLayer);
    m_customLayer.reset();
    if (m_drawCanvas) {
        layer->removeObserver(m_drawCanvas);
        // The node steps of the drawing leave the history, undone and redone ones alike.
        m_drawCanvas->undoManager().removeAllActions(&layer->observable());
    }
    layer->removeFromSuperlayer();
    m_drawCanvas = nullptr;
}

void KXPreview::stopWatchingApplication() {
    if (m_watchingApplication && qApp)
        qApp->removeEventFilter(this);
    m_watchingApplication = false;
}

bool KXPreview::drawingInterruptedBy(QObject* watched, QEvent* event) const {
    switch (event->type()) {
    case QEvent::Shortcut:
    case QEvent::ApplicationDeactivate:
        return true;
    case QEvent::Show:
        // A menu opening (the menu bar, a context menu elsewhere).
        return qobject_cast<QMenu*>(watched) != nullptr;
    case QEvent::WindowDeactivate:
        return watched == window();
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        // A press on another widget (the view's own presses are its drawing).
        auto* widget = qobject_cast<QWidget*>(watched);
        return widget && widget != this && !isAncestorOf(widget);
    }
    default:
        return false;
    }
}
