// Whole-file reads and writes for the output tests' fixtures and checks.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace kxtest {

inline QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

}  // namespace kxtest
