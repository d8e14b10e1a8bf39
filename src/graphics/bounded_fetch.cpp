#include "graphics/bounded_fetch.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdint>

namespace {

// Raised by each cancellation: a fetch gives up when it differs from the value it started with.
std::atomic<std::uint64_t> g_cancellations{0};
// How often a waiting fetch looks for a cancellation.
constexpr int kCancelCheckMs = 50;

}  // namespace

bool isFetchableScheme(const QString& scheme) {
    return scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("file");
}

std::optional<QByteArray> fetchBounded(const QUrl& url, std::chrono::milliseconds timeout, qint64 maximumBytes) {
    if (!QCoreApplication::instance() || !url.isValid() || !isFetchableScheme(url.scheme()))
        return std::nullopt;
    const std::uint64_t cancellations = g_cancellations.load();
    maximumBytes = std::max<qint64>(0, maximumBytes);
    QNetworkAccessManager manager;
    QNetworkReply* reply = manager.get(QNetworkRequest(url));

    QByteArray body;
    bool refused = false;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    auto refuse = [&] {
        refused = true;
        reply->abort();
    };
    QObject::connect(&deadline, &QTimer::timeout, &loop, refuse);
    QTimer cancelCheck;
    QObject::connect(&cancelCheck, &QTimer::timeout, &loop, [&] {
        if (g_cancellations.load() != cancellations && !refused)
            refuse();
    });
    QObject::connect(reply, &QNetworkReply::metaDataChanged, &loop, [&] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > maximumBytes)
            refuse();
    });
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
        if (refused)
            return;
        body += reply->read(maximumBytes + 1 - body.size());
        if (body.size() > maximumBytes)
            refuse();
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    deadline.start(timeout);
    cancelCheck.start(kCancelCheckMs);
    if (!reply->isFinished())
        loop.exec();
    deadline.stop();
    cancelCheck.stop();

    if (!refused) {
        body += reply->read(maximumBytes + 1 - body.size());
        refused = body.size() > maximumBytes;
    }
    const bool failed = refused || reply->error() != QNetworkReply::NoError;
    delete reply;
    if (failed)
        return std::nullopt;
    return body;
}

void cancelBoundedFetches() {
    ++g_cancellations;
}
