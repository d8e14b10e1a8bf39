// The calendar page object: one to twelve consecutive months of a year, each with its name, an optional row
// of weekday names and a grid of six weeks of day numbers, optionally topped by the year. It is a graph of
// type 2 with the graph's rectangle, rotation, flips, opacity, fill, border and shadow, plus the settings
// below. A new calendar takes its first weekday and its weekday and month names from the user's locale; an
// archived one keeps the names it was made with.
//
// The settings that index into the name lists or choose the months are kept in range: a first weekday
// outside 0..6, a first month or month count outside 1..12 and name lists shorter than 7 weekdays or 12
// months are refused by the setters and left at their defaults when read from an archive.
//
// Drawing (calendar_drawing.cpp): the year band on top, the months in a grid chosen from their count and
// the shape of the area, each month with its title, weekday row and 42 day cells with rounded backgrounds.
#pragma once

#include "model/graph.h"
#include "platform/gfx/color.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

class KXCalendar : public KXGraph {
public:
    // Defaults from the current locale (QLocale()): its first day of the week, narrow weekday names and
    // short month names; twelve months from January of the current year; the border on.
    KXCalendar();
    ~KXCalendar() override;

    static std::shared_ptr<KXCalendar> calendarWithRelativeRect(const kx::Rect& rect);

    QString className() const override { return QStringLiteral("KXCalendar"); }
    std::int32_t graphType() const override { return KXGraphTypeCalendar; }

    // ---- observation: the graph's keys, then the twelve calendar keys below ----
    QStringList announcedKeys() const override;
    void addObserver(kx::KeyObserver* observer) override;
    void removeObserver(kx::KeyObserver* observer) override;
    using kx::Observable::addObserver;
    using kx::Observable::removeObserver;
    const kx::PropertyTable& propertyTable() const override;

    // ---- settings ----
    // Weekday of the first column, 0 Sunday to 6 Saturday; other values are refused.
    std::int32_t firstWeekday() const { return m_firstWeekday; }
    void setFirstWeekday(std::int32_t weekday);
    // Seven weekday names, index 0 Sunday; a list of fewer than seven is refused.
    const QStringList& weekdays() const { return m_weekdays; }
    void setWeekdays(const QStringList& weekdays);
    // Twelve month names, index 0 January; a list of fewer than twelve is refused.
    const QStringList& months() const { return m_months; }
    void setMonths(const QStringList& months);
    const QString& fontName() const { return m_fontName; }
    void setFontName(const QString& name);
    // Stored and announced only; whether the fill is drawn is the graph's fill flag.
    bool hasBackground() const { return m_hasBackground; }
    void setHasBackground(bool has);
    std::int32_t year() const { return m_year; }
    void setYear(std::int32_t year);
    // 1 January to 12 December; other values are refused.
    std::int32_t firstMonth() const { return m_firstMonth; }
    void setFirstMonth(std::int32_t month);
    // 1 to 12; months past December run into the next year. Other values are refused.
    std::int32_t monthCount() const { return m_monthCount; }
    void setMonthCount(std::int32_t count);
    bool isShowYear() const { return m_showYear; }
    void setIsShowYear(bool show);
    // 0 left, 1 centre, 2 right.
    std::int32_t yearAlignment() const { return m_yearAlignment; }
    void setYearAlignment(std::int32_t alignment);
    // Space between months, in percent of the shorter side of a month.
    std::int32_t monthGap() const { return m_monthGap; }
    void setMonthGap(std::int32_t gap);
    std::int32_t monthAlignment() const { return m_monthAlignment; }
    void setMonthAlignment(std::int32_t alignment);
    // Space between cells, in percent of the shorter side of a cell.
    std::int32_t dayGap() const { return m_dayGap; }
    void setDayGap(std::int32_t gap);
    bool hasWeekday() const { return m_hasWeekday; }
    void setHasWeekday(bool has);
    bool hasAdjacentDay() const { return m_hasAdjacentDay; }
    void setHasAdjacentDay(bool has);

    // ---- colours: not announced; each setter records its own undo step on the page and redraws ----
    const kx::Color& yearColor() const { return m_yearColor; }
    void setYearColor(const kx::Color& color);
    const kx::Color& monthColor() const { return m_monthColor; }
    void setMonthColor(const kx::Color& color);
    const kx::Color& dayColor() const { return m_dayColor; }
    void setDayColor(const kx::Color& color);
    const kx::Color& dayBKColor() const { return m_dayBKColor; }
    void setDayBKColor(const kx::Color& color);
    const kx::Color& weekendColor() const { return m_weekendColor; }
    void setWeekendColor(const kx::Color& color);
    const kx::Color& weekendBKColor() const { return m_weekendBKColor; }
    void setWeekendBKColor(const kx::Color& color);
    const kx::Color& weekdayColor() const { return m_weekdayColor; }
    void setWeekdayColor(const kx::Color& color);
    const kx::Color& weekdayBKColor() const { return m_weekdayBKColor; }
    void setWeekdayBKColor(const kx::Color& color);
    const kx::Color& adjDayColor() const { return m_adjDayColor; }
    void setAdjDayColor(const kx::Color& color);
    const kx::Color& adjDayBKColor() const { return m_adjDayBKColor; }
    void setAdjDayBKColor(const kx::Color& color);
    // Redraws the calendar after a colour change.
    void colorChanged();

