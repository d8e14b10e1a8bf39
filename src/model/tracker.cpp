#include "model/tracker.h"

#include "graphics/color_utilities.h"
#include "graphics/geometry_utilities.h"

#include <cmath>
#include <numbers>

namespace {
// How far the rotate node lies beyond the edge its stalk starts from.
constexpr double kRotateStalkLength = 24.0;

constexpr KXTrackerNode kCornerNodes[] = {0, 2, 4, 6};
constexpr KXTrackerNode kMidNodes[] = {7, 3, 5, 1};
constexpr KXTrackerNode kRotateNodes[] = {KXTrackerNodeRotate};
}  // namespace

KXTracker::KXTracker()
    : m_nodeColor(createSRGBColor(1, 1, 1, 1)),
      m_strokeColor(createSRGBColor(0, 0, 0, 1)),
      m_lineColor(createSRGBColor(0, 0, 0, 1)),
      m_rotateColor(createSRGBColor(0, 1, 0, 1)) {
    setNodeRadius(8);
}

void KXTracker::setFrame(const kx::Rect& frame) {
    m_frame = roundRectComponents(frame);
}

kx::Point KXTracker::positionOfNode(KXTrackerNode node, const kx::Rect& rect) const {
    const double x = rect.origin.x;
    const double y = rect.origin.y;
    const double w = rect.size.width;
    const double h = rect.size.height;
    switch (node) {
    case 0: return {x, y + h};
    case 1: return {x + w / 2, y + h};
    case 2: return {x + w, y + h};
    case 3: return {x + w, y + h / 2};
    case 4: return {x + w, y};
    case 5: return {x + w / 2, y};
    case 6: return {x, y};
    case 7: return {x, y + h / 2};
    case KXTrackerNodeRotate:
        if (m_rotateRootNode == 1)
            return {x + w / 2, y + h + kRotateStalkLength};
        if (m_rotateRootNode == 5)
            return {x + w / 2, y - kRotateStalkLength};
        return {0, 0};
    default: return {0, 0};
    }
}

kx::Rect KXTracker::nodeRectInRect(const kx::Rect& rect, KXTrackerNode node) const {
    const kx::Point center = positionOfNode(node, rect);
    const double side = double(m_nodeRadius);
    return {center.x - side / 2, center.y - side / 2, side, side};
}

bool KXTracker::isCornerNode(KXTrackerNode node) {
    return node == 0 || node == 2 || node == 4 || node == 6;
}

bool KXTracker::isResizeNode(KXTrackerNode node) {
    return node <= 7;
}

kx::Point KXTracker::convertPointToRenderSpace(const kx::Point& point) const {
    const kx::Point center = m_frame.center();
    const double c = std::cos(-m_angle);
    const double s = std::sin(-m_angle);
    const double dx = point.x - center.x;
    const double dy = point.y - center.y;
    return {center.x + dx * c - dy * s, center.y + dx * s + dy * c};
}

KXTrackerNode KXTracker::nodeAtPoint(const kx::Point& point) const {
    return nodeAtPoint(convertPointToRenderSpace(point), m_frame);
}

KXTrackerNode KXTracker::nodeAtPoint(const kx::Point& point, const kx::Rect& frame) const {
    for (KXTrackerNode node = 0; node <= KXTrackerNodeRotate; ++node) {
        if (!nodeRectInRect(frame, node).contains(point))
            continue;
        bool enabled;
        if (node == KXTrackerNodeRotate)
            enabled = m_hasRotateNode && m_hasMidNode;  // the rotate node goes with the middles too
        else if (isCornerNode(node))
            enabled = m_hasCornerNode;
        else
            enabled = m_hasMidNode;
        // The first square that holds the point decides, even when its node is switched off.
        return enabled ? node : KXTrackerNodeNone;
    }
    return KXTrackerNodeNone;
}

double KXTracker::angleOfNode(KXTrackerNode node, double ownerAngle) {
    constexpr double pi = std::numbers::pi;
    double term = 0;
    switch (node) {
    case 0: term = 7 * pi / 4; break;
    case 1: term = 0; break;
    case 2: term = pi / 4; break;
    case 3: term = pi / 2; break;
    case 4: term = 3 * pi / 4; break;
    case 5: term = pi; break;
    case 6: term = 5 * pi / 4; break;
    case 7: term = 3 * pi / 2; break;
    default: term = 0; break;
    }
    const double d = 2 * pi - ownerAngle + term;
    if (d > 2 * pi)
        return d - 2 * pi;
    if (d < 0)
        return d + 2 * pi;
    return d;
}

void KXTracker::drawInContext(kx::BitmapContext& context) const {
    renderLine(context, m_frame);
    renderNode(context, m_frame);
}

void KXTracker::renderLine(kx::BitmapContext& context, const kx::Rect& rect) const {
    context.saveGState();
    if (m_lineType == 1)
        context.setLineDash(0, {5, 4});
    context.setLineWidth(m_strokeWidth);
    context.setStrokeColor(m_lineColor);
    context.strokeRect(rect);
    if (m_hasRotateNode) {
        context.setLineWidth(m_strokeWidth);
        context.beginPath();
        context.moveTo(positionOfNode(KXTrackerNode(m_rotateRootNode), m_frame));
        context.lineTo(positionOfNode(KXTrackerNodeRotate, m_frame));
        context.strokePath();
    }
    context.restoreGState();
}

void KXTracker::fillAndStrokeNodes(kx::BitmapContext& context, const kx::Rect& rect, const KXTrackerNode* nodes,
                                   int count, const kx::Color& fill) const {
    context.saveGState();
    context.setFillColor(fill);
    context.setStrokeColor(m_strokeColor);
    for (int i = 0; i < count; ++i)
        context.fillEllipseInRect(nodeRectInRect(rect, nodes[i]));
    context.beginPath();
    for (int i = 0; i < count; ++i)
        context.addEllipseInRect(nodeRectInRect(rect, nodes[i]));
    context.strokePath();
    context.restoreGState();
}

void KXTracker::renderNode(kx::BitmapContext& context, const kx::Rect& rect) const {
    if (m_hasCornerNode)
        fillAndStrokeNodes(context, rect, kCornerNodes, 4, m_nodeColor);
    if (m_hasMidNode)
        fillAndStrokeNodes(context, rect, kMidNodes, 4, m_nodeColor);
    if (m_hasRotateNode)
        fillAndStrokeNodes(context, rect, kRotateNodes, 1, m_rotateColor);
}

void KXTracker::drawInContext(kx::BitmapContext& context, KXTrackerNode node) const {
    drawInContext(context, node, nodeRectInRect(m_frame, node));
}

void KXTracker::drawInContext(kx::BitmapContext& context, KXTrackerNode node, const kx::Rect& square) const {
    kx::Color fill;
    if (isResizeNode(node))
        fill = m_nodeColor;
    else if (node == KXTrackerNodeRotate)
        fill = m_rotateColor;
    else
        return;
    context.saveGState();
    context.setFillColor(fill);
    context.setStrokeColor(m_strokeColor);
    context.fillEllipseInRect(square);
    context.beginPath();
    context.addEllipseInRect(square);
    context.strokePath();
    context.restoreGState();
}

void KXTracker::drawLockLineInContext(kx::BitmapContext& context) const {
    context.saveGState();
    context.setStrokeColor(createSRGBColor(1, 1, 0, 1));
    context.strokeRect(m_frame);
    context.restoreGState();
}
