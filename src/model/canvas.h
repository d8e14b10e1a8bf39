// One page: its graphs in stacking order, its page size, margin rectangle, fill, zoom and preview size, and
// the undo manager that records every edit of the page. The page observes each of its graphs and its own
// fill and turns every announced change into an undo step that puts the old value back by key; inserting
// and removing register their inverse operations. It tells its owner (the page layer) about graphs entering
// and leaving through KXCanvasOwner, and answers the selection, hit-test and text-wrap queries.
//
// Units: page pixels (pixelSize, marginRect), preview points (page pixels times zoomValue: previewSize and
// every graph frame) and relative units (a graph's relativeRect). y grows upward.
#pragma once

#include "model/canvas_owner.h"
#include "platform/foundation/coding.h"
#include "platform/foundation/geometry.h"
#include "platform/foundation/observable.h"
#include "platform/foundation/undo_manager.h"
#include "platform/gfx/color.h"
#include "platform/gfx/image.h"

#include <cstdint>
#include <memory>
#include <unordered_set>
#include <vector>

namespace kx {
class BitmapContext;
}

class KXBackground;
class KXGraph;
class KXPhoto;
class KXShape;
class KXSize;

enum KXLayoutType : std::int32_t {
    KXLayoutTypeProportional = 0,
    KXLayoutTypeFixed = 1,
};

enum KXRenderIntent : std::int32_t {
    KXRenderIntentPreview = 0,
    KXRenderIntentOutput = 1,
};

class KXCanvas : public kx::Observable, public kx::Coding, public kx::KeyObserver {
public:
    using GraphList = std::vector<std::shared_ptr<KXGraph>>;

    KXCanvas();
    ~KXCanvas() override;
    KXCanvas(const KXCanvas&) = delete;
    KXCanvas& operator=(const KXCanvas&) = delete;

    QString className() const override { return QStringLiteral("KXCanvas"); }

    // ---- owner ----
    KXCanvasOwner* owner() const { return m_owner; }
    // A non-null owner gets every graph of the page again, with undo registration off: the graphs are linked
    // to the page, observed (once, however often the page is attached) and given layers, and end deselected.
    // Null only clears the link.
    void setOwner(KXCanvasOwner* owner);

    kx::UndoManager& undoManager() { return *m_undoManager; }

    // ---- page geometry ----
    KXSize* pageSize() const { return m_pageSize.get(); }
    // Stores a copy. In the fixed layout the margins keep their pixel sizes (shrunk in proportion when they
    // leave less than 72 pixels between them) and the graphs keep their pixel sizes and their distances from
    // the left and top edges; in the proportional layout margins and graphs scale with the page. No undo step.
    // Announces "pageSize" afterwards, with the page's previous size object as the old value.
    void setPageSize(const KXSize* size);
    kx::Size pixelSize() const;
    kx::Rect marginRect() const { return m_marginRect; }
    // A rectangle with a component that is not finite has no archived form and is refused.
    void setMarginRect(const kx::Rect& rect) {
        if (kx::isFiniteGeometry(rect))
            m_marginRect = rect;
    }
    // The margin rectangle in preview points.
    kx::Rect previewMarginRect() const;
    kx::Size previewSize() const { return m_previewSize; }
    void setPreviewSize(const kx::Size& size) { m_previewSize = size; }
    double zoomValue() const { return m_zoomValue; }
    void setZoomValue(double zoom) { m_zoomValue = zoom; }
    // Fits the page into a view size: the preview size, the zoom, then the owner re-frames the graph layers.
    void zoomToFitSize(const kx::Size& size);
    bool clipMargin() const { return m_clipMargin; }
    void setClipMargin(bool clip) { m_clipMargin = clip; }
    std::int32_t layoutType() const { return m_layoutType; }
    void setLayoutType(std::int32_t type) { m_layoutType = type; }
    std::int32_t renderIntent() const { return m_renderIntent; }
    void setRenderIntent(std::int32_t intent) { m_renderIntent = intent; }

