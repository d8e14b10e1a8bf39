// Column layout of a text field with vertical alignment, and the drawing of a plain text field.
//
// The owner's rectangles are in the page view's zoomed coordinates (y up); column rectangles are in
// unzoomed points in the text system's downward axis, measured from the top of the text area. A column's
// outline lives in the container's upward axis, so raising the outline by d while the column's frame moves
// down by d clips every line by the part of the outline at which it is finally drawn.
#include "graphics/color_utilities.h"
#include "graphics/geometry_utilities.h"
#include "model/canvas.h"
#include "model/column_info.h"
#include "model/shape.h"
#include "platform/gfx/bitmap_context.h"
#include "text/text.h"

#include <algorithm>
#include <cmath>

namespace {
// The alignment searches take at most this many steps; each step lays the text out again.
constexpr int kMaxAlignmentSteps = 64;

kx::Rect scaledRect(const kx::Rect& r, double z) {
    return {r.origin.x * z, r.origin.y * z, r.size.width * z, r.size.height * z};
}

kx::BezierPath translatedPath(const kx::BezierPath& path, double dy) {
    kx::BezierPath moved = path;
    moved.transform(kx::AffineTransform::makeTranslation(0, dy));
    return moved;
}

// The part of the owner's editing rectangle (`editable`, zoomed, y up) right of a column's left edge and
// below its top edge (both in page units): the wrap objects' holes are measured against it.
kx::Rect columnObjectRect(const kx::Rect& editable, double columnX, double columnTop, double z) {
    return {editable.origin.x + columnX * z, editable.origin.y, editable.size.width - columnX * z,
            editable.size.height - columnTop * z};
}

// Shows the page at zoom 1 (its preview as large as the page) for as long as it lives, so that the owner's
// geometry queries, which answer in the preview's whole pixels, answer in page units.
class PageAtZoomOne {
public:
    explicit PageAtZoomOne(KXCanvas& page)
        : m_page(page), m_preview(page.previewSize()), m_zoom(page.zoomValue()) {
        m_page.setPreviewSize(m_page.pixelSize());
        m_page.setZoomValue(1);
    }
    ~PageAtZoomOne() {
        m_page.setPreviewSize(m_preview);
        m_page.setZoomValue(m_zoom);
    }
    PageAtZoomOne(const PageAtZoomOne&) = delete;
    PageAtZoomOne& operator=(const PageAtZoomOne&) = delete;

private:
    KXCanvas& m_page;
    kx::Size m_preview;
    double m_zoom;
};
}  // namespace

// The columns are always fitted into the text area the owner has at zoom 1: the area at the current zoom is
// rounded to the zoomed view's whole pixels, and laying the text out in it would move line breaks from one
// zoom to the next (and between screen, export and print). The drawing scales the page-unit layout instead.
KXText::TextArea KXText::textAreaOnPage() const {
    KXShape* shape = ownerShape();
    KXCanvas* canvas = ownerCanvas();
    if (!shape || !canvas)
        return {};
    const PageAtZoomOne atZoomOne(*canvas);
    const kx::Rect F = roundRectComponents(shape->frameRect());
    kx::Rect C = roundRectComponents(shape->drawRectForFrame(F, 1));
    C.origin = {0, 0};
    const kx::Rect E = roundRectComponents(shape->editingRectInObjectRect(C));
    return {C.size.height - E.maxY(), E.size.width, E.size.height, E.origin.x};
}

kx::Rect KXText::currentDrawRect() const {
    KXShape* shape = ownerShape();
    return shape ? scaledRect(shape->actualDrawRect(), zoom()) : kx::Rect();
}

kx::Rect KXText::editableRect() const {
    KXShape* shape = ownerShape();
    return shape ? scaledRect(shape->actualDrawRectInGroup(), zoom()) : kx::Rect();
}

