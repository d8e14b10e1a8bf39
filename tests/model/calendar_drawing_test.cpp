// Layout and drawing of a calendar: the month grid, the dates, the fitting of text sizes, and the cell
// backgrounds of known months probed where they must land (never on glyphs).
#include "model/calendar.h"

#include "calendar_fixture.h"
#include "graphics/color_utilities.h"
#include "model/single_line_text.h"
#include "model/stroke.h"
#include "page_test_support.h"
#include "support/pixel_probe.h"

#include <QDate>
#include <QLocale>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using kxtest::pixelAtYUp;

namespace {

constexpr int kDayAlpha = 25;       // black at 0.1
constexpr int kWeekendAlpha = 51;   // black at 0.2
constexpr int kAdjacentAlpha = 13;  // black at 0.05

// Months of kMonthWidth x kMonthHeight side by side, reduced to their day cells.
class CalendarDrawingTest : public ::testing::Test {
protected:
    static constexpr int kMonthWidth = 700;
    static constexpr int kMonthHeight = 150;
    static constexpr int kRowHeight = 20;  // 0.8 x 150 / 6
    static constexpr int kCellWidth = 100;

    void SetUp() override {
        kxtest::registerPageClasses();
        calendar = kxtest::dayCellCalendar();
    }

    QImage draw(int months = 1) {
        kx::BitmapContext context(kMonthWidth * months, kMonthHeight);
        calendar->drawInContext(context, {0, 0, double(kMonthWidth * months), double(kMonthHeight)});
        return context.makeImage().qimage();
    }

    // The alpha of a day cell's background near its left edge at mid height, away from the centred number.
    static int cellAlpha(const QImage& image, int row, int column, int month = 0) {
        const int x = month * kMonthWidth + column * kCellWidth + 10;
        const int y = int(0.8 * kMonthHeight) - row * kRowHeight - kRowHeight / 2;
        return pixelAtYUp(image, x, y).a;
    }

    // The six rows of seven cells, by background alpha.
    static std::vector<std::vector<int>> grid(const QImage& image, int month = 0) {
        std::vector<std::vector<int>> rows(6, std::vector<int>(7));
        for (int r = 0; r < 6; ++r)
            for (int c = 0; c < 7; ++c)
                rows[r][c] = cellAlpha(image, r, c, month);
        return rows;
    }

    static int paintedCells(const std::vector<std::vector<int>>& cells) {
        int n = 0;
        for (const auto& row : cells)
            for (int alpha : row)
                n += alpha > 0;
        return n;
    }

