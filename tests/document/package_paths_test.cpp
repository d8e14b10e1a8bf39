// Packages read as the files they hold: a copy reads its own images, clip-art and backgrounds of a moved
// installation are found again by name or listed, and symbolic links inside a package are never followed.
#include "project_test_support.h"

#include "document/package_paths.h"
#include "document/project_info.h"
#include "document/xml_conversion.h"
#include "document/xml_project_paths.h"
#include "model/background.h"
#include "model/frame.h"

#include <filesystem>
#include <unistd.h>

namespace {

using namespace kxtest;

// Copies a folder tree as "cp -r" does, links copied as links.
void copyTree(const QString& from, const QString& to) {
    std::filesystem::copy(QFile::encodeName(from).toStdString(), QFile::encodeName(to).toStdString(),
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks);
}

void symlinkTo(const QString& target, const QString& link) {
    QDir().mkpath(QFileInfo(link).path());
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()), 0)
        << link.toStdString();
}

void writeText(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

class PackagePaths : public ProjectTest {
protected:
    // Reading errors are counted, never shown in an alert.
    void SetUp() override {
        ProjectTest::SetUp();
        setXMLErrorPresenter([this](const QString&) { ++alerts; });
    }
    void TearDown() override {
        setXMLErrorPresenter({});
        ProjectTest::TearDown();
    }
    std::unique_ptr<KXProject> open(const QString& path) {
        QString error;
        auto project = KXProject::initWithPath(path, &error);
        EXPECT_TRUE(project) << error.toStdString();
        return project;
    }
    int alerts = 0;
};

TEST_F(PackagePaths, ACopiedPackageReadsItsOwnDataWhileTheOriginalStillExists) {
    KXProject project;
    KXCanvas& page = *project.canvasAtIndex(0);
    addPhoto(page, writeImage(at("a.jpg")));
    auto fill = std::make_shared<KXBackground>();
    fill->setFillType(KXFillTypeCustomImage);
    fill->setCustomImagePath(writeImage(at("sky.png")));
    page.setBackground(fill);
    const QString outside = writeImage(at("elsewhere/kept.jpg"));
    ASSERT_TRUE(project.saveAsProjectToPath(at("P.vrtp3"), KXSaveOperationSave));
    copyTree(at("P.vrtp3"), at("Copy.vrtp3"));

    auto copy = open(at("Copy.vrtp3"));
    ASSERT_TRUE(copy);
    EXPECT_EQ(photoPaths(*copy), QStringList{at("Copy.vrtp3/Data/a.jpg")});
    EXPECT_EQ(copy->canvasAtIndex(0)->background()->customImagePath(), at("Copy.vrtp3/Data/sky.png"));
    EXPECT_EQ(copy->path(), at("Copy.vrtp3"));

    // A photo outside any package keeps its path, even when the package holds a file of its name.
    addPhoto(*copy->canvasAtIndex(0), outside);
    ASSERT_TRUE(copy->saveAsProjectToPath(at("Copy.vrtp3"), KXSaveOperationSave));
    ASSERT_TRUE(QFile::copy(at("a.jpg"), at("Copy.vrtp3/Data/kept_.jpg")));
    auto again = open(at("Copy.vrtp3"));
    ASSERT_TRUE(again);
    EXPECT_EQ(photoPaths(*again), (QStringList{at("Copy.vrtp3/Data/a.jpg"), at("Copy.vrtp3/Data/kept.jpg")}));
    EXPECT_TRUE(isInPackageData(at("P.vrtp3/Data/a.jpg")));
    EXPECT_FALSE(isInPackageData(outside));
}

TEST_F(PackagePaths, ResourcesOfAMovedInstallationAreFoundByNameOrListed) {
    const QString oldRes = at("old-install/share/kollage/resources");
    KXProject project;
    KXCanvas& page = *project.canvasAtIndex(0);
    addPhoto(page, oldRes + "/Clipart/Animals/cat.png");   // found again under the new resources
    addPhoto(page, oldRes + "/Clipart/Animals/gnu.png");   // found nowhere
    KXPhoto* framed = addPhoto(page, writeImage(at("a.jpg")));
    framed->setFrame(KXFrame::frameWithName(oldRes + "/Frame/Rustic/Bark.png"));
    auto fill = std::make_shared<KXBackground>();
    fill->setFillType(KXFillTypeImage);
    fill->setImagePath(oldRes + "/Background/Tile/gone.jpg");
    page.setBackground(fill);
    ASSERT_TRUE(project.saveAsProjectToPath(at("P.vrtp3"), KXSaveOperationSave));
    ASSERT_TRUE(project.saveAsTemplateToPath(at("Card.tpl")));
    const QString cat = writeImage(res + "/Clipart/Animals/cat.png");

    auto back = open(at("P.vrtp3"));
    ASSERT_TRUE(back);
    EXPECT_EQ(photoPaths(*back), (QStringList{cat, oldRes + "/Clipart/Animals/gnu.png", at("P.vrtp3/Data/a.jpg")}));
    EXPECT_TRUE(back->missingPhotos().isEmpty());
    EXPECT_EQ(back->missingCliparts(), (QStringList{"gone.jpg", "gnu.png", "Bark.png"}));

    // A template keeps its clip-art (only its photos open empty).
    auto card = open(at("Card.tpl"));
    ASSERT_TRUE(card);
    EXPECT_EQ(photoPaths(*card), (QStringList{cat, oldRes + "/Clipart/Animals/gnu.png", QString()}));
    EXPECT_EQ(card->missingCliparts(), (QStringList{"gone.jpg", "gnu.png", "Bark.png"}));
}

TEST_F(PackagePaths, LinkedFilesInsideAPackageAreRefused) {
    // A package whose archive is a link to another package's archive.
    KXProject project;
    addPhoto(*project.canvasAtIndex(0), writeImage(at("a.jpg")));
    ASSERT_TRUE(project.saveAsProjectToPath(at("Other.vrtp3"), KXSaveOperationSave));
    symlinkTo(at("Other.vrtp3/info.xml"), at("Linked.vrtp3/info.xml"));
    QString error;
    EXPECT_FALSE(KXProject::initWithPath(at("Linked.vrtp3"), &error));
    EXPECT_TRUE(error.contains("symbolic link")) << error.toStdString();
    // A Data folder that is a link is not read from.
    copyTree(at("Other.vrtp3"), at("Moved.vrtp3"));
    QDir(at("Moved.vrtp3/Data")).removeRecursively();
    ASSERT_TRUE(QDir().rename(at("Other.vrtp3"), at("Gone.vrtp3")));
    symlinkTo(at("Gone.vrtp3/Data"), at("Moved.vrtp3/Data"));
    auto moved = open(at("Moved.vrtp3"));
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->missingPhotos(), QStringList{"a.jpg"});

    // An older package whose project file is a link, or lies in a linked folder.
    writeText(at("templates/real.tpl"), "<root><scenegraph/></root>");
    writeText(at("secret.txt"), "root:x:0:0");
    symlinkTo(at("templates/real.tpl"), at("Old.vrtp/Contents/project.vrtp"));
    symlinkTo(at("secret.txt"), at("Old2.vrtp/Contents/project.vrtp"));
    symlinkTo(at("templates"), at("Old3.vrtp/Contents"));
    writeText(at("templates/inner.vrtp"), "<root><scenegraph/></root>");
    for (const char* package : {"Old.vrtp", "Old2.vrtp", "Old3.vrtp"}) {
        error.clear();
        KXProject target;
        EXPECT_FALSE(target.loadProjectWithPath(at(package), &error)) << package;
        EXPECT_FALSE(error.isEmpty()) << package;
        EXPECT_EQ(target.canvasCount(), 1) << package;
    }
    EXPECT_EQ(alerts, 0) << "refused before anything is parsed";
    EXPECT_TRUE(xmlFilePathFromPath(at("Old.vrtp/Contents")).isNull());

    // A template folder whose template file is a link.
    symlinkTo(at("templates/real.tpl"), at("Linked Template/t.tpl"));
    EXPECT_TRUE(xmlTemplateFileInFolder(at("Linked Template")).isEmpty());
    EXPECT_FALSE(loadXMLTemplateWithPath(at("Linked Template/t.tpl"), nullptr, &error));
}

