#include "platform/gfx/bitmap_context.h"

#include "support/pixel_probe.h"

#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using kx::BitmapContext;
using kx::Color;
using kx::Image;
using kx::Point;
using kx::Rect;
using kx::Size;
using kxtest::Rgba;

namespace {

const Rgba kTransparent{0, 0, 0, 0};
const Rgba kRed{255, 0, 0, 255};
const Rgba kBlue{0, 0, 255, 255};

// The pixel at (x, y) counted from the bottom row, read straight from the context's memory.
Rgba memoryPixelYUp(BitmapContext& ctx, int x, int y) {
    const uchar* p = ctx.constData() + std::size_t(ctx.height() - 1 - y) * ctx.bytesPerRow() + 4 * x;
    const int a = p[3];
    auto un = [a](int c) { return a == 0 ? 0 : std::min(255, (c * 255 + a / 2) / a); };
    return Rgba{un(p[0]), un(p[1]), un(p[2]), a};
}

Rgba at(const BitmapContext& ctx, int x, int y) { return kxtest::pixelAtYUp(ctx.makeImage().qimage(), x, y); }

// A 2 x 2 image: top row red, bottom row blue.
Image redOverBlue() {
    QImage image(2, 2, QImage::Format_RGBA8888);
    image.setPixelColor(0, 0, Qt::red);
    image.setPixelColor(1, 0, Qt::red);
    image.setPixelColor(0, 1, Qt::blue);
    image.setPixelColor(1, 1, Qt::blue);
    return Image(image);
}

}  // namespace

TEST(BitmapContext, MemoryIsRgbaPremultipliedWithYUpUserSpace) {
    BitmapContext ctx(4, 3);
    ASSERT_TRUE(ctx.isValid());
    EXPECT_EQ(ctx.bytesPerRow(), 16);
    ctx.setFillColor(Color::srgb(1, 0, 0, 0.5));
    ctx.fillRect(Rect(0, 0, 1, 1));
    // The unit square at the origin is the first pixel of the last memory row.
    const uchar* last = ctx.constData() + 2 * ctx.bytesPerRow();
    EXPECT_NEAR(last[0], 128, 1);  // red, premultiplied
    EXPECT_EQ(last[1], 0);
    EXPECT_EQ(last[2], 0);
    EXPECT_NEAR(last[3], 128, 1);
    EXPECT_EQ(ctx.constData()[3], 0);  // the top row stays clear
    EXPECT_EQ(ctx.makeImage().format(), Image::Format::RGBA);
}

TEST(BitmapContext, InvalidSizesMakeAnInertContext) {
    for (auto [w, h] : {std::pair{0, 5}, std::pair{5, -1}, std::pair{1 << 20, 1 << 20}}) {
        BitmapContext ctx(w, h);
        EXPECT_FALSE(ctx.isValid());
        ctx.fillRect(Rect(0, 0, 1, 1));  // ignored
        EXPECT_TRUE(ctx.makeImage().isNull());
        EXPECT_EQ(ctx.constData(), nullptr);
    }
}

TEST(BitmapContext, ImagesComeOutUpright) {
    BitmapContext ctx(4, 4);
    ctx.setInterpolationQuality(kx::InterpolationQuality::None);
    ctx.drawImage(Rect(0, 0, 4, 4), redOverBlue());
    EXPECT_EQ(kxtest::pixelAt(ctx.makeImage().qimage(), 1, 0), kRed);   // top memory row
    EXPECT_EQ(kxtest::pixelAt(ctx.makeImage().qimage(), 1, 3), kBlue);  // bottom memory row
    // Under a rotated transform the image turns with it: a quarter turn puts its top on the left.
    BitmapContext turned(4, 4);
    turned.setInterpolationQuality(kx::InterpolationQuality::None);
    turned.translate(4, 0);
    turned.rotate(std::numbers::pi / 2);
    turned.drawImage(Rect(0, 0, 4, 4), redOverBlue());
    EXPECT_EQ(at(turned, 0, 2), kRed);
    EXPECT_EQ(at(turned, 3, 2), kBlue);
}

TEST(BitmapContext, TransformsComposeLikeUserSpaceOperations) {
    BitmapContext ctx(20, 20);
    ctx.translate(10, 0);
    ctx.scale(2, 2);
    EXPECT_EQ(ctx.ctm(), kx::AffineTransform(2, 0, 0, 2, 10, 0));
    ctx.saveGState();
    ctx.concat(kx::AffineTransform::makeTranslation(1, 1));
    ctx.setFillColor(Color::srgb(0, 0, 1));
    ctx.fillRect(Rect(0, 0, 1, 1));  // device (12..14, 2..4)
    ctx.restoreGState();
    ctx.restoreGState();  // unmatched: ignored
    EXPECT_EQ(ctx.ctm(), kx::AffineTransform(2, 0, 0, 2, 10, 0));
    EXPECT_EQ(ctx.fillColor(), Color::srgb(0, 0, 0));  // the fill colour was part of the saved state
    EXPECT_EQ(memoryPixelYUp(ctx, 13, 3), kBlue);
    EXPECT_EQ(memoryPixelYUp(ctx, 11, 3), kTransparent);
}

