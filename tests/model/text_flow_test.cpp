// How text flows past wrap objects and through narrow columns: glyphs stay out of the objects and inside
// their column, lines never go back up, and a word is split over a narrow place only when there is no
// wider place further on.
//
// The expectations are worked out from the set-up (object rectangles on the page, column widths), and
// the ink is checked on a drawing, not on what the layout reports about itself.
#include "page_test_support.h"
#include "text_test_support.h"

#include "platform/gfx/bitmap_context.h"
#include "platform/text/text_layout_manager.h"
#include "text/text_container.h"

#include <gtest/gtest.h>

using namespace kxtest;

namespace {

const QString kFlowText = QStringLiteral(
    "enim ad minim veniam quis nostrud exercitation ullamco laboris nisi ut aliquip ex ea commodo consequat "
    "duis aute irure dolor in reprehenderit in voluptate velit esse cillum dolore eu fugiat nulla pariatur ");

constexpr double kPage = 400;
constexpr double kFontSize = 12;

double widthOfM() {
    return kx::measureString(QStringLiteral("M"), dejaVu(kFontSize)).width;
}

// Ink of a container's glyphs, drawn at zoom 1 into a grey mask in the container's downward axis.
class Ink {
public:
    Ink(kx::TextLayoutManager& manager, int container, kx::Size size)
        : m_bitmap(int(std::ceil(size.width)) + 2 * kMargin, int(std::ceil(size.height)) + 2 * kMargin,
                   kx::BitmapContext::Kind::AlphaOnly) {
        m_bitmap.translate(0, m_bitmap.height());
        m_bitmap.scale(1, -1);
        manager.drawGlyphs(m_bitmap, container, {kMargin, kMargin});
    }
    // Whether any pixel that reaches into the rectangle (container coordinates) from left or right, or lies
    // wholly inside it from top to bottom, is inked.
    bool inkedIn(const kx::Rect& r) const {
        const int x0 = std::max(0, int(std::floor(r.minX())) + kMargin);
        const int x1 = std::min(m_bitmap.width(), int(std::ceil(r.maxX())) + kMargin);
        const int y0 = std::max(0, int(std::ceil(r.minY())) + kMargin);
        const int y1 = std::min(m_bitmap.height(), int(std::floor(r.maxY())) + kMargin);
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                if (m_bitmap.constData()[y * m_bitmap.bytesPerRow() + x] > 64)
                    return true;
        return false;
    }
    static constexpr int kMargin = 40;

private:
    kx::BitmapContext m_bitmap;
};

bool isBlank(QChar c) {
    return c.isSpace() || c == QChar(0x2029);
}

// Line tops never go back up in character order, and fragments on one band run left to right.
void expectDownwardOrder(const std::vector<kx::LineFragment>& fragments, const QString& label) {
    for (std::size_t i = 1; i < fragments.size(); ++i) {
        const kx::LineFragment& a = fragments[i - 1];
        const kx::LineFragment& b = fragments[i];
        if (a.container != b.container)
            continue;
        EXPECT_GE(b.rect.minY(), a.rect.minY()) << label.toStdString() << ": fragment " << i << " goes back up";
        if (b.rect.minY() == a.rect.minY())
            EXPECT_GE(b.rect.minX(), a.rect.maxX() - 1e-6) << label.toStdString() << ": fragment " << i;
    }
}

// A fragment ending inside a word holds only a piece of it: that is acceptable only when no wider fragment
// comes after it.
void expectNoSplitWordBeforeAWiderPlace(const std::vector<kx::LineFragment>& fragments, const QString& text,
                                        const QString& label) {
    for (std::size_t i = 0; i < fragments.size(); ++i) {
        const kx::TextRange c = fragments[i].characters;
        if (c.length == 0 || c.end() >= text.size() || isBlank(text[c.end() - 1]) || isBlank(text[c.end()]))
            continue;
        double widestAfter = 0;
        for (std::size_t j = i + 1; j < fragments.size(); ++j)
            widestAfter = std::max(widestAfter, fragments[j].rect.size.width);
        EXPECT_LE(widestAfter, fragments[i].rect.size.width)
            << label.toStdString() << ": \"" << text.mid(c.location, c.length).toStdString()
            << "\" is split off its word although a wider fragment follows";
    }
}

class TextFlowTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerPageClasses();
        page = textPage(kPage, kPage);
    }
    // A wrapping graph at a rectangle in page points (y up).
    std::shared_ptr<KXGraph> object(const kx::Rect& r) {
        auto g = std::make_shared<SolidGraph>();
        page->addGraph(g);
        g->setRelativeRect({r.origin.x / kPage, r.origin.y / kPage, r.size.width / kPage, r.size.height / kPage});
        g->setTextWrapEnabled(true);
        return g;
    }
    static kx::Rect downward(const kx::Rect& r) { return {r.origin.x, kPage - r.maxY(), r.size.width, r.size.height}; }

    std::shared_ptr<KXTextContainer> container(kx::Size size) {
        auto c = KXTextContainer::initWithContainerSize(size);
        c->setPath(kx::BezierPath::withRect({0, 0, size.width, size.height}));
        c->setSingleFontWidth(float(widthOfM()));
        c->setScaleWidth(1);
        c->setScaleHeight(1);
        c->setObjectRect(kx::Rect({0, 0}, page->previewSize()));
        return c;
    }
    std::shared_ptr<KXCanvas> page;
};

