#include "platform/text/text_layout_manager.h"

#include "platform/gfx/bitmap_context.h"
#include "platform/text/glyph_drawing.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QRawFont>
#include <QTextBoundaryFinder>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace kx {

namespace {
struct ParagraphInputs {
    QFont firstFont;
    ParagraphStyle style;
    QList<QTextLayout::FormatRange> formats;
    friend bool operator==(const ParagraphInputs&, const ParagraphInputs&) = default;
};
}  // namespace

// One paragraph as laid out: its QTextLayout (lines in container coordinates), its fragments, and the
// place it started and ended, so that an unchanged paragraph that starts where it started before can be
// reused as it is.
struct TextLayoutManager::Paragraph {
    TextRange range;  // separator included
    std::unique_ptr<QTextLayout> layout;
    std::vector<LineFragment> fragments;
    int startContainer = 0;
    double startY = 0;
    int endContainer = 0;
    double endY = 0;
    qsizetype overflowAt = -1;  // first character that fit in no container, or -1
    bool dead = false;          // its text or the geometry it was set in changed
    ParagraphInputs inputs;     // what it was set with, besides its characters
};

namespace {

// How many places one line may be offered before the text is taken to overflow. A line moves down past
// obstacles and on to the next container a line height at a time; a damaged file can make that height
// vanishingly small in a tall container, and every offer asks the container's outline again.
constexpr int kMaximumPlacesForOneLine = 1000;

const double kDefaultTabInterval = 28.0;

QFont runFont(const TextAttributes& a) {
    return a.effectiveFont().qfont();
}

// The style as layout uses it: spacings, heights and head indents are never negative (only the tail
// indent counts from the right edge when it is not positive), and none is larger than a big page.
ParagraphStyle usableStyle(ParagraphStyle s) {
    const auto bound = [](double& v) { v = std::isfinite(v) ? std::clamp(v, 0.0, 1e6) : 0.0; };
    for (double* v : {&s.lineSpacing, &s.paragraphSpacing, &s.paragraphSpacingBefore, &s.lineHeightMultiple,
                      &s.minimumLineHeight, &s.maximumLineHeight, &s.firstLineHeadIndent, &s.headIndent})
        bound(*v);
    s.tailIndent = std::isfinite(s.tailIndent) ? std::clamp(s.tailIndent, -1e6, 1e6) : 0.0;
    return s;
}

// Line height of a line as the paragraph style shapes it.
double styledLineHeight(double natural, const ParagraphStyle& style) {
    double h = natural;
    if (style.lineHeightMultiple > 0)
        h *= style.lineHeightMultiple;
    if (style.maximumLineHeight > 0)
        h = std::min(h, style.maximumLineHeight);
    return std::max({h, style.minimumLineHeight, 1.0});
}

// The width given to QTextLine, which keeps widths in 64ths of a point and cuts any remainder off: rounded
// to the nearest 64th instead, so that a width a rounding error short of the text's own (a size divided by
// a scale read back in single precision) still holds it.
double fixedPointWidth(double width) {
    return std::round(width * 64) / 64;
}

// How far a line's text may run past the width it was given: QTextLine keeps widths in 64ths of a point.
constexpr double kWidthTolerance = 1.0 / 64;

// Where one line may be set: its fragment, the rest of the visual line right of it, and the state of the
// layout there, so that the search may come back to it.
struct Place {
    int container = 0;
    double y = 0;
    double lineBottom = 0;
    double bandBottom = 0;
    Rect fragment;
    Rect rest;
    double indent = 0;
    double usable = 0;
};

// Whether no fragment of the container can be wider than this one: it spans the container's width. An
// outline scanned on whole pixels answers up to two points less than the width it covers.
bool offersItsFullWidth(const TextContainer& container, const Rect& fragment) {
    constexpr double kScanLoss = 2.0;
    return fragment.size.width >= container.size().width - kScanLoss;
}

// The line-break opportunities of a paragraph, looked up only when a line ends between two characters
// that are not white space.
class WordBreaks {
public:
    explicit WordBreaks(QString text) : m_text(std::move(text)) {}
    // Whether the line ends inside a word: it was broken where no line break is allowed.
    bool splitsWord(const QTextLine& line) {
        const qsizetype end = line.textStart() + line.textLength();
        if (line.textLength() == 0 || end >= m_text.size() || m_text[end - 1].isSpace() || m_text[end].isSpace())
            return false;
        if (!m_finder)
            m_finder.emplace(QTextBoundaryFinder::Line, m_text);
        m_finder->setPosition(end);
        return !m_finder->isAtBoundary();
    }

private:
    QString m_text;
    std::optional<QTextBoundaryFinder> m_finder;
};

// Left end and width of a justified line's text as QTextLayout sets it: a full line spreads over the whole
// width, a line it leaves as it is (the last one) stands at the left, or at the right in a right-to-left
// paragraph. Trailing white space is not counted.
std::pair<double, double> justifiedExtent(const QTextLine& line, const QString& text) {
    const int start = line.textStart();
    int end = start + line.textLength();
    while (end > start && text[end - 1].isSpace())
        --end;
    const double a = line.cursorToX(start), b = line.cursorToX(end);
    return {std::min(a, b), std::abs(b - a)};
}

// The length of a paragraph without its separator ("\r\n" counts as one).
qsizetype paragraphBodyLength(const QString& string, TextRange paragraph) {
    if (paragraph.length >= 2 && string[paragraph.end() - 2] == u'\r' && string[paragraph.end() - 1] == u'\n')
        return paragraph.length - 2;
    if (paragraph.length >= 1 && paragraphSeparatorLength(string, paragraph.end() - 1) > 0)
        return paragraph.length - 1;
    return paragraph.length;
}

// What a paragraph's layout depends on besides its characters: the fonts of its runs, and the font and
// style of its first character. Colours, strokes, underlines and links are read when drawing.
ParagraphInputs paragraphInputs(const AttributedString& text, TextRange paragraph) {
    ParagraphInputs inputs;
    const TextAttributes& first = text.attributesAt(paragraph.location);
    inputs.firstFont = runFont(first);
    inputs.style = first.effectiveParagraphStyle();
    const qsizetype end = paragraph.location + paragraphBodyLength(text.string(), paragraph);
    TextRange run;
    qsizetype at = paragraph.location;
    while (at < end) {
        const TextAttributes& a = text.attributesAt(at, &run);
        const qsizetype to = std::min(run.end(), end);
        const QFont font = runFont(a);
        // Runs that differ in what is only drawn share one format.
        if (!inputs.formats.isEmpty() && inputs.formats.back().format.font() == font) {
            inputs.formats.back().length += int(to - at);
        } else {
            QTextLayout::FormatRange range;
            range.start = int(at - paragraph.location);
            range.length = int(to - at);
            range.format.setFont(font, QTextCharFormat::FontPropertiesAll);
            inputs.formats.push_back(range);
        }
        at = to;
    }
    return inputs;
}

// Ascent + descent + leading of a line (QTextLine::height rounds up to whole points).
double naturalLineHeight(const QTextLine& line) {
    return line.ascent() + line.descent() + std::max(0.0, line.leading());
}

}  // namespace