TEST(BitmapContext, FillRules) {
    struct Case {
        kx::FillRule rule;
        Rgba centre;
    };
    for (const Case& c : {Case{kx::FillRule::Winding, kRed}, Case{kx::FillRule::EvenOdd, kTransparent}}) {
        BitmapContext ctx(10, 10);
        ctx.setFillColor(Color::srgb(1, 0, 0));
        ctx.addRect(Rect(0, 0, 10, 10));
        ctx.addRect(Rect(3, 3, 4, 4));
        ctx.fillPath(c.rule);
        EXPECT_TRUE(ctx.isPathEmpty());
        EXPECT_EQ(at(ctx, 5, 5), c.centre);
        EXPECT_EQ(at(ctx, 1, 1), kRed);
    }
}

TEST(BitmapContext, DashesAreMeasuredInUserSpace) {
    BitmapContext ctx(40, 10);
    ctx.scale(2, 2);
    ctx.setLineWidth(2);  // 4 device pixels
    ctx.setLineDash(1, {4, 2});  // device: 8 on, 4 off, starting 2 into the pattern
    ctx.setStrokeColor(Color::srgb(0, 0, 0));
    ctx.moveTo({0, 2.5});
    ctx.lineTo({20, 2.5});
    ctx.strokePath();
    // Device x: on 0..6, off 6..10, on 10..18, off 18..22, on 22..30 ...
    for (int x : {1, 5, 11, 17, 23, 29})
        EXPECT_EQ(at(ctx, x, 5).a, 255) << x;
    for (int x : {7, 9, 19, 21, 31, 33})
        EXPECT_EQ(at(ctx, x, 5).a, 0) << x;
}

// A user space scaled far down may hold strokes wider than the widest pen the painter takes (32767 units);
// they keep their width on the device, and their dashes stay measured in that width.
TEST(BitmapContext, StrokesWiderThanThePaintersLargestPenKeepTheirWidth) {
    struct Case {
        double scale;  // user units per device pixel, inverted
        double width;  // in user units: 8 device pixels
    };
    for (const Case c : {Case{1e-4, 80000}, Case{1e-5, 8e5}, Case{0.5, 16}}) {
        BitmapContext ctx(40, 20);
        ctx.scale(c.scale, c.scale);
        ctx.setLineWidth(c.width);
        ctx.setStrokeColor(Color::srgb(0, 0, 0));
        ctx.moveTo({0, 10 / c.scale});
        ctx.lineTo({40 / c.scale, 10 / c.scale});
        ctx.strokePath();
        for (int y : {7, 10, 13})
            EXPECT_EQ(at(ctx, 20, y).a, 255) << "scale " << c.scale << " y " << y;
        for (int y : {4, 16})
            EXPECT_EQ(at(ctx, 20, y).a, 0) << "scale " << c.scale << " y " << y;
    }
}

TEST(BitmapContext, DashesOfNoLengthAreDotsWithRoundOrSquareCaps) {
    auto dotted = [](kx::LineCap cap) {
        auto ctx = std::make_unique<BitmapContext>(40, 10);
        ctx->setLineWidth(4);
        ctx->setLineCap(cap);
        ctx->setLineDash(0, {0, 12});  // a dot every 12 units
        ctx->setStrokeColor(Color::srgb(0, 0, 0));
        ctx->moveTo({2, 5});
        ctx->lineTo({38, 5});
        ctx->strokePath();
        return ctx;
    };
    const auto round = dotted(kx::LineCap::Round);
    for (int x : {2, 14, 26})
        EXPECT_GT(at(*round, x, 5).a, 200) << x;  // dot centres
    for (int x : {8, 20, 32})
        EXPECT_EQ(at(*round, x, 5).a, 0) << x;  // between the dots
    const auto butt = dotted(kx::LineCap::Butt);  // a dash of no length with butt caps shows nothing
    for (int x : {2, 14, 26})
        EXPECT_EQ(at(*butt, x, 5).a, 0) << x;
}

