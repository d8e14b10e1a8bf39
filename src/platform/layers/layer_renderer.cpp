#include "platform/layers/layer_renderer.h"

#include "platform/gfx/bitmap_context.h"
#include "platform/layers/layer.h"

#include <algorithm>
#include <cmath>

namespace kx {

// Composites layers through the drawing context's state: transforms place each layer, clips mask it and the
// context's alpha carries opacity. A layer with a shadow, or with an opacity below 1 over several pieces, is
// first drawn whole into a bitmap of its own, which then casts the shadow and is composited once.
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

    // Draws the layer's content into a bitmap of its own, bounded to the device pixels that can show, lays it
    // over its shadow (cast by that bitmap or by the shadow path) in a second bitmap of the visible pixels,
    // and composites that once with the layer's opacity. Working on the visible pixels only keeps a layer's
    // cost to its own size.
    static void drawGrouped(BitmapContext& context, const Layer& layer, bool shadow) {
        const AffineTransform ctm = context.ctm();
        const Rect clipBox = context.clipBoundingBox();
        if (clipBox.isNull() || !ctm.isInvertible())
            return;
        const Rect contextBox(0, 0, context.width(), context.height());
        const Rect deviceExtent = ctm.apply(layer.visualExtent());
        // Two pixels of slack for the faint edge of a blur.
        const Rect visible =
            deviceExtent.insetBy(-2, -2).intersected(ctm.apply(clipBox)).intersected(contextBox).integral();
        if (visible.isEmpty())
            return;

        const Size offset = ctm.apply(layer.m_shadowOffset);
        const double blur = layer.m_shadowRadius * lengthScale(ctm);
        // What can throw a shadow into the visible pixels (a blur reaches 1.5 times its radius).
        const double reach = std::ceil(1.5 * blur) + 2;
        const Rect shadowSourceArea = visible.offsetBy(-offset.width, -offset.height).insetBy(-reach, -reach);
        const bool contentShadow = shadow && !layer.m_shadowPath;

        const Rect contentBox =
            deviceExtent.intersected(contentShadow ? visible.united(shadowSourceArea) : visible).integral();
        const Image content = drawOffscreen(contentBox, [&](BitmapContext& offscreen) {
            offscreen.concat(ctm);
            if (layer.m_masksToBounds)
                offscreen.clipToRect(layer.m_bounds);
            drawContent(offscreen, layer);
        });

        const Image composed = drawOffscreen(visible, [&](BitmapContext& offscreen) {
            offscreen.setInterpolationQuality(InterpolationQuality::None);
            if (shadow && layer.m_shadowPath)
                drawPathShadow(offscreen, layer, ctm, shadowSourceArea, offset, blur);
            if (contentShadow)
                offscreen.setShadow(offset, blur, shadowColor(layer));
            offscreen.drawImage(contentBox, content);
        });

        // Composite in device pixels: the bitmap lies on whole pixels and is copied, not resampled.
        context.concat(ctm.inverted());
        context.setInterpolationQuality(InterpolationQuality::None);
        context.drawImage(visible, composed);
    }

    // The shadow of the shadow path alone: the path's silhouette is drawn far to the left of the visible
    // pixels and its shadow is thrown back by the same distance, so only the shadow lands where it shows.
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
        const double shift = std::max(box.maxX(), 0.0) + 2 * blur + 16;
        offscreen.saveGState();
        offscreen.setShadow(Size(offset.width + shift, offset.height), blur, shadowColor(layer));
        offscreen.drawImage(box.offsetBy(-shift, 0), silhouette);
        offscreen.restoreGState();
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
