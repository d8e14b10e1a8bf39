// Full decode against decoder-scaled thumbnail of a large photo-like JPEG.
//
// The picture is generated once, as smooth photo-like content (soft gradients and waves with a little grain
// of +-2 levels), and saved at quality 90 as
//     <temporary folder>/kx_bench_smooth_photo_6000x4000.jpg
// It is reused by later runs; delete it to make it again.
#include "graphics/image_loading.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

QString photoPath() { return QDir::temp().filePath(QStringLiteral("kx_bench_smooth_photo_6000x4000.jpg")); }

void makePhotoOnce() {
    const QString path = photoPath();
    if (QFileInfo(path).isFile())
        return;
    const int w = 6000, h = 4000;
    QImage image(w, h, QImage::Format_RGB32);
    QRandomGenerator grain(2024);
    for (int y = 0; y < h; ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const double u = double(x) / w, v = double(y) / h;
            const double wave = std::sin(u * 23.0 + std::cos(v * 7.0) * 3.0) * std::cos(v * 17.0 - u * 5.0);
            const int n = int(grain.bounded(5)) - 2;  // a little sensor grain
            auto channel = [n](double value) { return std::clamp(int(value) + n, 0, 255); };
            row[x] = qRgb(channel(120 + 90 * u + 35 * wave), channel(90 + 100 * v + 30 * wave * u),
                          channel(160 - 80 * u * v + 40 * std::sin(wave * 3.0)));
        }
    }
    image.save(path, "JPEG", 90);
}

void BM_LoadImageFromFile(benchmark::State& state) {
    makePhotoOnce();
    for (auto _ : state) {
        const kx::Image image = loadImageFromFile(photoPath());
        if (image.width() != 6000)
            state.SkipWithError("the photo did not load");
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_LoadImageFromFile)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadImageThumbnail400(benchmark::State& state) {
    makePhotoOnce();
    for (auto _ : state) {
        const kx::Image image = loadImageThumbnail(photoPath(), 400);
        if (image.width() != 400)
            state.SkipWithError("the thumbnail has the wrong size");
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_LoadImageThumbnail400)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
