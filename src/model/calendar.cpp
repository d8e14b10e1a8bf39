#include "model/calendar.h"

#include "graphics/color_utilities.h"
#include "model/canvas.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"

#include <QCoreApplication>
#include <QDate>
#include <QFont>
#include <QFontInfo>
#include <QGuiApplication>
#include <QLocale>

namespace {
const QString kFontNameKey = QStringLiteral("fontName");
const QString kHasBackgroundKey = QStringLiteral("hasBackground");
const QString kYearKey = QStringLiteral("year");
const QString kFirstMonthKey = QStringLiteral("firstMonth");
const QString kMonthCountKey = QStringLiteral("monthCount");
const QString kIsShowYearKey = QStringLiteral("isShowYear");
const QString kYearAlignmentKey = QStringLiteral("yearAlignment");
const QString kMonthGapKey = QStringLiteral("monthGap");
const QString kMonthAlignmentKey = QStringLiteral("monthAlignment");
const QString kDayGapKey = QStringLiteral("dayGap");
const QString kHasWeekdayKey = QStringLiteral("hasWeekday");
const QString kHasAdjacentDayKey = QStringLiteral("hasAdjacentDay");
const QString kFirstWeekdayKey = QStringLiteral("firstWeekday");
const QString kWeekdaysKey = QStringLiteral("weekdays");
const QString kMonthsKey = QStringLiteral("months");

constexpr int kWeekdayCount = 7;
constexpr int kMonthCount = 12;

// The announced calendar keys, in announcing order.
const QStringList& calendarKeys() {
    static const QStringList keys{kFontNameKey,      kHasBackgroundKey,  kYearKey,       kFirstMonthKey,
                                  kMonthCountKey,    kIsShowYearKey,     kYearAlignmentKey, kMonthGapKey,
                                  kMonthAlignmentKey, kDayGapKey,        kHasWeekdayKey, kHasAdjacentDayKey};
    return keys;
}

bool isValidWeekday(std::int64_t weekday) {
    return weekday >= 0 && weekday <= 6;
}

bool isValidMonth(std::int64_t month) {
    return month >= 1 && month <= 12;
}

// The locale's first day of the week as 0 Sunday to 6 Saturday.
std::int32_t localeFirstWeekday(const QLocale& locale) {
    return std::int32_t(locale.firstDayOfWeek()) % 7;  // Qt counts Monday 1 to Sunday 7
}

QStringList localeWeekdays(const QLocale& locale) {
    QStringList names;
    for (int day : {7, 1, 2, 3, 4, 5, 6})
        names << locale.dayName(day, QLocale::NarrowFormat);
    return names;
}

QStringList localeMonths(const QLocale& locale) {
    QStringList names;
    for (int month = 1; month <= kMonthCount; ++month)
        names << locale.monthName(month, QLocale::ShortFormat);
    return names;
}

// The family that the text system gives for a 12-point "Lucida Grande". Fonts can only be resolved in a
// graphical application; elsewhere the requested family is kept.
QString defaultFontFamily() {
    const QString requested = QStringLiteral("Lucida Grande");
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return requested;
    return QFontInfo(QFont(requested, 12)).family();
}

// The strings of an archived name list, or nothing when it is not a list of at least `count` strings.
std::optional<QStringList> nameList(const kx::Value& value, int count) {
    if (value.type() != kx::Value::Type::Array)
        return std::nullopt;
    const kx::ValueArray& items = value.toArray();
    if (items.size() < std::size_t(count))
        return std::nullopt;
    QStringList names;
    for (const kx::Value& item : items) {
        if (item.type() != kx::Value::Type::String)
            return std::nullopt;
        names << item.toString();
    }
    return names;
}

kx::ValueArray valueArray(const QStringList& names) {
    kx::ValueArray items;
    for (const QString& name : names)
        items.push_back(kx::Value(name));
    return items;
}

QStringList stringList(const kx::Value& value) {
    QStringList names;
    for (const kx::Value& item : value.toArray())
        names << item.toString();
    return names;
}
}  // namespace

