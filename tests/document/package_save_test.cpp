// Saving packages safely: on filesystems that cannot exchange folders atomically, with a failure at any step
// of putting a package in place, with the package's permissions, with files that cannot be written, with
// pages of extreme proportions, and with what killed saves leave behind.
#include "package_calls_support.h"
#include "project_test_support.h"

#include "document/package_leftovers.h"
#include "graphics/image_cache.h"

#include <QImageReader>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QUuid>

#include <csignal>
#include <cstring>
#include <functional>
#include <sys/resource.h>
#include <sys/time.h>
#include <unistd.h>

using namespace kxtest;

namespace {

QString reason(int errorNumber) {
    return QString::fromLocal8Bit(std::strerror(errorNumber));
}

// An image of random pixels, which no encoder can make small.
QImage noise(int width, int height, quint32 seed) {
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, random.generate() | 0xff000000u);
    return image;
}

// Limits the size of every file this process writes for the life of the object; a write past it fails with
// EFBIG ("File too large") instead of ending the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limited{bytes, m_old.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

// The id of a process that has ended.
pid_t endedProcessId() {
    QProcess process;
    process.start(QStringLiteral("true"), {});
    EXPECT_TRUE(process.waitForStarted(30000));
    const pid_t pid = pid_t(process.processId());
    EXPECT_TRUE(process.waitForFinished(30000));
    return pid;
}

class PackageSaveTest : public ProjectTest {
protected:
    void TearDown() override {
        KXProject::setPageRenderer({});
        kx::setPackageFileCalls({});
        ProjectTest::TearDown();
    }
    // A project whose first page shows the images, saved at the package path.
    std::unique_ptr<KXProject> savedProject(const QString& package, const QStringList& images) {
        auto project = std::make_unique<KXProject>();
        for (const QString& image : images)
            addPhoto(*project->canvasAtIndex(0), image);
        QString error;
        EXPECT_TRUE(project->saveAsProjectToPath(package, KXSaveOperationSave, &error)) << error.toStdString();
        return project;
    }
    static std::unique_ptr<KXProject> reopen(const QString& package) {
        QString error;
        auto project = KXProject::initWithPath(package, &error);
        EXPECT_TRUE(project) << error.toStdString();
        return project;
    }
};

// ---- filesystems without atomic exchange ----

TEST_F(PackageSaveTest, EverySaveSucceedsWhereTheFilesystemRefusesAtomicExchange) {
    const QString package = at("P.vrtp3");
    FileCallLayer layer(package, true);
    KXProject project;
    QStringList expected;
    for (int round = 0; round < 4; ++round) {
        addPhoto(*project.canvasAtIndex(0), writeImage(at(QStringLiteral("src/p%1.jpg").arg(round))));
        expected << package + QStringLiteral("/Data/p%1.jpg").arg(round);
        const KXSaveOperation operation = round == 2 ? KXSaveOperationAutosaveInPlace : KXSaveOperationSave;
        QString error;
        ASSERT_TRUE(project.saveAsProjectToPath(package, operation, &error)) << "save " << round << ": " << error.toStdString();
        auto back = reopen(package);
        ASSERT_TRUE(back);
        EXPECT_EQ(photoPaths(*back), expected) << "save " << round;
        EXPECT_EQ(sideEntries(dir.path()), QStringList()) << "save " << round;
    }
    // Each save over the package asked for the exchange, was refused, and set the old package aside.
    EXPECT_EQ(layer.seen[SwapStep::Exchange], 3);
    EXPECT_EQ(layer.seen[SwapStep::SetAside], 3);
    EXPECT_EQ(layer.seen[SwapStep::PutBack], 0);
}

