#include "graphics/file_utilities.h"

#include "test_bundle.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Points the XDG data and cache folders at a temporary folder and installs a bundle named "Kollage"
// with the identifier "org.example.kollage".
class FixedFolders : public ::testing::Test {
protected:
    FixedFolders()
        : m_bundle("<key>CFBundleName</key><string>Kollage</string>"
                   "<key>CFBundleIdentifier</key><string>org.example.kollage</string>"),
          m_savedData(qgetenv("XDG_DATA_HOME")),
          m_savedCache(qgetenv("XDG_CACHE_HOME")) {
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome()));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cacheHome()));
    }
    ~FixedFolders() override {
        restore("XDG_DATA_HOME", m_savedData);
        restore("XDG_CACHE_HOME", m_savedCache);
    }

    QString dataHome() const { return m_home.filePath(QStringLiteral("data")); }
    QString cacheHome() const { return m_home.filePath(QStringLiteral("cache")); }
    QString boxes() const { return cacheHome() + QStringLiteral("/org.example.kollage/Boxes"); }

    static void restore(const char* name, const QByteArray& value) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    static void touch(const QString& path) {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << qPrintable(path);
    }

    QTemporaryDir m_home;
    TestBundle m_bundle;
    QByteArray m_savedData, m_savedCache;
};

TEST_F(FixedFolders, CustomResourceFoldersAreCreatedUnderTheDataFolder) {
    const QString clipart = customClipartFolder();
    EXPECT_EQ(clipart, dataHome() + QStringLiteral("/Kollage/Custom Resources/Clipart"));
    EXPECT_TRUE(QFileInfo(clipart).isDir());
    const QString mask = customMaskFolder();
    EXPECT_EQ(mask, dataHome() + QStringLiteral("/Kollage/Custom Resources/Mask"));
    EXPECT_TRUE(QFileInfo(mask).isDir());
    EXPECT_EQ(customClipartFolder(), clipart);  // already there
}

TEST_F(FixedFolders, CachesFoldersAreCreatedUnderTheBundleIdentifier) {
    const QString data = dataFolder();
    EXPECT_EQ(data, cacheHome() + QStringLiteral("/org.example.kollage/Data"));
    EXPECT_TRUE(QFileInfo(data).isDir());
    EXPECT_EQ(boxesFolder(), boxes());
    EXPECT_TRUE(QFileInfo(boxes()).isDir());
}

TEST_F(FixedFolders, FailedCreationGivesNullForCachesButThePathForCustomFolders) {
    // A plain file where the folders' parents should be makes every creation fail, even for root.
    touch(cacheHome());
    touch(dataHome());
    EXPECT_TRUE(dataFolder().isNull());
    EXPECT_TRUE(boxesFolder().isNull());
    EXPECT_TRUE(temporaryFolder().isNull());
    EXPECT_EQ(customClipartFolder(), dataHome() + QStringLiteral("/Kollage/Custom Resources/Clipart"));
    EXPECT_FALSE(QFileInfo(customClipartFolder()).exists());
}

TEST_F(FixedFolders, UnusableBundleNamesGiveNoFolders) {
    for (const char* name : {"..", "a/b", ""}) {
        TestBundle bundle(QByteArray("<key>CFBundleName</key><string>") + name +
                          "</string><key>CFBundleIdentifier</key><string>" + name + "</string>");
        EXPECT_TRUE(customClipartFolder().isNull()) << name;
        EXPECT_TRUE(dataFolder().isNull()) << name;
        EXPECT_TRUE(temporaryFolder().isNull()) << name;
    }
    EXPECT_FALSE(QFileInfo::exists(dataHome()));
    EXPECT_FALSE(QFileInfo::exists(cacheHome()));
}

