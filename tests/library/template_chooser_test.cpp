// The template chooser: listing by category, choosing, favourites, zoom, and the user's own templates.
#include "controls/browser_test_support.h"
#include "controls/mouse_events.h"
#include "document/package_file_calls.h"
#include "document/project.h"
#include "document/version_info.h"
#include "graphics/file_utilities.h"
#include "model/canvas.h"
#include "library/project_open_panel.h"
#include "library/save_template.h"
#include "library/template_browser_view.h"
#include "library/template_favorites.h"
#include "library/template_store_banner.h"
#include "library/template_window_controller.h"
#include "platform/foundation/notification_center.h"
#include "template_test_support.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSlider>

#include <cerrno>
#include <cstdio>

using Area = KXTemplateBrowserCell::Area;
using kx::templates::favoriteFolders;

namespace {

struct RecordingDelegate : KXTemplateWindowControllerDelegate {
    QStringList calls;
    void templateWindowControllerOpenPorject(KXTemplateChooser*, const QString& path) override {
        calls << "project " + path;
    }
    void templateWindowControllerOpenTemplate(KXTemplateChooser*, const QString& folder, std::int64_t page) override {
        calls << QString("template %1 page %2").arg(folder).arg(page);
    }
    void templateWindowControllerDidCancel(KXTemplateChooser*) override { calls << "cancel"; }
};

class TemplateChooserTest : public kxtest::TemplateFixture {
protected:
    void TearDown() override {
        chooser.reset();
        setProjectOpenPanelRunner({});
        kx::setPackageFileCalls({});
        TemplateFixture::TearDown();
    }
    KXTemplateWindowController& open(const QString& row = {}) {
        chooser = KXTemplateWindowController::templateWC();
        chooser->setDelegate(&delegate);
        chooser->window()->resize(1000, 700);
        chooser->showWindow();
        QApplication::processEvents();
        if (!row.isEmpty())
            chooser->selectCategory(row);
        QApplication::processEvents();
        return *chooser;
    }
    QStringList names() const {
        QStringList all;
        for (const KXTemplateItem& item : chooser->images())
            all << item.name();
        return all;
    }
    int indexOf(const QString& name) const { return int(names().indexOf(name)); }
    void clickArea(int index, Area area) {
        const QPoint at = chooser->imageBrowser()->areaRect(index, area).center();
        kxtest::sendMouse(chooser->imageBrowser()->viewport(), QEvent::MouseButtonPress, at);
        kxtest::sendMouse(chooser->imageBrowser()->viewport(), QEvent::MouseButtonRelease, at);
    }
    void select(int index) {
        chooser->imageBrowser()->selectItem(index);
        chooser->imageBrowser()->setSelectIndex(index);
        chooser->imageBrowser()->setDeleteIndex(index);
    }

