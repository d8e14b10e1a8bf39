#include "model/shape.h"
#include "model/stroke.h"
#include "page_test_support.h"

#include <gtest/gtest.h>

using kxtest::endEvent;
using kxtest::graphAt;
using kxtest::RecordingOwner;

namespace {

class CanvasUndoTest : public ::testing::Test {
protected:
    void SetUp() override {
        kxtest::registerPageClasses();
        page = kxtest::fittedPage(&owner);
    }
    void TearDown() override { page->setOwner(nullptr); }

    kx::UndoManager& undo() { return page->undoManager(); }

    RecordingOwner owner;
    std::shared_ptr<KXCanvas> page;
};

TEST_F(CanvasUndoTest, InsertUndoRedo) {
    page->addGraph(std::make_shared<KXGraph>());
    page->addGraph(std::make_shared<KXGraph>());
    endEvent();
    auto graph = std::make_shared<KXGraph>();
    page->insertGraph(graph, 1);
    endEvent();
    undo().undo();
    EXPECT_EQ(page->graphCount(), 2);
    EXPECT_EQ(page->indexOfGraph(graph.get()), -1);
    undo().redo();
    EXPECT_EQ(page->indexOfGraph(graph.get()), 1);
    undo().undo();
    undo().undo();
    undo().undo();
    EXPECT_EQ(page->graphCount(), 0);
    EXPECT_FALSE(undo().canUndo());
}

TEST_F(CanvasUndoTest, RemoveUndoPutsTheGraphBackAtItsIndex) {
    auto a = std::make_shared<KXGraph>(), b = std::make_shared<KXGraph>(), c = std::make_shared<KXGraph>();
    for (auto& g : {a, b, c})
        page->addGraph(g);
    endEvent();
    page->removeGraph(b.get());
    endEvent();
    EXPECT_EQ(page->graphs(), (KXCanvas::GraphList{a, c}));
    undo().undo();
    EXPECT_EQ(page->graphs(), (KXCanvas::GraphList{a, b, c}));
    EXPECT_EQ(b->canvas(), page.get());
    undo().redo();
    EXPECT_EQ(page->graphs(), (KXCanvas::GraphList{a, c}));
}

TEST_F(CanvasUndoTest, PropertyChangeIsOneStepAndUndoRegistersTheRedo) {
    auto graph = std::make_shared<KXGraph>();
    page->addGraph(graph);
    endEvent();
    undo().removeAllActions();
    graph->setOpacity(0.5);
    endEvent();
    undo().undo();
    EXPECT_EQ(graph->opacity(), 1.0);
    EXPECT_FALSE(undo().canUndo());
    ASSERT_TRUE(undo().canRedo());
    undo().redo();
    EXPECT_EQ(graph->opacity(), 0.5);

    // Keys of the attribute objects are undone on those objects.
    graph->stroke()->setWidth(9);
    endEvent();
    undo().undo();
    EXPECT_EQ(graph->stroke()->width(), 0.5);
}

TEST_F(CanvasUndoTest, NilOldValueIsRestoredAsNil) {
    // An observed key whose old value was nil: the step puts nil back.
    class Named : public kx::Observable {
    public:
        QString className() const override { return QStringLiteral("Named"); }
        const kx::PropertyTable& propertyTable() const override {
            static const kx::PropertyTable table = [] {
                kx::PropertyTable t;
                t.add<Named>(
                    QStringLiteral("thing"), [](const Named& n) { return n.thing; },
                    [](Named& n, const kx::Value& v) { n.setThing(v); });
                return t;
            }();
            return table;
        }
        void setThing(const kx::Value& v) { setProperty(QStringLiteral("thing"), thing, v); }
        kx::Value thing;
    };
    auto named = std::make_shared<Named>();
    named->kx::Observable::addObserver(page.get(), QStringLiteral("thing"));
    named->setThing(kx::Value(QStringLiteral("set")));
    endEvent();
    undo().undo();
    EXPECT_TRUE(named->thing.isNil());
    named->kx::Observable::removeObserver(page.get(), QStringLiteral("thing"));
}

TEST_F(CanvasUndoTest, DisabledRegistrationLeavesNoStepAndNoRedraw) {
    auto graph = std::make_shared<KXGraph>();
    page->addGraph(graph);
    endEvent();
    undo().removeAllActions();
    const int redraws = owner.redraws;
    {
        kx::UndoDisabler off(undo());
        graph->setOpacity(0.2);
        graph->background()->setFillAngle(10);
        page->background()->setFillAngle(20);
    }
    endEvent();
    EXPECT_FALSE(undo().canUndo());
    EXPECT_EQ(owner.redraws, redraws);
    // With registration on, a fill change redraws the page.
    graph->background()->setFillAngle(30);
    page->background()->setFillAngle(40);
    EXPECT_EQ(owner.redraws, redraws + 2);
}

TEST_F(CanvasUndoTest, CustomPathStepIsAGroupOfItsOwn) {
    class PathHolder : public kx::Observable {
    public:
        QString className() const override { return QStringLiteral("PathHolder"); }
        const kx::PropertyTable& propertyTable() const override {
            static const kx::PropertyTable table = [] {
                kx::PropertyTable t;
                t.add<PathHolder>(
                    QStringLiteral("customPath"), [](const PathHolder& p) { return kx::Value(p.path); },
                    [](PathHolder& p, const kx::Value& v) { p.setPath(v.toInteger()); });
                return t;
            }();
            return table;
        }
        void setPath(std::int64_t p) { setProperty(QStringLiteral("customPath"), path, p); }
        std::int64_t path = 0;
    };
    auto holder = std::make_shared<PathHolder>();
    holder->kx::Observable::addObserver(page.get(), QStringLiteral("customPath"));
    undo().beginUndoGrouping();
    holder->setPath(1);
    holder->setPath(2);
    undo().undoNestedGroup();  // the last change alone
    EXPECT_EQ(holder->path, 1);
    undo().endUndoGrouping();
    holder->kx::Observable::removeObserver(page.get(), QStringLiteral("customPath"));
}

TEST_F(CanvasUndoTest, PageAttachedTwiceStillGivesOneStepPerChange) {
    auto graph = std::make_shared<KXGraph>();
    page->addGraph(graph);
    page->setOwner(&owner);
    page->setOwner(&owner);
    EXPECT_EQ(graph->observationCount(page.get(), QStringLiteral("opacity")), 1);
    EXPECT_EQ(graph->stroke()->observationCount(page.get(), QStringLiteral("width")), 1);
    endEvent();
    undo().removeAllActions();
    graph->setOpacity(0.25);
    graph->setOpacity(0.5);
    endEvent();
    graph->setAngle(1);
    endEvent();
    undo().undo();
    EXPECT_EQ(graph->angle(), 0);
    undo().undo();
    EXPECT_EQ(graph->opacity(), 1.0);
    EXPECT_FALSE(undo().canUndo());
    // A removed graph is no longer observed.
    page->removeGraph(graph.get());
    EXPECT_EQ(graph->observationCount(page.get(), QStringLiteral("opacity")), 0);
}

TEST_F(CanvasUndoTest, UndoThenRedoGivesBackTheSamePage) {
    std::vector<std::shared_ptr<KXGraph>> graphs;
    for (int i = 0; i < 4; ++i) {
        graphs.push_back(std::make_shared<kxtest::SolidGraph>());
        page->addGraph(graphs.back());
        graphs.back()->setRelativeRect({0.1 * i, 0.1, 0.2, 0.2 + 0.05 * i});
        endEvent();
    }
    const QByteArray before = kxtest::archived(*page);
    // One gesture: move and resize two graphs, change a fill, remove one graph.
    undo().beginUndoGrouping();
    graphs[0]->moveGraphWithOffsetX(15, -5);
    graphs[1]->resizeGraphWithOffsetX(10, 10, 2, false);
    graphs[2]->background()->setFillAngle(45);
    graphs[2]->setFlipX(-1);
    page->removeGraph(graphs[3].get());
    undo().endUndoGrouping();
    const QByteArray after = kxtest::archived(*page);
    ASSERT_NE(before, after);

    undo().undo();
    EXPECT_EQ(kxtest::archived(*page), before);
    undo().redo();
    EXPECT_EQ(kxtest::archived(*page), after);
    undo().undo();
    EXPECT_EQ(kxtest::archived(*page), before);
}

TEST_F(CanvasUndoTest, PageSizeChangeLeavesNoStep) {
    page->addGraph(graphAt({0.1, 0.1, 0.2, 0.2}));
    endEvent();
    undo().removeAllActions();
    KXSize size(400, 300, KXSizeUnitPixel, 72);
    page->setPageSize(&size);
    endEvent();
    EXPECT_FALSE(undo().canUndo());
}

}  // namespace

