#include "platform/text/text_layout_manager.h"

#include <gtest/gtest.h>

#include <random>

using namespace kx;

namespace {

TextAttributes fontAttributes(const QString& family, double size, const QString& style = QStringLiteral("Book")) {
    TextAttributes a;
    a.font = Font::withFamily(family, style, size);
    return a;
}

const TextAttributes& mono10() {
    static const TextAttributes a = fontAttributes(QStringLiteral("DejaVu Sans Mono"), 10);
    return a;
}

// A storage in DejaVu Sans Mono 10 (every character the same advance) and a manager with containers.
struct LaidOut {
    std::shared_ptr<TextStorage> storage;
    std::unique_ptr<TextLayoutManager> manager;

    explicit LaidOut(const QString& text, std::vector<std::shared_ptr<TextContainer>> containers,
                     const TextAttributes& attributes = mono10())
        : storage(std::make_shared<TextStorage>(AttributedString(text, attributes))),
          manager(std::make_unique<TextLayoutManager>(storage)) {
        for (auto& c : containers)
            manager->addTextContainer(c);
    }

    // The text of each fragment, in order.
    std::vector<QString> fragmentTexts() {
        std::vector<QString> out;
        for (const auto& f : manager->lineFragments())
            out.push_back(storage->string().mid(f.characters.location, f.characters.length));
        return out;
    }
};

double monoAdvance() {
    return mono10().font->widthOfString(QStringLiteral("0123456789")) / 10;
}
double monoLine() {
    return mono10().font->lineHeight();
}

std::shared_ptr<TextContainer> box(double width, double height) {
    return std::make_shared<TextContainer>(Size(width, height));
}

// A width for `chars` monospaced characters plus the padding at both ends.
double widthFor(int chars) {
    return chars * monoAdvance() + 2 * TextContainer::kDefaultLineFragmentPadding + 0.5;
}

}  // namespace

TEST(TextFonts, PointsAreUnitsAt72DpiWithDesignMetrics) {
    // Liberation Sans has the advances of the common sans-serif metric family: "Hello" is 2278/1000 em
    // (each advance is kept to 1/64 point).
    const Font liberation = Font::withFamily(QStringLiteral("Liberation Sans"), QStringLiteral("Regular"), 12);
    ASSERT_TRUE(liberation.isInstalled());
    EXPECT_NEAR(liberation.widthOfString(QStringLiteral("Hello")), 2.278 * 12, 5.0 / 64);
    EXPECT_NEAR(measureString(QStringLiteral("Hello"), TextAttributes{.font = liberation}).width, 2.278 * 12, 5.0 / 64);
    // DejaVu Sans: ascent 0.928 em + descent 0.236 em.
    const Font dejavu = Font::defaultFont(72);
    EXPECT_NEAR(dejavu.ascent() + dejavu.descent(), 1.164 * 72, 0.5);
    EXPECT_NEAR(measureString(QStringLiteral("A"), TextAttributes{.font = dejavu}).height, dejavu.lineHeight(), 1e-6);
    EXPECT_EQ(Font::withFamily(QStringLiteral("DejaVu Sans"), QStringLiteral("Bold"), 12).postScriptName(),
              QStringLiteral("DejaVuSans-Bold"));
}

TEST(TextFonts, AFontThatIsNotInstalledKeepsItsNamesAndStillMeasures) {
    const Font missing(QStringLiteral("NoSuchFont-Bold"), QStringLiteral("No Such Family"), QStringLiteral("Bold"), 30);
    EXPECT_FALSE(missing.isInstalled());
    EXPECT_EQ(missing.family(), QStringLiteral("No Such Family"));
    EXPECT_GT(missing.lineHeight(), 30);
    EXPECT_GT(missing.widthOfString(QStringLiteral("abc")), 10);
    // A face found by its PostScript name alone.
    const Font byName(QStringLiteral("DejaVuSerif-Bold"), QStringLiteral("Gone"), QStringLiteral("Gone"), 12);
    EXPECT_TRUE(byName.isInstalled());
    EXPECT_EQ(byName.qfont().family(), QStringLiteral("DejaVu Serif"));
}