TEST_F(FixedFolders, TemporaryFolderIsPrivate) {
    const QString tmp = temporaryFolder();
    ASSERT_FALSE(tmp.isNull());
    EXPECT_TRUE(tmp.startsWith(cacheHome()));
    struct stat st;
    ASSERT_EQ(::lstat(QFile::encodeName(tmp).constData(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // A folder left open to others is closed again.
    ASSERT_EQ(::chmod(QFile::encodeName(tmp).constData(), 0777), 0);
    EXPECT_EQ(temporaryFolder(), tmp);
    ASSERT_EQ(::lstat(QFile::encodeName(tmp).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(FixedFolders, TemporaryFolderRefusesALinkPlantedInItsPlace) {
    QTemporaryDir elsewhere;
    const QString tmp = cacheHome() + QStringLiteral("/org.example.kollage/Temporary");
    QDir().mkpath(QFileInfo(tmp).path());
    ASSERT_EQ(::symlink(QFile::encodeName(elsewhere.path()).constData(), QFile::encodeName(tmp).constData()), 0);
    EXPECT_TRUE(temporaryFolder().isNull());
}

TEST_F(FixedFolders, FindBoxResourceSearchesEveryPack) {
    touch(boxes() + QStringLiteral("/PackA/Clipart/Animals/cat.png"));
    touch(boxes() + QStringLiteral("/PackB/Clipart/Animals/deep/Dog.jpng"));
    touch(boxes() + QStringLiteral("/PackB/Clipart/Animals/notes.txt"));
    touch(boxes() + QStringLiteral("/PackB/Frames/frame1.png"));
    touch(boxes() + QStringLiteral("/.hidden/Clipart/Animals/bird.png"));
    const QString category = QStringLiteral("Clipart");
    const QString sub = QStringLiteral("Animals");
    EXPECT_EQ(findBoxResourceInSubfolder(category, sub, QStringLiteral("cat")),
              boxes() + QStringLiteral("/PackA/Clipart/Animals/cat.png"));
    EXPECT_EQ(findBoxResourceInSubfolder(category, sub, QStringLiteral("Dog")),
              boxes() + QStringLiteral("/PackB/Clipart/Animals/deep/Dog.jpng"));
    EXPECT_TRUE(findBoxResourceInSubfolder(category, sub, QStringLiteral("dog")).isNull());  // case-sensitive
    EXPECT_TRUE(findBoxResourceInSubfolder(category, sub, QStringLiteral("cat.png")).isNull());
    EXPECT_TRUE(findBoxResourceInSubfolder(category, sub, QStringLiteral("notes")).isNull());  // not an image
    EXPECT_TRUE(findBoxResourceInSubfolder(category, sub, QStringLiteral("bird")).isNull());   // hidden pack
    EXPECT_EQ(findBoxResourceInSubfolder(QStringLiteral("Frames"), QString(), QStringLiteral("frame1")),
              boxes() + QStringLiteral("/PackB/Frames/frame1.png"));
}

TEST_F(FixedFolders, FindBoxResourceNeverLeavesItsFolder) {
    touch(cacheHome() + QStringLiteral("/org.example.kollage/outside.png"));
    touch(boxes() + QStringLiteral("/Pack/Clipart/inside.png"));
    EXPECT_TRUE(findBoxResourceInSubfolder(QStringLiteral(".."), QStringLiteral(".."), QStringLiteral("outside")).isNull());
    EXPECT_TRUE(findBoxResourceInSubfolder(QStringLiteral("../.."), QString(), QStringLiteral("outside")).isNull());
    EXPECT_TRUE(findBoxResourceInSubfolder(QStringLiteral("Clipart/.."), QString(), QStringLiteral("inside")).isNull());
    EXPECT_TRUE(findBoxResourceInSubfolder(QStringLiteral("."), QStringLiteral("Clipart"), QStringLiteral("inside")).isNull());
    EXPECT_TRUE(findBoxResourceInSubfolder(QString(), QString(), QStringLiteral("inside")).isNull());
    EXPECT_EQ(findBoxResourceInSubfolder(QStringLiteral("Clipart"), QString(), QStringLiteral("inside")),
              boxes() + QStringLiteral("/Pack/Clipart/inside.png"));
}

TEST_F(FixedFolders, FindBoxResourceDoesNotCreateTheBoxesFolder) {
    EXPECT_TRUE(findBoxResourceInSubfolder(QStringLiteral("Clipart"), QString(), QStringLiteral("x")).isNull());
    EXPECT_FALSE(QFileInfo::exists(boxes()));
}

}  // namespace
