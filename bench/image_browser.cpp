// An image browser listing a folder of 500 camera-size photos (4000 x 3000 JPEG): the time until the first
// screen of cells is drawn (with placeholders), and the time until every thumbnail is made. Both in real time:
// the thumbnails are made on worker threads.
//
// One photo (textured: gradients, waves and sensor grain of +-6 levels, quality 90) is generated once as
//     <temporary folder>/kx_bench_browser_photos/photo 0.jpg
// and copied 499 times beside it; delete the folder to make them again.
#include "controls/image_browser_view.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRandomGenerator>
#include <QThread>

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

constexpr int kPhotoCount = 500;

QString folder() { return QDir::temp().filePath(QStringLiteral("kx_bench_browser_photos")); }
QString photoPath(int i) { return QDir(folder()).filePath(QStringLiteral("photo %1.jpg").arg(i)); }

void makePhotosOnce() {
    QDir().mkpath(folder());
    if (!QFileInfo(photoPath(0)).isFile()) {
        const int w = 4000, h = 3000;
        QImage image(w, h, QImage::Format_RGB32);
        QRandomGenerator grain(7);
        for (int y = 0; y < h; ++y) {
            QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < w; ++x) {
                const double u = double(x) / w, v = double(y) / h;
                const double wave = std::sin(u * 41.0 + std::cos(v * 13.0) * 3.0) * std::cos(v * 29.0 - u * 5.0);
                const int n = int(grain.bounded(13)) - 6;
                auto channel = [n](double value) { return std::clamp(int(value) + n, 0, 255); };
                row[x] = qRgb(channel(120 + 90 * u + 35 * wave), channel(90 + 100 * v + 30 * wave * u),
                              channel(160 - 80 * u * v + 40 * std::sin(wave * 3.0)));
            }
        }
        image.save(photoPath(0), "JPEG", 90);
    }
    for (int i = 1; i < kPhotoCount; ++i)
        if (!QFileInfo(photoPath(i)).isFile())
            QFile::copy(photoPath(0), photoPath(i));
}

std::vector<kx::ImageBrowserItem> photoItems() {
    std::vector<kx::ImageBrowserItem> items;
    for (int i = 0; i < kPhotoCount; ++i) {
        kx::ImageBrowserItem item;
        item.uid = item.path = photoPath(i);
        item.title = QFileInfo(item.path).fileName();
        items.push_back(item);
    }
    return items;
}

bool allThumbnailsMade(kx::ImageBrowserView& view) {
    for (int i = 0; i < kPhotoCount; ++i)
        if (!view.browserModel().hasThumbnail(i))
            return false;
    return true;
}

void BM_BrowserFolderOfPhotos(benchmark::State& state) {
    makePhotosOnce();
    const std::vector<kx::ImageBrowserItem> items = photoItems();
    double firstScreenMs = 0, allMs = 0;
    for (auto _ : state) {
        kx::ImageBrowserView view;
        view.resize(900, 700);
        view.show();
        QApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        view.setItems(items);
        view.viewport()->repaint();
        const qint64 firstScreen = timer.nsecsElapsed();
        while (!allThumbnailsMade(view)) {
            QApplication::processEvents(QEventLoop::AllEvents, 5);
            QThread::usleep(200);
        }
        const qint64 all = timer.nsecsElapsed();
        state.SetIterationTime(double(all) / 1e9);
        firstScreenMs += firstScreen / 1e6;
        allMs += all / 1e6;
        view.browserModel().queue().waitForDone();
    }
    state.counters["first_screen_ms"] = benchmark::Counter(firstScreenMs / double(state.iterations()));
    state.counters["all_thumbnails_ms"] = benchmark::Counter(allMs / double(state.iterations()));
    state.counters["threads"] = QThread::idealThreadCount();
}
BENCHMARK(BM_BrowserFolderOfPhotos)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