// Wrap objects side by side with gaps of different widths between them, listed in either order.
TEST_F(TextFlowTest, TextAroundObjectsStaysOutOfThemAndNeverGoesBackUp) {
    const double m = widthOfM();
    struct Case {
        const char* label;
        std::vector<kx::Rect> objects;  // page points, y up
    };
    const std::vector<Case> cases = {
        {"gap narrower than M", {{100, 150, 60, 100}, {160 + m - 4, 150, 60, 100}}},
        {"gap narrower than M, listed right first", {{160 + m - 4, 150, 60, 100}, {100, 150, 60, 100}}},
        {"gap a little wider than M", {{100, 150, 60, 100}, {160 + m + 3, 150, 60, 100}}},
        {"gap of M and the padding", {{100, 150, 60, 100}, {160 + m + 12, 150, 60, 100}}},
        {"gap of three words", {{100, 150, 60, 100}, {260, 150, 60, 100}}},
        {"narrow strip at the left edge", {{m + 4, 150, 100, 100}}},
        {"strip of the padding and one point", {{11, 150, 100, 100}}},
        {"narrow strip at the right edge", {{200, 150, kPage - 200 - m - 4, 100}}},
        {"staggered objects", {{80, 200, 60, 80}, {150, 150, 40, 80}, {200, 120, 60, 100}}},
    };
    for (const Case& c : cases) {
        std::vector<std::shared_ptr<KXGraph>> graphs;
        for (const kx::Rect& r : c.objects)
            graphs.push_back(object(r));
        auto column = container({kPage, kPage});
        column->setWrapObjects(graphs);
        const QString text = kFlowText.repeated(6);
        auto storage = std::make_shared<kx::TextStorage>(kx::AttributedString(text, dejaVu(kFontSize)));
        kx::TextLayoutManager manager(storage);
        manager.addTextContainer(column);
        const QString label = QString::fromLatin1(c.label);
        const auto& fragments = manager.lineFragments();
        ASSERT_GT(fragments.size(), 10u) << c.label;

        // (a) no character's extent, and no ink, inside an object.
        const Ink ink(manager, 0, column->size());
        for (const kx::Rect& r : c.objects) {
            const kx::Rect hole = downward(r);
            EXPECT_FALSE(ink.inkedIn(hole.insetBy(0, 0.5))) << c.label << ": ink inside an object";
            for (qsizetype i = 0; i < manager.characterRange(0).end(); ++i) {
                if (isBlank(text[i]))
                    continue;
                const kx::Rect glyph = manager.boundingRect({i, 1}, 0);
                EXPECT_FALSE(glyph.insetBy(0.5, 0.5).intersects(hole))
                    << c.label << ": character " << i << " '" << QString(text[i]).toStdString() << "' at "
                    << glyph.origin.x << "," << glyph.origin.y << " is inside an object";
            }
        }
        // (b) no ink outside the column.
        EXPECT_FALSE(ink.inkedIn({-Ink::kMargin, -Ink::kMargin, double(Ink::kMargin), kPage + 2 * Ink::kMargin}))
            << c.label;
        EXPECT_FALSE(ink.inkedIn({kPage, -Ink::kMargin, double(Ink::kMargin), kPage + 2 * Ink::kMargin})) << c.label;
        // (c) reading order is visual order.
        expectDownwardOrder(fragments, label);
        qsizetype previous = -1;
        for (qsizetype i = 0; i < manager.characterRange(0).end(); ++i) {
            if (isBlank(text[i]))
                continue;
            if (previous >= 0)
                EXPECT_GE(manager.boundingRect({i, 1}, 0).minY(), manager.boundingRect({previous, 1}, 0).minY())
                    << c.label << ": character " << i << " lies above character " << previous;
            previous = i;
        }
        // (d) no "e|nim".
        expectNoSplitWordBeforeAWiderPlace(fragments, text, label);
        for (const auto& g : graphs)
            page->removeGraph(g.get());
    }
}

