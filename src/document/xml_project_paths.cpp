#include "document/xml_project_paths.h"

#include <QDir>
#include <QFileInfo>

namespace {

// Deeper folders than this are not searched: a package is a few levels deep.
constexpr int kMaxSearchDepth = 16;

bool isXMLProjectFile(const QFileInfo& entry) {
    static const QStringList extensions = {QStringLiteral("pwp"), QStringLiteral("vrtp"), QStringLiteral("vrtplite"),
                                           QStringLiteral("vrtp3"), QStringLiteral("vrtplite3")};
    // A link is not the package's own file, even when it leads to one.
    return entry.isFile() && !entry.isSymLink() && extensions.contains(entry.suffix().toLower());
}

QString findXMLFile(const QDir& folder, const QString& relative, int depth) {
    const QFileInfoList entries =
        folder.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : entries) {
        const QString path = relative.isEmpty() ? entry.fileName() : relative + u'/' + entry.fileName();
        if (isXMLProjectFile(entry))
            return path;
        if (entry.isDir() && !entry.isSymLink() && depth < kMaxSearchDepth) {
            const QString found = findXMLFile(QDir(entry.filePath()), path, depth + 1);
            if (!found.isNull())
                return found;
        }
    }
    return {};
}

bool hasEntries(const QString& path) {
    const QFileInfo info(path);
    return info.isDir() && !QDir(path).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

}  // namespace

QString xmlFilePathFromPath(const QString& folder) {
    if (folder.isEmpty() || !QFileInfo(folder).isDir() || QFileInfo(folder).isSymLink())
        return {};
    return findXMLFile(QDir(folder), QString(), 0);
}

QString xmlImageFolder(const QString& dataPath, int version) {
    if (dataPath.isEmpty())
        return {};
    const QFileInfo package(QDir::cleanPath(dataPath));
    if (version <= 4)
        return package.path() + u'/' + package.completeBaseName() + QStringLiteral("-KX");
    if (!hasEntries(dataPath))
        return {};
    return QDir::cleanPath(dataPath) + QStringLiteral("/Contents/Resources");
}

QString xmlImagePath(const QString& imageFolder, const QString& imageName) {
    if (imageFolder.isEmpty() || imageName.isEmpty())
        return {};
    QString relative = imageName;
    relative.replace(u'\\', u'/');
    while (relative.startsWith(u'/'))
        relative.remove(0, 1);
    const QString relativeClean = QDir::cleanPath(relative);
    if (relative.isEmpty() || relativeClean == QStringLiteral("..") || relativeClean.startsWith(QStringLiteral("../")) ||
        relativeClean == QStringLiteral("."))
        return {};
    return QDir::cleanPath(imageFolder) + u'/' + relativeClean;
}
