// Moving, turning and resizing a graph while it is dragged, and keeping its layer visually in place while
// the layer's anchor point moves to the handle that stays fixed. The model changes only the relative
// rectangle and the angle (the page turns them into undo steps); the layer's anchor point and position are
// set directly on the render object's layer, inside transactions.
#include "graphics/geometry_utilities.h"
#include "model/canvas.h"
#include "model/graph.h"
#include "platform/layers/layer.h"
#include "platform/layers/layer_transaction.h"

#include <cmath>

namespace {
// The smallest width and height a resize may leave.
constexpr double kMinimumSide = 2;
const kx::Point kCentre{0.5, 0.5};

bool isFinite(const kx::Rect& r) {
    return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width) &&
           std::isfinite(r.size.height);
}
}  // namespace

bool KXGraph::relativeRectFromFrame(const kx::Rect& frame, kx::Rect* relative) const {
    const kx::Size preview = m_canvas ? m_canvas->previewSize() : kx::Size();
    // A page that has not been fitted to a view has no preview size to divide by.
    if (!(preview.width > 0) || !(preview.height > 0))
        return false;
    *relative = {frame.origin.x / preview.width, frame.origin.y / preview.height, frame.size.width / preview.width,
                 frame.size.height / preview.height};
    return isFinite(*relative);
}

void KXGraph::moveGraphWithOffsetX(double dx, double dy) {
    const kx::Rect frame = frameRect();
    kx::Rect moved;
    if (!relativeRectFromFrame({frame.origin.x + dx, frame.origin.y + dy, 0, 0}, &moved))
        return;
    setRelativeRect({moved.origin, m_relativeRect.size});
}

void KXGraph::rotateGraphWithOffsetAngle(double offset) {
    const double angle = m_angle + offset;
    setAngle(angle);
    if (m_render)
        m_render->setAngle(angle);
}

kx::Point KXGraph::anchorPointOfTrackerNode(std::uint32_t node) {
    switch (node) {
    case 1: return {0.5, 0};
    case 2: return {0, 0};
    case 3: return {0, 0.5};
    case 4: return {0, 1};
    case 5: return {0.5, 1};
    case 6: return {1, 1};
    case 7: return {1, 0.5};
    default: return {1, 0};
    }
}

kx::Point KXGraph::fixedPositionOfAnchorPoint(const kx::Point& anchor) {
    kx::Layer* layer = m_render ? m_render->graphLayer() : nullptr;
    if (!layer) {
        // Without a layer the anchor is where it would sit on the frame.
        const kx::Rect frame = frameRect();
        return {frame.origin.x + anchor.x * frame.size.width, frame.origin.y + anchor.y * frame.size.height};
    }
    if (layer->anchorPoint() == anchor)
        return layer->position();
    kx::LayerTransaction transaction;
    const kx::Rect bounds = layer->bounds();
    const kx::Point inLayer{bounds.origin.x + bounds.size.width * anchor.x,
                            bounds.origin.y + bounds.size.height * anchor.y};
    // Only top-level graphs are moved and resized, so the page layer is the layer's own superlayer.
    const kx::Layer* target = m_render->canvasLayer();
    if (!target)
        target = layer->superlayer();
    const kx::Point position =
        target ? layer->convertPointToLayer(inLayer, target) : layer->transformToSuperlayer().apply(inLayer);
    layer->setAnchorPoint(anchor);
    layer->setPosition(position);
    return position;
}

void KXGraph::setLayerPosition(const kx::Point& position) {
    if (kx::Layer* layer = m_render ? m_render->graphLayer() : nullptr) {
        kx::LayerTransaction transaction;
        layer->setPosition(position);
    }
}

double KXGraph::resizeAspectRatio(const kx::Rect& frame) const {
    if (m_aspectRatio > 0 && std::isfinite(m_aspectRatio))
        return m_aspectRatio;
    // A graph that never had an aspect ratio takes that of its frame.
    if (frame.size.height > 0 && frame.size.width > 0)
        return frame.size.width / frame.size.height;
    return 0;
}

