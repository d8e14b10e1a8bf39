// The templates that ship with the application: every one opens with all its resources found, into as many
// pages as it says, renders through the page output, and has a preview per page for the chooser.
//
// With KX_WRITE_TEMPLATE_PREVIEWS=1 in the environment the test (re)writes the previews into the source tree
// instead of checking them: "Preview.jpg" for a one-page template, "Page 01.jpg", ... otherwise.
#include "reader_support.h"

#include "document/project.h"
#include "document/project_info.h"
#include "document/xml_conversion.h"
#include "model/calendar.h"
#include "model/canvas.h"
#include "platform/foundation/bundle.h"
#include "support/outside_tools.h"

#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

constexpr int kPreviewSide = 600;

class BuiltInTemplates : public BuiltInTemplatesTest {
protected:
    void SetUp() override {
        BuiltInTemplatesTest::SetUp();
        ASSERT_TRUE(dir.isValid());
    }

    static QStringList previewNames(std::size_t pages) {
        if (pages == 1)
            return {QStringLiteral("Preview.jpg")};
        QStringList names;
        for (std::size_t i = 1; i <= pages; ++i)
            names << QStringLiteral("Page %1.jpg").arg(i, 2, 10, QLatin1Char('0'));
        return names;
    }

    QTemporaryDir dir;
};

// The share of pixels that differ from the first one: a page that rendered as one flat colour has none.
double variedShare(const QImage& image) {
    const QRgb first = image.pixel(0, 0);
    qint64 differing = 0;
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3)
            differing += image.pixel(x, y) != first;
    return double(differing) / (double((image.height() + 2) / 3) * double((image.width() + 2) / 3));
}

TEST_F(BuiltInTemplates, EveryTemplateOpensWithAllItsResourcesAndRendersEachPage) {
    const bool writePreviews = qEnvironmentVariableIntValue("KX_WRITE_TEMPLATE_PREVIEWS") == 1;
    const QStringList folders = templateFolders();
    ASSERT_GE(folders.size(), 12);
    QSet<QString> categories;
    std::size_t longest = 0;
    int calendars = 0;
    for (const QString& folder : folders) {
        const std::string name = folder.toStdString();
        categories << QFileInfo(QFileInfo(folder).path()).fileName();
        const QString file = xmlTemplateFileInFolder(folder);
        ASSERT_EQ(QFileInfo(file).fileName(), QFileInfo(folder).fileName() + QStringLiteral(".tpl")) << name;

        KXXMLConversion result;
        QString error;
        ASSERT_TRUE(loadXMLTemplateWithPath(file, &result, &error)) << name << ": " << error.toStdString();
        EXPECT_EQ(errors, 0) << name;
        EXPECT_TRUE(result.missingResources.isEmpty())
            << name << ": " << result.missingResources.join(u',').toStdString();
        ASSERT_GE(result.pages.size(), 1u) << name;
        const auto info = KXProjectInfo::initWithFile(file);
        ASSERT_TRUE(info);
        EXPECT_EQ(result.pages.size(), std::size_t(info->page()->pageCount)) << name << ": every page is in the file";
        longest = std::max(longest, result.pages.size());

        const QStringList previews = previewNames(result.pages.size());
        if (writePreviews)
            for (const QString& old : QDir(folder).entryList({QStringLiteral("*.jpg")}, QDir::Files))
                QFile::remove(folder + u'/' + old);
        for (std::size_t i = 0; i < result.pages.size(); ++i) {
            const KXCanvas& page = *result.pages[i];
            EXPECT_GT(page.graphCount(), 0) << name << " page " << i;
            for (const auto& graph : page.graphs())
                calendars += graph->graphType() == KXGraphTypeCalendar;
            const kx::Image image = page.outputImageWithSize({kPreviewSide, kPreviewSide});
            ASSERT_FALSE(image.isNull()) << name << " page " << i;
            const QImage picture = image.qimage();
            EXPECT_EQ(std::max(picture.width(), picture.height()), kPreviewSide) << name;
            EXPECT_GT(variedShare(picture), 0.2) << name << " page " << i << " rendered nearly flat";
            const QString preview = folder + u'/' + previews[int(i)];
            if (writePreviews) {
                // The preview is drawn at the page's own size and scaled down, for the smoothest result.
                const kx::Image full = page.outputImageWithSize(page.pixelSize());
                ASSERT_FALSE(full.isNull()) << name;
                const QImage scaled = full.qimage().scaled(picture.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
                EXPECT_TRUE(scaled.convertToFormat(QImage::Format_RGB32).save(preview, "JPG", 88))
                    << preview.toStdString();
            }
            else
                EXPECT_TRUE(QFileInfo(preview).isFile()) << preview.toStdString() << " is missing";
        }
        // The chooser shows the JPEG files of the folder as the template's pages: exactly one per page.
        EXPECT_EQ(QDir(folder).entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name).join(u',').toStdString(),
                  previews.join(u',').toStdString())
            << name;
    }
    EXPECT_GE(categories.size(), 3);
    EXPECT_GE(longest, 12u) << "a twelve-month calendar";
    EXPECT_GE(calendars, 14) << "a one-month, a twelve-month and a year calendar";
}

// A template opened as a project keeps its resource images (background, clip-art) through a save and a
// reopen: the reopened page renders as the template did.
TEST_F(BuiltInTemplates, ATemplateOpenedAsAProjectKeepsItsResourcesThroughASave) {
    const QString file = xmlTemplateFileInFolder(kResources + QStringLiteral("/Templates/Cards/Birthday Balloons"));
    KXProject project;
    QString error;
    ASSERT_TRUE(project.loadProjectWithPath(file, &error)) << error.toStdString();
    EXPECT_TRUE(project.path().isEmpty()) << "a template opens untitled";
    EXPECT_TRUE(project.missingPhotos().isEmpty() && project.missingCliparts().isEmpty() &&
                project.missingMasks().isEmpty());
    ASSERT_GE(project.canvasCount(), 1);
    const QImage before = project.canvasAtIndex(0)->outputImageWithSize({300, 300}).qimage();

    const QString package = dir.filePath(QStringLiteral("Card.vrtp3"));
    ASSERT_TRUE(project.saveAsProjectToPath(package, KXSaveOperationSaveAs, &error)) << error.toStdString();
    KXProject reopened;
    ASSERT_TRUE(reopened.loadProjectWithPath(package, &error)) << error.toStdString();
    const QImage after = reopened.canvasAtIndex(0)->outputImageWithSize({300, 300}).qimage();
    ASSERT_EQ(after.size(), before.size());
    int differing = 0;
    for (int y = 0; y < before.height(); y += 4)
        for (int x = 0; x < before.width(); x += 4) {
            const QRgb a = before.pixel(x, y), b = after.pixel(x, y);
            differing += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b)) > 24;
        }
    EXPECT_LT(differing, 20) << "the reopened page renders differently";
}

TEST_F(BuiltInTemplates, TemplateFilesAreWellFormedForAnOutsideParser) {
    KX_REQUIRE_TOOLS("xmllint");
    const QString xmllint = kxtest::toolPath("xmllint");
    for (const QString& folder : templateFolders()) {
        QProcess lint;
        lint.start(xmllint, {QStringLiteral("--noout"), xmlTemplateFileInFolder(folder)});
        ASSERT_TRUE(lint.waitForFinished(30000));
        EXPECT_EQ(lint.exitCode(), 0) << folder.toStdString() << ": " << lint.readAllStandardError().toStdString();
    }
}

}  // namespace
