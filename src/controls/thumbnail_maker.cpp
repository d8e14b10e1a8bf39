#include "controls/thumbnail_maker.h"

#include "graphics/image_file_types.h"
#include "graphics/image_loading.h"
#include "platform/foundation/thread_handover.h"

#include <QMetaObject>
#include <QRunnable>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <cmath>
#include <functional>
#include <mutex>

namespace kx {

namespace {

Image scaledToFit(const Image& image, int maximumPixelSize) {
    if (image.isNull() || maximumPixelSize <= 0)
        return image;
    const int longer = std::max(image.width(), image.height());
    if (longer <= maximumPixelSize)
        return image;
    return Image(image.qimage().scaled(maximumPixelSize, maximumPixelSize, Qt::KeepAspectRatio,
                                       Qt::SmoothTransformation));
}

Image thumbnailOfFile(const QString& path, int pdfPage, int maximumPixelSize) {
    const double side = maximumPixelSize > 0 ? maximumPixelSize : kVectorRasterLimit;
    if (isPDFFile(path))
        return rasterizePDFPage(path, pdfPage, side, side);
    if (isAIFile(path))
        return rasterizeAIFile(path, side, side);
    if (isEPSFile(path))
        return rasterizeEPSFile(path, side, side);
    if (isSVGFile(path))
        return rasterizeSVGFile(path, side, side);
    // Bitmaps (and JPNG) are decoded straight to the wanted size where the format allows it.
    return scaledToFit(loadImageThumbnail(path, maximumPixelSize), maximumPixelSize);
}

// The pool every browser's thumbnails are made on: apart from the pool page drawing shares, so that many slow
// files never keep a page from drawing, and leaving one core to the main thread.
QThreadPool& thumbnailPool() {
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(std::max(1, QThread::idealThreadCount() - 1));
        return p;
    }();
    return *pool;
}

}  // namespace

int thumbnailThreadCount() { return thumbnailPool().maxThreadCount(); }

Image makeThumbnail(const ImageBrowserItem& item, int maximumPixelSize) {
    if (!item.image.isNull())
        return scaledToFit(item.image, maximumPixelSize);
    if (item.renderer)
        return scaledToFit(item.renderer(maximumPixelSize), maximumPixelSize);
    if (!item.path.isEmpty())
        return thumbnailOfFile(item.path, item.pdfPage, maximumPixelSize);
    return {};
}

struct ThumbnailQueue::Shared {
    std::mutex lock;
    ThumbnailQueue* queue = nullptr;
};

ThumbnailQueue::ThumbnailQueue(QObject* parent)
    : QObject(parent), m_shared(std::make_shared<Shared>()), m_running(std::make_shared<std::atomic<int>>(0)) {
    m_shared->queue = this;
}

ThumbnailQueue::~ThumbnailQueue() {
    cancelAll();
    std::lock_guard<std::mutex> guard(m_shared->lock);
    m_shared->queue = nullptr;
}

void ThumbnailQueue::request(const ImageBrowserItem& item, int maximumPixelSize, bool urgent) {
    auto found = m_pending.find(item.uid);
    if (found != m_pending.end()) {
        const Pending& pending = found->second;
        if (pending.version == item.version && pending.maximumPixelSize == maximumPixelSize &&
            (pending.urgent || !urgent))
            return;
        // Asked for again, changed or now urgent (scrolled into view): the earlier request is withdrawn and
        // this one takes its place, at its own priority.
        pending.wanted->store(false);
    }
    auto wanted = std::make_shared<std::atomic<bool>>(true);
    m_pending[item.uid] = Pending{item.version, maximumPixelSize, urgent, wanted};

    // The task holds its own copy of the item: the browser's list may change while it runs.
    std::shared_ptr<Shared> shared = m_shared;
    std::shared_ptr<std::atomic<int>> running = m_running;
    running->fetch_add(1);
    std::function<void()> job = [item, maximumPixelSize, wanted, shared, running] {
        takePoolHandOver();
        if (wanted->load()) {
            const Image image = makeThumbnail(item, maximumPixelSize);
            std::lock_guard<std::mutex> guard(shared->lock);
            if (ThumbnailQueue* queue = shared->queue) {
                QMetaObject::invokeMethod(
                    queue,
                    [queue, uid = item.uid, version = item.version, wanted, image] {
                        queue->deliver(uid, version, wanted, image);
                    },
                    Qt::QueuedConnection);
            }
        }
        running->fetch_sub(1);
    };
    // Everything the job holds is made before the hand-over is announced.
    announcePoolHandOver();
    thumbnailPool().start(std::move(job), urgent ? 1 : 0);
}

void ThumbnailQueue::deliver(const QString& uid, quint64 version, const std::shared_ptr<std::atomic<bool>>& wanted,
                             const Image& image) {
    auto found = m_pending.find(uid);
    // Withdrawn, or overtaken by a newer request for the same uid: the receiver never sees it.
    if (found == m_pending.end() || found->second.wanted != wanted)
        return;
    m_pending.erase(found);
    emit thumbnailMade(uid, version, image);
}

void ThumbnailQueue::cancel(const QString& uid) {
    auto found = m_pending.find(uid);
    if (found == m_pending.end())
        return;
    found->second.wanted->store(false);
    m_pending.erase(found);
}

void ThumbnailQueue::cancelAll() {
    for (auto& [uid, pending] : m_pending)
        pending.wanted->store(false);
    m_pending.clear();
}

bool ThumbnailQueue::isPending(const QString& uid) const { return m_pending.count(uid) != 0; }

void ThumbnailQueue::waitForDone() {
    while (m_running->load() > 0)
        QThread::msleep(1);
}

}  // namespace kx
