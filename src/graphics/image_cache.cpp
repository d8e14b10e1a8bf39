#include "graphics/image_cache.h"

#include "graphics/bitmap_contexts.h"
#include "graphics/bounded_fetch.h"
#include "graphics/geometry_utilities.h"
#include "graphics/image_file_types.h"
#include "graphics/image_loading.h"
#include "graphics/image_operations.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/thread_handover.h"
#include "platform/gfx/jpng.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QImageReader>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace {

// The nominal size a vector drawing reports: larger than every bound, so that no request is limited to it.
constexpr double kVectorNominalSide = double(std::numeric_limits<float>::max());

bool fits(const kx::Size& size, double n) { return size.width <= n && size.height <= n; }
bool exceeds(const kx::Size& size, double n) { return size.width > n || size.height > n; }

// The image scaled to fit n x n (never enlarged).
kx::Image scaledDownToFit(const kx::Image& image, double n) {
    if (image.isNull() || fits(image.pixelSize(), n))
        return image;
    const kx::Size fitted = aspectFitSize(image.pixelSize(), kx::Size(n, n));
    return scaleImageToSize(image, fitted.width, fitted.height);
}

// A vector file rasterised to fit (w, h), trying EPS, AI and SVG in that order; null when none matches.
kx::Image rasterizeVectorFile(const QString& path, double w, double h) {
    if (isEPSFile(path))
        return rasterizeEPSFile(path, w, h);
    if (isAIFile(path))
        return rasterizeAIFile(path, w, h);
    if (isSVGFile(path))
        return rasterizeSVGFile(path, w, h);
    return {};
}

// The image drawn into a fresh bitmap of its point size.
kx::Image bitmapAtPointSize(const kx::Image& image) {
    if (image.isNull())
        return {};
    const kx::Size size = image.pointSize();
    BitmapContextRef context = createBitmapContext(size.width, size.height);
    if (!context)
        return {};
    context->drawImage(kx::Rect(kx::Point(), size), image);
    kx::Image bitmap = context->makeImage();
    releaseBitmapContext(context);
    return bitmap;
}

std::mutex& fetchLimitsMutex() {
    static std::mutex mutex;
    return mutex;
}

RemoteImageFetchLimits& fetchLimits() {
    static RemoteImageFetchLimits limits;
    return limits;
}

}  // namespace

// --- KXCache: making entries ---

KXCachePtr KXCache::initWithPath(const QString& path) {
    // Only regular files: a FIFO would block every reader below for ever, a device would never end.
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return nullptr;
    auto cache = std::make_shared<KXCache>(Private{});
    kx::Image thumb;
    kx::Size imageSize;
    if (isJPNGFile(path)) {
        const kx::Image decoded = kx::loadJPNGImageFromFile(path, true);
        if (!decoded.isNull()) {
            imageSize = decoded.pixelSize();
            // Fitted, not limited: a small JPNG image is scaled up to 400.
            const kx::Size fitted = aspectFitSize(imageSize, kx::Size(kCacheThumbnailSize, kCacheThumbnailSize));
            thumb = scaleImageToSize(decoded, fitted.width, fitted.height);
        }
    } else if (isPDFFile(path)) {
        const kx::Size bounds = pdfFirstPageSize(path);
        if (bounds.width > 0 && bounds.height > 0) {
            imageSize = bounds;
            thumb = rasterizePDFFileToSize(path,
                                           aspectFitSize(bounds, kx::Size(kCacheThumbnailSize, kCacheThumbnailSize)));
        }
    } else if (isEPSFile(path) || isAIFile(path) || isSVGFile(path)) {
        cache->m_isVectorImage = true;
        thumb = rasterizeVectorFile(path, kCacheThumbnailSize, kCacheThumbnailSize);
        if (!thumb.isNull())
            imageSize = aspectFitSize(thumb.pixelSize(), kx::Size(kVectorNominalSide, kVectorNominalSide));
    } else {
        // The stored size and orientation come from the file's header; no pixel is decoded until the
        // thumbnail is first asked for.
        QImageReader reader(path);
        reader.setDecideFormatFromContent(true);
        const QSize stored = reader.size();
        imageSize = stored.isValid() ? kx::Size(std::max(0, stored.width()), std::max(0, stored.height()))
                                     : kx::Size();
        if (!(imageSize.width > 0) || !(imageSize.height > 0))
            return nullptr;
        // A file shown turned by a quarter reports its size turned too.
        if (reader.transformation() & QImageIOHandler::TransformationRotate90)
            imageSize = kx::Size(imageSize.height, imageSize.width);
        cache->m_scalableBitmapFile = true;
        cache->m_thumbDeferred = true;
        cache->m_path = path;
        cache->m_imageSize = imageSize;
        return cache;
    }
    if (thumb.isNull())
        return nullptr;
    cache->m_path = path;
    cache->m_imageSize = imageSize;
    cache->m_thumbImage = thumb;
    return cache;
}

