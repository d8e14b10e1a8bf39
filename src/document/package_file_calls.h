// The file-system steps through which a package is written, moved and flushed. Renames and flushes go
// through replaceable calls, so tests can refuse or fail any one step; every failure reported here carries
// the system's own reason ("No space left on device").
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace kx {

// Each call answers 0, or -1 with errno set, as the system call does.
struct PackageFileCalls {
    // renameat2(2) from one path to another with its flags (0, or RENAME_EXCHANGE to swap the two).
    std::function<int(const QString& from, const QString& to, unsigned flags)> rename;
    // fsync(2) of the file or folder at the path (a symbolic link is never followed).
    std::function<int(const QString& path)> sync;
};

// The calls in use.
const PackageFileCalls& packageFileCalls();
// Replaces the calls; a member left empty is the system's own, so setPackageFileCalls({}) restores them.
void setPackageFileCalls(PackageFileCalls calls);

// "<action> "<path>": <the system's text for the error number>".
QString fileErrorText(const QString& action, const QString& path, int errorNumber);

// Flushes a file or a folder to disk. A folder whose filesystem cannot flush folders counts as flushed.
bool syncPath(const QString& path, bool folder, QString* error);
// Flushes every file and folder below the folder, then the folder itself (symbolic links are left alone).
bool syncTree(const QString& folder, QString* error);
// Makes a folder (not its parents).
bool makeFolder(const QString& path, QString* error);
// Creates the file (it must not exist yet) and writes the bytes.
bool writeNewFile(const QString& path, const QByteArray& bytes, QString* error);
// Copies a regular file to a new file (which must not exist yet); the copy gets the default permissions.
bool copyToNewFile(const QString& from, const QString& to, QString* error);
// Removes a folder tree without following symbolic links, also where its owner made folders read-only.
void removeTree(const QString& path);

}  // namespace kx