    std::shared_ptr<KXCalendar> calendar;
};

// ---- dates ----

TEST(CalendarDates, LeapYearsAndDayCounts) {
    EXPECT_FALSE(KXCalendar::isLeapYear(1900));
    EXPECT_TRUE(KXCalendar::isLeapYear(2000));
    EXPECT_TRUE(KXCalendar::isLeapYear(2024));
    EXPECT_FALSE(KXCalendar::isLeapYear(2023));
    EXPECT_EQ(KXCalendar::dayCountOfMonth(2, 1900), 28);
    EXPECT_EQ(KXCalendar::dayCountOfMonth(2, 2000), 29);
    EXPECT_EQ(KXCalendar::dayCountOfMonth(2, 2024), 29);
    EXPECT_EQ(KXCalendar::dayCountOfMonth(2, 2023), 28);
    const int expected[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int m = 1; m <= 12; ++m)
        EXPECT_EQ(KXCalendar::dayCountOfMonth(m, 2023), expected[m - 1]) << m;
    EXPECT_EQ(KXCalendar::dayCountOfMonth(13, 2023), 31);
    EXPECT_EQ(KXCalendar::dayCountOfMonth(0, 2023), 31);
}

TEST(CalendarDates, WeekdaysAgreeWithQtsGregorianCalendar) {
    for (int year : {1600, 1899, 1900, 1970, 1999, 2000, 2023, 2024, 2100, 2400}) {
        for (int month = 1; month <= 12; ++month) {
            for (int day = 1; day <= KXCalendar::dayCountOfMonth(month, year); ++day) {
                const int qt = QDate(year, month, day).dayOfWeek() % 7;  // Sunday 0
                ASSERT_EQ(KXCalendar::weekdayOfDay(day, month, year), qt) << year << "-" << month << "-" << day;
            }
        }
    }
    // Far years stay within the week without overflowing.
    for (std::int64_t year : {std::int64_t(-4000), std::int64_t(0), std::int64_t(2147483647) + 1}) {
        const int weekday = KXCalendar::weekdayOfDay(1, 1, year);
        EXPECT_GE(weekday, 0);
        EXPECT_LE(weekday, 6);
    }
    EXPECT_TRUE(KXCalendar::isWeekendAtIndex(0));
    EXPECT_TRUE(KXCalendar::isWeekendAtIndex(6));
    for (int weekday = 1; weekday <= 5; ++weekday)
        EXPECT_FALSE(KXCalendar::isWeekendAtIndex(weekday));
}

// ---- month grid ----

TEST_F(CalendarDrawingTest, MonthGridFollowsTheCountAndTheShape) {
    struct Case {
        std::int32_t months;
        double width, height;
        std::int32_t rows, columns;
    };
    const Case cases[] = {
        {12, 900, 600, 3, 4},  {12, 600, 900, 6, 2},   {12, 1200, 100, 1, 12}, {12, 300, 100, 2, 6},
        {12, 400, 300, 3, 4},  {12, 300, 400, 4, 3},   {12, 100, 300, 6, 2},   {12, 100, 400, 12, 1},
        {6, 500, 500, 3, 2},   {6, 600, 100, 1, 6},    {6, 150, 100, 2, 3},    {6, 200, 300, 3, 2},
        {6, 100, 200, 6, 1},   {4, 500, 500, 2, 2},    {4, 400, 100, 1, 4},    {4, 100, 400, 4, 1},
        {3, 300, 100, 1, 3},   {3, 299, 100, 3, 1},    {2, 200, 100, 1, 2},    {2, 199, 100, 2, 1},
        {1, 50, 900, 1, 1},    {5, 100, 500, 1, 5},    {7, 100, 100, 1, 7},    {11, 100, 900, 1, 11},
        {12, 900, 0, 1, 12},   {6, 900, -5, 1, 6},
    };
    for (const Case& c : cases) {
        calendar->setMonthCount(c.months);
        std::int32_t rows = 0, columns = 0;
        calendar->getRow(&rows, &columns, {0, 0, c.width, c.height});
        EXPECT_EQ(rows, c.rows) << c.months << " months in " << c.width << " x " << c.height;
        EXPECT_EQ(columns, c.columns) << c.months << " months in " << c.width << " x " << c.height;
    }
}

TEST_F(CalendarDrawingTest, MonthRectanglesRunFromTheTopLeftAcrossThenDown) {
    calendar->setMonthCount(12);
    const kx::Rect area(10, 20, 900, 600);  // 3 rows of 4
    EXPECT_EQ(calendar->rectOfMonthIndex(0, area), kx::Rect(10, 420, 225, 200));
    EXPECT_EQ(calendar->rectOfMonthIndex(1, area), kx::Rect(235, 420, 225, 200));
    EXPECT_EQ(calendar->rectOfMonthIndex(3, area), kx::Rect(685, 420, 225, 200));
    EXPECT_EQ(calendar->rectOfMonthIndex(4, area), kx::Rect(10, 220, 225, 200));
    EXPECT_EQ(calendar->rectOfMonthIndex(11, area), kx::Rect(685, 20, 225, 200));
    EXPECT_EQ(KXCalendar::rectOfWeekday(3, {7, 5, 70, 10}), kx::Rect(37, 5, 10, 10));
}

// ---- text sizes ----

TEST_F(CalendarDrawingTest, FittedTextSizeMakesTheStringJustFit) {
    for (const kx::Rect& r : {kx::Rect(0, 0, 300, 40), kx::Rect(0, 0, 30, 40), kx::Rect(5, 5, 12, 200)}) {
        for (const QString& s : {QStringLiteral("88"), QStringLiteral("September"), QStringLiteral("W")}) {
            const float size = calendar->fontSizeWithString(s, r);
            ASSERT_GT(size, 0);
            const kx::Size measured = calendar->sizeOfString(s, size);
            EXPECT_LE(measured.width, r.size.width * 1.01) << s.toStdString();
            EXPECT_LE(measured.height, r.size.height * 1.01) << s.toStdString();
            // One side is filled.
            EXPECT_TRUE(measured.width >= r.size.width * 0.97 || measured.height >= r.size.height * 0.97)
                << s.toStdString() << " " << measured.width << " x " << measured.height;
        }
    }
    // The size scales with the font: twice the size measures twice as wide.
    const kx::Size one = calendar->sizeOfString("2024", 20);
    const kx::Size two = calendar->sizeOfString("2024", 40);
    EXPECT_NEAR(two.width, 2 * one.width, 0.1);
    EXPECT_GT(one.height, 20);
    EXPECT_LT(one.height, 30);
}

TEST_F(CalendarDrawingTest, TextThatMeasuresNothingFitsWithoutDividingByZero) {
    // The empty string keeps the starting size (the height) instead of dividing by a zero height.
    EXPECT_FLOAT_EQ(calendar->fontSizeWithString(QString(), {0, 0, 100, 30}), 30.0f);
    // A rectangle without width gives 0, not a quotient of zeros.
    const float narrow = calendar->fontSizeWithString(QStringLiteral("88"), {0, 0, 0, 30});
    EXPECT_FALSE(std::isnan(narrow));
    EXPECT_FLOAT_EQ(calendar->fontSizeWithString(QStringLiteral("88"), {0, 0, 100, 0}), 0.0f);
    EXPECT_FLOAT_EQ(calendar->fontSizeWithString(QStringLiteral("88"), {0, 0, 100, -4}), -4.0f);
    // An empty weekday name does not shrink the others to nothing.
    calendar->setWeekdays({"", "M", "T", "W", "T", "F", "S"});
    EXPECT_GT(calendar->weekdayFontSizeInRect({0, 0, 40, 40}), 10.0f);
}

TEST_F(CalendarDrawingTest, LinesThatCannotBeBuiltDrawNothing) {
    for (double size : {0.0, -3.0, std::nan(""), HUGE_VAL}) {
        const SingleLineText line(QStringLiteral("2024"), QStringLiteral("DejaVu Sans"), size);
        EXPECT_FALSE(line.hasGlyphs()) << size;
        EXPECT_EQ(line.width(), 0);
        kx::BitmapContext context(40, 40);
        calendar->drawString(QStringLiteral("2024"), context, {0, 0, 40, 40}, 1, kx::Color::srgb(0, 0, 0, 1), size);
        line.draw(context, {5, 5}, kx::Color::srgb(0, 0, 0, 1));
        const QImage image = context.makeImage().qimage();
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x)
                ASSERT_EQ(kxtest::pixelAt(image, x, y).a, 0) << size;
    }
    kx::BitmapContext context(40, 40);
    calendar->drawString(QString(), context, {0, 0, 40, 40}, 1, kx::Color::srgb(0, 0, 0, 1), 20);
    EXPECT_EQ(pixelAtYUp(context.makeImage().qimage(), 20, 20).a, 0);
}

