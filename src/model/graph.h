// The base of every object that stands on a page: its rectangle relative to the page (or to its group),
// rotation, flips, opacity, aspect ratio, lock and selection flags, fill, stroke, drop shadow, reflection and
// contact-shadow switches and the text-wrap settings. It announces its undoable properties to observers (the
// page turns each announced change into an undo step) and reaches its layer only through KXGraphRender.
//
// Geometry is in the page's preview points unless said otherwise; y grows upward, angles are radians about
// the centre of the frame.
#pragma once

#include "model/graph_render.h"
#include "platform/foundation/coding.h"
#include "platform/foundation/geometry.h"
#include "platform/foundation/observable.h"
#include "platform/gfx/image.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace kx {
class BitmapContext;
}

class KXBackground;
class KXCanvas;
class KXShadow;
class KXStroke;
class KXTracker;

enum KXGraphType : std::int32_t {
    KXGraphTypeShape = 1,
    KXGraphTypeCalendar = 2,
    KXGraphTypePhoto = 3,
    KXGraphTypeText = 4,
    KXGraphTypeGroup = 5,
    KXGraphTypeLine = 6,
    KXGraphTypeAll = 7,
};

enum KXWrapType : std::int32_t {
    KXWrapTypeLeft = 0,
    KXWrapTypeRight = 1,
    KXWrapTypeCenter = 2,
    KXWrapTypeRound = 3,
};

class KXGraph : public kx::Observable, public kx::Coding, public kx::KeyObserver {
public:
    KXGraph();
    ~KXGraph() override;

    QString className() const override { return QStringLiteral("KXGraph"); }

    // ---- observation ----
    // The thirteen undoable keys of the graph itself, in announcing order.
    QStringList announcedKeys() const override;
    // Registers the observer for the graph's own keys and, in between, for those of its fill, stroke and
    // shadow; removeObserver removes the same.
    void addObserver(kx::KeyObserver* observer) override;
    void removeObserver(kx::KeyObserver* observer) override;
    using kx::Observable::addObserver;
    using kx::Observable::removeObserver;
    const kx::PropertyTable& propertyTable() const override;
    // A change of the stroke's width or of "textWrapSpace" moves the area that text wraps around.
    void observeValue(const QString& key, kx::Observable* object, const kx::Value& oldValue,
                      const kx::Value& newValue) override;

    // ---- kind ----
    // A subclass whose answer can change during the graph's life (a shape follows its photo and text
    // fields) must call graphTypeDidChange() after every change: its page keeps count of the graphs whose
    // kind makes text wrap reach them, and counts by the answer it last heard.
    virtual std::int32_t graphType() const { return KXGraphTypeShape; }
    // The graphs that stand for this one when text wraps around it: the graph itself (a group answers its
    // leaf graphs).
    virtual std::vector<KXGraph*> rootOfGraphs();
    // The children of a group, back to front; no children in the base.
    virtual const std::vector<std::shared_ptr<KXGraph>>& graphs() const;

    // ---- hooks of text graphs and line shapes, used by the page's text wrap and rubber band ----
    // Whether a text graph currently flows its text around graphs in front of it.
    virtual bool incloudWrapGraph() const { return false; }
    // Whether a text graph flows its text around one of these graphs.
    virtual bool incloudWrapGraphs(const std::vector<KXGraph*>& graphs) const;
    // A text graph recomputes the outline its text flows in at its next drawing.
    virtual void updateTextContainerGeometry() {}
    // Whether a line shape's stroked path meets the rectangle; every other graph answers YES.
    virtual bool pathContainsInRect(const kx::Rect& rect) const;

    // ---- rectangles ----
    // The frame in the page's preview points (through the enclosing group when there is one).
    kx::Rect frameRect() const;
    // The same in page pixels.
    kx::Rect actualRect() const;
    // The drawn extent: the frame, grown by half the stroke width on a fixed-layout page with the stroke on.
    virtual kx::Rect graphRect() const;
    // The frame inset by half the stroke width when the stroke is on.
    virtual kx::Rect drawRectForFrame(const kx::Rect& frame, double zoom) const;
    // The stroke width in preview points as this graph's page reads it: hundredths of the shorter preview
    // side for a relative stroke, points times the zoom for an absolute one.
    double strokeWidthOnPage() const;

    // ---- attribute objects ----
    // Given an object while the graph already holds one, these copy its settings into the held object, so
    // that observers registered on it stay valid; only when either side is null is the object replaced.
    KXBackground* background() const { return m_background.get(); }
    void setBackground(std::shared_ptr<KXBackground> background);
    KXStroke* stroke() const { return m_stroke.get(); }
    void setStroke(std::shared_ptr<KXStroke> stroke);
    KXShadow* shadow() const { return m_shadow.get(); }
    void setShadow(std::shared_ptr<KXShadow> shadow);
    KXTracker* tracker() const { return m_tracker.get(); }

