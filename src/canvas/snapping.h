// Snapping and alignment guides of the canvas view: plain geometry in page space (the preview points of the
// page layer), with no widget of its own.
//
// While an object is moved, resized or nudged, two services run after every step:
//   - snapping pulls the object's edges and centre lines onto nearby edges and centre lines of the page (its
//     margin box, or its bounds) and of other objects, within 2 points (absorbGraph);
//   - guides: the lines along which the object's edges or centre lines currently coincide, within 0.9 points,
//     with those of the page or of other objects are handed to the selection overlay, which draws them
//     (updateLinesForRect).
// Snapping follows the user settings KXAutoSnap (to the page) and KXAutoObjectSnap (to other objects, their
// edges only); guides are computed whatever the settings say.
//
// Line kinds of a rectangle R, each a KXLine spanning R (y grows upward):
//   0  bit 0x01  vertical at min x (left edge), from min y to max y
//   1  bit 0x02  vertical at max x (right edge)
//   2  bit 0x04  horizontal at max y (top edge), from min x to max x
//   3  bit 0x08  horizontal at min y (bottom edge)
//   4  bit 0x10  horizontal at mid y (horizontal centre line)
//   5  bit 0x20  vertical at mid x (vertical centre line)
// A line mask selects the kinds that take part in snapping: 63 for moves, the kinds that a resize handle moves
// for resizes (alignmentMaskOfTrackerNode).
//
// Distances are compared in single precision, as the thresholds are given. A search that finds nothing answers
// an empty optional, never a line or an offset that could be mistaken for one at the page's origin.
//
// Main thread only.
#pragma once

#include "model/canvas.h"
#include "model/guide_line.h"
#include "platform/foundation/geometry.h"

#include <QString>

#include <array>
#include <optional>

class KXAuxiliaryLayer;
class KXCanvasLayer;
class KXGraph;

// User settings: snap moved and resized objects to the page's edges and centre lines (default YES), and to
// other objects' edges (default NO). The application delegate registers their defaults.
inline const QString KXAutoSnap = QStringLiteral("KXAutoSnap");
inline const QString KXAutoObjectSnap = QStringLiteral("KXAutoObjectSnap");

// The line kinds of a rectangle (see above).
enum KXAlignment : int {
    KXAlignmentLeft = 0,
    KXAlignmentRight = 1,
    KXAlignmentTop = 2,
    KXAlignmentBottom = 3,
    KXAlignmentCenterY = 4,  // the horizontal centre line
    KXAlignmentCenterX = 5,  // the vertical centre line
};

// Line masks: one bit per kind.
inline constexpr int KXAlignmentMaskAll = 0x3f;
inline constexpr int alignmentBit(int kind) { return 1 << kind; }
// The kinds a resize by one tracker handle snaps: the edges that handle moves and the centre lines that move
// with them (both for a corner, the parallel one for a side). Nodes 0 to 7 run round the frame from the
// top-left corner; any other node (the rotate handle, none) snaps nothing.
inline constexpr int alignmentMaskOfTrackerNode(int node) {
    constexpr int masks[8] = {0x35, 0x14, 0x36, 0x22, 0x3a, 0x18, 0x39, 0x21};
    return node >= 0 && node < 8 ? masks[node] : 0;
}

// The distance within which snapping pulls, and within which guides show (0.9 in single precision).
inline constexpr float KXSnapDistance = 2.0f;
inline constexpr float KXGuideDistance = 0.9f;

class KXSnapping {
public:
    using GraphList = KXCanvas::GraphList;
    // The six lines of a rectangle in the order guides are matched: bottom, horizontal centre, top, left,
    // vertical centre, right.
    using SixLines = std::array<KXLine, 6>;

    // The page layer supplies the page rectangle; the overlay receives the guide lines. Either may be null:
    // without a page layer nothing snaps to the page, without an overlay guides go nowhere.
    KXSnapping(KXCanvasLayer* canvasLayer, KXAuxiliaryLayer* overlay)
        : m_canvasLayer(canvasLayer), m_overlay(overlay) {}

    KXCanvasLayer* canvasLayer() const { return m_canvasLayer; }
    void setCanvasLayer(KXCanvasLayer* layer) { m_canvasLayer = layer; }
    KXAuxiliaryLayer* auxiliaryLayer() const { return m_overlay; }
    void setAuxiliaryLayer(KXAuxiliaryLayer* overlay) { m_overlay = overlay; }

