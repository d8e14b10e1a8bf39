// The calendar's settings: locale defaults, observation, the colour setters' undo, the archive as an
// independent reader sees it, and the repair of settings that would index outside the name lists.
#include "model/calendar.h"

#include "archive_probe.h"
#include "graphics/color_utilities.h"
#include "model/stroke.h"
#include "observer_recorder.h"
#include "page_test_support.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "support/outside_tools.h"

#include <QDate>
#include <QLocale>
#include <QProcess>

#include <gtest/gtest.h>

#include <functional>

namespace {

class CalendarTest : public ::testing::Test {
protected:
    void SetUp() override {
        kxtest::registerPageClasses();
        m_savedLocale = QLocale();
    }
    void TearDown() override { QLocale::setDefault(m_savedLocale); }

    static std::shared_ptr<KXCalendar> readBack(const QByteArray& archive) {
        QString error;
        const auto root = kx::KeyedUnarchiver::unarchiveObjectWithData(archive, &error);
        EXPECT_TRUE(root.has_value()) << error.toStdString();
        return root ? root->objectAs<KXCalendar>() : nullptr;
    }

private:
    QLocale m_savedLocale;
};

TEST_F(CalendarTest, NewCalendarShowsTwelveMonthsOfThisYearWithBorderAndWeekdayRow) {
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    KXCalendar calendar;
    EXPECT_EQ(calendar.graphType(), KXGraphTypeCalendar);
    EXPECT_EQ(calendar.year(), QDate::currentDate().year());
    EXPECT_EQ(calendar.firstMonth(), 1);
    EXPECT_EQ(calendar.monthCount(), 12);
    EXPECT_TRUE(calendar.isShowYear());
    EXPECT_TRUE(calendar.hasWeekday());
    EXPECT_FALSE(calendar.hasAdjacentDay());
    EXPECT_FALSE(calendar.hasBackground());
    EXPECT_TRUE(calendar.isStrokeEnabled());
    EXPECT_EQ(calendar.yearAlignment(), 2);
    EXPECT_EQ(calendar.monthAlignment(), 2);
    EXPECT_EQ(calendar.monthGap(), 20);
    EXPECT_EQ(calendar.dayGap(), 20);
    // Colours as packed b<<24 | g<<16 | r<<8 | a, each component x 255 truncated.
    EXPECT_EQ(rgbaFromCGColor(calendar.yearColor()), makeRGBA(0, 0, 0, 255));
    EXPECT_EQ(rgbaFromCGColor(calendar.dayBKColor()), makeRGBA(0, 0, 0, 25));
    EXPECT_EQ(rgbaFromCGColor(calendar.weekendBKColor()), makeRGBA(0, 0, 0, 51));
    EXPECT_EQ(rgbaFromCGColor(calendar.weekdayBKColor()), makeRGBA(0, 0, 0, 5));
    EXPECT_EQ(rgbaFromCGColor(calendar.adjDayColor()), makeRGBA(51, 51, 51, 255));
    EXPECT_EQ(rgbaFromCGColor(calendar.adjDayBKColor()), makeRGBA(0, 0, 0, 12));
    EXPECT_EQ(calendar.yearColor().colorSpace(), kx::ColorSpace::SRGB);
    EXPECT_FALSE(calendar.fontName().isEmpty());
    const auto made = KXCalendar::calendarWithRelativeRect({0.1, 0.2, 0.5, 0.4});
    EXPECT_EQ(made->relativeRect(), kx::Rect(0.1, 0.2, 0.5, 0.4));
}

struct LocaleCase {
    const char* locale;
    std::int32_t firstWeekday;
    const char* sunday;
    const char* monday;
    const char* january;
    const char* march;
};

TEST_F(CalendarTest, DefaultsFollowTheLocale) {
    const LocaleCase cases[] = {
        {"en_US", 0, "S", "M", "Jan", "Mar"},
        {"de_DE", 1, "S", "M", "Jan.", "März"},
        {"ja_JP", 0, "日", "月", "1月", "3月"},
    };
    for (const LocaleCase& c : cases) {
        SCOPED_TRACE(c.locale);
        QLocale::setDefault(QLocale(QString::fromUtf8(c.locale)));
        KXCalendar calendar;
        EXPECT_EQ(calendar.firstWeekday(), c.firstWeekday);
        ASSERT_EQ(calendar.weekdays().size(), 7);
        ASSERT_EQ(calendar.months().size(), 12);
        EXPECT_EQ(calendar.weekdays()[0], QString::fromUtf8(c.sunday));
        EXPECT_EQ(calendar.weekdays()[1], QString::fromUtf8(c.monday));
        EXPECT_EQ(calendar.months()[0], QString::fromUtf8(c.january));
        EXPECT_EQ(calendar.months()[2], QString::fromUtf8(c.march));
    }
}

TEST_F(CalendarTest, AnnouncesTheTwelveSettingsAfterTheGraphKeys) {
    auto calendar = std::make_shared<KXCalendar>();
    const QStringList calendarKeys{"fontName",   "hasBackground",  "year",   "firstMonth",
                                   "monthCount", "isShowYear",     "yearAlignment", "monthGap",
                                   "monthAlignment", "dayGap",     "hasWeekday", "hasAdjacentDay"};
    EXPECT_EQ(calendar->announcedKeys(), KXGraph().announcedKeys() + calendarKeys);
    kxtest::ObserverRecorder recorder;
    calendar->addObserver(&recorder);
    calendar->setFontName(QStringLiteral("DejaVu Sans"));
    calendar->setHasBackground(true);
    calendar->setYear(2024);
    calendar->setFirstMonth(3);
    calendar->setMonthCount(6);
    calendar->setIsShowYear(false);
    calendar->setYearAlignment(0);
    calendar->setMonthGap(5);
    calendar->setMonthAlignment(1);
    calendar->setDayGap(7);
    calendar->setHasWeekday(false);
    calendar->setHasAdjacentDay(true);
    // Neither the first weekday, the name lists nor the colours are announced.
    calendar->setFirstWeekday(3);
    calendar->setWeekdays({"a", "b", "c", "d", "e", "f", "g"});
    calendar->setDayColor(kx::Color::srgb(1, 0, 0, 1));
    EXPECT_EQ(recorder.keys(), calendarKeys);
    EXPECT_EQ(recorder.changes[2].newValue, kx::Value(2024));
    calendar->removeObserver(&recorder);
    calendar->setYear(2025);
    EXPECT_EQ(recorder.changes.size(), calendarKeys.size());
    // The page's undo puts values back by key.
    EXPECT_TRUE(calendar->setValueForKey("monthCount", kx::Value(12)));
    EXPECT_EQ(calendar->monthCount(), 12);
    EXPECT_TRUE(calendar->setValueForKey("opacity", kx::Value(0.5)));
    EXPECT_EQ(calendar->valueForKey("firstWeekday"), kx::Value(3));
}

TEST_F(CalendarTest, SettingsOutsideTheirRangesAreRefused) {
    KXCalendar calendar;
    calendar.setFirstWeekday(2);
    calendar.setFirstMonth(5);
    calendar.setMonthCount(4);
    const QStringList weekdays = calendar.weekdays();
    const QStringList months = calendar.months();
    for (std::int32_t bad : {-1, 7, 100})
        calendar.setFirstWeekday(bad);
    for (std::int32_t bad : {0, 13, -5}) {
        calendar.setFirstMonth(bad);
        calendar.setMonthCount(bad);
    }
    calendar.setWeekdays({"a", "b", "c"});
    calendar.setMonths({"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k"});
    EXPECT_EQ(calendar.firstWeekday(), 2);
    EXPECT_EQ(calendar.firstMonth(), 5);
    EXPECT_EQ(calendar.monthCount(), 4);
    EXPECT_EQ(calendar.weekdays(), weekdays);
    EXPECT_EQ(calendar.months(), months);
    // The edges of the ranges are accepted.
    calendar.setFirstWeekday(6);
    calendar.setFirstMonth(12);
    calendar.setMonthCount(1);
    EXPECT_EQ(calendar.firstWeekday(), 6);
    EXPECT_EQ(calendar.firstMonth(), 12);
    EXPECT_EQ(calendar.monthCount(), 1);
}

TEST_F(CalendarTest, EachColourSetterRecordsItsOwnUndoStep) {
    using Getter = const kx::Color& (KXCalendar::*)() const;
    using Setter = void (KXCalendar::*)(const kx::Color&);
    const std::pair<Getter, Setter> colours[] = {
        {&KXCalendar::yearColor, &KXCalendar::setYearColor},
        {&KXCalendar::monthColor, &KXCalendar::setMonthColor},
        {&KXCalendar::dayColor, &KXCalendar::setDayColor},
        {&KXCalendar::dayBKColor, &KXCalendar::setDayBKColor},
        {&KXCalendar::weekendColor, &KXCalendar::setWeekendColor},
        {&KXCalendar::weekendBKColor, &KXCalendar::setWeekendBKColor},
        {&KXCalendar::weekdayColor, &KXCalendar::setWeekdayColor},
        {&KXCalendar::weekdayBKColor, &KXCalendar::setWeekdayBKColor},
        {&KXCalendar::adjDayColor, &KXCalendar::setAdjDayColor},
        {&KXCalendar::adjDayBKColor, &KXCalendar::setAdjDayBKColor},
    };
    auto page = kxtest::fittedPage();
    auto calendar = std::make_shared<KXCalendar>();
    page->addGraph(calendar);
    kxtest::endEvent();
    const kx::Color red = kx::Color::srgb(1, 0, 0, 0.5);
    for (const auto& [get, set] : colours) {
        const kx::Color before = (calendar.get()->*get)();
        (calendar.get()->*set)(red);
        kxtest::endEvent();
        EXPECT_EQ((calendar.get()->*get)(), red);
        ASSERT_TRUE(page->undoManager().canUndo());
        page->undoManager().undo();
        EXPECT_EQ((calendar.get()->*get)(), before);
        page->undoManager().redo();
        EXPECT_EQ((calendar.get()->*get)(), red);
    }
}

TEST_F(CalendarTest, ArchiveHoldsEveryKeyAsPlistlibReadsIt) {
    KX_REQUIRE_TOOLS("/usr/bin/python3");
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    KXCalendar calendar;
    calendar.setYear(2024);
    calendar.setFirstWeekday(1);
    calendar.setFirstMonth(11);
    calendar.setMonthCount(4);
    calendar.setDayColor(kx::Color::srgb(1, 0.5, 0.25, 1));
    calendar.setYearColor(kx::Color::srgb(1, 1, 1, 1));
    calendar.setHasAdjacentDay(true);
    calendar.setYearAlignment(1);
    const QJsonObject keys = kxtest::rootKeysSeenByPlistlib(kxtest::archiveOf(calendar));
    EXPECT_EQ(kxtest::classChainOf(keys), (QStringList{"KXCalendar", "KXGraph", "NSObject"}));
    const char* const kinds[][2] = {
        {"firstWeekday", "int"},   {"weekdays", "object"},     {"months", "object"},
        {"fontName", "string"},    {"hasBackground", "bool"},  {"year", "int"},
        {"firstMonth", "int"},     {"monthCount", "int"},      {"isShowYear", "bool"},
        {"yearColor", "int"},      {"yearAlignment", "int"},   {"monthGap", "int"},
        {"monthAlignment", "int"}, {"monthColor", "int"},      {"dayGap", "int"},
        {"dayColor", "int"},       {"dayBKColor", "int"},      {"weekendColor", "int"},
        {"weekendBKColor", "int"}, {"hasWeekday", "bool"},     {"weekdayColor", "int"},
        {"weekdayBKColor", "int"}, {"hasAdjacentDay", "bool"}, {"adjDayColor", "int"},
        {"adjDayBKColor", "int"},  {"outputRect", "string"},   {"stroke", "object"},
    };
    for (const auto& [key, kind] : kinds)
        EXPECT_EQ(kxtest::kindOf(keys, key), kind) << key;
    EXPECT_EQ(kxtest::valueOf(keys, "$class").toString(), "KXCalendar");
    EXPECT_EQ(kxtest::valueOf(keys, "firstWeekday").toInt(), 1);
    EXPECT_EQ(kxtest::valueOf(keys, "year").toInt(), 2024);
    EXPECT_EQ(kxtest::valueOf(keys, "firstMonth").toInt(), 11);
    EXPECT_EQ(kxtest::valueOf(keys, "monthCount").toInt(), 4);
    EXPECT_EQ(kxtest::valueOf(keys, "yearAlignment").toInt(), 1);
    EXPECT_EQ(kxtest::valueOf(keys, "hasAdjacentDay").toBool(), true);
    // Packed as blue << 24 | green << 16 | red << 8 | alpha, stored as a signed 64-bit integer.
    EXPECT_EQ(kxtest::valueOf(keys, "dayColor").toDouble(), double((63u << 24) | (127u << 16) | (255u << 8) | 255u));
    EXPECT_EQ(kxtest::valueOf(keys, "yearColor").toInt(), -1);
    EXPECT_EQ(kxtest::valueOf(keys, "dayBKColor").toInt(), 25);
}

TEST_F(CalendarTest, ArchiveWritesTheCalendarAfterTheGraphInTheListedOrder) {
    KX_REQUIRE_TOOLS("/usr/bin/python3");
    KXCalendar calendar;
    // Objects are numbered in the order the archive meets them, so their numbers show the writing order of
    // the keys that refer to them; the names are checked from the file as well.
    static const char* const script = R"(
import plistlib, sys
d = plistlib.load(open(sys.argv[1], 'rb'))
objs = d['$objects']
root = objs[d['$top']['root'].data]
order = [root[k].data for k in ('shadow', 'weekdays', 'months', 'fontName')]
assert order == sorted(order), order
names = [objs[u.data] for u in objs[root['months'].data]['NS.objects']]
print(len(names), len(objs[root['weekdays'].data]['NS.objects']), names[0])
)";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("calendar.plist"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(kxtest::archiveOf(calendar));
    file.close();
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromUtf8(script), path});
    ASSERT_TRUE(python.waitForFinished(30000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromUtf8(python.readAllStandardOutput()).trimmed(),
              QStringLiteral("12 7 ") + calendar.months()[0]);
}

