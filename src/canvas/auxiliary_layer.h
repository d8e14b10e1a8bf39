// The selection overlay of the canvas view: one layer above the shown page layer (a sibling in the view's
// root layer) that marks the user's work without belonging to the page: the selection handles of the selected
// graphs, the yellow outline of locked ones, the handles of reshapable shapes, the alignment guide lines, the
// rubber-band marquee, the white mask outside a clipping margin, the margin box, the crop handles of a photo
// being cropped, the handle being dragged and the highlight of the photo a drop would fill. It keeps no model
// of its own: the canvas view sets its fields while the user works and asks it to redraw.
//
// The overlay keeps no cached bitmap. It is drawn anew at every paint: whoever paints the view renders the
// layer tree and then calls paint() with a context whose user space is this layer's own coordinates (for the
// usual set-up, the root layer's coordinates shifted by this layer's frame origin). A request to redisplay
// only reports an area to the view's host so that the next paint comes: the area the overlay covered when it
// was last painted together with the area it would cover now, so that moving the handles of one object
// repaints around that object, not the whole view.
//
// Its links to graphs, photos and layers are weak: an object that goes away is simply no longer drawn or
// answered for, and the link reads null from then on.
#pragma once

#include "model/guide_line.h"
#include "model/tracker.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/value.h"
#include "platform/gfx/color.h"
#include "platform/layers/layer.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

class KXCanvasLayer;
class KXGraph;
class KXPhoto;
class KXShape;
class KXShapeLayer;

// Posted when the user turns the margin box on or off; the overlay redraws.
inline const QString KXShowMarginBoxChanged = QStringLiteral("KXShowMarginBoxChanged");
// The user setting that shows the page's margin rectangle as a thin blue box.
inline const QString KXShowMarginBox = QStringLiteral("KXShowMarginBox");

// What the overlay shows when no drag or crop is under way.
enum KXAuxiliaryDrawMode : int {
    KXAuxiliaryDrawModeNormal = 1,      // selection handles
    KXAuxiliaryDrawModeControlNodes = 2,  // nodes of paths and lines only
    KXAuxiliaryDrawModeEditable = 3,      // editable shape handles only
};

class KXAuxiliaryLayer : public kx::Layer {
public:
    KXAuxiliaryLayer();
    ~KXAuxiliaryLayer() override;

    // ---- what the canvas view sets ----
    // The page layer shown; every page rectangle is converted from its space into this layer's.
    KXCanvasLayer* canvasLayer() const;
    void setCanvasLayer(KXCanvasLayer* layer);

    // Guide lines in this layer's space. They stay until clearLine(): the canvas view clears them at the
    // next drag step, at mouse-up and at key-up. Drawing never empties them, so a repaint for any other
    // reason (an expose, a scroll) shows them still.
    void addLine(const KXLine& line);
    void clearLine();
    bool hasLine() const { return !m_lines.empty(); }
    const std::vector<KXLine>& lines() const { return m_lines; }

    // The rubber-band marquee in this layer's space; not drawn while empty.
    kx::Rect selectionFrame() const { return m_selectionFrame; }
    void setSelectionFrame(const kx::Rect& frame) { m_selectionFrame = frame; }

    int drawMode() const { return m_drawMode; }
    void setDrawMode(int mode) { m_drawMode = mode; }

    // The graph being dragged, resized or rotated (weak), and which of its handles: 0 to 7 resize nodes,
    // 8 the rotate node, 9 the body or none (the value before any drag).
    KXGraph* draggingGraph() const;
    void setDraggingGraph(KXGraph* graph);
    KXTrackerNode draggingNode() const { return m_draggingNode; }
    void setDraggingNode(KXTrackerNode node) { m_draggingNode = node; }
    // The shape handle under the mouse when the drag began ("element").
    const std::optional<kx::ValueDictionary>& dragEventDictionary() const { return m_dragEventDictionary; }
    void setDragEventDictionary(std::optional<kx::ValueDictionary> info) { m_dragEventDictionary = std::move(info); }

    // The photo layer that a drop would fill (weak); redraws only when it changes.
    KXShapeLayer* replacingLayer() const;
    void setReplacingLayer(KXShapeLayer* layer);
    // The photo field being cropped (weak).
    KXPhoto* croppingPhoto() const;
    void setCroppingPhoto(KXPhoto* photo);
    // The last mouse position over a shape, in that shape's own unflipped coordinates.
    kx::Point mousePoint() const { return m_mousePoint; }
    void setMousePoint(const kx::Point& point) { m_mousePoint = point; }

    // Handle colours: inactive node fill, active node fill, node outline.
    const kx::Color& unSelFillColor() const { return m_unSelFillColor; }
    const kx::Color& selFillColor() const { return m_selFillColor; }
    const kx::Color& strokeColor() const { return m_strokeColor; }
    // The handles around a cropped photo's whole image.
    KXTracker& cropTracker1() { return m_cropTracker1; }

