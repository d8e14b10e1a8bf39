#include "output/export_view_controller.h"

#include "controls/stepper.h"
#include "controls/table_view.h"
#include "graphics/app_info.h"
#include "model/background.h"
#include "model/canvas.h"
#include "model/model_classes.h"
#include "model/page_size.h"
#include "output/conversion_info_controller.h"
#include "output/export_accessory_view.h"
#include "output/export_dialogs.h"
#include "output/export_pdf_controller.h"
#include "output/file_reveal.h"
#include "output/progress_sheet.h"
#include "platform/foundation/user_defaults.h"
#include "support/event_wait.h"
#include "support/outside_tools.h"
#include "support/run_program.h"
#include "file_bytes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QApplication>
#include <QDir>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QPlainTextEdit>
#include <QSlider>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTimer>
#include <QRegularExpression>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

using kxtest::processEventsUntil;

// Counts the emissions of a signal.
struct Counter {
    template <class Sender, class Signal>
    Counter(Sender* sender, Signal signal) {
        QObject::connect(sender, signal, sender, [this] { ++n; });
    }
    int count() const { return n; }
    int n = 0;
};

class Delegate : public KXExportViewControllerDelegate {
public:
    void exportViewControllerDidExportedImages() override { ++calls; }
    int calls = 0;
};

class ExportViewControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerModelClasses();
        ASSERT_TRUE(dir.isValid());
        kx::UserDefaults::setStandardFilePath(dir.filePath("defaults.conf"));
        kx::UserDefaults::standard().setValue(QStringLiteral("KXShowExportingTip"), true);
        setSavePanelRunner([this](const KXSavePanelRequest& request) {
            panelRequests.push_back(request.allowedTypes);
            panelNames.push_back(request.name);
            panelFolders.push_back(request.directory);
            return panelAnswer;
        });
        setInformationalAlertRunner([this](const QString& message, const QString&) { alerts.append(message); });
        setFileRevealer([this](const QString& path) {
            revealed.append(path);
            return true;
        });
        setURLOpener([this](const QUrl& url) {
            opened.append(url.toLocalFile());
            return true;
        });
    }
    void TearDown() override {
        controllers.clear();
        setSavePanelRunner({});
        setInformationalAlertRunner({});
        setFileRevealer({});
        setURLOpener({});
        KXProgressBarController::setAlertRunner({});
        kx::UserDefaults::setStandardFilePath({});
    }

    // A project of pages of the given pixel sizes, blue; a size of 0 x 0 cannot be rendered.
    KXExportViewController& controller(std::vector<kx::Size> sizes, const QString& projectPath = {}) {
        auto pages = std::make_shared<std::vector<std::shared_ptr<KXCanvas>>>();
        for (const kx::Size& s : sizes) {
            auto page = std::make_shared<KXCanvas>();
            const KXSize size(s.width, s.height, KXSizeUnitPixel, 72);
            page->setPageSize(&size);
            page->zoomToFitSize(page->pixelSize());
            auto fill = std::make_shared<KXBackground>();
            fill->setColor1(kx::Color::srgb(0, 0, 1, 1));
            page->setBackground(fill);
            pages->push_back(page);
        }
        KXExportProject project;
        project.pageCount = [pages] { return int(pages->size()); };
        project.outputCopyOfPage = [pages](int i) { return (*pages)[size_t(i)]->outputCopy(); };
        project.projectPath = [projectPath] { return projectPath; };
        project.recordExport = [this](const QString& action, const QString& label) { recorded << action + u'/' + label; };
        controllers.push_back(std::make_unique<KXExportViewController>(project));
        KXExportViewController& c = *controllers.back();
        c.setDelegate(&delegate);
        c.setPreviewFolder(dir.filePath("QuickPreview"));
        return c;
    }
    // Runs the save panel, answering with the path, and waits for the run to end.
    bool exportTo(KXExportViewController& c, const QString& path) {
        Counter finished(&c, &KXExportViewController::runFinished);
        panelAnswer = path;
        c.exportWithType(KXExportTypeImage);
        return processEventsUntil([&] { return finished.count() > 0; });
    }
    static void choose(QComboBox* box, int index) {
        box->setCurrentIndex(index);
        emit box->activated(index);
    }

    QTemporaryDir dir;
    std::vector<std::unique_ptr<KXExportViewController>> controllers;
    Delegate delegate;
    QString panelAnswer;
    std::vector<QStringList> panelRequests;
    QStringList panelFolders;
    QStringList panelNames, alerts, revealed, opened, recorded;
};

