// Loads the thumbnails of internet search results on the main thread with asynchronous requests: a few at a
// time, each bounded in time and size, a failed one tried again after a growing pause (a bounded number of
// times). stop() ends everything under way and forgets what was queued, so that nothing arrives for results
// that are no longer shown. Only http and https addresses are fetched.
#pragma once

#include "platform/gfx/image.h"

#include <QHash>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <chrono>
#include <cstdint>
#include <deque>
#include <vector>

class QNetworkReply;
class QTimer;

struct KXThumbnailLoadLimits {
    std::chrono::milliseconds timeout{15000};
    qint64 maximumBytes = 4 * 1024 * 1024;
    // Tries of one thumbnail in all, and the pause before the first retry (doubled for each further one).
    int attempts = 4;
    std::chrono::milliseconds firstRetryDelay{500};
    int concurrentRequests = 4;
    // Decoded thumbnails larger than this on a side are refused.
    int maximumSide = 2048;
};

class KXImageSearchThumbnailLoader : public QObject {
    Q_OBJECT
public:
    explicit KXImageSearchThumbnailLoader(QObject* parent = nullptr);
    ~KXImageSearchThumbnailLoader() override;

    void setLimits(const KXThumbnailLoadLimits& limits) { m_limits = limits; }
    const KXThumbnailLoadLimits& limits() const { return m_limits; }

    // Forgets any earlier run and loads the thumbnails of these slots (slot index, address).
    void start(const std::vector<std::pair<int, QUrl>>& thumbnails);
    // Ends the requests under way and drops the queue and the pending retries.
    void stop();
    bool isRunning() const { return !m_queue.empty() || !m_replies.isEmpty() || m_waitingRetries > 0; }
    // Requests sent in this run (retries counted).
    int requestsSent() const { return m_sent; }

signals:
    void thumbnailLoaded(int slot, const kx::Image& image);
    // A slot whose thumbnail could not be had after every try.
    void thumbnailFailed(int slot);

private:
    struct Job {
        int slot = 0;
        QUrl url;
        int attempt = 0;
    };
    void pump();
    void finished(QNetworkReply* reply);
    void retryLater(Job job);

    QNetworkAccessManager m_network;
    KXThumbnailLoadLimits m_limits;
    std::deque<Job> m_queue;
    QHash<QNetworkReply*, Job> m_replies;
    std::uint64_t m_run = 0;
    int m_waitingRetries = 0;
    int m_sent = 0;
};