TEST(BitmapContext, MiterJoinsAndTheirLimit) {
    // A corner of 60 degrees: its miter is twice the line width long, within the default limit of 10.
    auto drawCorner = [](double limit, kx::LineJoin join) {
        auto ctx = std::make_unique<BitmapContext>(100, 100);
        ctx->setLineWidth(10);
        ctx->setLineJoin(join);
        if (limit > 0)
            ctx->setMiterLimit(limit);
        ctx->moveTo({30, 15.36});
        ctx->lineTo({50, 50});  // vertex; arms 60 degrees apart, opening downward
        ctx->lineTo({70, 15.36});
        ctx->strokePath();
        return ctx;
    };
    // The miter tip reaches 10 units above the vertex (y = 60); a bevel stops about 4.3 above it.
    EXPECT_EQ(at(*drawCorner(0, kx::LineJoin::Miter), 50, 56).a, 255);  // default: miter, limit 10
    EXPECT_EQ(at(*drawCorner(2.1, kx::LineJoin::Miter), 50, 56).a, 255);
    EXPECT_EQ(at(*drawCorner(1.9, kx::LineJoin::Miter), 50, 56).a, 0);  // beyond the limit: bevelled
    EXPECT_EQ(at(*drawCorner(0, kx::LineJoin::Bevel), 50, 56).a, 0);
    EXPECT_EQ(at(*drawCorner(0, kx::LineJoin::Miter), 50, 61).a, 0);  // nothing beyond the tip
    // Butt caps end flush with the end points.
    BitmapContext caps(20, 10);
    caps.setLineWidth(4);
    caps.moveTo({5, 5});
    caps.lineTo({15, 5});
    caps.strokePath();
    EXPECT_EQ(at(caps, 5, 5).a, 255);
    EXPECT_EQ(at(caps, 4, 5).a, 0);
    EXPECT_EQ(at(caps, 15, 5).a, 0);
}

TEST(BitmapContext, ClipToGreyMaskScalesCoverage) {
    // A 3 x 1 grey mask (0, 128, 255) stretched over 30 x 10.
    QImage grey(3, 1, QImage::Format_Grayscale8);
    grey.scanLine(0)[0] = 0;
    grey.scanLine(0)[1] = 128;
    grey.scanLine(0)[2] = 255;
    BitmapContext ctx(40, 20);
    ctx.setInterpolationQuality(kx::InterpolationQuality::None);
    ctx.saveGState();
    ctx.clipToMask(Rect(0, 5, 30, 10), Image(grey));
    ctx.setFillColor(Color::srgb(0, 0, 1));
    ctx.fillRect(Rect(0, 0, 40, 20));
    ctx.restoreGState();
    EXPECT_EQ(at(ctx, 5, 10).a, 0);
    EXPECT_NEAR(at(ctx, 15, 10).a, 128, 1);
    EXPECT_EQ(at(ctx, 25, 10), kBlue);
    EXPECT_EQ(at(ctx, 25, 2).a, 0);   // below the mask's rectangle
    EXPECT_EQ(at(ctx, 35, 10).a, 0);  // right of it
    // The restore ended the mask.
    ctx.fillRect(Rect(0, 0, 1, 1));
    EXPECT_EQ(at(ctx, 0, 0).a, 255);
}

namespace {

// A 7 x 5 grey mask with every level of coverage in a different place.
QImage greyMaskFixture() {
    QImage grey(7, 5, QImage::Format_Grayscale8);
    for (int y = 0; y < grey.height(); ++y)
        for (int x = 0; x < grey.width(); ++x)
            grey.scanLine(y)[x] = uchar((x * 37 + y * 53) % 256);
    return grey;
}

// Expects the coverage (alpha) of every pixel of the context to be, within `tolerance`, the alpha of the grey
// mask drawn antialiased with the placement (mask pixels to device pixels) into a transparent ARGB image, and
// more than `minimumCovered` pixels to be covered.
void expectCoverageOfMaskDrawn(const BitmapContext& ctx, const QImage& grey, const QTransform& placement, bool smooth,
                               int tolerance, int minimumCovered) {
    QImage alpha(grey.size(), QImage::Format_Alpha8);
    for (int y = 0; y < grey.height(); ++y)
        std::copy_n(grey.constScanLine(y), grey.width(), alpha.scanLine(y));
    const int w = ctx.width(), h = ctx.height();
    QImage expected(w, h, QImage::Format_ARGB32_Premultiplied);
    expected.fill(Qt::transparent);
    {
        QPainter p(&expected);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
        p.setTransform(placement);
        p.drawImage(QPointF(0, 0), alpha);
    }
    int covered = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int want = qAlpha(reinterpret_cast<const QRgb*>(expected.constScanLine(y))[x]);
            const int got = ctx.constData()[std::size_t(y) * ctx.bytesPerRow() + 4 * x + 3];
            ASSERT_NEAR(got, want, tolerance) << "pixel " << x << ", " << y;
            covered += got > 0;
        }
    }
    EXPECT_GT(covered, minimumCovered);
}

}  // namespace

TEST(BitmapContext, TurnedSmoothMaskCoverageIsTheMaskDrawnWithItsPlacement) {
    // A grey mask stretched over a turned rectangle: the coverage of every pixel is the alpha of the mask
    // drawn (smoothly, antialiased) with the same placement into a transparent ARGB image.
    const QImage grey = greyMaskFixture();
    const int w = 64, h = 48;
    const double angle = 0.3;
    BitmapContext ctx(w, h);
    ctx.translate(32, 24);
    ctx.rotate(angle);
    ctx.clipToMask(Rect(-20, -15, 40, 30), Image(grey));
    ctx.setFillColor(Color::srgb(1, 1, 1));
    ctx.fillRect(Rect(-40, -40, 80, 80));

    const double c = std::cos(angle), s = std::sin(angle);
    const QTransform placement = QTransform(40.0 / 7, 0, 0, -30.0 / 5, -20, 15) * QTransform(c, s, -s, c, 32, 24) *
                                 QTransform(1, 0, 0, -1, 0, h);
    expectCoverageOfMaskDrawn(ctx, grey, placement, true, 0, 500);
}

