#include "library/pack_download_fetcher.h"

#include "graphics/file_utilities.h"
#include "library/pack_installer.h"
#include "platform/foundation/url_download.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <utility>

KXPackDownloadFetcher::KXPackDownloadFetcher(QNetworkAccessManager* manager, QObject* parent)
    : QObject(parent), m_manager(manager) {}

KXPackDownloadFetcher::~KXPackDownloadFetcher() {
    for (auto& [identifier, job] : m_jobs) {
        job.download->cancel();
        delete job.download;
    }
}

void KXPackDownloadFetcher::setFolders(const QString& downloadFolder, const QString& packsFolder) {
    m_downloadFolder = downloadFolder;
    m_packsFolder = packsFolder;
}

const QByteArray& KXPackDownloadFetcher::packPassword() {
    static const QByteArray password("Tamarisklanes57");
    return password;
}

void KXPackDownloadFetcher::start(const QString& identifier, const QUrl& contentURL, Callbacks callbacks) {
    cancel(identifier);
    KXPackFetchResult refused;
    refused.status = KXPackFetchResult::Status::DownloadFailed;
    const QString folderName = KXPackFolderNameForURL(contentURL);
    refused.packFolderName = folderName;
    if (folderName.isEmpty()) {
        refused.errorText = tr("The pack's address does not name a pack.");
        reportLater(std::move(callbacks), refused);
        return;
    }
    const QString folder = m_downloadFolder.isEmpty() ? temporaryFolder() : m_downloadFolder;
    if (folder.isEmpty()) {
        refused.errorText = tr("There is no temporary folder to download the pack into.");
        reportLater(std::move(callbacks), refused);
        return;
    }
    // Each download has a file of its own: two packs whose addresses end alike never share one.
    const QString archivePath =
        QDir(folder).filePath(QStringLiteral("pack-%1-%2.zip").arg(++m_started).arg(QCoreApplication::applicationPid()));
    auto* download = new KXURLDownload(m_manager, contentURL, archivePath, this);
    if (callbacks.progress)
        connect(download, &KXURLDownload::progress, this, callbacks.progress);
    connect(download, &KXURLDownload::finished, this,
            [this, identifier](bool ok, const QString& errorText) { downloadFinished(identifier, ok, errorText); });
    m_jobs[identifier] = Job{download, std::move(callbacks), archivePath, folderName};
    download->start();
}

void KXPackDownloadFetcher::cancel(const QString& identifier) {
    const auto found = m_jobs.find(identifier);
    if (found == m_jobs.end())
        return;
    KXURLDownload* download = found->second.download;
    m_jobs.erase(found);
    download->cancel();
    download->deleteLater();
}

void KXPackDownloadFetcher::downloadFinished(const QString& identifier, bool ok, const QString& errorText) {
    const auto found = m_jobs.find(identifier);
    if (found == m_jobs.end())
        return;
    Job job = std::move(found->second);
    m_jobs.erase(found);
    job.download->deleteLater();

    KXPackFetchResult result;
    result.packFolderName = job.folderName;
    if (!ok) {
        result.status = KXPackFetchResult::Status::DownloadFailed;
        result.errorText = errorText;
    } else {
        const QString packs = m_packsFolder.isEmpty() ? boxesFolder() : m_packsFolder;
        const KXPackInstallResult installed = KXInstallPack(job.archivePath, packs, job.folderName, packPassword());
        result.status = installed.ok ? KXPackFetchResult::Status::Installed : KXPackFetchResult::Status::InstallFailed;
        result.errorText = installed.errorText;
    }
    // The archive has served its purpose once unpacked (or refused): it is not kept in the temporary folder.
    QFile::remove(job.archivePath);
    if (job.callbacks.finished)
        job.callbacks.finished(result);
}

void KXPackDownloadFetcher::reportLater(Callbacks callbacks, KXPackFetchResult result) {
    if (!callbacks.finished)
        return;
    QTimer::singleShot(0, this, [finished = std::move(callbacks.finished), result] { finished(result); });
}