    RecordingDelegate delegate;
    std::unique_ptr<KXTemplateWindowController> chooser;
};

TEST_F(TemplateChooserTest, TheCategoryRowsAndTheFirstListingIsAll) {
    builtIn("Collages", "Grid");
    open();
    EXPECT_EQ(chooser->tmpList(), (QStringList{"All", "Collages", "Cards", "Calendars", "My Templates", "Favorites"}));
    EXPECT_EQ(chooser->selectedCategory(), "All");
    EXPECT_EQ(chooser->groupInfo().size(), 3u);
    EXPECT_EQ(chooser->tvTmpList()->item(0)->font().bold(), true);
    EXPECT_EQ(chooser->tvTmpList()->item(1)->font().bold(), false);
    EXPECT_EQ(chooser->imageBrowser()->selectedItems(), std::vector<int>{0});
    EXPECT_TRUE(chooser->btChoose()->isEnabled());
    EXPECT_FALSE(chooser->storeBanner()->isHidden());
    EXPECT_TRUE(bool(chooser->storeBanner()->storeAction));
}

TEST_F(TemplateChooserTest, ChoosingReportsTheTemplateFolderAndPageAfterTheWindowClosed) {
    const QString grid = builtIn("Collages", "Grid");
    builtIn("Collages", "Mosaic");
    open("Collages");
    chooser->imageBrowser()->selectItem(indexOf("Grid"));
    chooser->selectTemplateClicked();
    EXPECT_FALSE(chooser->window()->isVisible());
    EXPECT_EQ(delegate.calls, QStringList{"template " + grid + " page 0"});
}

TEST_F(TemplateChooserTest, NothingToChooseCancelsAndAProjectFileWinsOverATemplate) {
    builtIn("Collages", "Grid");
    open("Cards");  // empty
    EXPECT_FALSE(chooser->btChoose()->isEnabled());
    chooser->selectTemplateClicked();
    EXPECT_EQ(delegate.calls, QStringList{"cancel"});

    chooser->showWindow();
    chooser->selectCategory("Collages");
    setProjectOpenPanelRunner([](QWidget*) { return QString("/p/Trip.vrtp3"); });
    chooser->openExistingProject();
    EXPECT_EQ(delegate.calls.last(), "project /p/Trip.vrtp3");
    EXPECT_TRUE(chooser->projPath().isEmpty());

    // A cancelled panel changes nothing.
    chooser->showWindow();
    setProjectOpenPanelRunner([](QWidget*) { return QString(); });
    chooser->openExistingProject();
    EXPECT_EQ(delegate.calls.size(), 2);
    EXPECT_TRUE(chooser->window()->isVisible());

    chooser->window()->close();
    EXPECT_EQ(delegate.calls.last(), "cancel");
    EXPECT_FALSE(chooser->window()->isVisible());
}

TEST_F(TemplateChooserTest, AThreePagePreviewTurnsThroughTwoNextClicksAndOpensAtItsPage) {
    const QString trip = userTemplate("Trip", 3);
    open("My Templates");
    KXTemplateBrowserView& view = *chooser->imageBrowser();
    ASSERT_EQ(names(), QStringList{"Trip"});
    EXPECT_EQ(view.areaImageName(0, Area::PreviousArrow), "PreTemplate_disable");
    EXPECT_EQ(view.areaImageName(0, Area::NextArrow), "NextTemplate");
    clickArea(0, Area::NextArrow);
    EXPECT_EQ(chooser->images()[0].currentPage(), 2);
    EXPECT_EQ(view.areaImageName(0, Area::PreviousArrow), "PreTemplate");
    EXPECT_EQ(view.areaImageName(0, Area::NextArrow), "NextTemplate");
    clickArea(0, Area::NextArrow);
    EXPECT_EQ(chooser->images()[0].currentPage(), 3);
    EXPECT_EQ(view.areaImageName(0, Area::NextArrow), "NextTemplate_disable");
    EXPECT_EQ(view.browserModel().items()[0].pdfPage, 2);
    // A third click on the disabled arrow does nothing.
    clickArea(0, Area::NextArrow);
    EXPECT_EQ(chooser->images()[0].currentPage(), 3);
    clickArea(0, Area::PreviousArrow);
    EXPECT_EQ(chooser->images()[0].currentPage(), 2);

    chooser->selectTemplateClicked();
    EXPECT_EQ(delegate.calls, QStringList{"template " + trip + " page 1"});
}

TEST_F(TemplateChooserTest, DoubleClickingAPictureChoosesItButDoubleClickingAnArrowOnlyTurnsPages) {
    const QString trip = userTemplate("Trip", 3);
    open("My Templates");
    QWidget* viewport = chooser->imageBrowser()->viewport();
    auto doubleClick = [&](const QPoint& at) {
        kxtest::sendMouse(viewport, QEvent::MouseButtonPress, at);
        kxtest::sendMouse(viewport, QEvent::MouseButtonRelease, at);
        kxtest::sendMouse(viewport, QEvent::MouseButtonDblClick, at);
        kxtest::sendMouse(viewport, QEvent::MouseButtonRelease, at);
    };
    doubleClick(chooser->imageBrowser()->areaRect(0, Area::NextArrow).center());
    EXPECT_TRUE(delegate.calls.isEmpty());
    EXPECT_EQ(chooser->images()[0].currentPage(), 3);
    doubleClick(chooser->imageBrowser()->cellRect(0).center() - QPoint(0, 30));
    EXPECT_EQ(delegate.calls, QStringList{"template " + trip + " page 2"});
}

TEST_F(TemplateChooserTest, FavouritesSurviveARestartAndFollowARename) {
    const QString trip = userTemplate("Trip", 2);
    userTemplate("Other");
    open("My Templates");
    clickArea(indexOf("Trip"), Area::FavoriteStar);
    EXPECT_EQ(favoriteFolders(), QStringList{trip});

    // A restart: the settings are read again by a new chooser.
    chooser.reset();
    kx::UserDefaults::setStandardFilePath(at("home/config/settings.conf"));
    open("Favorites");
    EXPECT_EQ(names(), QStringList{"Trip"});
    EXPECT_TRUE(chooser->imageBrowser()->cellAt(0)->isFavorite);

    select(0);
    chooser->renameTempalteWithName("Voy/age");
    EXPECT_EQ(names(), QStringList{"Voyage"});
    EXPECT_FALSE(QFileInfo::exists(trip));
    EXPECT_TRUE(QFileInfo::exists(myTemplates() + "/Voyage.tpl/QuickLook/Preview.pdf"));
    EXPECT_EQ(favoriteFolders(), QStringList{myTemplates() + "/Voyage.tpl"});
    chooser->selectCategory("Favorites");
    EXPECT_EQ(names(), QStringList{"Voyage"});
    EXPECT_TRUE(chooser->imageBrowser()->cellAt(0)->isFavorite);
}

TEST_F(TemplateChooserTest, ClearingAStarInFavoritesRemovesTheItemAndEveryCopy) {
    const QString a = builtIn("Cards", "A");
    const QString b = builtIn("Cards", "B");
    kx::templates::addFavorite(a);
    kx::templates::addFavorite(b);
    kx::templates::addFavorite(a);
    open("Favorites");
    EXPECT_EQ(names(), (QStringList{"A", "B", "A"}));
    clickArea(0, Area::FavoriteStar);
    EXPECT_EQ(names(), QStringList{"B"});
    EXPECT_EQ(favoriteFolders(), QStringList{b});
}

TEST_F(TemplateChooserTest, DeletingAsksThenRemovesTheFolderTheItemAndItsFavouriteInAnyCase) {
    const QString mine = userTemplate("Mine");
    userTemplate("Kept");
    kx::templates::addFavorite(mine.toUpper());
    open("My Templates");
    const int index = indexOf("Mine");
    alertAnswer = 1;  // Cancel
    clickArea(index, Area::DeleteBadge);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].message, "DeleteTemplate");
    EXPECT_EQ(alerts[0].buttons, (QStringList{"OK", "Cancel"}));
    EXPECT_TRUE(QFileInfo::exists(mine));

    alertAnswer = 0;
    clickArea(indexOf("Mine"), Area::DeleteBadge);
    EXPECT_FALSE(QFileInfo::exists(mine));
    EXPECT_EQ(names(), QStringList{"Kept"});
    EXPECT_TRUE(favoriteFolders().isEmpty());
}

