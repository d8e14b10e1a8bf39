#include "project_test_support.h"
#include "document/project_info.h"

#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "model/background.h"
#include "model/frame.h"
#include "model/group.h"
#include "graphics/image_cache.h"
#include "text/advanced_text.h"
#include "model/page_size_manager.h"
#include "platform/foundation/notification_center.h"

#include <QImageReader>
#include <QProcess>

#include <sys/stat.h>
#include <unistd.h>

using namespace kxtest;

namespace {

// ---- version information and document attributes ----

TEST(VersionInfoTest, DocumentAttributesTravelThroughAnArchiveUnchangedAndMissingKeysReadNil) {
    registerDocumentClasses();
    auto attribute = KXDocumentAttribute::documentAttribute();
    EXPECT_EQ(attribute->company, QStringLiteral("Morvane"));
    EXPECT_TRUE(attribute->title.isNull());
    attribute->title = QStringLiteral("Summer");
    attribute->keywords = QStringLiteral("beach, sea");
    const QByteArray data = kx::KeyedArchiver::archivedDataWithRootObject(kx::Value(attribute));
    const auto back = kx::KeyedUnarchiver::unarchiveObjectWithData(data)->objectAs<KXDocumentAttribute>();
    ASSERT_TRUE(back);
    EXPECT_EQ(back->title, QStringLiteral("Summer"));
    EXPECT_EQ(back->keywords, QStringLiteral("beach, sea"));
    EXPECT_EQ(back->company, QStringLiteral("Morvane"));
    EXPECT_TRUE(back->subject.isNull());

    // A record archived with no fields decodes bare, not with the new-record defaults.
    const auto bare = kx::KeyedUnarchiver::unarchiveObjectWithData(
                          kx::KeyedArchiver::archivedDataWithRootObject(kx::Value(std::make_shared<KXDocumentAttribute>())))
                          ->objectAs<KXDocumentAttribute>();
    ASSERT_TRUE(bare);
    EXPECT_TRUE(bare->company.isNull());
    EXPECT_TRUE(bare->author.isNull());

    auto version = KXVersionInfo::versionInfo();
    version->projectVersion = 3;
    const auto v = kx::KeyedUnarchiver::unarchiveObjectWithData(kx::KeyedArchiver::archivedDataWithRootObject(kx::Value(version)))
                       ->objectAs<KXVersionInfo>();
    ASSERT_TRUE(v);
    EXPECT_EQ(v->company, QStringLiteral("Morvane Technology"));
    EXPECT_EQ(v->projectVersion, 3);
}

// A document attribute record as a later version of the application writes it: more keys.
class LaterDocumentAttribute : public KXDocumentAttribute {
public:
    void encodeWithCoder(kx::KeyedArchiver& coder) const override {
        KXDocumentAttribute::encodeWithCoder(coder);
        coder.encodeObject(kx::Value(QStringLiteral("Ana")), QStringLiteral("reviewer"));
        coder.encodeInteger(7, QStringLiteral("revision"));
        coder.encodeObject(kx::Value(kx::ValueArray{kx::Value("a"), kx::Value(2)}), QStringLiteral("tags"));
    }
};

TEST(VersionInfoTest, DocumentAttributeKeysOfALaterVersionSurviveALoadAndASave) {
    registerDocumentClasses();
    auto later = std::make_shared<LaterDocumentAttribute>();
    later->title = QStringLiteral("Wedding");
    const auto read = [](const QByteArray& data) {
        return kx::KeyedUnarchiver::unarchiveObjectWithData(data)->objectAs<KXDocumentAttribute>();
    };
    const auto once = read(kx::KeyedArchiver::archivedDataWithRootObject(kx::Value(later)));
    ASSERT_TRUE(once);
    const auto twice = read(kx::KeyedArchiver::archivedDataWithRootObject(kx::Value(once)));
    ASSERT_TRUE(twice);
    EXPECT_EQ(twice->title, QStringLiteral("Wedding"));
    ASSERT_EQ(twice->otherFields.size(), 3u);
    EXPECT_EQ(twice->otherFields.at("reviewer").value.toString(), QStringLiteral("Ana"));
    EXPECT_FALSE(twice->otherFields.at("reviewer").inPlace);
    EXPECT_EQ(twice->otherFields.at("revision").value.toInteger(), 7);
    EXPECT_TRUE(twice->otherFields.at("revision").inPlace);
    const kx::ValueArray tags = twice->otherFields.at("tags").value.toArray();
    ASSERT_EQ(tags.size(), 2u);
    EXPECT_EQ(tags[0].toString(), QStringLiteral("a"));
    EXPECT_EQ(tags[1].toInteger(), 2);
}

// ---- pages ----

TEST(ProjectPagesTest, NewProjectHasOnePageAndIndexQueriesAnswerNullOutOfRange) {
    registerDocumentClasses();
    KXProject project;
    ASSERT_EQ(project.canvasCount(), 1);
    EXPECT_EQ(project.currentIndex(), 0);
    const KXCanvas* page = project.canvasAtIndex(0);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->marginRect(), (kx::Rect{{0, 0}, page->pixelSize()}));
    EXPECT_EQ(project.canvasAtIndex(-1), nullptr);
    EXPECT_EQ(project.canvasAtIndex(1), nullptr);
    EXPECT_EQ(project.docAttribute()->company, QStringLiteral("Morvane"));
}

TEST(ProjectPagesTest, RemovingTheCurrentLastPageMovesTheIndexToTheNewLastPage) {
    registerDocumentClasses();
    KXProject project;
    project.createNewLayerWithCanvas(std::make_shared<KXCanvas>());
    project.createNewLayerWithCanvas(std::make_shared<KXCanvas>());
    project.setCurrentIndex(2);
    project.removeCanvasLayer(project.canvasLayerAtIndex(2).get());
    EXPECT_EQ(project.canvasCount(), 2);
    EXPECT_EQ(project.currentIndex(), 1);
    project.removeAllCanvasLayers();
    EXPECT_EQ(project.canvasCount(), 0);
    EXPECT_LT(project.currentIndex(), 0);
}

struct RescaleCase {
    double oldW, oldH, newW, newH;
    kx::Rect expected;
};

class ProjectRescaleTest : public ::testing::TestWithParam<RescaleCase> {};

