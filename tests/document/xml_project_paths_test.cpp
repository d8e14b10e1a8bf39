#include "document/xml_project_paths.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

void touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
}

TEST(XMLProjectPaths, ImageNamesNeverLeaveTheImageFolder) {
    const QString folder = QStringLiteral("/data/Old-KX");
    struct Case {
        const char* name;
        const char* path;  // null: refused
    };
    const Case cases[] = {
        {"\\img1.jpg", "/data/Old-KX/img1.jpg"},
        {"img1.jpg", "/data/Old-KX/img1.jpg"},
        {"sub\\img.jpg", "/data/Old-KX/sub/img.jpg"},
        {"sub\\..\\img.jpg", "/data/Old-KX/img.jpg"},
        {"/etc/passwd", "/data/Old-KX/etc/passwd"},
        {"\\\\server\\share.jpg", "/data/Old-KX/server/share.jpg"},
        {"..\\secret.jpg", nullptr},
        {"\\..\\..\\etc\\passwd", nullptr},
        {"sub\\..\\..\\x.jpg", nullptr},
        {"../x.jpg", nullptr},
        {"..", nullptr},
        {"\\", nullptr},
        {".", nullptr},
        {"", nullptr},
    };
    for (const auto& c : cases) {
        const QString path = xmlImagePath(folder, QString::fromUtf8(c.name));
        if (c.path)
            EXPECT_EQ(path, QString::fromUtf8(c.path)) << c.name;
        else
            EXPECT_TRUE(path.isNull()) << c.name << " gave " << path.toStdString();
    }
    EXPECT_TRUE(xmlImagePath(QString(), QStringLiteral("a.jpg")).isNull());
}

TEST(XMLProjectPaths, ImageFolderDependsOnTheFormatVersion) {
    QTemporaryDir dir;
    const QString package = dir.filePath(QStringLiteral("Work/Old.vrtp"));
    EXPECT_EQ(xmlImageFolder(package, 4), dir.filePath(QStringLiteral("Work/Old-KX")));
    EXPECT_EQ(xmlImageFolder(package + u'/', 3), dir.filePath(QStringLiteral("Work/Old-KX")));
    EXPECT_EQ(xmlImagePath(xmlImageFolder(package, 4), QStringLiteral("\\img1.jpg")),
              dir.filePath(QStringLiteral("Work/Old-KX/img1.jpg")));
    // From version 5 on the photos live inside the package, when it has entries at all.
    EXPECT_TRUE(xmlImageFolder(package, 5).isNull());
    ASSERT_TRUE(QDir().mkpath(package));
    EXPECT_TRUE(xmlImageFolder(package, 5).isNull()) << "an empty package has no photos";
    touch(package + QStringLiteral("/Contents/project.vrtp"));
    EXPECT_EQ(xmlImageFolder(package, 5), package + QStringLiteral("/Contents/Resources"));
    EXPECT_EQ(xmlImageFolder(package, 7), package + QStringLiteral("/Contents/Resources"));
}

TEST(XMLProjectPaths, TheXMLFileIsFoundInNameOrderAtAnyDepth) {
    QTemporaryDir dir;
    const QString root = dir.path();
    EXPECT_TRUE(xmlFilePathFromPath(root).isNull());
    EXPECT_TRUE(xmlFilePathFromPath(root + QStringLiteral("/absent")).isNull());
    // Created out of order, so that the file system's own order is unlikely to be the sorted one.
    touch(root + QStringLiteral("/z.VRTP"));
    touch(root + QStringLiteral("/notes.txt"));
    EXPECT_EQ(xmlFilePathFromPath(root), QStringLiteral("z.VRTP"));
    touch(root + QStringLiteral("/m/deep/x.pwp"));
    EXPECT_EQ(xmlFilePathFromPath(root), QStringLiteral("m/deep/x.pwp"));
    touch(root + QStringLiteral("/c.vrtplite3"));
    touch(root + QStringLiteral("/b.vrtp3"));
    touch(root + QStringLiteral("/d.vrtplite"));
    EXPECT_EQ(xmlFilePathFromPath(root), QStringLiteral("b.vrtp3"));
    // A folder with the extension is not the file.
    QDir().mkpath(root + QStringLiteral("/a.vrtp"));
    EXPECT_EQ(xmlFilePathFromPath(root), QStringLiteral("b.vrtp3"));
    touch(root + QStringLiteral("/a.vrtp/inner.vrtp"));
    EXPECT_EQ(xmlFilePathFromPath(root), QStringLiteral("a.vrtp/inner.vrtp"));
}

TEST(XMLProjectPaths, LinkedFoldersAreNotFollowed) {
    QTemporaryDir dir;
    touch(dir.filePath(QStringLiteral("elsewhere/x.vrtp")));
    QDir().mkpath(dir.filePath(QStringLiteral("pkg")));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("elsewhere")), dir.filePath(QStringLiteral("pkg/link"))));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("pkg")), dir.filePath(QStringLiteral("pkg/loop"))));
    EXPECT_TRUE(xmlFilePathFromPath(dir.filePath(QStringLiteral("pkg"))).isNull());
}

}  // namespace
