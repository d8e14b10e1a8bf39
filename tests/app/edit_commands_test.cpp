// The document window's editing commands, its menu items' enabling and titles, its shortcuts and its
// save-as-template road.
#include "app/main_window.h"
#include "app/menu_validation.h"
#include "app/window_panels.h"
#include "app_services/ga_object.h"
#include "app_test_support.h"
#include "canvas/canvas_view.h"
#include "document/document.h"
#include "document/version_info.h"
#include "graphics/system_services.h"
#include "inspectors/arrangement.h"
#include "inspectors/photo_view_controller.h"
#include "library/template_alerts.h"
#include "library/project_open_panel.h"
#include "library/template_name_sheets.h"
#include "model/canvas.h"
#include "model/graph.h"
#include "model/model_classes.h"
#include "model/photo.h"
#include "model/shape.h"
#include "output/share_view_controller.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/user_defaults.h"
#include "app/app_delegate.h"
#include "support/environment_override.h"
#include "support/event_wait.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

QString localized(const char* key) {
    return kx::Bundle::main().localizedString(QString::fromUtf8(key));
}

// ---- the tag table over a page ----

class MenuTagTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerModelClasses();
        page.undoManager().disableUndoRegistration();
    }
    // A photo frame at the given place; empty unless a picture is given.
    std::shared_ptr<KXShape> frame(double x, const QString& picture = {}) {
        auto shape = std::make_shared<KXShape>();
        shape->setRelativeRect({x, 0.1, 0.2, 0.2});
        page.addGraph(shape);
        if (!picture.isEmpty())
            shape->photo()->setImagePath(picture);
        return shape;
    }
    void select(const KXCanvas::GraphList& graphs) {
        page.setAllGrpahsSelection(false);
        for (const auto& graph : graphs)
            graph->setSelected(true);
    }
    bool enabled(int tag) const {
        KXMenuState state;
        state.page = &page;
        return validateMenuTag(tag, state).enabled;
    }

    KXCanvas page;
};

TEST_F(MenuTagTest, TheSelectionItemsNeedOneUnlockedObject) {
    const auto locked = frame(0.1);
    const auto unlocked = frame(0.4);
    locked->setLocked(true);
    const struct {
        const char* what;
        KXCanvas::GraphList selection;
        bool expected;
    } cases[] = {{"one locked and one unlocked", {locked, unlocked}, true},
                 {"only a locked one", {locked}, false},
                 {"nothing", {}, false}};
    for (const auto& c : cases) {
        select(c.selection);
        for (const int tag : {16, 17, 19, 20})
            EXPECT_EQ(enabled(tag), c.expected) << c.what << ", tag " << tag;
        // Paste follows the clipboard only.
        EXPECT_FALSE(enabled(KXMenuTagPaste)) << c.what;
        EXPECT_EQ(canCopyObject(&page), c.expected) << c.what;
    }
}

TEST_F(MenuTagTest, PhotoItemsNeedExactlyOnePhotoWithAPicture) {
    QTemporaryDir dir;
    const QString picture = dir.filePath("p.png");
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(picture));
    const auto empty = frame(0.0);
    const auto photo = frame(0.3, picture);
    const auto lockedPhoto = frame(0.6, picture);
    lockedPhoto->setLocked(true);
    const struct {
        const char* what;
        KXCanvas::GraphList selection;
        bool unlockedPhoto;  // tag 21
        bool anyPhoto;       // tag 22
    } cases[] = {{"one photo", {photo}, true, true},
                 {"one locked photo", {lockedPhoto}, false, true},
                 {"an empty frame", {empty}, false, false},
                 {"two photos", {photo, lockedPhoto}, false, false},
                 {"nothing", {}, false, false}};
    for (const auto& c : cases) {
        select(c.selection);
        EXPECT_EQ(enabled(KXMenuTagUnlockedPhoto), c.unlockedPhoto) << c.what;
        EXPECT_EQ(enabled(KXMenuTagPhoto), c.anyPhoto) << c.what;
    }
}