KXCalendar::KXCalendar() {
    const QLocale locale;
    m_firstWeekday = localeFirstWeekday(locale);
    m_year = QDate::currentDate().year();
    m_yearColor = createSRGBColor(0, 0, 0, 1);
    m_monthColor = createSRGBColor(0, 0, 0, 1);
    m_dayColor = createSRGBColor(0, 0, 0, 1);
    m_dayBKColor = createSRGBColor(0, 0, 0, 0.1);
    m_weekendColor = createSRGBColor(0, 0, 0, 1);
    m_weekendBKColor = createSRGBColor(0, 0, 0, 0.2);
    m_weekdayColor = createSRGBColor(0, 0, 0, 1);
    m_weekdayBKColor = createSRGBColor(0, 0, 0, 0.02);
    m_adjDayColor = createSRGBColor(0.2, 0.2, 0.2, 1);
    m_adjDayBKColor = createSRGBColor(0, 0, 0, 0.05);
    m_weekdays = localeWeekdays(locale);
    m_months = localeMonths(locale);
    m_fontName = defaultFontFamily();
    setStrokeEnabled(true);
}

KXCalendar::~KXCalendar() = default;

std::shared_ptr<KXCalendar> KXCalendar::calendarWithRelativeRect(const kx::Rect& rect) {
    auto calendar = std::make_shared<KXCalendar>();
    calendar->setRelativeRect(rect);
    return calendar;
}

// ---- observation ----

QStringList KXCalendar::announcedKeys() const {
    return KXGraph::announcedKeys() + calendarKeys();
}

void KXCalendar::addObserver(kx::KeyObserver* observer) {
    KXGraph::addObserver(observer);
    for (const QString& key : calendarKeys())
        kx::Observable::addObserver(observer, key);
}

void KXCalendar::removeObserver(kx::KeyObserver* observer) {
    KXGraph::removeObserver(observer);
    for (const QString& key : calendarKeys())
        kx::Observable::removeObserver(observer, key);
}

const kx::PropertyTable& KXCalendar::propertyTable() const {
    static const kx::PropertyTable table = [this] {
        kx::PropertyTable t(&KXGraph::propertyTable());
        t.add(kFontNameKey, &KXCalendar::fontName, &KXCalendar::setFontName);
        t.add(kHasBackgroundKey, &KXCalendar::hasBackground, &KXCalendar::setHasBackground);
        t.add(kYearKey, &KXCalendar::year, &KXCalendar::setYear);
        t.add(kFirstMonthKey, &KXCalendar::firstMonth, &KXCalendar::setFirstMonth);
        t.add(kMonthCountKey, &KXCalendar::monthCount, &KXCalendar::setMonthCount);
        t.add(kIsShowYearKey, &KXCalendar::isShowYear, &KXCalendar::setIsShowYear);
        t.add(kYearAlignmentKey, &KXCalendar::yearAlignment, &KXCalendar::setYearAlignment);
        t.add(kMonthGapKey, &KXCalendar::monthGap, &KXCalendar::setMonthGap);
        t.add(kMonthAlignmentKey, &KXCalendar::monthAlignment, &KXCalendar::setMonthAlignment);
        t.add(kDayGapKey, &KXCalendar::dayGap, &KXCalendar::setDayGap);
        t.add(kHasWeekdayKey, &KXCalendar::hasWeekday, &KXCalendar::setHasWeekday);
        t.add(kHasAdjacentDayKey, &KXCalendar::hasAdjacentDay, &KXCalendar::setHasAdjacentDay);
        t.add(kFirstWeekdayKey, &KXCalendar::firstWeekday, &KXCalendar::setFirstWeekday);
        t.add<KXCalendar>(
            kWeekdaysKey, [](const KXCalendar& c) { return kx::Value(valueArray(c.weekdays())); },
            [](KXCalendar& c, const kx::Value& v) { c.setWeekdays(stringList(v)); });
        t.add<KXCalendar>(
            kMonthsKey, [](const KXCalendar& c) { return kx::Value(valueArray(c.months())); },
            [](KXCalendar& c, const kx::Value& v) { c.setMonths(stringList(v)); });
        return t;
    }();
    return table;
}

// ---- settings ----

void KXCalendar::setFirstWeekday(std::int32_t weekday) {
    if (isValidWeekday(weekday))
        m_firstWeekday = weekday;
}

void KXCalendar::setWeekdays(const QStringList& weekdays) {
    if (weekdays.size() >= kWeekdayCount)
        m_weekdays = weekdays;
}

void KXCalendar::setMonths(const QStringList& months) {
    if (months.size() >= kMonthCount)
        m_months = months;
}

void KXCalendar::setFontName(const QString& name) {
    setProperty(kFontNameKey, m_fontName, name);
}

