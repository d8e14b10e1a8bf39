#include "app/main_window.h"
#include "app/page_commands.h"
#include "app_test_support.h"
#include "canvas/canvas_layer.h"
#include "canvas/canvas_view.h"
#include "document/document.h"
#include "document/version_info.h"
#include "inspectors/page_strip_view_controller.h"
#include "inspectors/page_view_controller.h"
#include "inspectors/setting_view_controller.h"
#include "model/background.h"
#include "model/canvas.h"
#include "model/model_classes.h"
#include "model/page_size.h"
#include "model/photo.h"
#include "model/shape.h"
#include "platform/foundation/undo_manager.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include <memory>

namespace {

const kx::Color kRed = kx::Color::srgb(1, 0, 0, 1);
const kx::Color kGreen = kx::Color::srgb(0, 1, 0, 1);
const kx::Color kBlue = kx::Color::srgb(0, 0, 1, 1);
const kx::Color kYellow = kx::Color::srgb(1, 1, 0, 1);

class PageCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerModelClasses();
        registerDocumentClasses();
        KXProject::setPageRenderer(kxtest::greyPageRendering);
        KXPageCommands::setConfirmPresenter([this](QWidget*, const QString& message, const QString&,
                                                   const QString& confirm, const QString& cancel) {
            asked << message;
            buttons = {confirm, cancel};
            return answer;
        });
        document = std::make_shared<KXDocument>();
        window = std::make_unique<KXMainWindow>();
        window->initWindowWidthDocument(document.get());
        // Three pages of 800 x 600 pixels: red, green, blue.
        KXProject* project = window->project();
        const KXSize size(800, 600, KXSizeUnitPixel, 100);
        project->setPageSize(size);
        project->currentCanvas()->setMarginRect({0, 0, 800, 600});
        project->currentCanvas()->background()->setColor1(kRed);
        for (const kx::Color& color : {kGreen, kBlue}) {
            auto page = std::make_shared<KXCanvas>();
            page->setPageSize(&size);
            page->setMarginRect({0, 0, 800, 600});
            page->background()->setColor1(color);
            project->createNewLayerWithCanvas(page);
        }
        commands()->projectReplaced();
        window->switchCanvasToIndex(0);
        settle();
        // The set-up's own edits are no part of any test.
        current()->undoManager().removeAllActions();
        document->updateChangeCount(kx::ChangeCleared);
    }
    void TearDown() override {
        window.reset();
        KXPageCommands::setConfirmPresenter({});
        KXProject::setPageRenderer({});
    }

    KXPageCommands* commands() const { return window->pageCommands(); }
    KXProject* project() const { return window->project(); }
    KXCanvas* current() const { return project()->currentCanvas(); }
    // Lets the undo group of the last gesture close.
    static void settle() { QCoreApplication::processEvents(); }

    std::vector<kx::Color> pageColors() const {
        std::vector<kx::Color> colors;
        for (std::int64_t i = 0; i < project()->canvasCount(); ++i)
            colors.push_back(project()->canvasAtIndex(i)->background()->color1());
        return colors;
    }
    std::vector<int> stripNames() const {
        std::vector<int> names;
        for (const KXPageItem& item : commands()->multiPageVC()->pageItems())
            names.push_back(item.name);
        return names;
    }
    std::vector<kx::Size> pageSizes() const {
        std::vector<kx::Size> sizes;
        for (std::int64_t i = 0; i < project()->canvasCount(); ++i)
            sizes.push_back(project()->canvasAtIndex(i)->pixelSize());
        return sizes;
    }

    std::shared_ptr<KXDocument> document;
    std::unique_ptr<KXMainWindow> window;
    QStringList asked;
    QStringList buttons;
    int answer = KXPageCommands::kAlertFirstButtonReturn;
};

