#include "controls/table_geometry.h"

std::vector<double> continuedSeparatorBands(double lastRowBottom, double rowHeight, double boundsHeight) {
    std::vector<double> bands;
    if (!(rowHeight > 0))
        return bands;
    for (double y = lastRowBottom + rowHeight; y < boundsHeight; y += rowHeight)
        bands.push_back(y);
    return bands;
}

QRectF rowSeparatorRect(const QRectF& row) {
    return QRectF(row.x(), row.y() + row.height() - 1, row.width(), 1);
}

QRectF rowSelectionRect(const QRectF& row) {
    return QRectF(row.x(), row.y() + 1.5, row.width(), row.height() - 3);
}
