#include "library/missing_resources_sheet.h"
#include "resource_fixture.h"

#include <QApplication>
#include <QMainWindow>
#include <QPushButton>
#include <QTableView>
#include <gtest/gtest.h>

namespace {

QStringList rowTexts(KXMissingResourcesModel& model) {
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row)
        rows.append(model.data(model.index(row, 0), Qt::DisplayRole).toString() + " " +
                    model.data(model.index(row, 1), Qt::DisplayRole).toString());
    return rows;
}

TEST(MissingResourcesSheet, ListsPhotosThenClipartsThenMasks) {
    kxtest::ResourceWorld world;
    KXMissingResourcesModel model;
    model.setLists({"beach.jpg", "dog.png"}, {}, {"star_001.jpg"});
    EXPECT_EQ(rowTexts(model), QStringList({"Image beach.jpg", "Image dog.png", "Mask star_001.jpg"}));
    model.setLists({"a.jpg"}, {"b.png", "c.png"}, {"d.jpg"});
    EXPECT_EQ(rowTexts(model), QStringList({"Image a.jpg", "Clipart b.png", "Clipart c.png", "Mask d.jpg"}));
    EXPECT_EQ(model.objectValue("category", 3).toString(), "Mask");
    EXPECT_EQ(model.objectValue("name", 1).toString(), "b.png");
    EXPECT_FALSE(model.objectValue("name", 4).isValid());
    EXPECT_FALSE(model.objectValue("category", -1).isValid());
}

TEST(MissingResourcesSheet, ShowingAgainReplacesTheListsAndCloseHidesIt) {
    kxtest::ResourceWorld world;
    QMainWindow window;
    window.show();
    KXMissingResWindowController sheet;
    sheet.showInWindow(&window, {"a.jpg", "b.jpg"}, {"c.png"}, {});
    ASSERT_TRUE(sheet.window());
    EXPECT_TRUE(sheet.window()->isVisible());
    EXPECT_EQ(sheet.tableView()->model()->rowCount(), 3);
    sheet.showInWindow(&window, {}, {}, {"m.jpg"});
    EXPECT_EQ(sheet.tableView()->model()->rowCount(), 1);
    EXPECT_EQ(sheet.model().masks(), QStringList({"m.jpg"}));
    EXPECT_TRUE(sheet.model().photos().isEmpty());
    auto* close = sheet.window()->findChild<QPushButton*>("closeButton");
    ASSERT_TRUE(close);
    close->click();
    EXPECT_FALSE(sheet.window()->isVisible());
}

TEST(MissingResourcesSheet, ClosingHandsTheKeyboardBackToTheDocumentWindow) {
    kxtest::ResourceWorld world;
    QMainWindow window;
    window.show();
    KXMissingResWindowController sheet;
    sheet.showInWindow(&window, {"a.jpg"}, {}, {});
    sheet.window()->activateWindow();
    QApplication::processEvents();
    ASSERT_EQ(QApplication::activeWindow(), sheet.window());
    sheet.closeAction();
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activeWindow(), &window);
}

}  // namespace