TEST(BitmapContext, UprightMaskCoverageIsTheMaskDrawnWithItsPlacement) {
    // Masks stretched over upright rectangles on whole pixels (the page's photos and frames) take a path of
    // their own; their coverage stays that of the mask drawn with the same placement: the same pixels when
    // not smoothed, within 2 levels of Qt's own interpolation when smoothed. Flips included.
    const QImage grey = greyMaskFixture();
    struct Case {
        bool smooth;
        double flipX, flipY;
        int tolerance;
    };
    const Case cases[] = {{true, 1, 1, 2}, {true, -1, 1, 2}, {true, 1, -1, 2}, {false, 1, 1, 0}, {false, -1, -1, 0}};
    const int w = 64, h = 48;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "smooth " << c.smooth << " flips " << c.flipX << ", " << c.flipY);
        BitmapContext ctx(w, h);
        ctx.setInterpolationQuality(c.smooth ? kx::InterpolationQuality::High : kx::InterpolationQuality::None);
        ctx.translate(32, 24);
        ctx.scale(c.flipX, c.flipY);
        ctx.clipToMask(Rect(-21, -14, 42, 31), Image(grey));
        ctx.setFillColor(Color::srgb(1, 1, 1));
        ctx.fillRect(Rect(-40, -40, 80, 80));

        const QTransform placement = QTransform(42.0 / 7, 0, 0, -31.0 / 5, -21, 17) *
                                     QTransform(c.flipX, 0, 0, c.flipY, 32, 24) * QTransform(1, 0, 0, -1, 0, h);
        expectCoverageOfMaskDrawn(ctx, grey, placement, c.smooth, c.tolerance, 1000);
    }
}

TEST(BitmapContext, ClipToPathAndRect) {
    BitmapContext ctx(20, 20);
    ctx.clipToRect(Rect(0, 0, 10, 20));
    ctx.addEllipseInRect(Rect(0, 0, 20, 20));
    ctx.clip();
    ctx.fillRect(Rect(0, 0, 20, 20));
    EXPECT_EQ(at(ctx, 5, 10).a, 255);
    EXPECT_EQ(at(ctx, 15, 10).a, 0);  // outside the rectangle
    EXPECT_EQ(at(ctx, 0, 0).a, 0);    // outside the circle
    EXPECT_EQ(at(ctx, 1, 19).a, 0);
    const Rect box = ctx.clipBoundingBox();
    EXPECT_LE(box.maxX(), 11);
}

// Clips to paths anywhere (at and beyond the 32-bit pixel range, as a huge drawing places them) are safe
// and exact: a path far outside leaves nothing to draw, one that holds the bitmap leaves all of it.
TEST(BitmapContext, ClipsToPathsFarOutsideTheBitmapAreSafe) {
    const double far[] = {2147483647.0, 2147483648.0, 3e9, 1e15, 1e300};
    for (const double x : far) {
        for (const double sign : {1.0, -1.0}) {
            BitmapContext ctx(20, 20);
            ctx.addEllipseInRect(Rect(sign * x, 5, 10, 10));
            ctx.clip();
            ctx.setFillColor(Color::srgb(1, 0, 0));
            ctx.fillRect(Rect(0, 0, 20, 20));
            EXPECT_EQ(at(ctx, 10, 10).a, 0) << sign * x;
            EXPECT_TRUE(ctx.clipBoundingBox().isNull()) << sign * x;
        }
    }
    // A clip whose bounds pass the range on both sides but hold the whole bitmap keeps all of it.
    BitmapContext ctx(20, 20);
    ctx.moveTo(Point(-3e9, -3e9));
    ctx.lineTo(Point(3e9, -3e9));
    ctx.lineTo(Point(0, 3e9));
    ctx.closePath();
    ctx.clip();
    EXPECT_EQ(ctx.clipBoundingBox(), Rect(0, 0, 20, 20));
    // The mask clip's bounds are cut the same way.
    BitmapContext masked(20, 20);
    masked.clipToMask(Rect(-3e9, -3e9, 6e9, 6e9), redOverBlue());
    EXPECT_EQ(masked.clipBoundingBox(), Rect(0, 0, 20, 20));
}

