#include "controls/color_palette.h"

#include <algorithm>
#include <cmath>

namespace kx::controls {

const std::vector<QColor>& defaultSwatchColors() {
    static const std::vector<QColor> colors = [] {
        static const unsigned rgb[] = {
            0x00425A, 0x005777, 0x1F6C8B, 0x257DA0, 0x369BC7, 0x42B0E0, 0x7AD0F5,  //
            0x526830, 0x558E2E, 0x4BA52F, 0x5CBD3C, 0x9FD872, 0xB9E090, 0xC7E3A0,  //
            0x9F7325, 0xB28431, 0xCC932E, 0xFFB637, 0xFFCB5E, 0xFFDE89, 0xFCE49D,  //
            0xAC4716, 0xC56523, 0xED721F, 0xFF8634, 0xFFAA5E, 0xFFC487, 0xFFCF99,  //
            0x902A33, 0xA51A35, 0xC60B37, 0xDF033F, 0xE94B6A, 0xF199AA, 0xEEC4CB,  //
            0x3E0948, 0x4D0F6C, 0x500F77, 0x5A0D88, 0x864CAD, 0xA87DC5, 0xBE9DD4,  //
            0x000000, 0x565A5D, 0x6C6F70, 0x90908F, 0xA2A5A4, 0xC9C9C9, 0xFFFFFF,
        };
        std::vector<QColor> list;
        for (unsigned value : rgb)
            list.push_back(QColor::fromRgb(QRgb(0xFF000000u | value)));
        return list;
    }();
    return colors;
}

QSize swatchMatrixSize(int columns, int rows, QSize swatch) {
    return {columns - 1 + columns * swatch.width(), rows - 1 + rows * swatch.height()};
}

QSize colorPickerViewSize(int columns, int rows, QSize swatch) {
    return swatchMatrixSize(columns, rows, swatch) + QSize(12, 42);
}

QRect swatchMatrixRect(int columns, int rows, QSize swatch) {
    return {QPoint(6, 21), swatchMatrixSize(columns, rows, swatch)};
}

QRect swatchRect(int row, int column, QSize swatch) {
    return {column * (swatch.width() + 1), row * (swatch.height() + 1), swatch.width(), swatch.height()};
}

int swatchIndexAt(QPoint point, int columns, int rows, QSize swatch, int colorCount) {
    if (point.x() < 0 || point.y() < 0)
        return -1;
    const int column = point.x() / (swatch.width() + 1);
    const int row = point.y() / (swatch.height() + 1);
    if (column >= columns || row >= rows || !swatchRect(row, column, swatch).contains(point))
        return -1;
    const int index = row * columns + column;
    return index < colorCount ? index : -1;
}

QRect colorWellFieldRect(QSize size) {
    return {0, 0, std::max(0, size.width() - size.height()), size.height()};
}

QRect colorWellButtonRect(QSize size) {
    return {size.width() - size.height(), 0, size.height(), size.height()};
}

QPainterPath colorBalloonPath(QSize size, double offset, bool upArrow) {
    const double w = size.width();
    const double h = size.height();
    QPainterPath path;
    path.addRoundedRect(QRectF(0, 15, w, h - 30), 5, 5);
    const double shift = std::clamp(offset, -w / 2, w / 2);
    const double a = std::floor(w / 2 - 15 - shift);
    QPainterPath arrow;
    if (upArrow) {
        arrow.moveTo(a, 15);
        arrow.lineTo(a + 15, 0);
        arrow.lineTo(a + 30, 15);
    } else {
        arrow.moveTo(a, h - 15);
        arrow.lineTo(a + 15, h);
        arrow.lineTo(a + 30, h - 15);
    }
    arrow.closeSubpath();
    return path.united(arrow);
}

}  // namespace kx::controls
