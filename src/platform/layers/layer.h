// A retained layer: one node of the tree that the canvas shows. Geometry follows the usual layer model in a
// y-up space (nothing is flipped):
//
//   - `bounds` is the layer's own coordinate space; `anchorPoint` is a point in unit coordinates of the bounds
//     (0,0 the bottom-left corner, 1,1 the top-right one, default the centre);
//   - the anchor point sits at `position`, in the superlayer's coordinate space, and the layer's affine
//     transform turns the layer about it: p_super = position + T(p - (bounds.origin + anchorPoint * bounds.size));
//   - `frame` is the bounding box of the transformed bounds in the superlayer's space.
//
// Sublayers are drawn in array order (later ones on top), after the layer's background colour and contents.
// Hidden layers and their subtrees are not drawn. Opacity applies to the layer with its sublayers and shadow
// as one group. Masking to bounds clips contents, sublayers and shadow to the bounds. The shadow is cast by
// what the layer draws with its sublayers (or by the shadow path when one is set); its offset and radius are
// in the layer's own space, so it turns with the layer's transform.
//
// Contents: an image stretched over the bounds. A layer marked with setNeedsDisplay() makes new contents the
// next time it is displayed (displayIfNeeded(), or any rendering of a tree holding it): a bitmap of the bounds
// size times `contentsScale` pixels, in which drawInContext() draws in the layer's own y-up coordinates with
// the bounds origin at the bitmap's bottom-left corner. Until then the cached contents are reused.
//
// Layers are shared: a superlayer keeps its sublayers alive, and a layer knows its superlayer by a plain
// pointer that the superlayer clears. Layers never animate; there are no implicit actions. Main thread only.
#pragma once

#include "platform/foundation/geometry.h"
#include "platform/gfx/color.h"
#include "platform/gfx/image.h"
#include "platform/gfx/path.h"

#include <memory>
#include <optional>
#include <vector>

namespace kx {

class BitmapContext;
class LayerHost;
struct LayerDrawingState;
struct LayerRenderCache;

class Layer : public std::enable_shared_from_this<Layer> {
public:
    Layer();
    virtual ~Layer();
    Layer(const Layer&) = delete;
    Layer& operator=(const Layer&) = delete;

    // --- Geometry ---
    Rect bounds() const { return m_bounds; }
    virtual void setBounds(const Rect& bounds);
    Point position() const { return m_position; }
    virtual void setPosition(const Point& position);
    Point anchorPoint() const { return m_anchorPoint; }
    virtual void setAnchorPoint(const Point& anchorPoint);
    AffineTransform affineTransform() const { return m_transform; }
    virtual void setAffineTransform(const AffineTransform& transform);

    // The bounding box of the transformed bounds in the superlayer's space.
    Rect frame() const;
    // Takes the rectangle's size as the bounds size (the bounds origin stays) and places the anchor point at
    // the matching point of the rectangle. With a transform that does not keep axis-aligned rectangles the
    // resulting frame() is the bounding box of the turned layer, not the rectangle given.
    virtual void setFrame(const Rect& frame);

    // The mapping from this layer's coordinates into its superlayer's.
    AffineTransform transformToSuperlayer() const;

    // Point and rectangle conversion between layers of one tree, through their nearest common ancestor.
    // A null layer stands for this layer's root layer. Layers of different trees are taken to share their
    // roots' coordinate spaces (as when both trees are drawn into one context). Rectangles convert to the
    // bounding box of their transformed corners.
    Point convertPointFromLayer(const Point& point, const Layer* layer) const;
    Point convertPointToLayer(const Point& point, const Layer* layer) const;
    Rect convertRectFromLayer(const Rect& rect, const Layer* layer) const;
    Rect convertRectToLayer(const Rect& rect, const Layer* layer) const;

    // Whether the point, in this layer's coordinates, lies inside the bounds.
    virtual bool containsPoint(const Point& point) const;