TEST(BitmapContext, ShadowOffsetIgnoresTheTransform) {
    // A square drawn under a quarter turn still casts its shadow right and down in pixel space.
    BitmapContext ctx(60, 60);
    ctx.setShadow(Size(10, -10), 0, Color::srgb(0, 1, 0, 1));
    ctx.translate(30, 30);
    ctx.rotate(std::numbers::pi / 2);
    ctx.setFillColor(Color::srgb(1, 0, 0));
    ctx.fillRect(Rect(-5, -5, 10, 10));  // device 25..35 in both directions
    EXPECT_EQ(at(ctx, 30, 30), kRed);
    EXPECT_EQ(at(ctx, 38, 22), (Rgba{0, 255, 0, 255}));  // offset (+10, -10)
    EXPECT_EQ(at(ctx, 22, 38).a, 0);
    EXPECT_EQ(at(ctx, 38, 38).a, 0);
    EXPECT_EQ(at(ctx, 22, 22).a, 0);
}

TEST(BitmapContext, ShadowBlurSpreadsAndFades) {
    BitmapContext ctx(80, 40);
    ctx.setShadow(Size(40, 0), 8, Color::srgb(0, 0, 0, 1));
    ctx.fillRect(Rect(10, 10, 20, 20));
    const int inner = at(ctx, 60, 20).a, edge = at(ctx, 50, 20).a, outside = at(ctx, 47, 20).a;
    EXPECT_GT(inner, 240);
    EXPECT_GT(edge, 90);
    EXPECT_LT(edge, 165);
    EXPECT_GT(outside, 0);
    EXPECT_LT(outside, edge);
}

TEST(BitmapContext, ShadowBlurKeepsTheCastAlphaWholeAndSymmetric) {
    // A 20 x 20 square casts its shadow well clear of itself. Narrow and wide blurs (the wide one beyond the
    // range of 32-bit sums): the shadow holds the square's alpha (less the far tail the blur leaves out), is
    // mirror-symmetric about the shadow's centre, and is exactly the shadow colour where the blur has not
    // reached in from the edges.
    for (const double blur : {4.0, 40.0}) {
        SCOPED_TRACE(blur);
        const int w = 400, h = 200;
        BitmapContext ctx(w, h);
        ctx.setShadow(Size(200, 0), blur, Color::srgb(0, 0, 0, 0.5));
        ctx.fillRect(Rect(40, 90, 20, 20));
        long long mass = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 150; x < w; ++x)
                mass += ctx.constData()[std::size_t(y) * ctx.bytesPerRow() + 4 * x + 3];
        EXPECT_NEAR(double(mass), 400 * 127.5, 400 * 127.5 * 0.02);
        // The shadow's centre lies at (250, 100): between the device pixels 249 | 250 and 99 | 100.
        for (int d = 0; d < 60; d += 3) {
            for (int e = 0; e < 40; e += 7) {
                EXPECT_EQ(at(ctx, 250 + d, 100 + e).a, at(ctx, 249 - d, 100 + e).a) << d << ", " << e;
                EXPECT_EQ(at(ctx, 250 + d, 100 + e).a, at(ctx, 250 + d, 99 - e).a) << d << ", " << e;
            }
        }
    }
    BitmapContext sharp(200, 100);
    sharp.setShadow(Size(100, 0), 2, Color::srgb(0, 0, 0, 0.5));
    sharp.fillRect(Rect(20, 20, 60, 60));
    EXPECT_EQ(memoryPixelYUp(sharp, 150, 50).a, 128);  // 0.5 of 255, rounded half up, nothing lost
}

