// Feeds arbitrary bytes to the unarchiver as a page of a project, then works with the page it read: copies
// it, attaches it, selects every graph, hit-tests, moves the graphs and removes one, undoes both, and renders
// it for output. A damaged or hostile page must load sanely or not at all, and undo must give back exactly
// what was there.
#include "model/canvas.h"
#include "model/canvas_owner.h"
#include "model/graph.h"
#include "model/model_classes.h"
#include "model/page_size.h"
#include "platform/foundation/keyed_unarchiver.h"

#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

void require(bool condition) {
    if (!condition)
        std::abort();
}

// An owner that shows nothing, detaching leaving graphs as a page layer does.
class NoLayers : public KXCanvasOwner {
public:
    void insertGraph(KXGraph*, unsigned) override {}
    void removeGraph(KXGraph* graph) override {
        graph->setRender(nullptr);
        graph->setCanvas(nullptr);
        graph->setSelected(false);
    }
    void setNeedsDisplay() override {}
    void layoutGraphs() override {}
};

void exercise(KXCanvas& page) {
    const std::int64_t count = page.graphCount();
    if (const auto copy = page.copy())
        require(copy->graphCount() == count);
    else
        std::abort();  // what was read must read back once written again

    NoLayers owner;
    page.setOwner(&owner);
    page.zoomToFitSize({800, 600});
    kx::UndoManager& undo = page.undoManager();
    undo.setGroupsByEvent(false);
    require(page.graphCount() == count);
    for (const auto& graph : page.graphs())
        require(graph->canvas() == &page && !graph->isSelected());

    page.setAllGrpahsSelection(true);
    require(std::int64_t(page.selectedGraphs().size()) == count);
    const kx::Size preview = page.previewSize();
    for (const kx::Point& point : {kx::Point{preview.width / 2, preview.height / 2}, kx::Point{10, 10}})
        page.selectGraphAtPoint(point);
    page.selectedGraphsWithFrame({0, 0, preview.width / 3, preview.height / 3});

    std::vector<kx::Rect> before;
    for (const auto& graph : page.graphs())
        before.push_back(graph->relativeRect());
    undo.beginUndoGrouping();
    for (const auto& graph : page.selectedEditableGraphs())
        graph->moveGraphWithOffsetX(3, -2);
    undo.endUndoGrouping();
    if (undo.canUndo())
        undo.undo();
    require(page.graphCount() == count);
    for (std::int64_t i = 0; i < count; ++i)
        require(page.graphAtIndex(i)->relativeRect() == before[std::size_t(i)]);

    if (count > 0) {
        const auto last = page.graphAtIndex(count - 1);
        undo.beginUndoGrouping();
        page.removeGraph(last.get());
        undo.endUndoGrouping();
        require(page.graphCount() == count - 1 && last->canvas() == nullptr);
        undo.undo();
        require(page.graphCount() == count && page.graphAtIndex(count - 1) == last);
    }
    // A render for output leaves the page as it was and registers nothing.
    const kx::Size previewBefore = page.previewSize();
    const double zoomBefore = page.zoomValue();
    const bool couldUndo = undo.canUndo();
    const kx::Image output = page.outputImageWithSize({160, 120});
    require(output.isNull() || (output.width() <= 160 && output.height() <= 120));
    require(page.previewSize() == previewBefore && page.zoomValue() == zoomBefore);
    require(undo.canUndo() == couldUndo && page.renderIntent() == KXRenderIntentPreview);

    undo.removeAllActions();
    page.setOwner(nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool ready = (qInstallMessageHandler(quiet), registerModelClasses(), registerPageSizeClasses(), true);
    (void)ready;
    const auto root = kx::KeyedUnarchiver::unarchiveObjectWithData(
        QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!root)
        return 0;
    if (const auto page = root->objectAs<KXCanvas>())
        exercise(*page);
    return 0;
}
