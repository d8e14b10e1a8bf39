#include "platform/gfx/image.h"


#include "platform/foundation/bundle.h"
#include "platform/gfx/jpng.h"
#include "platform/gfx/png_chunks.h"

#include <QBuffer>
#include <QColorSpace>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

namespace kx {

namespace {

// Files larger than this are not images the program can hold (the pixel limit is reached long before).
constexpr qint64 kMaximumFileBytes = qint64(1) << 30;

}  // namespace

Image::Image(const QImage& image) : Image(QImage(image)) {}

Image::Image(QImage&& image) {
    if (image.isNull())
        return;
    switch (image.format()) {
    case QImage::Format_Grayscale8:
        m_image = std::move(image);
        m_format = Format::Gray;
        break;
    case QImage::Format_Grayscale16:
        m_image = std::move(image).convertToFormat(QImage::Format_Grayscale8);
        m_format = Format::Gray;
        break;
    case QImage::Format_Alpha8:
        m_image = std::move(image);
        m_format = Format::Alpha;
        break;
    default:
        m_image = std::move(image).convertToFormat(QImage::Format_RGBA8888_Premultiplied);
        m_format = Format::RGBA;
        break;
    }
    // Colour-space tags would make Qt convert on drawing; every image here is sRGB.
    if (m_image.colorSpace().isValid())
        m_image.setColorSpace(QColorSpace());
}

Size Image::pointSize() const { return m_hasPointSize ? m_pointSize : pixelSize(); }

Image Image::withPointSize(const Size& size) const {
    Image copy = *this;
    copy.m_pointSize = size;
    copy.m_hasPointSize = true;
    return copy;
}

QColor Image::pixelColor(int x, int row) const {
    if (isNull() || x < 0 || row < 0 || x >= width() || row >= height())
        return QColor(0, 0, 0, 0);
    const uchar* p = m_image.constScanLine(row);
    switch (m_format) {
    case Format::Gray: return QColor(p[x], p[x], p[x]);
    case Format::Alpha: return QColor(0, 0, 0, p[x]);
    case Format::RGBA: {
        const uchar* q = p + 4 * x;
        const int a = q[3];
        if (a == 0)
            return QColor(0, 0, 0, 0);
        auto un = [a](int c) { return std::min(255, (c * 255 + a / 2) / a); };
        return QColor(un(q[0]), un(q[1]), un(q[2]), a);
    }
    }
    return QColor(0, 0, 0, 0);
}

void Image::limitReaderAllocations() {
    static const bool once = [] {
        QImageReader::setAllocationLimit(int(maximumPixelCount * 4 / (1024 * 1024)));
        return true;
    }();
    (void)once;
}

Image Image::fromData(const QByteArray& data) {
    if (data.isEmpty())
        return {};
    if (Image jpng = loadJPNGImageFromData(data, false); !jpng.isNull())
        return jpng;
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    if (!pngChunksFitInDevice(buffer))
        return {};
    limitReaderAllocations();
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > maximumPixelCount)
        return {};
    const QImage decoded = reader.read();
    if (decoded.isNull() || qint64(decoded.width()) * decoded.height() > maximumPixelCount)
        return {};
    return Image(decoded);
}

Image Image::fromFile(const QString& path) {
    if (path.isEmpty())
        return {};
    QString resolved = path;
    double scale = 1;
    resolveScaledImagePath(resolved, scale);
    QFile file(resolved);
    if (!QFileInfo(resolved).isFile() || file.size() > kMaximumFileBytes || !file.open(QIODevice::ReadOnly))
        return {};
    const Image image = fromData(file.readAll());
    if (image.isNull())
        return {};
    return image.withPointSize({image.width() / scale, image.height() / scale});
}

Image Image::named(const QString& name) {
    if (name.isEmpty() || QDir::isAbsolutePath(name) || name.split('/').contains(QStringLiteral("..")))
        return {};
    const QString folder = resourceFolder();
    if (QFileInfo(name).suffix().toLower() == QLatin1String("jpng"))
        return JPNGImageCache::shared().imageNamed(name, folder);
    // Other names: the resource as named, or with one of the usual image extensions added.
    QStringList candidates;
    if (!QFileInfo(name).suffix().isEmpty())
        candidates << name;
    for (const char* extension : {"png", "jpg", "jpeg", "tiff", "tif", "gif", "bmp"})
        candidates << name + QLatin1Char('.') + QLatin1String(extension);
    for (const QString& candidate : candidates) {
        QString resolved = QDir(folder).filePath(candidate);
        double scale = 1;
        resolveScaledImagePath(resolved, scale);
        if (QFileInfo(resolved).isFile())
            return fromFile(QDir(folder).filePath(candidate));
    }
    return {};
}

QString Image::resourceFolder() { return Bundle::main().resourcePath(); }

}  // namespace kx
