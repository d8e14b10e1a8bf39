// A page together with the graphs on it: every change made through a graph's fill, stroke and shadow must
// become exactly one undo step on the page, through inserting, removing, undoing and copying.
#include "model/background.h"
#include "model/shadow.h"
#include "model/stroke.h"
#include "platform/foundation/archive_copy.h"

#include "archive_probe.h"
#include "observer_recorder.h"
#include "page_test_support.h"
#include "support/outside_tools.h"

#include <gtest/gtest.h>

#include <functional>

using kxtest::endEvent;

namespace {

// One editable setting of an attribute object, with two distinct values to move between.
struct AttributeEdit {
    const char* name;
    const char* key;
    std::function<void(KXGraph&, int which)> set;  // which: 0 or 1
    std::function<double(const KXGraph&)> read;
};

const std::vector<AttributeEdit>& attributeEdits() {
    static const std::vector<AttributeEdit> edits = {
        {"stroke width", "width",
         [](KXGraph& g, int w) { g.stroke()->setWidth(w ? 7 : 3); },
         [](const KXGraph& g) { return g.stroke()->width(); }},
        {"stroke colour", "t_color",
         [](KXGraph& g, int w) {
             g.stroke()->setColor(w ? kx::Color::srgb(0, 0, 1, 1) : kx::Color::srgb(1, 0, 0, 1));
         },
         [](const KXGraph& g) { return double(g.stroke()->t_color()); }},
        {"shadow blur", "blur",
         [](KXGraph& g, int w) { g.shadow()->setBlur(w ? 12 : 4); },
         [](const KXGraph& g) { return g.shadow()->blur(); }},
        {"fill colour", "t_color1",
         [](KXGraph& g, int w) {
             g.background()->setColor1(w ? kx::Color::srgb(0, 1, 0, 1) : kx::Color::srgb(1, 1, 0, 1));
         },
         [](const KXGraph& g) { return double(g.background()->t_color1()); }},
    };
    return edits;
}

// The number of registrations the observer holds on every announced key of the graph's attribute objects;
// each must be `expected`.
void expectAttributesObservedTimes(KXGraph& graph, const kx::KeyObserver* observer, int expected) {
    for (kx::Observable* object : std::initializer_list<kx::Observable*>{graph.stroke(), graph.shadow(),
                                                                          graph.background()}) {
        for (const QString& key : object->announcedKeys())
            EXPECT_EQ(object->observationCount(observer, key), expected)
                << object->className().toStdString() << " " << key.toStdString();
    }
}

class PageIntegrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        kxtest::registerPageClasses();
        page = kxtest::fittedPage(&owner);
    }
    void TearDown() override { page->setOwner(nullptr); }

    kx::UndoManager& undo() { return page->undoManager(); }

    // Adds the graph and forgets the steps made so far.
    void place(const std::shared_ptr<KXGraph>& graph) {
        page->addGraph(graph);
        endEvent();
        undo().removeAllActions();
    }

    // Applies the edit as one gesture; then exactly one undo step must bring the old value back, and its
    // redo the new one.
    void expectOneStepPerEdit(KXGraph& graph, const AttributeEdit& edit) {
        SCOPED_TRACE(edit.name);
        edit.set(graph, 0);
        endEvent();
        undo().removeAllActions();
        const double before = edit.read(graph);
        edit.set(graph, 1);
        endEvent();
        const double after = edit.read(graph);
        ASSERT_NE(before, after);
        ASSERT_TRUE(undo().canUndo());
        // The step holds one action: undoing announces the one key once.
        kxtest::ObserverRecorder recorder;
        graph.addObserver(&recorder);
        undo().undo();
        EXPECT_EQ(recorder.keys(), QStringList{QString::fromUtf8(edit.key)});
        EXPECT_EQ(edit.read(graph), before);
        EXPECT_FALSE(undo().canUndo());
        ASSERT_TRUE(undo().canRedo());
        recorder.changes.clear();
        undo().redo();
        EXPECT_EQ(recorder.keys(), QStringList{QString::fromUtf8(edit.key)});
        graph.removeObserver(&recorder);
        EXPECT_EQ(edit.read(graph), after);
        EXPECT_FALSE(undo().canRedo());
        // Undoing and redoing registered one action each way, no more: a second undo finds nothing.
        undo().undo();
        EXPECT_EQ(edit.read(graph), before);
        EXPECT_FALSE(undo().canUndo());
    }

    kxtest::RecordingOwner owner;
    std::shared_ptr<KXCanvas> page;
};

