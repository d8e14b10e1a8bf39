// Right-to-left paragraphs: natural alignment sets them flush right, and the used rectangles, the hit
// testing and the drawn ink agree for every alignment. The ink is measured on a drawing.
#include "platform/gfx/bitmap_context.h"
#include "platform/text/text_layout_manager.h"

#include <gtest/gtest.h>

using namespace kx;

namespace {

constexpr double kWidth = 300;
constexpr double kHeight = 200;
constexpr double kPadding = TextContainer::kDefaultLineFragmentPadding;

const QString kHebrew = QStringLiteral("שלום עולם ברוכים הבאים");
const QString kArabic = QStringLiteral("مرحبا بالعالم أهلا وسهلا");
const QString kLatin = QStringLiteral("hello world and welcome");

TextAttributes sans(TextAlignment alignment) {
    TextAttributes a;
    a.font = Font::withFamily(QStringLiteral("DejaVu Sans"), QStringLiteral("Book"), 14);
    a.paragraphStyle = ParagraphStyle{.alignment = alignment};
    return a;
}

// The left and right ends of the ink between two heights of a container, drawn into a grey mask.
struct InkSpan {
    double left = 1e9, right = -1e9;
    bool empty() const { return right < left; }
};

class Drawing {
public:
    Drawing(TextLayoutManager& manager) : m_bitmap(int(kWidth), int(kHeight), BitmapContext::Kind::AlphaOnly) {
        m_bitmap.translate(0, kHeight);
        m_bitmap.scale(1, -1);
        manager.drawGlyphs(m_bitmap, 0, {0, 0});
    }
    InkSpan span(double top, double bottom) const {
        InkSpan s;
        for (int y = std::max(0, int(top)); y < std::min(m_bitmap.height(), int(bottom)); ++y)
            for (int x = 0; x < m_bitmap.width(); ++x)
                if (m_bitmap.constData()[y * m_bitmap.bytesPerRow() + x] > 64) {
                    s.left = std::min(s.left, double(x));
                    s.right = std::max(s.right, double(x + 1));
                }
        return s;
    }

private:
    BitmapContext m_bitmap;
};

struct Laid {
    std::shared_ptr<TextStorage> storage;
    std::unique_ptr<TextLayoutManager> manager;
    Laid(const QString& text, TextAlignment alignment, double width = kWidth)
        : storage(std::make_shared<TextStorage>(AttributedString(text, sans(alignment)))),
          manager(std::make_unique<TextLayoutManager>(storage)) {
        manager->addTextContainer(std::make_shared<TextContainer>(Size(width, kHeight)));
    }
};

}  // namespace

// One line of text: where the used rectangle lies against the container's edges, and the ink inside it.
TEST(TextDirection, UsedRectAndInkAgreeWithTheAlignment) {
    enum Side { Left, Right, Centre };
    struct Case {
        const char* label;
        const QString* text;
        TextAlignment alignment;
        Side side;
    } cases[] = {
        {"Hebrew natural", &kHebrew, TextAlignment::Natural, Right},
        {"Arabic natural", &kArabic, TextAlignment::Natural, Right},
        {"Latin natural", &kLatin, TextAlignment::Natural, Left},
        {"Hebrew left", &kHebrew, TextAlignment::Left, Left},
        {"Hebrew right", &kHebrew, TextAlignment::Right, Right},
        {"Arabic centred", &kArabic, TextAlignment::Center, Centre},
        {"Hebrew justified (a single, last line)", &kHebrew, TextAlignment::Justified, Right},
        {"Arabic justified (a single, last line)", &kArabic, TextAlignment::Justified, Right},
        {"Latin justified (a single, last line)", &kLatin, TextAlignment::Justified, Left},
    };
    for (const Case& c : cases) {
        Laid laid(*c.text, c.alignment);
        const auto& fragments = laid.manager->lineFragments();
        ASSERT_EQ(fragments.size(), 1u) << c.label;
        const Rect used = fragments[0].usedRect;
        if (c.side == Left)
            EXPECT_NEAR(used.minX(), 0, 0.01) << c.label;
        else if (c.side == Right)
            EXPECT_NEAR(used.maxX(), kWidth, 0.01) << c.label;
        else
            EXPECT_NEAR(used.minX(), kWidth - used.maxX(), 0.01) << c.label;
        // The ink lies inside the used rectangle, its padding aside (a glyph's side bearing at most a point
        // or two in from the ends).
        const InkSpan ink = Drawing(*laid.manager).span(used.minY(), used.maxY());
        ASSERT_FALSE(ink.empty()) << c.label;
        EXPECT_GE(ink.left, used.minX() + kPadding - 1) << c.label;
        EXPECT_LE(ink.right, used.maxX() - kPadding + 1) << c.label;
        EXPECT_LE(ink.left, used.minX() + kPadding + 3) << c.label;
        EXPECT_GE(ink.right, used.maxX() - kPadding - 3) << c.label;
        // The characters' extents cover the same span, and the point at the middle of the ink hits a
        // character whose extent holds it.
        const Rect bounds = laid.manager->boundingRect({0, c.text->size()}, 0);
        EXPECT_NEAR(bounds.minX(), used.minX() + kPadding, 2) << c.label;
        EXPECT_NEAR(bounds.maxX(), used.maxX() - kPadding, 2) << c.label;
        bool inside = false;
        const Point middle((ink.left + ink.right) / 2, used.midY());
        const qsizetype hit = laid.manager->characterIndexAt(middle, 0, &inside);
        ASSERT_GE(hit, 0) << c.label;
        const Rect hitBounds = laid.manager->boundingRect({hit, 1}, 0);
        EXPECT_TRUE(hitBounds.insetBy(-0.5, 0).contains(middle)) << c.label << ": hit " << hit;
        // Links found by rectangle: a rectangle left of the ink holds no character.
        if (ink.left > 20)
            EXPECT_EQ(laid.manager->characterRangeInRect({0, used.minY(), ink.left - 10, 2}, 0).length, 0) << c.label;
    }
}

// A justified right-to-left paragraph of several lines: full lines run from edge to edge, the last one
// stands flush right, and each line's ink lies in its used rectangle.
TEST(TextDirection, JustifiedRightToLeftLinesFillTheLineAndTheLastStandsRight) {
    for (const QString* text : {&kHebrew, &kArabic}) {
        Laid laid((*text + u' ').repeated(3).trimmed(), TextAlignment::Justified, 150);
        const auto& fragments = laid.manager->lineFragments();
        ASSERT_GE(fragments.size(), 3u);
        const Drawing drawing(*laid.manager);
        for (std::size_t i = 0; i < fragments.size(); ++i) {
            const Rect used = fragments[i].usedRect;
            if (i + 1 < fragments.size()) {
                // Spread from the left edge to the right one, short of it by a space's width at most.
                EXPECT_NEAR(used.minX(), 0, 0.01) << i;
                EXPECT_GT(used.maxX(), 150 - 8) << i;
                EXPECT_LE(used.maxX(), 150 + 0.01) << i;
            } else {
                EXPECT_NEAR(used.maxX(), 150, 0.01) << "the last line stands right";
            }
            const InkSpan ink = drawing.span(used.minY(), used.maxY());
            ASSERT_FALSE(ink.empty()) << i;
            EXPECT_GE(ink.left, used.minX() + kPadding - 1) << i;
            EXPECT_LE(ink.right, used.maxX() - kPadding + 1) << i;
            EXPECT_LE(ink.left, used.minX() + kPadding + 3) << i;
            EXPECT_GE(ink.right, used.maxX() - kPadding - 3) << i;
        }
    }
}
