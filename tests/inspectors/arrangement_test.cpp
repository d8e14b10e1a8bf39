#include "inspectors/arrangement.h"

#include "arrange_page.h"
#include "model/photo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

using namespace kx::inspectors;

void expectRect(const kx::Rect& actual, const kx::Rect& expected, const std::string& what, double tolerance = 1e-9) {
    EXPECT_NEAR(actual.origin.x, expected.origin.x, tolerance) << what;
    EXPECT_NEAR(actual.origin.y, expected.origin.y, tolerance) << what;
    EXPECT_NEAR(actual.size.width, expected.size.width, tolerance) << what;
    EXPECT_NEAR(actual.size.height, expected.size.height, tolerance) << what;
}

class ArrangementTest : public ::testing::Test, public kxtest::ArrangePage {};

TEST_F(ArrangementTest, EdgesCentresAndSizesFollowTheFirstObject) {
    const kx::Rect a{0.1, 0.2, 0.3, 0.2}, b{0.5, 0.6, 0.2, 0.1}, c{0.7, 0.1, 0.1, 0.1};
    struct Case {
        int style, type;
        kx::Rect b;
    };
    const Case cases[] = {
        {1, 0, {0.1, 0.6, 0.2, 0.1}},   {1, 1, {0.2, 0.6, 0.2, 0.1}},  {1, 2, {0.5, 0.3, 0.2, 0.1}},
        {1, 3, {0.5, 0.2, 0.2, 0.1}},   {2, 0, {0.5, 0.25, 0.2, 0.1}}, {2, 1, {0.15, 0.6, 0.2, 0.1}},
        {3, 0, {0.5, 0.6, 0.3, 0.1}},   {3, 1, {0.5, 0.6, 0.2, 0.2}},  {3, 2, {0.5, 0.6, 0.3, 0.2}},
        {0, 0, b}, {1, 4, b}, {2, 2, b}, {3, 3, b}, {4, 0, b}, {-1, 0, b},
    };
    for (const Case& test : cases) {
        const std::string what = "style " + std::to_string(test.style) + " type " + std::to_string(test.type);
        auto first = shape(a), second = shape(b), locked = shape(c);
        locked->setLocked(true);
        clearUndo();
        updateGraphAlignmentWithStyle({first, second, locked}, test.style, test.type);
        expectRect(first->relativeRect(), a, what);
        expectRect(second->relativeRect(), test.b, what);
        expectRect(locked->relativeRect(), c, what);
        if (test.b != b) {
            // The whole alignment is one step, and undoing it puts every object back.
            undoOneStep();
            expectRect(second->relativeRect(), b, what);
        } else {
            EXPECT_FALSE(page->undoManager().canUndo()) << what;
        }
        for (const auto& g : {first, second, locked})
            page->removeGraph(g.get());
    }
}

TEST_F(ArrangementTest, ALockedFirstObjectIsStillTheReference) {
    auto reference = shape({0.1, 0.2, 0.3, 0.2});
    auto b = shape({0.5, 0.6, 0.2, 0.1});
    auto c = shape({0.6, 0.1, 0.1, 0.3});
    reference->setLocked(true);
    clearUndo();
    updateGraphAlignmentWithStyle({reference, b, c}, KXAlignmentStyleEdges, 0);
    EXPECT_DOUBLE_EQ(b->relativeRect().origin.x, 0.1);
    EXPECT_DOUBLE_EQ(c->relativeRect().origin.x, 0.1);
    expectRect(reference->relativeRect(), {0.1, 0.2, 0.3, 0.2}, "reference");
    undoOneStep();
    EXPECT_DOUBLE_EQ(b->relativeRect().origin.x, 0.5);
    EXPECT_DOUBLE_EQ(c->relativeRect().origin.x, 0.6);
}

