#include "library/resource_browser_item.h"
#include "library/resource_folders.h"
#include "resource_fixture.h"

#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

using kxtest::ResourceWorld;

QStringList names(const QStringList& paths) {
    QStringList out;
    for (const QString& path : paths)
        out.append(QFileInfo(path).fileName());
    return out;
}

TEST(ResourceFolders, FramesListOnlyPngAndJpngFiles) {
    ResourceWorld world;
    const QString folder = world.resources() + "/Frame/Wood";
    ResourceWorld::image(folder + "/a.PNG");
    ResourceWorld::image(folder + "/b.jpng");
    ResourceWorld::image(folder + "/c.jpg");
    QStringList frames = names(resourcePathsInCategory(KXResourceFrame, "Wood"));
    frames.sort();
    EXPECT_EQ(frames, QStringList({"a.PNG", "b.jpng"}));
    // The same folder as masks lists every supported image.
    EXPECT_EQ(names(imagesOfCategoryFolder(KXResourceMask, folder)), QStringList({"a.PNG", "b.jpng", "c.jpg"}));
}

TEST(ResourceFolders, APackAddsItsCategoryAfterTheBuiltInOnes) {
    ResourceWorld world;
    ResourceWorld::image(world.resources() + "/Clipart/Birds/robin.png");
    ResourceWorld::image(world.resources() + "/Clipart/Birds/Thumbnails/robin.jpg");
    ResourceWorld::image(world.boxes() + "/Birds/Clipart/Birds/owl.png");
    ResourceWorld::image(world.boxes() + "/Birds/Clipart/Thumbnails/x.png");

    // The name found twice stays twice; "Thumbnails" is never a category; clip-art has no "All".
    EXPECT_EQ(categoriesOfResource(KXResourceClipart), QStringList({"Birds", "Birds"}));
    EXPECT_EQ(names(resourcePathsInCategory(KXResourceClipart, "Birds")), QStringList({"robin.png", "owl.png"}));
    EXPECT_EQ(names(allResourcePaths(KXResourceClipart)), QStringList({"robin.png", "owl.png"}));
    EXPECT_EQ(names(resourcePathsInCategory(KXResourceClipart, "All")), QStringList({"robin.png", "owl.png"}));
}

TEST(ResourceFolders, FrameAndMaskCategoriesStartWithAll) {
    ResourceWorld world;
    QDir().mkpath(world.resources() + "/Frame/Simple");
    QDir().mkpath(world.resources() + "/Mask/Circle");
    EXPECT_EQ(categoriesOfResource(KXResourceFrame), QStringList({"All", "Simple"}));
    EXPECT_EQ(categoriesOfResource(KXResourceMask), QStringList({"All", "Circle"}));
    EXPECT_TRUE(categoriesOfResource(KXResourceClipart).isEmpty());
}

TEST(ResourceFolders, CategoryNamesCannotLeaveTheirFolder) {
    ResourceWorld world;
    ResourceWorld::image(world.resources() + "/Clipart/outside.png");
    ResourceWorld::image(world.resources() + "/Clipart/Birds/robin.png");
    for (const char* name : {"..", ".", "", "Birds/..", "../Clipart"})
        EXPECT_TRUE(resourcePathsInCategory(KXResourceClipart, name).isEmpty()) << name;
}

TEST(ResourceBrowserItem, ShowsTheThumbnailButKeepsTheResourcePath) {
    ResourceWorld world;
    const QString cat = ResourceWorld::image(world.resources() + "/Clipart/Pets/Cat.png", Qt::red);
    const QString thumb = ResourceWorld::image(world.resources() + "/Clipart/Pets/Thumbnails/Cat.jpg", Qt::blue);
    const QString dog = ResourceWorld::image(world.resources() + "/Clipart/Pets/Dog.png", Qt::green);

    KXResourceBrowserItem withThumb(cat);
    EXPECT_EQ(withThumb.thumbPath(), thumb);
    const kx::ImageBrowserItem cell = withThumb.browserItem();
    EXPECT_EQ(cell.path, cat);
    ASSERT_TRUE(cell.renderer);
    const QImage shown = cell.renderer(64).qimage();
    ASSERT_FALSE(shown.isNull());
    const QColor pixel = shown.pixelColor(shown.width() / 2, shown.height() / 2);
    EXPECT_LT(pixel.red(), 40);
    EXPECT_GT(pixel.blue(), 200);
    EXPECT_EQ(cell.title, "Cat");
    EXPECT_EQ(cell.subtitle, "png");

    KXResourceBrowserItem withoutThumb(dog);
    EXPECT_TRUE(withoutThumb.thumbPath().isEmpty());
    EXPECT_FALSE(withoutThumb.browserItem().renderer);
    EXPECT_EQ(withoutThumb.browserItem().path, dog);
}