bool KXGraph::applyResizedFrame(const kx::Rect& frame, const kx::Point& position, bool hasPosition) {
    if (!isFinite(frame) || frame.size.width < kMinimumSide || frame.size.height < kMinimumSide)
        return false;
    kx::Rect relative;
    if (!relativeRectFromFrame(frame, &relative))
        return false;
    kx::LayerTransaction transaction;
    setRelativeRect(relative);
    kx::Layer* layer = m_render ? m_render->graphLayer() : nullptr;
    if (layer && hasPosition)
        layer->setPosition(position);
    return true;
}

bool KXGraph::resizeGraphWithOffsetX(double dx, double dy, std::uint32_t node, bool keepAspect) {
    if (dx == 0 && dy == 0)
        return false;
    const kx::Point position = fixedPositionOfAnchorPoint(anchorPointOfTrackerNode(node));
    const kx::Rect frame = frameRect();
    const double x = frame.origin.x, y = frame.origin.y, w = frame.size.width, h = frame.size.height;
    double nx = x, ny = y, nw = w, nh = h;
    const bool corner = node == 0 || node == 2 || node == 4 || node == 6;

    if (corner) {
        // The width and the height must change in the same sense.
        bool opposite = false;
        switch (node) {
        case 0: opposite = (dx > 0 && dy > 0) || (dx < 0 && dy < 0); break;
        case 2: opposite = (dx > 0 && dy < 0) || (dx < 0 && dy > 0); break;
        case 4: opposite = (dx >= 0 && dy >= 0) || (dx < 0 && dy < 0); break;
        case 6: opposite = (dx > 0 && dy < 0) || (dx < 0 && dy > 0); break;
        }
        if (opposite)
            return false;
        if (!keepAspect) {
            switch (node) {
            case 0: nx = x + dx; nw = w - dx; nh = h + dy; break;
            case 2: nw = w + dx; nh = h + dy; break;
            case 4: nw = w + dx; ny = y + dy; nh = h - dy; break;
            case 6: nx = x + dx; nw = w - dx; ny = y + dy; nh = h - dy; break;
            }
        } else {
            const double r = resizeAspectRatio(frame);
            if (!(r > 0))
                return false;
            const double s = (node == 0 || node == 4) ? -1 : 1;
            double ex, ey;
            if (std::fabs(float(dx)) > std::fabs(float(dy)) * r) {
                ey = dy;
                ex = s * r * dy;
            } else {
                ex = dx;
                ey = s * dx / r;
            }
            if (r >= 1) {
                if (node == 0 || node == 6) {
                    nx = x + ex;
                    nw = w - ex;
                } else {
                    nw = w + ex;
                }
                nh = nw / r;
                if (node == 4 || node == 6)
                    ny = y - (nh - h);
            } else {
                if (node == 0 || node == 2) {
                    nh = h + ey;
                } else {
                    ny = y + ey;
                    nh = h - ey;
                }
                nw = r * nh;
                if (node == 0 || node == 6)
                    nx = x - (nw - w);
            }
        }
    } else if (node == 1 || node == 3 || node == 5 || node == 7) {
        switch (node) {
        case 1: nh = h + dy; break;
        case 5: ny = y + dy; nh = h - dy; break;
        case 3: nw = w + dx; break;
        case 7: nx = x + dx; nw = w - dx; break;
        }
        if (graphType() == KXGraphTypeGroup) {
            // A group keeps its proportions about its centre.
            const double r = resizeAspectRatio(frame);
            if (!(r > 0))
                return false;
            if (node == 1 || node == 5) {
                nw = r * nh;
                nx = x - (nw - w) / 2;
            } else {
                nh = nw / r;
                ny = y - (nh - h) / 2;
            }
        } else if (graphType() == KXGraphTypePhoto) {
            setUpdateAspectRatio(true);
        }
    }
    return applyResizedFrame({nx, ny, nw, nh}, position, true);
}

