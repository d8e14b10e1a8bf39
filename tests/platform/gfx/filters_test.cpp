#include "platform/gfx/filters.h"

#include "support/outside_tools.h"
#include "support/pixel_probe.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace kx;
using kxtest::pixelAt;
using kxtest::Rgba;

namespace {

QImage filled(int w, int h, QColor color) {
    QImage image(w, h, QImage::Format_RGBA8888);
    image.fill(color);
    return image;
}

// A smooth, colourful opaque test picture: every channel varies, none is constant.
QImage colourfulImage(int w, int h) {
    QImage image(w, h, QImage::Format_RGBA8888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixelColor(x, y, QColor((x * 255) / (w - 1), (y * 255) / (h - 1), ((x + y) * 97) % 256));
    return image;
}

Rgba apply1(const QString& name, QColor color, const std::map<QString, Value>& inputs) {
    const Image out = applyFilter(name, Image(filled(1, 1, color)), inputs);
    return out.isNull() ? Rgba{-1, -1, -1, -1} : pixelAt(out.qimage(), 0, 0);
}

}  // namespace

TEST(Filter, KnowsEachNameWithItsInputsAndDefaults) {
    struct Case {
        const char* name;
        QStringList keys;
        std::vector<double> defaults;
    } cases[] = {
        {"CIExposureAdjust", {"inputEV"}, {0.5}},
        {"CIColorControls", {"inputSaturation", "inputBrightness", "inputContrast"}, {1, 0, 1}},
        {"CIHueAdjust", {"inputAngle"}, {0}},
        {"CIGammaAdjust", {"inputPower"}, {0.75}},
        {"CISepiaTone", {"inputIntensity"}, {1}},
        {"CIColorPosterize", {"inputLevels"}, {6}},
        {"CIBloom", {"inputRadius", "inputIntensity"}, {10, 0.5}},
        {"CIBoxBlur", {"inputRadius"}, {10}},
        {"CIGaussianBlur", {"inputRadius"}, {10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FilterPtr f = Filter::filterWithName(c.name);
        ASSERT_TRUE(f);
        EXPECT_EQ(f->name(), c.name);
        EXPECT_EQ(f->inputKeys(), c.keys);
        for (int i = 0; i < c.keys.size(); ++i)
            EXPECT_DOUBLE_EQ(f->valueForKey(c.keys[i]).toDouble(), c.defaults[size_t(i)]);
    }
    FilterPtr matrix = Filter::filterWithName("CIColorMatrix");
    ASSERT_TRUE(matrix);
    EXPECT_EQ(matrix->inputKeys(),
              QStringList({"inputRVector", "inputGVector", "inputBVector", "inputAVector", "inputBiasVector"}));
    EXPECT_EQ(Filter::filterNames().size(), 10);
    EXPECT_FALSE(Filter::filterWithName("CIUnknown"));
    EXPECT_FALSE(Filter::filterWithName("cibloom"));
}

TEST(Filter, NeutralInputsLeaveOpaquePixelsAlone) {
    const QImage source = colourfulImage(16, 12);
    struct Case {
        const char* name;
        std::map<QString, Value> inputs;
    } cases[] = {
        {"CIColorMatrix", {}},
        {"CIExposureAdjust", {{"inputEV", 0.0}}},
        {"CIColorControls", {}},
        {"CIHueAdjust", {}},
        {"CIGammaAdjust", {{"inputPower", 1.0}}},
        {"CISepiaTone", {{"inputIntensity", 0.0}}},
        {"CIColorPosterize", {{"inputLevels", 256.0}}},
        {"CIBloom", {{"inputIntensity", 0.0}}},
        {"CIBoxBlur", {{"inputRadius", 0.0}}},
        {"CIGaussianBlur", {{"inputRadius", 0.0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Image out = applyFilter(c.name, Image(source), c.inputs);
        ASSERT_FALSE(out.isNull());
        EXPECT_LE(kxtest::maxChannelDifference(out.qimage(), source), 1);
    }
}

TEST(Filter, ColourFormulasGiveTheirDocumentedValues) {
    struct Case {
        const char* name;
        std::map<QString, Value> inputs;
        QColor in;
        Rgba expected;
    } cases[] = {
        // sRGB 128 is 0.2158 in linear light; doubled, 0.4317 encodes as 177.
        {"CIExposureAdjust", {{"inputEV", 1.0}}, QColor(128, 128, 128), {177, 177, 177, 255}},
        {"CIExposureAdjust", {{"inputEV", -20.0}}, QColor(200, 100, 50), {0, 0, 0, 255}},
        {"CIColorControls", {{"inputSaturation", 0.0}}, QColor(255, 0, 0), {54, 54, 54, 255}},
        {"CIColorControls", {{"inputBrightness", 0.25}}, QColor(100, 100, 100), {164, 164, 164, 255}},
        {"CIColorControls", {{"inputContrast", 2.0}}, QColor(64, 192, 128), {1, 255, 129, 255}},
        {"CIHueAdjust", {{"inputAngle", 2 * M_PI / 3}}, QColor(255, 0, 0), {0, 255, 0, 255}},
        {"CIHueAdjust", {{"inputAngle", -2 * M_PI / 3}}, QColor(255, 0, 0), {0, 0, 255, 255}},
        {"CIGammaAdjust", {{"inputPower", 2.0}}, QColor(128, 255, 0), {64, 255, 0, 255}},
        {"CISepiaTone", {}, QColor(255, 255, 255), {255, 255, 239, 255}},
        {"CISepiaTone", {{"inputIntensity", 0.5}}, QColor(0, 0, 255), {24, 21, 144, 255}},
        {"CIColorPosterize", {{"inputLevels", 2.0}}, QColor(100, 160, 30), {0, 255, 0, 255}},
        {"CIColorPosterize", {{"inputLevels", 3.0}}, QColor(100, 160, 230), {128, 128, 255, 255}},
        // Levels below 2 act as 2 rather than dividing by zero.
        {"CIColorPosterize", {{"inputLevels", 0.0}}, QColor(100, 160, 30), {0, 255, 0, 255}},
        // With radius 0 the glow is the pixel itself: 0.5 + 0.5 x 0.5 = 0.75.
        {"CIBloom", {{"inputRadius", 0.0}, {"inputIntensity", 1.0}}, QColor(128, 128, 128), {192, 192, 192, 255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + c.in.name().toStdString());
        EXPECT_COLOR_NEAR(apply1(c.name, c.in, c.inputs), c.expected, 1);
    }
}

TEST(Filter, ColourFiltersWorkOnUnpremultipliedValuesAndKeepAlpha) {
    // Half-transparent pure red: saturation 0 must give the luma of red (54), not of a darkened red.
    EXPECT_COLOR_NEAR(apply1("CIColorControls", QColor(255, 0, 0, 128), {{"inputSaturation", 0.0}}),
                      (Rgba{54, 54, 54, 128}), 2);
    // Results beyond 1 are clamped before they are premultiplied, so colour never exceeds coverage.
    EXPECT_COLOR_NEAR(apply1("CIColorControls", QColor(200, 100, 50, 128), {{"inputBrightness", 1.0}}),
                      (Rgba{255, 255, 255, 128}), 2);
    // A transparent pixel stays transparent even under a colour bias.
    EXPECT_EQ(apply1("CIColorMatrix", QColor(0, 0, 0, 0), {{"inputBiasVector", ValueArray{1.0, 1.0, 1.0, 0.0}}}).a,
              0);
    // The alpha row acts like the others: full alpha from the bias.
    EXPECT_EQ(apply1("CIColorMatrix", QColor(10, 20, 30, 0),
                     {{"inputAVector", ValueArray{0.0, 0.0, 0.0, 0.0}},
                      {"inputBiasVector", ValueArray{0.0, 0.0, 0.0, 1.0}}})
                  .a,
              255);
    // A three-number vector leaves the alpha weight 0.
    EXPECT_COLOR_NEAR(apply1("CIColorMatrix", QColor(100, 200, 50, 255), {{"inputRVector", ValueArray{0.0, 1.0, 0.0}}}),
                      (Rgba{200, 200, 50, 255}), 1);
}

TEST(Filter, ColourMatrixMatchesImageMagick) {
    KX_REQUIRE_TOOLS("convert");
    const QString convert = kxtest::toolPath("convert");
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString in = dir.filePath("in.png"), out = dir.filePath("out.png");
    ASSERT_TRUE(colourfulImage(40, 30).save(in));
    // Rows: output red, green, blue; columns: input red, green, blue, alpha, bias in 0..1.
    const double m[3][5] = {{0.5, 0.3, 0.1, 0, 0.1}, {0.2, 0.9, -0.3, 0, 0.05}, {-0.2, 0.4, 0.7, 0, 0.2}};
    // ImageMagick's 6 x 6 form: columns red, green, blue, black, alpha, offset.
    QStringList rows;
    for (int r = 0; r < 6; ++r) {
        QStringList cells;
        for (int c = 0; c < 6; ++c) {
            double v = (r == c) ? 1 : 0;
            if (r < 3)
                v = c < 3 ? m[r][c] : (c == 5 ? m[r][4] : 0);
            cells << QString::number(v);
        }
        rows << cells.join(' ');
    }
    QProcess p;
    p.start(convert, {in, "-color-matrix", rows.join(' '), "-depth", "8", "PNG32:" + out});
    ASSERT_TRUE(p.waitForFinished(30000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QImage expected(out);
    ASSERT_FALSE(expected.isNull());

    std::map<QString, Value> inputs = {
        {"inputRVector", ValueArray{m[0][0], m[0][1], m[0][2], 0.0}},
        {"inputGVector", ValueArray{m[1][0], m[1][1], m[1][2], 0.0}},
        {"inputBVector", ValueArray{m[2][0], m[2][1], m[2][2], 0.0}},
        {"inputBiasVector", ValueArray{m[0][4], m[1][4], m[2][4], 0.0}},
    };
    const Image ours = applyFilter("CIColorMatrix", Image(QImage(in)), inputs);
    ASSERT_FALSE(ours.isNull());
    EXPECT_LE(kxtest::maxChannelDifference(ours.qimage(), expected), 2);
}

TEST(Filter, BoxBlurAveragesTheSquareAndGrowsTheExtent) {
    QImage dot = filled(1, 1, QColor(255, 255, 255));
    FilterPtr f = Filter::filterWithName("CIBoxBlur");
    f->setValueForKey("inputRadius", 1.0);
    f->setInputImage(FilterImage(Image(dot), Point(5, 7)));
    const FilterImage out = f->outputImage();
    ASSERT_FALSE(out.isNull());
    EXPECT_EQ(out.extent(), Rect(4, 6, 3, 3));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_COLOR_NEAR(pixelAt(out.image.qimage(), x, y), (Rgba{255, 255, 255, 28}), 1);
}

// Small radii, and radii on both sides of where the sums outgrow 16-bit arithmetic, against exact averages. The
// larger pictures are wider and taller than the box, so that its sums reach the top of their range.
TEST(Filter, BoxBlurMatchesExactAveragesAtEveryRadius) {
    struct Case {
        int radius, width, height;
    } cases[] = {{1, 11, 6}, {2, 11, 6}, {5, 11, 6}, {100, 230, 210}, {102, 230, 210},
                 {127, 260, 256}, {128, 260, 258}, {300, 7, 9}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.radius);
        const int radius = k.radius;
        QImage picture(k.width, k.height, QImage::Format_RGBA8888);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                picture.setPixelColor(x, y, QColor((x * 23 + y * 7) % 256, (y * 41 + x) % 256, ((x + y) * 67) % 256,
                                                   (x + y) % 4 == 0 ? 0 : 255 - (x * y) % 50));
        const QImage source = picture.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
        const Image out = applyFilter("CIBoxBlur", Image(source), {{"inputRadius", double(radius)}});
        const int w = source.width() + 2 * radius, h = source.height() + 2 * radius;
        ASSERT_EQ(out.width(), w);
        ASSERT_EQ(out.height(), h);
        const QImage result = out.qimage().convertToFormat(QImage::Format_RGBA8888_Premultiplied);
        // Summed-area table of the source placed in the grown canvas, one per channel.
        std::vector<double> table(size_t(4) * (w + 1) * (h + 1), 0.0);
        const auto at = [&](int x, int y, int c) -> double& { return table[(size_t(y) * (w + 1) + x) * 4 + c]; };
        for (int y = 1; y <= h; ++y)
            for (int x = 1; x <= w; ++x)
                for (int c = 0; c < 4; ++c) {
                    const int sx = x - 1 - radius, sy = y - 1 - radius;
                    const bool inside = sx >= 0 && sy >= 0 && sx < source.width() && sy < source.height();
                    at(x, y, c) = (inside ? source.constScanLine(sy)[4 * sx + c] : 0) + at(x - 1, y, c) +
                                  at(x, y - 1, c) - at(x - 1, y - 1, c);
                }
        const double area = double(2 * radius + 1) * (2 * radius + 1);
        double worst = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < 4; ++c) {
                    const int x0 = std::max(0, x - radius), x1 = std::min(w, x + radius + 1);
                    const int y0 = std::max(0, y - radius), y1 = std::min(h, y + radius + 1);
                    const double mean = (at(x1, y1, c) - at(x0, y1, c) - at(x1, y0, c) + at(x0, y0, c)) / area;
                    worst = std::max(worst, std::abs(result.constScanLine(y)[4 * x + c] - mean));
                }
        // The row pass and the column pass each round to whole levels.
        EXPECT_LE(worst, 1.0);
    }
}

namespace {

// Reference Gaussian on premultiplied values with a real-valued kernel, the image spread by ceil(3 sigma).
std::vector<double> referenceGaussianAlpha(const QImage& src, double sigma, int& outW, int& outH) {
    const int g = int(std::ceil(3 * sigma));
    outW = src.width() + 2 * g;
    outH = src.height() + 2 * g;
    std::vector<double> k(size_t(2 * g + 1));
    double total = 0;
    for (int i = -g; i <= g; ++i)
        total += k[size_t(i + g)] = std::exp(-i * i / (2 * sigma * sigma));
    for (double& v : k)
        v /= total;
    std::vector<double> alpha(size_t(outW * outH), 0.0);
    for (int y = 0; y < outH; ++y)
        for (int x = 0; x < outW; ++x) {
            double acc = 0;
            for (int j = -g; j <= g; ++j)
                for (int i = -g; i <= g; ++i) {
                    const int sx = x - g + i, sy = y - g + j;
                    if (sx >= 0 && sy >= 0 && sx < src.width() && sy < src.height())
                        acc += k[size_t(i + g)] * k[size_t(j + g)] * src.pixelColor(sx, sy).alpha();
                }
            alpha[size_t(y * outW + x)] = acc;
        }
    return alpha;
}

}  // namespace

TEST(Filter, GaussianBlurFollowsTheTrueGaussian) {
    QImage square = filled(24, 24, Qt::transparent);  // small, so that the reference stays quick
    for (int y = 8; y < 16; ++y)
        for (int x = 6; x < 18; ++x)
            square.setPixelColor(x, y, QColor(200, 40, 10));
    for (double sigma : {0.7, 2.0, 3.9, 4.0, 6.5}) {
        SCOPED_TRACE(sigma);
        FilterPtr f = Filter::filterWithName("CIGaussianBlur");
        f->setValueForKey("inputRadius", sigma);
        const FilterImage out = f->apply(FilterImage(Image(square)));
        int w = 0, h = 0;
        const std::vector<double> alpha = referenceGaussianAlpha(square, sigma, w, h);
        ASSERT_EQ(out.image.width(), w);
        ASSERT_EQ(out.image.height(), h);
        const int g = int(std::ceil(3 * sigma));
        EXPECT_EQ(out.origin, Point(-g, -g));
        int worst = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const QColor c = out.image.qimage().pixelColor(x, y);
                worst = std::max(worst, int(std::lround(std::abs(c.alpha() - alpha[size_t(y * w + x)]))));
                // Transparent surroundings add no dark fringe: wherever there is coverage the colour is red.
                if (c.alpha() > 40) {
                    EXPECT_COLOR_NEAR(pixelAt(out.image.qimage(), x, y), (Rgba{200, 40, 10, c.alpha()}), 6);
                }
            }
        EXPECT_LE(worst, sigma < 4 ? 1 : 6);
    }
}

TEST(Filter, BloomKeepsThePlaceAndBrightensAroundLight) {
    QImage picture = filled(20, 20, QColor(40, 40, 40));
    for (int y = 8; y < 12; ++y)
        for (int x = 8; x < 12; ++x)
            picture.setPixelColor(x, y, Qt::white);
    FilterPtr f = Filter::filterWithName("CIBloom");
    f->setValueForKey("inputRadius", 3.0);
    f->setValueForKey("inputIntensity", 1.0);
    const FilterImage out = f->apply(FilterImage(Image(picture), Point(3, 4)));
    ASSERT_FALSE(out.isNull());
    EXPECT_EQ(out.extent(), Rect(3, 4, 20, 20));
    const Rgba nearLight = pixelAt(out.image.qimage(), 7, 10), far = pixelAt(out.image.qimage(), 0, 0);
    EXPECT_GT(nearLight.r, 80);
    EXPECT_LT(far.r, nearLight.r);
    EXPECT_GE(far.r, 40);
    EXPECT_EQ(nearLight.a, 255);
}

TEST(Filter, BloomScreensTheBlurOverEachPixel) {
    QImage picture = colourfulImage(30, 20);
    for (int x = 0; x < 30; ++x)
        picture.setPixelColor(x, 5, QColor(200, 100, 50, 90));  // a half-transparent row
    picture.setPixelColor(3, 3, Qt::transparent);
    const Image source(picture.convertToFormat(QImage::Format_RGBA8888_Premultiplied));
    for (double radius : {2.0, 6.0}) {
        SCOPED_TRACE(radius);
        const double intensity = 0.8;
        const Image bloom = applyFilter("CIBloom", source, {{"inputRadius", radius}, {"inputIntensity", intensity}});
        const Image blur = applyFilter("CIGaussianBlur", source, {{"inputRadius", radius}});
        ASSERT_FALSE(bloom.isNull());
        ASSERT_FALSE(blur.isNull());
        ASSERT_EQ(bloom.width(), 30);
        ASSERT_EQ(bloom.qimage().format(), QImage::Format_RGBA8888_Premultiplied);
        const int spread = int(std::ceil(3 * radius));
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 30; ++x) {
                const QColor in = source.qimage().pixelColor(x, y);
                const QColor glow = blur.qimage().pixelColor(x + spread, y + spread);
                // The result's premultiplied components.
                const uchar* got = bloom.qimage().constScanLine(y) + 4 * x;
                ASSERT_EQ(got[3], in.alpha());
                const double component[3][2] = {{in.redF(), glow.redF()}, {in.greenF(), glow.greenF()},
                                                 {in.blueF(), glow.blueF()}};
                for (int k = 0; k < 3; ++k) {
                    const double c = component[k][0], b = component[k][1];
                    const double expected = std::clamp(c + intensity * b - intensity * b * c, 0.0, 1.0) * in.alpha();
                    // Un-premultiplying the 8-bit pixels costs up to a level either side.
                    EXPECT_NEAR(got[k], expected, 2.0) << x << "," << y;
                }
            }
    }
}

namespace {
struct Recorder : KeyObserver {
    std::vector<std::tuple<QString, double, double>> changes;
    void observeValue(const QString& key, Observable*, const Value& oldValue, const Value& newValue) override {
        changes.emplace_back(key, oldValue.toDouble(), newValue.toDouble());
    }
};
}  // namespace

TEST(Filter, InputsAreObservableCopyableAndChecked) {
    FilterPtr f = Filter::filterWithName("CIColorControls");
    Recorder recorder;
    f->addObserver(&recorder);
    EXPECT_TRUE(f->setValueForKey("inputSaturation", 0.5f));
    EXPECT_FALSE(f->setValueForKey("inputNothing", 1.0));
    ASSERT_EQ(recorder.changes.size(), 1u);
    EXPECT_EQ(std::get<0>(recorder.changes[0]), "inputSaturation");
    EXPECT_DOUBLE_EQ(std::get<1>(recorder.changes[0]), 1.0);
    EXPECT_DOUBLE_EQ(std::get<2>(recorder.changes[0]), 0.5);
    EXPECT_TRUE(f->valueForKey("inputSaturation").isFloat());

    FilterPtr twin = f->copy();
    twin->setValueForKey("inputSaturation", 2.0);
    EXPECT_DOUBLE_EQ(f->valueForKey("inputSaturation").toDouble(), 0.5);
    EXPECT_EQ(recorder.changes.size(), 1u);

    f->setDefaults();
    EXPECT_DOUBLE_EQ(f->valueForKey("inputSaturation").toDouble(), 1.0);
    f->removeObserver(&recorder);

    // Inputs that are not numbers read as the default instead of poisoning the pixels.
    FilterPtr exposure = Filter::filterWithName("CIExposureAdjust");
    exposure->setValueForKey("inputEV", std::nan(""));
    EXPECT_DOUBLE_EQ(exposure->numberForKey("inputEV"), 0.5);
    FilterPtr blur = Filter::filterWithName("CIGaussianBlur");
    blur->setValueForKey("inputRadius", std::nan(""));
    EXPECT_EQ(blur->apply(FilterImage(Image(filled(2, 2, Qt::red)))).image.width(), 2 + 2 * 30);
    EXPECT_TRUE(blur->outputImage().isNull());  // no input image
}
