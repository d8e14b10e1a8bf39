// The pattern window of the fill section: its browser's thumbnails, made on worker threads, are the pattern
// files' own pictures; a click on one makes it the fill's pattern in one undo step; the browser shows the
// fill's pattern selected and lets no pattern be dragged out; and an inspector that goes while thumbnails
// are still being made leaves nothing behind.
#include "controls/browser_test_support.h"
#include "controls/image_browser_view.h"
#include "controls/mouse_events.h"
#include "controls/popup_window.h"
#include "inspectors/fill_section.h"
#include "inspectors/graph_view_controller.h"
#include "inspectors/style_values.h"
#include "styled_shape_page.h"
#include "model/background.h"
#include "platform/foundation/bundle.h"

#include <QComboBox>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace kx::inspectors;

constexpr int kPatternCount = 12;

QColor patternColour(int index) {
    return QColor::fromHsv(index * 360 / kPatternCount, 200, 220);
}

class PatternWindowTest : public ::testing::Test, public kxtest::StyledShapePage {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QDir(dir.path()).mkpath(QStringLiteral("Pattern"));
        for (int i = 0; i < kPatternCount; ++i) {
            QImage tile(24, 24, QImage::Format_RGB32);
            tile.fill(patternColour(i));
            ASSERT_TRUE(tile.save(patternPath(i)));
        }
        kx::Bundle::setMainResourcePath(dir.path());
        inspector = std::make_unique<KXGraphViewController>();
        inspector->updateUIWithGraph(shape);
        section = inspector->fillView();
        settle();
    }
    void TearDown() override {
        inspector.reset();
        kx::Bundle::setMainResourcePath({});
    }
    QString patternPath(int index) const {
        return dir.filePath(QStringLiteral("Pattern/p%1.png").arg(index, 2, 10, QLatin1Char('0')));
    }
    void choosePatternFill() {
        section->pubFillType()->setCurrentIndex(FillPattern);
        emit section->pubFillType()->activated(FillPattern);
        settle();
    }
    kx::ImageBrowserView* openBrowser() {
        section->patternAction();
        kx::controls::KXPopupWindow* window = section->patternWindow();
        return window ? qobject_cast<kx::ImageBrowserView*>(window->contentView()) : nullptr;
    }

    QTemporaryDir dir;
    std::unique_ptr<KXGraphViewController> inspector;
    KXFillSection* section = nullptr;
};

TEST_F(PatternWindowTest, TheBrowserShowsEveryPatternAndAClickChoosesOne) {
    choosePatternFill();
    page->undoManager().removeAllActions();
    kx::ImageBrowserView* browser = openBrowser();
    ASSERT_NE(browser, nullptr);
    EXPECT_TRUE(section->patternWindow()->isVisible());
    EXPECT_FALSE(browser->dragEnabled());
    EXPECT_EQ(browser->selectedItems(), std::vector<int>{0});

    kx::ImageBrowserModel& model = browser->browserModel();
    ASSERT_EQ(model.itemCount(), kPatternCount);
    ASSERT_TRUE(kxtest::waitUntil([&] {
        for (int i = 0; i < kPatternCount; ++i) {
            if (!model.hasThumbnail(i))
                return false;
        }
        return true;
    }));
    for (int i = 0; i < kPatternCount; ++i) {
        const QImage thumbnail = model.thumbnail(i);
        ASSERT_FALSE(thumbnail.isNull()) << i;
        EXPECT_EQ(thumbnail.pixelColor(thumbnail.width() / 2, thumbnail.height() / 2).rgb(), patternColour(i).rgb())
            << i;
    }

    const QByteArray before = archive();
    browser->scrollToItem(3);
    kxtest::click(browser->viewport(), browser->cellRect(3).center());
    settle();
    EXPECT_EQ(shape->background()->imagePath(), patternPath(3));
    expectOneStepRestoring(before);

    // Opened again for the fill's pattern, the browser shows that one selected.
    shape->background()->setImagePath(patternPath(5));
    inspector->updateUIWithGraph(shape);
    settle();
    EXPECT_EQ(browser->selectedItems(), std::vector<int>{5});
}

TEST_F(PatternWindowTest, AnInspectorGoingWhileThumbnailsAreMadeLeavesNothingBehind) {
    for (int round = 0; round < 3; ++round) {
        kx::ImageBrowserView* browser = openBrowser();
        ASSERT_NE(browser, nullptr);
        inspector.reset();
        settle();
        inspector = std::make_unique<KXGraphViewController>();
        inspector->updateUIWithGraph(shape);
        section = inspector->fillView();
    }
    // Thumbnails finished after their browser went are dropped; a new browser still gets all of its own.
    kx::ImageBrowserView* browser = openBrowser();
    ASSERT_NE(browser, nullptr);
    EXPECT_TRUE(kxtest::waitUntil([&] {
        for (int i = 0; i < kPatternCount; ++i) {
            if (!browser->browserModel().hasThumbnail(i))
                return false;
        }
        return true;
    }));
}

}  // namespace