    // ---- display ----
    void lockDisplay() { m_displayLocked = true; }
    void unlockDisplay() { m_displayLocked = false; }
    bool isDisplayLocked() const { return m_displayLocked; }
    // Asks the render object to redraw the graph, unless the display is locked.
    void setNeedsDisplay();

    // ---- links (not owned) ----
    KXCanvas* canvas() const { return m_canvas; }
    void setCanvas(KXCanvas* canvas) { m_canvas = canvas; }
    KXGraph* group() const { return m_group; }
    void setGroup(KXGraph* group) { m_group = group; }
    KXGraphRender* render() const { return m_render; }
    void setRender(KXGraphRender* render) { m_render = render; }

    // ---- properties ----
    kx::Rect relativeRect() const { return m_relativeRect; }
    // Announces only a real change; a rectangle with a component that is not a finite number is refused.
    // Refreshes text wrap in every case.
    virtual void setRelativeRect(const kx::Rect& rect);
    // The stored opacity; while a PaintOpacity scope for this graph is open on the calling thread, the
    // opacity that scope paints with (the stored value is untouched and nothing is announced).
    double opacity() const;
    void setOpacity(double opacity);
    // Lets a painter draw the graph at another opacity without writing the property: layers that fade the
    // graph themselves paint it at full strength this way. Scopes nest; the innermost one for a graph counts.
    class PaintOpacity {
    public:
        PaintOpacity(const KXGraph* graph, double opacity);
        ~PaintOpacity();
        PaintOpacity(const PaintOpacity&) = delete;
        PaintOpacity& operator=(const PaintOpacity&) = delete;
    };
    double angle() const { return m_angle; }
    virtual void setAngle(double angle);
    double aspectRatio() const { return m_aspectRatio; }
    // The aspect ratio the graph had before its last change of rectangle (which derives a new one from the
    // frame), so that undoing the rectangle can give the old ratio back exactly.
    double aspectRatioBeforeRectChange() const { return m_aspectRatioBeforeRectChange; }
    void setAspectRatio(double ratio);
    std::int32_t flipX() const { return m_flipX; }
    void setFlipX(std::int32_t flip);
    std::int32_t flipY() const { return m_flipY; }
    void setFlipY(std::int32_t flip);
    bool isLocked() const { return m_locked; }
    void setLocked(bool locked);
    bool isFillEnabled() const { return m_fillEnabled; }
    void setFillEnabled(bool enabled);
    bool isStrokeEnabled() const { return m_strokeEnabled; }
    void setStrokeEnabled(bool enabled);
    bool isShadowEnabled() const { return m_shadowEnabled; }
    void setShadowEnabled(bool enabled);
    bool isReflectionEnabled() const { return m_reflectionEnabled; }
    void setReflectionEnabled(bool enabled);
    double reflectionAlpha() const { return m_reflectionAlpha; }
    void setReflectionAlpha(double alpha);
    bool isContactShadowEnabled() const { return m_contactShadowEnabled; }
    void setContactShadowEnabled(bool enabled);
    bool isTextWrapEnabled() const { return m_textWrapEnabled; }
    void setTextWrapEnabled(bool enabled);
    std::int64_t textWrapSpace() const { return m_textWrapSpace; }
    void setTextWrapSpace(std::int64_t space);
    std::int32_t wrapType() const { return m_wrapType; }
    void setWrapType(std::int32_t type);
    bool isSelected() const { return m_selected; }
    // Redraws the selection only when the flag changes.
    void setSelected(bool selected);
    bool updateAspectRatio() const { return m_updateAspectRatio; }
    void setUpdateAspectRatio(bool update) { m_updateAspectRatio = update; }

    // Tells the page that the area text wraps around may have moved (with text wrap on, or for a group).
    void textWrapRectChanged();

    // ---- hit tests ----
    // The page point turned by -angle about the centre of the frame, into the unturned frame.
    kx::Point convertPointToRenderSpace(const kx::Point& point) const;
    virtual bool containsPoint(const kx::Point& point) const;
    // Whether a page rectangle (a rubber band) meets the turned graph.
    bool intersectsRect(const kx::Rect& rect) const;
    // Whether the quadrilateral through the four points holds a corner of graphRect (even-odd rule).
    bool intersectsBoundWithPoint1(const kx::Point& p1, const kx::Point& p2, const kx::Point& p3,
                                   const kx::Point& p4) const;
    // Whether the segment meets an edge of graphRect.
    bool intersectsLineWithPoint1(const kx::Point& p1, const kx::Point& p2) const;
    // Whether segment a-b meets segment c-d. A segment of no length meets nothing; segments on one line
    // count as meeting even when they do not overlap.
    static bool lineIntersectionWithLine1Point1(const kx::Point& a, const kx::Point& b, const kx::Point& c,
                                                const kx::Point& d);

