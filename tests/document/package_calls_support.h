// Pieces the package-saving tests share: a file-system layer that refuses atomic exchange (as FAT through
// FUSE does) and fails chosen steps of a save, and reading back what a folder holds.
#pragma once

#include "document/package_file_calls.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <gtest/gtest.h>

#include <cerrno>
#include <map>
#include <string>
#include <stdio.h>
#include <sys/stat.h>

namespace kxtest {

// The steps of putting a package in place, told apart by the paths and flags of the calls.
enum class SwapStep { Exchange, SetAside, MoveIn, PutBack, FlushParent, FlushData, Other };

inline const char* stepName(SwapStep step) {
    switch (step) {
    case SwapStep::Exchange: return "exchange";
    case SwapStep::SetAside: return "set aside";
    case SwapStep::MoveIn: return "move in";
    case SwapStep::PutBack: return "put back";
    case SwapStep::FlushParent: return "flush parent";
    case SwapStep::FlushData: return "flush data";
    case SwapStep::Other: return "other";
    }
    return "";
}

// What a failed system call answers.
inline int failWith(int errorNumber) {
    errno = errorNumber;
    return -1;
}

// Installs a file-system layer for the life of the object. It passes every call to the system's own, except
// that it refuses RENAME_EXCHANGE with EINVAL when asked to, and fails the chosen steps with their error
// numbers. It counts the steps it saw, and records every flush and rename in order.
class FileCallLayer {
public:
    explicit FileCallLayer(const QString& target, bool refuseExchange = false)
        : m_target(QFileInfo(target).absoluteFilePath()), m_parent(QFileInfo(m_target).absolutePath()),
          m_refuseExchange(refuseExchange) {
        kx::setPackageFileCalls({});
        const kx::PackageFileCalls system = kx::packageFileCalls();
        kx::setPackageFileCalls(
            {[this, system](const QString& from, const QString& to, unsigned flags) {
                 const SwapStep step = renameStep(from, to, flags);
                 ++seen[step];
                 log << QStringLiteral("rename %1 -> %2").arg(from, to);
                 if (flags & RENAME_EXCHANGE && m_refuseExchange)
                     return failWith(EINVAL);
                 if (const auto it = failing.find(step); it != failing.end())
                     return failWith(it->second);
                 return system.rename(from, to, flags);
             },
             [this, system](const QString& path) {
                 const SwapStep step = path == m_parent ? SwapStep::FlushParent
                                       : path.contains(QStringLiteral("/Data/")) ? SwapStep::FlushData
                                                                                 : SwapStep::Other;
                 ++seen[step];
                 log << QStringLiteral("sync %1").arg(path);
                 if (const auto it = failing.find(step); it != failing.end())
                     return failWith(it->second);
                 return system.sync(path);
             }});
    }
    ~FileCallLayer() { kx::setPackageFileCalls({}); }
    FileCallLayer(const FileCallLayer&) = delete;
    FileCallLayer& operator=(const FileCallLayer&) = delete;

    void refuseExchange(bool refuse) { m_refuseExchange = refuse; }

    std::map<SwapStep, int> failing;  // step -> error number it fails with
    std::map<SwapStep, int> seen;
    QStringList log;

private:
    SwapStep renameStep(const QString& from, const QString& to, unsigned flags) const {
        if (flags & RENAME_EXCHANGE)
            return SwapStep::Exchange;
        if (from == m_target && to.contains(QStringLiteral(".replaced-")))
            return SwapStep::SetAside;
        if (from.contains(QStringLiteral(".saving-")) && to == m_target)
            return SwapStep::MoveIn;
        if (from.contains(QStringLiteral(".replaced-")) && to == m_target)
            return SwapStep::PutBack;
        return SwapStep::Other;
    }

    QString m_target;
    QString m_parent;
    bool m_refuseExchange;
};

// The hidden entries beside a package that a save of it makes.
inline QStringList sideEntries(const QString& folder) {
    QStringList found;
    for (const QString& name : QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        if (name.contains(QStringLiteral(".saving-")) || name.contains(QStringLiteral(".replaced-")))
            found << name;
    return found;
}

inline QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every file of a folder tree, by path relative to the folder, with its size and a digest of its bytes.
inline std::map<std::string, std::string> treeContent(const QString& folder) {
    std::map<std::string, std::string> content;
    const QDir root(folder);
    QStringList pending{folder};
    while (!pending.isEmpty()) {
        const QString current = pending.takeFirst();
        for (const QFileInfo& entry : QDir(current).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
            if (entry.isDir() && !entry.isSymLink()) {
                pending << entry.filePath();
                continue;
            }
            const QByteArray bytes = fileBytes(entry.filePath());
            content[root.relativeFilePath(entry.filePath()).toStdString()] =
                std::to_string(bytes.size()) + " bytes, sha1 " +
                QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex().toStdString();
        }
    }
    return content;
}

// The paths of the files of a folder tree, relative to the folder.
inline QStringList treeFiles(const QString& folder) {
    QStringList files;
    for (const auto& [path, digest] : treeContent(folder))
        files << QString::fromStdString(path);
    return files;
}

// The permission bits of what is at the path (a symbolic link itself), or -1 when nothing is there.
inline int modeOf(const QString& path) {
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

inline void setMode(const QString& path, int mode) {
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode_t(mode)), 0) << path.toStdString();
}

}  // namespace kxtest