TEST(TextFonts, AMissingCommonFamilyMeasuresWithItsInstalledMetricTwin) {
    // "Arial" is not installed; fontconfig falls back to Liberation Sans, whose advances are the same.
    const Font arial(QStringLiteral("ArialMT"), QStringLiteral("Arial"), QStringLiteral("Regular"), 12);
    EXPECT_FALSE(arial.isInstalled());
    const Font liberation = Font::withFamily(QStringLiteral("Liberation Sans"), QStringLiteral("Regular"), 12);
    EXPECT_DOUBLE_EQ(arial.widthOfString(QStringLiteral("Hello world")),
                     liberation.widthOfString(QStringLiteral("Hello world")));
    EXPECT_EQ(arial.family(), QStringLiteral("Arial"));
}

TEST(TextFonts, NamesAndTraitsFindInstalledFaces) {
    EXPECT_EQ(
        Font::named(QStringLiteral("LiberationSerif-Bold"), 20),
        Font(QStringLiteral("LiberationSerif-Bold"), QStringLiteral("Liberation Serif"), QStringLiteral("Bold"), 20));
    const auto byFamily = Font::named(QStringLiteral("DejaVu Sans"), 10);
    ASSERT_TRUE(byFamily);
    EXPECT_FALSE(byFamily->isBold());
    EXPECT_FALSE(byFamily->isItalic());
    EXPECT_EQ(Font::named(QStringLiteral("No Such Face"), 10), std::nullopt);

    struct Case {
        bool bold, italic;
        const char* postScriptName;
    };
    const Case cases[] = {{false, false, "DejaVuSans"},
                          {true, false, "DejaVuSans-Bold"},
                          {false, true, "DejaVuSans-Oblique"},
                          {true, true, "DejaVuSans-BoldOblique"}};
    for (const auto& c : cases) {
        const Font f = byFamily->withTraits(c.bold, c.italic);
        EXPECT_EQ(f.postScriptName(), QString::fromLatin1(c.postScriptName));
        EXPECT_EQ(f.isBold(), c.bold);
        EXPECT_EQ(f.isItalic(), c.italic);
        EXPECT_EQ(f.withTraits(false, false), f.withTraits(false, false).withTraits(false, false));
    }
    // A family that is not installed keeps its name and gets a style named after the traits.
    const Font missing(QStringLiteral("Gone"), QStringLiteral("Gone Sans"), QStringLiteral("Regular"), 9);
    EXPECT_EQ(missing.withTraits(true, true).style(), QStringLiteral("Bold Italic"));
    EXPECT_TRUE(missing.withTraits(true, false).qfont().bold());
}

TEST(TextLayout, LinesWrapAtWordsAndContinueInTheNextColumn) {
    // Columns of 10 characters and 2 lines each; the rest of the text overflows the second column.
    const double height = 2 * monoLine() + 0.5;
    LaidOut s(QStringLiteral("aaaa bbbb cccc dddd eeee ffff gggg hhhh iiii jjjj"),
              {box(widthFor(10), height), box(widthFor(10), height)});
    EXPECT_EQ(s.fragmentTexts(), (std::vector<QString>{"aaaa bbbb ", "cccc dddd ", "eeee ffff ", "gggg hhhh "}));
    const auto& f = s.manager->lineFragments();
    EXPECT_EQ(f[0].container, 0);
    EXPECT_EQ(f[1].container, 0);
    EXPECT_EQ(f[2].container, 1);
    EXPECT_DOUBLE_EQ(f[1].rect.minY(), f[0].rect.minY() + f[0].usedRect.height());
    EXPECT_EQ(f[2].rect.minY(), 0.0);  // the second column starts at its top
    EXPECT_EQ(s.manager->characterRange(0), (TextRange{0, 20}));
    EXPECT_EQ(s.manager->characterRange(1), (TextRange{20, 20}));
    EXPECT_EQ(s.manager->firstUnlaidCharacterIndex(), 40);
}

TEST(TextLayout, AWordLongerThanTheLineBreaksInsideIt) {
    LaidOut s(QStringLiteral("abcdefghijklmnopqrstuvwxy z"), {box(widthFor(10), 1000)});
    EXPECT_EQ(s.fragmentTexts(), (std::vector<QString>{"abcdefghij", "klmnopqrst", "uvwxy z"}));
}