TEST_F(PageIntegrationTest, EachAttributeEditIsOneUndoStep) {
    auto graph = kxtest::graphAt({{0.1, 0.1}, {0.3, 0.3}});
    place(graph);
    expectAttributesObservedTimes(*graph, page.get(), 1);
    for (const AttributeEdit& edit : attributeEdits())
        expectOneStepPerEdit(*graph, edit);
}

TEST_F(PageIntegrationTest, TakingOverAttributeObjectsKeepsTheObservedOnesAndIsOneStep) {
    auto graph = kxtest::graphAt({{0.1, 0.1}, {0.3, 0.3}});
    place(graph);
    KXStroke* stroke = graph->stroke();
    KXShadow* shadow = graph->shadow();
    KXBackground* fill = graph->background();
    const std::int64_t oldStrokeColor = stroke->t_color();
    const double oldWidth = stroke->width();
    const std::int64_t oldFill = fill->t_color1();

    auto newStroke = std::make_shared<KXStroke>();
    newStroke->setWidth(9);
    newStroke->setStyle(KXStrokeStyleDot);
    newStroke->setColor(kx::Color::srgb(0, 0, 1, 1));
    auto newShadow = KXShadow::shadowWithColor(kx::Color::srgb(0, 1, 0, 1), 14, 60, 8);
    auto newFill = std::make_shared<KXBackground>();
    newFill->setColor1(kx::Color::srgb(1, 0, 1, 1));
    graph->setStroke(newStroke);
    graph->setShadow(newShadow);
    graph->setBackground(newFill);
    endEvent();

    EXPECT_EQ(graph->stroke(), stroke);
    EXPECT_EQ(graph->shadow(), shadow);
    EXPECT_EQ(graph->background(), fill);
    EXPECT_EQ(stroke->width(), 9);
    EXPECT_EQ(stroke->style(), unsigned(KXStrokeStyleDot));
    EXPECT_EQ(stroke->t_color(), newStroke->t_color());
    EXPECT_EQ(shadow->t_color(), newShadow->t_color());
    EXPECT_EQ(shadow->blur(), 14);
    EXPECT_EQ(fill->t_color1(), newFill->t_color1());
    expectAttributesObservedTimes(*graph, page.get(), 1);

    // One gesture, one step: it restores what was announced.
    undo().undo();
    EXPECT_FALSE(undo().canUndo());
    EXPECT_EQ(stroke->width(), oldWidth);
    EXPECT_EQ(stroke->t_color(), oldStrokeColor);
    EXPECT_EQ(fill->t_color1(), oldFill);
    undo().redo();
    EXPECT_EQ(stroke->width(), 9);
    EXPECT_EQ(fill->t_color1(), newFill->t_color1());
}

// Hears a shadow's announcements and reads the whole shadow each time, as a graph's layer does.
class ShadowReader : public kx::KeyObserver {
public:
    void observeValue(const QString&, kx::Observable* object, const kx::Value&, const kx::Value&) override {
        blurs.push_back(static_cast<KXShadow*>(object)->blur());
    }
    std::vector<double> blurs;
};

TEST_F(PageIntegrationTest, ObserversOfATakenOverShadowReadTheNewSettings) {
    auto graph = kxtest::graphAt({{0.1, 0.1}, {0.3, 0.3}});
    place(graph);
    ShadowReader reader;
    graph->shadow()->addObserver(&reader);
    graph->setShadow(KXShadow::shadowWithColor(kx::Color::srgb(0, 0, 1, 1), 19, 90, 7));
    graph->shadow()->removeObserver(&reader);
    EXPECT_EQ(reader.blurs, std::vector<double>{19});
}

