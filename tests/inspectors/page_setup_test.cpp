#include "controls/stepper.h"
#include "inspectors/custom_size_controller.h"
#include "inspectors/page_view_controller.h"
#include "model/model_classes.h"
#include "model/page_size.h"
#include "model/page_size_manager.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <array>
#include <memory>

namespace {

struct Report {
    std::vector<std::shared_ptr<KXSize>> sizes;
    std::vector<bool> clips;
    std::vector<std::array<double, 4>> margins;
};

class RecordingDelegate : public KXPageViewControllerDelegate {
public:
    void pageViewControllerDidChangeSize(const KXSize& size) override { report.sizes.push_back(size.copy()); }
    void pageViewControllerDidChangeClipMargin(bool clip) override { report.clips.push_back(clip); }
    void pageViewControllerDidChangeMarginTop(double top, double bottom, double left, double right) override {
        report.margins.push_back({top, bottom, left, right});
    }
    Report report;
};

class PageSetupTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerModelClasses();
        ASSERT_TRUE(dir.isValid());
        catalogue = std::make_unique<KXPageSizeManager>(dir.filePath(QStringLiteral("sizes")));
        catalogue->addPredefineSizeWithWidth(1000, 800, 100, KXSizeUnitPixel, true, QStringLiteral("Screen"));
        catalogue->addPredefineSizeWithWidth(210, 297, 300, KXSizeUnitMillimeter, false, QStringLiteral("A4"));
        catalogue->addPredefineSizeWithWidth(4, 6, 300, KXSizeUnitInch, false, QStringLiteral("Photo"));
        tab = std::make_unique<KXPageViewController>(catalogue.get());
        tab->setDelegate(&delegate);
        KXCustomController::setAlertPresenter([this](QWidget*, const QString& message, const QString&) {
            alerts << message;
        });
    }
    void TearDown() override {
        KXPageViewController::setSheetRunner({});
        KXCustomController::setAlertPresenter({});
        tab.reset();
    }
    QStringList menuTitles() const {
        QStringList titles;
        for (int i = 0; i < tab->pubPredefine()->count(); ++i)
            titles << tab->pubPredefine()->itemText(i);
        return titles;
    }
    void showPage(double width, double height, std::int64_t unit, std::int64_t dpi) {
        const KXSize size(width, height, unit, dpi);
        tab->setPageSize(&size);
    }

    QTemporaryDir dir;
    std::unique_ptr<KXPageSizeManager> catalogue;
    std::unique_ptr<KXPageViewController> tab;
    RecordingDelegate delegate;
    QStringList alerts;
};

TEST_F(PageSetupTest, UnitsGiveTheirTextsAndStepperIncrements) {
    struct Case {
        double width, height;
        std::int64_t unit;
        std::int64_t dpi;
        double marginPixels;
        const char* tip;
        const char* margin;
        double increment;
    };
    const Case cases[] = {
        {1000, 800, KXSizeUnitPixel, 100, 50, "1000 x 800 px", "50 px", 1},
        {210, 297, KXSizeUnitMillimeter, 300, 300, "210.0 x 297.0 mm", "25.40 mm", 0.3},
        {4, 6, KXSizeUnitInch, 300, 75, "4.00 x 6.00 in", "0.25 in", 0.01},
        {21, 29.7, KXSizeUnitCentimeter, 300, 300, "", "", 0.3},
    };
    for (const Case& c : cases) {
        showPage(c.width, c.height, c.unit, c.dpi);
        tab->setMarginTop(c.marginPixels, 0, 0, 0);
        EXPECT_EQ(tab->tfSizeTip()->text(), QLatin1String(c.tip)) << c.unit;
        EXPECT_EQ(tab->marginField(KXMarginTop)->text(), QLatin1String(c.margin)) << c.unit;
        for (int side = 0; side < 4; ++side)
            EXPECT_DOUBLE_EQ(tab->marginStepper(KXMarginSide(side))->increment(), c.increment) << c.unit;
    }
}

