#include "output/print_view.h"

#include "model/model_classes.h"
#include "output/print_view_controller.h"
#include "support/outside_tools.h"
#include "print_probe.h"

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using printtest::isBlue;
using printtest::isWhite;
using printtest::makePage;

TEST(PrintScaleTest, FitScaleTakesTheSideThatFillsFirstAndStopsAtTen) {
    struct Case {
        kx::Size page, printable;
        double scale;
    };
    const Case cases[] = {
        {{1080, 720}, {540, 720}, 0.5},          // the width decides
        {{720, 1080}, {540, 720}, 720.0 / 1080},  // the height decides
        {{540, 720}, {540, 720}, 1},
        {{36, 36}, {540, 720}, 10},  // 15 is capped
        {{100, 100}, {540, 720}, 5.4},
        {{0, 36}, {540, 720}, 0},
        {{36, 36}, {0, 0}, 0},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(printFitScale(c.page, c.printable), c.scale)
            << c.page.width << "x" << c.page.height << " into " << c.printable.width << "x" << c.printable.height;
    }
}

TEST(PrintScaleTest, TypedScalesBelowOnePercentBecomeTenAndAboveAThousandAThousand) {
    const std::pair<double, double> cases[] = {{0, 10}, {-5, 10}, {5000, 1000}, {1000, 1000}, {250, 250}, {1, 1}, {0.5, 0.5}};
    for (const auto& [typed, percent] : cases)
        EXPECT_DOUBLE_EQ(printScalePercent(typed), percent) << typed;
}

class PrintOptionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        printtest::printToPdf(info.printer(), dir.filePath("out.pdf"), 540, 720);
        options.setPageSize({1080, 720});
        options.setRepresentedObject(&info);
    }
    void type(const QString& text) {
        options.tfScale()->setText(text);
        options.controlTextDidChange();
    }
    void chooseType(int item) {
        options.btTileFill()->setCurrentIndex(item);
        options.printTypeChanged();
    }
    void setFit(bool on) {
        options.btFitPage()->setChecked(on);
        options.enableFitPage();
    }

    QTemporaryDir dir;
    KXPrintInfo info;
    KXPrintViewController options;
};

TEST_F(PrintOptionsTest, ResetFitsThePageIntoThePrintableArea) {
    EXPECT_TRUE(options.btFitPage()->isChecked());
    EXPECT_EQ(options.btTileFill()->currentIndex(), 0);
    EXPECT_FALSE(options.tileEnabled());
    EXPECT_FALSE(options.suitPage());
    EXPECT_TRUE(options.generalEnable());
    EXPECT_DOUBLE_EQ(options.scale(), 0.5);
    EXPECT_DOUBLE_EQ(info.scalingFactor(), 0.5);
    EXPECT_EQ(options.tfScale()->text(), "50");
    // A fitted page shows its scale; the field edits once fit to page is off.
    EXPECT_FALSE(options.tfScale()->isEnabled());
    setFit(false);
    EXPECT_TRUE(options.tfScale()->isEnabled());
}

TEST_F(PrintOptionsTest, TheScaleFieldKeepsItsRuleAndSaysSoInItsToolTip) {
    setFit(false);
    const struct {
        const char* typed;
        const char* shown;
        double scale;
    } cases[] = {{"0", "10", 0.1}, {"-20", "10", 0.1}, {"", "10", 0.1}, {"5000", "1000", 10}, {"250", "250", 2.5}};
    for (const auto& c : cases) {
        type(QString::fromLatin1(c.typed));
        EXPECT_EQ(options.tfScale()->text(), QString::fromLatin1(c.shown)) << c.typed;
        EXPECT_DOUBLE_EQ(options.scale(), c.scale) << c.typed;
        EXPECT_DOUBLE_EQ(info.scalingFactor(), c.scale) << c.typed;
    }
    // The end of editing follows the same rule.
    options.tfScale()->setText(QStringLiteral("0"));
    options.controlTextDidEndEditing();
    EXPECT_EQ(options.tfScale()->text(), "10");
    const QString tip = options.tfScale()->toolTip();
    EXPECT_TRUE(tip.contains(QStringLiteral("10 per cent")) && tip.contains(QStringLiteral("1000"))) << tip.toStdString();
}

