#include "controls/tab_bar.h"
#include "mouse_events.h"
#include "notification_recorder.h"

#include <QHBoxLayout>
#include <QLabel>

#include <gtest/gtest.h>

#include <memory>

namespace {

class RecordingDelegate : public KXTabbarDelegate {
public:
    void tabbarSelectionChanged(KXTabbar* tabbar) override { told.push_back(tabbar->indexOfSelectedTabButton()); }
    std::vector<std::int64_t> told;
};

// A bar of three buttons with a label among them (not a button, so not collected), loaded as from its
// interface file.
class TabBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        bar = std::make_unique<KXTabbar>();
        auto* row = new QHBoxLayout(bar.get());
        for (const char* title : {"A", "B", "C"}) {
            row->addWidget(new KXTabButton(QString::fromLatin1(title), QIcon(), bar.get()));
            if (title[0] == 'A')
                row->addWidget(new QLabel(QStringLiteral("not a tab"), bar.get()));
        }
        bar->resize(300, 40);
    }
    KXTabButton* button(std::size_t i) { return bar->tabButtons().at(i); }
    std::vector<bool> selectedFlags() {
        std::vector<bool> flags;
        for (KXTabButton* b : bar->tabButtons())
            flags.push_back(b->isSelected());
        return flags;
    }

    std::unique_ptr<KXTabbar> bar;
    RecordingDelegate delegate;
    kxtest::NotificationRecorder recorder{{KXTabbarSelectionChangedNotification}};
};

TEST_F(TabBarTest, LoadingCollectsTheButtonsInOrderAndSelectsTheFirst) {
    EXPECT_EQ(bar->indexOfSelectedTabButton(), KXTabNotFound);
    EXPECT_EQ(bar->selectType(), 1);
    bar->awakeFromNib();
    ASSERT_EQ(bar->tabButtons().size(), 3u);
    EXPECT_EQ(button(0)->title(), QStringLiteral("A"));
    EXPECT_EQ(button(2)->title(), QStringLiteral("C"));
    for (KXTabButton* b : bar->tabButtons())
        EXPECT_EQ(b->owner(), bar.get());
    EXPECT_EQ(selectedFlags(), (std::vector<bool>{true, false, false}));
    ASSERT_EQ(recorder.posted.size(), 1u);
    EXPECT_EQ(recorder.posted[0].sender, static_cast<const void*>(bar.get()));
    EXPECT_EQ(bar->strokeColor(), QColor::fromRgbF(0.6f, 0.6f, 0.6f, 0.8f));
    EXPECT_EQ(bar->gradientColor1(), QColor::fromRgbF(0.7f, 0.7f, 0.7f, 0.2f));
    EXPECT_EQ(bar->gradientColor2(), QColor::fromRgbF(0.5f, 0.5f, 0.5f, 0.2f));
}

TEST_F(TabBarTest, SelectionByIndexPostsOnlyForANewSelection) {
    bar->awakeFromNib();
    bar->setDelegate(&delegate);
    recorder.posted.clear();

    bar->selectTabButtonAtIndex(0);  // already selected
    bar->selectTabButtonAtIndex(3);  // the number of buttons
    bar->selectTabButtonAtIndex(-1);
    bar->selectTabButtonAtIndex(KXTabNotFound);
    EXPECT_TRUE(recorder.posted.empty());
    EXPECT_TRUE(delegate.told.empty());
    EXPECT_EQ(bar->indexOfSelectedTabButton(), 0);

    bar->selectTabButtonAtIndex(2);
    EXPECT_EQ(selectedFlags(), (std::vector<bool>{false, false, true}));
    EXPECT_EQ(recorder.posted.size(), 1u);
    EXPECT_EQ(delegate.told, (std::vector<std::int64_t>{2}));
}

struct ClickCase {
    int selectType;
    std::size_t clicked;
    std::int64_t selectedAfter;
    std::size_t posts;
};

TEST_F(TabBarTest, ClicksFollowTheSelectType) {
    // Button 0 is selected before each click.
    const ClickCase cases[] = {
        {1, 0, KXTabNotFound, 0},  // type 1: the selected button is deselected, silently
        {0, 0, 0, 1},              // type 0: it is selected again, and that is announced
        {1, 1, 1, 1},
        {0, 2, 2, 1},
    };
    bar->awakeFromNib();
    bar->setDelegate(&delegate);
    for (const ClickCase& c : cases) {
        bar->selectTabButtonAtIndex(0);
        bar->setSelectType(c.selectType);
        recorder.posted.clear();
        delegate.told.clear();
        kxtest::click(button(c.clicked));
        EXPECT_EQ(bar->indexOfSelectedTabButton(), c.selectedAfter) << c.selectType << " " << c.clicked;
        EXPECT_EQ(recorder.posted.size(), c.posts) << c.selectType << " " << c.clicked;
        EXPECT_EQ(delegate.told.size(), c.posts) << c.selectType << " " << c.clicked;
    }
}

TEST_F(TabBarTest, AType1BarLeftWithoutSelectionSelectsAgainOnTheNextClick) {
    bar->awakeFromNib();
    kxtest::click(button(0));
    EXPECT_EQ(bar->indexOfSelectedTabButton(), KXTabNotFound);
    recorder.posted.clear();
    kxtest::click(button(0));
    EXPECT_EQ(bar->indexOfSelectedTabButton(), 0);
    EXPECT_EQ(recorder.posted.size(), 1u);
    // Only the left button counts; another button's press does nothing.
    kxtest::sendMouse(button(1), QEvent::MouseButtonPress, {2, 2}, Qt::RightButton);
    EXPECT_EQ(bar->indexOfSelectedTabButton(), 0);
}

TEST_F(TabBarTest, ASelectedButtonDrawsItsLook) {
    bar->awakeFromNib();
    bar->show();
    const QImage selected = button(0)->grab().toImage();
    const QImage plain = button(1)->grab().toImage();
    // The selected button is shaded at its sides; a plain one leaves its edges to the bar.
    EXPECT_LT(qGray(selected.pixel(0, selected.height() / 2)), qGray(plain.pixel(0, plain.height() / 2)));
    bar->hide();
}

}  // namespace
