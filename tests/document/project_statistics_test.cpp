#include "document/project_statistics.h"

#include "../app_services/collect_server.h"
#include "app_services/ga_object.h"
#include "model/background.h"
#include "model/calendar.h"
#include "model/frame.h"
#include "project_test_support.h"
#include "text/text.h"
#include "support/outside_tools.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using Events = std::vector<KXTrackedEvent>;

const KXTrackedEvent totality{"Export Object", "Export Totality", "nil", 1};
const KXTrackedEvent imageTotality{"Image type", "Export Totality", "nil", 1};
const KXTrackedEvent colorBackground{"Background info", "Color background", "", 1};

void PrintTo(const KXTrackedEvent& e, std::ostream* os) {
    *os << "(" << e.category.toStdString() << ", " << e.action.toStdString() << ", \"" << e.label.toStdString()
        << "\", " << e.value << ")";
}

class ProjectStatisticsTest : public kxtest::ProjectTest {
protected:
    // The project's first page, emptied of nothing: a new project has one page with a colour fill.
    static KXCanvas& firstPage(KXProject& project) { return *project.canvasAtIndex(0); }

    static std::shared_ptr<KXShape> photoShape(KXCanvas& page) {
        auto shape = std::make_shared<KXShape>();
        shape->setText(nullptr);
        page.addGraph(shape);
        return shape;
    }
    static std::shared_ptr<KXShape> textShape(KXCanvas& page) {
        auto shape = std::make_shared<KXShape>();
        shape->setPhoto(nullptr);
        page.addGraph(shape);
        EXPECT_EQ(shape->graphType(), KXGraphTypeText);
        EXPECT_TRUE(dynamic_cast<KXText*>(shape->text()));
        return shape;
    }
    // The events after the page count, the page size and the two totality events of a one-page project.
    static Events pageEvents(const KXProject& project) {
        Events all = projectStatisticsEvents(project);
        EXPECT_GE(all.size(), 4u);
        EXPECT_EQ(all[2], totality);
        EXPECT_EQ(all[3], imageTotality);
        return Events(all.begin() + std::min<std::size_t>(4, all.size()), all.end());
    }
};

TEST_F(ProjectStatisticsTest, TwoPagesOfA4InMillimetres) {
    KXProject project;
    project.createNewLayerWithCanvas(std::make_shared<KXCanvas>());
    project.setPageSize(KXSize(210, 297, KXSizeUnitMillimeter, 300));
    ASSERT_EQ(project.canvasCount(), 2);
    const Events expected = {
        {"Page info", "Page count", "2", 1},
        {"Page info", "Page size", "210.0 x 297.0 mm", 1},
        totality, imageTotality, colorBackground,
        totality, imageTotality, colorBackground,
    };
    EXPECT_EQ(projectStatisticsEvents(project), expected);
}

