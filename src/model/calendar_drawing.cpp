// Layout and drawing of a calendar: the year band, the grid of months, and in each month the title, the
// weekday row and six rows of seven day cells. Rectangles are y up: the top of a rectangle is its larger y.
#include "graphics/bitmap_contexts.h"
#include "graphics/geometry_utilities.h"
#include "model/background.h"
#include "model/calendar.h"
#include "model/canvas.h"
#include "model/page_size.h"
#include "model/single_line_text.h"
#include "model/stroke.h"
#include "platform/gfx/bitmap_context.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
// Bands, held at single precision.
constexpr float kYearBandTop = 0.82f;
constexpr float kYearBand = 0.18f;
constexpr float kMonthTitleTop = 0.8f;
constexpr float kMonthTitle = 0.2f;
constexpr float kWeekdayRowTop = 6.0f / 7.0f;
constexpr float kWeekdayRow = 1.0f / 7.0f;
constexpr int kDayRows = 6;
constexpr int kGridCells = 42;
constexpr double kCellCornerRatio = 0.2;
// Every day number is drawn at the size at which this fits a cell.
const QString kDayNumberReference = QStringLiteral("88");
constexpr std::int32_t kAlignCenter = 1;
constexpr std::int32_t kAlignRight = 2;

// The inset of a month or cell: `percent` of half the shorter side, truncated, then halved by integer
// division. Computed in doubles so that no gap or size can overflow an integer.
double gapInset(const kx::Rect& rect, std::int32_t percent) {
    const double raw = percent / 100.0 * std::min(rect.size.width, rect.size.height) * 0.5;
    if (!std::isfinite(raw))
        return 0;
    return std::trunc(std::trunc(raw) / 2);
}

double shorterSide(const kx::Rect& rect) {
    return std::min(rect.size.width, rect.size.height);
}

// Floor division and its remainder, for dates before year 1.
std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}
}  // namespace

// ---- dates ----

bool KXCalendar::isLeapYear(std::int64_t year) {
    if (year % 100 == 0)
        return year % 400 == 0;
    return year % 4 == 0;
}

std::int32_t KXCalendar::dayCountOfMonth(std::int32_t month, std::int64_t year) {
    switch (month) {
    case 4:
    case 6:
    case 9:
    case 11: return 30;
    case 2: return isLeapYear(year) ? 29 : 28;
    default: return 31;
    }
}

