#include "library/image_search_loader.h"

#include "graphics/image_search_record.h"

#include <QBuffer>
#include <QImageReader>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

KXImageSearchThumbnailLoader::KXImageSearchThumbnailLoader(QObject* parent) : QObject(parent) {
    m_network.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

KXImageSearchThumbnailLoader::~KXImageSearchThumbnailLoader() {
    stop();
}

void KXImageSearchThumbnailLoader::start(const std::vector<std::pair<int, QUrl>>& thumbnails) {
    stop();
    for (const auto& [slot, url] : thumbnails)
        if (isWebImageAddress(url.toString()))
            m_queue.push_back({slot, url, 0});
    pump();
}

void KXImageSearchThumbnailLoader::stop() {
    ++m_run;
    m_queue.clear();
    m_waitingRetries = 0;
    m_sent = 0;
    const QList<QNetworkReply*> replies = m_replies.keys();
    m_replies.clear();
    for (QNetworkReply* reply : replies) {
        // Deleting the reply ends its transfer. It is not aborted first: an abort racing with an answer the
        // network thread has already handed over makes Qt report the reply's end twice.
        reply->disconnect(this);
        reply->deleteLater();
    }
}

void KXImageSearchThumbnailLoader::pump() {
    while (!m_queue.empty() && m_replies.size() < m_limits.concurrentRequests) {
        Job job = m_queue.front();
        m_queue.pop_front();
        QNetworkRequest request(job.url);
        request.setTransferTimeout(int(m_limits.timeout.count()));
        request.setMaximumRedirectsAllowed(5);
        QNetworkReply* reply = m_network.get(request);
        ++m_sent;
        m_replies.insert(reply, job);
        // A body that announces or reaches more than the limit is given up at once.
        connect(reply, &QNetworkReply::downloadProgress, this, [this, reply](qint64 received, qint64 total) {
            if ((received > m_limits.maximumBytes || total > m_limits.maximumBytes) && reply->isRunning() &&
                reply->error() == QNetworkReply::NoError)
                reply->abort();
        });
        connect(reply, &QNetworkReply::finished, this, [this, reply] { finished(reply); });
    }
}

void KXImageSearchThumbnailLoader::finished(QNetworkReply* reply) {
    reply->deleteLater();
    const auto it = m_replies.find(reply);
    if (it == m_replies.end())
        return;
    const Job job = it.value();
    m_replies.erase(it);
    kx::Image image;
    if (reply->error() == QNetworkReply::NoError) {
        const QByteArray bytes = reply->read(m_limits.maximumBytes + 1);
        if (bytes.size() <= m_limits.maximumBytes) {
            QBuffer buffer;
            buffer.setData(bytes);
            QImageReader reader(&buffer);
            const QSize size = reader.size();
            QImage decoded;
            if (size.isValid() && size.width() <= m_limits.maximumSide && size.height() <= m_limits.maximumSide &&
                reader.read(&decoded))
                image = kx::Image(std::move(decoded));
        }
    }
    if (!image.isNull())
        emit thumbnailLoaded(job.slot, image);
    else
        retryLater(job);
    pump();
}

void KXImageSearchThumbnailLoader::retryLater(Job job) {
    if (++job.attempt >= m_limits.attempts) {
        emit thumbnailFailed(job.slot);
        return;
    }
    const auto delay = m_limits.firstRetryDelay * (1 << std::min(job.attempt - 1, 10));
    ++m_waitingRetries;
    QTimer::singleShot(delay, this, [this, job, run = m_run] {
        if (run != m_run)
            return;  // stopped since
        --m_waitingRetries;
        m_queue.push_back(job);
        pump();
    });
}
