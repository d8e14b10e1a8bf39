#include "platform/gfx/jpng.h"

#include "platform/gfx/png_chunks.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QScreen>
#include <QtEndian>

#include <atomic>

namespace kx {

namespace {

constexpr int kFooterSize = 16;
constexpr quint32 kTag = 0x4A504E47;         // "GNPJ" at the end of the data
constexpr quint32 kAlternateTag = 0x4A504547;  // "GEPJ"
constexpr qint64 kMaximumImageFileBytes = qint64(1) << 30;

std::atomic<double> screenScaleOverride{0};

// Decodes one embedded stream of a known format, refusing images beyond the pixel limit before decoding.
QImage decodeStream(const QByteArray& bytes, const char* format) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    if (!pngChunksFitInDevice(buffer))
        return {};
    Image::limitReaderAllocations();
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(false);
    reader.setAutoTransform(false);
    const QSize size = reader.size();
    if (!size.isValid() || qint64(size.width()) * size.height() > Image::maximumPixelCount)
        return {};
    return reader.read();
}

}  // namespace

Image loadJPNGImageFromData(const QByteArray& data, bool forcedBitmap) {
    // Both modes give the same premultiplied pixels: the opacity multiplies the colour once.
    Q_UNUSED(forcedBitmap);
    const qint64 length = data.size();
    if (length <= kFooterSize)
        return {};
    const auto* footer = reinterpret_cast<const uchar*>(data.constData()) + (length - kFooterSize);
    const quint64 jpegLength = qFromLittleEndian<quint32>(footer);
    const quint64 pngLength = qFromLittleEndian<quint32>(footer + 4);
    const int majorVersion = footer[10];
    const quint32 tag = qFromLittleEndian<quint32>(footer + 12);
    if (tag != kTag && tag != kAlternateTag)
        return {};
    if (majorVersion >= 2) {
        qWarning("This version of the JPNG library doesn't support JPNG version %i files", majorVersion);
        return {};
    }
    // Lengths are summed in 64 bits, so that no pair of 32-bit lengths can wrap around.
    if (jpegLength == 0 || pngLength == 0 || jpegLength + pngLength > quint64(length - kFooterSize))
        return {};

    const QImage colour = decodeStream(data.left(qsizetype(jpegLength)), "jpeg");
    const QImage opacity = decodeStream(data.mid(qsizetype(jpegLength), qsizetype(pngLength)), "png");
    if (colour.isNull() || opacity.isNull())
        return {};

    const QImage rgb = colour.convertToFormat(QImage::Format_RGB32);
    // The opacity image covers the whole colour image, stretched when its size differs.
    QImage grey = opacity.convertToFormat(QImage::Format_Grayscale8);
    if (grey.size() != rgb.size())
        grey = grey.scaled(rgb.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (rgb.isNull() || grey.isNull())
        return {};

    QImage result(rgb.size(), QImage::Format_RGBA8888_Premultiplied);
    if (result.isNull())
        return {};
    for (int y = 0; y < result.height(); ++y) {
        const auto* c = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        const uchar* a = grey.constScanLine(y);
        uchar* out = result.scanLine(y);
        for (int x = 0; x < result.width(); ++x, out += 4) {
            const int alpha = a[x];
            out[0] = uchar((qRed(c[x]) * alpha + 127) / 255);
            out[1] = uchar((qGreen(c[x]) * alpha + 127) / 255);
            out[2] = uchar((qBlue(c[x]) * alpha + 127) / 255);
            out[3] = uchar(alpha);
        }
    }
    return Image(result);
}

Image loadJPNGImageFromFile(const QString& path, bool forcedBitmap) {
    QFile file(path);
    if (!QFileInfo(path).isFile() || file.size() > kMaximumImageFileBytes || !file.open(QIODevice::ReadOnly))
        return {};
    return loadJPNGImageFromData(file.readAll(), forcedBitmap);
}

double mainScreenBackingScale() {
    if (const double forced = screenScaleOverride.load(); forced > 0)
        return forced;
    const QScreen* screen = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                                ? QGuiApplication::primaryScreen()
                                : nullptr;
    return screen ? screen->devicePixelRatio() : 1.0;
}

void setMainScreenBackingScaleOverride(double scale) { screenScaleOverride.store(scale > 0 ? scale : 0); }

void resolveScaledImagePath(QString& path, double& scale) {
    static const QString twoX = QStringLiteral("@2x");
    const QFileInfo info(path);
    QString extension = info.suffix();
    QString base = path;
    if (!extension.isEmpty())
        base.chop(extension.size() + 1);
    else
        extension = QStringLiteral("png");

    QStringList suffixes{QLatin1Char('.') + extension};
    if (mainScreenBackingScale() == 2.0)
        suffixes << twoX + QLatin1Char('.') + extension;
    QString chosen = base;
    for (auto it = suffixes.crbegin(); it != suffixes.crend(); ++it) {
        if (QFileInfo::exists(base + *it)) {
            chosen = base + *it;
            break;
        }
    }
    path = chosen;
    // Only the file's own name counts: a folder called "x@2x" says nothing about the files inside.
    scale = QFileInfo(chosen).fileName().contains(twoX) ? 2.0 : 1.0;
}

JPNGImageCache& JPNGImageCache::shared() {
    static JPNGImageCache* cache = new JPNGImageCache;  // lives for the whole process
    return *cache;
}

Image JPNGImageCache::imageNamed(const QString& name, const QString& resourceFolder) {
    std::lock_guard lock(m_lock);
    QString path = QDir(resourceFolder).filePath(name);
    double scale = 1;
    resolveScaledImagePath(path, scale);
    if (auto it = m_images.constFind(name); it != m_images.constEnd())
        return *it;
    const Image decoded = loadJPNGImageFromFile(path, true);
    if (decoded.isNull())
        return {};
    const Image image = decoded.withPointSize({decoded.width() / scale, decoded.height() / scale});
    m_images.insert(name, image);
    return image;
}

bool JPNGImageCache::contains(const QString& name) const {
    std::lock_guard lock(m_lock);
    return m_images.contains(name);
}

int JPNGImageCache::count() const {
    std::lock_guard lock(m_lock);
    return int(m_images.size());
}

void JPNGImageCache::clear() {
    std::lock_guard lock(m_lock);
    m_images.clear();
}

}  // namespace kx
