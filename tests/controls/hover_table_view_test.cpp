#include "controls/hover_table_view.h"
#include "controls/object_table_row_view.h"

#include <QApplication>
#include <QEnterEvent>
#include <QHeaderView>
#include <QStandardItemModel>

#include <gtest/gtest.h>

#include <memory>

namespace {

// Rows of 120 points in a table whose visible area is exactly 200 x 600.
std::unique_ptr<KXHoverTableView> tableOfRows(QStandardItemModel& model, int rows) {
    model.setRowCount(rows);
    model.setColumnCount(1);
    auto table = std::make_unique<KXHoverTableView>();
    table->setModel(&model);
    table->setFrameShape(QFrame::NoFrame);
    table->horizontalHeader()->hide();
    table->verticalHeader()->hide();
    table->verticalHeader()->setMinimumSectionSize(10);
    table->verticalHeader()->setDefaultSectionSize(120);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->resize(200, 600);
    // The viewport takes its size when the table is laid out on screen.
    table->show();
    return table;
}

TEST(HoverTableViewTest, SeparatorsContinueBelowTheLastRow) {
    QStandardItemModel model;
    auto table = tableOfRows(model, 3);
    ASSERT_EQ(table->viewport()->height(), 600);
    EXPECT_FALSE(table->showGrid());
    EXPECT_DOUBLE_EQ(table->yPositionPastLastRow(), 360);
    EXPECT_EQ(table->continuedSeparatorBandTops(), (std::vector<double>{480}));

    // The band is drawn: a grey line over a white one, across the table.
    const QImage shown = table->viewport()->grab().toImage();
    EXPECT_EQ(QColor(shown.pixel(100, 480)), QColor(150, 150, 150));
    EXPECT_EQ(QColor(shown.pixel(100, 481)), QColor(Qt::white));
    EXPECT_NE(QColor(shown.pixel(100, 420)), QColor(150, 150, 150));
}

TEST(HoverTableViewTest, RowsHaveTheRowLookAndASelectedRowItsGradient) {
    QStandardItemModel model;
    auto table = tableOfRows(model, 3);
    table->selectRow(1);
    const QImage shown = table->viewport()->grab().toImage();
    EXPECT_EQ(QColor(shown.pixel(100, 60)), QColor(230, 230, 230));
    EXPECT_EQ(QColor(shown.pixel(100, 119)), QColor(150, 150, 150));
    EXPECT_EQ(QColor(shown.pixel(100, 120)), QColor(Qt::white));
    const QColor selected(shown.pixel(100, 180));
    EXPECT_GT(selected.blue(), selected.red() + 20);
    EXPECT_EQ(QColor(shown.pixel(100, 239)), QColor(150, 150, 150));
    // With no selection highlight the selected row looks like the others.
    table->setSelectionMode(QAbstractItemView::NoSelection);
    EXPECT_EQ(QColor(table->viewport()->grab().toImage().pixel(100, 180)), QColor(230, 230, 230));
}

TEST(HoverTableViewTest, AnEmptyTableRulesItsWholeArea) {
    QStandardItemModel model;
    auto table = tableOfRows(model, 0);
    EXPECT_DOUBLE_EQ(table->yPositionPastLastRow(), 0);
    EXPECT_EQ(table->continuedSeparatorBandTops(), (std::vector<double>{120, 240, 360, 480}));
    QStandardItemModel many;
    auto full = tableOfRows(many, 8);
    EXPECT_TRUE(full->continuedSeparatorBandTops().empty());
}

TEST(ObjectTableRowViewTest, ThePointerFlagFollowsEntryAndExit) {
    KXObjectTableRowView row;
    row.resize(200, 60);
    EXPECT_FALSE(row.mouseInside());
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&row, &enter);
    EXPECT_TRUE(row.mouseInside());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&row, &leave);
    EXPECT_FALSE(row.mouseInside());
    row.setObjectValue(QStringLiteral("pack"));
    EXPECT_EQ(row.objectValue().toString(), QStringLiteral("pack"));
}

struct RedrawCase {
    bool live;
    bool selected;
    bool inside;
    QRect redraw;
};

TEST(ObjectTableRowViewTest, ALiveResizeRedrawsOnlyTheSeparatorOfAPlainRow) {
    const RedrawCase cases[] = {
        {false, false, false, {0, 0, 200, 60}},
        {true, false, false, {0, 59, 200, 1}},
        {true, true, false, {0, 0, 200, 60}},
        {true, false, true, {0, 0, 200, 60}},
    };
    for (const RedrawCase& c : cases) {
        KXObjectTableRowView row;
        row.resize(200, 60);
        row.setInLiveResize(c.live);
        row.setSelected(c.selected);
        row.setMouseInside(c.inside);
        EXPECT_EQ(row.resizeRedrawRect(), c.redraw) << c.live << c.selected << c.inside;
    }
}

TEST(ObjectTableRowViewTest, ASelectedRowShowsTheGradientUnlessHighlightIsOff) {
    KXObjectTableRowView row;
    row.resize(200, 60);
    const QImage plain = row.grab().toImage();
    EXPECT_EQ(QColor(plain.pixel(100, 30)), QColor(230, 230, 230));
    EXPECT_EQ(QColor(plain.pixel(100, 59)), QColor(150, 150, 150));
    EXPECT_EQ(QColor(plain.pixel(100, 0)), QColor(Qt::white));
    row.setSelected(true);
    const QImage selected = row.grab().toImage();
    const QColor top(selected.pixel(100, 2));
    const QColor bottom(selected.pixel(100, 57));
    EXPECT_GT(top.blue(), bottom.blue());
    EXPECT_GT(top.red(), bottom.red());
    EXPECT_GT(bottom.blue(), bottom.red());
    row.setSelectionHighlighted(false);
    EXPECT_EQ(QColor(row.grab().toImage().pixel(100, 30)), QColor(230, 230, 230));
}

}  // namespace
