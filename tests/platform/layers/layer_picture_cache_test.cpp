// Layers drawn as one piece (with a shadow) keep their picture between renderings: a layer that only moved by
// whole pixels is composited again without a new blur, anything that changes its look makes a new picture,
// and the pixels are those of a rendering that keeps nothing.
#include "platform/gfx/bitmap_context.h"
#include "platform/layers/layer.h"
#include "platform/layers/layer_render_cache.h"
#include "platform/layers/layer_renderer.h"

#include "support/pixel_probe.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <functional>

using namespace kx;

namespace {

Image photo(int width, int height, QColor color) {
    QImage image(width, height, QImage::Format_RGBA8888_Premultiplied);
    image.fill(color);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::yellow);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QRectF(width * 0.2, height * 0.2, width * 0.5, height * 0.4));
    return Image(image);
}

// A layer whose contents are drawn by display(), in a colour of its own.
class PaintedLayer : public Layer {
public:
    QColor color = Qt::darkGreen;
    void drawInContext(BitmapContext& context) override {
        context.setFillColor(Color::fromQColor(color));
        context.fillEllipseInRect(bounds().insetBy(2, 2));
    }
};

// A page with a few shadowed "photos", one of them turned, each a graph layer holding a content layer.
struct Page {
    std::shared_ptr<Layer> root = std::make_shared<Layer>();
    std::shared_ptr<Layer> moved;     // a shadowed graph
    std::shared_ptr<Layer> content;   // its content sublayer
    std::shared_ptr<PaintedLayer> painted;  // a displayed sublayer of it

    Page() {
        root->setBounds(Rect(0, 0, 240, 180));
        root->setAnchorPoint(Point(0, 0));
        root->setBackgroundColor(Color::srgb(0.9, 0.9, 0.85));
        for (int i = 0; i < 3; ++i) {
            auto graph = std::make_shared<Layer>();
            graph->setFrame(Rect(20 + 70 * i, 40 + 10 * i, 60, 80));
            graph->setAffineTransform(AffineTransform::makeRotation(i == 1 ? 0.1 : 0));
            graph->setShadowOpacity(1);
            graph->setShadowColor(Color::srgb(0, 0, 0, 0.5));
            graph->setShadowRadius(4);
            graph->setShadowOffset(Size(3, -4));
            auto picture = std::make_shared<Layer>();
            picture->setFrame(Rect(0, 0, 60, 80));
            picture->setContents(photo(120, 160, QColor(40 * i, 90, 200)));
            graph->addSublayer(picture);
            root->addSublayer(graph);
            if (i == 1) {
                moved = graph;
                content = picture;
            }
        }
        painted = std::make_shared<PaintedLayer>();
        painted->setFrame(Rect(10, 10, 20, 20));
        painted->setNeedsDisplay();
        moved->addSublayer(painted);
    }
};

QImage render(Layer& root, double scale = 1) {
    return renderLayerTree(root, scale).qimage();
}

QImage renderKeepingNothing(Layer& root, double scale = 1) {
    setLayerPictureCacheEnabled(false);
    QImage image = render(root, scale);
    setLayerPictureCacheEnabled(true);
    return image;
}

struct Change {
    const char* name;
    std::function<void(Page&)> apply;
    int blurs;  // new blurs in the rendering after the change
};

void PrintTo(const Change& change, std::ostream* os) {
    *os << change.name;
}

class LayerPictureCache : public ::testing::TestWithParam<Change> {};

TEST_P(LayerPictureCache, RedrawsWhatChangedAndDrawsAsWithoutCache) {
    Page page;
    render(*page.root);
    const std::uint64_t before = renderedShadowBlurCount();
    const QImage unchanged = render(*page.root);
    EXPECT_EQ(renderedShadowBlurCount(), before) << "an unchanged page blurs nothing again";

    GetParam().apply(page);
    const std::uint64_t afterChange = renderedShadowBlurCount();
    const QImage cached = render(*page.root);
    EXPECT_EQ(renderedShadowBlurCount() - afterChange, std::uint64_t(GetParam().blurs));
    const QImage fresh = renderKeepingNothing(*page.root);
    EXPECT_EQ(kxtest::maxChannelDifference(cached, fresh), 0) << "a kept picture draws as a new one";
    if (GetParam().blurs > 0)
        EXPECT_NE(cached, unchanged) << "the change shows";
}

