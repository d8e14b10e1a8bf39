// Putting laid-out glyphs on a bitmap context.
//
// Filled glyphs are drawn as glyphs, not as outlines: the painter rasterises them from the font's glyph
// cache, and glyphs that have colours of their own (emoji) keep them, while an outline path of such a
// glyph is empty. Outline paths are made only where a stroke needs them.
//
// Glyphs, rectangles and strokes are drawn in the order they are given; consecutive fills share one
// painter pass on the context, which is what makes a long text cheap to draw.
#pragma once

#include "platform/foundation/geometry.h"
#include "platform/gfx/color.h"

#include <QGlyphRun>
#include <QPainterPath>

#include <vector>

namespace kx {

class BitmapContext;

// The outlines of a glyph run moved by `offset`, for strokes and glows.
QPainterPath glyphRunOutlines(const QGlyphRun& run, const QPointF& offset);

class GlyphPainter {
public:
    // Draws into the context's current user space, taken as pointing y down (the caller has flipped it).
    explicit GlyphPainter(BitmapContext& context);
    ~GlyphPainter();  // draws what is still pending
    GlyphPainter(const GlyphPainter&) = delete;
    GlyphPainter& operator=(const GlyphPainter&) = delete;

    // Fills the glyphs of `run` moved by `offset` in `color` (colour glyphs in their own colours).
    void fillGlyphs(const QGlyphRun& run, const QPointF& offset, const Color& color);
    void fillRect(const Rect& rect, const Color& color);
    // Strokes outlines with the context's line style, in `color` at `lineWidth` user-space units.
    void strokeOutlines(const QPainterPath& outlines, const Color& color, double lineWidth);
    // Draws the pending fills now.
    void flush();

private:
    struct Fill {
        QGlyphRun run;  // empty for a rectangle
        QPointF offset;
        QRectF rect;
        QColor color;
    };
    BitmapContext& m_context;
    std::vector<Fill> m_pending;
};

}  // namespace kx
