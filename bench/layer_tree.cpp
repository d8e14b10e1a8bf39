// Rendering a page-like layer tree: a 1600 x 1200 root holding 60 small graph layers, each with a content
// sublayer whose cached contents are drawn; once without shadows and once with a drop shadow on every graph,
// the canvas's usual look, and that once more with no layer picture kept from one render to the next (every
// shadow blurred anew, as a first render does). The shadowed render should stay within a few times the plain
// one.
#include "platform/layers/layer.h"
#include "platform/layers/layer_renderer.h"

#include <QImage>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

std::shared_ptr<kx::Layer> makePage(bool shadows) {
    auto root = std::make_shared<kx::Layer>();
    root->setBounds(kx::Rect(0, 0, 1600, 1200));
    root->setBackgroundColor(kx::Color::srgb(1, 1, 1));
    QImage picture(120, 90, QImage::Format_RGBA8888_Premultiplied);
    picture.fill(QColor(40, 120, 200));
    const kx::Image contents(picture);
    for (int i = 0; i < 60; ++i) {
        auto graph = std::make_shared<kx::Layer>();
        graph->setFrame(kx::Rect(40 + (i % 10) * 150, 40 + (i / 10) * 190, 120, 90));
        graph->setAffineTransform(kx::AffineTransform::makeRotation(0.05 * (i % 7)));
        if (shadows) {
            graph->setShadowOpacity(1);
            graph->setShadowRadius(6);
            graph->setShadowOffset(kx::Size(4, -4));
        }
        auto content = std::make_shared<kx::Layer>();
        content->setFrame(kx::Rect(0, 0, 120, 90));
        content->setContents(contents);
        graph->addSublayer(content);
        root->addSublayer(graph);
    }
    return root;
}

// Argument: no shadows (0), shadows (1), shadows with no picture kept (2).
void BM_RenderPage(benchmark::State& state) {
    auto page = makePage(state.range(0) != 0);
    kx::setLayerPictureCacheEnabled(state.range(0) != 2);
    for (auto _ : state) {
        kx::Image image = kx::renderLayerTree(*page);
        benchmark::DoNotOptimize(image.constBits());
    }
    kx::setLayerPictureCacheEnabled(true);
}

}  // namespace

// Wall-clock time: shadows may be blurred on other threads, whose work the main thread's CPU time leaves out.
BENCHMARK(BM_RenderPage)->Arg(0)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