TEST_F(PackagePaths, APhotoLinkedInsideAnOlderPackageIsNotRead) {
    const QString secret = writeImage(at("private/secret.jpg"));
    writeText(at("Old.vrtp/Contents/project.vrtp"),
              "<root><info Version=\"7\"/><scenegraph ImageSizeX=\"80\" ImageSizeY=\"60\">"
              "<sceneobject Type=\"0\" Image=\"\\own.jpg\"/><sceneobject Type=\"0\" Image=\"\\secret.jpg\"/>"
              "</scenegraph></root>");
    const QString own = writeImage(at("Old.vrtp/Contents/Resources/own.jpg"));
    symlinkTo(secret, at("Old.vrtp/Contents/Resources/secret.jpg"));
    auto project = open(at("Old.vrtp"));
    ASSERT_TRUE(project);
    EXPECT_EQ(photoPaths(*project), (QStringList{own, QString()}));
    EXPECT_EQ(project->missingPhotos(), QStringList{"secret.jpg"});
}

TEST_F(PackagePaths, APageWithoutAreaIsADamagedArchive) {
    for (const kx::Size size : {kx::Size{0, 600}, kx::Size{800, 0.5}}) {
        KXProject project;
        ASSERT_TRUE(project.saveAsProjectToPath(at("P.vrtp3"), KXSaveOperationSave));
        // A page of that size, as a damaged archive would give it.
        project.canvasAtIndex(0)->pageSize()->setWidth(size.width);
        project.canvasAtIndex(0)->pageSize()->setHeight(size.height);
        ASSERT_EQ(project.canvasAtIndex(0)->pixelSize(), size);
        QString error;
        ASSERT_TRUE(project.saveDataToPath(at("P.vrtp3/info.xml"), &error)) << error.toStdString();
        KXProject target;
        EXPECT_FALSE(target.loadProjectWithPath(at("P.vrtp3"), &error));
        EXPECT_TRUE(error.contains("damaged page")) << error.toStdString();
        EXPECT_EQ(target.canvasCount(), 1);
    }
}

}  // namespace