TEST_F(PackageSaveTest, AFailureAtAnyStepOfPuttingThePackageInPlaceLeavesTheOldOneWholeAndInPlace) {
    struct Case {
        bool refuseExchange;
        SwapStep failing;
        int error;
    };
    const std::vector<Case> cases{
        {false, SwapStep::FlushData, EIO},    {true, SwapStep::FlushData, EIO},    {false, SwapStep::Exchange, EIO},
        {true, SwapStep::SetAside, EACCES},   {true, SwapStep::MoveIn, ENOSPC},    {false, SwapStep::FlushParent, EIO},
        {true, SwapStep::FlushParent, EDQUOT},
    };
    const QString a = writeImage(at("a.jpg")), b = writeImage(at("other/b.jpg"));
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(testing::Message() << "case " << i << ": " << stepName(c.failing) << " fails"
                                        << (c.refuseExchange ? " without exchange" : ""));
        const QString folder = at(QStringLiteral("case%1").arg(i));
        QDir().mkpath(folder);
        const QString package = folder + QStringLiteral("/P.vrtp3");
        auto project = savedProject(package, {a});
        const std::map<std::string, std::string> before = treeContent(package);
        ASSERT_TRUE(before.count("Data/a.jpg"));
        addPhoto(*project->canvasAtIndex(0), b);

        FileCallLayer layer(package, c.refuseExchange);
        layer.failing[c.failing] = c.error;
        QString error;
        EXPECT_FALSE(project->saveAsProjectToPath(package, KXSaveOperationSave, &error));
        EXPECT_GE(layer.seen[c.failing], 1);
        EXPECT_TRUE(error.contains(reason(c.error))) << error.toStdString();
        EXPECT_EQ(treeContent(package), before);
        EXPECT_EQ(photoPaths(*project), (QStringList{package + QStringLiteral("/Data/a.jpg"), b}));
        EXPECT_EQ(sideEntries(folder), QStringList());
    }
}

TEST_F(PackageSaveTest, AFailedFirstSaveLeavesNothingAtThePath) {
    const QString image = writeImage(at("a.jpg"));
    for (const auto& [step, number] : std::vector<std::pair<SwapStep, int>>{{SwapStep::MoveIn, ENOSPC}, {SwapStep::FlushParent, EIO}}) {
        SCOPED_TRACE(stepName(step));
        const QString package = at("New.vrtp3");
        KXProject project;
        addPhoto(*project.canvasAtIndex(0), image);
        FileCallLayer layer(package);
        layer.failing[step] = number;
        QString error;
        EXPECT_FALSE(project.saveAsProjectToPath(package, KXSaveOperationSaveAs, &error));
        EXPECT_TRUE(error.contains(reason(number))) << error.toStdString();
        EXPECT_FALSE(QFileInfo::exists(package));
        EXPECT_EQ(photoPaths(project), QStringList{image});
        EXPECT_EQ(sideEntries(dir.path()), QStringList());
    }
}

// When the old package cannot even be moved back, it waits beside the package's path, and the next opening
// or save puts it back before anything else.
TEST_F(PackageSaveTest, AnOldPackageThatCouldNotBePutBackReturnsAtTheNextOpeningOrSave) {
    const QString a = writeImage(at("a.jpg")), b = writeImage(at("other/b.jpg"));
    for (const bool bySave : {false, true}) {
        SCOPED_TRACE(bySave ? "next save" : "next opening");
        const QString folder = at(bySave ? "save" : "open");
        QDir().mkpath(folder);
        const QString package = folder + QStringLiteral("/P.vrtp3");
        auto project = savedProject(package, {a});
        const std::map<std::string, std::string> before = treeContent(package);
        addPhoto(*project->canvasAtIndex(0), b);
        {
            FileCallLayer layer(package, true);
            layer.failing[SwapStep::MoveIn] = ENOSPC;
            layer.failing[SwapStep::PutBack] = EIO;
            QString error;
            EXPECT_FALSE(project->saveAsProjectToPath(package, KXSaveOperationSave, &error));
            EXPECT_TRUE(error.contains(reason(ENOSPC))) << error.toStdString();
            EXPECT_TRUE(error.contains(QStringLiteral(".replaced-"))) << error.toStdString();
            EXPECT_FALSE(QFileInfo::exists(package));
            ASSERT_EQ(sideEntries(folder).size(), 1);
            EXPECT_EQ(treeContent(folder + QLatin1Char('/') + sideEntries(folder).constFirst()), before);
        }
        if (bySave) {
            QString error;
            ASSERT_TRUE(project->saveAsProjectToPath(package, KXSaveOperationSave, &error)) << error.toStdString();
            EXPECT_EQ(filesIn(package + QStringLiteral("/Data")), (QStringList{"a.jpg", "b.jpg"}));
        } else {
            auto back = reopen(package);
            ASSERT_TRUE(back);
            EXPECT_EQ(treeContent(package), before);
            EXPECT_EQ(photoPaths(*back), QStringList{package + QStringLiteral("/Data/a.jpg")});
        }
        EXPECT_EQ(sideEntries(folder), QStringList());
    }
}