    KXBackground* background() const { return m_background.get(); }
    // Takes the fill and observes it (the old one is no longer observed). No undo step by itself.
    void setBackground(std::shared_ptr<KXBackground> background);
    // The page's paper: white with the margin clip when the page clips to its margin, then the fill.
    void drawInContext(kx::BitmapContext& context);

    // ---- graph list (index 0 at the back) ----
    const GraphList& graphs() const { return m_graphs; }
    void addGraph(std::shared_ptr<KXGraph> graph);
    // An index at or past the count appends. The graph is linked, selected, observed and shown; undoing
    // removes it again.
    void insertGraph(std::shared_ptr<KXGraph> graph, std::size_t index);
    // Graphs not on the page and indexes out of range are ignored.
    void removeGraph(const KXGraph* graph);
    void removeGraphAtIndex(std::int64_t index);
    std::shared_ptr<KXGraph> graphAtIndex(std::int64_t index) const;
    std::int64_t graphCount() const { return std::int64_t(m_graphs.size()); }
    // Index of a graph on the page, or -1.
    std::int64_t indexOfGraph(const KXGraph* graph) const;
    // The top-level graphs of a type; KXGraphTypeAll gives all of them.
    GraphList graphsWithType(std::int32_t type) const;

    // ---- selection and hit tests ----
    GraphList selectedGraphs() const;
    GraphList selectedEditableGraphs() const;
    GraphList selectedTexts() const;
    GraphList selectedPhotos() const;
    GraphList unselectedGraphs() const;
    std::int64_t selectedGroupCount() const;
    void setAllGrpahsSelection(bool selected);
    // The front-most graph containing the point (locked graphs included), or null.
    std::shared_ptr<KXGraph> selectGraphAtPoint(const kx::Point& point) const;
    // Every graph the rectangle meets, front to back.
    GraphList selectedGraphsWithFrame(const kx::Rect& rect) const;

    // ---- undo ----
    void observeValue(const QString& key, kx::Observable* object, const kx::Value& oldValue,
                      const kx::Value& newValue) override;
    // Sets the value by key on the object; being observed, that registers the opposite step.
    void changeKeyPath(const QString& key, kx::Observable* object, const kx::Value& value);
    // Registers an undo action that sets the graph's aspect ratio back to `ratio` (and registers its
    // opposite), for ratios that a new rectangle changes without announcing them.
    void registerAspectRatioUndo(KXGraph* graph, double ratio);

    // ---- text wrap ----
    // The wrapping graphs in front of a text graph that meet its drawn extent.
    GraphList graphsIntersectWithGraph(KXGraph* graph) const;
    // The part of that search for one graph (walking into groups); clears *keepTraversal on meeting `text`.
    GraphList textWrapGraphIntersectFromRect(const kx::Rect& rect, const std::shared_ptr<KXGraph>& candidate,
                                             const KXGraph* text, bool* keepTraversal) const;
    // Refreshes the texts behind a graph whose wrap-relevant state changed. Only texts and groups (which may
    // hold texts) react, so on a page that holds neither the walk is skipped: see graphTypeDidChange().
    void updateTextsWrapUnderGraph(KXGraph* graph);
    // A graph on this page says its graphType() may answer differently now. The page keeps the set of its
    // top-level texts and groups exact from what its graphs answer when they enter and from these calls;
    // a graph whose kind changes without telling would leave the set stale (KXGraph::graphTypeDidChange).
    void graphTypeDidChange(KXGraph* graph);
    void updateDisplayTextWrapIntersectsAboveGraphs(const std::vector<KXGraph*>& roots, KXGraph* graph);
    static bool rectIntersectsGraphs(const std::vector<KXGraph*>& graphs, const kx::Rect& rect);

