#include "graphics/view_scaling.h"

#include <gtest/gtest.h>

namespace {

TEST(ViewScaling, SetScaleMakesTheUnitSquareThatSizeInWindowUnits) {
    int redraws = 0;
    ViewScaling view([&] { ++redraws; });
    view.setContainerScale({2, 4});
    EXPECT_EQ(view.scale(), kx::Size(2, 4));
    view.setScale({3, 0.5});
    EXPECT_EQ(view.scale(), kx::Size(3, 0.5));
    EXPECT_EQ(view.transform(), kx::AffineTransform::makeScale(1.5, 0.125));
    EXPECT_EQ(redraws, 1);
}

TEST(ViewScaling, SetScaleTwiceEqualsOnce) {
    ViewScaling once, twice;
    once.setContainerScale({1.25, 0.8});
    twice.setContainerScale({1.25, 0.8});
    once.setScale({2, 2});
    twice.setScale({2, 2});
    twice.setScale({2, 2});
    EXPECT_EQ(once.scale(), twice.scale());
    EXPECT_EQ(once.transform(), twice.transform());
}

TEST(ViewScaling, ResetScalingGivesOneWindowUnitPerViewUnit) {
    ViewScaling view;
    view.setContainerScale({0.5, 8});
    view.setScale({7, 9});
    view.resetScaling();
    EXPECT_EQ(view.scale(), kx::Size(1, 1));
    EXPECT_EQ(view.transform(), kx::AffineTransform::makeScale(2, 0.125));
}

TEST(ViewScaling, AViewScaledToZeroCanStillBeReset) {
    ViewScaling view;
    view.setScale({0, 0});
    EXPECT_EQ(view.scale(), kx::Size(0, 0));
    view.setScale({2, 3});
    EXPECT_EQ(view.scale(), kx::Size(2, 3));
}

TEST(ViewScaling, AZeroContainerLeavesTheScalingAlone) {
    ViewScaling view;
    view.setScale({2, 2});
    view.setContainerScale({0, 1});
    view.resetScaling();
    EXPECT_EQ(view.transform(), kx::AffineTransform::makeScale(2, 2));
}

}  // namespace