TEST_F(TemplateChooserTest, DeletingInACategoryKeepsTheRestOfTheListing) {
    // Only the user's own are ever deleted, and a built-in category relists nothing.
    builtIn("Cards", "A");
    builtIn("Cards", "B");
    open("Cards");
    select(indexOf("A"));
    chooser->removeCustomTemplate();
    EXPECT_EQ(names(), QStringList{"B"});
    EXPECT_TRUE(QFileInfo::exists(resources() + "/Templates/Cards/A/Preview.jpg"));
}

TEST_F(TemplateChooserTest, RenamingOverAnotherTemplateReplacesItAndLeavesTheRestAlone) {
    const QString card = userTemplate("Card");
    writeFile(card + "/info.xml", "card");
    userTemplate("Card 2");
    const QString old = userTemplate("Card 2 old");
    open("My Templates");
    select(indexOf("Card"));
    chooser->renameTempalteWithName("Card");  // the same name: nothing
    EXPECT_TRUE(QFileInfo::exists(card));
    chooser->renameTempalteWithName("Card 2");
    QStringList shown = names();
    shown.sort();
    EXPECT_EQ(shown, (QStringList{"Card 2", "Card 2 old"}));
    QFile info(myTemplates() + "/Card 2.tpl/info.xml");
    ASSERT_TRUE(info.open(QIODevice::ReadOnly));
    EXPECT_EQ(info.readAll(), "card");
    EXPECT_FALSE(QFileInfo::exists(card));
    EXPECT_TRUE(QFileInfo::exists(old));
}

TEST_F(TemplateChooserTest, AFailedRenameSaysSoAndChangesNothing) {
    const QString card = userTemplate("Card");
    const QString card2 = userTemplate("Card 2");
    open("My Templates");
    const QStringList before = names();
    kx::setPackageFileCalls({[](const QString& from, const QString& to, unsigned) {
                                 if (QFileInfo(from).fileName() == "Card.tpl") {
                                     errno = EACCES;
                                     return -1;
                                 }
                                 return std::rename(QFile::encodeName(from).constData(),
                                                    QFile::encodeName(to).constData());
                             },
                             {}});
    select(indexOf("Card"));
    chooser->renameTempalteWithName("Card 2");
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].message, "RenameTemplateFailed");
    EXPECT_TRUE(alerts[0].informative.contains("Card.tpl"));
    EXPECT_TRUE(QFileInfo::exists(card + "/info.xml"));
    EXPECT_TRUE(QFileInfo::exists(card2 + "/info.xml"));
    EXPECT_EQ(names(), before);
}

