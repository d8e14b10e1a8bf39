// Rearranging a page: stacking moves, locking, grouping and ungrouping, multi-stop gradient edits as undo
// steps, the empty photo fields and text relayout.
//
// Grouping, ungrouping and the moves to the front or back record the page's list and every touched graph's
// rectangle, angle, flips and group before and after, and their undo step puts that record back exactly:
// replaying the operations backwards would not (the moves would send the whole selection to the other end,
// and folding a rotation out of a group and back in again rounds the rectangles).
#include "model/background.h"
#include "model/canvas.h"
#include "model/graph.h"
#include "model/group.h"
#include "model/photo.h"
#include "model/shape.h"
#include "shapes/symbol_shape.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <unordered_set>

struct KXCanvas::Arrangement {
    struct Entry {
        std::shared_ptr<KXGraph> graph;
        KXGraph* group = nullptr;
        kx::Rect relativeRect;
        double angle = 0;
        double aspectRatio = 0;  // a new rectangle may set it
        std::int32_t flipX = 1;
        std::int32_t flipY = 1;
        GraphList children;  // of a group
        // A line shape keeps its turn in its points: turning it back reshapes them, so they are kept exactly.
        std::optional<KXPathPointArray> linePoints;
        std::optional<kx::BezierPath> linePath;
    };
    GraphList order;
    std::vector<Entry> entries;
};

namespace {
bool isEditable(const KXGraph& graph) {
    return graph.isSelected() && !graph.isLocked();
}

// Gives a group's whole tree its page.
void linkTree(KXGraph& graph, KXCanvas* page) {
    if (auto* group = dynamic_cast<KXGroup*>(&graph)) {
        group->linkChildren();
        for (const auto& child : group->graphs())
            linkTree(*child, page);
    }
}

// The factor that turns a child's angle into the page's when it leaves a group: a group mirrored along one
// axis turns its children the other way.
double angleSign(const KXGraph& group) {
    return group.flipX() * group.flipY() < 0 ? -1.0 : 1.0;
}
}  // namespace

// ---- stacking order ----

bool KXCanvas::selectedGraphsCanGoForward() const {
    const GraphList editable = selectedEditableGraphs();
    return !editable.empty() && editable.back() != m_graphs.back();
}

bool KXCanvas::selectedGraphsCanGoBack() const {
    const GraphList editable = selectedEditableGraphs();
    return !editable.empty() && editable.front() != m_graphs.front();
}

void KXCanvas::moveGraph(std::int64_t from, std::int64_t to) {
    const std::int64_t count = graphCount();
    if (from < 0 || to < 0 || from >= count || to >= count || from == to)
        return;
    const std::shared_ptr<KXGraph> graph = m_graphs[std::size_t(from)];
    m_graphs.erase(m_graphs.begin() + std::ptrdiff_t(from));
    m_graphs.insert(m_graphs.begin() + std::ptrdiff_t(to), graph);
    if (m_owner)
        m_owner->moveGraph(graph.get(), unsigned(to));
}

void KXCanvas::exchangeGraphAtIndex(std::int64_t i, std::int64_t j) {
    const std::int64_t count = graphCount();
    if (i < 0 || j < 0 || i >= count || j >= count || i == j)
        return;
    const std::int64_t lo = std::min(i, j), hi = std::max(i, j);
    moveGraph(lo, hi);
    moveGraph(hi - 1, lo);
    if (m_undoManager->isUndoRegistrationEnabled())
        m_undoManager->registerUndo(this, [this, i, j] { exchangeGraphAtIndex(j, i); });
}

void KXCanvas::exchangeGraphAtIndexGoForwardToIndex(std::int32_t i, std::int32_t j) {
    if (j < i)
        return;
    moveGraph(i, j);
}

void KXCanvas::exchangeGraphAtIndexGoBackwardToIndex(std::int32_t i, std::int32_t j) {
    if (i < j)
        return;
    moveGraph(i, j);
}

void KXCanvas::selectedGraphsGoFront() {
    Arrangement before = captureArrangement(m_graphs, {});
    m_undoManager->beginUndoGrouping();
    std::int64_t front = graphCount() - 1;
    for (std::int64_t j = graphCount() - 1; j >= 0; --j) {
        if (isEditable(*m_graphs[std::size_t(j)]) && j <= front) {
            exchangeGraphAtIndexGoForwardToIndex(std::int32_t(j), std::int32_t(front));
            --front;
        }
    }
    updateGraphsLayerChanged();
    registerArrangementUndo(std::move(before), captureArrangement(m_graphs, {}));
    m_undoManager->endUndoGrouping();
}

