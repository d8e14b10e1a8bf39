// One step of a mouse drag on the real canvas view: the page of bench_photo_page (50 photo shapes) at
// "fit page", 1600 x 1200, on the offscreen platform. A press on one shape, then each iteration sends one mouse
// move (alternately 7 view pixels on and back: a mouse reports whole pixels) and lets the event loop paint
// what changed, as the running application does. The step runs the whole road: the move of the shape,
// snapping to the page and to the 49 other shapes, the guide lines, and the repaint.
// Goal: 4 ms or less per step (wall-clock time: the repaint may use other threads), also with every shape
// shadowed. The dragged shape casts a shadow in both cases.
#include "canvas/canvas_layer.h"
#include "canvas/canvas_view.h"
#include "canvas/snapping.h"
#include "model/model_classes.h"
#include "model/shadow.h"
#include "model/shape.h"
#include "platform/foundation/user_defaults.h"
#include "photo_page_fixture.h"
#include "view_events.h"

#include <QApplication>
#include <QMouseEvent>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

using kxbench::buildPage;
using kxbench::Page;
using kxbench::resources;

// A mouse event at a point of the view, in whole pixels as a mouse reports them.
void sendMouseAtViewPoint(KXPreview& view, QEvent::Type type, const QPoint& local) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(local), view.mapToGlobal(QPointF(local)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(&view, &event);
}

void BM_MouseDragStep(benchmark::State& state) {
    kx::UserDefaults::standard().setValue(KXAutoSnap, true);
    kx::UserDefaults::standard().setValue(KXAutoObjectSnap, state.range(0) != 0);
    resources();
    Page page = buildPage();
    KXShape& dragged = *page.shapes[22];
    for (const std::shared_ptr<KXShape>& shape : page.shapes) {
        if (shape.get() != &dragged && state.range(1) == 0)
            continue;
        shape->shadow()->setColor(kx::Color::srgb(0, 0, 0, 0.5));
        shape->setShadowEnabled(true);
    }
    kxtest::ViewRig rig({1600, 1200});
    KXPreview* view = rig.view;
    view->switchToCanvasLayer(page.layer);
    QApplication::processEvents();  // the first full paint
    const QPoint start = view->viewPointForPagePoint(dragged.frameRect().center()).toPoint();
    sendMouseAtViewPoint(*view, QEvent::MouseButtonPress, start);
    QApplication::processEvents();
    if (view->mouseDownGraph() != &dragged)
        state.SkipWithError("the press did not hit the shape");
    int step = 0;
    view->resetPaintedPixelCount();
    for (auto _ : state) {
        const int d = step++ % 2 == 0 ? 7 : 0;
        sendMouseAtViewPoint(*view, QEvent::MouseMove, start + QPoint(d, d));
        QApplication::processEvents();
    }
    sendMouseAtViewPoint(*view, QEvent::MouseButtonRelease, start);
    state.counters["painted_px"] =
        double(view->paintedPixelCount()) / double(std::max<std::int64_t>(1, state.iterations()));
    kx::UserDefaults::standard().removeValue(KXAutoSnap);
    kx::UserDefaults::standard().removeValue(KXAutoObjectSnap);
}

}  // namespace

// Arguments: snapping to other objects off (0) or on (1); the dragged shape and every fourth one shadowed (0)
// or every shape shadowed (1).
BENCHMARK(BM_MouseDragStep)
    ->ArgNames({"object_snap", "all_shadowed"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    registerModelClasses();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