std::int32_t KXCalendar::weekdayOfDay(std::int32_t day, std::int32_t month, std::int64_t year) {
    // Days since 1 March of year 0 of the proleptic Gregorian calendar (the year starting in March puts the
    // leap day last), then counted from a known Wednesday.
    const std::int64_t m = month;
    const std::int64_t y = year - (m <= 2 ? 1 : 0);
    const std::int64_t era = floorDiv(y, 400);
    const std::int64_t yearOfEra = y - era * 400;
    const std::int64_t monthFromMarch = (m + 9) % 12;
    const std::int64_t dayOfYear = (153 * monthFromMarch + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const std::int64_t days = era * 146097 + dayOfEra;  // 0 is Wednesday, 1 March of year 0
    const std::int64_t weekday = (days + 3) % 7;
    return std::int32_t(weekday < 0 ? weekday + 7 : weekday);
}

bool KXCalendar::isWeekendAtIndex(std::int32_t weekday) {
    return weekday == 0 || weekday == 6;
}

// ---- layout ----

void KXCalendar::getRow(std::int32_t* rows, std::int32_t* columns, const kx::Rect& rect) const {
    std::int32_t r = 1;
    std::int32_t c = m_monthCount;
    if (rect.size.height > 0) {
        const float a = float(rect.size.width) / float(rect.size.height);
        const auto grid = [&](std::int32_t gridRows, std::int32_t gridColumns) {
            r = gridRows;
            c = gridColumns;
        };
        switch (m_monthCount) {
        case 1: grid(1, 1); break;
        case 2: a >= 2 ? grid(1, 2) : grid(2, 1); break;
        case 3: a >= 3 ? grid(1, 3) : grid(3, 1); break;
        case 4:
            if (a >= 4)
                grid(1, 4);
            else if (a <= 0.25)
                grid(4, 1);
            else
                grid(2, 2);
            break;
        case 6:
            if (a >= 6)
                grid(1, 6);
            else if (a >= 1.5)
                grid(2, 3);
            else if (a >= 2.0 / 3.0)
                grid(3, 2);
            else
                grid(6, 1);
            break;
        case 12:
            if (a >= 12)
                grid(1, 12);
            else if (a >= 3)
                grid(2, 6);
            else if (a >= 4.0 / 3.0)
                grid(3, 4);
            else if (a >= 0.75)
                grid(4, 3);
            else if (a >= 1.0 / 3.0)
                grid(6, 2);
            else
                grid(12, 1);
            break;
        default: grid(1, m_monthCount); break;
        }
    }
    if (rows)
        *rows = r;
    if (columns)
        *columns = c;
}

kx::Rect KXCalendar::rectOfMonthIndex(std::int32_t index, const kx::Rect& rect) const {
    std::int32_t rows = 1;
    std::int32_t columns = 1;
    getRow(&rows, &columns, rect);
    if (rows < 1 || columns < 1)
        return kx::Rect::null();
    const float cellWidth = float(rect.size.width / columns);
    const float cellHeight = float(rect.size.height / rows);
    const std::int32_t row = index / columns;
    const std::int32_t column = index % columns;
    return {rect.origin.x + column * double(cellWidth), rect.maxY() - (row + 1) * double(cellHeight),
            double(cellWidth), double(cellHeight)};
}

kx::Rect KXCalendar::rectOfWeekday(std::int32_t column, const kx::Rect& row) {
    const float width = float(row.size.width / 7);
    return {row.origin.x + column * double(width), row.origin.y, double(width), row.size.height};
}

// ---- text ----

kx::Size KXCalendar::sizeOfString(const QString& string, double fontSize) const {
    const SingleLineText line(string, m_fontName, fontSize);
    return {line.width(), line.lineHeight()};
}

float KXCalendar::fontSizeWithString(const QString& string, const kx::Rect& rect) const {
    const float start = float(rect.size.height);
    if (rect.size.height <= 0)
        return start;
    const kx::Size measured = sizeOfString(string, start);
    const float sw = float(measured.width);
    const float sh = float(measured.height);
    // A string that measures nothing fits at any size: it keeps the starting size instead of a division
    // by zero.
    if (!(sh > 0))
        return start;
    const float ratio = float(rect.size.width) / float(rect.size.height);
    if (ratio > sw / sh || !(sw > 0))
        return float(rect.size.height * start / sh);
    return float(rect.size.width * start / sw);
}

float KXCalendar::weekdayFontSizeInRect(const kx::Rect& rect) const {
    float size = 0;
    for (int i = 0; i < 7 && i < m_weekdays.size(); ++i) {
        const float fitting = fontSizeWithString(m_weekdays[i], rect);
        size = i == 0 ? fitting : std::min(size, fitting);
    }
    return size;
}

void KXCalendar::drawString(const QString& string, kx::BitmapContext& context, const kx::Rect& rect,
                            std::int32_t alignment, const kx::Color& color, double fontSize) const {
    if (string.isEmpty())
        return;
    const SingleLineText line(string, m_fontName, fontSize);
    if (!line.hasGlyphs())
        return;
    context.saveGState();
    const double width = line.width();
    double x = rect.origin.x;
    if (alignment == kAlignCenter)
        x = std::max(0.0, rect.midX() - width / 2);
    else if (alignment == kAlignRight)
        x = std::max(0.0, rect.maxX() - width);
    const double ascent = line.ascent();
    const double descent = line.descent();
    const double y = float(rect.origin.y + descent + std::max(0.0, (rect.size.height - ascent - descent) / 2));
    line.draw(context, {x, y}, color);
    context.restoreGState();
}

// ---- shapes ----

void KXCalendar::drawRoundedRect(const kx::Rect& rect, float radius, kx::BitmapContext& context) {
    if (rect.isEmpty())
        return;
    const kx::Rect r = rect.standardized();
    const double rad = std::clamp(double(radius), 0.0, shorterSide(r) / 2);
    context.saveGState();
    context.setShouldAntialias(true);
    context.beginPath();
    context.moveTo({r.minX() + rad, r.minY()});
    context.addArc({r.maxX() - rad, r.minY() + rad}, rad, -std::numbers::pi / 2, 0, false);
    context.addArc({r.maxX() - rad, r.maxY() - rad}, rad, 0, std::numbers::pi / 2, false);
    context.addArc({r.minX() + rad, r.maxY() - rad}, rad, std::numbers::pi / 2, std::numbers::pi, false);
    context.addArc({r.minX() + rad, r.minY() + rad}, rad, std::numbers::pi, 3 * std::numbers::pi / 2, false);
    context.closePath();
    context.fillPath();
    context.restoreGState();
}

// ---- drawing ----

double KXCalendar::strokeExtentWidth() const {
    return isStrokeEnabled() ? strokeWidthOnPage() : 0;
}

void KXCalendar::drawInContext(kx::BitmapContext& context, const kx::Rect& rect) {
    if (!context.isValid() || rect.isEmpty())
        return;
    const kx::Rect r = roundRectComponents(rect);
    context.saveGState();
    context.setAlpha(opacity());
    context.translate(r.origin.x, r.origin.y);
    if (flipX() == -1)
        context.translate(r.size.width, 0);
    if (flipY() == -1)
        context.translate(0, r.size.height);
    context.scale(flipX(), flipY());
    const kx::Rect local(0, 0, r.size.width, r.size.height);
    drawBackgroundInContext(context, local);
    kx::Rect content = local;
    if (isStrokeEnabled()) {
        const double inset = std::nearbyint(strokeExtentWidth() / 2);
        content = content.insetBy(inset, inset);
        if (!content.isNull())
            content = roundRectComponents(content);
    }
    if (!content.isEmpty())
        drawCalendarInContext(context, content);
    drawStrokeInContext(context, local, true);
    context.restoreGState();
}

void KXCalendar::drawCalendarInContext(kx::BitmapContext& context, const kx::Rect& rect) {
    context.saveGState();
    context.setInterpolationQuality(kx::InterpolationQuality::High);
    kx::Rect months = rect;
    if (m_showYear) {
        const double x = rect.origin.x, y = rect.origin.y, w = rect.size.width, h = rect.size.height;
        drawYearInContext(context, {x, y + double(kYearBandTop) * h, w, double(kYearBand) * h});
        months = {x, y, w, double(kYearBandTop) * h};
    }
    const double inset = gapInset(rectOfMonthIndex(0, months), m_monthGap);
    for (std::int32_t i = m_firstMonth; i <= m_firstMonth + m_monthCount - 1; ++i) {
        const kx::Rect month = rectOfMonthIndex(i - m_firstMonth, months).insetBy(inset, inset);
        if (month.isEmpty())
            break;
        drawMonth(i, context, month);
    }
    context.restoreGState();
}

void KXCalendar::drawYearInContext(kx::BitmapContext& context, const kx::Rect& rect) {
    const QString text = QString::number(m_year);
    drawString(text, context, rect, m_yearAlignment, m_yearColor, fontSizeWithString(text, rect));
}

void KXCalendar::drawDayCell(kx::BitmapContext& context, const kx::Rect& cell, std::int32_t day,
                             const kx::Color& background, const kx::Color& text, double fontSize) {
    if (cell.isEmpty())
        return;
    context.setFillColor(background);
    drawRoundedRect(cell, float(kCellCornerRatio * shorterSide(cell)), context);
    drawString(QString::number(day), context, cell, kAlignCenter, text, fontSize);
}

void KXCalendar::drawMonth(std::int32_t month, kx::BitmapContext& context, const kx::Rect& rect) {
    // Months 13 to 24 are those of the next year; nothing else has a name.
    if (month < 1 || month > 24 || m_months.size() < 12 || m_weekdays.size() < 7)
        return;
    const std::int64_t year = std::int64_t(m_year) + (month - 1) / 12;
    const std::int32_t m = (month - 1) % 12 + 1;

    const kx::Rect title(rect.origin.x, rect.origin.y + double(kMonthTitleTop) * rect.size.height, rect.size.width,
                         double(kMonthTitle) * rect.size.height);
    const QString& name = m_months[m - 1];
    drawString(name, context, title, m_monthAlignment, m_monthColor, fontSizeWithString(name, title));

    kx::Rect body = roundRectComponents(
        {rect.origin.x, rect.origin.y, rect.size.width, double(kMonthTitleTop) * rect.size.height});
    if (m_hasWeekday) {
        const kx::Rect row(body.origin.x, body.origin.y + double(kWeekdayRowTop) * body.size.height, body.size.width,
                           double(kWeekdayRow) * body.size.height);
        const double inset = gapInset(rectOfWeekday(0, row), m_dayGap);
        const float fontSize = weekdayFontSizeInRect(rectOfWeekday(0, row).insetBy(inset, inset));
        for (std::int32_t c = 0; c < 7; ++c) {
            const kx::Rect cell = rectOfWeekday(c, row).insetBy(inset, inset);
            if (cell.isEmpty())
                continue;
            context.setFillColor(m_weekdayBKColor);
            drawRoundedRect(cell, float(kCellCornerRatio * shorterSide(cell)), context);
            drawString(m_weekdays[(m_firstWeekday + c) % 7], context, cell, kAlignCenter, m_weekdayColor, fontSize);
        }
        body.size.height = double(kWeekdayRowTop) * body.size.height;
    }

    context.saveGState();
    const std::int32_t dayCount = dayCountOfMonth(m, year);
    const double rowHeight = float(body.size.height / kDayRows);
    kx::Rect row(body.origin.x, body.maxY() - rowHeight, body.size.width, rowHeight);
    const kx::Rect top = row;
    const double inset = gapInset(rectOfWeekday(0, row), m_dayGap);
    const float fontSize = fontSizeWithString(kDayNumberReference, rectOfWeekday(0, row).insetBy(inset, inset));
    for (std::int32_t day = 1; day <= dayCount; ++day) {
        const std::int32_t weekday = weekdayOfDay(day, m, year);
        const std::int32_t column = (weekday - m_firstWeekday + 7) % 7;
        const bool weekend = isWeekendAtIndex(weekday);
        drawDayCell(context, rectOfWeekday(column, row).insetBy(inset, inset), day,
                    weekend ? m_weekendBKColor : m_dayBKColor, weekend ? m_weekendColor : m_dayColor, fontSize);
        if (column == 6)
            row.origin.y -= rowHeight;
    }
    context.restoreGState();

    if (m_hasAdjacentDay)
        drawAdjacentDays(context, m, year, top, row, rowHeight, dayCount, inset, fontSize);
}

void KXCalendar::drawAdjacentDays(kx::BitmapContext& context, std::int32_t month, std::int64_t year,
                                  const kx::Rect& top, kx::Rect row, double rowHeight, std::int32_t dayCount,
                                  double inset, double fontSize) {
    const std::int32_t first = m_firstWeekday;
    const std::int32_t previous = month < 2 ? 12 : month - 1;
    const std::int64_t previousYear = month < 2 ? year - 1 : year;
    const std::int32_t firstDay = weekdayOfDay(1, month, year);
    const std::int32_t lead = (firstDay < first ? firstDay + 7 : firstDay) - first;
    const std::int32_t previousCount = dayCountOfMonth(previous, previousYear);
    for (std::int32_t day = previousCount - lead + 1; day <= previousCount; ++day) {
        const std::int32_t column = (weekdayOfDay(day, previous, previousYear) - first + 7) % 7;
        drawDayCell(context, rectOfWeekday(column, top).insetBy(inset, inset), day, m_adjDayBKColor, m_adjDayColor,
                    fontSize);
    }
    const std::int32_t next = month == 12 ? 1 : month + 1;
    const std::int64_t nextYear = month > 11 ? year + 1 : year;
    for (std::int32_t day = 1; day <= kGridCells - (lead + dayCount); ++day) {
        const std::int32_t column = (weekdayOfDay(day, next, nextYear) - first + 7) % 7;
        drawDayCell(context, rectOfWeekday(column, row).insetBy(inset, inset), day, m_adjDayBKColor, m_adjDayColor,
                    fontSize);
        if (column == 6)
            row.origin.y -= rowHeight;
    }
}

void KXCalendar::drawBackgroundInContext(kx::BitmapContext& context, const kx::Rect& rect) {
    if (!isFillEnabled() || !background())
        return;
    double zoom = 1;
    if (KXCanvas* page = canvas()) {
        zoom = page->zoomValue();
        // The fill's sizes (tiles) are in pixels of the page; a page measured in a physical unit has dpi of
        // them per inch.
        if (KXSize* size = page->pageSize(); size && size->unit() != KXSizeUnitPixel)
            zoom *= double(size->dpi()) / 72.0;
    }
    context.saveGState();
    context.clipToRect(rect);
    background()->drawInContext(context, rect, zoom);
    context.restoreGState();
}

void KXCalendar::drawStrokeInContext(kx::BitmapContext& context, const kx::Rect& rect, bool) {
    if (!isStrokeEnabled() || !stroke())
        return;
    const kx::Size preview = canvas() ? canvas()->previewSize() : kx::Size();
    context.saveGState();
    // The border's width is relative to the page preview whatever the stroke's width type: configured with
    // a zoom of reference / 100, the line is width / 100 x reference wide, dashed by its style.
    stroke()->configContext(context, std::min(preview.width, preview.height) / 100.0);
    context.clipToRect(rect);
    context.strokeRect(rect);
    context.restoreGState();
}

kx::Image KXCalendar::graphImageWithZoom(double) {
    kx::Size size;
    const kx::Rect relative = relativeRect();
    if (KXGraph* enclosing = group()) {
        const kx::Rect frame = enclosing->frameRect();
        size = {relative.size.width * frame.size.width, relative.size.height * frame.size.height};
    } else {
        const kx::Size preview = canvas() ? canvas()->previewSize() : kx::Size();
        size = {relative.size.width * preview.width, relative.size.height * preview.height};
    }
    const double s = strokeExtentWidth();
    BitmapContextRef context = createBitmapContext(size.width + 2 * s, size.height + 2 * s);
    if (!context)
        return {};
    drawInContext(*context, {s, s, size.width, size.height});
    kx::Image image = context->makeImage();
    releaseBitmapContext(context);
    return image;
}
