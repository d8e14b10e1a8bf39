// Listing a folder of image files: every entry costs one type lookup by extension.
#include "graphics/file_utilities.h"
#include "graphics/image_file_types.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// A folder of `count` empty files spread over ten subfolders, one in five of them not an image.
QTemporaryDir* makeFolder(int count) {
    auto* dir = new QTemporaryDir;
    const char* extensions[] = {"jpg", "PNG", "tif", "gif", "txt"};
    for (int i = 0; i < count; ++i) {
        const QString sub = dir->filePath(QStringLiteral("sub%1").arg(i % 10));
        QDir().mkpath(sub);
        QFile file(sub + QStringLiteral("/image%1.").arg(i) + QLatin1String(extensions[i % 5]));
        file.open(QIODevice::WriteOnly);
    }
    return dir;
}

void BM_imageFilesInFolder(benchmark::State& state) {
    std::unique_ptr<QTemporaryDir> dir(makeFolder(int(state.range(0))));
    for (auto _ : state)
        benchmark::DoNotOptimize(imageFilesInFolder(dir->path()));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_imageFilesInFolder)->Arg(200)->Arg(2000);

void BM_imageFilesInDirectorySorted(benchmark::State& state) {
    std::unique_ptr<QTemporaryDir> dir(makeFolder(int(state.range(0))));
    for (auto _ : state)
        benchmark::DoNotOptimize(imageFilesInDirectory(dir->path(), true));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_imageFilesInDirectorySorted)->Arg(2000);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