    // ---- drawing and layout (calendar_drawing.cpp); rectangles y up, in the context's user space ----
    // The whole calendar: fill, content and border, with the graph's opacity and flips. Nothing for an
    // empty rectangle.
    void drawInContext(kx::BitmapContext& context, const kx::Rect& rect) override;
    // The year band and the months inside the content rectangle.
    void drawCalendarInContext(kx::BitmapContext& context, const kx::Rect& rect);
    void drawYearInContext(kx::BitmapContext& context, const kx::Rect& rect);
    // One month, 1..12, or 13..24 for months of the next year.
    void drawMonth(std::int32_t month, kx::BitmapContext& context, const kx::Rect& rect);
    // Rows and columns of the month grid for the month count and the shape of the rectangle.
    void getRow(std::int32_t* rows, std::int32_t* columns, const kx::Rect& rect) const;
    // The rectangle of the month at an index from 0, month 0 at the top left, left to right, then down.
    kx::Rect rectOfMonthIndex(std::int32_t index, const kx::Rect& rect) const;
    // The cell in column 0..6 of a row rectangle.
    static kx::Rect rectOfWeekday(std::int32_t column, const kx::Rect& row);
    // The font size (single precision) at which the string just fits the rectangle.
    float fontSizeWithString(const QString& string, const kx::Rect& rect) const;
    // The size of the string in the calendar font at a size, ligatures off.
    kx::Size sizeOfString(const QString& string, double fontSize) const;
    // The smallest of the seven weekday names' fitting sizes in the rectangle.
    float weekdayFontSizeInRect(const kx::Rect& rect) const;
    // One line of text in the rectangle: alignment 0 left, 1 centre, 2 right (any other value left),
    // centred vertically on its ascent and descent. Nothing for the empty string.
    void drawString(const QString& string, kx::BitmapContext& context, const kx::Rect& rect,
                    std::int32_t alignment, const kx::Color& color, double fontSize) const;
    // Fills a rounded rectangle with the context's fill colour.
    static void drawRoundedRect(const kx::Rect& rect, float radius, kx::BitmapContext& context);
    void drawBackgroundInContext(kx::BitmapContext& context, const kx::Rect& rect) override;
    // The border inside the rectangle, its width relative to the page preview; `expand` has no effect.
    void drawStrokeInContext(kx::BitmapContext& context, const kx::Rect& rect, bool expand) override;
    // The calendar alone at its size on the page, with room for the border around it.
    kx::Image graphImageWithZoom(double zoom) override;

    // ---- dates (proleptic Gregorian calendar) ----
    // 0 Sunday to 6 Saturday.
    static std::int32_t weekdayOfDay(std::int32_t day, std::int32_t month, std::int64_t year);
    // 30 for April, June, September and November, 28 or 29 for February, 31 for any other value.
    static std::int32_t dayCountOfMonth(std::int32_t month, std::int64_t year);
    static bool isLeapYear(std::int64_t year);
    // Sunday and Saturday, whatever the first weekday.
    static bool isWeekendAtIndex(std::int32_t weekday);

    // ---- archive: the graph's keys, then the calendar's ----
    void encodeWithCoder(kx::KeyedArchiver& coder) const override;
    void initWithCoder(kx::KeyedUnarchiver& coder) override;

private:
    // The stroke's width as drawn on the page (0 with the stroke off).
    double strokeExtentWidth() const;
    void replaceColor(kx::Color& field, const kx::Color& color, void (KXCalendar::*setter)(const kx::Color&));
    // Draws the adjacent months' days into the free cells of month m of year y.
    void drawAdjacentDays(kx::BitmapContext& context, std::int32_t month, std::int64_t year, const kx::Rect& top,
                          kx::Rect row, double rowHeight, std::int32_t dayCount, double inset, double fontSize);
    // One day cell: the rounded background and the number centred in it.
    void drawDayCell(kx::BitmapContext& context, const kx::Rect& cell, std::int32_t day, const kx::Color& background,
                     const kx::Color& text, double fontSize);

    std::int32_t m_firstWeekday = 0;
    bool m_hasBackground = false;
    std::int32_t m_year = 0;
    std::int32_t m_firstMonth = 1;
    std::int32_t m_monthCount = 12;
    bool m_showYear = true;
    kx::Color m_yearColor;
    std::int32_t m_yearAlignment = 2;
    std::int32_t m_monthGap = 20;
    std::int32_t m_monthAlignment = 2;
    kx::Color m_monthColor;
    std::int32_t m_dayGap = 20;
    kx::Color m_dayColor;
    kx::Color m_dayBKColor;
    kx::Color m_weekendColor;
    kx::Color m_weekendBKColor;
    bool m_hasWeekday = true;
    kx::Color m_weekdayColor;
    kx::Color m_weekdayBKColor;
    bool m_hasAdjacentDay = false;
    kx::Color m_adjDayColor;
    kx::Color m_adjDayBKColor;
    QStringList m_weekdays;
    QStringList m_months;
    QString m_fontName;
};
