#include "library/resource_folders.h"

#include "graphics/app_info.h"
#include "graphics/file_utilities.h"
#include "graphics/image_file_types.h"
#include "platform/foundation/bundle.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

const QString kThumbnails = QStringLiteral("Thumbnails");

// Direct subfolders in enumeration order, without "Thumbnails" and hidden ones.
QStringList categoryFoldersIn(const QString& folder) {
    QStringList names;
    const QDir dir(folder);
    if (folder.isEmpty() || !dir.exists())
        return names;
    for (const QString& name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Unsorted))
        if (name != kThumbnails)
            names.append(name);
    return names;
}

QString builtInFolder(const QString& kind) {
    return kx::Bundle::main().resourcePath() + u'/' + kind;
}

// The pack folders inside Boxes, in enumeration order; none when there is no Boxes folder.
QStringList packFolders() {
    const QString boxes = boxesFolder();
    QStringList folders;
    if (boxes.isEmpty())
        return folders;
    for (const QString& name : QDir(boxes).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Unsorted))
        folders.append(boxes + u'/' + name);
    return folders;
}

// A category name is used as one path component; anything that could climb out of its folder finds nothing.
bool isPlainName(const QString& name) {
    return !name.isEmpty() && name != u'.' && name != QStringLiteral("..") && !name.contains(u'/') &&
           !name.contains(QChar(0));
}

}  // namespace

QStringList categoriesOfResource(const QString& kind) {
    QStringList categories;
    if (kind != KXResourceClipart)
        categories.append(KXResourceAllCategory);
    categories += categoryFoldersIn(builtInFolder(kind));
    for (const QString& pack : packFolders())
        categories += categoryFoldersIn(pack + u'/' + kind);
    return categories;
}

QStringList imagesOfCategoryFolder(const QString& kind, const QString& folder) {
    if (kind == KXResourceFrame)
        return imageFilesInDirectoryWithExtensions(folder, {QStringLiteral("png"), QStringLiteral("jpng")}, false);
    return imageFilesInDirectory(folder, false);
}

QStringList resourcePathsInCategory(const QString& kind, const QString& category) {
    if (category == KXResourceAllCategory)
        return allResourcePaths(kind);
    if (!isPlainName(category))
        return {};
    QStringList paths = imagesOfCategoryFolder(kind, builtInFolder(kind) + u'/' + category);
    const QString boxes = boxesFolder();
    if (!boxes.isEmpty())
        paths += imagesOfCategoryFolder(kind, boxes + u'/' + category + u'/' + kind + u'/' + category);
    return paths;
}

QStringList allResourcePaths(const QString& kind) {
    QStringList paths;
    const QString builtIn = builtInFolder(kind);
    for (const QString& category : categoryFoldersIn(builtIn))
        paths += imagesOfCategoryFolder(kind, builtIn + u'/' + category);
    for (const QString& pack : packFolders()) {
        const QString packKind = pack + u'/' + kind;
        for (const QString& category : categoryFoldersIn(packKind))
            paths += imagesOfCategoryFolder(kind, packKind + u'/' + category);
    }
    return paths;
}

QString thumbnailPathForResource(const QString& path) {
    const QFileInfo info(path);
    const QString thumb = info.path() + u'/' + kThumbnails + u'/' + info.completeBaseName() + QStringLiteral(".jpg");
    return QFileInfo(thumb).isFile() ? thumb : QString();
}

QString customResourcePath(const QString& kind) {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString name = bundleName();
    if (base.isEmpty() || !isPlainName(name) || !isPlainName(kind))
        return {};
    const QString path = base + u'/' + name + QStringLiteral("/Custom Resources/") + kind;
    if (!QDir().mkpath(path))
        return {};
    return path;
}

QStringList customResourcePaths(const QString& folder) {
    if (folder.isEmpty())
        return {};
    return imageFilesInDirectory(folder, false);
}

QStringList importResourceFiles(const QStringList& files, const QString& folder) {
    QStringList written;
    if (folder.isEmpty())
        return written;
    for (const QString& file : files) {
        const QFileInfo info(file);
        if (!info.isFile())
            continue;
        // The free name is checked again by the copy itself, which refuses to replace anything.
        const QString target = uniqueFilePath(folder, info.completeBaseName(), info.suffix());
        if (!target.isEmpty() && QFile::copy(file, target))
            written.append(target);
    }
    return written;
}

QStringList removeResourceFiles(const QStringList& paths, const QString& folder) {
    QStringList removed;
    const QString root = QFileInfo(folder).canonicalFilePath();
    if (folder.isEmpty() || root.isEmpty())
        return removed;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (info.isSymLink() || !info.isFile())
            continue;
        // The folder holding the file, resolved, must be the user's folder itself.
        if (QFileInfo(info.absolutePath()).canonicalFilePath() != root)
            continue;
        if (QFile::remove(path))
            removed.append(path);
    }
    return removed;
}
