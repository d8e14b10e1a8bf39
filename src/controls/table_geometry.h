// Geometry of the custom tables' row look, kept apart from the widgets so that it can be checked without
// any. Coordinates are the table's own, y downwards (the first row at the top).
#pragma once

#include <QRectF>

#include <vector>

// Height of a separator band drawn below the last row of a hover table.
inline constexpr double KXTableSeparatorBandHeight = 2;

// The tops of the separator bands that continue the rows' separators below the last row: one row height
// past the last row's bottom edge, then every row height, for as long as a band starts above the end of the
// bounds. None without a positive row height.
std::vector<double> continuedSeparatorBands(double lastRowBottom, double rowHeight, double boundsHeight);

// The line along a row's bottom edge that separates it from the next row.
QRectF rowSeparatorRect(const QRectF& row);
// The area a selected row's gradient covers: the row less 1.5 points at its top and at its bottom.
QRectF rowSelectionRect(const QRectF& row);