bool KXGraph::resizeGraphToOffsetX(double dx, double dy, std::uint32_t node) {
    if (dx == 0 && dy == 0)
        return false;
    const kx::Point position = fixedPositionOfAnchorPoint(anchorPointOfTrackerNode(node));
    const kx::Rect frame = frameRect();
    const double x = frame.origin.x, y = frame.origin.y, w = frame.size.width, h = frame.size.height;
    double nx = x, ny = y, nw = w, nh = h;
    switch (node) {
    case 2: nw = w + dx; nh = h + dy; break;
    case 3:
        nw = w + dx;
        if (graphType() == KXGraphTypeGroup) {
            const double r = resizeAspectRatio(frame);
            if (!(r > 0))
                return false;
            nh = nw / r;
            ny = y - (nh - h) / 2;
        } else if (graphType() == KXGraphTypePhoto) {
            setUpdateAspectRatio(true);
        }
        break;
    case 4: nw = w + dx; ny = y + dy; nh = h - dy; break;
    case 5:
        ny = y + dy;
        nh = h - dy;
        if (graphType() == KXGraphTypeGroup) {
            const double r = resizeAspectRatio(frame);
            if (!(r > 0))
                return false;
            nw = r * nh;
            nx = x - (nw - w) / 2;
        } else if (graphType() == KXGraphTypePhoto) {
            setUpdateAspectRatio(true);
        }
        break;
    case 6: nx = x + dx; nw = w - dx; ny = y + dy; nh = h - dy; break;
    default: break;
    }
    return applyResizedFrame({nx, ny, nw, nh}, position, true);
}

void KXGraph::resetAnchor() {
    kx::Layer* layer = m_render ? m_render->graphLayer() : nullptr;
    if (!layer)
        return;
    kx::LayerTransaction transaction;
    if (layer->anchorPoint() == kCentre)
        return;
    const kx::Rect rounded = roundRectComponents(frameRect());
    const kx::Rect bounds = layer->bounds();
    const kx::Point centre = layer->transformToSuperlayer().apply(
        kx::Point{bounds.origin.x + rounded.size.width / 2, bounds.origin.y + rounded.size.height / 2});
    layer->setAnchorPoint(kCentre);
    layer->setPosition(centre);
    const kx::Size b = bounds.size;
    kx::Rect relative;
    if (relativeRectFromFrame({centre.x - b.width / 2, centre.y - b.height / 2, b.width, b.height}, &relative))
        setRelativeRect(relative);
}

kx::Rect KXGraph::frameRectWithRotationInGroup() const {
    if (m_group) {
        const kx::Rect g = m_group->frameRectWithRotationInGroup();
        return {m_relativeRect.origin.x * g.size.width + g.origin.x,
                m_relativeRect.origin.y * g.size.height + g.origin.y, m_relativeRect.size.width * g.size.width,
                m_relativeRect.size.height * g.size.height};
    }
    kx::Layer* layer = m_render ? m_render->graphLayer() : nullptr;
    if (!layer || layer->anchorPoint() == kCentre)
        return frameRect();
    // While a drag has moved the anchor, report where the layer really is.
    const kx::Size preview = m_canvas ? m_canvas->previewSize() : kx::Size();
    const kx::Rect bounds = layer->bounds();
    const kx::Point centre = layer->transformToSuperlayer().apply(
        kx::Point{bounds.origin.x + m_relativeRect.size.width * preview.width / 2,
                  bounds.origin.y + m_relativeRect.size.height * preview.height / 2});
    return {centre.x - bounds.size.width / 2, centre.y - bounds.size.height / 2, bounds.size.width,
            bounds.size.height};
}

kx::Rect KXGraph::graphRectWithRotationInGroup() const {
    return frameRectWithRotationInGroup();
}
