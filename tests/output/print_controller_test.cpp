#include "output/print_controller.h"

#include "model/model_classes.h"
#include "output/print_view.h"
#include "output/print_view_controller.h"
#include "output/progress_sheet.h"
#include "support/event_wait.h"
#include "support/outside_tools.h"
#include "print_probe.h"

#include <QCheckBox>
#include <QDialog>
#include <QFileInfo>
#include <QPageLayout>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using kxtest::processEventsUntil;

// What the dialog saw when it opened.
struct DialogSeen {
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QMarginsF margins{-1, -1, -1, -1};
    kx::Size pageSize;
    double scale = 0;
    int pageCount = 0;
    bool optionsTabGiven = false;
};

class PrintControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerModelClasses();
        ASSERT_TRUE(dir.isValid());
        printtest::printToPdf(info.printer(), dir.filePath("printed.pdf"), 540, 720);
        setPrintDialogRunner([this](QPrinter& printer, KXPrintViewController& options, QWidget*, int pageCount) {
            ++dialogs;
            seen.orientation = printer.pageLayout().orientation();
            seen.margins = printer.pageLayout().margins(QPageLayout::Point);
            seen.pageSize = options.pageSize();
            seen.scale = options.scale();
            seen.pageCount = pageCount;
            seen.optionsTabGiven = options.view() != nullptr;
            if (duringDialog)
                duringDialog(printer, options);
            return answer;
        });
    }
    void TearDown() override {
        controller.reset();
        setPrintDialogRunner({});
        setPrintPreviewRunner({});
        KXProgressBarController::setAlertRunner({});
    }

    KXPrintController& make(std::vector<std::shared_ptr<KXCanvas>> project) {
        pages = std::move(project);
        KXPrintProject p;
        p.pageCount = [this] { return int(pages.size()); };
        p.outputCopyOfPage = [this](int i) { return pages[size_t(i)]->outputCopy(); };
        p.currentCanvas = [this]() -> const KXCanvas* { return pages.empty() ? nullptr : pages.front().get(); };
        p.recordPrint = [this] { ++events; };
        KXPrintProgress progress;
        progress.sheet = &sheet;
        progress.show = [this](const QString& tip) {
            sheet.setIndeterminate(true);
            sheet.setIsCancelled(false);
            sheet.setTip(tip);
            sheet.window()->show();
            ++sheetsShown;
        };
        progress.stop = [this] { sheet.window()->hide(); };
        controller = std::make_unique<KXPrintController>(p, progress);
        controller->setPrintInfo(&info);
        QObject::connect(controller.get(), &KXPrintController::printFinished, controller.get(), [this](bool printed) {
            finished.push_back(printed);
        });
        return *controller;
    }
    // Starts a print and waits for its end.
    bool printAndWait() {
        const size_t before = finished.size();
        controller->printAction();
        return processEventsUntil([&] { return finished.size() > before; });
    }

    QTemporaryDir dir;
    KXPrintInfo info;
    KXProgressBarController sheet;
    std::vector<std::shared_ptr<KXCanvas>> pages;
    std::unique_ptr<KXPrintController> controller;
    std::function<void(QPrinter&, KXPrintViewController&)> duringDialog;
    bool answer = false;
    int dialogs = 0;
    int events = 0;
    int sheetsShown = 0;
    DialogSeen seen;
    std::vector<bool> finished;
};

TEST_F(PrintControllerTest, AWidePageOpensTheDialogInLandscapeWithZeroMarginsAndATallOneInPortrait) {
    const struct {
        double width, height;
        QPageLayout::Orientation orientation;
    } cases[] = {{1080, 720, QPageLayout::Landscape}, {720, 1080, QPageLayout::Portrait}, {500, 500, QPageLayout::Portrait}};
    for (const auto& c : cases) {
        info.printer().setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Point);
        make({printtest::makePage(c.width, c.height)});
        ASSERT_TRUE(printAndWait());
        EXPECT_EQ(seen.orientation, c.orientation) << c.width << "x" << c.height;
        EXPECT_EQ(seen.margins, QMarginsF(0, 0, 0, 0));
        EXPECT_TRUE(seen.optionsTabGiven);
    }
    EXPECT_EQ(dialogs, 3);
    EXPECT_EQ(sheetsShown, 3);
    EXPECT_EQ(sheet.tip(), QStringLiteral("Rendering…"));
    EXPECT_FALSE(sheet.window()->isVisible());
}

