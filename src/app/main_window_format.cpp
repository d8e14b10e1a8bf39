// The document window's Format menu: bold, italic and underline, bigger and smaller, and the four paragraph
// alignments of the selected text object. The commands go to the text inspector of the settings panel,
// which edits the text it shows and answers which items are enabled; with no text object selected every
// item is disabled.
//
// Shortcuts: the platform's standard keys for bold, italic and underline. Bigger and Smaller take Ctrl+]
// and Ctrl+[, as word processors on the desktop do: Ctrl++, Ctrl+= and Ctrl+- already zoom the page.
// The alignments take Ctrl+L, Ctrl+E, Ctrl+R and Ctrl+J.
#include "app/main_window.h"

#include "controls/segmented_control.h"
#include "inspectors/graph_view_controller.h"
#include "inspectors/property_view_controller.h"
#include "inspectors/setting_view_controller.h"
#include "inspectors/text_view_controller.h"
#include "model/graph.h"
#include "platform/foundation/bundle.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace {

QString formatTitle(const char* key) {
    return kx::Bundle::main().localizedString(QString::fromUtf8(key));
}

struct FormatItem {
    const char* name;   // the action's object name
    const char* title;  // the Localizable key of its title
    int tag;
    QKeySequence shortcut;
};

// The style items' tags in the menu and the style they switch (tags 300 to 304 of the text inspector).
int styleTagOfItem(int tag) {
    switch (tag) {
    case KXTextViewController::TagBold:
        return KXTextViewController::TagStyleBold;
    case KXTextViewController::TagItalic:
        return int(KXTextViewController::TagStyleBold) + int(KXTextViewController::StyleItalic);
    default:
        return int(KXTextViewController::TagStyleBold) + int(KXTextViewController::StyleUnderline);
    }
}

bool isStyleItem(int tag) {
    return tag == KXTextViewController::TagBold || tag == KXTextViewController::TagItalic ||
           tag == KXTextViewController::TagUnderline;
}

}  // namespace

KXTextViewController* KXMainWindow::textInspector() const {
    KXPropertyViewController* property = m_settingVC ? m_settingVC->propertyVC() : nullptr;
    KXGraphViewController* graph = property ? property->graphVC() : nullptr;
    return graph ? dynamic_cast<KXTextViewController*>(graph->objectInspector(KXGraphTypeText)) : nullptr;
}

void KXMainWindow::buildFormatMenu() {
    using T = KXTextViewController;
    const FormatItem items[] = {
        {"Bold", "Bold", T::TagBold, QKeySequence::Bold},
        {"Italic", "Italic", T::TagItalic, QKeySequence::Italic},
        {"Underline", "Underline", T::TagUnderline, QKeySequence::Underline},
        {nullptr, nullptr, 0, {}},
        {"Bigger", "Bigger", T::TagBigger, QKeySequence(Qt::CTRL | Qt::Key_BracketRight)},
        {"Smaller", "Smaller", T::TagSmaller, QKeySequence(Qt::CTRL | Qt::Key_BracketLeft)},
        {nullptr, nullptr, 0, {}},
        {"AlignLeft", "TextAlignLeft", T::TagAlignLeft, QKeySequence(Qt::CTRL | Qt::Key_L)},
        {"AlignCenter", "TextAlignCenter", T::TagAlignCenter, QKeySequence(Qt::CTRL | Qt::Key_E)},
        {"AlignRight", "TextAlignRight", T::TagAlignRight, QKeySequence(Qt::CTRL | Qt::Key_R)},
        {"AlignJustified", "TextAlignJustified", T::TagAlignJustified, QKeySequence(Qt::CTRL | Qt::Key_J)},
    };
    m_formatMenu = menuBar()->addMenu(formatTitle("FormatMenu"));
    m_formatMenu->setObjectName(QStringLiteral("FormatMenu"));
    for (const FormatItem& item : items) {
        if (!item.name) {
            m_formatMenu->addSeparator();
            continue;
        }
        QAction* action = m_formatMenu->addAction(formatTitle(item.title));
        action->setObjectName(QString::fromLatin1(item.name));
        action->setData(item.tag);
        action->setShortcut(item.shortcut);
        action->setCheckable(isStyleItem(item.tag) || item.tag >= T::TagAlignLeft);
        connect(action, &QAction::triggered, this, [this, action] { formatCommand(action); });
    }
    connect(m_formatMenu, &QMenu::aboutToShow, this, &KXMainWindow::validateFormatMenu);
    // A disabled item takes no shortcut, and the menu is validated only when it opens: while it is closed
    // every item stays enabled, and a command validates itself when it runs.
    connect(m_formatMenu, &QMenu::aboutToHide, this, [this] {
        for (QAction* action : m_formatMenu->actions())
            action->setEnabled(true);
    });
}

void KXMainWindow::validateFormatMenu() {
    KXTextViewController* inspector = textInspector();
    for (QAction* action : m_formatMenu->actions()) {
        if (!action->data().isValid())
            continue;
        const int tag = action->data().toInt();
        const KXTextViewController::MenuItemState state =
            inspector ? inspector->validateMenuItem(tag) : KXTextViewController::MenuItemState{};
        action->setEnabled(state.enabled);
        if (isStyleItem(tag))
            action->setChecked(state.enabled && inspector->segmentFontStyle()->isSelected(
                                                    styleTagOfItem(tag) - KXTextViewController::TagStyleBold));
        else if (action->isCheckable())
            action->setChecked(state.on);
    }
}

void KXMainWindow::formatCommand(QAction* item) {
    // A shortcut fires without the menu being shown: the item is validated again first.
    KXTextViewController* inspector = textInspector();
    const int tag = item->data().toInt();
    if (!inspector || !inspector->validateMenuItem(tag).enabled)
        return;
    if (isStyleItem(tag)) {
        const int style = styleTagOfItem(tag);
        // The style goes to the opposite of what the text shows, whatever state the item was left in.
        inspector->setStyle(style, !inspector->segmentFontStyle()->isSelected(style - KXTextViewController::TagStyleBold));
    } else if (tag == KXTextViewController::TagBigger || tag == KXTextViewController::TagSmaller) {
        inspector->modifyFont(tag);
    } else {
        inspector->textAlignChangeWithTag(tag);
    }
}
