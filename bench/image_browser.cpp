// An image browser listing a folder of 500 camera-size photos (4000 x 3000 JPEG): the time until the first
// screen of cells is drawn (with placeholders), and the time until every thumbnail is made. Both in real time:
// the thumbnails are made on worker threads.
//
// The camera-like photos of the build tree (`ninja camera_photos`) are copied, in turn, to
//     <temporary folder>/kx_bench_browser_photos/photo <n>.jpg
// once; delete the folder to copy them again.
#include "camera_photos.h"
#include "controls/image_browser_view.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <benchmark/benchmark.h>


namespace {

constexpr int kPhotoCount = 500;

QString folder() { return QDir::temp().filePath(QStringLiteral("kx_bench_browser_photos")); }
QString photoPath(int i) { return QDir(folder()).filePath(QStringLiteral("photo %1.jpg").arg(i)); }

void makePhotosOnce() {
    QDir().mkpath(folder());
    for (int i = 0; i < kPhotoCount; ++i)
        if (!QFileInfo(photoPath(i)).isFile())
            QFile::copy(cameraPhotos().at(i % cameraPhotos().size()), photoPath(i));
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