    // ---- display ----
    // While locked, requests to redisplay are ignored.
    void lockDisplay() { m_displayLocked = true; }
    void unlockDisplay() { m_displayLocked = false; }
    bool isDisplayLocked() const { return m_displayLocked; }
    // Reports for repainting what the overlay showed at its last paint and what it would show now, unless
    // locked. Nothing is reported when both are empty.
    void setNeedsDisplay() override;
    // The area, in this layer's space, that a paint now could cover (a generous bound); null when nothing
    // would be drawn.
    kx::Rect paintExtent() const;
    // The same area as the separate pieces that make it up (the margin, each graph's marks, each guide line,
    // the marquee, the drop highlight), in this layer's space.
    std::vector<kx::Rect> paintPieces() const;
    // Sets the frame without implicit actions and redraws.
    void setFrame(const kx::Rect& frame) override;
    // No cached bitmap is made: the overlay is painted directly by paint().
    kx::Rect displayArea() const override { return kx::Rect::null(); }
    // The same drawing as paint(), for callers that draw layers into contexts themselves.
    void drawInContext(kx::BitmapContext& context) override;

    // Draws the overlay now into a context whose user space is this layer's coordinates. Changes nothing of
    // the page, its graphs or this layer's fields.
    void paint(kx::BitmapContext& context);

    // ---- questions of the canvas view ----
    // The crop handle under a point of the page layer's space: 0 to 7, or 9 when none (or no crop under way
    // in render mode 1).
    KXTrackerNode cropTrackNodeAtPoint(const kx::Point& point);
    // The direction of a crop handle for the cropped photo's angle; 0 when no photo is in a crop mode.
    double angleOfCropTrackNode(KXTrackerNode node) const;
    // Fills and then strokes an ellipse in the rectangle.
    void drawNodeInContext(kx::BitmapContext& context, const kx::Rect& rect, const kx::Color& fill,
                           const kx::Color& stroke) const;

    // ---- handles of reshapable shapes, drawn in the shape's rotated frame ----
    // Special (parametric) shapes: their own handles (rounded corner, arrow notch, bubble corner, tip and
    // tail base, polygon and star counts with the guide circle while that handle is dragged).
    virtual void drawSpecialTrackerOfShape(KXShape* shape, kx::BitmapContext& context);
    // Lines, curves and arrow lines: their end nodes (and a curve's bend node), the active one filled with
    // the active colour.
    virtual void drawHandlerOfSymbolShape(KXShape* shape, kx::BitmapContext& context);
    // Pen-drawn paths: a node on each element's end point (the selected one in the active colour), the
    // insertion hint of the segment under the mouse while a node is selected, and the selected node's
    // control points while the path shows them.
    virtual void drawHandlerOfCustomShape(KXShape* shape, kx::BitmapContext& context);
    // Draw mode 2: paths and lines only, no selection rectangle.
    void drawControlNodesInContext(kx::BitmapContext& context);
    // Draw mode 3: special shapes, paths and lines with their handles, no selection rectangle.
    void drawEditableNodesModeInContext(kx::BitmapContext& context);

private:
    // A weak link to an object owned elsewhere by shared pointer: null once the object is gone.
    template <class T, class Base>
    struct WeakLink {
        std::weak_ptr<Base> weak;
        T* raw = nullptr;
        T* get() const { return weak.expired() ? nullptr : raw; }
        void set(T* object);
    };

    // The transform from the page layer's space into this layer's (identity without a page).
    kx::AffineTransform pageToOverlay() const;
    // The transform from a layer's space into this layer's.
    kx::AffineTransform transformFromLayer(const kx::Layer* layer) const;
    kx::Rect fromPage(const kx::Rect& rect) const;
    // Turns the context by the graph's angle about the pivot of its layer's anchor point in R.
    void rotateAboutAnchor(kx::BitmapContext& context, KXGraph* graph, const kx::Rect& r) const;

    void drawMargin(kx::BitmapContext& context);
    void drawNormal(kx::BitmapContext& context);
    void drawDragging(kx::BitmapContext& context);
    void drawCropping(kx::BitmapContext& context);
    void drawGuideLines(kx::BitmapContext& context);
    void drawMarquee(kx::BitmapContext& context);
    void drawReplacingHighlight(kx::BitmapContext& context);
    // Sets up the context and the crop tracker for the cropped photo: origin at its frame, turned and
    // mirrored with its shape. False when there is nothing to draw (not in render mode 1).
    bool prepareCropTracker(kx::BitmapContext& context);
    // The handles of every unlocked selected shape, each in its turned frame, as a mode asks.
    void drawShapeHandles(kx::BitmapContext& context, bool special, bool paths, bool lines);
    // Saves the state and sets up the shape's frame in this space, mirrored along its flips; returns the
    // frame (rounded). Pair with restoreGState().
    kx::Rect beginShapeFrame(KXShape* shape, kx::BitmapContext& context) const;

    WeakLink<KXCanvasLayer, kx::Layer> m_canvasLayer;
    WeakLink<KXGraph, kx::Object> m_draggingGraph;
    WeakLink<KXShapeLayer, kx::Layer> m_replacingLayer;
    WeakLink<KXPhoto, kx::Object> m_croppingPhoto;

    std::vector<KXLine> m_lines;
    kx::Rect m_selectionFrame;
    bool m_displayLocked = false;
    int m_drawMode = KXAuxiliaryDrawModeNormal;
    kx::Color m_unSelFillColor;
    kx::Color m_selFillColor;
    kx::Color m_strokeColor;
    KXTracker m_cropTracker1;
    KXTrackerNode m_draggingNode = KXTrackerNodeNone;
    std::optional<kx::ValueDictionary> m_dragEventDictionary;
    kx::Point m_mousePoint;
    kx::NotificationToken m_marginBoxToken;
    // What the last paint could cover, piece by piece.
    std::vector<kx::Rect> m_paintedPieces;
};