TEST_F(CalendarDrawingTest, TextLinesHaveGlyphsAndLocaleNamesMeasure) {
    for (const char* text : {"88", "Mär", "日月火", "S"}) {
        const SingleLineText line(QString::fromUtf8(text), QStringLiteral("DejaVu Sans"), 24);
        EXPECT_TRUE(line.hasGlyphs()) << text;
        EXPECT_GT(line.width(), 0) << text;
        EXPECT_GT(line.ascent(), 0) << text;
        EXPECT_GT(line.descent(), 0) << text;
    }
}

// ---- cells ----

TEST_F(CalendarDrawingTest, SundayStartPutsWeekendsInTheOuterColumns) {
    calendar->setYear(2024);
    calendar->setFirstMonth(6);  // June 2024 begins on a Saturday and has 30 days
    calendar->setMonthCount(1);
    const auto cells = grid(draw());
    // Six free cells, then the 1st in the last column.
    for (int c = 0; c < 6; ++c)
        EXPECT_EQ(cells[0][c], 0) << c;
    EXPECT_NEAR(cells[0][6], kWeekendAlpha, 1);
    for (int r = 1; r <= 4; ++r) {
        EXPECT_NEAR(cells[r][0], kWeekendAlpha, 1) << r;
        EXPECT_NEAR(cells[r][6], kWeekendAlpha, 1) << r;
        for (int c = 1; c <= 5; ++c)
            EXPECT_NEAR(cells[r][c], kDayAlpha, 1) << r << "," << c;
    }
    EXPECT_NEAR(cells[5][0], kWeekendAlpha, 1);  // the 30th, a Sunday
    for (int c = 1; c < 7; ++c)
        EXPECT_EQ(cells[5][c], 0) << c;
    EXPECT_EQ(paintedCells(cells), 30);
}