TEST_F(MenuTagTest, StackingAndPageItemsFollowThePage) {
    EXPECT_FALSE(enabled(KXMenuTagPageHasGraphs));
    const auto back = frame(0.1);
    const auto front = frame(0.4);
    EXPECT_TRUE(enabled(KXMenuTagPageHasGraphs));
    select({back});
    EXPECT_TRUE(enabled(KXMenuTagBringForward));
    EXPECT_FALSE(enabled(KXMenuTagSendBackward));
    EXPECT_TRUE(canGoForward(&page, true));
    EXPECT_FALSE(canGoForward(&page, false));
    EXPECT_FALSE(canGoBack(&page, true));
    select({front});
    EXPECT_FALSE(enabled(KXMenuTagBringForward));
    EXPECT_TRUE(enabled(KXMenuTagSendBackward));
    EXPECT_TRUE(canGoBack(&page, true));
    front->setLocked(true);
    EXPECT_FALSE(canGoBack(&page, true));
}

TEST_F(MenuTagTest, StateItemsAndTitlesFollowTheWindow) {
    KXMenuState state;
    state.page = &page;
    state.canPaste = true;
    state.canZoomIn = true;
    state.nextPageEnabled = true;
    EXPECT_TRUE(validateMenuTag(KXMenuTagPaste, state).enabled);
    EXPECT_TRUE(validateMenuTag(KXMenuTagZoomIn, state).enabled);
    EXPECT_FALSE(validateMenuTag(KXMenuTagZoomOut, state).enabled);
    EXPECT_TRUE(validateMenuTag(KXMenuTagNextPage, state).enabled);
    EXPECT_FALSE(validateMenuTag(KXMenuTagPreviousPage, state).enabled);
    // Tags the table does not list, and the share tags, are always enabled and keep their titles.
    for (const int tag : {0, 7, 100, 500, 502, 505, 999}) {
        EXPECT_TRUE(validateMenuTag(tag, state).enabled) << tag;
        EXPECT_TRUE(validateMenuTag(tag, state).title.isEmpty()) << tag;
    }
    const struct {
        int tag;
        bool* flag;
        const char* whenOn;
        const char* whenOff;
    } titles[] = {{KXMenuTagFloatingPanel, &state.showFloatingPanel, "Hide Floating Panel", "Show Floating Panel"},
                  {KXMenuTagResourceInspector, &state.resourcePanelHidden, "Show Resource Inspector",
                   "Hide Resource Inspector"},
                  {KXMenuTagSettingInspector, &state.settingPanelHidden, "Show Setting Inspector",
                   "Hide Setting Inspector"}};
    for (const auto& t : titles) {
        *t.flag = true;
        EXPECT_EQ(validateMenuTag(t.tag, state).title, localized(t.whenOn));
        EXPECT_TRUE(validateMenuTag(t.tag, state).enabled);
        *t.flag = false;
        EXPECT_EQ(validateMenuTag(t.tag, state).title, localized(t.whenOff));
    }
    EXPECT_NE(localized("Hide Floating Panel"), localized("Show Floating Panel"));
}

TEST_F(MenuTagTest, ShareTagsGiveTheirType) {
    EXPECT_EQ(shareTypeForTag(500), 0);
    EXPECT_EQ(shareTypeForTag(502), 2);
    EXPECT_EQ(shareTypeForTag(505), 5);
    EXPECT_EQ(shareTypeForTag(499), -1);
    EXPECT_EQ(shareTypeForTag(506), -1);
}

TEST_F(MenuTagTest, ArrangeItemsNeedWhatTheirCommandActsOn) {
    const auto a = frame(0.1);
    const auto b = frame(0.4);
    select({a, b});
    EXPECT_TRUE(validateArrangeTag(KXArrangeMenuGroup, &page));
    EXPECT_FALSE(validateArrangeTag(KXArrangeMenuUngroup, &page));
    EXPECT_TRUE(validateArrangeTag(KXArrangeMenuLock, &page));
    EXPECT_FALSE(validateArrangeTag(KXArrangeMenuUnlock, &page));
    EXPECT_TRUE(validateArrangeTag(KXAlignPageLeft, &page));
    b->setLocked(true);
    EXPECT_FALSE(validateArrangeTag(KXArrangeMenuGroup, &page));
    EXPECT_TRUE(validateArrangeTag(KXArrangeMenuUnlock, &page));
    select({});
    for (const int tag : {int(KXArrangeMenuLock), int(KXAlignPageTop), int(KXFlipHorizontal)})
        EXPECT_FALSE(validateArrangeTag(tag, &page)) << tag;
}