// Beside a tall object the lines on the free side follow each other a line apart: a rest of a line that
// cannot hold its text is skipped, and the text does not jump down past empty lines.
TEST_F(TextFlowTest, ANarrowGapLeavesNoEmptyLinesBesideTheObjects) {
    const double m = widthOfM();
    auto left = object({100, 150, 60, 100});
    auto right = object({160 + m - 4, 150, 60, 100});
    auto column = container({kPage, kPage});
    column->setWrapObjects({left, right});
    auto storage = std::make_shared<kx::TextStorage>(kx::AttributedString(kFlowText.repeated(6), dejaVu(kFontSize)));
    kx::TextLayoutManager manager(storage);
    manager.addTextContainer(column);
    const kx::Rect band = downward(left->frameRect());
    std::vector<double> leftTops;
    bool rightOfBoth = false;
    for (const kx::LineFragment& f : manager.lineFragments()) {
        if (f.rect.maxY() <= band.minY() || f.rect.minY() >= band.maxY())
            continue;
        if (f.rect.maxX() <= band.minX() + 1)
            leftTops.push_back(f.rect.minY());
        if (f.rect.minX() >= downward(right->frameRect()).maxX() - 1)
            rightOfBoth = true;
    }
    ASSERT_GE(leftTops.size(), 3u);
    const double lineHeight = dejaVu(kFontSize).font->lineHeight();
    for (std::size_t i = 1; i < leftTops.size(); ++i)
        EXPECT_NEAR(leftTops[i] - leftTops[i - 1], lineHeight, 0.5) << "line " << i << " beside the objects";
    EXPECT_TRUE(rightOfBoth) << "no text right of the two objects";
}

// Columns narrower than an "M" and its padding, and a glyph wider than the column: nothing is drawn into
// the gutters; text that fits nowhere overflows.
TEST_F(TextFlowTest, NarrowColumnsDrawNothingOutsideThemselves) {
    const double m = widthOfM();
    struct Case {
        const char* label;
        double width;
        double fontSize;
        QString text;
    } cases[] = {
        {"column of M and half the padding", m + 5, kFontSize, QStringLiteral("MMM WWW mmm")},
        {"column of M and the padding less one", m + 9, kFontSize, QStringLiteral("MMM WWW mmm")},
        {"glyph wider than the column", 40, 60, QStringLiteral("W")},
        {"wide glyphs after narrow ones", 45, 40, QStringLiteral("il W il")},
    };
    for (const Case& c : cases) {
        std::vector<std::shared_ptr<KXTextContainer>> columns;
        auto storage = std::make_shared<kx::TextStorage>(kx::AttributedString(c.text, dejaVu(c.fontSize)));
        kx::TextLayoutManager manager(storage);
        for (int i = 0; i < 3; ++i) {
            columns.push_back(container({c.width, 200}));
            manager.addTextContainer(columns.back());
        }
        for (int i = 0; i < 3; ++i) {
            const Ink ink(manager, i, columns[std::size_t(i)]->size());
            const double h = 200 + 2 * Ink::kMargin;
            EXPECT_FALSE(ink.inkedIn({-Ink::kMargin, -Ink::kMargin, double(Ink::kMargin), h}))
                << c.label << ": ink left of column " << i;
            EXPECT_FALSE(ink.inkedIn({c.width, -Ink::kMargin, double(Ink::kMargin), h}))
                << c.label << ": ink right of column " << i;
        }
        for (const kx::LineFragment& f : manager.lineFragments()) {
            const kx::Rect glyphs = manager.boundingRect(
                {f.characters.location, f.characters.length - (isBlank(c.text[f.characters.end() - 1]) ? 1 : 0)},
                f.container);
            EXPECT_GE(glyphs.minX(), 0) << c.label;
            EXPECT_LE(glyphs.maxX(), c.width) << c.label;
        }
        expectDownwardOrder(manager.lineFragments(), QString::fromLatin1(c.label));
    }
}

}  // namespace
