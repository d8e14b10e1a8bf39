// The floating toolbar, the lock badge and the crop panel: where they go over the canvas, what they enable and
// that a panel already in place is left alone.
#include "canvas/floating_panels.h"

#include "platform/foundation/notification_center.h"

#include <QButtonGroup>
#include <QEvent>
#include <QPushButton>
#include <QSlider>

#include <gtest/gtest.h>

namespace {

// Counts the moves and resizes a widget receives.
class GeometryCounter : public QObject {
public:
    explicit GeometryCounter(QWidget* widget) { widget->installEventFilter(this); }
    int moves = 0;
    int resizes = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Move)
            ++moves;
        if (event->type() == QEvent::Resize)
            ++resizes;
        return false;
    }
};

// A window-system frame measured from the bottom of a parent `height` high, as a rectangle with y downwards.
QRectF flipped(const QRectF& upward, double height) {
    return {upward.x(), height - upward.y() - upward.height(), upward.width(), upward.height()};
}

struct ToolbarCase {
    const char* name;
    double objectWidth;
    bool canCrop;
    QRectF upwardFrame;  // the frame in a y-up parent for the anchor (100, 500) measured upwards
};

class ToolbarPlacement : public ::testing::TestWithParam<ToolbarCase> {};

TEST_P(ToolbarPlacement, CentresOnTheObjectAndHangsBelowTheAnchor) {
    const ToolbarCase& c = GetParam();
    const double parentHeight = 800;
    QWidget parent;
    parent.resize(1000, int(parentHeight));
    KXFloatingWindowController toolbar(&parent);
    // The anchor (100, 500) of a y-up parent is (100, 300) here.
    const QPointF anchor(100, parentHeight - 500);
    toolbar.showRelativeToPoint(anchor, QRectF(100, 300, c.objectWidth, 80), c.canCrop);
    EXPECT_EQ(toolbar.frame(), flipped(c.upwardFrame, parentHeight));
    EXPECT_EQ(toolbar.canCrop(), c.canCrop);
    EXPECT_EQ(toolbar.btCrop()->isVisibleTo(&toolbar), c.canCrop);
    EXPECT_TRUE(toolbar.isVisibleTo(&parent));
    EXPECT_EQ(toolbar.geometry(), toolbar.frame().toRect());
}