    // ---- arranging (canvas_arrange.cpp) ----
    // Stacking moves work on the selected unlocked graphs; each leaves one undo step that restores the
    // order exactly.
    bool selectedGraphsCanGoForward() const;
    bool selectedGraphsCanGoBack() const;
    void selectedGraphsGoFront();
    void selectedGraphsGoForward();
    void selectedGraphsGoBack();
    void selectedGraphsGoBackward();
    // Swaps two graphs of the list and their layers; registers the opposite swap.
    void exchangeGraphAtIndex(std::int64_t i, std::int64_t j);
    // Moves the graph at i up to j (nothing when j < i) or down to j (nothing when i < j), with its layer;
    // no undo step.
    void exchangeGraphAtIndexGoForwardToIndex(std::int32_t i, std::int32_t j);
    void exchangeGraphAtIndexGoBackwardToIndex(std::int32_t i, std::int32_t j);
    // Text flow depends on the stacking order: every text graph, in groups too, relays out.
    void updateGraphsLayerChanged();
    void updateGraphsLayerForTextGraph(KXGraph* graph);

    void lockSelectedGraphs();
    void unlockSelectedGraphs();
    void lockGrpahs(const GraphList& graphs);
    void unlockGraphs(const GraphList& graphs);

    // Groups the unlocked graphs of the list that stand on this page (each once; fewer than two do nothing)
    // into a new group in front of the page; the group, or null when nothing was grouped.
    std::shared_ptr<KXGraph> groupGraphs(const GraphList& graphs);
    // Puts a top-level group's children back on the page in front, each keeping its place and size on
    // screen with the group's rotation and flips folded into its own.
    void unGroup(const std::shared_ptr<KXGraph>& group);
    // The same for every unlocked group of the list, in one undo step.
    void ungroupGraphs(const GraphList& graphs);
    // Gathers the children of an ungrouped group back into it (the inverse of unGroup from its record).
    void addGroup(const std::shared_ptr<KXGraph>& group, const std::vector<kx::Point>& graphOffsets,
                  const std::vector<kx::Rect>& rects);
    void updateTextContainerGeometryWithGraph(KXGraph* graph);

    // Multi-stop gradient edits of a graph's fill or of the page's fill as undoable steps; the locations
    // (exactly eight) are kept in single precision.
    void undoAdGradientGraph(KXGraph* graph, const std::vector<kx::Color>& colors,
                             const std::vector<double>& locations);
    void undoBackgroundAdGradientWithColorArray(const std::vector<kx::Color>& colors,
                                                const std::vector<double>& locations);

    // The empty photo fields of the page's photo graphs, in groups too.
    std::vector<KXPhoto*> emptyPhotos() const;
    static std::vector<KXPhoto*> emptyPhotosInGraphs(const GraphList& graphs);
    // Marks every text's layout for rebuilding (after a zoom change).
    void receateAllText();
    void updateTextContainerGeometryWith(KXGraph* graph);

    // ---- archive ----
    void encodeWithCoder(kx::KeyedArchiver& coder) const override;
    void initWithCoder(kx::KeyedUnarchiver& coder) override;
    // An independent copy made by archiving, without owner. Null when the classes cannot be read back.
    std::shared_ptr<KXCanvas> copy() const;

