// Photos made and freed on worker threads (page copies for output) take and give up uses of the shared image
// cache while other holders keep uses of the same entries. A photo must never give up a use it did not get:
// that would clear an entry that another holder still holds.
#include "graphics/image_cache.h"
#include "model/photo.h"

#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <thread>
#include <vector>

namespace {

TEST(PhotoCacheUseConcurrency, PhotosNeverClearAnEntryAnotherHolderHolds) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // Small, so that an entry is quickly made again after its last use went.
    const QString path = dir.filePath(QStringLiteral("shared.png"));
    QImage image(24, 16, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    ASSERT_TRUE(image.save(path));

    KXCacheManager& manager = KXCacheManager::cacheManager();
    constexpr int kPhotoThreads = 3;
    constexpr int kHolderThreads = 3;
    constexpr int kRounds = 4000;
    std::atomic<int> clearedWhileHeld{0};
    std::atomic<int> holdsTaken{0};
    std::latch start(kPhotoThreads + kHolderThreads);
    std::vector<std::thread> threads;

    for (int t = 0; t < kPhotoThreads; ++t) {
        threads.emplace_back([&] {
            start.arrive_and_wait();
            for (int round = 0; round < kRounds; ++round) {
                auto photo = std::make_shared<KXPhoto>();
                photo->setImagePath(path);
                photo.reset();  // gives up the use it took
            }
        });
    }
    for (int t = 0; t < kHolderThreads; ++t) {
        threads.emplace_back([&] {
            start.arrive_and_wait();
            for (int round = 0; round < kRounds; ++round) {
                const KXCachePtr held = manager.retainedCacheWithPath(path);
                if (!held)
                    continue;
                holdsTaken.fetch_add(1);
                for (int look = 0; look < 4; ++look) {
                    if (held->isCleared()) {
                        clearedWhileHeld.fetch_add(1);
                        break;
                    }
                    std::this_thread::yield();
                }
                manager.removeCacheWithPath(path);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();

    EXPECT_EQ(holdsTaken.load(), kHolderThreads * kRounds);
    EXPECT_EQ(clearedWhileHeld.load(), 0) << "entries cleared while a holder held a use";
    // Every use was given up: the entry is gone.
    EXPECT_FALSE(manager.caches().contains(path));
}

}  // namespace
