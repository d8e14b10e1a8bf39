// Drawing a 6000 x 4000 photo scaled into a 1500 x 1000 bitmap: through kx::BitmapContext (y-up space,
// upright image, high interpolation) and through a bare QPainter on the same pixel format with smooth
// scaling. The context should cost no more than about a tenth over the bare painter.
#include "platform/gfx/bitmap_context.h"
#include "synthetic_photo.h"

#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

namespace {

const kx::Image& photo() {
    static const kx::Image image(syntheticPhoto(6000, 4000));
    return image;
}

void BM_BitmapContextDrawImage(benchmark::State& state) {
    const kx::Image& image = photo();
    for (auto _ : state) {
        kx::BitmapContext ctx(1500, 1000);
        ctx.drawImage(kx::Rect(0, 0, 1500, 1000), image);
        benchmark::DoNotOptimize(ctx.constData());
    }
}

void BM_BareQPainterDrawImage(benchmark::State& state) {
    const QImage& source = photo().qimage();
    for (auto _ : state) {
        QImage target(1500, 1000, QImage::Format_RGBA8888_Premultiplied);
        target.fill(0);
        QPainter painter(&target);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.drawImage(QRectF(0, 0, 1500, 1000), source);
        painter.end();
        benchmark::DoNotOptimize(target.constBits());
    }
}

BENCHMARK(BM_BitmapContextDrawImage)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_BareQPainterDrawImage)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

}  // namespace
