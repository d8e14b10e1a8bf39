#include "graphics/image_loading.h"
#include "graphics/svg_image.h"
#include "platform/foundation/bundle.h"
#include "platform/gfx/bitmap_context.h"

#include "support/outside_tools.h"
#include "support/pixel_probe.h"
#include "support/qt_message_check.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

using kxtest::pixelAt;
using kxtest::Rgba;

namespace {

QByteArray document(const QByteArray& body, const QByteArray& viewBox = "0 0 100 50") {
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"" + viewBox + "\">" + body + "</svg>";
}

// Draws the picture stretched over a fresh context of the given size; row 0 of the result is the top.
QImage render(const KXSVGImage& picture, int width, int height) {
    kx::BitmapContext context(width, height);
    picture.drawInRect(context, kx::Rect(0, 0, width, height));
    return context.makeImage().qimage();
}

QImage render(const QByteArray& data, int width, int height) {
    return render(*KXSVGImage::imageWithSVGData(data), width, height);
}

const Rgba kTransparent{0, 0, 0, 0};
const Rgba kRed{255, 0, 0, 255};
const Rgba kBlue{0, 0, 255, 255};

}  // namespace

TEST(SVGImage, SizeAndScaleComeFromTheViewBox) {
    kxtest::ExpectedQtWarning truncated(QStringLiteral("^parserError: Premature end of document"));
    const auto picture = KXSVGImage::imageWithSVGData(document("<rect width=\"1\" height=\"1\"/>"));
    EXPECT_EQ(picture->size(), kx::Size(100, 50));
    EXPECT_EQ(picture->scale(), 1);
    EXPECT_EQ(picture->styledPaths().size(), 1u);
    const auto broken = KXSVGImage::imageWithSVGData("<svg><rect width=\"1\"");
    ASSERT_TRUE(broken);
    EXPECT_EQ(broken->size(), kx::Size(0, 0));
}

TEST(SVGImage, DrawnInARectangleAtTwiceItsSizeRightSideUp) {
    // A red square at the file's top-left corner and a blue one at its bottom-right.
    const QImage image = render(document("<rect x=\"0\" y=\"0\" width=\"10\" height=\"10\" fill=\"#ff0000\"/>"
                                         "<rect x=\"90\" y=\"40\" width=\"10\" height=\"10\" fill=\"#0000ff\"/>"),
                                200, 100);
    EXPECT_COLOR_NEAR(pixelAt(image, 1, 1), kRed, 0);
    EXPECT_COLOR_NEAR(pixelAt(image, 18, 18), kRed, 0);
    EXPECT_COLOR_NEAR(pixelAt(image, 21, 21), kTransparent, 0);
    EXPECT_COLOR_NEAR(pixelAt(image, 198, 98), kBlue, 0);
    EXPECT_COLOR_NEAR(pixelAt(image, 181, 81), kBlue, 0);
    EXPECT_COLOR_NEAR(pixelAt(image, 178, 78), kTransparent, 0);
}

TEST(SVGImage, ViewBoxOriginIsNotApplied) {
    const QImage image =
        render(document("<rect x=\"10\" y=\"10\" width=\"10\" height=\"10\" fill=\"#ff0000\"/>", "10 10 100 50"), 100, 50);
    EXPECT_COLOR_NEAR(pixelAt(image, 5, 5), kTransparent, 0);
    EXPECT_COLOR_NEAR(pixelAt(image, 15, 15), kRed, 0);
}

TEST(SVGImage, OpacityAppliesToFillAndStrokeAndZeroWidthIsNotStroked) {
    const QImage image = render(
        document("<rect x=\"20\" y=\"10\" width=\"60\" height=\"30\" fill=\"#ff0000\" stroke=\"#0000ff\""
                 " stroke-width=\"6\" opacity=\"0.5\"/>"
                 "<rect x=\"2\" y=\"2\" width=\"10\" height=\"10\" fill=\"none\" stroke=\"#0000ff\" stroke-width=\"0\"/>"),
        100, 50);
    EXPECT_COLOR_NEAR(pixelAt(image, 50, 25), (Rgba{255, 0, 0, 128}), 2);  // fill alone
    EXPECT_COLOR_NEAR(pixelAt(image, 50, 8), (Rgba{0, 0, 255, 128}), 2);   // stroke outside the fill
    // Where the stroke lies over the fill, the two half-transparent layers add up.
    const Rgba overlap = pixelAt(image, 50, 12);
    EXPECT_NEAR(overlap.a, 191, 2);
    EXPECT_COLOR_NEAR(pixelAt(image, 2, 7), kTransparent, 0);
}

