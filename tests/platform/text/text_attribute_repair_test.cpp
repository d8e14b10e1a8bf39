// Number-valued text attributes set through the programming interface: a font never holds a size that cannot be
// drawn or saved, and attributed strings and text storages repair the other numbers.
#include "platform/text/text_storage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

using namespace kx;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::nan("");
constexpr double kUnset = -99;

struct SizeCase {
    double given;
    double kept;
};

const SizeCase kFontSizes[] = {
    {-1, 12}, {kNaN, 12}, {kInf, 12}, {-kInf, 12}, {1e300, kLargestFontSize}, {0, 0}, {7.5, 7.5},
};

}  // namespace

TEST(FontSize, UnusableSizesBecomeTheDrawnSize) {
    for (const SizeCase& c : kFontSizes) {
        EXPECT_EQ(Font("DejaVuSans", "DejaVu Sans", "Book", c.given).pointSize(), c.kept) << c.given;
        EXPECT_EQ(Font::defaultFont(20).withSize(c.given).pointSize(), c.kept) << c.given;
        EXPECT_EQ(Font::withFamily("DejaVu Sans", "Bold", c.given).pointSize(), c.kept) << c.given;
    }
}

TEST(TextAttributeRepair, NumbersSetThroughEditsAreRepairedAndTheRestKept) {
    struct Case {
        const char* name;
        std::function<void(TextAttributes&)> set;
        std::function<double(const TextAttributes&)> read;
        double expected;
    };
    const auto stroke = [](const TextAttributes& a) { return a.strokeWidth.value_or(kUnset); };
    const auto baseline = [](const TextAttributes& a) { return a.baselineOffset.value_or(kUnset); };
    const auto expansion = [](const TextAttributes& a) { return a.expansion.value_or(kUnset); };
    const auto spacing = [](const TextAttributes& a) { return a.paragraphStyle->paragraphSpacing; };
    const auto minimum = [](const TextAttributes& a) { return a.paragraphStyle->minimumLineHeight; };
    const auto tail = [](const TextAttributes& a) { return a.paragraphStyle->tailIndent; };
    const auto blur = [](const TextAttributes& a) { return a.shadow->blurRadius; };
    const auto offsetY = [](const TextAttributes& a) { return a.shadow->offsetY; };
    const auto paragraph = [](double ParagraphStyle::*field, double v) {
        return [=](TextAttributes& a) {
            ParagraphStyle s;
            s.*field = v;
            a.paragraphStyle = s;
        };
    };
    const auto shadow = [](double TextShadow::*field, double v) {
        return [=](TextAttributes& a) {
            TextShadow s;
            s.*field = v;
            a.shadow = s;
        };
    };
    const Case cases[] = {
        {"stroke NaN", [](TextAttributes& a) { a.strokeWidth = kNaN; }, stroke, kUnset},
        {"stroke +inf", [](TextAttributes& a) { a.strokeWidth = kInf; }, stroke, kUnset},
        {"stroke huge", [](TextAttributes& a) { a.strokeWidth = -1e300; }, stroke, -kLargestTextAttributeValue},
        {"stroke -3 kept", [](TextAttributes& a) { a.strokeWidth = -3; }, stroke, -3},
        {"baseline -inf", [](TextAttributes& a) { a.baselineOffset = -kInf; }, baseline, kUnset},
        {"expansion NaN", [](TextAttributes& a) { a.expansion = kNaN; }, expansion, kUnset},
        {"paragraph spacing -1", paragraph(&ParagraphStyle::paragraphSpacing, -1), spacing, 0},
        {"paragraph spacing NaN", paragraph(&ParagraphStyle::paragraphSpacing, kNaN), spacing, 0},
        {"minimum line height huge", paragraph(&ParagraphStyle::minimumLineHeight, 1e300), minimum,
         kLargestTextAttributeValue},
        {"tail indent -10 kept", paragraph(&ParagraphStyle::tailIndent, -10), tail, -10},
        {"tail indent -inf", paragraph(&ParagraphStyle::tailIndent, -kInf), tail, 0},
        {"shadow blur -1", shadow(&TextShadow::blurRadius, -1), blur, 0},
        {"shadow offset NaN", shadow(&TextShadow::offsetY, kNaN), offsetY, 0},
    };
    for (const auto& c : cases) {
        TextAttributes bad;
        c.set(bad);
        TextAttributes underlined;
        underlined.underline = kUnderlineSingle;
        // Through an attributed string, added and set, and through a text storage.
        AttributedString added(QStringLiteral("abcdef"), underlined);
        added.addAttributes({2, 2}, bad);
        AttributedString set(QStringLiteral("abcdef"), underlined);
        set.setAttributes({2, 2}, bad);
        TextStorage storage(AttributedString(QStringLiteral("abcdef"), underlined));
        storage.addAttributes({2, 2}, bad);
        for (const AttributedString* text :
             std::initializer_list<const AttributedString*>{&added, &set, &storage.attributedString()}) {
            EXPECT_EQ(c.read(text->attributesAt(3)), c.expected) << c.name;
            EXPECT_EQ(text->attributesAt(0).underline, kUnderlineSingle) << c.name;
            EXPECT_EQ(text->attributesAt(5).underline, kUnderlineSingle) << c.name;
        }
        // Equal texts compare equal once repaired (a value that is not a number never equals itself).
        EXPECT_EQ(AttributedString(QStringLiteral("ab"), bad), AttributedString(QStringLiteral("ab"), bad)) << c.name;
    }
}