TEST_F(ExportViewControllerTest, TheListOffersFourKindsAndAReleaseOutsideAnyRowExportsNothing) {
    KXExportViewController& c = controller({{10, 10}});
    ASSERT_EQ(c.tableView()->model()->rowCount(), 4);
    EXPECT_EQ(c.kindModel()->item(0)->text(), "Save as Image");
    EXPECT_EQ(c.kindModel()->item(1)->text(), "Save as PDF");
    EXPECT_EQ(c.kindModel()->item(2)->text(), "Set as Wallpaper");
    EXPECT_TRUE(c.kindModel()->item(3)->isEnabled());
    c.tableMouseMove(5, 10000);
    c.tableMouseUp();
    EXPECT_TRUE(panelRequests.empty());
    c.tableMouseMove(5, 2);
    EXPECT_EQ(c.selectedRow(), 0);
    c.tableMouseExit();
    EXPECT_EQ(c.selectedRow(), -1);
    panelAnswer.clear();
    c.tableMouseMove(5, 2);
    c.tableMouseUp();
    ASSERT_EQ(panelRequests.size(), 1u);
    EXPECT_EQ(c.selectedRow(), -1);
}

TEST_F(ExportViewControllerTest, TheSavePanelAsksForAFileOrAFolder) {
    KXExportViewController& one = controller({{10, 10}}, dir.filePath("Birthday.kxp"));
    panelAnswer.clear();
    one.exportWithType(KXExportTypeImage);
    ASSERT_EQ(panelRequests.size(), 1u);
    EXPECT_EQ(panelRequests[0], QStringList{"jpg"});
    EXPECT_EQ(panelNames[0], "Birthday");
    EXPECT_EQ(panelFolders[0], dir.path());
    auto* model = qobject_cast<QStandardItemModel*>(one.view()->pubExportPage()->model());
    EXPECT_FALSE(model->item(1)->isEnabled());
    EXPECT_FALSE(model->item(2)->isEnabled());

    KXExportViewController& three = controller({{10, 10}, {10, 10}, {10, 10}});
    three.exportWithType(KXExportTypeImage);
    EXPECT_EQ(panelRequests[1], QStringList{"public.folder"});
    EXPECT_EQ(panelNames[1], "Untitled");
    EXPECT_EQ(panelFolders[1], "");
    KXExportAccessoryView* v = three.view();
    Counter types(v, &KXExportAccessoryView::allowedFileTypesChanged);
    choose(v->pubExportPage(), KXExportPageRange);
    EXPECT_EQ(v->allowedFileTypes(), QStringList{"public.folder"});
    v->stLastPage()->setValue(2);
    v->lastStepperChanged();
    v->stFristPage()->setValue(2);
    v->firstStepperChanged();
    EXPECT_EQ(v->allowedFileTypes(), QStringList{"jpg"});
    // A last number typed below the first pulls the first down to it.
    v->tfLastPage()->setText("1");
    v->lastFieldTyped();
    EXPECT_EQ(v->tfFristPage()->text(), "1");
    EXPECT_EQ(v->pageNumbers().first, 1);
    v->tfLastPage()->setText("9");
    v->lastFieldTyped();
    EXPECT_EQ(v->tfLastPage()->text(), "3");
    EXPECT_EQ(v->allowedFileTypes(), QStringList{"public.folder"});
    choose(v->pubFormat(), 1);
    EXPECT_EQ(v->exportFormat(), "png");
    EXPECT_FALSE(v->tfQuality()->isVisibleTo(v));
    choose(v->pubExportPage(), KXExportOnePage);
    EXPECT_EQ(v->allowedFileTypes(), QStringList{"png"});
    EXPECT_GT(types.count(), 0);
}