TEST_P(ProjectRescaleTest, ObjectsKeepTheirShareOfTheAreaTheirAspectAndTheirCentre) {
    registerDocumentClasses();
    const RescaleCase c = GetParam();
    auto page = std::make_shared<KXCanvas>();
    page->setLayoutType(KXLayoutTypeProportional);
    const KXSize oldSize(c.oldW, c.oldH, KXSizeUnitPixel, 72);
    page->setPageSize(&oldSize);
    auto shape = std::make_shared<KXShape>();
    shape->setText(nullptr);
    page->addGraph(shape);
    shape->setRelativeRect({0, 0, 0.5, 1});
    page->undoManager().removeAllActions();

    const KXSize newSize(c.newW, c.newH, KXSizeUnitPixel, 72);
    KXProject::setPageSizeOfCanvas(*page, newSize);
    const kx::Rect r = shape->relativeRect();
    EXPECT_NEAR(r.origin.x, c.expected.origin.x, 1e-6);
    EXPECT_NEAR(r.origin.y, c.expected.origin.y, 1e-6);
    EXPECT_NEAR(r.size.width, c.expected.size.width, 1e-6);
    EXPECT_NEAR(r.size.height, c.expected.size.height, 1e-6);
    EXPECT_FALSE(page->undoManager().canUndo());  // the rescale adds no undo step
}

INSTANTIATE_TEST_SUITE_P(Sizes, ProjectRescaleTest,
                         ::testing::Values(RescaleCase{1000, 500, 2000, 1000, {0, 0, 0.5, 1}},
                                           RescaleCase{1000, 500, 500, 1000, {-0.25, 0.25, 1, 0.5}}));

TEST(ProjectRescaleTest, APageOfTheProjectRescalesWhenItsSizeIsSetAndTextsScaleTheirFonts) {
    registerDocumentClasses();
    struct Case {
        double newW, newH;
        kx::Rect expected;
        double fontScale;
    };
    for (const Case& c : {Case{2000, 1000, {0, 0, 0.5, 1}, 3.0}, Case{500, 1000, {-0.25, 0.25, 1, 0.5}, 1.5}}) {
        KXProject project;
        KXCanvas& page = *project.canvasAtIndex(0);
        const KXSize oldSize(1000, 500, KXSizeUnitPixel, 72);
        page.setPageSize(&oldSize);
        auto shape = std::make_shared<KXShape>();
        shape->setPhoto(nullptr);
        auto text = KXAdvancedText::initWithOwner(shape.get(), QStringLiteral("Hello"));
        shape->setText(text);
        page.addGraph(shape);
        shape->setRelativeRect({0, 0, 0.5, 1});
        ASSERT_EQ(shape->graphType(), KXGraphTypeText);
        text->setFontScale(1.5);
        page.undoManager().removeAllActions();

        // Set on the page itself, not through the project: the project hears it.
        const KXSize newSize(c.newW, c.newH, KXSizeUnitPixel, 72);
        page.setPageSize(&newSize);
        const kx::Rect r = shape->relativeRect();
        EXPECT_NEAR(r.origin.x, c.expected.origin.x, 1e-6);
        EXPECT_NEAR(r.origin.y, c.expected.origin.y, 1e-6);
        EXPECT_NEAR(r.size.width, c.expected.size.width, 1e-6);
        EXPECT_NEAR(r.size.height, c.expected.size.height, 1e-6);
        EXPECT_NEAR(text->fontScale(), c.fontScale, 1e-9);
        EXPECT_FALSE(page.undoManager().canUndo());

        // Through the project, every page gets the size once (no second rescale).
        project.setPageSize(oldSize);
        EXPECT_NEAR(shape->relativeRect().size.width, 0.5, 1e-6);
        EXPECT_NEAR(text->fontScale(), 1.5, 1e-9);

        // A page taken out of the project is no longer watched.
        const auto layer = project.canvasLayerAtIndex(0);
        project.removeCanvasLayer(layer.get());
        page.setPageSize(&newSize);
        EXPECT_EQ(shape->relativeRect(), (kx::Rect{0, 0, 0.5, 1}));
        EXPECT_NEAR(text->fontScale(), 1.5, 1e-9);
    }
}

// ---- saving and opening ----

class ProjectPackageTest : public ProjectTest {
protected:
    // A project whose first page shows the given images.
    std::unique_ptr<KXProject> projectWith(const QStringList& images) {
        auto project = std::make_unique<KXProject>();
        for (const QString& image : images)
            addPhoto(*project->canvasAtIndex(0), image);
        return project;
    }
    std::unique_ptr<KXProject> reopen(const QString& package) {
        QString error;
        auto project = KXProject::initWithPath(package, &error);
        EXPECT_TRUE(project) << error.toStdString();
        return project;
    }
};

TEST_F(ProjectPackageTest, TwoImagesOfOneNameGetFreeNamesAndOneSourceUsedThriceIsCopiedOnce) {
    const QString a = writeImage(at("one/IMG_1.jpg")), b = writeImage(at("two/IMG_1.jpg"), 50, 20);
    const QString c = writeImage(at("three/shared.png"));
    auto project = projectWith({a, b, c, c, c});
    const QString package = at("Trip.vrtp3");
    QString error;
    ASSERT_TRUE(project->saveAsProjectToPath(package, KXSaveOperationSave, &error)) << error.toStdString();
    EXPECT_EQ(filesIn(package + "/Data"), (QStringList{"IMG_1.jpg", "IMG_1_1.jpg", "shared.png"}));
    const QString data = package + "/Data/";
    EXPECT_EQ(photoPaths(*project), (QStringList{data + "IMG_1.jpg", data + "IMG_1_1.jpg", data + "shared.png",
                                                  data + "shared.png", data + "shared.png"}));
    EXPECT_EQ(QImage(data + "IMG_1_1.jpg").size(), QSize(50, 20));
    EXPECT_EQ(project->path(), package);
    EXPECT_TRUE(QFileInfo(package + "/info.xml").isFile());
    // No work folder is left beside the package.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Hidden | QDir::AllEntries | QDir::NoDotAndDotDot).filter(".saving-"),
              QStringList());
}

