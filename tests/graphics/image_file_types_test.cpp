#include "graphics/image_file_types.h"

#include "platform/foundation/uniform_type.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class ImageFolder : public ::testing::Test {
protected:
    QString make(const QString& relative) {
        const QString p = m_dir.filePath(relative);
        QDir().mkpath(QFileInfo(p).path());
        QFile f(p);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        return p;
    }
    QString folder(const QString& relative) {
        const QString p = m_dir.filePath(relative);
        QDir().mkpath(p);
        return p;
    }
    QString root() const { return m_dir.path(); }
    QString path(const QString& relative) const { return m_dir.filePath(relative); }

    QTemporaryDir m_dir;
};

TEST(BitmapFileType, ExtensionComparedExactlyAsWritten) {
    struct Case {
        const char* path;
        BitmapFileType type;
    };
    const Case cases[] = {
        {"a.png", BitmapFileType::PNG},  {"a.PNG", BitmapFileType::JPEG}, {"a.jpeg", BitmapFileType::JPEG},
        {"a.jpg", BitmapFileType::JPEG}, {"a.JPG", BitmapFileType::JPEG}, {"a.tif", BitmapFileType::TIFF},
        {"a.tiff", BitmapFileType::TIFF}, {"a.bmp", BitmapFileType::BMP}, {"a.gif", BitmapFileType::GIF},
        {"/x.png/name", BitmapFileType::JPEG}, {"noextension", BitmapFileType::JPEG}, {"", BitmapFileType::JPEG},
    };
    for (const auto& c : cases)
        EXPECT_EQ(bitmapFileTypeForPath(QString::fromLatin1(c.path)), c.type) << c.path;
    EXPECT_EQ(bitmapFileTypeForPath(QString()), BitmapFileType::JPEG);
    EXPECT_EQ(int(BitmapFileType::TIFF), 0);
    EXPECT_EQ(int(BitmapFileType::PNG), 4);
}

TEST_F(ImageFolder, KindsFollowTheTypeIdentifier) {
    const QString pdf = make(QStringLiteral("doc.PDF"));
    const QString eps = make(QStringLiteral("art.eps"));
    const QString svg = make(QStringLiteral("icon.svg"));
    const QString ai = make(QStringLiteral("logo.ai"));
    const QString png = make(QStringLiteral("photo.png"));
    EXPECT_TRUE(isPDFFile(pdf));
    EXPECT_TRUE(isEPSFile(eps));
    EXPECT_TRUE(isSVGFile(svg));
    EXPECT_TRUE(isAIFile(ai));
    EXPECT_FALSE(isPDFFile(ai));  // an Illustrator file conforms to PDF but is not one
    for (const QString& p : {png, path(QStringLiteral("missing.pdf")), folder(QStringLiteral("folder.pdf")), QString()})
        EXPECT_FALSE(isPDFFile(p) || isEPSFile(p) || isSVGFile(p) || isAIFile(p)) << qPrintable(p);
}

TEST_F(ImageFolder, JPNGIsKnownByItsExtensionAlone) {
    EXPECT_TRUE(isJPNGFile(path(QStringLiteral("x.JPNG"))));
    EXPECT_TRUE(isSupportedImageFile(path(QStringLiteral("x.JPNG"))));  // before the file exists
    EXPECT_FALSE(isJPNGFile(path(QStringLiteral("x.png"))));
    EXPECT_FALSE(isJPNGFile(QString()));
}

TEST_F(ImageFolder, SupportedImageFiles) {
    struct Case {
        const char* name;
        bool supported;
    };
    const Case cases[] = {
        {"a.jpg", true}, {"a.JPEG", true}, {"a.png", true}, {"a.gif", true}, {"a.tif", true},
        {"a.bmp", true}, {"a.webp", true}, {"a.pdf", true}, {"a.eps", true}, {"a.svg", true},
        {"a.ai", true},  {"a.txt", false}, {"a.zzq", false}, {"a.json", false}, {"README", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isSupportedImageFile(make(QString::fromLatin1(c.name))), c.supported) << c.name;
    EXPECT_FALSE(isSupportedImageFile(folder(QStringLiteral("dir.png"))));
    EXPECT_FALSE(isSupportedImageFile(path(QStringLiteral("missing.png"))));
    EXPECT_FALSE(isSupportedImageFile(QString()));
}

TEST(ReadableImageTypes, CoverTheCodecsAndPDF) {
    const QStringList& ids = readableImageTypeIdentifiers();
    for (const char* id : {"public.jpeg", "public.png", "public.tiff", "com.compuserve.gif", "com.microsoft.bmp",
                           "com.adobe.pdf"})
        EXPECT_TRUE(ids.contains(QString::fromLatin1(id))) << id;
    EXPECT_FALSE(ids.contains(QStringLiteral("public.image")));
    EXPECT_EQ(QSet<QString>(ids.begin(), ids.end()).size(), ids.size());
}

TEST_F(ImageFolder, ContainsSupportedImageFile) {
    const QString txt = make(QStringLiteral("a.txt"));
    const QString jpg = make(QStringLiteral("b.jpg"));
    EXPECT_TRUE(containsSupportedImageFile({txt, jpg}));
    EXPECT_FALSE(containsSupportedImageFile({txt, path(QStringLiteral("missing.jpg"))}));
    EXPECT_FALSE(containsSupportedImageFile({}));
}

TEST_F(ImageFolder, ImageFilesInDirectorySortedIgnoringCase) {
    const QString b = make(QStringLiteral("b.png"));
    const QString c = make(QStringLiteral("C.jpg"));
    const QString a = make(QStringLiteral("A.gif"));
    make(QStringLiteral("notes.txt"));
    make(QStringLiteral(".hidden.png"));
    const QString deep = make(QStringLiteral("sub/a.tif"));
    EXPECT_EQ(imageFilesInDirectory(root(), false), (QStringList{a, b, c}));
    EXPECT_EQ(imageFilesInDirectory(root(), true), (QStringList{a, b, c, deep}));
    EXPECT_TRUE(imageFilesInDirectory(path(QStringLiteral("missing")), true).isEmpty());
}

TEST_F(ImageFolder, ImageFilesInDirectoryWithExtensions) {
    const QString png = make(QStringLiteral("one.PNG"));
    const QString jpg = make(QStringLiteral("two.jpg"));
    make(QStringLiteral("three.gif"));
    make(QStringLiteral("four.txt"));
    const QString deep = make(QStringLiteral("sub/five.png"));
    const QStringList wanted{QStringLiteral("png"), QStringLiteral("jpg"), QStringLiteral("txt")};
    const QStringList top = imageFilesInDirectoryWithExtensions(root(), wanted, false);
    EXPECT_EQ(QSet<QString>(top.begin(), top.end()), (QSet<QString>{png, jpg}));
    const QStringList all = imageFilesInDirectoryWithExtensions(root(), wanted, true);
    EXPECT_EQ(QSet<QString>(all.begin(), all.end()), (QSet<QString>{png, jpg, deep}));
}

}  // namespace
