#include "archive_probe.h"
#include "observer_recorder.h"
#include "page_test_support.h"

#include "platform/foundation/keyed_unarchiver.h"
#include "platform/gfx/bitmap_context.h"
#include "support/outside_tools.h"
#include "support/pixel_probe.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using kxtest::graphAt;
using kxtest::RecordingOwner;

namespace {

class CanvasTest : public ::testing::Test {
protected:
    void SetUp() override { kxtest::registerPageClasses(); }
};

void expectRectNear(const kx::Rect& actual, const kx::Rect& expected, double tolerance = 1e-6) {
    EXPECT_NEAR(actual.origin.x, expected.origin.x, tolerance);
    EXPECT_NEAR(actual.origin.y, expected.origin.y, tolerance);
    EXPECT_NEAR(actual.size.width, expected.size.width, tolerance);
    EXPECT_NEAR(actual.size.height, expected.size.height, tolerance);
}

TEST_F(CanvasTest, NewPageDefaults) {
    KXCanvas page;
    EXPECT_EQ(page.pixelSize(), kx::Size(800, 600));
    EXPECT_EQ(page.pageSize()->dpi(), 72);
    EXPECT_EQ(page.marginRect(), kx::Rect(72, 72, 656, 456));
    EXPECT_EQ(page.zoomValue(), 1.0);
    EXPECT_EQ(page.layoutType(), KXLayoutTypeFixed);
    EXPECT_EQ(page.renderIntent(), KXRenderIntentPreview);
    EXPECT_FALSE(page.clipMargin());
    EXPECT_EQ(page.graphCount(), 0);
    ASSERT_NE(page.background(), nullptr);
    EXPECT_EQ(page.background()->fillAngle(), 90);
}

TEST_F(CanvasTest, InsertPastTheEndAppendsAndTellsTheOwner) {
    RecordingOwner owner;
    auto page = kxtest::fittedPage(&owner);
    for (int i = 0; i < 3; ++i)
        page->addGraph(std::make_shared<KXGraph>());
    auto graph = std::make_shared<KXGraph>();
    page->insertGraph(graph, 99);
    EXPECT_EQ(page->graphAtIndex(3), graph);
    ASSERT_EQ(owner.inserts.size(), 4u);
    EXPECT_EQ(owner.inserts.back().graph, graph.get());
    EXPECT_EQ(owner.inserts.back().index, 3u);
    EXPECT_TRUE(graph->isSelected());
    EXPECT_EQ(graph->canvas(), page.get());

    // Nil, a graph already on the page and graphs not on it change nothing.
    page->insertGraph(nullptr, 0);
    page->insertGraph(graph, 0);
    EXPECT_EQ(page->graphCount(), 4);
    KXGraph stranger;
    page->removeGraph(&stranger);
    page->removeGraphAtIndex(-1);
    page->removeGraphAtIndex(4);
    EXPECT_EQ(page->graphCount(), 4);
    EXPECT_TRUE(owner.removes.empty());
    EXPECT_EQ(page->graphAtIndex(-1), nullptr);
    EXPECT_EQ(page->graphAtIndex(4), nullptr);

    page->removeGraph(graph.get());
    EXPECT_EQ(page->graphCount(), 3);
    EXPECT_EQ(owner.removes, std::vector<KXGraph*>{graph.get()});
    EXPECT_EQ(graph->canvas(), nullptr);
}

TEST_F(CanvasTest, AttachingRelinksDeselectsAndMeasuresEveryGraph) {
    auto page = std::make_shared<KXCanvas>();
    auto a = graphAt<KXGraph>({0, 0, 0.5, 0.5});
    auto b = graphAt<KXGraph>({0.5, 0.5, 0.25, 0.5});
    page->addGraph(a);
    page->addGraph(b);
    a->setAspectRatio(0);
    page->undoManager().removeAllActions();
    RecordingOwner owner;
    page->setOwner(&owner);
    ASSERT_EQ(owner.inserts.size(), 2u);
    EXPECT_EQ(owner.inserts[1].graph, b.get());
    EXPECT_EQ(owner.inserts[1].index, 1u);
    EXPECT_FALSE(a->isSelected());
    EXPECT_DOUBLE_EQ(a->aspectRatio(), 400.0 / 300.0);
    EXPECT_DOUBLE_EQ(b->aspectRatio(), 200.0 / 300.0);
    EXPECT_FALSE(page->undoManager().canUndo());
    EXPECT_EQ(page->graphs(), (KXCanvas::GraphList{a, b}));

    // A graph that has an aspect ratio keeps it (a photo stretched in its frame keeps its picture's), so
    // that a project opened again resizes as it did before it was saved.
    auto c = graphAt<KXGraph>({0.1, 0.1, 0.5, 0.25});
    auto other = std::make_shared<KXCanvas>();
    other->addGraph(c);
    c->setAspectRatio(2.5);
    other->setOwner(&owner);
    EXPECT_EQ(c->aspectRatio(), 2.5);
    other->setOwner(nullptr);
}

TEST_F(CanvasTest, PageSizeChangeMovesMarginsAndGraphs) {
    struct Case {
        const char* name;
        std::int32_t layout;
        kx::Size size;
        kx::Rect margin;
    } cases[] = {
        {"fixed, shrink to 100 x 100", KXLayoutTypeFixed, {100, 100}, {14, 14, 72, 72}},
        {"fixed, grow to 1000 x 800", KXLayoutTypeFixed, {1000, 800}, {72, 72, 856, 656}},
        {"proportional, wider", KXLayoutTypeProportional, {1600, 600}, {144, 72, 1312, 456}},
        {"fixed, smaller than the room kept between margins", KXLayoutTypeFixed, {50, 40}, {0, 0, 50, 40}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KXCanvas page;
        page.setLayoutType(c.layout);
        auto graph = graphAt<KXGraph>({0.25, 0.5, 0.25, 1.0 / 3});  // 200 x 200 pixels, 100 below the top edge
        page.addGraph(graph);
        KXSize size(c.size.width, c.size.height, KXSizeUnitPixel, 72);
        page.setPageSize(&size);
        expectRectNear(page.marginRect(), c.margin);
        EXPECT_GE(page.marginRect().origin.x, 0);
        if (c.layout == KXLayoutTypeFixed) {
            const kx::Rect pixels = graph->actualRect();
            expectRectNear(pixels, {200, c.size.height - 300, 200, 200});
        } else {
            EXPECT_EQ(graph->relativeRect(), kx::Rect(0.25, 0.5, 0.25, 1.0 / 3));
        }
    }
}

TEST_F(CanvasTest, ASizeChangeIsAnnouncedWithThePreviousSizeAsTheOldValue) {
    KXCanvas page;
    kxtest::ObserverRecorder recorder;
    page.addObserver(&recorder, QStringLiteral("pageSize"));
    const KXSize* before = page.pageSize();
    const kx::Size beforePixels = page.pixelSize();
    KXSize size(300, 200, KXSizeUnitPixel, 72);
    page.setPageSize(&size);
    page.removeObserver(&recorder, QStringLiteral("pageSize"));
    page.setPageSize(&size);
    ASSERT_EQ(recorder.keys(), QStringList{QStringLiteral("pageSize")});
    const auto oldSize = recorder.changes[0].oldValue.objectAs<KXSize>();
    ASSERT_TRUE(oldSize);
    EXPECT_EQ(oldSize.get(), before);
    EXPECT_EQ(oldSize->pixelSize(), beforePixels);
    EXPECT_EQ(recorder.changes[0].newValue.objectAs<KXSize>()->pixelSize(), (kx::Size{300, 200}));
    EXPECT_NE(recorder.changes[0].newValue.objectAs<KXSize>().get(), &size);  // the page keeps a copy
}

TEST_F(CanvasTest, ZoomToFitSetsPreviewZoomAndLaysOut) {
    RecordingOwner owner;
    KXCanvas page;
    page.setOwner(&owner);
    page.zoomToFitSize({400, 400});
    EXPECT_EQ(page.previewSize(), kx::Size(400, 300));
    EXPECT_EQ(page.zoomValue(), 0.5);
    EXPECT_EQ(owner.layouts, 1);
    EXPECT_EQ(page.previewMarginRect(), kx::Rect(36, 36, 328, 228));

    // A view without size, or not a number, keeps the zoom rather than making it 0 or NaN.
    page.zoomToFitSize({std::nan(""), 100});
    EXPECT_EQ(page.zoomValue(), 0.5);
    EXPECT_EQ(page.previewSize(), kx::Size(0, 0));
    page.setOwner(nullptr);
}

TEST_F(CanvasTest, HitTestsFindTheFrontGraph) {
    auto page = kxtest::fittedPage();
    auto back = graphAt<KXGraph>({0.1, 0.1, 0.5, 0.5});
    auto front = graphAt<KXGraph>({0.3, 0.3, 0.5, 0.5});
    auto line = graphAt<kxtest::TypedGraph>({0.0, 0.9, 0.1, 0.1});
    line->type = KXGraphTypeLine;
    page->addGraph(back);
    page->addGraph(front);
    page->addGraph(line);
    front->setLocked(true);
    EXPECT_EQ(page->selectGraphAtPoint({300, 250}), front);
    EXPECT_EQ(page->selectGraphAtPoint({100, 100}), back);
    EXPECT_EQ(page->selectGraphAtPoint({790, 10}), nullptr);
    EXPECT_EQ(page->selectedGraphsWithFrame({0, 0, 800, 600}), (KXCanvas::GraphList{line, front, back}));

    EXPECT_EQ(page->selectedEditableGraphs(), (KXCanvas::GraphList{back, line}));
    page->setAllGrpahsSelection(false);
    EXPECT_TRUE(page->selectedGraphs().empty());
    EXPECT_EQ(page->unselectedGraphs().size(), 3u);
    EXPECT_EQ(page->graphsWithType(KXGraphTypeAll).size(), 3u);
    EXPECT_EQ(page->graphsWithType(KXGraphTypeLine), (KXCanvas::GraphList{line}));
}

TEST_F(CanvasTest, TypedSelections) {
    auto page = kxtest::fittedPage();
    auto text = std::make_shared<kxtest::TypedGraph>(KXGraphTypeText);
    auto photo = std::make_shared<kxtest::TypedGraph>(KXGraphTypePhoto);
    auto group = std::make_shared<kxtest::TypedGraph>(KXGraphTypeGroup);
    page->addGraph(text);
    page->addGraph(photo);
    page->addGraph(group);
    EXPECT_EQ(page->selectedTexts(), (KXCanvas::GraphList{text}));
    EXPECT_EQ(page->selectedPhotos(), (KXCanvas::GraphList{photo}));
    EXPECT_EQ(page->selectedGroupCount(), 1);
    EXPECT_EQ(page->graphsWithType(KXGraphTypeGroup), (KXCanvas::GraphList{group}));
}

TEST_F(CanvasTest, RemovingAGraphRefreshesTheTextsBehindIt) {
    auto page = kxtest::fittedPage();
    auto text = graphAt<kxtest::TypedGraph>({0.1, 0.1, 0.5, 0.5});
    text->type = KXGraphTypeText;
    auto over = graphAt<KXGraph>({0.2, 0.2, 0.1, 0.1});
    auto apart = graphAt<KXGraph>({0.8, 0.8, 0.1, 0.1});
    page->addGraph(text);
    page->addGraph(over);
    page->addGraph(apart);
    text->wrappedGraphs = {over.get()};
    text->geometryUpdates = 0;
    // Off the page a leaving graph has no frame; what counts is whether the text flowed around it.
    page->removeGraph(apart.get());
    EXPECT_EQ(text->geometryUpdates, 0);
    page->removeGraph(over.get());
    EXPECT_EQ(text->geometryUpdates, 1);
}

// A graph whose kind changes while it stands on a page (as a shape given a text or a photo does), telling its
// page as every such graph must. Its kind goes into its archive.
class ChangingKindGraph : public kxtest::TypedGraph {
public:
    QString className() const override { return QStringLiteral("ChangingKindGraph"); }
    void becomeKind(std::int32_t kind) {
        type = kind;
        graphTypeDidChange();
    }
    void encodeWithCoder(kx::KeyedArchiver& coder) const override {
        KXGraph::encodeWithCoder(coder);
        coder.encodeInteger(type, QStringLiteral("kind"));
    }
    void initWithCoder(kx::KeyedUnarchiver& coder) override {
        KXGraph::initWithCoder(coder);
        type = std::int32_t(coder.decodeInteger(QStringLiteral("kind")));
    }
};

// A group holding graphs, enough for the page's text-wrap walk.
class GroupOfGraphs : public kxtest::TypedGraph {
public:
    GroupOfGraphs() : TypedGraph(KXGraphTypeGroup) {}
    const std::vector<std::shared_ptr<KXGraph>>& graphs() const override { return children; }
    std::vector<std::shared_ptr<KXGraph>> children;
};

TEST_F(CanvasTest, AGraphThatBecomesATextOnThePageIsStillReachedByTextWrap) {
    auto page = kxtest::fittedPage();
    auto shape = graphAt<ChangingKindGraph>({0.1, 0.1, 0.5, 0.5});
    auto over = graphAt<KXGraph>({0.2, 0.2, 0.1, 0.1});
    page->addGraph(shape);
    page->addGraph(over);
    shape->wrappedGraphs = {over.get()};

    shape->becomeKind(KXGraphTypeText);
    over->setTextWrapEnabled(true);
    EXPECT_EQ(shape->geometryUpdates, 1);
    // A shape again: the walk no longer refreshes it.
    shape->becomeKind(KXGraphTypeShape);
    over->setTextWrapEnabled(false);
    EXPECT_EQ(shape->geometryUpdates, 1);
    // A text once more: the graph leaving in front of it refreshes it.
    shape->becomeKind(KXGraphTypeText);
    page->removeGraph(over.get());
    EXPECT_EQ(shape->geometryUpdates, 2);
    // Undoing the removal and removing again still finds it.
    page->insertGraph(over, 1);
    page->removeGraph(over.get());
    EXPECT_EQ(shape->geometryUpdates, 3);
}

TEST_F(CanvasTest, TextsInsideAGroupAreReachedByTextWrap) {
    auto page = kxtest::fittedPage();
    auto group = graphAt<GroupOfGraphs>({0.1, 0.1, 0.5, 0.5});
    auto text = graphAt<ChangingKindGraph>({0, 0, 1, 1});
    text->type = KXGraphTypeText;
    text->setGroup(group.get());
    group->children = {text};
    auto over = graphAt<KXGraph>({0.2, 0.2, 0.1, 0.1});
    page->addGraph(group);
    page->addGraph(over);
    // A child linked to the page (as its group's layer links it) telling of a change of kind is no list entry.
    text->setCanvas(page.get());
    text->becomeKind(KXGraphTypeShape);
    text->becomeKind(KXGraphTypeText);
    text->wrappedGraphs = {over.get()};
    page->removeGraph(over.get());
    EXPECT_EQ(text->geometryUpdates, 1);
    text->setCanvas(nullptr);
    text->setGroup(nullptr);
}

TEST_F(CanvasTest, PagesThatCannotHearOfAChangeOfKindWalkEveryGraph) {
    kx::ClassRegistry::shared().registerClass<ChangingKindGraph>(QStringLiteral("ChangingKindGraph"));
    {
        // A decoded page's graphs are not linked to it until it gets an owner.
        auto page = kxtest::fittedPage();
        page->addGraph(graphAt<ChangingKindGraph>({0.1, 0.1, 0.5, 0.5}));
        page->addGraph(graphAt<KXGraph>({0.2, 0.2, 0.1, 0.1}));
        auto copy = page->copy();
        ASSERT_NE(copy, nullptr);
        auto* decoded = dynamic_cast<ChangingKindGraph*>(copy->graphAtIndex(0).get());
        ASSERT_NE(decoded, nullptr);
        decoded->becomeKind(KXGraphTypeText);
        decoded->wrappedGraphs = {copy->graphAtIndex(1).get()};
        copy->removeGraphAtIndex(1);
        EXPECT_EQ(decoded->geometryUpdates, 1);
    }
    {
        // A graph another page took over is linked to that page only.
        auto first = kxtest::fittedPage();
        auto second = kxtest::fittedPage();
        auto shape = graphAt<ChangingKindGraph>({0.1, 0.1, 0.5, 0.5});
        auto over = graphAt<KXGraph>({0.2, 0.2, 0.1, 0.1});
        first->addGraph(shape);
        first->addGraph(over);
        second->addGraph(shape);
        shape->becomeKind(KXGraphTypeText);
        shape->wrappedGraphs = {over.get()};
        first->removeGraph(over.get());
        EXPECT_EQ(shape->geometryUpdates, 1);
    }
}

TEST_F(CanvasTest, ClippedPageIsWhiteOutsideItsMargin) {
    KXCanvas page;
    page.background()->setColor1(kx::Color::srgb(0, 0, 1, 1));
    page.setClipMargin(true);
    kx::BitmapContext context(800, 600);
    page.drawInContext(context);
    const QImage image = context.makeImage().qimage();
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 10, 10), (kxtest::Rgba{255, 255, 255, 255}), 1);
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 400, 300), (kxtest::Rgba{0, 0, 255, 255}), 1);
}

