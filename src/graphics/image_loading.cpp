#include "graphics/image_loading.h"

#include "graphics/bitmap_contexts.h"
#include "graphics/geometry_utilities.h"
#include "graphics/image_file_types.h"
#include "graphics/svg_image.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/uniform_type.h"
#include "platform/gfx/jpng.h"
#include "platform/gfx/pixel_memory.h"
#include "platform/gfx/png_chunks.h"

#include <QBuffer>
#include <QColorSpace>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMutex>

#include <algorithm>
#include <cmath>
#include <list>

namespace {

// The image in sRGB: pixels tagged with another RGB profile are converted; grey images keep their values.
void convertToSRGB(QImage& image) {
    const QColorSpace space = image.colorSpace();
    if (!space.isValid() || space == QColorSpace(QColorSpace::SRgb))
        return;
    switch (image.format()) {
    case QImage::Format_Grayscale8:
    case QImage::Format_Grayscale16:
        return;
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8:
        image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        break;
    default:
        break;
    }
    image.convertToColorSpace(QColorSpace::SRgb);
}

// Memory for the JPEG reader to decode into: an image of the size it decodes to, made from memory mapped in
// one step (see zeroedImage) rather than page by page as the decoder first writes it. The reader decodes
// into an image handed to it when size and format match and makes its own otherwise, so a guess that misses
// costs nothing but the guess. Its decoder scales by eighths, to the smallest number of eighths that covers
// the size asked for (`requested`, or the whole image when invalid). Null for other formats.
QImage jpegDecodeTarget(QImageReader& reader, const QSize& stored, const QSize& requested) {
    if (!stored.isValid() || stored.isEmpty() || reader.format() != "jpeg")
        return {};
    const QImage::Format format = reader.imageFormat();
    if (format != QImage::Format_RGB32 && format != QImage::Format_Grayscale8)
        return {};
    QSize size = stored;
    if (requested.isValid() && !requested.isEmpty()) {
        const double shrink = std::min(double(stored.width()) / requested.width(),
                                       double(stored.height()) / requested.height());
        const int eighths = std::clamp(int(std::ceil(8 / shrink)), 1, 8);
        size = QSize(int((qint64(stored.width()) * eighths + 7) / 8), int((qint64(stored.height()) * eighths + 7) / 8));
    }
    return kx::zeroedImage(size.width(), size.height(), format);
}

// The logical screen a GIF file's header gives, which Qt's GIF decoder allocates as the image whatever its
// frames say (a side of 0 is left to the frames); invalid for other data.
QSize gifLogicalScreenSize(QIODevice* device) {
    if (!device)
        return {};
    const QByteArray header = device->peek(10);
    if (header.size() < 10 || !(header.startsWith("GIF87a") || header.startsWith("GIF89a")))
        return {};
    const auto byte = [&](int i) { return int(static_cast<unsigned char>(header[i])); };
    return QSize(byte(6) | byte(7) << 8, byte(8) | byte(9) << 8);
}

// True for the formats of bitmap files the application knows. Qt's plugins read more than that (MNG
// animations among them), by content whatever a file is called, and those decoders were not made for
// untrusted data: an MNG of a few hundred bytes keeps its decoder copying frames for seconds.
bool isKnownBitmapFormat(const QByteArray& format) {
    const QString type = kx::uniformTypeForExtension(QString::fromLatin1(format), QStringLiteral("public.image"));
    return kx::uniformTypeConformsTo(type, QStringLiteral("public.image"));
}

// Decodes image 0 of the reader's device upright, in sRGB and 8 bits per component; with a positive
// `maximumPixelSize` the decoder itself scales the image down so that its longer side is at most that many
// pixels. The size is checked before anything is decoded. A GIF whose reader reports another size than its
// header's logical screen, in a side the screen gives, is refused: a damaged file, for which the decoder
// would make an image of a size the check did not see.
kx::Image decodeWithReader(QImageReader& reader, int maximumPixelSize) {
    kx::Image::limitReaderAllocations();
    if (!isKnownBitmapFormat(reader.format()))
        return {};
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    if (reader.format() == "gif") {
        const QSize screen = gifLogicalScreenSize(reader.device());
        if (!screen.isValid() || (screen.width() > 0 && screen.width() != stored.width()) ||
            (screen.height() > 0 && screen.height() != stored.height()))
            return {};
    }
    if (stored.isValid()) {
        if (stored.isEmpty() || qint64(stored.width()) * stored.height() > kx::Image::maximumPixelCount)
            return {};
        const int longer = std::max(stored.width(), stored.height());
        if (maximumPixelSize > 0 && longer > maximumPixelSize) {
            const double scale = double(maximumPixelSize) / longer;
            reader.setScaledSize(QSize(std::max(1, int(std::lround(stored.width() * scale))),
                                       std::max(1, int(std::lround(stored.height() * scale)))));
        }
    }
    QImage image = jpegDecodeTarget(reader, stored, reader.scaledSize());
    if (!reader.read(&image))
        return {};
    if (image.isNull() || qint64(image.width()) * image.height() > kx::Image::maximumPixelCount)
        return {};
    // Readers that could not tell their size beforehand, or cannot scale while decoding.
    if (maximumPixelSize > 0 && std::max(image.width(), image.height()) > maximumPixelSize)
        image = image.scaled(maximumPixelSize, maximumPixelSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    convertToSRGB(image);
    return kx::Image(std::move(image));
}

kx::Image decodeBitmapFile(const QString& path, int maximumPixelSize) {
    if (!QFileInfo(path).isFile())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !kx::pngChunksFitInDevice(file))
        return {};
    QImageReader reader(&file);
    reader.setDecideFormatFromContent(true);
    return decodeWithReader(reader, maximumPixelSize);
}

// The fitted size of a drawing, or (0, 0) when it has none or the bound is not usable.
kx::Size fittedDrawingSize(const kx::Size& natural, double maxWidth, double maxHeight) {
    if (!(natural.width > 0) || !(natural.height > 0) || !std::isfinite(natural.width) ||
        !std::isfinite(natural.height))
        return {};
    return aspectFitSize(natural, kx::Size(maxWidth, maxHeight));
}

}  // namespace

