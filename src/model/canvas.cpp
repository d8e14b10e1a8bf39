#include "model/canvas.h"

#include "graphics/color_utilities.h"
#include "graphics/geometry_utilities.h"
#include "model/background.h"
#include "model/graph.h"
#include "model/page_size.h"
#include "platform/foundation/archive_copy.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "platform/gfx/bitmap_context.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_set>

namespace {
// The room always left between opposite margins of a fixed-layout page, in pixels.
constexpr double kMinimumContent = 72;

// A size read from a page size, with anything that is not a finite positive number taken as 0.
double usable(double value) {
    return std::isfinite(value) && value > 0 ? value : 0;
}

std::shared_ptr<KXSize> copyOfSize(const KXSize& size) {
    if (auto copy = size.copy())
        return copy;
    // Without the class registry an archive copy cannot be read back: copy the fields.
    auto copy = std::make_shared<KXSize>(size.width(), size.height(), size.unit(), size.dpi());
    copy->setLandscape(size.isLandscape());
    copy->setWidth(size.width());
    copy->setHeight(size.height());
    copy->setDesc(size.desc());
    return copy;
}

// Adds a graph and everything under it to the set; false when one of them was there already.
bool insertTree(const std::shared_ptr<KXGraph>& graph, std::unordered_set<const KXGraph*>* seen) {
    if (!seen->insert(graph.get()).second)
        return false;
    for (const auto& child : graph->graphs()) {
        if (!insertTree(child, seen))
            return false;
    }
    return true;
}
}  // namespace

KXCanvas::KXCanvas()
    : m_pageSize(std::make_shared<KXSize>(800, 600, KXSizeUnitPixel, 72)),
      m_undoManager(std::make_unique<kx::UndoManager>()) {
    const kx::Size pixels = pixelSize();
    m_marginRect = kx::Rect(0, 0, pixels.width, pixels.height).insetBy(kMinimumContent, kMinimumContent);
    const kx::Color white = createSRGBColor(1, 1, 1, 1);
    const kx::Color blue = createSRGBColor(55 / 255.0, 159 / 255.0, 216 / 255.0, 1);
    auto fill = std::make_shared<KXBackground>();
    fill->setColor1(white);
    fill->setColor2(blue);
    fill->setFillAngle(90);
    fill->setAdGradientColorArray({white, blue});
    setBackground(std::move(fill));
}

KXCanvas::~KXCanvas() {
    m_undoManager->removeAllActions();
    setBackground(nullptr);
    for (auto it = m_graphs.rbegin(); it != m_graphs.rend(); ++it) {
        KXGraph* graph = it->get();
        if (graph->canvas() == this)
            graph->setCanvas(nullptr);
        stopObservingGraph(graph);
    }
}

// ---- page geometry ----

kx::Size KXCanvas::pixelSize() const {
    return m_pageSize ? m_pageSize->pixelSize() : kx::Size();
}

kx::Rect KXCanvas::previewMarginRect() const {
    return {m_marginRect.origin.x * m_zoomValue, m_marginRect.origin.y * m_zoomValue,
            m_marginRect.size.width * m_zoomValue, m_marginRect.size.height * m_zoomValue};
}

void KXCanvas::setPageSize(const KXSize* size) {
    if (!size)
        return;
    const kx::Size old = pixelSize();
    const double w0 = usable(old.width), h0 = usable(old.height);
    const kx::Rect m = m_marginRect;
    const std::shared_ptr<KXSize> previous = m_pageSize;
    m_pageSize = copyOfSize(*size);
    kx::UndoDisabler noUndo(*m_undoManager);
    const kx::Size now = pixelSize();
    const double w1 = usable(now.width), h1 = usable(now.height);

    if (m_layoutType == KXLayoutTypeFixed) {
        // Margins keep their pixel sizes; a margin rectangle reaching past the page has no negative margin.
        double left = std::max(0.0, m.origin.x), right = std::max(0.0, w0 - (m.origin.x + m.size.width));
        double bottom = std::max(0.0, m.origin.y), top = std::max(0.0, h0 - (m.origin.y + m.size.height));
        // On a page smaller than the minimum room the margins shrink to nothing, never below.
        const double roomY = std::max(0.0, h1 - kMinimumContent);
        if (top + bottom > roomY) {
            top = top * roomY / (top + bottom);
            bottom = roomY - top;
        }
        const double roomX = std::max(0.0, w1 - kMinimumContent);
        if (left + right > roomX) {
            left = left * roomX / (left + right);
            right = roomX - left;
        }
        m_marginRect = {left, bottom, w1 - left - right, h1 - bottom - top};
    } else if (m_layoutType == KXLayoutTypeProportional && w0 > 0 && h0 > 0) {
        const double sx = w1 / w0, sy = h1 / h0;
        m_marginRect = {m.origin.x * sx, m.origin.y * sy, m.size.width * sx, m.size.height * sy};
    }

    if (m_layoutType == KXLayoutTypeFixed && w1 > 0 && h1 > 0) {
        // Graphs keep their pixel sizes and their distances from the left and top edges.
        for (const std::shared_ptr<KXGraph>& graph : m_graphs) {
            const kx::Rect r = graph->relativeRect();
            graph->setRelativeRect({r.origin.x * w0 / w1, (r.origin.y * h0 + (h1 - h0)) / h1,
                                    r.size.width * w0 / w1, r.size.height * h0 / h1});
            graph->setNeedsDisplay();
        }
    }
    didChangeValue(QStringLiteral("pageSize"), kx::Value(previous), kx::Value(m_pageSize));
}