// ---- what killed saves leave behind ----

TEST_F(PackageSaveTest, OnlyOurOwnDeadLeftoversBesideThePackageGoWhenItIsSavedOrOpened) {
    const pid_t dead = endedProcessId();
    const pid_t alive = ::getppid();
    const auto uuid = [] { return QUuid::createUuid().toString(QUuid::WithoutBraces); };
    enum Kind { Folder, StaleFolder, LockedFolder, Link, File };
    struct Leftover {
        QString name;
        Kind kind;
        bool removed;
    };
    for (const bool bySave : {true, false}) {
        SCOPED_TRACE(bySave ? "save" : "opening");
        const QString folder = at(bySave ? "save" : "open");
        const QString elsewhere = at(bySave ? "elsewhere-save" : "elsewhere-open");
        QDir().mkpath(elsewhere);
        writeImage(elsewhere + QStringLiteral("/keep.jpg"));
        QDir().mkpath(folder);
        const QString package = folder + QStringLiteral("/P.vrtp3");
        auto project = savedProject(package, {writeImage(at("a.jpg"))});
        const QString p = QStringLiteral(".P.vrtp3.");
        const std::vector<Leftover> leftovers{
            {p + QStringLiteral("saving-%1-%2").arg(dead).arg(uuid()), Folder, true},
            {p + QStringLiteral("replaced-%1-%2").arg(dead).arg(uuid()), Folder, true},
            {p + QStringLiteral("saving-") + uuid(), StaleFolder, true},  // the naming of earlier versions
            {p + QStringLiteral("saving-") + uuid(), Folder, false},      // ... still young: may be a live save
            {p + QStringLiteral("saving-%1-%2").arg(alive).arg(uuid()), Folder, false},
            {p + QStringLiteral("saving-%1-%2").arg(dead).arg(uuid()), LockedFolder, false},
            {p + QStringLiteral("saving-%1-%2").arg(dead).arg(uuid()), Link, false},
            {p + QStringLiteral("saving-%1-%2").arg(dead).arg(uuid()), File, false},
            {p + QStringLiteral("replaced-") + uuid(), StaleFolder, false},  // set-aside folders always had an id
            {p + QStringLiteral("saving-%1-%2x").arg(dead).arg(uuid()), Folder, false},
            {p + QStringLiteral("saving-%1-%2").arg(dead).arg(uuid().toUpper()), Folder, false},
            {QStringLiteral("P.vrtp3.saving-%1-%2").arg(dead).arg(uuid()), Folder, false},
            {QStringLiteral(".Q.vrtp3.saving-%1-%2").arg(dead).arg(uuid()), Folder, false},
            {QStringLiteral(".P.vrtp3x.saving-%1-%2").arg(dead).arg(uuid()), Folder, false},
        };
        std::vector<std::unique_ptr<kx::FolderLock>> locks;
        for (const Leftover& leftover : leftovers) {
            const QString path = folder + QLatin1Char('/') + leftover.name;
            if (leftover.kind == Link) {
                ASSERT_TRUE(QFile::link(elsewhere, path));
            } else if (leftover.kind == File) {
                writeImage(path + QStringLiteral(".jpg"));
                ASSERT_TRUE(QFile::rename(path + QStringLiteral(".jpg"), path));
            } else {
                writeImage(path + QStringLiteral("/Data/x.jpg"));
            }
            if (leftover.kind == StaleFolder) {
                const timeval twoHoursAgo{::time(nullptr) - 2 * 60 * 60, 0};
                const timeval times[2]{twoHoursAgo, twoHoursAgo};
                ASSERT_EQ(::utimes(QFile::encodeName(path).constData(), times), 0);
            }
            if (leftover.kind == LockedFolder) {
                locks.push_back(std::make_unique<kx::FolderLock>(path));
                ASSERT_EQ(locks.back()->state(), kx::FolderLock::State::Held);
            }
        }

        if (bySave) {
            QString error;
            ASSERT_TRUE(project->saveAsProjectToPath(package, KXSaveOperationSave, &error)) << error.toStdString();
        } else {
            ASSERT_TRUE(reopen(package));
        }
        for (const Leftover& leftover : leftovers)
            EXPECT_EQ(modeOf(folder + QLatin1Char('/') + leftover.name) == -1, leftover.removed) << leftover.name.toStdString();
        EXPECT_TRUE(QFileInfo(elsewhere + QStringLiteral("/keep.jpg")).isFile());
        EXPECT_EQ(photoPaths(*reopen(package)), QStringList{package + QStringLiteral("/Data/a.jpg")});
    }
}

