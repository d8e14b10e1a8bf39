#include "controls/table_view.h"
#include "mouse_events.h"
#include "notification_recorder.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QStandardItemModel>

#include <gtest/gtest.h>

#include <memory>

namespace {

// A table of 20 rows of 30 points in a 200 x 150 view without headers or frame, so that the viewport's
// coordinates are the table's until it scrolls.
class TableViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        model.setRowCount(20);
        model.setColumnCount(2);
        table = std::make_unique<KXTableView>();
        table->setModel(&model);
        table->setFrameShape(QFrame::NoFrame);
        table->horizontalHeader()->hide();
        table->verticalHeader()->hide();
        table->verticalHeader()->setDefaultSectionSize(30);
        table->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
        table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        table->resize(200, 150);
    }
    QWidget* viewport() { return table->viewport(); }
    std::vector<kx::Notification> postedByTable() {
        std::vector<kx::Notification> mine;
        for (const kx::Notification& n : recorder.posted) {
            if (n.sender == static_cast<const void*>(table.get()))
                mine.push_back(n);
        }
        return mine;
    }

    QStandardItemModel model;
    std::unique_ptr<KXTableView> table;
    kxtest::NotificationRecorder recorder{
        {KXTableViewMouseMove, KXTableViewMouseDown, KXTableViewMouseUp, KXTableViewMouseExit}};
};

struct MoveCase {
    QPointF local;
    int scrolled;
    std::int64_t x;
    std::int64_t y;
};

TEST_F(TableViewTest, MovesPostThePointerInTheTablesCoordinatesTruncated) {
    const MoveCase cases[] = {
        {{13.7, 25.9}, 0, 13, 25},
        {{0.2, 0.99}, 0, 0, 0},
        {{150, 140.5}, 0, 150, 140},
        // Scrolled down by 100 points: the same place in the view lies 100 points further into the table.
        {{13.7, 25.9}, 100, 13, 125},
    };
    for (const MoveCase& c : cases) {
        table->verticalScrollBar()->setValue(c.scrolled);
        ASSERT_EQ(table->verticalScrollBar()->value(), c.scrolled);
        recorder.posted.clear();
        kxtest::sendMouse(viewport(), QEvent::MouseMove, c.local);
        const auto posted = postedByTable();
        ASSERT_EQ(posted.size(), 1u);
        EXPECT_EQ(posted[0].name, KXTableViewMouseMove);
        const kx::Value& x = posted[0].userInfo.at(QStringLiteral("pointX"));
        const kx::Value& y = posted[0].userInfo.at(QStringLiteral("pointY"));
        EXPECT_EQ(x.type(), kx::Value::Type::Integer);
        EXPECT_EQ(x.toInteger(), c.x) << c.local.x();
        EXPECT_EQ(y.toInteger(), c.y) << c.local.y() << " scrolled " << c.scrolled;
    }
}

TEST_F(TableViewTest, ClicksArePostedAndSelectNothing) {
    table->selectionModel()->clearSelection();
    kxtest::click(viewport(), {20, 40});
    EXPECT_EQ(recorder.names(), (QStringList{KXTableViewMouseDown, KXTableViewMouseUp}));
    for (const kx::Notification& n : recorder.posted) {
        EXPECT_EQ(n.sender, static_cast<const void*>(table.get()));
        EXPECT_TRUE(n.userInfo.empty());
    }
    EXPECT_FALSE(table->selectionModel()->hasSelection());
    EXPECT_FALSE(table->selectionModel()->currentIndex().isValid());

    recorder.posted.clear();
    kxtest::sendMouse(viewport(), QEvent::MouseButtonDblClick, {20, 40});
    EXPECT_EQ(recorder.names(), (QStringList{KXTableViewMouseDown}));
    EXPECT_FALSE(table->selectionModel()->hasSelection());
}

TEST_F(TableViewTest, LeavingTheTableIsPosted) {
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(viewport(), &leave);
    EXPECT_EQ(recorder.names(), (QStringList{KXTableViewMouseExit}));
    EXPECT_EQ(recorder.posted[0].sender, static_cast<const void*>(table.get()));
}

}  // namespace