    // ---- output (canvas_output.cpp) ----
    // Renders re-fit the page, rebuild its shape paths and change graph opacities while they run, so they
    // never run on a page that is shown or edited: a page made by outputCopy() is rendered as it is, any
    // other page is first copied. The copy is made on the caller's thread (the page's owner thread); the
    // copy itself belongs to nobody else, so it can then be rendered on any one thread.
    //
    // A copy for output: the page's graphs linked to it, its preview size and zoom; null when the page
    // cannot be copied.
    std::shared_ptr<KXCanvas> outputCopy() const;
    bool isOutputCopy() const { return m_outputCopy; }
    // The page rendered into a new bitmap of the size fitted into `size` (aspect kept, rounded). No image
    // for a size that is not positive and finite, or too large for a bitmap.
    kx::Image outputImageWithSize(const kx::Size& size) const;
    // The page rendered into (0, 0, fitted size) of the caller's context; nothing for a refused size.
    void drawOutputImageInContext(kx::BitmapContext& context, const kx::Size& size) const;
    // What the two above run on an output copy: fit, draw, fit back.
    kx::Image renderOutputImage(const kx::Size& size);
    void renderOutputInContext(kx::BitmapContext& context, const kx::Size& size);
    // The page background and every graph, back to front, at the current preview size and zoom.
    void drawOutputImageInContext(kx::BitmapContext& context, const kx::Rect& rect);
    // One graph with its rotation, reflection, shadow and opacity; a group draws its children through it.
    void drawGraph(KXGraph* graph, kx::BitmapContext& context);
    // Fits the page into the size and rebuilds the shape paths for it, without undo steps or redraws.
    void zoomToFitOutputSize(const kx::Size& size);
    // The graph's rectangle at the current preview size, rounded; a group's child relative to the group.
    kx::Rect frameRectOfGraph(const KXGraph* graph) const;
    kx::Rect graphRectOfGraph(const KXGraph* graph) const { return frameRectOfGraph(graph); }
    void updateShapePathInGroup(KXGraph* group);
    void updateOutputPathOfShape(KXShape* shape);
    // Whether a size can be rendered: both sides positive and finite, the fitted bitmap not too large.
    bool canRenderOutputSize(const kx::Size& size) const;

private:
    void observeGraph(KXGraph* graph);
    void stopObservingGraph(KXGraph* graph);
    // The object kept alive by an undo step that works on it.
    static std::shared_ptr<kx::Object> retainForUndo(kx::Observable* object);
    // Whether a top-level graph of this kind can take a text-wrap refresh: a text, or a group holding one.
    static bool isReachedByTextWrap(const KXGraph& graph);
    // Fits the page back into the preview size it had before a render and restores that size and zoom.
    void fitBackAfterOutput(const kx::Size& previewSize, double zoom);

    struct Arrangement;
    static Arrangement captureArrangement(const GraphList& order, const GraphList& involved);
    // Puts the list and the recorded graphs back as `target` holds them and registers the way back.
    void restoreArrangement(const std::shared_ptr<const Arrangement>& target,
                            const std::shared_ptr<const Arrangement>& other);
    void registerArrangementUndo(Arrangement before, Arrangement after);
    // Moves a graph of the list to another index, with its layer; no undo step.
    void moveGraph(std::int64_t from, std::int64_t to);
    // The undoable part of unGroup; the record for the regroup goes to the two arrays.
    void dissolveGroup(const std::shared_ptr<KXGraph>& group, bool refreshTexts, std::vector<kx::Point>* offsets,
                       std::vector<kx::Rect>* rects);

    GraphList m_graphs;
    std::shared_ptr<KXSize> m_pageSize;
    bool m_clipMargin = false;
    std::int32_t m_renderIntent = KXRenderIntentPreview;
    std::int32_t m_layoutType = KXLayoutTypeFixed;
    KXCanvasOwner* m_owner = nullptr;
    std::unique_ptr<kx::UndoManager> m_undoManager;
    double m_zoomValue = 1.0;
    std::shared_ptr<KXBackground> m_background;
    kx::Size m_previewSize;
    kx::Rect m_marginRect;
    // The graphs this page is registered on as observer, so that no graph is observed twice.
    std::unordered_set<const KXGraph*> m_observed;
    // The graphs of the list that are texts or groups, by what they last answered. Exact while every graph
    // of the list is linked to this page, since only then does a change of kind reach the page; a decoded
    // list (not linked until an owner attaches) or a graph taken over by another page clears
    // m_wrapCandidatesExact, and the page then walks as if every graph could react.
    std::unordered_set<const KXGraph*> m_wrapCandidates;
    bool m_wrapCandidatesExact = true;
    bool m_outputCopy = false;
};