TEST(SVGImage, RadialGradientFillsTheWholeShape) {
    const QImage image = render(
        document("<radialGradient id=\"g\" cx=\"50\" cy=\"25\" r=\"20\">"
                 "<stop offset=\"0\" style=\"stop-color:#ff0000\"/><stop offset=\"1\" style=\"stop-color:#0000ff\"/>"
                 "</radialGradient><rect x=\"0\" y=\"0\" width=\"100\" height=\"50\" fill=\"url(#g)\"/>"),
        100, 50);
    EXPECT_COLOR_NEAR(pixelAt(image, 50, 25), kRed, 12);
    EXPECT_COLOR_NEAR(pixelAt(image, 50, 46), kBlue, 12);  // just beyond the radius
    EXPECT_COLOR_NEAR(pixelAt(image, 2, 2), kBlue, 0);      // far beyond: the end colour extends
    const Rgba middle = pixelAt(image, 60, 25);             // half the radius
    EXPECT_NEAR(middle.r, 128, 16);
    EXPECT_NEAR(middle.b, 128, 16);
}

TEST(SVGImage, GradientFillIsDrawnOverTheBlackFill) {
    const QImage image = render(
        document("<linearGradient id=\"g\" x1=\"0\" y1=\"0\" x2=\"100\" y2=\"0\">"
                 "<stop offset=\"0\" style=\"stop-color:#ff0000;stop-opacity:0.5\"/>"
                 "<stop offset=\"1\" style=\"stop-color:#ff0000;stop-opacity:0.5\"/>"
                 "</linearGradient><rect x=\"0\" y=\"0\" width=\"100\" height=\"50\" fill=\"url(#g)\"/>"),
        100, 50);
    EXPECT_COLOR_NEAR(pixelAt(image, 50, 25), (Rgba{128, 0, 0, 255}), 2);
}

// Gradient fills clip to their shape; shapes whose pixel bounds pass the 32-bit range draw safely: one far
// off the picture leaves it untouched, one around the whole picture fills it.
TEST(SVGImage, GradientShapesBeyondThe32BitPixelRangeDrawSafely) {
    const QByteArray gradient = "<linearGradient id=\"g\" x1=\"0\" y1=\"0\" x2=\"100\" y2=\"0\">"
                                "<stop offset=\"0\" style=\"stop-color:#ff0000\"/>"
                                "<stop offset=\"1\" style=\"stop-color:#ff0000\"/></linearGradient>";
    const QImage away = render(document(gradient + "<rect x=\"65000000\" y=\"0\" width=\"9\" height=\"9\" "
                                                   "fill=\"url(#g)\"/>"),
                               100, 50);
    EXPECT_EQ(pixelAt(away, 50, 25), kTransparent);
    const QImage around = render(document(gradient + "<rect x=\"-3e9\" y=\"-3e9\" width=\"6e9\" height=\"6e9\" "
                                                     "fill=\"url(#g)\"/>"),
                                 100, 50);
    EXPECT_COLOR_NEAR(pixelAt(around, 50, 25), kRed, 2);
    // A drawing of a thousand million points a side, loaded as an image, comes out fitted and filled.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile file(dir.filePath("huge.svg"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"1e9\" height=\"1e9\" viewBox=\"0 0 1e9 1e9\">" +
               gradient + "<rect x=\"-1e16\" y=\"-1e16\" width=\"2e16\" height=\"2e16\" fill=\"url(#g)\"/></svg>");
    file.close();
    const kx::Image image = loadImageFromFile(file.fileName());
    ASSERT_FALSE(image.isNull());
    EXPECT_COLOR_NEAR(pixelAt(image.qimage(), image.width() / 2, image.height() / 2), kRed, 2);
}

TEST(SVGImage, OddGradientStopsStillDraw) {
    // Offsets outside 0..1, out of order, and a stop without a colour.
    const QImage image = render(
        document("<linearGradient id=\"g\" x1=\"0\" y1=\"0\" x2=\"100\" y2=\"0\">"
                 "<stop offset=\"50%\" style=\"stop-color:#0000ff\"/>"
                 "<stop offset=\"-3\" style=\"stop-color:#ff0000\"/>"
                 "<stop offset=\"0.5\"/>"
                 "</linearGradient><rect x=\"0\" y=\"0\" width=\"100\" height=\"50\" fill=\"url(#g)\"/>"),
        100, 50);
    // "50%" reads 50 and is kept at 1; the later stop at -3 cannot go back before it, so the first
    // stop's colour covers the shape.
    EXPECT_COLOR_NEAR(pixelAt(image, 2, 25), kBlue, 2);
    EXPECT_COLOR_NEAR(pixelAt(image, 98, 25), kBlue, 2);
    EXPECT_EQ(pixelAt(image, 50, 25).a, 255);
}

