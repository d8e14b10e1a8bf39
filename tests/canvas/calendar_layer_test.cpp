// A calendar on a shown page: its layer paints through a larger content layer that carries the opacity,
// answers hit tests by the frame, and paints without leaving undo steps.
#include "canvas/calendar_layer.h"
#include "canvas/canvas_layer.h"
#include "canvas/content_layer.h"
#include "model/calendar.h"
#include "model/stroke.h"
#include "platform/gfx/bitmap_context.h"
#include "platform/layers/layer_renderer.h"
#include "support/pixel_probe.h"

#include "model/calendar_fixture.h"
#include "model/page_test_support.h"

#include <gtest/gtest.h>

#include <numbers>

namespace {

class CalendarLayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        kxtest::registerPageClasses();
        layer = KXCanvasLayer::create();
        layer->setFrame({0, 0, 800, 600});
        preview = page()->previewSize();
        calendar = kxtest::dayCellCalendar();
        calendar->setYear(2024);
        calendar->setFirstMonth(6);  // 1 June 2024 is a Saturday
        calendar->setMonthCount(1);
        page()->addGraph(calendar);
        // 700 x 150 points at (50, 100): rows of 20 points below a 30-point title, cells 100 wide.
        calendar->setRelativeRect(
            {50 / preview.width, 100 / preview.height, 700 / preview.width, 150 / preview.height});
        kxtest::endEvent();
        page()->undoManager().removeAllActions();
    }
    KXCanvas* page() { return layer->canvas(); }
    KXCalendarLayer* calendarLayer() { return dynamic_cast<KXCalendarLayer*>(calendar->render()); }
    QImage render() { return kx::renderLayerTree(*layer).qimage(); }

    std::shared_ptr<KXCanvasLayer> layer;
    std::shared_ptr<KXCalendar> calendar;
    kx::Size preview;
};

TEST_F(CalendarLayerTest, PageGivesCalendarsACalendarLayerWithOneLargerContentLayer) {
    ASSERT_NE(calendarLayer(), nullptr);
    EXPECT_EQ(calendarLayer()->calendar(), calendar.get());
    EXPECT_FALSE(calendarLayer()->masksToBounds());
    ASSERT_EQ(calendarLayer()->sublayers().size(), 1u);
    EXPECT_EQ(calendarLayer()->sublayers()[0].get(), calendarLayer()->contentLayer());
    EXPECT_EQ(calendarLayer()->contentLayer()->owner(), calendarLayer());
    const double e = calendarLayer()->getExpandSize();
    const kx::Size size = calendarLayer()->bounds().size;
    EXPECT_EQ(calendarLayer()->contentLayer()->frame(),
              kx::Rect(-e, -e, size.width + 2 * e, size.height + 2 * e));
    // A new size moves the margin with it.
    calendar->setRelativeRect({0.1, 0.1, 0.5, 0.5});
    const kx::Size resized = calendarLayer()->bounds().size;
    EXPECT_EQ(calendarLayer()->contentLayer()->frame().size, kx::Size(resized.width + 2 * e, resized.height + 2 * e));
}

TEST_F(CalendarLayerTest, ExpandSizeGrowsWithTheShorterPreviewSide) {
    const struct {
        double w, h, e;
    } cases[] = {{1000, 800, 260}, {800, 600, 220}, {400, 300, 100}, {5000, 500, 100}, {1005, 1005, 301}};
    for (const auto& c : cases) {
        page()->setPreviewSize({c.w, c.h});
        EXPECT_DOUBLE_EQ(calendarLayer()->getExpandSize(), c.e) << c.w << " x " << c.h;
    }
    page()->setPreviewSize({1000, 800});
    calendarLayer()->updateContentLayerFrame();
    EXPECT_EQ(calendarLayer()->contentLayer()->frame().size.width, calendarLayer()->bounds().size.width + 520);
}

