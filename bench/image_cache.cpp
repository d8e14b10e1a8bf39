// Filling the image cache with 100 distinct photos, cold, on the global thread pool as the application does:
// thumbnails only (what lists and the canvas show), then thumbnails and large images (what page renders ask
// for). Reports images per second and the process's peak resident memory during the runs, which must stay
// bounded by the 400- and 1200-pixel images asked for: a full decode of every 3000 x 2000 photo would hold
// 24 MB each.
#include "graphics/image_cache.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QTemporaryDir>
#include <QThreadPool>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

constexpr int kPhotoCount = 100;
constexpr int kPhotoWidth = 3000;
constexpr int kPhotoHeight = 2000;

// 100 photo-sized JPEG files, each with its own colours, made once for every benchmark.
const std::vector<QString>& photoPaths() {
    static QTemporaryDir dir;
    static const std::vector<QString> paths = [] {
        std::vector<QString> made;
        QImage image(kPhotoWidth, kPhotoHeight, QImage::Format_RGB32);
        for (int i = 0; i < kPhotoCount; ++i) {
            QPainter painter(&image);
            QLinearGradient gradient(0, 0, kPhotoWidth, kPhotoHeight);
            gradient.setColorAt(0, QColor::fromHsv((i * 37) % 360, 180, 230));
            gradient.setColorAt(1, QColor::fromHsv((i * 37 + 150) % 360, 220, 90));
            painter.fillRect(image.rect(), gradient);
            for (int k = 0; k < 40; ++k)
                painter.fillRect((k * 71 + i * 13) % kPhotoWidth, (k * 53 + i * 29) % kPhotoHeight, 160, 120,
                                 QColor::fromHsv((k * 23 + i) % 360, 255, 255));
            painter.end();
            const QString path = dir.filePath(QStringLiteral("photo%1.jpg").arg(i, 3, 10, QLatin1Char('0')));
            image.save(path, "JPEG", 88);
            made.push_back(path);
        }
        return made;
    }();
    return paths;
}

// Resident memory figures of this process in KiB from /proc/self/status ("VmHWM" the peak, "VmRSS" now).
long statusKiB(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray wanted = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(wanted))
            return line.mid(wanted.size()).trimmed().split(' ').value(0).toLong();
    return -1;
}

// Resident memory when the photos are made and nothing is loaded yet.
long g_startKiB = 0;

// Starts a new peak: writing "5" to clear_refs resets the peak resident size to the current one.
void resetPeakMemory() {
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    if (clearRefs.open(QIODevice::WriteOnly))
        clearRefs.write("5");
}

void BM_CacheColdLoad(benchmark::State& state) {
    const bool withLarge = state.range(0) != 0;
    const std::vector<QString>& paths = photoPaths();
    QThreadPool* pool = QThreadPool::globalInstance();
    resetPeakMemory();
    long held = 0;
    for (auto _ : state) {
        // A fresh manager: every entry is made from its file.
        auto manager = std::make_unique<KXCacheManager>();
        for (const QString& path : paths) {
            pool->start([&manager, path, withLarge] {
                const KXCachePtr cache = manager->cacheWithPath(path);
                if (cache && withLarge)
                    benchmark::DoNotOptimize(cache->imageWithSize({1200, 1200}));
            });
        }
        pool->waitForDone();
        state.PauseTiming();
        held = statusKiB("VmRSS") - g_startKiB;
        if (manager->caches().size() != kPhotoCount)
            state.SkipWithError("an entry could not be made");
        manager.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kPhotoCount);
    // Above the memory of the idle process: freed images stay with the allocator between runs, so the
    // figures are what the loads needed at most, not what one run added.
    state.counters["peak_MiB"] = double(statusKiB("VmHWM") - g_startKiB) / 1024;
    state.counters["held_MiB"] = double(held) / 1024;
    // What the images asked for occupy: 400 x 267 thumbnails, plus 1200 x 800 large images.
    const double askedFor = kPhotoCount * (400.0 * 267 + (withLarge ? 1200.0 * 800 : 0)) * 4;
    state.counters["asked_MiB"] = askedFor / (1024 * 1024);
}
BENCHMARK(BM_CacheColdLoad)->ArgName("large")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    photoPaths();  // made before any measurement
    g_startKiB = statusKiB("VmRSS");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
