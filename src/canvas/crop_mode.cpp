// The canvas view's two editing modes beyond moving and sizing whole objects:
//
// - crop mode, in which the user re-frames the image of one photo: the photo's shape keeps its frame (the
//   crop window) while the crop ghost shows the whole image faintly around it; a drag inside the window pans
//   the image under it, a drag on one of the eight handles of the whole image scales it about the opposite
//   corner or edge, keeping its aspect;
// - shape-node editing: drags of the special handles of parametric shapes, of the ends and bend of lines,
//   and of the nodes and control points of pen paths, turned into calls on the shapes.
//
// Crop geometry is in page space: W is the photo's visible area (the crop window), I the whole image placed
// so that the crop falls on W. The crop rectangle is in unit coordinates of the image, y up from its bottom.
#include "canvas/canvas_layer.h"
#include "canvas/canvas_view.h"
#include "canvas/handle_info.h"
#include "canvas/crop_layer.h"
#include "graphics/geometry_utilities.h"
#include "model/graph.h"
#include "model/photo.h"
#include "model/shape.h"
#include "platform/layers/layer_transaction.h"
#include "shapes/custom_shape.h"
#include "shapes/parametric_shape.h"
#include "shapes/symbol_shape.h"

#include <QMouseEvent>

#include <algorithm>
#include <cmath>

namespace {

bool finiteRect(const kx::Rect& r) {
    return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width) &&
           std::isfinite(r.size.height);
}