    // ---- drawing ----
    // Draws the graph alone into the rectangle; nothing in the base.
    virtual void drawInContext(kx::BitmapContext& context, const kx::Rect& rect);
    virtual void drawBackgroundInContext(kx::BitmapContext& context, const kx::Rect& rect);
    // Without `expand` only the inner half of the centred stroke shows.
    virtual void drawStrokeInContext(kx::BitmapContext& context, const kx::Rect& rect, bool expand);
    // The graph rendered alone for page output; no image in the base.
    virtual kx::Image graphImageWithZoom(double zoom);

    // ---- moving, turning and resizing (graph_geometry.cpp) ----
    void moveGraphWithOffsetX(double dx, double dy);
    void rotateGraphWithOffsetAngle(double angle);
    // Drags one handle by an offset; whether the rectangle was set. A corner keeps the aspect ratio when
    // `keepAspect` is set; the handle's opposite corner or edge stays where it was.
    bool resizeGraphWithOffsetX(double dx, double dy, std::uint32_t node, bool keepAspect);
    // Drags handle 2 to 6 without the aspect and direction rules.
    bool resizeGraphToOffsetX(double dx, double dy, std::uint32_t node);
    // The anchor point (unit coordinates of the layer) that stays fixed while the handle is dragged.
    static kx::Point anchorPointOfTrackerNode(std::uint32_t node);
    // Moves the layer's anchor point without moving the layer on screen; the layer's resulting position.
    kx::Point fixedPositionOfAnchorPoint(const kx::Point& anchor);
    void setLayerPosition(const kx::Point& position);
    // Returns the anchor point to the centre and rebuilds the relative rectangle from where the layer is.
    void resetAnchor();
    // The frame in page space through enclosing groups, following the layer while its anchor is moved.
    kx::Rect frameRectWithRotationInGroup() const;
    virtual kx::Rect graphRectWithRotationInGroup() const;

    // ---- archive ----
    void encodeWithCoder(kx::KeyedArchiver& coder) const override;
    void initWithCoder(kx::KeyedUnarchiver& coder) override;
    // An independent copy made by archiving: no page, group or layer, not selected. Null when the class
    // cannot be read back (not registered).
    std::shared_ptr<KXGraph> copy() const;

protected:
    // Tells the page the graph stands on that graphType() may answer differently now.
    void graphTypeDidChange();

private:
    // The new relative rectangle from a frame in preview points, or false when the page has no preview size.
    bool relativeRectFromFrame(const kx::Rect& frame, kx::Rect* relative) const;
    // Sets the rectangle from a resized frame and puts the layer at `position`; false for a result under
    // 2 points or one that is not a number.
    bool applyResizedFrame(const kx::Rect& frame, const kx::Point& position, bool hasPosition);
    // The aspect ratio a keep-aspect resize works with.
    double resizeAspectRatio(const kx::Rect& frame) const;

    bool m_displayLocked = false;
    bool m_updateAspectRatio = true;
    bool m_locked = false;
    bool m_fillEnabled = false;
    bool m_strokeEnabled = false;
    bool m_shadowEnabled = false;
    bool m_reflectionEnabled = false;
    bool m_contactShadowEnabled = false;
    bool m_textWrapEnabled = false;
    bool m_selected = false;
    std::int32_t m_flipX = 1;
    std::int32_t m_flipY = 1;
    std::int32_t m_wrapType = KXWrapTypeRound;
    KXCanvas* m_canvas = nullptr;
    KXGraph* m_group = nullptr;
    KXGraphRender* m_render = nullptr;
    double m_opacity = 1.0;
    double m_angle = 0;
    double m_aspectRatio = 0;
    double m_aspectRatioBeforeRectChange = 0;
    std::unique_ptr<KXTracker> m_tracker;
    std::shared_ptr<KXBackground> m_background;
    std::shared_ptr<KXStroke> m_stroke;
    std::shared_ptr<KXShadow> m_shadow;
    double m_reflectionAlpha = 0.5;
    std::int64_t m_textWrapSpace = 0;
    kx::Rect m_relativeRect;
};
