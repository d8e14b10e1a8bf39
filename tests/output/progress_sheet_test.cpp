// The progress sheet: its window, the bar beside the Cancel button, the tip, the animation and the cancel
// confirmation with its two flags.
#include "output/progress_sheet.h"

#include "platform/foundation/notification_center.h"

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

class ProgressSheetTest : public ::testing::Test {
protected:
    void SetUp() override {
        sheet.loadWindow();
        token = kx::NotificationCenter::defaultCenter().addObserver(
            KXProgressCanceledNotification, nullptr, [this](const kx::Notification& n) { senders.push_back(n.sender); });
    }
    void TearDown() override { KXProgressBarController::setAlertRunner({}); }

    // The user answers the confirmation with the first button (OK) or the second (Cancel).
    void answer(bool confirm) {
        KXProgressBarController::setAlertRunner([this, confirm](const QString& message, const QString& informative,
                                                                const QString& first, const QString& second) {
            asked << message << informative << first << second;
            pausingDuringAlert = sheet.isPausing();
            animatingDuringAlert = sheet.isAnimating();
            sheet.stopAnimation();  // as a modal alert does
            return confirm ? KXProgressBarController::AlertFirstButtonReturn
                           : KXProgressBarController::AlertFirstButtonReturn + 1;
        });
    }

    static int rightEdge(const QWidget* widget) { return widget->geometry().x() + widget->geometry().width(); }

    KXProgressBarController sheet;
    kx::NotificationToken token;
    std::vector<const void*> senders;
    QStringList asked;
    bool pausingDuringAlert = false;
    bool animatingDuringAlert = false;
};

TEST_F(ProgressSheetTest, TheWindowIsTitledWithTheApplicationNameAndTheButtonIsLocalised) {
    EXPECT_EQ(sheet.window()->windowTitle(), QStringLiteral("Kollage"));
    EXPECT_EQ(sheet.btCancel()->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(sheet.windowTitleForDocumentDisplayName(QStringLiteral("Doc")), QStringLiteral("Kollage"));
    EXPECT_FALSE(sheet.isCancelled());
    EXPECT_FALSE(sheet.isPausing());
    EXPECT_EQ(sheet.expandableWidth(), rightEdge(sheet.btCancel()) - rightEdge(sheet.pb()));
    EXPECT_GT(sheet.expandableWidth(), 0);
}

TEST_F(ProgressSheetTest, ANullTipKeepsThePreviousMessage) {
    sheet.setTip(QStringLiteral("Rendering"));
    sheet.setTip(QString());
    EXPECT_EQ(sheet.tfTip()->text(), QStringLiteral("Rendering"));
    sheet.setTip(QStringLiteral(""));
    EXPECT_EQ(sheet.tfTip()->text(), QString());
}

TEST_F(ProgressSheetTest, HidingCancelWidensTheBarIntoItsPlaceAndShowingItRestoresTheLaidOutWidth) {
    const QRect laidOut = sheet.pb()->geometry();
    sheet.setCanCancel(false);
    EXPECT_TRUE(sheet.btCancel()->isHidden());
    EXPECT_EQ(rightEdge(sheet.pb()), rightEdge(sheet.btCancel()));
    EXPECT_EQ(sheet.pb()->geometry().topLeft(), laidOut.topLeft());
    EXPECT_EQ(sheet.pb()->geometry().height(), laidOut.height());
    sheet.setCanCancel(false);
    EXPECT_EQ(rightEdge(sheet.pb()), rightEdge(sheet.btCancel()));
    sheet.setCanCancel(true);
    EXPECT_FALSE(sheet.btCancel()->isHidden());
    EXPECT_EQ(sheet.pb()->geometry(), laidOut);
}

TEST_F(ProgressSheetTest, AnIndeterminateBarAnimatesUntilTheWindowCloses) {
    sheet.setIndeterminate(true);
    EXPECT_TRUE(sheet.isAnimating());
    EXPECT_EQ(sheet.pb()->maximum(), 0);  // the busy bar
    sheet.window()->show();
    sheet.window()->close();
    EXPECT_FALSE(sheet.isAnimating());
    sheet.setIndeterminate(true);
    sheet.setIndeterminate(false);
    EXPECT_FALSE(sheet.isAnimating());
}

TEST_F(ProgressSheetTest, ShowWindowClearsTheCancelFlagAndPresentsNothing) {
    sheet.setIsCancelled(true);
    sheet.showWindow();
    EXPECT_FALSE(sheet.isCancelled());
    EXPECT_FALSE(sheet.window()->isVisible());
}

TEST_F(ProgressSheetTest, DecliningTheConfirmationRestartsTheAnimationAndLetsTheRunGoOn) {
    sheet.setIndeterminate(true);
    answer(false);
    sheet.btCancel()->click();
    EXPECT_EQ(asked, (QStringList{"Do you want to cancel?", "The work done so far will be discarded.", "OK", "Cancel"}));
    EXPECT_TRUE(pausingDuringAlert);
    EXPECT_FALSE(sheet.isPausing());
    EXPECT_FALSE(sheet.isCancelled());
    EXPECT_TRUE(sheet.isAnimating());
    EXPECT_TRUE(senders.empty());
}

TEST_F(ProgressSheetTest, ConfirmingSetsTheFlagAndPostsExactlyOneNotification) {
    answer(true);
    sheet.cancelClick();
    EXPECT_TRUE(sheet.isCancelled());
    EXPECT_FALSE(sheet.isPausing());
    ASSERT_EQ(senders.size(), 1u);
    EXPECT_EQ(senders[0], &sheet);
    sheet.setIsCancelled(false);  // the owner clears it before the next run
    EXPECT_FALSE(sheet.isCancelled());
}

TEST_F(ProgressSheetTest, AWorkerWaitsWhileTheConfirmationIsOpenAndOnlyThen) {
    sheet.waitWhilePausing();  // no confirmation open: returns at once
    std::atomic<bool> started{false}, passed{false};
    std::thread worker;
    bool passedDuringAlert = true;
    KXProgressBarController::setAlertRunner([&](const QString&, const QString&, const QString&, const QString&) {
        worker = std::thread([&] {
            started = true;
            sheet.waitWhilePausing();
            passed = true;
        });
        while (!started)
            std::this_thread::yield();
        for (int i = 0; i < 1000; ++i)
            std::this_thread::yield();
        passedDuringAlert = passed.load();
        return KXProgressBarController::AlertFirstButtonReturn + 1;
    });
    sheet.cancelClick();
    worker.join();
    EXPECT_FALSE(passedDuringAlert);
    EXPECT_TRUE(passed);
}

}  // namespace
