// A 20-page project with 200 photos from 4000 x 3000 camera-like JPEG files, laid out as a template lays
// them out: ten photos a page, each with a drop shadow, every other one in a picture frame of the
// application's resources and the rest under a grey mask. Measured:
// - BM_OpenToFirstPageDrawn: opening the package and drawing its first page as the screen shows it, until
//   that page shows its photos (real time): the page is drawn, its photos' pictures arrive, and it is drawn
//   again. Counters: first_draw_ms (the first drawing, placeholders where pictures are still on their way),
//   peak_rss_mb (the process's resident-memory peak during the open and drawing, reset just before). Goals:
//   1 s and 400 MB.
// - BM_DecodeOneThumbnail, the reference: one of the source photos decoded to a 400-pixel thumbnail, the
//   least a first page of ten photos needs per photo.
// - BM_SaveAsNewPackage: saving to a new package, every image copied into its "Data" folder;
// - BM_SaveInPlace: saving over the existing package (unchanged images are linked, not copied).
#include "canvas/canvas_layer.h"
#include "document/project.h"
#include "graphics/image_loading.h"
#include "model/canvas.h"
#include "model/frame.h"
#include "model/page_size.h"
#include "model/photo.h"
#include "model/shadow.h"
#include "model/shape.h"
#include "platform/foundation/bundle.h"
#include "platform/gfx/bitmap_context.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QThread>
#include <benchmark/benchmark.h>

#include "camera_photos.h"

#include <fstream>
#include <memory>
#include <string>

namespace {

constexpr int kPages = 20;
constexpr int kPhotos = 200;
const kx::Size kPagePixels(2480, 3508);
const QString kResources = QStringLiteral(KX_SOURCE_DIR "/resources");

QTemporaryDir& workDir() {
    static QTemporaryDir dir;
    return dir;
}

// The source images: the camera-like pictures, each copied under twenty names.
const QStringList& sources() {
    static const QStringList list = [] {
        QStringList files;
        const QString folder = workDir().filePath(QStringLiteral("sources"));
        QDir().mkpath(folder);
        const QStringList& distinct = cameraPhotos();
        for (int i = 0; i < kPhotos; ++i) {
            const QString path = QStringLiteral("%1/IMG_%2.jpg").arg(folder).arg(i);
            QFile::copy(distinct[i % distinct.size()], path);
            files << path;
        }
        return files;
    }();
    return list;
}

std::unique_ptr<KXProject> makeProject() {
    auto project = std::make_unique<KXProject>();
    for (int p = 1; p < kPages; ++p)
        project->createNewLayerWithCanvas(std::make_shared<KXCanvas>());
    const KXSize size(kPagePixels.width, kPagePixels.height, KXSizeUnitPixel, 300);
    for (int p = 0; p < kPages; ++p)
        project->canvasAtIndex(p)->setPageSize(&size);
    for (int i = 0; i < kPhotos; ++i) {
        KXCanvas& page = *project->canvasAtIndex(i % kPages);
        const int slot = i / kPages;  // ten a page: two columns of five
        auto shape = std::make_shared<KXShape>();
        shape->setText(nullptr);
        page.addGraph(shape);
        shape->setRelativeRect({0.06 + 0.47 * (slot % 2), 0.04 + 0.19 * (slot / 2), 0.41, 0.17});
        KXPhoto& photo = *shape->photo();
        photo.setImagePath(sources()[i]);
        if (slot % 2 == 0)
            photo.setFrame(KXFrame::frameWithName(kResources + (slot % 4 == 0 ? QStringLiteral("/Frame/Classic/classic_001.png")
                                                                               : QStringLiteral("/Frame/Classic/classic_002.png"))));
        else
            photo.setMaskName(kResources + QStringLiteral("/Mask/Circle/circle_001.jpg"));
        shape->shadow()->setColor(kx::Color::srgb(0, 0, 0, 0.5));
        shape->setShadowEnabled(true);
        shape->setSelected(false);
    }
    return project;
}

// The resident-memory peak so far, in MB, and its reset.
double peakRssMb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}
void resetPeakRss() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

