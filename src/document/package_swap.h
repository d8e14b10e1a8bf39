// Putting a newly written package in place of the old one, so that at every moment (and after a kill at
// any point) the person has one whole package: the new one is built in a hidden folder beside the package
// and only moves in once it is complete and flushed.
#pragma once

#include "document/package_leftovers.h"

#include <QString>

#include <memory>

namespace kx {

// Moves the finished folder `work` to `target`. Whatever is at `target` (the old package, a file) is exchanged
// with it in one atomic rename and then removed. Where the filesystem cannot exchange (FAT and other
// filesystems through FUSE refuse RENAME_EXCHANGE with EINVAL), the old package is set aside under the save's
// token, the new one moved in and the old one removed; a failed move puts the old one back. The folder that
// holds the package is flushed last; when that fails the old package is put back as well. False with *error
// (carrying the system's reason) when the new package is not in place. Should putting the old package back
// fail too, it waits beside under its set-aside name, and the next save or opening moves it back.
bool swapPackageIn(const QString& work, const QString& target, const QString& token, QString* error);

// One save of a package: the hidden work folder that receives the new package, and its move into place.
class PackageWrite {
public:
    PackageWrite() = default;
    // Removes the work folder unless the new package went in.
    ~PackageWrite();
    PackageWrite(const PackageWrite&) = delete;
    PackageWrite& operator=(const PackageWrite&) = delete;

    // Clears what earlier saves left beside the package, refuses to replace a read-only package and makes the
    // work folder (locked for this save; closed to others while it is written over an existing package).
    // False with *error.
    bool begin(const QString& target, QString* error);
    const QString& workPath() const { return m_work; }
    // Gives the new package the old one's permissions, flushes everything it holds and swaps it in.
    bool commit(QString* error);

private:
    QString m_target;
    QString m_token;
    QString m_work;
    std::unique_ptr<FolderLock> m_lock;
    bool m_committed = false;
};

}  // namespace kx