TEST_F(ArrangementTest, SameSizeLeavesGroupsAndRenewsAspectRatios) {
    auto reference = shape({0.1, 0.1, 0.4, 0.25});  // 400 by 200 pixels
    auto member1 = shape({0.6, 0.6, 0.1, 0.1});
    auto member2 = shape({0.8, 0.8, 0.1, 0.1});
    auto grouped = group({member1, member2});
    ASSERT_NE(grouped, nullptr);
    auto picture = photo({0.5, 0.1, 0.1, 0.25});  // 100 by 200 pixels
    picture->setAspectRatio(0.5);
    picture->setUpdateAspectRatio(false);
    const kx::Rect groupRect = grouped->relativeRect();
    clearUndo();
    updateGraphAlignmentWithStyle({reference, grouped, picture}, KXAlignmentStyleSizes, 2);
    expectRect(grouped->relativeRect(), groupRect, "group");
    expectRect(picture->relativeRect(), {0.5, 0.1, 0.4, 0.25}, "photo");
    EXPECT_NEAR(picture->aspectRatio(), 2.0, 1e-9);
    undoOneStep();
    expectRect(picture->relativeRect(), {0.5, 0.1, 0.1, 0.25}, "photo undone");
}

TEST_F(ArrangementTest, PageAlignmentUsesTheMarginOrThePageEdgesAndAlwaysThePageCentre) {
    ASSERT_EQ(page->previewSize(), kx::Size(1000, 800));
    const kx::Rect start{0.3, 0.3, 0.2, 0.1};
    struct Case {
        int tag;
        kx::Point withMargin, withoutMargin;
    };
    const Case cases[] = {
        {KXAlignPageLeft, {0.1, 0.3}, {0, 0.3}},
        {KXAlignPageHorizontalCenter, {0.4, 0.3}, {0.4, 0.3}},
        {KXAlignPageRight, {0.7, 0.3}, {0.8, 0.3}},
        {KXAlignPageTop, {0.3, 0.8}, {0.3, 0.9}},
        {KXAlignPageVerticalCenter, {0.3, 0.45}, {0.3, 0.45}},
        {KXAlignPageBottom, {0.3, 0.1}, {0.3, 0}},
        {6, {0.3, 0.3}, {0.3, 0.3}},
        {-1, {0.3, 0.3}, {0.3, 0.3}},
    };
    for (bool margin : {true, false}) {
        page->setMarginRect(margin ? kx::Rect{100, 80, 800, 640} : kx::Rect{});
        for (const Case& test : cases) {
            const std::string what = "tag " + std::to_string(test.tag) + (margin ? " margin" : " no margin");
            auto s = shape(start);
            auto locked = shape(start);
            locked->setLocked(true);
            updateGraphAlignmentForPageWith({s, locked}, test.tag);
            const kx::Point expected = margin ? test.withMargin : test.withoutMargin;
            expectRect(s->relativeRect(), {expected.x, expected.y, 0.2, 0.1}, what);
            expectRect(locked->relativeRect(), start, what);
            page->removeGraph(s.get());
            page->removeGraph(locked.get());
        }
    }
    // Groups move as a whole.
    page->setMarginRect({});
    auto grouped = group({shape({0.2, 0.2, 0.1, 0.1}), shape({0.4, 0.3, 0.1, 0.1})});
    ASSERT_NE(grouped, nullptr);
    updateGraphAlignmentForPageWith({grouped}, KXAlignPageRight);
    EXPECT_NEAR(grouped->relativeRect().origin.x + grouped->relativeRect().size.width, 1.0, 1e-9);
    // Nothing to do for no objects, nor on a page that has no size on screen yet.
    updateGraphAlignmentForPageWith({}, KXAlignPageLeft);
    const kx::Rect placed = grouped->relativeRect();
    page->setPreviewSize({});
    updateGraphAlignmentForPageWith({grouped}, KXAlignPageLeft);
    EXPECT_EQ(grouped->relativeRect(), placed);
}

