// Feeds arbitrary bytes to the bitmap decoding of downloaded images, whole and scaled while decoding (the
// JPEG reader then decodes into memory made ahead for it): it must never crash, and any image it returns
// must be of a sane size, within the size asked for when one was asked.
#include "graphics/image_loading.h"

#include <QBuffer>
#include <QImageReader>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

// Images that would decode very large are valid input but only make the run slow; they are skipped here
// (the pixel limit itself is covered by the tests).
bool claimsHugeImage(const QByteArray& data) {
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    const QSize size = QImageReader(&buffer).size();
    return size.isValid() && qint64(size.width()) * size.height() > (qint64(1) << 22);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    if (claimsHugeImage(bytes))
        return 0;
    for (const int maximum : {0, 7, 64}) {
        const kx::Image image = decodeBitmapData(bytes, maximum);
        if (image.isNull())
            continue;
        if (image.width() <= 0 || image.height() <= 0 ||
            qint64(image.width()) * image.height() > kx::Image::maximumPixelCount)
            std::abort();
        if (maximum > 0 && std::max(image.width(), image.height()) > maximum)
            std::abort();
    }
    return 0;
}
