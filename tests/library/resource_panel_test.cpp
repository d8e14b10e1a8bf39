#include "controls/checkbox_alert.h"
#include "library/resource_folders.h"
#include "library/resource_view_controller.h"
#include "resource_fixture.h"

#include <QApplication>
#include <QComboBox>
#include <QMimeData>
#include <QPushButton>
#include <QSlider>
#include <QUrl>
#include <gtest/gtest.h>

#include <memory>

namespace {

using kxtest::ResourceWorld;

QStringList popUpItems(QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items.append(box->itemData(i, Qt::AccessibleDescriptionRole).toString() == "separator" ? "-" : box->itemText(i));
    return items;
}

QStringList listedNames(const KXResourceListViewController* list) {
    QStringList out;
    for (const KXResourceBrowserItem& item : list->resources())
        out.append(QFileInfo(item.path()).fileName());
    return out;
}

// Five clip-art categories, two frame and mask categories each.
struct PanelWorld : ResourceWorld {
    PanelWorld() {
        for (const char* category : {"Animals", "Food", "Party", "Sports", "Travel"})
            image(resources() + "/Clipart/" + category + "/" + category + "_1.png");
        image(resources() + "/Frame/Simple/plain.png");
        image(resources() + "/Frame/Fun/film.jpng");
        image(resources() + "/Mask/Circle/circle.jpg");
        image(resources() + "/Mask/Shape/star.jpg");
    }
};

class ResourcePanel : public ::testing::Test {
protected:
    void TearDown() override {
        KXResourceListViewController::setAlertRunner({});
        KXResourceListViewController::setImportChooser({});
    }
    void makePanel() { panel = std::make_unique<KXResourceViewController>(); }
    KXResourceListViewController* list(std::int64_t tag) { return panel->controllerWithTag(tag); }

