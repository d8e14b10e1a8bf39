// Where a graph's reflection goes, shared by the page output and the reflection layer of the canvas: the
// box that is mirrored (the graph's turned outline) and the band beneath it.
#pragma once

#include "platform/foundation/geometry.h"

class KXGraph;

// The gap between a graph and its reflection at a zoom: the zoom rounded, at least 1.
double reflectionGap(double zoom);
// The bounding box of the graph drawn in `rect`, turned by its angle about the rectangle's centre: a shape's
// outline (a zero rectangle when it has none), any other graph's rectangle. A line of no width or height
// with its stroke on gets the stroke's width (relative to the shorter side of `preview`) across it.
kx::Rect reflectionSourceBounds(const KXGraph& graph, const kx::Rect& rect, const kx::Size& preview);
// The band under the source box: 35 percent of its height rounded when `roundHeight` is set (the page
// output works in whole pixels), as wide as it, `gap` below its lowest point.
kx::Rect reflectionBand(const kx::Rect& source, double gap, bool roundHeight);