// ---- the window ----

class EditCommandsTest : public kxtest::WindowTest {
protected:
    void SetUp() override {
        kxtest::WindowTest::SetUp();
        kx::UserDefaults::setStandardFilePath(dir.filePath("settings.conf"));
        AppDelegate::initialize();
    }
    void TearDown() override {
        kx::templates::setAlertRunner({});
        kx::UserDefaults::setStandardFilePath({});
        kxtest::WindowTest::TearDown();
    }

    static QAction* item(const QWidget* in, const char* name) {
        auto* action = in->findChild<QAction*>(QString::fromLatin1(name));
        EXPECT_NE(action, nullptr) << name;
        return action;
    }
    // The window's item of that name (the context menu's copy of an item is validated alike).
    static QAction* menuItem(const KXMainWindow& window, const char* name) { return item(&window, name); }
    // Three text boxes on the page, back to front.
    static KXCanvas::GraphList threeObjects(KXMainWindow& window) {
        for (int i = 0; i < 3; ++i)
            window.addTextAction();
        return page(window)->graphs();
    }

};

TEST_F(EditCommandsTest, ItemsFollowTheSelectionWithoutTheMenuOpening) {
    auto window = openWindow();
    const auto graphs = threeObjects(*window);
    const char* selectionItems[] = {"Cut", "Copy", "Delete", "Duplicate"};
    page(*window)->undoManager().disableUndoRegistration();
    graphs[0]->setLocked(true);
    page(*window)->undoManager().enableUndoRegistration();
    window->preview()->setSelectedGraphs({graphs[0], graphs[1]});
    QApplication::processEvents();
    for (const char* name : selectionItems)
        EXPECT_TRUE(menuItem(*window, name)->isEnabled()) << name;
    EXPECT_TRUE(window->arrangeMenu()->findChild<QAction*>("Unlock")->isEnabled());
    window->lockAction();
    for (const char* name : selectionItems)
        EXPECT_FALSE(menuItem(*window, name)->isEnabled()) << name;
    EXPECT_FALSE(window->arrangeMenu()->findChild<QAction*>("Lock")->isEnabled());
    // A disabled item's shortcut does nothing: the delete command leaves locked objects.
    window->deleteAction();
    EXPECT_EQ(page(*window)->graphCount(), 3);
    window->unlockAction();
    EXPECT_TRUE(menuItem(*window, "Delete")->isEnabled());
    window->deleteAction();
    EXPECT_EQ(page(*window)->graphs(), KXCanvas::GraphList({graphs[2]}));
    EXPECT_FALSE(menuItem(*window, "Delete")->isEnabled());
    // Undo brings both back in one step, and the items follow the undo.
    EXPECT_TRUE(window->undoItem()->isEnabled());
    window->undoAction();
    EXPECT_EQ(page(*window)->graphCount(), 3);
}

TEST_F(EditCommandsTest, UndoingALockPutsTheToolbarBackInPlaceOfTheBadge) {
    auto window = openWindow();
    window->addTextAction();
    KXWindowPanels& panels = *window->windowPanels();
    window->lockAction();
    ASSERT_TRUE(panels.lockFloatingPanel()->isVisible());
    window->undoAction();
    EXPECT_FALSE(page(*window)->graphs().front()->isLocked());
    EXPECT_FALSE(panels.lockFloatingPanel()->isVisible());
    EXPECT_TRUE(panels.normalFloatingPanel()->isVisible());
    window->redoAction();
    EXPECT_TRUE(panels.lockFloatingPanel()->isVisible());
    EXPECT_FALSE(panels.normalFloatingPanel()->isVisible());
}