void KXText::relayoutText() {
    KXShape* shape = ownerShape();
    KXCanvas* canvas = ownerCanvas();
    if (!shape || !canvas)
        return;
    const double z = canvas->zoomValue();
    if (!(z > 0) || !std::isfinite(z))
        return;
    const TextArea area = textAreaOnPage();
    layoutColumns(area.top, area.width, area.height, area.x, false, nullptr);
    m_updateTextContainerGeometry = true;
}

void KXText::layoutColumns(double top, double areaWidth, double areaHeight, double x, bool drawing,
                           kx::BitmapContext* context) {
    KXShape* shape = ownerShape();
    KXCanvas* canvas = ownerCanvas();
    if (!shape || !canvas || !m_layoutManager)
        return;
    ensureColumns();
    const double z = canvas->zoomValue();
    const float sfw = float(singleFontWidth());
    const KXCanvas::GraphList wraps = canvas->graphsIntersectWithGraph(shape);
    const kx::Rect editable = editableRect();
    const std::size_t columns = std::min<std::size_t>(
        std::size_t(std::clamp<std::int64_t>(m_columnCount, 0, std::int64_t(m_textContainers.size()))),
        m_columnInfos.size());
    auto configure = [&](KXTextContainer& container, const kx::Rect& R) {
        container.setScaleWidth(float(1 / z));
        container.setScaleHeight(float(1 / z));
        container.setSize(R.size);
        container.setSingleFontWidth(sfw);
        container.setWrapObjects(wraps);
    };
    for (std::size_t i = 0; i < columns; ++i) {
        KXTextContainer& container = *m_textContainers[i];
        const KXColumnInfo& info = *m_columnInfos[i];
        kx::Rect R = roundRectComponents({x, top, info.width() * areaWidth, areaHeight});
        if (drawing) {
            configure(container, R);
            // Every measuring step places the holes of the wrap objects for the column's top at the offset
            // it tries, so the layout measured is the layout drawn (the previous drawing's place would put
            // lines under the objects and move the text's height).
            m_measuredColumn = MeasuredColumn{editable, R.origin.x, R.origin.y, z};
            container.setObjectRect(columnObjectRect(editable, R.origin.x, R.origin.y, z));
        }
        const kx::Size used = usedSizeForTextAtColumn(int(i), R, true);
        m_measuredColumn.reset();
        if (m_verticalAlignment == KXTextVerticalAlignmentBottom)
            R.origin.y = top + (R.size.height - used.height);
        else if (m_verticalAlignment == KXTextVerticalAlignmentMiddle)
            R.origin.y = top + (R.size.height - used.height) * 0.5;
        R = roundRectComponents(R);
        KXTextView& view = *m_textViews[i];
        view.setFrame(R);
        const int index = containerIndex(int(i));
        if (!drawing) {
            configure(container, R);
        } else {
            view.setSelectedRange({0, 0});
            // The column is drawn from the layout of its final place: the measuring may have left the holes
            // where a step before the last one put them, and the container reports the move.
            container.setObjectRect(columnObjectRect(editable, R.origin.x, R.origin.y, z));
            if (context && index >= 0 && m_layoutManager->characterRange(index).length > 0) {
                m_layoutManager->drawBackground(*context, index, R.origin);
                if (m_outlineEnabled) {
                    // Filled and stroked, the stroke in percent of the font size: the context's zoom scales
                    // the glyphs and their outline alike.
                    const kx::GlyphStroke outline{-m_outlineWidth, nsColorFromRGBA(KXPackedRGBA(m_outlineColorValue))};
                    m_layoutManager->drawGlyphs(*context, index, R.origin, outline);
                    view.setIgnoreDisplay(true);
                }
                m_layoutManager->drawGlyphs(*context, index, R.origin);
            }
            m_textDrawPoint = R.origin;
            m_updateTextContainerGeometry = false;
        }
        x = R.maxX() + info.gutter() * areaWidth;
    }
    m_layoutManager->lineFragments();
    m_layoutsAfterColumns = m_layoutManager->paragraphLayoutCount();
}