TEST(TextLayout, ParagraphSeparatorsStartNewLinesAndCrLfIsOneSeparator) {
    LaidOut s(QStringLiteral("a\r\nb\nc\rd") + QChar(0x2029) + QStringLiteral("\ne"), {box(1000, 1000)});
    const std::vector<QString> expected{"a\r\n", "b\n", "c\r", QStringLiteral("d") + QChar(0x2029), "\n", "e"};
    EXPECT_EQ(s.fragmentTexts(), expected);
    const auto& f = s.manager->lineFragments();
    for (std::size_t i = 1; i < f.size(); ++i)
        EXPECT_NEAR(f[i].rect.minY(), i * monoLine(), 1e-6) << i;
}

TEST(TextLayout, PaddingShowsInTheUsedRect) {
    LaidOut s(QStringLiteral("abcd"), {box(500, 500)});
    const Rect used = s.manager->usedRect(0);
    EXPECT_NEAR(used.minX(), 0, 1e-6);
    EXPECT_NEAR(used.width(), 4 * monoAdvance() + 10, 1e-6);
    EXPECT_NEAR(used.height(), monoLine(), 1e-6);
    // The bounding rect of the glyphs lies inside, one padding in from the left.
    const Rect bounds = s.manager->boundingRect({0, 4}, 0);
    EXPECT_NEAR(bounds.minX(), 5, 1e-6);
    EXPECT_NEAR(bounds.width(), 4 * monoAdvance(), 1e-6);
}

TEST(TextLayout, AlignmentAndMixedRunsShapeTheLine) {
    TextAttributes right = mono10();
    right.paragraphStyle = ParagraphStyle{.alignment = TextAlignment::Right};
    TextAttributes big = fontAttributes(QStringLiteral("DejaVu Sans Mono"), 30);
    big.paragraphStyle = right.paragraphStyle;
    auto storage = std::make_shared<TextStorage>(AttributedString(QStringLiteral("ab\ncd"), right));
    storage->setAttributes({4, 1}, big);  // "d" is larger: the second line is higher
    TextLayoutManager manager(storage);
    manager.addTextContainer(box(200, 500));
    const auto& f = manager.lineFragments();
    ASSERT_EQ(f.size(), 2u);
    EXPECT_NEAR(f[0].usedRect.maxX(), 200, 1e-6);  // right-aligned: the used rect ends at the edge
    EXPECT_NEAR(f[1].usedRect.maxX(), 200, 1e-6);
    EXPECT_NEAR(f[1].usedRect.height(), big.font->lineHeight(), 1e-6);
    EXPECT_GT(f[1].baseline - f[1].rect.minY(), big.font->ascent() - 1e-6);
}

namespace {

// Answers rectangles from a shape given per band of y: [x0, x1) for lines whose top lies in the band;
// records every answer.
class OutlineContainer : public TextContainer {
public:
    using TextContainer::TextContainer;
    struct Band {
        double top, x0, x1;
    };
    std::vector<Band> bands;
    mutable std::vector<Rect> answers;

    Rect lineFragmentRect(const Rect& proposed, Rect* remaining) const override {
        Rect base = TextContainer::lineFragmentRect(proposed, remaining);
        if (base.size.height <= 0)
            return base;
        const Band* band = nullptr;
        for (const auto& b : bands)
            if (proposed.minY() >= b.top)
                band = &b;
        if (band) {
            const double x0 = std::max(base.minX(), band->x0), x1 = std::min(base.maxX(), band->x1);
            base = Rect(x0, base.minY(), std::max(0.0, x1 - x0), base.height());
        }
        answers.push_back(base);
        return base;
    }
};

// Splits every line around a hole [holeX0, holeX1) that covers lines from holeTop to holeBottom, and
// moves the first line down to `firstY`.
class ObstacleContainer : public TextContainer {
public:
    using TextContainer::TextContainer;
    double holeX0 = 0, holeX1 = 0, holeTop = 0, holeBottom = 0, firstY = 0;