TEST_F(TemplateChooserTest, AnOlderPlainFolderIsNeverReplacedUnasked) {
    writeJpeg(myTemplates() + "/Old/page.jpg");
    writeJpeg(myTemplates() + "/New/page.jpg", Qt::red);
    open("My Templates");
    select(indexOf("Old"));
    chooser->renameTempalteWithName("New");
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].message, "RenameTemplateFailed");
    EXPECT_TRUE(QFileInfo::exists(myTemplates() + "/Old/page.jpg"));
    EXPECT_TRUE(QFileInfo::exists(myTemplates() + "/New/page.jpg"));
    chooser->renameTempalteWithName("Newer");
    EXPECT_TRUE(QFileInfo::exists(myTemplates() + "/Newer/page.jpg"));
    EXPECT_EQ(chooser->images()[std::size_t(indexOf("Newer"))].path(), myTemplates() + "/Newer/page.jpg");
}

TEST_F(TemplateChooserTest, OnlyOwnTemplatesGetTheContextMenu) {
    builtIn("Collages", "Grid");
    userTemplate("Mine");
    open("All");
    int menus = 0;
    chooser->setMenuPresenter([&](QMenu* menu, const QPoint&) {
        EXPECT_EQ(menu, chooser->rightMenu());
        ++menus;
    });
    KXTemplateBrowserView& view = *chooser->imageBrowser();
    const QPoint builtInCell = view.cellRect(indexOf("Grid")).center();
    kxtest::sendMouse(view.viewport(), QEvent::MouseButtonPress, builtInCell, Qt::RightButton);
    EXPECT_EQ(menus, 0);
    const int mine = indexOf("Mine");
    kxtest::sendMouse(view.viewport(), QEvent::MouseButtonPress, view.cellRect(mine).center(), Qt::RightButton);
    EXPECT_EQ(menus, 1);
    EXPECT_EQ(view.selectIndex(), mine);
    EXPECT_EQ(view.deleteIndex(), mine);
    chooser->renameAction();
    ASSERT_NE(chooser->renameWC(), nullptr);
    EXPECT_EQ(chooser->renameWC()->tfName()->text(), "Mine");
    chooser->renameWC()->tfName()->setText("Ours");
    chooser->renameWC()->okAction();
    EXPECT_TRUE(QFileInfo::exists(myTemplates() + "/Ours.tpl"));
    EXPECT_EQ(chooser->images()[std::size_t(mine)].name(), "Ours");
}

TEST_F(TemplateChooserTest, TheZoomIsRememberedWithAHalfAsDefault) {
    open();
    EXPECT_DOUBLE_EQ(chooser->imageBrowser()->zoomValue(), 0.5);
    chooser->maxValue();
    EXPECT_DOUBLE_EQ(chooser->imageBrowser()->zoomValue(), 1.0);
    chooser.reset();
    open();
    EXPECT_DOUBLE_EQ(chooser->imageBrowser()->zoomValue(), 1.0);
    EXPECT_EQ(chooser->slZoom()->value(), chooser->slZoom()->maximum());
    chooser->minValue();
    EXPECT_FLOAT_EQ(float(kx::UserDefaults::standard().doubleValue("KXTemplateZoom")), 0.0f);
}

TEST_F(TemplateChooserTest, ASavedTemplateAppearsInMyTemplates) {
    open("My Templates");
    EXPECT_TRUE(names().isEmpty());
    const QString saved = userTemplate("Saved");
    kx::NotificationCenter::defaultCenter().post(KXReloadAllTemplateData, nullptr,
                                                 {{"tempName", kx::Value(deletingPathExtension(saved))}});
    EXPECT_EQ(names(), QStringList{"Saved"});
}