TextLayoutManager::TextLayoutManager() = default;

TextLayoutManager::TextLayoutManager(std::shared_ptr<TextStorage> storage) {
    setTextStorage(std::move(storage));
}

TextLayoutManager::~TextLayoutManager() {
    if (m_storage)
        m_storage->removeEditObserver(m_observer);
    for (const auto& container : m_containers)
        std::erase(container->m_layoutManagers, this);
}

void TextLayoutManager::setTextStorage(std::shared_ptr<TextStorage> storage) {
    if (m_storage)
        m_storage->removeEditObserver(m_observer);
    m_storage = std::move(storage);
    if (m_storage)
        m_observer = m_storage->addEditObserver([this](const TextEdit& edit) { storageEdited(edit); });
    invalidateLayout();
}

void TextLayoutManager::addTextContainer(std::shared_ptr<TextContainer> container) {
    insertTextContainer(std::move(container), int(m_containers.size()));
}

void TextLayoutManager::insertTextContainer(std::shared_ptr<TextContainer> container, int index) {
    if (!container)
        return;
    index = std::clamp(index, 0, int(m_containers.size()));
    if (indexOfTextContainer(container.get()) < 0)
        container->m_layoutManagers.push_back(this);
    m_containers.insert(m_containers.begin() + index, std::move(container));
    invalidateLayout();
}