void KXCanvas::selectedGraphsGoBack() {
    Arrangement before = captureArrangement(m_graphs, {});
    m_undoManager->beginUndoGrouping();
    std::int64_t back = 0;
    for (std::int64_t i = 0; i < graphCount(); ++i) {
        if (isEditable(*m_graphs[std::size_t(i)]) && i >= back) {
            exchangeGraphAtIndexGoBackwardToIndex(std::int32_t(i), std::int32_t(back));
            ++back;
        }
    }
    updateGraphsLayerChanged();
    registerArrangementUndo(std::move(before), captureArrangement(m_graphs, {}));
    m_undoManager->endUndoGrouping();
}

void KXCanvas::selectedGraphsGoForward() {
    m_undoManager->beginUndoGrouping();
    std::int64_t free = graphCount() - 1;
    for (std::int64_t i = graphCount() - 1; i >= 0; --i) {
        if (!isEditable(*m_graphs[std::size_t(i)]))
            continue;
        if (i < free) {
            exchangeGraphAtIndex(i, i + 1);
            free = i;
        } else {
            --free;
        }
    }
    updateGraphsLayerChanged();
    m_undoManager->endUndoGrouping();
}

void KXCanvas::selectedGraphsGoBackward() {
    m_undoManager->beginUndoGrouping();
    std::int64_t free = 0;
    for (std::int64_t i = 0; i < graphCount(); ++i) {
        if (!isEditable(*m_graphs[std::size_t(i)]))
            continue;
        if (free < i) {
            exchangeGraphAtIndex(i, i - 1);
            free = i;
        } else {
            ++free;
        }
    }
    updateGraphsLayerChanged();
    m_undoManager->endUndoGrouping();
}

void KXCanvas::updateGraphsLayerChanged() {
    for (std::size_t i = 0; i < m_graphs.size(); ++i)
        updateGraphsLayerForTextGraph(m_graphs[i].get());
}

void KXCanvas::updateGraphsLayerForTextGraph(KXGraph* graph) {
    if (!graph)
        return;
    if (graph->graphType() == KXGraphTypeText) {
        graph->updateTextContainerGeometry();
        graph->setNeedsDisplay();
    } else if (graph->graphType() == KXGraphTypeGroup) {
        for (const auto& child : graph->graphs())
            updateGraphsLayerForTextGraph(child.get());
    }
}

// ---- lock ----

void KXCanvas::lockSelectedGraphs() {
    lockGrpahs(selectedGraphs());
}

void KXCanvas::unlockSelectedGraphs() {
    unlockGraphs(selectedGraphs());
}

void KXCanvas::lockGrpahs(const GraphList& graphs) {
    m_undoManager->beginUndoGrouping();
    for (const auto& graph : graphs) {
        if (graph && !graph->isLocked())
            graph->setLocked(true);
    }
    m_undoManager->endUndoGrouping();
}

void KXCanvas::unlockGraphs(const GraphList& graphs) {
    m_undoManager->beginUndoGrouping();
    for (const auto& graph : graphs) {
        if (graph && graph->isLocked())
            graph->setLocked(false);
    }
    m_undoManager->endUndoGrouping();
}

// ---- the exact record behind the undo of grouping and of the moves to the front or back ----

KXCanvas::Arrangement KXCanvas::captureArrangement(const GraphList& order, const GraphList& involved) {
    Arrangement record;
    record.order = order;
    for (const auto& graph : involved) {
        Arrangement::Entry entry;
        entry.graph = graph;
        entry.group = graph->group();
        entry.relativeRect = graph->relativeRect();
        entry.angle = graph->angle();
        entry.aspectRatio = graph->aspectRatio();
        entry.flipX = graph->flipX();
        entry.flipY = graph->flipY();
        entry.children = graph->graphs();
        if (const auto* line = dynamic_cast<const KXSymbolShape*>(graph.get())) {
            KXPathPointArray points;
            for (const auto& point : line->pointsArray())
                points.push_back(point->copy());
            entry.linePoints = std::move(points);
            entry.linePath = line->path();
        }
        record.entries.push_back(std::move(entry));
    }
    return record;
}

