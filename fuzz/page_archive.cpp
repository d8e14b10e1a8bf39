// Feeds arbitrary bytes to the unarchiver as a page of a project, then works with the page it read: copies
// it, attaches it, selects every graph, hit-tests, moves the graphs and removes one, restacks, groups and
// ungroups them, edits the nodes of pen shapes with indices taken from the input, undoes and redoes each step,
// and renders it for output and as layers. A damaged or hostile page (groups
// nested, empty or listing themselves included) must load sanely or not at all, undo must give back exactly
// what was there, and a render must leave the page as it was.
#include "headless_page_owner.h"
#include "model/canvas.h"
#include "model/canvas_owner.h"
#include "model/canvas_psd_layers.h"
#include "model/graph.h"
#include "model/model_classes.h"
#include "model/page_size.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "platform/gfx/bitmap_context.h"
#include "shapes/custom_shape.h"

#include <QHash>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <limits>
#include <vector>

namespace {

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

void require(bool condition) {
    if (!condition)
        std::abort();
}

// Checks the layers a page hands over: the background, then one per graph, all of the document's size at
// the origin with opacity 1.
class LayerCheck : public KXLayeredImageWriter {
public:
    bool initWithDocumentSize(const kx::Size& size) override {
        require(!started && size.width >= 1 && size.height >= 1);
        started = true;
        documentSize = size;
        return true;
    }
    bool addLayerWithCGImage(const kx::Image& image, const QString& name, float opacity,
                             const kx::Point& offset) override {
        require(started && image.width() == int(documentSize.width) && image.height() == int(documentSize.height));
        require(name == (layers == 0 ? KXBackgroundLayerName : KXGraphLayerName));
        require(opacity == 1 && offset == kx::Point(0, 0));
        ++layers;
        return true;
    }
    bool started = false;
    kx::Size documentSize;
    std::int64_t layers = 0;
};

QByteArray archived(const KXCanvas& page) {
    kx::KeyedArchiver archiver;
    archiver.encodeObject(page, QStringLiteral("root"));
    return archiver.encodedData();
}

// Runs an arranging operation as one undo step; undo must give back the same page and redo the same result.
template <class Operation>
void undoExactly(KXCanvas& page, Operation operation) {
    kx::UndoManager& undo = page.undoManager();
    const QByteArray before = archived(page);
    const KXCanvas::GraphList listBefore = page.graphs();
    undo.beginUndoGrouping();
    operation();
    undo.endUndoGrouping();
    const QByteArray after = archived(page);
    const KXCanvas::GraphList listAfter = page.graphs();
    if (!undo.canUndo()) {
        require(after == before && listAfter == listBefore);
        return;
    }
    undo.undo();
    require(page.graphs() == listBefore && archived(page) == before);
    undo.redo();
    require(page.graphs() == listAfter && archived(page) == after);
    undo.removeAllActions();
}

// Numbers drawn from the input, so that every input edits its pen shapes in its own way.
std::uint64_t g_seed = 0;

std::uint64_t nextRandom() {
    g_seed = g_seed * 6364136223846793005ULL + 1442695040888963407ULL;
    return g_seed >> 33;
}

// A node index for an outline of n elements: in range, at either end, just past it, or far outside.
std::int64_t randomIndex(std::int64_t n) {
    switch (nextRandom() % 6) {
    case 0: return -1;
    case 1: return n;
    case 2: return n - 1;
    case 3: return std::int64_t(nextRandom()) - (std::int64_t(1) << 30);
    case 4: return nextRandom() % 2 ? std::numeric_limits<std::int32_t>::max() : std::numeric_limits<std::int32_t>::min();
    default: return n > 0 ? std::int64_t(nextRandom() % std::uint64_t(n)) : 0;
    }
}

float randomOffset() {
    switch (nextRandom() % 8) {
    case 0: return std::numeric_limits<float>::infinity();
    case 1: return float(nextRandom() % 2000) * 10.0f;
    default: return float(std::int64_t(nextRandom() % 81) - 40) / 4.0f;
    }
}

std::int32_t narrow(std::int64_t v) {
    return std::int32_t(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                 std::numeric_limits<std::int32_t>::max()));
}