    // --- Appearance ---
    double opacity() const { return m_opacity; }
    virtual void setOpacity(double opacity);  // clamped to 0...1
    bool isHidden() const { return m_hidden; }
    virtual void setHidden(bool hidden);
    bool masksToBounds() const { return m_masksToBounds; }
    void setMasksToBounds(bool masks);
    Color backgroundColor() const { return m_backgroundColor; }  // null: no background
    void setBackgroundColor(const Color& color);

    Image contents() const { return m_contents; }
    virtual void setContents(const Image& contents);
    double contentsScale() const { return m_contentsScale; }
    void setContentsScale(double scale);  // ignored unless positive and finite

    Color shadowColor() const { return m_shadowColor; }  // opaque black by default
    void setShadowColor(const Color& color);
    double shadowOpacity() const { return m_shadowOpacity; }  // 0 by default: no shadow
    void setShadowOpacity(double opacity);                    // clamped to 0...1
    Size shadowOffset() const { return m_shadowOffset; }      // (0, -3) by default: below the layer
    void setShadowOffset(const Size& offset);
    // The blur of the shadow, measured as a drawing context's shadow blur; 3 by default.
    double shadowRadius() const { return m_shadowRadius; }
    void setShadowRadius(double radius);  // negative values count as 0
    const std::optional<Path>& shadowPath() const { return m_shadowPath; }
    void setShadowPath(std::optional<Path> path);
    // Whether the layer casts a shadow that can be seen.
    bool hasVisibleShadow() const;

    // --- Tree ---
    Layer* superlayer() const { return m_superlayer; }
    const std::vector<std::shared_ptr<Layer>>& sublayers() const { return m_sublayers; }
    // The topmost ancestor (this layer when it has no superlayer).
    Layer* rootLayer();
    const Layer* rootLayer() const;
    // Whether `layer` is this layer or lies in its subtree.
    bool isAncestorOf(const Layer* layer) const;

    // Each insertion first takes the layer out of its current superlayer (this one included), then finds its
    // place among the remaining sublayers. Inserting a layer into itself or into one of its own descendants
    // would make a cycle and is refused; so is a null layer.
    void addSublayer(std::shared_ptr<Layer> layer);
    // An index past the end appends.
    virtual void insertSublayer(std::shared_ptr<Layer> layer, unsigned index);
    // Next to a sibling; when `sibling` is not (or no longer) a sublayer of this layer the layer is appended.
    void insertSublayerBelow(std::shared_ptr<Layer> layer, const Layer* sibling);
    void insertSublayerAbove(std::shared_ptr<Layer> layer, const Layer* sibling);
    // Takes the layer out of its superlayer; the layer is destroyed when nothing else holds it.
    void removeFromSuperlayer();
    // Position of `layer` among the sublayers, or -1.
    int indexOfSublayer(const Layer* layer) const;

    // --- Display ---
    virtual void setNeedsDisplay();
    // Marks a part of the bounds: the next display keeps the rest of the cached contents.
    void setNeedsDisplayInRect(const Rect& rect);
    bool needsDisplay() const { return m_needsDisplay; }
    // When set, a change of the bounds size marks the layer for display.
    bool needsDisplayOnBoundsChange() const { return m_needsDisplayOnBoundsChange; }
    void setNeedsDisplayOnBoundsChange(bool on) { m_needsDisplayOnBoundsChange = on; }
    // Makes new contents now by calling drawInContext(); clears the mark.
    virtual void display();
    // display() when the layer is marked; only this layer, not its sublayers.
    virtual void displayIfNeeded();
    // Draws the layer's contents in its own coordinates. The base layer draws nothing.
    virtual void drawInContext(BitmapContext& context);
    // The part of the bounds that display() paints: its backing image covers this part only and the rest
    // stays clear. A layer whose drawing can only reach part of large bounds narrows it; the base answers
    // the bounds.
    virtual Rect displayArea() const { return m_bounds; }

    // --- Layout ---
    void setNeedsLayout() { m_needsLayout = true; }
    bool needsLayout() const { return m_needsLayout; }
    // Lays out this layer when marked, then its sublayers that are marked.
    void layoutIfNeeded();
    // Places the sublayers; called by layoutIfNeeded(). The base layer leaves them where they are.
    virtual void layoutSublayers();