TEST_F(EditCommandsTest, ItemsAreCheckedAgainBeforeAMenuOpens) {
    auto window = openWindow();
    window->addTextAction();
    QAction* remove = menuItem(*window, "Delete");
    ASSERT_TRUE(remove->isEnabled());
    // A change no notification announces: the menu still shows the truth when it opens.
    page(*window)->undoManager().disableUndoRegistration();
    page(*window)->graphs().front()->setLocked(true);
    page(*window)->undoManager().enableUndoRegistration();
    auto* edit = window->menuBar()->findChild<QMenu*>("EditMenu");
    ASSERT_NE(edit, nullptr);
    emit edit->aboutToShow();
    EXPECT_FALSE(remove->isEnabled());
    window->canvasContextMenu()->findChild<QAction*>("Delete")->setEnabled(true);
    emit window->canvasContextMenu()->aboutToShow();
    EXPECT_FALSE(window->canvasContextMenu()->findChild<QAction*>("Delete")->isEnabled());
}

TEST_F(EditCommandsTest, OpenAsksForAPackageAndSaysWhenItCannotBeOpened) {
    auto window = openWindow();
    int asked = 0;
    QString answer;
    setProjectOpenPanelRunner([&](QWidget*) {
        ++asked;
        return answer;
    });
    menuItem(*window, "OpenProject")->trigger();
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(alerts.isEmpty());
    answer = dir.filePath("Missing.vrtp3");
    menuItem(*window, "OpenProject")->trigger();
    setProjectOpenPanelRunner({});
    EXPECT_EQ(asked, 2);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts[0].startsWith(localized("OpenFailed").arg("Missing.vrtp3"))) << alerts[0].toStdString();
}

TEST_F(EditCommandsTest, PasteFollowsTheClipboardAndPageItemsFollowThePage) {
    auto window = openWindow();
    EXPECT_FALSE(menuItem(*window, "Paste")->isEnabled());
    window->addTextAction();
    window->copyAction();
    QApplication::processEvents();
    EXPECT_TRUE(menuItem(*window, "Paste")->isEnabled());
    sharedPasteboard()->clear();
    QApplication::processEvents();
    EXPECT_FALSE(menuItem(*window, "Paste")->isEnabled());

    EXPECT_FALSE(menuItem(*window, "NextPageAction")->isEnabled());
    window->project()->createNewLayerWithCanvas(std::make_shared<KXCanvas>());
    window->switchCanvasToIndex(0);
    EXPECT_TRUE(menuItem(*window, "NextPageAction")->isEnabled());
    EXPECT_FALSE(menuItem(*window, "PreviousPageAction")->isEnabled());
    window->nextPageAction();
    EXPECT_FALSE(menuItem(*window, "NextPageAction")->isEnabled());
    EXPECT_TRUE(menuItem(*window, "PreviousPageAction")->isEnabled());
    // The new page is empty: select all has nothing to select.
    EXPECT_FALSE(menuItem(*window, "SelectAll")->isEnabled());
}

TEST_F(EditCommandsTest, SelectAllAndStackingCommandsChangeTheOrderAsOneUndoStepEach) {
    auto window = openWindow();
    const auto graphs = threeObjects(*window);
    window->selectAllAction();
    EXPECT_EQ(page(*window)->selectedGraphs().size(), 3u);
    EXPECT_EQ(window->preview()->selectedGraphs().size(), 3u);
    window->preview()->setSelectedGraphs({graphs[0]});
    QApplication::processEvents();
    EXPECT_TRUE(menuItem(*window, "BringToFront")->isEnabled());
    EXPECT_FALSE(menuItem(*window, "SendToBack")->isEnabled());
    window->goFrontClicked();
    EXPECT_EQ(page(*window)->graphs(), KXCanvas::GraphList({graphs[1], graphs[2], graphs[0]}));
    EXPECT_FALSE(menuItem(*window, "BringForward")->isEnabled());
    window->goBackwardClicked();
    EXPECT_EQ(page(*window)->graphs(), KXCanvas::GraphList({graphs[1], graphs[0], graphs[2]}));
    window->goBackClicked();
    EXPECT_EQ(page(*window)->graphs(), KXCanvas::GraphList({graphs[0], graphs[1], graphs[2]}));
    window->goForwardClicked();
    EXPECT_EQ(page(*window)->graphs(), KXCanvas::GraphList({graphs[1], graphs[0], graphs[2]}));
    window->undoAction();
    EXPECT_EQ(page(*window)->graphs(), KXCanvas::GraphList({graphs[0], graphs[1], graphs[2]}));
}