void KXCanvas::registerArrangementUndo(Arrangement before, Arrangement after) {
    if (!m_undoManager->isUndoRegistrationEnabled())
        return;
    if (before.order == after.order && before.entries.empty() && after.entries.empty())
        return;
    auto back = std::make_shared<const Arrangement>(std::move(before));
    auto forth = std::make_shared<const Arrangement>(std::move(after));
    m_undoManager->registerUndo(this, [this, back, forth] { restoreArrangement(back, forth); });
}

void KXCanvas::restoreArrangement(const std::shared_ptr<const Arrangement>& target,
                                  const std::shared_ptr<const Arrangement>& other) {
    {
        kx::UndoDisabler noUndo(*m_undoManager);
        std::unordered_set<const KXGraph*> wanted;
        for (const auto& graph : target->order)
            wanted.insert(graph.get());
        const GraphList current = m_graphs;
        for (auto it = current.rbegin(); it != current.rend(); ++it) {
            if (!wanted.count(it->get()))
                removeGraph(it->get());
        }
        for (const Arrangement::Entry& entry : target->entries) {
            KXGraph& graph = *entry.graph;
            graph.setGroup(entry.group);
            if (auto* group = dynamic_cast<KXGroup*>(&graph))
                group->setGraphs(entry.children);
            graph.setFlipX(entry.flipX);
            graph.setFlipY(entry.flipY);
            graph.setAngle(entry.angle);
            graph.setRelativeRect(entry.relativeRect);
            graph.setAspectRatio(entry.aspectRatio);
            if (auto* line = dynamic_cast<KXSymbolShape*>(&graph); line && entry.linePoints) {
                line->setPointsArray(*entry.linePoints);
                line->setPath(*entry.linePath);
            }
        }
        for (const auto& graph : target->order) {
            if (indexOfGraph(graph.get()) >= 0)
                continue;
            graph->setCanvas(this);
            linkTree(*graph, this);
            addGraph(graph);
        }
        for (std::size_t i = 0; i < target->order.size(); ++i) {
            const std::int64_t at = indexOfGraph(target->order[i].get());
            if (at >= 0 && at != std::int64_t(i))
                moveGraph(at, std::int64_t(i));
        }
        updateGraphsLayerChanged();
    }
    m_undoManager->registerUndo(this, [this, other, target] { restoreArrangement(other, target); });
}

// ---- groups ----

std::shared_ptr<KXGraph> KXCanvas::groupGraphs(const GraphList& graphs) {
    // Only unlocked graphs standing on this page, each once: a graph inside a group (the group's own
    // children included) cannot join another one.
    GraphList members;
    std::unordered_set<const KXGraph*> seen;
    for (const auto& graph : graphs) {
        if (graph && !graph->isLocked() && graph->canvas() == this && indexOfGraph(graph.get()) >= 0 &&
            seen.insert(graph.get()).second)
            members.push_back(graph);
    }
    if (members.size() < 2)
        return nullptr;
    std::stable_sort(members.begin(), members.end(), [this](const auto& a, const auto& b) {
        return indexOfGraph(a.get()) < indexOfGraph(b.get());
    });
    Arrangement before = captureArrangement(m_graphs, members);
    std::shared_ptr<KXGroup> group;
    {
        kx::UndoDisabler noUndo(*m_undoManager);
        group = KXGroup::groupGraphWithGraphs(members);
        if (!group)
            return nullptr;
        // The children take their rectangles in group units from where they stand on the page.
        group->linkChildren();
        for (auto it = members.rbegin(); it != members.rend(); ++it)
            removeGraph(it->get());
        linkTree(*group, this);
        addGraph(group);
        for (const auto& member : members) {
            if (member->graphType() == KXGraphTypeText) {
                member->updateTextContainerGeometry();
                member->setNeedsDisplay();
            }
        }
    }
    GraphList involved = members;
    involved.push_back(group);
    registerArrangementUndo(std::move(before), captureArrangement(m_graphs, involved));
    return group;
}

