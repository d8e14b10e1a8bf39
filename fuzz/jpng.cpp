// Feeds arbitrary bytes to the JPNG reader: it must never crash, never read past the data, and any image
// it returns must be a premultiplied RGBA image of a sane size whose colour never exceeds its alpha.
#include "platform/gfx/jpng.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>

#include <cstdint>
#include <cstdlib>

namespace {

// Streams that would decode to very large images are valid input but only make the run slow; they are
// skipped here (the pixel limit itself is covered by the tests).
bool claimsHugeImage(const QByteArray& data) {
    if (data.size() <= 16)
        return false;
    const auto* footer = reinterpret_cast<const uchar*>(data.constData()) + data.size() - 16;
    const quint64 jpegLength = qFromLittleEndian<quint32>(footer);
    const quint64 pngLength = qFromLittleEndian<quint32>(footer + 4);
    if (jpegLength + pngLength > quint64(data.size() - 16))
        return false;
    for (const QByteArray& stream : {data.left(qsizetype(jpegLength)), data.mid(qsizetype(jpegLength), qsizetype(pngLength))}) {
        QBuffer buffer;
        buffer.setData(stream);
        buffer.open(QIODevice::ReadOnly);
        const QSize size = QImageReader(&buffer).size();
        if (size.isValid() && qint64(size.width()) * size.height() > (qint64(1) << 22))
            return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    if (claimsHugeImage(bytes))
        return 0;
    for (bool forced : {false, true}) {
        const kx::Image image = kx::loadJPNGImageFromData(bytes, forced);
        if (image.isNull())
            continue;
        if (image.format() != kx::Image::Format::RGBA || image.width() <= 0 || image.height() <= 0 ||
            qint64(image.width()) * image.height() > kx::Image::maximumPixelCount)
            std::abort();
        for (int y = 0; y < image.height(); ++y) {
            const uchar* p = image.qimage().constScanLine(y);
            for (int x = 0; x < image.width(); ++x, p += 4)
                if (p[0] > p[3] || p[1] > p[3] || p[2] > p[3])
                    std::abort();
        }
    }
    return 0;
}
