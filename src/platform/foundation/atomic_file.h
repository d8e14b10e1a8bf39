// Writing a file so that a reader sees either the old contents or the new, never a mix.
#pragma once

#include <QByteArray>
#include <QString>

namespace kx {

// Writes the data beside the path and renames it into place. On failure the old file (if any) is
// left as it was, no partial file remains, and *error says why.
bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error = nullptr);

}  // namespace kx