void TextLayoutManager::removeTextContainer(int index) {
    if (index < 0 || index >= int(m_containers.size()))
        return;
    const std::shared_ptr<TextContainer> container = m_containers[std::size_t(index)];
    m_containers.erase(m_containers.begin() + index);
    if (indexOfTextContainer(container.get()) < 0)
        std::erase(container->m_layoutManagers, this);
    invalidateLayout();
}

int TextLayoutManager::indexOfTextContainer(const TextContainer* container) const {
    for (std::size_t i = 0; i < m_containers.size(); ++i)
        if (m_containers[i].get() == container)
            return int(i);
    return -1;
}

void TextLayoutManager::textContainerChangedGeometry(const TextContainer* container) {
    const int index = indexOfTextContainer(container);
    if (index < 0)
        return;
    // Paragraphs that touch the container, or come after it, were set in the old geometry.
    qsizetype from = std::numeric_limits<qsizetype>::max();
    for (auto& p : m_paragraphs) {
        if (p->dead || p->endContainer >= index || p->overflowAt >= 0) {
            p->dead = true;
            from = std::min(from, p->range.location);
        }
    }
    if (m_invalidFrom < 0 || from < m_invalidFrom)
        m_invalidFrom = from == std::numeric_limits<qsizetype>::max() ? (m_storage ? m_storage->length() : 0) : from;
}

void TextLayoutManager::invalidateLayout() {
    for (auto& p : m_paragraphs)
        p->dead = true;
    m_invalidFrom = 0;
}

void TextLayoutManager::storageEdited(const TextEdit& edit) {
    const qsizetype start = edit.editedRange.location;
    if (!edit.charactersChanged) {
        // New attributes: only paragraphs whose fonts or style changed are set again (an outline drawn
        // by restyling the text for a moment leaves the layout as it is).
        const AttributedString& text = m_storage->attributedString();
        for (auto& p : m_paragraphs) {
            if (p->dead || p->range.end() <= start || p->range.location >= edit.editedRange.end())
                continue;
            if (!(paragraphInputs(text, p->range) == p->inputs)) {
                p->dead = true;
                invalidateFrom(p->range.location);
            }
        }
        return;
    }
    const qsizetype oldEnd = edit.editedRange.end() - edit.changeInLength;
    for (auto& p : m_paragraphs) {
        if (p->range.location > oldEnd) {
            // Past the edit: same text, new place in the storage.
            p->range.location += edit.changeInLength;
            for (auto& f : p->fragments)
                f.characters.location += edit.changeInLength;
            if (p->overflowAt >= 0)
                p->overflowAt += edit.changeInLength;
        } else if (p->range.end() >= start) {
            p->dead = true;
        }
    }
    invalidateFrom(start);
}

void TextLayoutManager::invalidateFrom(qsizetype characterIndex) {
    if (m_invalidFrom < 0 || characterIndex < m_invalidFrom)
        m_invalidFrom = characterIndex;
}

