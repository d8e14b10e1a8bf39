// Character and paragraph attributes of the text system, and the attributed string that carries them
// in runs.
#pragma once

#include "platform/foundation/geometry.h"
#include "platform/foundation/value.h"
#include "platform/gfx/color.h"
#include "platform/text/font.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace kx {

// Paragraph alignment codes, as stored.
enum class TextAlignment : int { Left = 0, Right = 1, Center = 2, Justified = 3, Natural = 4 };

// Layout settings of a paragraph. Plain value; the defaults are those of a new paragraph style.
// Indents: the head indents count from the fragment's left edge; a positive tail indent counts from the
// left edge too (the line's right end), zero or less from the right edge inward.
struct ParagraphStyle {
    TextAlignment alignment = TextAlignment::Natural;
    int lineBreakMode = 0;              // 0 word wrapping; kept, not otherwise used
    double lineSpacing = 0;             // added below every line
    double paragraphSpacing = 0;        // added below the paragraph
    double paragraphSpacingBefore = 0;  // added above the paragraph (not at the top of a container)
    double lineHeightMultiple = 0;      // 0: the natural height
    double minimumLineHeight = 0;
    double maximumLineHeight = 0;  // 0: no maximum
    double firstLineHeadIndent = 0;
    double headIndent = 0;
    double tailIndent = 0;

    friend bool operator==(const ParagraphStyle&, const ParagraphStyle&) = default;
};

// The shadow attribute of characters: kept and archived; the layout manager does not draw it.
struct TextShadow {
    double offsetX = 0;
    double offsetY = 0;
    double blurRadius = 0;
    Color color;  // null: the default (black at one third opacity)

    friend bool operator==(const TextShadow&, const TextShadow&) = default;
};

// Underline styles (the low byte of the underline attribute).
enum : int { kUnderlineNone = 0, kUnderlineSingle = 1, kUnderlineThick = 2, kUnderlineDouble = 9 };

// The attributes of one character. An unset attribute takes the text system's default: the default
// font at 12 points, black text, no background, no underline, stroke width 0 (filled glyphs), stroke and
// underline in the text colour. Kern, baseline offset, obliqueness, expansion, strikethrough, superscript,
// ligature and shadow are kept and archived but do not change layout or drawing. Attributes the text
// system does not know are kept in `other` under their stored names, so that they survive a round trip.
struct TextAttributes {
    std::optional<Font> font;
    std::optional<Color> foregroundColor;
    std::optional<Color> backgroundColor;
    std::optional<Color> strokeColor;
    std::optional<Color> underlineColor;
    std::optional<ParagraphStyle> paragraphStyle;
    std::optional<TextShadow> shadow;
    std::optional<double> kern;
    std::optional<double> baselineOffset;
    std::optional<double> strokeWidth;  // percent of the font size: > 0 stroke only, 0 fill, < 0 fill and stroke
    std::optional<double> obliqueness;
    std::optional<double> expansion;
    std::optional<int> underline;
    std::optional<int> strikethrough;
    std::optional<int> superscript;
    std::optional<int> ligature;
    std::optional<QString> link;
    ValueDictionary other;

    // Effective values with the defaults filled in.
    Font effectiveFont() const;
    Color effectiveForegroundColor() const;
    ParagraphStyle effectiveParagraphStyle() const;

    // Sets every attribute that `overrides` sets.
    void merge(const TextAttributes& overrides);

    friend bool operator==(const TextAttributes&, const TextAttributes&) = default;
};

// Largest magnitude any other number-valued attribute keeps (points, percents of the font size, factors).
inline constexpr double kLargestTextAttributeValue = 16384.0;

// Brings every number-valued attribute into a range that can be laid out, drawn, saved and read back:
// a value that is not a finite number is dropped (a paragraph or shadow field returns to its default),
// one beyond the limits is cut to them, and spacings, line heights and blur radii below zero become zero.
// Font sizes are kept usable by the font itself. Every attributed string applies this to its runs.
void repairTextAttributes(TextAttributes& attributes);

// A range of UTF-16 code units.
struct TextRange {
    qsizetype location = 0;
    qsizetype length = 0;

    qsizetype end() const { return location + length; }
    bool contains(qsizetype index) const { return index >= location && index < end(); }
    friend bool operator==(const TextRange&, const TextRange&) = default;
};

// A run of characters that share attributes.
struct AttributeRun {
    qsizetype length = 0;
    TextAttributes attributes;
    friend bool operator==(const AttributeRun&, const AttributeRun&) = default;
};

// A string with attribute runs: a plain value. Runs cover the string exactly, never have zero length and
// neighbours always differ (equal neighbours are merged), so equal texts compare equal.
class AttributedString {
public:
    AttributedString() = default;
    explicit AttributedString(const QString& text, const TextAttributes& attributes = {});
    // Runs are cut at the end of the text; text they do not reach gets no attributes.
    AttributedString(const QString& text, std::vector<AttributeRun> runs);

    const QString& string() const { return m_text; }
    qsizetype length() const { return m_text.size(); }
    bool isEmpty() const { return m_text.isEmpty(); }
    const std::vector<AttributeRun>& runs() const { return m_runs; }

    // Attributes of the character at `index` (clamped into the text; empty attributes for an empty
    // text) and, optionally, the whole run they belong to.
    const TextAttributes& attributesAt(qsizetype index, TextRange* effectiveRange = nullptr) const;

    // Edits. Ranges are clamped to the text.
    void replaceCharacters(TextRange range, const QString& text);  // new text takes the attributes before it
    void replaceCharacters(TextRange range, const AttributedString& text);
    void setAttributes(TextRange range, const TextAttributes& attributes);
    void addAttributes(TextRange range, const TextAttributes& attributes);  // merge into what is there
    // Changes the attributes of a range run by run.
    void modifyAttributes(TextRange range, const std::function<void(TextAttributes&)>& change);

    AttributedString substring(TextRange range) const;

    // The paragraph that holds `index`, its separator included. Paragraphs end at "\r\n" (one separator),
    // "\n", "\r" and U+2029.
    TextRange paragraphRange(qsizetype index) const;

    friend bool operator==(const AttributedString&, const AttributedString&) = default;

private:
    TextRange clamp(TextRange range) const;
    void normalize();
    // Splits runs so that a run boundary lies at `index`; answers the index of the run starting there.
    std::size_t splitAt(qsizetype index);

    QString m_text;
    std::vector<AttributeRun> m_runs;
    std::vector<qsizetype> m_runStarts;  // where each run starts, for lookups by index
};

// Length of the paragraph separator starting at `index` (0 when none: 2 for "\r\n").
int paragraphSeparatorLength(const QString& text, qsizetype index);

}  // namespace kx
