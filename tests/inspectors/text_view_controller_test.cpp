// The text inspector: each control edits the whole text of the shown text object as one undo step on the
// text's own page, and the rendered page shows the edit.
#include "controls/color_well.h"
#include "controls/gradient_editor.h"
#include "controls/notification_recorder.h"
#include "controls/segmented_control.h"
#include "controls/stepper.h"
#include "graphics/color_utilities.h"
#include "inspectors/inspector_support.h"
#include "inspectors/text_view_controller.h"
#include "model/background.h"
#include "model/canvas.h"
#include "model/model_classes.h"
#include "model/page_size.h"
#include "model/shape.h"
#include "platform/foundation/undo_manager.h"
#include "platform/text/text_storage.h"
#include "support/pixel_probe.h"
#include "text/advanced_text.h"

#include <QApplication>
#include <QCheckBox>
#include <QSlider>
#include <QComboBox>
#include <QFontDatabase>
#include <QImage>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <gtest/gtest.h>

using kx::controls::KXSegmentedControl;

namespace {

const QString kDejaVu = QStringLiteral("DejaVu Sans");
const QString kLiberation = QStringLiteral("Liberation Sans");

kx::TextAttributes fontAttributes(const QString& family, const QString& style, double size) {
    kx::TextAttributes attributes = KXText::defaultAttributes();
    attributes.font = kx::Font::withFamily(family, style, size);
    return attributes;
}

// A 300 by 200 pixel page holding one text object over most of it.
struct TextPage {
    explicit TextPage(const kx::AttributedString& words) {
        registerModelClasses();
        page = std::make_shared<KXCanvas>();
        const KXSize size(300, 200, KXSizeUnitPixel, 72);
        page->setPageSize(&size);
        page->zoomToFitSize(page->pixelSize());
        shape = std::make_shared<KXShape>();
        shape->setPhoto(nullptr);
        shape->setText(KXAdvancedText::initWithOwner(shape.get()));
        page->addGraph(shape);
        shape->setRelativeRect({0.05, 0.05, 0.9, 0.9});
        text()->textStorage().setAttributedString(words);
        QCoreApplication::processEvents();
        page->undoManager().removeAllActions();
    }
    KXAdvancedText* text() const { return static_cast<KXAdvancedText*>(shape->text()); }
    const kx::AttributedString& words() const { return text()->textStorage().attributedString(); }
    QImage render() const { return page->renderOutputImage(page->pixelSize()).qimage(); }

    std::shared_ptr<KXCanvas> page;
    std::shared_ptr<KXShape> shape;
};

// The dark pixels of a rendered page: how many, and the rectangle around them.
struct Ink {
    int count = 0;
    QRect bounds;
};

Ink inkOf(const QImage& image) {
    Ink ink;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() > 128 && c.red() < 128 && c.green() < 128 && c.blue() < 128) {
                ++ink.count;
                ink.bounds |= QRect(x, y, 1, 1);
            }
        }
    }
    return ink;
}

