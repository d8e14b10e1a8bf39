#include "library/pack_installer.h"
#include "library/resource_folders.h"
#include "library/template_folders.h"
#include "library/template_listing.h"
#include "library/zip_archive.h"
#include "support/outside_tools.h"
#include "resource_fixture.h"
#include "support/run_program.h"
#include "support/zip_writer.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QUuid>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

using kxtest::ResourceWorld;
using kxtest::ZipEntry;
using kxtest::ZipWriter;

const QByteArray kPassword = "Tamarisklanes57";
const QString kPack = QStringLiteral("Sea Shells");

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool lexists(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

// Every path below a folder (hidden ones too, links not followed) with the contents of its files.
std::map<QString, QByteArray> tree(const QString& folder) {
    std::map<QString, QByteArray> entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        entries[path.mid(folder.size() + 1)] =
            info.isSymLink() ? "link:" + info.symLinkTarget().toUtf8() : info.isDir() ? "dir" : readFile(path);
    }
    return entries;
}

// A content pack in the layout the chooser and the resource panel read.
class PackInstall : public ::testing::Test {
protected:
    QString boxes() const { return kx::templates::boxesFolderPath(); }
    QString work(const QString& name) const { return m_world.path("work/" + name); }

    // Writes a pack folder with a template, a clip-art image and `extra` files, under work/<version>.
    QString makePackSource(const QString& version, const std::map<QString, QByteArray>& extra = {}) {
        const QString root = work(version);
        const QString pack = root + u'/' + kPack;
        ResourceWorld::image(pack + "/Templates/" + kPack + "/Beach/Beach.jpg");
        ResourceWorld::image(pack + "/Clipart/" + kPack + "/shell.png");
        for (const auto& [name, bytes] : extra)
            writeFile(pack + u'/' + name, bytes);
        return root;
    }
    // `zip -P <password> -r` of the pack folder inside `root`.
    QString zipWithPassword(const QString& root, const QByteArray& password, const QString& name = "pack.zip") {
        const QString archive = work(name);
        const kxtest::ProgramResult run = kxtest::runProgram(
            "sh", {"-c", R"(cd "$1" && zip -q -P "$2" -r "$3" "$4")", "sh", root, password, archive, kPack});
        EXPECT_TRUE(run.succeeded()) << run.standardError.toStdString();
        return archive;
    }
    QString installedV1() {
        const QString archive =
            zipWithPassword(makePackSource("v1", {{"version.txt", "one"}, {"old.txt", "old"}}), kPassword, "v1.zip");
        const KXPackInstallResult result = KXInstallPack(archive, boxes(), kPack, kPassword);
        EXPECT_TRUE(result.ok) << result.errorText.toStdString();
        return result.installedFolder;
    }

    ResourceWorld m_world;
};

