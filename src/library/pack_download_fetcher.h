// The application's pack fetcher: downloads a pack's archive into the temporary folder, then installs it
// into the packs folder with the pack password, reporting progress and the outcome to the store. Main
// thread only.
#pragma once

#include "library/pack_fetcher.h"

#include <QObject>
#include <QString>

#include <map>

class QNetworkAccessManager;
class KXURLDownload;

class KXPackDownloadFetcher : public QObject, public KXPackFetcher {
    Q_OBJECT
public:
    // The manager is not owned and must outlive the fetcher. The folders default to the application's
    // temporary folder and its packs folder ("Boxes").
    explicit KXPackDownloadFetcher(QNetworkAccessManager* manager, QObject* parent = nullptr);
    ~KXPackDownloadFetcher() override;

    void setFolders(const QString& downloadFolder, const QString& packsFolder);

    void start(const QString& identifier, const QUrl& contentURL, Callbacks callbacks) override;
    void cancel(const QString& identifier) override;

    // The password every pack archive is encrypted with.
    static const QByteArray& packPassword();

private:
    struct Job {
        KXURLDownload* download = nullptr;
        Callbacks callbacks;
        QString archivePath;
        QString folderName;
    };

    void downloadFinished(const QString& identifier, bool ok, const QString& errorText);
    // Reports the outcome after the current call has returned, as a download would.
    void reportLater(Callbacks callbacks, KXPackFetchResult result);

    QNetworkAccessManager* m_manager;
    QString m_downloadFolder;
    QString m_packsFolder;
    std::map<QString, Job> m_jobs;
    quint64 m_started = 0;
};