TEST_F(CalendarLayerTest, OpacityGoesToTheContentLayerAndThePageShowsTheCells) {
    calendar->setOpacity(0.5);
    EXPECT_DOUBLE_EQ(calendarLayer()->opacity(), 1.0);
    EXPECT_DOUBLE_EQ(calendarLayer()->contentLayer()->opacity(), 0.5);
    calendar->setOpacity(1);
    QImage image = render();
    // Page paper is opaque; compare against it by the darkening of the cell backgrounds (black at 0.1, 0.2).
    const int paper = kxtest::pixelAtYUp(image, 5, 5).r;
    const auto shade = [&](int column) {
        const kx::Rect frame = calendar->frameRect();
        return kxtest::pixelAtYUp(image, int(frame.origin.x) + column * 100 + 10,
                                  int(frame.origin.y + 0.8 * frame.size.height) - 10).r;
    };
    EXPECT_EQ(shade(0), paper);              // no cell before the 1st
    EXPECT_NEAR(shade(6), paper * 0.8, 3);   // Saturday the 1st
    calendar->setOpacity(0.5);
    image = render();
    EXPECT_NEAR(shade(6), paper * 0.9, 3);   // half as strong through the content layer
}

TEST_F(CalendarLayerTest, PaintingLeavesNoUndoStepAndKeepsTheOpacity) {
    calendar->setOpacity(0.3);
    kxtest::endEvent();
    page()->undoManager().removeAllActions();
    kx::BitmapContext context(800, 300);
    calendarLayer()->drawInContext(context, {0, 0, 700, 150});
    EXPECT_DOUBLE_EQ(calendar->opacity(), 0.3);
    EXPECT_DOUBLE_EQ(calendarLayer()->contentLayer()->opacity(), 0.3);
    kxtest::endEvent();
    EXPECT_FALSE(page()->undoManager().canUndo());
    EXPECT_TRUE(page()->undoManager().isUndoRegistrationEnabled());
    // Painted at full strength: the Saturday cell has the full weekend alpha.
    EXPECT_NEAR(kxtest::pixelAtYUp(context.makeImage().qimage(), 610, 110).a, 51, 1);
}

TEST_F(CalendarLayerTest, ChangesRedrawTheContentLayer) {
    render();
    ASSERT_FALSE(calendarLayer()->contentLayer()->needsDisplay());
    calendar->setHasAdjacentDay(true);
    EXPECT_TRUE(calendarLayer()->contentLayer()->needsDisplay());
    render();
    ASSERT_FALSE(calendarLayer()->contentLayer()->needsDisplay());
    calendar->setWeekendBKColor(kx::Color::srgb(1, 0, 0, 1));
    EXPECT_TRUE(calendarLayer()->contentLayer()->needsDisplay());
}

TEST_F(CalendarLayerTest, HitAnywhereInTheTurnedFrame) {
    const kx::Rect frame = calendar->frameRect();
    EXPECT_TRUE(calendarLayer()->containsPoint({frame.origin.x + 5, frame.origin.y + 5}));  // an empty corner
    EXPECT_FALSE(calendarLayer()->containsPoint({frame.origin.x - 3, frame.midY()}));
    calendar->setAngle(std::numbers::pi / 2);
    // Turned a quarter about its centre, the wide frame stands upright.
    EXPECT_TRUE(calendarLayer()->containsPoint({frame.midX(), frame.midY() + 300}));
    EXPECT_FALSE(calendarLayer()->containsPoint({frame.maxX() - 5, frame.midY()}));
    // With a border, points outside are tested against the painting: the border paints inside the frame only.
    calendar->setAngle(0);
    calendar->setStrokeEnabled(true);
    EXPECT_FALSE(calendarLayer()->containsPoint({frame.origin.x - 3, frame.midY()}));
    EXPECT_TRUE(calendarLayer()->_containsPoint({610, 110}));  // the Saturday cell
    EXPECT_FALSE(calendarLayer()->_containsPoint({10, 110}));  // the free cell before it
}

}  // namespace
