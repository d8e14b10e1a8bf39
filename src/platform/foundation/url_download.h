// Downloading one URL into a file, asynchronously on the calling thread through a QNetworkAccessManager.
//
// Only http and https addresses are fetched, redirects are followed (http and https only, never from https
// down to http) up to a bound, and a body larger than the size limit is refused, by its announced length
// or while it arrives. The body is written to a scratch file beside the destination, which replaces the
// destination only when the whole body arrived: a failed or cancelled download leaves no partial file and
// an earlier file at the destination as it was. Retrying is the caller's business.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <memory>

class QNetworkAccessManager;
class QNetworkReply;
class QSaveFile;

class KXURLDownload : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kDefaultMaximumSize = qint64(1) << 30;
    static constexpr int kDefaultMaximumRedirects = 5;
    // A transfer that makes no progress for this long fails.
    static constexpr int kDefaultTimeoutMilliseconds = 60000;

    KXURLDownload(QNetworkAccessManager* manager,
                  const QUrl& url,
                  const QString& destinationPath,
                  QObject* parent = nullptr);
    ~KXURLDownload() override;

    // Bounds; set before start().
    void setMaximumSize(qint64 bytes) { m_maximumSize = bytes; }
    void setMaximumRedirects(int count) { m_maximumRedirects = count; }
    void setTimeout(int milliseconds) { m_timeout = milliseconds; }

    QUrl url() const { return m_url; }
    QString destinationPath() const { return m_destination; }

    // Sends the request; once per object (a retry is a new download). Every outcome, refusals included,
    // arrives later through finished().
    void start();
    // Aborts the request and removes the partial file; no signal follows.
    void cancel();

signals:
    // Bytes written so far and the announced length (-1 when the server announces none).
    void progress(qint64 received, qint64 total);
    // Once per start(), unless cancelled: ok, or a sentence saying what went wrong.
    void finished(bool ok, const QString& errorText);

private:
    void finishLater(bool ok, const QString& errorText);
    void fail(const QString& errorText);
    void onMetaDataChanged();
    void onReadyRead();
    void onFinished();
    void onRedirected(const QUrl& url);
    bool successfulStatus() const;

    QNetworkAccessManager* m_manager;
    QUrl m_url;
    QString m_destination;
    qint64 m_maximumSize = kDefaultMaximumSize;
    int m_maximumRedirects = kDefaultMaximumRedirects;
    int m_timeout = kDefaultTimeoutMilliseconds;
    QPointer<QNetworkReply> m_reply;
    std::unique_ptr<QSaveFile> m_file;
    qint64 m_received = 0;
    qint64 m_total = -1;
    int m_redirects = 0;
    bool m_done = false;
    bool m_cancelled = false;
    QString m_error;
};
