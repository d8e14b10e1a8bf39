#include "output/share_names.h"

#include "graphics/app_info.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString sanitizedFileName(const QString& name, const QString& fallback) {
    QString cleaned = name;
    cleaned.remove(u'/');
    cleaned.remove(QChar(0));
    qsizetype start = 0;
    while (start < cleaned.size() && (cleaned[start] == u'.' || cleaned[start].isSpace()))
        ++start;
    cleaned = cleaned.mid(start).trimmed();
    return cleaned.isEmpty() ? fallback : cleaned;
}

QString applicationDataSubfolder(const QString& subfolder) {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString name = bundleName();
    if (base.isEmpty() || !QDir::isAbsolutePath(base) || sanitizedFileName(name, {}) != name)
        return {};
    const QString path = base + u'/' + name + u'/' + subfolder;
    if (!QDir().mkpath(path) || !QFileInfo(path).isDir())
        return {};
    return path;
}
