// A text field keeps its layout from one drawing to the next, and lays the text out again after each kind
// of change that moves its lines: characters, fonts, paragraph styles, the shape's size, the columns and the
// objects the text flows around.
#include "page_test_support.h"
#include "text_test_support.h"

#include "model/column_info.h"
#include "platform/gfx/bitmap_context.h"
#include "platform/text/text_layout_manager.h"
#include "text/text_container.h"

#include <gtest/gtest.h>

#include <functional>

using namespace kxtest;

namespace {

const QString kParagraphs = QStringLiteral(
    "The first paragraph runs over several lines of the column so that a change in it moves them.\n"
    "A second paragraph follows it, and a third one closes the text.\nThe end.");

class TextLayoutCacheTest : public ::testing::Test {
public:
    void SetUp() override {
        registerPageClasses();
        page = textPage(600, 400);
        shape = textShape(*page, {20, 20, 400, 300}, kParagraphs, dejaVu(16), OutlineShape::Kind::Rectangle, true);
    }
    KXText& text() { return textOf(*shape); }
    std::uint64_t layouts() { return text().layoutManter()->paragraphLayoutCount(); }
    void draw() {
        kx::BitmapContext context(600, 400);
        text().drawInContext(context, {0, 0, 400, 300});
    }
    std::shared_ptr<SolidGraph> wrapGraph(const kx::Rect& relative) {
        auto g = std::make_shared<SolidGraph>();
        page->addGraph(g);
        g->setRelativeRect(relative);
        g->setTextWrapEnabled(true);
        return g;
    }
    std::shared_ptr<KXCanvas> page;
    std::shared_ptr<OutlineShape> shape;
};

}  // namespace

TEST_F(TextLayoutCacheTest, ADrawingAfterNoChangeLaysNothingOut) {
    struct Case {
        const char* label;
        std::function<void(TextLayoutCacheTest&)> setUp;
    } cases[] = {
        {"plain", [](TextLayoutCacheTest&) {}},
        {"with an outline", [](TextLayoutCacheTest& t) { t.text().setOutlineEnabled(true); }},
        {"beside a wrapping object", [](TextLayoutCacheTest& t) { t.wrapGraph({0.3, 0.2, 0.2, 0.3}); }},
        {"aligned to the middle",
         [](TextLayoutCacheTest& t) { t.text().setVerticalAlignment(KXTextVerticalAlignmentMiddle); }},
        {"aligned to the bottom",
         [](TextLayoutCacheTest& t) { t.text().setVerticalAlignment(KXTextVerticalAlignmentBottom); }},
        {"in three columns",
         [](TextLayoutCacheTest& t) {
             t.text().setColumnInfos({KXColumnInfo::columnInfoWithWidth(0.3, 0.05),
                                      KXColumnInfo::columnInfoWithWidth(0.3, 0.05),
                                      KXColumnInfo::columnInfoWithWidth(0.3, 0)});
         }},
    };
    for (const Case& c : cases) {
        SetUp();
        c.setUp(*this);
        draw();
        const std::uint64_t first = layouts();
        ASSERT_GT(first, 0u) << c.label;
        draw();
        draw();
        EXPECT_EQ(layouts(), first) << c.label << ": a drawing after no change laid the text out again";
    }
}