TEST_F(CalendarDrawingTest, MondayStartKeepsWeekendColoursOnSaturdayAndSunday) {
    calendar->setYear(2024);
    calendar->setFirstMonth(6);
    calendar->setMonthCount(1);
    calendar->setFirstWeekday(1);
    const auto cells = grid(draw());
    for (int c = 0; c < 5; ++c)
        EXPECT_EQ(cells[0][c], 0) << c;
    EXPECT_NEAR(cells[0][5], kWeekendAlpha, 1);  // Saturday the 1st
    EXPECT_NEAR(cells[0][6], kWeekendAlpha, 1);  // Sunday the 2nd
    EXPECT_NEAR(cells[1][0], kDayAlpha, 1);      // Monday the 3rd
    EXPECT_NEAR(cells[1][4], kDayAlpha, 1);
    EXPECT_NEAR(cells[1][5], kWeekendAlpha, 1);
    EXPECT_NEAR(cells[5][0], 0, 1);  // the 30th is a Sunday, in row 4
    EXPECT_NEAR(cells[4][6], kWeekendAlpha, 1);
    EXPECT_EQ(paintedCells(cells), 30);
}

TEST_F(CalendarDrawingTest, MonthStartingOnSundayLeadsBySixCellsFromMondayAndNoneFromSunday) {
    calendar->setYear(2024);
    calendar->setFirstMonth(12);  // 1 December 2024 is a Sunday; 31 days
    calendar->setMonthCount(1);
    calendar->setHasAdjacentDay(true);

    calendar->setFirstWeekday(1);
    auto cells = grid(draw());
    for (int c = 0; c < 6; ++c)
        EXPECT_NEAR(cells[0][c], kAdjacentAlpha, 1) << c;  // 25 to 30 November
    EXPECT_NEAR(cells[0][6], kWeekendAlpha, 1);             // the 1st
    EXPECT_NEAR(cells[5][0], kDayAlpha, 1);                 // Monday the 30th
    EXPECT_NEAR(cells[5][1], kDayAlpha, 1);                 // Tuesday the 31st: cell 37
    for (int c = 2; c < 7; ++c)
        EXPECT_NEAR(cells[5][c], kAdjacentAlpha, 1) << c;  // 1 to 5 January, weekend included
    EXPECT_EQ(paintedCells(cells), 42);

    calendar->setFirstWeekday(0);
    cells = grid(draw());
    EXPECT_NEAR(cells[0][0], kWeekendAlpha, 1);  // no free cells before the 1st
    EXPECT_NEAR(cells[0][1], kDayAlpha, 1);
    EXPECT_NEAR(cells[4][2], kDayAlpha, 1);       // Tuesday the 31st
    EXPECT_NEAR(cells[4][3], kAdjacentAlpha, 1);  // 1 January
    EXPECT_NEAR(cells[5][6], kAdjacentAlpha, 1);  // 11 January
    EXPECT_EQ(paintedCells(cells), 42);
}

TEST_F(CalendarDrawingTest, AdjacentDaysFillAllFortyTwoCellsOnlyWhenOn) {
    calendar->setYear(2021);
    calendar->setFirstMonth(2);  // February 2021: Monday the 1st, 28 days
    calendar->setMonthCount(1);
    EXPECT_EQ(paintedCells(grid(draw())), 28);
    calendar->setHasAdjacentDay(true);
    const auto cells = grid(draw());
    EXPECT_EQ(paintedCells(cells), 42);
    EXPECT_NEAR(cells[0][0], kAdjacentAlpha, 1);  // 31 January, a Sunday, in the adjacent colour
    EXPECT_NEAR(cells[0][1], kDayAlpha, 1);
    EXPECT_NEAR(cells[4][0], kWeekendAlpha, 1);   // Sunday the 28th
    EXPECT_NEAR(cells[4][1], kAdjacentAlpha, 1);  // 1 March
}