TEST_F(PageSetupTest, ASizeOutsideTheCatalogueShowsOneOtherEntry) {
    const QStringList plain = {"Screen", "A4", "Photo", "", "Manage Sizes…"};
    tab->view();
    EXPECT_EQ(menuTitles(), plain);
    for (int shown = 0; shown < 3; ++shown) {
        showPage(640 + shown, 480, KXSizeUnitPixel, 72);
        EXPECT_EQ(menuTitles(), (plain + QStringList{"", "Other"})) << shown;
        EXPECT_EQ(tab->pubPredefine()->currentIndex(), 6);
    }
    // A catalogue size (turned counts too) takes the entry and its separator away.
    showPage(800, 1000, KXSizeUnitPixel, 100);
    EXPECT_EQ(menuTitles(), plain);
    EXPECT_EQ(tab->pubPredefine()->currentIndex(), 0);
    EXPECT_EQ(tab->mOrientation()->checkedId(), 1);
}

TEST_F(PageSetupTest, ChoosingSizesAndOrientationReportsThem) {
    showPage(1000, 800, KXSizeUnitPixel, 100);
    tab->pageSizePredefinesChange(1);
    ASSERT_EQ(delegate.report.sizes.size(), 1u);
    EXPECT_EQ(delegate.report.sizes[0]->desc(), QStringLiteral("A4"));
    EXPECT_EQ(tab->mOrientation()->checkedId(), 1);
    // The separator reports nothing.
    tab->pageSizePredefinesChange(3);
    EXPECT_EQ(delegate.report.sizes.size(), 1u);

    tab->orientationChanged(0);
    ASSERT_EQ(delegate.report.sizes.size(), 2u);
    EXPECT_TRUE(delegate.report.sizes[1]->isLandscape());
    EXPECT_EQ(tab->tfSizeTip()->text(), QStringLiteral("297.0 x 210.0 mm"));

    tab->btClipPage()->click();
    EXPECT_EQ(delegate.report.clips, (std::vector<bool>{true}));
}

TEST_F(PageSetupTest, MarginsAreClampedAndReportedInPixels) {
    showPage(1000, 800, KXSizeUnitPixel, 100);
    tab->setMarginTop(0, 200, 0, 0);
    // The top margin leaves the bottom one and an inch of page.
    tab->pageMarginChange(KXMarginTop, 700);
    EXPECT_EQ(tab->marginStepper(KXMarginTop)->value(), 500);
    EXPECT_EQ(tab->marginField(KXMarginTop)->text(), QStringLiteral("500 px"));
    ASSERT_EQ(delegate.report.margins.size(), 1u);
    EXPECT_EQ(delegate.report.margins[0], (std::array<double, 4>{500, 200, 0, 0}));
    // A negative margin typed into a field becomes 0.
    tab->marginField(KXMarginLeft)->setText(QStringLiteral("-12"));
    emit tab->marginField(KXMarginLeft)->editingFinished();
    EXPECT_EQ(tab->marginStepper(KXMarginLeft)->value(), 0);
    EXPECT_EQ(tab->marginField(KXMarginLeft)->text(), QStringLiteral("0 px"));

    // A page smaller than an inch: the bound is zero, never below it.
    showPage(80, 60, KXSizeUnitPixel, 100);
    tab->setMarginTop(0, 0, 0, 0);
    tab->pageMarginChange(KXMarginRight, 30);
    EXPECT_EQ(tab->marginStepper(KXMarginRight)->value(), 0);
    EXPECT_EQ(delegate.report.margins.back()[KXMarginRight], 0);

    // Millimetres go to the delegate as pixels: 25.4 mm at 300 dpi are 300 pixels.
    showPage(210, 297, KXSizeUnitMillimeter, 300);
    tab->setMarginTop(0, 0, 0, 0);
    tab->pageMarginChange(KXMarginBottom, 25.4);
    EXPECT_NEAR(delegate.report.margins.back()[KXMarginBottom], 300, 1e-9);
    EXPECT_EQ(tab->marginField(KXMarginBottom)->text(), QStringLiteral("25.40 mm"));
}

