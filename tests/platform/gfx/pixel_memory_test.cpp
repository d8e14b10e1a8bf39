#include "platform/gfx/pixel_memory.h"

#include <QPainter>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

bool allZero(const QImage& image) {
    const qsizetype row = image.width() * image.depth() / 8;
    for (int y = 0; y < image.height(); ++y) {
        const uchar* p = image.constScanLine(y);
        for (qsizetype i = 0; i < row; ++i)
            if (p[i] != 0)
                return false;
    }
    return true;
}

TEST(PixelMemory, ZeroedImagesAreClearLaidOutAsQtsOwnAndPaintable) {
    struct Case {
        int width, height;
        QImage::Format format;
    };
    // Small ones from the general allocator, large ones (2 MiB and up) mapped from the system.
    const Case cases[] = {{3, 2, QImage::Format_RGBA8888_Premultiplied},
                          {17, 5, QImage::Format_Alpha8},
                          {1024, 1024, QImage::Format_RGBA8888_Premultiplied},
                          {3001, 999, QImage::Format_Alpha8},
                          {2480, 1000, QImage::Format_Grayscale8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << " format " << int(c.format));
        QImage image = kx::zeroedImage(c.width, c.height, c.format);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), QSize(c.width, c.height));
        EXPECT_EQ(image.format(), c.format);
        EXPECT_EQ(image.bytesPerLine(), QImage(c.width, c.height, c.format).bytesPerLine());
        EXPECT_TRUE(allZero(image));
        {
            QPainter p(&image);
            p.fillRect(QRect(1, 1, 1, 1), Qt::white);
        }
        // A copy keeps the pixels after the image it came from is gone.
        QImage copy = image;
        image = QImage();
        EXPECT_EQ(copy.pixelColor(1, 1).alpha(), 255);
        EXPECT_EQ(copy.pixelColor(0, 0).alpha(), c.format == QImage::Format_Grayscale8 ? 255 : 0);
    }
}

TEST(PixelMemory, MemoryGivenBackServesTheNextImageClearedAgain) {
    // Large images of one size one after the other, each written all over before it goes: every new one
    // starts clear, whether its memory is fresh or kept from an earlier one.
    for (int round = 0; round < 4; ++round) {
        QImage image = kx::zeroedImage(1500 + round, 1000, QImage::Format_RGBA8888_Premultiplied);
        ASSERT_FALSE(image.isNull());
        EXPECT_TRUE(allZero(image)) << round;
        image.fill(0xffffffffu);
    }
    for (int round = 0; round < 3; ++round) {
        kx::LargeBuffer buffer(std::size_t(5) << 20);
        ASSERT_NE(buffer.data(), nullptr);
        const auto* bytes = static_cast<const unsigned char*>(buffer.data());
        EXPECT_TRUE(std::all_of(bytes, bytes + buffer.size(), [](unsigned char b) { return b == 0; })) << round;
        std::memset(buffer.data(), 0x5a, buffer.size());
    }
}

TEST(PixelMemory, RefusedSizesGiveNoImage) {
    EXPECT_TRUE(kx::zeroedImage(0, 10, QImage::Format_Alpha8).isNull());
    EXPECT_TRUE(kx::zeroedImage(10, -1, QImage::Format_Alpha8).isNull());
    EXPECT_TRUE(kx::zeroedImage(10, 10, QImage::Format_Invalid).isNull());
}

TEST(PixelMemory, LargeBufferGrowsZeroFilledAndKeepsWhatFits) {
    for (const std::size_t first : {std::size_t(100), std::size_t(3) << 20}) {
        kx::LargeBuffer buffer(first);
        ASSERT_NE(buffer.data(), nullptr);
        ASSERT_GE(buffer.size(), first);
        auto* bytes = static_cast<unsigned char*>(buffer.data());
        EXPECT_EQ(bytes[0], 0);
        EXPECT_EQ(bytes[first - 1], 0);
        bytes[0] = 7;
        // Enough room already: the memory and its contents stay.
        ASSERT_TRUE(buffer.reserve(first / 2));
        EXPECT_EQ(static_cast<unsigned char*>(buffer.data())[0], 7);
        // More room: fresh zero-filled memory.
        const std::size_t larger = first * 3;
        ASSERT_TRUE(buffer.reserve(larger));
        ASSERT_GE(buffer.size(), larger);
        bytes = static_cast<unsigned char*>(buffer.data());
        EXPECT_EQ(bytes[0], 0);
        EXPECT_EQ(bytes[larger - 1], 0);
        // Moving hands the memory over.
        kx::LargeBuffer moved(std::move(buffer));
        EXPECT_EQ(moved.data(), bytes);
        EXPECT_EQ(buffer.data(), nullptr);
        EXPECT_EQ(buffer.size(), 0u);
    }
}

}  // namespace
