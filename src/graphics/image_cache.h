// The shared image cache: per path, a thumbnail (at most 400 pixels a side), a large image (at most 1200) and
// the original, handing out the smallest one that serves a requested size. An entry of a bitmap file is made
// from the file's header alone (size and orientation); its thumbnail, like the large image and the original,
// is decoded on first request, once per entry, so that opening a project with many photos decodes none of
// them until they are drawn. Thumbnails of other files (JPNG, PDF, vector drawings) are made with the entry. Images from the internet search
// enter under their web address with the thumbnail in hand and are completed in the background.
//
// Entries live until the last user lets go: each user takes a use and gives it up through
// KXCacheManager::removeCacheWithPath (or releaseCache); there is no size limit and no eviction. The count of
// uses never goes below zero; giving up the last use (or giving one up when there is none) clears the entry,
// and a cleared entry takes no more uses and is never handed out again. A user takes the entry of a path and
// its use in one step (retainedCacheWithPath), so that no other user's last removal can clear the entry in
// between.
//
// Threads: the screen (main thread) and page renders on worker threads ask for the same entries at once.
// The manager's map is locked; an entry's fields are locked and each lazy load runs once even when several
// threads ask for it together (the others wait for its result). Remote images are fetched on a small thread
// pool of their own (remoteLoadPool), so that waits on slow servers never hold the threads that page renders
// and decoding share, and handed to their entry on the main thread, which then posts
// KXCacheDidLoadingInternetImage with the entry as the sender.
#pragma once

#include "platform/foundation/geometry.h"
#include "platform/gfx/image.h"

#include <QHash>
#include <QThreadPool>
#include <QString>
#include <QUrl>

#include <chrono>
#include <cstdint>
#include <future>
#include <memory>
#include <mutex>

inline const QString KXCacheDidLoadingInternetImage = QStringLiteral("KXCacheDidLoadingInternetImage");

// Size thresholds of the thumbnail and the large image, in pixels.
inline constexpr double kCacheThumbnailSize = 400;
inline constexpr double kCacheLargeImageSize = 1200;

// Limits on every remote image read (thumbnail and original): a slow or hostile server can neither hold a
// thread forever nor fill memory.
struct RemoteImageFetchLimits {
    std::chrono::milliseconds timeout{30000};  // the whole read, redirects included
    qint64 maximumBytes = 64 * 1024 * 1024;    // checked on the announced length and while reading
};

class KXCache;
using KXCachePtr = std::shared_ptr<KXCache>;

class KXCache : public std::enable_shared_from_this<KXCache> {
    struct Private {};

public:
    explicit KXCache(Private) {}
    KXCache(const KXCache&) = delete;
    KXCache& operator=(const KXCache&) = delete;

    // The entry of an image file; null when it is not an image or cannot be read. A bitmap file is judged by
    // its header: one whose pixels then turn out unreadable gives an entry without images (isEmpty).
    static KXCachePtr initWithPath(const QString& path);
    // The entry of an image in memory (a pasted image that the caller has also written to `path`).
    // Null for a null image.
    static KXCachePtr initWithImage(const kx::Image& image, const QString& path);
    // The entries of a remote image: a thumbnail in hand, or one read now from `thumbURL` (blocking this
    // thread, with the fetch limits; no images when it cannot be read). Either way the original is then
    // fetched in the background. `imageSize` is the size the search result announced.
    static KXCachePtr initWithThumbImage(const kx::Image& thumbImage, const QUrl& originalURL,
                                         const kx::Size& imageSize);
    static KXCachePtr initWithThumbURL(const QUrl& thumbURL, const QUrl& originalURL, const kx::Size& imageSize);

    // The limits of remote reads, for every entry made afterwards.
    static void setRemoteFetchLimits(const RemoteImageFetchLimits& limits);
    static RemoteImageFetchLimits remoteFetchLimits();

    // Decoded on the first call for an entry made from a bitmap file's header.
    kx::Image thumbImage() const;
    // The image imageWithSize (covering: imageCoveringSize) would give for `size` when it is in memory
    // already; null when it would have to be decoded or rendered first. Never blocks on a decode.
    kx::Image loadedImageWithSize(const kx::Size& size, bool covering) const;
    // Whether any version of the picture has been decoded into this entry.
    bool hasDecodedImages() const;
    // Made on first call when the image exceeds 400 pixels; the thumbnail otherwise or when it cannot be made.
    kx::Image largeImage();
    // Made on first call when the image exceeds 1200 pixels; the thumbnail otherwise or when it cannot be
    // made (an image that does not exceed 1200 has no separate original: its large image serves its size).
    kx::Image originalImage();
    // The thumbnail for sizes that fit 400, the large image for sizes that fit 1200, above that a fresh
    // rendering of a vector file at the size (never kept) or the original.
    kx::Image imageWithSize(const kx::Size& size);
    // An image for drawing the whole picture at `size` pixels: imageWithSize up to the large image; above
    // it, a bitmap file is decoded straight to the smallest size of its proportions that covers `size`
    // (the JPEG reader scales while it decodes), so a big photo drawn at a few megapixels is never decoded
    // in full. A request the image's own size does not exceed gets the original. The last such decode is
    // kept (made once, like the other versions) and serves every later request it covers; a larger
    // request replaces it. Remote, pasted, JPNG and PDF entries give the original, vector entries a
    // rendering at the size.
    kx::Image imageCoveringSize(const kx::Size& size);
    // The side lengths of the decode imageCoveringSize makes for `size` (rounded up), or (0, 0) when the
    // original serves that size.
    kx::Size coveringDecodeSize(const kx::Size& size) const;

