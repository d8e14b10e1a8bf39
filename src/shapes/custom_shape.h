// The free outline drawn with the pen tool. Its lasting geometry is a list of path points in frame-relative
// units: entry 0 holds the start point (point1), every further entry k the segment that ends at node k (first
// control, second control, end point). The outline `path` is built from that list for the current frame: a
// move to the start, then one cubic curve per further entry. A straight segment is a curve whose two controls
// equal its end exactly. Paths finished by the pen tool end where they start, so the last node and the start
// point coincide and the segment after the last node is segment 1.
//
// The node operations (custom_shape_nodes.cpp) refit the frame and the list to an edited outline, insert a
// node into a segment, delete the selected node and switch it between corner and smooth. The editing side
// (custom_shape_editing.cpp) finds what lies under the pointer, selects it and drags anchors and handles.
// Points given to them are in the shape's frame-local coordinates with the flips removed.
//
// Every node operation is one undo step on the page that puts back the exact rectangle, list and outline.
// Node indices from callers and from files are checked: an operation with an index that names no node, or on
// an outline that is not a pen outline (a move followed only by curves), changes nothing.
#pragma once

#include "model/path_point.h"
#include "model/shape.h"

#include <functional>
#include <optional>

enum KXCustomShapeType : std::uint32_t {
    KXShapeTypeCustom = 0,
};

class KXCustomShape : public KXShape {
public:
    // Shape type 0, nothing selected, an empty list; the fill on in colour, with gradient colours (75, 159,
    // 229) and (60, 60, 255); the stroke on in opaque black; the text centred.
    KXCustomShape();
    ~KXCustomShape() override;
    // An empty pen shape in a page-relative rectangle; the pen tool then gives it its list and outline.
    static std::shared_ptr<KXCustomShape> customShapeWithRelativeRect(const kx::Rect& relativeRect);

    QString className() const override { return QStringLiteral("KXCustomShape"); }

    // ---- fields ----
    const KXPathPointArray& customPointsArray() const { return m_customPointsArray; }
    // Stores copies of the points and announces "customPointsArray"; the outline is set separately.
    void setCustomPointsArray(const KXPathPointArray& points);
    // Stores the outline and announces "path".
    void setPath(const kx::BezierPath& path);
    std::int64_t customPointElement() const { return m_customPointElement; }
    void setCustomPointElement(std::int64_t element) { m_customPointElement = element; }
    std::int64_t centerPointElement() const { return m_centerPointElement; }
    void setCenterPointElement(std::int64_t element) { m_centerPointElement = element; }
    bool isShowCustomCtlPoint() const { return m_showCustomCtlPoint; }
    void setShowCustomCtlPoint(bool show) { m_showCustomCtlPoint = show; }
    // Middle vertical alignment and centred paragraphs for the text field; nothing without one.
    void initTextAlignment();
    // A start and at most one segment.
    bool isLineShape() const { return path().elementCount() < 3; }

    // ---- observation ----
    // The shape's keys plus "path" and "customPointsArray".
    void addObserver(kx::KeyObserver* observer) override;
    void removeObserver(kx::KeyObserver* observer) override;
    using KXShape::addObserver;
    using KXShape::removeObserver;
    const kx::PropertyTable& propertyTable() const override;

    // ---- outlines ----
    // The pen outline from the list for type 0, the shape's own outline for any other type.
    kx::BezierPath shapePathWithRect(const kx::Rect& rect) const override;
    kx::BezierPath editingShapeWithRect(const kx::Rect& rect) const override;