QProcess* startSaveHelper(const QStringList& arguments) {
    auto* process = new QProcess;
    process->start(QStringLiteral(KX_SAVE_HELPER), arguments);
    EXPECT_TRUE(process->waitForStarted(30000));
    return process;
}

// Another process saves the package over and over while this one opens it again and again: the clean-up
// that every opening runs never touches the other's live save, and takes what it leaves once it is killed.
TEST_F(PackageSaveTest, OpeningNeverDisturbsALiveSaveOfAnotherProcessAndClearsItsLeftoversOnceItIsGone) {
    const QString package = at("P.vrtp3");
    QStringList images;
    for (int i = 0; i < 6; ++i)
        images << writeImage(at(QStringLiteral("src/p%1.jpg").arg(i)), 300, 200, QColor(i * 40, 20, 20));
    savedProject(package, images);
    std::unique_ptr<QProcess> helper(startSaveHelper({package, QStringLiteral("churn"), at("src"), QStringLiteral("0")}));
    // The process's state is taken up only while waiting for it.
    const auto saving = [&] {
        helper->waitForFinished(1);
        return helper->state() == QProcess::Running;
    };
    int opened = 0;
    for (; opened < 150 && saving(); ++opened)
        ASSERT_TRUE(reopen(package)) << "opening " << opened;
    EXPECT_TRUE(saving()) << "the saving process ended after " << opened << " openings, exit code " << helper->exitCode()
                          << ": " << helper->readAllStandardError().toStdString();
    helper->kill();
    helper->waitForFinished(30000);
    auto back = reopen(package);
    ASSERT_TRUE(back);
    EXPECT_GE(photoPaths(*back).size(), 3);
    for (const QString& photo : photoPaths(*back))
        EXPECT_FALSE(QImage(photo).isNull()) << photo.toStdString();
    EXPECT_EQ(sideEntries(dir.path()), QStringList());
}

// ---- permissions ----

TEST_F(PackageSaveTest, APackageKeepsTheModesOfItsFoldersAndFiles) {
    struct Case {
        int folderMode;
        int fileMode;
    };
    const QString a = writeImage(at("a.jpg"));
    const QString b = writeImage(at("other/b.jpg"));
    setMode(b, 0644);
    for (const Case& c : {Case{0700, 0600}, Case{0750, 0640}, Case{0711, 0604}}) {
        SCOPED_TRACE(testing::Message() << std::oct << c.folderMode << "/" << c.fileMode);
        const QString folder = at(QStringLiteral("modes%1").arg(c.folderMode, 0, 8));
        QDir().mkpath(folder);
        const QString package = folder + QStringLiteral("/P.vrtp3");
        auto project = savedProject(package, {a});
        const QStringList folders{"", "Data", "QuickLook"};
        for (const QString& f : folders)
            setMode(package + QLatin1Char('/') + f, c.folderMode);
        for (const QString& file : treeFiles(package))
            setMode(package + QLatin1Char('/') + file, c.fileMode);
        addPhoto(*project->canvasAtIndex(0), b);
        for (const KXSaveOperation operation : {KXSaveOperationSave, KXSaveOperationAutosaveInPlace}) {
            QString error;
            ASSERT_TRUE(project->saveAsProjectToPath(package, operation, &error)) << error.toStdString();
            for (const QString& f : folders)
                EXPECT_EQ(modeOf(package + QLatin1Char('/') + f), c.folderMode) << "folder " << f.toStdString();
            const QStringList files = treeFiles(package);
            EXPECT_EQ(files, (QStringList{"Data/a.jpg", "Data/b.jpg", "QuickLook/Preview.pdf", "QuickLook/Thumbnail.jpg", "info.xml"}));
            for (const QString& file : files)
                EXPECT_EQ(modeOf(package + QLatin1Char('/') + file), c.fileMode) << file.toStdString();
        }
        EXPECT_EQ(modeOf(b), 0644);  // the person's own photo is left as it was
    }
}