KXCachePtr KXCache::initWithImage(const kx::Image& image, const QString& path) {
    const kx::Image full = bitmapAtPointSize(image);
    if (full.isNull())
        return nullptr;
    auto cache = std::make_shared<KXCache>(Private{});
    const kx::Size size = image.pointSize();
    cache->m_path = path;
    cache->m_imageSize = size;
    if (fits(size, kCacheThumbnailSize)) {
        cache->m_thumbImage = full;
        cache->m_largeImage = full;
        return cache;
    }
    const kx::Size thumbSize = aspectFitSize(size, kx::Size(kCacheThumbnailSize, kCacheThumbnailSize));
    cache->m_thumbImage = scaleImageToSize(full, thumbSize.width, thumbSize.height);
    if (fits(size, kCacheLargeImageSize)) {
        cache->m_largeImage = full;
    } else {
        const kx::Size largeSize = aspectFitSize(size, kx::Size(kCacheLargeImageSize, kCacheLargeImageSize));
        cache->m_largeImage = scaleImageToSize(full, largeSize.width, largeSize.height);
        // The full image is at hand: requests above 1200 get it without reading the file written from it.
        cache->m_originalImage = full;
    }
    return cache;
}

KXCachePtr KXCache::initWithThumbImage(const kx::Image& thumbImage, const QUrl& originalURL,
                                       const kx::Size& imageSize) {
    auto cache = std::make_shared<KXCache>(Private{});
    cache->m_isRemote = true;
    cache->m_path = originalURL.toString(QUrl::FullyEncoded);
    cache->m_imageSize = imageSize;
    cache->m_thumbImage = bitmapAtPointSize(thumbImage);
    cache->m_largeImage = cache->m_thumbImage;
    cache->m_originalImage = cache->m_thumbImage;
    cache->startRemoteLoad(originalURL);
    return cache;
}

KXCachePtr KXCache::initWithThumbURL(const QUrl& thumbURL, const QUrl& originalURL, const kx::Size& imageSize) {
    kx::Image thumb;
    if (const std::optional<QByteArray> data = fetchBounded(thumbURL, remoteFetchLimits().timeout, remoteFetchLimits().maximumBytes))
        thumb = decodeBitmapData(*data);
    auto cache = std::make_shared<KXCache>(Private{});
    cache->m_isRemote = true;
    cache->m_path = originalURL.toString(QUrl::FullyEncoded);
    cache->m_imageSize = imageSize;
    cache->m_thumbImage = thumb;
    cache->m_largeImage = thumb;
    cache->m_originalImage = thumb;
    cache->startRemoteLoad(originalURL);
    return cache;
}

void KXCache::setRemoteFetchLimits(const RemoteImageFetchLimits& limits) {
    std::lock_guard lock(fetchLimitsMutex());
    fetchLimits() = limits;
}

RemoteImageFetchLimits KXCache::remoteFetchLimits() {
    std::lock_guard lock(fetchLimitsMutex());
    return fetchLimits();
}

