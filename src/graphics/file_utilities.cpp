#include "graphics/file_utilities.h"

#include "graphics/image_file_types.h"
#include "platform/foundation/uniform_type.h"

#include <QDir>
#include <QFileInfo>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <vector>

namespace {

QString withoutTrailingSlashes(const QString& path) {
    QString p = path;
    while (p.size() > 1 && p.endsWith(u'/'))
        p.chop(1);
    return p;
}

QString joinPath(const QString& folder, const QString& component) {
    const QString base = withoutTrailingSlashes(folder);
    return base == QLatin1String("/") ? base + component : base + u'/' + component;
}

enum class Hidden { Skip, Include };

// Visits the folder's entries in enumeration order, depth first with each folder listed before its
// contents. Only real folders are entered (never a link to one), hidden ones only when hidden entries are
// included. Each folder is read whole before the walk goes deeper, so no directory stays open on the way
// down however deep the tree. `visit` returns false to stop the walk.
void walkFolder(const QString& folder, bool recursive, Hidden hidden,
                const std::function<bool(const QFileInfo&)>& visit) {
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return;
    QDir::Filters filters = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System;
    if (hidden == Hidden::Include)
        filters |= QDir::Hidden;
    auto entriesOf = [filters](const QString& path) { return QDir(path).entryInfoList(filters, QDir::Unsorted); };
    struct Level {
        QFileInfoList entries;
        qsizetype next = 0;
    };
    std::vector<Level> stack;
    stack.push_back({entriesOf(withoutTrailingSlashes(folder))});
    while (!stack.empty()) {
        if (stack.back().next == stack.back().entries.size()) {
            stack.pop_back();
            continue;
        }
        const QFileInfo info = stack.back().entries.at(stack.back().next++);
        if (!visit(info))
            return;
        if (recursive && info.isDir() && !info.isSymLink())
            stack.push_back({entriesOf(info.filePath())});
    }
}

// True when a directory entry of that name exists, whether or not a link's target does.
bool entryExists(const QString& path) {
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

}  // namespace

bool isSafePathComponent(const QString& component) {
    return !component.isEmpty() && component != QLatin1String(".") && component != QLatin1String("..") &&
           !component.contains(u'/') && !component.contains(QChar(0));
}

bool isPlainFileName(const QString& name) {
    return isSafePathComponent(name) && !name.startsWith(u'.') && !name.contains(u'\\');
}

QString lastPathComponent(const QString& path) {
    const QString p = withoutTrailingSlashes(path);
    if (p == QLatin1String("/"))
        return p;
    return p.mid(p.lastIndexOf(u'/') + 1);
}

QString pathExtension(const QString& path) {
    const QString name = lastPathComponent(path);
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot <= 0)
        return QStringLiteral("");
    return name.mid(dot + 1);
}

QString deletingPathExtension(const QString& path) {
    const QString p = withoutTrailingSlashes(path);
    const QString name = lastPathComponent(p);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot <= 0 ? p : p.left(p.size() - (name.size() - dot));
}

bool fileExists(const QString& path) {
    return !path.isEmpty() && QFileInfo::exists(path);
}

bool isDirectory(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isDir();
}

bool isEmptyFolder(const QString& path) {
    if (!isDirectory(path))
        return true;
    DIR* dir = ::opendir(QFile::encodeName(path).constData());
    if (!dir)
        return false;
    bool empty = true;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (!(name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))) {
            empty = false;
            break;
        }
    }
    ::closedir(dir);
    return empty;
}

QString typeIdentifierOfFile(const QString& path) {
    if (path.isEmpty())
        return {};
    const QFileInfo info(path);
    if (!info.exists() || info.isDir())
        return {};
    // Linux keeps no type code beside a file's name, so a file without an extension has no type.
    const QString extension = pathExtension(path);
    if (extension.isEmpty())
        return {};
    return kx::uniformTypeForExtension(extension, QStringLiteral("public.data"));
}

QStringList filesInFolder(const QString& folder, const QString& extension, bool recursive) {
    QStringList result;
    const bool everything = extension == QLatin1String("*");
    const QString wanted = extension.toLower();
    walkFolder(folder, recursive, Hidden::Skip, [&](const QFileInfo& info) {
        if (everything || pathExtension(info.fileName()).toLower() == wanted)
            result.append(info.filePath());
        return true;
    });
    return result;
}

QStringList subfoldersInFolder(const QString& folder, bool recursive) {
    QStringList result;
    walkFolder(folder, recursive, Hidden::Skip, [&](const QFileInfo& info) {
        if (info.isDir())
            result.append(info.filePath());
        return true;
    });
    return result;
}

QStringList imageFilesInFolder(const QString& folder) {
    QStringList result;
    walkFolder(folder, true, Hidden::Include, [&](const QFileInfo& info) {
        if (!info.isDir() && isSupportedImageFile(info.filePath()))
            result.append(info.filePath());
        return true;
    });
    return result;
}

QString firstExistingPathWithExtensions(const QString& basePath, const QStringList& extensions) {
    if (basePath.isEmpty())
        return {};
    for (const QString& extension : extensions) {
        const QString candidate = basePath + u'.' + extension;
        if (fileExists(candidate))
            return candidate;
    }
    return {};
}

QString findFileInFolder(const QString& fileName, const QString& folder, bool recursive) {
    if (fileName.isEmpty())
        return {};
    const QString wanted = fileName.toLower();
    QString found;
    walkFolder(folder, recursive, Hidden::Skip, [&](const QFileInfo& info) {
        if (info.fileName().toLower() != wanted)
            return true;
        found = info.filePath();
        return false;
    });
    return found;
}

QString uniqueFilePath(const QString& folder, const QString& name, const QString& extension) {
    if (folder.isEmpty())
        return {};
    const QString suffix = extension.isEmpty() ? QString() : u'.' + extension;
    QString candidate = joinPath(folder, name + suffix);
    for (qint64 counter = 1; entryExists(candidate); ++counter)
        candidate = joinPath(folder, name + QString::asprintf("_%03lld", static_cast<long long>(counter)) + suffix);
    return candidate;
}
