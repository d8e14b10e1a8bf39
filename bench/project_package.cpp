// A 20-page project with 200 photos from 4000 x 3000 JPEG files (made once in a temporary folder). Measured:
// - BM_SaveAsNewPackage: saving to a new package, every image copied into its "Data" folder;
// - BM_SaveInPlace: saving over the existing package (unchanged images are linked, not copied);
// - BM_Reopen: opening the package again; the counter peak_rss_mb is the process's peak resident memory
//   during the open (the peak is reset just before it). The goal is 400 MB or less.
#include "document/project.h"
#include "model/canvas.h"
#include "model/photo.h"
#include "model/shape.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "synthetic_photo.h"

#include <fstream>
#include <memory>
#include <string>

namespace {

constexpr int kPages = 20;
constexpr int kPhotos = 200;

QTemporaryDir& workDir() {
    static QTemporaryDir dir;
    return dir;
}

// The source images: ten distinct pictures, each copied under twenty names.
const QStringList& sources() {
    static const QStringList list = [] {
        QStringList files;
        const QString folder = workDir().filePath(QStringLiteral("sources"));
        QDir().mkpath(folder);
        QStringList distinct;
        for (int i = 0; i < 10; ++i) {
            QImage image = syntheticPhoto(4000, 3000).convertToFormat(QImage::Format_RGB888);
            image.setPixel(i, 0, qRgb(i, 0, 0));
            const QString path = QStringLiteral("%1/distinct_%2.jpg").arg(folder).arg(i);
            image.save(path, "jpeg", 85);
            distinct << path;
        }
        for (int i = 0; i < kPhotos; ++i) {
            const QString path = QStringLiteral("%1/IMG_%2.jpg").arg(folder).arg(i);
            QFile::copy(distinct[i % 10], path);
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
    for (int i = 0; i < kPhotos; ++i) {
        KXCanvas& page = *project->canvasAtIndex(i % kPages);
        auto shape = std::make_shared<KXShape>();
        shape->setText(nullptr);
        page.addGraph(shape);
        shape->setRelativeRect({0.05 * (i % 10), 0.05, 0.2, 0.2});
        shape->setPhoto(std::make_shared<KXPhoto>());
        shape->photo()->setImagePath(sources()[i]);
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

void BM_Reopen(benchmark::State& state) {
    const QString package = workDir().filePath(QStringLiteral("Reopen.vrtp3"));
    makeProject()->saveAsProjectToPath(package, KXSaveOperationSave);
    double peak = 0;
    for (auto _ : state) {
        resetPeakRss();
        auto project = KXProject::initWithPath(package);
        if (!project || project->canvasCount() != kPages)
            state.SkipWithError("open failed");
        peak = std::max(peak, peakRssMb());
    }
    state.counters["peak_rss_mb"] = peak;
}
BENCHMARK(BM_Reopen)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    registerDocumentClasses();
    sources();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
