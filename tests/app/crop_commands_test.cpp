// The crop slider's rules: the value of a crop, its smallest value around its centre, the crop for a value,
// and how the crop panel's slider is filled from a photo.
#include "app/crop_commands.h"
#include "app_test_support.h"
#include "canvas/floating_panels.h"
#include "model/photo.h"
#include "model/shape.h"

#include <QSlider>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

namespace {

constexpr double kTolerance = 1e-6;

TEST(CropSlider, ValueAndMinimumOfACrop) {
    struct Case {
        const char* name;
        kx::Rect crop;
        float current, minimum;
    } cases[] = {
        {"centred square crop can open to the whole image", {0.25, 0.25, 0.5, 0.5}, 0.5f, 0.0f},
        // Widening around the centre (0.3, 0.3) stops at the left edge: width 0.6, so the value 0.4.
        {"a wide crop off-centre stops at the nearer side edge", {0.1, 0.2, 0.4, 0.2}, 0.6f, 0.4f},
        // A tall crop near the top: the height reaches the top first (b = 0.2, height 0.4 -> 0.6 tall at
        // proportions 0.5, so 0.3 wide).
        {"a tall crop stops at the nearer top or bottom edge", {0.4, 0.5, 0.2, 0.4}, 0.8f, 0.7f},
        {"a crop touching the left edge cannot grow around its centre", {0, 0.25, 0.5, 0.5}, 0.5f, 0.5f},
        {"the whole image", {0, 0, 1, 1}, 0.0f, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NEAR(currentValueForCrop(c.crop), c.current, kTolerance);
        EXPECT_NEAR(minValueForCrop(c.crop), c.minimum, kTolerance);
    }
}

TEST(CropSlider, ACropWithoutHeightHasItsCurrentValueAsMinimumAndNeverDivides) {
    for (const kx::Rect& crop : {kx::Rect(0.2, 0.2, 0.5, 0), kx::Rect(0.2, 0.2, 0, 0), kx::Rect()}) {
        const float minimum = minValueForCrop(crop);
        EXPECT_TRUE(std::isfinite(minimum));
        EXPECT_FLOAT_EQ(minimum, currentValueForCrop(crop));
        // No proportions to keep: the slider leaves such a crop as it is.
        EXPECT_EQ(cropForSliderValue(crop, 0.75f), crop);
    }
}

TEST(CropSlider, TheSliderValueSetsTheWidthAndKeepsCentreAndProportions) {
    struct Case {
        const char* name;
        kx::Rect crop;
        float value;
        kx::Rect expected;
    } cases[] = {
        {"0.75 halves a centred crop of width 0.5", {0.25, 0.25, 0.5, 0.5}, 0.75f, {0.375, 0.375, 0.25, 0.25}},
        {"the zoom-in end gives a tenth of the image", {0.25, 0.25, 0.5, 0.5}, 0.9f, {0.45, 0.45, 0.1, 0.1}},
        {"a wide crop keeps its proportions", {0.1, 0.2, 0.4, 0.2}, 0.8f, {0.2, 0.25, 0.2, 0.1}},
        {"zooming out grows around the centre", {0.4, 0.4, 0.2, 0.2}, 0.6f, {0.3, 0.3, 0.4, 0.4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        kxtest::expectRectNear(cropForSliderValue(c.crop, c.value), c.expected, kTolerance);
    }
}

TEST(CropSlider, AValueGivingNoWidthOrNotANumberLeavesTheCropAlone) {
    const kx::Rect crop(0.25, 0.25, 0.5, 0.5);
    for (float value : {1.0f, 1.5f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()})
        EXPECT_EQ(cropForSliderValue(crop, value), crop) << value;
}

TEST(CropSlider, ThePanelIsFilledFromThePhotosCrop) {
    struct Case {
        const char* name;
        kx::Rect crop;
        float minimum, current;
    } cases[] = {
        {"centred crop", {0.25, 0.25, 0.5, 0.5}, 0.0f, 0.5f},
        {"crop touching the left edge", {0, 0.25, 0.5, 0.5}, 0.5f, 0.5f},
        {"crop touching the top edge", {0.25, 0.5, 0.5, 0.5}, 0.5f, 0.5f},
        {"crop narrower than the zoom-in end", {0.47, 0.47, 0.05, 0.05}, 0.01f, 0.95f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KXCropWindowController panel;
        int moved = 0;
        QObject::connect(&panel, &KXCropWindowController::cropValueChanged, [&moved] { ++moved; });
        auto shape = std::make_shared<KXShape>();
        shape->photo()->setCropRect(c.crop);
        updateCropValueWithPhoto(panel, shape->photo());
        EXPECT_NEAR(panel.minCropValue(), c.minimum, 1e-3);
        EXPECT_NEAR(panel.cropValue(), c.current, 1e-3);
        // Filling the slider is not a move of the user's.
        EXPECT_EQ(moved, 0);
    }
    // No photo counts as the zero crop: value 1, and the minimum with it.
    KXCropWindowController panel;
    updateCropValueWithPhoto(panel, nullptr);
    EXPECT_NEAR(panel.cropValue(), 1.0, 1e-3);
    EXPECT_NEAR(panel.minCropValue(), 1.0, 1e-3);
}

TEST(CropSlider, AUserMoveOfTheSliderIsReported) {
    KXCropWindowController panel;
    panel.setCropMinValue(0);
    panel.setCropCurrentValue(0.5f);
    int moved = 0;
    QObject::connect(&panel, &KXCropWindowController::cropValueChanged, [&moved] { ++moved; });
    panel.slCropImage()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(moved, 1);
    EXPECT_GT(panel.cropValue(), 0.5f);
}

}  // namespace