TEST_F(PageIntegrationTest, PageWithStyledGraphsSurvivesAnArchiveRoundTrip) {
    for (int i = 0; i < 2; ++i) {
        auto graph = kxtest::graphAt({{0.1 + 0.3 * i, 0.2}, {0.25, 0.3}});
        page->addGraph(graph);
        graph->setStrokeEnabled(true);
        graph->stroke()->setWidth(4 + i);
        graph->stroke()->setStyle(KXStrokeStyleDash);
        graph->stroke()->setColor(kx::Color::srgb(0.2, 0.4, 0.6, 1));
        graph->setShadowEnabled(true);
        graph->shadow()->setBlur(11);
        graph->shadow()->setAngle(135);
        graph->shadow()->setOffset(9);
        graph->shadow()->setColor(kx::Color::srgb(0, 0, 0, 0.5));
        graph->setFillEnabled(true);
        graph->background()->setColor1(kx::Color::srgb(0.9, 0.1, 0.1, 1));
        graph->background()->setColor2(kx::Color::srgb(0.1, 0.1, 0.9, 1));
        graph->background()->setFillAngle(45);
    }
    const QByteArray bytes = kxtest::archiveOf(*page);
    QString error;
    auto copy = kx::archiveCopy(*page, &error);
    ASSERT_TRUE(copy) << error.toStdString();
    ASSERT_EQ(copy->graphCount(), 2);
    EXPECT_EQ(kxtest::archiveOf(*copy), bytes);
    const KXGraph& decoded = *copy->graphAtIndex(1);
    EXPECT_EQ(decoded.stroke()->width(), 5);
    EXPECT_EQ(decoded.shadow()->blur(), 11);
    EXPECT_EQ(decoded.shadow()->angle(), 135);
    EXPECT_EQ(decoded.background()->t_color1(), page->graphAtIndex(1)->background()->t_color1());

    KX_REQUIRE_TOOLS("/usr/bin/python3");
    const QJsonObject keys = kxtest::rootKeysSeenByPlistlib(bytes);
    EXPECT_EQ(kxtest::valueOf(keys, "$class").toString(), QStringLiteral("KXCanvas"));
    EXPECT_EQ(kxtest::kindOf(keys, "graphs"), "object");
    EXPECT_EQ(kxtest::kindOf(keys, "background"), "object");
}

TEST_F(PageIntegrationTest, RemovedGraphPutBackByUndoIsObservedOnce) {
    auto graph = kxtest::graphAt({{0.1, 0.1}, {0.3, 0.3}});
    place(graph);
    page->removeGraph(graph.get());
    endEvent();
    expectAttributesObservedTimes(*graph, page.get(), 0);
    // Off the page, edits leave no step of their own.
    graph->stroke()->setWidth(2);
    endEvent();
    undo().undo();
    ASSERT_EQ(page->indexOfGraph(graph.get()), 0);
    expectAttributesObservedTimes(*graph, page.get(), 1);
    undo().removeAllActions();
    for (const AttributeEdit& edit : attributeEdits())
        expectOneStepPerEdit(*graph, edit);
}

TEST_F(PageIntegrationTest, CopiedGraphHasFreshAttributeObjectsObservedOnce) {
    auto original = kxtest::graphAt({{0.1, 0.1}, {0.3, 0.3}});
    place(original);
    original->stroke()->setWidth(6);
    original->shadow()->setBlur(13);
    original->background()->setColor1(kx::Color::srgb(0, 0.5, 1, 1));
    auto copy = original->copy();
    ASSERT_TRUE(copy);
    EXPECT_NE(copy->stroke(), original->stroke());
    EXPECT_NE(copy->shadow(), original->shadow());
    EXPECT_NE(copy->background(), original->background());
    EXPECT_EQ(copy->stroke()->width(), 6);
    EXPECT_EQ(copy->shadow()->blur(), 13);
    EXPECT_EQ(copy->background()->t_color1(), original->background()->t_color1());
    expectAttributesObservedTimes(*copy, page.get(), 0);

    place(copy);
    expectAttributesObservedTimes(*copy, page.get(), 1);
    expectAttributesObservedTimes(*original, page.get(), 1);
    for (const AttributeEdit& edit : attributeEdits())
        expectOneStepPerEdit(*copy, edit);
    // The original did not follow the copy's edits.
    EXPECT_EQ(original->stroke()->width(), 6);
}

TEST_F(PageIntegrationTest, PageAttachedAgainObservesItsDecodedGraphsOnce) {
    auto graph = kxtest::graphAt({{0.1, 0.1}, {0.3, 0.3}});
    place(graph);
    auto copy = page->copy();
    ASSERT_TRUE(copy);
    kxtest::RecordingOwner otherOwner;
    copy->setOwner(&otherOwner);
    copy->setOwner(&otherOwner);
    KXGraph& decoded = *copy->graphAtIndex(0);
    expectAttributesObservedTimes(decoded, copy.get(), 1);
    for (const QString& key : copy->background()->announcedKeys())
        EXPECT_EQ(copy->background()->observationCount(copy.get(), key), 1) << key.toStdString();
    copy->undoManager().removeAllActions();
    decoded.shadow()->setBlur(21);
    endEvent();
    copy->undoManager().undo();
    EXPECT_EQ(decoded.shadow()->blur(), 5);
    EXPECT_FALSE(copy->undoManager().canUndo());
    copy->setOwner(nullptr);
}

}  // namespace
