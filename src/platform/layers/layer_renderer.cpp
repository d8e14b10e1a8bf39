#include "platform/layers/layer_renderer.h"

#include "platform/gfx/bitmap_context.h"
#include "platform/layers/layer.h"
#include "platform/layers/layer_render_cache.h"
#include "platform/layers/rectangle_shadow.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <optional>

namespace kx {

namespace {

std::atomic<std::uint64_t> g_shadowBlurs{0};
std::atomic<bool> g_pictureCacheEnabled{true};

}  // namespace

// Composites layers through the drawing context's state: transforms place each layer, clips mask it and the
// context's alpha carries opacity. A layer with a shadow, or with an opacity below 1 over several pieces, is
// first drawn whole into a bitmap of its own, which then casts the shadow and is composited once; that
// picture is kept with the layer (layer_render_cache.h), so that a layer that only moved costs a composite.
class LayerRenderer {
public:
    // Draws `layer` and its subtree; with `placed` the layer is first placed in the current user space as in
    // its superlayer, otherwise the current user space is the layer's own.
    static void draw(BitmapContext& context, const Layer& layer, bool placed) {
        if (layer.m_hidden || layer.m_opacity <= 0)
            return;
        context.saveGState();
        if (placed)
            context.concat(layer.transformToSuperlayer());
        if (layer.visualExtent().intersects(context.clipBoundingBox()))
            drawPlaced(context, layer);
        context.restoreGState();
    }

private:
    static void drawPlaced(BitmapContext& context, const Layer& layer) {
        if (layer.m_masksToBounds)
            context.clipToRect(layer.m_bounds);
        const double alpha = context.alpha() * layer.m_opacity;
        const bool shadow = layer.hasVisibleShadow();
        // With more than one thing to draw, opacity applies to them as one picture: no overlap shows through.
        const bool group = layer.m_opacity < 1 && partCount(layer) > 1;
        context.setAlpha(alpha);
        if (!shadow && !group) {
            drawContent(context, layer);
            return;
        }
        drawGrouped(context, layer, shadow);
    }

    // One layer drawn as one piece: where it lies in device pixels and how its shadow falls there.
    struct Piece {
        const Layer& layer;
        AffineTransform ctm;
        Rect deviceExtent;
        bool shadow = false;
        Size offset;      // of the shadow, in device pixels
        double blur = 0;  // of the shadow, in device pixels
        // The shadow path as a rectangle of device pixels, when it is one: its shadow is worked out directly.
        std::optional<Rect> shadowRectangle;
    };

    static Piece makePiece(const Layer& layer, const AffineTransform& ctm, bool shadow) {
        Piece piece{layer, ctm, ctm.apply(layer.visualExtent()), shadow, ctm.apply(layer.m_shadowOffset),
                    layer.m_shadowRadius * lengthScale(ctm), std::nullopt};
        // A rectangle stays one in device pixels when the transform only scales and moves.
        if (shadow && layer.m_shadowPath && ctm.b == 0 && ctm.c == 0) {
            if (const std::optional<Rect> rect = axisAlignedRectangle(*layer.m_shadowPath))
                piece.shadowRectangle = ctm.apply(*rect);
        }
        return piece;
    }

    // Draws the layer as one picture of its content over its shadow, composited once with the layer's
    // opacity: the picture is kept for the next drawing when the layer is small enough (a layer that only
    // moved is then composited again as it is), otherwise it is made anew for the visible device pixels only,
    // which keeps a layer's cost to what shows of it. A layer with a rectangular shadow keeps no picture: its
    // shadow costs no blur, and where its content is opaque it needs no picture at all.
    static void drawGrouped(BitmapContext& context, const Layer& layer, bool shadow) {
        const AffineTransform ctm = context.ctm();
        const Rect clipBox = context.clipBoundingBox();
        if (clipBox.isNull() || !ctm.isInvertible())
            return;
        const Piece piece = makePiece(layer, ctm, shadow);
        const Rect contextBox(0, 0, context.width(), context.height());
        // Two pixels of slack for the faint edge of a blur.
        const Rect visible =
            piece.deviceExtent.insetBy(-2, -2).intersected(ctm.apply(clipBox)).intersected(contextBox).integral();
        if (visible.isEmpty())
            return;
        if (piece.shadowRectangle && drawAroundOpaqueInterior(context, piece, visible))
            return;

        Rect box = visible;
        Image picture;
        if (piece.shadowRectangle || !keptPicture(piece, picture, box))
            picture = composePicture(piece, visible);
        context.concat(ctm.inverted());
        compositeOnWholePixels(context, box, picture);
    }