TEST_F(ProjectPackageTest, AMovedPackageFindsItsPhotosInItsOwnData) {
    auto project = projectWith({writeImage(at("a.jpg")), writeImage(at("b.jpg"))});
    ASSERT_TRUE(project->saveAsProjectToPath(at("P.vrtp3"), KXSaveOperationSave));
    ASSERT_TRUE(QDir().rename(at("P.vrtp3"), at("Moved.vrtp3")));
    auto back = reopen(at("Moved.vrtp3"));
    ASSERT_TRUE(back);
    EXPECT_EQ(photoPaths(*back), (QStringList{at("Moved.vrtp3/Data/a.jpg"), at("Moved.vrtp3/Data/b.jpg")}));
    EXPECT_TRUE(back->missingPhotos().isEmpty());
    EXPECT_EQ(back->path(), at("Moved.vrtp3"));
}

TEST_F(ProjectPackageTest, ResavingDropsUnreferencedDataImagesButKeepsEveryReferencedOneAndNeverFollowsSymlinks) {
    const QString outside = writeImage(at("outside/keep.jpg"));
    auto project = projectWith({writeImage(at("a.jpg")), writeImage(at("b.jpg"))});
    const QString package = at("P.vrtp3");
    ASSERT_TRUE(project->saveAsProjectToPath(package, KXSaveOperationSave));
    // A symlink in Data to a file outside it, and a stray file.
    ASSERT_EQ(::symlink(QFile::encodeName(outside).constData(), QFile::encodeName(package + "/Data/link.jpg").constData()), 0);
    writeImage(package + "/Data/stray.jpg");
    // The second photo is referred to by a non-canonical path; the first is removed from the page.
    KXCanvas& page = *project->canvasAtIndex(0);
    auto* second = dynamic_cast<KXShape*>(page.graphAtIndex(1).get())->photo();
    second->setImagePath(package + "/./Data/../Data/b.jpg");
    page.removeGraphAtIndex(0);
    ASSERT_TRUE(project->saveAsProjectToPath(package, KXSaveOperationSave));
    EXPECT_EQ(filesIn(package + "/Data"), QStringList{"b.jpg"});
    EXPECT_TRUE(QFileInfo(outside).isFile());  // the symlink's target outside Data survives
    auto back = reopen(package);
    ASSERT_TRUE(back);
    EXPECT_EQ(photoPaths(*back), QStringList{package + "/Data/b.jpg"});
}

TEST_F(ProjectPackageTest, MissingPhotosAndClipartKeepTheirObjectsAndStoredPathsAcrossOpenAndSave) {
    auto project = projectWith({writeImage(at("here.jpg"))});
    const QString clipart = writeImage(res + "/Clipart/Animals/cat.png");
    addPhoto(*project->canvasAtIndex(0), at("gone/IMG_9.jpg"));  // never existed here
    addPhoto(*project->canvasAtIndex(0), clipart);
    const QString package = at("P.vrtp3");
    ASSERT_TRUE(project->saveAsProjectToPath(package, KXSaveOperationSave));
    // On "another machine": the clip-art is gone from the resources.
    ASSERT_TRUE(QFile::remove(clipart));
    auto back = reopen(package);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->canvasAtIndex(0)->graphCount(), 3);
    EXPECT_EQ(photoPaths(*back), (QStringList{package + "/Data/here.jpg", at("gone/IMG_9.jpg"), clipart}));
    EXPECT_EQ(back->missingPhotos(), QStringList{"IMG_9.jpg"});
    EXPECT_EQ(back->missingCliparts(), QStringList{"cat.png"});
    // A later save cannot make the loss permanent.
    ASSERT_TRUE(back->saveAsProjectToPath(package, KXSaveOperationSave));
    auto again = reopen(package);
    ASSERT_TRUE(again);
    EXPECT_EQ(photoPaths(*again), (QStringList{package + "/Data/here.jpg", at("gone/IMG_9.jpg"), clipart}));

    // The sheet hears the three lists once.
    struct FakeSheet : KXMissingResourcesSheet {
        void showInWindow(QWidget*, const QStringList& p, const QStringList& c, const QStringList& m) override {
            ++shown;
            heard = p + c + m;
        }
        int shown = 0;
        QStringList heard;
    };
    FakeSheet* sheet = nullptr;
    KXProject::setMissingSheetFactory([&] {
        auto made = std::make_unique<FakeSheet>();
        sheet = made.get();
        return made;
    });
    again->showMissingFilesInWindow(nullptr);
    KXProject::setMissingSheetFactory({});
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->shown, 1);
    EXPECT_EQ(sheet->heard, (QStringList{"IMG_9.jpg", "cat.png"}));
}

// Sets an environment variable for the life of the object.
struct ScopedEnv {
    ScopedEnv(const char* name, const QString& value) : name(name), old(qgetenv(name)) {
        qputenv(name, QFile::encodeName(value));
    }
    ~ScopedEnv() {
        if (old.isNull())
            qunsetenv(name);
        else
            qputenv(name, old);
    }
    const char* name;
    QByteArray old;
};