namespace {

// A graph given an aspect ratio that its frame does not have (as a new text box or a page shown at a
// rounded zoom gives one), and a photo resized with its ratio following: the new rectangle derives a ratio
// from the frame, and undoing it gives the old ratio back exactly, redo the derived one, as often as they
// alternate.
TEST_F(CanvasUndoTest, UndoingANewRectangleGivesTheAspectRatioBackExactly) {
    auto photo = std::make_shared<KXShape>();
    photo->setText(nullptr);
    ASSERT_EQ(photo->graphType(), KXGraphTypePhoto);
    for (const std::shared_ptr<KXGraph>& graph : {std::make_shared<KXGraph>(), std::shared_ptr<KXGraph>(photo)}) {
        page->addGraph(graph);
        graph->setRelativeRect({0.1, 0.1, 0.3, 0.2});
        graph->setAspectRatio(2.5);
        endEvent();
        undo().removeAllActions();

        graph->setUpdateAspectRatio(true);
        graph->setRelativeRect({0.4, 0.3, 0.3, 0.25});
        endEvent();
        const double derived = graph->aspectRatio();
        ASSERT_NE(derived, 2.5) << graph->graphType();
        for (int round = 0; round < 2; ++round) {
            undo().undo();
            EXPECT_EQ(graph->relativeRect(), kx::Rect(0.1, 0.1, 0.3, 0.2)) << round;
            EXPECT_EQ(graph->aspectRatio(), 2.5) << graph->graphType() << round;
            EXPECT_FALSE(undo().canUndo()) << round;
            undo().redo();
            EXPECT_EQ(graph->relativeRect(), kx::Rect(0.4, 0.3, 0.3, 0.25)) << round;
            EXPECT_EQ(graph->aspectRatio(), derived) << graph->graphType() << round;
        }
    }
}

}  // namespace
