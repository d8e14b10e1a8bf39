#include "platform/text/text_attributes.h"

#include <algorithm>

namespace kx {

Font TextAttributes::effectiveFont() const {
    return font ? *font : Font::defaultFont(12);
}

Color TextAttributes::effectiveForegroundColor() const {
    return foregroundColor ? *foregroundColor : Color::srgb(0, 0, 0, 1);
}

ParagraphStyle TextAttributes::effectiveParagraphStyle() const {
    return paragraphStyle ? *paragraphStyle : ParagraphStyle{};
}

void TextAttributes::merge(const TextAttributes& o) {
    const auto take = [](auto& mine, const auto& theirs) {
        if (theirs)
            mine = theirs;
    };
    take(font, o.font);
    take(foregroundColor, o.foregroundColor);
    take(backgroundColor, o.backgroundColor);
    take(strokeColor, o.strokeColor);
    take(underlineColor, o.underlineColor);
    take(paragraphStyle, o.paragraphStyle);
    take(shadow, o.shadow);
    take(kern, o.kern);
    take(baselineOffset, o.baselineOffset);
    take(strokeWidth, o.strokeWidth);
    take(obliqueness, o.obliqueness);
    take(expansion, o.expansion);
    take(underline, o.underline);
    take(strikethrough, o.strikethrough);
    take(superscript, o.superscript);
    take(ligature, o.ligature);
    take(link, o.link);
    for (const auto& [key, value] : o.other)
        other[key] = value;
}

int paragraphSeparatorLength(const QString& text, qsizetype index) {
    if (index < 0 || index >= text.size())
        return 0;
    const QChar c = text[index];
    if (c == u'\r')
        return index + 1 < text.size() && text[index + 1] == u'\n' ? 2 : 1;
    if (c == u'\n' || c == QChar(0x2029))
        return 1;
    return 0;
}

AttributedString::AttributedString(const QString& text, const TextAttributes& attributes) : m_text(text) {
    if (!text.isEmpty())
        m_runs.push_back({text.size(), attributes});
    normalize();
}

AttributedString::AttributedString(const QString& text, std::vector<AttributeRun> runs) : m_text(text) {
    qsizetype covered = 0;
    for (auto& run : runs) {
        if (covered >= text.size())
            break;
        if (run.length <= 0)
            continue;
        run.length = std::min(run.length, text.size() - covered);
        covered += run.length;
        m_runs.push_back(std::move(run));
    }
    if (covered < text.size())
        m_runs.push_back({text.size() - covered, {}});
    normalize();
}

TextRange AttributedString::clamp(TextRange r) const {
    const qsizetype start = std::clamp<qsizetype>(r.location, 0, length());
    const qsizetype len = std::clamp<qsizetype>(r.length, 0, length() - start);
    return {start, len};
}

void AttributedString::normalize() {
    std::vector<AttributeRun> merged;
    merged.reserve(m_runs.size());
    for (auto& run : m_runs) {
        if (run.length <= 0)
            continue;
        repairTextAttributes(run.attributes);
        if (!merged.empty() && merged.back().attributes == run.attributes)
            merged.back().length += run.length;
        else
            merged.push_back(std::move(run));
    }
    m_runs = std::move(merged);
    m_runStarts.clear();
    m_runStarts.reserve(m_runs.size());
    qsizetype start = 0;
    for (const auto& run : m_runs) {
        m_runStarts.push_back(start);
        start += run.length;
    }
}

std::size_t AttributedString::splitAt(qsizetype index) {
    qsizetype start = 0;
    for (std::size_t i = 0; i < m_runs.size(); ++i) {
        if (start == index)
            return i;
        const qsizetype end = start + m_runs[i].length;
        if (index < end) {
            AttributeRun tail{end - index, m_runs[i].attributes};
            m_runs[i].length = index - start;
            m_runs.insert(m_runs.begin() + std::ptrdiff_t(i) + 1, std::move(tail));
            return i + 1;
        }
        start = end;
    }
    return m_runs.size();
}

const TextAttributes& AttributedString::attributesAt(qsizetype index, TextRange* effectiveRange) const {
    static const TextAttributes kNone;
    if (m_runs.empty()) {
        if (effectiveRange)
            *effectiveRange = {0, 0};
        return kNone;
    }
    index = std::clamp<qsizetype>(index, 0, length() - 1);
    const auto i =
        std::size_t(std::upper_bound(m_runStarts.begin(), m_runStarts.end(), index) - m_runStarts.begin()) - 1;
    if (effectiveRange)
        *effectiveRange = {m_runStarts[i], m_runs[i].length};
    return m_runs[i].attributes;
}

void AttributedString::replaceCharacters(TextRange range, const QString& text) {
    range = clamp(range);
    TextAttributes attributes;
    if (!m_runs.empty())
        attributes = attributesAt(range.location > 0 ? range.location - 1 : range.location);
    replaceCharacters(range, AttributedString(text, attributes));
}

void AttributedString::replaceCharacters(TextRange range, const AttributedString& text) {
    range = clamp(range);
    const std::size_t first = splitAt(range.location);
    const std::size_t last = splitAt(range.end());
    m_runs.erase(m_runs.begin() + std::ptrdiff_t(first), m_runs.begin() + std::ptrdiff_t(last));
    m_runs.insert(m_runs.begin() + std::ptrdiff_t(first), text.m_runs.begin(), text.m_runs.end());
    m_text.replace(range.location, range.length, text.m_text);
    normalize();
}

void AttributedString::modifyAttributes(TextRange range, const std::function<void(TextAttributes&)>& change) {
    range = clamp(range);
    if (range.length == 0)
        return;
    const std::size_t first = splitAt(range.location);
    const std::size_t last = splitAt(range.end());
    for (std::size_t i = first; i < last; ++i)
        change(m_runs[i].attributes);
    normalize();
}

void AttributedString::setAttributes(TextRange range, const TextAttributes& attributes) {
    modifyAttributes(range, [&](TextAttributes& a) { a = attributes; });
}

void AttributedString::addAttributes(TextRange range, const TextAttributes& attributes) {
    modifyAttributes(range, [&](TextAttributes& a) { a.merge(attributes); });
}

AttributedString AttributedString::substring(TextRange range) const {
    range = clamp(range);
    std::vector<AttributeRun> runs;
    qsizetype start = 0;
    for (const auto& run : m_runs) {
        const qsizetype from = std::max(start, range.location);
        const qsizetype to = std::min(start + run.length, range.end());
        if (from < to)
            runs.push_back({to - from, run.attributes});
        start += run.length;
    }
    return AttributedString(m_text.mid(range.location, range.length), std::move(runs));
}

TextRange AttributedString::paragraphRange(qsizetype index) const {
    index = std::clamp<qsizetype>(index, 0, length());
    // The "\n" of a "\r\n" belongs to the paragraph the pair ends.
    if (index > 0 && index < length() && m_text[index] == u'\n' && m_text[index - 1] == u'\r')
        --index;
    qsizetype start = index;
    while (start > 0 && paragraphSeparatorLength(m_text, start - 1) == 0)
        --start;
    qsizetype end = index;
    while (end < length() && paragraphSeparatorLength(m_text, end) == 0)
        ++end;
    end += paragraphSeparatorLength(m_text, end);
    return {start, end - start};
}

}  // namespace kx