TEST_F(CalendarDrawingTest, LeapFebruariesHaveTheirTwentyNinthCell) {
    calendar->setFirstMonth(2);
    calendar->setMonthCount(1);
    const struct {
        std::int32_t year;
        int cells;
    } cases[] = {{1900, 28}, {2000, 29}, {2024, 29}, {2023, 28}};
    for (const auto& c : cases) {
        calendar->setYear(c.year);
        EXPECT_EQ(paintedCells(grid(draw())), c.cells) << c.year;
    }
}

TEST_F(CalendarDrawingTest, NovemberAndFourMonthsRunIntoTheNextYear) {
    calendar->setYear(2024);
    calendar->setFirstMonth(11);
    calendar->setMonthCount(4);  // one row of four in a 4:1 area
    const QImage image = draw(4);
    // November 2024 starts on a Friday, December 2024 on a Sunday.
    EXPECT_EQ(cellAlpha(image, 0, 4, 0), 0);
    EXPECT_NEAR(cellAlpha(image, 0, 5, 0), kDayAlpha, 1);
    EXPECT_NEAR(cellAlpha(image, 0, 0, 1), kWeekendAlpha, 1);
    // January 2025 starts on a Wednesday (January 2024 on a Monday), February 2025 on a Saturday with 28 days
    // (February 2024 on a Thursday with 29).
    EXPECT_EQ(cellAlpha(image, 0, 2, 2), 0);
    EXPECT_NEAR(cellAlpha(image, 0, 3, 2), kDayAlpha, 1);
    EXPECT_EQ(cellAlpha(image, 0, 5, 3), 0);
    EXPECT_NEAR(cellAlpha(image, 0, 6, 3), kWeekendAlpha, 1);
    EXPECT_EQ(paintedCells(grid(image, 3)), 28);
}

TEST_F(CalendarDrawingTest, FlippedCalendarMirrorsItsColumns) {
    calendar->setYear(2024);
    calendar->setFirstMonth(6);
    calendar->setMonthCount(1);
    calendar->setFlipX(-1);
    const QImage image = draw();
    // The Saturday the 1st, in the last column, shows at the left.
    EXPECT_NEAR(pixelAtYUp(image, kMonthWidth - 10, int(0.8 * kMonthHeight) - kRowHeight / 2).a, 0, 1);
    EXPECT_NEAR(pixelAtYUp(image, 10, int(0.8 * kMonthHeight) - kRowHeight / 2).a, kWeekendAlpha, 1);
}

TEST_F(CalendarDrawingTest, OpacityScalesEveryCell) {
    calendar->setYear(2024);
    calendar->setFirstMonth(6);
    calendar->setMonthCount(1);
    calendar->setOpacity(0.5);
    calendar->setWeekendBKColor(kx::Color::srgb(0, 0, 1, 1));
    const QImage image = draw();
    EXPECT_NEAR(cellAlpha(image, 0, 6), 128, 2);
}

TEST_F(CalendarDrawingTest, WeekdayRowTakesTheTopSeventhOfTheBody) {
    calendar->setYear(2024);
    calendar->setFirstMonth(6);
    calendar->setMonthCount(1);
    calendar->setHasWeekday(true);
    calendar->setWeekdayBKColor(kx::Color::srgb(0, 1, 0, 1));
    const QImage image = draw();
    // Body 120 high: the weekday row is its top 120/7, the days share the remaining 6/7 in six rows.
    const double body = 0.8 * kMonthHeight;
    const double weekdayRow = body / 7;
    for (int c = 0; c < 7; ++c)
        EXPECT_COLOR_NEAR(pixelAtYUp(image, c * kCellWidth + 10, int(body - weekdayRow / 2)),
                          (kxtest::Rgba{0, 255, 0, 255}), 2);
    const double row = body * 6 / 7 / 6;
    EXPECT_NEAR(pixelAtYUp(image, 6 * kCellWidth + 10, int(body - weekdayRow - row / 2)).a, kWeekendAlpha, 1);
    EXPECT_NEAR(pixelAtYUp(image, 0 * kCellWidth + 10, int(body - weekdayRow - row / 2)).a, 0, 1);
}

