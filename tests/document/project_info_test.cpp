#include "reader_support.h"

#include "document/project_info.h"

#include <QDate>
#include <QLocale>
#include <QTemporaryDir>
#include <QUrl>

#include <climits>

namespace {

using ProjectInfo = ReaderTest;

template <typename T>
std::shared_ptr<T> objectAt(const KXProjectInfo& info, size_t graph, size_t object) {
    return std::dynamic_pointer_cast<T>(info.GraphList().at(graph)->objectList.at(object));
}

void expectColor(const kx::Color& c, double r, double g, double b, double a, const char* what) {
    ASSERT_FALSE(c.isNull()) << what;
    EXPECT_NEAR(c.red(), r, 1e-6) << what;
    EXPECT_NEAR(c.green(), g, 1e-6) << what;
    EXPECT_NEAR(c.blue(), b, 1e-6) << what;
    EXPECT_NEAR(c.alpha(), a, 1e-6) << what;
}

TEST_F(ProjectInfo, ANewReaderHoldsTheDefaultHeaderAndPageSetup) {
    const KXProjectInfo info;
    EXPECT_EQ(info.info()->version, 6);
    EXPECT_EQ(info.info()->product, QStringLiteral("Tessaro for Mac"));
    EXPECT_EQ(info.page()->pageCount, 0);
    EXPECT_EQ(info.page()->imageSizeX, 1024.0f);
    EXPECT_TRUE(info.GraphList().empty());
    EXPECT_FALSE(info.hasError());
    // A file without an "info" element keeps the default version.
    const auto read = this->read("<root><scenegraph/></root>");
    ASSERT_TRUE(read);
    EXPECT_EQ(read->info()->version, 6);
}

TEST_F(ProjectInfo, ElementNamesMatchInAnyCaseAttributeNamesOnlyExactly) {
    const auto info = read(R"(<ROOT>
        <Info Version="5" Product="P" Company="C"/>
        <VrtProPage PageCount="2" ImageSizeX="800" imagesizey="600"/>
        <SceneGraph ImageSizeX="10"/>
        <sceneGraph/>
        <SCENEOBJECT Type="1" TextString="a" lfFaceName="F"/>
        <SceneObject type="1" TextString="b"/>
        <sceneobject Type="2" Image="c.png"/>
    </ROOT>)");
    ASSERT_TRUE(info);
    EXPECT_EQ(info->info()->version, 5);
    EXPECT_EQ(info->info()->product, QStringLiteral("P"));
    EXPECT_EQ(info->page()->pageCount, 2);
    EXPECT_EQ(info->page()->imageSizeX, 800.0f);
    EXPECT_EQ(info->page()->imageSizeY, 0.0f) << "a lower-case attribute name does not match";
    ASSERT_EQ(info->GraphList().size(), 2u);
    EXPECT_EQ(info->GraphList()[0]->imageSizeX, 10.0f);
    EXPECT_TRUE(info->GraphList()[0]->objectList.empty());
    const auto& objects = info->GraphList()[1]->objectList;
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_EQ(objects[0]->type, VRTObjectTypeText);
    // "type" in lower case is not "Type": the object reads as a photo.
    EXPECT_EQ(objects[1]->type, VRTObjectTypePhoto);
    EXPECT_TRUE(std::dynamic_pointer_cast<VRTPhotoObject>(objects[1]));
    ASSERT_TRUE(objectAt<VRTClipartObject>(*info, 1, 2));
    EXPECT_EQ(objectAt<VRTClipartObject>(*info, 1, 2)->imageName, QStringLiteral("c.png"));
    EXPECT_EQ(errors, 0);
}

TEST_F(ProjectInfo, ProjectIsAPageSetupElementTooAndNestingPlaysNoPart) {
    const auto info = read(R"(<root>
        <sceneobject Type="0" Image="orphan.jpg"/>
        <project PageCount="3">ignored text<info Version="7"/></project>
        <scenegraph><wrapper><sceneobject Type="0" Image="deep.jpg"/></wrapper></scenegraph>
        <other><info Version="8"/></other>
    </root>)");
    ASSERT_TRUE(info);
    EXPECT_EQ(info->page()->pageCount, 3);
    EXPECT_EQ(info->info()->version, 8) << "the last header element anywhere wins";
    ASSERT_EQ(info->GraphList().size(), 1u);
    ASSERT_EQ(info->GraphList()[0]->objectList.size(), 1u) << "an object before any page is dropped";
    EXPECT_EQ(objectAt<VRTPhotoObject>(*info, 0, 0)->imageName, QStringLiteral("deep.jpg"));
}

TEST_F(ProjectInfo, UnknownObjectTypesLeaveNoTrace) {
    const auto info = read(R"(<root><scenegraph>
        <sceneobject Type="7"/><sceneobject Type="-1"/><sceneobject Type="5x"/>
        <sceneobject Type=" 4"/><sceneobject Type="99999999999"/>
    </scenegraph></root>)");
    ASSERT_TRUE(info);
    ASSERT_EQ(info->GraphList()[0]->objectList.size(), 1u);
    EXPECT_TRUE(objectAt<VRTShapeObject>(*info, 0, 0));
    EXPECT_EQ(errors, 0);
}

TEST_F(ProjectInfo, EveryAttributeReplacesTheNewRecordValueEvenWhenAbsent) {
    const auto info = read(R"(<root><scenegraph>
        <sceneobject Type="0"/>
        <sceneobject Type="0" EnableMask="YES" EnableFrame="true" BorderType="2" RoundWidth="  12abc"
            ShadowSmooth="3.5px" ShadowAlpha="50" Angle="90" Transparent=".25" BoundingBoxRight="1e2"
            PhotoRotation="-7.9" Visible="1"/>
    </scenegraph></root>)");
    ASSERT_TRUE(info);
    const auto bare = objectAt<VRTPhotoObject>(*info, 0, 0);
    EXPECT_FALSE(bare->enableMask);
    EXPECT_FALSE(bare->enableFrame);
    EXPECT_FALSE(bare->enableShadow);
    EXPECT_EQ(bare->shadowAngle, 0.0f);
    EXPECT_EQ(bare->transparent, 0.0f);
    EXPECT_EQ(bare->version, 0);
    EXPECT_TRUE(bare->effectName.isNull());
    expectColor(bare->shadowColor, 0, 0, 0, 1, "an absent colour is black");
    const auto full = objectAt<VRTPhotoObject>(*info, 0, 1);
    EXPECT_TRUE(full->enableMask);
    EXPECT_TRUE(full->enableFrame);
    EXPECT_EQ(full->borderType, 1) << "BorderType is read as a boolean";
    EXPECT_EQ(full->roundWidth, 12);
    EXPECT_EQ(full->shadowBlur, 3.5f);
    EXPECT_EQ(full->shadowAlpha, 50.0f);
    EXPECT_EQ(full->angle, 90.0f);
    EXPECT_EQ(full->transparent, 0.25f);
    EXPECT_EQ(full->boundingBoxRight, 100.0f);
    EXPECT_EQ(full->photoRotation, -7.9f);
    EXPECT_TRUE(full->isVisible);
    EXPECT_FALSE(full->enableEffect) << "no attribute switches the effect on";
}

TEST_F(ProjectInfo, ColoursArePackedRedGreenBlueExceptTheCalendarsWhichCarryAlpha) {
    // 0x0000FF is red in the scene graph's packing; the calendar's 0xFF0000FF is b=255, a=255.
    const auto info = read(R"(<root><scenegraph FillColor="255" FillColor2="16711680">
        <sceneobject Type="3" backgroundColor="4278190335" dayColor="16711935" hasWeekday="0"
            weekdayColor="255" hasAdjacentDay="1" adjDayColor="255"/>
    </scenegraph></root>)");
    ASSERT_TRUE(info);
    expectColor(info->GraphList()[0]->fillColor, 1, 0, 0, 1, "FillColor");
    expectColor(info->GraphList()[0]->fillColor2, 0, 0, 1, 1, "FillColor2");
    const auto calendar = objectAt<VRTCalendarObject>(*info, 0, 0);
    ASSERT_TRUE(calendar);
    expectColor(calendar->backgroundColor, 0, 0, 1, 1, "backgroundColor");
    expectColor(calendar->dayColor, 0, 1, 0, 1, "dayColor (0x00FF00FF)");
    expectColor(calendar->weekdayColor, 0, 0, 0, 1, "weekday colours keep their defaults without hasWeekday");
    expectColor(calendar->weekdayBKColor, 0, 0, 0, 0.02, "weekdayBKColor");
    expectColor(calendar->adjDayColor, 0, 0, 0, 1, "adjDayColor (0x000000FF)");
    expectColor(calendar->adjDayBKColor, 0, 0, 0, 0, "an absent calendar colour is clear");
}

TEST_F(ProjectInfo, TextEffectValuesHaveTheirOwnRulesWhenAbsentOrZero) {
    const auto info = read(R"(<root><scenegraph>
        <sceneobject Type="1"/>
        <sceneobject Type="1" StrokeWidth="0" GlowPower="0" GlowRadius="0" bkWidth="0"/>
        <sceneobject Type="1" StrokeWidth="7" GlowPower="4" GlowRadius="9" bkWidth="3"
            EffectStrokeColor="0" GlowColor="255" EffectBkColor="65280" GradientDirection="0"/>
    </scenegraph></root>)");
    ASSERT_TRUE(info);
    const auto absent = objectAt<VRTTextObject>(*info, 0, 0);
    EXPECT_EQ(absent->strokeWidth, 30);
    EXPECT_EQ(absent->glowPower, 11);
    EXPECT_EQ(absent->glowRadius, 30);
    EXPECT_EQ(absent->bkWidth, 5);
    EXPECT_EQ(absent->gradientDirection, 0);
    EXPECT_EQ(absent->fontSize, 0.0f);
    EXPECT_TRUE(absent->textString.isNull());
    EXPECT_TRUE(absent->fontName.isNull());
    expectColor(absent->strokeColor, 1, 1, 1, 1, "strokeColor");
    expectColor(absent->glowColor, 1, 0.8, 0.4, 1, "glowColor");
    expectColor(absent->effectBkColor, 0.6, 0.8, 1, 1, "effectBkColor");
    const auto zero = objectAt<VRTTextObject>(*info, 0, 1);
    EXPECT_EQ(zero->strokeWidth, 30);
    EXPECT_EQ(zero->glowPower, 11);
    EXPECT_EQ(zero->glowRadius, 30);
    EXPECT_EQ(zero->bkWidth, 0) << "a present 0 stays";
    const auto set = objectAt<VRTTextObject>(*info, 0, 2);
    EXPECT_EQ(set->strokeWidth, 7);
    EXPECT_EQ(set->glowPower, 4);
    EXPECT_EQ(set->glowRadius, 9);
    EXPECT_EQ(set->bkWidth, 3);
    expectColor(set->strokeColor, 0, 0, 0, 1, "present strokeColor");
    expectColor(set->glowColor, 1, 0, 0, 1, "present glowColor");
    expectColor(set->effectBkColor, 0, 1, 0, 1, "present effectBkColor");
}

TEST_F(ProjectInfo, TextStringsDecodeTheEscapedLineBreak) {
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"a\\r\\nb", "a\r\nb"},   {"\\r\\n\\r\\n", "\r\n\r\n"}, {"a\\nb", "a\\nb"},
        {"a\\r b", "a\\r b"},     {"\\\\r\\n", "\\\r\n"},       {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(KXProjectInfo::decodeTextString(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;
    const auto info = read(R"(<root><scenegraph><sceneobject Type="1" TextString="Hello\r\nWorld &amp; you" lfFaceName="DejaVu Sans"/></scenegraph></root>)");
    ASSERT_TRUE(info);
    EXPECT_EQ(objectAt<VRTTextObject>(*info, 0, 0)->textString, QStringLiteral("Hello\r\nWorld & you"));
    EXPECT_EQ(objectAt<VRTTextObject>(*info, 0, 0)->fontName, QStringLiteral("DejaVu Sans"));
}

TEST_F(ProjectInfo, AnEmptyStringAttributeIsPresentNotAbsent) {
    const auto info = read(R"(<root><scenegraph Image=""><sceneobject Type="1" TextString="" lfFaceName=""/></scenegraph></root>)");
    ASSERT_TRUE(info);
    EXPECT_FALSE(info->GraphList()[0]->imageName.isNull());
    EXPECT_TRUE(info->GraphList()[0]->customImagePath.isNull());
    const auto text = objectAt<VRTTextObject>(*info, 0, 0);
    EXPECT_FALSE(text->textString.isNull()) << "an empty text is still a text object";
    EXPECT_TRUE(text->textString.isEmpty());
    EXPECT_FALSE(text->fontName.isNull());
}

TEST_F(ProjectInfo, TheDeclaredEncodingDecodesTheText) {
    const auto latin = read("<?xml version=\"1.0\" encoding=\"windows-1252\"?><info Product=\"\x80 caf\xE9\"/>");
    ASSERT_TRUE(latin);
    EXPECT_EQ(latin->info()->product, QString::fromUtf8("\u20AC caf\u00E9"));
    const auto utf8 = read("<info Product=\"caf\xC3\xA9\"/>");
    ASSERT_TRUE(utf8);
    EXPECT_EQ(utf8->info()->product, QString::fromUtf8("caf\u00E9"));
}

TEST_F(ProjectInfo, CalendarLabelsMissingFromTheFileKeepTheLocales) {
    const auto info = read(R"(<root><scenegraph>
        <sceneobject Type="3" weekday_0="Su" weekday_1="Mo" weekday_2="Tu" weekday_4="Th" weekday_5="Fr"
            weekday_6="Sa" weekday_7="X" month_0="Jan" month_11="Dec" year="2031" monthCount="1"
            firstWeekday="1" fontName="DejaVu Serif"/>
    </scenegraph></root>)");
    ASSERT_TRUE(info);
    const VRTCalendarObject fresh;
    const auto calendar = objectAt<VRTCalendarObject>(*info, 0, 0);
    ASSERT_EQ(calendar->weekdays.size(), 7);
    ASSERT_EQ(calendar->months.size(), 12);
    EXPECT_EQ(calendar->weekdays[0], QStringLiteral("Su"));
    EXPECT_EQ(calendar->weekdays[3], fresh.weekdays[3]);
    EXPECT_FALSE(calendar->weekdays[3].isEmpty());
    EXPECT_EQ(calendar->weekdays[6], QStringLiteral("Sa"));
    EXPECT_EQ(calendar->months[0], QStringLiteral("Jan"));
    EXPECT_EQ(calendar->months[5], fresh.months[5]);
    EXPECT_EQ(calendar->months[11], QStringLiteral("Dec"));
    EXPECT_EQ(calendar->year, 2031);
    EXPECT_EQ(calendar->monthCount, 1);
    EXPECT_EQ(calendar->firstWeekday, 1);
    EXPECT_EQ(calendar->fontName, QStringLiteral("DejaVu Serif"));
}

TEST_F(ProjectInfo, ANewCalendarTakesTheLocalesNamesAndTheCurrentYear) {
    const VRTCalendarObject calendar;
    const QLocale locale;
    EXPECT_EQ(calendar.type, VRTObjectTypeCalendar);
    EXPECT_EQ(calendar.year, QDate::currentDate().year());
    ASSERT_EQ(calendar.weekdays.size(), 7);
    EXPECT_EQ(calendar.weekdays[0], locale.dayName(7, QLocale::NarrowFormat)) << "Sunday comes first";
    EXPECT_EQ(calendar.weekdays[1], locale.dayName(1, QLocale::NarrowFormat));
    ASSERT_EQ(calendar.months.size(), 12);
    EXPECT_EQ(calendar.months[0], locale.monthName(1, QLocale::ShortFormat));
    EXPECT_EQ(calendar.firstWeekday, int(locale.firstDayOfWeek()) % 7);
    EXPECT_FALSE(calendar.fontName.isEmpty());
    EXPECT_EQ(calendar.monthCount, 12);
}

TEST_F(ProjectInfo, BadXMLShowsOneErrorAndReadsAsNothing) {
    const QByteArray documents[] = {
        "<root><scenegraph></root>",
        "<root><scenegraph/><scenegraph/>",
        "",
        "<root/><root/>",
    };
    for (const QByteArray& xml : documents) {
        errors = 0;
        EXPECT_FALSE(read(xml)) << xml.constData();
        EXPECT_EQ(errors, 1) << xml.constData();
    }
}

TEST_F(ProjectInfo, AMissingFileIsAnErrorNotAnEmptyProject) {
    QTemporaryDir dir;
    EXPECT_FALSE(KXProjectInfo::initWithFile(dir.filePath(QStringLiteral("absent.tpl"))));
    EXPECT_EQ(errors, 1);
    EXPECT_FALSE(KXProjectInfo::initWithFile(dir.path())) << "a folder is not a file";
    EXPECT_EQ(errors, 2);
    QFile file(dir.filePath(QStringLiteral("t.tpl")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<root><scenegraph/></root>");
    file.close();
    const auto info = KXProjectInfo::initWithFile(file.fileName());
    ASSERT_TRUE(info);
    EXPECT_EQ(info->GraphList().size(), 1u);
    EXPECT_EQ(errors, 2);
}

TEST_F(ProjectInfo, PagesToConvertFollowTheCountButNeverExceedTheFile) {
    struct Case {
        const char* count;
        size_t graphs;
        size_t expected;
    };
    const Case cases[] = {
        {"0", 2, 1}, {"1", 2, 1}, {"2", 2, 2}, {"3", 2, 2}, {"2147483647", 2, 2}, {"99999999999", 2, 2},
        {"0", 0, 0}, {"5", 0, 0}, {"", 3, 1},
    };
    for (const auto& c : cases) {
        QByteArray xml = "<root><vrtpropage PageCount=\"" + QByteArray(c.count) + "\"/>";
        for (size_t i = 0; i < c.graphs; ++i)
            xml += "<scenegraph Image=\"" + QByteArray::number(qulonglong(i)) + "\"/>";
        xml += "</root>";
        const auto info = read(xml);
        ASSERT_TRUE(info) << xml.constData();
        const auto graphs = info->graphInfosToConvert();
        ASSERT_EQ(graphs.size(), c.expected) << xml.constData();
        for (size_t i = 0; i < graphs.size(); ++i)
            EXPECT_EQ(graphs[i], info->graphInfoAtIndex(qsizetype(i)));
    }
}

TEST_F(ProjectInfo, ANegativePageCountIsAnError) {
    for (const char* count : {"-1", " -5", "-2147483648", "-99999999999"}) {
        errors = 0;
        EXPECT_FALSE(read("<root><project PageCount=\"" + QByteArray(count) + "\"/><scenegraph/></root>")) << count;
        EXPECT_EQ(errors, 1) << count;
    }
}

TEST_F(ProjectInfo, GraphInfoAtIndexAnswersNullOutsideTheList) {
    const auto info = read("<root><scenegraph Image=\"a\"/><scenegraph Image=\"b\"/></root>");
    ASSERT_TRUE(info);
    EXPECT_EQ(info->graphInfoAtIndex(1)->imageName, QStringLiteral("b"));
    EXPECT_FALSE(info->graphInfoAtIndex(-1));
    EXPECT_FALSE(info->graphInfoAtIndex(2));
    EXPECT_FALSE(info->graphInfoAtIndex(LLONG_MIN));
}

TEST_F(ProjectInfo, EntitiesExpandWithinALimitAndExternalOnesAreNeverLoaded) {
    QTemporaryDir dir;
    QFile outside(dir.filePath(QStringLiteral("outside.xml")));
    ASSERT_TRUE(outside.open(QIODevice::WriteOnly));
    outside.write("<scenegraph Image=\"leaked\"/>");
    outside.close();
    const QByteArray external = "<!DOCTYPE root [<!ENTITY ext SYSTEM \"" + QUrl::fromLocalFile(outside.fileName()).toEncoded() +
                                "\">]><root>&ext;</root>";
    const auto info = read(external);
    ASSERT_TRUE(info) << "an unused external entity is no error";
    EXPECT_TRUE(info->GraphList().empty());

    const auto internal = read(R"(<!DOCTYPE root [<!ENTITY v "5">]><root><info Version="&v;"/></root>)");
    ASSERT_TRUE(internal);
    EXPECT_EQ(internal->info()->version, 5);

    QByteArray laughs = "<!DOCTYPE root [<!ENTITY a \"aaaaaaaaaaaaaaaa\">";
    for (char c = 'b'; c <= 'h'; ++c) {
        QByteArray refs;
        for (int i = 0; i < 10; ++i)
            refs += QByteArray("&") + char(c - 1) + ";";
        laughs += QByteArray("<!ENTITY ") + c + " \"" + refs + "\">";
    }
    laughs += "]><root><info Product=\"&h;\"/></root>";
    errors = 0;
    EXPECT_FALSE(read(laughs));
    EXPECT_EQ(errors, 1);
}

}  // namespace