void KXCanvas::dissolveGroup(const std::shared_ptr<KXGraph>& group, bool refreshTexts,
                             std::vector<kx::Point>* offsets, std::vector<kx::Rect>* rects) {
    const kx::Size preview = m_previewSize;
    if (!(preview.width > 0 && preview.height > 0))
        return;
    const double a = group->angle();
    const double sign = angleSign(*group);
    const std::int32_t fx = group->flipX(), fy = group->flipY();
    const GraphList children = group->graphs();
    const kx::Point centre = group->frameRect().center();
    std::vector<kx::Rect> placed;
    for (const auto& child : children) {
        rects->push_back(child->relativeRect());
        kx::Rect frame = child->frameRect();
        // Where the child's centre shows on the page: mirrored, then turned about the group's centre.
        const kx::Point c = frame.center();
        const double vx = (c.x - centre.x) * fx, vy = (c.y - centre.y) * fy;
        const kx::Point shown{centre.x + vx * std::cos(a) - vy * std::sin(a),
                              centre.y + vx * std::sin(a) + vy * std::cos(a)};
        const kx::Point d{shown.x - c.x, shown.y - c.y};
        offsets->push_back(d);
        frame.origin.x += d.x;
        frame.origin.y += d.y;
        placed.push_back({frame.origin.x / preview.width, frame.origin.y / preview.height,
                          frame.size.width / preview.width, frame.size.height / preview.height});
    }
    removeGraph(group.get());
    for (std::size_t i = 0; i < children.size(); ++i) {
        const auto& child = children[i];
        child->setGroup(nullptr);
        child->setCanvas(this);
        child->setFlipX(fx * child->flipX());
        child->setFlipY(fy * child->flipY());
        child->setRelativeRect(placed[i]);
        if (refreshTexts)
            updateTextContainerGeometryWithGraph(child.get());
        addGraph(child);
        child->setAngle(sign * child->angle() + a);
    }
}

void KXCanvas::unGroup(const std::shared_ptr<KXGraph>& group) {
    if (!group || group->graphType() != KXGraphTypeGroup || indexOfGraph(group.get()) < 0 ||
        group->graphs().empty())
        return;
    GraphList involved = group->graphs();
    involved.insert(involved.begin(), group);
    Arrangement before = captureArrangement(m_graphs, involved);
    std::vector<kx::Point> offsets;
    std::vector<kx::Rect> rects;
    {
        kx::UndoDisabler noUndo(*m_undoManager);
        dissolveGroup(group, true, &offsets, &rects);
    }
    registerArrangementUndo(std::move(before), captureArrangement(m_graphs, involved));
}

void KXCanvas::ungroupGraphs(const GraphList& graphs) {
    GraphList groups, involved;
    std::unordered_set<const KXGraph*> seen;
    for (const auto& graph : graphs) {
        if (graph && graph->graphType() == KXGraphTypeGroup && !graph->isLocked() && !graph->graphs().empty() &&
            indexOfGraph(graph.get()) >= 0 && seen.insert(graph.get()).second) {
            groups.push_back(graph);
            involved.push_back(graph);
            involved.insert(involved.end(), graph->graphs().begin(), graph->graphs().end());
        }
    }
    if (groups.empty())
        return;
    Arrangement before = captureArrangement(m_graphs, involved);
    {
        kx::UndoDisabler noUndo(*m_undoManager);
        for (const auto& group : groups) {
            std::vector<kx::Point> offsets;
            std::vector<kx::Rect> rects;
            dissolveGroup(group, false, &offsets, &rects);
        }
    }
    registerArrangementUndo(std::move(before), captureArrangement(m_graphs, involved));
}

void KXCanvas::addGroup(const std::shared_ptr<KXGraph>& group, const std::vector<kx::Point>& graphOffsets,
                        const std::vector<kx::Rect>& rects) {
    auto* g = dynamic_cast<KXGroup*>(group.get());
    if (!g || indexOfGraph(group.get()) >= 0)
        return;
    const GraphList children = g->graphs();
    // The record must match the children, and every child must stand on this page.
    if (children.empty() || graphOffsets.size() != children.size() || rects.size() != children.size())
        return;
    for (const auto& child : children) {
        if (indexOfGraph(child.get()) < 0)
            return;
    }
    GraphList involved = children;
    involved.insert(involved.begin(), group);
    Arrangement before = captureArrangement(m_graphs, involved);
    {
        kx::UndoDisabler noUndo(*m_undoManager);
        const double a = g->angle();
        const double sign = angleSign(*g);
        g->setCanvas(this);
        const kx::Rect frame = g->frameRect();
        if (!(frame.size.width > 0 && frame.size.height > 0))
            return;
        for (std::size_t i = 0; i < children.size(); ++i) {
            const auto& child = children[i];
            const kx::Rect f = child->frameRect();
            removeGraph(child.get());
            child->setGroup(g);
            child->setFlipX(g->flipX() * child->flipX());
            child->setFlipY(g->flipY() * child->flipY());
            child->setAngle(sign * (child->angle() - a));
            kx::Rect relative = rects[i];
            if (child->graphType() != KXGraphTypeLine) {
                relative = {(f.origin.x - graphOffsets[i].x - frame.origin.x) / frame.size.width,
                            (f.origin.y - graphOffsets[i].y - frame.origin.y) / frame.size.height,
                            f.size.width / frame.size.width, f.size.height / frame.size.height};
            }
            child->setRelativeRect(relative);
        }
        linkTree(*g, this);
        addGraph(group);
    }
    registerArrangementUndo(std::move(before), captureArrangement(m_graphs, involved));
}