void KXCache::startRemoteLoad(const QUrl& originalURL) {
    // The job holds the entry until its last step has run on the main thread.
    KXCachePtr self = shared_from_this();
    const RemoteImageFetchLimits limits = remoteFetchLimits();
    std::function<void()> job = [self, originalURL, limits] {
        kx::takePoolHandOver();
        const std::optional<QByteArray> data = fetchBounded(originalURL, limits.timeout, limits.maximumBytes);
        if (!data)
            return;
        const kx::Image original = decodeBitmapData(*data);
        if (original.isNull())
            return;  // the entry keeps its thumbnail for every size
        const kx::Image large = scaledDownToFit(original, kCacheLargeImageSize);
        const kx::Image thumb = scaledDownToFit(large, kCacheThumbnailSize);
        QCoreApplication* app = QCoreApplication::instance();
        if (!app)
            return;
        QMetaObject::invokeMethod(
            app,
            [self, original, large, thumb] {
                {
                    std::lock_guard lock(self->m_mutex);
                    // An entry cleared meanwhile is unreachable; it does not take the images.
                    if (self->m_path.isEmpty())
                        return;
                    self->m_thumbImage = thumb;
                    self->m_largeImage = large;
                    self->m_originalImage = original;
                }
                kx::NotificationCenter::defaultCenter().post(KXCacheDidLoadingInternetImage, self.get());
            },
            Qt::QueuedConnection);
    };
    // Announced once the job and its captured values are made.
    kx::announcePoolHandOver();
    remoteLoadPool().start(std::move(job));
}

// --- KXCache: reading ---

KXCache::Snapshot KXCache::snapshot() const {
    std::lock_guard lock(m_mutex);
    return Snapshot{m_thumbImage, m_largeImage, m_originalImage, m_coveringImage, m_path, m_imageSize, m_generation};
}

void KXCache::storeLoaded(kx::Image KXCache::*slot, const kx::Image& image, std::uint64_t generation,
                          const kx::Size* newImageSize) {
    std::lock_guard lock(m_mutex);
    if (generation != m_generation || image.isNull())
        return;
    this->*slot = image;
    if (newImageSize)
        m_imageSize = *newImageSize;
}

kx::Image KXCache::thumbImage() const {
    {
        std::lock_guard lock(m_mutex);
        if (!m_thumbDeferred)
            return m_thumbImage;
    }
    // Entries are only ever made as mutable objects (make_shared); decoding fills a slot of the entry.
    return const_cast<KXCache*>(this)->loadDeferredThumb();
}

kx::Image KXCache::loadDeferredThumb() {
    std::lock_guard loading(m_thumbLoad);
    std::uint64_t generation = 0;
    QString path;
    {
        std::lock_guard lock(m_mutex);
        if (!m_thumbDeferred)
            return m_thumbImage;
        generation = m_generation;
        path = m_path;
    }
    if (path.isEmpty())
        return {};
    const kx::Image thumb = loadImageThumbnail(path, int(kCacheThumbnailSize));
    std::lock_guard lock(m_mutex);
    // A cleared entry keeps nothing; the caller still gets what was decoded for it.
    if (generation != m_generation)
        return thumb;
    m_thumbDeferred = false;  // a failed decode is not tried again: the entry is then empty
    m_thumbImage = thumb;
    // The thumbnail is upright: when the header did not tell the orientation, its shape does.
    const bool thumbPortrait = thumb.height() > thumb.width();
    const bool thumbLandscape = thumb.width() > thumb.height();
    if ((thumbPortrait && m_imageSize.width > m_imageSize.height) ||
        (thumbLandscape && m_imageSize.height > m_imageSize.width))
        m_imageSize = kx::Size(m_imageSize.height, m_imageSize.width);
    return thumb;
}

kx::Image KXCache::thumbOf(const Snapshot& s) const {
    return s.thumb.isNull() ? thumbImage() : s.thumb;
}

bool KXCache::isEmpty() const {
    std::lock_guard lock(m_mutex);
    return !m_thumbDeferred && m_thumbImage.isNull();
}

bool KXCache::hasDecodedImages() const {
    std::lock_guard lock(m_mutex);
    return !m_thumbImage.isNull() || !m_largeImage.isNull() || !m_originalImage.isNull() ||
           !m_coveringImage.isNull();
}

QString KXCache::path() const {
    std::lock_guard lock(m_mutex);
    return m_path;
}

kx::Size KXCache::imageSize() const {
    std::lock_guard lock(m_mutex);
    return m_imageSize;
}