    Rect lineFragmentRect(const Rect& proposed, Rect* remaining) const override {
        Rect p = proposed;
        if (p.minY() < firstY)
            p.origin.y = firstY;
        Rect base = TextContainer::lineFragmentRect(p, remaining);
        if (base.size.height <= 0 || base.maxY() <= holeTop || base.minY() >= holeBottom)
            return base;
        if (base.minX() >= holeX1)
            return base;  // already right of the hole (a remaining rectangle)
        if (remaining && base.maxX() > holeX1)
            *remaining = Rect(holeX1, base.minY(), base.maxX() - holeX1, base.height());
        return Rect(base.minX(), base.minY(), std::max(0.0, holeX0 - base.minX()), base.height());
    }
};

}  // namespace

TEST(TextLayout, FragmentsLieInsideTheOutlineContainersAnswers) {
    auto outline = std::make_shared<OutlineContainer>(Size(300, 300));
    outline->bands = {{0, 100, 200}, {2 * monoLine(), 50, 250}, {4 * monoLine(), 0, 300}};
    LaidOut s(QString(QStringLiteral("word ")).repeated(40), {outline});
    const auto& fragments = s.manager->lineFragments();
    ASSERT_GE(fragments.size(), 5u);
    for (const auto& f : fragments) {
        EXPECT_NE(std::find(outline->answers.begin(), outline->answers.end(), f.rect), outline->answers.end());
        // The glyphs stay inside the answer, one padding in from each end.
        const Rect glyphs = s.manager->boundingRect(f.characters, 0);
        EXPECT_GE(glyphs.minX(), f.rect.minX() + 5 - 1e-6);
        EXPECT_LE(glyphs.maxX() - monoAdvance(), f.rect.maxX() - 5 + 1e-6);  // a trailing space may hang
    }
    EXPECT_NEAR(fragments[0].rect.minX(), 100, 1e-9);
    EXPECT_NEAR(fragments[2].rect.minX(), 50, 1e-9);
}

TEST(TextLayout, ARemainingRectangleGivesTwoFragmentsOnOneLineAndALowerYMovesTheLine) {
    auto obstacle = std::make_shared<ObstacleContainer>(Size(widthFor(21), 1000));
    obstacle->firstY = 7;
    obstacle->holeX0 = widthFor(5);
    obstacle->holeX1 = obstacle->holeX0 + 20;
    obstacle->holeTop = 0;
    obstacle->holeBottom = 7 + monoLine();  // the first line only
    LaidOut s(QStringLiteral("aaa bbb ccc ddd eee fff ggg hhh"), {obstacle});
    const auto& f = s.manager->lineFragments();
    ASSERT_GE(f.size(), 3u);
    EXPECT_EQ(s.fragmentTexts()[0], QStringLiteral("aaa "));
    EXPECT_EQ(f[0].rect.minY(), 7.0);
    EXPECT_EQ(f[1].rect.minY(), 7.0);  // same line, right of the hole
    EXPECT_NEAR(f[1].rect.minX(), obstacle->holeX1, 1e-9);
    EXPECT_EQ(f[1].characters.location, 4);
    EXPECT_NEAR(f[2].rect.minY(), 7 + monoLine(), 1e-6);
    EXPECT_EQ(f[2].rect.minX(), 0.0);
}

TEST(TextLayout, EmptyAndHugeStorages) {
    LaidOut empty(QString(), {box(100, 100)});
    EXPECT_TRUE(empty.manager->lineFragments().empty());
    EXPECT_EQ(empty.manager->usedRect(0), Rect());
    EXPECT_EQ(empty.manager->characterIndexAt(Point(5, 5), 0), -1);
    EXPECT_EQ(empty.manager->firstUnlaidCharacterIndex(), 0);

    QString big;
    while (big.size() < (1 << 20))
        big += QStringLiteral("lorem ipsum dolor sit amet consectetur adipiscing elit sed do eiusmod\n");
    // In one page-sized column only the first lines are laid out.
    LaidOut page(big, {box(400, 600)});
    const qsizetype unlaid = page.manager->firstUnlaidCharacterIndex();
    EXPECT_GT(unlaid, 0);
    EXPECT_LT(unlaid, 10000);
    // In a container large enough, all of it.
    LaidOut all(big, {box(400, 1e7)});
    EXPECT_EQ(all.manager->firstUnlaidCharacterIndex(), big.size());
    EXPECT_EQ(all.manager->lineFragments().back().characters.end(), big.size());
}

