#include "app/main_window.h"
#include "app_services/ga_object.h"
#include "app_test_support.h"
#include "document/document.h"
#include "model/canvas.h"
#include "model/model_classes.h"
#include "model/page_size.h"
#include "output/print_controller.h"
#include "output/print_view_controller.h"
#include "output/progress_sheet.h"
#include "support/event_wait.h"
#include "support/outside_tools.h"
#include "support/run_program.h"

#include <QAction>
#include <QDialog>
#include <QMenuBar>
#include <QPageLayout>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class MainWindowPrintTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerModelClasses();
        registerDocumentClasses();
        ASSERT_TRUE(dir.isValid());
        KXProject::setPageRenderer(kxtest::greyPageRendering);
        KXMainWindow::setAlertPresenter([](QWidget*, const QString&, const QString&) {});
    }
    void TearDown() override {
        setPrintDialogRunner({});
        KXMainWindow::setAlertPresenter({});
        KXProject::setPageRenderer({});
    }

    // A saved project of `pages` wide pages of 900 x 600 pixels.
    QString savedProject(int pages) {
        KXProject project;
        project.removeAllCanvasLayers();
        for (int i = 0; i < pages; ++i) {
            auto canvas = std::make_shared<KXCanvas>();
            const KXSize size(900, 600, KXSizeUnitPixel, 150);
            canvas->setPageSize(&size);
            canvas->setMarginRect({0, 0, 900, 600});
            project.createNewLayerWithCanvas(canvas);
        }
        const QString path = dir.filePath(QStringLiteral("Card.kxp"));
        QString error;
        EXPECT_TRUE(project.saveAsProjectToPath(path, KXSaveOperationSave, &error)) << error.toStdString();
        return path;
    }

    QTemporaryDir dir;
};

TEST_F(MainWindowPrintTest, FilePrintPrintsEveryPageAndCountsThePrintWithTheProject) {
    KX_REQUIRE_TOOLS("pdfinfo");
    GAObject::initializeGATrackerWithID(QString());
    ASSERT_NE(GAObject::defaultObject(), nullptr);
    auto document = std::make_shared<KXDocument>();
    document->setProjPath(savedProject(3));
    KXMainWindow window;
    window.initWindowWidthDocument(document.get(), [] {});
    window.show();

    QAction* print = window.menuBar()->findChild<QAction*>(QStringLiteral("Print"));
    ASSERT_NE(print, nullptr);
    EXPECT_EQ(print->shortcut(), QKeySequence(QKeySequence::Print));
    const QString file = dir.filePath(QStringLiteral("printed.pdf"));
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    kx::Size pageSize;
    int pageCount = 0;
    setPrintDialogRunner([&](QPrinter& printer, KXPrintViewController& options, QWidget* parent, int pages) {
        EXPECT_EQ(parent, &window);
        orientation = printer.pageLayout().orientation();
        pageSize = options.pageSize();
        pageCount = pages;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
        return true;
    });
    bool printed = false;
    QObject::connect(window.printController(), &KXPrintController::printFinished, [&](bool p) { printed = p; });
    print->trigger();
    ASSERT_TRUE(kxtest::processEventsUntil([&] { return !window.printController()->isRunning(); }));
    EXPECT_TRUE(printed);
    EXPECT_EQ(orientation, QPageLayout::Landscape);
    EXPECT_EQ(pageSize, kx::Size(432, 288));  // 900 x 600 pixels at 150 dpi
    EXPECT_EQ(pageCount, 3);
    const QString info = QString::fromUtf8(kxtest::runProgram("pdfinfo", {file}).standardOutput);
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+3\\n")))) << info.toStdString();
    EXPECT_FALSE(window.pbCtl()->window()->isVisible());

    const QList<QByteArray>& hits = GAObject::defaultObject()->eventQueue();
    ASSERT_GT(hits.size(), 1);
    EXPECT_TRUE(hits[0].contains("ec=Export&ea=Print&el=Print&ev=1")) << hits[0].toStdString();
    EXPECT_TRUE(hits[1].contains("ec=Page")) << hits[1].toStdString();
}

}  // namespace