TEST_F(PrintOptionsTest, TilingAlwaysTakesTheScaleFromTheField) {
    setFit(false);
    type(QStringLiteral("40"));
    setFit(true);
    EXPECT_DOUBLE_EQ(options.scale(), 0.5);  // fitted again
    chooseType(1);
    EXPECT_TRUE(options.tileEnabled());
    EXPECT_TRUE(options.suitPage());
    EXPECT_FALSE(options.generalEnable());
    EXPECT_FALSE(options.btFitPage()->isEnabled());
    EXPECT_TRUE(options.btFitPage()->isChecked());
    EXPECT_TRUE(options.tfScale()->isEnabled());
    EXPECT_DOUBLE_EQ(options.scale(), 0.5);  // the field shows the fitted 50 now, and tiling takes it
    type(QStringLiteral("25"));
    EXPECT_DOUBLE_EQ(options.scale(), 0.25);
    chooseType(0);
    EXPECT_FALSE(options.suitPage());
    EXPECT_TRUE(options.btFitPage()->isEnabled());
    EXPECT_DOUBLE_EQ(options.scale(), 0.5);
    // A new print information resets the choices.
    chooseType(1);
    options.setRepresentedObject(&info);
    EXPECT_FALSE(options.tileEnabled());
    EXPECT_EQ(options.btTileFill()->currentIndex(), 0);
}

// A view of the pages with the options' scale and tiling over the printable area of `info`.
class PrintViewTest : public PrintOptionsTest {
protected:
    void SetUp() override {
        registerModelClasses();
        PrintOptionsTest::SetUp();
    }
    KXPrintView& viewOf(std::vector<std::shared_ptr<KXCanvas>> pages, const kx::Size& pageSizeInPoints) {
        const kx::Size pixels = pages.front()->pixelSize();
        view = std::make_unique<KXPrintView>(kx::Rect(0, 0, pixels.width, pixels.height));
        view->setMaxPage(int(pages.size()));
        for (const auto& page : pages)
            view->addCanvas(page->outputCopy());
        options.setPageSize(pageSizeInPoints);
        view->setPrintData(&options);
        options.setRepresentedObject(&info);
        return *view;
    }
    QString print(KXPrintTarget target, const QString& name = QStringLiteral("out.pdf")) {
        const QString file = dir.filePath(name);
        info.printer().setOutputFileName(file);
        EXPECT_TRUE(view->print(info.printer(), target));
        return file;
    }
    std::unique_ptr<KXPrintView> view;
};

TEST_F(PrintViewTest, ThreePagesPrintThreeSheetsAndAFourthDrawsNothing) {
    KXPrintView& v = viewOf({makePage(100, 100), makePage(100, 100), makePage(100, 100)}, {100, 100});
    int first = 0, last = 0;
    EXPECT_TRUE(v.knowsPageRange(&first, &last));
    EXPECT_EQ(first, 1);
    EXPECT_EQ(last, 3);
    EXPECT_EQ(v.frame().size, kx::Size(540, 720));
    QImage sheet(540, 720, QImage::Format_ARGB32_Premultiplied);
    for (int page : {3, 4}) {
        sheet.fill(Qt::white);
        EXPECT_EQ(v.rectForPage(page), v.bounds());
        EXPECT_EQ(v.currentPage(), page);
        QPainter painter(&sheet);
        v.drawRect(painter, KXPrintTarget::Preview, 72);
        painter.end();
        EXPECT_EQ(isBlue(sheet, 270, 360), page == 3) << page;
    }
}