    // No thumbnail can be had; false for an entry whose thumbnail is still to be decoded.
    bool isEmpty() const;
    bool isVectorImage() const { return m_isVectorImage; }
    // The file path, or a remote image's web address; empty once the entry is cleared.
    QString path() const;
    // The pixel size with the file's orientation applied; for vector files a huge nominal size that exceeds
    // every bound, so that no caller limits a request to it.
    kx::Size imageSize() const;

    // Takes a use; a cleared entry takes none. Answers whether a use was taken.
    bool retainCache();
    // Gives up a use as KXCacheManager::removeCacheWithPath does: never below zero, and at zero the entry is
    // cleared (no manager hands it out afterwards).
    void releaseCache() { giveUpUse(); }
    std::int64_t refCount() const;
    bool isCleared() const;

    // The pool that runs the blocking reads of remote originals: a few threads of its own.
    static QThreadPool& remoteLoadPool();
    // The pool that decodes pictures ahead of drawing them on screen (see KXPhoto): leaves a core to the
    // main thread.
    static QThreadPool& decodePool();

    // Forgets the path and the three images; the entry then takes no more uses. A load that is under way
    // when the entry is cleared keeps its result to itself.
    void clearImageCache();

private:
    friend class KXCacheManager;

    struct Snapshot {
        kx::Image thumb, large, original, covering;
        QString path;
        kx::Size imageSize;
        std::uint64_t generation = 0;
    };
    Snapshot snapshot() const;
    // The snapshot's thumbnail, decoded now when the entry was made from a header.
    kx::Image thumbOf(const Snapshot& s) const;
    // Stores a lazily made image unless the entry was cleared since `generation`.
    void storeLoaded(kx::Image KXCache::*slot, const kx::Image& image, std::uint64_t generation,
                     const kx::Size* newImageSize = nullptr);
    void startRemoteLoad(const QUrl& originalURL);
    // Decodes the thumbnail of an entry made from a header, once; the others wait for its result.
    kx::Image loadDeferredThumb();
    // Adds the uses of an entry this one replaces under a path (none to a cleared entry).
    void addUses(std::int64_t uses);
    // One use fewer, never below zero; at zero the entry is cleared. Answers whether it is cleared now.
    bool giveUpUse();
    void clearLocked();

    bool m_isVectorImage = false;
    bool m_isRemote = false;

    mutable std::mutex m_mutex;  // guards the fields below
    std::int64_t m_refCount = 0;
    bool m_cleared = false;
    kx::Image m_thumbImage;
    kx::Image m_largeImage;
    kx::Image m_originalImage;
    kx::Image m_coveringImage;  // the last decode for a size between the large image and the original
    QString m_path;
    kx::Size m_imageSize;
    std::uint64_t m_generation = 0;  // bumped by clearImageCache

    bool m_thumbDeferred = false;  // the thumbnail is still to be decoded from the file

    // Held while the thumbnail, the large image or the original is being made, so that it is made once.
    std::mutex m_thumbLoad;
    std::mutex m_largeLoad;
    std::mutex m_originalLoad;
    std::mutex m_coveringLoad;
    // Whether the file is read by the bitmap readers, which can decode it at a reduced size.
    bool m_scalableBitmapFile = false;
};

class KXCacheManager {
public:
    // The shared manager, made on first use and kept for the whole process.
    static KXCacheManager& cacheManager();

    KXCacheManager() = default;
    KXCacheManager(const KXCacheManager&) = delete;
    KXCacheManager& operator=(const KXCacheManager&) = delete;

    // Registers the entry under the path; nothing when either is null or empty. The entry's own path is not
    // changed. When another entry with uses is registered there, its uses move to the new entry, so the
    // users of the path still give up their uses against it and the new entry is cleared only when the last
    // of them lets go; the replaced entry itself is left as it is for whoever still holds it.
    void addCache(const KXCachePtr& cache, const QString& path);
    // The registered entry; otherwise a new file entry registered under the path; null for an empty path or
    // when no entry can be made (nothing is registered then). Threads asking at once for a new path share
    // one entry, made once.
    KXCachePtr cacheWithPath(const QString& path);
    // cacheWithPath and the caller's use of the entry, taken together under the manager's lock.
    KXCachePtr retainedCacheWithPath(const QString& path);
    // Gives up one use of the path's entry. At 0 uses the entry is cleared and dropped from every path it
    // is registered under. An unknown path does nothing.
    void removeCacheWithPath(const QString& path);
    // The thumbnail of an already registered entry; null when there is none (no entry is made).
    kx::Image imageThumbWithPath(const QString& path);
    // cacheWithPath, then imageWithSize.
    kx::Image imageWithPath(const QString& path, const kx::Size& size);

    // A copy of the map from path to entry (cleared entries left out).
    QHash<QString, KXCachePtr> caches() const;

private:
    KXCachePtr lookUp(const QString& path, bool takeUse);
    // The registered entry of the path; a cleared one is dropped from every path instead. Under m_mutex.
    KXCachePtr registeredLocked(const QString& path);

    mutable std::mutex m_mutex;
    QHash<QString, KXCachePtr> m_caches;
    // Entries being made for paths that are not registered yet.
    QHash<QString, std::shared_future<KXCachePtr>> m_pending;
};
