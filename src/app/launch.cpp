#include "app/launch.h"

#include "graphics/file_utilities.h"

#include <QDir>
#include <QFileInfo>

KXLaunchRequest launchRequestForPath(const QString& path) {
    KXLaunchRequest request;
    if (path.isEmpty())
        return request;
    QString target = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QFileInfo info(target);
    if (info.fileName().compare(QStringLiteral("info.xml"), Qt::CaseInsensitive) == 0)
        target = info.absolutePath();
    const QString extension = QFileInfo(target).suffix().toLower();
    const bool isTemplate = extension == QLatin1String("vrtpkg") || extension == QLatin1String("tpl") ||
                            (QFileInfo(target).isDir() && !filesInFolder(target, QStringLiteral("tpl"), false).isEmpty());
    if (isTemplate)
        request.templatePath = target;
    else
        request.projPath = target;
    return request;
}
