// Reading whole files that come from outside: only regular files (a FIFO would block the reader forever,
// a device such as /dev/zero would never end) and only up to a limit that the caller sets for its kind
// of file.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace kx {

// Whether the path names a regular file (after symbolic links) of at most `limit` bytes.
bool isRegularFileWithin(const QString& path, qint64 limit);

// The whole of a regular file of at most `limit` bytes; nullopt and *error otherwise. Never reads more
// than `limit` + 1 bytes, so a file that grows while it is read is refused too.
std::optional<QByteArray> readRegularFile(const QString& path, qint64 limit, QString* error = nullptr);

}  // namespace kx
