// PNG streams whose chunks reach past their end are refused before the decoder sizes a buffer from them.
#include "platform/gfx/image.h"
#include "platform/gfx/jpng.h"
#include "platform/gfx/png_chunks.h"

#include <QBuffer>
#include <QImage>
#include <QtEndian>

#include <gtest/gtest.h>

namespace {

QByteArray encodedPng() {
    QImage image(4, 3, QImage::Format_ARGB32);
    image.fill(QColor(200, 100, 50, 255));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray chunkHeader(quint32 length, const char* type) {
    QByteArray header(4, '\0');
    qToBigEndian(length, header.data());
    return header + QByteArray(type, 4);
}

// The stream with IEND cut off and a text chunk declaring `length` bytes (only a few of them present).
QByteArray withTextChunk(quint32 length) {
    QByteArray png = encodedPng();
    png.chop(12);  // IEND
    return png + chunkHeader(length, "tEXt") + QByteArray("Comment\0x", 9);
}

// The stream starts five bytes into the device, where the caller's position is; the position is kept.
bool fits(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(QByteArray("junk!") + bytes);
    buffer.open(QIODevice::ReadOnly);
    buffer.seek(5);
    const bool answer = kx::pngChunksFitInDevice(buffer);
    EXPECT_EQ(buffer.pos(), 5);
    return answer;
}

}  // namespace

TEST(PngChunks, StreamsWhoseChunksReachPastTheirEndAreRefused) {
    const QByteArray png = encodedPng();
    struct Case {
        const char* name;
        QByteArray bytes;
        bool fits;
    } cases[] = {
        {"whole PNG", png, true},
        {"bytes after IEND are never read", png + QByteArray(40, '\xff'), true},
        {"not a PNG", QByteArray("\xff\xd8\xff\xe0 not checked here", 20), true},
        {"empty", QByteArray(), true},
        {"text chunk declaring 1.96 GB", withTextChunk(1962944805u), false},
        {"length beyond 2^31", withTextChunk(0x80000010u), false},
        {"chunk one byte longer than what is left", withTextChunk(10).append("CRC!"), false},
        {"chunk that fits exactly", withTextChunk(9).append("CRC!"), true},
        {"half a chunk header", png.left(png.size() - 12) + QByteArray("\0\0\0", 3), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fits(c.bytes), c.fits) << c.name;
}

TEST(PngChunks, DecodersGiveNoImageForThemAndStillReadWholeFiles) {
    EXPECT_FALSE(kx::Image::fromData(encodedPng()).isNull());
    EXPECT_TRUE(kx::Image::fromData(withTextChunk(1962944805u)).isNull());
    // The opacity stream of a JPNG file goes through the same check.
    QImage colour(4, 3, QImage::Format_RGB32);
    colour.fill(Qt::red);
    QByteArray jpeg;
    QBuffer out(&jpeg);
    out.open(QIODevice::WriteOnly);
    colour.save(&out, "JPG");
    const auto jpngWith = [&](const QByteArray& opacity) {
        QByteArray footer(16, '\0');
        qToLittleEndian(quint32(jpeg.size()), footer.data());
        qToLittleEndian(quint32(opacity.size()), footer.data() + 4);
        qToLittleEndian(quint16(16), footer.data() + 8);
        footer[10] = 1;
        footer[11] = 0;
        qToLittleEndian(quint32(0x4A504E47), footer.data() + 12);
        return jpeg + opacity + footer;
    };
    EXPECT_FALSE(kx::loadJPNGImageFromData(jpngWith(encodedPng()), false).isNull());
    EXPECT_TRUE(kx::loadJPNGImageFromData(jpngWith(withTextChunk(1962944805u)), false).isNull());
}
