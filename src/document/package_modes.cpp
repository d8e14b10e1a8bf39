#include "document/package_modes.h"

#include "document/package_file_calls.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace kx {

namespace {

const QString kInfoName = QStringLiteral("info.xml");
constexpr mode_t kAnyWrite = S_IWUSR | S_IWGRP | S_IWOTH;

std::optional<struct stat> entryAt(const QString& path) {
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return st;
}

bool isWritable(const QString& path, const struct stat& st) {
    return (st.st_mode & kAnyWrite) != 0 && ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

}  // namespace

bool isReadOnlyPackage(const QString& package) {
    const std::optional<struct stat> entry = entryAt(package);
    if (!entry || S_ISLNK(entry->st_mode))
        return false;
    if (!isWritable(package, *entry))
        return true;
    const QString info = package + QLatin1Char('/') + kInfoName;
    const std::optional<struct stat> archive = S_ISDIR(entry->st_mode) ? entryAt(info) : std::nullopt;
    return archive && S_ISREG(archive->st_mode) && !isWritable(info, *archive);
}

bool keepPackageModes(const QString& oldPackage, const QString& newPackage, QString* error) {
    const std::optional<struct stat> oldRoot = entryAt(oldPackage);
    if (!oldRoot || !S_ISDIR(oldRoot->st_mode))
        return true;
    const std::optional<struct stat> oldInfo = entryAt(oldPackage + QLatin1Char('/') + kInfoName);
    const std::optional<mode_t> newFileMode =
        oldInfo && S_ISREG(oldInfo->st_mode) ? std::optional<mode_t>(oldInfo->st_mode & 07777) : std::nullopt;

    // Folders after the files inside them, deepest first, so a folder turned read-only blocks nothing.
    std::vector<QString> entries;
    std::error_code ec;
    const fs::path root(QFile::encodeName(newPackage).toStdString());
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        entries.push_back(QFile::decodeName(QByteArray::fromStdString(fs::relative(it->path(), root).native())));
    if (ec) {
        if (error)
            *error = fileErrorText(QStringLiteral("Cannot read"), newPackage, ec.value());
        return false;
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const QString& a, const QString& b) { return a.count(QLatin1Char('/')) > b.count(QLatin1Char('/')); });
    entries.push_back(QString());  // the package folder itself

    for (const QString& relative : entries) {
        const QString path = relative.isEmpty() ? newPackage : newPackage + QLatin1Char('/') + relative;
        const std::optional<struct stat> now = entryAt(path);
        if (!now || !(S_ISDIR(now->st_mode) || S_ISREG(now->st_mode)))
            continue;
        const std::optional<struct stat> old = relative.isEmpty() ? oldRoot : entryAt(oldPackage + QLatin1Char('/') + relative);
        std::optional<mode_t> wanted;
        if (old && (old->st_mode & S_IFMT) == (now->st_mode & S_IFMT))
            wanted = old->st_mode & 07777;
        else
            wanted = S_ISDIR(now->st_mode) ? std::optional<mode_t>(oldRoot->st_mode & 07777) : newFileMode;
        if (!wanted || *wanted == (now->st_mode & 07777))
            continue;
        if (::chmod(QFile::encodeName(path).constData(), *wanted) != 0 && errno != EPERM && errno != ENOTSUP &&
            errno != ENOSYS) {
            if (error)
                *error = fileErrorText(QStringLiteral("Cannot set the permissions of"), path, errno);
            return false;
        }
    }
    return true;
}

}  // namespace kx
