#include "graphics/file_utilities.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

// A temporary folder with helpers to lay out files and folders by relative path.
class Tree {
public:
    Tree() { EXPECT_TRUE(m_dir.isValid()); }
    QString root() const { return m_dir.path(); }
    QString path(const QString& relative) const { return m_dir.filePath(relative); }
    QString file(const QString& relative, const QByteArray& content = "x") const {
        const QString p = path(relative);
        QDir().mkpath(QFileInfo(p).path());
        QFile f(p);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly)) << qPrintable(p);
        f.write(content);
        return p;
    }
    QString folder(const QString& relative) const {
        const QString p = path(relative);
        EXPECT_TRUE(QDir().mkpath(p));
        return p;
    }
    QString link(const QString& target, const QString& relative) const {
        const QString p = path(relative);
        EXPECT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(p).constData()), 0);
        return p;
    }

private:
    QTemporaryDir m_dir;
};

// Listings come in enumeration order, which the file system chooses; compare them as sets.
QSet<QString> asSet(const QStringList& list) {
    EXPECT_EQ(QSet<QString>(list.begin(), list.end()).size(), list.size()) << "duplicates in listing";
    return QSet<QString>(list.begin(), list.end());
}

TEST(PathPieces, ExtensionAndLastComponent) {
    struct Case {
        const char* path;
        const char* last;
        const char* extension;
        const char* withoutExtension;
    };
    const Case cases[] = {
        {"/a/b/photo.JPG", "photo.JPG", "JPG", "/a/b/photo"},
        {"/a/b/archive.tar.gz", "archive.tar.gz", "gz", "/a/b/archive.tar"},
        {"/a/b/.hidden", ".hidden", "", "/a/b/.hidden"},
        {"/a/b/.hidden.png", ".hidden.png", "png", "/a/b/.hidden"},
        {"/a/b/folder.png/", "folder.png", "png", "/a/b/folder"},
        {"/a/b.c/name", "name", "", "/a/b.c/name"},
        {"name.", "name.", "", "name"},
        {"/", "/", "", "/"},
    };
    for (const auto& c : cases) {
        const QString p = QString::fromUtf8(c.path);
        EXPECT_EQ(lastPathComponent(p), QString::fromUtf8(c.last)) << c.path;
        EXPECT_EQ(pathExtension(p), QString::fromUtf8(c.extension)) << c.path;
        EXPECT_EQ(deletingPathExtension(p), QString::fromUtf8(c.withoutExtension)) << c.path;
    }
}

TEST(FileTests, ExistenceAndFolders) {
    Tree t;
    const QString file = t.file(QStringLiteral("a.txt"));
    const QString folder = t.folder(QStringLiteral("sub"));
    const QString dangling = t.link(t.path(QStringLiteral("gone")), QStringLiteral("dangling"));
    const QString folderLink = t.link(folder, QStringLiteral("sublink"));
    EXPECT_TRUE(fileExists(file));
    EXPECT_TRUE(fileExists(folder));
    EXPECT_FALSE(fileExists(dangling));
    EXPECT_FALSE(fileExists(QString()));
    EXPECT_FALSE(fileExists(t.path(QStringLiteral("missing"))));
    EXPECT_TRUE(isDirectory(folder));
    EXPECT_TRUE(isDirectory(folderLink));
    EXPECT_FALSE(isDirectory(file));
    EXPECT_FALSE(isDirectory(QString()));
}

TEST(FileTests, EmptyFolder) {
    Tree t;
    EXPECT_TRUE(isEmptyFolder(t.folder(QStringLiteral("empty"))));
    EXPECT_TRUE(isEmptyFolder(t.path(QStringLiteral("missing"))));
    EXPECT_TRUE(isEmptyFolder(t.file(QStringLiteral("plain.txt"))));
    EXPECT_TRUE(isEmptyFolder(QString()));
    t.file(QStringLiteral("hiddenOnly/.secret"));
    EXPECT_FALSE(isEmptyFolder(t.path(QStringLiteral("hiddenOnly"))));
    t.folder(QStringLiteral("nested/inner"));
    EXPECT_FALSE(isEmptyFolder(t.path(QStringLiteral("nested"))));
}

