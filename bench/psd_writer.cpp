// Writing a page as a layered PSD: an A4 page at 150 dpi (1240 x 1754) with a photo-like background and
// graph layers that are mostly transparent, as a page export makes them. Reports pages per second and
// the encoding throughput over the document's pixels.
#include "output/psd_writer.h"
#include "synthetic_photo.h"

#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

namespace {

constexpr int W = 1240, H = 1754;

const kx::Image& background() {
    static const kx::Image image(syntheticPhoto(W, H));
    return image;
}

// A page-size layer that is transparent but for one photo-sized rectangle.
const kx::Image& graph() {
    static const kx::Image image = [] {
        QImage q(W, H, QImage::Format_RGBA8888_Premultiplied);
        q.fill(Qt::transparent);
        QPainter p(&q);
        p.drawImage(QRect(200, 300, 600, 400), background().qimage(), QRect(0, 0, 600, 400));
        p.end();
        return kx::Image(q);
    }();
    return image;
}

void BM_PSDWriterPage(benchmark::State& state) {
    const int graphs = int(state.range(0));
    graph();  // the fixtures are made before timing starts
    for (auto _ : state) {
        PSDWriter writer({W, H});
        writer.addLayerWithCGImage(background(), "Background Layer", 1, {0, 0});
        for (int i = 0; i < graphs; ++i)
            writer.addLayerWithCGImage(graph(), "Graph Layer", 1, {0, 0});
        benchmark::DoNotOptimize(writer.createPSDData());
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * qint64(W) * H * 4 * (graphs + 1));
}
BENCHMARK(BM_PSDWriterPage)->Arg(0)->Arg(3)->Arg(10)->Unit(benchmark::kMillisecond);

void BM_PackBitsChannelRows(benchmark::State& state) {
    const QImage& q = background().qimage();
    for (auto _ : state)
        for (int y = 0; y < H; ++y)
            benchmark::DoNotOptimize(packedBitsForRange(q.constScanLine(y), qsizetype(W) * 4, 0, qsizetype(W) * 4, 4));
    state.SetBytesProcessed(state.iterations() * qint64(W) * H);
}
BENCHMARK(BM_PackBitsChannelRows)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