    PanelWorld world;
    std::unique_ptr<KXResourceViewController> panel;
};

TEST_F(ResourcePanel, PopUpsHoldTheCategoriesOfEachKind) {
    makePanel();
    // Directory order is the file system's; compare the categories as sets and the frame around them exactly.
    QStringList clipart = popUpItems(list(KXResourceTagClipart)->pubResource());
    ASSERT_EQ(clipart.size(), 9);
    EXPECT_EQ(clipart.mid(5), QStringList({"-", "Search results", "-", "My Cliparts"}));
    QStringList categories = clipart.mid(0, 5);
    categories.sort();
    EXPECT_EQ(categories, QStringList({"Animals", "Food", "Party", "Sports", "Travel"}));

    const QStringList frames = popUpItems(list(KXResourceTagFrame)->pubResource());
    ASSERT_EQ(frames.size(), 4);
    EXPECT_EQ(frames.first(), "All");
    EXPECT_EQ(frames.last(), "-");

    const QStringList masks = popUpItems(list(KXResourceTagMask)->pubResource());
    ASSERT_EQ(masks.size(), 6);
    EXPECT_EQ(masks.first(), "All");
    EXPECT_EQ(masks.mid(3), QStringList({"-", "-", "My Masks"}));

    // Only clip-art searches; frames and masks have no own folder or context menu beyond what the table says.
    EXPECT_FALSE(list(KXResourceTagClipart)->btSearch()->isHidden());
    EXPECT_TRUE(list(KXResourceTagFrame)->btSearch()->isHidden());
    EXPECT_TRUE(list(KXResourceTagMask)->btSearch()->isHidden());
    EXPECT_TRUE(list(KXResourceTagFrame)->customPath().isEmpty());
    EXPECT_EQ(list(KXResourceTagMask)->customPath(), world.custom("Mask"));
    EXPECT_TRUE(list(KXResourceTagClipart)->allowRightClick());
    EXPECT_FALSE(list(KXResourceTagFrame)->allowRightClick());
    EXPECT_EQ(list(KXResourceTagFrame)->imageBrowserView()->idString(), "Frame");
}

TEST_F(ResourcePanel, AStartIndexPastTheCategoriesShowsTheLastOne) {
    makePanel();
    // The clip-art list asks for its ninth category; there are five.
    KXResourceListViewController* clipart = list(KXResourceTagClipart);
    EXPECT_EQ(clipart->categoryIdx(), 4);
    EXPECT_EQ(clipart->pubResource()->currentIndex(), 4);
    EXPECT_EQ(listedNames(clipart), QStringList({clipart->pubResource()->currentText() + "_1.png"}));
    // The frame list starts on "All": every frame.
    QStringList frames = listedNames(list(KXResourceTagFrame));
    frames.sort();
    EXPECT_EQ(frames, QStringList({"film.jpng", "plain.png"}));

    KXResourceListViewController empty({}, 8, nullptr);
    EXPECT_EQ(empty.categoryIdx(), 0);
}

TEST_F(ResourcePanel, ZoomIsReadFromTheKeyItIsWrittenTo) {
    makePanel();
    EXPECT_EQ(list(KXResourceTagMask)->slZoom()->value(), 40);  // the default 0.4
    list(KXResourceTagMask)->slZoom()->setValue(75);
    list(KXResourceTagFrame)->slZoom()->setValue(20);
    EXPECT_NEAR(kx::UserDefaults::standard().doubleValue("Mask"), 0.75, 1e-6);
    EXPECT_NEAR(list(KXResourceTagMask)->imageBrowserView()->zoomValue(), 0.75, 1e-6);

    // A new panel (the next run) starts where the last one stopped, each kind on its own.
    makePanel();
    EXPECT_EQ(list(KXResourceTagMask)->slZoom()->value(), 75);
    EXPECT_EQ(list(KXResourceTagFrame)->slZoom()->value(), 20);
    EXPECT_EQ(list(KXResourceTagClipart)->slZoom()->value(), 40);
}

TEST_F(ResourcePanel, TabsByTag) {
    makePanel();
    EXPECT_EQ(panel->shownTag(), KXResourceTagPhoto);
    for (std::int64_t tag = 0; tag <= 3; ++tag)
        EXPECT_EQ(panel->tagOfView(panel->viewWithTag(tag)), tag);
    EXPECT_EQ(panel->viewWithTag(4), nullptr);
    EXPECT_EQ(panel->tagOfView(panel.get()), KXResourceTagNotFound);
    EXPECT_EQ(panel->controllerWithTag(0), nullptr);
    panel->showViewWithTag(KXResourceTagFrame);
    EXPECT_EQ(panel->shownTag(), KXResourceTagFrame);
    panel->showViewWithTag(KXResourceTagNotFound);
    EXPECT_EQ(panel->shownTag(), KXResourceTagFrame);
}

TEST_F(ResourcePanel, PhotosTabListsThePicturesFolderRecursively) {
    ResourceWorld::image(world.path("home/Pictures/a.png"));
    ResourceWorld::image(world.path("home/Pictures/Trip/b.jpg"));
    QFile text(world.path("home/Pictures/notes.txt"));
    text.open(QIODevice::WriteOnly);
    text.write("not a picture");
    text.close();
    makePanel();
    QStringList photos;
    for (const QString& path : panel->currentImages())
        photos.append(QFileInfo(path).fileName());
    EXPECT_EQ(photos, QStringList({"a.png", "b.jpg"}));
    EXPECT_EQ(panel->photoBrowser()->browserModel().itemCount(), 2);
    EXPECT_FALSE(panel->btFillRandomly()->isEnabled());
    panel->setCanFillRandomly(true);
    EXPECT_TRUE(panel->btFillRandomly()->isEnabled());
}

TEST_F(ResourcePanel, ImportedFilesGetFreeNamesAndAreListed) {
    makePanel();
    const QString star = ResourceWorld::image(world.path("in/Star.png"));
    KXResourceListViewController* masks = list(KXResourceTagMask);
    KXResourceListViewController::setImportChooser([&](QWidget*) { return QStringList{star}; });
    masks->importResources();
    masks->importResources();
    EXPECT_EQ(masks->pubResource()->currentText(), "My Masks");
    EXPECT_TRUE(masks->btImport()->isVisibleTo(masks));
    EXPECT_EQ(listedNames(masks), QStringList({"Star.png", "Star_001.png"}));
    // Leaving the own category hides the buttons again.
    masks->pubResource()->setCurrentIndex(0);
    masks->categoryChanged();
    EXPECT_FALSE(masks->btImport()->isVisibleTo(masks));
}

TEST_F(ResourcePanel, CancelWithDontAskTickedStoresTheFlagAndDeletesNothing) {
    makePanel();
    KXResourceListViewController* clipart = list(KXResourceTagClipart);
    const QString own = ResourceWorld::image(world.custom("Clipart") + "/mine.png");
    clipart->pubResource()->setCurrentIndex(clipart->pubResource()->count() - 1);
    clipart->categoryChanged();
    ASSERT_EQ(listedNames(clipart), QStringList({"mine.png"}));
    clipart->imageBrowserView()->selectItem(0);
    EXPECT_TRUE(clipart->btRemove()->isEnabled());

    int asked = 0;
    KXResourceListViewController::setAlertRunner([&](KXCheckBoxAlert& alert) {
        ++asked;
        EXPECT_EQ(alert.checkboxState(), 0);
        alert.setCheckboxState(1);
        return int(KXAlertAlternateReturn);
    });
    clipart->removeAction();
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(QFileInfo::exists(own));
    EXPECT_TRUE(kx::UserDefaults::standard().boolValue(KXNotAskDeleteCustomResource));

    // No further question: the next removal deletes at once.
    clipart->removeAction();
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(QFileInfo::exists(own));
    EXPECT_TRUE(listedNames(clipart).isEmpty());
}

TEST_F(ResourcePanel, OkWithoutTheTickDeletesAndKeepsAsking) {
    makePanel();
    KXResourceListViewController* clipart = list(KXResourceTagClipart);
    const QString own = ResourceWorld::image(world.custom("Clipart") + "/mine.png");
    KXResourceListViewController::setImportChooser([](QWidget*) { return QStringList(); });
    clipart->importResources();  // selects the own category; the chooser gives nothing
    clipart->imageBrowserView()->selectItem(0);
    KXResourceListViewController::setAlertRunner([](KXCheckBoxAlert&) { return int(KXAlertDefaultReturn); });
    clipart->removeAction();
    EXPECT_FALSE(QFileInfo::exists(own));
    EXPECT_FALSE(kx::UserDefaults::standard().boolValue(KXNotAskDeleteCustomResource));
}

TEST_F(ResourcePanel, DraggingCarriesTheResourceFilesNotTheirThumbnails) {
    const QString cat = ResourceWorld::image(world.resources() + "/Clipart/Pets/Cat.png");
    const QString dog = ResourceWorld::image(world.resources() + "/Clipart/Pets/Dog.png");
    ResourceWorld::image(world.resources() + "/Clipart/Pets/Thumbnails/Cat.jpg");
    makePanel();
    KXResourceListViewController* clipart = list(KXResourceTagClipart);
    clipart->pubResource()->setCurrentText("Pets");
    clipart->categoryChanged();
    ASSERT_EQ(listedNames(clipart), QStringList({"Cat.png", "Dog.png"}));

    kx::ImageBrowserView* view = clipart->imageBrowserView();
    QModelIndexList rows;
    for (int item = 0; item < 2; ++item)
        rows.append(view->model()->index(view->browserModel().rowForItem(item), 0));
    std::unique_ptr<QMimeData> data(view->model()->mimeData(rows));
    ASSERT_TRUE(data);
    EXPECT_TRUE(data->hasFormat("text/uri-list"));
    EXPECT_EQ(data->urls(), QList<QUrl>({QUrl::fromLocalFile(cat), QUrl::fromLocalFile(dog)}));
    EXPECT_TRUE(view->model()->flags(rows.first()) & Qt::ItemIsDragEnabled);
}

TEST_F(ResourcePanel, AnImportRelistsEveryListShowingTheOwnCategory) {
    makePanel();
    KXResourceViewController other;
    KXResourceListViewController* shown = other.controllerWithTag(KXResourceTagMask);
    shown->pubResource()->setCurrentIndex(shown->pubResource()->count() - 1);
    shown->categoryChanged();
    KXResourceListViewController* frames = other.controllerWithTag(KXResourceTagFrame);
    const QStringList framesBefore = listedNames(frames);
    ASSERT_TRUE(listedNames(shown).isEmpty());

    list(KXResourceTagMask)->importFiles({ResourceWorld::image(world.path("in/oval.png"))});
    EXPECT_EQ(listedNames(shown), QStringList({"oval.png"}));
    EXPECT_EQ(listedNames(frames), framesBefore);
}

struct RecordingDelegate : KXResourceViewControllerDelegate {
    void resourceViewControllerAddResources(KXResourceViewController*, const QStringList& paths) override {
        added = paths;
    }
    QStringList added;
};

TEST_F(ResourcePanel, TheAddItemHandsTheClipartSelectionToTheDelegate) {
    RecordingDelegate delegate;
    panel = std::make_unique<KXResourceViewController>(&delegate);
    KXResourceListViewController* clipart = list(KXResourceTagClipart);
    clipart->imageBrowserView()->selectItem(0);
    ASSERT_EQ(panel->mAdd()->actions().size(), 1);
    panel->mAdd()->actions().first()->trigger();
    EXPECT_EQ(delegate.added, clipart->selectedResoucesPaths());
    EXPECT_EQ(delegate.added.size(), 1);
}

}  // namespace