TEST(ResourceBrowserItem, CopiesByArchiveWithoutImageOrVersion) {
    ResourceWorld world;
    const QString cat = ResourceWorld::image(world.resources() + "/Clipart/Pets/Cat.png");
    const QString thumb = ResourceWorld::image(world.resources() + "/Clipart/Pets/Thumbnails/Cat.jpg");
    KXResourceBrowserItem item(cat);
    item.setTitle("Kitten");
    item.setToolTip("A cat");
    item.setUrl(QUrl("https://example.org/cat.png"));
    item.setVersion(7);
    item.setImage(kx::Image(QImage(4, 4, QImage::Format_ARGB32)));
    const std::shared_ptr<KXImageBrowserItem> copy = item.copy();
    ASSERT_TRUE(copy);
    auto* resource = dynamic_cast<KXResourceBrowserItem*>(copy.get());
    ASSERT_TRUE(resource);
    EXPECT_EQ(copy->path(), cat);
    EXPECT_EQ(resource->thumbPath(), thumb);
    EXPECT_EQ(copy->title(), "Kitten");
    EXPECT_EQ(copy->toolTip(), "A cat");
    EXPECT_EQ(copy->url(), QUrl("https://example.org/cat.png"));
    EXPECT_EQ(copy->representationType(), KXImageBrowserPathRepresentationType);
    EXPECT_EQ(copy->version(), 0u);
    EXPECT_TRUE(copy->image().isNull());
}

TEST(ResourceBrowserItem, UidAndTitleFollowTheRepresentationType) {
    KXImageBrowserItem item;
    item.setPath("/a/b/Robin.png");
    EXPECT_EQ(item.imageUID(), "/a/b/Robin.png");
    EXPECT_EQ(item.imageTitle(), "Robin");
    EXPECT_EQ(item.description(), "Robin");
    item.setRepresentationType(KXImageBrowserURLRepresentationType);
    item.setUrl(QUrl("https://example.org/owl.jpg"));
    EXPECT_EQ(item.imageUID(), "https://example.org/owl.jpg");
    item.setRepresentationType(KXImageBrowserImageRepresentationType);
    EXPECT_EQ(item.imageUID(), "placeholder");
    item.setImage(kx::Image(QImage(4, 4, QImage::Format_ARGB32)));
    EXPECT_TRUE(item.imageUID().startsWith("image-"));
    item.setRepresentationType("other");
    EXPECT_EQ(item.imageUID(), "placeholder");
    KXImageBrowserItem byUrl;
    byUrl.setUrl(QUrl("https://example.org/owl.jpg"));
    EXPECT_EQ(byUrl.imageTitle(), "owl");
}

TEST(ResourceImport, NeverReplacesAnExistingFile) {
    ResourceWorld world;
    const QString folder = customResourcePath(KXResourceClipart);
    ASSERT_EQ(folder, world.custom("Clipart"));
    const QString star = ResourceWorld::image(world.path("in/Star.png"), Qt::yellow);
    EXPECT_EQ(names(importResourceFiles({star}, folder)), QStringList({"Star.png"}));
    const QString other = ResourceWorld::image(world.path("other/Star.png"), Qt::cyan);
    EXPECT_EQ(names(importResourceFiles({other}, folder)), QStringList({"Star_001.png"}));
    EXPECT_EQ(names(importResourceFiles({star}, folder)), QStringList({"Star_002.png"}));
    EXPECT_EQ(names(customResourcePaths(folder)), QStringList({"Star.png", "Star_001.png", "Star_002.png"}));
    // The first file kept its own picture.
    EXPECT_EQ(QImage(folder + "/Star.png").pixelColor(0, 0), QColor(Qt::yellow));
    // A dangling link holding a name is not written through.
    QFile::link(world.path("nowhere/Moon.png"), folder + "/Moon.png");
    const QString moon = ResourceWorld::image(world.path("in/Moon.png"));
    EXPECT_EQ(names(importResourceFiles({moon}, folder)), QStringList({"Moon_001.png"}));
    EXPECT_FALSE(QFileInfo::exists(world.path("nowhere/Moon.png")));
}

TEST(ResourceRemoval, DeletesOnlyFilesInsideTheOwnFolder) {
    ResourceWorld world;
    const QString folder = customResourcePath(KXResourceMask);
    const QString own = ResourceWorld::image(folder + "/own.png");
    const QString outside = ResourceWorld::image(world.path("elsewhere/keep.png"));
    const QString nested = ResourceWorld::image(folder + "/sub/deeper.png");
    QFile::link(outside, folder + "/link.png");
    QDir().mkpath(folder + "/linkdir");
    QFile::link(world.path("elsewhere"), folder + "/dirlink");

    const QStringList asked = {own, outside, nested, folder + "/link.png", folder + "/dirlink/keep.png",
                               folder + "/../Mask/../../elsewhere/keep.png", folder + "/linkdir"};
    EXPECT_EQ(removeResourceFiles(asked, folder), QStringList({own}));
    EXPECT_FALSE(QFileInfo::exists(own));
    EXPECT_TRUE(QFileInfo::exists(outside));
    EXPECT_TRUE(QFileInfo::exists(nested));
    EXPECT_TRUE(QFileInfo(folder + "/link.png").isSymLink());
    EXPECT_TRUE(QFileInfo(folder + "/linkdir").isDir());
}

TEST(ResourceRemoval, NothingWithoutAnOwnFolder) {
    ResourceWorld world;
    const QString file = ResourceWorld::image(world.path("a/b.png"));
    EXPECT_TRUE(removeResourceFiles({file}, {}).isEmpty());
    EXPECT_TRUE(importResourceFiles({file}, {}).isEmpty());
    EXPECT_TRUE(QFileInfo::exists(file));
}

}  // namespace
