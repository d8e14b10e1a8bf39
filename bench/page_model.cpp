// A page with many graphs: inserting them all, selecting by point at 1,000 places, moving them all and undoing
// it all, on a page without layers and on a page shown by a page layer. Each grows linearly with the number
// of graphs: the fitted O(N) coefficient and "per_graph" (the time of one operation divided by the number of
// graphs) stay flat across the series.
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
#include <utility>
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

// The graphs of a page, each in a cell of its own on a grid that fills the page, so that no two overlap and
// a point in the middle of a graph hits that graph alone, whatever the count.
std::vector<std::shared_ptr<KXGraph>> makeGraphs(std::int64_t count) {
    const std::int64_t columns = std::int64_t(std::ceil(std::sqrt(double(count) * 4 / 3)));
    const std::int64_t rows = (count + columns - 1) / columns;
    const double w = 1.0 / double(columns), h = 1.0 / double(rows);
    std::vector<std::shared_ptr<KXGraph>> graphs;
    for (std::int64_t i = 0; i < count; ++i) {
        auto graph = std::make_shared<KXGraph>();
        graph->setRelativeRect({double(i % columns) * w + 0.1 * w, double(i / columns) * h + 0.1 * h, 0.8 * w,
                                0.8 * h});
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

void moveAll(KXCanvas& page, double offset) {
    page.undoManager().beginUndoGrouping();
    for (const auto& graph : page.graphs())
        graph->moveGraphWithOffsetX(offset, -offset);
    page.undoManager().endUndoGrouping();
}

// Whether a move changes every graph's rectangle (and a move back and an undo of both put them back).
bool movesEveryGraph(KXCanvas& page) {
    std::vector<kx::Rect> before;
    for (const auto& graph : page.graphs())
        before.push_back(graph->relativeRect());
    moveAll(page, 1);
    bool moved = true;
    for (std::size_t i = 0; i < before.size(); ++i)
        moved = moved && page.graphs()[i]->relativeRect() != before[i];
    moveAll(page, -1);
    page.undoManager().undo();
    page.undoManager().undo();
    page.undoManager().removeAllActions();
    return moved;
}

// The time per graph, next to the time of the whole operation.
void countPerGraph(benchmark::State& state) {
    state.SetComplexityN(state.range(0));
    state.counters["per_graph"] = benchmark::Counter(
        double(state.range(0)), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Building and tearing down pages stays out of the timing: only the operation itself is measured.
void BM_InsertAll(benchmark::State& state, bool withLayers) {
    for (auto _ : state) {
        state.PauseTiming();
        auto page = std::make_unique<Page>(withLayers);
        auto graphs = makeGraphs(state.range(0));
        state.ResumeTiming();
        insertAll(*page->canvas, graphs);
        state.PauseTiming();
        page.reset();
        graphs.clear();
        state.ResumeTiming();
    }
    countPerGraph(state);
}

// 1,000 points, each in the middle of a graph spread evenly through the stacking order: a query walks from
// the front past every graph above the one it hits, on average half the page.
void BM_SelectAtThousandPoints(benchmark::State& state, bool withLayers) {
    Page page(withLayers);
    insertAll(*page.canvas, makeGraphs(state.range(0)));
    constexpr int kQueries = 1000;
    std::vector<std::pair<kx::Point, const KXGraph*>> queries;
    for (int i = 0; i < kQueries; ++i) {
        const KXGraph* target = page.canvas->graphAtIndex(std::int64_t(i) * page.canvas->graphCount() / kQueries).get();
        queries.emplace_back(target->frameRect().center(), target);
    }
    std::int64_t misses = 0;
    for (auto _ : state) {
        for (const auto& [point, target] : queries)
            misses += page.canvas->selectGraphAtPoint(point).get() != target;
    }
    if (misses != 0)
        state.SkipWithError("a point hit another graph than the one it was aimed at");
    countPerGraph(state);
}

void BM_MoveAll(benchmark::State& state, bool withLayers) {
    Page page(withLayers);
    insertAll(*page.canvas, makeGraphs(state.range(0)));
    if (!movesEveryGraph(*page.canvas))
        state.SkipWithError("a graph did not move");
    double offset = 1;
    for (auto _ : state) {
        moveAll(*page.canvas, offset);
        offset = -offset;  // back and forth, so that the graphs stay on the page
        state.PauseTiming();
        page.canvas->undoManager().removeAllActions();
        state.ResumeTiming();
    }
    countPerGraph(state);
}

// Undoes a move of every graph, then the insertion of every graph (the last inserted first).
void BM_UndoAll(benchmark::State& state, bool withLayers) {
    for (auto _ : state) {
        state.PauseTiming();
        auto page = std::make_unique<Page>(withLayers);
        insertAll(*page->canvas, makeGraphs(state.range(0)));
        const kx::Rect before = page->canvas->graphAtIndex(0)->relativeRect();
        moveAll(*page->canvas, 1);
        if (page->canvas->graphAtIndex(0)->relativeRect() == before)
            state.SkipWithError("the graphs did not move");
        state.ResumeTiming();
        page->canvas->undoManager().undo();  // the moves
        page->canvas->undoManager().undo();  // the insertions
        state.PauseTiming();
        if (page->canvas->graphCount() != 0)
            state.SkipWithError("undo left graphs on the page");
        page.reset();
        state.ResumeTiming();
    }
    countPerGraph(state);
}

#define KX_PAGE_BENCH(fn)                                                                                      \
    BENCHMARK_CAPTURE(fn, model, false)                                                                        \
        ->RangeMultiplier(2)                                                                                   \
        ->Range(250, 4000)                                                                                     \
        ->Complexity(benchmark::oN)                                                                            \
        ->Unit(benchmark::kMillisecond);                                                                       \
    BENCHMARK_CAPTURE(fn, layers, true)                                                                        \
        ->RangeMultiplier(2)                                                                                   \
        ->Range(250, 4000)                                                                                     \
        ->Complexity(benchmark::oN)                                                                            \
        ->Unit(benchmark::kMillisecond)

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