TEST_F(PackageSaveTest, AReadOnlyPackageIsNotReplacedAndTheSaveSaysItCannotWrite) {
    struct Case {
        const char* entry;  // made read-only, relative to the package
        int mode;
    };
    const QString a = writeImage(at("a.jpg")), b = writeImage(at("other/b.jpg"));
    int n = 0;
    for (const Case& c : {Case{"", 0555}, Case{"info.xml", 0444}, Case{"", 0500}})
        for (const KXSaveOperation operation : {KXSaveOperationSave, KXSaveOperationAutosaveInPlace}) {
            SCOPED_TRACE(testing::Message() << "\"" << c.entry << "\" " << std::oct << c.mode << std::dec << ", save kind " << operation);
            const QString folder = at(QStringLiteral("ro%1").arg(n++));
            QDir().mkpath(folder);
            const QString package = folder + QStringLiteral("/P.vrtp3");
            auto project = savedProject(package, {a});
            const QString entry = package + (*c.entry ? QLatin1Char('/') + QString::fromLatin1(c.entry) : QString());
            setMode(entry, c.mode);
            const std::map<std::string, std::string> before = treeContent(package);
            addPhoto(*project->canvasAtIndex(0), b);
            QString error;
            EXPECT_FALSE(project->saveAsProjectToPath(package, operation, &error));
            EXPECT_EQ(error, QStringLiteral("Cannot write \"%1\": %2").arg(package, reason(EACCES)));
            EXPECT_EQ(treeContent(package), before);
            EXPECT_EQ(modeOf(entry), c.mode);
            EXPECT_EQ(photoPaths(*project), (QStringList{package + QStringLiteral("/Data/a.jpg"), b}));
            EXPECT_EQ(sideEntries(folder), QStringList());
            setMode(entry, 0755);  // so that the temporary folder can go
        }
}

// ---- files that cannot be written or flushed ----

TEST_F(PackageSaveTest, AnyFileThatCannotBeWrittenFailsTheSaveWithTheSystemsReason) {
    // Pages draw in one colour (small Quick Look files), or as noise where the Quick Look files must be as
    // large as their pixels.
    const auto drawPages = [](bool asNoise) {
        KXProject::setPageRenderer([asNoise](KXCanvas& page, const kx::Size& box) {
            const kx::Size pixels = page.pixelSize();
            const double scale = std::min(box.width / pixels.width, box.height / pixels.height);
            const int w = int(std::lround(pixels.width * scale)), h = int(std::lround(pixels.height * scale));
            QImage flat(w, h, QImage::Format_RGB32);
            flat.fill(Qt::gray);
            return kx::Image(asNoise ? noise(w, h, 7) : flat);
        });
    };
    std::vector<KXCachePtr> cached;
    struct Case {
        const char* what;
        bool noisyPages;
        rlim_t limit;
        std::function<void(KXProject&)> prepare;
    };
    const std::vector<Case> cases{
        {"a pasted image known only to the image cache", false, 64 * 1024,
         [&](KXProject& project) {
             const QString stored = at("clipboard/pasted.png");
             cached.push_back(KXCache::initWithImage(kx::Image(noise(400, 400, 1)), stored));
             KXCacheManager::cacheManager().addCache(cached.back(), stored);
             addPhoto(*project.canvasAtIndex(0), stored);
         }},
        {"a photo copied into the package", false, 64 * 1024,
         [&](KXProject& project) {
             const QString big = at("other/big.png");
             QDir().mkpath(at("other"));
             ASSERT_TRUE(noise(400, 400, 2).save(big));
             addPhoto(*project.canvasAtIndex(0), big);
         }},
        {"the Quick Look preview", true, 160 * 1024,
         [](KXProject& project) {
             project.createNewLayerWithCanvas(std::make_shared<KXCanvas>());
             project.createNewLayerWithCanvas(std::make_shared<KXCanvas>());
         }},
        {"the Quick Look thumbnail", true, 8 * 1024, [](KXProject&) {}},
    };
    const QString a = writeImage(at("a.jpg"));
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].what);
        drawPages(cases[i].noisyPages);
        const QString folder = at(QStringLiteral("case%1").arg(i));
        QDir().mkpath(folder);
        const QString package = folder + QStringLiteral("/P.vrtp3");
        auto project = savedProject(package, {a});
        const std::map<std::string, std::string> before = treeContent(package);
        cases[i].prepare(*project);
        const QStringList paths = photoPaths(*project);
        QString error;
        bool saved = false;
        {
            const FileSizeLimit limit(cases[i].limit);
            saved = project->saveAsProjectToPath(package, KXSaveOperationSave, &error);
        }
        EXPECT_FALSE(saved);
        EXPECT_TRUE(error.contains(reason(EFBIG))) << error.toStdString();
        EXPECT_EQ(treeContent(package), before);
        EXPECT_EQ(photoPaths(*project), paths);
        EXPECT_EQ(sideEntries(folder), QStringList());
        for (std::int64_t page = 0; page < project->canvasCount(); ++page)
            while (project->canvasAtIndex(page)->graphCount() > 0)
                project->canvasAtIndex(page)->removeGraphAtIndex(0);
    }
    KXProject::setPageRenderer({});
}