TEST_F(TextLayoutCacheTest, EachKindOfChangeLaysTheTextOutAgain) {
    struct Case {
        const char* label;
        std::function<void(TextLayoutCacheTest&)> change;
        bool relayout;
    } cases[] = {
        {"typing", [](TextLayoutCacheTest& t) { t.text().textStorage().replaceCharacters({4, 0}, QStringLiteral("x")); },
         true},
        {"a larger font",
         [](TextLayoutCacheTest& t) { t.text().textStorage().addAttributes({0, 5}, dejaVu(30)); }, true},
        {"centred paragraphs",
         [](TextLayoutCacheTest& t) {
             kx::TextAttributes centred;
             centred.paragraphStyle = kx::ParagraphStyle{.alignment = kx::TextAlignment::Center};
             t.text().textStorage().addAttributes({0, 3}, centred);
         },
         true},
        {"a narrower shape", [](TextLayoutCacheTest& t) { t.shape->setRelativeRect({20.0 / 600, 20.0 / 400, 0.4, 0.75}); },
         true},
        {"two columns",
         [](TextLayoutCacheTest& t) {
             t.text().setColumnInfos(
                 {KXColumnInfo::columnInfoWithWidth(0.45, 0.1), KXColumnInfo::columnInfoWithWidth(0.45, 0)});
         },
         true},
        {"an object to flow around", [](TextLayoutCacheTest& t) { t.wrapGraph({0.2, 0.2, 0.2, 0.3}); }, true},
        {"middle alignment",
         [](TextLayoutCacheTest& t) { t.text().setVerticalAlignment(KXTextVerticalAlignmentMiddle); }, true},
        {"a colour", [](TextLayoutCacheTest& t) {
             kx::TextAttributes red;
             red.foregroundColor = kx::Color::srgb(1, 0, 0, 1);
             t.text().textStorage().addAttributes({0, 10}, red);
         },
         false},
    };
    for (const Case& c : cases) {
        SetUp();
        draw();
        const std::uint64_t before = layouts();
        c.change(*this);
        draw();
        if (c.relayout)
            EXPECT_GT(layouts(), before) << c.label << " left the old layout in place";
        else
            EXPECT_EQ(layouts(), before) << c.label << " laid the text out again";
    }
}

TEST_F(TextLayoutCacheTest, AMovedWrapObjectIsFlowedAroundAnew) {
    auto object = wrapGraph({0.05, 0.1, 0.3, 0.2});
    draw();
    const std::uint64_t before = layouts();
    const auto linesBefore = text().drawnLines();
    object->setRelativeRect({0.05, 0.5, 0.3, 0.2});
    draw();
    EXPECT_GT(layouts(), before);
    // Where the lines fall changed with the object.
    std::vector<kx::TextRange> a, b;
    for (const auto& l : linesBefore)
        a.push_back(l.characters);
    for (const auto& l : text().drawnLines())
        b.push_back(l.characters);
    EXPECT_NE(a, b);
}

// The container answers the same lines for the same settings: setting what it already holds keeps the
// layout, any new value lays the text out again.
TEST(TextContainerSettings, OnlyNewValuesLayTheTextOutAgain) {
    auto container = KXTextContainer::initWithContainerSize({300, 300});
    auto storage = std::make_shared<kx::TextStorage>(kx::AttributedString(kParagraphs, dejaVu(12)));
    kx::TextLayoutManager manager(storage);
    manager.addTextContainer(container);
    struct Case {
        const char* label;
        std::function<void()> set;
        bool relayout;
    } cases[] = {
        {"size", [&] { container->setSize({250, 300}); }, true},
        {"same size", [&] { container->setSize({250, 300}); }, false},
        {"padding", [&] { container->setLineFragmentPadding(8); }, true},
        {"outline", [&] { container->setPath(kx::BezierPath::withOvalInRect({0, 0, 250, 300})); }, true},
        {"same outline", [&] { container->setPath(kx::BezierPath::withOvalInRect({0, 0, 250, 300})); }, false},
        {"letter width", [&] { container->setSingleFontWidth(12); }, true},
        {"same letter width", [&] { container->setSingleFontWidth(12); }, false},
        {"no wrap objects", [&] { container->setWrapObjects({}); }, false},
        {"scale without holes", [&] { container->setScaleWidth(2); }, false},
    };
    for (const Case& c : cases) {
        manager.lineFragments();
        const std::uint64_t before = manager.paragraphLayoutCount();
        c.set();
        manager.lineFragments();
        EXPECT_EQ(manager.paragraphLayoutCount() > before, c.relayout) << c.label;
    }
}