void KXCanvas::zoomToFitSize(const kx::Size& size) {
    const kx::Size pixels = pixelSize();
    const kx::Size preview = aspectFitSize(pixels, {usable(size.width), usable(size.height)});
    setPreviewSize({usable(preview.width), usable(preview.height)});
    // A page without width keeps its zoom rather than divide by nothing.
    const double zoom = m_previewSize.width / pixels.width;
    if (pixels.width > 0 && m_previewSize.width > 0 && std::isfinite(zoom))
        setZoomValue(zoom);
    if (m_owner)
        m_owner->layoutGraphs();
}

void KXCanvas::setBackground(std::shared_ptr<KXBackground> background) {
    if (m_background)
        m_background->removeObserver(this);
    m_background = std::move(background);
    if (m_background)
        m_background->addObserver(this);
}

void KXCanvas::drawInContext(kx::BitmapContext& context) {
    const kx::Size size = m_zoomValue == 1.0 ? pixelSize() : m_previewSize;
    const kx::Rect page(0, 0, size.width, size.height);
    context.saveGState();
    if (m_clipMargin) {
        context.setFillColor(createSRGBColor(1, 1, 1, 1));
        context.fillRect(page);
        context.clipToRect(previewMarginRect());
    }
    if (m_background)
        m_background->drawInContext(context, page, m_zoomValue);
    context.restoreGState();
}

// ---- graph list ----

std::shared_ptr<KXGraph> KXCanvas::graphAtIndex(std::int64_t index) const {
    if (index < 0 || index >= graphCount())
        return nullptr;
    return m_graphs[std::size_t(index)];
}

std::int64_t KXCanvas::indexOfGraph(const KXGraph* graph) const {
    // From the front: the graphs edited most are usually the latest ones.
    for (std::size_t i = m_graphs.size(); i-- > 0;) {
        if (m_graphs[i].get() == graph)
            return std::int64_t(i);
    }
    return -1;
}

KXCanvas::GraphList KXCanvas::graphsWithType(std::int32_t type) const {
    GraphList result;
    for (const auto& graph : m_graphs) {
        if (type == KXGraphTypeAll || graph->graphType() == type)
            result.push_back(graph);
    }
    return result;
}

// ---- selection and hit tests ----

namespace {
template <class Predicate>
KXCanvas::GraphList filtered(const KXCanvas::GraphList& graphs, Predicate keep) {
    KXCanvas::GraphList result;
    for (const auto& graph : graphs) {
        if (keep(*graph))
            result.push_back(graph);
    }
    return result;
}
}  // namespace

KXCanvas::GraphList KXCanvas::selectedGraphs() const {
    return filtered(m_graphs, [](const KXGraph& g) { return g.isSelected(); });
}

KXCanvas::GraphList KXCanvas::selectedEditableGraphs() const {
    return filtered(m_graphs, [](const KXGraph& g) { return g.isSelected() && !g.isLocked(); });
}

KXCanvas::GraphList KXCanvas::selectedTexts() const {
    return filtered(m_graphs, [](const KXGraph& g) { return g.isSelected() && g.graphType() == KXGraphTypeText; });
}

KXCanvas::GraphList KXCanvas::selectedPhotos() const {
    return filtered(m_graphs, [](const KXGraph& g) { return g.isSelected() && g.graphType() == KXGraphTypePhoto; });
}

