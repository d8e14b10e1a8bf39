// The blur filters on a 2000 x 2000 picture, on one core.
#include "platform/gfx/filters.h"

#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

namespace {

kx::Image picture() {
    QImage image(2000, 2000, QImage::Format_RGBA8888_Premultiplied);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 2000, 2000);
    gradient.setColorAt(0, Qt::red);
    gradient.setColorAt(1, QColor(0, 0, 255, 128));
    painter.fillRect(image.rect(), gradient);
    painter.end();
    return kx::Image(image);
}

void BM_Blur(benchmark::State& state, const char* name, double radius) {
    const kx::Image image = picture();
    kx::FilterPtr filter = kx::Filter::filterWithName(QString::fromLatin1(name));
    filter->setValueForKey(QStringLiteral("inputRadius"), radius);
    for (auto _ : state) {
        const kx::FilterImage out = filter->apply(kx::FilterImage(image));
        benchmark::DoNotOptimize(out.image.constBits());
    }
}
BENCHMARK_CAPTURE(BM_Blur, gaussian_10, "CIGaussianBlur", 10.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Blur, gaussian_3, "CIGaussianBlur", 3.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Blur, gaussian_1, "CIGaussianBlur", 1.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Blur, box_10, "CIBoxBlur", 10.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Blur, bloom_10, "CIBloom", 10.0)->Unit(benchmark::kMillisecond);

}  // namespace
