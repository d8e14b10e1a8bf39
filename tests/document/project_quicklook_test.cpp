// The Quick Look files of packages and templates, read back with outside tools.
#include "project_test_support.h"

#include "model/background.h"

#include <QPainter>
#include <QProcess>
#include <QRegularExpression>

using namespace kxtest;

namespace {

// Output of a tool on a file.
QString run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForFinished(60000)) << program.toStdString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

class QuickLookTest : public ProjectTest {
protected:
    void SetUp() override {
        ProjectTest::SetUp();
        // Draws the page fitted into the size, in a grey that tells its number of graphs.
        KXProject::setPageRenderer([this](KXCanvas& page, const kx::Size& box) {
            const kx::Size pixels = page.pixelSize();
            const double scale = std::min(box.width / pixels.width, box.height / pixels.height);
            QImage image(int(std::lround(pixels.width * scale)), int(std::lround(pixels.height * scale)), QImage::Format_RGB32);
            image.fill(QColor(40 * int(page.graphCount()), 40 * int(page.graphCount()), 40 * int(page.graphCount())));
            renderedSizes.push_back(image.size());
            return kx::Image(image);
        });
    }
    void TearDown() override {
        KXProject::setPageRenderer({});
        ProjectTest::TearDown();
    }
    // A project of pages of the pixel size; page i holds i photos.
    std::unique_ptr<KXProject> projectOfPages(int pages, double width, double height) {
        auto project = std::make_unique<KXProject>();
        for (int i = 1; i < pages; ++i)
            project->createNewLayerWithCanvas(std::make_shared<KXCanvas>());
        project->setPageSize(KXSize(width, height, KXSizeUnitPixel, 72));
        for (int i = 0; i < pages; ++i)
            for (int g = 0; g < i; ++g)
                addPhoto(*project->canvasAtIndex(i), {});
        renderedSizes.clear();
        return project;
    }
    std::vector<QSize> renderedSizes;
};

TEST_F(QuickLookTest, AProjectSaveWritesAThumbnailAndAPreviewOfEveryPageThatOutsideToolsRead) {
    auto project = projectOfPages(3, 3000, 2000);
    const QString package = at("P.vrtp3");
    ASSERT_TRUE(project->saveAsProjectToPath(package, KXSaveOperationSave));
    EXPECT_EQ(filesIn(package + "/QuickLook"), (QStringList{"Preview.pdf", "Thumbnail.jpg"}));
    EXPECT_EQ(run("identify", {"-format", "%m %w %h", package + "/QuickLook/Thumbnail.jpg"}), "JPEG 256 171");
    // Every page rendered at twice the 450 x 300 box.
    EXPECT_EQ(renderedSizes, (std::vector<QSize>{{256, 171}, {900, 600}, {900, 600}, {900, 600}}));
    const QString info = run("pdfinfo", {package + "/QuickLook/Preview.pdf"});
    EXPECT_TRUE(info.contains(QRegularExpression("Title: +preview\\n"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression("Subject: +None\\n"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression("Keywords: +None\\n"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression("Author: ")));
    EXPECT_TRUE(info.contains(QRegularExpression("Pages: +3\\n")));
    EXPECT_TRUE(info.contains(QRegularExpression("Page size: +450 x 300 pts")));
    const QStringList images = run("pdfimages", {"-list", package + "/QuickLook/Preview.pdf"}).split('\n').filter(" jpeg ");
    ASSERT_EQ(images.size(), 3);
    for (const QString& line : images)
        EXPECT_TRUE(line.contains(QRegularExpression("image +900 +600 "))) << line.toStdString();
    // The pages' greys come back from the PDF in page order.
    run("pdftoppm", {"-r", "72", "-png", package + "/QuickLook/Preview.pdf", at("page")});
    for (int i = 0; i < 3; ++i) {
        const QImage page(at(QStringLiteral("page-%1.png").arg(i + 1)));
        ASSERT_FALSE(page.isNull());
        EXPECT_NEAR(qGray(page.pixel(225, 150)), 40 * i, 4) << "page " << i;
    }
}

TEST_F(QuickLookTest, TemplatesGetAThumbnailForOnePageAndAPreviewForMore) {
    auto one = projectOfPages(1, 1000, 1000);
    ASSERT_TRUE(one->saveAsTemplateToPath(at("One.tpl")));
    EXPECT_EQ(filesIn(at("One.tpl/QuickLook")), QStringList{"Thumbnail.jpg"});
    EXPECT_EQ(run("identify", {"-format", "%w %h", at("One.tpl/QuickLook/Thumbnail.jpg")}), "600 600");
    auto three = projectOfPages(3, 1000, 1000);
    ASSERT_TRUE(three->saveAsTemplateToPath(at("Three.tpl")));
    EXPECT_EQ(filesIn(at("Three.tpl/QuickLook")), QStringList{"Preview.pdf"});
    EXPECT_TRUE(run("pdfinfo", {at("Three.tpl/QuickLook/Preview.pdf")}).contains(QRegularExpression("Pages: +3\\n")));
}

}  // namespace

// Without a replacement the Quick Look files come from the page output itself: the thumbnail shows the page's
// own background, and the save leaves the page's preview size as it was.
TEST_F(ProjectTest, QuickLookFilesAreRenderedThroughThePageOutput) {
    KXProject project;
    project.setPageSize(KXSize(3000, 2000, KXSizeUnitPixel, 72));
    KXCanvas& page = *project.canvasAtIndex(0);
    page.background()->setFillType(KXFillTypeColor);
    page.background()->setColorType(KXColorTypeSolid);
    page.background()->setColor1(kx::Color::srgb(0, 0.5, 1));
    const kx::Size previewBefore = page.previewSize();
    ASSERT_TRUE(project.saveAsProjectToPath(at("Real.vrtp3"), KXSaveOperationSave));
    const QImage thumbnail(at("Real.vrtp3/QuickLook/Thumbnail.jpg"));
    ASSERT_EQ(thumbnail.size(), QSize(256, 171));
    const QColor centre = thumbnail.pixelColor(128, 85);
    EXPECT_NEAR(centre.red(), 0, 6);
    EXPECT_NEAR(centre.green(), 128, 6);
    EXPECT_NEAR(centre.blue(), 255, 6);
    EXPECT_EQ(page.previewSize(), previewBefore);
    EXPECT_TRUE(QFileInfo(at("Real.vrtp3/QuickLook/Preview.pdf")).isFile());
}
