#include "document/package_leftovers.h"

#include "document/package_file_calls.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUuid>

#include <cerrno>
#include <climits>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kx {

namespace {

const QString kWorkWord = QStringLiteral("saving");
const QString kAsideWord = QStringLiteral("replaced");
// A folder of the earlier naming is taken for a leftover once it has not changed for this long.
constexpr std::time_t kUnlockedLeftoverAge = 60 * 60;

struct SideFolder {
    QString path;
    PackageSideFolder kind = PackageSideFolder::Work;
    pid_t pid = 0;  // 0 for the earlier naming, which had no process id
};

bool processIsAlive(pid_t pid) {
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

// The side folders of the package among the entries of its folder, asides first.
std::vector<SideFolder> sideFoldersOf(const QString& package) {
    const QFileInfo info(package);
    const QString name = info.fileName();
    if (name.isEmpty())
        return {};
    const QRegularExpression pattern(QStringLiteral("^\\.%1\\.(%2|%3)-(?:([0-9]{1,10})-)?"
                                                    "[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$")
                                         .arg(QRegularExpression::escape(name), kWorkWord, kAsideWord));
    std::vector<SideFolder> asides, works;
    const QDir folder(info.absolutePath());
    for (const QString& entry : folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        const QRegularExpressionMatch match = pattern.match(entry);
        if (!match.hasMatch())
            continue;
        SideFolder side{folder.filePath(entry), match.captured(1) == kAsideWord ? PackageSideFolder::Aside : PackageSideFolder::Work, 0};
        if (match.hasCaptured(2)) {
            const qlonglong pid = match.captured(2).toLongLong();
            if (pid <= 0 || pid > INT_MAX)
                continue;
            side.pid = pid_t(pid);
        } else if (side.kind == PackageSideFolder::Aside) {
            continue;  // set-aside folders always carry a process id
        }
        (side.kind == PackageSideFolder::Aside ? asides : works).push_back(side);
    }
    asides.insert(asides.end(), works.begin(), works.end());
    return asides;
}

// Whether the folder's save may still be running, judged without its lock. A save of this very process
// holds its lock for as long as it runs, so the lock alone tells.
bool mayBeLive(const SideFolder& side, const struct stat& st) {
    if (side.pid == ::getpid())
        return false;
    if (side.pid != 0)
        return processIsAlive(side.pid);
    return std::time(nullptr) - st.st_mtime < kUnlockedLeftoverAge;
}

bool nothingAt(const QString& path) {
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) != 0 && errno == ENOENT;
}

}  // namespace

QString newPackageSaveToken() {
    return QStringLiteral("%1-%2").arg(::getpid()).arg(QUuid::createUuid().toString(QUuid::WithoutBraces));
}

QString packageSideFolderPath(const QString& package, PackageSideFolder kind, const QString& token) {
    const QFileInfo info(package);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QLatin1Char('.') +
           (kind == PackageSideFolder::Aside ? kAsideWord : kWorkWord) + QLatin1Char('-') + token;
}

FolderLock::FolderLock(const QString& folder) {
    m_fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (m_fd < 0)
        return;
    if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0)
        m_state = State::Held;
    else if (errno == EWOULDBLOCK)
        m_state = State::Busy;
}

FolderLock::~FolderLock() {
    if (m_fd >= 0)
        ::close(m_fd);  // closing the only descriptor releases the lock
}

void tidyPackageLeftovers(const QString& package) {
    const QString target = QFileInfo(package).absoluteFilePath();
    for (const SideFolder& side : sideFoldersOf(target)) {
        struct stat st;
        if (::lstat(QFile::encodeName(side.path).constData(), &st) != 0 || !S_ISDIR(st.st_mode) || mayBeLive(side, st))
            continue;
        const FolderLock lock(side.path);
        // Without locks on this filesystem, a folder of the earlier naming cannot be told from a live save.
        if (lock.state() == FolderLock::State::Busy ||
            (lock.state() == FolderLock::State::Unavailable && side.pid == 0))
            continue;
        if (side.kind == PackageSideFolder::Aside && nothingAt(target) &&
            packageFileCalls().rename(side.path, target, 0) == 0) {
            syncPath(QFileInfo(target).absolutePath(), true, nullptr);
            continue;
        }
        removeTree(side.path);
    }
}

}  // namespace kx
