#include "graphics/image_operations.h"

#include "support/outside_tools.h"
#include "support/pixel_probe.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>

using kxtest::pixelAt;
using kxtest::Rgba;

namespace {

QImage noise(int w, int h, quint32 seed) {
    QRandomGenerator random(seed);
    QImage image(w, h, QImage::Format_RGBA8888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, random.generate() | 0xFF000000u);
    return image;
}

std::array<float, 20> identityMatrix() {
    std::array<float, 20> m{};
    m[0] = m[6] = m[12] = 1;
    return m;
}

}  // namespace

TEST(ImageOperations, ScaleMakesWholePixelSizesAndKeepsTheSameSize) {
    const kx::Image image(noise(100, 50, 1));
    EXPECT_EQ(scaleImageToSize(image, 100, 50).constBits(), image.constBits());
    const kx::Image scaled = scaleImageToSize(image, 10.5, 5.2);
    EXPECT_EQ(scaled.qimage().size(), QSize(11, 6));
    EXPECT_EQ(scaleImageToSize(image, 0, 10).constBits(), image.constBits());
    EXPECT_EQ(scaleImageToSize(image, -5, 10).constBits(), image.constBits());
    EXPECT_TRUE(scaleImageToSize(kx::Image(), 10, 10).isNull());
    // Stretched, not cropped: the corners of a quadrant picture stay in their corners.
    QImage four(2, 2, QImage::Format_RGBA8888);
    four.setPixelColor(0, 0, Qt::red), four.setPixelColor(1, 0, Qt::green);
    four.setPixelColor(0, 1, Qt::blue), four.setPixelColor(1, 1, Qt::white);
    const QImage big = scaleImageToSize(kx::Image(four), 40, 20).qimage();
    EXPECT_COLOR_NEAR(pixelAt(big, 0, 0), (Rgba{255, 0, 0, 255}), 2);
    EXPECT_COLOR_NEAR(pixelAt(big, 39, 19), (Rgba{255, 255, 255, 255}), 2);
}

TEST(ImageOperations, RotationTurnsCounterClockwiseByQuarterTurns) {
    const QImage source = noise(100, 50, 2);
    const kx::Image image(source);
    const QImage turned = rotateImageByDegrees(image, 90).qimage();
    ASSERT_EQ(turned.size(), QSize(50, 100));
    // The left column read from bottom to top is the top row read from left to right.
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(pixelAt(turned, 0, 99 - i), pixelAt(source, i, 0)) << i;
    for (int angle : {0, 360, 45, 100, -45})
        EXPECT_EQ(rotateImageByDegrees(image, angle).constBits(), image.constBits()) << angle;
    EXPECT_EQ(kxtest::maxChannelDifference(rotateImageByDegrees(image, 450).qimage(), turned), 0);
    EXPECT_EQ(kxtest::maxChannelDifference(rotateImageByDegrees(image, -270).qimage(), turned), 0);
    EXPECT_EQ(kxtest::maxChannelDifference(rotateImageByDegrees(image, -90).qimage(),
                                           rotateImageByDegrees(image, 270).qimage()),
              0);
    EXPECT_TRUE(rotateImageByDegrees(kx::Image(), 90).isNull());

    // Grey images stay grey.
    const kx::Image gray(source.convertToFormat(QImage::Format_Grayscale8));
    const kx::Image grayTurned = rotateImageByDegrees(gray, 270);
    EXPECT_TRUE(grayTurned.isGray());
    EXPECT_EQ(grayTurned.qimage().size(), QSize(50, 100));
}

TEST(ImageOperations, RotationMatchesImageMagickExactly) {
    KX_REQUIRE_TOOLS("convert");
    const QString convert = kxtest::toolPath("convert");
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QImage source = noise(37, 21, 3);
    ASSERT_TRUE(source.save(dir.filePath("in.png")));
    // ImageMagick turns clockwise; ours turns counter-clockwise.
    for (const auto& [ours, theirs] : {std::pair{90, 270}, std::pair{180, 180}, std::pair{270, 90}}) {
        SCOPED_TRACE(ours);
        const QString out = dir.filePath(QString("r%1.png").arg(ours));
        QProcess p;
        p.start(convert, {dir.filePath("in.png"), "-rotate", QString::number(theirs), "PNG32:" + out});
        ASSERT_TRUE(p.waitForFinished(30000));
        ASSERT_EQ(p.exitCode(), 0);
        EXPECT_EQ(kxtest::maxChannelDifference(rotateImageByDegrees(kx::Image(source), ours).qimage(), QImage(out)),
                  0);
    }
}

