#include "platform/text/glyph_drawing.h"

#include "platform/gfx/bitmap_context.h"

#include <QHash>
#include <QPainter>
#include <QRawFont>

namespace kx {

namespace {

// Whether a font draws its glyphs from colour bitmaps (as colour emoji fonts do) rather than outlines. Such
// a font has no outline to give, and asking its shared face for one leaves that face at another size, which
// later layouts and drawings of the font then inherit. Known per font and thread, so that a large colour
// table is looked at once; the fonts kept as keys hold their faces, so no key ever stands for another font.
// The font's names are not used: a damaged face may have none, and asking for them then crashes inside Qt.
bool drawsFromColourBitmaps(const QRawFont& font) {
    thread_local QHash<QRawFont, bool> known;
    const auto at = known.constFind(font);
    if (at != known.cend())
        return *at;
    if (known.size() >= 256)
        known.clear();
    const bool bitmaps = !font.fontTable("CBLC").isEmpty() || !font.fontTable("sbix").isEmpty();
    known.insert(font, bitmaps);
    return bitmaps;
}

}  // namespace

QPainterPath glyphRunOutlines(const QGlyphRun& run, const QPointF& offset) {
    QPainterPath outlines;
    const QRawFont font = run.rawFont();
    // A run whose font could not be loaded (a damaged or missing face) has no outlines to give.
    if (!font.isValid() || drawsFromColourBitmaps(font))
        return outlines;
    const auto indexes = run.glyphIndexes();
    const auto positions = run.positions();
    for (qsizetype i = 0; i < indexes.size() && i < positions.size(); ++i)
        outlines.addPath(font.pathForGlyph(indexes[i]).translated(positions[i] + offset));
    return outlines;
}

GlyphPainter::GlyphPainter(BitmapContext& context) : m_context(context) {}

GlyphPainter::~GlyphPainter() {
    flush();
}

void GlyphPainter::fillGlyphs(const QGlyphRun& run, const QPointF& offset, const Color& color) {
    if (color.isNull() || run.isEmpty() || !run.rawFont().isValid())
        return;
    m_pending.push_back({run, offset, QRectF(), color.toQColor()});
}

void GlyphPainter::fillRect(const Rect& rect, const Color& color) {
    if (color.isNull() || rect.isEmpty())
        return;
    m_pending.push_back({QGlyphRun(), QPointF(), QRectF(rect.origin.x, rect.origin.y, rect.size.width, rect.size.height),
                         color.toQColor()});
}

void GlyphPainter::strokeOutlines(const QPainterPath& outlines, const Color& color, double lineWidth) {
    flush();
    if (outlines.isEmpty() || color.isNull())
        return;
    m_context.saveGState();
    m_context.setStrokeColor(color);
    m_context.setLineWidth(lineWidth);
    m_context.beginPath();
    m_context.addPath(Path::fromQPainterPath(outlines));
    m_context.strokePath();
    m_context.restoreGState();
}

void GlyphPainter::flush() {
    if (m_pending.empty())
        return;
    m_context.drawWithPainter([&](QPainter& painter) {
        painter.setRenderHint(QPainter::TextAntialiasing, painter.testRenderHint(QPainter::Antialiasing));
        for (const Fill& fill : m_pending) {
            if (fill.run.isEmpty()) {
                painter.fillRect(fill.rect, fill.color);
                continue;
            }
            painter.setPen(fill.color);
            painter.drawGlyphRun(fill.offset, fill.run);
        }
    });
    m_pending.clear();
}

}  // namespace kx