std::unique_ptr<TextLayoutManager::Paragraph> TextLayoutManager::layOutParagraph(const AttributedString& text,
                                                                                 qsizetype start,
                                                                                 LayoutCursor& cursor) const {
    const QString& string = text.string();
    auto p = std::make_unique<Paragraph>();
    p->range = text.paragraphRange(start);
    p->startContainer = cursor.container;
    p->startY = cursor.y;
    const qsizetype bodyLength = paragraphBodyLength(string, p->range);
    const TextAttributes& first = text.attributesAt(p->range.location);
    const ParagraphStyle style = usableStyle(first.effectiveParagraphStyle());

    p->layout = std::make_unique<QTextLayout>(string.mid(p->range.location, bodyLength), runFont(first),
                                              const_cast<QPaintDevice*>(textPaintDevice()));
    // The paragraph's direction comes from its first strong character. Lines are placed here, not by
    // QTextLayout: it is told to align left (it then adds no offset of its own), except for justified text,
    // whose full lines it spreads.
    const bool rightToLeft = p->layout->text().isRightToLeft();
    TextAlignment alignment = style.alignment;
    if (alignment == TextAlignment::Natural)
        alignment = rightToLeft ? TextAlignment::Right : TextAlignment::Left;
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setUseDesignMetrics(true);
    option.setTabStopDistance(kDefaultTabInterval);
    option.setTextDirection(rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    option.setAlignment(alignment == TextAlignment::Justified ? Qt::AlignJustify : Qt::AlignLeft);
    p->layout->setTextOption(option);
    p->inputs = paragraphInputs(text, p->range);
    p->layout->setFormats(p->inputs.formats);

    double estimate = styledLineHeight(first.effectiveFont().lineHeight(), style);
    double lineBottom = cursor.y;
    Rect pending;  // remaining rectangle of the current visual line
    bool firstLine = true;
    bool overflow = false;
    if (cursor.y > 0)
        cursor.y += style.paragraphSpacingBefore;
    double bandBottom = cursor.y;  // bottom of the visual line being filled, before anything is set in it
    WordBreaks breaks(p->layout->text());
    p->layout->beginLayout();
    for (;;) {
        QTextLine line = p->layout->createLine();
        if (!line.isValid())
            break;
        Place place;
        double height = 0;
        bool retried = false;
        int places = 0;
        // The widest place passed over because the line would have had to split a word there.
        std::optional<Place> splitting;
        for (;;) {
            if (cursor.container >= int(m_containers.size()) || ++places > kMaximumPlacesForOneLine) {
                if (splitting) {
                    // No place holds the word whole: it is split where the most of it fits.
                    place = *splitting;
                    cursor = {place.container, place.y};
                    lineBottom = place.lineBottom;
                    bandBottom = place.bandBottom;
                    line.setLineWidth(fixedPointWidth(place.usable));
                    height = styledLineHeight(naturalLineHeight(line), style);
                    break;
                }
                overflow = true;
                break;
            }
            const TextContainer& container = *m_containers[std::size_t(cursor.container)];
            const double padding = container.lineFragmentPadding();
            const bool restOfLine = !pending.isEmpty();
            // Head indents apply to the first fragment of a line, not to the rest right of an obstacle.
            place.indent = restOfLine ? 0.0 : firstLine ? style.firstLineHeadIndent : style.headIndent;
            Rect proposed = restOfLine ? pending : Rect(0, cursor.y, container.size().width, estimate);
            if (restOfLine && pending.size.height < estimate)
                proposed.size.height = estimate;
            Rect rest;
            const Rect fragment = container.lineFragmentRect(proposed, &rest);
            // A rest lies on the fragment's visual line, right of it; the text goes on there next.
            if (!rest.isEmpty() && (rest.minY() != fragment.minY() || rest.minX() < fragment.maxX()))
                rest = Rect();
            const auto dropRestOfLine = [&] {
                pending = Rect();
                cursor.y = std::max(lineBottom, bandBottom);
            };
            if (restOfLine && (fragment.size.height <= 0 || fragment.minY() != proposed.minY())) {
                // The rest of the line is refused, or answered on a lower line, where it would stand beside
                // text that comes later: the text goes on below the line.
                dropRestOfLine();
                continue;
            }
            if (fragment.size.height <= 0 || proposed.origin.y > container.size().height) {
                // Nothing more fits in this container: go on at the top of the next one.
                ++cursor.container;
                cursor.y = 0;
                lineBottom = 0;
                bandBottom = 0;
                pending = Rect();
                continue;
            }
            if (!restOfLine)
                bandBottom = std::max(fragment.minY(), proposed.minY()) + estimate;
            // A fragment that cannot hold the line is passed over, never filled: the line goes on to the rest
            // of the visual line, or below it.
            const auto passOver = [&] {
                if (!rest.isEmpty())
                    pending = rest;
                else if (restOfLine)
                    dropRestOfLine();
                else
                    cursor.y = bandBottom;
            };
            double right = fragment.maxX() - padding;
            if (style.tailIndent > 0)
                right = std::min(right, fragment.minX() + style.tailIndent);
            else
                right += style.tailIndent;
            place.usable = right - (fragment.minX() + padding + place.indent);
            if (place.usable <= 0) {
                passOver();
                continue;
            }
            line.setLineWidth(fixedPointWidth(place.usable));
            height = styledLineHeight(naturalLineHeight(line), style);
            if (height > fragment.size.height + 0.01 && !retried) {
                retried = true;
                // The line is higher than proposed: ask again for its real height.
                estimate = height;
                continue;
            }
            place.container = cursor.container;
            place.y = cursor.y;
            place.lineBottom = lineBottom;
            place.bandBottom = bandBottom;
            place.fragment = fragment;
            place.rest = rest;
            if (line.naturalTextWidth() > fixedPointWidth(place.usable) + kWidthTolerance) {
                // Even its first glyph is wider than the room: its ink would stand outside the fragment.
                passOver();
                continue;
            }
            if (breaks.splitsWord(line) && !offersItsFullWidth(container, fragment)) {
                // A wider place may come further on.
                if (!splitting || place.usable > splitting->usable)
                    splitting = place;
                passOver();
                continue;
            }
            break;
        }
        pending = place.rest;
        if (overflow) {
            p->overflowAt = p->range.location + line.textStart();
            break;
        }
        const Rect fragment = place.fragment;
        const double usable = place.usable;
        const TextContainer& container = *m_containers[std::size_t(cursor.container)];
        const double padding = container.lineFragmentPadding();
        const double natural = line.naturalTextWidth();
        double x = fragment.minX() + padding + place.indent;
        if (alignment == TextAlignment::Right)
            x += usable - natural;
        else if (alignment == TextAlignment::Center)
            x += (usable - natural) / 2;
        const double naturalHeight = naturalLineHeight(line);
        const double baseline = fragment.minY() + line.ascent() + std::max(0.0, height - naturalHeight);
        line.setPosition(QPointF(x, baseline - line.ascent()));

        LineFragment f;
        f.container = cursor.container;
        f.rect = fragment;
        const auto [textLeft, textWidth] =
            alignment == TextAlignment::Justified ? justifiedExtent(line, p->layout->text()) : std::pair{x, natural};
        f.usedRect = Rect(textLeft - padding, fragment.minY(), textWidth + 2 * padding, height);
        f.baseline = baseline;
        const qsizetype from = p->range.location + line.textStart();
        qsizetype to = from + line.textLength();
        if (line.textStart() + line.textLength() >= bodyLength)
            to = p->range.end();  // the separator belongs to the last line
        f.characters = {from, to - from};
        f.line = line.lineNumber();
        p->fragments.push_back(f);

        lineBottom = std::max(lineBottom, fragment.minY() + height + style.lineSpacing);
        if (pending.isEmpty())
            cursor.y = lineBottom;
        estimate = height;
        firstLine = false;
    }
    p->layout->endLayout();
    if (!overflow) {
        cursor.y = lineBottom + style.paragraphSpacing;
    }
    p->endContainer = cursor.container;
    p->endY = cursor.y;
    return p;
}

void TextLayoutManager::ensureLayout() {
    if (m_invalidFrom < 0)
        return;
    const qsizetype length = m_storage ? m_storage->length() : 0;
    if (!m_storage || m_containers.empty()) {
        m_paragraphs.clear();
        m_fragments.clear();
        m_firstUnlaid = 0;
        m_invalidFrom = -1;
        return;
    }
    const AttributedString& text = m_storage->attributedString();

    // Keep the leading paragraphs that lie wholly before the change.
    qsizetype start = text.paragraphRange(std::min(m_invalidFrom, length)).location;
    std::size_t keep = 0;
    while (keep < m_paragraphs.size() && !m_paragraphs[keep]->dead && m_paragraphs[keep]->range.end() <= start &&
           m_paragraphs[keep]->overflowAt < 0)
        ++keep;
    std::vector<std::unique_ptr<Paragraph>> candidates;
    for (std::size_t i = keep; i < m_paragraphs.size(); ++i)
        if (!m_paragraphs[i]->dead)
            candidates.push_back(std::move(m_paragraphs[i]));
    m_paragraphs.resize(keep);
    LayoutCursor cursor;
    if (keep > 0) {
        cursor = {m_paragraphs.back()->endContainer, m_paragraphs.back()->endY};
        start = m_paragraphs.back()->range.end();
    } else {
        start = 0;
    }
    m_firstUnlaid = length;

    std::size_t candidate = 0;
    qsizetype pos = start;
    while (pos < length) {
        while (candidate < candidates.size() && candidates[candidate]->range.location < pos)
            ++candidate;
        if (candidate < candidates.size()) {
            Paragraph& old = *candidates[candidate];
            if (old.range.location == pos && old.startContainer == cursor.container && old.startY == cursor.y) {
                cursor = {old.endContainer, old.endY};
                pos = old.range.end();
                const qsizetype overflow = old.overflowAt;
                m_paragraphs.push_back(std::move(candidates[candidate++]));
                if (overflow >= 0) {
                    m_firstUnlaid = overflow;
                    break;
                }
                continue;
            }
        }

        auto p = layOutParagraph(text, pos, cursor);
        ++m_paragraphLayoutCount;
        pos = p->range.end();
        const qsizetype overflowAt = p->overflowAt;
        m_paragraphs.push_back(std::move(p));
        if (overflowAt >= 0) {
            m_firstUnlaid = overflowAt;
            break;
        }
    }

    m_fragments.clear();
    for (std::size_t i = 0; i < m_paragraphs.size(); ++i) {
        for (LineFragment f : m_paragraphs[i]->fragments) {
            f.paragraph = int(i);
            m_fragments.push_back(f);
        }
    }
    m_invalidFrom = -1;
}

const std::vector<LineFragment>& TextLayoutManager::lineFragments() {
    ensureLayout();
    return m_fragments;
}

qsizetype TextLayoutManager::firstUnlaidCharacterIndex() {
    ensureLayout();
    return m_firstUnlaid;
}

TextRange TextLayoutManager::characterRange(int container) {
    ensureLayout();
    qsizetype start = -1, end = -1;
    qsizetype before = 0;
    for (const auto& f : m_fragments) {
        if (f.container < container)
            before = f.characters.end();
        if (f.container != container)
            continue;
        if (start < 0)
            start = f.characters.location;
        end = f.characters.end();
    }
    if (start < 0)
        return {std::min(before, m_firstUnlaid), 0};
    return {start, end - start};
}

Rect TextLayoutManager::usedRect(int container) {
    ensureLayout();
    Rect used = Rect::null();
    for (const auto& f : m_fragments)
        if (f.container == container)
            used = used.united(f.usedRect);
    return used.isNull() ? Rect() : used;
}

const TextLayoutManager::Paragraph* TextLayoutManager::paragraphOf(const LineFragment& fragment) const {
    return m_paragraphs[std::size_t(fragment.paragraph)].get();
}

Rect TextLayoutManager::boundingRect(TextRange range, int container) {
    ensureLayout();
    Rect bounds = Rect::null();
    for (const auto& f : m_fragments) {
        if (f.container != container)
            continue;
        const qsizetype from = std::max(range.location, f.characters.location);
        const qsizetype to = std::min(range.end(), f.characters.end());
        if (from > to || (from == to && range.length > 0))
            continue;
        const Paragraph* p = paragraphOf(f);
        const QTextLine line = p->layout->lineAt(f.line);
        if (!line.isValid())
            continue;
        const int bodyEnd = line.textStart() + line.textLength();
        const int a = std::clamp(int(from - p->range.location), line.textStart(), bodyEnd);
        const int b = std::clamp(int(to - p->range.location), line.textStart(), bodyEnd);
        const double x0 = line.cursorToX(a), x1 = line.cursorToX(b);
        bounds = bounds.united(Rect(std::min(x0, x1), f.rect.minY(), std::abs(x1 - x0), f.usedRect.size.height));
    }
    return bounds.isNull() ? Rect() : bounds;
}

qsizetype TextLayoutManager::characterIndexAt(const Point& point, int container, bool* inside) {
    ensureLayout();
    if (inside)
        *inside = false;
    const LineFragment* best = nullptr;
    double bestDy = 0, bestDx = 0;
    for (const auto& f : m_fragments) {
        if (f.container != container)
            continue;
        const double top = f.rect.minY(), bottom = top + f.usedRect.size.height;
        const double dy = point.y < top ? top - point.y : point.y >= bottom ? point.y - bottom : 0;
        const double dx = point.x < f.rect.minX()   ? f.rect.minX() - point.x
                          : point.x > f.rect.maxX() ? point.x - f.rect.maxX()
                                                    : 0;
        if (!best || dy < bestDy || (dy == bestDy && dx < bestDx)) {
            best = &f;
            bestDy = dy;
            bestDx = dx;
        }
    }
    if (!best)
        return -1;
    const Paragraph* p = paragraphOf(*best);
    const QTextLine line = p->layout->lineAt(best->line);
    if (!line.isValid() || best->characters.length == 0)
        return best->characters.location;
    const int local = line.xToCursor(point.x, QTextLine::CursorOnCharacter);
    const qsizetype index =
        std::clamp<qsizetype>(p->range.location + local, best->characters.location, best->characters.end() - 1);
    if (inside && bestDy == 0) {
        const int i = int(index - p->range.location);
        if (i < line.textStart() + line.textLength()) {
            const double x0 = line.cursorToX(i), x1 = line.cursorToX(i + 1);
            *inside = point.x >= std::min(x0, x1) && point.x < std::max(x0, x1);
        }
    }
    return index;
}

TextRange TextLayoutManager::characterRangeInRect(const Rect& rect, int container) {
    ensureLayout();
    qsizetype start = -1, end = -1;
    for (const auto& f : m_fragments) {
        if (f.container != container)
            continue;
        const double top = f.rect.minY(), bottom = top + f.usedRect.size.height;
        if (rect.maxY() <= top || rect.minY() >= bottom)
            continue;
        const Paragraph* p = paragraphOf(f);
        const QTextLine line = p->layout->lineAt(f.line);
        if (!line.isValid() || line.textLength() == 0)
            continue;
        const double padding = m_containers[std::size_t(f.container)]->lineFragmentPadding();
        const double lineStart = f.usedRect.minX() + padding, lineEnd = f.usedRect.maxX() - padding;
        if (rect.maxX() <= lineStart || rect.minX() >= lineEnd)
            continue;
        const qsizetype a =
            p->range.location + line.xToCursor(std::max(rect.minX(), lineStart), QTextLine::CursorOnCharacter);
        const qsizetype b =
            p->range.location + line.xToCursor(std::min(rect.maxX(), lineEnd), QTextLine::CursorOnCharacter) + 1;
        start = start < 0 ? a : std::min(start, a);
        end = std::max(end, std::min(b, f.characters.end()));
    }
    if (start < 0)
        return {0, 0};
    return {start, std::max<qsizetype>(0, end - start)};
}

template <class Visit>
void TextLayoutManager::forEachRunIn(int container, Visit visit) {
    ensureLayout();
    if (!m_storage)
        return;
    const AttributedString& text = m_storage->attributedString();
    for (const auto& f : m_fragments) {
        if (f.container != container)
            continue;
        const Paragraph* p = paragraphOf(f);
        const QTextLine line = p->layout->lineAt(f.line);
        if (!line.isValid())
            continue;
        const qsizetype start = p->range.location;
        qsizetype at = start + line.textStart();
        const qsizetype end = at + line.textLength();
        TextRange run;
        while (at < end) {
            const TextAttributes& a = text.attributesAt(at, &run);
            const qsizetype to = std::min(run.end(), end);
            visit(f, line, a, int(at - start), int(to - at));
            at = to;
        }
    }
}

void TextLayoutManager::drawBackground(BitmapContext& context, int container, const Point& origin) {
    forEachRunIn(
        container, [&](const LineFragment& f, const QTextLine& line, const TextAttributes& a, int from, int length) {
            if (!a.backgroundColor || a.backgroundColor->isNull())
                return;
            const double x0 = line.cursorToX(from), x1 = line.cursorToX(from + length);
            context.setFillColor(*a.backgroundColor);
            context.fillRect(
                Rect(origin.x + std::min(x0, x1), origin.y + f.rect.minY(), std::abs(x1 - x0), f.usedRect.size.height));
        });
}

void TextLayoutManager::drawGlyphs(BitmapContext& context, int container, const Point& origin,
                                   const std::optional<GlyphStroke>& stroke) {
    context.saveGState();
    {
        GlyphPainter painter(context);
        const QPointF offset(origin.x, origin.y);
        forEachRunIn(container, [&](const LineFragment& f, const QTextLine& line, const TextAttributes& a, int from,
                                    int length) {
            const QList<QGlyphRun> runs = line.glyphRuns(from, length);
            const Color foreground = a.effectiveForegroundColor();
            const double strokeWidth = stroke ? stroke->width : a.strokeWidth.value_or(0);
            if (strokeWidth <= 0)
                for (const QGlyphRun& run : runs)
                    painter.fillGlyphs(run, offset, foreground);
            if (strokeWidth != 0) {
                QPainterPath outlines;
                for (const QGlyphRun& run : runs)
                    outlines.addPath(glyphRunOutlines(run, offset));
                const Color color = stroke ? stroke->color : a.strokeColor ? *a.strokeColor : foreground;
                painter.strokeOutlines(outlines, color, std::abs(strokeWidth) / 100.0 * a.effectiveFont().pointSize());
            }
            const int style = a.underline.value_or(0) & 0xFF;
            if (style != kUnderlineNone) {
                const QFontMetricsF metrics(runFont(a), textPaintDevice());
                const double thickness = std::max(metrics.lineWidth(), 0.5) * (style == kUnderlineThick ? 2 : 1);
                const double x0 = line.cursorToX(from), x1 = line.cursorToX(from + length);
                const double y = f.baseline + metrics.underlinePos();
                const Color color = a.underlineColor ? *a.underlineColor : foreground;
                const Rect bar(origin.x + std::min(x0, x1), origin.y + y - thickness / 2, std::abs(x1 - x0), thickness);
                painter.fillRect(bar, color);
                if (style == kUnderlineDouble)
                    painter.fillRect(bar.offsetBy(0, 2 * thickness), color);
            }
        });
    }
    context.restoreGState();
}

Size measureString(const AttributedString& text) {
    auto storage = std::make_shared<TextStorage>(text);
    TextLayoutManager manager(storage);
    auto container = std::make_shared<TextContainer>(Size(10000000, 10000000));
    container->setLineFragmentPadding(0);
    manager.addTextContainer(container);
    return manager.usedRect(0).size;
}

Size measureString(const QString& text, const TextAttributes& attributes) {
    return measureString(AttributedString(text, attributes));
}

}  // namespace kx
