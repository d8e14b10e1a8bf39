#include "photo_test_support.h"

#include "model/background.h"
#include "model/canvas_psd_layers.h"
#include "model/graph.h"
#include "model/shadow.h"
#include "support/pixel_probe.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using kxtest::pixelAtYUp;
using kxtest::Rgba;

namespace {

constexpr Rgba kWhite{255, 255, 255, 255};
constexpr Rgba kClear{0, 0, 0, 0};

// Records what the page hands over; can refuse the n-th layer.
class RecordingWriter : public KXLayeredImageWriter {
public:
    struct Layer {
        QImage image;
        QString name;
        float opacity;
        kx::Point offset;
    };
    bool initWithDocumentSize(const kx::Size& size) override {
        ++inits;
        documentSize = size;
        return true;
    }
    bool addLayerWithCGImage(const kx::Image& image, const QString& name, float opacity,
                             const kx::Point& offset) override {
        if (int(layers.size()) == refuseAt)
            return false;
        layers.push_back({image.qimage(), name, opacity, offset});
        return true;
    }
    // The layers stacked over white, as a reader of the file composes them.
    QImage stacked() const {
        QImage out(int(documentSize.width), int(documentSize.height), QImage::Format_RGBA8888_Premultiplied);
        out.fill(Qt::white);
        QPainter painter(&out);
        for (const Layer& layer : layers)
            painter.drawImage(QPoint(0, 0), layer.image);
        painter.end();
        return out;
    }
    int inits = 0;
    int refuseAt = -1;
    kx::Size documentSize;
    std::vector<Layer> layers;
};

class CanvasPSDLayersTest : public kxtest::PhotoResourcesTest {
protected:
    static std::shared_ptr<KXShape> filledShape(KXCanvas& page, const kx::Rect& frame,
                                                kx::Color color = kx::Color::srgb(1, 0, 0, 1)) {
        auto shape = photoShape(page, frame);
        shape->setPhoto(nullptr);
        shape->setFillEnabled(true);
        shape->background()->setColor1(color);
        shape->updatePath();
        return shape;
    }
    static void blueBackground(KXCanvas& page) {
        auto fill = std::make_shared<KXBackground>();
        fill->setColor1(kx::Color::srgb(0, 0, 1, 1));
        page.setBackground(fill);
    }
};

TEST_F(CanvasPSDLayersTest, BackgroundThenOneFullSizeLayerPerGraphFromTheBack) {
    auto page = pageOfSize(200, 100);
    blueBackground(*page);
    filledShape(*page, {10, 10, 40, 40}, kx::Color::srgb(1, 0, 0, 1));
    auto half = filledShape(*page, {60, 10, 40, 40}, kx::Color::srgb(0, 1, 0, 1));
    half->setOpacity(0.5);
    auto a = filledShape(*page, {120, 10, 20, 20}, kx::Color::srgb(1, 1, 0, 1));
    auto b = filledShape(*page, {160, 60, 20, 20}, kx::Color::srgb(0, 1, 1, 1));
    ASSERT_TRUE(page->groupGraphs({a, b}));
    ASSERT_EQ(page->graphCount(), 3);
    const kx::Size preview = page->previewSize();
    const double zoom = page->zoomValue();

    RecordingWriter writer;
    // Fitted into 100 x 100: 100 x 50, zoom 0.5.
    ASSERT_TRUE(addLayersOfCanvas(*page, {100, 100}, writer));
    EXPECT_EQ(writer.inits, 1);
    EXPECT_EQ(writer.documentSize, kx::Size(100, 50));
    ASSERT_EQ(writer.layers.size(), 4u);
    const QString names[] = {"Background Layer", "Graph Layer", "Graph Layer", "Graph Layer"};
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(writer.layers[i].name, names[i]);
        EXPECT_EQ(writer.layers[i].opacity, 1.0f);
        EXPECT_EQ(writer.layers[i].offset, kx::Point(0, 0));
        EXPECT_EQ(writer.layers[i].image.size(), QSize(100, 50));
    }
    const auto& layers = writer.layers;
    EXPECT_EQ(pixelAtYUp(layers[0].image, 50, 25), (Rgba{0, 0, 255, 255}));
    // Each graph alone on a clear ground, at the output zoom.
    EXPECT_EQ(pixelAtYUp(layers[1].image, 15, 15), (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(pixelAtYUp(layers[1].image, 40, 15), kClear);
    // Half opacity lives in the pixels, not in the layer's opacity.
    const Rgba halfPixel = pixelAtYUp(layers[2].image, 40, 15);
    EXPECT_NEAR(halfPixel.a, 128, 2);
    EXPECT_EQ(halfPixel.g, 255);
    EXPECT_EQ(pixelAtYUp(layers[2].image, 15, 15), kClear);
    // The group's layer shows both children.
    EXPECT_EQ(pixelAtYUp(layers[3].image, 65, 10), (Rgba{255, 255, 0, 255}));
    EXPECT_EQ(pixelAtYUp(layers[3].image, 85, 35), (Rgba{0, 255, 255, 255}));
    EXPECT_EQ(pixelAtYUp(layers[3].image, 75, 25), kClear);

    // Stacked, the layers give the rendered page.
    const QImage rendered = page->outputImageWithSize({100, 100}).qimage();
    EXPECT_LE(kxtest::maxChannelDifference(writer.stacked().convertToFormat(QImage::Format_RGBA8888),
                                           rendered.convertToFormat(QImage::Format_RGBA8888)),
              2);
    // The page is as it was.
    EXPECT_EQ(page->previewSize(), preview);
    EXPECT_EQ(page->zoomValue(), zoom);
    EXPECT_EQ(page->renderIntent(), KXRenderIntentPreview);
}

TEST_F(CanvasPSDLayersTest, OnlyTheBackgroundIsWhiteOutsideTheMarginOfAClippingPage) {
    auto page = pageOfSize(100, 100);
    blueBackground(*page);
    page->setMarginRect({20, 20, 60, 60});
    page->setClipMargin(true);
    filledShape(*page, {5, 40, 90, 20});  // reaches over both side margins
    RecordingWriter writer;
    ASSERT_TRUE(addLayersOfCanvas(*page, {100, 100}, writer));
    ASSERT_EQ(writer.layers.size(), 2u);
    EXPECT_EQ(pixelAtYUp(writer.layers[0].image, 10, 50), kWhite);
    EXPECT_EQ(pixelAtYUp(writer.layers[0].image, 50, 50), (Rgba{0, 0, 255, 255}));
    EXPECT_EQ(pixelAtYUp(writer.layers[1].image, 7, 50), (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(pixelAtYUp(writer.layers[1].image, 92, 50), (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(pixelAtYUp(writer.layers[1].image, 2, 50), kClear);
}

TEST_F(CanvasPSDLayersTest, ShadowFallsInTheGraphsOwnLayer) {
    auto page = pageOfSize(100, 100);
    auto shape = filledShape(*page, {20, 20, 40, 40});
    shape->setShadowEnabled(true);
    shape->shadow()->setColor(kx::Color::srgb(0, 0, 0, 0.5));
    shape->shadow()->setBlur(0);
    shape->shadow()->setAngle(0);
    shape->shadow()->setOffset(200);  // 20 points to the right
    RecordingWriter writer;
    ASSERT_TRUE(addLayersOfCanvas(*page, {100, 100}, writer));
    ASSERT_EQ(writer.layers.size(), 2u);
    const QImage& layer = writer.layers[1].image;
    EXPECT_EQ(pixelAtYUp(layer, 40, 40), (Rgba{255, 0, 0, 255}));
    EXPECT_COLOR_NEAR(pixelAtYUp(layer, 70, 40), (Rgba{0, 0, 0, 128}), 2);
    EXPECT_EQ(pixelAtYUp(layer, 90, 40), kClear);
    const QImage rendered = page->outputImageWithSize({100, 100}).qimage();
    EXPECT_LE(kxtest::maxChannelDifference(writer.stacked().convertToFormat(QImage::Format_RGBA8888),
                                           rendered.convertToFormat(QImage::Format_RGBA8888)),
              2);
}

TEST_F(CanvasPSDLayersTest, ReflectionLiesInABandJustBelowTheGraph) {
    // The reflection mask: opaque at the top of the band, fading to nothing at its bottom.
    QImage fade(16, 256, QImage::Format_Grayscale8);
    for (int y = 0; y < 256; ++y)
        std::fill_n(fade.scanLine(y), 16, uchar(255 - y));
    ASSERT_TRUE(fade.save(res + QStringLiteral("/reflectionMask.png")));
    for (const double degrees : {0.0, 30.0}) {
        SCOPED_TRACE(degrees);
        auto page = pageOfSize(100, 100);
        auto shape = filledShape(*page, {30, 50, 40, 40});
        shape->setAngle(degrees * std::numbers::pi / 180);
        shape->setReflectionEnabled(true);
        shape->setReflectionAlpha(1);
        RecordingWriter writer;
        ASSERT_TRUE(addLayersOfCanvas(*page, {100, 100}, writer));
        ASSERT_EQ(writer.layers.size(), 2u);
        const QImage& layer = writer.layers[1].image;
        // The turned graph's lowest point and height; the band is 35 % of that height, a gap of about 1 below.
        const double t = degrees * std::numbers::pi / 180;
        const double turnedHeight = 40 * (std::cos(t) + std::sin(t));
        const double lowest = 70 - turnedHeight / 2;
        const double bandBottom = lowest - 1 - 0.35 * turnedHeight - 2;
        int reflected = 0;
        for (int y = 0; y < int(std::floor(lowest)) - 1; ++y) {
            for (int x = 0; x < 100; ++x) {
                const Rgba p = pixelAtYUp(layer, x, y);
                if (p.a == 0)
                    continue;
                ++reflected;
                ASSERT_GE(y, bandBottom) << x;
                EXPECT_EQ(p.r, 255);
                EXPECT_EQ(p.g, 0);
            }
        }
        EXPECT_GT(reflected, 100);
        // Under the lowest point: strong near the graph, fading down the band.
        const int x = degrees == 0 ? 50 : 43;
        const int top = int(std::floor(lowest)) - 3;
        EXPECT_GT(pixelAtYUp(layer, x, top).a, 150);
        EXPECT_LT(pixelAtYUp(layer, x, int(std::ceil(bandBottom)) + 2).a, pixelAtYUp(layer, x, top).a - 80);
        EXPECT_EQ(pixelAtYUp(layer, 50, 2), kClear);
    }
}

// A reflected graph's layer holds its reflection exactly where the page render draws it, from the band's
// first row to its last, at any zoom and turn: the layers stacked give the rendered page.
TEST_F(CanvasPSDLayersTest, ReflectedGraphLayersStackToThePageRender) {
    QImage fade(16, 256, QImage::Format_Grayscale8);
    for (int y = 0; y < 256; ++y)
        std::fill_n(fade.scanLine(y), 16, uchar(255 - y));
    ASSERT_TRUE(fade.save(res + QStringLiteral("/reflectionMask.png")));
    struct Case {
        const char* name;
        double page, output;
        kx::Rect frame;
        double degrees, border, opacity;
    };
    const Case cases[] = {
        {"upright", 100, 100, {30, 50, 40, 40}, 0, 0, 1},
        {"turned", 100, 100, {30, 50, 40, 40}, 30, 0, 1},
        {"half size", 200, 100, {61, 101, 79, 83}, 0, 0, 1},
        {"double size", 100, 200, {30, 50, 40, 40}, 0, 0, 1},
        {"double size turned", 100, 200, {30, 50, 40, 30}, -50, 0, 1},
        {"bordered", 100, 100, {30, 50, 40, 40}, 0, 6, 1},
        {"half opaque", 100, 100, {30, 50, 40, 40}, 0, 0, 0.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto page = pageOfSize(c.page, c.page);
        blueBackground(*page);
        auto shape = filledShape(*page, c.frame);
        shape->setAngle(c.degrees * std::numbers::pi / 180);
        shape->setReflectionEnabled(true);
        shape->setReflectionAlpha(1);
        shape->setOpacity(c.opacity);
        if (c.border > 0) {
            shape->stroke()->setType(KXStrokeWidthRelative);
            shape->stroke()->setWidth(c.border * 100 / c.page);
            shape->stroke()->setColor(kx::Color::srgb(0, 1, 0, 1));
            shape->setStrokeEnabled(true);
        }
        RecordingWriter writer;
        ASSERT_TRUE(addLayersOfCanvas(*page, {c.output, c.output}, writer));
        ASSERT_EQ(writer.layers.size(), 2u);
        const QImage rendered = page->outputImageWithSize({c.output, c.output}).qimage();
        EXPECT_LE(kxtest::maxChannelDifference(writer.stacked().convertToFormat(QImage::Format_RGBA8888),
                                               rendered.convertToFormat(QImage::Format_RGBA8888)),
                  2);
    }
}

TEST_F(CanvasPSDLayersTest, ARefusedLayerFailsTheExportAndThePageIsBackInItsPreviewState) {
    auto page = pageOfSize(200, 200);
    filledShape(*page, {10, 10, 40, 40});
    filledShape(*page, {60, 60, 40, 40});
    for (const bool copyFirst : {false, true}) {
        SCOPED_TRACE(copyFirst);
        std::shared_ptr<KXCanvas> target = copyFirst ? page->outputCopy() : page;
        ASSERT_TRUE(target);
        const kx::Size preview = target->previewSize();
        const double zoom = target->zoomValue();
        RecordingWriter writer;
        writer.refuseAt = 2;
        EXPECT_FALSE(addLayersOfCanvas(*target, {50, 50}, writer));
        EXPECT_EQ(writer.layers.size(), 2u);
        EXPECT_EQ(target->previewSize(), preview);
        EXPECT_EQ(target->zoomValue(), zoom);
        EXPECT_EQ(target->renderIntent(), KXRenderIntentPreview);
    }
    // Sizes that cannot be rendered start no document at all.
    for (const kx::Size size : {kx::Size(0, 0), kx::Size(-5, 10), kx::Size(NAN, 10), kx::Size(1e9, 1e9)}) {
        RecordingWriter writer;
        EXPECT_FALSE(addLayersOfCanvas(*page, size, writer));
        EXPECT_EQ(writer.inits, 0);
    }
}

}  // namespace