// A shadow cast ahead (on any thread) and composited later gives the very pixels drawImage gives under the
// same shadow: on whole pixels at full alpha the fast route; scaled, half-transparent or masked the fallback.
TEST(BitmapContext, ShadowCastAheadMatchesTheShadowDrawnInPlace) {
    struct Case {
        const char* name;
        double blur;
        Size offset;
        Rect clip;    // empty: none
        double scale;  // of the drawn rectangle
        double alpha;
        bool masked;
    };
    const Case cases[] = {
        {"sharp", 0, Size(7, -5), Rect(), 1, 1, false},
        {"soft", 12, Size(15, -10), Rect(), 1, 1, false},
        {"wide blur, clipped", 40, Size(-20, 30), Rect(30, 20, 150, 120), 1, 1, false},
        {"scaled", 12, Size(15, -10), Rect(), 1.5, 1, false},
        {"half transparent", 12, Size(15, -10), Rect(), 1, 0.5, false},
        {"masked", 12, Size(15, -10), Rect(), 1, 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Color color = Color::srgb(0.2, 0, 0.4, 0.6);
        // A turned, partly transparent drawing with room around it for the shadow.
        const int spread = kx::shadowSpread(c.blur);
        BitmapContext drawing(60 + 2 * spread, 40 + 2 * spread);
        drawing.translate(spread, spread);
        drawing.rotate(0.2);
        drawing.setFillColor(Color::srgb(1, 0.5, 0, 0.8));
        drawing.fillEllipseInRect(Rect(10, 0, 50, 30));
        const Image image = drawing.makeImage();
        const Image shadow = kx::castShadow(image, c.blur, color);
        ASSERT_FALSE(shadow.isNull());
        const Rect place(40, 50, image.width() * c.scale, image.height() * c.scale);
        Image results[3];  // in place, cast ahead, without shadow
        for (int ahead = 0; ahead < 3; ++ahead) {
            BitmapContext ctx(260, 220);
            ctx.setFillColor(Color::srgb(0.1, 0.7, 0.3, 1));
            ctx.fillRect(Rect(0, 0, 130, 220));
            if (!c.clip.isEmpty())
                ctx.clipToRect(c.clip);
            if (c.masked) {
                QImage mask(4, 4, QImage::Format_Grayscale8);
                mask.fill(180);
                ctx.clipToMask(Rect(0, 0, 260, 220), Image(std::move(mask)));
            }
            ctx.setAlpha(c.alpha);
            if (ahead < 2)
                ctx.setShadow(c.offset, c.blur, color);
            if (ahead == 1)
                ctx.drawImageWithCastShadow(place, image, shadow);
            else
                ctx.drawImage(place, image);
            results[ahead] = ctx.makeImage();
        }
        EXPECT_EQ(results[0].qimage(), results[1].qimage());
        EXPECT_NE(results[0].qimage(), results[2].qimage());
    }
}

// A shadowed image drawn under a small clip gives, inside the clip, the very pixels of the same image drawn
// under no clip, and leaves the rest alone: also when the image lies wholly outside the bitmap and only its
// shadow is thrown in, and when the clip meets only the image or only its shadow.
TEST(BitmapContext, ShadowDrawnUnderAClipMatchesTheSameAreaDrawnWhole) {
    struct Case {
        const char* name;
        double blur;
        Size offset;
        Rect place;  // of the image, user space
        Rect clip;
        bool masked;
    };
    const Case cases[] = {
        {"clip across the shadow's edge", 12, Size(15, -10), Rect(40, 50, 80, 60), Rect(110, 20, 50, 50), false},
        {"clip over the image only", 6, Size(60, 0), Rect(40, 50, 80, 60), Rect(50, 60, 20, 20), false},
        {"clip over the shadow only", 6, Size(120, 0), Rect(10, 50, 80, 60), Rect(150, 60, 30, 30), false},
        {"image outside, shadow thrown in", 4, Size(500, 0), Rect(-420, 40, 100, 120), Rect(60, 30, 60, 80), false},
        {"image outside, whole bitmap", 4, Size(500, 0), Rect(-420, 40, 100, 120), Rect(0, 0, 260, 220), false},
        {"masked", 10, Size(-12, 8), Rect(60, 40, 90, 70), Rect(40, 30, 70, 90), true},
    };
    // A partly transparent, turned drawing.
    BitmapContext drawing(70, 50);
    drawing.translate(5, 5);
    drawing.rotate(0.2);
    drawing.setFillColor(Color::srgb(1, 0.5, 0, 0.8));
    drawing.fillEllipseInRect(Rect(10, 0, 50, 30));
    const Image image = drawing.makeImage();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Image results[2];  // drawn whole, drawn under the clip
        for (int clipped = 0; clipped < 2; ++clipped) {
            BitmapContext ctx(260, 220);
            ctx.setFillColor(Color::srgb(0.1, 0.7, 0.3, 1));
            ctx.fillRect(Rect(0, 0, 130, 220));
            const Image background = ctx.makeImage();
            if (c.masked) {
                QImage mask(4, 4, QImage::Format_Grayscale8);
                mask.fill(180);
                ctx.clipToMask(Rect(0, 0, 260, 220), Image(std::move(mask)));
            }
            if (clipped)
                ctx.clipToRect(c.clip);
            ctx.setShadow(c.offset, c.blur, Color::srgb(0.2, 0, 0.4, 0.6));
            ctx.drawImage(c.place, image);
            results[clipped] = ctx.makeImage();
            if (!clipped)
                EXPECT_NE(results[0].qimage(), background.qimage());  // something of the drawing shows
        }
        // The clip in memory rows (y down) and the whole image with that area taken from the clipped drawing.
        const QRect clipPixels(int(c.clip.minX()), 220 - int(c.clip.maxY()), int(c.clip.size.width),
                               int(c.clip.size.height));
        EXPECT_EQ(results[1].qimage().copy(clipPixels), results[0].qimage().copy(clipPixels));
        EXPECT_NE(results[1].qimage().copy(clipPixels), QImage());
    }
}