    // Composites a picture of device pixels (the context's user space being device pixels): the bitmap lies
    // on whole pixels and is copied, not resampled.
    static void compositeOnWholePixels(BitmapContext& context, const Rect& box, const Image& picture) {
        context.saveGState();
        context.setInterpolationQuality(InterpolationQuality::None);
        context.drawImage(box, picture);
        context.restoreGState();
    }

    // A layer at full alpha whose opaque background covers whole device pixels looks there like its content
    // alone, whatever lies under it: those pixels are drawn straight into the context, and only the pixels
    // around them (the layer's edge and its shadow) go through a picture. False, having drawn nothing, when
    // the layer has no such pixels in view.
    static bool drawAroundOpaqueInterior(BitmapContext& context, const Piece& piece, const Rect& visible) {
        const Layer& layer = piece.layer;
        const Color& background = layer.m_backgroundColor;
        if (context.alpha() < 1 || background.isNull() || background.alpha() < 1 || piece.ctm.b != 0 ||
            piece.ctm.c != 0)
            return false;
        const Rect bounds = piece.ctm.apply(layer.m_bounds);
        const double left = std::ceil(bounds.minX()), bottom = std::ceil(bounds.minY());
        const Rect interior =
            Rect(left, bottom, std::floor(bounds.maxX()) - left, std::floor(bounds.maxY()) - bottom).intersected(visible);
        if (interior.isNull() || interior.isEmpty())
            return false;
        context.saveGState();
        context.concat(piece.ctm.inverted());
        context.clipToRect(interior);
        context.concat(piece.ctm);
        drawContent(context, layer);
        context.restoreGState();
        // The rest of the visible pixels: the rows above and below the interior, and the columns beside it.
        const Rect strips[] = {
            Rect(visible.minX(), interior.maxY(), visible.width(), visible.maxY() - interior.maxY()),
            Rect(visible.minX(), visible.minY(), visible.width(), interior.minY() - visible.minY()),
            Rect(visible.minX(), interior.minY(), interior.minX() - visible.minX(), interior.height()),
            Rect(interior.maxX(), interior.minY(), visible.maxX() - interior.maxX(), interior.height()),
        };
        context.saveGState();
        context.concat(piece.ctm.inverted());
        for (const Rect& strip : strips) {
            if (strip.size.width >= 1 && strip.size.height >= 1)
                compositeOnWholePixels(context, strip, composePicture(piece, strip));
        }
        context.restoreGState();
        return true;
    }

    // The layer's picture over its whole device extent, from its cache when that still holds, otherwise made
    // and kept. False when the picture may not be kept (too large, or too much kept already).
    static bool keptPicture(const Piece& piece, Image& picture, Rect& box) {
        if (!g_pictureCacheEnabled.load())
            return false;
        const Layer& layer = piece.layer;
        std::vector<LayerDrawingState> state = subtreeDrawingState(layer);
        if (layer.m_renderCache) {
            if (const std::optional<Rect> placed = layer.m_renderCache->placedBox(state, piece.ctm)) {
                picture = layer.m_renderCache->picture;
                box = *placed;
                return true;
            }
            layer.m_renderCache.reset();
        }
        const Rect whole = piece.deviceExtent.insetBy(-2, -2).integral();
        if (whole.isNull() || !LayerRenderCache::mayKeep(whole.size.width * whole.size.height))
            return false;
        Image made = composePicture(piece, whole);
        if (made.isNull())
            return false;
        layer.m_renderCache = std::make_unique<LayerRenderCache>(std::move(state), piece.ctm, whole, made);
        picture = std::move(made);
        box = whole;
        return true;
    }

