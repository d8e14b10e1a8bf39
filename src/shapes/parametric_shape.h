// The closed shapes of the shape palette (rectangle to star and speech bubble): a shape whose outline comes
// from a parameter dictionary, "shapeInfo", and whose special handles edit those parameters on the canvas.
// Every edit stores a whole new dictionary through setShapeInfo, which makes the previous one restorable by
// undo and rebuilds the outline.
#pragma once

#include "model/shape.h"
#include "platform/foundation/value.h"

#include <optional>

enum KXSpecialShapeType : std::uint32_t {
    KXShapeTypeEquilateralTriangle = 2,
    KXShapeTypeRightTriangle = 3,
    KXShapeTypeRoundedRectangle = 4,
    KXShapeTypeSingleArrow = 5,
    KXShapeTypeDoubleArrow = 6,
    KXShapeTypeOval = 7,
    KXShapeTypeBubble = 8,
    KXShapeTypeLozenge = 9,
    KXShapeTypePolygon = 10,
    KXShapeTypeStar = 11,
};

class KXSpecialShape : public KXShape {
public:
    // An empty dictionary, the fill on (colour fill) and the stroke on in opaque black.
    KXSpecialShape();
    static std::shared_ptr<KXSpecialShape> shapeWithType(std::uint32_t shapeType, const kx::Rect& relativeRect);
    // The parameters a new shape of the type receives; nullopt for the types without parameters.
    static std::optional<kx::ValueDictionary> creationInfo(std::uint32_t shapeType, const kx::Rect& relativeRect);

    QString className() const override { return QStringLiteral("KXSpecialShape"); }

    // ---- parameters ----
    const std::optional<kx::ValueDictionary>& shapeInfo() const { return m_shapeInfo; }
    // The value for a key; nil when absent.
    kx::Value shapeInfoForKey(const QString& key) const;
    // Stores the dictionary and nothing else (no undo step, no new outline).
    void setInfo(const std::optional<kx::ValueDictionary>& info) { m_shapeInfo = info; }
    // Registers the restoring of the stored dictionary (when there is one and undo registration is on), stores
    // the new one, rebuilds the outline and redraws.
    void setShapeInfo(const std::optional<kx::ValueDictionary>& info);
    // Turns the creation values of a shape just placed on a page into page lengths (rounded rectangle,
    // single arrow); no undo step.
    void updateShapeInfo();
    // Centres the text field's text vertically and horizontally; nothing without a text field.
    void initTextAlignment();

    // ---- outlines ----
    kx::BezierPath shapePathWithRect(const kx::Rect& rect) const override;
    kx::BezierPath editingShapeWithRect(const kx::Rect& rect) const override;
    kx::Rect editingRectInObjectRect(const kx::Rect& rect) const override;

    // ---- handles (parametric_shape_handles.cpp) ----
    bool hitTestEditableAtPoint(const kx::Point& point) const override;
    std::optional<kx::ValueDictionary> handlerInfoAtPoint(const kx::Point& point) const override;
    // The handle centres of the shape's type, by handle number, in frame-local points; the overlay draws
    // them. Each has the side of the square the info query tests.
    struct Handle {
        int number;
        kx::Rect infoSquare;
        std::optional<kx::Rect> hitSquare;  // nullopt: answers the info query only
    };
    std::vector<Handle> handles(bool roundedFrame) const;

    // Drag steps. dx and dy are the pointer's movement along the shape's own axes; points are page preview
    // points. A step that would give a size or parameter of no width, below its bound or not a number leaves
    // the shape unchanged.
    void dragCircularSpecialNode(int node, float dx, float dy);
    void dragSingleArrowSpecialNode(int node, double dx, double dy);
    void dragDoubleArrowSpecialNode(int node, float dx, float dy);
    void dragBubbleSpecialNode(int node, float dx, float dy, const kx::Point& mousePoint);
    void dragPolygonSpecialNode(int node, const kx::Point& point);
    void dragStarSpecialNode(int node, const kx::Point& point);
    // The tracker node whose anchor keeps the frame corner or edge opposite the bubble's tail.
    static std::uint32_t nodeAtPositionX(int xCode, int yCode);
    // The 6 x 6 square on the bubble's outline where its tail leaves on the -arrowRadius side; the zero
    // rectangle when the tail point lies in the body, and a square that contains no point when the tail's
    // side cannot be placed.
    static kx::Rect bubbleArrowRect(const kx::Rect& body, double arrowRadius, const kx::Point& arrowPoint,
                                    double bubbleRadius);
    // The point the side or point count handle stands at for `count`.
    static kx::Point countPoint(double w, double h, double count);

    // ---- archive ----
    void encodeWithCoder(kx::KeyedArchiver& coder) const override;
    void initWithCoder(kx::KeyedUnarchiver& coder) override;

private:
    double zoom() const;
    double number(const char* key) const;
    // The first step of a resize about an anchor: the anchor point and the layer's fixed position.
    struct Anchor {
        kx::Point anchor, position;
    };
    Anchor takeAnchor(std::uint32_t node);
    // The second step: the frame of the size placed so the anchor keeps its position; false when refused.
    bool placeFrameAboutAnchor(const Anchor& anchor, double width, double height);
    // The count handle drag of the polygon and the star.
    void dragCount(const char* key, const kx::Point& point);

    std::optional<kx::ValueDictionary> m_shapeInfo = kx::ValueDictionary();
};