void BM_SaveAsNewPackage(benchmark::State& state) {
    int round = 0;
    for (auto _ : state) {
        // A fresh project each time: after a save its photos point into the package, which is removed below.
        state.PauseTiming();
        auto project = makeProject();
        state.ResumeTiming();
        const QString package = workDir().filePath(QStringLiteral("New%1.vrtp3").arg(round++));
        if (!project->saveAsProjectToPath(package, KXSaveOperationSaveAs))
            state.SkipWithError("save failed");
        state.PauseTiming();
        project.reset();
        QDir(package).removeRecursively();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SaveAsNewPackage)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SaveInPlace(benchmark::State& state) {
    auto project = makeProject();
    const QString package = workDir().filePath(QStringLiteral("InPlace.vrtp3"));
    project->saveAsProjectToPath(package, KXSaveOperationSave);
    for (auto _ : state)
        if (!project->saveAsProjectToPath(package, KXSaveOperationSave))
            state.SkipWithError("save failed");
}
BENCHMARK(BM_SaveInPlace)->Unit(benchmark::kMillisecond)->Iterations(5);

// Draws the current page as the screen does: the page's layer tree at the zoom of a 620-point-wide view.
void drawCurrentPage(KXProject& project) {
    const std::shared_ptr<KXCanvasLayer> layer = project.currentCanvasLayer();
    if (!layer)
        return;
    const kx::Size size = layer->bounds().size;
    kx::BitmapContext context(std::max(1, int(size.width)), std::max(1, int(size.height)));
    layer->renderInContext(context);
    benchmark::DoNotOptimize(context.makeImage());
}

// Whether every photo of the current page has its picture.
bool currentPageComplete(KXProject& project) {
    const std::shared_ptr<KXCanvasLayer> layer = project.currentCanvasLayer();
    if (!layer || !layer->canvas())
        return false;
    for (const auto& graph : layer->canvas()->graphs())
        if (auto* shape = dynamic_cast<KXShape*>(graph.get()); shape && shape->photo() && shape->photo()->renderImage().isNull())
            return false;
    return true;
}

const QString& package() {
    static const QString path = [] {
        const QString p = workDir().filePath(QStringLiteral("Reopen.vrtp3"));
        makeProject()->saveAsProjectToPath(p, KXSaveOperationSave);
        return p;
    }();
    return path;
}

void BM_OpenToFirstPageDrawn(benchmark::State& state) {
    const QString& path = package();
    double peak = 0;
    double firstDraw = 0;
    for (auto _ : state) {
        resetPeakRss();
        QElapsedTimer timer;
        timer.start();
        auto project = KXProject::initWithPath(path);
        if (!project || project->canvasCount() != kPages) {
            state.SkipWithError("open failed");
            break;
        }
        project->currentCanvasLayer()->canvas()->zoomToFitSize({620, 877});
        drawCurrentPage(*project);
        firstDraw += double(timer.nsecsElapsed()) / 1e6;
        // The pictures arrive on the main thread; the page is drawn again once they are all there.
        while (!currentPageComplete(*project)) {
            QCoreApplication::processEvents();
            if (!currentPageComplete(*project))
                QThread::usleep(200);
        }
        drawCurrentPage(*project);
        peak = std::max(peak, peakRssMb());
        state.PauseTiming();
        project.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["peak_rss_mb"] = peak;
    state.counters["first_draw_ms"] = firstDraw / double(state.iterations());
}
BENCHMARK(BM_OpenToFirstPageDrawn)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3)->Repetitions(3);

void BM_DecodeOneThumbnail(benchmark::State& state) {
    const QString& photo = cameraPhotos().front();
    for (auto _ : state)
        benchmark::DoNotOptimize(loadImageThumbnail(photo, 400));
}
BENCHMARK(BM_DecodeOneThumbnail)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5)->Repetitions(3);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    registerDocumentClasses();
    kx::Bundle::setMainResourcePath(kResources);
    sources();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