INSTANTIATE_TEST_SUITE_P(Table, ToolbarPlacement,
                         ::testing::Values(ToolbarCase{"photo", 200, true, QRectF(126.5, 466, 147, 34)},
                                           ToolbarCase{"text", 200, false, QRectF(144, 466, 112, 34)},
                                           ToolbarCase{"narrow", 40, true, QRectF(46.5, 466, 147, 34)}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FloatingPanels, ASecondShowAtTheSamePlaceLeavesTheGeometryAlone) {
    QWidget parent;
    parent.resize(800, 600);
    parent.show();
    KXFloatingWindowController toolbar(&parent);
    toolbar.showRelativeToPoint({100, 300}, {100, 200, 200, 100}, true);
    GeometryCounter counter(&toolbar);
    const QRect before = toolbar.geometry();
    toolbar.showRelativeToPoint({100, 300}, {100, 200, 200, 100}, true);
    EXPECT_EQ(counter.moves, 0);
    EXPECT_EQ(counter.resizes, 0);
    EXPECT_EQ(toolbar.geometry(), before);

    // Only the origin moves when the width stays.
    toolbar.showRelativeToPoint({120, 310}, {120, 210, 200, 100}, true);
    EXPECT_EQ(counter.moves, 1);
    EXPECT_EQ(counter.resizes, 0);
    // A change of width sets the whole frame.
    toolbar.showRelativeToPoint({120, 310}, {120, 210, 200, 100}, false);
    EXPECT_EQ(counter.resizes, 1);
    EXPECT_EQ(toolbar.geometry(), QRect(164, 310, 112, 34));
}

TEST(FloatingPanels, BadgeAndCropPanelCentreWithTheirOwnSize) {
    QWidget parent;
    parent.resize(800, 600);
    KXLockFloatingWindowController badge(&parent);
    badge.showRelativeToPoint({100, 300}, {100, 200, 200, 100});
    EXPECT_EQ(badge.frame(), QRectF(100 + (200 - KXLockFloatingWindowController::kWidth) / 2.0, 300,
                                    KXLockFloatingWindowController::kWidth, KXLockFloatingWindowController::kHeight));
    KXCropWindowController crop(&parent);
    crop.showRelativeToPoint({50, 250}, {50, 100, 400, 150});
    EXPECT_EQ(crop.frame(), QRectF(50 + (400 - KXCropWindowController::kWidth) / 2.0, 250,
                                   KXCropWindowController::kWidth, KXCropWindowController::kHeight));
}

TEST(FloatingPanels, ShowingRaisesThePanelAboveItsSiblingsAndHidingAHiddenPanelDoesNothing) {
    QWidget parent;
    parent.resize(800, 600);
    parent.show();
    KXLockFloatingWindowController badge(&parent);
    auto* later = new QWidget(&parent);
    later->show();
    ASSERT_EQ(parent.children().last(), later);
    badge.showRelativeToPoint({10, 10}, {10, 0, 50, 10});
    EXPECT_EQ(parent.children().last(), &badge);
    EXPECT_TRUE(badge.isVisible());
    badge.hide();
    EXPECT_FALSE(badge.isVisible());
    GeometryCounter counter(&badge);
    badge.hide();
    EXPECT_FALSE(badge.isVisible());
    EXPECT_EQ(counter.moves + counter.resizes, 0);
}

TEST(FloatingPanels, ToolbarReportsWhatItsButtonsAllow) {
    KXFloatingWindowController toolbar;
    toolbar.objectForwardSetEnabel(false);
    toolbar.objectBackwardSetEnable(true);
    EXPECT_FALSE(toolbar.canForward());
    EXPECT_TRUE(toolbar.canBackward());
    toolbar.objectForwardSetEnabel(true);
    toolbar.objectBackwardSetEnable(false);
    EXPECT_TRUE(toolbar.canForward());
    EXPECT_FALSE(toolbar.canBackward());
    EXPECT_EQ(toolbar.btMoveObjectForward()->focusPolicy(), Qt::NoFocus);
}

TEST(FloatingPanels, CropModeSelectsBySegmentTagAndReportsTheIndex) {
    KXCropWindowController crop;
    EXPECT_EQ(crop.cropMode(), 0);
    crop.synchronizeCropModeWithType(1);
    EXPECT_EQ(crop.cropMode(), 1);
    // Tags that differ from the indexes still find the right segment.
    QButtonGroup* segments = crop.segCropModeType();
    QAbstractButton* first = segments->buttons().at(0);
    QAbstractButton* second = segments->buttons().at(1);
    segments->setId(first, 7);
    segments->setId(second, 3);
    crop.synchronizeCropModeWithType(7);
    EXPECT_EQ(crop.cropMode(), 0);
    crop.synchronizeCropModeWithType(3);
    EXPECT_EQ(crop.cropMode(), 1);
    // An unknown tag leaves the selection as it is.
    crop.synchronizeCropModeWithType(42);
    EXPECT_EQ(crop.cropMode(), 1);
}

TEST(FloatingPanels, CropSliderKeepsValueAndMinimumAndTheModeControlPosts) {
    KXCropWindowController crop;
    crop.setCropMinValue(1.25f);
    crop.setCropCurrentValue(2.5f);
    EXPECT_FLOAT_EQ(crop.minCropValue(), 1.25f);
    EXPECT_FLOAT_EQ(crop.cropValue(), 2.5f);
    // A value under the minimum is held at the minimum.
    crop.setCropCurrentValue(1.0f);
    EXPECT_FLOAT_EQ(crop.cropValue(), 1.25f);

    int posts = 0;
    const void* sender = nullptr;
    auto token = kx::NotificationCenter::defaultCenter().addObserver(
        KXSwitchCropModeChange, nullptr, [&](const kx::Notification& n) {
            ++posts;
            sender = n.sender;
        });
    crop.segCropModeType()->buttons().at(1)->click();
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(sender, static_cast<const void*>(&crop));
    EXPECT_EQ(crop.cropMode(), 1);
}

}  // namespace