TEST_F(CanvasTest, ArchiveRoundTrip) {
    auto page = kxtest::fittedPage();
    page->setLayoutType(KXLayoutTypeProportional);
    page->setClipMargin(true);
    page->setMarginRect({10, 20, 300, 400});
    page->addGraph(graphAt({0.1, 0.2, 0.3, 0.4}));
    page->addGraph(graphAt<KXGraph>({0.5, 0.5, 0.25, 0.25}));
    if (kxtest::hasPython()) {
        const QJsonObject keys = kxtest::rootKeysSeenByPlistlib(kxtest::archiveOf(*page));
        EXPECT_EQ(kxtest::kindOf(keys, "layoutType"), "int");
        EXPECT_EQ(kxtest::kindOf(keys, "pageMarginRect"), "string");
        EXPECT_EQ(kxtest::kindOf(keys, "isClipPage"), "bool");
        EXPECT_EQ(kxtest::valueOf(keys, "pageSize").toString(), "KXSize");
        EXPECT_EQ(kxtest::valueOf(keys, "background").toString(), "KXBackground");
        EXPECT_EQ(kxtest::valueOf(keys, "graphs").toString(), "NSMutableArray");
        EXPECT_EQ(keys.size(), 7);
    }
    auto copy = page->copy();
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->owner(), nullptr);
    EXPECT_EQ(copy->layoutType(), KXLayoutTypeProportional);
    EXPECT_TRUE(copy->clipMargin());
    EXPECT_EQ(copy->marginRect(), kx::Rect(10, 20, 300, 400));
    ASSERT_EQ(copy->graphCount(), 2);
    EXPECT_EQ(copy->graphAtIndex(0)->className(), "SolidGraph");
    // Decoded graphs are not linked until the page gets an owner.
    EXPECT_EQ(copy->graphAtIndex(0)->canvas(), nullptr);
    EXPECT_EQ(kxtest::archived(*copy), kxtest::archived(*page));
}

