// The segmented control: what a click selects in each selection mode, what it notifies, what code-made
// changes notify, and how segments are drawn (selected, unselected, disabled).
#include "controls/segmented_control.h"

#include "support/pixel_probe.h"
#include "rendered_widget.h"
#include "signal_log.h"
#include "mouse_events.h"
#include "widget_events.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace kx::controls {
namespace {

using Mode = KXSegmentedControl::SelectionMode;

class SegmentedControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        control.setSegmentCount(4);
        control.resize(300, 24);
        for (int i = 0; i < 4; ++i) {
            control.setLabel(i, QString::number(i));
            control.setTag(i, 10 + i);
        }
    }
    // The middle of a segment of the 300-point control (segments 75.75 points apart).
    static QPointF centreOf(int segment) { return {75.75 * segment + 36, 12}; }

    KXSegmentedControl control;
};

struct ClickCase {
    const char* name;
    Mode mode;
    std::vector<int> clicks;
    std::vector<int> selectedAfter;
    int selectionChanges;
};

class SegmentedClickTest : public SegmentedControlTest, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(SegmentedClickTest, ClicksSelectAndNotify) {
    const ClickCase& c = GetParam();
    control.setSelectionMode(c.mode);
    kxtest::SignalLog changes(&control, &KXSegmentedControl::selectionChanged);
    kxtest::SignalLog activated(&control, &KXSegmentedControl::activated);
    for (const int segment : c.clicks)
        kxtest::click(&control, centreOf(segment));
    std::vector<int> selected;
    for (int i = 0; i < control.segmentCount(); ++i)
        if (control.isSelected(i))
            selected.push_back(i);
    EXPECT_EQ(selected, c.selectedAfter);
    EXPECT_EQ(changes.count(), c.selectionChanges);
    // Every click on an enabled segment sends the action with that segment, also when nothing changed.
    ASSERT_EQ(activated.count(), int(c.clicks.size()));
    for (std::size_t i = 0; i < c.clicks.size(); ++i)
        EXPECT_EQ(activated.at(int(i)).at(0).toInt(), c.clicks[i]);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, SegmentedClickTest,
    ::testing::Values(ClickCase{"OneSelectsAlone", Mode::SelectOne, {2}, {2}, 1},
                      ClickCase{"OneMovesTheSelection", Mode::SelectOne, {2, 0}, {0}, 2},
                      ClickCase{"OneAgainChangesNothing", Mode::SelectOne, {3, 3}, {3}, 1},
                      ClickCase{"AnyAddsSegments", Mode::SelectAny, {0, 2}, {0, 2}, 2},
                      ClickCase{"AnySecondClickDeselects", Mode::SelectAny, {0, 2, 0}, {2}, 3},
                      ClickCase{"MomentarySelectsNothing", Mode::Momentary, {1, 2}, {}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SegmentedControlTest, ClickOnTheDividerBelongsToTheSegmentBeforeIt) {
    kxtest::SignalLog activated(&control, &KXSegmentedControl::activated);
    // 74 is past segment 0's own width (72.75) but inside its drawn frame (0 to 75.75), on its divider.
    kxtest::click(&control, QPointF(74, 12));
    kxtest::click(&control, QPointF(76, 12));
    ASSERT_EQ(activated.count(), 2);
    EXPECT_EQ(activated.at(0).at(0).toInt(), 0);
    EXPECT_EQ(activated.at(1).at(0).toInt(), 1);
}

TEST_F(SegmentedControlTest, DisabledSegmentIgnoresClicks) {
    control.setSegmentEnabled(1, false);
    kxtest::SignalLog changes(&control, &KXSegmentedControl::selectionChanged);
    kxtest::SignalLog activated(&control, &KXSegmentedControl::activated);
    kxtest::click(&control, centreOf(1));
    EXPECT_EQ(control.selectedSegment(), -1);
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(activated.count(), 0);
}

TEST_F(SegmentedControlTest, PressAndReleaseOnDifferentSegmentsIsNoClick) {
    kxtest::SignalLog activated(&control, &KXSegmentedControl::activated);
    kxtest::sendMouse(&control, QEvent::MouseButtonPress, centreOf(0));
    kxtest::sendMouse(&control, QEvent::MouseButtonRelease, centreOf(2));
    EXPECT_EQ(activated.count(), 0);
    EXPECT_EQ(control.selectedSegment(), -1);
}

TEST_F(SegmentedControlTest, CodeChangesNotifyOnlyRealChangesAndSendNoAction) {
    kxtest::SignalLog changes(&control, &KXSegmentedControl::selectionChanged);
    kxtest::SignalLog activated(&control, &KXSegmentedControl::activated);
    control.setSelectedSegment(1);
    control.setSelectedSegment(1);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_TRUE(control.selectSegmentWithTag(13));
    EXPECT_EQ(control.selectedSegment(), 3);
    EXPECT_EQ(control.selectedTag(), 13);
    EXPECT_EQ(changes.count(), 2);
    // A tag that no segment has clears the selection (tag -1 for "none").
    EXPECT_FALSE(control.selectSegmentWithTag(-1));
    EXPECT_EQ(control.selectedSegment(), -1);
    EXPECT_EQ(control.selectedTag(), -1);
    EXPECT_EQ(changes.count(), 3);
    control.setSelectedSegment(-1);
    EXPECT_EQ(changes.count(), 3);
    EXPECT_EQ(activated.count(), 0);
}

TEST_F(SegmentedControlTest, SwitchingToOneAtATimeKeepsTheFirstSelected) {
    control.setSelectionMode(Mode::SelectAny);
    control.setSelected(1, true);
    control.setSelected(3, true);
    kxtest::SignalLog changes(&control, &KXSegmentedControl::selectionChanged);
    control.setSelectionMode(Mode::SelectOne);
    EXPECT_TRUE(control.isSelected(1));
    EXPECT_FALSE(control.isSelected(3));
    EXPECT_EQ(changes.count(), 1);
}

TEST_F(SegmentedControlTest, RemovingTheSelectedSegmentNotifies) {
    control.setSelectedSegment(3);
    kxtest::SignalLog changes(&control, &KXSegmentedControl::selectionChanged);
    control.setSegmentCount(5);
    EXPECT_EQ(changes.count(), 0);
    control.setSegmentCount(3);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(control.selectedSegment(), -1);
}

TEST_F(SegmentedControlTest, ArrowKeysMoveTheSelectionOverEnabledSegmentsSpaceClicks) {
    control.setSegmentEnabled(1, false);
    kxtest::SignalLog activated(&control, &KXSegmentedControl::activated);
    kxtest::pressKey(&control, Qt::Key_Right);
    EXPECT_EQ(control.selectedSegment(), 2);  // segment 1 is disabled and skipped
    kxtest::pressKey(&control, Qt::Key_Right);
    kxtest::pressKey(&control, Qt::Key_Right);  // past the last: stays
    EXPECT_EQ(control.selectedSegment(), 3);
    kxtest::pressKey(&control, Qt::Key_Left);
    EXPECT_EQ(control.selectedSegment(), 2);
    EXPECT_EQ(activated.count(), 3);

    control.setSelectionMode(Mode::SelectAny);
    kxtest::pressKey(&control, Qt::Key_Right);  // moves without selecting
    EXPECT_FALSE(control.isSelected(3));
    kxtest::pressKey(&control, Qt::Key_Space, " ");
    EXPECT_TRUE(control.isSelected(2));
    EXPECT_TRUE(control.isSelected(3));
}

TEST_F(SegmentedControlTest, SelectedSegmentsAreBlueOthersGreyDisabledFaint) {
    control.setSelectedSegment(1);
    control.setSegmentEnabled(2, false);
    for (int i = 0; i < 4; ++i)
        control.setLabel(i, QString());
    const QImage image = kxtest::renderedWidget(control);
    // Sampled half-way down, away from the rounded ends and the dividers.
    const kxtest::Rgba unselected = kxtest::pixelAt(image, 36, 12);
    const kxtest::Rgba selected = kxtest::pixelAt(image, 110, 12);
    const kxtest::Rgba disabled = kxtest::pixelAt(image, 180, 12);
    EXPECT_EQ(unselected.a, 255);
    EXPECT_GT(selected.b, selected.r + 60) << selected;
    EXPECT_LT(std::abs(unselected.b - unselected.r), 30) << unselected;
    EXPECT_NEAR(disabled.a, 0.3 * 255, 3) << disabled;

    control.setEnabled(false);
    const QImage faint = kxtest::renderedWidget(control);
    EXPECT_NEAR(kxtest::pixelAt(faint, 36, 12).a, 0.3 * 255, 3);
    EXPECT_NEAR(kxtest::pixelAt(faint, 180, 12).a, 0.09 * 255, 3);
}

TEST_F(SegmentedControlTest, DividerIsDrawnBetweenSegments) {
    for (int i = 0; i < 4; ++i)
        control.setLabel(i, QString());
    const QImage image = kxtest::renderedWidget(control);
    // The divider's dark column is at x 74, the first column of its 2-point rectangle.
    const kxtest::Rgba divider = kxtest::pixelAt(image, 74, 12);
    const kxtest::Rgba body = kxtest::pixelAt(image, 100, 12);
    EXPECT_LT(divider.r + divider.g + divider.b, body.r + body.g + body.b - 60) << divider << " " << body;
}

}  // namespace
}  // namespace kx::controls
