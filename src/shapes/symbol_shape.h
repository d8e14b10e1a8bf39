// The open line shapes of the shape palette: the straight line, the one-handle curve and the line with an
// arrow head. Their geometry is one path point in frame-relative units; the outline is built from it for the
// current frame, and the editing operations (symbol_shape_editing.cpp) refit the frame and the point from an
// edited outline. A line shape draws only its stroke (and the arrow head), and never keeps a rotation: turning
// it turns its geometry.
#pragma once

#include "model/path_point.h"
#include "model/shape.h"

#include <optional>

enum KXLineShapeType : std::uint32_t {
    KXShapeTypeLine = 13,
    KXShapeTypeCurve = 14,
    KXShapeTypeArrowLine = 15,
};

class KXSymbolShape : public KXShape {
public:
    // No points, no node under edit, the stroke on in opaque black.
    KXSymbolShape();
    // A line (0, 0) to (1, 1) for types 13 and 15, with the curve's handle at (0.3, 0.7) for type 14; no point
    // for any other type.
    static std::shared_ptr<KXSymbolShape> symbolShapeWithType(std::uint32_t shapeType, const kx::Rect& relativeRect);

    QString className() const override { return QStringLiteral("KXSymbolShape"); }
    std::int32_t graphType() const override { return KXGraphTypeLine; }

    // ---- fields ----
    const KXPathPointArray& pointsArray() const { return m_pointsArray; }
    // Stores copies of the points, announces "pointsArray" and rebuilds the outline.
    void setPointsArray(const KXPathPointArray& points);
    std::int32_t pointElement() const { return m_pointElement; }
    void setPointElement(std::int32_t element) { m_pointElement = element; }

    // ---- observation ----
    void addObserver(kx::KeyObserver* observer) override;
    void removeObserver(kx::KeyObserver* observer) override;
    using KXShape::addObserver;
    using KXShape::removeObserver;
    const kx::PropertyTable& propertyTable() const override;

    // ---- widths ----
    // The stroke width in hundredths of the page's shorter preview side.
    double relativeBorderWidth() const;
    // The relative width for a relative stroke, the width times the zoom for an absolute one.
    double pathBorderWidth() const;

    // ---- outlines ----
    // Null (an empty path) without points.
    kx::BezierPath shapePathWithRect(const kx::Rect& rect) const override;
    kx::BezierPath editingShapeWithRect(const kx::Rect& rect) const override { return shapePathWithRect(rect); }

    // ---- drawing ----
    void drawInContext(kx::BitmapContext& context, const kx::Rect& rect) override;
    void drawMarkPathInContext(kx::BitmapContext& context) const;
    void drawStrokePathInContext(kx::BitmapContext& context) const;
    // The arrow head rebuilt for the current stroke width.
    void updatePathForStrokeWidthChanged();
    // A new arrow-line path from frame-local points, refitted into the shape; nothing for a stem without
    // length.
    void updateMarkPathWithStartPoint(const kx::Point& start, const kx::Point& tip);
    // Whether the shape's stroked outline (at least 5 wide) shows inside a rectangle in page points.
    bool pathContainsInRect(const kx::Rect& rect) const override;

    // ---- editing (symbol_shape_editing.cpp) ----
    bool hitTestEditableAtPoint(const kx::Point& point) const override;
    std::optional<kx::ValueDictionary> handlerInfoAtPoint(const kx::Point& point) const override;
    // The node points in frame-local coordinates: start, end or tip, and the curve's handle.
    std::vector<kx::Point> nodePoints() const;
    kx::Point dragLineShapeNode(int node, double dx, double dy);
    kx::Point dragCurveShapeNode(int node, double dx, double dy);
    kx::Point dragMarkShapeNode(int node, double dx, double dy);
    // The offset a dragged on-path point really moves: each coordinate snaps to that of another node less
    // than 5 points away.
    static kx::Point offsetPointAtElement(int element, const kx::BezierPath& path, double dx, double dy);
    // The curve's handle put on the line through start and end when it comes within 5 points of it.
    static kx::Point offsetCenterPoint(const kx::Point& proposed, const kx::Point& start, const kx::Point& end);
    void updateLinePathFromPath(const kx::BezierPath& path);
    void updateCurvePathFromPath(const kx::BezierPath& path);
    void updateMarkPathFormPath(const kx::BezierPath& path);
    // Moves and resizes the graph to the outline's bounds; the outline in the new frame's local points.
    kx::BezierPath updateFrameAndPathFormNewPath(const kx::BezierPath& path);
    kx::Point overloadAnchorPointAtOldRect(const kx::Rect& oldRect, const kx::Rect& newRect) const;
    // Turning bakes the rotation into the geometry; the shape's angle stays 0.
    void setAngle(double angle) override { resetAngleWithAngle(angle); }
    void resetAngleWithAngle(double angle);

    // ---- archive ----
    void encodeWithCoder(kx::KeyedArchiver& coder) const override;
    void initWithCoder(kx::KeyedUnarchiver& coder) override;

private:
    // The refit shared by the three types: frame, then one path point from the outline's nodes.
    void refit(const kx::BezierPath& path, int endElement, bool curve);
    // Puts back a recorded geometry and registers the way back to the present one.
    struct Geometry {
        kx::Rect relativeRect;
        KXPathPointArray points;
        kx::BezierPath path;
    };
    Geometry geometry() const;
    void restoreGeometry(const Geometry& geometry);

    KXPathPointArray m_pointsArray;
    std::int32_t m_pointElement = -1;
};