KXCanvas::GraphList KXCanvas::unselectedGraphs() const {
    return filtered(m_graphs, [](const KXGraph& g) { return !g.isSelected(); });
}

std::int64_t KXCanvas::selectedGroupCount() const {
    return std::int64_t(
        filtered(m_graphs, [](const KXGraph& g) { return g.isSelected() && g.graphType() == KXGraphTypeGroup; })
            .size());
}

void KXCanvas::setAllGrpahsSelection(bool selected) {
    for (const auto& graph : m_graphs)
        graph->setSelected(selected);
}

std::shared_ptr<KXGraph> KXCanvas::selectGraphAtPoint(const kx::Point& point) const {
    for (auto it = m_graphs.rbegin(); it != m_graphs.rend(); ++it) {
        if ((*it)->containsPoint(point))
            return *it;
    }
    return nullptr;
}

KXCanvas::GraphList KXCanvas::selectedGraphsWithFrame(const kx::Rect& rect) const {
    GraphList result;
    for (auto it = m_graphs.rbegin(); it != m_graphs.rend(); ++it) {
        KXGraph& graph = **it;
        if (graph.intersectsRect(rect) && (graph.graphType() != KXGraphTypeLine || graph.pathContainsInRect(rect)))
            result.push_back(*it);
    }
    return result;
}

// ---- text wrap ----

KXCanvas::GraphList KXCanvas::graphsIntersectWithGraph(KXGraph* graph) const {
    GraphList result;
    if (!graph)
        return result;
    const kx::Rect rect = graph->graphRect();
    bool keepTraversal = true;
    for (auto it = m_graphs.rbegin(); it != m_graphs.rend() && keepTraversal; ++it) {
        GraphList found = textWrapGraphIntersectFromRect(rect, *it, graph, &keepTraversal);
        result.insert(result.end(), found.begin(), found.end());
    }
    return result;
}

KXCanvas::GraphList KXCanvas::textWrapGraphIntersectFromRect(const kx::Rect& rect,
                                                             const std::shared_ptr<KXGraph>& candidate,
                                                             const KXGraph* text, bool* keepTraversal) const {
    GraphList result;
    if (!candidate)
        return result;
    if (candidate->graphType() == KXGraphTypeGroup) {
        const auto& children = candidate->graphs();
        for (auto it = children.rbegin(); it != children.rend() && *keepTraversal; ++it) {
            if (it->get() == text) {
                *keepTraversal = false;
                break;
            }
            GraphList found = textWrapGraphIntersectFromRect(rect, *it, text, keepTraversal);
            result.insert(result.end(), found.begin(), found.end());
        }
        return result;
    }
    if (candidate.get() == text) {
        *keepTraversal = false;
        return result;
    }
    if (candidate->isTextWrapEnabled() && candidate->graphType() != KXGraphTypeLine) {
        const kx::Rect drawn = candidate->graphRect();
        const kx::Rect bound = roundRectComponents(transformRectAboutCenter(
            drawn.center(), candidate->angle(), candidate->flipX(), candidate->flipY(), drawn));
        if (rect.intersects(bound))
            result.push_back(candidate);
    }
    return result;
}

bool KXCanvas::isReachedByTextWrap(const KXGraph& graph) {
    const std::int32_t type = graph.graphType();
    return type == KXGraphTypeText || type == KXGraphTypeGroup;
}

void KXCanvas::graphTypeDidChange(KXGraph* graph) {
    if (!graph || graph->canvas() != this)
        return;
    if (!isReachedByTextWrap(*graph)) {
        m_wrapCandidates.erase(graph);
        return;
    }
    // Children of groups are linked to the page too but are not in the list: only list entries count.
    if (!m_wrapCandidates.count(graph) && indexOfGraph(graph) >= 0)
        m_wrapCandidates.insert(graph);
}

void KXCanvas::updateTextsWrapUnderGraph(KXGraph* graph) {
    if (!graph)
        return;
    // Only texts and groups react to the walk, and `graph` takes its own step only as a text on the page,
    // when it is one of them itself: with none on the page nothing below would happen.
    if (m_wrapCandidatesExact && m_wrapCandidates.empty())
        return;
    const std::vector<KXGraph*> roots = graph->rootOfGraphs();
    // By index, re-reading the list each step: a refreshed text must not invalidate the walk.
    bool onPage = false;
    for (std::size_t i = 0; i < m_graphs.size(); ++i) {
        KXGraph* behind = m_graphs[i].get();
        if (behind == graph) {
            onPage = true;
            break;
        }
        updateDisplayTextWrapIntersectsAboveGraphs(roots, behind);
    }
    if (onPage && graph->graphType() == KXGraphTypeText && graph->incloudWrapGraph()) {
        graph->updateTextContainerGeometry();
        graph->setNeedsDisplay();
    }
}

