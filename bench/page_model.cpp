// A page with many graphs: inserting them all, selecting by point at 1,000 places, moving them all and undoing
// it all, on a page without layers and on a page shown by a page layer. Each should grow linearly with the
// number of graphs.
#include "canvas/canvas_layer.h"
#include "model/canvas.h"
#include "model/graph.h"
#include "model/model_classes.h"
#include "model/page_size.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

// An owner that shows nothing.
class NoLayers : public KXCanvasOwner {
public:
    void insertGraph(KXGraph*, unsigned) override {}
    void removeGraph(KXGraph* graph) override {
        graph->setRender(nullptr);
        graph->setSelected(false);
    }
    void setNeedsDisplay() override {}
    void layoutGraphs() override {}
};

struct Page {
    explicit Page(bool withLayers) {
        if (withLayers) {
            layer = KXCanvasLayer::create();
            canvas = layer->sharedCanvas();
            layer->setFrame({0, 0, 800, 600});
        } else {
            canvas = std::make_shared<KXCanvas>();
            canvas->setOwner(&owner);
            canvas->zoomToFitSize({800, 600});
        }
        canvas->undoManager().setGroupsByEvent(false);
    }
    ~Page() {
        if (!layer)
            canvas->setOwner(nullptr);
    }
    NoLayers owner;
    std::shared_ptr<KXCanvasLayer> layer;
    std::shared_ptr<KXCanvas> canvas;
};

std::vector<std::shared_ptr<KXGraph>> makeGraphs(std::int64_t count) {
    std::vector<std::shared_ptr<KXGraph>> graphs;
    for (std::int64_t i = 0; i < count; ++i) {
        auto graph = std::make_shared<KXGraph>();
        const double x = double(i % 40) / 40, y = double(i / 40 % 30) / 30;
        graph->setRelativeRect({x, y, 0.05, 0.05});
        graphs.push_back(graph);
    }
    return graphs;
}

void insertAll(KXCanvas& page, const std::vector<std::shared_ptr<KXGraph>>& graphs) {
    page.undoManager().beginUndoGrouping();
    for (const auto& graph : graphs)
        page.addGraph(graph);
    page.undoManager().endUndoGrouping();
}

void BM_InsertAll(benchmark::State& state, bool withLayers) {
    for (auto _ : state) {
        state.PauseTiming();
        Page page(withLayers);
        const auto graphs = makeGraphs(state.range(0));
        state.ResumeTiming();
        insertAll(*page.canvas, graphs);
        state.PauseTiming();
        page.canvas->undoManager().removeAllActions();
        state.ResumeTiming();
    }
    state.SetComplexityN(state.range(0));
}

void BM_SelectAtThousandPoints(benchmark::State& state, bool withLayers) {
    Page page(withLayers);
    insertAll(*page.canvas, makeGraphs(state.range(0)));
    std::int64_t hits = 0;
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) {
            const kx::Point p{std::fmod(i * 37.3, 800), std::fmod(i * 23.9, 600)};
            hits += page.canvas->selectGraphAtPoint(p) != nullptr;
        }
    }
    benchmark::DoNotOptimize(hits);
    state.SetComplexityN(state.range(0));
}

void BM_MoveAll(benchmark::State& state, bool withLayers) {
    Page page(withLayers);
    insertAll(*page.canvas, makeGraphs(state.range(0)));
    for (auto _ : state) {
        page.canvas->undoManager().beginUndoGrouping();
        for (const auto& graph : page.canvas->graphs())
            graph->moveGraphWithOffsetX(1, -1);
        page.canvas->undoManager().endUndoGrouping();
        state.PauseTiming();
        page.canvas->undoManager().removeAllActions();
        state.ResumeTiming();
    }
    state.SetComplexityN(state.range(0));
}

void BM_UndoAll(benchmark::State& state, bool withLayers) {
    for (auto _ : state) {
        state.PauseTiming();
        Page page(withLayers);
        insertAll(*page.canvas, makeGraphs(state.range(0)));
        page.canvas->undoManager().beginUndoGrouping();
        for (const auto& graph : page.canvas->graphs())
            graph->moveGraphWithOffsetX(1, -1);
        page.canvas->undoManager().endUndoGrouping();
        state.ResumeTiming();
        page.canvas->undoManager().undo();  // the moves
        page.canvas->undoManager().undo();  // the insertions
        state.PauseTiming();
        if (page.canvas->graphCount() != 0)
            state.SkipWithError("undo left graphs on the page");
        state.ResumeTiming();
    }
    state.SetComplexityN(state.range(0));
}

#define KX_PAGE_BENCH(fn)                                                                                  \
    BENCHMARK_CAPTURE(fn, model, false)->RangeMultiplier(2)->Range(250, 4000)->Complexity()->Unit(benchmark::kMillisecond); \
    BENCHMARK_CAPTURE(fn, layers, true)->RangeMultiplier(2)->Range(250, 4000)->Complexity()->Unit(benchmark::kMillisecond)

KX_PAGE_BENCH(BM_InsertAll);
KX_PAGE_BENCH(BM_SelectAtThousandPoints);
KX_PAGE_BENCH(BM_MoveAll);
KX_PAGE_BENCH(BM_UndoAll);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    registerModelClasses();
    registerPageSizeClasses();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