TEST_F(EditCommandsTest, GroupAndUngroupFromTheArrangeMenu) {
    auto window = openWindow();
    const auto graphs = threeObjects(*window);
    window->preview()->setSelectedGraphs({graphs[0], graphs[1]});
    QApplication::processEvents();
    QAction* group = window->arrangeMenu()->findChild<QAction*>("Group");
    QAction* ungroup = window->arrangeMenu()->findChild<QAction*>("Ungroup");
    ASSERT_TRUE(group && ungroup);
    EXPECT_TRUE(group->isEnabled());
    EXPECT_FALSE(ungroup->isEnabled());
    group->trigger();
    ASSERT_EQ(page(*window)->graphCount(), 2);
    const auto made = page(*window)->graphs().back();
    EXPECT_EQ(made->graphType(), KXGraphTypeGroup);
    window->preview()->setSelectedGraphs({made});
    QApplication::processEvents();
    EXPECT_TRUE(ungroup->isEnabled());
    ungroup->trigger();
    EXPECT_EQ(page(*window)->graphCount(), 3);
    window->undoAction();
    EXPECT_EQ(page(*window)->graphCount(), 2);
}

TEST_F(EditCommandsTest, TheCanvasContextMenuStartsWithGroupAndUngroup) {
    auto window = openWindow();
    ASSERT_EQ(window->preview()->contextMenu(), window->canvasContextMenu());
    const QList<QAction*> actions = window->canvasContextMenu()->actions();
    ASSERT_GE(actions.size(), 3);
    EXPECT_EQ(actions[0]->objectName(), QStringLiteral("Group"));
    EXPECT_EQ(actions[1]->objectName(), QStringLiteral("Ungroup"));
    // The photo item is marked for the view, which shows it only for one photo.
    QAction* background = window->canvasContextMenu()->findChild<QAction*>("SetAsBackground");
    ASSERT_NE(background, nullptr);
    EXPECT_EQ(background->data().toInt(), KXMenuTagPhoto);
}

TEST_F(EditCommandsTest, TheFloatingPanelItemIsTitledByTheSetting) {
    auto window = openWindow();
    QAction* floating = menuItem(*window, "ShowHideFloatingPanel");
    ASSERT_TRUE(kx::UserDefaults::standard().boolValue(KXShowFloatingPanel));
    EXPECT_EQ(floating->text(), localized("Hide Floating Panel"));
    floating->trigger();
    window->validateMenuItems();
    EXPECT_FALSE(kx::UserDefaults::standard().boolValue(KXShowFloatingPanel));
    EXPECT_EQ(floating->text(), localized("Show Floating Panel"));
    QAction* resources = menuItem(*window, "ShowHideResourcePanel");
    EXPECT_EQ(resources->text(), localized("Hide Resource Inspector"));
    resources->trigger();
    window->validateMenuItems();
    EXPECT_EQ(resources->text(), localized("Show Resource Inspector"));
}

TEST_F(EditCommandsTest, ShortcutsAreTheDesktopsStandardKeysAndNoneIsTakenTwice) {
    auto window = openWindow();
    const struct {
        const char* name;
        QKeySequence keys;
    } expected[] = {{"Undo", QKeySequence(Qt::CTRL | Qt::Key_Z)},
                    {"Redo", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)},
                    {"Cut", QKeySequence(Qt::CTRL | Qt::Key_X)},
                    {"Copy", QKeySequence(Qt::CTRL | Qt::Key_C)},
                    {"Paste", QKeySequence(Qt::CTRL | Qt::Key_V)},
                    {"Delete", QKeySequence(Qt::Key_Delete)},
                    {"SelectAll", QKeySequence(Qt::CTRL | Qt::Key_A)},
                    {"Save", QKeySequence(Qt::CTRL | Qt::Key_S)},
                    {"SaveAs", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)},
                    {"Print", QKeySequence(Qt::CTRL | Qt::Key_P)},
                    {"ZoomIn", QKeySequence(Qt::CTRL | Qt::Key_Plus)},
                    {"ZoomOut", QKeySequence(Qt::CTRL | Qt::Key_Minus)},
                    {"OpenProject", QKeySequence(Qt::CTRL | Qt::Key_O)},
                    {"CloseWindow", QKeySequence(Qt::CTRL | Qt::Key_W)}};
    for (const auto& e : expected)
        EXPECT_TRUE(menuItem(*window, e.name)->shortcuts().contains(e.keys)) << e.name;
    // Two actions of one window with the same keys would make both keys ambiguous, and neither would act.
    std::map<QString, QString> owners;
    for (QAction* action : window->findChildren<QAction*>()) {
        for (const QKeySequence& keys : action->shortcuts()) {
            const auto [at, fresh] = owners.emplace(keys.toString(), action->objectName());
            EXPECT_TRUE(fresh) << keys.toString().toStdString() << " on " << at->second.toStdString() << " and "
                               << action->objectName().toStdString();
        }
    }
}