TEST(TextLayout, CharacterIndexAtAPointAndInARect) {
    LaidOut s(QStringLiteral("abcdef\nghij"), {box(500, 500)});
    const double a = monoAdvance(), h = monoLine();
    struct Case {
        Point point;
        qsizetype index;
        bool inside;
    };
    const Case cases[] = {
        {{5 + 3.5 * a, h / 2}, 3, true},    // on "d"
        {{300, h / 2}, 6, false},           // right of the first line: its last character (the separator)
        {{5 + 1.2 * a, 1.5 * h}, 8, true},  // "h" on the second line
        {{5 + 0.5 * a, 40 * h}, 7, false},  // below everything: the nearest line
        {{-20, 0.2 * h}, 0, false},         // left of the text
    };
    for (const auto& c : cases) {
        bool inside = !c.inside;
        EXPECT_EQ(s.manager->characterIndexAt(c.point, 0, &inside), c.index) << c.point.x << "," << c.point.y;
        EXPECT_EQ(inside, c.inside) << c.point.x << "," << c.point.y;
    }
    EXPECT_EQ(s.manager->characterRangeInRect(Rect(5 + 2.5 * a, h / 2, 1, 1), 0), (TextRange{2, 1}));
    EXPECT_EQ(s.manager->characterRangeInRect(Rect(300, h / 2, 1, 1), 0).length, 0);
}

TEST(TextLayout, RelayoutAfterEditsEqualsAFreshLayout) {
    // Columns with an obstacle, so that positions matter; random edits, each checked against a fresh layout.
    const auto makeContainers = [] {
        auto first = std::make_shared<ObstacleContainer>(Size(widthFor(30), 12 * monoLine()));
        first->holeX0 = widthFor(10);
        first->holeX1 = first->holeX0 + 15;
        first->holeTop = 3 * monoLine();
        first->holeBottom = 6 * monoLine();
        return std::vector<std::shared_ptr<TextContainer>>{first, box(widthFor(30), 12 * monoLine())};
    };
    QString text;
    for (int i = 0; i < 12; ++i)
        text += QStringLiteral("paragraph %1 with a few words in it\n").arg(i);
    LaidOut s(text, makeContainers());
    s.manager->lineFragments();
    const TextAttributes large = fontAttributes(QStringLiteral("DejaVu Sans Mono"), 16);
    std::mt19937 random(15);
    const QString inserts[] = {QStringLiteral("x"), QStringLiteral(" "), QStringLiteral("\n"),
                               QStringLiteral("longer words here "), QStringLiteral("\r\n")};
    for (int step = 0; step < 200; ++step) {
        const qsizetype length = s.storage->length();
        const qsizetype at = qsizetype(random() % std::uint32_t(length + 1));
        const auto kind = random() % 6;
        if (kind < 2 && length > 0) {
            s.storage->replaceCharacters({at, qsizetype(random() % 6)}, QString());
        } else if (kind == 2) {
            // A larger font over a few characters: their lines grow.
            s.storage->setAttributes({at, qsizetype(random() % 8)}, large);
        } else {
            s.storage->replaceCharacters({at, 0}, inserts[random() % 5]);
        }
        if (step % 4 == 3)
            continue;  // several edits before the next query
        LaidOut fresh(QString(), makeContainers());
        fresh.storage->setAttributedString(s.storage->attributedString());
        const auto& mine = s.manager->lineFragments();
        const auto& theirs = fresh.manager->lineFragments();
        ASSERT_EQ(mine.size(), theirs.size()) << step;
        for (std::size_t i = 0; i < mine.size(); ++i) {
            ASSERT_EQ(mine[i].characters, theirs[i].characters) << step << " " << i;
            ASSERT_EQ(mine[i].rect, theirs[i].rect) << step << " " << i;
            ASSERT_EQ(mine[i].container, theirs[i].container) << step << " " << i;
        }
        ASSERT_EQ(s.manager->firstUnlaidCharacterIndex(), fresh.manager->firstUnlaidCharacterIndex()) << step;
    }
}

