// Cursor feedback of the canvas view: the pointer tells what a press or drag at its place would do. Over a
// link of a selected text it is the pointing hand; over a shape's own handle the drag cursor; over the rotate
// handle the rotate cursor; over a resize handle a double arrow along the handle's direction (taking the
// object's turn into account); with the pen tool the pen; in crop mode the double arrows over the handles of
// the whole image. The image cursors are drawn by scripts/make_cursors.py into the resources.
#include "canvas/canvas_layer.h"
#include "canvas/canvas_view.h"
#include "graphics/geometry_utilities.h"
#include "model/graph.h"
#include "model/shape.h"
#include "model/tracker.h"
#include "platform/foundation/bundle.h"
#include "shapes/custom_shape.h"
#include "shapes/symbol_shape.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPixmap>

#include <cmath>
#include <map>
#include <numbers>
#include <optional>

namespace {

using Kind = KXPreview::CursorKind;

// An image cursor of the resources; made on first use and kept for the life of the process. A missing
// image makes no cursor (and is looked for again next time).
std::optional<QCursor> imageCursor(Kind kind) {
    static std::map<Kind, QCursor> made;
    if (const auto it = made.find(kind); it != made.end())
        return it->second;
    QString name;
    bool centred = true;
    switch (kind) {
    case Kind::Pen: name = QStringLiteral("PenCursor"); centred = false; break;
    case Kind::Drag: name = QStringLiteral("DragCursor"); centred = false; break;
    case Kind::Rotate: name = QStringLiteral("RotateCursor"); break;
    case Kind::TrToBl: name = QStringLiteral("tr2bl"); break;
    case Kind::TlToBr: name = QStringLiteral("tl2br"); break;
    default: return std::nullopt;
    }
    const QString path = kx::Bundle::main().pathForResource(name, QStringLiteral("png"));
    QPixmap pixmap;
    if (path.isEmpty() || !pixmap.load(path) || pixmap.isNull())
        return std::nullopt;
    const QCursor cursor = centred ? QCursor(pixmap, pixmap.width() / 2, pixmap.height() / 2) : QCursor(pixmap, 0, 0);
    made.emplace(kind, cursor);
    return cursor;
}

std::optional<QCursor> cursorOfKind(Kind kind) {
    switch (kind) {
    case Kind::Arrow: return QCursor(Qt::ArrowCursor);
    case Kind::PointingHand: return QCursor(Qt::PointingHandCursor);
    case Kind::ClosedHand: return QCursor(Qt::ClosedHandCursor);
    case Kind::UpDown: return QCursor(Qt::SizeVerCursor);
    case Kind::LeftRight: return QCursor(Qt::SizeHorCursor);
    default: return imageCursor(kind);
    }
}

}  // namespace

KXPreview::CursorKind KXPreview::cursorOfAngle(double t) {
    constexpr double e = std::numbers::pi / 8;  // an eighth of a half turn
    if ((t >= 0 && t < e) || (t > 7 * e && t < 9 * e) || t > 15 * e)
        return Kind::UpDown;
    if ((t >= e && t <= 3 * e) || (t >= 9 * e && t <= 11 * e))
        return Kind::TrToBl;
    if ((t > 3 * e && t < 5 * e) || (t > 11 * e && t < 13 * e))
        return Kind::LeftRight;
    if ((t > 5 * e && t < 7 * e) || (t > 13 * e && t <= 15 * e))
        return Kind::TlToBr;
    return Kind::Arrow;
}

void KXPreview::resetCursorRects(CursorKind kind) {
    if (kind == m_cursorKind)
        return;
    const std::optional<QCursor> cursor = cursorOfKind(kind);
    if (!cursor)
        return;
    setCursor(*cursor);
    m_cursorKind = kind;
}

void KXPreview::mouseMoved(QMouseEvent* event) {
    if (m_isMouseDown || !event)
        return;
    const std::optional<kx::Point> point = pagePointOfEvent(event->position());
    if (!point)
        return;
    if (isDrawMode())
        resetCursorRects(CursorKind::Pen);
    else if (isCroppingPhoto())
        mouseMovedWithCropToPoint(*point);
    else
        mouseMovedWithNormalToPoint(*point);
}

void KXPreview::mouseMovedWithCropToPoint(const kx::Point& point) {
    const KXTrackerNode node = m_auxilLayer ? m_auxilLayer->cropTrackNodeAtPoint(point) : KXTrackerNodeNone;
    if (node == KXTrackerNodeNone || node >= KXTrackerNodeRotate)
        resetCursorRects(CursorKind::Arrow);
    else
        resetCursorRects(cursorOfAngle(m_auxilLayer->angleOfCropTrackNode(node)));
}

void KXPreview::mouseMovedWithNormalToPoint(const kx::Point& point) {
    if (!m_canvas || !m_canvasLayer) {
        resetCursorRects(CursorKind::Arrow);
        return;
    }
    std::optional<CursorKind> kind;
    // 1. Links of the selected, unlocked texts, from the front.
    const KXCanvas::GraphList texts = m_canvas->selectedTexts();
    for (auto it = texts.rbegin(); it != texts.rend() && !kind; ++it) {
        if (!(*it)->isLocked() && linkOfTextAtPoint(dynamic_cast<KXShape*>(it->get()), point))
            kind = CursorKind::PointingHand;
    }
    // 2. The handles of the selected, unlocked objects, from the front.
    bool walkedPath = false;
    const kx::Point overlayPoint = overlayPointForPagePoint(point);
    const KXCanvas::GraphList selected = m_canvas->selectedGraphs();
    for (auto it = selected.rbegin(); it != selected.rend() && !kind; ++it) {
        KXGraph* graph = it->get();
        if (graph->isLocked())
            continue;
        auto* path = dynamic_cast<KXCustomShape*>(graph);
        if (path && path->shapeType() == KXShapeTypeCustom)
            walkedPath = true;
        if (auto* shape = dynamic_cast<KXShape*>(graph)) {
            kx::Layer* layer = shape->render() ? shape->render()->graphLayer() : nullptr;
            if (layer) {
                const kx::Point local = layer->convertPointFromLayer(point, m_canvasLayer.get());
                const kx::Point mapped =
                    transformPointAboutCenter(local, layer->bounds().center(), 0, shape->flipX(), shape->flipY());
                if (m_auxilLayer)
                    m_auxilLayer->setMousePoint(mapped);
                if (shape->hitTestEditableAtPoint(mapped)) {
                    kind = CursorKind::Drag;
                    break;
                }
            }
        }
        // Lines show no tracker, and a path with an active node is edited by its nodes.
        if (dynamic_cast<KXSymbolShape*>(graph) || (path && path->customPointElement() != -1))
            continue;
        const KXTrackerNode node = trackerNodeOfGraph(graph, overlayPoint);
        if (node == KXTrackerNodeRotate)
            kind = CursorKind::Rotate;
        else if (node < KXTrackerNodeRotate)
            kind = cursorOfAngle(KXTracker::angleOfNode(node, graph->angle()));
    }
    // The overlay shows the insertion hint of the segment under the mouse.
    if (walkedPath && m_auxilLayer && m_auxilLayer->drawMode() == KXAuxiliaryDrawModeControlNodes)
        redrawAuxiliaryLayer();
    resetCursorRects(kind.value_or(CursorKind::Arrow));
}
