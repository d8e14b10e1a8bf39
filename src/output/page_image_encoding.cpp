#include "output/page_image_encoding.h"

#include "model/canvas.h"
#include "model/page_size.h"
#include "output/export_choices.h"
#include "output/gif_encoding.h"

#include <QBuffer>
#include <QImageWriter>

#include <cmath>

int exportResolutionOfPage(const KXCanvas& page) {
    const KXSize* size = page.pageSize();
    if (!size || size->unit() == KXSizeUnitPixel || size->dpi() <= 0)
        return 72;
    return int(size->dpi());
}

int pdfResolutionOfPage(const KXCanvas& page) {
    const KXSize* size = page.pageSize();
    return size && size->dpi() > 0 ? int(size->dpi()) : 72;
}

namespace {

QByteArray formatName(BitmapFileType type) {
    switch (type) {
    case BitmapFileType::JPEG: return "jpeg";
    case BitmapFileType::TIFF: return "tiff";
    case BitmapFileType::BMP: return "bmp";
    case BitmapFileType::GIF: return "gif";
    case BitmapFileType::PNG: return "png";
    }
    return "jpeg";
}

}  // namespace

QByteArray encodePageImage(const QImage& image, BitmapFileType type, int quality, int dotsPerInch, QString* error) {
    // Qt writes no GIF; giflib does (a GIF records no resolution).
    if (type == BitmapFileType::GIF)
        return encodeGif(image, error);
    // JPEG and BMP hold no transparency: the page goes in as opaque pixels rather than leaving the conversion
    // of premultiplied values to each encoder.
    QImage source = (type == BitmapFileType::JPEG || type == BitmapFileType::BMP)
                        ? image.convertToFormat(QImage::Format_RGB32)
                        : image.convertToFormat(QImage::Format_ARGB32);
    const int dotsPerMeter = int(std::lround(dotsPerInch / 0.0254));
    source.setDotsPerMeterX(dotsPerMeter);
    source.setDotsPerMeterY(dotsPerMeter);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, formatName(type));
    if (type == BitmapFileType::JPEG)
        writer.setQuality(clampedQuality(quality));
    if (type == BitmapFileType::TIFF)
        writer.setCompression(1);  // LZW: lossless and much smaller than raw strips
    if (source.isNull() || !writer.write(source)) {
        if (error)
            *error = source.isNull() ? QStringLiteral("the page gave no picture") : writer.errorString();
        return {};
    }
    return bytes;
}