TEST(BitmapContext, TransparencyLayerBlendsOnce) {
    BitmapContext ctx(30, 10);
    ctx.setAlpha(0.5);
    ctx.beginTransparencyLayer();
    EXPECT_EQ(ctx.alpha(), 1.0);
    ctx.setFillColor(Color::srgb(0, 0, 1));
    ctx.fillRect(Rect(0, 0, 20, 10));
    ctx.fillRect(Rect(10, 0, 20, 10));
    ctx.endTransparencyLayer();
    EXPECT_EQ(ctx.alpha(), 0.5);
    EXPECT_NEAR(at(ctx, 5, 5).a, 128, 1);
    EXPECT_NEAR(at(ctx, 15, 5).a, 128, 1);  // the overlap is not darker
    // Without the layer the overlap composites twice.
    BitmapContext plain(30, 10);
    plain.setAlpha(0.5);
    plain.fillRect(Rect(0, 0, 20, 10));
    plain.fillRect(Rect(10, 0, 20, 10));
    EXPECT_NEAR(at(plain, 15, 5).a, 191, 1);
}

TEST(BitmapContext, TransparencyLayerCastsOneShadow) {
    BitmapContext ctx(40, 20);
    ctx.setShadow(Size(0, -5), 0, Color::srgb(0, 0, 0, 0.5));
    ctx.beginTransparencyLayer();
    ctx.setFillColor(Color::srgb(1, 1, 1));
    ctx.fillRect(Rect(0, 10, 20, 10));
    ctx.fillRect(Rect(10, 10, 20, 10));
    ctx.endTransparencyLayer();
    // Below the shapes the shadow has one uniform alpha, also under the overlap.
    EXPECT_NEAR(at(ctx, 5, 7).a, 128, 1);
    EXPECT_NEAR(at(ctx, 15, 7).a, 128, 1);
}

TEST(BitmapContext, LinearGradientExtendsOnlyWhenAsked) {
    const kx::Gradient gradient({Color::srgb(1, 0, 0), Color::srgb(0, 0, 1)}, {0, 1});
    struct Case {
        unsigned options;
        int beforeAlpha, afterAlpha;
    };
    const Case cases[] = {{0, 0, 0},
                          {kx::GradientDrawsBeforeStart, 255, 0},
                          {kx::GradientDrawsAfterEnd, 0, 255},
                          {kx::GradientDrawsBeforeStart | kx::GradientDrawsAfterEnd, 255, 255}};
    for (const Case& c : cases) {
        BitmapContext ctx(100, 4);
        ctx.drawLinearGradient(gradient, Point(20, 0), Point(80, 0), c.options);
        EXPECT_EQ(at(ctx, 5, 1).a, c.beforeAlpha) << c.options;
        EXPECT_EQ(at(ctx, 95, 1).a, c.afterAlpha) << c.options;
        EXPECT_TRUE(kxtest::colorNear(at(ctx, 50, 1), Rgba{127, 0, 127, 255}, 3)) << at(ctx, 50, 1);
        if (c.beforeAlpha) {
            EXPECT_EQ(at(ctx, 5, 1), kRed);
        }
        if (c.afterAlpha) {
            EXPECT_EQ(at(ctx, 95, 1), kBlue);
        }
    }
}

TEST(BitmapContext, GradientInterpolatesUnpremultipliedColour) {
    // From opaque red to transparent red: the colour stays red all along, only alpha falls.
    BitmapContext ctx(100, 2);
    ctx.drawLinearGradient(kx::Gradient({Color::srgb(1, 0, 0, 1), Color::srgb(1, 0, 0, 0)}), Point(0, 0),
                           Point(100, 0), 0);
    const Rgba mid = at(ctx, 50, 0);
    EXPECT_NEAR(mid.a, 127, 3);
    EXPECT_NEAR(mid.r, 255, 2);
}

TEST(BitmapContext, RadialGradientFromCentre) {
    const kx::Gradient gradient({Color::srgb(1, 0, 0), Color::srgb(0, 0, 1)});
    BitmapContext ctx(100, 100);
    ctx.drawRadialGradient(gradient, Point(50, 50), 10, Point(50, 50), 40, kx::GradientDrawsAfterEnd);
    EXPECT_EQ(at(ctx, 50, 50).a, 0);  // inside the start circle, not extended
    // The pixel centre (75.5, 50.5) lies 25.5 from the centre: t = 15.5 / 30.
    EXPECT_TRUE(kxtest::colorNear(at(ctx, 75, 50), Rgba{123, 0, 132, 255}, 2)) << at(ctx, 75, 50);
    EXPECT_EQ(at(ctx, 2, 2), kBlue);  // beyond the end circle, extended
    BitmapContext both(100, 100);
    both.drawRadialGradient(gradient, Point(50, 50), 10, Point(50, 50), 40,
                            kx::GradientDrawsBeforeStart | kx::GradientDrawsAfterEnd);
    EXPECT_EQ(at(both, 50, 50), kRed);
}

TEST(BitmapContext, ClearRectRespectsTheClip) {
    BitmapContext ctx(10, 10);
    ctx.fillRect(Rect(0, 0, 10, 10));
    ctx.clipToRect(Rect(0, 0, 5, 10));
    ctx.setAlpha(0.3);  // ignored by clearing
    ctx.clearRect(Rect(0, 0, 10, 10));
    EXPECT_EQ(at(ctx, 2, 5).a, 0);
    EXPECT_EQ(at(ctx, 7, 5).a, 255);
}

