// Making thumbnails of browser items, and the queue that makes them on worker threads and hands each one back
// to the main thread.
#pragma once

#include "controls/image_browser_item.h"

#include <QObject>
#include <atomic>
#include <memory>
#include <unordered_map>

namespace kx {

// The item's picture, at most `maximumPixelSize` on its longer side (never enlarged, except vector drawings,
// which are drawn to fit): the item's image scaled down, its renderer's result, or its file read through the
// application's loaders. Null when there is nothing to show. Runs on any thread.
Image makeThumbnail(const ImageBrowserItem& item, int maximumPixelSize);

// How many thumbnails are made at once, at most.
int thumbnailThreadCount();

// Makes thumbnails on a pool of its own, so that slow files never hold the pool that page drawing shares.
// Results are delivered on the thread the queue lives on (the main thread), through `thumbnailMade`. A result
// whose request was withdrawn (`cancel`, `cancelAll`) or overtaken by a newer request for the same uid is
// dropped: the receiver only ever sees the latest version it asked for.
class ThumbnailQueue : public QObject {
    Q_OBJECT
public:
    explicit ThumbnailQueue(QObject* parent = nullptr);
    ~ThumbnailQueue() override;

    // Asks for the thumbnail of `item` at `maximumPixelSize`; urgent requests (cells on screen) start before
    // the others. A request for a uid and version already asked for is ignored.
    void request(const ImageBrowserItem& item, int maximumPixelSize, bool urgent);
    void cancel(const QString& uid);
    void cancelAll();
    bool isPending(const QString& uid) const;
    int pendingCount() const { return int(m_pending.size()); }
    // Blocks until every started thumbnail is made (for tests and shutting down).
    void waitForDone();

signals:
    void thumbnailMade(const QString& uid, quint64 version, const kx::Image& image);

private:
    struct Shared;
    struct Pending {
        quint64 version = 0;
        int maximumPixelSize = 0;
        bool urgent = false;
        // Cleared when the request is withdrawn, so that a task not yet started does no work.
        std::shared_ptr<std::atomic<bool>> wanted;
    };
    void deliver(const QString& uid, quint64 version, const std::shared_ptr<std::atomic<bool>>& wanted,
                 const Image& image);

    // Per uid, the request whose result is still wanted.
    std::unordered_map<QString, Pending> m_pending;
    // What the tasks reach the queue through: cleared (under its lock) when the queue goes, so that a
    // thumbnail finished afterwards is dropped instead of delivered to a queue that no longer exists.
    std::shared_ptr<Shared> m_shared;
    // Tasks started and not yet finished, for waitForDone.
    std::shared_ptr<std::atomic<int>> m_running;
};

}  // namespace kx