// Class records list the chain of classes: a graph subclass names the graph class before NSObject.
TEST_F(CanvasTest, ClassRecordsListTheSuperclassChain) {
    KX_REQUIRE_TOOLS("/usr/bin/python3");
    auto page = kxtest::fittedPage();
    EXPECT_EQ(kxtest::classChainOf(kxtest::rootKeysSeenByPlistlib(kxtest::archiveOf(*page))),
              (QStringList{"KXCanvas", "NSObject"}));
    const auto graph = graphAt({0.1, 0.2, 0.3, 0.4});
    EXPECT_EQ(kxtest::classChainOf(kxtest::rootKeysSeenByPlistlib(kxtest::archiveOf(*graph))),
              (QStringList{"SolidGraph", "KXGraph", "NSObject"}));
}

TEST_F(CanvasTest, MarginRectsWithoutAnArchivedFormAreRefused) {
    auto page = kxtest::fittedPage();
    page->setMarginRect({10, 20, 300, 400});
    const double inf = std::numeric_limits<double>::infinity();
    for (const kx::Rect bad : {kx::Rect(inf, 20, 300, 400), kx::Rect(10, 20, std::nan(""), 400),
                               kx::Rect(10, 20, 300, -inf)})
        page->setMarginRect(bad);
    EXPECT_EQ(page->marginRect(), kx::Rect(10, 20, 300, 400));
    auto copy = page->copy();
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->marginRect(), kx::Rect(10, 20, 300, 400));
}

TEST_F(CanvasTest, ArchiveListingOneGraphTwiceIsRefused) {
    auto page = std::make_shared<KXCanvas>();
    auto graph = std::make_shared<KXGraph>();
    // Written by hand: the page itself never lists a graph twice.
    class TwiceListed : public KXCanvas {
    public:
        std::shared_ptr<KXGraph> graph;
        void encodeWithCoder(kx::KeyedArchiver& coder) const override {
            KXCanvas::encodeWithCoder(coder);
            coder.encodeObject(kx::Value(kx::ValueArray{kx::Value(graph), kx::Value(graph)}), QStringLiteral("graphs"));
        }
    } twice;
    twice.graph = graph;
    QString error;
    EXPECT_FALSE(kx::KeyedUnarchiver::unarchiveObjectWithData(kxtest::archived(twice), &error).has_value());
    EXPECT_TRUE(error.contains("twice")) << error.toStdString();
}

}  // namespace
