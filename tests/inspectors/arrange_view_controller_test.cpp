#include "inspectors/arrange_view_controller.h"

#include "arrange_page.h"
#include "canvas/canvas_view.h"
#include "controls/segmented_control.h"
#include "controls/stepper.h"
#include "inspectors/arrangement.h"
#include "inspectors/inspector_support.h"
#include "model/observer_recorder.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>

#include <gtest/gtest.h>

#include <numbers>

namespace {

using namespace kx::inspectors;
using kxtest::Posts;

class ArrangeInspectorTest : public ::testing::Test, public kxtest::ArrangePage {
protected:
    void SetUp() override {
        inspector.view()->resize(240, 400);
        QObject::connect(&inspector, &KXArrangeViewController::uiUpdated, [this] { ++refreshes; });
    }
    // Types into a field and ends the editing, as a person does.
    static void typeAndEnd(QLineEdit* field, const QString& text) {
        field->setText(text);
        emit field->textEdited(text);
        emit field->editingFinished();
    }
    double pixelX(const KXGraph& g) const { return g.actualRect().origin.x; }
    double pixelY(const KXGraph& g) const { return g.actualRect().origin.y; }

    KXArrangeViewController inspector;
    int refreshes = 0;
};

TEST_F(ArrangeInspectorTest, ShowsPositionSizeAndRotationInThePagesUnit) {
    auto s = shape({0.1, 0.25, 0.2, 0.25});
    s->setAngle(angleFromRotationControl(45));
    inspector.updateUIWithGraph(s);
    EXPECT_EQ(inspector.tfObjectLocationX()->text(), QStringLiteral("100 px"));
    EXPECT_EQ(inspector.tfObjectLocationY()->text(), QStringLiteral("200 px"));
    EXPECT_EQ(inspector.tfObjectWidth()->text(), QStringLiteral("200 px"));
    EXPECT_EQ(inspector.tfObjectHeight()->text(), QStringLiteral("200 px"));
    EXPECT_EQ(inspector.tfLayerRotation()->text(), QStringLiteral("45"));
    EXPECT_EQ(inspector.sliderRotation()->value(), 45);
    EXPECT_DOUBLE_EQ(inspector.stObjectLocationX()->maximum(), 4000);
    EXPECT_DOUBLE_EQ(inspector.stObjectLocationX()->increment(), 1);
    EXPECT_TRUE(inspector.btUngroup()->isHidden());

    kxtest::ArrangePage inches(KXSizeUnitInch, 100);
    auto t = inches.shape({0.1, 0.25, 0.2, 0.25});
    inspector.updateUIWithGraph(t);
    EXPECT_EQ(inspector.tfObjectLocationX()->text(), QStringLiteral("1.00 in"));
    EXPECT_EQ(inspector.tfObjectHeight()->text(), QStringLiteral("2.00 in"));
    EXPECT_NEAR(inspector.stObjectLocationY()->minimum(), -40, 1e-9);
    EXPECT_DOUBLE_EQ(inspector.stObjectWidth()->increment(), 0.01);
    inspector.updateUIWithGraph(nullptr);
}

TEST_F(ArrangeInspectorTest, TypedPositionsAreHeldToTheSteppersEachOnItsOwn) {
    auto s = shape({0.1, 0.25, 0.2, 0.25});
    inspector.updateUIWithGraph(s);
    clearUndo();
    // 5000 typed as x on a page in pixels stores 4000, the maximum of the x stepper; y stays.
    typeAndEnd(inspector.tfObjectLocationX(), QStringLiteral("5000"));
    EXPECT_DOUBLE_EQ(pixelX(*s), 4000);
    EXPECT_DOUBLE_EQ(pixelY(*s), 200);
    EXPECT_EQ(inspector.tfObjectLocationX()->text(), QStringLiteral("4000 px"));
    undoOneStep();
    EXPECT_DOUBLE_EQ(pixelX(*s), 100);
    // A y above the maximum holds y alone; x is not affected. Below the minimum likewise.
    typeAndEnd(inspector.tfObjectLocationY(), QStringLiteral("9999"));
    EXPECT_DOUBLE_EQ(pixelY(*s), 4000);
    EXPECT_DOUBLE_EQ(pixelX(*s), 100);
    typeAndEnd(inspector.tfObjectLocationX(), QStringLiteral("-7000"));
    EXPECT_DOUBLE_EQ(pixelX(*s), -4000);
    EXPECT_DOUBLE_EQ(pixelY(*s), 4000);
    // Leaving a field without typing writes nothing back.
    clearUndo();
    emit inspector.tfObjectLocationX()->editingFinished();
    settle();
    EXPECT_FALSE(page->undoManager().canUndo());
}

TEST_F(ArrangeInspectorTest, PositionsInMillimetresAreShownAndReadBack) {
    kxtest::ArrangePage mm(KXSizeUnitMillimeter, 254);  // ten pixels to the millimetre
    auto s = mm.shape({0.1, 0.25, 0.2, 0.25});
    inspector.updateUIWithGraph(s);
    EXPECT_EQ(inspector.tfObjectLocationX()->text(), QStringLiteral("10.00 mm"));
    EXPECT_EQ(inspector.tfObjectWidth()->text(), QStringLiteral("20.00 mm"));
    typeAndEnd(inspector.tfObjectLocationX(), QStringLiteral("12.5"));
    EXPECT_NEAR(s->actualRect().origin.x, 125, 1e-3);
    EXPECT_NEAR(s->actualRect().origin.y, 200, 1e-3);
    inspector.stObjectWidth()->stepBy(1);
    EXPECT_NEAR(s->actualRect().size.width, 203, 1e-3);
}

TEST_F(ArrangeInspectorTest, WidthAndHeightFollowTheChain) {
    auto s = shape({0.1, 0.1, 0.2, 0.125});  // 200 by 100 pixels
    inspector.updateUIWithGraph(s);
    typeAndEnd(inspector.tfObjectWidth(), QStringLiteral("300"));
    EXPECT_NEAR(s->actualRect().size.width, 300, 1e-9);
    EXPECT_NEAR(s->actualRect().size.height, 100, 1e-9);
    inspector.chainAction();
    ASSERT_TRUE(kx::UserDefaults::standard().boolValue(KXConnectWidthAndHeight));
    typeAndEnd(inspector.tfObjectHeight(), QStringLiteral("50"));
    EXPECT_NEAR(s->actualRect().size.height, 50, 1e-9);
    EXPECT_NEAR(s->actualRect().size.width, 150, 1e-9);

    // A group scales in proportion whatever the setting.
    inspector.chainAction();
    ASSERT_FALSE(kx::UserDefaults::standard().boolValue(KXConnectWidthAndHeight));
    auto g = group({shape({0.5, 0.5, 0.1, 0.125}), shape({0.7, 0.5, 0.1, 0.125})});  // 300 by 100
    ASSERT_NE(g, nullptr);
    inspector.updateUIWithGraph(g);
    clearUndo();
    typeAndEnd(inspector.tfObjectWidth(), QStringLiteral("600"));
    EXPECT_NEAR(g->actualRect().size.width, 600, 1e-6);
    EXPECT_NEAR(g->actualRect().size.height, 200, 1e-6);
    undoOneStep();
    EXPECT_NEAR(g->actualRect().size.height, 100, 1e-6);
    EXPECT_FALSE(inspector.btUngroup()->isHidden());
}

TEST_F(ArrangeInspectorTest, TheChainToggleChangesEveryOpenInspector) {
    KXArrangeViewController other;
    other.view();
    EXPECT_EQ(inspector.btChain()->property("kxImageName").toString(), QStringLiteral("unchain"));
    EXPECT_FALSE(inspector.btChain()->icon().isNull());
    Posts changed(KXWidthHeightConnectionChanged, &inspector);
    inspector.chainAction();
    EXPECT_EQ(changed.count, 1);
    EXPECT_EQ(KXArrangeViewController::chainImageName(), QStringLiteral("chain"));
    EXPECT_EQ(inspector.btChain()->property("kxImageName").toString(), QStringLiteral("chain"));
    EXPECT_EQ(other.btChain()->property("kxImageName").toString(), QStringLiteral("chain"));
    emit other.btChain()->clicked();
    EXPECT_EQ(inspector.btChain()->property("kxImageName").toString(), QStringLiteral("unchain"));
    EXPECT_EQ(other.btChain()->property("kxImageName").toString(), QStringLiteral("unchain"));
}

TEST_F(ArrangeInspectorTest, ItsOwnRotationIsWrittenOnceAndNotReadBack) {
    auto s = shape({0.1, 0.1, 0.2, 0.2});
    inspector.updateUIWithGraph(s);
    clearUndo();
    kxtest::ObserverRecorder changes;
    s->addObserver(&changes);
    Posts exits(KXExitObjectMode, &inspector);
    refreshes = 0;
    for (int value : {30, 359, 1, 180}) {
        inspector.sliderRotation()->setValue(value);
        EXPECT_DOUBLE_EQ(s->angle(), angleFromRotationControl(value)) << value;
        EXPECT_EQ(inspector.tfLayerRotation()->text(), QString::number(value));
        EXPECT_EQ(inspector.stLayerRotation()->value(), value);
    }
    // The layer announced each change, but the inspector did not refresh from its own writes.
    s->removeObserver(&changes);
    EXPECT_EQ(changes.keys(), QStringList(4, QStringLiteral("angle")));
    EXPECT_EQ(refreshes, 0);
    EXPECT_EQ(exits.count, 4);
    settle();
    EXPECT_TRUE(page->undoManager().canUndo());

    // The stepper runs one past each end.
    inspector.stLayerRotation()->setValue(180);
    inspector.stLayerRotation()->setValue(359);
    inspector.stLayerRotation()->stepBy(1);
    EXPECT_EQ(inspector.sliderRotation()->value(), 0);
    EXPECT_DOUBLE_EQ(s->angle(), angleFromRotationControl(0));
    inspector.stLayerRotation()->stepBy(-1);
    EXPECT_EQ(inspector.sliderRotation()->value(), 359);
    // A typed rotation applies at once; 360 is 0.
    inspector.tfLayerRotation()->setText(QStringLiteral("90"));
    emit inspector.tfLayerRotation()->textEdited(QStringLiteral("90"));
    EXPECT_DOUBLE_EQ(s->angle(), angleFromRotationControl(90));
    emit inspector.tfLayerRotation()->textEdited(QStringLiteral("360"));
    EXPECT_DOUBLE_EQ(s->angle(), angleFromRotationControl(0));
    EXPECT_EQ(refreshes, 0);

    // A change made elsewhere is shown.
    s->setAngle(angleFromRotationControl(12));
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(inspector.tfLayerRotation()->text(), QStringLiteral("12"));
}

TEST_F(ArrangeInspectorTest, TheObjectShownBeforeIsNoLongerFollowed) {
    auto first = shape({0.1, 0.1, 0.2, 0.2});
    auto second = shape({0.5, 0.5, 0.2, 0.2});
    inspector.updateUIWithGraph(first);
    inspector.updateUIWithGraph(second);
    refreshes = 0;
    first->setRelativeRect({0.3, 0.1, 0.2, 0.2});
    EXPECT_EQ(refreshes, 0);
    EXPECT_EQ(inspector.tfObjectLocationX()->text(), QStringLiteral("500 px"));
    second->setRelativeRect({0.6, 0.5, 0.2, 0.2});
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(inspector.tfObjectLocationX()->text(), QStringLiteral("600 px"));
    inspector.updateUIWithGraph(nullptr);
    second->setRelativeRect({0.7, 0.5, 0.2, 0.2});
    EXPECT_EQ(refreshes, 1);
}

TEST_F(ArrangeInspectorTest, LockedObjectsAndLinesEnableOnlyWhatTheyAllow) {
    auto s = shape({0.1, 0.1, 0.2, 0.2});
    auto l = line({0.4, 0.4, 0.2, 0.2});
    struct Case {
        std::shared_ptr<KXGraph> graph;
        bool locked;
        bool rotation, wrap, lock, unlock, rect;
    };
    const Case cases[] = {
        {s, false, true, true, true, false, true},
        {s, true, false, false, false, true, false},
        {l, false, false, false, true, false, true},
        {l, true, false, false, false, true, false},
    };
    for (const Case& test : cases) {
        test.graph->setLocked(test.locked);
        inspector.updateUIWithGraph(test.graph);
        const std::string what = std::to_string(test.graph->graphType()) + (test.locked ? " locked" : "");
        EXPECT_EQ(inspector.sliderRotation()->isEnabled(), test.rotation) << what;
        EXPECT_EQ(inspector.stLayerRotation()->isEnabled(), test.rotation) << what;
        EXPECT_EQ(inspector.tfLayerRotation()->isEnabled(), test.rotation) << what;
        EXPECT_EQ(inspector.btTextWrapEnabel()->isEnabled(), test.wrap) << what;
        EXPECT_EQ(inspector.btLock()->isEnabled(), test.lock) << what;
        EXPECT_EQ(inspector.btUnlock()->isEnabled(), test.unlock) << what;
        for (QWidget* w : std::initializer_list<QWidget*>{inspector.tfObjectLocationX(), inspector.tfObjectLocationY(),
                                                          inspector.tfObjectWidth(), inspector.tfObjectHeight(),
                                                          inspector.stObjectLocationX(), inspector.stObjectHeight(),
                                                          inspector.btUngroup()})
            EXPECT_EQ(w->isEnabled(), test.rect) << what << " " << w->objectName().toStdString();
    }
}

TEST_F(ArrangeInspectorTest, WrapOnAGroupFlagsEveryMemberButSetsTheTypeOnTheGroupOnly) {
    auto a = shape({0.1, 0.1, 0.1, 0.1});
    auto b = shape({0.3, 0.3, 0.1, 0.1});
    auto l = line({0.5, 0.5, 0.1, 0.1});
    a->setWrapType(KXWrapTypeLeft);
    b->setWrapType(KXWrapTypeRight);
    auto g = group({a, b, l});
    ASSERT_NE(g, nullptr);
    g->setWrapType(KXWrapTypeCenter);
    inspector.updateUIWithGraph(g);
    EXPECT_FALSE(inspector.segmentWrapType()->isEnabled());
    EXPECT_EQ(inspector.segmentWrapType()->selectedSegment(), -1);
    clearUndo();
    inspector.btTextWrapEnabel()->click();
    EXPECT_TRUE(g->isTextWrapEnabled());
    EXPECT_EQ(g->wrapType(), KXWrapTypeRound);
    EXPECT_TRUE(a->isTextWrapEnabled());
    EXPECT_TRUE(b->isTextWrapEnabled());
    EXPECT_FALSE(l->isTextWrapEnabled());
    EXPECT_EQ(a->wrapType(), KXWrapTypeLeft);
    EXPECT_EQ(b->wrapType(), KXWrapTypeRight);
    EXPECT_EQ(inspector.segmentWrapType()->selectedTag(), KXWrapTypeRound);
    EXPECT_TRUE(inspector.segmentWrapType()->isEnabled());
    EXPECT_TRUE(inspector.stTextSpace()->isEnabled());
    // One undo puts the group and its members back.
    undoOneStep();
    EXPECT_FALSE(g->isTextWrapEnabled());
    EXPECT_FALSE(a->isTextWrapEnabled());
    EXPECT_FALSE(b->isTextWrapEnabled());
    page->undoManager().redo();
    EXPECT_TRUE(g->isTextWrapEnabled());
    EXPECT_TRUE(a->isTextWrapEnabled());
    page->undoManager().undo();
    EXPECT_FALSE(a->isTextWrapEnabled());
    inspector.updateUIWithGraph(g);

    // The type and the distance go to the members too.
    inspector.btTextWrapEnabel()->click();
    inspector.segmentWrapType()->setSelectedSegment(KXWrapTypeRight);
    emit inspector.segmentWrapType()->activated(KXWrapTypeRight);
    EXPECT_EQ(g->wrapType(), KXWrapTypeRight);
    EXPECT_EQ(a->wrapType(), KXWrapTypeRight);
    inspector.tfTextSpace()->setText(QStringLiteral("2000"));
    emit inspector.tfTextSpace()->textEdited(QStringLiteral("2000"));
    emit inspector.tfTextSpace()->editingFinished();
    EXPECT_EQ(g->textWrapSpace(), kMaxTextWrapSpace);
    EXPECT_EQ(b->textWrapSpace(), kMaxTextWrapSpace);
    EXPECT_EQ(l->textWrapSpace(), 0);
    EXPECT_EQ(inspector.tfTextSpace()->text(), QStringLiteral("800"));
    // Switched off, the type and distance are disabled and no type is selected.
    inspector.btTextWrapEnabel()->click();
    EXPECT_FALSE(a->isTextWrapEnabled());
    EXPECT_EQ(inspector.segmentWrapType()->selectedSegment(), -1);
    EXPECT_FALSE(inspector.tfTextSpace()->isEnabled());
}

TEST_F(ArrangeInspectorTest, LockUnlockAndUngroupActOnThePage) {
    auto a = shape({0.1, 0.1, 0.1, 0.1});
    auto b = shape({0.3, 0.3, 0.1, 0.1});
    page->setAllGrpahsSelection(true);
    inspector.updateUIWithGraph(a);
    Posts arrange(KXUpdateArrangeUI, &inspector);
    Posts floating(KXFloatingNeedUpdate, &inspector);
    Posts exits(KXExitObjectMode, &inspector);
    clearUndo();
    inspector.btLock()->click();
    EXPECT_TRUE(a->isLocked());
    EXPECT_TRUE(b->isLocked());
    EXPECT_EQ(arrange.count, 1);
    EXPECT_EQ(floating.count, 1);
    EXPECT_EQ(exits.count, 1);
    EXPECT_FALSE(inspector.btLock()->isEnabled());
    EXPECT_TRUE(inspector.btUnlock()->isEnabled());
    undoOneStep();
    EXPECT_FALSE(a->isLocked());
    inspector.btLock()->click();
    inspector.btUnlock()->click();
    EXPECT_FALSE(a->isLocked() || b->isLocked());
    EXPECT_EQ(arrange.count, 3);

    auto g = group({a, b});
    ASSERT_NE(g, nullptr);
    inspector.updateUIWithGraph(g);
    clearUndo();
    inspector.btUngroup()->click();
    EXPECT_EQ(page->indexOfGraph(g.get()), -1);
    EXPECT_GE(page->indexOfGraph(a.get()), 0);
    undoOneStep();
    EXPECT_GE(page->indexOfGraph(g.get()), 0);
}

}  // namespace