TEST_F(ProjectStatisticsTest, PageSizeLabelsByUnit) {
    struct Case {
        double width, height;
        std::int64_t unit;
        const char* label;
    };
    const Case cases[] = {
        {800, 600, KXSizeUnitPixel, "800 x 600 px"},
        {600, 800, KXSizeUnitPixel, "600 x 800 px"},
        {297, 210, KXSizeUnitMillimeter, "297.0 x 210.0 mm"},
        {8.5, 11, KXSizeUnitInch, "8.50 x 11.00 inch"},
        {21, 29.7, KXSizeUnitCentimeter, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        KXProject project;
        project.setPageSize(KXSize(c.width, c.height, c.unit, 300));
        EXPECT_EQ(projectStatisticsEvents(project)[1], (KXTrackedEvent{"Page info", "Page size", c.label, 1}));
    }
}

TEST_F(ProjectStatisticsTest, AProjectWithoutPagesGivesCountZeroAndAZeroPixelSize) {
    KXProject project;
    project.removeAllCanvasLayers();
    ASSERT_EQ(project.canvasCount(), 0);
    const Events expected = {{"Page info", "Page count", "0", 1}, {"Page info", "Page size", "0 x 0 px", 1}};
    EXPECT_EQ(projectStatisticsEvents(project), expected);
}

TEST_F(ProjectStatisticsTest, AColourPageWithoutGraphsGivesExactlyThreePageEvents) {
    KXProject project;
    EXPECT_EQ(pageEvents(project), (Events{colorBackground}));
}

TEST_F(ProjectStatisticsTest, BackgroundEventByFillAndImageType) {
    struct Case {
        std::int32_t fillType, imageType;
        const char* action;  // nullptr: no event
        const char* label;
    };
    const Case cases[] = {
        {KXFillTypeColor, KXImageTypeStretch, "Color background", ""},
        {KXFillTypeImage, KXImageTypeTile, "Image background", "Tile"},
        {KXFillTypeImage, KXImageTypeStretch, "Image background", "Stretch"},
        {KXFillTypeImage, KXImageTypeStretchCrop, "Image background", ""},
        {KXFillTypeCustomImage, KXImageTypeTile, "Custom Image background", "Tile"},
        {KXFillTypeCustomImage, KXImageTypeStretch, "Custom Image background", "Stretch"},
        {KXFillTypeCustomImage, KXImageTypeStretchCrop, "Custom Image background", "StretchCrop"},
        {KXFillTypeCustomImage, 7, "Custom Image background", ""},
        {3, KXImageTypeTile, nullptr, nullptr},
        {-1, KXImageTypeTile, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.fillType << " " << c.imageType);
        KXProject project;
        KXBackground* fill = firstPage(project).background();
        ASSERT_TRUE(fill);
        fill->setFillType(c.fillType);
        fill->setImageType(c.imageType);
        const Events expected =
            c.action ? Events{{"Background info", c.action, c.label, 1}} : Events{};
        EXPECT_EQ(pageEvents(project), expected);
    }
}

TEST_F(ProjectStatisticsTest, PhotosListTheirEffectsMasksFramesCornersAndClipart) {
    KXProject project;
    KXCanvas& page = firstPage(project);
    const QString clipart = kxtest::writeImage(res + "/Clipart/Animals/cat.png");

    // 1: mask from "Hearts", effect "Sepia".
    auto a = photoShape(page);
    a->photo()->setMaskEnabled(true);
    a->photo()->setMaskName("/masks/Hearts/heart1.png");
    a->photo()->setEffectName("Sepia");
    // 2: mask from "hearts" (the same category in other letters), effect "SEPIA", clip-art.
    auto b = photoShape(page);
    b->photo()->setImagePath(clipart);
    b->photo()->setMaskEnabled(true);
    b->photo()->setMaskName("/masks/hearts/heart2.png");
    b->photo()->setEffectName("SEPIA");
    // 3: no mask, a frame from "Wood", effect "Original".
    auto c = photoShape(page);
    c->photo()->setMaskEnabled(false);
    c->photo()->setFrameEnabled(true);
    c->photo()->setFrame(KXFrame::frameWithName("/frames/Wood/oak.png"));
    c->photo()->setEffectName("Original");
    // 4: neither mask nor frame, border on and round corners: a corner event.
    auto d = photoShape(page);
    d->photo()->setMaskEnabled(false);
    d->photo()->setFrameEnabled(false);
    d->setStrokeEnabled(true);
    d->photo()->setRoundCornerRadius(12);
    d->photo()->setEffectName("Gray");
    // 5: round corners without border: nothing; a mask that names no file: nothing.
    auto e = photoShape(page);
    e->photo()->setMaskEnabled(false);
    e->photo()->setFrameEnabled(false);
    e->setStrokeEnabled(false);
    e->photo()->setRoundCornerRadius(12);
    auto f = photoShape(page);
    f->photo()->setMaskEnabled(true);
    f->photo()->setMaskName({});

    const Events expected = {
        colorBackground,
        {"Export Object", "Image", "6", 1},
        {"Image Type", "Used Clipart", "Animals", 1},
        {"Image Type", "Used Conner", "nil", 1},
        {"Image effect info", "Used effect", ",Sepia,Gray", 1},
        {"Image Type", "Used Mask", ",Hearts", 1},
        {"Image Type", "Used Frame", ",Wood", 1},
    };
    EXPECT_EQ(pageEvents(project), expected);
}

TEST_F(ProjectStatisticsTest, EffectNamesDifferingInCaseCountOnceAndOriginalNotAtAll) {
    KXProject project;
    KXCanvas& page = firstPage(project);
    const char* names[] = {"Vivid", "vivid", "Original"};
    for (const char* name : names) {
        auto shape = photoShape(page);
        shape->photo()->setMaskEnabled(false);
        shape->photo()->setFrameEnabled(false);
        shape->photo()->setEffectName(name);
    }
    const Events expected = {colorBackground,
                             {"Export Object", "Image", "3", 1},
                             {"Image effect info", "Used effect", ",Vivid", 1}};
    EXPECT_EQ(pageEvents(project), expected);
}

TEST_F(ProjectStatisticsTest, TextEffectLabelFromOutlineGlowAndFill) {
    struct Case {
        bool outline, glow, fill;
        const char* label;  // nullptr: no event
    };
    const Case cases[] = {
        {false, false, false, nullptr},
        {false, false, true, "background"},
        {true, false, false, "stroke,"},
        {false, true, false, "glow,"},
        {true, true, true, "stroke,glow,background"},
        {true, false, true, "stroke,background"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.outline << c.glow << c.fill);
        KXProject project;
        KXCanvas& page = firstPage(project);
        // Each flag on a different text, so that they are gathered over the texts.
        auto one = textShape(page);
        auto two = textShape(page);
        auto three = textShape(page);
        for (auto& shape : {one, two, three})
            shape->setFillEnabled(false);
        dynamic_cast<KXText*>(one->text())->setOutlineEnabled(c.outline);
        dynamic_cast<KXText*>(two->text())->setGlowEnabled(c.glow);
        three->setFillEnabled(c.fill);
        Events expected = {colorBackground, {"Export Object", "Text", "3", 1}};
        if (c.label)
            expected.push_back({"Text effect info", "Used effect", c.label, 1});
        EXPECT_EQ(pageEvents(project), expected);
    }
}

TEST_F(ProjectStatisticsTest, PagesCountTheirPhotosTextsAndCalendarsInThatOrder) {
    KXProject project;
    KXCanvas& page = firstPage(project);
    page.addGraph(std::make_shared<KXCalendar>());
    auto text = textShape(page);
    text->setFillEnabled(false);
    auto photo = photoShape(page);
    photo->photo()->setMaskEnabled(false);
    page.addGraph(std::make_shared<KXCalendar>());
    const Events expected = {colorBackground,
                             {"Export Object", "Image", "1", 1},
                             {"Export Object", "Text", "1", 1},
                             {"Export Object", "Calendar", "2", 1}};
    EXPECT_EQ(pageEvents(project), expected);
}

// ---- delivery through the analytics client ----

const QString knownClientID = QStringLiteral("0123456789abcdef0123456789abcdef");

std::unique_ptr<GAObject> client(kxtest::Settings& settings, const QString& trackerID, const QUrl& url) {
    settings.defaults.setValue(GAObject::clientIDDefaultsKey, kx::Value(knownClientID));
    auto ga = std::make_unique<GAObject>(settings.defaults);
    ga->setTrackerID(trackerID);
    ga->setCollectURL(url);
    return ga;
}

// A project whose labels need encoding: a clip-art category and an effect with "&", "=", spaces and
// non-ASCII letters.
std::unique_ptr<KXProject> hostileProject(const QString& res) {
    auto project = std::make_unique<KXProject>();
    KXCanvas& page = *project->canvasAtIndex(0);
    auto shape = std::make_shared<KXShape>();
    shape->setText(nullptr);
    page.addGraph(shape);
    shape->photo()->setImagePath(kxtest::writeImage(res + QString::fromUtf8("/Clipart/Cats & Dogs=ü/cat.png")));
    shape->photo()->setMaskEnabled(false);
    shape->photo()->setEffectName(QStringLiteral("a&ev=9 +%"));
    return project;
}

TEST_F(ProjectStatisticsTest, FormDecodingOfEachQueuedHitRecoversExactlyTheFields) {
    KX_REQUIRE_TOOLS("/usr/bin/python3");
    const auto project = hostileProject(res);
    kxtest::Settings settings;
    auto ga = client(settings, "UA-1&x=y", {});
    // A caller empties the queue, queues its own event, then the project's.
    ga->trackEventType("Old", "Old", "Old", 1);
    ga->clearEvent();
    ga->trackEventType("Export", "Image", "JPEG", 1);
    trackProject(*project, *ga);

    Events expected = {{"Export", "Image", "JPEG", 1}};
    const Events events = projectStatisticsEvents(*project);
    expected.insert(expected.end(), events.begin(), events.end());
    ASSERT_EQ(ga->eventQueue().size(), qsizetype(expected.size()));
    EXPECT_TRUE(std::any_of(expected.begin(), expected.end(),
                            [](const KXTrackedEvent& e) { return e.label == QString::fromUtf8("Cats & Dogs=ü"); }));

    QJsonArray input;
    for (const QByteArray& body : ga->eventQueue())
        input.append(QString::fromUtf8(body));
    QProcess python;
    python.start("/usr/bin/python3",
                 {"-c",
                  "import json, sys, urllib.parse\n"
                  "hits = json.loads(sys.stdin.read())\n"
                  "print(json.dumps([urllib.parse.parse_qs(h, keep_blank_values=True, strict_parsing=True) for h in hits]))\n"});
    python.write(QJsonDocument(input).toJson());
    python.closeWriteChannel();
    ASSERT_TRUE(python.waitForFinished(30000));
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().constData();
    const QJsonArray parsed = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    ASSERT_EQ(parsed.size(), qsizetype(expected.size()));
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        const QJsonObject fields = parsed[qsizetype(i)].toObject();
        const std::map<QString, QString> want = {
            {"v", "1"},          {"tid", "UA-1&x=y"}, {"cid", knownClientID},
            {"t", "event"},      {"ec", expected[i].category}, {"ea", expected[i].action},
            {"el", expected[i].label}, {"ev", "1"}};
        EXPECT_EQ(std::size_t(fields.size()), want.size());
        for (const auto& [key, value] : want)
            EXPECT_EQ(fields[key].toArray(), QJsonArray{value}) << key.toStdString();
    }
}