TEST_F(EditCommandsTest, TheShareItemTagged502AsksForTypeTwo) {
    GAObject::initializeGATrackerWithID(QString());
    ASSERT_NE(GAObject::defaultObject(), nullptr);
    auto window = openWindow();
    QAction* share = menuItem(*window, "Share502");
    EXPECT_EQ(share->property(kMenuTagProperty).toInt(), 502);
    // Only e-mail has a service on this desktop; the other items say why they are off.
    EXPECT_FALSE(share->isEnabled());
    EXPECT_FALSE(share->toolTip().isEmpty());
    EXPECT_TRUE(menuItem(*window, "Share500")->isEnabled());
    window->shareFormMenu(502);
    // The page is rendered on a worker; the run ends before the window goes.
    EXPECT_TRUE(kxtest::processEventsUntil([&] { return !window->shareViewController()->isRunning(); }));
    const QList<QByteArray>& hits = GAObject::defaultObject()->eventQueue();
    ASSERT_FALSE(hits.isEmpty());
    EXPECT_TRUE(hits[0].contains("ec=Share")) << hits[0].toStdString();
    EXPECT_TRUE(hits[0].contains("ea=" + QUrl::toPercentEncoding(shareAnalyticsAction(2))))
        << hits[0].toStdString();
}

// A photo inspector that gave a photo a frame or a mask names its window; that window's resource panel then
// shows the frames or the masks, and no other window's does.
TEST_F(EditCommandsTest, AFrameOrMaskGivenInTheInspectorShowsThatResourceList) {
    auto window = openWindow();
    auto other = openWindow();
    const auto post = [](const QString& name, KXMainWindow& sender) {
        kx::NotificationCenter::defaultCenter().post(name, static_cast<const void*>(static_cast<QWidget*>(&sender)));
    };
    const std::int64_t before = other->resourceVC()->shownTag();
    ASSERT_NE(before, KXResourceTagMask);
    post(KXSelectMaskResources, *window);
    EXPECT_EQ(window->resourceVC()->shownTag(), KXResourceTagMask);
    EXPECT_EQ(window->tbResource()->indexOfSelectedTabButton(), KXResourceTagMask);
    post(KXSelectFrameResources, *window);
    EXPECT_EQ(window->resourceVC()->shownTag(), KXResourceTagFrame);
    EXPECT_EQ(other->resourceVC()->shownTag(), before);
}

TEST_F(EditCommandsTest, TheStoreItemIsAvailableWhateverIsSelected) {
    AppDelegate delegate;
    KXMainWindow window(&delegate);
    window.validateMenuItems();
    QAction* store = item(window.menuBar(), "Store");
    ASSERT_NE(store, nullptr);
    EXPECT_TRUE(store->isEnabled());
    EXPECT_EQ(store->text(), localized("Store"));
}

// ---- saving as a template ----

