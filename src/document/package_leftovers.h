// The hidden folders a package save makes beside the package, and the clean-up of those a killed save left.
//
// One save of the package NAME uses, in the same folder as the package:
//   ".NAME.saving-PID-UUID"    the new package while it is written (after an atomic exchange, the old package
//                              on its way out)
//   ".NAME.replaced-PID-UUID"  the old package set aside while the new one moves in, on filesystems that
//                              cannot exchange two folders atomically
// PID is the saving process's id. The save holds an exclusive flock(2) on each folder while it uses it, so
// other processes can tell a live save's folders from leftovers.
#pragma once

#include <QString>

namespace kx {

enum class PackageSideFolder { Work, Aside };

// The token that names the side folders of one save: "PID-UUID" of this process and a new UUID.
QString newPackageSaveToken();
// The path of one side folder of a save of the package at `package`.
QString packageSideFolderPath(const QString& package, PackageSideFolder kind, const QString& token);

// An exclusive, non-blocking flock(2) on a folder, held until the lock is destroyed.
class FolderLock {
public:
    enum class State {
        Held,        // this lock holds the folder
        Busy,        // another lock holds it: a live save uses the folder
        Unavailable  // the folder cannot be opened or its filesystem has no locks
    };
    explicit FolderLock(const QString& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    State state() const { return m_state; }

private:
    int m_fd = -1;
    State m_state = State::Unavailable;
};

// Removes the side folders that saves of the package left behind when they were killed or failed to clean
// up. Only folders named exactly as above for this package are touched, never a symbolic link, and never a
// folder whose save is still alive (its process runs, or it is locked). When nothing is at the package's
// path, a set-aside old package is moved back there first, so a save killed half-way through its moves
// never costs the person their package. Folders named by earlier versions (".NAME.saving-UUID", without a
// process id or lock) go only once they have not changed for an hour.
void tidyPackageLeftovers(const QString& package);

}  // namespace kx