TEST_F(ProjectStatisticsTest, EventsReachTheServerOnlyWithATrackingId) {
    kxtest::CollectServer server;
    ASSERT_TRUE(server.isListening());
    const auto project = hostileProject(res);
    kxtest::Settings settings;
    // Without a tracking id nothing is sent, whatever is queued.
    auto silent = client(settings, "", server.url());
    trackProject(*project, *silent);
    EXPECT_FALSE(silent->eventQueue().isEmpty());
    EXPECT_EQ(kxtest::requestsUnderWay(*silent), 0);

    auto configured = client(settings, "UA-TEST-1", server.url());
    configured->clearEvent();
    trackProject(*project, *configured);
    const QList<QByteArray> queued = configured->eventQueue();
    ASSERT_TRUE(kxtest::waitFor([&] {
        return server.requests().size() >= std::size_t(queued.size()) && kxtest::requestsUnderWay(*configured) == 0;
    }));
    ASSERT_EQ(server.requests().size(), std::size_t(queued.size()));
    QList<QByteArray> bodies;
    for (const kxtest::Request& r : server.requests()) {
        EXPECT_EQ(r.method, "POST");
        EXPECT_EQ(r.path, "/collect");
        EXPECT_EQ(r.headers.at("content-type"), "application/x-www-form-urlencoded");
        EXPECT_EQ(r.headers.at("content-length"), QByteArray::number(r.body.size()));
        EXPECT_TRUE(r.body.contains("tid=UA-TEST-1&"));
        bodies.append(r.body);
    }
    // Each hit is its own request; connections may deliver them in any order.
    QList<QByteArray> expected = queued;
    std::sort(bodies.begin(), bodies.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(bodies, expected);
}

TEST_F(ProjectStatisticsTest, WithoutASharedClientNothingHappens) {
    ASSERT_EQ(GAObject::defaultObject(), nullptr);
    KXProject project;
    trackProject(project);  // no client, no crash
}

}  // namespace
