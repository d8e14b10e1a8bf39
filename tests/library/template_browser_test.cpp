// The template browser's cells: star, delete badge and page arrows, what a press on each announces, and the
// sideways browser.
#include "controls/browser_test_support.h"
#include "controls/mouse_events.h"
#include "controls/notification_recorder.h"
#include "library/template_browser_images.h"
#include "library/template_browser_view.h"
#include "library/template_favorites.h"
#include "library/template_listing.h"
#include "template_test_support.h"

#include <QApplication>
#include <QScrollBar>
#include <QWheelEvent>

using Area = KXTemplateBrowserCell::Area;
using kxtest::sendMouse;

namespace {

class TemplateBrowserTest : public kxtest::TemplateFixture {
protected:
    void show(const std::vector<KXTemplateItem>& items) {
        m_items = items;
        view.resize(800, 600);
        view.reloadData(items);
        view.show();
        QApplication::processEvents();
    }
    KXTemplateItem item(const QString& name, const QStringList& files) {
        std::optional<KXTemplateItem> made = kx::templates::makeTemplateItem(files);
        EXPECT_TRUE(made.has_value());
        made->setName(name);
        return *made;
    }
    QPoint centreOf(int index, Area area) { return view.areaRect(index, area).center(); }
    void press(const QPoint& at) { sendMouse(view.viewport(), QEvent::MouseButtonPress, at); }
    void release(const QPoint& at) { sendMouse(view.viewport(), QEvent::MouseButtonRelease, at); }
    void doubleClick(const QPoint& at) {
        press(at);
        release(at);
        sendMouse(view.viewport(), QEvent::MouseButtonDblClick, at);
        release(at);
    }