TEST_F(ExportViewControllerTest, QualityControlsFollowEachOther) {
    KXExportAccessoryView view;
    view.tfQuality()->setText("150");
    view.qualityTyped();
    EXPECT_EQ(view.quality(), 100);
    EXPECT_EQ(view.tfQuality()->text(), "100");
    view.tfQuality()->setText("5");
    view.qualityTyped();
    EXPECT_EQ(view.quality(), 5);
    view.qualityEditingEnded();
    EXPECT_EQ(view.quality(), 10);
    EXPECT_EQ(view.stQuality()->value(), 10);
    EXPECT_EQ(view.tfQuality()->text(), "10");
    view.slQuality()->setValue(85);
    EXPECT_EQ(view.tfQuality()->text(), "85");
    EXPECT_EQ(view.stQuality()->value(), 85);
}

TEST_F(ExportViewControllerTest, ThreePagesIntoAFolderThenTheSuccessSheetRevealsTheFirstFile) {
    KX_REQUIRE_TOOLS("identify");
    KXExportViewController& c = controller({{30, 20}, {20, 30}, {10, 10}});
    const QString folder = dir.filePath("Card");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(kxtest::writeFile(folder + "/keep.txt", "kept"));
    choose(c.view()->pubFormat(), 1);
    ASSERT_TRUE(exportTo(c, folder));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files, QDir::Name), (QStringList{"Card_1.png", "Card_2.png", "Card_3.png", "keep.txt"}));
    EXPECT_EQ(kxtest::readFile(folder + "/keep.txt"), "kept");
    EXPECT_EQ(delegate.calls, 1);
    KXConversionInfoController* sheet = c.exportInfoCtl();
    ASSERT_TRUE(sheet->window()->isVisible());
    EXPECT_TRUE(sheet->cancelButton()->isVisibleTo(sheet->window()));
    EXPECT_EQ(sheet->filePath(), folder);
    sheet->ok();
    EXPECT_EQ(revealed, QStringList{folder + "/Card_1.png"});
    EXPECT_FALSE(sheet->window()->isVisible());
    const kxtest::ProgramResult size = kxtest::runProgram("identify", {"-format", "%w %h", folder + "/Card_2.png"});
    EXPECT_EQ(size.standardOutput, "20 30");
}

TEST_F(ExportViewControllerTest, TheSheetCanBeTurnedOffButAFailureIsAlwaysShown) {
    KXExportViewController& c = controller({{30, 20}, {0, 0}});
    const QString file = dir.filePath("one.jpg");
    ASSERT_TRUE(exportTo(c, file));  // all pages of two: a folder named one.jpg, page 2 fails
    EXPECT_EQ(c.lastResult().outcome, KXExportOutcome::Failed);
    EXPECT_EQ(c.lastResult().failedPage, 2);
    KXConversionInfoController* sheet = c.exportInfoCtl();
    EXPECT_TRUE(sheet->window()->isVisible());
    EXPECT_FALSE(sheet->cancelButton()->isVisibleTo(sheet->window()));
    EXPECT_TRUE(sheet->tfInfo()->text().contains("Page 2")) << sheet->tfInfo()->text().toStdString();
    sheet->ok();
    EXPECT_TRUE(revealed.isEmpty());

    KXExportViewController& good = controller({{30, 20}});
    ASSERT_TRUE(exportTo(good, dir.filePath("a.jpg")));
    good.exportInfoCtl()->ds()->setChecked(true);
    good.exportInfoCtl()->cancel();
    EXPECT_FALSE(showsExportingTip());
    ASSERT_TRUE(exportTo(good, dir.filePath("b.jpg")));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("b.jpg")));
    EXPECT_FALSE(good.exportInfoCtl()->window()->isVisible());
    EXPECT_EQ(delegate.calls, 3);
}

TEST_F(ExportViewControllerTest, AnItemTheRunCannotUseGetsTheUnwritableAlertAndNothingIsWritten) {
    KXExportViewController& c = controller({{10, 10}, {10, 10}});
    const QString file = dir.filePath("Card");
    ASSERT_TRUE(kxtest::writeFile(file, "a file, not a folder"));
    EXPECT_FALSE(c.completionHandler(file));
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts[0].contains(file));
    const QString folder = dir.filePath("Single");
    ASSERT_TRUE(QDir().mkpath(folder));
    choose(c.view()->pubExportPage(), KXExportOnePage);
    EXPECT_FALSE(c.completionHandler(folder));
    EXPECT_EQ(alerts.size(), 2);
    EXPECT_TRUE(recorded.isEmpty());
    processEventsUntil([] { return false; }, 50);
    EXPECT_FALSE(c.isRunning());
    EXPECT_EQ(kxtest::readFile(file), "a file, not a folder");
    EXPECT_TRUE(QDir(folder).isEmpty());
}

