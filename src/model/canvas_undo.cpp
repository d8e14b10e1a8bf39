// The page's list edits and its undo: inserting and removing graphs register their inverse operations, and
// every announced change of an observed graph, attribute object or page fill becomes a step that puts the
// old value back by key. Because putting a value back is itself observed, undoing registers the redo.
#include "model/background.h"
#include "model/canvas.h"
#include "model/graph.h"

namespace {
const QString kCustomPathKey = QStringLiteral("customPath");
const QString kRelativeRectKey = QStringLiteral("relativeRect");
}

void KXCanvas::observeGraph(KXGraph* graph) {
    // A page attached again re-adds graphs it already observes; a second registration would double every
    // undo step.
    if (m_observed.insert(graph).second)
        graph->addObserver(this);
}

void KXCanvas::stopObservingGraph(KXGraph* graph) {
    if (m_observed.erase(graph))
        graph->removeObserver(this);
}

void KXCanvas::setOwner(KXCanvasOwner* owner) {
    m_owner = owner;
    if (!owner)
        return;
    GraphList snapshot;
    snapshot.swap(m_graphs);
    // Every graph comes back through addGraph, linked to this page: the set of texts and groups is rebuilt
    // exact.
    m_wrapCandidates.clear();
    m_wrapCandidatesExact = true;
    const kx::Size pixels = pixelSize();
    kx::UndoDisabler noUndo(*m_undoManager);
    for (const std::shared_ptr<KXGraph>& graph : snapshot) {
        // Re-added from scratch: the graph is on the page again once addGraph links it.
        graph->setCanvas(nullptr);
        addGraph(graph);
        graph->setSelected(false);
        // A graph keeps the aspect ratio it was saved with (a photo's is its picture's, whatever its frame);
        // only one that has none takes its frame's.
        if (graph->aspectRatio() > 0 && std::isfinite(graph->aspectRatio()))
            continue;
        const kx::Rect r = graph->relativeRect();
        const double height = r.size.height * pixels.height;
        const double ratio = r.size.width * pixels.width / height;
        if (height != 0 && std::isfinite(ratio))
            graph->setAspectRatio(ratio);
    }
}

void KXCanvas::addGraph(std::shared_ptr<KXGraph> graph) {
    insertGraph(std::move(graph), m_graphs.size());
}

void KXCanvas::insertGraph(std::shared_ptr<KXGraph> graph, std::size_t index) {
    if (!graph)
        return;
    // The same graph twice in the list would be drawn, hit and removed twice.
    if (graph->canvas() == this && indexOfGraph(graph.get()) >= 0)
        return;
    // A graph taken over from another page stays in that page's list without its link: changes of its
    // kind no longer reach that page, which stops trusting its set of texts and groups.
    if (KXCanvas* other = graph->canvas(); other && other != this)
        other->m_wrapCandidatesExact = false;
    index = std::min(index, m_graphs.size());
    m_graphs.insert(m_graphs.begin() + std::ptrdiff_t(index), graph);
    if (isReachedByTextWrap(*graph))
        m_wrapCandidates.insert(graph.get());
    graph->setCanvas(this);
    graph->setSelected(true);
    if (m_undoManager->isUndoRegistrationEnabled())
        m_undoManager->registerUndo(this, [this, graph] { removeGraph(graph.get()); });
    if (m_owner)
        m_owner->insertGraph(graph.get(), unsigned(index));
    observeGraph(graph.get());
    if (graph->isTextWrapEnabled())
        updateTextsWrapUnderGraph(graph.get());
}

void KXCanvas::removeGraph(const KXGraph* graph) {
    const std::int64_t index = indexOfGraph(graph);
    if (index >= 0)
        removeGraphAtIndex(index);
}

void KXCanvas::removeGraphAtIndex(std::int64_t index) {
    if (index < 0 || index >= graphCount())
        return;
    const std::shared_ptr<KXGraph> graph = m_graphs[std::size_t(index)];
    graph->setCanvas(nullptr);
    stopObservingGraph(graph.get());
    if (m_owner)
        m_owner->removeGraph(graph.get());
    if (m_undoManager->isUndoRegistrationEnabled())
        m_undoManager->registerUndo(this, [this, graph, index] { insertGraph(graph, std::size_t(index)); });
    updateTextsWrapUnderGraph(graph.get());
    // The owner or a text refresh may have changed the list meanwhile: remove this graph, wherever it is.
    const std::int64_t current = indexOfGraph(graph.get());
    if (current >= 0)
        m_graphs.erase(m_graphs.begin() + std::ptrdiff_t(current));
    m_wrapCandidates.erase(graph.get());
}

std::shared_ptr<kx::Object> KXCanvas::retainForUndo(kx::Observable* object) {
    return object ? object->weak_from_this().lock() : nullptr;
}

void KXCanvas::observeValue(const QString& key, kx::Observable* object, const kx::Value& oldValue,
                            const kx::Value&) {
    if (!m_undoManager->isUndoRegistrationEnabled())
        return;
    // The step keeps the changed object alive, as long as it may be undone.
    std::shared_ptr<kx::Object> keep = retainForUndo(object);
    auto action = [this, key, object, keep, oldValue] { changeKeyPath(key, object, oldValue); };
    if (key == kCustomPathKey) {
        // A pen drawing's node steps name the drawing's path object as their target, so that the drawing
        // can drop them all when it ends without touching the page's other steps.
        m_undoManager->beginUndoGrouping();
        m_undoManager->registerUndo(object, std::move(action));
        m_undoManager->endUndoGrouping();
    } else {
        // A new rectangle derives the aspect ratio from the frame, which depends on the page's zoom; undoing
        // it must give back the ratio the graph had. That step is registered first, so that it runs after
        // the rectangle has been put back.
        auto* graph = key == kRelativeRectKey ? dynamic_cast<KXGraph*>(object) : nullptr;
        if (graph && graph->aspectRatioBeforeRectChange() != graph->aspectRatio())
            registerAspectRatioUndo(graph, graph->aspectRatioBeforeRectChange());
        m_undoManager->registerUndo(this, std::move(action));
    }
    if (m_owner && dynamic_cast<KXBackground*>(object))
        m_owner->setNeedsDisplay();
}

void KXCanvas::registerAspectRatioUndo(KXGraph* graph, double ratio) {
    if (!m_undoManager->isUndoRegistrationEnabled())
        return;
    std::shared_ptr<kx::Object> keep = retainForUndo(graph);
    m_undoManager->registerUndo(this, [this, graph, keep, ratio] {
        const double current = graph->aspectRatio();
        graph->setAspectRatio(ratio);
        registerAspectRatioUndo(graph, current);
    });
}

void KXCanvas::changeKeyPath(const QString& key, kx::Observable* object, const kx::Value& value) {
    if (object)
        object->setValueForKey(key, value);
}