class SaveTemplateCommandTest : public EditCommandsTest {
protected:
    void SetUp() override {
        EditCommandsTest::SetUp();
        home = std::make_unique<kxtest::EnvironmentOverride>("HOME", QFile::encodeName(dir.filePath("home")));
        data = std::make_unique<kxtest::EnvironmentOverride>("XDG_DATA_HOME", QFile::encodeName(dir.filePath("data")));
        kx::templates::setAlertRunner([this](QWidget*, const QString& message, const QString&, const QStringList& buttons) {
            questions << message;
            lastButtons = buttons;
            return answer;
        });
    }
    void TearDown() override {
        data.reset();
        home.reset();
        EditCommandsTest::TearDown();
    }
    // Runs the command, typing the name into its sheet and pressing OK.
    void saveAsTemplate(KXMainWindow& window, const QString& name) {
        bool typed = false;
        QTimer::singleShot(0, [&] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* sheet = qobject_cast<KXSaveTemplateController*>(widget); sheet && sheet->isVisible()) {
                    sheet->tfName()->setText(name);
                    sheet->OKClicked();
                    typed = true;
                }
            }
        });
        window.saveAsTemplateAction();
        EXPECT_TRUE(typed);
    }
    QString myTemplates() const {
        return dir.filePath("data/") + kx::Bundle::main().infoValue("CFBundleName").toString() + "/My Templates";
    }

    std::unique_ptr<kxtest::EnvironmentOverride> home;
    std::unique_ptr<kxtest::EnvironmentOverride> data;
    QStringList questions;
    QStringList lastButtons;
    int answer = 0;
};

TEST_F(SaveTemplateCommandTest, ASlashIsDroppedAndTheTemplateGoesToTheDataFolder) {
    auto window = openWindow();
    saveAsTemplate(*window, QStringLiteral("a/b"));
    EXPECT_TRUE(QFileInfo(myTemplates() + "/ab.tpl").isDir()) << myTemplates().toStdString();
    EXPECT_FALSE(QFileInfo::exists(QDir::currentPath() + "/ab.tpl"));
    EXPECT_TRUE(questions.isEmpty());
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(SaveTemplateCommandTest, NamesThatAreNoFolderNameAreRefused) {
    auto window = openWindow();
    for (const QString& name : {QString(), QStringLiteral("."), QStringLiteral(".."), QStringLiteral("/./"),
                                QStringLiteral(".hidden")}) {
        questions.clear();
        // The refused name leaves the sheet open; a second timer cancels it.
        QTimer::singleShot(50, [] {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* sheet = qobject_cast<KXSaveTemplateController*>(widget); sheet && sheet->isVisible())
                    sheet->cancelClicked();
        });
        saveAsTemplate(*window, name);
        EXPECT_EQ(questions.size(), 1) << name.toStdString();
    }
    EXPECT_TRUE(QDir(myTemplates()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden).isEmpty());
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(SaveTemplateCommandTest, AnExistingTemplateIsReplacedOnlyAfterReplace) {
    auto window = openWindow();
    saveAsTemplate(*window, QStringLiteral("Card"));
    const QString saved = myTemplates() + "/Card.tpl";
    ASSERT_TRUE(QFileInfo(saved).isDir());
    QFile marker(saved + "/marker");
    ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
    marker.close();

    answer = 1;  // Cancel
    QTimer::singleShot(50, [] {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* sheet = qobject_cast<KXSaveTemplateController*>(widget); sheet && sheet->isVisible())
                sheet->cancelClicked();
    });
    saveAsTemplate(*window, QStringLiteral("Card"));
    ASSERT_EQ(questions.size(), 1);
    ASSERT_EQ(lastButtons.size(), 2);
    EXPECT_EQ(lastButtons[0], localized("Replace"));
    EXPECT_TRUE(QFileInfo::exists(saved + "/marker"));

    answer = 0;  // Replace
    saveAsTemplate(*window, QStringLiteral("Card"));
    EXPECT_EQ(questions.size(), 2);
    EXPECT_TRUE(QFileInfo(saved).isDir());
    EXPECT_FALSE(QFileInfo::exists(saved + "/marker"));
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(SaveTemplateCommandTest, AFailedSaveSaysSo) {
    auto window = openWindow();
    // A file where the templates folder should be: nothing can be written.
    QDir().mkpath(QFileInfo(myTemplates()).path());
    QFile blocker(myTemplates());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    saveAsTemplate(*window, QStringLiteral("Card"));
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts[0].startsWith(localized("SaveTemplateFailed"))) << alerts[0].toStdString();
    EXPECT_TRUE(QFileInfo(myTemplates()).isFile());
}

}  // namespace