TEST_F(PageSetupTest, ManageSizesAndOtherOpenTheSheetAndTakeItsChoice) {
    showPage(640, 480, KXSizeUnitPixel, 72);
    int opened = 0;
    KXPageViewController::setSheetRunner([&](KXCustomController& sheet, QWidget*) {
        ++opened;
        if (opened == 1) {
            sheet.addRemoveCustomsizeAction(0);
            sheet.OKClick();
        }
    });
    const int manage = tab->pubPredefine()->findText(QStringLiteral("Manage Sizes…"));
    tab->pageSizePredefinesChange(manage);
    EXPECT_EQ(opened, 1);
    ASSERT_EQ(delegate.report.sizes.size(), 1u);
    EXPECT_EQ(delegate.report.sizes[0]->desc(), QStringLiteral("Untitled"));
    EXPECT_EQ(tab->pubPredefine()->currentText(), QStringLiteral("Untitled"));
    EXPECT_EQ(menuTitles(), (QStringList{"Screen", "A4", "Photo", "", "Untitled", "", "Manage Sizes…"}));

    // "Other" opens the sheet too.
    showPage(641, 480, KXSizeUnitPixel, 72);
    tab->pageSizePredefinesChange(tab->pubPredefine()->count() - 1);
    EXPECT_EQ(opened, 2);
}

TEST_F(PageSetupTest, ClosingTheSheetInOneWindowRebuildsTheOthersMenus) {
    KXPageViewController other(catalogue.get());
    const KXSize a4(210, 297, KXSizeUnitMillimeter, 300);
    other.setPageSize(&a4);
    showPage(1000, 800, KXSizeUnitPixel, 100);
    KXPageViewController::setSheetRunner([](KXCustomController& sheet, QWidget*) {
        sheet.addRemoveCustomsizeAction(0);
        sheet.OKClick();
    });
    tab->pageSizePredefinesChange(tab->pubPredefine()->findText(QStringLiteral("Manage Sizes…")));
    EXPECT_EQ(other.pubPredefine()->findText(QStringLiteral("Untitled")), 4);
    EXPECT_EQ(other.pubPredefine()->currentText(), QStringLiteral("A4"));
    EXPECT_EQ(other.pubPredefine()->count(), 7);
}

// ---- the custom size sheet ----

class CustomSizeTest : public PageSetupTest {
protected:
    void SetUp() override {
        PageSetupTest::SetUp();
        sheet = std::make_unique<KXCustomController>(catalogue.get());
    }
    void TearDown() override {
        sheet.reset();
        PageSetupTest::TearDown();
    }
    std::unique_ptr<KXCustomController> sheet;
};

TEST_F(CustomSizeTest, NewSizesTakeTheFirstFreeName) {
    for (int i = 0; i < 3; ++i)
        sheet->addRemoveCustomsizeAction(0);
    EXPECT_EQ(catalogue->customSizeDescriptions(), (QStringList{"Untitled", "Untitled_1", "Untitled_2"}));
    sheet->selectRow(1);
    sheet->addRemoveCustomsizeAction(1);
    sheet->addRemoveCustomsizeAction(0);
    EXPECT_EQ(catalogue->customSizeDescriptions(), (QStringList{"Untitled", "Untitled_2", "Untitled_1"}));
    const std::shared_ptr<KXSize> added = sheet->selectedItem();
    ASSERT_TRUE(added);
    EXPECT_EQ(added->pixelSize(), (kx::Size{800, 600}));
    EXPECT_EQ(added->dpi(), 300);
}