TEST_F(ArrangementTest, FlipsStopAtAPhotoBeingCroppedAndSkipLines) {
    auto a = shape({0.1, 0.1, 0.1, 0.1});
    auto l = line({0.2, 0.2, 0.1, 0.1});
    auto locked = shape({0.3, 0.3, 0.1, 0.1});
    locked->setLocked(true);
    auto cropping = photo({0.4, 0.4, 0.1, 0.1});
    cropping->photo()->setRenderMode(1);
    auto after = shape({0.5, 0.5, 0.1, 0.1});
    clearUndo();
    EXPECT_EQ(flipGraphs({a, l, locked, cropping, after}, KXFlipHorizontal), cropping);
    EXPECT_EQ(a->flipX(), -1);
    EXPECT_EQ(l->flipX(), 1);
    EXPECT_EQ(locked->flipX(), -1);
    EXPECT_EQ(cropping->flipX(), 1);
    EXPECT_EQ(after->flipX(), 1);
    for (const auto& g : {a, locked, cropping, after})
        EXPECT_EQ(g->flipY(), 1);
    undoOneStep();
    EXPECT_EQ(a->flipX(), 1);
    EXPECT_EQ(locked->flipX(), 1);

    cropping->photo()->setRenderMode(0);
    EXPECT_EQ(flipGraphs({a, cropping}, KXFlipVertical), nullptr);
    EXPECT_EQ(a->flipY(), -1);
    EXPECT_EQ(cropping->flipY(), -1);
    EXPECT_EQ(a->flipX(), 1);
    EXPECT_EQ(flipGraphs({a}, 7), nullptr);
    EXPECT_EQ(a->flipX(), 1);
    EXPECT_EQ(a->flipY(), -1);
}

TEST_F(ArrangementTest, MenuItemsActOnlyWhereTheyCan) {
    auto a = shape({0.1, 0.1, 0.1, 0.1});
    auto b = shape({0.2, 0.2, 0.1, 0.1});
    auto lockedC = shape({0.3, 0.3, 0.1, 0.1});
    lockedC->setLocked(true);
    auto lockedD = shape({0.4, 0.4, 0.1, 0.1});
    lockedD->setLocked(true);
    auto l = line({0.5, 0.5, 0.1, 0.1});
    auto g = group({shape({0.6, 0.6, 0.1, 0.1}), shape({0.7, 0.7, 0.1, 0.1})});
    auto lockedGroup = group({shape({0.6, 0.1, 0.1, 0.1}), shape({0.7, 0.1, 0.1, 0.1})});
    ASSERT_TRUE(g && lockedGroup);
    lockedGroup->setLocked(true);
    const int tags[] = {0, 1, 2, 3, 4, 5, 10, 11, 12, 13, 100, 111, 42};
    struct Case {
        const char* name;
        GraphList graphs;
        // Align to page (0-5), group, ungroup, lock, unlock, flip horizontally, flip vertically, other tag.
        bool align, group, ungroup, lock, unlock, flip, other;
    };
    const Case cases[] = {
        {"nothing", {}, false, false, false, false, false, false, true},
        {"one unlocked", {a}, false, false, false, true, false, true, true},
        {"two unlocked", {a, b}, true, true, false, true, false, true, true},
        {"one unlocked, one locked", {a, lockedC}, false, false, false, true, true, true, true},
        {"two locked", {lockedC, lockedD}, false, false, false, false, true, false, true},
        {"a group and a shape", {g, a}, true, true, true, true, false, true, true},
        {"only a locked group", {lockedGroup, lockedC}, false, false, false, false, true, false, true},
        {"a line and a locked shape", {l, lockedC}, false, false, false, true, true, false, true},
    };
    for (const Case& test : cases) {
        for (int tag : tags) {
            bool expected = test.other;
            if (tag <= 5)
                expected = test.align;
            else if (tag == 10)
                expected = test.group;
            else if (tag == 11)
                expected = test.ungroup;
            else if (tag == 12)
                expected = test.lock;
            else if (tag == 13)
                expected = test.unlock;
            else if (tag == 100 || tag == 111)
                expected = test.flip;
            EXPECT_EQ(validateArrangeMenuItem(test.graphs, tag), expected) << test.name << " tag " << tag;
        }
    }
}