    // ---- node operations (custom_shape_nodes.cpp) ----
    // Whether the outline is a move followed only by curves (at least the move).
    static bool isPenOutline(const kx::BezierPath& path);
    // Whether a pen outline has segments and its last node lies exactly on its start point.
    static bool isClosedOutline(const kx::BezierPath& path);
    // Moves and resizes the frame to an edited frame-local outline and rebuilds list and outline from it.
    void updatePathFromPath(kx::BezierPath path);
    // The render layer's anchor point that keeps the anchor's page position when the frame changes.
    kx::Point overloadAnchorPointAtOldRect(const kx::Rect& oldRect, const kx::Rect& newRect) const;
    // Inserts a node at `point` (a point on segment k), splitting the segment.
    void addPathNodeToIndex(std::int64_t index, const kx::Point& point);
    // The outline with a straight segment to `point` inserted after element `forwardIndex`.
    void addPathNodeForLineWithPoint(const kx::Point& point, std::int64_t forwardIndex);
    // The outline with curve `currentIndex` split at `point`: the first half (controls 1 and 2) inserted
    // after element `forwardIndex`, the second half keeping controls 3 and 4.
    void addPathNodeForCurveWithPoint(const kx::Point& point, std::int64_t currentIndex, std::int64_t forwardIndex,
                                      const kx::Point& controllerPoint1, const kx::Point& controllerPoint2,
                                      const kx::Point& controllerPoint3, const kx::Point& controllerPoint4);
    // Deletes the selected node in one undo group. Deleting the only node of a path with one segment
    // removes the shape from its page.
    void removeCustomPathPoint();
    // Switches the selected node between a smooth node and a corner with straight segments.
    void changeLineType();
    // The element layouts written by the toggle into `path` (points of element k, of the element before and
    // of the next, whose index is `forwardIndex`/`wardIndex`).
    static void lineToCurveAtCurrentPoint(const kx::BezierPath::Element& current,
                                          const kx::BezierPath::Element& forward,
                                          const kx::BezierPath::Element& next, std::int64_t currentIndex,
                                          std::int64_t forwardIndex, kx::BezierPath& path);
    static void curveToLineAtCurrentPoint(const kx::BezierPath::Element& current, std::int64_t currentIndex,
                                          std::int64_t wardIndex, kx::BezierPath& path);

    // ---- editing (custom_shape_editing.cpp) ----
    // The cursor test; sets centerPointElement.
    bool hitTestEditableAtPoint(const kx::Point& point) const override;
    // Selects what a click hits: { "element", "changeType" }, or nil after clearing the selection. A click on
    // a segment's midpoint handle while the handles are shown inserts a node there.
    std::optional<kx::ValueDictionary> handlerInfoAtPoint(const kx::Point& point) const override;
    // Moves the parts of a node or handle that the change type names by the offset (snapped to other nodes
    // with `adsorption`, except for control handles), refits the shape, and returns the offset applied.
    kx::Point dragPathElement(std::int32_t element, float dx, float dy, std::int32_t type, bool adsorption);
    // An arrow-key step of the part a click selected: a control handle moves its node as a smooth node
    // (first controls through the node before), without snapping.
    kx::Point nudgePathElement(std::int32_t element, std::int32_t changeType, float dx, float dy);
    // Each coordinate of the proposed point snapped to the nearest coordinate of another node within 8
    // points; the offset from the dragged point.
    static kx::Point adsorptionOffsetWithDragPoint(const kx::Point& dragPoint, const kx::Point& destination,
                                                   const kx::BezierPath& path, std::int64_t index);
    // The point of segment i shown as its midpoint handle.
    static kx::Point segmentMidpoint(const kx::BezierPath& path, int index);

    // ---- archive ----
    void encodeWithCoder(kx::KeyedArchiver& coder) const override;
    // A list entry of another class fails the archive; an empty text is centred again.
    void initWithCoder(kx::KeyedUnarchiver& coder) override;

private:
    struct Geometry {
        kx::Rect relativeRect;
        double aspectRatio = 0;
        KXPathPointArray points;
        kx::BezierPath path;
        std::optional<kx::Rect> cropRect;
    };
    Geometry geometry() const;
    // Puts back a recorded geometry and registers the way back to the present one.
    void restoreGeometry(const Geometry& geometry);
    // Runs an edit as one undo step that restores the exact geometry from before it; the page records
    // nothing else for it.
    void editGeometry(const std::function<void()>& edit);
    // The node an index names: 0 on a closed outline is the last node. nullopt for no node.
    std::optional<int> nodeIndex(std::int64_t element) const;
    // The outline built from the list for the frame, as every change of the frame rebuilds it: storing this
    // rather than the edited outline (equal up to rounding) keeps later undo steps of the frame exact.
    kx::BezierPath outlineForFrame() const;
    void refit(kx::BezierPath path);
    void removeNode(int index);
    void insertNode(const kx::BezierPath& path);
    void toggleNode(int index);

    KXPathPointArray m_customPointsArray;
    std::int64_t m_customPointElement = -1;
    std::int64_t m_centerPointElement = -1;
    bool m_showCustomCtlPoint = false;
};