// Clicks a segment as a person does: press and release over it.
void clickSegment(KXSegmentedControl* control, int segment) {
    double x = 0;
    for (int i = 0; i < segment; ++i)
        x += control->width(i);
    const QPointF point(x + control->width(segment) / 2, control->height() / 2.0);
    QMouseEvent press(QEvent::MouseButtonPress, point, control->mapToGlobal(point), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(control, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, point, control->mapToGlobal(point), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(control, &release);
}

void choose(QComboBox* box, const QString& title) {
    const int index = box->findText(title);
    ASSERT_GE(index, 0) << title.toStdString();
    box->setCurrentIndex(index);
    emit box->activated(index);
}

void typeSize(QLineEdit* field, const QString& typed) {
    field->setText(typed);
    emit field->textEdited(typed);
}

// The one undo step the edit made restores `before`; redo gives `after` back.
void expectOneStep(TextPage& page, const kx::AttributedString& before) {
    kx::UndoManager& undo = page.page->undoManager();
    ASSERT_TRUE(undo.canUndo());
    const kx::AttributedString after = page.words();
    EXPECT_NE(after, before);
    undo.undo();
    EXPECT_EQ(page.words(), before);
    EXPECT_FALSE(undo.canUndo());
    undo.redo();
    EXPECT_EQ(page.words(), after);
}

class TextInspectorTest : public ::testing::Test {
protected:
    void show(TextPage& page) { inspector.updateUIWithGraph(page.shape); }
    KXTextViewController inspector;
};

TEST_F(TextInspectorTest, FamilyChangeKeepsEachRunsSizeAndIsOneStep) {
    kx::AttributedString words(QStringLiteral("small large"), fontAttributes(kDejaVu, QStringLiteral("Book"), 12));
    words.addAttributes({6, 5}, fontAttributes(kDejaVu, QStringLiteral("Oblique"), 30));
    TextPage page(words);
    show(page);
    EXPECT_EQ(inspector.pubTextFamily()->currentText(), kDejaVu);

    choose(inspector.pubTextFamily(), kLiberation);
    const QString first = KXTextViewController::membersOfFamily(kLiberation).front();
    EXPECT_EQ(page.words().attributesAt(0).font, kx::Font::withFamily(kLiberation, first, 12));
    EXPECT_EQ(page.words().attributesAt(7).font, kx::Font::withFamily(kLiberation, first, 30));
    EXPECT_EQ(inspector.pubFontStyle()->currentText(), first);
    EXPECT_EQ(inspector.pubFontStyle()->count(), 4);
    expectOneStep(page, words);
}

TEST_F(TextInspectorTest, BoldFromTheSegmentsPicksTheBoldFaceAndKeepsItalicPerRun) {
    kx::AttributedString words(QStringLiteral("plain slanted"), fontAttributes(kLiberation, QStringLiteral("Regular"), 20));
    words.addAttributes({6, 7}, fontAttributes(kLiberation, QStringLiteral("Italic"), 20));
    TextPage page(words);
    show(page);
    ASSERT_TRUE(inspector.segmentFontStyle()->isSegmentEnabled(KXTextViewController::StyleBold));
    const int plainInk = inkOf(page.render()).count;

    clickSegment(inspector.segmentFontStyle(), KXTextViewController::StyleBold);
    const kx::Font first = *page.words().attributesAt(0).font;
    const kx::Font second = *page.words().attributesAt(8).font;
    EXPECT_TRUE(first.isBold());
    EXPECT_FALSE(first.isItalic());
    EXPECT_TRUE(second.isBold());
    EXPECT_TRUE(second.isItalic());
    EXPECT_EQ(first.family(), kLiberation);
    EXPECT_EQ(inspector.pubFontStyle()->currentText(), first.style());
    EXPECT_TRUE(inspector.segmentFontStyle()->isSelected(KXTextViewController::StyleBold));
    EXPECT_GT(inkOf(page.render()).count, plainInk * 11 / 10);
    expectOneStep(page, words);
}

TEST_F(TextInspectorTest, BoldTakesThePlainestBoldFaceOfAFamilyWithCondensedCuts) {
    const QString serif = QStringLiteral("DejaVu Serif");
    const kx::AttributedString words(QStringLiteral("Our Summer"), fontAttributes(serif, QStringLiteral("Italic"), 40));
    TextPage page(words);
    show(page);
    const int plainInk = inkOf(page.render()).count;
    clickSegment(inspector.segmentFontStyle(), KXTextViewController::StyleBold);
    EXPECT_EQ(page.words().attributesAt(0).font, kx::Font::withFamily(serif, QStringLiteral("Bold Italic"), 40));
    EXPECT_EQ(inspector.pubFontStyle()->currentText(), QStringLiteral("Bold Italic"));
    EXPECT_GT(inkOf(page.render()).count, plainInk);
}

TEST_F(TextInspectorTest, AFamilyWithoutABoldFaceKeepsTheRun) {
    const QString single = QStringLiteral("Noto Color Emoji");
    const QStringList members = KXTextViewController::membersOfFamily(single);
    ASSERT_FALSE(members.isEmpty()) << "fonts-noto-color-emoji is set up by scripts/setup";
    for (const QString& style : members)
        ASSERT_FALSE(kx::Font::withFamily(single, style, 12).isBold());
    const kx::AttributedString words(QStringLiteral("x"), fontAttributes(single, members.front(), 20));
    TextPage page(words);
    show(page);
    EXPECT_EQ(KXTextViewController::fontWithFamily(single, true, false, 20), std::nullopt);

    inspector.setStyle(KXTextViewController::TagStyleBold, true);
    EXPECT_EQ(page.words().attributesAt(0).font, words.attributesAt(0).font);
    clickSegment(inspector.segmentFontStyle(), KXTextViewController::StyleUnderline);
    EXPECT_EQ(page.words().attributesAt(0).font, words.attributesAt(0).font);
    EXPECT_EQ(page.words().attributesAt(0).underline, kx::kUnderlineSingle);
}

TEST_F(TextInspectorTest, StyleTogglesChangeTheRenderedGlyphs) {
    const kx::AttributedString words(QStringLiteral("Headline"), fontAttributes(kDejaVu, QStringLiteral("Book"), 30));
    struct Case {
        int segment;
        bool (*expect)(const kx::TextAttributes&);
        bool moreInk;
    };
    const Case cases[] = {
        {KXTextViewController::StyleItalic, [](const kx::TextAttributes& a) { return a.font->isItalic(); }, false},
        {KXTextViewController::StyleUnderline, [](const kx::TextAttributes& a) { return a.underline == 1; }, true},
        {KXTextViewController::StyleOutline, [](const kx::TextAttributes& a) { return a.strokeWidth == 3.0; }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.segment);
        TextPage page(words);
        show(page);
        const Ink before = inkOf(page.render());
        clickSegment(inspector.segmentFontStyle(), c.segment);
        EXPECT_TRUE(c.expect(page.words().attributesAt(0)));
        const Ink after = inkOf(page.render());
        if (c.segment == KXTextViewController::StyleOutline)
            EXPECT_LT(after.count, before.count * 8 / 10);  // hollow glyphs
        else if (c.moreInk)
            EXPECT_GT(after.count, before.count);
        else
            EXPECT_NE(page.render(), QImage());
        expectOneStep(page, words);
    }
}

TEST_F(TextInspectorTest, TypedSizesAreClampedAndTheStepperMovesFromThere) {
    TextPage page(kx::AttributedString(QStringLiteral("Size"), fontAttributes(kDejaVu, QStringLiteral("Book"), 12)));
    show(page);
    EXPECT_EQ(inspector.tfTextSize()->text(), QStringLiteral("17.00"));
    struct Case {
        QString typed;
        double size;
        QString shown;
    };
    for (const Case& c : {Case{QStringLiteral("5000"), 3000, QStringLiteral("3000.00")},
                          Case{QStringLiteral("0"), 0.1, QStringLiteral("0.10")},
                          Case{QStringLiteral("23.5"), 23.5, QStringLiteral("23.50")}}) {
        SCOPED_TRACE(c.typed.toStdString());
        typeSize(inspector.tfTextSize(), c.typed);
        EXPECT_DOUBLE_EQ(page.text()->fontScale(), c.size / 17);
        EXPECT_DOUBLE_EQ(inspector.stTextSize()->value(), c.size);
        emit inspector.tfTextSize()->editingFinished();
        EXPECT_EQ(inspector.tfTextSize()->text(), c.shown);
    }
    inspector.stTextSize()->stepBy(1);
    EXPECT_EQ(inspector.tfTextSize()->text(), QStringLiteral("24.50"));
    EXPECT_DOUBLE_EQ(page.text()->fontScale(), 24.5 / 17);
    ASSERT_TRUE(page.page->undoManager().canUndo());
}

TEST_F(TextInspectorTest, BiggerAndSmallerMoveByTwoWithinTheLimits) {
    TextPage page(kx::AttributedString(QStringLiteral("Grow"), fontAttributes(kDejaVu, QStringLiteral("Book"), 12)));
    show(page);
    const Ink before = inkOf(page.render());
    inspector.modifyFont(KXTextViewController::TagBigger);
    EXPECT_EQ(inspector.tfTextSize()->text(), QStringLiteral("19.00"));
    EXPECT_DOUBLE_EQ(inspector.stTextSize()->value(), 19);
    EXPECT_GT(inkOf(page.render()).bounds.height(), before.bounds.height());
    inspector.modifyFont(KXTextViewController::TagSmaller);
    inspector.modifyFont(KXTextViewController::TagSmaller);
    inspector.modifyFont(KXTextViewController::TagSmaller);
    EXPECT_EQ(inspector.tfTextSize()->text(), QStringLiteral("13.00"));
    for (int i = 0; i < 10; ++i)
        inspector.modifyFont(KXTextViewController::TagSmaller);
    EXPECT_EQ(inspector.tfTextSize()->text(), QStringLiteral("0.10"));
    EXPECT_DOUBLE_EQ(page.text()->fontScale(), 0.1 / 17);

    page.shape->setLocked(true);
    inspector.modifyFont(KXTextViewController::TagBigger);
    EXPECT_DOUBLE_EQ(page.text()->fontScale(), 0.1 / 17);
    EXPECT_FALSE(inspector.validateMenuItem(KXTextViewController::TagBigger).enabled);
}

TEST_F(TextInspectorTest, AlignmentFromTheMenuAndTheSegments) {
    const kx::AttributedString words(QStringLiteral("Side"), fontAttributes(kDejaVu, QStringLiteral("Book"), 20));
    TextPage page(words);
    show(page);
    const Ink left = inkOf(page.render());
    inspector.textAlignChangeWithTag(KXTextViewController::TagAlignRight);
    EXPECT_EQ(inspector.segmentTextAlignment()->selectedSegment(), 2);
    EXPECT_EQ(page.words().attributesAt(0).paragraphStyle->alignment, kx::TextAlignment::Right);
    EXPECT_EQ(int(page.words().attributesAt(0).paragraphStyle->alignment), 1);
    EXPECT_TRUE(inspector.validateMenuItem(KXTextViewController::TagAlignRight).on);
    EXPECT_FALSE(inspector.validateMenuItem(KXTextViewController::TagAlignLeft).on);
    EXPECT_GT(inkOf(page.render()).bounds.left(), left.bounds.left() + 100);
    expectOneStep(page, words);

    struct Case {
        int segment;
        kx::TextAlignment alignment;
    };
    for (const Case& c : {Case{1, kx::TextAlignment::Center}, Case{2, kx::TextAlignment::Right},
                          Case{3, kx::TextAlignment::Justified}, Case{0, kx::TextAlignment::Left}}) {
        clickSegment(inspector.segmentTextAlignment(), c.segment);
        EXPECT_EQ(page.words().attributesAt(0).paragraphStyle->alignment, c.alignment);
    }
    inspector.updateTextUI();
    EXPECT_EQ(inspector.segmentTextAlignment()->selectedSegment(), 0);
}

TEST_F(TextInspectorTest, VerticalAlignmentIsOneStepOnThePage) {
    TextPage page(kx::AttributedString(QStringLiteral("Low"), fontAttributes(kDejaVu, QStringLiteral("Book"), 20)));
    show(page);
    clickSegment(inspector.scVerticalAlignment(), KXTextVerticalAlignmentBottom);
    EXPECT_EQ(page.text()->verticalAlignment(), KXTextVerticalAlignmentBottom);
    ASSERT_TRUE(page.page->undoManager().canUndo());
    page.page->undoManager().undo();
    EXPECT_EQ(page.text()->verticalAlignment(), KXTextVerticalAlignmentTop);
}

TEST_F(TextInspectorTest, UndoIsRegisteredOnTheTextsOwnPage) {
    const kx::AttributedString words(QStringLiteral("Mine"), fontAttributes(kDejaVu, QStringLiteral("Book"), 20));
    TextPage other(words);
    TextPage mine(words);
    show(other);
    show(mine);
    clickSegment(inspector.segmentFontStyle(), KXTextViewController::StyleBold);
    EXPECT_FALSE(other.page->undoManager().canUndo());
    EXPECT_EQ(other.words(), words);
    expectOneStep(mine, words);
    EXPECT_TRUE(inspector.segmentFontStyle()->isSelected(KXTextViewController::StyleBold));
    // Undo refreshes the controls from the text.
    mine.page->undoManager().undo();
    EXPECT_FALSE(inspector.segmentFontStyle()->isSelected(KXTextViewController::StyleBold));
}

TEST_F(TextInspectorTest, TypingInTheWordsBoxReplacesTheTextAsOneStep) {
    const kx::AttributedString words(QStringLiteral("Old"), fontAttributes(kLiberation, QStringLiteral("Bold"), 20));
    TextPage page(words);
    show(page);
    EXPECT_EQ(inspector.textView()->toPlainText(), QStringLiteral("Old"));
    inspector.textView()->setPlainText(QStringLiteral("New words"));
    EXPECT_EQ(page.words().string(), QStringLiteral("New words"));
    EXPECT_EQ(page.words().attributesAt(4).font, words.attributesAt(0).font);
    expectOneStep(page, words);
    page.page->undoManager().undo();
    EXPECT_EQ(inspector.textView()->toPlainText(), QStringLiteral("Old"));
}

TEST_F(TextInspectorTest, EditingAnEmptyTextChangesWhatIsTypedNext) {
    TextPage page{kx::AttributedString()};
    page.text()->textViews().front()->setTypingAttributes(fontAttributes(kLiberation, QStringLiteral("Regular"), 20));
    show(page);
    clickSegment(inspector.segmentFontStyle(), KXTextViewController::StyleBold);
    inspector.textAlignChangeWithTag(KXTextViewController::TagAlignCenter);
    choose(inspector.pubTextFamily(), kDejaVu);
    EXPECT_TRUE(page.words().isEmpty());
    EXPECT_FALSE(page.page->undoManager().canUndo());

    inspector.textView()->setPlainText(QStringLiteral("Typed"));
    const kx::TextAttributes typed = page.words().attributesAt(0);
    EXPECT_EQ(typed.font->family(), kDejaVu);
    EXPECT_EQ(typed.paragraphStyle->alignment, kx::TextAlignment::Center);
}

TEST_F(TextInspectorTest, MenuItemsFollowTheTextAndItsFaces) {
    TextPage page(kx::AttributedString(QStringLiteral("Menu"), fontAttributes(kDejaVu, QStringLiteral("Book"), 20)));
    EXPECT_FALSE(inspector.validateMenuItem(KXTextViewController::TagBold).enabled);
    show(page);
    for (int tag : {KXTextViewController::TagBold, KXTextViewController::TagItalic, KXTextViewController::TagUnderline,
                    KXTextViewController::TagBigger, KXTextViewController::TagSmaller})
        EXPECT_TRUE(inspector.validateMenuItem(tag).enabled) << tag;
    inspector.setStyle(int(KXTextViewController::TagStyleBold) + int(KXTextViewController::StyleItalic), true);
    EXPECT_TRUE(page.words().attributesAt(0).font->isItalic());
    EXPECT_FALSE(page.words().attributesAt(0).font->isBold());
    EXPECT_EQ(inspector.pubFontStyle()->currentText(), page.words().attributesAt(0).font->style());

    // Another kind of object lets go of the text; the controls keep what they showed.
    inspector.updateUIWithGraph(nullptr);
    EXPECT_EQ(inspector.text(), nullptr);
    EXPECT_EQ(inspector.textView()->toPlainText(), QStringLiteral("Menu"));
    EXPECT_FALSE(inspector.validateMenuItem(KXTextViewController::TagBigger).enabled);
}

TEST_F(TextInspectorTest, ARedGlyphColourSetsFillAndStrokeInOneStep) {
    const kx::AttributedString words(QStringLiteral("Red"), fontAttributes(kDejaVu, QStringLiteral("Bold"), 40));
    TextPage page(words);
    show(page);
    inspector.cwTextColor1()->setColorAndClose(Qt::red);
    const kx::TextAttributes attributes = page.words().attributesAt(0);
    EXPECT_EQ(attributes.foregroundColor, kx::Color::srgb(1, 0, 0));
    EXPECT_EQ(attributes.strokeColor, kx::Color::srgb(1, 0, 0));
    const QImage image = page.render();
    int red = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            red += image.pixelColor(x, y).red() > 200 && image.pixelColor(x, y).green() < 60;
    EXPECT_GT(red, 100);
    expectOneStep(page, words);
}

// The outline width and glow rows clamp typed values; a value inside the range is taken as a whole number
// and the field rewritten; when typing ends a field out of range shows the limit.
TEST_F(TextInspectorTest, OutlineAndGlowRowsClampWhatIsTyped) {
    TextPage page(kx::AttributedString(QStringLiteral("Glow"), fontAttributes(kDejaVu, QStringLiteral("Book"), 20)));
    show(page);
    struct Case {
        const ValueRow* row;
        double (KXText::*value)() const;
        QString typed;
        double stored;
        QString whileTyping;
        QString afterTyping;
    };
    const Case cases[] = {
        {&inspector.outlineWidth(), &KXText::outlineWidth, QStringLiteral("0.5"), 1, QStringLiteral("0.5"), QStringLiteral("1")},
        {&inspector.outlineWidth(), &KXText::outlineWidth, QStringLiteral("250"), 100, QStringLiteral("250"), QStringLiteral("100")},
        {&inspector.outlineWidth(), &KXText::outlineWidth, QStringLiteral("12.7"), 12, QStringLiteral("12"), QStringLiteral("12")},
        {&inspector.glowBlur(), &KXText::glowBlur, QStringLiteral("80"), 50, QStringLiteral("80"), QStringLiteral("50")},
        {&inspector.glowRadius(), &KXText::glowRadius, QStringLiteral("0"), 1, QStringLiteral("0"), QStringLiteral("1")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        c.row->field->setText(c.typed);
        emit c.row->field->textEdited(c.typed);
        EXPECT_DOUBLE_EQ((page.text()->*c.value)(), c.stored);
        EXPECT_EQ(c.row->field->text(), c.whileTyping);
        EXPECT_EQ(c.row->slider->value(), int(c.stored));
        emit c.row->field->editingFinished();
        EXPECT_EQ(c.row->field->text(), c.afterTyping);
    }
    inspector.glowRadius().stepper->stepBy(1);
    EXPECT_DOUBLE_EQ(page.text()->glowRadius(), 2);
    EXPECT_EQ(inspector.glowRadius().field->text(), QStringLiteral("2"));
}

TEST_F(TextInspectorTest, OutlineAndGlowSwitchesGrowThePanelAndDrawAroundTheGlyphs) {
    TextPage page(kx::AttributedString(QStringLiteral("Halo"), fontAttributes(kDejaVu, QStringLiteral("Bold"), 40)));
    show(page);
    const int closed = inspector.view()->height();
    const Ink plain = inkOf(page.render());
    EXPECT_TRUE(inspector.outlineSettingView()->isHidden());

    kxtest::NotificationRecorder posted({KXNeedToUpdateContentView});
    inspector.btOutline()->setChecked(true);
    EXPECT_TRUE(page.text()->isOutlineEnabled());
    EXPECT_FALSE(inspector.outlineSettingView()->isHidden());
    EXPECT_EQ(inspector.view()->height(), closed + inspector.outlineSettingView()->height());
    EXPECT_EQ(posted.posted.size(), 1u);
    inspector.updateContentView();
    EXPECT_EQ(posted.posted.size(), 1u);
    ASSERT_TRUE(page.page->undoManager().canUndo());

    // A black outline widens the dark shapes.
    inspector.cwOutline()->setColorAndClose(Qt::black);
    EXPECT_EQ(page.text()->outlineColorValue(), std::int64_t(rgbaFromNSColor(kx::Color::srgb(0, 0, 0))));
    inspector.outlineWidth().stepper->setValue(10);
    inspector.outlineWidth().stepper->stepBy(1);
    EXPECT_DOUBLE_EQ(page.text()->outlineWidth(), 11);
    const Ink outlined = inkOf(page.render());
    EXPECT_GT(outlined.bounds.width(), plain.bounds.width());

    inspector.btGlow()->setChecked(true);
    EXPECT_TRUE(page.text()->isGlowEnabled());
    EXPECT_EQ(inspector.view()->height(),
              closed + inspector.outlineSettingView()->height() + inspector.glowSettingView()->height());
    inspector.cwGlow()->setColorAndClose(QColor(0, 0, 255));
    const QImage glowing = page.render();
    int blue = 0;
    for (int y = 0; y < glowing.height(); ++y)
        for (int x = 0; x < glowing.width(); ++x)
            blue += glowing.pixelColor(x, y).blue() > glowing.pixelColor(x, y).red() + 40;
    EXPECT_GT(blue, 100);

    // Another text shows its own switches.
    TextPage other(kx::AttributedString(QStringLiteral("Plain"), fontAttributes(kDejaVu, QStringLiteral("Book"), 20)));
    show(other);
    EXPECT_FALSE(inspector.btOutline()->isChecked());
    EXPECT_FALSE(inspector.btGlow()->isChecked());
    EXPECT_EQ(inspector.view()->height(), closed);
    EXPECT_FALSE(other.text()->isOutlineEnabled());
}


// Counts the glyph pixels of a rendered page (opaque enough and clearly not the white page) by which of
// three colours each is nearest to.
struct GlyphColours {
    int reddish = 0, bluish = 0, greenish = 0, other = 0;
};

GlyphColours glyphColoursOf(const QImage& image, const QRect& area) {
    GlyphColours counted;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 200 && c.green() > 200 && c.blue() > 200)
                continue;
            if (c.red() > c.green() + 60 && c.red() > c.blue() + 60)
                ++counted.reddish;
            else if (c.blue() > c.red() + 60 && c.blue() > c.green() + 60)
                ++counted.bluish;
            else if (c.green() > c.red() + 60 && c.green() > c.blue() + 60)
                ++counted.greenish;
            else
                ++counted.other;
        }
    return counted;
}

TEST_F(TextInspectorTest, EachFillKindHasItsPanelHeightAndIsOneUndoStep) {
    TextPage page(kx::AttributedString(QStringLiteral("Fill"), fontAttributes(kDejaVu, QStringLiteral("Bold"), 40)));
    show(page);
    KXBackground* fill = page.text()->background();
    ASSERT_TRUE(fill);
    EXPECT_EQ(inspector.pubFill()->count(), 4);
    const int sections = 2 * KXTextViewController::kSwitchSectionHeight + KXTextViewController::kUpperHeight;
    EXPECT_EQ(inspector.view()->height(), sections + KXTextViewController::kSolidFillHeight);
    struct Case {
        int item;
        int fillType, colorType;
        int fillHeight;
        QWidget* shown;
    };
    const Case cases[] = {
        {KXTextViewController::FillGradientItem, KXFillTypeColor, KXColorTypeGradient,
         KXTextViewController::kGradientFillHeight, inspector.colorView()},
        {KXTextViewController::FillAdvancedGradientItem, KXFillTypeColor, KXColorTypeAdvancedGradient,
         inspector.adGradientView()->height() + KXTextViewController::kFillMenuHeight, inspector.adGradientView()},
        {KXTextViewController::FillPatternItem, KXFillTypeImage, -1,
         inspector.patternView()->height() + KXTextViewController::kFillMenuHeight, inspector.patternView()},
        {KXTextViewController::FillSolidItem, KXFillTypeColor, KXColorTypeSolid, KXTextViewController::kSolidFillHeight,
         inspector.colorView()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        page.page->undoManager().removeAllActions();
        const int typeBefore = fill->fillType(), colorBefore = fill->colorType();
        kxtest::NotificationRecorder posted({KXNeedToUpdateContentView});
        inspector.pubFill()->setCurrentIndex(c.item);
        emit inspector.pubFill()->activated(c.item);
        EXPECT_EQ(fill->fillType(), c.fillType);
        if (c.colorType >= 0)
            EXPECT_EQ(fill->colorType(), c.colorType);
        EXPECT_EQ(inspector.fillView()->height(), c.fillHeight);
        EXPECT_EQ(inspector.view()->height(), sections + c.fillHeight);
        EXPECT_EQ(posted.posted.size(), 1u);
        for (QWidget* sub : {inspector.colorView(), inspector.adGradientView(), inspector.patternView()})
            EXPECT_EQ(sub->isVisibleTo(inspector.fillView()), sub == c.shown);
        if (c.item == KXTextViewController::FillSolidItem)
            EXPECT_TRUE(inspector.cwTextColor2()->isHidden());
        if (c.item == KXTextViewController::FillGradientItem)
            EXPECT_FALSE(inspector.cwTextColor2()->isHidden());
        // One undo takes the whole switch back.
        kx::UndoManager& undo = page.page->undoManager();
        ASSERT_TRUE(undo.canUndo());
        undo.undo();
        EXPECT_EQ(fill->fillType(), typeBefore);
        EXPECT_EQ(fill->colorType(), colorBefore);
        EXPECT_FALSE(undo.canUndo());
        undo.redo();
        EXPECT_EQ(fill->fillType(), c.fillType);
    }
}

TEST_F(TextInspectorTest, GlyphFillsPaintTheGlyphsOnThePage) {
    TextPage page(kx::AttributedString(QStringLiteral("WWWW"), fontAttributes(kDejaVu, QStringLiteral("Bold"), 40)));
    show(page);
    const QImage plain = page.render();
    const QRect glyphs = inkOf(plain).bounds;
    ASSERT_GT(glyphs.width(), 100);

    // A red to blue gradient across the glyphs: red on the left half, blue on the right.
    inspector.pubFill()->setCurrentIndex(KXTextViewController::FillGradientItem);
    emit inspector.pubFill()->activated(KXTextViewController::FillGradientItem);
    inspector.cwTextColor1()->setColorAndClose(QColor(255, 0, 0));
    inspector.cwTextColor2()->setColorAndClose(QColor(0, 0, 255));
    inspector.gradientAngle().stepper->setValue(0);
    inspector.gradientAngle().stepper->stepBy(1);
    inspector.gradientAngle().stepper->stepBy(-1);
    EXPECT_EQ(page.text()->background()->fillAngle(), 0);
    QImage drawn = page.render();
    const QRect left(glyphs.left(), glyphs.top(), glyphs.width() / 4, glyphs.height());
    const QRect right(glyphs.right() - glyphs.width() / 4, glyphs.top(), glyphs.width() / 4, glyphs.height());
    EXPECT_GT(glyphColoursOf(drawn, left).reddish, glyphColoursOf(drawn, left).bluish * 3);
    EXPECT_GT(glyphColoursOf(drawn, right).bluish, glyphColoursOf(drawn, right).reddish * 3);
    // The swap turns it round.
    inspector.btSwapColor()->click();
    drawn = page.render();
    EXPECT_GT(glyphColoursOf(drawn, left).bluish, glyphColoursOf(drawn, left).reddish * 3);

    // A multi-stop gradient of green alone paints the glyphs green; one undo gives the former stops back.
    inspector.pubFill()->setCurrentIndex(KXTextViewController::FillAdvancedGradientItem);
    emit inspector.pubFill()->activated(KXTextViewController::FillAdvancedGradientItem);
    const std::vector<kx::Color> stopsBefore = page.text()->background()->gradientColorArray();
    page.page->undoManager().removeAllActions();
    inspector.cwAdGradient()->updateGradientManager({QColor(0, 200, 0), QColor(0, 160, 0)}, {0, 1});
    emit inspector.cwAdGradient()->gradientDidChange();
    ASSERT_EQ(page.text()->background()->gradientColorArray().size(), 2u);
    EXPECT_EQ(page.text()->background()->gradientColorArray()[0].toQColor().rgb(), QColor(0, 200, 0).rgb());
    const GlyphColours green = glyphColoursOf(page.render(), glyphs);
    EXPECT_GT(green.greenish, (green.reddish + green.bluish + green.other) * 3);
    page.page->undoManager().undo();
    EXPECT_EQ(page.text()->background()->gradientColorArray(), stopsBefore);
    page.page->undoManager().redo();
    EXPECT_EQ(page.text()->background()->gradientColorArray().size(), 2u);

    // A pattern paints the glyphs with its image: they are no longer one flat colour.
    ASSERT_FALSE(inspector.patterns().isEmpty());
    inspector.pubFill()->setCurrentIndex(KXTextViewController::FillPatternItem);
    emit inspector.pubFill()->activated(KXTextViewController::FillPatternItem);
    EXPECT_EQ(page.text()->background()->imagePath(), inspector.patterns().front());
    const QImage patterned = page.render();
    EXPECT_GT(kxtest::fractionDiffering(patterned, plain, 40), 0.005);
    if (inspector.patterns().size() > 1) {
        inspector.patternSelected(1);
        EXPECT_EQ(page.text()->background()->imagePath(), inspector.patterns().at(1));
        page.page->undoManager().undo();
        EXPECT_EQ(page.text()->background()->imagePath(), inspector.patterns().front());
    }
}

TEST_F(TextInspectorTest, GradientAnglesWrapAndTypedAnglesAreKept) {
    TextPage page(kx::AttributedString(QStringLiteral("Angle"), fontAttributes(kDejaVu, QStringLiteral("Book"), 30)));
    show(page);
    inspector.pubFill()->setCurrentIndex(KXTextViewController::FillGradientItem);
    emit inspector.pubFill()->activated(KXTextViewController::FillGradientItem);
    KXBackground* fill = page.text()->background();
    const ValueRow& row = inspector.gradientAngle();
    struct Step {
        double from;
        int steps;
        double stored;
    };
    for (const Step& s : {Step{0, -1, 359}, Step{359, 1, 0}, Step{44, 1, 45}}) {
        row.stepper->setValue(s.from);
        row.stepper->stepBy(s.steps);
        EXPECT_EQ(fill->fillAngle(), s.stored) << s.from;
        EXPECT_EQ(row.slider->value(), int(s.stored));
        EXPECT_EQ(row.field->text(), QString::number(int(s.stored)));
    }
    row.field->setText(QStringLiteral("400"));
    emit row.field->textEdited(QStringLiteral("400"));
    EXPECT_EQ(fill->fillAngle(), 400);
    EXPECT_EQ(row.slider->value(), 40);
    EXPECT_EQ(row.stepper->value(), 40);

    // Solid and back keeps the gradient's colours.
    inspector.cwTextColor2()->setColorAndClose(QColor(0, 0, 255));
    inspector.pubFill()->setCurrentIndex(KXTextViewController::FillSolidItem);
    emit inspector.pubFill()->activated(KXTextViewController::FillSolidItem);
    inspector.pubFill()->setCurrentIndex(KXTextViewController::FillGradientItem);
    emit inspector.pubFill()->activated(KXTextViewController::FillGradientItem);
    EXPECT_EQ(inspector.cwTextColor2()->color(), QColor(0, 0, 255));

    // A radial multi-stop gradient has no angle; linear gives the controls back with the kept angle.
    inspector.pubFill()->setCurrentIndex(KXTextViewController::FillAdvancedGradientItem);
    emit inspector.pubFill()->activated(KXTextViewController::FillAdvancedGradientItem);
    EXPECT_EQ(inspector.adAngle().field->text(), QStringLiteral("400"));
    clickSegment(inspector.scAdGradient(), 1);
    EXPECT_EQ(fill->gradientType(), 1);
    EXPECT_FALSE(inspector.adAngle().slider->isEnabled());
    clickSegment(inspector.scAdGradient(), 0);
    EXPECT_EQ(fill->gradientType(), 0);
    EXPECT_TRUE(inspector.adAngle().slider->isEnabled());
    EXPECT_EQ(fill->fillAngle(), 400);
}

}  // namespace
