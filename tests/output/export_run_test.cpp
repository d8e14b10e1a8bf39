#include "output/export_run.h"
#include "output/gif_encoding.h"

#include "model/background.h"
#include "model/canvas.h"
#include "model/model_classes.h"
#include "model/page_size.h"
#include "file_bytes.h"
#include "support/outside_tools.h"
#include "support/event_wait.h"
#include "support/run_program.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace {

using kxtest::runProgram;

using kxtest::readFile;
using kxtest::writeFile;

// What an outside program printed; the test fails when it does not run cleanly.
QString output(const QString& program, const QStringList& arguments) {
    const kxtest::ProgramResult result = runProgram(program, arguments);
    EXPECT_TRUE(result.succeeded()) << program.toStdString() << ": " << result.standardError.constData();
    return QString::fromUtf8(result.standardOutput).trimmed();
}

class ExportRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerModelClasses();
        ASSERT_TRUE(dir.isValid());
    }

    // A page of one colour; the output copy is what the run renders.
    static std::shared_ptr<KXCanvas> page(double width, double height, KXSizeUnit unit, int dpi, kx::Color colour) {
        auto page = std::make_shared<KXCanvas>();
        const KXSize size(width, height, unit, dpi);
        page->setPageSize(&size);
        page->zoomToFitSize(page->pixelSize());
        auto fill = std::make_shared<KXBackground>();
        fill->setColor1(colour);
        page->setBackground(fill);
        return page->outputCopy();
    }
    static std::shared_ptr<KXCanvas> redInches() {
        return page(2, 1, KXSizeUnitInch, 300, kx::Color::srgb(1, 0, 0, 1));  // 600 x 300 pixels
    }
    static std::shared_ptr<KXCanvas> pixelPage(double w, double h, kx::Color c = kx::Color::srgb(0, 0, 1, 1)) {
        return page(w, h, KXSizeUnitPixel, 72, c);
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    // Names in the folder, sorted.
    static QStringList entries(const QString& folder) {
        return QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    }

    QTemporaryDir dir;
};