TEST_F(ExportViewControllerTest, ConfirmingTheCancelWhileTheRunWaitsStopsItWithoutASheet) {
    std::vector<kx::Size> pages(6, kx::Size(800, 800));
    KXExportViewController& c = controller(pages);
    choose(c.view()->pubFormat(), 1);
    KXProgressBarController* pb = c.pbCtl();
    bool workerWaited = false;
    KXProgressBarController::setAlertRunner([&](const QString&, const QString&, const QString&, const QString&) {
        // The worker reaches its next page boundary and waits there while the question is open.
        workerWaited = processEventsUntil([&] { return pb->pause().waitingCount() == 1; });
        return KXProgressBarController::AlertFirstButtonReturn;
    });
    Counter finished(&c, &KXExportViewController::runFinished);
    c.saveImageToPath(dir.filePath("Many"));
    ASSERT_TRUE(c.isRunning());
    pb->cancelClick();
    ASSERT_TRUE(processEventsUntil([&] { return finished.count() > 0; }));
    EXPECT_TRUE(workerWaited);
    EXPECT_EQ(c.lastResult().outcome, KXExportOutcome::Cancelled);
    EXPECT_LT(QDir(dir.filePath("Many")).entryList(QDir::Files).size(), 6);
    EXPECT_FALSE(pb->window()->isVisible());
    EXPECT_FALSE(c.exportInfoCtl()->window()->isVisible());
    EXPECT_EQ(delegate.calls, 1);
}

