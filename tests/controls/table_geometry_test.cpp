#include "controls/table_geometry.h"

#include <gtest/gtest.h>

namespace {

struct BandCase {
    double lastRowBottom;
    double rowHeight;
    double boundsHeight;
    std::vector<double> bands;
};

TEST(TableGeometryTest, SeparatorsContinueOneRowHeightApartAboveTheBoundsEnd) {
    const BandCase cases[] = {
        // Three rows of 120 in a 600-point view: the band at 600 would not lie above the end.
        {360, 120, 600, {480}},
        {360, 120, 601, {480, 600}},
        // No rows: the bands start one row height below the top.
        {0, 120, 600, {120, 240, 360, 480}},
        {100, 50, 260, {150, 200, 250}},
        // Rows that fill or pass the bounds leave no room.
        {600, 120, 600, {}},
        {900, 120, 600, {}},
        // A row height that is not positive spaces nothing.
        {360, 0, 600, {}},
        {360, -10, 600, {}},
    };
    for (const BandCase& c : cases) {
        EXPECT_EQ(continuedSeparatorBands(c.lastRowBottom, c.rowHeight, c.boundsHeight), c.bands)
            << c.lastRowBottom << " " << c.rowHeight << " " << c.boundsHeight;
    }
}

TEST(TableGeometryTest, RowSeparatorAndSelectionAreas) {
    const QRectF row(0, 120, 300, 60);
    EXPECT_EQ(rowSeparatorRect(row), QRectF(0, 179, 300, 1));
    EXPECT_EQ(rowSelectionRect(row), QRectF(0, 121.5, 300, 57));
    const QRectF shifted(5, 0, 100, 3);
    EXPECT_EQ(rowSeparatorRect(shifted), QRectF(5, 2, 100, 1));
    EXPECT_EQ(rowSelectionRect(shifted), QRectF(5, 1.5, 100, 0));
}

}  // namespace