void KXCanvas::updateDisplayTextWrapIntersectsAboveGraphs(const std::vector<KXGraph*>& roots, KXGraph* graph) {
    if (!graph)
        return;
    const std::int32_t type = graph->graphType();
    if (type == KXGraphTypeGroup) {
        for (const auto& child : graph->graphs())
            updateDisplayTextWrapIntersectsAboveGraphs(roots, child.get());
        return;
    }
    if (type != KXGraphTypeText)
        return;
    const double space = double(graph->textWrapSpace());
    const kx::Rect area = graph->graphRect().insetBy(-space, -space);
    if (rectIntersectsGraphs(roots, area) || graph->incloudWrapGraphs(roots)) {
        graph->updateTextContainerGeometry();
        graph->setNeedsDisplay();
    }
}

bool KXCanvas::rectIntersectsGraphs(const std::vector<KXGraph*>& graphs, const kx::Rect& rect) {
    for (const KXGraph* graph : graphs) {
        const kx::Rect drawn = graph->graphRect();
        if (rect.intersects(drawn) || rect.contains(drawn))
            return true;
    }
    return false;
}

// ---- archive ----

void KXCanvas::encodeWithCoder(kx::KeyedArchiver& coder) const {
    coder.encodeInteger(m_layoutType, QStringLiteral("layoutType"));
    coder.encodeRect(m_marginRect, QStringLiteral("pageMarginRect"));
    coder.encodeBool(m_clipMargin, QStringLiteral("isClipPage"));
    coder.encodeObject(kx::Value(m_pageSize), QStringLiteral("pageSize"));
    coder.encodeObject(kx::Value(m_background), QStringLiteral("background"));
    kx::ValueArray graphs;
    graphs.reserve(m_graphs.size());
    for (const auto& graph : m_graphs)
        graphs.emplace_back(graph);
    coder.encodeObject(kx::Value(std::move(graphs)), QStringLiteral("graphs"), kx::CollectionClass::Mutable);
}

void KXCanvas::initWithCoder(kx::KeyedUnarchiver& coder) {
    const std::int64_t layout = coder.decodeInteger(QStringLiteral("layoutType"));
    const bool fits = layout >= std::numeric_limits<std::int32_t>::min() &&
                      layout <= std::numeric_limits<std::int32_t>::max();
    setLayoutType(fits ? std::int32_t(layout) : KXLayoutTypeFixed);
    if (auto size = coder.decodeObjectOfClass<KXSize>(QStringLiteral("pageSize")))
        setPageSize(size.get());
    setMarginRect(coder.decodeRect(QStringLiteral("pageMarginRect")));
    setClipMargin(coder.decodeBool(QStringLiteral("isClipPage")));
    // A file without a fill keeps the default one: a page always has a fill to draw.
    if (auto background = coder.decodeObjectOfClass<KXBackground>(QStringLiteral("background")))
        setBackground(std::move(background));
    const kx::Value stored = coder.decodeObjectOfType(QStringLiteral("graphs"), kx::Value::Type::Array);
    GraphList graphs;
    std::unordered_set<const KXGraph*> seen;
    for (const kx::Value& entry : stored.toArray()) {
        auto graph = entry.objectAs<KXGraph>();
        if (!graph) {
            coder.failWithError(QStringLiteral("the page's graph list holds something that is not a graph"));
            return;
        }
        // A graph standing twice in the page's tree (in the list and in a group, or in two groups) would be
        // drawn twice and belong to two groups.
        if (!insertTree(graph, &seen)) {
            coder.failWithError(QStringLiteral("the page's graph list holds one graph twice"));
            return;
        }
        graphs.push_back(std::move(graph));
    }
    m_graphs = std::move(graphs);
    // The decoded graphs are not linked to this page, so a change of their kind would not reach it.
    m_wrapCandidates.clear();
    for (const auto& graph : m_graphs) {
        if (isReachedByTextWrap(*graph))
            m_wrapCandidates.insert(graph.get());
    }
    m_wrapCandidatesExact = m_graphs.empty();
}

std::shared_ptr<KXCanvas> KXCanvas::copy() const {
    return kx::archiveCopy(*this);
}
