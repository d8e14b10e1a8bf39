// The application's fixed folders under the XDG data and cache folders, and the content-pack lookup
// that searches one of them.
#include "graphics/file_utilities.h"

#include "graphics/app_info.h"
#include "graphics/image_file_types.h"
#include "platform/foundation/bundle.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// <data>/<bundle name>/Custom Resources/<kind>, created when missing; the path even when creation fails.
QString customResourceFolder(const QString& kind) {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString name = bundleName();
    if (base.isEmpty() || !isSafePathComponent(name))
        return {};
    const QString path = base + u'/' + name + QStringLiteral("/Custom Resources/") + kind;
    QDir().mkpath(path);
    return path;
}

// <cache>/<bundle identifier>/<kind>, not created; null when there is no cache folder or identifier.
QString cachesFolderPath(const QString& kind) {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    const QString identifier = kx::Bundle::main().bundleIdentifier();
    if (base.isEmpty() || !isSafePathComponent(identifier))
        return {};
    return base + u'/' + identifier + u'/' + kind;
}

QString createdCachesFolder(const QString& kind) {
    const QString path = cachesFolderPath(kind);
    if (path.isEmpty() || !QDir().mkpath(path) || !QFileInfo(path).isDir())
        return {};
    return path;
}

}  // namespace

QString customClipartFolder() {
    return customResourceFolder(QStringLiteral("Clipart"));
}

QString customMaskFolder() {
    return customResourceFolder(QStringLiteral("Mask"));
}

QString dataFolder() {
    return createdCachesFolder(QStringLiteral("Data"));
}

QString boxesFolder() {
    return createdCachesFolder(QStringLiteral("Boxes"));
}

QString temporaryFolder() {
    const QString path = cachesFolderPath(QStringLiteral("Temporary"));
    if (path.isEmpty() || !QDir().mkpath(QFileInfo(path).path()))
        return {};
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    // Whatever was already there must be a real folder of ours; tighten its mode if it was left open.
    struct stat st;
    if (::lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        return {};
    if ((st.st_mode & 0777) != 0700 && ::chmod(native.constData(), 0700) != 0)
        return {};
    return path;
}

QString findBoxResourceInSubfolder(const QString& category, const QString& subcategory, const QString& name) {
    if (!isSafePathComponent(category) || (!subcategory.isEmpty() && !isSafePathComponent(subcategory)))
        return {};
    const QString boxes = cachesFolderPath(QStringLiteral("Boxes"));
    if (boxes.isEmpty())
        return {};
    for (const QString& pack : subfoldersInFolder(boxes, false)) {
        QString folder = pack + u'/' + category;
        if (!subcategory.isEmpty())
            folder += u'/' + subcategory;
        for (const QString& image : imageFilesInFolder(folder)) {
            if (deletingPathExtension(lastPathComponent(image)) == name)
                return image;
        }
    }
    return {};
}
