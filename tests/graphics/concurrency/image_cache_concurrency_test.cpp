// The image cache used from several threads at once, as the screen and page renders use it. Run under
// ThreadSanitizer by the test script; the checks below also catch entries or images made more than once.
#include "graphics/image_cache.h"

#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace {

constexpr int kThreads = 8;

class ImageCacheConcurrency : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new QTemporaryDir;
        for (int i = 0; i < 6; ++i) {
            QImage image(1600, 1200, QImage::Format_RGB32);
            image.fill(QColor::fromHsv(i * 50, 200, 220));
            QPainter(&image).fillRect(100 * i, 50, 300, 300, Qt::black);
            const QString path = s_dir->filePath(QStringLiteral("photo%1.jpg").arg(i));
            ASSERT_TRUE(image.save(path, "JPEG", 85));
            s_paths.push_back(path);
        }
    }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
        s_paths.clear();
    }

    static QTemporaryDir* s_dir;
    static std::vector<QString> s_paths;
};

QTemporaryDir* ImageCacheConcurrency::s_dir = nullptr;
std::vector<QString> ImageCacheConcurrency::s_paths;

// Everything the threads saw for one path: the entries and the pixel buffers of each size.
struct Seen {
    std::set<const KXCache*> entries;
    std::set<qint64> thumbs, larges, coverings, originals;
};

TEST_F(ImageCacheConcurrency, EntriesAndLazyImagesAreMadeOnce) {
    KXCacheManager manager;
    std::mutex seenLock;
    std::map<QString, Seen> seen;
    std::latch start(kThreads);

    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            start.arrive_and_wait();
            for (std::size_t k = 0; k < s_paths.size(); ++k) {
                // Each thread walks the files from another starting point, so that they meet on every file.
                const QString& path = s_paths[(k + std::size_t(t)) % s_paths.size()];
                const KXCachePtr cache = manager.cacheWithPath(path);
                ASSERT_TRUE(cache);
                const kx::Image thumb = cache->imageWithSize({300, 300});
                const kx::Image large = cache->imageWithSize({1000, 700});
                const kx::Image covering = cache->imageCoveringSize({1400, 10});
                const kx::Image original = cache->imageWithSize({1500, 1500});
                std::lock_guard lock(seenLock);
                Seen& s = seen[path];
                s.entries.insert(cache.get());
                s.thumbs.insert(thumb.qimage().cacheKey());
                s.larges.insert(large.qimage().cacheKey());
                s.coverings.insert(covering.qimage().cacheKey());
                s.originals.insert(original.qimage().cacheKey());
                EXPECT_EQ(large.pixelSize(), kx::Size(1200, 900));
                EXPECT_EQ(covering.pixelSize(), kx::Size(1400, 1050));
                EXPECT_EQ(original.pixelSize(), kx::Size(1600, 1200));
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();

    ASSERT_EQ(seen.size(), s_paths.size());
    for (const auto& [path, s] : seen) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(s.entries.size(), 1u);
        EXPECT_EQ(s.thumbs.size(), 1u);
        EXPECT_EQ(s.larges.size(), 1u);
        EXPECT_EQ(s.coverings.size(), 1u);
        EXPECT_EQ(s.originals.size(), 1u);
    }
    EXPECT_EQ(manager.caches().size(), qsizetype(s_paths.size()));
}

TEST_F(ImageCacheConcurrency, UsersComeAndGoWhileRendersRead) {
    KXCacheManager manager;
    std::atomic<bool> done{false};
    std::atomic<int> imagesServed{0};
    std::latch start(kThreads + 1);

    // Renders: ask for images of every path at every size, whatever state the entries are in.
    std::vector<std::thread> renders;
    for (int t = 0; t < kThreads; ++t) {
        renders.emplace_back([&, t] {
            start.arrive_and_wait();
            int round = 0;
            while (!done.load() || round < 3) {
                for (const QString& path : s_paths) {
                    const double side = (round + t) % 3 == 0 ? 200 : (round + t) % 3 == 1 ? 900 : 1400;
                    const kx::Image image = manager.imageWithPath(path, {side, side});
                    if (!image.isNull()) {
                        EXPECT_LE(std::max(image.width(), image.height()), side <= 400 ? 400 : 1600);
                        imagesServed.fetch_add(1);
                    }
                    manager.imageThumbWithPath(path);
                }
                ++round;
            }
        });
    }

    // The owner side: photos take and give up uses, entries are re-registered under second paths.
    start.arrive_and_wait();
    for (int round = 0; round < 20; ++round) {
        for (const QString& path : s_paths) {
            const KXCachePtr cache = manager.retainedCacheWithPath(path);
            ASSERT_TRUE(cache);
            EXPECT_FALSE(cache->isEmpty());
            manager.addCache(cache, path + QStringLiteral(".copy"));
            if (round % 2 == 0)
                manager.removeCacheWithPath(path + QStringLiteral(".copy"));
            else
                manager.removeCacheWithPath(path);
        }
    }
    done.store(true);
    for (std::thread& thread : renders)
        thread.join();

    EXPECT_GT(imagesServed.load(), 0);
    for (const auto& [path, cache] : manager.caches().asKeyValueRange()) {
        EXPECT_FALSE(cache->isEmpty()) << path.toStdString();  // no cleared entry stays registered
        EXPECT_GE(cache->refCount(), 0);
    }
}

}  // namespace