kx::Image KXCache::largeImage() {
    // Loaders of this entry's large image take turns, so the second finds the first one's result.
    std::lock_guard loading(m_largeLoad);
    const Snapshot s = snapshot();
    if (!s.large.isNull())
        return s.large;
    if (m_isRemote || s.path.isEmpty() || !exceeds(s.imageSize, kCacheThumbnailSize))
        return thumbOf(s);

    kx::Image large;
    std::optional<kx::Size> decodedSize;
    if (isJPNGFile(s.path)) {
        const kx::Image decoded = kx::loadJPNGImageFromFile(s.path, true);
        if (!decoded.isNull()) {
            decodedSize = decoded.pixelSize();
            const kx::Size fitted = aspectFitSize(*decodedSize, kx::Size(kCacheLargeImageSize, kCacheLargeImageSize));
            large = scaleImageToSize(decoded, fitted.width, fitted.height);
        }
    } else if (m_isVectorImage) {
        large = rasterizeVectorFile(s.path, kCacheLargeImageSize, kCacheLargeImageSize);
    } else {
        // The reader's scaled decode: a big photo is never decoded in full for a 1200-pixel request.
        large = loadImageThumbnail(s.path, int(kCacheLargeImageSize));
    }
    if (large.isNull()) {
        // Not tried again: the thumbnail serves from now on.
        const kx::Image thumb = thumbOf(s);
        storeLoaded(&KXCache::m_largeImage, thumb, s.generation);
        return thumb;
    }
    storeLoaded(&KXCache::m_largeImage, large, s.generation, decodedSize ? &*decodedSize : nullptr);
    return large;
}

kx::Image KXCache::originalImage() {
    std::lock_guard loading(m_originalLoad);
    const Snapshot s = snapshot();
    if (!s.original.isNull())
        return s.original;
    if (m_isRemote || s.path.isEmpty() || !exceeds(s.imageSize, kCacheLargeImageSize))
        return thumbOf(s);
    const kx::Image original = loadImageFromFile(s.path);
    if (original.isNull()) {
        const kx::Image thumb = thumbOf(s);
        storeLoaded(&KXCache::m_originalImage, thumb, s.generation);
        return thumb;
    }
    storeLoaded(&KXCache::m_originalImage, original, s.generation);
    return original;
}

kx::Image KXCache::imageWithSize(const kx::Size& size) {
    if (fits(size, kCacheThumbnailSize))
        return thumbImage();
    if (fits(size, kCacheLargeImageSize))
        return largeImage();
    if (m_isVectorImage)
        return rasterizeVectorFile(path(), size.width, size.height);  // drawn at the size asked for, not kept
    return originalImage();
}

namespace {

// The size the bitmap readers decode an image of `imageSize` to when its longer side is limited to what
// covering `wanted` takes (see loadImageThumbnail); (0, 0) when that is the whole image.
kx::Size coveringSizeOf(const kx::Size& imageSize, const kx::Size& wanted) {
    const double longer = std::max(imageSize.width, imageSize.height);
    if (!(imageSize.width > 0) || !(imageSize.height > 0) || !std::isfinite(longer))
        return {};
    const double scale = std::max(wanted.width / imageSize.width, wanted.height / imageSize.height);
    if (!(scale > 0) || !(scale < 1))
        return {};
    // A hair below a whole number counts as that number: a size worked out in doubles asks for no extra row.
    const double side = std::max(1.0, std::ceil(longer * scale - 1e-6));
    if (side >= longer)
        return {};
    const double shorter = std::max(1.0, double(std::lround(std::min(imageSize.width, imageSize.height) * side / longer)));
    return imageSize.width >= imageSize.height ? kx::Size(side, shorter) : kx::Size(shorter, side);
}

}  // namespace

kx::Size KXCache::coveringDecodeSize(const kx::Size& size) const {
    return coveringSizeOf(imageSize(), size);
}