TEST_F(ProjectPackageTest, ClipartFramesAndMasksAreFoundAgainInTheResourcesTheCustomFoldersAndTheContentPacks) {
    QFile plist(res + "/Info.plist");
    ASSERT_TRUE(plist.open(QIODevice::WriteOnly));
    plist.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                "<key>CFBundleIdentifier</key><string>test.kollage</string>"
                "<key>CFBundleName</key><string>Kollage</string></dict></plist>\n");
    plist.close();
    kx::Bundle::setMainResourcePath(res);
    ScopedEnv cache("XDG_CACHE_HOME", at("Caches"));
    ScopedEnv data("XDG_DATA_HOME", at("share"));
    const QString boxes = at("Caches/test.kollage/Boxes");
    const QString custom = at("share/Kollage/Custom Resources");

    KXProject project;
    KXCanvas& page = *project.canvasAtIndex(0);
    // Stored paths of another machine; none of them exists here.
    const QString dog = at("Old.app/Contents/Resources/Clipart/Animals/dog.png");
    const QString mine = at("old/share/Kollage/Custom Resources/Clipart/mine.png");
    const QString rose = at("old/Caches/x/Boxes/Flowers/Clipart/Flowers/rose.png");
    const QString cat = at("Old.app/Contents/Resources/Clipart/Animals/cat.png");
    for (const QString& path : {dog, mine, rose, cat})
        addPhoto(page, path);
    KXPhoto* framed = addPhoto(page, writeImage(at("a.jpg")));
    auto frame = KXFrame::frameWithName(at("old/Resources/Frame/Rustic/Wood.png"));
    framed->setFrame(frame);
    framed->setMaskName(at("old/Mask/heart.png"));
    ASSERT_TRUE(project.saveAsProjectToPath(at("P.vrtp3"), KXSaveOperationSave));
    EXPECT_EQ(filesIn(at("P.vrtp3/Data")), QStringList{"a.jpg"});  // clip-art is never copied

    // What this machine has: the dog only as a JPNG of another case in its category, the cat only in
    // another category, the user's own clip-art and mask, a content pack with the rose and the frame.
    QDir().mkpath(res + "/Clipart/Animals");
    QFile jpng(res + "/Clipart/Animals/DOG.jpng");
    ASSERT_TRUE(jpng.open(QIODevice::WriteOnly));
    jpng.close();
    writeImage(res + "/Clipart/Other/cat.png");
    const QString mineHere = writeImage(custom + "/Clipart/mine.png");
    const QString maskHere = writeImage(custom + "/Mask/heart.jpg");
    const QString roseHere = writeImage(boxes + "/Flowers/Clipart/Flowers/Red/ROSE.png");
    const QString frameHere = writeImage(boxes + "/Pack/Frame/Rustic/wood.png");

    auto back = reopen(at("P.vrtp3"));
    ASSERT_TRUE(back);
    EXPECT_EQ(photoPaths(*back), (QStringList{res + "/Clipart/Animals/DOG.jpng", mineHere, roseHere, cat,
                                              at("P.vrtp3/Data/a.jpg")}));
    EXPECT_EQ(back->missingCliparts(), QStringList{"cat.png"});  // a clip-art of another category is not it
    const KXPhoto* read = dynamic_cast<KXShape*>(back->canvasAtIndex(0)->graphAtIndex(4).get())->photo();
    ASSERT_TRUE(read->frame());
    EXPECT_EQ(read->frame()->name(), frameHere);
    EXPECT_EQ(read->frame()->style(), 1);
    EXPECT_EQ(read->maskName(), maskHere);
    EXPECT_TRUE(back->missingMasks().isEmpty());
}

TEST_F(ProjectPackageTest, NamesFromTheFileNeverLeaveTheDataFolderNorFollowSymlinks) {
    const QString secret = writeImage(at("secret/private.jpg"));
    auto project = projectWith({at("elsewhere/private.jpg"), at("elsewhere/..")});
    ASSERT_TRUE(project->saveAsProjectToPath(at("P.vrtp3"), KXSaveOperationSave));
    // A planted symlink in Data by the name of the missing photo points outside.
    ASSERT_EQ(::symlink(QFile::encodeName(secret).constData(), QFile::encodeName(at("P.vrtp3/Data/private.jpg")).constData()), 0);
    auto back = reopen(at("P.vrtp3"));
    ASSERT_TRUE(back);
    EXPECT_EQ(photoPaths(*back), (QStringList{at("elsewhere/private.jpg"), at("elsewhere/..")}));
    EXPECT_EQ(back->missingPhotos(), QStringList{"private.jpg"});
}

TEST_F(ProjectPackageTest, ATemplateOpensWithItsPhotoFramesEmptyAndNothingMissing) {
    auto project = projectWith({writeImage(at("a.jpg")), at("gone.jpg")});
    const QString tpl = at("My Templates/Card.tpl");
    QDir().mkpath(at("My Templates"));
    QString posted;
    {
        const auto token = kx::NotificationCenter::defaultCenter().addObserver(
            KXReloadAllTemplateData, project.get(),
            [&](const kx::Notification& n) { posted = n.userInfo.at(QStringLiteral("tempName")).toString(); });
        ASSERT_TRUE(project->saveAsTemplateToPath(tpl));
    }
    EXPECT_EQ(posted, at("My Templates/Card"));
    EXPECT_FALSE(QFileInfo::exists(tpl + "/Data"));
    EXPECT_TRUE(project->path().isEmpty());
    auto back = reopen(tpl);
    ASSERT_TRUE(back);
    EXPECT_EQ(photoPaths(*back), (QStringList{QString(), QString()}));
    EXPECT_TRUE(back->missingPhotos().isEmpty());
    EXPECT_TRUE(back->path().isEmpty());
}

TEST_F(ProjectPackageTest, AnExistingFileAtTheTargetIsReplacedByAPackage) {
    QFile file(at("P.vrtp3"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("x");
    file.close();
    auto project = projectWith({writeImage(at("a.jpg"))});
    ASSERT_TRUE(project->saveAsProjectToPath(at("P.vrtp3"), KXSaveOperationSave));
    EXPECT_TRUE(QFileInfo(at("P.vrtp3/info.xml")).isFile());
}

TEST_F(ProjectPackageTest, AnAutosaveKeepsThePathAndTheQuickLookFolder) {
    auto project = projectWith({writeImage(at("a.jpg"))});
    ASSERT_TRUE(project->saveAsProjectToPath(at("P.vrtp3"), KXSaveOperationSave));
    writeImage(at("P.vrtp3/QuickLook/Thumbnail.jpg"), 7, 7);
    ASSERT_TRUE(project->saveAsProjectToPath(at("Auto.vrtp3"), KXSaveOperationAutosaveElsewhere));
    ASSERT_TRUE(project->saveAsProjectToPath(at("P.vrtp3"), KXSaveOperationAutosaveInPlace));
    EXPECT_EQ(project->path(), at("P.vrtp3"));
    EXPECT_EQ(QImage(at("P.vrtp3/QuickLook/Thumbnail.jpg")).size(), QSize(7, 7));
}

TEST_F(ProjectPackageTest, TheArchiveReadsWithAnOutsidePropertyListReader) {
    auto project = projectWith({writeImage(at("a.jpg"))});
    project->docAttribute()->title = QStringLiteral("Holiday");
    ASSERT_TRUE(project->saveAsProjectToPath(at("P.vrtp3"), KXSaveOperationSave));
    const QString script = QStringLiteral(
        "import plistlib,sys\n"
        "a=plistlib.load(open(sys.argv[1],'rb'))\n"
        "o=a['$objects']\n"
        "r=o[a['$top']['root'].data]\n"
        "cls=lambda d:o[d['$class'].data]['$classname']\n"
        "keys=[o[k.data] for k in r['NS.keys']]\n"
        "vals=dict(zip(keys,[o[v.data] for v in r['NS.objects']]))\n"
        "print(cls(r),sorted(keys),cls(vals['versionInfo']),cls(vals['docData']),o[vals['docData']['title'].data],"
        "[cls(o[p.data]) for p in vals['canvas']['NS.objects']])\n");
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), script, at("P.vrtp3/info.xml")});
    ASSERT_TRUE(python.waitForFinished(30000));
    EXPECT_EQ(python.readAllStandardOutput().trimmed().toStdString(),
              "NSMutableDictionary ['canvas', 'docData', 'versionInfo'] KXVersionInfo KXDocumentAttribute Holiday ['KXCanvas']")
        << python.readAllStandardError().toStdString();
}

