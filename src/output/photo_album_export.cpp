#include "output/photo_album_export.h"

#include "graphics/app_info.h"
#include "graphics/file_utilities.h"
#include "output/export_dialogs.h"
#include "output/share_names.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString photoAlbumFolder() {
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    const QString name = bundleName();
    if (pictures.isEmpty() || !QDir::isAbsolutePath(pictures) || name.isEmpty() || sanitizedFileName(name, {}) != name)
        return {};
    const QString folder = pictures + u'/' + name;
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir())
        return {};
    return folder;
}

QStringList photoAlbumFiles(const QString& folder, const QString& name, int pageCount) {
    const QString base = sanitizedFileName(name, exportText("Untitled"));
    QStringList files;
    for (int i = 0; i < pageCount; ++i) {
        const QString stem = pageCount == 1 ? base : QStringLiteral("%1_%2").arg(base).arg(i + 1);
        QString file = uniqueFilePath(folder, stem, QStringLiteral("jpg"));
        // Two pages of this send may not take one name either (a taken "Trip_1" must not meet page 1's
        // replacement "Trip_1_001" twice).
        int extra = 1;
        while (files.contains(file))
            file = uniqueFilePath(folder, stem + QStringLiteral("_%1").arg(extra++), QStringLiteral("jpg"));
        files.append(file);
    }
    return files;
}