// Duplicate, move and remove through the window: the page removed is always the one on screen.
TEST_F(PageCommandsTest, AfterDuplicateAndMoveRemoveTakesThePageOnScreen) {
    commands()->duplicatePage();
    ASSERT_EQ(project()->canvasCount(), 4);
    EXPECT_EQ(project()->currentIndex(), 1);
    EXPECT_EQ(window->tfPageTip()->text(), QStringLiteral("2/4"));
    EXPECT_EQ(stripNames(), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(commands()->multiPageVC()->indexOfSelected(), 1);
    EXPECT_EQ(document->changeCount(), 1);
    // The copy is a page of its own.
    ASSERT_NE(project()->canvasAtIndex(1), project()->canvasAtIndex(0));
    current()->background()->setColor1(kYellow);
    EXPECT_EQ(project()->canvasAtIndex(0)->background()->color1(), kRed);

    // The page before the one shown goes to the end: the shown page moves down to index 0 and stays current.
    commands()->adjustCanvasAtIndex(0, 3);
    EXPECT_EQ(pageColors(), (std::vector<kx::Color>{kYellow, kGreen, kBlue, kRed}));
    EXPECT_EQ(project()->currentIndex(), 0);
    EXPECT_EQ(current()->background()->color1(), kYellow);
    EXPECT_EQ(window->tfPageTip()->text(), QStringLiteral("1/4"));
    EXPECT_FALSE(window->btPreviousPage()->isEnabled());
    EXPECT_EQ(window->preview()->canvasLayer(), project()->currentCanvasLayer().get());
    // A move is a change of the document.
    EXPECT_EQ(document->changeCount(), 2);

    commands()->removeSelectedPage();
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(buttons, (QStringList{QStringLiteral("Confirm"), QStringLiteral("Cancel")}));
    EXPECT_EQ(pageColors(), (std::vector<kx::Color>{kGreen, kBlue, kRed}));
    EXPECT_EQ(project()->currentIndex(), 0);
    EXPECT_EQ(window->tfPageTip()->text(), QStringLiteral("1/3"));
    EXPECT_EQ(stripNames(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(window->preview()->canvasLayer(), project()->currentCanvasLayer().get());
    EXPECT_EQ(document->undoManager(), &current()->undoManager());
    EXPECT_EQ(document->changeCount(), 3);
}

// Wherever a page goes, the current index names the page that was on screen.
TEST_F(PageCommandsTest, TheCurrentIndexFollowsThePageOnScreenThroughMoves) {
    struct Move {
        std::int64_t shown, from, to, expected;
    };
    const Move moves[] = {
        {0, 0, 2, 2}, {1, 0, 2, 0}, {2, 0, 2, 1}, {2, 2, 0, 0}, {0, 2, 0, 1},
        {1, 2, 0, 2}, {1, 1, 1, 1}, {1, 0, 3, 1}, {1, -1, 0, 1},
    };
    for (const Move& m : moves) {
        window->switchCanvasToIndex(m.shown);
        const KXCanvas* shown = current();
        commands()->adjustCanvasAtIndex(m.from, m.to);
        EXPECT_EQ(project()->currentIndex(), m.expected) << m.shown << " " << m.from << " " << m.to;
        EXPECT_EQ(current(), shown);
        EXPECT_EQ(window->tfPageTip()->text(), QStringLiteral("%1/3").arg(m.expected + 1));
    }
}

TEST_F(PageCommandsTest, RemovalNeedsConfirmationAndNeverTakesTheOnlyPage) {
    answer = KXPageCommands::kAlertSecondButtonReturn;
    commands()->removeSelectedPage();
    EXPECT_EQ(asked.size(), 1);
    EXPECT_EQ(project()->canvasCount(), 3);
    EXPECT_EQ(document->changeCount(), 0);

    answer = KXPageCommands::kAlertFirstButtonReturn;
    window->switchCanvasToIndex(2);
    commands()->removeSelectedPage();
    // The last page went: the one before it is shown.
    EXPECT_EQ(pageColors(), (std::vector<kx::Color>{kRed, kGreen}));
    EXPECT_EQ(project()->currentIndex(), 1);
    EXPECT_EQ(commands()->multiPageVC()->indexOfSelected(), 1);
    EXPECT_TRUE(commands()->multiPageVC()->btRemovePage()->isEnabled());
    commands()->removeSelectedPage();
    EXPECT_EQ(project()->canvasCount(), 1);
    EXPECT_FALSE(commands()->multiPageVC()->btRemovePage()->isEnabled());

    // The only page: not even asked.
    asked.clear();
    commands()->removeSelectedPage();
    commands()->alertDidEnd(KXPageCommands::kAlertFirstButtonReturn);
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_EQ(project()->canvasCount(), 1);
}

TEST_F(PageCommandsTest, APageSizeIsUndoneAndRedoneOnEveryPage) {
    const KXSize wide(1000, 500, KXSizeUnitPixel, 100);
    commands()->pageViewControllerDidChangeSize(wide);
    settle();
    for (const kx::Size& s : pageSizes())
        EXPECT_EQ(s, (kx::Size{1000, 500}));
    KXPageViewController* tab = window->settingVC()->pageVC();
    EXPECT_TRUE(tab->pageSize()->isEqualToPagesize(&wide, false));
    EXPECT_EQ(document->changeCount(), 1);

    current()->undoManager().undo();
    for (const kx::Size& s : pageSizes())
        EXPECT_EQ(s, (kx::Size{800, 600}));
    EXPECT_EQ(tab->pageSize()->pixelSize(), (kx::Size{800, 600}));
    EXPECT_EQ(tab->marginRight(), 0);

    current()->undoManager().redo();
    for (const kx::Size& s : pageSizes())
        EXPECT_EQ(s, (kx::Size{1000, 500}));
    EXPECT_EQ(tab->pageSize()->pixelSize(), (kx::Size{1000, 500}));
    // The margins shown are the page's after the change.
    EXPECT_EQ(tab->marginRight(), 0);
    EXPECT_EQ(tab->marginTop(), 0);
}

// The pen tool (and crop mode) belong to the page as it was: page commands leave them first.
TEST_F(PageCommandsTest, DuplicatingAndResizingLeaveThePenTool) {
    KXPreview* view = window->preview();
    view->enterDrawMode();
    ASSERT_TRUE(view->isCustomDrawMode());
    commands()->duplicatePage();
    EXPECT_FALSE(view->isCustomDrawMode());
    view->enterDrawMode();
    commands()->pageViewControllerDidChangeSize(KXSize(1000, 500, KXSizeUnitPixel, 100));
    EXPECT_FALSE(view->isCustomDrawMode());
    view->enterDrawMode();
    commands()->removeSelectedPage();
    EXPECT_FALSE(view->isCustomDrawMode());
}

TEST_F(PageCommandsTest, MarginsAreUndoneAsFourFloatsAndImpossibleOnesAreRefused) {
    ASSERT_TRUE(commands()->changeMargin({10.25f, 20.5f, 30.75f, 40.125f}));
    settle();
    EXPECT_EQ(current()->marginRect(), (kx::Rect{30.75, 20.5, 800 - 30.75 - 40.125, 600 - 10.25 - 20.5}));
    KXPageViewController* tab = window->settingVC()->pageVC();
    EXPECT_FLOAT_EQ(tab->marginTop(), 10.25f);
    EXPECT_FLOAT_EQ(tab->marginRight(), 40.125f);

    ASSERT_TRUE(commands()->changeMargin({1.1f, 2.2f, 3.3f, 4.4f}));
    settle();
    current()->undoManager().undo();
    EXPECT_EQ(current()->marginRect(), (kx::Rect{30.75, 20.5, 800 - 30.75 - 40.125, 600 - 10.25 - 20.5}));
    EXPECT_FLOAT_EQ(tab->marginLeft(), 30.75f);
    current()->undoManager().undo();
    EXPECT_EQ(current()->marginRect(), (kx::Rect{0, 0, 800, 600}));
    current()->undoManager().redo();
    EXPECT_FLOAT_EQ(tab->marginBottom(), 20.5f);

    // Margins that leave no page, or that are negative, change nothing and record nothing.
    const kx::Rect before = current()->marginRect();
    const std::array<float, 4> refused[] = {
        {300, 300, 0, 0}, {0, 0, 400, 400}, {0, 0, 500, 400}, {-1, 0, 0, 0}, {0, 0, NAN, 0}, {0, 0, 0, INFINITY},
    };
    for (const auto& margins : refused) {
        EXPECT_FALSE(commands()->changeMargin(margins));
        EXPECT_EQ(current()->marginRect(), before);
    }
    EXPECT_FLOAT_EQ(tab->marginBottom(), 20.5f);
}

TEST_F(PageCommandsTest, ClipToMarginIsUndoneAndRedone) {
    window->settingVC()->pageVC()->btClipPage()->click();
    EXPECT_TRUE(current()->clipMargin());
    settle();
    current()->undoManager().undo();
    EXPECT_FALSE(current()->clipMargin());
    EXPECT_FALSE(window->settingVC()->pageVC()->btClipPage()->isChecked());
    current()->undoManager().redo();
    EXPECT_TRUE(current()->clipMargin());
    EXPECT_TRUE(window->settingVC()->pageVC()->btClipPage()->isChecked());
}

TEST_F(PageCommandsTest, ApplyToAllGivesEachPageItsOwnCopyInOneUndoStep) {
    window->switchCanvasToIndex(1);
    settle();
    const std::int64_t changes = document->changeCount();
    KXBackground* mine = current()->background();
    mine->setColorType(KXColorTypeGradient);
    mine->setColor2(kYellow);
    mine->setFillAngle(45);
    settle();
    const std::int64_t afterEdits = document->changeCount();
    EXPECT_GT(afterEdits, changes);

    commands()->applyToAllCanvasWithBackground(mine);
    settle();
    EXPECT_EQ(document->changeCount(), afterEdits + 1);
    for (std::int64_t i : {0, 2}) {
        const KXBackground* other = project()->canvasAtIndex(i)->background();
        EXPECT_NE(other, mine);
        EXPECT_EQ(other->color1(), kGreen);
        EXPECT_EQ(other->color2(), kYellow);
        EXPECT_EQ(other->colorType(), KXColorTypeGradient);
        EXPECT_EQ(other->fillAngle(), 45);
    }
    // Later edits stay on their own page.
    project()->canvasAtIndex(0)->background()->setColor1(kBlue);
    EXPECT_EQ(project()->canvasAtIndex(2)->background()->color1(), kGreen);
    EXPECT_EQ(mine->color1(), kGreen);
    project()->canvasAtIndex(0)->background()->setColor1(kGreen);

    // One undo puts every other page's background back; redo applies it again.
    current()->undoManager().undo();
    EXPECT_EQ(pageColors(), (std::vector<kx::Color>{kRed, kGreen, kBlue}));
    EXPECT_EQ(project()->canvasAtIndex(0)->background()->colorType(), KXColorTypeSolid);
    EXPECT_EQ(current()->background()->colorType(), KXColorTypeGradient);
    current()->undoManager().redo();
    EXPECT_EQ(pageColors(), (std::vector<kx::Color>{kGreen, kGreen, kGreen}));
}

TEST_F(PageCommandsTest, SwappingColoursIsOneUndoStep) {
    KXBackground* background = current()->background();
    background->setColor2(kBlue);
    settle();
    commands()->backgroundSwapColors(background);
    settle();
    EXPECT_EQ(background->color1(), kBlue);
    EXPECT_EQ(background->color2(), kRed);
    current()->undoManager().undo();
    EXPECT_EQ(background->color1(), kRed);
    EXPECT_EQ(background->color2(), kBlue);
}

TEST_F(PageCommandsTest, OnlyOneSelectedPhotoBecomesTheBackground) {
    auto photo = std::make_shared<KXShape>();
    photo->photo()->setImagePath(QStringLiteral(KX_SOURCE_DIR "/resources/Original.png"));
    auto other = std::make_shared<KXShape>();
    current()->addGraph(photo);
    current()->addGraph(other);

    window->preview()->setSelectedGraphs({photo, other});
    commands()->setAsBackground();
    EXPECT_EQ(current()->background()->fillType(), KXFillTypeColor);

    window->preview()->setSelectedGraphs({photo});
    commands()->setAsBackground();
    EXPECT_EQ(current()->background()->fillType(), KXFillTypeCustomImage);
    EXPECT_EQ(current()->background()->imageType(), KXImageTypeStretchCrop);
    EXPECT_EQ(current()->background()->customImagePath(), photo->photo()->imagePath());
}

TEST_F(PageCommandsTest, TheStripSwitchesPagesAndFollowsDocumentChanges) {
    commands()->multiPageViewControllerSelectPageAtIndex(2);
    EXPECT_EQ(project()->currentIndex(), 2);
    EXPECT_EQ(commands()->multiPageVC()->indexOfSelected(), 2);
    EXPECT_EQ(window->tfPageTip()->text(), QStringLiteral("3/3"));
    // The shown page's thumbnail is made again after a change of the page.
    KXMultiPageViewController* strip = commands()->multiPageVC();
    ASSERT_FALSE(strip->imageBrowserItemAtIndex(1)->image.isNull());
    ASSERT_FALSE(strip->imageBrowserItemAtIndex(2)->image.isNull());
    current()->background()->setColor1(kYellow);
    settle();
    EXPECT_TRUE(strip->pageItems()[2].image.isNull());
    EXPECT_FALSE(strip->pageItems()[1].image.isNull());
}

TEST_F(PageCommandsTest, PagesInsertedFromATemplateGetStripItems) {
    commands()->pagesInserted(0, 2);
    EXPECT_EQ(stripNames(), (std::vector<int>{1, 2, 3, 4, 5}));
}

}  // namespace