TEST_F(CalendarTest, ArchiveRoundTripKeepsEverySettingAndTheNamesOfItsLocale) {
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    KXCalendar calendar;
    calendar.setRelativeRect({0.1, 0.2, 0.6, 0.5});
    calendar.setFlipX(-1);
    calendar.setOpacity(0.75);
    calendar.setFirstWeekday(4);
    calendar.setFontName(QStringLiteral("DejaVu Serif"));
    calendar.setHasBackground(true);
    calendar.setYear(1999);
    calendar.setFirstMonth(7);
    calendar.setMonthCount(6);
    calendar.setIsShowYear(false);
    calendar.setYearAlignment(0);
    calendar.setMonthGap(33);
    calendar.setMonthAlignment(1);
    calendar.setDayGap(0);
    calendar.setHasWeekday(false);
    calendar.setHasAdjacentDay(true);
    const kx::Color colours[10] = {kx::Color::srgb(1, 0, 0, 1),       kx::Color::srgb(0, 1, 0, 1),
                                   kx::Color::srgb(0, 0, 1, 1),       kx::Color::srgb(1, 1, 0, 0.5),
                                   kx::Color::srgb(0, 1, 1, 1),       kx::Color::srgb(1, 0, 1, 0.2),
                                   kx::Color::srgb(0.4, 0.4, 0.4, 1), kx::Color::srgb(0.6, 0.2, 0, 1),
                                   kx::Color::srgb(0, 0.2, 0.6, 1),   kx::Color::srgb(0.2, 0.6, 0, 0.4)};
    calendar.setYearColor(colours[0]);
    calendar.setMonthColor(colours[1]);
    calendar.setDayColor(colours[2]);
    calendar.setDayBKColor(colours[3]);
    calendar.setWeekendColor(colours[4]);
    calendar.setWeekendBKColor(colours[5]);
    calendar.setWeekdayColor(colours[6]);
    calendar.setWeekdayBKColor(colours[7]);
    calendar.setAdjDayColor(colours[8]);
    calendar.setAdjDayBKColor(colours[9]);
    const QByteArray archive = kxtest::archiveOf(calendar);

    QLocale::setDefault(QLocale(QStringLiteral("de_DE")));
    const auto copy = readBack(archive);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->relativeRect(), calendar.relativeRect());
    EXPECT_EQ(copy->flipX(), -1);
    EXPECT_FLOAT_EQ(float(copy->opacity()), 0.75f);
    EXPECT_TRUE(copy->isStrokeEnabled());
    EXPECT_EQ(copy->firstWeekday(), 4);
    EXPECT_EQ(copy->fontName(), QStringLiteral("DejaVu Serif"));
    EXPECT_TRUE(copy->hasBackground());
    EXPECT_EQ(copy->year(), 1999);
    EXPECT_EQ(copy->firstMonth(), 7);
    EXPECT_EQ(copy->monthCount(), 6);
    EXPECT_FALSE(copy->isShowYear());
    EXPECT_EQ(copy->yearAlignment(), 0);
    EXPECT_EQ(copy->monthGap(), 33);
    EXPECT_EQ(copy->monthAlignment(), 1);
    EXPECT_EQ(copy->dayGap(), 0);
    EXPECT_FALSE(copy->hasWeekday());
    EXPECT_TRUE(copy->hasAdjacentDay());
    const kx::Color read[10] = {copy->yearColor(),    copy->monthColor(),     copy->dayColor(),
                                copy->dayBKColor(),   copy->weekendColor(),   copy->weekendBKColor(),
                                copy->weekdayColor(), copy->weekdayBKColor(), copy->adjDayColor(),
                                copy->adjDayBKColor()};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(rgbaFromCGColor(read[i]), rgbaFromCGColor(colours[i])) << i;
    // The names are those the calendar was made with, not those of the locale it is read in.
    EXPECT_EQ(copy->months(), calendar.months());
    EXPECT_EQ(copy->weekdays(), calendar.weekdays());
    EXPECT_EQ(copy->months()[2], QStringLiteral("Mar"));
    EXPECT_EQ(KXCalendar().months()[2], QStringLiteral("März"));
}

