// The background views: where the popover balloon is grey and its arrow white, on either edge and shifted;
// the translucent pane, the banner and the white view.
#include "controls/background_views.h"
#include "controls/popup_view.h"

#include "support/pixel_probe.h"
#include "rendered_widget.h"

#include <QImage>
#include <gtest/gtest.h>

namespace kx::controls {
namespace {

const kxtest::Rgba kWhite{255, 255, 255, 255};
const kxtest::Rgba kBody{226, 229, 232, 255};
const kxtest::Rgba kClear{0, 0, 0, 0};

TEST(PopupView, GreyBodyWhiteArrowPointingAtTheAnchor) {
    struct Case {
        const char* name;
        KXPopupView::ArrowEdge edge;
        std::optional<int> tipX;
        QPoint inArrow, besideArrow, inBody;
    };
    using E = KXPopupView::ArrowEdge;
    const Case cases[] = {
        // 200 x 120: the arrow is 15 high, 30 wide at its base.
        {"top, middle", E::Top, std::nullopt, {100, 10}, {60, 10}, {100, 60}},
        {"top, shifted left", E::Top, 40, {40, 10}, {100, 10}, {100, 60}},
        {"bottom, shifted right", E::Bottom, 170, {170, 110}, {100, 110}, {100, 60}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KXPopupView view;
        view.resize(200, 120);
        view.setArrow(c.edge, c.tipX);
        const QImage image = kxtest::renderedWidget(view);
        EXPECT_COLOR_NEAR(kxtest::pixelAt(image, c.inArrow.x(), c.inArrow.y()), kWhite, 2);
        EXPECT_COLOR_NEAR(kxtest::pixelAt(image, c.besideArrow.x(), c.besideArrow.y()), kClear, 0);
        EXPECT_COLOR_NEAR(kxtest::pixelAt(image, c.inBody.x(), c.inBody.y()), kBody, 1);
    }
}

TEST(PopupView, ContentsKeepClearOfTheArrow) {
    KXPopupView view;
    view.resize(200, 120);
    EXPECT_EQ(view.contentsRect(), QRect(0, 15, 200, 105));
    view.setArrow(KXPopupView::ArrowEdge::Bottom, 50);
    EXPECT_EQ(view.contentsRect(), QRect(0, 0, 200, 105));
    view.setArrow(KXPopupView::ArrowEdge::Top);
    EXPECT_EQ(view.contentsRect(), QRect(0, 15, 200, 105));
}

TEST(PopupView, BodyCornersAreRounded) {
    KXPopupView view;
    view.resize(200, 120);
    const QImage image = kxtest::renderedWidget(view);
    EXPECT_EQ(kxtest::pixelAt(image, 0, 15).a, 0);
    EXPECT_EQ(kxtest::pixelAt(image, 199, 119).a, 0);
    EXPECT_COLOR_NEAR(kxtest::pixelAt(image, 6, 21), kBody, 1);
}

TEST(BackgroundViews, RoundPaneBannerAndWhite) {
    KXRoundPaneView pane;
    pane.resize(60, 40);
    const QImage paneImage = kxtest::renderedWidget(pane);
    EXPECT_COLOR_NEAR(kxtest::pixelAt(paneImage, 30, 20), (kxtest::Rgba{0, 0, 0, 179}), 1);
    EXPECT_EQ(kxtest::pixelAt(paneImage, 0, 0).a, 0);

    KXBannerView banner;
    banner.resize(100, 30);
    const QImage bannerImage = kxtest::renderedWidget(banner);
    EXPECT_COLOR_NEAR(kxtest::pixelAt(bannerImage, 50, 15), (kxtest::Rgba{249, 246, 241, 255}), 0);
    EXPECT_COLOR_NEAR(kxtest::pixelAt(bannerImage, 50, 2), (kxtest::Rgba{132, 132, 132, 255}), 0);
    EXPECT_COLOR_NEAR(kxtest::pixelAt(bannerImage, 50, 27), (kxtest::Rgba{132, 132, 132, 255}), 0);
    EXPECT_COLOR_NEAR(kxtest::pixelAt(bannerImage, 0, 15), (kxtest::Rgba{132, 132, 132, 255}), 0);
    EXPECT_COLOR_NEAR(kxtest::pixelAt(bannerImage, 50, 0), (kxtest::Rgba{249, 246, 241, 255}), 0);

    KXWhiteView white;
    white.resize(10, 10);
    EXPECT_COLOR_NEAR(kxtest::pixelAt(kxtest::renderedWidget(white), 5, 5), kWhite, 0);
}

}  // namespace
}  // namespace kx::controls
