// The drawn panel backgrounds: where each puts its body and its arrow, probed pixel by pixel, and how a
// window takes one as its background.
#include "canvas/arrow_panel_views.h"
#include "support/pixel_probe.h"

#include <QImage>
#include <QLabel>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

using kxtest::pixelAt;
using kxtest::Rgba;

QImage render(QWidget& view) {
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    view.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

Rgba rgba(const QColor& color) {
    return {color.red(), color.green(), color.blue(), 255};
}

const Rgba kClear{0, 0, 0, 0};
const Rgba kWhite{255, 255, 255, 255};

struct Probe {
    int x, y;
    std::function<Rgba()> expected;
    const char* what;
};

struct ViewCase {
    const char* name;
    std::function<std::unique_ptr<KXArrowPanelView>()> make;
    QSize size;
    std::vector<Probe> probes;
};

Rgba windowColour() {
    return rgba(QWidget().palette().color(QPalette::Window));
}

class ArrowPanelDrawing : public ::testing::TestWithParam<int> {};

const std::vector<ViewCase>& viewCases() {
    static const std::vector<ViewCase> cases = {
        {"shape panel, even width",
         [] { return std::make_unique<KXShapePanelView>(); },
         {200, 100},
         {{100, 3, [] { return kWhite; }, "just under the apex, at the middle"},
          {86, 14, [] { return kWhite; }, "left end of the arrow's base (left corner at 85)"},
          {83, 10, [] { return kClear; }, "left of the arrow, in the top band"},
          {117, 10, [] { return kClear; }, "right of the arrow, in the top band"},
          {20, 5, [] { return kClear; }, "far left of the top band"},
          {100, 60, [] { return kWhite; }, "the body"},
          {0, 15, [] { return kClear; }, "the body's rounded top-left corner"},
          {199, 99, [] { return kClear; }, "the body's rounded bottom-right corner"},
          {3, 60, [] { return kWhite; }, "the body's left edge, below the corner"}}},
        {"shape panel, odd width: the corner is floored",
         [] { return std::make_unique<KXShapePanelView>(); },
         {61, 50},
         {{16, 14, [] { return kWhite; }, "left corner at floor(30.5 - 15) = 15"},
          {14, 12, [] { return kClear; }, "left of the arrow"},
          {30, 2, [] { return kWhite; }, "under the apex at 30"}}},
        {"image-mask view",
         [] { return std::make_unique<KXImageMaskView>(); },
         {200, 100},
         {{58, 3, [] { return kWhite; }, "under the apex at 58"},
          {44, 14, [] { return kWhite; }, "left end of the arrow's base at 43"},
          {40, 8, [] { return kClear; }, "left of the arrow"},
          {100, 5, [] { return kClear; }, "the middle of the top band carries no arrow"},
          {100, 30, [] { return kWhite; }, "upper half of the body"},
          {100, 80, [] { return rgba(KXImageMaskView::lowerHalfColor()); }, "lower half of the view"},
          {100, 51, [] { return rgba(KXImageMaskView::lowerHalfColor()); }, "just below the middle"},
          {100, 48, [] { return kWhite; }, "just above the middle"},
          {0, 99, [] { return kClear; }, "the grey stays inside the rounded corner"}}},
        {"page view",
         [] { return std::make_unique<KXPageView>(); },
         {200, 100},
         {{0, 0, windowColour, "the body's top-left corner is square"},
          {199, 84, windowColour, "the body's bottom-right corner is square"},
          {100, 50, windowColour, "the body"},
          {100, 97, windowColour, "just above the apex on the bottom edge"},
          {87, 86, windowColour, "left end of the arrow's base at 85"},
          {83, 92, [] { return kClear; }, "left of the arrow, in the bottom band"},
          {20, 95, [] { return kClear; }, "far left of the bottom band"}}},
    };
    return cases;
}

TEST_P(ArrowPanelDrawing, ProbesLandOnTheBodyTheArrowOrNothing) {
    const ViewCase& c = viewCases()[std::size_t(GetParam())];
    SCOPED_TRACE(c.name);
    std::unique_ptr<KXArrowPanelView> view = c.make();
    view->resize(c.size);
    const QImage image = render(*view);
    for (const Probe& probe : c.probes) {
        SCOPED_TRACE(probe.what);
        EXPECT_COLOR_NEAR(pixelAt(image, probe.x, probe.y), probe.expected(), 3);
    }
}

INSTANTIATE_TEST_SUITE_P(Views, ArrowPanelDrawing, ::testing::Range(0, 4));

TEST(ArrowPanelViews, TheOutlineRegionCoversTheArrowAndNotTheBandBesideIt) {
    KXShapePanelView view;
    view.resize(200, 100);
    const QRegion region = view.outlineRegion();
    EXPECT_TRUE(region.contains(QPoint(100, 4)));
    EXPECT_TRUE(region.contains(QPoint(100, 60)));
    EXPECT_FALSE(region.contains(QPoint(20, 5)));
    EXPECT_FALSE(region.contains(QPoint(180, 5)));
}

TEST(ArrowPanelViews, AWindowTakesThePanelAsItsBackgroundAndKeepsItsContentOffTheArrow) {
    QWidget window(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(4, 4, 4, 4);
    auto* content = new QLabel(QStringLiteral("content"), &window);
    layout->addWidget(content);
    window.resize(260, 236);
    auto* background = new KXShapePanelView;
    installPanelBackground(&window, background);

    EXPECT_EQ(background->parentWidget(), &window);
    EXPECT_EQ(background->geometry(), window.rect());
    EXPECT_EQ(layout->contentsMargins(), QMargins(4, 4 + int(KXArrowPanelView::kArrowHeight), 4, 4));
    EXPECT_TRUE(window.testAttribute(Qt::WA_TranslucentBackground));

    // The background follows the window's size, also a size given while the window was hidden.
    window.resize(300, 200);
    window.show();
    EXPECT_EQ(background->geometry(), QRect(0, 0, 300, 200));
    window.resize(320, 210);
    EXPECT_EQ(background->geometry(), QRect(0, 0, 320, 210));

    // It lies under the content.
    layout->activate();
    EXPECT_GE(content->geometry().top(), int(KXArrowPanelView::kArrowHeight));
    EXPECT_EQ(window.childAt(content->geometry().center()), content);
}

}  // namespace