kx::Image decodeBitmapData(const QByteArray& data, int maximumPixelSize) {
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly) || !kx::pngChunksFitInDevice(buffer))
        return {};
    QImageReader reader(&buffer);
    return decodeWithReader(reader, maximumPixelSize);
}

kx::Image loadImageFromFile(const QString& path) {
    if (path.isEmpty())
        return {};
    if (isJPNGFile(path))
        return kx::loadJPNGImageFromFile(path, true);
    if (isPDFFile(path))
        return rasterizePDFFile(path);
    if (isSVGFile(path))
        return rasterizeSVGFile(path, kVectorRasterLimit, kVectorRasterLimit);
    if (isEPSFile(path))
        return rasterizeEPSFile(path, kVectorRasterLimit, kVectorRasterLimit);
    if (isAIFile(path))
        return rasterizeAIFile(path, kVectorRasterLimit, kVectorRasterLimit);
    return decodeBitmapFile(path, 0);
}

namespace {

struct SharedImage {
    QString path;
    qint64 fileSize = 0;
    QDateTime modified;
    kx::Image image;
};

qint64 pixelBytes(const kx::Image& image) {
    return image.isNull() ? 0 : qint64(image.qimage().sizeInBytes());
}

}  // namespace

kx::Image loadSharedImageFromFile(const QString& path) {
    if (path.isEmpty())
        return {};
    const QFileInfo info(path);
    if (!info.isFile())
        return loadImageFromFile(path);
    const qint64 fileSize = info.size();
    const QDateTime modified = info.lastModified();
    static QMutex lock;
    static std::list<SharedImage> kept;  // most recently used first
    static qint64 keptBytes = 0;
    // Drops an entry (none at the end), with the lock held.
    const auto forget = [](std::list<SharedImage>::iterator it) {
        if (it == kept.end())
            return;
        keptBytes -= pixelBytes(it->image);
        kept.erase(it);
    };
    {
        QMutexLocker locker(&lock);
        const auto it = std::find_if(kept.begin(), kept.end(), [&](const SharedImage& e) { return e.path == path; });
        if (it != kept.end() && it->fileSize == fileSize && it->modified == modified) {
            kept.splice(kept.begin(), kept, it);
            return kept.front().image;
        }
        forget(it);
    }
    kx::Image image = loadImageFromFile(path);
    const qint64 bytes = pixelBytes(image);
    if (image.isNull() || bytes > kSharedImageCacheBytes / 4)
        return image;
    QMutexLocker locker(&lock);
    // Another thread may have loaded the same file meanwhile: keep one entry per path.
    forget(std::find_if(kept.begin(), kept.end(), [&](const SharedImage& e) { return e.path == path; }));
    kept.push_front({path, fileSize, modified, image});
    keptBytes += bytes;
    while (keptBytes > kSharedImageCacheBytes && kept.size() > 1) {
        keptBytes -= pixelBytes(kept.back().image);
        kept.pop_back();
    }
    return image;
}

kx::Image loadImageThumbnail(const QString& path, int maximumPixelSize) {
    if (path.isEmpty())
        return {};
    if (isJPNGFile(path))
        return kx::loadJPNGImageFromFile(path, true);
    return decodeBitmapFile(path, maximumPixelSize);
}

kx::Image rasterizeSVGFile(const QString& path, double maxWidth, double maxHeight) {
    if (path.isEmpty())
        return {};
    const std::shared_ptr<KXSVGImage> drawing = KXSVGImage::imageWithContentsOfFile(path);
    const kx::Size fitted = fittedDrawingSize(drawing->size(), maxWidth, maxHeight);
    BitmapContextRef context = createBitmapContext(fitted.width, fitted.height);
    if (!context)
        return {};
    drawing->drawInRect(*context, kx::Rect(kx::Point(), fitted));
    kx::Image image = context->makeImage();
    releaseBitmapContext(context);
    return image;
}

kx::Image reflectionMaskImage() {
    static QMutex lock;
    static kx::Image kept;
    QMutexLocker locker(&lock);
    if (kept.isNull()) {
        for (const char* extension : {"png", "jpng", "jpg", "tiff"}) {
            const QString path =
                kx::Bundle::main().pathForResource(QStringLiteral("reflectionMask"), QLatin1String(extension));
            if (!path.isEmpty()) {
                kept = loadImageFromFile(path);
                break;
            }
        }
    }
    return kept;
}