TEST_F(PrintControllerTest, PrintingWritesEverySheetAndRecordsTheEventOnce) {
    KX_REQUIRE_TOOLS("pdfinfo", "pdftoppm");
    // 3000 x 2400 pixels at 300 dpi are 720 x 576 points; on landscape 720 x 540 paper the height decides.
    make({printtest::makePage(3000, 2400, 300), printtest::makePage(3000, 2400, 300), printtest::makePage(3000, 2400, 300)});
    answer = true;
    ASSERT_TRUE(printAndWait());
    EXPECT_EQ(seen.pageSize, kx::Size(720, 576));
    EXPECT_EQ(seen.pageCount, 3);
    EXPECT_DOUBLE_EQ(seen.scale, 540.0 / 576);
    EXPECT_EQ(finished, std::vector<bool>{true});
    EXPECT_EQ(events, 1);
    const QString file = dir.filePath("printed.pdf");
    const printtest::PdfSheets sheets = printtest::pdfSheets(file);
    EXPECT_EQ(sheets.pages, 3);
    EXPECT_EQ(sheets.pageSize, QSizeF(720, 540));
    // 675 x 540 points, centred from x 22.5 to 697.5.
    const QImage image = printtest::pdfSheetImage(file, 2, dir.filePath("sheet"));
    ASSERT_EQ(image.size(), QSize(720, 540));
    EXPECT_TRUE(printtest::isWhite(image, 18, 270));
    EXPECT_TRUE(printtest::isBlue(image, 27, 270));
    EXPECT_TRUE(printtest::isBlue(image, 360, 2));
    EXPECT_TRUE(printtest::isBlue(image, 693, 537));
    EXPECT_TRUE(printtest::isWhite(image, 702, 270));
}

TEST_F(PrintControllerTest, TheViewHoldsCopiesAndTheLivePagesStayAsTheyWere) {
    make({printtest::makePage(1080, 720), printtest::makePage(1080, 720)});
    const kx::Size previewBefore = pages.front()->previewSize();
    bool copies = false;
    duringDialog = [&](QPrinter&, KXPrintViewController&) {
        const KXPrintView* view = controller->currentView();
        ASSERT_NE(view, nullptr);
        ASSERT_EQ(view->canvases().size(), 2u);
        copies = true;
        for (size_t i = 0; i < 2; ++i)
            copies = copies && view->canvases()[i]->isOutputCopy() && view->canvases()[i] != pages[i];
        EXPECT_EQ(view->maxPage(), 2);
        EXPECT_EQ(view->frame().size, kx::Size(1080, 720));
    };
    answer = true;
    ASSERT_TRUE(printAndWait());
    EXPECT_TRUE(copies);
    EXPECT_EQ(pages.front()->previewSize(), previewBefore);
    EXPECT_FALSE(pages.front()->isOutputCopy());
    EXPECT_EQ(controller->currentView(), nullptr);
}

TEST_F(PrintControllerTest, ADeclinedDialogPrintsNothingAndRecordsNoEvent) {
    make({printtest::makePage(300, 200)});
    answer = false;
    ASSERT_TRUE(printAndWait());
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(finished, std::vector<bool>{false});
    EXPECT_EQ(events, 0);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("printed.pdf")));
}