TEST_F(TemplateChooserTest, AProjectSavedAsATemplateIsListedAndOpensAgain) {
    registerDocumentClasses();
    open("My Templates");
    KXProject project;
    project.createNewLayerWithCanvas(std::make_shared<KXCanvas>());
    ASSERT_EQ(project.canvasCount(), 2);
    KXSaveTemplateController sheet;
    sheet.tfName()->setText("Trip/2024");
    EXPECT_FALSE(writeProjectAsTemplate(sheet, project));  // not accepted yet
    sheet.OKClicked();
    QString error;
    ASSERT_TRUE(writeProjectAsTemplate(sheet, project, &error)) << error.toStdString();
    const QString folder = myTemplates() + "/Trip2024.tpl";
    EXPECT_EQ(names(), QStringList{"Trip2024"});
    EXPECT_TRUE(chooser->images()[0].isMultiplePage());
    std::unique_ptr<KXProject> reopened = KXProject::initWithPath(folder + "/info.xml", &error);
    ASSERT_NE(reopened, nullptr) << error.toStdString();
    EXPECT_EQ(reopened->canvasCount(), 2);

    // Saved again under the same name after "Replace": one template, the new one.
    KXProject single;
    sheet.OKClicked();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].message, "FileExisted");
    ASSERT_TRUE(writeProjectAsTemplate(sheet, single, &error)) << error.toStdString();
    EXPECT_EQ(KXProject::initWithPath(folder + "/info.xml", &error)->canvasCount(), 1);
    EXPECT_EQ(QDir(myTemplates()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"Trip2024.tpl"});
    EXPECT_EQ(names(), QStringList{"Trip2024"});
}

TEST_F(TemplateChooserTest, EveryBuiltInTemplateShowsAThumbnailAndOpensIntoAProject) {
    kx::Bundle::setMainResourcePath(QStringLiteral(KX_SOURCE_DIR "/resources"));
    open("All");
    const std::vector<KXTemplateItem>& items = chooser->images();
    const int folders = int(subfoldersInFolder(QStringLiteral(KX_SOURCE_DIR "/resources/Templates"), true).size()) -
                        int(chooser->groupInfo().size());
    ASSERT_GT(folders, 0);
    EXPECT_EQ(int(items.size()), folders);
    for (const kx::ImageBrowserGroup& group : chooser->groupInfo())
        EXPECT_GT(group.count, 0) << group.title.toStdString();
    KXTemplateBrowserView& view = *chooser->imageBrowser();
    ASSERT_TRUE(kxtest::waitUntil([&] {
        for (int i = 0; i < int(items.size()); ++i)
            if (!view.browserModel().hasThumbnail(i))
                return false;
        return true;
    }));
    for (int i = 0; i < int(items.size()); ++i) {
        EXPECT_FALSE(view.browserModel().thumbnail(i).isNull()) << items[i].name().toStdString();
        const QStringList files = filesInFolder(items[i].templateFolder(), "tpl", false);
        ASSERT_EQ(files.size(), 1) << items[i].name().toStdString();
        QString error;
        std::unique_ptr<KXProject> project = KXProject::initWithPath(files.first(), &error);
        ASSERT_NE(project, nullptr) << items[i].name().toStdString() << ": " << error.toStdString();
        EXPECT_GE(project->canvasCount(), 1);
    }
}

TEST(ProjectOpenPanel, APackageFolderOrItsInfoFileIsChosenAsADocument) {
    QTemporaryDir dir;
    const QString package = dir.filePath("Trip.vrtp3");
    QDir().mkpath(package);
    QFile(package + "/info.xml").open(QIODevice::WriteOnly);
    QDir().mkpath(dir.filePath("Plain"));
    QDir().mkpath(dir.filePath("Card.VRTPKG"));
    EXPECT_EQ(openablePackageForPath(package), package);
    EXPECT_EQ(openablePackageForPath(package + "/info.xml"), package);
    EXPECT_EQ(openablePackageForPath(dir.filePath("Card.VRTPKG")), dir.filePath("Card.VRTPKG"));
    EXPECT_TRUE(openablePackageForPath(dir.filePath("Plain")).isEmpty());
    EXPECT_TRUE(openablePackageForPath(dir.filePath("Missing.vrtp3")).isEmpty());

    KXPackageIconProvider icons;
    EXPECT_EQ(icons.type(QFileInfo(package)), kx::templates::localized("ProjectFileType"));
    EXPECT_NE(icons.type(QFileInfo(dir.filePath("Plain"))), kx::templates::localized("ProjectFileType"));

    KXProjectOpenPanel panel;
    panel.setDirectory(dir.path());
    panel.selectFile(package);
    panel.accept();
    EXPECT_EQ(panel.result(), QDialog::Accepted);
    EXPECT_EQ(panel.chosenPath(), package);
}

TEST(ProjectOpenPanel, EnteringAPackageOpensIt) {
    QTemporaryDir dir;
    const QString package = dir.filePath("Trip.vrtplite");
    QDir().mkpath(package);
    KXProjectOpenPanel panel;
    panel.setDirectory(dir.path());
    panel.open();
    emit panel.directoryEntered(package);
    EXPECT_EQ(panel.result(), QDialog::Accepted);
    EXPECT_EQ(panel.chosenPath(), package);
    EXPECT_FALSE(panel.isVisible());
}

}  // namespace