TEST(TextLayout, AContainerThatChangesGeometryIsLaidOutAgain) {
    auto first = box(widthFor(10), 2 * monoLine() + 0.5);
    LaidOut s(QStringLiteral("aaaa bbbb cccc dddd eeee ffff"), {first, box(widthFor(10), 100)});
    EXPECT_EQ(s.manager->characterRange(1).location, 20);
    first->setSize(Size(widthFor(15), monoLine() + 0.5));
    s.manager->textContainerChangedGeometry(first.get());
    EXPECT_EQ(s.manager->characterRange(0), (TextRange{0, 15}));
    EXPECT_EQ(s.manager->characterRange(1).location, 15);
}

TEST(TextLayout, ParagraphStylesPlaceTheLines) {
    // Two paragraphs of 20 characters in a column of 10: two lines each.
    const QString text = QStringLiteral("aaaa bbbb cccc dddd\neeee ffff gggg hhhh");
    const double a = monoAdvance(), h = monoLine();
    struct Case {
        const char* name;
        ParagraphStyle style;
        std::vector<double> xs;  // left edge of each line's used rect
        std::vector<double> ys;  // top of each line
    };
    const Case cases[] = {
        {"plain", {}, {0, 0, 0, 0}, {0, h, 2 * h, 3 * h}},
        {"first-line indent", {.firstLineHeadIndent = 2 * a}, {2 * a, 0, 2 * a, 0}, {0, h, 2 * h, 3 * h}},
        {"head indent", {.headIndent = a}, {0, a, 0, a}, {0, h, 2 * h, 3 * h}},
        {"line spacing", {.lineSpacing = 3}, {0, 0, 0, 0}, {0, h + 3, 2 * h + 6, 3 * h + 9}},
        {"paragraph spacing", {.paragraphSpacing = 7}, {0, 0, 0, 0}, {0, h, 2 * h + 7, 3 * h + 7}},
        {"spacing before", {.paragraphSpacingBefore = 4}, {0, 0, 0, 0}, {0, h, 2 * h + 4, 3 * h + 4}},
        {"line height multiple", {.lineHeightMultiple = 2}, {0, 0, 0, 0}, {0, 2 * h, 4 * h, 6 * h}},
        {"minimum line height", {.minimumLineHeight = 30}, {0, 0, 0, 0}, {0, 30, 60, 90}},
        {"negative spacings are none",
         {.lineSpacing = -50, .paragraphSpacing = -50},
         {0, 0, 0, 0},
         {0, h, 2 * h, 3 * h}},
    };
    for (const auto& c : cases) {
        TextAttributes attributes = mono10();
        attributes.paragraphStyle = c.style;
        LaidOut s(text, {box(widthFor(10) + std::max(c.style.firstLineHeadIndent, c.style.headIndent), 1000)},
                  attributes);
        const auto& f = s.manager->lineFragments();
        ASSERT_EQ(f.size(), 4u) << c.name;
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_NEAR(f[i].usedRect.minX(), c.xs[i], 1e-6) << c.name << " line " << i;
            EXPECT_NEAR(f[i].rect.minY(), c.ys[i], 1e-6) << c.name << " line " << i;
        }
    }
}

TEST(TextLayout, JustifiedLinesReachTheRightEdgeExceptTheLast) {
    TextAttributes attributes = fontAttributes(QStringLiteral("DejaVu Sans"), 10);
    attributes.paragraphStyle = ParagraphStyle{.alignment = TextAlignment::Justified};
    LaidOut s(QStringLiteral("one two three four five six seven eight nine ten"), {box(100, 1000)}, attributes);
    const auto& f = s.manager->lineFragments();
    ASSERT_GE(f.size(), 3u);
    for (std::size_t i = 0; i + 1 < f.size(); ++i) {
        // The line's last visible character ends at the right padding.
        const TextRange visible{f[i].characters.location, f[i].characters.length - 1};
        EXPECT_NEAR(s.manager->boundingRect(visible, 0).maxX(), 95, 0.1) << i;
    }
    EXPECT_LT(s.manager->boundingRect(f.back().characters, 0).maxX(), 90);
}