TEST_F(ProjectPackageTest, DocumentAttributesOfALaterVersionAreWrittenBackUnchanged) {
    auto project = projectWith({});
    auto later = std::make_shared<LaterDocumentAttribute>();
    later->author = QStringLiteral("Ana");
    project->setDocAttribute(later);
    ASSERT_TRUE(project->saveAsProjectToPath(at("P.vrtp3"), KXSaveOperationSave));
    auto back = reopen(at("P.vrtp3"));
    ASSERT_TRUE(back);
    ASSERT_TRUE(back->saveAsProjectToPath(at("Q.vrtp3"), KXSaveOperationSave));
    const QString script = QStringLiteral(
        "import plistlib,sys\n"
        "a=plistlib.load(open(sys.argv[1],'rb'))\n"
        "o=a['$objects']\n"
        "r=o[a['$top']['root'].data]\n"
        "keys=[o[k.data] for k in r['NS.keys']]\n"
        "d=o[dict(zip(keys,r['NS.objects']))['docData'].data]\n"
        "tags=o[d['tags'].data]\n"
        "print(o[d['author'].data],o[d['reviewer'].data],d['revision'],[o[t.data] for t in tags['NS.objects']])\n");
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), script, at("Q.vrtp3/info.xml")});
    ASSERT_TRUE(python.waitForFinished(30000));
    EXPECT_EQ(python.readAllStandardOutput().trimmed().toStdString(), "Ana Ana 7 ['a', 2]")
        << python.readAllStandardError().toStdString();
}

// ---- inserting pages and hostile files ----

TEST_F(ProjectPackageTest, InsertedPagesComeAfterTheIndexAndTakeTheFirstPageSize) {
    // The template: two pages with 5 and 6 graphs, of another size.
    KXProject tpl;
    tpl.createNewLayerWithCanvas(std::make_shared<KXCanvas>());
    const KXSize other(300, 200, KXSizeUnitPixel, 72);
    tpl.setPageSize(other);
    for (int page = 0; page < 2; ++page)
        for (int i = 0; i < 5 + page; ++i)
            addPhoto(*tpl.canvasAtIndex(page), {});
    ASSERT_TRUE(tpl.saveAsTemplateToPath(at("T.tpl")));

    struct Case {
        std::int64_t index;
        std::vector<std::int64_t> counts;
    };
    for (const Case& c : {Case{1, {0, 1, 5, 6, 2}}, Case{7, {0, 1, 2, 5, 6}}, Case{-1, {0, 1, 2, 5, 6}}}) {
        KXProject project;
        for (int i = 1; i < 3; ++i) {
            project.createNewLayerWithCanvas(std::make_shared<KXCanvas>());
            for (int g = 0; g < i; ++g)
                addPhoto(*project.canvasAtIndex(i), {});
        }
        QString error;
        ASSERT_TRUE(project.insertCanvasLayerWithPath(at("T.tpl"), c.index, &error)) << error.toStdString();
        std::vector<std::int64_t> counts;
        for (std::int64_t i = 0; i < project.canvasCount(); ++i) {
            counts.push_back(project.canvasAtIndex(i)->graphCount());
            EXPECT_EQ(project.canvasAtIndex(i)->pixelSize(), project.canvasAtIndex(0)->pixelSize());
        }
        EXPECT_EQ(counts, c.counts) << "index " << c.index;
    }
}

// Writes an archive whose root is the given value as info.xml of a package.
QString writePackage(const QString& package, const kx::Value& root) {
    QDir().mkpath(package);
    EXPECT_TRUE(kx::KeyedArchiver::archiveRootObject(root, package + "/info.xml"));
    return package;
}

TEST_F(ProjectPackageTest, UnreadableOrHostileArchivesGiveAnErrorAndLeaveTheProjectAsItWas) {
    auto project = projectWith({writeImage(at("a.jpg"))});
    ASSERT_TRUE(project->saveAsProjectToPath(at("Good.vrtp3"), KXSaveOperationSave));
    const QString goodPath = project->path();
    kx::ValueDictionary noPages{{QStringLiteral("canvas"), kx::Value(kx::ValueArray{})}};
    kx::ValueDictionary strings{{QStringLiteral("canvas"), kx::Value(kx::ValueArray{kx::Value("x")})}};
    auto page = std::make_shared<KXCanvas>();
    kx::ValueDictionary badDoc{{QStringLiteral("canvas"), kx::Value(kx::ValueArray{kx::Value(page)})},
                               {QStringLiteral("docData"), kx::Value(std::make_shared<KXCanvas>())}};
    QDir().mkpath(at("Garbage.vrtp3"));
    QFile garbage(at("Garbage.vrtp3/info.xml"));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write("bplist00\xff\xff garbage");
    garbage.close();
    QDir().mkpath(at("Empty.vrtp3"));
    QFile(at("Empty.vrtp3/info.xml")).open(QIODevice::WriteOnly);
    QDir().mkpath(at("NoArchive.vrtp3"));
    const QStringList hostile{at("Garbage.vrtp3"), at("Empty.vrtp3"), at("NoArchive.vrtp3"), at("nothing.vrtp3"),
                              writePackage(at("NoPages.vrtp3"), kx::Value(noPages)),
                              writePackage(at("Strings.vrtp3"), kx::Value(strings)),
                              writePackage(at("BadDoc.vrtp3"), kx::Value(badDoc)),
                              writePackage(at("NotADict.vrtp3"), kx::Value("root"))};
    for (const QString& path : hostile) {
        const auto before = project->canvasLayerAtIndex(0);
        QString error;
        EXPECT_FALSE(project->loadProjectWithPath(path, &error)) << path.toStdString();
        EXPECT_FALSE(error.isEmpty());
        EXPECT_FALSE(project->insertCanvasLayerWithPath(path, 0, &error));
        EXPECT_FALSE(KXProject::initWithPath(path));
        EXPECT_EQ(project->canvasCount(), 1);
        EXPECT_EQ(project->canvasLayerAtIndex(0), before);
        EXPECT_EQ(project->path(), goodPath);
    }
}