TEST(BitmapContext, AntialiasingSwitch) {
    for (bool on : {true, false}) {
        BitmapContext ctx(10, 10);
        ctx.setShouldAntialias(on);
        ctx.fillRect(Rect(2.5, 2.5, 5, 5));
        const int edge = at(ctx, 2, 5).a;
        EXPECT_EQ(edge > 0 && edge < 255, on) << edge;
    }
}

TEST(BitmapContext, MakeImageIsASnapshot) {
    BitmapContext ctx(4, 4);
    const Image before = ctx.makeImage();
    ctx.fillRect(Rect(0, 0, 4, 4));
    EXPECT_EQ(kxtest::pixelAt(before.qimage(), 1, 1).a, 0);
    EXPECT_EQ(kxtest::pixelAt(ctx.makeImage().qimage(), 1, 1).a, 255);
}

TEST(BitmapContext, GreyContextStartsBlackAndDrawsLuminance) {
    BitmapContext ctx(6, 2, BitmapContext::Kind::Gray);
    ASSERT_TRUE(ctx.isValid());
    QImage rgba(3, 1, QImage::Format_RGBA8888);
    rgba.setPixelColor(0, 0, QColor(255, 255, 255));
    rgba.setPixelColor(1, 0, QColor(255, 255, 255, 0));  // transparent: stays black
    rgba.setPixelColor(2, 0, QColor(128, 128, 128));
    ctx.setInterpolationQuality(kx::InterpolationQuality::None);
    ctx.drawImage(Rect(0, 0, 6, 2), Image(rgba));
    const Image image = ctx.makeImage();
    EXPECT_TRUE(image.isGray());
    EXPECT_EQ(image.constBits()[0], 255);
    EXPECT_EQ(image.constBits()[2], 0);
    EXPECT_NEAR(image.constBits()[4], 128, 1);
}

TEST(BitmapContext, AlphaOnlyContextKeepsCoverage) {
    BitmapContext ctx(5, 4, BitmapContext::Kind::AlphaOnly);
    ctx.translate(0, 4);
    ctx.scale(1, -1);  // rows follow y
    ctx.setAlpha(0.2);
    ctx.setFillColor(Color::srgb(1, 1, 1));
    ctx.fillRect(Rect(0, 0, 5, 1));
    EXPECT_EQ(ctx.data()[0], 51);  // row 0 holds y = 0
    EXPECT_EQ(ctx.data()[ctx.bytesPerRow() * 3], 0);
    EXPECT_EQ(ctx.makeImage().format(), Image::Format::Alpha);
}

TEST(BitmapContext, QuadraticAndArcPathsFill) {
    BitmapContext ctx(40, 40);
    ctx.moveTo({20, 20});
    ctx.addArc({20, 20}, 15, 0, std::numbers::pi / 2, false);  // quarter disc, upper right
    ctx.closePath();
    ctx.fillPath();
    EXPECT_EQ(at(ctx, 25, 25).a, 255);
    EXPECT_EQ(at(ctx, 15, 25).a, 0);
    EXPECT_EQ(at(ctx, 25, 15).a, 0);

    BitmapContext quad(40, 40);
    quad.moveTo({0, 0});
    quad.quadTo({20, 40}, {40, 0});  // apex at y = 20
    quad.closePath();
    quad.fillPath();
    EXPECT_EQ(at(quad, 20, 17).a, 255);
    EXPECT_EQ(at(quad, 20, 23).a, 0);
}

TEST(BitmapContext, DrawWithPainterUsesTheUserSpace) {
    BitmapContext ctx(10, 10);
    ctx.setShadow(Size(3, 0), 0, Color::srgb(0, 0, 1));
    ctx.drawWithPainter([](QPainter& p) { p.fillRect(QRectF(0, 0, 2, 2), Qt::red); });
    EXPECT_EQ(at(ctx, 1, 1), kRed);
    EXPECT_EQ(at(ctx, 4, 1), kBlue);
    EXPECT_EQ(at(ctx, 1, 8).a, 0);
}

TEST(BitmapContext, TiledImagesRepeatUprightFromTheTileOrigin) {
    BitmapContext ctx(8, 8);
    ctx.setInterpolationQuality(kx::InterpolationQuality::None);
    ctx.drawTiledImage(Rect(2, 2, 4, 4), redOverBlue());
    // Tiles cover the whole clip area, each with red on top: rows y 2..3 blue, 4..5 red, and so on.
    for (int x : {0, 3, 7}) {
        EXPECT_EQ(at(ctx, x, 0), kRed) << x;   // tile from y = -2 to 2: its top half
        EXPECT_EQ(at(ctx, x, 2), kBlue) << x;
        EXPECT_EQ(at(ctx, x, 5), kRed) << x;
        EXPECT_EQ(at(ctx, x, 6), kBlue) << x;
    }
}
