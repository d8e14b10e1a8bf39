#include "platform/gfx/image.h"

#include <QBuffer>
#include <QtEndian>
#include <gtest/gtest.h>

using kx::Image;

namespace {

quint32 crc32(const QByteArray& bytes) {
    quint32 crc = 0xFFFFFFFFu;
    for (const char ch : bytes) {
        crc ^= quint8(ch);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray chunk(const QByteArray& type, const QByteArray& payload) {
    QByteArray out(4, '\0');
    qToBigEndian<quint32>(quint32(payload.size()), out.data());
    const QByteArray body = type + payload;
    out += body;
    QByteArray crc(4, '\0');
    qToBigEndian<quint32>(crc32(body), crc.data());
    return out + crc;
}

// A PNG whose header claims a size of width x height with almost no pixel data behind it.
QByteArray pngClaiming(quint32 width, quint32 height) {
    QByteArray header(13, '\0');
    qToBigEndian<quint32>(width, header.data());
    qToBigEndian<quint32>(height, header.data() + 4);
    header[8] = 8;  // bit depth
    header[9] = 6;  // RGBA
    const QByteArray deflatedNothing = QByteArray::fromHex("789c030000000001");
    return QByteArray::fromHex("89504e470d0a1a0a") + chunk("IHDR", header) + chunk("IDAT", deflatedNothing) +
           chunk("IEND", {});
}

QByteArray encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

}  // namespace

TEST(Image, KeepsGreyAndAlphaAndMakesEverythingElseRgbaPremultiplied) {
    struct Case {
        QImage::Format in;
        Image::Format kind;
        QImage::Format stored;
    };
    const Case cases[] = {
        {QImage::Format_ARGB32, Image::Format::RGBA, QImage::Format_RGBA8888_Premultiplied},
        {QImage::Format_RGB888, Image::Format::RGBA, QImage::Format_RGBA8888_Premultiplied},
        {QImage::Format_Grayscale8, Image::Format::Gray, QImage::Format_Grayscale8},
        {QImage::Format_Grayscale16, Image::Format::Gray, QImage::Format_Grayscale8},
        {QImage::Format_Alpha8, Image::Format::Alpha, QImage::Format_Alpha8},
    };
    for (const Case& c : cases) {
        QImage q(3, 2, c.in);
        q.fill(Qt::white);
        const Image image(q);
        EXPECT_EQ(image.format(), c.kind);
        EXPECT_EQ(image.qimage().format(), c.stored);
        EXPECT_EQ(image.pixelSize(), kx::Size(3, 2));
    }
    EXPECT_TRUE(Image().isNull());
    EXPECT_TRUE(Image(QImage()).isNull());
}

TEST(Image, PixelsReadUnpremultipliedWithRowZeroOnTop) {
    QImage q(2, 2, QImage::Format_ARGB32);
    q.fill(Qt::transparent);
    q.setPixelColor(1, 0, QColor(200, 100, 50, 128));
    const Image image(q);
    const QColor top = image.pixelColor(1, 0);
    EXPECT_NEAR(top.red(), 200, 2);
    EXPECT_NEAR(top.green(), 100, 2);
    EXPECT_NEAR(top.blue(), 50, 2);
    EXPECT_EQ(top.alpha(), 128);
    EXPECT_EQ(image.constBits()[7], 128);          // alpha of (1, 0) in R, G, B, A order
    EXPECT_NEAR(image.constBits()[4], 100, 1);     // red premultiplied
    EXPECT_EQ(image.pixelColor(1, 1).alpha(), 0);
    EXPECT_EQ(image.pixelColor(5, 0).alpha(), 0);  // outside
}

TEST(Image, PointSizeDefaultsToPixelSize) {
    QImage q(40, 20, QImage::Format_RGBA8888);
    const Image image(q);
    EXPECT_EQ(image.pointSize(), kx::Size(40, 20));
    const Image half = image.withPointSize({20, 10});
    EXPECT_EQ(half.pointSize(), kx::Size(20, 10));
    EXPECT_EQ(half.width(), 40);
    EXPECT_EQ(image.pointSize(), kx::Size(40, 20));  // the original is untouched
}

TEST(Image, DecodesPlainFormatsFromData) {
    QImage q(5, 4, QImage::Format_ARGB32);
    q.fill(QColor(10, 20, 30, 40));
    const Image png = Image::fromData(encoded(q, "PNG"));
    ASSERT_FALSE(png.isNull());
    EXPECT_EQ(png.width(), 5);
    EXPECT_EQ(png.pixelColor(2, 2).alpha(), 40);
}

TEST(Image, RefusesImagesBeyondThePixelLimitBeforeDecoding) {
    // Only the header is read: a huge claimed size gives no image and no huge allocation.
    EXPECT_TRUE(Image::fromData(pngClaiming(100000, 100000)).isNull());
    EXPECT_TRUE(Image::fromData(pngClaiming(0x7FFFFFFF, 3)).isNull());
    EXPECT_TRUE(Image::fromData(QByteArray()).isNull());
    EXPECT_TRUE(Image::fromFile("/nonexistent/file.png").isNull());
    EXPECT_TRUE(Image::fromFile(QString()).isNull());
}
