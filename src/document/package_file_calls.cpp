#include "document/package_file_calls.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace kx {

namespace {

int systemRename(const QString& from, const QString& to, unsigned flags) {
    return ::renameat2(AT_FDCWD, QFile::encodeName(from).constData(), AT_FDCWD, QFile::encodeName(to).constData(), flags);
}

int systemSync(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    const int result = ::fsync(fd);
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return result;
}

PackageFileCalls& callsSlot() {
    static PackageFileCalls calls{systemRename, systemSync};
    return calls;
}

fs::path nativePath(const QString& path) {
    return fs::path(QFile::encodeName(path).toStdString());
}

QString qtPath(const fs::path& path) {
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
}

// Gives the owner full access to every folder of the tree, so that its entries can be removed.
void openUpFolders(const fs::path& folder) {
    struct stat st;
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return;
    if ((st.st_mode & S_IRWXU) != S_IRWXU)
        ::chmod(folder.c_str(), (st.st_mode & 07777) | S_IRWXU);
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec))
        if (entry.symlink_status(ec).type() == fs::file_type::directory)
            openUpFolders(entry.path());
}

}  // namespace

const PackageFileCalls& packageFileCalls() {
    return callsSlot();
}

void setPackageFileCalls(PackageFileCalls calls) {
    callsSlot() = {calls.rename ? std::move(calls.rename) : systemRename, calls.sync ? std::move(calls.sync) : systemSync};
}

QString fileErrorText(const QString& action, const QString& path, int errorNumber) {
    return QStringLiteral("%1 \"%2\": %3").arg(action, path, QString::fromLocal8Bit(std::strerror(errorNumber)));
}

bool syncPath(const QString& path, bool folder, QString* error) {
    if (packageFileCalls().sync(path) == 0)
        return true;
    const int reason = errno;
    // Some filesystems (FAT through FUSE, network shares) cannot flush a folder; its entries reach the
    // disk with the files' own flushes there.
    if (folder && (reason == EINVAL || reason == ENOTSUP || reason == EOPNOTSUPP || reason == ENOSYS))
        return true;
    if (error)
        *error = fileErrorText(QStringLiteral("Cannot flush"), path, reason);
    return false;
}

bool syncTree(const QString& folder, QString* error) {
    std::vector<fs::path> folders;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(nativePath(folder), ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const fs::file_type type = it->symlink_status(ec).type();
        if (ec)
            break;
        if (type == fs::file_type::directory)
            folders.push_back(it->path());
        else if (type == fs::file_type::regular && !syncPath(qtPath(it->path()), false, error))
            return false;
    }
    if (ec) {
        if (error)
            *error = fileErrorText(QStringLiteral("Cannot read"), folder, ec.value());
        return false;
    }
    // Deeper folders first, so each folder is flushed after everything inside it.
    std::stable_sort(folders.begin(), folders.end(), [](const fs::path& a, const fs::path& b) {
        return std::distance(a.begin(), a.end()) > std::distance(b.begin(), b.end());
    });
    for (const fs::path& inner : folders)
        if (!syncPath(qtPath(inner), true, error))
            return false;
    return syncPath(folder, true, error);
}

bool makeFolder(const QString& path, QString* error) {
    if (::mkdir(QFile::encodeName(path).constData(), 0777) == 0)
        return true;
    if (error)
        *error = fileErrorText(QStringLiteral("Cannot create the folder"), path, errno);
    return false;
}

namespace {

// Writes all the bytes to the descriptor; false with errno set.
bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = EIO;
            return false;
        }
        data += written;
        size -= std::size_t(written);
    }
    return true;
}

// Opens a new file for writing; -1 with errno set.
int createNewFile(const QString& path) {
    return ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

// Closes a written file; some filesystems report a failed write-back only here.
bool closeWritten(int fd) {
    return ::close(fd) == 0;
}

bool failWrite(QString* error, const QString& path, int reason) {
    if (error)
        *error = fileErrorText(QStringLiteral("Cannot write"), path, reason);
    return false;
}

}  // namespace

bool writeNewFile(const QString& path, const QByteArray& bytes, QString* error) {
    const int fd = createNewFile(path);
    if (fd < 0)
        return failWrite(error, path, errno);
    if (!writeAll(fd, bytes.constData(), std::size_t(bytes.size()))) {
        const int reason = errno;
        ::close(fd);
        return failWrite(error, path, reason);
    }
    return closeWritten(fd) || failWrite(error, path, errno);
}

bool copyToNewFile(const QString& from, const QString& to, QString* error) {
    const int in = ::open(QFile::encodeName(from).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        if (error)
            *error = fileErrorText(QStringLiteral("Cannot read"), from, errno);
        return false;
    }
    const int out = createNewFile(to);
    if (out < 0) {
        const int reason = errno;
        ::close(in);
        return failWrite(error, to, reason);
    }
    std::vector<char> buffer(std::size_t(1) << 16);
    for (;;) {
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            const int reason = errno;
            ::close(in);
            ::close(out);
            if (error)
                *error = fileErrorText(QStringLiteral("Cannot read"), from, reason);
            return false;
        }
        if (got == 0)
            break;
        if (!writeAll(out, buffer.data(), std::size_t(got))) {
            const int reason = errno;
            ::close(in);
            ::close(out);
            return failWrite(error, to, reason);
        }
    }
    ::close(in);
    return closeWritten(out) || failWrite(error, to, errno);
}

void removeTree(const QString& path) {
    const fs::path root = nativePath(path);
    openUpFolders(root);
    std::error_code ec;
    fs::remove_all(root, ec);
}

}  // namespace kx