void KXCanvas::updateTextContainerGeometryWithGraph(KXGraph* graph) {
    if (!graph)
        return;
    if (graph->graphType() == KXGraphTypeText) {
        graph->updateTextContainerGeometry();
    } else if (graph->graphType() == KXGraphTypeGroup) {
        for (const auto& child : graph->graphs())
            updateTextContainerGeometryWithGraph(child.get());
    }
}

// ---- gradients ----

namespace {
// Sets the stops on the fill and gives back the ones it replaced; false when the list is not eight long.
bool exchangeGradient(KXBackground& fill, const std::vector<kx::Color>& colors, const std::vector<double>& locations,
                      std::vector<kx::Color>* oldColors, std::vector<double>* oldLocations) {
    if (locations.size() != std::size_t(kMaxGradientStops))
        return false;
    *oldColors = fill.gradientColorArray();
    oldLocations->clear();
    for (double location : fill.gradientLocations())
        oldLocations->push_back(double(float(location)));
    std::array<double, kMaxGradientStops> stops{};
    for (std::size_t i = 0; i < stops.size(); ++i)
        stops[i] = double(float(locations[i]));
    fill.setAdGradientColorArray(colors);
    fill.setLocationsArray(stops);
    return true;
}
}  // namespace

void KXCanvas::undoAdGradientGraph(KXGraph* graph, const std::vector<kx::Color>& colors,
                                   const std::vector<double>& locations) {
    if (!graph || !graph->background())
        return;
    std::vector<kx::Color> oldColors;
    std::vector<double> oldLocations;
    if (!exchangeGradient(*graph->background(), colors, locations, &oldColors, &oldLocations))
        return;
    std::shared_ptr<kx::Object> keep = graph->weak_from_this().lock();
    m_undoManager->registerUndo(this, [this, graph, keep, oldColors, oldLocations] {
        undoAdGradientGraph(graph, oldColors, oldLocations);
    });
    graph->setNeedsDisplay();
}

void KXCanvas::undoBackgroundAdGradientWithColorArray(const std::vector<kx::Color>& colors,
                                                      const std::vector<double>& locations) {
    if (!m_background)
        return;
    std::vector<kx::Color> oldColors;
    std::vector<double> oldLocations;
    if (!exchangeGradient(*m_background, colors, locations, &oldColors, &oldLocations))
        return;
    m_undoManager->registerUndo(this, [this, oldColors, oldLocations] {
        undoBackgroundAdGradientWithColorArray(oldColors, oldLocations);
    });
    if (m_owner)
        m_owner->setNeedsDisplay();
}

// ---- empty photos and text relayout ----

std::vector<KXPhoto*> KXCanvas::emptyPhotos() const {
    return emptyPhotosInGraphs(m_graphs);
}

std::vector<KXPhoto*> KXCanvas::emptyPhotosInGraphs(const GraphList& graphs) {
    std::vector<KXPhoto*> result;
    for (const auto& graph : graphs) {
        if (graph->graphType() == KXGraphTypePhoto) {
            auto* shape = dynamic_cast<KXShape*>(graph.get());
            if (shape && shape->photo() && shape->photo()->isEmpty())
                result.push_back(shape->photo());
        } else if (graph->graphType() == KXGraphTypeGroup) {
            const std::vector<KXPhoto*> inner = emptyPhotosInGraphs(graph->graphs());
            result.insert(result.end(), inner.begin(), inner.end());
        }
    }
    return result;
}

void KXCanvas::receateAllText() {
    for (std::size_t i = 0; i < m_graphs.size(); ++i)
        updateTextContainerGeometryWith(m_graphs[i].get());
}

void KXCanvas::updateTextContainerGeometryWith(KXGraph* graph) {
    updateTextContainerGeometryWithGraph(graph);
}
