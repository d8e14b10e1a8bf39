// The window's Format menu: its items reach the text inspector of the selected text object, are enabled by
// it, and edit the text on the window's page.
#include "app/main_window.h"
#include "canvas/canvas_view.h"
#include "controls/segmented_control.h"
#include "document/document.h"
#include "document/version_info.h"
#include "inspectors/text_view_controller.h"
#include "model/canvas.h"
#include "model/model_classes.h"
#include "model/shape.h"
#include "platform/foundation/undo_manager.h"
#include "text/advanced_text.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>

#include <gtest/gtest.h>

namespace {

class FormatMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerModelClasses();
        registerDocumentClasses();
        window.initWindowWidthDocument(document.get());
    }
    KXCanvas& page() { return *window.project()->currentCanvas(); }
    QAction* item(const char* name) {
        for (QAction* action : window.formatMenu()->actions())
            if (action->objectName() == QLatin1String(name))
                return action;
        ADD_FAILURE() << name;
        return nullptr;
    }
    // A text object with the words in DejaVu Sans Book, selected on the window's page.
    std::shared_ptr<KXShape> selectedText(const QString& words) {
        auto shape = std::make_shared<KXShape>();
        shape->setPhoto(nullptr);
        shape->setText(KXAdvancedText::initWithOwner(shape.get()));
        page().addGraph(shape);
        shape->setRelativeRect({0.1, 0.1, 0.6, 0.3});
        kx::TextAttributes attributes = KXText::defaultAttributes();
        attributes.font = kx::Font::withFamily(QStringLiteral("DejaVu Sans"), QStringLiteral("Book"), 30);
        words_(shape).setAttributedString(kx::AttributedString(words, attributes));
        page().undoManager().removeAllActions();
        window.preview()->setSelectedGraphs({shape});
        return shape;
    }
    static kx::TextStorage& words_(const std::shared_ptr<KXShape>& shape) {
        return static_cast<KXAdvancedText*>(shape->text())->textStorage();
    }
    void validate() { emit window.formatMenu()->aboutToShow(); }
    // Chooses the item as one user event: the event loop then closes the event's undo group.
    void choose(const char* name) {
        item(name)->trigger();
        QCoreApplication::processEvents();
    }

    std::shared_ptr<KXDocument> document = std::make_shared<KXDocument>();
    KXMainWindow window;
};

TEST_F(FormatMenuTest, ItemsHaveTheirShortcutsAndAreDisabledWithoutAText) {
    ASSERT_TRUE(window.formatMenu());
    struct Case {
        const char* name;
        QKeySequence keys;
    };
    const Case cases[] = {
        {"Bold", QKeySequence::Bold},
        {"Italic", QKeySequence::Italic},
        {"Underline", QKeySequence::Underline},
        {"Bigger", QKeySequence(Qt::CTRL | Qt::Key_BracketRight)},
        {"Smaller", QKeySequence(Qt::CTRL | Qt::Key_BracketLeft)},
        {"AlignLeft", QKeySequence(Qt::CTRL | Qt::Key_L)},
        {"AlignCenter", QKeySequence(Qt::CTRL | Qt::Key_E)},
        {"AlignRight", QKeySequence(Qt::CTRL | Qt::Key_R)},
        {"AlignJustified", QKeySequence(Qt::CTRL | Qt::Key_J)},
    };
    // No shortcut of the menu is taken by another command of the window (the zoom keeps Ctrl++ and Ctrl+-).
    QList<QKeySequence> others;
    for (QAction* action : window.findChildren<QAction*>())
        if (!window.formatMenu()->actions().contains(action))
            others << action->shortcuts();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QAction* action = item(c.name);
        ASSERT_TRUE(action);
        EXPECT_EQ(action->shortcut(), c.keys);
        EXPECT_FALSE(others.contains(c.keys));
    }
    validate();
    for (const Case& c : cases)
        EXPECT_FALSE(item(c.name)->isEnabled()) << c.name;
    // Closed, the menu leaves its items to validate themselves when a shortcut runs them: with no text
    // selected they do nothing.
    emit window.formatMenu()->aboutToHide();
    for (const Case& c : cases) {
        EXPECT_TRUE(item(c.name)->isEnabled()) << c.name;
        item(c.name)->trigger();
    }
}

TEST_F(FormatMenuTest, ShortcutsWorkBeforeTheMenuWasEverOpened) {
    auto shape = selectedText(QStringLiteral("Keys"));
    item("Bold")->trigger();
    EXPECT_TRUE(words_(shape).attributedString().attributesAt(0).font->isBold());
    item("AlignCenter")->trigger();
    EXPECT_EQ(words_(shape).attributedString().attributesAt(0).effectiveParagraphStyle().alignment,
              kx::TextAlignment::Center);
}

TEST_F(FormatMenuTest, ItemsEditTheSelectedTextAsOneStepEach) {
    auto shape = selectedText(QStringLiteral("Menu"));
    auto* text = static_cast<KXAdvancedText*>(shape->text());
    KXTextViewController* inspector = window.textInspector();
    ASSERT_TRUE(inspector);
    ASSERT_EQ(inspector->text(), text);
    validate();
    EXPECT_TRUE(item("Bold")->isEnabled());
    EXPECT_FALSE(item("Bold")->isChecked());
    EXPECT_TRUE(item("AlignLeft")->isChecked());

    choose("Bold");
    EXPECT_TRUE(words_(shape).attributedString().attributesAt(0).font->isBold());
    validate();
    EXPECT_TRUE(item("Bold")->isChecked());
    // Bold again takes it off, whatever state the item was left in.
    item("Bold")->setChecked(false);
    choose("Bold");
    EXPECT_FALSE(words_(shape).attributedString().attributesAt(0).font->isBold());

    choose("AlignRight");
    EXPECT_EQ(words_(shape).attributedString().attributesAt(0).effectiveParagraphStyle().alignment,
              kx::TextAlignment::Right);
    EXPECT_EQ(inspector->segmentTextAlignment()->selectedSegment(), 2);
    validate();
    EXPECT_TRUE(item("AlignRight")->isChecked());
    EXPECT_FALSE(item("AlignLeft")->isChecked());

    const double size = text->fontScale() * KXTextViewController::kSizePerScale;
    choose("Bigger");
    EXPECT_NEAR(text->fontScale() * KXTextViewController::kSizePerScale, size + 2, 1e-9);
    choose("Smaller");
    EXPECT_NEAR(text->fontScale() * KXTextViewController::kSizePerScale, size, 1e-9);

    // Each command is a step on the page: undoing them all gives the text back as it was.
    kx::UndoManager& undo = page().undoManager();
    int steps = 0;
    while (undo.canUndo() && steps < 20) {
        undo.undo();
        ++steps;
    }
    EXPECT_GE(steps, 5);
    EXPECT_FALSE(words_(shape).attributedString().attributesAt(0).font->isBold());
    EXPECT_EQ(words_(shape).attributedString().attributesAt(0).effectiveParagraphStyle().alignment,
              KXText::defaultAttributes().effectiveParagraphStyle().alignment);

    // A locked object takes no command.
    shape->setLocked(true);
    validate();
    EXPECT_FALSE(item("Bigger")->isEnabled());
    const double locked = text->fontScale();
    choose("Bigger");
    EXPECT_EQ(text->fontScale(), locked);
}

}  // namespace