TEST_F(CustomSizeTest, NamesMustBeNewAndNotEmpty) {
    sheet->addRemoveCustomsizeAction(0);
    sheet->renameSelected(QStringLiteral("Untitled"));
    EXPECT_EQ(alerts, (QStringList{"Warning"}));
    sheet->renameSelected(QString());
    EXPECT_EQ(alerts.size(), 2);
    EXPECT_EQ(sheet->selectedItem()->desc(), QStringLiteral("Untitled"));
    sheet->renameSelected(QStringLiteral("Poster"));
    EXPECT_EQ(sheet->selectedItem()->desc(), QStringLiteral("Poster"));
    EXPECT_EQ(sheet->tableview()->item(0)->text(), QStringLiteral("Poster"));
}

TEST_F(CustomSizeTest, SidesAndResolutionStayWithinTheirLimits) {
    sheet->addRemoveCustomsizeAction(0);
    sheet->unitIsChanged(KXSizeUnitMillimeter);
    sheet->cusWidth()->setText(QStringLiteral("2"));
    sheet->sizeFieldEdited(sheet->cusWidth());
    EXPECT_EQ(sheet->cusWidth()->text(), QStringLiteral("2.7"));
    EXPECT_EQ(alerts, (QStringList{"Invalid Setting"}));

    sheet->tfDPI()->setText(QStringLiteral("50"));
    sheet->dpiEdited();
    EXPECT_EQ(sheet->tfDPI()->text(), QStringLiteral("72"));
    EXPECT_EQ(sheet->stDPI()->intValue(), 72);

    // At OK a resolution above the limit is brought down and the sheet stays open.
    sheet->stDPI()->setValue(700);
    alerts.clear();
    sheet->OKClick();
    EXPECT_EQ(sheet->stDPI()->intValue(), 600);
    EXPECT_EQ(sheet->tfDPI()->text(), QStringLiteral("600"));
    EXPECT_EQ(alerts, (QStringList{"Invalid Setting"}));
    EXPECT_NE(sheet->result(), QDialog::Accepted);
}

TEST_F(CustomSizeTest, RemovingTheLastSizeResetsAndDisablesTheFields) {
    sheet->addRemoveCustomsizeAction(0);
    sheet->cusWidth()->setText(QStringLiteral("1234"));
    EXPECT_TRUE(sheet->cusWidth()->isEnabled());
    sheet->addRemoveCustomsizeAction(1);
    EXPECT_EQ(catalogue->customSizeCount(), 0);
    EXPECT_EQ(sheet->cusWidth()->text(), QStringLiteral("800"));
    EXPECT_EQ(sheet->cusHeight()->text(), QStringLiteral("600"));
    EXPECT_EQ(sheet->tfDPI()->text(), QStringLiteral("300"));
    EXPECT_EQ(sheet->pubUnit()->currentIndex(), KXSizeUnitPixel);
    EXPECT_FALSE(sheet->cusWidth()->isEnabled());
    EXPECT_FALSE(sheet->segment()->isSegmentEnabled(1));
}

// Switching the unit back and forth keeps the size for every pair of units, centimetres included.
TEST_F(CustomSizeTest, UnitChangesKeepTheSizeForEveryPair) {
    sheet->addRemoveCustomsizeAction(0);
    sheet->cusWidth()->setText(QStringLiteral("600"));
    sheet->cusHeight()->setText(QStringLiteral("900"));
    sheet->unitIsChanged(KXSizeUnitInch);
    EXPECT_EQ(sheet->cusWidth()->text(), QStringLiteral("2.00"));
    EXPECT_EQ(sheet->cusHeight()->text(), QStringLiteral("3.00"));
    const std::int64_t units[] = {KXSizeUnitPixel, KXSizeUnitMillimeter, KXSizeUnitInch, KXSizeUnitCentimeter};
    for (std::int64_t from : units) {
        for (std::int64_t to : units) {
            if (from == to)
                continue;
            sheet->unitIsChanged(int(from));
            const double pixels = KXCustomController::toPixels(sheet->cusWidth()->text().toDouble(), from, 300);
            sheet->unitIsChanged(int(to));
            const double converted = KXCustomController::toPixels(sheet->cusWidth()->text().toDouble(), to, 300);
            EXPECT_NE(sheet->cusWidth()->text().toDouble(), 0) << from << "->" << to;
            // Within what the shown decimals can hold (a hundredth of an inch is 3 pixels at 300 dpi).
            EXPECT_NEAR(converted, pixels, 3.0) << from << "->" << to;
            EXPECT_EQ(sheet->typeChangedBefore(), to);
            EXPECT_EQ(sheet->selectedItem()->unit(), to);
        }
    }
}