TEST_F(CalendarDrawingTest, FillBorderAndYearBandFrameTheContent) {
    auto page = kxtest::fittedPage();
    page->addGraph(calendar);
    const kx::Size preview = page->previewSize();
    calendar->setYear(2024);
    calendar->setFirstMonth(6);
    calendar->setMonthCount(1);
    calendar->setIsShowYear(true);
    calendar->setYearAlignment(2);
    calendar->setMonthAlignment(2);
    calendar->setFillEnabled(true);
    calendar->background()->setFillType(0);
    calendar->background()->setColor1(kx::Color::srgb(1, 1, 0, 1));
    calendar->setStrokeEnabled(true);
    calendar->stroke()->setColor(kx::Color::srgb(1, 0, 0, 1));
    // 1 % of the shorter preview side.
    calendar->stroke()->setWidth(1000 / std::min(preview.width, preview.height));
    const kx::Rect r(0, 0, 700, 200);
    kx::BitmapContext context(700, 200);
    calendar->drawInContext(context, r);
    const QImage image = context.makeImage().qimage();
    // Only the inner half of the 10-point border shows.
    EXPECT_COLOR_NEAR(pixelAtYUp(image, 2, 100), (kxtest::Rgba{255, 0, 0, 255}), 2);
    EXPECT_COLOR_NEAR(pixelAtYUp(image, 350, 197), (kxtest::Rgba{255, 0, 0, 255}), 2);
    // Inside the border, left of the right-aligned year and month title: the fill.
    EXPECT_COLOR_NEAR(pixelAtYUp(image, 20, 190), (kxtest::Rgba{255, 255, 0, 255}), 2);
    EXPECT_COLOR_NEAR(pixelAtYUp(image, 20, 150), (kxtest::Rgba{255, 255, 0, 255}), 2);
    // hasBackground changes nothing.
    calendar->setHasBackground(true);
    kx::BitmapContext again(700, 200);
    calendar->drawInContext(again, r);
    EXPECT_EQ(kxtest::maxChannelDifference(image, again.makeImage().qimage()), 0);
}

TEST_F(CalendarDrawingTest, EmptyRectangleOrHugeGapsDrawNothing) {
    kx::BitmapContext context(100, 100);
    calendar->drawInContext(context, {10, 10, 0, 50});
    calendar->setMonthGap(400);  // insets every month to nothing
    calendar->drawInContext(context, {0, 0, 100, 100});
    calendar->setMonthGap(2147483647);
    calendar->setDayGap(-2147483647);
    calendar->drawInContext(context, {0, 0, 100, 100});
    const QImage image = context.makeImage().qimage();
    for (int y = 0; y < 100; y += 3)
        for (int x = 0; x < 100; x += 3)
            ASSERT_EQ(kxtest::pixelAt(image, x, y).a, 0) << x << "," << y;
}

TEST_F(CalendarDrawingTest, GraphImageHasTheCalendarsPageSizeWithRoomForTheBorder) {
    auto page = kxtest::fittedPage();
    page->addGraph(calendar);
    const kx::Size preview = page->previewSize();
    calendar->setRelativeRect({0.1, 0.1, 0.5, 0.25});
    EXPECT_EQ(calendar->graphImageWithZoom(3).width(), int(preview.width * 0.5));
    calendar->setStrokeEnabled(true);
    calendar->stroke()->setType(KXStrokeWidthAbsolute);
    calendar->stroke()->setWidth(4);
    const kx::Image image = calendar->graphImageWithZoom(1);
    EXPECT_EQ(image.width(), int(preview.width * 0.5 + 8 * page->zoomValue()));
    EXPECT_EQ(image.height(), int(preview.height * 0.25 + 8 * page->zoomValue()));
}

}  // namespace