TEST_F(ExportViewControllerTest, APdfPathFromTheImagePanelWritesEveryPageWithTheDefaultInformation) {
    KX_REQUIRE_TOOLS("pdfinfo");
    KXExportViewController& c = controller({{30, 20}, {20, 30}});
    choose(c.view()->pubExportPage(), KXExportOnePage);
    ASSERT_TRUE(exportTo(c, dir.filePath("Summer.pdf")));
    const QString info = QString::fromUtf8(kxtest::runProgram("pdfinfo", {dir.filePath("Summer.pdf")}).standardOutput);
    EXPECT_TRUE(info.contains(QRegularExpression("Title: +Summer\n"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression("Subject: +None\n")));
    EXPECT_TRUE(info.contains(QRegularExpression("Pages: +2\n")));
    EXPECT_EQ(recorded, QStringList{"Export image/pdf"});
}

TEST_F(ExportViewControllerTest, ThePdfSheetsInformationGoesIntoTheDocument) {
    KX_REQUIRE_TOOLS("pdfinfo");
    KXExportViewController& c = controller({{30, 20}});
    KXExportPdfController* sheet = c.exportPdfCtl();
    panelAnswer = dir.filePath("Sheet.pdf");
    QTimer::singleShot(0, sheet, [sheet] {
        sheet->tfTitle()->setText("Holiday");
        sheet->tfAuthor()->clear();
        sheet->tvKeywords()->setPlainText("sea, sun");
        sheet->OK();
    });
    Counter finished(&c, &KXExportViewController::runFinished);
    c.exportWithType(KXExportTypePDF);
    ASSERT_TRUE(processEventsUntil([&] { return finished.count() > 0; }));
    const QString info = QString::fromUtf8(kxtest::runProgram("pdfinfo", {panelAnswer}).standardOutput);
    EXPECT_TRUE(info.contains(QRegularExpression("Title: +Holiday\n"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression("Author: +" + QRegularExpression::escape(applicationBundleName()) + "\n")));
    EXPECT_TRUE(info.contains(QRegularExpression("Keywords: +sea, sun\n")));
    EXPECT_EQ(recorded, QStringList{"Save PDF/pdf"});
}

TEST_F(ExportViewControllerTest, ThePreviewIsMadeOncePerChangeInAFileOfItsOwnPerWindow) {
    KXExportViewController& first = controller({{30, 20}});
    Counter finished(&first, &KXExportViewController::runFinished);
    first.quickLookWithName("Card", true);
    ASSERT_TRUE(processEventsUntil([&] { return finished.count() == 1; }));
    const QString path = dir.filePath("QuickPreview/Card.pdf");
    EXPECT_EQ(first.previewPath(), path);
    EXPECT_EQ(opened, QStringList{path});
    ASSERT_TRUE(kxtest::writeFile(path, kxtest::readFile(path) + "%marker"));
    first.quickLookWithName("Card", false);
    EXPECT_EQ(finished.count(), 2);  // no render: the file is opened as it is
    EXPECT_TRUE(kxtest::readFile(path).endsWith("%marker"));
    EXPECT_EQ(opened.size(), 2);

    KXExportViewController& second = controller({{30, 20}});
    Counter secondFinished(&second, &KXExportViewController::runFinished);
    second.quickLookWithName("Card", true);
    ASSERT_TRUE(processEventsUntil([&] { return secondFinished.count() == 1; }));
    EXPECT_EQ(second.previewPath(), dir.filePath("QuickPreview/Card_001.pdf"));
    EXPECT_TRUE(second.previewUpToDate());
}

TEST_F(ExportViewControllerTest, ACancelledPreviewIsNotTakenAsUpToDate) {
    // The run looks at the cancel between pages: a first page that takes a while to draw keeps the cancel
    // below from arriving only after the last check (with one small page the run could finish first).
    KXExportViewController& c = controller({{1200, 1200}, {30, 20}});
    KXProgressBarController* pb = c.pbCtl();
    Counter finished(&c, &KXExportViewController::runFinished);
    c.quickLookWithName("Card", true);
    pb->setIsCancelled(true);
    ASSERT_TRUE(processEventsUntil([&] { return finished.count() == 1; }));
    EXPECT_FALSE(c.previewUpToDate());
    c.quickLookWithName("Card", false);
    ASSERT_TRUE(processEventsUntil([&] { return finished.count() == 2; }));
    EXPECT_TRUE(c.previewUpToDate());
    EXPECT_TRUE(QFileInfo::exists(c.previewPath()));
}

TEST_F(ExportViewControllerTest, APdfTargetThatIsAFolderKeepsThePdfSheetOpenAfterTheAlert) {
    KXExportViewController& c = controller({{30, 20}});
    KXExportPdfController* sheet = c.exportPdfCtl();
    const QString folder = dir.filePath("Taken.pdf");
    ASSERT_TRUE(QDir().mkpath(folder));
    panelAnswer = folder;
    bool stillOpen = false;
    QTimer::singleShot(0, sheet, [&] {
        sheet->OK();
        stillOpen = sheet->window()->isVisible();
        sheet->cancel();
    });
    c.exportWithType(KXExportTypePDF);
    EXPECT_TRUE(stillOpen);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts[0].contains(folder));
    EXPECT_FALSE(sheet->isOK());
    EXPECT_TRUE(QDir(folder).isEmpty());
    EXPECT_TRUE(recorded.isEmpty());
}

// The real panel: an existing folder is a valid answer when the export writes numbered files into a folder,
// while for one file it only opens that folder.
TEST_F(ExportViewControllerTest, ThePanelAcceptsAnExistingFolderOnlyForAFolderOfFiles) {
    setSavePanelRunner({});
    const QString folder = dir.filePath("Existing");
    ASSERT_TRUE(QDir().mkpath(folder));
    const auto answer = [&](const QStringList& types) {
        // Chooses the folder; a panel still open afterwards is cancelled.
        QTimer::singleShot(0, [folder] {
            auto* panel = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(panel, nullptr);
            // Typed into the name field and confirmed with the accept button, as a person does.
            auto* name = panel->findChild<QLineEdit*>("fileNameEdit");
            auto* buttons = panel->findChild<QDialogButtonBox*>();
            ASSERT_NE(name, nullptr);
            ASSERT_NE(buttons, nullptr);
            name->setText(folder);
            emit name->textEdited(folder);
            for (QAbstractButton* button : buttons->buttons())
                if (buttons->buttonRole(button) == QDialogButtonBox::AcceptRole)
                    button->click();
            QTimer::singleShot(0, panel, [panel] { panel->reject(); });
        });
        KXSavePanelRequest request;
        request.prompt = "Save";
        request.directory = dir.path();
        request.name = "Untitled";
        request.allowedTypes = types;
        return runSavePanel(request);
    };
    EXPECT_EQ(answer({"public.folder"}), folder);
    EXPECT_EQ(answer({"jpg"}), QString());
}

}  // namespace
