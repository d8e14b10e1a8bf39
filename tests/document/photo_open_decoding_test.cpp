// Opening a project decodes no photo: a page's photos are decoded on the decode pool when the page is first
// drawn on screen, and arrive on the main thread, which redraws them. Output of a page that was never shown
// still gets real pixels. Closing, moving a photo to another file, or removing its file while its decode is
// under way leaves no stale picture and no leak.
#include "project_test_support.h"

#include "graphics/image_cache.h"
#include "model/graph_render.h"
#include "platform/gfx/bitmap_context.h"

#include <QCoreApplication>

#include <future>

using namespace kxtest;

namespace {

const QColor kRed(200, 40, 40);
const QColor kBlue(30, 60, 210);
const QColor kGreen(40, 170, 60);

// The photo of the only (or the `index`th) photo shape of a page.
KXPhoto* photoOf(KXCanvas& page, std::size_t index = 0) {
    std::size_t seen = 0;
    for (const auto& graph : page.graphs())
        if (auto* shape = dynamic_cast<KXShape*>(graph.get()); shape && shape->photo() && seen++ == index)
            return shape->photo();
    return nullptr;
}

kx::Layer* layerOf(KXPhoto* photo) {
    KXGraph* graph = photo ? photo->ownerGraph() : nullptr;
    return graph && graph->render() ? graph->render()->graphLayer() : nullptr;
}

// The colour at the centre of what the photo's layer draws on screen now.
QColor shownCentre(KXPhoto* photo) {
    kx::Layer* layer = layerOf(photo);
    if (!layer)
        return {};
    const kx::Size size = layer->bounds().size;
    kx::BitmapContext context(std::max(1, int(size.width)), std::max(1, int(size.height)));
    layer->renderInContext(context);
    const kx::Image image = context.makeImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

bool near(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) <= 12 && std::abs(a.green() - b.green()) <= 12 &&
           std::abs(a.blue() - b.blue()) <= 12;
}

// The placeholder's grey (236 at the top to 230 at the bottom).
bool isPlaceholderGrey(const QColor& c) {
    return c.red() >= 228 && c.red() <= 238 && c.red() == c.green() && c.green() == c.blue();
}

// Whether the cache holds decoded pixels of the file.
bool decoded(const QString& path) {
    const QHash<QString, KXCachePtr> caches = KXCacheManager::cacheManager().caches();
    const auto it = caches.constFind(path);
    return it != caches.constEnd() && it.value()->hasDecodedImages();
}

// Waits for every decode, then runs the hand-overs they queued for the main thread.
void settle() {
    KXCache::decodePool().waitForDone();
    QCoreApplication::processEvents();
}

// Holds the decode pool's only thread until released, so that the decodes asked for meanwhile wait in line.
class PoolGate {
public:
    PoolGate() {
        m_threads = KXCache::decodePool().maxThreadCount();
        KXCache::decodePool().setMaxThreadCount(1);
        std::shared_future<void> open = m_open.get_future().share();
        KXCache::decodePool().start([open] { open.wait(); });
    }
    ~PoolGate() {
        release();
        KXCache::decodePool().waitForDone();
        KXCache::decodePool().setMaxThreadCount(m_threads);
    }
    void release() {
        if (!m_released)
            m_open.set_value();
        m_released = true;
    }

private:
    std::promise<void> m_open;
    bool m_released = false;
    int m_threads = 1;
};

class PhotoOpenDecodingTest : public ProjectTest {
protected:
    // A project of three pages, one photo each filling the page (red, blue, green), written as a package;
    // the project that wrote it is gone, so no picture of it is in the cache.
    QString writeProject(int photosOnFirstPage = 1) {
        const QColor colours[] = {kRed, kBlue, kGreen};
        {
            KXProject project;
            project.createNewLayerWithCanvas(std::make_shared<KXCanvas>());
            project.createNewLayerWithCanvas(std::make_shared<KXCanvas>());
            for (int page = 0; page < 3; ++page) {
                const QString file = writeImage(at(QStringLiteral("photo%1.jpg").arg(page)), 900, 600, colours[page]);
                addPhoto(*project.canvasAtIndex(page), file, {0, 0, 1, 1});
            }
            for (int extra = 1; extra < photosOnFirstPage; ++extra) {
                const QString file = writeImage(at(QStringLiteral("extra%1.jpg").arg(extra)), 900, 600, kGreen);
                addPhoto(*project.canvasAtIndex(0), file, {0.5, 0.5, 0.5, 0.5});
            }
            const QString package = at(QStringLiteral("Album.vrtp3"));
            EXPECT_TRUE(project.saveAsProjectToPath(package, KXSaveOperationSaveAs));
        }
        settle();
        return at(QStringLiteral("Album.vrtp3"));
    }

