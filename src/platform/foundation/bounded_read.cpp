#include "platform/foundation/bounded_read.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

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
    // Read what the file holds (plus one byte to notice growth), not the limit: a buffer of the limit's
    // size would be allocated for every small file.
    QByteArray data = file.read(std::min(limit, info.size()) + 1);
    while (data.size() <= limit) {
        const QByteArray more = file.read(std::min<qint64>(qint64(1) << 20, limit + 1 - data.size()));
        if (more.isEmpty())
            break;
        data += more;
    }
    if (data.size() > limit)
        return refuse(QStringLiteral("file larger than %1 bytes").arg(limit));
    return data;
}

}  // namespace kx
