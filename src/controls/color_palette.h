// The colour well's fixed palette and the pure geometry of the well and of its swatch balloon, kept free of
// widgets so that every number is testable as a table. Rectangles are Qt's (y grows downwards).
#pragma once

#include <QColor>
#include <QPainterPath>
#include <QRect>
#include <QSize>

#include <vector>

namespace kx::controls {

// The 49 colours of the swatch balloon, row by row from the top, 7 to a row; opaque sRGB.
const std::vector<QColor>& defaultSwatchColors();
inline constexpr int kSwatchRows = 7;
inline constexpr QSize kSwatchSize{31, 20};

// The swatch matrix of `columns` by `rows` swatches of `swatch` size, spaced 1 point apart, and the view it
// stands in: the view leaves 6 points at the sides and 21 above and below, room for the balloon's arrow.
QSize swatchMatrixSize(int columns, int rows, QSize swatch);
QSize colorPickerViewSize(int columns, int rows, QSize swatch);
QRect swatchMatrixRect(int columns, int rows, QSize swatch);
// The frame of the swatch at `row` (0 at the top) and `column`, in the matrix's coordinates.
QRect swatchRect(int row, int column, QSize swatch);
// The index into the colour list of the swatch under `point` (matrix coordinates), or -1 between swatches,
// outside the matrix, or past the end of `colorCount`.
int swatchIndexAt(QPoint point, int columns, int rows, QSize swatch, int colorCount);

// A well of `size`: the colour field on the left, the square button (as high as the well) at its right end.
QRect colorWellFieldRect(QSize size);
QRect colorWellButtonRect(QSize size);

// The balloon drawn in a view of `size`: a body 15 points short of each edge with corners of radius 5 and a
// triangle 30 points wide and 15 high on its top edge (`upArrow`) or bottom edge. `offset` is how far the
// window slid to the right to stay on screen; the arrow moves the other way (clamped to half the width) so
// that it keeps pointing at the well.
QPainterPath colorBalloonPath(QSize size, double offset, bool upArrow);

}  // namespace kx::controls