TEST(FileTests, TypeIdentifierOfFile) {
    Tree t;
    EXPECT_EQ(typeIdentifierOfFile(t.file(QStringLiteral("p.JPG"))), QStringLiteral("public.jpeg"));
    EXPECT_EQ(typeIdentifierOfFile(t.file(QStringLiteral("d.pdf"))), QStringLiteral("com.adobe.pdf"));
    EXPECT_EQ(typeIdentifierOfFile(t.file(QStringLiteral("x.zzq"))), QStringLiteral("dyn.zzq"));
    EXPECT_TRUE(typeIdentifierOfFile(t.file(QStringLiteral("README"))).isNull());
    EXPECT_TRUE(typeIdentifierOfFile(t.folder(QStringLiteral("folder.png"))).isNull());
    EXPECT_TRUE(typeIdentifierOfFile(t.path(QStringLiteral("missing.png"))).isNull());
    EXPECT_TRUE(typeIdentifierOfFile(QString()).isNull());
}

TEST(Listings, FilesInFolderByExtension) {
    Tree t;
    const QString aPNG = t.file(QStringLiteral("a.PNG"));
    const QString bPng = t.file(QStringLiteral("b.png"));
    t.file(QStringLiteral("c.jpg"));
    const QString folderPng = t.folder(QStringLiteral("x.png"));
    t.file(QStringLiteral(".hidden.png"));
    const QString deep = t.file(QStringLiteral("x.png/deep.png"));
    t.file(QStringLiteral(".secret/inside.png"));

    EXPECT_EQ(asSet(filesInFolder(t.root(), QStringLiteral("png"), false)), (QSet<QString>{aPNG, bPng, folderPng}));
    EXPECT_EQ(asSet(filesInFolder(t.root(), QStringLiteral("PNG"), true)),
              (QSet<QString>{aPNG, bPng, folderPng, deep}));
}

TEST(Listings, FilesInFolderEverythingTopLevelOrDeep) {
    Tree t;
    const QString a = t.file(QStringLiteral("a"));
    const QString sub = t.folder(QStringLiteral("sub"));
    const QString inner = t.file(QStringLiteral("sub/inner.txt"));
    t.file(QStringLiteral(".dot"));
    EXPECT_EQ(asSet(filesInFolder(t.root(), QStringLiteral("*"), false)), (QSet<QString>{a, sub}));
    EXPECT_EQ(asSet(filesInFolder(t.root(), QStringLiteral("*"), true)), (QSet<QString>{a, sub, inner}));
    // A folder is listed before its contents.
    const QStringList deep = filesInFolder(t.root(), QStringLiteral("*"), true);
    EXPECT_LT(deep.indexOf(sub), deep.indexOf(inner));
}

TEST(Listings, MissingFolderOrFileGivesEmptyLists) {
    Tree t;
    const QString file = t.file(QStringLiteral("f.png"));
    for (const QString& folder : {t.path(QStringLiteral("missing")), file, QString()}) {
        EXPECT_TRUE(filesInFolder(folder, QStringLiteral("*"), true).isEmpty());
        EXPECT_TRUE(subfoldersInFolder(folder, true).isEmpty());
        EXPECT_TRUE(imageFilesInFolder(folder).isEmpty());
    }
}

TEST(Listings, RecursionNeverFollowsLinksToFolders) {
    Tree t;
    const QString outside = t.folder(QStringLiteral("outside"));
    t.file(QStringLiteral("outside/escaped.png"));
    const QString root = t.folder(QStringLiteral("root"));
    const QString sub = t.folder(QStringLiteral("root/sub"));
    const QString loop = t.link(root, QStringLiteral("root/sub/loop"));
    const QString away = t.link(outside, QStringLiteral("root/away"));
    const QString kept = t.file(QStringLiteral("root/sub/kept.png"));

    EXPECT_EQ(asSet(filesInFolder(root, QStringLiteral("*"), true)), (QSet<QString>{sub, loop, away, kept}));
    // The links are folders when tested, so they are listed as subfolders, but never entered.
    EXPECT_EQ(asSet(subfoldersInFolder(root, true)), (QSet<QString>{sub, loop, away}));
    EXPECT_EQ(asSet(imageFilesInFolder(root)), (QSet<QString>{kept}));
}

TEST(Listings, SubfoldersSkipHiddenAndFiles) {
    Tree t;
    const QString a = t.folder(QStringLiteral("a"));
    const QString ab = t.folder(QStringLiteral("a/b"));
    t.folder(QStringLiteral(".hidden/c"));
    t.file(QStringLiteral("a/file.txt"));
    EXPECT_EQ(asSet(subfoldersInFolder(t.root(), false)), (QSet<QString>{a}));
    EXPECT_EQ(asSet(subfoldersInFolder(t.root(), true)), (QSet<QString>{a, ab}));
}