kx::Size KXText::usedSizeForTextAtColumn(int column, const kx::Rect& bound, bool relayout) {
    const double w = bound.size.width, h = bound.size.height;
    if (w == 0 && h == 0)
        return bound.size;
    if (m_verticalAlignment == KXTextVerticalAlignmentMiddle || m_verticalAlignment == KXTextVerticalAlignmentBottom) {
        // The search lays the text out at several heights: when nothing changed since the columns were last
        // laid out, the container still holds the outline it ended with and the answer is the same.
        if (column < 0)
            return {};
        if (m_alignmentSearches.size() <= std::size_t(column))
            m_alignmentSearches.resize(std::size_t(column) + 1);
        std::optional<AlignmentSearch>& last = m_alignmentSearches[std::size_t(column)];
        const bool unchanged = m_layoutManager && m_layoutManager->isLayoutValid() &&
                               m_layoutManager->paragraphLayoutCount() == m_layoutsAfterColumns;
        if (unchanged && last && last->alignment == m_verticalAlignment && last->bound == bound.size &&
            last->relayout == relayout)
            return last->used;
        const kx::Size used = m_verticalAlignment == KXTextVerticalAlignmentMiddle
                                  ? usedSizeForMidAlignmentTextAtColumn(column, bound, relayout)
                                  : usedSizeForBottomAlignmentTextAtColumn(column, bound, relayout);
        last = AlignmentSearch{m_verticalAlignment, bound.size, relayout, used};
        return used;
    }
    KXShape* shape = ownerShape();
    const int index = m_layoutManager && shape ? containerIndex(column) : -1;
    if (index < 0)
        return {};
    KXTextContainer& container = *m_textContainers[std::size_t(column)];
    container.setPath(shape->editingShapeWithRect({0, 0, w, h}));
    // The container tells the layout manager when the outline differs: the text is laid out again only then.
    if (relayout)
        return m_layoutManager->boundingRect(m_layoutManager->characterRange(index), index).size;
    return m_layoutManager->usedRect(index).size;
}

kx::Rect KXText::boundingRectForGlyphRang(int column, const kx::BezierPath& path, double offsetY, bool /*relayout*/) {
    KXTextContainer& container = *m_textContainers[std::size_t(column)];
    container.setPath(translatedPath(path, offsetY));
    // The outline raised by offsetY is drawn in a column moved down by as much.
    if (const auto& c = m_measuredColumn)
        container.setObjectRect(columnObjectRect(c->editable, c->x, c->top + offsetY, c->zoom));
    const int index = containerIndex(column);
    return m_layoutManager->boundingRect(m_layoutManager->characterRange(index), index);
}

kx::Size KXText::usedSizeForMidAlignmentTextAtColumn(int column, const kx::Rect& bound, bool relayout) {
    const double w = bound.size.width, h = bound.size.height;
    KXShape* shape = ownerShape();
    if (!m_layoutManager || !shape || containerIndex(column) < 0)
        return {w, h};
    KXTextContainer& container = *m_textContainers[std::size_t(column)];
    const kx::BezierPath base = shape->editingShapeWithRect({0, 0, w, h});
    double offset = 0;
    bool first = true, moved = false, lastUp = true;
    kx::Rect b;
    // The search ends when a step is within 1 point, when the correction turns back, or after a bounded
    // number of steps (a text whose height keeps changing with the offset could otherwise swing for ever).
    for (int step = 0; step < kMaxAlignmentSteps; ++step) {
        container.setSize({w, h});
        b = boundingRectForGlyphRang(column, base, offset, relayout);
        if (b.size.height == 0)
            return {w, h};
        const double target = (h - b.size.height) * 0.5;
        if (std::abs(offset - target) <= 1)
            return b.size;
        if ((target <= offset && !first && !lastUp) || (target > offset && lastUp && moved)) {
            container.setPath(translatedPath(base, target));
            return b.size;
        }
        lastUp = target <= offset;
        moved = true;
        first = false;
        offset = target;
    }
    return b.size;
}

