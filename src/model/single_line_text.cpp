#include "model/single_line_text.h"

#include "platform/gfx/bitmap_context.h"

#include <QCoreApplication>
#include <QFont>
#include <QGuiApplication>
#include <QGlyphRun>
#include <QImage>
#include <QPainter>
#include <QRawFont>
#include <QTextLayout>

#include <cmath>

namespace {
// Sizes are points at 72 dpi whatever the screen: the text is shaped for a device of that resolution, so
// one point is one unit of the drawing space.
constexpr int kDotsPerMeterAt72Dpi = 2835;
// The line is never wrapped; this only has to exceed any width a line can reach at the reference size.
constexpr double kUnboundedLineWidth = 1e7;
// Font engines round sizes to whole pixels. Text is therefore laid out at this one size and scaled to the
// size asked for: without hinting, outlines and advances scale exactly, so any fractional size measures and
// draws true to its design.
constexpr double kReferenceSize = 256;

QFont lineFont(const QString& family, double pointSize) {
    QFont font;
    if (!family.isEmpty())
        font.setFamily(family);
    font.setPointSizeF(pointSize);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::ForceOutline);
    // Any letter spacing turns the shaper's ligatures off; 100 percent leaves the advances (and the
    // kerning) as they are.
    font.setLetterSpacing(QFont::PercentageSpacing, 100);
    return font;
}
}  // namespace

SingleLineText::SingleLineText(const QString& text, const QString& fontFamily, double pointSize) {
    if (text.isEmpty() || !std::isfinite(pointSize) || pointSize <= 0)
        return;
    // Fonts exist only in a graphical application; elsewhere (a command-line tool reading projects) there is
    // nothing to draw with.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return;
    QImage device(1, 1, QImage::Format_ARGB32_Premultiplied);
    device.setDotsPerMeterX(kDotsPerMeterAt72Dpi);
    device.setDotsPerMeterY(kDotsPerMeterAt72Dpi);
    m_scale = pointSize / kReferenceSize;
    m_layout = std::make_unique<QTextLayout>(text, lineFont(fontFamily, kReferenceSize), &device);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setUseDesignMetrics(true);
    m_layout->setTextOption(option);
    m_layout->setCacheEnabled(true);
    m_layout->beginLayout();
    QTextLine line = m_layout->createLine();
    if (line.isValid())
        line.setLineWidth(kUnboundedLineWidth);
    m_layout->endLayout();
    if (!line.isValid())
        return;
    const QList<QGlyphRun> runs = line.glyphRuns();
    for (const QGlyphRun& run : runs)
        m_glyphCount += int(run.glyphIndexes().size());
    if (m_glyphCount == 0)
        return;
    m_width = line.horizontalAdvance() * m_scale;
    const QRawFont last = runs.last().rawFont();
    m_ascent = last.ascent() * m_scale;
    m_descent = last.descent() * m_scale;
    m_lineAscent = line.ascent();
    m_lineHeight = (line.ascent() + line.descent()) * m_scale;
}

SingleLineText::~SingleLineText() = default;

void SingleLineText::draw(kx::BitmapContext& context, const kx::Point& origin, const kx::Color& color) const {
    if (!hasGlyphs() || color.isNull())
        return;
    QTextLine line = m_layout->lineAt(0);
    const QList<QGlyphRun> runs = line.glyphRuns();
    const QColor pen = color.toQColor();
    context.drawWithPainter([&](QPainter& painter) {
        painter.save();
        // The painter's space is y up; glyphs are drawn in a y-down space whose origin is the baseline,
        // scaled from the reference size.
        painter.translate(origin.x, origin.y);
        painter.scale(m_scale, -m_scale);
        painter.setPen(pen);
        painter.setRenderHint(QPainter::TextAntialiasing, true);
        // Glyph positions are relative to the top of the line, the baseline lying at its ascent (at the
        // reference size).
        for (const QGlyphRun& run : runs)
            painter.drawGlyphRun(QPointF(0, -m_lineAscent), run);
        painter.restore();
    });
}