TEST_F(ArrangementTest, LockingSeveralIsOneStep) {
    auto a = shape({0.1, 0.1, 0.1, 0.1});
    auto b = shape({0.2, 0.2, 0.1, 0.1});
    clearUndo();
    setGraphsLocked({a, b}, true);
    EXPECT_TRUE(a->isLocked() && b->isLocked());
    undoOneStep();
    EXPECT_FALSE(a->isLocked() || b->isLocked());
}

TEST(ArrangeValues, LengthsInThePagesUnit) {
    struct Case {
        double pixels;
        std::int64_t unit;
        double dpi, value;
        const char* text;
    };
    const Case cases[] = {
        {720, KXSizeUnitPixel, 72, 720, "720 px"},
        {12.4, KXSizeUnitPixel, 300, 12.4, "12 px"},
        {720, KXSizeUnitMillimeter, 72, 254, "254.00 mm"},
        {100, KXSizeUnitMillimeter, 254, 10, "10.00 mm"},
        {180, KXSizeUnitInch, 72, 2.5, "2.50 in"},
        {720, KXSizeUnitCentimeter, 72, 25.4, "25.40 cm"},
        // A page without a resolution reads at 72 dpi.
        {144, KXSizeUnitInch, 0, 2, "2.00 in"},
    };
    for (const Case& test : cases) {
        EXPECT_NEAR(pixelsToUnit(test.pixels, test.unit, test.dpi), test.value, 1e-9) << test.text;
        EXPECT_NEAR(unitToPixels(test.value, test.unit, test.dpi), test.pixels, 1e-9) << test.text;
        EXPECT_EQ(lengthText(test.value, test.unit), QString::fromLatin1(test.text));
    }
}

TEST(ArrangeValues, PositionLimitsAndSteps) {
    struct Case {
        std::int64_t unit;
        double dpi, maximum, increment;
    };
    const Case cases[] = {
        {KXSizeUnitPixel, 300, 4000, 1},
        {KXSizeUnitInch, 100, 40, 0.01},
        {KXSizeUnitMillimeter, 100, 1016, 0.3},
        {KXSizeUnitCentimeter, 100, 101.6, 0.03},
    };
    for (const Case& test : cases) {
        const StepperLimits limits = positionLimits(test.unit, test.dpi);
        EXPECT_NEAR(limits.minimum, -test.maximum, 1e-9) << test.unit;
        EXPECT_NEAR(limits.maximum, test.maximum, 1e-9) << test.unit;
        EXPECT_DOUBLE_EQ(limits.increment, test.increment) << test.unit;
        EXPECT_DOUBLE_EQ(sizeLimits(test.unit, test.dpi).increment, test.increment) << test.unit;
        EXPECT_GT(sizeLimits(test.unit, test.dpi).minimum, 0) << test.unit;
    }
}

TEST(ArrangeValues, RotationControl) {
    const double degree = std::numbers::pi / 180;
    struct Case {
        double angle;
        int shown;
    };
    const Case cases[] = {{0, 0}, {90 * degree, 270}, {-30 * degree, 30}, {400 * degree, 320},
                          {359.5 * degree, 0}, {0.5 * degree, 359}, {-720 * degree, 0}, {NAN, 0}};
    for (const Case& test : cases)
        EXPECT_EQ(rotationControl(test.angle), test.shown) << test.angle;
    // Every control value written as an angle reads back as itself.
    for (int v = 0; v < 360; ++v) {
        EXPECT_NEAR(angleFromRotationControl(v), (360 - v) * degree, 1e-12);
        EXPECT_EQ(rotationControl(angleFromRotationControl(v)), v) << v;
    }
    EXPECT_EQ(wrappedRotationStepper(360), 0);
    EXPECT_EQ(wrappedRotationStepper(-1), 359);
    EXPECT_EQ(wrappedRotationStepper(17), 17);
    EXPECT_EQ(typedRotation(360), 0);
    EXPECT_EQ(typedRotation(999), 0);
    EXPECT_EQ(typedRotation(-5), 0);
    EXPECT_EQ(typedRotation(45), 45);
}

