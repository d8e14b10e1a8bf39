#include "library/pack_installer.h"
#include "graphics/file_utilities.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUuid>

#include <sys/stat.h>

#include <cstdio>

namespace {

QString keptIntact(const QString& folderName) {
    return QStringLiteral(" The installed pack \"%1\" was left as it was.").arg(folderName);
}

KXPackInstallResult failure(const QString& text) {
    KXPackInstallResult result;
    result.errorText = text;
    return result;
}

bool entryExists(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

// Removes a folder tree, or only the link itself when the path is a symbolic link (never what it points to).
void removeTree(const QString& path) {
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isDir())
        QFile::remove(path);
    else
        QDir(path).removeRecursively();
}

// Scratch and set-aside folders of an unpacking that was killed are removed once they are an hour old (a younger
// one may belong to an unpacking still running in another instance of the program).
void removeStaleLeftovers(const QString& packsFolder) {
    const qint64 limit = QDateTime::currentDateTime().addSecs(-3600).toSecsSinceEpoch();
    const QStringList leftovers = QDir(packsFolder)
                                      .entryList({QStringLiteral(".unpacking-*"), QStringLiteral(".replaced-*")},
                                                 QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : leftovers) {
        // The entry's own date: a link is judged by itself, not by what it points to.
        const QString path = packsFolder + u'/' + name;
        struct stat info {};
        if (::lstat(QFile::encodeName(path).constData(), &info) == 0 && info.st_mtime < limit)
            removeTree(path);
    }
}

bool renamePath(const QString& from, const QString& to) {
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

}  // namespace

QString KXPackFolderNameForURL(const QUrl& url) {
    // The last segment is taken before decoding, so an encoded "/" stays inside it and is refused.
    const QString encodedPath = url.path(QUrl::FullyEncoded);
    const QString segment = QUrl::fromPercentEncoding(encodedPath.mid(encodedPath.lastIndexOf(u'/') + 1).toUtf8());
    if (!isPlainFileName(segment))
        return {};
    const qsizetype dot = segment.lastIndexOf(u'.');
    QString name = dot > 0 ? segment.left(dot) : segment;
    name.replace(u'_', u' ');
    return isPlainFileName(name) ? name : QString();
}

KXPackInstallResult KXInstallPack(const QString& zipPath,
                                  const QString& packsFolder,
                                  const QString& folderName,
                                  const QByteArray& password,
                                  const KXZipLimits& limits) {
    if (!isPlainFileName(folderName))
        return failure(QStringLiteral("The pack name \"%1\" cannot be used as a folder name.").arg(folderName));
    if (packsFolder.isEmpty() || !QDir().mkpath(packsFolder))
        return failure(QStringLiteral("The packs folder \"%1\" cannot be made.").arg(packsFolder));

    removeStaleLeftovers(packsFolder);

    KXZipArchive archive;
    archive.setLimits(limits);
    if (!archive.UnzipOpenFile(zipPath, password))
        return failure(QStringLiteral("The pack \"%1\" cannot be unpacked: %2").arg(folderName, archive.lastError()) +
                       keptIntact(folderName));

    // Hidden, so that the chooser and the resource panel never list it while it fills.
    QTemporaryDir scratch(packsFolder + QStringLiteral("/.unpacking-XXXXXX"));
    if (!scratch.isValid())
        return failure(QStringLiteral("No scratch folder can be made in \"%1\".").arg(packsFolder) +
                       keptIntact(folderName));
    const bool unpacked = archive.UnzipFileTo(scratch.path(), true);
    const QString unpackError = archive.lastError();
    archive.UnzipCloseFile();
    if (!unpacked)
        return failure(QStringLiteral("The pack \"%1\" cannot be unpacked: %2").arg(folderName, unpackError) +
                       keptIntact(folderName));

    const QString unpackedFolder = scratch.path() + u'/' + folderName;
    const QFileInfo unpackedInfo(unpackedFolder);
    if (!unpackedInfo.isDir() || unpackedInfo.isSymLink())
        return failure(QStringLiteral("The archive does not hold the folder \"%1\".").arg(folderName) +
                       keptIntact(folderName));

    // The old pack steps aside under a hidden name, the new one takes its place, then the old one goes.
    const QString target = packsFolder + u'/' + folderName;
    QString aside;
    if (entryExists(target)) {
        aside = packsFolder + QStringLiteral("/.replaced-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
        if (!renamePath(target, aside))
            return failure(QStringLiteral("The installed pack \"%1\" cannot be replaced.").arg(folderName) +
                           keptIntact(folderName));
    }
    if (!renamePath(unpackedFolder, target)) {
        if (!aside.isEmpty())
            renamePath(aside, target);
        return failure(QStringLiteral("The pack \"%1\" cannot be moved into place.").arg(folderName) +
                       keptIntact(folderName));
    }
    if (!aside.isEmpty())
        removeTree(aside);

    KXPackInstallResult result;
    result.ok = true;
    result.installedFolder = target;
    return result;
}