TEST_F(CustomSizeTest, TheCatalogueIsWrittenAtOkAndReadBackIdentically) {
    sheet->addRemoveCustomsizeAction(0);
    sheet->renameSelected(QStringLiteral("Card"));
    sheet->unitIsChanged(KXSizeUnitMillimeter);
    sheet->cusWidth()->setText(QStringLiteral("148.0"));
    sheet->cusHeight()->setText(QStringLiteral("105.0"));
    sheet->sizeFieldEdited(sheet->cusHeight());
    sheet->addRemoveCustomsizeAction(0);
    EXPECT_FALSE(QFile::exists(catalogue->customSizesPath()));
    sheet->OKClick();
    EXPECT_EQ(sheet->result(), QDialog::Accepted);
    ASSERT_TRUE(QFile::exists(catalogue->customSizesPath()));

    KXPageSizeManager reread(catalogue->customSizesPath());
    EXPECT_FALSE(reread.customSizesFileDamaged());
    ASSERT_EQ(reread.customSizeCount(), catalogue->customSizeCount());
    for (std::int64_t i = 0; i < reread.customSizeCount(); ++i) {
        const auto a = catalogue->customSizeAtIndex(i);
        const auto b = reread.customSizeAtIndex(i);
        EXPECT_EQ(a->desc(), b->desc());
        EXPECT_EQ(a->unit(), b->unit());
        EXPECT_EQ(a->dpi(), b->dpi());
        EXPECT_EQ(a->isLandscape(), b->isLandscape());
        EXPECT_FLOAT_EQ(float(a->width()), float(b->width()));
        EXPECT_FLOAT_EQ(float(a->height()), float(b->height()));
    }
    EXPECT_EQ(reread.customSizeAtIndex(0)->desc(), QStringLiteral("Card"));
    EXPECT_EQ(reread.customSizeAtIndex(0)->unit(), KXSizeUnitMillimeter);
}

TEST_F(CustomSizeTest, ADamagedCatalogueIsReportedAndReplacedOnlyByANewOne) {
    const QString path = dir.filePath(QStringLiteral("damaged"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("bplist00 this is not a list of sizes");
    file.close();
    KXPageSizeManager damaged(path);
    EXPECT_TRUE(damaged.customSizesFileDamaged());
    EXPECT_EQ(damaged.customSizeCount(), 0);
    // A missing file is no damage.
    EXPECT_FALSE(KXPageSizeManager(dir.filePath(QStringLiteral("none"))).customSizesFileDamaged());

    KXCustomController damagedSheet(&damaged);
    // The sheet says so when it is shown, once; the file is still there as it was.
    QTimer::singleShot(0, &damagedSheet, [&] { damagedSheet.OKClick(); });
    damagedSheet.runModal(nullptr);
    EXPECT_EQ(alerts.count(QStringLiteral("Your page sizes could not be read. The file is kept until you confirm new sizes with OK.")), 1);
    // OK wrote a whole new file in its place.
    KXPageSizeManager reread(path);
    EXPECT_FALSE(reread.customSizesFileDamaged());
}

}  // namespace