TEST(ImageOperations, GrayConversionMakesTransparencyBlack) {
    QImage picture(3, 1, QImage::Format_RGBA8888);
    picture.setPixelColor(0, 0, QColor(255, 255, 255));
    picture.setPixelColor(1, 0, QColor(255, 0, 0));
    picture.setPixelColor(2, 0, QColor(255, 255, 255, 0));
    const kx::Image gray = convertImageToGray(kx::Image(picture));
    ASSERT_TRUE(gray.isGray());
    EXPECT_EQ(gray.qimage().format(), QImage::Format_Grayscale8);
    const uchar* row = gray.qimage().constScanLine(0);
    EXPECT_EQ(row[0], 255);
    EXPECT_EQ(row[1], 76);
    EXPECT_EQ(row[2], 0);
    EXPECT_EQ(convertImageToGray(gray).constBits(), gray.constBits());
    EXPECT_TRUE(convertImageToGray(kx::Image()).isNull());
}

TEST(ImageOperations, ColorMatrixAndFurtherFilter) {
    QImage picture = noise(16, 8, 4);
    picture.setPixelColor(0, 0, QColor(10, 200, 30, 128));
    const kx::Image image(picture);
    const auto identity = identityMatrix();
    EXPECT_LE(kxtest::maxChannelDifference(applyColorMatrixAndFilter(image, nullptr, identity).qimage(), picture), 1);

    auto redBias = identity;
    redBias[4] = 255;
    const QImage red = applyColorMatrixAndFilter(image, nullptr, redBias).qimage();
    EXPECT_EQ(pixelAt(red, 5, 5).r, 255);
    EXPECT_EQ(pixelAt(red, 5, 5).g, pixelAt(picture, 5, 5).g);
    EXPECT_COLOR_NEAR(pixelAt(red, 0, 0), (Rgba{255, 200, 30, 128}), 2);

    // The fourth column and the alpha row are not used: alpha passes through.
    auto ignored = identity;
    ignored[3] = ignored[8] = 1;
    ignored[15] = ignored[16] = 1;
    ignored[18] = 0;
    ignored[19] = 255;
    EXPECT_LE(kxtest::maxChannelDifference(applyColorMatrixAndFilter(image, nullptr, ignored).qimage(), picture), 1);

    // A further filter runs on the matrix's output and is left as it was.
    kx::FilterPtr posterize = kx::Filter::filterWithName("CIColorPosterize");
    posterize->setValueForKey("inputLevels", 2.0);
    auto half = identity;
    half[0] = half[6] = half[12] = 0.5f;
    const QImage out = applyColorMatrixAndFilter(image, posterize, half).qimage();
    for (int x = 0; x < 16; ++x) {
        const Rgba in = pixelAt(picture, x, 3), got = pixelAt(out, x, 3);
        EXPECT_EQ(got.r, in.r * 0.5 / 255 >= 0.5 ? 255 : 0) << x;
    }
    EXPECT_TRUE(posterize->inputImage().isNull());

    // A blur as the further filter spreads the result beyond the image.
    kx::FilterPtr blur = kx::Filter::filterWithName("CIBoxBlur");
    blur->setValueForKey("inputRadius", 2.0);
    EXPECT_EQ(applyColorMatrixAndFilter(image, blur, identity).qimage().size(), QSize(20, 12));
    EXPECT_TRUE(applyColorMatrixAndFilter(kx::Image(), nullptr, identity).isNull());
}

TEST(ImageOperations, FittingSizeMakesAnImageOfTheFittedSize) {
    const kx::Image image(noise(400, 200, 5));
    const kx::Image fitted = nsImageFittingSize(image, 100, 100);
    EXPECT_EQ(fitted.qimage().size(), QSize(100, 50));
    EXPECT_EQ(fitted.pointSize(), kx::Size(100, 50));
    const kx::Image up = nsImageFittingSize(image, 1000, 1000);
    EXPECT_EQ(up.qimage().size(), QSize(1000, 500));
    const kx::Image odd = nsImageFittingSize(image, 75, 75);
    EXPECT_EQ(odd.pointSize(), kx::Size(75, 37.5));
    EXPECT_EQ(odd.qimage().size(), QSize(75, 38));
    EXPECT_TRUE(nsImageFittingSize(image, 0, 0).isNull());
    EXPECT_TRUE(nsImageFittingSize(kx::Image(), 10, 10).isNull());
}