    KXTemplateBrowserView view;
    std::vector<KXTemplateItem> m_items;
};

TEST_F(TemplateBrowserTest, CellGeometryFollowsTheCellSize) {
    const QSizeF cell(220, 154);
    EXPECT_EQ(KXTemplateBrowserCell::areaRect(Area::DeleteBadge, cell), QRectF(200, 134, 20, 20));
    EXPECT_EQ(KXTemplateBrowserCell::areaRect(Area::FavoriteStar, cell), QRectF(200, 0, 20, 20));
    EXPECT_EQ(KXTemplateBrowserCell::areaRect(Area::PreviousArrow, cell), QRectF(110 - 38, 22, 28, 28));
    EXPECT_EQ(KXTemplateBrowserCell::areaRect(Area::NextArrow, cell), QRectF(120, 22, 28, 28));
    // Drawn with y down: the star at the bottom, the badge at the top.
    EXPECT_EQ(KXTemplateBrowserCell::areaInCell(Area::FavoriteStar, cell), QRectF(200, 134, 20, 20));
    EXPECT_EQ(KXTemplateBrowserCell::areaInCell(Area::DeleteBadge, cell), QRectF(200, 0, 20, 20));
}

TEST_F(TemplateBrowserTest, OneImageHasNoArrowsTwoImagesHaveArrowsAndOnlyUserTemplatesABadge) {
    writeJpeg(at("one/a.jpg"));
    writeJpeg(at("two/a.jpg"));
    writeJpeg(at("two/b.jpg"));
    const QString mine = userTemplate("Mine");
    show({item("one", {at("one/a.jpg")}), item("two", {at("two/a.jpg"), at("two/b.jpg")}),
          item("mine", {mine + "/QuickLook/Thumbnail.jpg"})});
    EXPECT_TRUE(view.areaImageName(0, Area::PreviousArrow).isEmpty());
    EXPECT_TRUE(view.areaImageName(0, Area::NextArrow).isEmpty());
    EXPECT_EQ(view.areaImageName(1, Area::PreviousArrow), "PreTemplate_disable");
    EXPECT_EQ(view.areaImageName(1, Area::NextArrow), "NextTemplate");
    EXPECT_TRUE(view.areaImageName(0, Area::DeleteBadge).isEmpty());
    EXPECT_EQ(view.areaImageName(2, Area::DeleteBadge), "DeleteTemplate");
    // Every picture exists.
    for (const char* name : {"Favorite_in", "Favorite_out", "DeleteTemplate", "DeleteTemplate_down", "PreTemplate",
                             "PreTemplate_down", "PreTemplate_disable", "NextTemplate", "NextTemplate_down",
                             "NextTemplate_disable"})
        EXPECT_FALSE(kx::templates::cellOverlayImage(name, 20).isNull()) << name;
}

TEST_F(TemplateBrowserTest, TheStarOfAnUnselectedCellTogglesAlthoughItIsDrawnOnlyOnTheSelectedOne) {
    writeJpeg(at("a/p.jpg"));
    writeJpeg(at("b/p.jpg"));
    kx::templates::addFavorite(at("b"));
    show({item("a", {at("a/p.jpg")}), item("b", {at("b/p.jpg")})});
    view.selectItem(0);
    EXPECT_EQ(view.areaImageName(0, Area::FavoriteStar), "Favorite_out");
    EXPECT_TRUE(view.areaImageName(1, Area::FavoriteStar).isEmpty());
    EXPECT_TRUE(view.cellAt(1)->isFavorite);

    kxtest::NotificationRecorder recorder({KXAddFavorite, KXCancelFavorite});
    const QPoint star = centreOf(1, Area::FavoriteStar);
    press(star);
    release(star);
    EXPECT_EQ(recorder.names(), QStringList{KXCancelFavorite});
    EXPECT_EQ(recorder.posted[0].sender, static_cast<const void*>(&view));
    EXPECT_EQ(view.selectIndex(), 1);
    EXPECT_FALSE(view.cellAt(1)->isFavorite);
    EXPECT_EQ(view.areaImageName(1, Area::FavoriteStar), "Favorite_out");  // now selected
    press(star);
    release(star);
    EXPECT_EQ(recorder.names(), (QStringList{KXCancelFavorite, KXAddFavorite}));
    // The view only announces: the favourites themselves are the chooser's.
    EXPECT_EQ(kx::templates::favoriteFolders(), QStringList{at("b")});
}

TEST_F(TemplateBrowserTest, ADeleteBadgePressReleasedElsewhereStillAsksToDelete) {
    const QString mine = userTemplate("Mine");
    writeJpeg(at("builtin/p.jpg"));
    show({item("builtin", {at("builtin/p.jpg")}), item("Mine", {mine + "/QuickLook/Thumbnail.jpg"})});
    kxtest::NotificationRecorder recorder({KXDeleteTemplate});
    // No badge on a built-in template.
    press(centreOf(0, Area::DeleteBadge));
    release(centreOf(0, Area::DeleteBadge));
    EXPECT_TRUE(recorder.posted.empty());

    press(centreOf(1, Area::DeleteBadge));
    EXPECT_TRUE(view.cellAt(1)->isDown);
    EXPECT_EQ(view.areaImageName(1, Area::DeleteBadge), "DeleteTemplate_down");
    EXPECT_TRUE(recorder.posted.empty());
    release(QPoint(790, 590));
    EXPECT_EQ(recorder.names(), QStringList{KXDeleteTemplate});
    EXPECT_EQ(view.deleteIndex(), 1);
    EXPECT_FALSE(view.cellAt(1)->isDown);
}

TEST_F(TemplateBrowserTest, DoubleClickingAnArrowTurnsPagesButDoubleClickingThePictureOpens) {
    writeJpeg(at("two/a.jpg"));
    writeJpeg(at("two/b.jpg"));
    writeJpeg(at("two/c.jpg"));
    show({item("two", {at("two/a.jpg"), at("two/b.jpg"), at("two/c.jpg")})});
    int opened = 0;
    QObject::connect(&view, &kx::ImageBrowserView::cellWasDoubleClicked, [&] { ++opened; });
    kxtest::NotificationRecorder recorder({KXSwitchNextImage, KXSwitchFrontImage});
    doubleClick(centreOf(0, Area::NextArrow));
    EXPECT_EQ(opened, 0);
    EXPECT_FALSE(view.rightMouseDoubleClicked());
    EXPECT_EQ(recorder.names(), (QStringList{KXSwitchNextImage, KXSwitchNextImage}));
    EXPECT_EQ(view.downSelectIndex(), 0);

    doubleClick(view.cellRect(0).center() - QPoint(0, 30));
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(view.rightMouseDoubleClicked());
}

TEST_F(TemplateBrowserTest, ArrowStatesFollowThePageAndPressesLastUntilRelease) {
    writeJpeg(at("two/a.jpg"));
    writeJpeg(at("two/b.jpg"));
    show({item("two", {at("two/a.jpg"), at("two/b.jpg")})});
    kxtest::NotificationRecorder recorder({KXSwitchNextImage, KXSwitchFrontImage});
    // A disabled arrow says nothing.
    press(centreOf(0, Area::PreviousArrow));
    release(centreOf(0, Area::PreviousArrow));
    EXPECT_TRUE(recorder.posted.empty());

    press(centreOf(0, Area::NextArrow));
    EXPECT_EQ(view.areaImageName(0, Area::NextArrow), "NextTemplate_down");
    release(centreOf(0, Area::NextArrow));
    EXPECT_EQ(view.areaImageName(0, Area::NextArrow), "NextTemplate");
    view.updateStateWithArrowIsCanForword(false, true);
    EXPECT_EQ(view.areaImageName(0, Area::NextArrow), "NextTemplate_disable");
    EXPECT_EQ(view.areaImageName(0, Area::PreviousArrow), "PreTemplate");
    EXPECT_EQ(recorder.names(), QStringList{KXSwitchNextImage});
}

TEST_F(TemplateBrowserTest, TheSidewaysBrowserScrollsOneCellPerWheelTurn) {
    KXHorizonImageBrowserView horizon;
    std::vector<kx::ImageBrowserItem> items;
    for (int i = 0; i < 30; ++i)
        items.push_back(kxtest::colourItem(QString::number(i), 1, Qt::red));
    horizon.resize(400, 200);
    horizon.setItems(items);
    horizon.show();
    QApplication::processEvents();
    QScrollBar* bar = horizon.horizontalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    const int step = horizon.cellSize().width() + horizon.spacing();
    auto wheel = [&](int delta) {
        QWheelEvent event(QPointF(50, 50), horizon.mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(horizon.viewport(), &event);
    };
    wheel(-120);
    EXPECT_EQ(bar->value(), step);
    wheel(-120);
    EXPECT_EQ(bar->value(), 2 * step);
    wheel(120);
    EXPECT_EQ(bar->value(), step);
}

}  // namespace