TEST_F(PrintViewTest, ATileUnderAPointDrawsNothingRatherThanEndlessTiles) {
    // A page of 4 x 4 pixels at 72 dpi tiled at 10 per cent: a sheet rectangle of 0.4 points rounds to none.
    KXPrintView& v = viewOf({makePage(4, 4)}, {4, 4});
    chooseType(1);
    type(QStringLiteral("10"));
    EXPECT_EQ(v.sheetRect().size, kx::Size(0, 0));
    QImage sheet(540, 720, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    v.rectForPage(1);
    v.drawRect(painter, KXPrintTarget::Printer, 300);
    painter.end();
    EXPECT_TRUE(isWhite(sheet, 0, 719));
    EXPECT_TRUE(isWhite(sheet, 270, 360));
}

TEST_F(PrintViewTest, APdfHasOneSheetPerPageWithTheFittedPageCentred) {
    KX_REQUIRE_TOOLS("pdfinfo", "pdftoppm");
    viewOf({makePage(1080, 720), makePage(1080, 720), makePage(1080, 720)}, {1080, 720});
    const QString file = print(KXPrintTarget::Printer);
    const printtest::PdfSheets sheets = printtest::pdfSheets(file);
    EXPECT_EQ(sheets.pages, 3);
    EXPECT_EQ(sheets.pageSize, QSizeF(540, 720));
    // Scale 0.5: 540 x 360 points, centred from y 180 to 540.
    for (int sheet : {1, 3}) {
        const QImage image = printtest::pdfSheetImage(file, sheet, dir.filePath(QStringLiteral("sheet%1").arg(sheet)));
        ASSERT_EQ(image.size(), QSize(540, 720));
        EXPECT_TRUE(isWhite(image, 270, 176));
        EXPECT_TRUE(isBlue(image, 270, 184));
        EXPECT_TRUE(isBlue(image, 2, 360));
        EXPECT_TRUE(isBlue(image, 537, 360));
        EXPECT_TRUE(isBlue(image, 270, 536));
        EXPECT_TRUE(isWhite(image, 270, 544));
    }
}

TEST_F(PrintViewTest, AnAskedScaleCentresThePageAtThatSize) {
    KX_REQUIRE_TOOLS("pdftoppm");
    viewOf({makePage(1080, 720)}, {1080, 720});
    setFit(false);
    type(QStringLiteral("25"));
    const QString file = print(KXPrintTarget::Printer);
    const QImage image = printtest::pdfSheetImage(file, 1, dir.filePath("sheet"));
    ASSERT_EQ(image.size(), QSize(540, 720));
    // 270 x 180 points centred: x 135 to 405, y 270 to 450.
    const struct {
        int x, y;
        bool blue;
    } probes[] = {{131, 360, false}, {139, 360, true}, {401, 360, true}, {409, 360, false},
                  {270, 266, false}, {270, 274, true}, {270, 446, true}, {270, 454, false}};
    for (const auto& p : probes)
        EXPECT_EQ(isBlue(image, p.x, p.y), p.blue) << p.x << "," << p.y;
    EXPECT_TRUE(isWhite(image, 20, 20));
}

TEST_F(PrintViewTest, TilesRepeatTheScaledPageFromTheBottomLeftCorner) {
    KX_REQUIRE_TOOLS("pdftoppm");
    // Tiles of 100 x 50 points; the horizontal gradient shows each tile's left and right ends, the vertical
    // one its bottom and top. 720 is not a whole number of tiles, so the bottom row is whole and the top
    // row cut.
    for (double angle : {0.0, 90.0}) {
        viewOf({makePage(200, 100, 72, {}, angle)}, {200, 100});
        chooseType(1);
        type(QStringLiteral("50"));
        const QString file = print(KXPrintTarget::Printer, QStringLiteral("tiles%1.pdf").arg(angle));
        const QImage image = printtest::pdfSheetImage(file, 1, dir.filePath(QStringLiteral("tiles%1").arg(angle)));
        ASSERT_EQ(image.size(), QSize(540, 720));
        // Points of the first tile (x from the left, y from the bottom) and the same points one and two tiles on.
        const QPoint inTile[] = {{3, 3}, {96, 3}, {3, 46}, {96, 46}, {50, 25}};
        for (const QPoint& p : inTile) {
            const QColor here = image.pixelColor(p.x(), 719 - p.y());
            for (const QPoint& step : {QPoint(100, 0), QPoint(400, 0), QPoint(0, 50), QPoint(0, 600), QPoint(300, 300)}) {
                const QColor there = image.pixelColor(p.x() + step.x(), 719 - p.y() - step.y());
                EXPECT_NEAR(here.red(), there.red(), 8) << angle << " at " << p.x() << "," << p.y() << " + " << step.x() << "," << step.y();
                EXPECT_NEAR(here.blue(), there.blue(), 8) << angle << " at " << p.x() << "," << p.y();
            }
        }
        // Within a tile the gradient runs from red to blue: one end differs from the other.
        const QColor start = image.pixelColor(3, 716), end = angle == 0 ? image.pixelColor(96, 716) : image.pixelColor(3, 673);
        EXPECT_GT(std::abs(start.red() - end.red()), 150) << angle;
        for (int x : {0, 539})
            EXPECT_FALSE(isWhite(image, x, 0)) << "the sheet is covered to its top row";
    }
}

TEST_F(PrintViewTest, ThePrinterGetsThePagesPixelsTimesTheScaleAndThePreviewItsPointSize) {
    KX_REQUIRE_TOOLS("pdfimages");
    // 3000 x 2400 pixels at 300 dpi: 720 x 576 points, fitted into 540 x 720 at 0.75.
    viewOf({makePage(3000, 2400, 300)}, {720, 576});
    EXPECT_DOUBLE_EQ(options.scale(), 0.75);
    EXPECT_EQ(printtest::pdfImageSizes(print(KXPrintTarget::Printer)), QList<QSize>{QSize(2250, 1800)});
    EXPECT_EQ(printtest::pdfImageSizes(print(KXPrintTarget::Preview, QStringLiteral("preview.pdf"))),
              QList<QSize>{QSize(540, 432)});
    // Tiles too: at the page's resolution for the printer, at point size in the preview.
    chooseType(1);
    type(QStringLiteral("20"));
    const kx::Size printed = view->bitmapSize(*view->canvases().front(), KXPrintTarget::Printer, 1200);
    EXPECT_EQ(printed, kx::Size(600, 480));
    EXPECT_EQ(view->bitmapSize(*view->canvases().front(), KXPrintTarget::Preview, 1200), kx::Size(144, 115));
}

TEST_F(PrintViewTest, TheBitmapIsNeverFinerThanThePrinterNorLargerThanABitmapMayBe) {
    viewOf({makePage(3000, 2400, 300)}, {720, 576});
    setFit(false);
    type(QStringLiteral("1000"));
    KXCanvas& page = *view->canvases().front();
    // 7200 x 5760 points at 1200 dpi would be 120000 x 96000; the page's own 30000 x 24000 is less, but too
    // many pixels for one bitmap: it is made smaller in the page's shape.
    const kx::Size big = view->bitmapSize(page, KXPrintTarget::Printer, 1200);
    EXPECT_LE(big.width * big.height, double(kx::Image::maximumPixelCount) / 4);
    EXPECT_GT(big.width * big.height, double(kx::Image::maximumPixelCount) / 5);
    EXPECT_NEAR(big.width / big.height, 1.25, 0.01);
    // At 72 dpi the printer prints no more than the sheet's points.
    type(QStringLiteral("100"));
    EXPECT_EQ(view->bitmapSize(page, KXPrintTarget::Printer, 72), kx::Size(720, 576));
    EXPECT_EQ(view->bitmapSize(page, KXPrintTarget::Printer, 600), kx::Size(3000, 2400));
}

}  // namespace