TEST(SVGImage, ImageHasThePictureSizeAndIsUpright) {
    const auto picture = KXSVGImage::imageWithSVGData(
        document("<rect x=\"0\" y=\"0\" width=\"10\" height=\"5\" fill=\"#ff0000\"/>"));
    const kx::Image image = picture->image();
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), 100);
    EXPECT_EQ(image.height(), 50);
    EXPECT_EQ(image.pointSize(), kx::Size(100, 50));
    EXPECT_COLOR_NEAR(pixelAt(image.qimage(), 1, 1), kRed, 0);
    EXPECT_COLOR_NEAR(pixelAt(image.qimage(), 1, 48), kTransparent, 0);

    picture->setScale(2);
    const kx::Image doubled = picture->image();
    EXPECT_EQ(doubled.width(), 200);
    EXPECT_COLOR_NEAR(pixelAt(doubled.qimage(), 18, 8), kRed, 0);
}

TEST(SVGImage, DrawAtPointUsesThePictureSize) {
    const auto picture =
        KXSVGImage::imageWithSVGData(document("<rect x=\"0\" y=\"0\" width=\"10\" height=\"10\" fill=\"#ff0000\"/>"));
    kx::BitmapContext context(200, 100);
    picture->drawAtPoint(context, kx::Point(50, 10));  // y up: the picture spans y 10..60
    const QImage image = context.makeImage().qimage();
    EXPECT_COLOR_NEAR(pixelAt(image, 55, 100 - 60 + 5), kRed, 0);
    EXPECT_COLOR_NEAR(pixelAt(image, 45, 100 - 60 + 5), kTransparent, 0);
}

TEST(SVGImage, DegenerateSizesDrawNothing) {
    struct Case {
        const char* viewBox;
        kx::Rect rect;
    };
    const Case cases[] = {{"0 0 0 50", kx::Rect(0, 0, 100, 50)},
                          {"0 0 100 0", kx::Rect(0, 0, 100, 50)},
                          {"0 0 100 50", kx::Rect(0, 0, 0, 50)},
                          {"0 0 100 50", kx::Rect(0, 0, std::nan(""), 50)}};
    for (const Case& c : cases) {
        const auto picture = KXSVGImage::imageWithSVGData(
            document("<rect x=\"0\" y=\"0\" width=\"100\" height=\"50\" fill=\"#ff0000\"/>", c.viewBox));
        kx::BitmapContext context(100, 50);
        picture->drawInRect(context, c.rect);
        EXPECT_COLOR_NEAR(pixelAt(context.makeImage().qimage(), 50, 25), kTransparent, 0) << c.viewBox;
    }
    EXPECT_TRUE(KXSVGImage::imageWithSVGData(document("", "0 0 0 0"))->image().isNull());
}

