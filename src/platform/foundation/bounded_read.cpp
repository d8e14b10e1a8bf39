#include "platform/foundation/bounded_read.h"

#include <QFile>
#include <QFileInfo>

namespace kx {

bool isRegularFileWithin(const QString& path, qint64 limit) {
    const QFileInfo info(path);
    return !path.isEmpty() && info.isFile() && info.size() <= limit;
}

std::optional<QByteArray> readRegularFile(const QString& path, qint64 limit, QString* error) {
    const auto refuse = [error](const QString& why) -> std::optional<QByteArray> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return refuse(QStringLiteral("no such file"));
    if (!info.isFile())
        return refuse(QStringLiteral("not a regular file"));
    if (info.size() > limit)
        return refuse(QStringLiteral("file larger than %1 bytes").arg(limit));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(file.errorString());
    QByteArray data = file.read(limit + 1);
    if (data.size() > limit)
        return refuse(QStringLiteral("file larger than %1 bytes").arg(limit));
    return data;
}

}  // namespace kx