TEST(Listings, ImageFilesInFolderIncludeHiddenOnesAndSkipFolders) {
    Tree t;
    const QString top = t.file(QStringLiteral("top.jpg"));
    const QString hidden = t.file(QStringLiteral(".hidden.png"));
    const QString inHidden = t.file(QStringLiteral(".cache/thumb.gif"));
    const QString deep = t.file(QStringLiteral("a/b/c/deep.TIF"));
    const QString jpng = t.file(QStringLiteral("a/pic.jpng"));
    t.folder(QStringLiteral("a/folder.png"));
    t.file(QStringLiteral("notes.txt"));
    t.file(QStringLiteral("noextension"));
    EXPECT_EQ(asSet(imageFilesInFolder(t.root())), (QSet<QString>{top, hidden, inHidden, deep, jpng}));
}

TEST(Lookups, FirstExistingPathWithExtensions) {
    Tree t;
    t.file(QStringLiteral("frame.png"));
    t.file(QStringLiteral("frame.jpg"));
    const QString base = t.path(QStringLiteral("frame"));
    const QStringList order{QStringLiteral("jpng"), QStringLiteral("jpg"), QStringLiteral("png")};
    EXPECT_EQ(firstExistingPathWithExtensions(base, order), base + QStringLiteral(".jpg"));
    EXPECT_TRUE(firstExistingPathWithExtensions(base, {QStringLiteral("gif")}).isNull());
    EXPECT_TRUE(firstExistingPathWithExtensions(base, {}).isNull());
    EXPECT_TRUE(firstExistingPathWithExtensions(QString(), order).isNull());
}

TEST(Lookups, FindFileInFolderIgnoresCaseAndHiddenEntries) {
    Tree t;
    const QString top = t.file(QStringLiteral("Card.PNG"));
    const QString deep = t.file(QStringLiteral("sub/Inner.Jpg"));
    t.file(QStringLiteral(".private/secret.png"));
    EXPECT_EQ(findFileInFolder(QStringLiteral("card.png"), t.root(), false), top);
    EXPECT_TRUE(findFileInFolder(QStringLiteral("inner.jpg"), t.root(), false).isNull());
    EXPECT_EQ(findFileInFolder(QStringLiteral("INNER.JPG"), t.root(), true), deep);
    EXPECT_TRUE(findFileInFolder(QStringLiteral("secret.png"), t.root(), true).isNull());
    EXPECT_TRUE(findFileInFolder(QStringLiteral("missing"), t.root(), true).isNull());
    EXPECT_TRUE(findFileInFolder(QString(), t.root(), true).isNull());
}

TEST(Lookups, UniqueFilePathCountsWithThreeDigits) {
    Tree t;
    const QString folder = t.root();
    EXPECT_EQ(uniqueFilePath(folder, QStringLiteral("Page"), QStringLiteral("jpg")), folder + "/Page.jpg");
    t.file(QStringLiteral("Page.jpg"));
    EXPECT_EQ(uniqueFilePath(folder, QStringLiteral("Page"), QStringLiteral("jpg")), folder + "/Page_001.jpg");
    t.file(QStringLiteral("Page_001.jpg"));
    t.folder(QStringLiteral("Page_002.jpg"));
    EXPECT_EQ(uniqueFilePath(folder, QStringLiteral("Page"), QStringLiteral("jpg")), folder + "/Page_003.jpg");
    EXPECT_EQ(uniqueFilePath(folder + "/", QStringLiteral("Other"), QStringLiteral("png")), folder + "/Other.png");
    EXPECT_TRUE(uniqueFilePath(QString(), QStringLiteral("Page"), QStringLiteral("jpg")).isNull());
}

TEST(Lookups, UniqueFilePathPassesFourDigitsAndSkipsDanglingLinks) {
    Tree t;
    t.file(QStringLiteral("P.png"));
    for (int i = 1; i <= 999; ++i)
        t.file(QStringLiteral("P_%1.png").arg(i, 3, 10, QLatin1Char('0')));
    EXPECT_EQ(uniqueFilePath(t.root(), QStringLiteral("P"), QStringLiteral("png")), t.path(QStringLiteral("P_1000.png")));

    // Writing to a dangling link's name would create its target elsewhere: the name counts as taken.
    t.link(t.path(QStringLiteral("elsewhere.png")), QStringLiteral("L.png"));
    EXPECT_EQ(uniqueFilePath(t.root(), QStringLiteral("L"), QStringLiteral("png")), t.path(QStringLiteral("L_001.png")));
}

}  // namespace
