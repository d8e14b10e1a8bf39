#include "graphics/image_file_types.h"

#include "graphics/file_utilities.h"
#include "platform/foundation/uniform_type.h"

#include <QImageReader>

#include <algorithm>

namespace {

bool typeOfFileEquals(const QString& path, const char* identifier) {
    return kx::uniformTypeEquals(typeIdentifierOfFile(path), QString::fromLatin1(identifier));
}

}  // namespace

bool isJPNGFile(const QString& path) {
    return pathExtension(path).compare(QLatin1String("jpng"), Qt::CaseInsensitive) == 0;
}

bool isPDFFile(const QString& path) {
    return typeOfFileEquals(path, "com.adobe.pdf");
}

bool isEPSFile(const QString& path) {
    return typeOfFileEquals(path, "com.adobe.encapsulated-postscript");
}

bool isSVGFile(const QString& path) {
    return typeOfFileEquals(path, "public.svg-image");
}

bool isAIFile(const QString& path) {
    return typeOfFileEquals(path, "com.adobe.illustrator.ai-image");
}

const QStringList& readableImageTypeIdentifiers() {
    // The plugins are loaded once per process, so their list does not change while it runs.
    static const QStringList identifiers = [] {
        QStringList ids{QStringLiteral("com.adobe.pdf")};
        for (const QByteArray& format : QImageReader::supportedImageFormats()) {
            const QString id = kx::uniformTypeForExtension(QString::fromLatin1(format));
            if (!id.isEmpty() && !ids.contains(id, Qt::CaseInsensitive))
                ids.append(id);
        }
        return ids;
    }();
    return identifiers;
}

bool isSupportedImageFile(const QString& path) {
    if (isJPNGFile(path))
        return true;
    // One type lookup serves the PDF, EPS and SVG tests and the reader's list.
    const QString type = typeIdentifierOfFile(path);
    if (type.isEmpty())
        return false;
    for (const char* rasterised : {"com.adobe.pdf", "com.adobe.encapsulated-postscript", "public.svg-image"}) {
        if (kx::uniformTypeEquals(type, QString::fromLatin1(rasterised)))
            return true;
    }
    const QStringList& readable = readableImageTypeIdentifiers();
    return std::any_of(readable.begin(), readable.end(),
                       [&](const QString& id) { return kx::uniformTypeConformsTo(type, id); });
}

bool containsSupportedImageFile(const QStringList& paths) {
    return std::any_of(paths.begin(), paths.end(), [](const QString& p) { return isSupportedImageFile(p); });
}

QStringList imageFilesInDirectory(const QString& folder, bool recursive) {
    QStringList images = filesInFolder(folder, QStringLiteral("*"), recursive);
    images.removeIf([](const QString& p) { return !isSupportedImageFile(p); });
    // Names that differ only in case are ordered case-sensitively, so the order never depends on
    // the enumeration.
    std::sort(images.begin(), images.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    return images;
}

QStringList imageFilesInDirectoryWithExtensions(const QString& folder, const QStringList& extensions,
                                                bool recursive) {
    QStringList images = filesInFolder(folder, QStringLiteral("*"), recursive);
    images.removeIf([&](const QString& p) {
        return !extensions.contains(pathExtension(p).toLower()) || !isSupportedImageFile(p);
    });
    return images;
}

BitmapFileType bitmapFileTypeForPath(const QString& path) {
    const QString extension = pathExtension(path);
    if (extension == QLatin1String("tiff") || extension == QLatin1String("tif"))
        return BitmapFileType::TIFF;
    if (extension == QLatin1String("bmp"))
        return BitmapFileType::BMP;
    if (extension == QLatin1String("gif"))
        return BitmapFileType::GIF;
    if (extension == QLatin1String("png"))
        return BitmapFileType::PNG;
    return BitmapFileType::JPEG;
}
