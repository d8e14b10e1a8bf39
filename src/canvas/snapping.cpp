#include "canvas/snapping.h"

#include "canvas/auxiliary_layer.h"
#include "canvas/canvas_layer.h"
#include "graphics/geometry_utilities.h"
#include "model/graph.h"
#include "platform/foundation/user_defaults.h"

#include <algorithm>
#include <cmath>

namespace {

KXLine horizontalLine(double y, double x1, double x2) { return KXLine(x1, y, x2, y); }
KXLine verticalLine(double x, double y1, double y2) { return KXLine(x, y1, x, y2); }

// The coordinate a line stands at: its y when horizontal, its x otherwise.
double lineCoordinate(const KXLine& line) { return line.isHorizon() ? line.beginY() : line.beginX(); }

// The distance from a coordinate of the line to a target coordinate, in single precision.
float difference(double lineValue, double target) { return std::fabs(float(lineValue) - float(target)); }

}  // namespace

// ---- one line against one target ----

std::optional<KXLine> KXSnapping::aligmentLine(const KXLine& line, const kx::Rect& rect, float& minDist,
                                               bool isAdsorbing, bool enableCenterAlignment) {
    // A line of zero length has no direction: matching it as either kind would move the object by a
    // meaningless offset.
    if (!line.isValid() || rect.isNull())
        return std::nullopt;
    const bool horizontal = line.isHorizon();
    const double at = horizontal ? line.beginY() : line.beginX();
    const double center = horizontal ? line.centerY() : line.centerX();
    const double targetMin = horizontal ? rect.minY() : rect.minX();
    const double targetMid = horizontal ? rect.midY() : rect.midX();
    const double targetMax = horizontal ? rect.maxY() : rect.maxX();
    // Matches span the line and the target along the line's direction.
    const double spanMin = horizontal ? std::min(line.minX(), rect.minX()) : std::min(line.minY(), rect.minY());
    const double spanMax = horizontal ? std::max(line.maxX(), rect.maxX()) : std::max(line.maxY(), rect.maxY());
    auto make = [&](double value) {
        return horizontal ? horizontalLine(value, spanMin, spanMax) : verticalLine(value, spanMin, spanMax);
    };

    float d = minDist;
    std::optional<KXLine> result;

    // Bottom (left) edge.
    if (const float diff = difference(at, targetMin); diff <= d) {
        result = make(targetMin);
        d = diff;
    }
    // Centre line.
    if (enableCenterAlignment) {
        float t = float(targetMid);
        float u = std::fabs(float(center) - t);
        if (!isAdsorbing && d < u && t != std::floor(t)) {
            // A guide may also show at the whole number on either side of a centre between two pixels.
            t = std::floor(t);
            u = std::fabs(float(center) - t);
            if (d < u) {
                t = t + 1;
                u = std::fabs(float(center) - t);
            }
        }
        if (u <= d) {
            result = make(t);
            d = u;
        }
    }
    // Top (right) edge; a right edge also takes any difference under one point.
    if (const float diff = difference(at, targetMax); diff <= d || (!horizontal && diff < 1.0f)) {
        result = make(targetMax);
        d = diff;
    }
    minDist = d;
    return result;
}

KXLine KXSnapping::lineOfRect(const kx::Rect& rect, int alignment) {
    switch (alignment) {
    case KXAlignmentLeft:
        return verticalLine(rect.minX(), rect.minY(), rect.maxY());
    case KXAlignmentRight:
        return verticalLine(rect.maxX(), rect.minY(), rect.maxY());
    case KXAlignmentTop:
        return horizontalLine(rect.maxY(), rect.minX(), rect.maxX());
    case KXAlignmentBottom:
        return horizontalLine(rect.minY(), rect.minX(), rect.maxX());
    case KXAlignmentCenterY:
        return horizontalLine(rect.midY(), rect.minX(), rect.maxX());
    case KXAlignmentCenterX:
        return verticalLine(rect.midX(), rect.minY(), rect.maxY());
    default:
        return KXLine();
    }
}

// ---- rectangles ----

kx::Rect KXSnapping::guideRectOfGraph(const KXGraph& graph) {
    return roundRectComponents(graph.graphRectWithRotationInGroup());
}

kx::Rect KXSnapping::objectRectOfGraph(const KXGraph& graph) {
    const kx::Rect placed = guideRectOfGraph(graph);
    return roundRectComponents(
        transformRectAboutCenter(placed.center(), graph.angle(), graph.flipX(), graph.flipY(), placed));
}

kx::Rect KXSnapping::pageBounds() const {
    return m_canvasLayer ? m_canvasLayer->bounds() : kx::Rect::null();
}

kx::Rect KXSnapping::pageRect() const {
    if (!m_canvasLayer)
        return kx::Rect::null();
    if (KXCanvas* canvas = m_canvasLayer->canvas()) {
        const kx::Rect margin = canvas->previewMarginRect();
        if (!margin.isEmpty())
            return margin;
    }
    return m_canvasLayer->bounds();
}

// ---- snapping ----

std::optional<KXLine> KXSnapping::alignmentLine(const KXLine& line, const GraphList* graphs, float& minDist) {
    if (!line.isValid() || !graphs)
        return std::nullopt;
    std::optional<KXLine> result;
    for (const std::shared_ptr<KXGraph>& graph : *graphs) {
        if (!graph)
            continue;
        if (std::optional<KXLine> match = aligmentLine(line, objectRectOfGraph(*graph), minDist, true, false))
            result = match;
    }
    return result;
}