// The worker waits on the sheet's pause from its first page on when the confirmation is already open: the
// print starts from inside the confirmation, so the worker's wait is certain, not a matter of timing.
TEST_F(PrintControllerTest, ConfirmingTheCancelWhileTheWorkerWaitsShowsNoDialogAndPrintsNothing) {
    make({printtest::makePage(300, 200), printtest::makePage(300, 200), printtest::makePage(300, 200)});
    for (const bool confirm : {true, false}) {
        bool workerWaited = false;
        KXProgressBarController::setAlertRunner([&](const QString&, const QString&, const QString&, const QString&) {
            controller->printAction();
            workerWaited = processEventsUntil([&] { return sheet.pause().waitingCount() == 1; });
            return confirm ? KXProgressBarController::AlertFirstButtonReturn
                           : KXProgressBarController::AlertFirstButtonReturn + 1;
        });
        const size_t before = finished.size();
        answer = true;
        sheet.cancelClick();
        ASSERT_TRUE(processEventsUntil([&] { return finished.size() > before; }));
        EXPECT_TRUE(workerWaited);
        EXPECT_EQ(finished.back(), !confirm);
        EXPECT_EQ(dialogs, confirm ? 0 : 1);
        EXPECT_EQ(events, confirm ? 0 : 1);
        EXPECT_EQ(QFileInfo::exists(dir.filePath("printed.pdf")), !confirm);
        EXPECT_FALSE(controller->isRunning());
        EXPECT_EQ(sheet.pause().waitingCount(), 0);
    }
}

// A build that ends while the question is open (its end is delivered by the question's own event loop) waits
// for the answer: a confirmed cancel still shows no dialog.
TEST_F(PrintControllerTest, ABuildThatEndsWhileTheQuestionIsOpenWaitsForTheAnswer) {
    make({printtest::makePage(300, 200)});
    bool dialogDuringQuestion = false;
    KXProgressBarController::setAlertRunner([&](const QString&, const QString&, const QString&, const QString&) {
        // Lets the worker finish (when it had not reached the pause) and its end be delivered.
        kxtest::processEventsUntil([] { return false; }, 300);
        dialogDuringQuestion = dialogs > 0 || !finished.empty();
        return KXProgressBarController::AlertFirstButtonReturn;
    });
    answer = true;
    controller->printAction();
    sheet.cancelClick();
    ASSERT_TRUE(processEventsUntil([&] { return !finished.empty(); }));
    EXPECT_FALSE(dialogDuringQuestion);
    EXPECT_EQ(dialogs, 0);
    EXPECT_EQ(finished, std::vector<bool>{false});
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("printed.pdf")));
}

TEST_F(PrintControllerTest, APageThatCannotBeCopiedPrintsNothing) {
    make({printtest::makePage(300, 200), printtest::makePage(300, 200)});
    KXPrintProject broken;
    broken.pageCount = [] { return 2; };
    broken.outputCopyOfPage = [this](int i) { return i == 0 ? pages[0]->outputCopy() : nullptr; };
    broken.currentCanvas = [this]() -> const KXCanvas* { return pages.front().get(); };
    broken.recordPrint = [this] { ++events; };
    KXPrintProgress progress{&sheet, [](const QString&) {}, [] {}};
    KXPrintController c(broken, progress);
    c.setPrintInfo(&info);
    bool ended = false;
    QObject::connect(&c, &KXPrintController::printFinished, &c, [&](bool printed) { ended = !printed; });
    c.printAction();
    EXPECT_TRUE(ended);
    EXPECT_FALSE(c.isRunning());
    EXPECT_EQ(dialogs, 0);
    EXPECT_EQ(events, 0);
}

TEST_F(PrintControllerTest, ThePreviewButtonShowsTheSheetsAtTheirPointSize) {
    KX_REQUIRE_TOOLS("pdfinfo", "pdfimages");
    make({printtest::makePage(3000, 2400, 300), printtest::makePage(3000, 2400, 300)});
    const QString preview = dir.filePath("preview.pdf");
    setPrintPreviewRunner([&](QPrinter& printer, const std::function<void(QPrinter&)>& paint, QWidget*) {
        const QString target = printer.outputFileName();
        printer.setOutputFileName(preview);
        paint(printer);
        printer.setOutputFileName(target);
    });
    duringDialog = [](QPrinter&, KXPrintViewController& options) { options.btPreview()->click(); };
    answer = false;
    ASSERT_TRUE(printAndWait());
    EXPECT_EQ(printtest::pdfSheets(preview).pages, 2);
    // Landscape 720 x 540 paper, scale 540 / 576: 675 x 540 points per sheet.
    EXPECT_EQ(printtest::pdfImageSizes(preview), (QList<QSize>{QSize(675, 540), QSize(675, 540)}));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("printed.pdf")));
}

}  // namespace