// ---- faults during a save ----

TEST_F(ProjectPackageTest, AFailedSaveLeavesTheOldPackageWholeAndThePathsAsTheyWere) {
    const QString package = at("P.vrtp3");
    auto project = projectWith({writeImage(at("a.jpg"))});
    ASSERT_TRUE(project->saveAsProjectToPath(package, KXSaveOperationSave));
    const QByteArray oldArchive = [&] {
        QFile f(package + "/info.xml");
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    const QString other = writeImage(at("other/b.jpg"));
    KXPhoto* added = addPhoto(*project->canvasAtIndex(0), other);
    // The target's parent is a file, so nothing can be written there (permissions do not stop root).
    QString error;
    EXPECT_FALSE(project->saveAsProjectToPath(at("a.jpg/Sub.vrtp3"), KXSaveOperationSaveAs, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(project->path(), package);
    EXPECT_EQ(added->imagePath(), other);
    QFile f(package + "/info.xml");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), oldArchive);
    EXPECT_EQ(photoPaths(*reopen(package)), QStringList{package + "/Data/a.jpg"});
}

QString helperPath() { return QStringLiteral(KX_SAVE_HELPER); }

// Runs the helper; it saves the package `rounds` times, alternating its photo set.
QProcess* startHelper(const QStringList& arguments) {
    auto* process = new QProcess;
    process->start(helperPath(), arguments);
    EXPECT_TRUE(process->waitForStarted(30000));
    return process;
}

TEST_F(ProjectPackageTest, AFullDiskFailsTheSaveAndTheOldPackageOpensWithEveryPhoto) {
    const QString package = at("P.vrtp3");
    auto project = projectWith({writeImage(at("a.jpg")), writeImage(at("b.jpg"))});
    ASSERT_TRUE(project->saveAsProjectToPath(package, KXSaveOperationSave));
    writeImage(at("big.png"), 1200, 1200, QColor(1, 2, 3));
    // The helper adds the big image and saves with every file limited to 64 KiB.
    std::unique_ptr<QProcess> helper(startHelper({package, QStringLiteral("add"), at("big.png"), QStringLiteral("65536")}));
    ASSERT_TRUE(helper->waitForFinished(60000));
    EXPECT_EQ(helper->exitCode(), 1) << helper->readAllStandardError().toStdString();
    auto back = reopen(package);
    ASSERT_TRUE(back);
    EXPECT_EQ(photoPaths(*back), (QStringList{package + "/Data/a.jpg", package + "/Data/b.jpg"}));
    for (const QString& photo : photoPaths(*back))
        EXPECT_FALSE(QImage(photo).isNull());
}

// Reads the helper's lines until one equals `line`; false when the helper ends first.
bool readUntilLine(QProcess& helper, const QByteArray& line) {
    for (;;) {
        while (helper.canReadLine()) {
            if (helper.readLine().trimmed() == line)
                return true;
        }
        if (!helper.waitForReadyRead(30000))
            return false;
    }
}

TEST_F(ProjectPackageTest, ASaveKilledAtAnyPointLeavesAPackageThatOpensWithEveryPhoto) {
    const QString package = at("P.vrtp3");
    QStringList images;
    for (int i = 0; i < 6; ++i)
        images << writeImage(at(QStringLiteral("src/p%1.jpg").arg(i)), 600, 400, QColor(i * 40, 20, 20));
    auto project = projectWith(images);
    ASSERT_TRUE(project->saveAsProjectToPath(package, KXSaveOperationSave));
    // The helper announces each save; the kill follows the announcement of save number `round` after a spread
    // of extra work on our side, so that kills land at different points of a save.
    int killedMidSave = 0;
    const int spreads[] = {0, 0, 200, 1000, 3000, 6000, 12000, 25000};
    for (int round = 0; round < int(std::size(spreads)); ++round) {
        std::unique_ptr<QProcess> helper(startHelper({package, QStringLiteral("churn"), at("src"), QStringLiteral("0")}));
        const QByteArray saving = "saving " + QByteArray::number(round % 3);
        ASSERT_TRUE(readUntilLine(*helper, saving)) << helper->readAllStandardError().toStdString();
        ::usleep(useconds_t(spreads[round]));
        helper->kill();
        ASSERT_TRUE(helper->waitForFinished(30000));
        // Killed mid-save when the save it announced never reported its end.
        const QList<QByteArray> rest = helper->readAllStandardOutput().trimmed().split('\n');
        const QByteArray saved = "saved " + QByteArray::number(round % 3);
        if (!rest.contains(saved) && !rest.contains("saving " + QByteArray::number(round % 3 + 1)))
            ++killedMidSave;
        auto back = reopen(package);
        ASSERT_TRUE(back) << "killed in round " << round;
        const QStringList paths = photoPaths(*back);
        EXPECT_GE(paths.size(), 3);
        for (const QString& photo : paths)
            EXPECT_FALSE(QImage(photo).isNull()) << photo.toStdString() << " in round " << round;
    }
    EXPECT_GE(killedMidSave, 1) << "no kill landed while a save was under way";
}

}  // namespace

namespace {

TEST_F(ProjectTest, APageNearACatalogueSizeTakesItAndKeepsItsMarginDistances) {
    KXPageSizeManager& catalogue = KXPageSizeManager::pageSizeManager();
    catalogue.addPredefineSizeWithWidth(210, 297, 300, KXSizeUnitMillimeter, false, QStringLiteral("Snap A4 test"));
    const std::shared_ptr<KXSize> entry = catalogue.sizeAtIndex(catalogue.indexOfsize(
        std::make_shared<KXSize>(2480, 3508, KXSizeUnitPixel, 300).get(), true));
    ASSERT_TRUE(entry);
    const kx::Size snapped = entry->sizeWithUnit(KXSizeUnitPixel);
    ASSERT_NE(snapped, (kx::Size{2480, 3508}));

    KXProject project;
    KXCanvas& page = *project.canvasAtIndex(0);
    const KXSize saved(2480, 3508, KXSizeUnitPixel, 300);
    page.setPageSize(&saved);
    page.setMarginRect({100, 120, 2280, 3288});  // 100 from the right edge, 100 from the bottom
    addPhoto(page, {}, {0.1, 0.2, 0.3, 0.4});
    ASSERT_TRUE(project.saveAsProjectToPath(at("A4.vrtp3"), KXSaveOperationSave));
    auto back = KXProject::initWithPath(at("A4.vrtp3"));
    catalogue.removeSizeByDescription(QStringLiteral("Snap A4 test"));
    ASSERT_TRUE(back);
    const KXCanvas& read = *back->canvasAtIndex(0);
    const kx::Size pixels = read.pixelSize();
    EXPECT_NEAR(pixels.width, snapped.width, 1e-3);
    EXPECT_NEAR(pixels.height, snapped.height, 1e-3);
    const kx::Rect m = read.marginRect();
    EXPECT_DOUBLE_EQ(m.origin.x, 100);
    EXPECT_DOUBLE_EQ(m.origin.y, 120);
    EXPECT_NEAR(pixels.width - (m.origin.x + m.size.width), 100, 1e-3);
    EXPECT_NEAR(pixels.height - (m.origin.y + m.size.height), 100, 1e-3);
    EXPECT_EQ(read.graphAtIndex(0)->relativeRect(), (kx::Rect{0.1, 0.2, 0.3, 0.4}));
}

}  // namespace

