#include "model/reflection_geometry.h"

#include "graphics/geometry_utilities.h"
#include "model/graph.h"
#include "model/shape.h"
#include "model/stroke.h"

#include <algorithm>
#include <cmath>

double reflectionGap(double zoom) {
    const double gap = std::round(zoom);
    return std::isfinite(gap) ? std::max(1.0, gap) : 1.0;
}

kx::Rect reflectionSourceBounds(const KXGraph& graph, const kx::Rect& rect, const kx::Size& preview) {
    const kx::Point c = rect.center();
    const double angle = graph.angle();
    const auto* shape = dynamic_cast<const KXShape*>(&graph);
    if (!shape)
        return transformRectAboutCenter(c, angle, 1, 1, rect);
    kx::BezierPath outline = shape->shapePathWithRect(rect);
    if (outline.isEmpty())
        return {};
    if (angle != 0)
        outline.transform(makeTransformAboutCenter(c, angle, 1, 1, kx::AffineTransform()));
    kx::Rect bounds = outline.bounds();
    if (bounds.size.width * bounds.size.height == 0 && graph.graphType() == KXGraphTypeLine &&
        graph.isStrokeEnabled() && graph.stroke()) {
        const double w = graph.stroke()->borderWidthWithReference(std::min(preview.width, preview.height), 1);
        if (bounds.size.width == 0) {
            bounds.size.width = w;
            bounds.origin.x -= w / 2;
        } else {
            bounds.size.height = w;
            bounds.origin.y -= w / 2;
        }
    }
    return bounds;
}

kx::Rect reflectionBand(const kx::Rect& source, double gap, bool roundHeight) {
    const double h = roundHeight ? std::round(0.35 * source.size.height) : 0.35 * source.size.height;
    return {source.origin.x, source.origin.y - h - gap, source.size.width, h};
}
