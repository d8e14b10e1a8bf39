#include "document/package_paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace {

bool isSymLink(const QString& path) {
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

}  // namespace

bool isLinkFreeInside(const QString& folder, const QString& path) {
    if (folder.isEmpty() || path.isEmpty())
        return false;
    const QString root = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    QString current = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    if (!current.startsWith(root + QLatin1Char('/')))
        return false;
    // Each component from the path up to (not including) the folder.
    while (current.size() > root.size()) {
        if (isSymLink(current))
            return false;
        current = QFileInfo(current).path();
    }
    return current == root;
}

bool isInPackageData(const QString& path) {
    if (path.isEmpty())
        return false;
    const QFileInfo file(path);
    const QFileInfo folder(file.path());
    return folder.fileName() == QLatin1String("Data") && QFileInfo(folder.path() + QStringLiteral("/info.xml")).isFile();
}