kx::Size KXText::usedSizeForBottomAlignmentTextAtColumn(int column, const kx::Rect& bound, bool relayout) {
    const double w = bound.size.width, h = bound.size.height;
    KXShape* shape = ownerShape();
    if (!m_layoutManager || !shape || containerIndex(column) < 0)
        return {0, h};
    KXTextContainer& container = *m_textContainers[std::size_t(column)];
    const int index = containerIndex(column);
    const kx::BezierPath base = shape->editingShapeWithRect({0, 0, w, h});
    container.setSize({w, h});
    const kx::Rect b0 = boundingRectForGlyphRang(column, base, 0, relayout);
    const qsizetype n = m_layoutManager->characterRange(index).length;
    const double w0 = b0.size.width;
    double offset = 0;
    bool backOff = false;
    // Bounded: the offset may fail to settle exactly when heights are not whole numbers.
    for (int step = 0; step < kMaxAlignmentSteps; ++step) {
        container.setSize({w, h});
        const kx::Rect b = boundingRectForGlyphRang(column, base, offset, relayout);
        if (b.size.height == 0)
            break;
        if (m_layoutManager->characterRange(index).length < n) {
            backOff = true;
            break;
        }
        if (b.size.height + offset == h || h - b.size.height == offset)
            break;
        offset = h - b.size.height;
    }
    if (backOff) {
        while (offset >= 2) {
            offset -= 2;
            boundingRectForGlyphRang(column, base, offset, relayout);
            if (m_layoutManager->characterRange(index).length >= n)
                break;
        }
    }
    return {w0, h - offset};
}

std::vector<KXText::DrawnLine> KXText::drawnLines() {
    std::vector<DrawnLine> lines;
    if (!m_layoutManager)
        return lines;
    for (const kx::LineFragment& fragment : m_layoutManager->lineFragments()) {
        const auto column = std::find_if(m_textContainers.begin(), m_textContainers.end(), [&](const auto& c) {
            return m_layoutManager->indexOfTextContainer(c.get()) == fragment.container;
        });
        if (column != m_textContainers.end())
            lines.push_back({int(column - m_textContainers.begin()), fragment.characters});
    }
    return lines;
}

void KXText::drawInContext(kx::BitmapContext& context, const kx::Rect& rect) {
    drawTextInContext(context, rect);
}

void KXText::drawTextInContext(kx::BitmapContext& context, const kx::Rect& rect) {
    KXShape* shape = ownerShape();
    KXCanvas* canvas = ownerCanvas();
    if (!isDrawableTextRect(rect) || isEmpty() || !shape || !canvas)
        return;
    const double z = canvas->zoomValue();
    if (!(z > 0) || !std::isfinite(z))
        return;
    const kx::Rect r = roundRectComponents(rect);
    kx::Rect C = canvas->renderIntent() == KXRenderIntentOutput ? scaledRect(shape->actualDrawRect(), z)
                                                                : shape->drawRectForFrame(r, z);
    C = roundRectComponents(C);
    kx::Rect D = roundRectComponents(
        {r.midX() - C.size.width / 2, r.midY() - C.size.height / 2, C.size.width, C.size.height});
    context.saveGState();
    context.translate(D.origin.x, D.origin.y);
    D.origin = {0, 0};
    const kx::Rect X = shape->editingRectInObjectRect(D);
    if (!isDrawableTextRect(X)) {
        context.restoreGState();
        return;
    }
    // The columns are placed from the top of the drawn area, in page units scaled by the zoom.
    const TextArea area = textAreaOnPage();
    m_textDrawing = true;
    context.setAllowsAntialiasing(true);
    context.setShouldAntialias(true);
    context.translate(0, D.maxY());
    context.scale(z, -z);
    layoutColumns(area.top, area.width, area.height, area.x, true, &context);
    context.restoreGState();
    m_textDrawing = false;
}