void KXCalendar::setHasBackground(bool has) {
    setProperty(kHasBackgroundKey, m_hasBackground, has);
}

void KXCalendar::setYear(std::int32_t year) {
    setProperty(kYearKey, m_year, year);
}

void KXCalendar::setFirstMonth(std::int32_t month) {
    if (isValidMonth(month))
        setProperty(kFirstMonthKey, m_firstMonth, month);
}

void KXCalendar::setMonthCount(std::int32_t count) {
    if (isValidMonth(count))
        setProperty(kMonthCountKey, m_monthCount, count);
}

void KXCalendar::setIsShowYear(bool show) {
    setProperty(kIsShowYearKey, m_showYear, show);
}

void KXCalendar::setYearAlignment(std::int32_t alignment) {
    setProperty(kYearAlignmentKey, m_yearAlignment, alignment);
}

void KXCalendar::setMonthGap(std::int32_t gap) {
    setProperty(kMonthGapKey, m_monthGap, gap);
}

void KXCalendar::setMonthAlignment(std::int32_t alignment) {
    setProperty(kMonthAlignmentKey, m_monthAlignment, alignment);
}

void KXCalendar::setDayGap(std::int32_t gap) {
    setProperty(kDayGapKey, m_dayGap, gap);
}

void KXCalendar::setHasWeekday(bool has) {
    setProperty(kHasWeekdayKey, m_hasWeekday, has);
}

void KXCalendar::setHasAdjacentDay(bool has) {
    setProperty(kHasAdjacentDayKey, m_hasAdjacentDay, has);
}

// ---- colours ----

void KXCalendar::replaceColor(kx::Color& field, const kx::Color& color,
                              void (KXCalendar::*setter)(const kx::Color&)) {
    if (KXCanvas* page = canvas()) {
        // The step keeps the calendar alive for as long as it may be undone.
        auto keep = std::dynamic_pointer_cast<KXCalendar>(weak_from_this().lock());
        page->undoManager().registerUndo(this, [self = this, keep, old = field, setter] { (self->*setter)(old); });
    }
    field = color;
    colorChanged();
}

void KXCalendar::colorChanged() {
    setNeedsDisplay();
}

void KXCalendar::setYearColor(const kx::Color& color) {
    replaceColor(m_yearColor, color, &KXCalendar::setYearColor);
}

void KXCalendar::setMonthColor(const kx::Color& color) {
    replaceColor(m_monthColor, color, &KXCalendar::setMonthColor);
}

void KXCalendar::setDayColor(const kx::Color& color) {
    replaceColor(m_dayColor, color, &KXCalendar::setDayColor);
}

void KXCalendar::setDayBKColor(const kx::Color& color) {
    replaceColor(m_dayBKColor, color, &KXCalendar::setDayBKColor);
}

void KXCalendar::setWeekendColor(const kx::Color& color) {
    replaceColor(m_weekendColor, color, &KXCalendar::setWeekendColor);
}

void KXCalendar::setWeekendBKColor(const kx::Color& color) {
    replaceColor(m_weekendBKColor, color, &KXCalendar::setWeekendBKColor);
}

void KXCalendar::setWeekdayColor(const kx::Color& color) {
    replaceColor(m_weekdayColor, color, &KXCalendar::setWeekdayColor);
}

void KXCalendar::setWeekdayBKColor(const kx::Color& color) {
    replaceColor(m_weekdayBKColor, color, &KXCalendar::setWeekdayBKColor);
}

void KXCalendar::setAdjDayColor(const kx::Color& color) {
    replaceColor(m_adjDayColor, color, &KXCalendar::setAdjDayColor);
}

void KXCalendar::setAdjDayBKColor(const kx::Color& color) {
    replaceColor(m_adjDayBKColor, color, &KXCalendar::setAdjDayBKColor);
}

// ---- archive ----