kx::Image KXCache::imageCoveringSize(const kx::Size& size) {
    if (fits(size, kCacheLargeImageSize) || m_isVectorImage)
        return imageWithSize(size);
    if (!m_scalableBitmapFile)
        return originalImage();
    // Loaders of this entry's decode take turns, so a second request of the same size finds the first one's.
    std::lock_guard loading(m_coveringLoad);
    const Snapshot s = snapshot();
    if (s.path.isEmpty())
        return thumbOf(s);
    const kx::Size wanted = coveringSizeOf(s.imageSize, size);
    if (!(wanted.width > 0))
        return originalImage();
    if (!s.covering.isNull() && s.covering.width() >= wanted.width && s.covering.height() >= wanted.height)
        return s.covering;
    if (!s.original.isNull())
        return s.original;  // already in memory: it serves without another decode
    const kx::Image decoded = loadImageThumbnail(s.path, int(std::max(wanted.width, wanted.height)));
    if (decoded.isNull())
        return originalImage();
    storeLoaded(&KXCache::m_coveringImage, decoded, s.generation);
    return decoded;
}

kx::Image KXCache::loadedImageWithSize(const kx::Size& size, bool covering) const {
    const Snapshot s = snapshot();
    bool deferred = false;
    {
        std::lock_guard lock(m_mutex);
        deferred = m_thumbDeferred;
    }
    // What the thumbnail answers for: requests that fit it, and every request the entry serves from it.
    const kx::Image thumb = deferred ? kx::Image() : s.thumb;
    if (fits(size, kCacheThumbnailSize) || m_isRemote || s.path.isEmpty())
        return thumb;
    if (fits(size, kCacheLargeImageSize)) {
        if (!s.large.isNull())
            return s.large;
        return exceeds(s.imageSize, kCacheThumbnailSize) ? kx::Image() : thumb;
    }
    if (m_isVectorImage)
        return {};  // rendered at each requested size
    if (covering && m_scalableBitmapFile) {
        const kx::Size wanted = coveringSizeOf(s.imageSize, size);
        if (wanted.width > 0 && !s.covering.isNull() && s.covering.width() >= wanted.width &&
            s.covering.height() >= wanted.height)
            return s.covering;
    }
    if (!s.original.isNull())
        return s.original;
    if (!exceeds(s.imageSize, kCacheLargeImageSize))
        return thumb;  // originalImage's answer for a picture that has no separate original
    return {};
}

void KXCache::clearImageCache() {
    std::lock_guard lock(m_mutex);
    clearLocked();
}

void KXCache::clearLocked() {
    m_cleared = true;
    m_path.clear();
    m_thumbDeferred = false;  // nothing is decoded for a cleared entry
    m_thumbImage = {};
    m_largeImage = {};
    m_originalImage = {};
    m_coveringImage = {};
    ++m_generation;
}

// --- KXCache: uses ---

namespace {
constexpr int kRemoteLoadThreads = 4;

// Run while the application object is being destroyed: remote loads still waiting on a server give up and
// are waited for then, so that none is left running when the process's exit waits for its pools.
void endRemoteLoads() {
    cancelBoundedFetches();
    KXCache::remoteLoadPool().waitForDone();
}
}  // namespace

bool KXCache::retainCache() {
    std::lock_guard lock(m_mutex);
    if (m_cleared)
        return false;
    ++m_refCount;
    return true;
}

std::int64_t KXCache::refCount() const {
    std::lock_guard lock(m_mutex);
    return m_refCount;
}

bool KXCache::isCleared() const {
    std::lock_guard lock(m_mutex);
    return m_cleared;
}

void KXCache::addUses(std::int64_t uses) {
    std::lock_guard lock(m_mutex);
    if (!m_cleared && uses > 0)
        m_refCount += uses;
}

bool KXCache::giveUpUse() {
    std::lock_guard lock(m_mutex);
    if (m_refCount > 0)
        --m_refCount;
    if (m_refCount == 0 && !m_cleared)
        clearLocked();
    return m_cleared;
}

QThreadPool& KXCache::decodePool() {
    // Made on first use and waited for when the process ends, like the remote pool.
    static QThreadPool pool;
    static const bool sized = (pool.setMaxThreadCount(std::max(1, QThread::idealThreadCount() - 1)), true);
    (void)sized;
    return pool;
}

QThreadPool& KXCache::remoteLoadPool() {
    // A few threads are plenty: each mostly waits on a server. Made on first use, like the global pool, and
    // waited for when the process ends.
    static QThreadPool pool;
    static const bool sized = (pool.setMaxThreadCount(kRemoteLoadThreads), qAddPostRoutine(endRemoteLoads), true);
    (void)sized;
    return pool;
}