    // The layer's content drawn into a bitmap of its own, laid over its shadow (cast by that bitmap or by the
    // shadow path) in a second bitmap covering `box` of device pixels.
    static Image composePicture(const Piece& piece, const Rect& box) {
        const Layer& layer = piece.layer;
        const bool contentShadow = piece.shadow && !layer.m_shadowPath;
        // What can throw a shadow into the box (a blur reaches 1.5 times its radius).
        const double reach = std::ceil(1.5 * piece.blur) + 2;
        const Rect shadowSourceArea =
            box.offsetBy(-piece.offset.width, -piece.offset.height).insetBy(-reach, -reach);
        const Rect contentBox =
            piece.deviceExtent.intersected(contentShadow ? box.united(shadowSourceArea) : box).integral();
        const Image content = drawOffscreen(contentBox, [&](BitmapContext& offscreen) {
            offscreen.concat(piece.ctm);
            if (layer.m_masksToBounds)
                offscreen.clipToRect(layer.m_bounds);
            drawContent(offscreen, layer);
        });

        return drawOffscreen(box, [&](BitmapContext& offscreen) {
            offscreen.setInterpolationQuality(InterpolationQuality::None);
            if (piece.shadow && piece.shadowRectangle)
                drawRectangleShadow(offscreen, piece, box);
            else if (piece.shadow && layer.m_shadowPath)
                drawPathShadow(offscreen, layer, piece.ctm, shadowSourceArea, piece.offset, piece.blur);
            if (contentShadow && !content.isNull()) {
                offscreen.setShadow(piece.offset, piece.blur, shadowColor(layer));
                ++g_shadowBlurs;
            }
            offscreen.drawImage(contentBox, content);
        });
    }

    // The shadow of a rectangular shadow path over the pixels of `area`, into a context whose user space is
    // device pixels.
    static void drawRectangleShadow(BitmapContext& context, const Piece& piece, const Rect& area) {
        const Rect& rect = *piece.shadowRectangle;
        const double reach = shadowSpread(piece.blur) + 1;
        const Rect shadowArea = rect.offsetBy(std::round(piece.offset.width), std::round(piece.offset.height))
                                    .insetBy(-reach, -reach)
                                    .intersected(area)
                                    .integral();
        if (shadowArea.isEmpty())
            return;
        const Image shadow = rectangleShadow(rect, piece.offset, piece.blur, shadowColor(piece.layer), shadowArea);
        context.saveGState();
        context.setInterpolationQuality(InterpolationQuality::None);
        context.drawImage(shadowArea, shadow);
        context.restoreGState();
    }

    // The shadow of the shadow path alone: the path's silhouette is drawn far to the left of the visible
    // pixels and its shadow is thrown back by the same whole number of pixels, so only the shadow lands where
    // it shows, where it would have fallen.
    static void drawPathShadow(BitmapContext& offscreen, const Layer& layer, const AffineTransform& ctm,
                               const Rect& sourceArea, const Size& offset, double blur) {
        const Path& path = *layer.m_shadowPath;
        if (path.isEmpty())
            return;
        const Rect box = ctm.apply(path.controlPointBoundingBox()).intersected(sourceArea).integral();
        const Image silhouette = drawOffscreen(box, [&](BitmapContext& shape) {
            shape.concat(ctm);
            shape.addPath(path);
            shape.setFillColor(Color::srgb(0, 0, 0, 1));
            shape.fillPath();
        });
        if (silhouette.isNull())
            return;
        const double shift = std::ceil(std::max(box.maxX(), 0.0) + 2 * blur + 16);
        offscreen.saveGState();
        offscreen.setShadow(Size(offset.width + shift, offset.height), blur, shadowColor(layer));
        offscreen.drawImage(box.offsetBy(-shift, 0), silhouette);
        offscreen.restoreGState();
        ++g_shadowBlurs;
    }