std::optional<KXLine> KXSnapping::lineForRectInPage(const kx::Rect& rect, int alignment, const kx::Rect& pageRect,
                                                    float& minDist) const {
    return aligmentLine(lineOfRect(rect, alignment), pageRect, minDist, true, true);
}

std::optional<KXLine> KXSnapping::lineForRectWithGraphs(const kx::Rect& rect, int alignment,
                                                        const GraphList* graphs, float& minDist) const {
    return alignmentLine(lineOfRect(rect, alignment), graphs, minDist);
}

std::optional<KXLine> KXSnapping::alignLineOfRect(const kx::Rect& rect, double& offsetX, double& offsetY,
                                                  const GraphList* graphs, int alignmentLine) const {
    const kx::Rect page = pageRect();
    const kx::Rect bounds = pageBounds();
    const kx::UserDefaults& defaults = kx::UserDefaults::standard();
    const bool toPage = defaults.boolValue(KXAutoSnap) && !page.isNull();
    const bool toObjects = defaults.boolValue(KXAutoObjectSnap);

    std::optional<KXLine> last;
    float d = KXSnapDistance;
    // An edge kind: against the page, then against the other objects; each match moves the edge onto it.
    auto edge = [&](int kind, double& offset, double edgeValue) {
        if (!(alignmentLine & alignmentBit(kind)))
            return;
        if (toPage) {
            if (std::optional<KXLine> match = lineForRectInPage(rect, kind, page, d)) {
                offset = lineCoordinate(*match) - edgeValue;
                last = match;
            }
        }
        if (toObjects) {
            if (std::optional<KXLine> match = lineForRectWithGraphs(rect, kind, graphs, d)) {
                offset = lineCoordinate(*match) - edgeValue;
                last = match;
            }
        }
    };
    // A centre kind: against the page's bounds only.
    auto centre = [&](int kind, double& offset, double centreValue) {
        if (!(alignmentLine & alignmentBit(kind)) || !toPage || bounds.isNull())
            return;
        if (std::optional<KXLine> match = lineForRectInPage(rect, kind, bounds, d)) {
            offset = lineCoordinate(*match) - centreValue;
            last = match;
        }
    };

    edge(KXAlignmentBottom, offsetY, rect.minY());
    edge(KXAlignmentTop, offsetY, rect.maxY());
    centre(KXAlignmentCenterY, offsetY, rect.midY());
    d = KXSnapDistance;
    edge(KXAlignmentLeft, offsetX, rect.minX());
    centre(KXAlignmentCenterX, offsetX, rect.midX());
    edge(KXAlignmentRight, offsetX, rect.maxX());
    return last;
}

kx::Point KXSnapping::absorbGraph(const KXGraph* graph, const GraphList* unselectedGraphs, int alignmentLine) const {
    if (!graph)
        return {0, 0};
    double x = 0, y = 0;
    alignLineOfRect(objectRectOfGraph(*graph), x, y, unselectedGraphs, alignmentLine);
    return {std::isfinite(x) ? x : 0, std::isfinite(y) ? y : 0};
}

// ---- guides ----

void KXSnapping::addLine(const std::optional<KXLine>& line) const {
    if (!line || !m_overlay)
        return;
    const kx::Point begin = m_overlay->convertPointFromLayer({line->beginX(), line->beginY()}, m_canvasLayer);
    const kx::Point end = m_overlay->convertPointFromLayer({line->endX(), line->endY()}, m_canvasLayer);
    m_overlay->addLine(KXLine(begin.x, begin.y, end.x, end.y));
}

void KXSnapping::updateLines(const SixLines& lines, const kx::Rect& rect, bool enableCenterAlignment) const {
    // Positions in SixLines of the two centre lines.
    constexpr std::size_t centreY = 1, centreX = 4;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const bool isCentre = i == centreY || i == centreX;
        if (isCentre && !enableCenterAlignment)
            continue;
        float d = KXGuideDistance;
        std::optional<KXLine> match = aligmentLine(lines[i], rect, d, false, enableCenterAlignment);
        const double at = i == centreY ? lines[i].beginY() : lines[i].beginX();
        if (isCentre && !match && at != std::floor(at)) {
            // A centre between two pixels: a guide half a point either side counts too.
            for (const double shift : {0.5, -0.5}) {
                KXLine shifted = lines[i];
                if (i == centreY) {
                    shifted.setBeginY(shifted.beginY() + shift);
                    shifted.setEndY(shifted.endY() + shift);
                } else {
                    shifted.setBeginX(shifted.beginX() + shift);
                    shifted.setEndX(shifted.endX() + shift);
                }
                d = KXGuideDistance;
                match = aligmentLine(shifted, rect, d, false, enableCenterAlignment);
                if (match)
                    break;
            }
        }
        addLine(match);
    }
}

void KXSnapping::updateLinesForRect(const kx::Rect& rect, const GraphList* graphs) const {
    if (!graphs)
        return;
    const SixLines lines = {lineOfRect(rect, KXAlignmentBottom), lineOfRect(rect, KXAlignmentCenterY),
                            lineOfRect(rect, KXAlignmentTop),    lineOfRect(rect, KXAlignmentLeft),
                            lineOfRect(rect, KXAlignmentCenterX), lineOfRect(rect, KXAlignmentRight)};
    const kx::Rect page = pageRect();
    if (!page.isNull())
        updateLines(lines, roundRectComponents(page), true);
    for (const std::shared_ptr<KXGraph>& graph : *graphs) {
        if (graph)
            updateLines(lines, objectRectOfGraph(*graph), false);
    }
}