TEST_F(ExportRunTest, EachBitmapFormatIsWhatItsNameSaysWithSizeAndResolution) {
    KX_REQUIRE_TOOLS("identify");
    struct Case {
        const char* name;
        const char* magick;
    };
    const Case cases[] = {{"p.jpg", "JPEG"}, {"p.png", "PNG"}, {"p.tiff", "TIFF"}, {"p.bmp", "BMP"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const KXExportJob job{{redInches()}, path(c.name), QStringLiteral("x"), 85, {}};
        const KXExportResult result = runExport(job);
        ASSERT_EQ(result.outcome, KXExportOutcome::Written) << result.reason.toStdString();
        EXPECT_EQ(result.writtenFiles, QStringList{job.path});
        const QString info = output("identify", {"-units", "PixelsPerInch", "-format", "%m %w %h %x %y", job.path});
        const QStringList fields = info.split(u' ');
        ASSERT_EQ(fields.size(), 5) << info.toStdString();
        EXPECT_TRUE(fields[0].startsWith(QString::fromLatin1(c.magick))) << fields[0].toStdString();
        EXPECT_EQ(fields[1], "600");
        EXPECT_EQ(fields[2], "300");
        EXPECT_NEAR(fields[3].toDouble(), 300, 0.6);
        EXPECT_NEAR(fields[4].toDouble(), 300, 0.6);
    }
    EXPECT_EQ(output("identify", {"-format", "%Q", path("p.jpg")}), "85");
}

// A name ending in ".gif" gives a GIF file: the page reduced to a palette of its own colours.
TEST_F(ExportRunTest, AGIFNameGivesAGIFFileWithThePagesColours) {
    KX_REQUIRE_TOOLS("identify");
    const KXExportJob job{{redInches()}, path("p.gif"), QStringLiteral("x"), 85, {}};
    const KXExportResult result = runExport(job);
    ASSERT_EQ(result.outcome, KXExportOutcome::Written) << result.reason.toStdString();
    EXPECT_EQ(output("identify", {"-format", "%m %w %h", job.path}), "GIF 600 300");
    const QImage read(job.path);
    ASSERT_FALSE(read.isNull());
    EXPECT_EQ(read.pixelColor(300, 150), QColor(Qt::red));

    // A picture of many more colours than a palette holds comes out close to them everywhere.
    QImage many(256, 64, QImage::Format_RGB32);
    for (int y = 0; y < many.height(); ++y)
        for (int x = 0; x < many.width(); ++x)
            many.setPixelColor(x, y, QColor(x, (x * 7 + y * 3) % 256, y * 4));
    QString error;
    const QByteArray gif = encodeGif(many, &error);
    ASSERT_FALSE(gif.isEmpty()) << error.toStdString();
    const QImage back = QImage::fromData(gif, "GIF").convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(back.size(), many.size());
    double difference = 0;
    for (int y = 0; y < many.height(); ++y)
        for (int x = 0; x < many.width(); ++x) {
            const QColor a = many.pixelColor(x, y), b = back.pixelColor(x, y);
            difference += std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
        }
    EXPECT_LT(difference / (3.0 * many.width() * many.height()), 12);
    EXPECT_TRUE(encodeGif(QImage(), &error).isEmpty());
}

TEST_F(ExportRunTest, APageMeasuredInPixelsRecordsSeventyTwoDotsPerInch) {
    KX_REQUIRE_TOOLS("identify");
    const KXExportJob job{{pixelPage(120, 80)}, path("px.png"), QStringLiteral("png"), 100, {}};
    ASSERT_EQ(runExport(job).outcome, KXExportOutcome::Written);
    const QStringList fields = output("identify", {"-units", "PixelsPerInch", "-format", "%w %h %x", job.path}).split(u' ');
    ASSERT_EQ(fields.size(), 3);
    EXPECT_EQ(fields[0], "120");
    EXPECT_EQ(fields[1], "80");
    EXPECT_NEAR(fields[2].toDouble(), 72, 0.6);
}

TEST_F(ExportRunTest, SeveralPagesGoIntoTheFolderEachAtItsOwnSizeLeavingOtherFilesAlone) {
    KX_REQUIRE_TOOLS("identify");
    const QString folder = path("Card");
    ASSERT_TRUE(QDir().mkpath(folder + "/sub"));
    const QByteArray notes = "notes kept\n", old = "an older export\n", nested = "nested\n";
    ASSERT_TRUE(writeFile(folder + "/notes.txt", notes));
    ASSERT_TRUE(writeFile(folder + "/Card_2.png", old));
    ASSERT_TRUE(writeFile(folder + "/sub/inner.txt", nested));
    const KXExportJob job{{pixelPage(100, 50), pixelPage(40, 90), pixelPage(70, 70)}, folder, QStringLiteral("png"), 90, {}};
    const KXExportResult result = runExport(job);
    ASSERT_EQ(result.outcome, KXExportOutcome::Written) << result.reason.toStdString();
    EXPECT_EQ(entries(folder), (QStringList{"Card_1.png", "Card_2.png", "Card_3.png", "notes.txt", "sub"}));
    EXPECT_EQ(readFile(folder + "/notes.txt"), notes);
    EXPECT_EQ(readFile(folder + "/sub/inner.txt"), nested);
    const char* sizes[] = {"100 50", "40 90", "70 70"};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(output("identify", {"-format", "%m %w %h", QStringLiteral("%1/Card_%2.png").arg(folder).arg(i + 1)}),
                  QStringLiteral("PNG ") + sizes[i]);
}

TEST_F(ExportRunTest, SeveralPagesAsLayeredPSDFiles) {
    KX_REQUIRE_TOOLS("/usr/bin/python3");
    const QString folder = path("Card");
    const KXExportJob job{{pixelPage(64, 32), pixelPage(32, 48)}, folder, QStringLiteral("psd"), 90, {}};
    ASSERT_EQ(runExport(job).outcome, KXExportOutcome::Written);
    EXPECT_EQ(entries(folder), (QStringList{"Card_1.psd", "Card_2.psd"}));
    const QString script = QStringLiteral(
        "import sys\nfrom psd_tools import PSDImage\n"
        "for p in sys.argv[1:]:\n    d = PSDImage.open(p)\n    print(d.width, d.height, len(list(d)), d.composite().getpixel((1, 1))[:3])\n");
    const QString out = output("/usr/bin/python3", {"-c", script, folder + "/Card_1.psd", folder + "/Card_2.psd"});
    EXPECT_EQ(out, "64 32 1 (0, 0, 255)\n32 48 1 (0, 0, 255)");
}

TEST_F(ExportRunTest, APSDFileRecordsThePagesResolution) {
    KX_REQUIRE_TOOLS("identify");
    const KXExportJob job{{redInches()}, path("one.psd"), QStringLiteral("psd"), 90, {}};
    ASSERT_EQ(runExport(job).outcome, KXExportOutcome::Written);
    const QStringList fields =
        output("identify", {"-units", "PixelsPerInch", "-format", "%w %h %x %y\n", job.path + "[0]"}).split(u' ');
    ASSERT_EQ(fields.size(), 4);
    EXPECT_EQ(fields[0], "600");
    EXPECT_EQ(fields[1], "300");
    EXPECT_NEAR(fields[2].toDouble(), 300, 0.6);
    EXPECT_NEAR(fields[3].toDouble(), 300, 0.6);
}

TEST_F(ExportRunTest, PDFHasAPageOfItsOwnSizePerPageWithItsInformationAndOneJPEGAtTwiceThePixels) {
    KX_REQUIRE_TOOLS("pdfinfo", "pdfimages", "pdftoppm");
    // A page measured in pixels at 300 dpi is sized by its resolution too.
    const KXExportJob job{{redInches(), pixelPage(200, 100, kx::Color::srgb(0, 1, 0, 1)),
                           page(600, 300, KXSizeUnitPixel, 300, kx::Color::srgb(0, 0, 1, 1))},
                          path("Doc.pdf"), QStringLiteral("jpg"), 100,
                          {QStringLiteral("My Title"), QStringLiteral("Ann"), QStringLiteral("Cards"), QStringLiteral("red, green")}};
    const KXExportResult result = runExport(job);
    ASSERT_EQ(result.outcome, KXExportOutcome::Written) << result.reason.toStdString();
    const QString info = output("pdfinfo", {"-f", "1", "-l", "3", job.path});
    EXPECT_TRUE(info.contains(QRegularExpression("Title: +My Title\n"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression("Author: +Ann\n")));
    EXPECT_TRUE(info.contains(QRegularExpression("Subject: +Cards\n")));
    EXPECT_TRUE(info.contains(QRegularExpression("Keywords: +red, green\n")));
    EXPECT_TRUE(info.contains(QRegularExpression("Pages: +3\n")));
    // 600 x 300 pixels at 300 dpi are 144 x 72 points; a pixel page is as many points as pixels.
    EXPECT_TRUE(info.contains(QRegularExpression("Page +1 size: +144 x 72 pts"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression("Page +2 size: +200 x 100 pts"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression("Page +3 size: +144 x 72 pts"))) << info.toStdString();
    const QStringList images = output("pdfimages", {"-list", job.path}).split(u'\n').mid(2);
    ASSERT_EQ(images.size(), 3);
    const char* expected[] = {"1200 +600 .*jpeg", "400 +200 .*jpeg", "1200 +600 .*jpeg"};
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(images[i].contains(QRegularExpression(QString::fromLatin1(expected[i])))) << images[i].toStdString();
    // The colours survive: a middle pixel of each page.
    const QString ppm = path("probe");
    output("pdftoppm", {"-r", "18", "-png", job.path, ppm});
    const QImage first(ppm + "-1.png"), second(ppm + "-2.png");
    ASSERT_FALSE(first.isNull());
    ASSERT_FALSE(second.isNull());
    const QColor a = first.pixelColor(first.width() / 2, first.height() / 2);
    const QColor b = second.pixelColor(second.width() / 2, second.height() / 2);
    EXPECT_GT(a.red(), 240); EXPECT_LT(a.green(), 15); EXPECT_LT(a.blue(), 15);
    EXPECT_LT(b.red(), 15); EXPECT_GT(b.green(), 240); EXPECT_LT(b.blue(), 15);
}

TEST_F(ExportRunTest, DefaultPDFInformationAndPageSize) {
    const KXPdfInfo info = defaultPdfInfo(QStringLiteral("/x/Summer Card.pdf"), QStringLiteral("App"));
    EXPECT_EQ(info.title, "Summer Card");
    EXPECT_EQ(info.author, "App");
    EXPECT_EQ(info.subject, "None");
    EXPECT_EQ(info.keywords, "None");
    EXPECT_EQ(pdfPageSize({2480, 3508}, 300), kx::Size(595, 842));
    EXPECT_EQ(pdfPageSize({500, 300}, 72), kx::Size(500, 300));
}

TEST_F(ExportRunTest, AFailingPageIsNamedAndLeavesNoFileUnderItsName) {
    const QString folder = path("Card");
    // A page without area cannot be rendered.
    const KXExportJob job{{pixelPage(30, 20), pixelPage(0, 0), pixelPage(30, 20)}, folder, QStringLiteral("jpg"), 80, {}};
    const KXExportResult result = runExport(job);
    EXPECT_EQ(result.outcome, KXExportOutcome::Failed);
    EXPECT_EQ(result.failedPage, 2);
    EXPECT_FALSE(result.reason.isEmpty());
    EXPECT_EQ(result.writtenFiles, QStringList{folder + "/Card_1.jpg"});
    EXPECT_EQ(entries(folder), QStringList{"Card_1.jpg"});

    const KXExportJob pdf{{pixelPage(30, 20), pixelPage(0, 0)}, path("Doc.pdf"), QStringLiteral("jpg"), 80, {}};
    const KXExportResult pdfResult = runExport(pdf);
    EXPECT_EQ(pdfResult.outcome, KXExportOutcome::Failed);
    EXPECT_EQ(pdfResult.failedPage, 2);
    EXPECT_FALSE(QFileInfo::exists(pdf.path));
}

TEST_F(ExportRunTest, AnExistingFileIsReplacedOnlyWhenTheNewOneIsComplete) {
    const QString file = path("one.png");
    ASSERT_TRUE(writeFile(file, "old"));
    const KXExportJob failing{{pixelPage(0, 0)}, file, QStringLiteral("png"), 80, {}};
    EXPECT_EQ(runExport(failing).outcome, KXExportOutcome::Failed);
    EXPECT_EQ(readFile(file), "old");
    const KXExportJob good{{pixelPage(10, 10)}, file, QStringLiteral("png"), 80, {}};
    EXPECT_EQ(runExport(good).outcome, KXExportOutcome::Written);
    EXPECT_FALSE(QImage(file).isNull());
    EXPECT_EQ(entries(dir.path()), QStringList{"one.png"});
}

TEST_F(ExportRunTest, TargetsThatCannotHoldTheRunAreRefusedUntouched) {
    const QString folder = path("Taken");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(writeFile(folder + "/keep.txt", "k"));
    // One page cannot replace a folder; several pages cannot go into a file.
    EXPECT_EQ(runExport({{pixelPage(10, 10)}, folder, QStringLiteral("png"), 80, {}}).outcome, KXExportOutcome::Failed);
    EXPECT_EQ(runExport({{pixelPage(10, 10)}, folder, QStringLiteral("pdf"), 80, {}}).outcome, KXExportOutcome::Failed);
    EXPECT_EQ(entries(folder), QStringList{"keep.txt"});
    const QString file = path("plain.png");
    ASSERT_TRUE(writeFile(file, "p"));
    EXPECT_EQ(runExport({{pixelPage(10, 10), pixelPage(10, 10)}, file, QStringLiteral("png"), 80, {}}).outcome,
              KXExportOutcome::Failed);
    EXPECT_EQ(readFile(file), "p");
}

TEST_F(ExportRunTest, CancelStopsBetweenPagesAfterWaitingOutThePause) {
    const QString folder = path("Card");
    int waits = 0, asked = 0;
    KXExportControl control;
    control.waitWhilePausing = [&] { ++waits; };
    // Cancelled once the first page is written.
    control.isCancelled = [&] { return ++asked > 2; };
    const KXExportJob job{{pixelPage(10, 10), pixelPage(10, 10), pixelPage(10, 10)}, folder, QStringLiteral("png"), 80, {}};
    const KXExportResult result = runExport(job, control);
    EXPECT_EQ(result.outcome, KXExportOutcome::Cancelled);
    EXPECT_EQ(result.writtenFiles, QStringList{folder + "/Card_1.png"});
    EXPECT_EQ(entries(folder), QStringList{"Card_1.png"});
    EXPECT_EQ(waits, asked);

    asked = 0;
    const KXExportJob pdf{{pixelPage(10, 10), pixelPage(10, 10)}, path("Doc.pdf"), QStringLiteral("png"), 80, {}};
    EXPECT_EQ(runExport(pdf, control).outcome, KXExportOutcome::Cancelled);
    EXPECT_FALSE(QFileInfo::exists(pdf.path));
}

// Run by the test below in a child process that it kills: many large pages into the folder it names.
TEST_F(ExportRunTest, DISABLED_ChildExportingUntilKilled) {
    const QString folder = qEnvironmentVariable("KX_EXPORT_KILL_FOLDER");
    ASSERT_FALSE(folder.isEmpty());
    std::vector<std::shared_ptr<KXCanvas>> pages;
    for (int i = 0; i < 40; ++i)
        pages.push_back(pixelPage(3000, 3000, kx::Color::srgb(0.1 * (i % 10), 0.5, 1, 1)));
    runExport({pages, folder, QStringLiteral("bmp"), 100, {}});
}

TEST_F(ExportRunTest, ARunKilledInTheMiddleLeavesOnlyCompleteFilesUnderFinalNames) {
    const QString folder = path("Killed");
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KX_EXPORT_KILL_FOLDER", folder);
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_also_run_disabled_tests", "--gtest_filter=ExportRunTest.DISABLED_ChildExportingUntilKilled"});
    ASSERT_TRUE(child.waitForStarted());
    const auto finalFiles = [&] {
        return QDir(folder).entryList({"Killed_*.bmp"}, QDir::Files, QDir::Name);
    };
    // Killed while it writes: soon after its second page is in place.
    ASSERT_TRUE(kxtest::processEventsUntil([&] { return finalFiles().size() >= 2; }, 300000));
    child.kill();
    ASSERT_TRUE(child.waitForFinished(30000));
    const QStringList files = finalFiles();
    ASSERT_LT(files.size(), 40);
    // Every page's file has the same length, the length of a complete one.
    const qsizetype complete = 54 + qsizetype(3000) * 3000 * 3;
    for (const QString& name : files)
        EXPECT_EQ(QFileInfo(folder + u'/' + name).size(), complete) << name.toStdString();
}

}  // namespace