namespace {

TEST_F(ProjectTest, CustomBackgroundImagesTravelInDataAndResourceBackgroundsAreFoundByName) {
    KXProject project;
    KXCanvas& page = *project.canvasAtIndex(0);
    auto custom = std::make_shared<KXBackground>();
    custom->setFillType(KXFillTypeCustomImage);
    custom->setCustomImagePath(writeImage(at("mine/paper.png")));
    page.setBackground(custom);
    // A graph whose fill shows a colour now but still names a custom image keeps that image.
    auto shape = std::make_shared<KXShape>();
    shape->setText(nullptr);
    page.addGraph(shape);
    auto inactive = std::make_shared<KXBackground>();
    inactive->setCustomImagePath(writeImage(at("mine/old.png")));
    shape->setBackground(inactive);
    shape->setFillEnabled(true);
    // A resource background in a "Stretch" folder, stored with an image type of 2, on another page.
    project.createNewLayerWithCanvas(std::make_shared<KXCanvas>());
    auto resource = std::make_shared<KXBackground>();
    resource->setFillType(KXFillTypeImage);
    resource->setImageType(2);
    resource->setImagePath(at("OldApp/Resources/Background/Nature/Stretch/sky.jpg"));
    project.canvasAtIndex(1)->setBackground(resource);
    const QString shipped = writeImage(res + "/Background/Nature/Stretch/sky.jpg");

    // A custom image on a graph inside a group.
    auto inner = std::make_shared<KXShape>();
    inner->setText(nullptr);
    auto innerFill = std::make_shared<KXBackground>();
    innerFill->setFillType(KXFillTypeCustomImage);
    innerFill->setCustomImagePath(writeImage(at("mine/grouped.png")));
    inner->setBackground(innerFill);
    inner->setFillEnabled(true);
    auto partner = std::make_shared<KXShape>();
    partner->setText(nullptr);
    page.addGraph(KXGroup::groupGraphWithGraphs({inner, partner}));

    ASSERT_TRUE(project.saveAsProjectToPath(at("P.vrtp3"), KXSaveOperationSave));
    // Only images that a fill shows are copied in.
    EXPECT_EQ(filesIn(at("P.vrtp3/Data")), (QStringList{"grouped.png", "paper.png"}));
    EXPECT_EQ(custom->customImagePath(), at("P.vrtp3/Data/paper.png"));
    KXBackground* groupedFill = page.graphAtIndex(1)->graphs().at(0)->background();
    EXPECT_EQ(groupedFill->customImagePath(), at("P.vrtp3/Data/grouped.png"));
    EXPECT_EQ(inactive->customImagePath(), at("mine/old.png"));
    // A fill turned to a colour keeps the custom image the package already holds.
    custom->setFillType(KXFillTypeColor);
    ASSERT_TRUE(project.saveAsProjectToPath(at("P.vrtp3"), KXSaveOperationSave));
    EXPECT_EQ(filesIn(at("P.vrtp3/Data")), (QStringList{"grouped.png", "paper.png"}));
    custom->setFillType(KXFillTypeCustomImage);
    ASSERT_TRUE(project.saveAsProjectToPath(at("P.vrtp3"), KXSaveOperationSave));

    ASSERT_TRUE(QDir().rename(at("P.vrtp3"), at("Moved.vrtp3")));
    auto back = KXProject::initWithPath(at("Moved.vrtp3"));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->canvasAtIndex(0)->background()->customImagePath(), at("Moved.vrtp3/Data/paper.png"));
    const auto group = back->canvasAtIndex(0)->graphAtIndex(1);
    ASSERT_EQ(group->graphType(), KXGraphTypeGroup);
    EXPECT_EQ(group->graphs().at(0)->background()->customImagePath(), at("Moved.vrtp3/Data/grouped.png"));
    EXPECT_EQ(back->canvasAtIndex(1)->background()->imagePath(), shipped);
    EXPECT_EQ(back->canvasAtIndex(1)->background()->imageType(), 1);
}

TEST_F(ProjectTest, PastedImagesKnownOnlyToTheImageCacheAreWrittenIntoDataInTheFormatTheirNamesAsk) {
    KXProject project;
    KXCanvas& page = *project.canvasAtIndex(0);
    QImage green(64, 48, QImage::Format_RGB32);
    green.fill(QColor(20, 200, 40));
    KXCacheManager& manager = KXCacheManager::cacheManager();
    struct Case {
        QString stored, name;
        QByteArray format;
    };
    const std::vector<Case> cases{{at("clipboard/pasted.png"), "pasted.png", "png"},
                                  {at("clipboard/pasted.jpg"), "pasted.jpg", "jpeg"},
                                  {at("other/pasted.png"), "pasted_1.png", "png"}};
    std::vector<KXCachePtr> entries;
    std::vector<KXPhoto*> photos;
    for (const Case& c : cases) {
        entries.push_back(KXCache::initWithImage(kx::Image(green), c.stored));
        ASSERT_TRUE(entries.back());
        manager.addCache(entries.back(), c.stored);
        photos.push_back(addPhoto(page, c.stored));
    }
    KXPhoto* unknown = addPhoto(page, at("clipboard/never-cached.png"));
    ASSERT_TRUE(project.saveAsProjectToPath(at("P.vrtp3"), KXSaveOperationSave));
    EXPECT_EQ(filesIn(at("P.vrtp3/Data")), (QStringList{"pasted.jpg", "pasted.png", "pasted_1.png"}));
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const QString written = at("P.vrtp3/Data/") + cases[i].name;
        EXPECT_EQ(photos[i]->imagePath(), written);
        QImageReader reader(written);
        EXPECT_EQ(reader.format(), cases[i].format) << cases[i].name.toStdString();
        EXPECT_EQ(reader.size(), QSize(64, 48));
        // The photo keeps the image it showed: the cache entry now answers for the new path too.
        EXPECT_EQ(manager.caches().value(written), entries[i]);
    }
    EXPECT_EQ(unknown->imagePath(), at("clipboard/never-cached.png"));  // nothing to write: the path stays
    for (std::size_t i = 0; i < cases.size(); ++i)
        project.canvasAtIndex(0)->removeGraphAtIndex(0);
}

}  // namespace