// Clicks, drags, insertions, deletions and corner switches on every pen shape, each undone and redone exactly;
// whatever changes the outline leaves a pen outline with one list entry per element.
void editPenShapes(KXCanvas& page) {
    const KXCanvas::GraphList graphs = page.graphs();
    for (const auto& graph : graphs) {
        auto pen = std::dynamic_pointer_cast<KXCustomShape>(graph);
        if (!pen)
            continue;
        for (int step = 0; step < 10 && pen->canvas() == &page; ++step) {
            const kx::BezierPath before = pen->path();
            const std::int64_t n = before.elementCount();
            const std::int64_t index = randomIndex(n);
            const float dx = randomOffset(), dy = randomOffset();
            switch (nextRandom() % 6) {
            case 0:
                undoExactly(page, [&] {
                    pen->setCustomPointElement(index);
                    pen->removeCustomPathPoint();
                });
                break;
            case 1:
                undoExactly(page, [&] {
                    pen->setCustomPointElement(index);
                    pen->changeLineType();
                });
                break;
            case 2: {
                const kx::Point m = KXCustomShape::segmentMidpoint(before, narrow(index));
                undoExactly(page, [&] { pen->addPathNodeToIndex(index, m); });
                break;
            }
            case 3: {
                const std::int32_t type = std::int32_t(nextRandom() % 10);
                const bool snap = nextRandom() % 2;
                undoExactly(page, [&] { pen->dragPathElement(narrow(index), dx, dy, type, snap); });
                break;
            }
            case 4: {
                const std::int32_t type = std::int32_t(nextRandom() % 10);
                undoExactly(page, [&] { pen->nudgePathElement(narrow(index), type, dx, dy); });
                break;
            }
            default: {
                const kx::BezierPath::Element e = before.elementAtIndex(narrow(index));
                const kx::Point p(e.points[nextRandom() % 3].x + dx / 8, e.points[0].y + dy / 8);
                pen->hitTestEditableAtPoint(p);
                undoExactly(page, [&] { pen->handlerInfoAtPoint(p); });
                break;
            }
            }
            if (pen->path() != before)
                require(KXCustomShape::isPenOutline(pen->path()) &&
                        pen->customPointsArray().size() == std::size_t(pen->path().elementCount()));
        }
    }
}

void arrange(KXCanvas& page) {
    kx::BitmapContext context(16, 16);
    for (const auto& graph : page.graphs()) {
        graph->drawInContext(context, {0, 0, 16, 16});
        graph->rootOfGraphs();
    }
    page.emptyPhotos();
    page.receateAllText();
    const std::int64_t count = page.graphCount();
    page.setAllGrpahsSelection(false);
    for (std::int64_t i = 0; i < count; i += 2)
        page.graphAtIndex(i)->setSelected(true);
    page.undoManager().removeAllActions();
    undoExactly(page, [&] { page.selectedGraphsGoFront(); });
    undoExactly(page, [&] { page.selectedGraphsGoForward(); });
    undoExactly(page, [&] { page.selectedGraphsGoBack(); });
    undoExactly(page, [&] { page.selectedGraphsGoBackward(); });
    undoExactly(page, [&] { page.ungroupGraphs(page.graphs()); });
    for (const auto& graph : page.graphs()) {
        if (graph->graphType() == KXGraphTypeGroup)
            undoExactly(page, [&] { page.unGroup(graph); });
    }
    editPenShapes(page);
    undoExactly(page, [&] { page.groupGraphs(page.selectedGraphs()); });
    // Children of groups and groups with their own children never join a new group.
    for (const auto& graph : page.graphs()) {
        if (graph->graphs().empty())
            continue;
        const QByteArray before = archived(page);
        require(page.groupGraphs({graph, graph->graphs().front()}) == nullptr);
        require(archived(page) == before);
    }
}

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
    // So does a render as layers, which gives the background and one layer per graph.
    LayerCheck layers;
    if (addLayersOfCanvas(page, {96, 72}, layers))
        require(layers.layers == count + 1);
    require(page.previewSize() == previewBefore && page.zoomValue() == zoomBefore);
    require(undo.canUndo() == couldUndo && page.renderIntent() == KXRenderIntentPreview);

    undo.removeAllActions();
    arrange(page);
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
    g_seed = qHash(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (const auto page = root->objectAs<KXCanvas>())
        exercise(*page);
    return 0;
}