TEST_F(ArrangementTest, TypedPositionsAndSizes) {
    auto s = shape({0.1, 0.1, 0.2, 0.25});  // 200 by 200 pixels
    ASSERT_NEAR(s->aspectRatio(), 1.0, 1e-9);
    // Each coordinate is held to 4000 pixels either way; the size stays.
    expectRect(rectWithPosition(*s, 5000, 100), {4, 0.125, 0.2, 0.25}, "x held");
    expectRect(rectWithPosition(*s, -5000, 9000), {-4, 5, 0.2, 0.25}, "both held");
    expectRect(rectWithWidth(*s, 300, false), {0.1, 0.1, 0.3, 0.25}, "width");
    expectRect(rectWithWidth(*s, 300, true), {0.1, 0.1, 0.3, 0.375}, "chained width");
    expectRect(rectWithHeight(*s, 400, false), {0.1, 0.1, 0.2, 0.5}, "height");
    expectRect(rectWithHeight(*s, 400, true), {0.1, 0.1, 0.4, 0.5}, "chained height");
    // Without a stored ratio the chain keeps the frame's own proportions.
    s->setAspectRatio(0);
    expectRect(rectWithWidth(*s, 300, true), {0.1, 0.1, 0.3, 0.375}, "chained width, no stored ratio");
    // An object on no page keeps its rectangle.
    KXShape loose;
    loose.setRelativeRect({0.1, 0.2, 0.3, 0.4});
    expectRect(rectWithWidth(loose, 50, true), {0.1, 0.2, 0.3, 0.4}, "no page");
}

TEST(ArrangeValues, PositionsInMillimetres) {
    kxtest::ArrangePage mm(KXSizeUnitMillimeter, 254);  // ten pixels to the millimetre
    auto s = mm.shape({0.1, 0.1, 0.2, 0.25});
    expectRect(rectWithPosition(*s, 10, 20), {0.1, 0.25, 0.2, 0.25}, "mm", 1e-6);
    expectRect(rectWithPosition(*s, 500, 0), {4, 0, 0.2, 0.25}, "held at 4000 pixels", 1e-6);
    expectRect(rectWithWidth(*s, 50, false), {0.1, 0.1, 0.5, 0.25}, "mm width", 1e-6);
}

TEST_F(ArrangementTest, TheChainIsAlwaysOnForGroups) {
    auto s = shape({0.1, 0.1, 0.1, 0.1});
    auto g = group({shape({0.3, 0.3, 0.1, 0.1}), shape({0.5, 0.5, 0.1, 0.1})});
    ASSERT_NE(g, nullptr);
    EXPECT_FALSE(isWidthHeightChained(*s));
    EXPECT_TRUE(isWidthHeightChained(*g));
    kx::UserDefaults::standard().setValue(KXConnectWidthAndHeight, true);
    EXPECT_TRUE(isWidthHeightChained(*s));
}

TEST_F(ArrangementTest, TextWrapIsPassedIntoGroupsButNotToLines) {
    auto plain = shape({0.1, 0.1, 0.1, 0.1});
    auto l = line({0.3, 0.3, 0.1, 0.1});
    auto innerShape = shape({0.5, 0.5, 0.1, 0.1});
    auto inner = group({innerShape, shape({0.6, 0.6, 0.1, 0.1})});
    ASSERT_NE(inner, nullptr);
    auto outer = group({plain, l, inner});
    ASSERT_NE(outer, nullptr);
    updateTextWrapEnable(true, *outer);
    updateTextWrapType(KXWrapTypeLeft, *outer);
    updateTextWrapSpaceValue(25, *outer);
    for (const auto& g : {plain, innerShape}) {
        EXPECT_TRUE(g->isTextWrapEnabled());
        EXPECT_EQ(g->wrapType(), KXWrapTypeLeft);
        EXPECT_EQ(g->textWrapSpace(), 25);
    }
    EXPECT_FALSE(l->isTextWrapEnabled());
    EXPECT_EQ(l->textWrapSpace(), 0);
    // The groups themselves are left to the caller.
    for (const auto& g : {outer, inner}) {
        EXPECT_FALSE(g->isTextWrapEnabled());
        EXPECT_EQ(g->wrapType(), KXWrapTypeRound);
    }
}

}  // namespace