// Writes a calendar archive with chosen calendar values, as a damaged or foreign file could hold them.
class ForeignCalendar : public kx::Object, public kx::Coding {
public:
    QString className() const override { return QStringLiteral("KXCalendar"); }
    void encodeWithCoder(kx::KeyedArchiver& coder) const override { write(coder); }
    void initWithCoder(kx::KeyedUnarchiver&) override {}
    std::function<void(kx::KeyedArchiver&)> write;
};

TEST_F(CalendarTest, ArchivedValuesThatWouldIndexOutsideTheNamesAreRepairedOnRead) {
    QLocale::setDefault(QLocale(QStringLiteral("de_DE")));
    const KXCalendar defaults;
    struct Case {
        const char* what;
        std::function<void(kx::KeyedArchiver&)> write;
    };
    const auto names = [](int count) {
        kx::ValueArray list;
        for (int i = 0; i < count; ++i)
            list.push_back(kx::Value(QStringLiteral("n%1").arg(i)));
        return kx::Value(list);
    };
    const Case cases[] = {
        {"first weekday 7, month 13, count 0, short lists",
         [&](kx::KeyedArchiver& c) {
             c.encodeInt32(7, "firstWeekday");
             c.encodeInt32(13, "firstMonth");
             c.encodeInt32(0, "monthCount");
             c.encodeObject(names(6), "weekdays");
             c.encodeObject(names(11), "months");
         }},
        {"negative weekday and month, count 13, lists of another kind",
         [&](kx::KeyedArchiver& c) {
             c.encodeInt32(-1, "firstWeekday");
             c.encodeInt32(-3, "firstMonth");
             c.encodeInt32(13, "monthCount");
             c.encodeObject(kx::Value(QStringLiteral("Mo")), "weekdays");
             c.encodeObject(kx::Value(42), "months");
             c.encodeObject(kx::Value(7), "fontName");
         }},
        {"lists holding a number",
         [&](kx::KeyedArchiver& c) {
             c.encodeInt32(100, "firstWeekday");
             kx::ValueArray weekdays = names(7).toArray();
             weekdays[3] = kx::Value(3);
             c.encodeObject(kx::Value(weekdays), "weekdays");
             kx::ValueArray months = names(12).toArray();
             months[11] = kx::Value();
             c.encodeObject(kx::Value(months), "months");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ForeignCalendar foreign;
        foreign.write = c.write;
        const auto calendar = readBack(kxtest::archiveOf(foreign));
        ASSERT_TRUE(calendar);
        EXPECT_EQ(calendar->firstWeekday(), defaults.firstWeekday());
        EXPECT_EQ(calendar->firstMonth(), 1);
        EXPECT_EQ(calendar->monthCount(), 12);
        EXPECT_EQ(calendar->weekdays(), defaults.weekdays());
        EXPECT_EQ(calendar->months(), defaults.months());
        EXPECT_EQ(calendar->fontName(), defaults.fontName());
    }
    // Longer lists are kept whole; only their first seven and twelve names are shown.
    ForeignCalendar longer;
    longer.write = [&](kx::KeyedArchiver& c) {
        c.encodeObject(names(8), "weekdays");
        c.encodeObject(names(13), "months");
    };
    const auto calendar = readBack(kxtest::archiveOf(longer));
    ASSERT_TRUE(calendar);
    EXPECT_EQ(calendar->weekdays().size(), 8);
    EXPECT_EQ(calendar->months()[12], QStringLiteral("n12"));
}

TEST_F(CalendarTest, OnAPageSettingsUndoByKeyAndThePageCopiesItsCalendars) {
    auto page = kxtest::fittedPage();
    auto calendar = KXCalendar::calendarWithRelativeRect({0.1, 0.1, 0.8, 0.6});
    page->addGraph(calendar);
    kxtest::endEvent();
    page->undoManager().removeAllActions();
    const std::int32_t year = calendar->year();
    calendar->setYear(year + 5);
    calendar->setMonthCount(3);
    kxtest::endEvent();
    page->undoManager().undo();
    EXPECT_EQ(calendar->year(), year);
    EXPECT_EQ(calendar->monthCount(), 12);
    page->undoManager().redo();
    EXPECT_EQ(calendar->monthCount(), 3);

    const auto copy = page->copy();
    ASSERT_TRUE(copy);
    const KXCanvas::GraphList calendars = copy->graphsWithType(KXGraphTypeCalendar);
    ASSERT_EQ(calendars.size(), 1u);
    const auto copied = std::dynamic_pointer_cast<KXCalendar>(calendars[0]);
    ASSERT_TRUE(copied);
    EXPECT_EQ(copied->year(), year + 5);
    EXPECT_EQ(copied->monthCount(), 3);
    EXPECT_EQ(copied->relativeRect(), calendar->relativeRect());
}

}  // namespace