    // --- Rendering ---
    // Draws the layer with its sublayers into the context, in the layer's own coordinate space (its position
    // and transform are not applied; its opacity, mask and shadow are). Lays out and displays what needs it
    // first. A hidden layer draws nothing.
    void renderInContext(BitmapContext& context);

    // --- Host ---
    // Attaches the host that hears about every visible change in this layer's subtree, in this layer's
    // coordinates. Not owned; detach it (nullptr) before the host goes away.
    void setHost(LayerHost* host);
    LayerHost* host() const { return m_host; }

    // The area the layer and its visible sublayers may paint, with shadows, in this layer's coordinates
    // (its own opacity and visibility are not considered; hidden sublayers are left out).
    Rect visualExtent() const;

protected:
    // Called right after `layer` entered this layer's sublayers, and right after it left them (a layer moved
    // within this layer leaves and enters again). A layer that keeps facts about its sublayers up to date
    // overrides them; the base does nothing. Not called while this layer is being destroyed.
    virtual void didInsertSublayer(Layer& layer);
    virtual void didRemoveSublayer(Layer& layer);

private:
    friend class LayerRenderer;
    friend void appendDrawingState(const Layer& layer, bool root, std::vector<LayerDrawingState>& states);

    bool canAdopt(const Layer* layer) const;
    // Inserts a layer that has no superlayer.
    void insertSublayerAt(std::shared_ptr<Layer> layer, std::size_t index);
    // Reports to the hosts above that `rect` (in this layer's coordinates) must be painted again.
    void reportRepaint(const Rect& rect) const;
    // Reports the whole visual extent of this layer.
    void reportVisualChange() const;
    bool hasHostAbove() const;
    // Area drawn by the layer itself (background and contents) with its shadow, in its coordinates.
    Rect shadowExtentFor(const Rect& area) const;
    // Lays out and displays this subtree (visible layers only), as a rendering needs.
    void prepareForRendering();
    // No contents after a display that could not be made.
    void dropDisplayedContents();
    // Finds the painted part of freshly displayed contents (see m_paintedContents).
    void cropPaintedContents(double scale);
    // Where the painted part lies in the layer now (it is kept relative to the bounds' origin).
    Rect paintedArea() const;

    Rect m_bounds;
    Point m_position;
    Point m_anchorPoint{0.5, 0.5};
    AffineTransform m_transform;
    double m_opacity = 1.0;
    bool m_hidden = false;
    bool m_masksToBounds = false;
    Color m_backgroundColor;

    Image m_contents;
    // Contents made by display(): drawn at their own point size from the bounds origin, and reusable by a
    // partial redisplay. Contents set from outside are stretched over the bounds.
    bool m_contentsFromDisplay = false;
    Size m_displayedPointSize;
    Point m_displayedOffset;  // where the displayed contents start, relative to the bounds' origin
    // The part of displayed contents that holds visible pixels, cropped from them, and where it lies in the
    // layer (null: nothing visible). Rendering draws this part only, and the layer's visual extent counts only
    // it, so a layer that paints a small picture in large bounds costs the picture's size to draw and to
    // repaint around. The area is relative to the bounds' origin.
    Image m_paintedContents;
    Rect m_paintedArea = Rect::null();
    double m_contentsScale = 1.0;

    Color m_shadowColor = Color::srgb(0, 0, 0, 1);
    double m_shadowOpacity = 0.0;
    Size m_shadowOffset{0, -3};
    double m_shadowRadius = 3.0;
    std::optional<Path> m_shadowPath;

    Layer* m_superlayer = nullptr;
    std::vector<std::shared_ptr<Layer>> m_sublayers;

    bool m_needsDisplay = false;
    Rect m_dirtyRect = Rect::null();  // null: the whole bounds
    bool m_needsDisplayOnBoundsChange = false;
    bool m_needsLayout = false;

    LayerHost* m_host = nullptr;

    // The picture of the layer drawn as one piece, kept by rendering (see layer_render_cache.h).
    mutable std::unique_ptr<LayerRenderCache> m_renderCache;
};

}  // namespace kx