void KXCalendar::encodeWithCoder(kx::KeyedArchiver& coder) const {
    KXGraph::encodeWithCoder(coder);
    coder.encodeInt32(m_firstWeekday, kFirstWeekdayKey);
    coder.encodeObject(kx::Value(valueArray(m_weekdays)), kWeekdaysKey);
    coder.encodeObject(kx::Value(valueArray(m_months)), kMonthsKey);
    coder.encodeObject(kx::Value(m_fontName), kFontNameKey);
    coder.encodeBool(m_hasBackground, kHasBackgroundKey);
    coder.encodeInt32(m_year, kYearKey);
    coder.encodeInt32(m_firstMonth, kFirstMonthKey);
    coder.encodeInt32(m_monthCount, kMonthCountKey);
    coder.encodeBool(m_showYear, kIsShowYearKey);
    coder.encodeInt64(rgbaFromCGColor(m_yearColor), QStringLiteral("yearColor"));
    coder.encodeInteger(m_yearAlignment, kYearAlignmentKey);
    coder.encodeInt32(m_monthGap, kMonthGapKey);
    coder.encodeInteger(m_monthAlignment, kMonthAlignmentKey);
    coder.encodeInt64(rgbaFromCGColor(m_monthColor), QStringLiteral("monthColor"));
    coder.encodeInt32(m_dayGap, kDayGapKey);
    coder.encodeInt64(rgbaFromCGColor(m_dayColor), QStringLiteral("dayColor"));
    coder.encodeInt64(rgbaFromCGColor(m_dayBKColor), QStringLiteral("dayBKColor"));
    coder.encodeInt64(rgbaFromCGColor(m_weekendColor), QStringLiteral("weekendColor"));
    coder.encodeInt64(rgbaFromCGColor(m_weekendBKColor), QStringLiteral("weekendBKColor"));
    coder.encodeBool(m_hasWeekday, kHasWeekdayKey);
    coder.encodeInt64(rgbaFromCGColor(m_weekdayColor), QStringLiteral("weekdayColor"));
    coder.encodeInt64(rgbaFromCGColor(m_weekdayBKColor), QStringLiteral("weekdayBKColor"));
    coder.encodeBool(m_hasAdjacentDay, kHasAdjacentDayKey);
    coder.encodeInt64(rgbaFromCGColor(m_adjDayColor), QStringLiteral("adjDayColor"));
    coder.encodeInt64(rgbaFromCGColor(m_adjDayBKColor), QStringLiteral("adjDayBKColor"));
}

void KXCalendar::initWithCoder(kx::KeyedUnarchiver& coder) {
    KXGraph::initWithCoder(coder);
    // Stored directly: nothing observes a calendar while it is read. Values that would index outside the
    // name lists or choose months that do not exist leave the defaults in place.
    const std::int32_t firstWeekday = coder.decodeInt32(kFirstWeekdayKey);
    if (isValidWeekday(firstWeekday))
        m_firstWeekday = firstWeekday;
    if (auto weekdays = nameList(coder.decodeObject(kWeekdaysKey), kWeekdayCount))
        m_weekdays = *weekdays;
    if (auto months = nameList(coder.decodeObject(kMonthsKey), kMonthCount))
        m_months = *months;
    if (const kx::Value font = coder.decodeObject(kFontNameKey); font.type() == kx::Value::Type::String)
        m_fontName = font.toString();
    m_hasBackground = coder.decodeBool(kHasBackgroundKey);
    m_year = coder.decodeInt32(kYearKey);
    if (const std::int32_t month = coder.decodeInt32(kFirstMonthKey); isValidMonth(month))
        m_firstMonth = month;
    if (const std::int32_t count = coder.decodeInt32(kMonthCountKey); isValidMonth(count))
        m_monthCount = count;
    m_showYear = coder.decodeBool(kIsShowYearKey);
    const auto color = [&coder](const char* key) {
        return cgColorFromRGBA(KXPackedRGBA(std::uint32_t(coder.decodeInt64(QString::fromLatin1(key)))));
    };
    m_yearColor = color("yearColor");
    m_yearAlignment = std::int32_t(coder.decodeInteger(kYearAlignmentKey));
    m_monthGap = coder.decodeInt32(kMonthGapKey);
    m_monthAlignment = std::int32_t(coder.decodeInteger(kMonthAlignmentKey));
    m_monthColor = color("monthColor");
    m_dayGap = coder.decodeInt32(kDayGapKey);
    m_dayColor = color("dayColor");
    m_dayBKColor = color("dayBKColor");
    m_weekendColor = color("weekendColor");
    m_weekendBKColor = color("weekendBKColor");
    m_hasWeekday = coder.decodeBool(kHasWeekdayKey);
    m_weekdayColor = color("weekdayColor");
    m_weekdayBKColor = color("weekdayBKColor");
    m_hasAdjacentDay = coder.decodeBool(kHasAdjacentDayKey);
    m_adjDayColor = color("adjDayColor");
    m_adjDayBKColor = color("adjDayBKColor");
}
