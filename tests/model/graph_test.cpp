#include "archive_probe.h"
#include "model/shadow.h"
#include "model/stroke.h"
#include "observer_recorder.h"
#include "page_test_support.h"

#include "platform/foundation/keyed_unarchiver.h"
#include "platform/foundation/property_list.h"
#include "support/outside_tools.h"

#include <gtest/gtest.h>

#include <cmath>

using kxtest::graphAt;
using kxtest::SolidGraph;

namespace {

class GraphTest : public ::testing::Test {
protected:
    void SetUp() override { kxtest::registerPageClasses(); }
};

// Records what the graph asks of its layer.
class RecordingRender : public KXGraphRender {
public:
    void setNeedsDisplayGraph(KXGraph*) override { ++redraws; }
    void drawGraphSelection(KXGraph*) override { ++selectionRedraws; }
    kx::Layer* graphLayer() override { return nullptr; }
    kx::Layer* canvasLayer() override { return nullptr; }
    void setAngle(double a) override { angle = a; }
    int redraws = 0;
    int selectionRedraws = 0;
    double angle = 0;
};

TEST_F(GraphTest, FreshGraphHasItsDefaults) {
    KXGraph graph;
    EXPECT_EQ(graph.graphType(), KXGraphTypeShape);
    EXPECT_EQ(graph.flipX(), 1);
    EXPECT_EQ(graph.flipY(), 1);
    EXPECT_EQ(graph.opacity(), 1.0);
    EXPECT_EQ(graph.reflectionAlpha(), 0.5);
    EXPECT_EQ(graph.wrapType(), KXWrapTypeRound);
    EXPECT_TRUE(graph.updateAspectRatio());
    ASSERT_NE(graph.background(), nullptr);
    ASSERT_NE(graph.stroke(), nullptr);
    ASSERT_NE(graph.shadow(), nullptr);
    ASSERT_NE(graph.tracker(), nullptr);
    EXPECT_FALSE(graph.isFillEnabled());
    EXPECT_FALSE(graph.isStrokeEnabled());
    EXPECT_FALSE(graph.isShadowEnabled());
    EXPECT_EQ(graph.background()->fillAngle(), 90);
    EXPECT_EQ(graph.background()->gradientColorArray().size(), 2u);
    EXPECT_EQ(graph.rootOfGraphs(), std::vector<KXGraph*>{&graph});
}

TEST_F(GraphTest, AddObserverAnnouncesThirteenKeysAndForwardsToAttributes) {
    auto graph = std::make_shared<KXGraph>();
    kxtest::ObserverRecorder recorder;
    graph->addObserver(&recorder);
    for (const QString& key : graph->announcedKeys())
        EXPECT_EQ(graph->observationCount(&recorder, key), 1) << key.toStdString();
    EXPECT_EQ(graph->announcedKeys().size(), 13);
    EXPECT_EQ(graph->observationCount(&recorder, QStringLiteral("selected")), 0);
    EXPECT_EQ(graph->stroke()->observationCount(&recorder, QStringLiteral("width")), 1);
    EXPECT_EQ(graph->shadow()->observationCount(&recorder, QStringLiteral("blur")), 1);
    EXPECT_EQ(graph->background()->observationCount(&recorder, QStringLiteral("fillAngle")), 1);

    graph->setOpacity(0.5);
    graph->setSelected(true);
    graph->setWrapType(KXWrapTypeLeft);
    graph->stroke()->setWidth(3);
    EXPECT_EQ(recorder.keys(), (QStringList{"opacity", "width"}));

    graph->removeObserver(&recorder);
    graph->setOpacity(0.2);
    graph->shadow()->setBlur(9);
    EXPECT_EQ(recorder.changes.size(), 2u);
}

TEST_F(GraphTest, SettingAnAttributeObjectCopiesIntoTheHeldOne) {
    auto graph = std::make_shared<KXGraph>();
    KXStroke* held = graph->stroke();
    kxtest::ObserverRecorder recorder;
    graph->addObserver(&recorder);
    auto other = std::make_shared<KXStroke>();
    other->setWidth(7);
    graph->setStroke(other);
    EXPECT_EQ(graph->stroke(), held);
    EXPECT_EQ(held->width(), 7);
    EXPECT_TRUE(recorder.keys().contains("width"));
    graph->removeObserver(&recorder);
}

TEST_F(GraphTest, RelativeRectAnnouncesOnlyRealChangesAndKeepsAspectRules) {
    auto page = kxtest::fittedPage();
    auto graph = graphAt<KXGraph>({0.1, 0.1, 0.25, 0.5});
    page->addGraph(graph);
    kxtest::ObserverRecorder recorder;
    graph->kx::Observable::addObserver(&recorder, QStringLiteral("relativeRect"));
    graph->setRelativeRect({0.1, 0.1, 0.25, 0.5});
    EXPECT_TRUE(recorder.changes.empty());
    graph->setRelativeRect({0.1, 0.1, 0.5, 0.5});
    ASSERT_EQ(recorder.changes.size(), 1u);
    EXPECT_EQ(recorder.changes[0].oldValue.toRect(), kx::Rect(0.1, 0.1, 0.25, 0.5));
    // 400 x 300 preview points on the 800 x 600 page.
    EXPECT_DOUBLE_EQ(graph->aspectRatio(), 400.0 / 300.0);

    // A rectangle that is not made of numbers is refused.
    graph->setRelativeRect({std::nan(""), 0, 1, 1});
    EXPECT_EQ(graph->relativeRect(), kx::Rect(0.1, 0.1, 0.5, 0.5));
    // A frame without height keeps the last aspect ratio instead of an infinite one.
    graph->setRelativeRect({0.1, 0.1, 0.5, 0});
    EXPECT_DOUBLE_EQ(graph->aspectRatio(), 400.0 / 300.0);
    graph->removeObserver(&recorder, QStringLiteral("relativeRect"));
}

TEST_F(GraphTest, PhotosGroupsAndGraphsOffThePageKeepTheirAspectRatio) {
    auto page = kxtest::fittedPage();
    for (std::int32_t type : {KXGraphTypePhoto, KXGraphTypeGroup}) {
        auto graph = std::make_shared<kxtest::TypedGraph>(type);
        page->addGraph(graph);
        graph->setAspectRatio(3);
        graph->setRelativeRect({0, 0, 0.5, 0.5});
        EXPECT_EQ(graph->aspectRatio(), 3) << type;
    }
    KXGraph loose;
    loose.setRelativeRect({0, 0, 0.5, 0.25});
    EXPECT_EQ(loose.aspectRatio(), 0);
}

TEST_F(GraphTest, SelectionRedrawsOnlyOnChangeAndDisplayLockHoldsRedraws) {
    KXGraph graph;
    RecordingRender render;
    graph.setRender(&render);
    graph.setSelected(false);
    EXPECT_EQ(render.selectionRedraws, 0);
    graph.setSelected(true);
    graph.setSelected(true);
    EXPECT_EQ(render.selectionRedraws, 1);
    graph.setNeedsDisplay();
    graph.lockDisplay();
    graph.setNeedsDisplay();
    graph.unlockDisplay();
    graph.setNeedsDisplay();
    EXPECT_EQ(render.redraws, 2);
    graph.rotateGraphWithOffsetAngle(0.1);
    graph.rotateGraphWithOffsetAngle(0.1);
    EXPECT_DOUBLE_EQ(graph.angle(), 0.2);
    EXPECT_DOUBLE_EQ(render.angle, 0.2);
    graph.setRender(nullptr);
}

TEST_F(GraphTest, TextWrapChangesRefreshTheTextsBehind) {
    auto page = kxtest::fittedPage();
    auto text = graphAt<kxtest::TypedGraph>({0.1, 0.1, 0.5, 0.5});
    text->type = KXGraphTypeText;
    auto wrapper = graphAt<KXGraph>({0.2, 0.2, 0.2, 0.2});
    auto far = graphAt<KXGraph>({0.8, 0.8, 0.1, 0.1});
    page->addGraph(text);
    page->addGraph(wrapper);
    page->addGraph(far);
    text->geometryUpdates = 0;

    wrapper->setTextWrapEnabled(true);
    EXPECT_EQ(text->geometryUpdates, 1);
    wrapper->setTextWrapSpace(5);
    EXPECT_EQ(text->geometryUpdates, 2);
    wrapper->setWrapType(KXWrapTypeLeft);
    wrapper->setWrapType(KXWrapTypeLeft);
    EXPECT_EQ(text->geometryUpdates, 3);
    wrapper->setRelativeRect(wrapper->relativeRect());  // unchanged, but wrap is on: refreshed anyway
    EXPECT_EQ(text->geometryUpdates, 4);
    wrapper->stroke()->setWidth(4);
    EXPECT_EQ(text->geometryUpdates, 5);
    // A graph that meets no text refreshes nothing.
    far->setTextWrapEnabled(true);
    EXPECT_EQ(text->geometryUpdates, 5);

    EXPECT_EQ(page->graphsIntersectWithGraph(text.get()), (KXCanvas::GraphList{wrapper}));
}

TEST_F(GraphTest, RotatedGraphContainsOnlyItsTurnedOutline) {
    auto page = kxtest::fittedPage();
    auto graph = graphAt<KXGraph>({0.125, 0.125 * 800 / 600, 0.25, 0.25 * 800 / 600});  // 200 x 200 at (100, 100)
    page->addGraph(graph);
    EXPECT_TRUE(graph->containsPoint({105, 105}));
    graph->setAngle(M_PI / 4);
    EXPECT_FALSE(graph->containsPoint({105, 105}));  // a frame corner outside the turned square
    EXPECT_TRUE(graph->containsPoint({200, 200}));
    EXPECT_TRUE(graph->containsPoint({200, 330}));  // beyond the frame, inside the turned square's top corner
}

TEST_F(GraphTest, RubberBandInsideOrAroundAGraphIntersectsIt) {
    auto page = kxtest::fittedPage();
    auto graph = graphAt<KXGraph>({0.125, 0.25, 0.25, 0.25});  // (100, 150, 200, 150)
    page->addGraph(graph);
    struct Case {
        kx::Rect band;
        bool hits;
    } cases[] = {
        {{150, 200, 10, 10}, true},   // wholly inside: corner tests
        {{50, 100, 400, 400}, true},  // wholly around: bound test
        {{50, 200, 400, 10}, true},   // crossing: edge tests
        {{400, 400, 10, 10}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(graph->intersectsRect(c.band), c.hits) << c.band.origin.x;
}

TEST_F(GraphTest, SegmentIntersection) {
    struct Case {
        kx::Point a, b, c, d;
        bool meets;
    } cases[] = {
        {{0, 0}, {10, 10}, {0, 10}, {10, 0}, true},
        {{0, 0}, {10, 0}, {0, 1}, {10, 1}, false},     // parallel
        {{0, 0}, {10, 0}, {20, 0}, {30, 0}, true},     // on one line, apart: counted as meeting
        {{0, 0}, {0, 0}, {-1, -1}, {1, 1}, false},     // no length
        {{0, 0}, {10, 0}, {11, -1}, {11, 1}, false},   // crosses the line past the segment's end
        {{0, 0}, {10, 0}, {10, -1}, {10, 1}, true},    // touches the end
    };
    for (const Case& c : cases)
        EXPECT_EQ(KXGraph::lineIntersectionWithLine1Point1(c.a, c.b, c.c, c.d), c.meets) << c.c.x << "," << c.c.y;
}

TEST_F(GraphTest, GraphRectGrowsByHalfAnAbsoluteStrokeOnFixedPages) {
    auto page = std::make_shared<KXCanvas>();
    page->zoomToFitSize({400, 300});
    ASSERT_DOUBLE_EQ(page->zoomValue(), 0.5);
    auto graph = graphAt<KXGraph>({0.25, 0.25, 0.5, 0.5});
    page->addGraph(graph);
    graph->stroke()->setWidth(4);
    graph->setStrokeEnabled(true);
    EXPECT_EQ(graph->graphRect(), kx::Rect(99, 74, 202, 152));
    EXPECT_EQ(graph->drawRectForFrame(graph->frameRect(), 0.5), kx::Rect(101, 76, 198, 148));
    page->setLayoutType(KXLayoutTypeProportional);
    EXPECT_EQ(graph->graphRect(), graph->frameRect());
}

TEST_F(GraphTest, ArchiveUsesTheStoredKeysAndKinds) {
    KX_REQUIRE_TOOLS("/usr/bin/python3");
    KXGraph graph;
    graph.setRelativeRect({0.25, 0.5, 0.125, 0.25});
    const QJsonObject keys = kxtest::rootKeysSeenByPlistlib(kxtest::archiveOf(graph));
    const std::pair<const char*, const char*> expected[] = {
        {"filpX", "int"},          {"filpY", "int"},           {"layerOpacity", "real"},
        {"objectAngle", "real"},   {"textWrapEnable", "bool"}, {"textWrapSpace", "int"},
        {"aspectRatio", "real"},   {"wrapType", "int"},        {"outputRect", "string"},
        {"isFillEnable", "bool"},  {"background", "object"},   {"isStrokeEnable", "bool"},
        {"stroke", "object"},      {"isShadowEnbale", "bool"}, {"shadow", "object"},
        {"lock", "bool"},          {"reflectionEnabled", "bool"}, {"reflectionAlpha", "real"},
    };
    for (const auto& [key, kind] : expected)
        EXPECT_EQ(kxtest::kindOf(keys, key), kind) << key;
    EXPECT_EQ(keys.size(), int(std::size(expected)) + 1);  // and "$class"
    EXPECT_EQ(kxtest::valueOf(keys, "outputRect").toString(), "{{0.25, 0.5}, {0.125, 0.25}}");
}

TEST_F(GraphTest, CopyKeepsSinglePrecisionAndDropsTransientState) {
    auto page = kxtest::fittedPage();
    auto graph = graphAt<KXGraph>({0.1, 0.2, 0.3, 0.4});
    page->addGraph(graph);
    graph->setOpacity(0.3);
    graph->setAngle(0.7);
    graph->setReflectionEnabled(true);
    graph->setReflectionAlpha(0.3);
    graph->setContactShadowEnabled(true);
    graph->setLocked(true);
    graph->stroke()->setWidth(6);
    auto copy = graph->copy();
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->opacity(), double(0.3f));
    EXPECT_EQ(copy->angle(), double(0.7f));
    EXPECT_EQ(copy->aspectRatio(), double(float(graph->aspectRatio())));
    EXPECT_EQ(copy->reflectionAlpha(), double(0.3f));
    EXPECT_FALSE(copy->isContactShadowEnabled());
    EXPECT_FALSE(copy->isSelected());
    EXPECT_TRUE(copy->isLocked());
    EXPECT_EQ(copy->canvas(), nullptr);
    EXPECT_EQ(copy->relativeRect(), graph->relativeRect());
    EXPECT_EQ(copy->stroke()->width(), 6);
    EXPECT_EQ(copy->background()->owner(), copy.get());
    EXPECT_EQ(kxtest::archived(*copy), kxtest::archived(*graph));

    graph->setReflectionEnabled(false);
    EXPECT_EQ(graph->copy()->reflectionAlpha(), 0.5);
}

// Replaces values of a graph archive's root object, to read damaged files.
QByteArray withRootValues(const QByteArray& archive, const kx::ValueDictionary& values) {
    kx::ValueDictionary top = kx::readPropertyList(archive).value_or(kx::Value()).toDictionary();
    kx::ValueArray objects = top["$objects"].toArray();
    const std::uint64_t rootIndex = top["$top"].toDictionary().at("root").toUid().value;
    kx::ValueDictionary object = objects[rootIndex].toDictionary();
    for (const auto& [key, value] : values)
        object[key] = value;
    objects[rootIndex] = kx::Value(object);
    top["$objects"] = kx::Value(objects);
    return kx::writePropertyList(kx::Value(top), kx::PropertyListFormat::Binary);
}

TEST_F(GraphTest, DamagedNumbersAreReadSoundly) {
    KXGraph graph;
    const QByteArray damaged = withRootValues(
        kxtest::archiveOf(graph),
        {{"filpX", kx::Value(0)},
         {"filpY", kx::Value(-7)},
         {"layerOpacity", kx::Value(std::nanf(""))},
         {"objectAngle", kx::Value(INFINITY)},
         {"wrapType", kx::Value(99)},
         {"outputRect", kx::Value(QStringLiteral("{{1e999, 0}, {1, 1}}"))}});
    auto decoded = kx::KeyedUnarchiver::unarchiveObjectWithData(damaged);
    ASSERT_TRUE(decoded.has_value());
    auto read = decoded->objectAs<KXGraph>();
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->flipX(), 1);
    EXPECT_EQ(read->flipY(), -1);
    EXPECT_EQ(read->opacity(), 1.0);
    EXPECT_EQ(read->angle(), 0.0);
    EXPECT_EQ(read->wrapType(), KXWrapTypeRound);
    EXPECT_EQ(read->relativeRect(), kx::Rect());
}

}  // namespace
