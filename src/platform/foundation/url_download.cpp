#include "platform/foundation/url_download.h"

#include "platform/foundation/web_address.h"
#include <QMetaObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>

KXURLDownload::KXURLDownload(QNetworkAccessManager* manager,
                             const QUrl& url,
                             const QString& destinationPath,
                             QObject* parent)
    : QObject(parent), m_manager(manager), m_url(url), m_destination(destinationPath) {}

KXURLDownload::~KXURLDownload() {
    cancel();
}

void KXURLDownload::finishLater(bool ok, const QString& errorText) {
    m_done = true;
    QMetaObject::invokeMethod(
        this,
        [this, ok, errorText] {
            if (!m_cancelled)
                emit finished(ok, errorText);
        },
        Qt::QueuedConnection);
}

void KXURLDownload::start() {
    if (m_reply || m_done)
        return;
    m_received = 0;
    m_total = -1;
    m_redirects = 0;
    m_error.clear();
    if (!kx::isWebAddress(m_url)) {
        finishLater(false,
                    tr("Only http and https addresses can be downloaded (\"%1\").").arg(m_url.toDisplayString()));
        return;
    }
    if (!m_manager) {
        finishLater(false, tr("There is no network access."));
        return;
    }
    m_file = std::make_unique<QSaveFile>(m_destination);
    if (!m_file->open(QIODevice::WriteOnly)) {
        const QString reason = m_file->errorString();
        m_file.reset();
        finishLater(false, tr("The download cannot be saved to \"%1\": %2").arg(m_destination, reason));
        return;
    }
    QNetworkRequest request(m_url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(m_maximumRedirects);
    request.setTransferTimeout(m_timeout);
    // The body is saved as it is: no compressed transfer whose length would differ from the announced one.
    request.setRawHeader("Accept-Encoding", "identity");
    m_reply = m_manager->get(request);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &KXURLDownload::onMetaDataChanged);
    connect(m_reply, &QNetworkReply::readyRead, this, &KXURLDownload::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &KXURLDownload::onFinished);
    connect(m_reply, &QNetworkReply::redirected, this, &KXURLDownload::onRedirected);
}

void KXURLDownload::cancel() {
    m_done = true;
    m_cancelled = true;
    if (QNetworkReply* reply = m_reply) {
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    if (m_file) {
        m_file->cancelWriting();
        m_file.reset();
    }
}

void KXURLDownload::fail(const QString& errorText) {
    if (m_error.isEmpty())
        m_error = errorText;
    if (m_reply)
        m_reply->abort();
}

void KXURLDownload::onRedirected(const QUrl& url) {
    if (!kx::isWebAddress(url)) {
        fail(tr("The server sent the download to \"%1\", which is not an http or https address.")
                 .arg(url.toDisplayString()));
        return;
    }
    if (m_url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 &&
        url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) != 0) {
        fail(tr("The server sent the download from a secure address to an insecure one."));
        return;
    }
    if (++m_redirects > m_maximumRedirects)
        fail(tr("The server redirected the download more than %1 times.").arg(m_maximumRedirects));
}

bool KXURLDownload::successfulStatus() const {
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    return !status.isValid() || (status.toInt() >= 200 && status.toInt() < 300);
}

void KXURLDownload::onMetaDataChanged() {
    if (!m_reply || !successfulStatus())
        return;
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    m_total = length.isValid() ? length.toLongLong() : -1;
    if (m_total > m_maximumSize)
        fail(tr("The download is %1 bytes long, more than the %2 allowed.").arg(m_total).arg(m_maximumSize));
}

void KXURLDownload::onReadyRead() {
    if (!m_reply || !m_file || !m_error.isEmpty() || !m_reply->isOpen())
        return;
    // The body of a redirect or of an error answer is not the file.
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (!successfulStatus() || (status >= 300 && status < 400)) {
        m_reply->readAll();
        return;
    }
    const QByteArray chunk = m_reply->readAll();
    if (chunk.isEmpty())
        return;
    if (m_received + chunk.size() > m_maximumSize) {
        fail(tr("The download is larger than the %1 bytes allowed.").arg(m_maximumSize));
        return;
    }
    if (m_file->write(chunk) != chunk.size()) {
        fail(tr("The download cannot be saved to \"%1\": %2").arg(m_destination, m_file->errorString()));
        return;
    }
    m_received += chunk.size();
    emit progress(m_received, m_total);
}

void KXURLDownload::onFinished() {
    QNetworkReply* reply = m_reply;
    if (!reply)
        return;
    onReadyRead();
    m_reply = nullptr;
    reply->deleteLater();
    m_done = true;
    QString error = m_error;
    if (error.isEmpty()) {
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (reply->error() == QNetworkReply::TooManyRedirectsError) {
            error = tr("The server redirected the download more than %1 times.").arg(m_maximumRedirects);
        } else if (status.isValid() && (status.toInt() < 200 || status.toInt() >= 300)) {
            const QString reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
            error =
                tr("The server answered %1 %2 for \"%3\".").arg(status.toInt()).arg(reason, m_url.toDisplayString());
        } else if (reply->error() == QNetworkReply::OperationCanceledError) {
            error = tr("The server did not answer in time.");
        } else if (reply->error() != QNetworkReply::NoError) {
            error = tr("The download failed: %1").arg(reply->errorString());
        }
    }
    if (error.isEmpty() && !m_file->commit())
        error = tr("The download cannot be saved to \"%1\": %2").arg(m_destination, m_file->errorString());
    if (!error.isEmpty() && m_file)
        m_file->cancelWriting();
    m_file.reset();
    emit finished(error.isEmpty(), error);
}