namespace {

TEST_F(ProjectTest, MasksAreFoundInContentPacksAndAMissingMaskKeepsItsNameAndIsListedOnce) {
    QFile plist(res + "/Info.plist");
    ASSERT_TRUE(plist.open(QIODevice::WriteOnly));
    plist.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                "<key>CFBundleIdentifier</key><string>test.kollage</string></dict></plist>\n");
    plist.close();
    kx::Bundle::setMainResourcePath(res);  // reads the new Info.plist
    const QByteArray oldCache = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(at("cache")));
    const QString inPack = writeImage(at("cache/test.kollage/Boxes/Hearts/Mask/Big/Heart.jpg"));

    KXProject project;
    KXPhoto* found = addPhoto(*project.canvasAtIndex(0), writeImage(at("a.jpg")));
    found->setMaskName(at("old machine/Mask/heart.png"));
    KXPhoto* lost = addPhoto(*project.canvasAtIndex(0), writeImage(at("b.jpg")));
    lost->setMaskName(at("old machine/Mask/star.png"));
    KXPhoto* lostAgain = addPhoto(*project.canvasAtIndex(0), writeImage(at("c.jpg")));
    lostAgain->setMaskName(at("old machine/Mask/STAR.png"));
    ASSERT_TRUE(project.saveAsProjectToPath(at("P.vrtp3"), KXSaveOperationSave));
    auto back = KXProject::initWithPath(at("P.vrtp3"));
    if (oldCache.isNull())
        qunsetenv("XDG_CACHE_HOME");
    else
        qputenv("XDG_CACHE_HOME", oldCache);
    ASSERT_TRUE(back);
    QStringList masks;
    for (const auto& graph : back->canvasAtIndex(0)->graphs())
        masks << dynamic_cast<KXShape*>(graph.get())->photo()->maskName();
    EXPECT_EQ(masks, (QStringList{inPack, at("old machine/Mask/star.png"), at("old machine/Mask/STAR.png")}));
    EXPECT_EQ(back->missingMasks(), QStringList{"star.jpg"});
}

}  // namespace

namespace {

TEST_F(ProjectTest, OlderPackagesAndXMLTemplatesAreReadThroughTheXMLReader) {
    const QString clipart = writeImage(res + "/Clipart/Animals/cat.png");
    QDir().mkpath(at("Old.vrtp/Contents"));
    QFile(at("Old.vrtp/Contents/page.vrtp")).open(QIODevice::WriteOnly);
    QFile(at("Card.tpl")).open(QIODevice::WriteOnly);

    struct Call {
        QString path;
        bool templateFile;
        QString lookedUp;
    };
    std::vector<Call> calls;
    bool fail = false;
    struct RestoreReader {
        ~RestoreReader() {
            KXProject::setXMLProjectReader({});
            setXMLErrorPresenter({});
        }
    } restore;
    // The XML reader reports a broken file once through its presenter (an alert in the application).
    int reported = 0;
    setXMLErrorPresenter([&](const QString&) { ++reported; });
    KXProject::setXMLProjectReader([&](const QString& path, bool templateFile, const KXProject::ResourceLookup& lookup,
                                       KXProject::XMLProjectContent* content, QString* error) {
        calls.push_back({path, templateFile, lookup(QStringLiteral("CAT.png"), QStringLiteral("Clipart"))});
        if (fail) {
            *error = QStringLiteral("not well-formed");
            return false;
        }
        content->pages = {std::make_shared<KXCanvas>(), std::make_shared<KXCanvas>()};
        content->missingPhotos = {QStringLiteral("a.jpg"), QStringLiteral("A.JPG")};
        content->missingMasks = {QStringLiteral("star.jpg")};
        return true;
    });

    KXProject project;
    QString error;
    ASSERT_TRUE(project.loadProjectWithPath(at("Old.vrtp"), &error)) << error.toStdString();
    EXPECT_EQ(project.canvasCount(), 2);
    EXPECT_EQ(project.path(), at("Old.vrtp"));
    EXPECT_EQ(project.missingPhotos(), QStringList{"a.jpg"});
    EXPECT_EQ(project.missingMasks(), QStringList{"star.jpg"});

    KXProject fromTemplate;
    ASSERT_TRUE(fromTemplate.loadProjectWithPath(at("Card.tpl"), &error)) << error.toStdString();
    EXPECT_EQ(fromTemplate.canvasCount(), 2);
    EXPECT_TRUE(fromTemplate.path().isEmpty());

    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].path, at("Old.vrtp"));
    EXPECT_FALSE(calls[0].templateFile);
    EXPECT_EQ(calls[1].path, at("Card.tpl"));
    EXPECT_TRUE(calls[1].templateFile);
    EXPECT_EQ(calls[0].lookedUp, clipart);  // the project's own resource search

    // A file the reader refuses leaves the project as it was.
    fail = true;
    const auto page = project.canvasLayerAtIndex(0);
    EXPECT_FALSE(project.loadProjectWithPath(at("Card.tpl"), &error));
    EXPECT_EQ(error, QStringLiteral("not well-formed"));
    EXPECT_EQ(project.canvasCount(), 2);
    EXPECT_EQ(project.canvasLayerAtIndex(0), page);

    // The built-in reader again: an empty XML file is an error, and the project stays as it was.
    KXProject::setXMLProjectReader({});
    EXPECT_FALSE(project.loadProjectWithPath(at("Old.vrtp"), &error));
    EXPECT_EQ(reported, 1);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(project.canvasLayerAtIndex(0), page);
}

}  // namespace
