// The selection handles around one rectangle: eight resize nodes on the corners and edge middles, an
// optional rotate node on a stalk, the outline, and the yellow outline of a locked object. Every graph
// owns one; the canvas overlay keeps two more for a photo's crop box. The owner sets the rectangle and
// angle in its own coordinates (y up), asks the tracker to draw, and asks which node lies under the
// mouse and in which direction that node resizes. The tracker holds no reference to its owner.
#pragma once

#include "platform/foundation/geometry.h"
#include "platform/gfx/bitmap_context.h"
#include "platform/gfx/color.h"

#include <cstdint>

// Handle numbers of a rectangle: 0 top-left corner, 1 top middle, 2 top-right, 3 right middle,
// 4 bottom-right, 5 bottom middle, 6 bottom-left, 7 left middle, 8 the rotate handle; 9 (and anything
// above) is no handle.
using KXTrackerNode = std::uint32_t;
inline constexpr KXTrackerNode KXTrackerNodeRotate = 8;
inline constexpr KXTrackerNode KXTrackerNodeNone = 9;

class KXTracker {
public:
    // White nodes outlined in black, a black outline, a green rotate node; every node present; solid
    // outline of width 1; the stalk rises from the top middle; node squares of side 8; zero frame.
    KXTracker();

    const kx::Color& nodeColor() const { return m_nodeColor; }
    void setNodeColor(const kx::Color& color) { m_nodeColor = color; }
    const kx::Color& strokeColor() const { return m_strokeColor; }
    void setStrokeColor(const kx::Color& color) { m_strokeColor = color; }
    const kx::Color& lineColor() const { return m_lineColor; }
    void setLineColor(const kx::Color& color) { m_lineColor = color; }
    const kx::Color& rotateColor() const { return m_rotateColor; }
    void setRotateColor(const kx::Color& color) { m_rotateColor = color; }

    bool hasCornerNode() const { return m_hasCornerNode; }
    void setHasCornerNode(bool has) { m_hasCornerNode = has; }
    // The edge-middle nodes; they (and the rotate node) answer hit tests only while this is set.
    bool hasMidNode() const { return m_hasMidNode; }
    void setHasMidNode(bool has) { m_hasMidNode = has; }
    bool hasRotateNode() const { return m_hasRotateNode; }
    void setHasRotateNode(bool has) { m_hasRotateNode = has; }
    // 1 draws the outline dashed, anything else solid.
    std::int32_t lineType() const { return m_lineType; }
    void setLineType(std::int32_t type) { m_lineType = type; }
    // Where the rotate stalk starts: 1 above the top edge, 5 below the bottom edge.
    std::int32_t rotateRootNode() const { return m_rotateRootNode; }
    void setRotateRootNode(std::int32_t node) { m_rotateRootNode = node; }
    double angle() const { return m_angle; }
    void setAngle(double angle) { m_angle = angle; }
    double strokeWidth() const { return m_strokeWidth; }
    void setStrokeWidth(double width) { m_strokeWidth = width; }
    // The side of a node's square; the node is the circle inscribed in it.
    std::int64_t nodeRadius() const { return m_nodeRadius; }
    void setNodeRadius(std::int64_t radius) { m_nodeRadius = radius; }

    // The tracked rectangle, unrotated, stored with each component rounded to a whole number.
    kx::Rect frame() const { return m_frame; }
    void setFrame(const kx::Rect& frame);
    kx::Rect nodesBound() const { return m_frame; }

    // Where the node sits on the rectangle; the rotate node lies 24 points beyond the edge its stalk
    // starts from, at (0, 0) for any other root; (0, 0) for a number that is no node.
    kx::Point positionOfNode(KXTrackerNode node, const kx::Rect& rect) const;
    kx::Point positionOfNode(KXTrackerNode node) const { return positionOfNode(node, m_frame); }
    // The square of side nodeRadius centred on the node's position.
    kx::Rect nodeRectInRect(const kx::Rect& rect, KXTrackerNode node) const;

    static bool isCornerNode(KXTrackerNode node);
    static bool isResizeNode(KXTrackerNode node);

    // The point turned by -angle about the centre of the frame, into the unrotated frame's space.
    kx::Point convertPointToRenderSpace(const kx::Point& point) const;
    // The node under a point given in the owner's (rotated) space, or KXTrackerNodeNone.
    KXTrackerNode nodeAtPoint(const kx::Point& point) const;
    // The first node, in number order, whose square contains the point; KXTrackerNodeNone when none does
    // or when that node is switched off (a later node's square is then not consulted).
    KXTrackerNode nodeAtPoint(const kx::Point& point, const kx::Rect& frame) const;
    // The direction, in radians within (0, 2π], in which dragging the node resizes an owner turned by
    // ownerAngle; the top middle of an unturned owner answers 2π, and the nodes advance clockwise by π/4.
    static double angleOfNode(KXTrackerNode node, double ownerAngle);

    // The outline, then the nodes, on the frame.
    void drawInContext(kx::BitmapContext& context) const;
    // The rectangle stroked (dashed {5, 4} for line type 1) and, with a rotate node, its stalk on the frame.
    void renderLine(kx::BitmapContext& context, const kx::Rect& rect) const;
    // Corner nodes, edge-middle nodes and the rotate node, each kind only when present.
    void renderNode(kx::BitmapContext& context, const kx::Rect& rect) const;
    // One node in its square on the frame.
    void drawInContext(kx::BitmapContext& context, KXTrackerNode node) const;
    // One node in the given square (a node being dragged): resize nodes in the node colour, the rotate node
    // in the rotate colour, each outlined; any other number draws nothing.
    void drawInContext(kx::BitmapContext& context, KXTrackerNode node, const kx::Rect& square) const;
    // The frame stroked in yellow at the context's current line width: the mark of a locked object.
    void drawLockLineInContext(kx::BitmapContext& context) const;

private:
    void fillAndStrokeNodes(kx::BitmapContext& context, const kx::Rect& rect, const KXTrackerNode* nodes,
                            int count, const kx::Color& fill) const;

    kx::Color m_nodeColor;
    kx::Color m_strokeColor;
    kx::Color m_lineColor;
    kx::Color m_rotateColor;
    bool m_hasCornerNode = true;
    bool m_hasMidNode = true;
    bool m_hasRotateNode = true;
    std::int32_t m_lineType = 0;
    std::int32_t m_rotateRootNode = 1;
    double m_angle = 0;
    double m_strokeWidth = 1.0;
    std::int64_t m_nodeRadius = 8;
    kx::Rect m_frame;
};
