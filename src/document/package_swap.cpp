#include "document/package_swap.h"

#include "document/package_file_calls.h"
#include "document/package_modes.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>

namespace kx {

namespace {

// Errors by which a filesystem says it cannot exchange two entries atomically.
bool exchangeUnsupported(int reason) {
    return reason == EINVAL || reason == ENOSYS || reason == ENOTSUP;
}

bool fail(QString* error, const QString& action, const QString& path, int reason) {
    if (error)
        *error = fileErrorText(action, path, reason);
    return false;
}

}  // namespace

bool swapPackageIn(const QString& work, const QString& target, const QString& token, QString* error) {
    const PackageFileCalls& calls = packageFileCalls();
    const QString parent = QFileInfo(target).absolutePath();
    struct stat st;
    if (::lstat(QFile::encodeName(target).constData(), &st) != 0) {
        if (calls.rename(work, target, 0) != 0)
            return fail(error, QStringLiteral("Cannot write"), target, errno);
        if (!syncPath(parent, true, error)) {
            calls.rename(target, work, 0);
            return false;
        }
        return true;
    }

    // The old package is this save's own until it is gone: no other process takes it for a leftover.
    const FolderLock oldLock(target);
    const QString aside = packageSideFolderPath(target, PackageSideFolder::Aside, token);
    const bool exchanged = calls.rename(work, target, RENAME_EXCHANGE) == 0;
    if (!exchanged) {
        const int reason = errno;
        if (!exchangeUnsupported(reason))
            return fail(error, QStringLiteral("Cannot replace"), target, reason);
        if (calls.rename(target, aside, 0) != 0)
            return fail(error, QStringLiteral("Cannot replace"), target, errno);
        if (calls.rename(work, target, 0) != 0) {
            fail(error, QStringLiteral("Cannot replace"), target, errno);
            if (calls.rename(aside, target, 0) != 0 && error)
                *error += QStringLiteral(" (the previous package is kept in \"%1\" until the project is opened again)").arg(aside);
            return false;
        }
    }
    const QString old = exchanged ? work : aside;
    if (!syncPath(parent, true, error)) {
        if (exchanged)
            calls.rename(work, target, RENAME_EXCHANGE);
        else if (calls.rename(target, work, 0) == 0)
            calls.rename(aside, target, 0);
        return false;
    }
    removeTree(old);
    return true;
}

PackageWrite::~PackageWrite() {
    if (!m_committed && !m_work.isEmpty())
        removeTree(m_work);
}

bool PackageWrite::begin(const QString& target, QString* error) {
    m_target = QFileInfo(target).absoluteFilePath();
    tidyPackageLeftovers(m_target);
    if (isReadOnlyPackage(m_target))
        return fail(error, QStringLiteral("Cannot write"), m_target, EACCES);
    m_token = newPackageSaveToken();
    const QString work = packageSideFolderPath(m_target, PackageSideFolder::Work, m_token);
    // Over an existing package the work folder stays closed to others until it takes the old one's modes,
    // so private photos are never open to others on their way in.
    struct stat st;
    const bool replaces = ::stat(QFile::encodeName(m_target).constData(), &st) == 0 && S_ISDIR(st.st_mode);
    if (::mkdir(QFile::encodeName(work).constData(), replaces ? 0700 : 0777) != 0)
        return fail(error, QStringLiteral("Cannot write in the folder"), QFileInfo(m_target).absolutePath(), errno);
    m_work = work;
    m_lock = std::make_unique<FolderLock>(m_work);
    return true;
}

bool PackageWrite::commit(QString* error) {
    if (m_work.isEmpty() || m_committed)
        return false;
    if (!keepPackageModes(m_target, m_work, error) || !syncTree(m_work, error) ||
        !swapPackageIn(m_work, m_target, m_token, error))
        return false;
    m_committed = true;
    return true;
}

}  // namespace kx