TEST(SVGImage, NamedImageComesFromTheResourceFolder) {
    QTemporaryDir dir;
    QFile file(dir.filePath("star.svg"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(document("<rect width=\"1\" height=\"1\"/>", "0 0 7 9"));
    file.close();
    kx::Bundle::setMainResourcePath(dir.path());
    const auto picture = KXSVGImage::imageNamed("star");
    const auto missing = KXSVGImage::imageNamed("nothing");
    kx::Bundle::setMainResourcePath(QString());
    EXPECT_EQ(picture->size(), kx::Size(7, 9));
    EXPECT_EQ(picture->styledPaths().size(), 1u);
    ASSERT_TRUE(missing);
    EXPECT_TRUE(missing->styledPaths().empty());
}

// ---- robustness --------------------------------------------------------------------------------

TEST(SVGImageRobustness, HostileDocumentsGiveEmptyOrPartialPictures) {
    QByteArray laughs = "<?xml version=\"1.0\"?><!DOCTYPE svg [<!ENTITY a \"aaaaaaaaaa\">";
    for (char c = 'b'; c <= 'j'; ++c) {
        const QByteArray prev = QByteArray("&") + char(c - 1) + ";";
        laughs += QByteArray("<!ENTITY ") + c + " \"" + prev.repeated(10) + "\">";
    }
    laughs += "]><svg viewBox=\"0 0 10 10\"><rect width=\"5\" height=\"5\"/><text>&j;</text></svg>";
    struct Case {
        const char* name;
        QByteArray data;
        size_t maxPaths;
        bool xmlError;  // the reader stops with a logged parser error
    };
    const Case cases[] = {
        {"billion laughs", laughs, 1, true},
        {"truncated commands", document("<path d=\"M10 10 C20 20 30\"/><path d=\"M5 5 L\"/><path d=\"z l h\"/>"), 3, false},
        {"malformed numbers", document("<path d=\"M1e99999 -- L.e5 1.2.3 C- - - S++\" stroke=\"#000000\""
                                       " stroke-width=\"1e999\" opacity=\"--1\"/>"), 1, false},
        {"huge coordinates", document("<path d=\"M-3e38 -3e38 L3e38 3e38 L-3e38 3e38 Z\" stroke=\"#000000\""
                                      " stroke-width=\"3e38\" stroke-dasharray=\"1e-30,1e-30\"/>"), 1, false},
        {"tiny dashes on a long line", document("<line x1=\"0\" y1=\"0\" x2=\"1e9\" y2=\"1e9\" stroke=\"#000000\""
                                                " stroke-dasharray=\"0.001,0.001\"/>"), 1, false},
        {"huge viewBox", document("<rect width=\"1e30\" height=\"1e30\"/>", "0 0 1e300 1e300"), 1, false},
        {"singular transform", document("<rect width=\"10\" height=\"10\" transform=\"matrix(0 0 0 0 0 0)\"/>"), 1, false},
        {"not xml", QByteArray("\x00\xff\xfe<svg", 8), 0, true},
    };
    for (const Case& c : cases) {
        kxtest::ExpectedQtWarning parserError(QStringLiteral("^parserError: "), c.xmlError ? 1 : 0);
        const auto picture = KXSVGImage::imageWithSVGData(c.data);
        EXPECT_LE(picture->styledPaths().size(), c.maxPaths) << c.name;
        render(*picture, 64, 64);
        const kx::Image image = picture->image();
        if (picture->size().width * picture->size().height > double(kx::Image::maximumPixelCount)) {
            EXPECT_TRUE(image.isNull()) << c.name;
        }
        if (!c.xmlError)
            EXPECT_EQ(parserError.count(), 0) << c.name;
    }
}

// ---- reference renders ------------------------------------------------------------------------

namespace {

// Compares premultiplied pixels. Pixels whose 3x3 neighbourhood in the reference is flat must match
// within `flatTolerance`; the rest (anti-aliased edges, which two rasterisers cover differently) only
// count when they differ by more than `edgeTolerance`, and at most `edgeFraction` of them may.
::testing::AssertionResult matchesReference(const QImage& actual, const QImage& reference, int flatTolerance,
                                            int edgeTolerance, double edgeFraction) {
    if (actual.size() != reference.size())
        return ::testing::AssertionFailure() << "sizes differ";
    const QImage a = actual.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    const QImage r = reference.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    const int w = a.width(), h = a.height();
    const auto channel = [](const QImage& img, int x, int y, int c) { return int(img.constScanLine(y)[x * 4 + c]); };
    int flatFailures = 0, edgeFailures = 0, edgePixels = 0;
    QString firstFailure;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            int spread = 0, diff = 0;
            for (int c = 0; c < 4; ++c) {
                int lo = 255, hi = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int v = channel(r, std::clamp(x + dx, 0, w - 1), std::clamp(y + dy, 0, h - 1), c);
                        lo = std::min(lo, v);
                        hi = std::max(hi, v);
                    }
                spread = std::max(spread, hi - lo);
                diff = std::max(diff, std::abs(channel(a, x, y, c) - channel(r, x, y, c)));
            }
            if (spread <= 12) {
                if (diff > flatTolerance) {
                    if (flatFailures++ == 0)
                        firstFailure = QStringLiteral("(%1, %2) differs by %3").arg(x).arg(y).arg(diff);
                }
            } else {
                ++edgePixels;
                if (diff > edgeTolerance)
                    ++edgeFailures;
            }
        }
    }
    if (flatFailures > 0)
        return ::testing::AssertionFailure() << flatFailures << " flat pixels differ, first " << firstFailure.toStdString();
    if (edgePixels > 0 && double(edgeFailures) / edgePixels > edgeFraction)
        return ::testing::AssertionFailure() << edgeFailures << " of " << edgePixels << " edge pixels differ";
    return ::testing::AssertionSuccess();
}

}  // namespace

class SVGReferenceRender : public ::testing::TestWithParam<const char*> {};

TEST_P(SVGReferenceRender, MatchesIndependentRenderer) {
    KX_REQUIRE_TOOLS("rsvg-convert");
    const QString tool = kxtest::toolPath("rsvg-convert");
    const QString file = QStringLiteral(KX_FIXTURES_DIR "/svg/") + GetParam();
    QTemporaryDir dir;
    const QString out = dir.filePath("reference.png");
    QProcess process;
    process.start(tool, {"-w", "120", "-h", "120", file, "-o", out});
    ASSERT_TRUE(process.waitForFinished(30000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    const QImage reference(out);
    ASSERT_FALSE(reference.isNull());

    const auto picture = KXSVGImage::imageWithContentsOfFile(file);
    ASSERT_EQ(picture->size(), kx::Size(120, 120));
    const QImage ours = render(*picture, 120, 120);
    EXPECT_TRUE(matchesReference(ours, reference, 6, 64, 0.02)) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Fixtures, SVGReferenceRender,
                         ::testing::Values("winding.svg", "caps_joins.svg", "dashes.svg", "gradients.svg",
                                           "shapes.svg"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             return name.substr(0, name.find('.'));
                         });