const Change kChanges[] = {
    {"moved by whole points", [](Page& p) { p.moved->setPosition(p.moved->position() + Point(7, -3)); }, 0},
    {"turned page's sibling moved",
     [](Page& p) {
         auto other = p.root->sublayers()[0];
         other->setPosition(other->position() + Point(-5, 2));
     },
     0},
    {"moved by a fraction of a point", [](Page& p) { p.moved->setPosition(p.moved->position() + Point(0.4, 0)); },
     1},
    {"shadow colour", [](Page& p) { p.moved->setShadowColor(Color::srgb(0.5, 0, 0, 0.5)); }, 1},
    {"shadow opacity", [](Page& p) { p.moved->setShadowOpacity(0.6); }, 1},
    {"shadow offset", [](Page& p) { p.moved->setShadowOffset(Size(-3, -6)); }, 1},
    {"shadow blur", [](Page& p) { p.moved->setShadowRadius(7); }, 1},
    {"shadow path",
     [](Page& p) {
         Path path;
         path.addEllipseInRect(Rect(0, 0, 60, 80));
         p.moved->setShadowPath(path);
     },
     1},
    {"contents", [](Page& p) { p.content->setContents(photo(120, 160, QColor(200, 30, 30))); }, 1},
    {"displayed contents",
     [](Page& p) {
         p.painted->color = Qt::magenta;
         p.painted->setNeedsDisplay();
     },
     1},
    {"size", [](Page& p) { p.moved->setBounds(Rect(0, 0, 70, 80)); }, 1},
    {"content layer moved", [](Page& p) { p.content->setPosition(p.content->position() + Point(4, 0)); }, 1},
    {"content layer hidden", [](Page& p) { p.painted->setHidden(true); }, 1},
    {"content layer faded", [](Page& p) { p.content->setOpacity(0.5); }, 1},
    {"masks to bounds", [](Page& p) {
         p.painted->setPosition(Point(0, 0));
         p.moved->setMasksToBounds(true);
     }, 1},
    {"turned", [](Page& p) { p.moved->setAffineTransform(AffineTransform::makeRotation(0.2)); }, 1},
    {"faded", [](Page& p) { p.moved->setOpacity(0.5); }, 0},
};

INSTANTIATE_TEST_SUITE_P(Changes, LayerPictureCache, ::testing::ValuesIn(kChanges));

TEST(LayerPictureCacheScale, ANewScaleMakesNewPicturesAndDrawsAsWithoutCache) {
    Page page;
    render(*page.root);
    const std::uint64_t before = renderedShadowBlurCount();
    const QImage doubled = render(*page.root, 2);
    EXPECT_EQ(renderedShadowBlurCount() - before, 3u) << "every shadowed layer at the new scale";
    EXPECT_EQ(kxtest::maxChannelDifference(doubled, renderKeepingNothing(*page.root, 2)), 0);
}

// A picture made while only a strip of the page is repainted covers the whole layer, and a drag that moves a
// layer by whole points blurs no shadow again.
TEST(LayerPictureCacheScale, ADragBlursNoShadowAgainAndDrawsAsWithoutCache) {
    Page page;
    BitmapContext strip(240, 20);
    strip.translate(0, -70);
    page.root->renderInContext(strip);
    for (int step = 1; step <= 6; ++step) {
        page.moved->setPosition(page.moved->position() + Point(3, 2));
        const std::uint64_t before = renderedShadowBlurCount();
        const QImage cached = render(*page.root);
        EXPECT_EQ(renderedShadowBlurCount(), before) << "step " << step;
        ASSERT_EQ(kxtest::maxChannelDifference(cached, renderKeepingNothing(*page.root)), 0) << "step " << step;
    }
}

TEST(LayerPictureCacheScale, PicturesGoWithTheirLayers) {
    const std::int64_t before = LayerRenderCache::keptBytes();
    {
        Page page;
        render(*page.root);
        EXPECT_GT(LayerRenderCache::keptBytes(), before);
    }
    EXPECT_EQ(LayerRenderCache::keptBytes(), before);
}

}  // namespace