TEST_F(PackageSaveTest, EverythingThePackageHoldsIsFlushedBeforeItMovesIn) {
    const QString package = at("P.vrtp3");
    auto project = savedProject(package, {writeImage(at("a.jpg"))});
    addPhoto(*project->canvasAtIndex(0), writeImage(at("other/b.jpg")));
    for (const bool refuseExchange : {false, true}) {
        SCOPED_TRACE(refuseExchange ? "set aside" : "exchange");
        FileCallLayer layer(package, refuseExchange);
        QString error;
        ASSERT_TRUE(project->saveAsProjectToPath(package, KXSaveOperationSave, &error)) << error.toStdString();
        // The call that puts the new package in place, and the work folder it came from.
        const qsizetype swap = layer.log.indexOf(QRegularExpression(QStringLiteral("^rename .*\\.saving-[^/]* -> ") +
                                                                    QRegularExpression::escape(package) + QLatin1Char('$')));
        ASSERT_GE(swap, 0) << layer.log.join('\n').toStdString();
        const QString work = layer.log[swap].mid(7, layer.log[swap].indexOf(QStringLiteral(" -> ")) - 7);
        const QStringList flushedBefore = layer.log.mid(0, swap);
        QStringList entries{QString()};
        entries << treeFiles(package);
        entries << QStringLiteral("Data") << QStringLiteral("QuickLook");
        for (const QString& entry : entries)
            EXPECT_TRUE(flushedBefore.contains(QStringLiteral("sync ") + work + (entry.isEmpty() ? QString() : QLatin1Char('/') + entry)))
                << "\"" << entry.toStdString() << "\" was not flushed before the swap";
        EXPECT_TRUE(layer.log.mid(swap).contains(QStringLiteral("sync ") + dir.path())) << "the parent was not flushed";
    }
}

// ---- Quick Look files of pages of extreme proportions ----

TEST_F(PackageSaveTest, PagesOfExtremeProportionsStillGetAThumbnailAndAPreview) {
    struct Case {
        double width, height;
        QSize thumbnail;
    };
    for (const Case& c : {Case{10240, 10, {256, 1}}, Case{10, 10240, {1, 256}}, Case{5130, 10, {256, 1}}}) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        KXProject project;
        project.setPageSize(KXSize(c.width, c.height, KXSizeUnitPixel, 72));
        const QString package = at(QStringLiteral("P%1x%2.vrtp3").arg(c.width).arg(c.height));
        QString error;
        ASSERT_TRUE(project.saveAsProjectToPath(package, KXSaveOperationSave, &error)) << error.toStdString();
        EXPECT_EQ(filesIn(package + QStringLiteral("/QuickLook")), (QStringList{"Preview.pdf", "Thumbnail.jpg"}));
        EXPECT_EQ(QImageReader(package + QStringLiteral("/QuickLook/Thumbnail.jpg")).size(), c.thumbnail);
        EXPECT_TRUE(fileBytes(package + QStringLiteral("/QuickLook/Preview.pdf")).startsWith("%PDF-"));
    }
}

}  // namespace