TEST_F(PackInstall, RealArchiveAppearsInTheChooserAndTheResourcePanel) {
    KX_REQUIRE_TOOLS("zip");
    const QString source = makePackSource("v1");
    ResourceWorld::image(source + u'/' + kPack + "/Frame/" + kPack + "/wood.png");
    const QDateTime stamp(QDate(2024, 3, 9), QTime(14, 30, 12));
    {
        QFile shell(source + u'/' + kPack + "/Clipart/" + kPack + "/shell.png");
        ASSERT_TRUE(shell.open(QIODevice::ReadWrite));
        ASSERT_TRUE(shell.setFileTime(stamp, QFileDevice::FileModificationTime));
    }
    const QString archive = zipWithPassword(source, kPassword);

    const KXPackInstallResult result = KXInstallPack(archive, boxes(), kPack, kPassword);
    ASSERT_TRUE(result.ok) << result.errorText.toStdString();
    EXPECT_EQ(result.installedFolder, boxes() + u'/' + kPack);
    EXPECT_EQ(tree(result.installedFolder), tree(source + u'/' + kPack));
    // Only the pack is left in the packs folder: no scratch folder.
    EXPECT_EQ(QDir(boxes()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{kPack});
    const QString shell = result.installedFolder + "/Clipart/" + kPack + "/shell.png";
    EXPECT_EQ(QFileInfo(shell).lastModified(), stamp);

    // The chooser lists the pack as a row with its template; the resource panel offers its categories.
    EXPECT_TRUE(kx::templates::templateCategoryList({}).contains(kPack));
    const kx::templates::TemplateListing listing = kx::templates::listTemplates(kPack, {});
    ASSERT_EQ(listing.items.size(), 1u);
    EXPECT_EQ(categoriesOfResource(KXResourceClipart), QStringList{kPack});
    EXPECT_EQ(resourcePathsInCategory(KXResourceClipart, kPack), QStringList{shell});
    EXPECT_EQ(resourcePathsInCategory(KXResourceFrame, kPack),
              QStringList{result.installedFolder + "/Frame/" + kPack + "/wood.png"});
}

TEST_F(PackInstall, ReinstallReplacesTheOldFolderWhole) {
    KX_REQUIRE_TOOLS("zip");
    const QString installed = installedV1();
    const QString archive = zipWithPassword(makePackSource("v2", {{"version.txt", "two"}}), kPassword, "v2.zip");
    const KXPackInstallResult result = KXInstallPack(archive, boxes(), kPack, kPassword);
    ASSERT_TRUE(result.ok) << result.errorText.toStdString();
    EXPECT_EQ(readFile(installed + "/version.txt"), "two");
    EXPECT_FALSE(QFile::exists(installed + "/old.txt"));
    EXPECT_EQ(QDir(boxes()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{kPack});
}

// Each way an archive can fail leaves the installed pack exactly as it was, says so, and leaves no scratch.
TEST_F(PackInstall, FailuresLeaveTheOldPackIntact) {
    KX_REQUIRE_TOOLS("zip", "7z");
    const QString installed = installedV1();
    const auto before = tree(boxes());
    const QString v2 = makePackSource("v2", {{"version.txt", QByteArray(5000, 'x')}});

    const QString wrongPassword = zipWithPassword(v2, "not-the-password", "wrong.zip");
    const QString aes = work("aes.zip");
    const kxtest::ProgramResult sevenZip = kxtest::runProgram(
        "sh", {"-c", R"(cd "$1" && 7z a -bd -p"$2" -mem=AES256 "$3" "$4" >/dev/null)", "sh", v2, kPassword, aes, kPack});
    ASSERT_TRUE(sevenZip.succeeded()) << sevenZip.standardError.toStdString();
    const QByteArray good = readFile(zipWithPassword(v2, kPassword, "good.zip"));
    const QString truncated = work("truncated.zip");
    writeFile(truncated, good.left(good.size() * 2 / 3));
    const QString garbage = work("garbage.zip");
    writeFile(garbage, "PK\x03\x04 this is not an archive");
    ZipWriter otherFolder;
    otherFolder.add({"Another Pack/readme.txt", "hello"});
    const QString wrongFolder = work("other.zip");
    ASSERT_TRUE(otherFolder.write(wrongFolder));
    const QString unencrypted = work("plain.zip");
    ZipWriter plainWriter;
    plainWriter.add({(kPack + "/a.txt").toUtf8(), "plain"});
    ASSERT_TRUE(plainWriter.write(unencrypted));
    // A stored entry whose checksum does not match its data.
    QByteArray corrupted = readFile(unencrypted);
    corrupted[corrupted.indexOf("plain")] = 'P';
    const QString badChecksum = work("crc.zip");
    writeFile(badChecksum, corrupted);

    const struct {
        const char* what;
        QString archive;
        const char* mentions;
    } cases[] = {
        {"wrong password", wrongPassword, "password"},
        {"AES from 7z", aes, "AES"},
        {"truncated", truncated, "cannot be opened"},
        {"not an archive", garbage, "cannot be opened"},
        {"missing pack folder", wrongFolder, "does not hold the folder"},
        {"bad checksum", badChecksum, "checksum"},
        {"missing archive", work("absent.zip"), "cannot be opened"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const KXPackInstallResult result = KXInstallPack(c.archive, boxes(), kPack, kPassword);
        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.errorText.contains(c.mentions)) << result.errorText.toStdString();
        EXPECT_TRUE(result.errorText.contains("left as it was")) << result.errorText.toStdString();
        EXPECT_EQ(tree(boxes()), before);
    }
    EXPECT_EQ(readFile(installed + "/version.txt"), "one");
}

TEST_F(PackInstall, HostileNamesWriteNothingOutsideThePacksFolder) {
    const QString absolute = QDir::tempPath() + "/kx-abs-" + QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QByteArray names[] = {
        "../x", "../../x", "Sea Shells/../../x", "..\\x", "Sea Shells\\..\\..\\x", absolute.toUtf8(),
        "\\\\server\\share\\x", "C:\\x", "c:x", "Sea Shells/ok.txt/../../../x",
    };
    const QString root = QFileInfo(m_world.path("x")).path();
    const QString boxesRelative = boxes().mid(root.size() + 1);
    // The world's files, apart from the packs folder and the folders holding it.
    auto world = [&] {
        auto entries = tree(root);
        std::erase_if(entries, [&](const auto& entry) {
            return boxesRelative == entry.first || boxesRelative.startsWith(entry.first + u'/');
        });
        return entries;
    };
    const QString archive = m_world.path("work/hostile.zip");
    QDir().mkpath(QFileInfo(archive).path());
    const auto before = world();
    for (const QByteArray& name : names) {
        SCOPED_TRACE(name.toStdString());
        ZipWriter writer;
        writer.add({(kPack + "/fine.txt").toUtf8(), "fine"});
        writer.add({name, "escaped"});
        ASSERT_TRUE(writer.write(archive));
        const KXPackInstallResult result = KXInstallPack(archive, boxes(), kPack, {});
        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.errorText.contains("outside")) << result.errorText.toStdString();
        QFile::remove(archive);
        EXPECT_FALSE(lexists(absolute));
        EXPECT_EQ(world(), before);
        EXPECT_TRUE(QDir(boxes()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
    }
}

// Names that are odd but harmless are kept; links and resource-fork litter are not unpacked.
TEST_F(PackInstall, SeparatorsEncodingsLinksAndMacLitter) {
    ZipWriter writer;
    writer.add({"Sea Shells\\Clipart\\Shells\\c.png", "backslashes"});
    writer.add({"__MACOSX/._x", "litter"});
    writer.add({"__MACOSX/Sea Shells/._c.png", "litter"});
    writer.add({"Sea Shells/caf\x82 \x94.txt", "code page 437"});  // "café ö"
    ZipEntry utf8{"Sea Shells/na\xc3\xafve \xe2\x82\xac.txt", "utf-8"};
    utf8.flags = 0x800;
    writer.add(utf8);
    writer.add(ZipEntry::symbolicLink("Sea Shells/link", "../../../../outside"));
    writer.add(ZipEntry::symbolicLink("Sea Shells/Clipart/Shells/link.png", "/etc/passwd"));
    writer.add({"Sea Shells/Templates/", {}});
    writer.add({"Sea Shells/./deep//file.txt", "deep", true});
    const QString archive = m_world.path("odd.zip");
    ASSERT_TRUE(writer.write(archive));

    const KXPackInstallResult result = KXInstallPack(archive, boxes(), kPack, {});
    ASSERT_TRUE(result.ok) << result.errorText.toStdString();
    const std::map<QString, QByteArray> expected = {
        {"Clipart", "dir"},
        {"Clipart/Shells", "dir"},
        {"Clipart/Shells/c.png", "backslashes"},
        {QString::fromUtf8("caf\u00e9 \u00f6.txt"), "code page 437"},
        {QString::fromUtf8("na\u00efve \u20ac.txt"), "utf-8"},
        {"Templates", "dir"},
        {"deep", "dir"},
        {"deep/file.txt", "deep"},
    };
    EXPECT_EQ(tree(result.installedFolder), expected);
    EXPECT_FALSE(lexists(boxes() + "/__MACOSX"));
}

TEST(ZipEntryNames, AreJudgedAfterDecoding) {
    using Kind = KXZipEntryName::Kind;
    const struct {
        QByteArray raw;
        bool utf8;
        Kind kind;
        QString path;
    } cases[] = {
        {"a/b.png", false, Kind::File, "a/b.png"},
        {"a\\b\\", false, Kind::Folder, "a/b"},
        {"a/./b", false, Kind::File, "a/b"},
        {"a/b\0/../../x", false, Kind::File, "a/b"},  // the name ends at the first zero byte
        {"./", false, Kind::Skipped, ""},
        {"__MACOSX/a", false, Kind::Skipped, ""},
        {"a/__MACOSX/b", false, Kind::File, "a/__MACOSX/b"},
        {"a/..b", false, Kind::File, "a/..b"},
        {"../a", false, Kind::Refused, ""},
        {"a/..", false, Kind::Refused, ""},
        {"/a", false, Kind::Refused, ""},
        {"\\a", false, Kind::Refused, ""},
        {"D:/a", false, Kind::Refused, ""},
        {"\xff\xfe", true, Kind::Refused, ""},  // not UTF-8 although flagged so
        {"\xe9t\xe9", false, Kind::File, QString::fromUtf8("\u0398t\u0398")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.raw.toStdString());
        const KXZipEntryName name = KXZipSafeEntryName(c.raw, c.utf8);
        EXPECT_EQ(name.kind, c.kind);
        EXPECT_EQ(name.path, c.path);
    }
    EXPECT_EQ(KXDecodeCodePage437("\x80\xe1\xfe\xff"), QString::fromUtf8("\u00c7\u00df\u25a0\u00a0"));
}

// Folders and files that already exist as links are never written through.
TEST(ZipArchive, NeverWritesThroughAnExistingLink) {
    QTemporaryDir dir;
    const QString target = dir.path() + "/target";
    const QString outside = dir.path() + "/outside";
    QDir().mkpath(target);
    QDir().mkpath(outside);
    writeFile(outside + "/f.txt", "outside");
    ASSERT_TRUE(QFile::link(outside, target + "/Linked"));
    QDir().mkpath(target + "/Real");
    ASSERT_TRUE(QFile::link(outside + "/f.txt", target + "/Real/f.txt"));
    // A hard link to a file elsewhere is replaced, not written into.
    writeFile(outside + "/hard.txt", "outside");
    ASSERT_EQ(::link(QFile::encodeName(outside + "/hard.txt").constData(),
                     QFile::encodeName(target + "/Real/hard.txt").constData()),
              0);

    ZipWriter writer;
    writer.add({"Real/f.txt", "new"});
    writer.add({"Real/hard.txt", "new"});
    const QString replacing = dir.path() + "/replacing.zip";
    ASSERT_TRUE(writer.write(replacing));
    KXZipArchive archive;
    ASSERT_TRUE(archive.UnzipOpenFile(replacing));
    EXPECT_TRUE(archive.UnzipFileTo(target, true)) << archive.lastError().toStdString();
    EXPECT_EQ(readFile(target + "/Real/f.txt"), "new");
    EXPECT_FALSE(QFileInfo(target + "/Real/f.txt").isSymLink());
    EXPECT_EQ(readFile(target + "/Real/hard.txt"), "new");

    ZipWriter through;
    through.add({"Linked/g.txt", "new"});
    const QString throughLink = dir.path() + "/through.zip";
    ASSERT_TRUE(through.write(throughLink));
    ASSERT_TRUE(archive.UnzipOpenFile(throughLink));
    EXPECT_FALSE(archive.UnzipFileTo(target, true));
    EXPECT_EQ(tree(outside), (std::map<QString, QByteArray>{{"f.txt", "outside"}, {"hard.txt", "outside"}}));
}

struct RecordingDelegate : KXZipArchiveDelegate {
    void ErrorMessage(const QString& message) override { messages.append(message); }
    bool OverWriteOperation(const QString& path) override {
        asked.append(path);
        return path.endsWith("yes.txt");
    }
    QStringList messages;
    QStringList asked;
};

// With overwriting off the delegate decides for each existing file; errors reach it in the archive's words.
TEST(ZipArchive, TheDelegateDecidesOverwritesAndHearsErrors) {
    KX_REQUIRE_TOOLS("zip");
    QTemporaryDir dir;
    writeFile(dir.path() + "/out/yes.txt", "old");
    writeFile(dir.path() + "/out/no.txt", "old");
    ZipWriter writer;
    writer.add({"yes.txt", "new"});
    writer.add({"no.txt", "new"});
    writer.add({"fresh.txt", "new"});
    ASSERT_TRUE(writer.write(dir.path() + "/a.zip"));
    RecordingDelegate delegate;
    KXZipArchive archive;
    archive.setDelegate(&delegate);
    ASSERT_TRUE(archive.UnzipOpenFile(dir.path() + "/a.zip"));
    EXPECT_TRUE(archive.UnzipFileTo(dir.path() + "/out", false));
    EXPECT_EQ(readFile(dir.path() + "/out/yes.txt"), "new");
    EXPECT_EQ(readFile(dir.path() + "/out/no.txt"), "old");
    EXPECT_EQ(readFile(dir.path() + "/out/fresh.txt"), "new");
    EXPECT_EQ(delegate.asked, QStringList({dir.path() + "/out/yes.txt", dir.path() + "/out/no.txt"}));
    EXPECT_TRUE(delegate.messages.isEmpty());
    EXPECT_TRUE(archive.UnzipCloseFile());

    writeFile(dir.path() + "/src/s.txt", "secret");
    const kxtest::ProgramResult zip = kxtest::runProgram(
        "sh", {"-c", R"(cd "$1" && zip -q -P right "$2" s.txt)", "sh", dir.path() + "/src", dir.path() + "/e.zip"});
    ASSERT_TRUE(zip.succeeded());
    ASSERT_TRUE(archive.UnzipOpenFile(dir.path() + "/e.zip", "wrong"));
    EXPECT_FALSE(archive.UnzipFileTo(dir.path() + "/out", true));
    EXPECT_EQ(delegate.messages, QStringList{"Error occurs"});
    ASSERT_TRUE(archive.UnzipOpenFile(dir.path() + "/e.zip", "right"));
    EXPECT_TRUE(archive.UnzipFileTo(dir.path() + "/out", true)) << archive.lastError().toStdString();
    EXPECT_EQ(readFile(dir.path() + "/out/s.txt"), "secret");
    // Closing forgets the password; without one an encrypted entry is not attempted.
    EXPECT_TRUE(archive.UnzipCloseFile());
    ASSERT_TRUE(archive.UnzipOpenFile(dir.path() + "/e.zip"));
    EXPECT_FALSE(archive.UnzipFileTo(dir.path() + "/out", true));
    EXPECT_TRUE(archive.lastError().contains("no password")) << archive.lastError().toStdString();
}

// The pack folder itself a link: the link is replaced, what it points to is left alone.
TEST_F(PackInstall, AnInstalledLinkIsReplacedNotFollowed) {
    const QString outside = m_world.path("outside");
    writeFile(outside + "/keep.txt", "keep");
    QDir().mkpath(boxes());
    ASSERT_TRUE(QFile::link(outside, boxes() + u'/' + kPack));
    ZipWriter writer;
    writer.add({(kPack + "/new.txt").toUtf8(), "new"});
    const QString archive = m_world.path("pack.zip");
    ASSERT_TRUE(writer.write(archive));
    const KXPackInstallResult result = KXInstallPack(archive, boxes(), kPack, {});
    ASSERT_TRUE(result.ok) << result.errorText.toStdString();
    EXPECT_FALSE(QFileInfo(result.installedFolder).isSymLink());
    EXPECT_EQ(readFile(result.installedFolder + "/new.txt"), "new");
    EXPECT_EQ(tree(outside), (std::map<QString, QByteArray>{{"keep.txt", "keep"}}));
}

TEST_F(PackInstall, ZipBombsAreRefusedBeforeFillingTheDisk) {
    KX_REQUIRE_TOOLS("/usr/bin/python3");
    const QString manyEntries = m_world.path("many.zip");
    const kxtest::ProgramResult python = kxtest::runProgram(
        "/usr/bin/python3", {"-c",
                             "import sys, zipfile\n"
                             "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                             "    for i in range(100000): z.writestr('Sea Shells/%d' % i, b'')\n",
                             manyEntries});
    ASSERT_TRUE(python.succeeded()) << python.standardError.toStdString();

    ZipWriter gigabyte;
    gigabyte.addZeros((kPack + "/zeros.bin").toUtf8(), std::int64_t(1) << 30);
    const QString honest = m_world.path("gigabyte.zip");
    ASSERT_TRUE(gigabyte.write(honest));
    EXPECT_LT(QFileInfo(honest).size(), 8 << 20);

    // Sizes in the table of contents that lie are caught by counting what is inflated.
    ZipWriter liar;
    liar.add({(kPack + "/small.txt").toUtf8(), "small"});
    liar.addZeros((kPack + "/zeros.bin").toUtf8(), std::int64_t(64) << 20, 10);
    const QString lying = m_world.path("lying.zip");
    ASSERT_TRUE(liar.write(lying));
    KXZipLimits small;
    small.maxTotalBytes = std::int64_t(16) << 20;

    const struct {
        const char* what;
        QString archive;
        KXZipLimits limits;
        const char* mentions;
    } cases[] = {
        {"100,000 entries", manyEntries, {}, "entries"},
        {"1 GB expansion", honest, {}, "bytes allowed"},
        {"lying sizes", lying, small, "bytes allowed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const KXPackInstallResult result = KXInstallPack(c.archive, boxes(), kPack, {}, c.limits);
        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.errorText.contains(c.mentions)) << result.errorText.toStdString();
        EXPECT_TRUE(QDir(boxes()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
    }
}

TEST_F(PackInstall, LeftoversOfAKilledUnpackingGoOnceOld) {
    const QString stale = boxes() + "/.unpacking-AbCdEf";
    const QString fresh = boxes() + "/.unpacking-GhIjKl";
    const QString staleAside = boxes() + "/.replaced-1234";
    writeFile(stale + "/Sea Shells/a.txt", "a");
    writeFile(fresh + "/Sea Shells/a.txt", "a");
    writeFile(staleAside + "/a.txt", "a");
    const QString outside = m_world.path("outside");
    writeFile(outside + "/keep.txt", "keep");
    ASSERT_TRUE(QFile::link(outside, boxes() + "/.replaced-link"));
    // Two hours old; the link's own date, not its target's.
    const time_t old = QDateTime::currentDateTime().addSecs(-2 * 3600).toSecsSinceEpoch();
    const timespec times[2] = {{old, 0}, {old, 0}};
    for (const QString& path : {stale, staleAside, boxes() + "/.replaced-link"})
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW), 0);

    ZipWriter writer;
    writer.add({(kPack + "/a.txt").toUtf8(), "a"});
    const QString archive = m_world.path("pack.zip");
    ASSERT_TRUE(writer.write(archive));
    ASSERT_TRUE(KXInstallPack(archive, boxes(), kPack, {}).ok);
    QStringList left = QDir(boxes()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    left.sort();
    EXPECT_EQ(left, QStringList({".unpacking-GhIjKl", kPack}));
    EXPECT_EQ(tree(outside), (std::map<QString, QByteArray>{{"keep.txt", "keep"}}));
}

TEST(PackFolderNames, ComeFromTheLastPathComponent) {
    const struct {
        const char* url;
        QString name;
    } cases[] = {
        {"http://h/packs/Sea_Shells.zip", "Sea Shells"},
        {"https://h/Pack.v2.zip?x=1#y", "Pack.v2"},
        {"http://h/Caf%C3%A9_Bar.zip", QString::fromUtf8("Caf\u00e9 Bar")},
        {"http://h/NoExtension", "NoExtension"},
        {"http://h/packs/", ""},
        {"http://h", ""},
        {"http://h/..", ""},
        {"http://h/.", ""},
        {"http://h/%2E%2E", ""},
        {"http://h/.zip", ""},
        {"http://h/.hidden.zip", ""},
        {"http://h/a%2Fb.zip", ""},
        {"http://h/a%5Cb.zip", ""},
        {"http://h/a%00b.zip", ""},
        {"http://h/..%2F..%2Fx.zip", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(KXPackFolderNameForURL(QUrl(c.url)), c.name);
    }
}

TEST_F(PackInstall, RefusedFolderNamesCreateNothing) {
    ZipWriter writer;
    writer.add({"x/a.txt", "a"});
    const QString archive = m_world.path("pack.zip");
    ASSERT_TRUE(writer.write(archive));
    for (const QString& name : {QString(), QString("."), QString(".."), QString("a/b"), QString("a\\b"),
                                QString(".hidden"), QString("a") + QChar(0) + "b"}) {
        const KXPackInstallResult result = KXInstallPack(archive, boxes(), name, {});
        EXPECT_FALSE(result.ok);
        EXPECT_FALSE(result.errorText.isEmpty());
    }
    EXPECT_FALSE(QFileInfo::exists(boxes()));
}

}  // namespace
