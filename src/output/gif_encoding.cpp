#include "output/gif_encoding.h"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace {

// GIF sizes are 16-bit.
constexpr int kMaximumGifSide = 65535;

int appendToArray(GifFileType* gif, const GifByteType* bytes, int length) {
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(bytes), length);
    return length;
}

void fail(QString* error, const QString& reason) {
    if (error)
        *error = reason;
}

}  // namespace

QByteArray encodeGif(const QImage& image, QString* error) {
    if (image.isNull()) {
        fail(error, QStringLiteral("the page gave no picture"));
        return {};
    }
    if (image.width() > kMaximumGifSide || image.height() > kMaximumGifSide) {
        fail(error, QStringLiteral("a GIF file holds at most %1 pixels a side").arg(kMaximumGifSide));
        return {};
    }
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    const unsigned width = unsigned(rgb.width()), height = unsigned(rgb.height());
    const std::size_t count = std::size_t(width) * height;
    std::vector<GifByteType> red(count), green(count), blue(count), indexes(count);
    for (unsigned y = 0; y < height; ++y) {
        const uchar* line = rgb.constScanLine(int(y));
        for (unsigned x = 0; x < width; ++x) {
            const std::size_t at = std::size_t(y) * width + x;
            red[at] = line[3 * x];
            green[at] = line[3 * x + 1];
            blue[at] = line[3 * x + 2];
        }
    }
    // An adaptive palette (median cut) serves photos far better than a fixed colour cube.
    int colours = 256;
    GifColorType palette[256];
    if (GifQuantizeBuffer(width, height, &colours, red.data(), green.data(), blue.data(), indexes.data(), palette) ==
        GIF_ERROR) {
        fail(error, QStringLiteral("the colours could not be reduced to a palette"));
        return {};
    }
    // The quantizer works on five bits a channel, which darkens every colour a little (pure red comes out as
    // 248): each palette entry becomes the mean of the pixels given to it instead.
    std::vector<std::array<std::uint64_t, 4>> sums(std::size_t(colours), {0, 0, 0, 0});
    for (std::size_t at = 0; at < count; ++at) {
        auto& sum = sums[std::min<std::size_t>(indexes[at], sums.size() - 1)];
        sum[0] += red[at];
        sum[1] += green[at];
        sum[2] += blue[at];
        sum[3] += 1;
    }
    for (int i = 0; i < colours; ++i) {
        const auto& sum = sums[std::size_t(i)];
        if (sum[3] > 0)
            palette[i] = GifColorType{GifByteType((sum[0] + sum[3] / 2) / sum[3]),
                                      GifByteType((sum[1] + sum[3] / 2) / sum[3]),
                                      GifByteType((sum[2] + sum[3] / 2) / sum[3])};
    }
    // The palette size written must be a power of two.
    int tableSize = 2;
    while (tableSize < colours)
        tableSize *= 2;
    ColorMapObject* map = GifMakeMapObject(tableSize, nullptr);
    if (!map) {
        fail(error, QStringLiteral("out of memory"));
        return {};
    }
    for (int i = 0; i < tableSize; ++i)
        map->Colors[i] = i < colours ? palette[i] : GifColorType{0, 0, 0};

    QByteArray bytes;
    int code = 0;
    GifFileType* gif = EGifOpen(&bytes, appendToArray, &code);
    if (!gif) {
        GifFreeMapObject(map);
        fail(error, QString::fromUtf8(GifErrorString(code)));
        return {};
    }
    bool written = EGifPutScreenDesc(gif, int(width), int(height), map->BitsPerPixel, 0, map) != GIF_ERROR &&
                   EGifPutImageDesc(gif, 0, 0, int(width), int(height), false, nullptr) != GIF_ERROR;
    for (unsigned y = 0; written && y < height; ++y)
        written = EGifPutLine(gif, indexes.data() + std::size_t(y) * width, int(width)) != GIF_ERROR;
    const int failure = gif->Error;
    GifFreeMapObject(map);
    if (EGifCloseFile(gif, &code) == GIF_ERROR)
        written = false;
    else
        code = failure;
    if (!written) {
        fail(error, QString::fromUtf8(GifErrorString(code)));
        return {};
    }
    return bytes;
}
