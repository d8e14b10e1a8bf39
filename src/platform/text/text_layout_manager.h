// The layout manager: sets one text storage into a chain of text containers (columns) and draws it.
//
// Paragraphs are shaped with QTextLayout, one line at a time: each line is proposed to the current
// container at the current height, set into the fragment rectangle the container answers (inset by the
// container's line-fragment padding and the paragraph's indents), and a remaining rectangle is proposed
// next, so one visual line may hold several fragments. A line that the container cannot hold goes into
// the next container; text past the last container is neither laid out nor drawn. Lines wrap at word
// boundaries, and anywhere inside a word longer than the line.
//
// Text only runs downward: the rest of a line right of an obstacle stays on that line or is dropped, and
// a fragment that cannot hold its line (a glyph wider than it, or a word that would have to be split while
// a wider fragment may follow) is passed over, never filled. A word is split only at the widest place the
// search met before the containers, or the bounded number of offers, ran out. A paragraph's direction
// comes from its first strong character; natural alignment follows it.
//
// Layout is lazy: edits of the storage (attribute edits only when they change fonts or paragraph styles)
// and geometry changes of the containers (which they report themselves) invalidate it, and the next query
// lays the text out again from the first paragraph the change touched. An unchanged paragraph after the
// change that starts where it started before (same container, same height) is reused as it was, so typing
// costs the edited paragraph, not the whole text.
//
// Coordinates are container coordinates: points, origin at the container's top-left corner, y down.
// Drawing works in the context's current user space taken in that downward axis: a caller with a y-up
// context flips it first (translate by the height, scale y by -1), then passes the container's origin.
#pragma once

#include "platform/foundation/geometry.h"
#include "platform/gfx/color.h"
#include "platform/text/text_container.h"
#include "platform/text/text_storage.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QTextLayout;

namespace kx {

class BitmapContext;

// One fragment of a line, as laid out.
struct LineFragment {
    int container = 0;
    Rect rect;             // the container's answer
    Rect usedRect;         // the text's extent with the padding at both ends, line height high
    TextRange characters;  // the characters set in the fragment (a paragraph's separator on its last line)
    double baseline = 0;   // y of the baseline
    // Where the layout manager keeps the fragment's line: its paragraph and the line within it.
    int paragraph = -1;
    int line = -1;
};

// A stroke for every glyph drawn, as the stroke-width and stroke-colour attributes give one: the width in
// percent of the font size, positive for a stroke alone, negative for a fill and a stroke.
struct GlyphStroke {
    double width = 0;
    Color color;
};

class TextLayoutManager {
public:
    TextLayoutManager();
    explicit TextLayoutManager(std::shared_ptr<TextStorage> storage);
    ~TextLayoutManager();
    TextLayoutManager(const TextLayoutManager&) = delete;
    TextLayoutManager& operator=(const TextLayoutManager&) = delete;

    std::shared_ptr<TextStorage> textStorage() const { return m_storage; }
    void setTextStorage(std::shared_ptr<TextStorage> storage);

    const std::vector<std::shared_ptr<TextContainer>>& textContainers() const { return m_containers; }
    void addTextContainer(std::shared_ptr<TextContainer> container);
    void insertTextContainer(std::shared_ptr<TextContainer> container, int index);
    void removeTextContainer(int index);
    // Index of a container in the chain, or -1.
    int indexOfTextContainer(const TextContainer* container) const;
    // Lays the text out again from the first character of the container (size, padding or the answers
    // of lineFragmentRect changed).
    void textContainerChangedGeometry(const TextContainer* container);
    // Lays everything out again at the next query.
    void invalidateLayout();

    // How many times a paragraph has been set by QTextLayout since the manager was made: the layout is
    // kept until the text, its fonts or paragraph styles, or the containers change.
    std::uint64_t paragraphLayoutCount() const { return m_paragraphLayoutCount; }
    // Whether the layout is up to date: nothing changed since the text was last laid out.
    bool isLayoutValid() const { return m_invalidFrom < 0; }

    // The laid-out fragments in text order.
    const std::vector<LineFragment>& lineFragments();
    // The characters laid out in a container (empty at the position where its text would start when it
    // holds none).
    TextRange characterRange(int container);
    // The first character that fits in no container (the storage's length when all of it fits).
    qsizetype firstUnlaidCharacterIndex();
    // Union of the used rectangles of a container's fragments; the zero rectangle when it holds none.
    Rect usedRect(int container);
    // Union of the typographic extents of the characters of `range` laid out in a container, each a line
    // high; the zero rectangle when none are.
    Rect boundingRect(TextRange range, int container);
    // The character under or nearest to a point of a container; -1 when the container holds no text.
    // With `inside`, whether the point lies on the character's extent.
    qsizetype characterIndexAt(const Point& point, int container, bool* inside = nullptr);
    // The characters whose extents meet a rectangle of a container.
    TextRange characterRangeInRect(const Rect& rect, int container);

    // Background colours of a container's characters, then its glyphs (filled and/or stroked by their
    // stroke width, in the context's line join) and underlines, with the container's origin at `origin`.
    // A stroke given here replaces the characters' own stroke width and colour.
    void drawBackground(BitmapContext& context, int container, const Point& origin);
    void drawGlyphs(BitmapContext& context, int container, const Point& origin,
                    const std::optional<GlyphStroke>& stroke = std::nullopt);

private:
    struct Paragraph;
    // Where the next paragraph starts: a container and a height in it.
    struct LayoutCursor {
        int container = 0;
        double y = 0;
    };
    // Sets the paragraph that starts at `start` from the cursor on, and moves the cursor past it.
    std::unique_ptr<Paragraph> layOutParagraph(const AttributedString& text, qsizetype start,
                                               LayoutCursor& cursor) const;
    void storageEdited(const TextEdit& edit);
    void invalidateFrom(qsizetype characterIndex);
    void ensureLayout();
    const Paragraph* paragraphOf(const LineFragment& fragment) const;
    // Calls visit(fragment, line, attributes, from, length) for each attribute run of each fragment of a
    // container, `from` counting in the paragraph's layout.
    template <class Visit>
    void forEachRunIn(int container, Visit visit);

    std::shared_ptr<TextStorage> m_storage;
    int m_observer = 0;
    std::vector<std::shared_ptr<TextContainer>> m_containers;
    std::vector<std::unique_ptr<Paragraph>> m_paragraphs;
    std::vector<LineFragment> m_fragments;
    qsizetype m_firstUnlaid = 0;
    // Characters from here on must be laid out again; -1 when the layout is valid.
    qsizetype m_invalidFrom = 0;
    std::uint64_t m_paragraphLayoutCount = 0;
};

// Size of a text set on unwrapped lines without padding: the widest line and the sum of the line heights.
Size measureString(const AttributedString& text);
Size measureString(const QString& text, const TextAttributes& attributes);

}  // namespace kx