    // Draws the page's layers as the screen does, in a view 400 points wide.
    static void show(KXProject& project, std::int64_t page) {
        const std::shared_ptr<KXCanvasLayer> layer = project.canvasLayerAtIndex(page);
        ASSERT_TRUE(layer && layer->canvas());
        layer->canvas()->zoomToFitSize({400, 400});
        const kx::Size size = layer->bounds().size;
        kx::BitmapContext context(std::max(1, int(size.width)), std::max(1, int(size.height)));
        layer->renderInContext(context);
    }
};

TEST_F(PhotoOpenDecodingTest, OpeningDecodesNothingAndTheShownPageGetsItsPhotosAndRedraws) {
    const QString package = writeProject();
    std::unique_ptr<KXProject> project = KXProject::initWithPath(package);
    ASSERT_TRUE(project);
    for (std::int64_t page = 0; page < 3; ++page) {
        KXPhoto* photo = photoOf(*project->canvasAtIndex(page));
        ASSERT_TRUE(photo);
        EXPECT_TRUE(photo->renderImage().isNull()) << page;
        EXPECT_FALSE(decoded(photo->imagePath())) << page;
    }

    KXPhoto* shown = photoOf(*project->canvasAtIndex(0));
    show(*project, 0);
    EXPECT_TRUE(isPlaceholderGrey(shownCentre(shown)));
    EXPECT_TRUE(shown->isWaitingForImage());
    settle();

    // Arrived, and the layer marked for redrawing: its kept drawing (the placeholder) is replaced at the
    // next display.
    EXPECT_FALSE(shown->isWaitingForImage());
    EXPECT_FALSE(shown->renderImage().isNull());
    EXPECT_TRUE(near(shownCentre(shown), kRed));
    // The pages not shown decoded nothing.
    for (std::int64_t page = 1; page < 3; ++page)
        EXPECT_FALSE(decoded(photoOf(*project->canvasAtIndex(page))->imagePath())) << page;
}

// Shown large, the photo keeps drawing the smaller picture it has while a larger one is decoded in the
// background, then draws the larger one.
TEST_F(PhotoOpenDecodingTest, ALargerVersionForALargeViewArrivesInTheBackground) {
    {
        KXProject project;
        addPhoto(*project.canvasAtIndex(0), writeImage(at(QStringLiteral("big.jpg")), 3000, 2000, kRed), {0, 0, 1, 1});
        ASSERT_TRUE(project.saveAsProjectToPath(at(QStringLiteral("Big.vrtp3")), KXSaveOperationSaveAs));
    }
    std::unique_ptr<KXProject> project = KXProject::initWithPath(at(QStringLiteral("Big.vrtp3")));
    ASSERT_TRUE(project);
    KXPhoto* photo = photoOf(*project->canvasAtIndex(0));
    const std::shared_ptr<KXCanvasLayer> layer = project->canvasLayerAtIndex(0);
    layer->canvas()->zoomToFitSize({300, 300});
    shownCentre(photo);
    settle();
    ASSERT_FALSE(photo->renderImage().isNull());
    const int first = photo->renderImage().width();
    EXPECT_LE(first, 400);  // what a small view needs: the thumbnail, not the file's 3000 pixels

    layer->canvas()->zoomToFitSize({1800, 1800});
    ASSERT_GT(layerOf(photo)->bounds().size.width, 1200);
    shownCentre(photo);  // too small now: the larger version is asked for, the smaller one drawn meanwhile
    EXPECT_TRUE(photo->isWaitingForImage());
    EXPECT_EQ(photo->renderImage().width(), first);
    settle();
    EXPECT_GT(photo->renderImage().width(), 1200);
    EXPECT_TRUE(near(shownCentre(photo), kRed));
}

TEST_F(PhotoOpenDecodingTest, OutputOfAPageNeverShownHasRealPixels) {
    const QString package = writeProject();
    std::unique_ptr<KXProject> project = KXProject::initWithPath(package);
    ASSERT_TRUE(project);
    KXCanvas& page = *project->canvasAtIndex(2);
    const kx::Image output = page.outputImageWithSize({300, 200});
    ASSERT_FALSE(output.isNull());
    EXPECT_TRUE(near(output.pixelColor(output.width() / 2, output.height() / 2), kGreen));
    // The live photo drawn into an image of its own (as shadowed photos are) decodes at once too.
    auto* shape = dynamic_cast<KXShape*>(page.graphs().front().get());
    ASSERT_TRUE(shape);
    const kx::Image alone = shape->graphImageWithZoom(1);
    ASSERT_FALSE(alone.isNull());
    EXPECT_TRUE(near(alone.pixelColor(alone.width() / 2, alone.height() / 2), kGreen));
    EXPECT_FALSE(shape->photo()->isWaitingForImage());
}

TEST_F(PhotoOpenDecodingTest, ClosingWhileDecodesWaitNeitherCrashesNorKeepsEntries) {
    const QString package = writeProject(3);
    QStringList paths;
    {
        PoolGate gate;
        std::unique_ptr<KXProject> project = KXProject::initWithPath(package);
        ASSERT_TRUE(project);
        show(*project, 0);
        for (std::size_t i = 0; i < 3; ++i) {
            KXPhoto* photo = photoOf(*project->canvasAtIndex(0), i);
            ASSERT_TRUE(photo);
            EXPECT_TRUE(photo->isWaitingForImage()) << i;
            paths << photo->imagePath();
        }
        project.reset();
        gate.release();
    }
    settle();
    const QHash<QString, KXCachePtr> caches = KXCacheManager::cacheManager().caches();
    for (const QString& path : paths)
        EXPECT_FALSE(caches.contains(path)) << path.toStdString();
}

TEST_F(PhotoOpenDecodingTest, AFileRemovedWhileItsDecodeWaitsLeavesThePlaceholder) {
    const QString package = writeProject(2);
    PoolGate gate;
    std::unique_ptr<KXProject> project = KXProject::initWithPath(package);
    ASSERT_TRUE(project);
    KXPhoto* removed = photoOf(*project->canvasAtIndex(0), 0);
    KXPhoto* kept = photoOf(*project->canvasAtIndex(0), 1);
    show(*project, 0);
    ASSERT_TRUE(removed->isWaitingForImage());
    ASSERT_TRUE(QFile::remove(removed->imagePath()));
    gate.release();
    settle();

    EXPECT_TRUE(removed->renderImage().isNull());
    // Drawn again (as after a scroll): the placeholder, and the picture is not asked for at every drawing.
    removed->setNeedsDisplay();
    EXPECT_TRUE(isPlaceholderGrey(shownCentre(removed)));
    EXPECT_FALSE(removed->isWaitingForImage());
    EXPECT_TRUE(near(shownCentre(kept), kGreen));
}

TEST_F(PhotoOpenDecodingTest, APhotoMovedToAnotherFileWhileItsDecodeWaitsShowsOnlyTheNewFile) {
    const QString package = writeProject();
    PoolGate gate;
    std::unique_ptr<KXProject> project = KXProject::initWithPath(package);
    ASSERT_TRUE(project);
    KXPhoto* photo = photoOf(*project->canvasAtIndex(0));
    show(*project, 0);
    ASSERT_TRUE(photo->isWaitingForImage());
    // Another user keeps the old file's entry, so its decode runs and arrives.
    const QString oldPath = photo->imagePath();
    ASSERT_TRUE(KXCacheManager::cacheManager().retainedCacheWithPath(oldPath));
    // A smaller picture: the waiting decode of the old file would give a larger image than it.
    photo->setImagePath(writeImage(at(QStringLiteral("other.jpg")), 240, 160, kBlue));
    gate.release();
    settle();

    EXPECT_TRUE(near(shownCentre(photo), kBlue));
    ASSERT_FALSE(photo->renderImage().isNull());
    EXPECT_TRUE(near(photo->renderImage().pixelColor(photo->renderImage().width() / 2, 1), kBlue));
    KXCacheManager::cacheManager().removeCacheWithPath(oldPath);
}

}  // namespace