// --- KXCacheManager ---

KXCacheManager& KXCacheManager::cacheManager() {
    static KXCacheManager* shared = new KXCacheManager;  // lives for the whole process
    return *shared;
}

void KXCacheManager::addCache(const KXCachePtr& cache, const QString& path) {
    if (!cache || path.isEmpty() || cache->isCleared())
        return;
    std::lock_guard lock(m_mutex);
    const KXCachePtr current = registeredLocked(path);
    if (current && current != cache) {
        // The path's users will give their uses up against the new entry.
        cache->addUses(current->refCount());
    }
    m_caches.insert(path, cache);
}

KXCachePtr KXCacheManager::registeredLocked(const QString& path) {
    const auto it = m_caches.constFind(path);
    if (it == m_caches.constEnd())
        return nullptr;
    KXCachePtr cache = it.value();
    if (!cache->isCleared())
        return cache;
    // Cleared by its last releaseCache: no path hands it out any more.
    m_caches.removeIf([&cache](const auto& entry) { return entry.value() == cache; });
    return nullptr;
}

KXCachePtr KXCacheManager::cacheWithPath(const QString& path) {
    return lookUp(path, false);
}

KXCachePtr KXCacheManager::retainedCacheWithPath(const QString& path) {
    return lookUp(path, true);
}

KXCachePtr KXCacheManager::lookUp(const QString& path, bool takeUse) {
    if (path.isEmpty())
        return nullptr;
    std::unique_lock lock(m_mutex);
    for (;;) {
        // Taking the use under the manager's lock: no removal can clear the entry between the two steps.
        // An entry cleared by a releaseCache that raced with this lookup is dropped and looked up again.
        if (const KXCachePtr found = registeredLocked(path)) {
            if (!takeUse || found->retainCache())
                return found;
            continue;
        }
        const auto pending = m_pending.constFind(path);
        if (pending == m_pending.constEnd())
            break;
        // Another thread is making this entry: wait for it rather than decode the file twice, then look
        // again (it is registered by now unless it could not be made).
        const std::shared_future<KXCachePtr> result = pending.value();
        lock.unlock();
        const KXCachePtr made = result.get();
        lock.lock();
        if (!made)
            return nullptr;
    }
    std::promise<KXCachePtr> promise;
    m_pending.insert(path, promise.get_future().share());
    lock.unlock();

    KXCachePtr made;
    try {
        made = KXCache::initWithPath(path);
    } catch (...) {
        lock.lock();
        m_pending.remove(path);
        lock.unlock();
        promise.set_exception(std::current_exception());
        throw;
    }

    lock.lock();
    m_pending.remove(path);
    if (const KXCachePtr registered = registeredLocked(path))
        made = registered;  // registered by addCache meanwhile
    else if (made)
        m_caches.insert(path, made);
    if (made && takeUse)
        made->retainCache();  // not cleared: no removal ran while the lock was held
    lock.unlock();
    promise.set_value(made);
    return made;
}

void KXCacheManager::removeCacheWithPath(const QString& path) {
    if (path.isEmpty())
        return;
    std::lock_guard lock(m_mutex);
    const KXCachePtr cache = registeredLocked(path);
    if (!cache || !cache->giveUpUse())
        return;
    // A cleared entry has no images left: no path may keep handing it out.
    m_caches.removeIf([&cache](const auto& entry) { return entry.value() == cache; });
}

kx::Image KXCacheManager::imageThumbWithPath(const QString& path) {
    KXCachePtr cache;
    {
        std::lock_guard lock(m_mutex);
        cache = registeredLocked(path);
    }
    return cache ? cache->thumbImage() : kx::Image();
}

kx::Image KXCacheManager::imageWithPath(const QString& path, const kx::Size& size) {
    const KXCachePtr cache = cacheWithPath(path);
    return cache ? cache->imageWithSize(size) : kx::Image();
}

QHash<QString, KXCachePtr> KXCacheManager::caches() const {
    std::lock_guard lock(m_mutex);
    QHash<QString, KXCachePtr> live = m_caches;
    live.removeIf([](const auto& entry) { return entry.value()->isCleared(); });
    return live;
}