bool usableArea(const kx::Rect& r) {
    return finiteRect(r) && r.size.width > 0 && r.size.height > 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// Entering and leaving

bool KXPreview::isCroppingPhoto() const {
    return m_auxilLayer && m_auxilLayer->croppingPhoto() != nullptr;
}

void KXPreview::beginCropPhoto(KXPhoto* photo) {
    if (!photo)
        return;
    changePhoto(photo, photo->renderMode() == 0 ? 1 : 0);
}

void KXPreview::changePhoto(KXPhoto* photo, std::int32_t renderMode) {
    if (!photo)
        return;
    KXGraph* owner = photo->ownerGraph();
    if (renderMode != 0 && photo->renderMode() == 0) {
        if (!owner || !m_canvasLayer || owner->canvas() != m_canvas)
            return;
        // Only one photo is cropped at a time.
        if (isCroppingPhoto() && m_auxilLayer->croppingPhoto() != photo)
            removeCropLayer();
        const auto shared = std::static_pointer_cast<KXPhoto>(photo->weak_from_this().lock());
        if (!shared)
            return;
        // The whole image needs a crop to be placed by; a photo that never had one gets its centred crop now.
        photo->fullImageRectWithFrame(owner->frameRect());
        {
            kx::LayerTransaction transaction;
            if (m_cropLayer)
                m_cropLayer->removeFromSuperlayer();
            m_cropLayer = std::make_shared<KXCropLayer>(shared);
            m_cropLayer->setFrame(m_canvasLayer->bounds());
            kx::Layer* ownerLayer = owner->render() ? owner->render()->graphLayer() : nullptr;
            if (ownerLayer && ownerLayer->superlayer() == m_canvasLayer.get())
                m_canvasLayer->insertSublayerBelow(m_cropLayer, ownerLayer);
            else
                m_canvasLayer->addSublayer(m_cropLayer);
        }
        m_cropLayer->setNeedsDisplay();
        if (m_auxilLayer)
            m_auxilLayer->setCroppingPhoto(photo);
        setGraphsEditing(true);
        photo->setRenderMode(renderMode);
        photo->setNeedsDisplay();
        redrawAuxiliaryLayer();
        return;
    }
    if (renderMode == 0 && photo->renderMode() != 0) {
        if (m_cropLayer) {
            m_cropLayer->removeFromSuperlayer();
            m_cropLayer.reset();
        }
        if (m_auxilLayer && m_auxilLayer->croppingPhoto() == photo) {
            m_auxilLayer->setCroppingPhoto(nullptr);
            m_auxilLayer->setDrawMode(KXAuxiliaryDrawModeNormal);
        }
        setGraphsEditing(false);
        photo->setRenderMode(0);
        photo->setNeedsDisplay();
        redrawAuxiliaryLayer();
        return;
    }
    photo->setRenderMode(renderMode);
    redrawAuxiliaryLayer();
}

void KXPreview::exitCropMode() {
    setGraphsEditing(false);
    removeCropLayer();
}

void KXPreview::removeCropLayer() {
    KXPhoto* photo = m_auxilLayer ? m_auxilLayer->croppingPhoto() : nullptr;
    if (photo) {
        photo->setRenderMode(0);
        photo->setNeedsDisplay();
    }
    if (m_auxilLayer) {
        m_auxilLayer->setCroppingPhoto(nullptr);
        m_auxilLayer->setDrawMode(KXAuxiliaryDrawModeNormal);
    }
    if (m_cropLayer) {
        m_cropLayer->removeFromSuperlayer();
        m_cropLayer.reset();
    }
    redrawAuxiliaryLayer();
}

void KXPreview::undoNeedExitCropMode() {
    if (isCroppingPhoto())
        exitCropMode();
}

// ---------------------------------------------------------------------------------------------------------
// Clicks

void KXPreview::mouseDoubleClickAtPoint(const kx::Point&) {
    if (m_mutabSelectedList.size() != 1)
        return;
    const std::shared_ptr<KXGraph> graph = m_mutabSelectedList.front();
    if (graph->isLocked())
        return;
    if (KXCustomShape* path = penPathShape(graph.get()); path && path->customPointElement() != -1) {
        path->changeLineType();
        if (m_auxilLayer)
            m_auxilLayer->setDrawMode(KXAuxiliaryDrawModeControlNodes);
        redrawAuxiliaryLayer();
        return;
    }
    auto* shape = dynamic_cast<KXShape*>(graph.get());
    if (graph->graphType() == KXGraphTypePhoto && shape && shape->photo() && !shape->photo()->isEmpty())
        beginCropPhoto(shape->photo());
}

void KXPreview::singleClickWithCropAtPoint(const kx::Point& point) {
    m_mouseDownNode = KXTrackerNodeNone;
    m_mouseDownGraph.reset();
    m_handerInfo.reset();
    KXPhoto* photo = m_auxilLayer ? m_auxilLayer->croppingPhoto() : nullptr;
    KXGraph* owner = photo ? photo->ownerGraph() : nullptr;
    if (!owner) {
        removeCropLayer();
        singleClickWithNormalAtPoint(point);
        return;
    }
    m_mouseDownNode = m_auxilLayer->cropTrackNodeAtPoint(point);
    if (m_mouseDownNode == KXTrackerNodeNone && !owner->containsPoint(point)) {
        // A click outside the photo leaves crop mode and is then an ordinary click.
        owner->setSelected(false);
        changePhoto(photo, 0);
        singleClickWithNormalAtPoint(point);
        checkSelectionChanged();
        return;
    }
    m_mouseDownGraph = std::static_pointer_cast<KXGraph>(owner->weak_from_this().lock());
}

// ---------------------------------------------------------------------------------------------------------
// Crop drags

void KXPreview::dragCropToPoint(const kx::Point& point, QMouseEvent*) {
    KXPhoto* photo = m_auxilLayer ? m_auxilLayer->croppingPhoto() : nullptr;
    KXGraph* owner = photo ? photo->ownerGraph() : nullptr;
    if (!owner || !m_mouseDownGraph)
        return;
    if (m_mouseDownNode == KXTrackerNodeNone) {
        if (photo->renderMode() != 1)
            photo->setRenderMode(1);
        m_auxilLayer->setDraggingGraph(m_mouseDownGraph.get());
        m_auxilLayer->setDraggingNode(KXTrackerNodeNone);
        movePhotoCropWithMousePoint(point);
    } else if (m_mouseDownNode < KXTrackerNodeRotate) {
        m_auxilLayer->setDraggingGraph(owner);
        m_auxilLayer->setDraggingNode(trackerNode(m_mouseDownNode, owner->flipX(), owner->flipY()));
        if (photo->renderMode() == 1)
            resizePhotoCrop1WithMousePoint(point);
    }
    redrawAuxiliaryLayer();
}

std::optional<KXPreview::CropStep> KXPreview::cropStepToPoint(const kx::Point& q) {
    KXPhoto* photo = m_auxilLayer ? m_auxilLayer->croppingPhoto() : nullptr;
    KXGraph* owner = photo ? photo->ownerGraph() : nullptr;
    if (!owner || !m_mouseDownPoint)
        return std::nullopt;
    // The mouse's movement in the photo's own axes: unturned, and mirrored with its shape.
    const kx::Point anchor = *m_mouseDownPoint;
    const kx::Point turned = transformPointAboutCenter(q, anchor, -owner->angle(), 1, 1);
    CropStep step{photo, owner, (turned.x - anchor.x) * owner->flipX(), (turned.y - anchor.y) * owner->flipY(),
                  photo->visisbleRect(), photo->fullImageRectWithFrame(owner->frameRect())};
    // An empty window or image has no scale to work with.
    if (!usableArea(step.window) || !usableArea(step.image) || !std::isfinite(step.dx) || !std::isfinite(step.dy))
        return std::nullopt;
    return step;
}

void KXPreview::movePhotoCropWithMousePoint(const kx::Point& q) {
    const std::optional<CropStep> step = cropStepToPoint(q);
    if (!step)
        return;
    const auto& [photo, owner, dx, dy, W, I] = *step;
    // The image's offset from the window stays between W - I and 0 on each axis, so the image always
    // covers the window. An axis on which the image is smaller than the window has no such range; it
    // keeps its offset rather than clamping into an inverted range.
    const auto pan = [](double offset, double delta, double window, double image) {
        if (image < window)
            return offset;
        return std::clamp(offset + delta, window - image, 0.0);
    };
    const kx::Point o(pan(I.origin.x - W.origin.x, dx, W.size.width, I.size.width),
                      pan(I.origin.y - W.origin.y, dy, W.size.height, I.size.height));
    const kx::Rect crop = photo->cropRect();
    photo->setCropRect({-o.x / I.size.width, -o.y / I.size.height, crop.size.width, crop.size.height});
    photo->setNeedsDisplay();
    m_mouseDownPoint = q;
}

void KXPreview::resizePhotoCrop1WithMousePoint(const kx::Point& q) {
    const std::optional<CropStep> step = cropStepToPoint(q);
    if (!step)
        return;
    const auto& [photo, owner, dx, dy, W, I] = *step;
    const KXTrackerNode node = trackerNode(m_mouseDownNode, owner->flipX(), owner->flipY());
    if (node > 7)
        return;
    const double r = I.size.width / I.size.height;
    if (!(r > 0) || !std::isfinite(r))
        return;
    // Growth of the width and height (negative: shrinking), and the direction each grows in: +1 to the
    // right or up (the minimum edge stays), -1 to the left or down (the maximum edge stays). Corners take
    // both components, the smaller one relative to the aspect leading; edges lead with their own component.
    struct Rule {
        int sx, sy;
        enum { Both, Width, Height } lead;
    };
    static constexpr Rule kRules[8] = {
        {-1, +1, Rule::Both},   {+1, +1, Rule::Height}, {+1, +1, Rule::Both},  {+1, +1, Rule::Width},
        {+1, -1, Rule::Both},   {+1, -1, Rule::Height}, {-1, -1, Rule::Both},  {-1, -1, Rule::Width},
    };
    const Rule& rule = kRules[node];
    double gw = 0, gh = 0;
    switch (rule.lead) {
    case Rule::Both: {
        const double wx = rule.sx * dx, hy = rule.sy * dy;
        // One side growing while the other shrinks is no scale of the image.
        if ((wx > 0 && hy < 0) || (wx < 0 && hy > 0))
            return;
        if (float(std::abs(dx)) < float(std::abs(dy) * r)) {
            gw = wx;
            gh = gw / r;
        } else {
            gh = hy;
            gw = gh * r;
        }
        break;
    }
    case Rule::Width:
        gw = rule.sx * dx;
        gh = gw / r;
        break;
    case Rule::Height:
        gh = rule.sy * dy;
        gw = gh * r;
        break;
    }
    kx::Point o(I.origin.x - W.origin.x, I.origin.y - W.origin.y);
    kx::Size s = I.size;
    // No moving edge may come inside the window: the largest shrink on each axis is the distance from the
    // moving image edge to the window's edge; the step is shortened so that the nearer pair meets.
    const double roomW = rule.sx > 0 ? (o.x + s.width) - W.size.width : -o.x;
    const double roomH = rule.sy > 0 ? (o.y + s.height) - W.size.height : -o.y;
    const double minGw = std::max(-std::max(roomW, 0.0), -std::max(roomH, 0.0) * r);
    if (gw < minGw) {
        gw = minGw;
        gh = gw / r;
    }
    if (!std::isfinite(gw) || !std::isfinite(gh) || (gw == 0 && gh == 0))
        return;
    s = {s.width + gw, s.height + gh};
    if (!(s.width > 0) || !(s.height > 0))
        return;
    if (rule.sx < 0)
        o.x -= gw;
    if (rule.sy < 0)
        o.y -= gh;
    photo->setCropRect({std::abs(o.x) / s.width, std::abs(o.y) / s.height, W.size.width / s.width,
                        W.size.height / s.height});
    photo->setNeedsDisplay();
    m_mouseDownPoint = q;
}

// ---------------------------------------------------------------------------------------------------------
// Shape handles and path nodes

bool KXPreview::hitShape(KXShape* shape, const kx::Point& point) {
    m_handerInfo.reset();
    if (!shape || !m_canvasLayer)
        return false;
    kx::Layer* layer = shape->render() ? shape->render()->graphLayer() : nullptr;
    if (!layer)
        return false;
    const kx::Point local = layer->convertPointFromLayer(point, m_canvasLayer.get());
    const kx::Point mapped =
        transformPointAboutCenter(local, layer->bounds().center(), 0, shape->flipX(), shape->flipY());
    m_handerInfo = shape->handlerInfoAtPoint(mapped);
    if (m_auxilLayer) {
        if (m_handerInfo) {
            m_auxilLayer->setDrawMode(KXAuxiliaryDrawModeEditable);
            const KXCustomShape* path = penPathShape(shape);
            if ((path && path->isShowCustomCtlPoint()) || shape->shapeType() == KXShapeTypeDoubleArrow)
                m_auxilLayer->setDrawMode(KXAuxiliaryDrawModeControlNodes);
        } else {
            m_auxilLayer->setDrawMode(KXAuxiliaryDrawModeNormal);
        }
        m_auxilLayer->setDragEventDictionary(m_handerInfo);
    }
    return m_handerInfo.has_value();
}

void KXPreview::dragSpecialNodeToPoint(QMouseEvent* event, const kx::Point& q) {
    KXGraph* graph = m_mouseDownGraph.get();
    auto* shape = dynamic_cast<KXShape*>(graph);
    if (!shape || !m_handerInfo || !m_mouseDownPoint)
        return;
    // Only plain shapes and lines reshape by their handles; a photo or text shape that reported a handle
    // does not.
    if (graph->graphType() != KXGraphTypeShape && graph->graphType() != KXGraphTypeLine)
        return;
    m_needUpdateAnchorPoint = true;
    const std::int32_t e = handleInfoInteger(*m_handerInfo, KXHandleElementKey);
    const kx::Point anchor = *m_mouseDownPoint;
    const kx::AffineTransform toShape = makeTransformAboutCenter(anchor, -graph->angle(), graph->flipX(),
                                                                 graph->flipY(), {});
    const kx::Point m = toShape.apply(q);
    const double dx = m.x - anchor.x, dy = m.y - anchor.y;
    if (!std::isfinite(dx) || !std::isfinite(dy))
        return;
    kx::Point next = q;
    // Lines and paths: the anchor follows what the shape accepted, so a constrained or snapped node stays
    // under the mouse's accumulated movement.
    const auto accepted = [&](const kx::Point& offset) {
        return toShape.inverted().apply(kx::Point(anchor.x + offset.x, anchor.y + offset.y));
    };
    auto* special = dynamic_cast<KXSpecialShape*>(shape);
    auto* line = dynamic_cast<KXSymbolShape*>(shape);
    if (KXCustomShape* path = penPathShape(shape)) {
        const bool snap = event && (event->modifiers() & Qt::ShiftModifier);
        next = accepted(path->dragPathElement(e, float(dx), float(dy), handleInfoInteger(*m_handerInfo, KXHandleChangeTypeKey), snap));
    } else if (special) {
        switch (shape->shapeType()) {
        case KXShapeTypeRoundedRectangle: special->dragCircularSpecialNode(e, float(dx), float(dy)); break;
        case KXShapeTypeSingleArrow: special->dragSingleArrowSpecialNode(e, dx, dy); break;
        case KXShapeTypeDoubleArrow: special->dragDoubleArrowSpecialNode(e, float(dx), float(dy)); break;
        case KXShapeTypeBubble: special->dragBubbleSpecialNode(e, float(dx), float(dy), m); break;
        case KXShapeTypePolygon: special->dragPolygonSpecialNode(e, m); break;
        case KXShapeTypeStar: special->dragStarSpecialNode(e, m); break;
        default: break;
        }
    } else if (line) {
        switch (shape->shapeType()) {
        case KXShapeTypeLine: next = accepted(line->dragLineShapeNode(e, dx, dy)); break;
        case KXShapeTypeCurve: next = accepted(line->dragCurveShapeNode(e, dx, dy)); break;
        case KXShapeTypeArrowLine: next = accepted(line->dragMarkShapeNode(e, dx, dy)); break;
        default: break;
        }
    }
    m_mouseDownPoint = next;
    redrawAuxiliaryLayer();
}
