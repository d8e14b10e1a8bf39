// Moving one photo on a page of 50 photo shapes, repainted through the real canvas view at 1600 x 1200: the
// view shows the page at "fit page" in a scroll area on the offscreen platform; each iteration moves one
// shape by a few points and lets the event loop paint what the layer tree reported, as the running
// application does. The goal is 4 ms or less. The page is the one of bench_photo_page (sources of
// 3000 x 2000 and 4000 x 3000 pixels, masks, frames, filters, borders and shadows).
#include "canvas/canvas_layer.h"
#include "canvas/canvas_view.h"
#include "canvas/shape_layer.h"
#include "graphics/photo_filter.h"
#include "model/background.h"
#include "model/canvas.h"
#include "model/frame.h"
#include "model/model_classes.h"
#include "model/page_size.h"
#include "model/photo.h"
#include "model/shadow.h"
#include "model/shape.h"
#include "model/stroke.h"
#include "platform/foundation/bundle.h"
#include "photo_page_fixture.h"
#include "view_events.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <vector>

namespace {

using kxbench::buildPage;
using kxbench::Page;
using kxbench::resources;

void BM_ViewRepaintAfterMove(benchmark::State& state) {
    resources();
    Page page = buildPage();
    kxtest::ViewRig rig({1600, 1200});
    KXPreview* view = rig.view;
    view->switchToCanvasLayer(page.layer);
    QApplication::processEvents();  // the first full paint
    if (view->size() != QSize(1600, 1200) || page.layer->frame().size.width != 1600)
        state.SkipWithError("the page is not shown at 1600 x 1200");
    KXShape& moved = *page.shapes[22];
    const kx::Rect home = moved.relativeRect();
    int step = 0;
    view->resetPaintedPixelCount();
    for (auto _ : state) {
        const double dx = (step++ % 2 == 0 ? 6 : 0) / 1600.0;
        moved.setRelativeRect({home.origin.x + dx, home.origin.y + dx, home.size.width, home.size.height});
        QApplication::processEvents();
    }
    state.counters["painted_px"] =
        double(view->paintedPixelCount()) / double(std::max<std::int64_t>(1, state.iterations()));
}

// Zooming a 2560 x 1440 pixel page from "fit page" to 400 % in a 1600 x 1200 view, and the paint that
// follows: at 400 % the view is 10240 x 5760 points, all of it workspace texture and page that the layers must
// be ready to show. Cold: each iteration takes a fresh page and view (made, shown and painted once at "fit
// page" outside the timing), so nothing prepared by an earlier zoom is reused.
void BM_ViewZoomToFourHundredPercent(benchmark::State& state) {
    kx::Bundle::setMainResourcePath(QStringLiteral(KX_SOURCE_DIR "/resources"));
    const KXSize size(2560, 1440, KXSizeUnitPixel, 72);
    for (auto _ : state) {
        auto layer = KXCanvasLayer::create();
        layer->canvas()->setPageSize(&size);
        layer->canvas()->background()->setColor1(kx::Color::srgb(0.9, 0.8, 0.7, 1));
        auto rig = std::make_unique<kxtest::ViewRig>(QSize(1600, 1200));
        rig->view->switchToCanvasLayer(layer);
        QApplication::processEvents();
        const auto begin = std::chrono::steady_clock::now();
        rig->choose(KXZoomEntryLastLevel);
        QApplication::processEvents();
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
        if (rig->view->zoomPercentage() != 400)
            state.SkipWithError("the page did not reach 400 %");
        rig.reset();
        QApplication::processEvents();
    }
}

}  // namespace

// Wall-clock time: painting may use other threads, whose work the main thread's CPU time leaves out.
BENCHMARK(BM_ViewRepaintAfterMove)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewZoomToFourHundredPercent)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    registerModelClasses();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