    // A bitmap covering `box` of device pixels (whole numbers, y up), drawn by `draw` with the user space set
    // to device pixels; null when the box is empty or too large.
    template <typename Draw>
    static Image drawOffscreen(const Rect& box, const Draw& draw) {
        // Also refuses boxes made of non-finite numbers from degenerate geometry.
        const double width = box.size.width, height = box.size.height;
        if (!(width >= 1 && height >= 1 && width <= 1e9 && height <= 1e9) || !std::isfinite(box.origin.x) ||
            !std::isfinite(box.origin.y))
            return Image();
        BitmapContext offscreen{int(width), int(height)};
        if (!offscreen.isValid())
            return Image();
        offscreen.translate(-box.origin.x, -box.origin.y);
        draw(offscreen);
        return offscreen.makeImage();
    }

    // Background, contents and visible sublayers: the pieces whose overlaps group opacity must hide.
    static int partCount(const Layer& layer) {
        int count = 0;
        if (!layer.m_backgroundColor.isNull() && layer.m_backgroundColor.alpha() > 0)
            ++count;
        if (!layer.m_contents.isNull())
            ++count;
        for (const std::shared_ptr<Layer>& sublayer : layer.m_sublayers) {
            if (!sublayer->m_hidden && sublayer->m_opacity > 0)
                ++count;
        }
        return count;
    }

    static void drawContent(BitmapContext& context, const Layer& layer) {
        const Color& background = layer.m_backgroundColor;
        if (!background.isNull() && background.alpha() > 0) {
            context.setFillColor(background);
            context.fillRect(layer.m_bounds);
        }
        if (layer.m_contentsFromDisplay) {
            // Displayed contents keep their pixel grid (their size is the bounds rounded up to whole pixels);
            // only their painted part is drawn.
            if (!layer.m_paintedContents.isNull())
                context.drawImage(layer.paintedArea(), layer.m_paintedContents);
        } else if (!layer.m_contents.isNull()) {
            // Contents set from outside fill the bounds.
            context.drawImage(layer.m_bounds, layer.m_contents);
        }
        for (const std::shared_ptr<Layer>& sublayer : layer.m_sublayers)
            draw(context, *sublayer, true);
    }

    // The shadow colour with the shadow opacity folded into its alpha.
    static Color shadowColor(const Layer& layer) {
        Color color = layer.m_shadowColor.convertedTo(ColorSpace::SRGB);
        return Color::srgb(color.red(), color.green(), color.blue(), color.alpha() * layer.m_shadowOpacity);
    }

    // Scale of the current transform's linear part, for lengths that must follow it.
    static double lengthScale(const AffineTransform& t) { return std::sqrt(std::fabs(t.a * t.d - t.b * t.c)); }
};

std::uint64_t renderedShadowBlurCount() {
    return g_shadowBlurs.load();
}

void setLayerPictureCacheEnabled(bool enabled) {
    g_pictureCacheEnabled = enabled;
}

void Layer::renderInContext(BitmapContext& context) {
    prepareForRendering();
    LayerRenderer::draw(context, *this, false);
}

Image renderLayerTree(Layer& root, double scale) {
    const Rect bounds = root.bounds();
    if (!(scale > 0) || !std::isfinite(scale))
        return Image();
    const double width = std::ceil(bounds.size.width * scale);
    const double height = std::ceil(bounds.size.height * scale);
    if (!(width >= 1 && height >= 1 && width <= 1e9 && height <= 1e9))
        return Image();
    BitmapContext context{int(width), int(height)};
    if (!context.isValid())
        return Image();
    context.scale(scale, scale);
    context.translate(-bounds.origin.x, -bounds.origin.y);
    root.renderInContext(context);
    return context.makeImage().withPointSize(bounds.size);
}

}  // namespace kx
