// One step of a mouse drag on the real canvas view: the page of bench_photo_page (50 photo shapes) at
// "fit page", 1600 x 1200, on the offscreen platform. A press on one shape, then each iteration sends one mouse
// move (alternately a few points on and back) and lets the event loop paint what changed, as the running
// application does. The step runs the whole road: the move of the shape, snapping to the page and to the 49
// other shapes, the guide lines, and the repaint. Goal: 16 ms or less (one frame at 60 Hz), so that the shape
// follows the mouse at the display's rate; nearly all of it is the repaint.
#include "canvas/canvas_layer.h"
#include "canvas/canvas_view.h"
#include "canvas/snapping.h"
#include "model/model_classes.h"
#include "model/shape.h"
#include "platform/foundation/user_defaults.h"
#include "photo_page_fixture.h"
#include "view_events.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

using kxbench::buildPage;
using kxbench::Page;
using kxbench::resources;
using kxtest::sendMouseAtPagePoint;

void BM_MouseDragStep(benchmark::State& state) {
    kx::UserDefaults::standard().setValue(KXAutoSnap, true);
    kx::UserDefaults::standard().setValue(KXAutoObjectSnap, state.range(0) != 0);
    resources();
    Page page = buildPage();
    kxtest::ViewRig rig({1600, 1200});
    KXPreview* view = rig.view;
    view->switchToCanvasLayer(page.layer);
    QApplication::processEvents();  // the first full paint
    KXShape& dragged = *page.shapes[22];
    const kx::Point start = dragged.frameRect().center();
    sendMouseAtPagePoint(*view, QEvent::MouseButtonPress, start);
    QApplication::processEvents();
    if (view->mouseDownGraph() != &dragged)
        state.SkipWithError("the press did not hit the shape");
    int step = 0;
    view->resetPaintedPixelCount();
    for (auto _ : state) {
        const double d = step++ % 2 == 0 ? 7.3 : 0.0;
        sendMouseAtPagePoint(*view, QEvent::MouseMove, {start.x + d, start.y + d});
        QApplication::processEvents();
    }
    sendMouseAtPagePoint(*view, QEvent::MouseButtonRelease, start);
    state.counters["painted_px"] =
        double(view->paintedPixelCount()) / double(std::max<std::int64_t>(1, state.iterations()));
    kx::UserDefaults::standard().removeValue(KXAutoSnap);
    kx::UserDefaults::standard().removeValue(KXAutoObjectSnap);
}

}  // namespace

// Argument: snapping to other objects off (0) or on (1).
BENCHMARK(BM_MouseDragStep)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    registerModelClasses();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
