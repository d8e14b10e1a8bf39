// The page object with an outline: a shape type, an outline path in frame-local coordinates and two
// content fields, a photo and a text. Its graph type follows the fields: a photo (3) while the photo field
// is set, a text box (4) while only the text field is set, a plain shape (1) with neither. The parametric,
// line and pen shapes derive from it and build other outlines through shapePathWithRect.
#pragma once

#include "model/graph.h"
#include "model/shape_field.h"
#include "platform/gfx/bezier_path.h"
#include "platform/gfx/path.h"

#include <cstdint>
#include <memory>
#include <optional>

class KXPhoto;
class KXShapeText;

enum KXShapeType : std::uint32_t {
    KXShapeTypeRectangle = 1,
};

class KXShape : public KXGraph, public kx::ShapeFieldOwner {
public:
    // A rectangle shape with a new photo field and (when a text factory is installed) a new text field.
    KXShape();
    ~KXShape() override;
    // A text box: the rectangle set before the fields exist, then a photo and a text with the string.
    static std::shared_ptr<KXShape> initTextShapeWithString(const QString& string, const kx::Rect& relativeRect);
    // A shape of the type at the rectangle (both fields made).
    static std::shared_ptr<KXShape> initWithType(std::uint32_t shapeType, const kx::Rect& relativeRect);

    QString className() const override { return QStringLiteral("KXShape"); }

    std::int32_t graphType() const override;

    // ---- observation ----
    // The graph's keys, then the photo's and the text's.
    void addObserver(kx::KeyObserver* observer) override;
    void removeObserver(kx::KeyObserver* observer) override;
    using KXGraph::addObserver;
    using KXGraph::removeObserver;
    // The photo's "cropRect" and "frame" move the text-wrap area; the rest goes to the graph.
    void observeValue(const QString& key, kx::Observable* object, const kx::Value& oldValue,
                      const kx::Value& newValue) override;

    // ---- fields ----
    KXPhoto* photo() const { return m_photo.get(); }
    const std::shared_ptr<KXPhoto>& photoPtr() const { return m_photo; }
    // Observes the new photo (and no longer the old); null removes the photo.
    void setPhoto(std::shared_ptr<KXPhoto> photo);
    KXShapeText* text() const { return m_text.get(); }
    void setText(std::shared_ptr<KXShapeText> text);
    std::uint32_t shapeType() const { return m_shapeType; }
    void setShapeType(std::uint32_t type) { m_shapeType = type; }
    const kx::BezierPath& path() const { return m_path; }
    void setPath(const kx::BezierPath& path) { m_path = path; }

    // ShapeFieldOwner: a field asks for the shape to be redrawn.
    void setNeedsDisplay() override { KXGraph::setNeedsDisplay(); }

    // ---- geometry and outline ----
    void setRelativeRect(const kx::Rect& rect) override;
    // Rebuilds the path from the frame (rounded, at least 2 a side); a frame of no width or height keeps it.
    void updatePath();
    // A rectangle path for type 1, an empty path for any other type (subclasses build theirs).
    virtual kx::BezierPath shapePathWithRect(const kx::Rect& rect) const;
    virtual kx::BezierPath editingShapeWithRect(const kx::Rect& rect) const;
    virtual kx::Rect editingRectInObjectRect(const kx::Rect& rect) const;
    // The outline as a drawing path (closed unless a line); rebuilt once when the path is empty.
    std::optional<kx::Path> createCGPath();
    kx::Rect graphRect() const override;
    kx::Rect graphRectWithRotationInGroup() const override;
    // The rectangle the text is laid out in; see shape.cpp.
    kx::Rect drawRectForFrame(const kx::Rect& frame, double zoom) const override;
    // Page-pixel geometry for the text.
    static kx::Size canvasSizeOfGraph(const KXGraph* graph);
    kx::Rect actualFrame() const;
    kx::Rect actualDrawRect() const;
    kx::Rect actualDrawRectInGroup() const;
    static kx::Rect groupFrameOfGraph(const KXGraph* graph, const kx::Rect& groupFrame);

    // ---- hit tests ----
    bool containsPoint(const kx::Point& point) const override;
    // The special handles of editable outlines (parametric, line and pen shapes); none here.
    virtual bool hitTestEditableAtPoint(const kx::Point&) const { return false; }
    // The handle-info dictionary of the handle at a point ("element", and "changeType" for pen paths);
    // nullopt when no handle is there, always here.
    virtual std::optional<kx::ValueDictionary> handlerInfoAtPoint(const kx::Point&) const { return std::nullopt; }

    // ---- text wrap ----
    bool incloudWrapGraph() const override;
    bool incloudWrapGraphs(const std::vector<KXGraph*>& graphs) const override;
    void updateTextContainerGeometry() override;

    // ---- drawing ----
    void drawInContext(kx::BitmapContext& context, const kx::Rect& rect) override;
    void drawBackgroundInContext(kx::BitmapContext& context, const kx::Rect& rect) override;
    void drawStrokeInContext(kx::BitmapContext& context, const kx::Rect& rect, bool expand) override;
    // The shape alone at the zoom, with a spare edge for the border or an expandable frame; null for a
    // shape of no width or height. The stored path is left as it is.
    kx::Image graphImageWithZoom(double zoom) override;
    // The size, in pixels, the shape's own drawing takes in graphImageWithZoom (without the spare edge);
    // (0, 0) when it gives no image.
    kx::Size graphImageContentSize(double zoom) const;

    // ---- archive ----
    void encodeWithCoder(kx::KeyedArchiver& coder) const override;
    void initWithCoder(kx::KeyedUnarchiver& coder) override;

private:
    // The border width as the drawing reads it: hundredths of the shorter preview side, whatever the type.
    double relativeStrokeWidth() const;
    // The growth of the drawn extent for a photo with a picture frame on a fixed-layout page; nullopt when
    // the rule does not apply.
    std::optional<double> framedPhotoOutset() const;
    // The outline to draw: the path of an image being rendered, else the stored path.
    const kx::BezierPath& drawingPath() const { return m_renderPath ? *m_renderPath : m_path; }

    std::uint32_t m_shapeType = KXShapeTypeRectangle;
    std::shared_ptr<KXPhoto> m_photo;
    std::shared_ptr<KXShapeText> m_text;
    kx::BezierPath m_path;
    std::optional<kx::BezierPath> m_renderPath;
};