TEST(TextLayout, LinksAreFoundUnderAPoint) {
    LaidOut s(QStringLiteral("see example.org now"), {box(500, 100)});
    TextAttributes link = mono10();
    link.link = QStringLiteral("example.org");
    s.storage->setAttributes({4, 11}, link);
    const auto linkAt = [&](double x) -> std::optional<QString> {
        const Point p(x, monoLine() / 2);
        if (s.manager->characterRangeInRect(Rect(p, Size(1, 1)), 0).length == 0)
            return std::nullopt;
        return s.storage->attributedString().attributesAt(s.manager->characterIndexAt(p, 0)).link;
    };
    EXPECT_EQ(linkAt(5 + 6.5 * monoAdvance()), QStringLiteral("example.org"));
    EXPECT_EQ(linkAt(5 + 1.5 * monoAdvance()), std::nullopt);
    EXPECT_EQ(linkAt(400), std::nullopt);  // right of the text: nothing under the point
}

// A container sized to the text's own measure, give or take a rounding error (a size divided by a scale that
// was stored in single precision), holds the text as the measure does: no word moves to the next line and no
// line is dropped. Misses by more than a 64th of a point still count.
TEST(TextLayout, AContainerARoundingErrorSmallerThanTheTextStillHoldsIt) {
    const TextAttributes sans = fontAttributes(QStringLiteral("DejaVu Sans"), 24, QStringLiteral("Bold"));
    const QString text = QStringLiteral("Adventure\nAwaits");
    const Size natural = measureString(text, sans);
    const double padding = 2 * TextContainer::kDefaultLineFragmentPadding;
    struct Case {
        double dw, dh;
        std::vector<QString> lines;
    };
    const Case cases[] = {
        {0, 0, {QStringLiteral("Adventure\n"), QStringLiteral("Awaits")}},
        {-1e-5, 0, {QStringLiteral("Adventure\n"), QStringLiteral("Awaits")}},
        {-1e-3, -1e-3, {QStringLiteral("Adventure\n"), QStringLiteral("Awaits")}},
        {0, -1e-6, {QStringLiteral("Adventure\n"), QStringLiteral("Awaits")}},
        {-0.05, 0, {QStringLiteral("Adventur"), QStringLiteral("e\n")}},  // two lines high: "Awaits" overflows
        {0, -0.05, {QStringLiteral("Adventure\n")}},
    };
    for (const Case& c : cases) {
        LaidOut laid(text, {box(natural.width + padding + c.dw, natural.height + c.dh)}, sans);
        EXPECT_EQ(laid.fragmentTexts(), c.lines) << "short by " << -c.dw << " x " << -c.dh;
    }
}

// A container too narrow for any line in a very tall area: the line is offered a bounded number of places
// and the text then overflows, instead of moving down a line at a time through the whole height (which
// here would take hours).
TEST(TextLayout, ALineThatFitsNowhereOverflowsAfterABoundedSearch) {
    const TextAttributes sans = fontAttributes(QStringLiteral("DejaVu Sans"), 12, QStringLiteral("Book"));
    const double padding = 2 * TextContainer::kDefaultLineFragmentPadding;
    LaidOut laid(QStringLiteral("Never placed"), {box(padding / 2, 1e12), box(padding / 2, 1e12)}, sans);
    EXPECT_TRUE(laid.fragmentTexts().empty());
}

// A word wider than every place the container offers is split only where the most of it fits: the
// narrower places before the widest one stay empty.
TEST(TextLayout, AWordThatFitsNowhereIsSplitAtTheWidestPlace) {
    auto outline = std::make_shared<OutlineContainer>(Size(300, 6 * monoLine() + 0.5));
    outline->bands = {{0, 100, 200}, {2 * monoLine(), 20, 280}, {4 * monoLine(), 100, 200}};
    LaidOut s(QString(60, u'w') + QStringLiteral(" end"), {outline});
    const auto& fragments = s.manager->lineFragments();
    ASSERT_GE(fragments.size(), 2u);
    EXPECT_NEAR(fragments[0].rect.minY(), 2 * monoLine(), 1e-6);
    EXPECT_NEAR(fragments[0].rect.minX(), 20, 1e-9);
    EXPECT_NEAR(fragments[1].rect.minX(), 20, 1e-9);
    // The whole word is set, in order, downward.
    EXPECT_EQ(fragments[0].characters.location, 0);
    EXPECT_EQ(fragments[1].characters.location, fragments[0].characters.end());
    EXPECT_GT(fragments[1].rect.minY(), fragments[0].rect.minY());
}