    // ---- snapping ----
    // The offset (x, y) that snaps the graph's object rectangle onto the page (KXAutoSnap) or onto the graphs
    // (KXAutoObjectSnap) for the kinds of the mask; a component with no match (or not a finite number) is 0.
    // (0, 0) also for a null graph.
    kx::Point absorbGraph(const KXGraph* graph, const GraphList* unselectedGraphs, int alignmentLine) const;
    // The snapping search on a rectangle: vertical kinds first (bottom, top, horizontal centre), then the
    // horizontal ones (left, vertical centre, right), each direction with a fresh distance of 2. Each match
    // sets that direction's offset so that the rectangle's line lands on the matched one; offsets without a
    // match stay as passed in. Answers the last matched line.
    std::optional<KXLine> alignLineOfRect(const kx::Rect& rect, double& offsetX, double& offsetY,
                                          const GraphList* graphs, int alignmentLine) const;
    // One kind of the rectangle against a page rectangle, its centre lines included, snapping.
    std::optional<KXLine> lineForRectInPage(const kx::Rect& rect, int alignment, const kx::Rect& pageRect,
                                            float& minDist) const;
    // One kind of the rectangle against the edges of the graphs' object rectangles.
    std::optional<KXLine> lineForRectWithGraphs(const kx::Rect& rect, int alignment, const GraphList* graphs,
                                                float& minDist) const;
    // The line against every graph's object rectangle (edges only, snapping): the last match, which with the
    // shrinking distance is the nearest graph, later graphs winning ties. None for an invalid line or a null
    // list.
    static std::optional<KXLine> alignmentLine(const KXLine& line, const GraphList* graphs, float& minDist);
    // The line against one target rectangle. A horizontal line is tested against the target's bottom, centre
    // (with the centre flag) and top, a vertical one against its left, centre and right; each test accepts a
    // difference of at most minDist, the right edge also any difference under 1. A match spans both the line
    // and the target and sets minDist to its difference, so the nearest test wins and a later one wins a tie.
    // When not snapping, a centre that is not a whole number is also tried at the whole numbers below and
    // above it. minDist is written back in every case. A line of zero length matches nothing.
    static std::optional<KXLine> aligmentLine(const KXLine& line, const kx::Rect& rect, float& minDist,
                                              bool isAdsorbing, bool enableCenterAlignment);
    // The line of that kind spanning the rectangle.
    static KXLine lineOfRect(const kx::Rect& rect, int alignment);

    // ---- guides ----
    // Adds the guides of a moved object to the overlay: R is the object's rectangle on the page, rounded and
    // not turned by its angle; it is compared with the rounded page rectangle (centre lines included) and with
    // each graph's object rectangle (edges only). Nothing for a null list.
    void updateLinesForRect(const kx::Rect& rect, const GraphList* graphs) const;
    // Matches the six lines (in SixLines order) against the target, each within 0.9, not snapping, and adds
    // each match to the overlay. With centre alignment a centre line that found nothing and does not lie on a
    // whole number is tried again half a point further, then half a point nearer; without it only the four
    // edges take part.
    void updateLines(const SixLines& lines, const kx::Rect& rect, bool enableCenterAlignment) const;
    // Converts a line from the page layer's space into the overlay's and adds it there; none is ignored.
    void addLine(const std::optional<KXLine>& line) const;

    // ---- rectangles ----
    // The graph's rectangle on the page (through its groups, not turned by its own angle), rounded
    // component-wise: the rectangle a moved object's guides are computed for.
    static kx::Rect guideRectOfGraph(const KXGraph& graph);
    // That rectangle turned by the graph's angle and mirrored by its flips about its centre, bounded and
    // rounded again: the rectangle snapping works with, and the one other objects are compared by.
    static kx::Rect objectRectOfGraph(const KXGraph& graph);
    // The margin box in preview points when it is not empty, otherwise the page layer's bounds (null without
    // a page layer).
    kx::Rect pageRect() const;
    // The page layer's bounds (null without a page layer).
    kx::Rect pageBounds() const;

private:
    KXCanvasLayer* m_canvasLayer = nullptr;
    KXAuxiliaryLayer* m_overlay = nullptr;
};
