// A page rendered on a worker thread while the main thread goes on editing it, as the export does behind its
// progress sheet. Run under ThreadSanitizer by the test script: the render works on an output copy made on
// the main thread, so it shares nothing with the page being edited but the locked image caches.
#include "model/canvas.h"
#include "model/model_classes.h"
#include "model/page_size.h"
#include "model/photo.h"
#include "model/shadow.h"
#include "model/shape.h"
#include "platform/gfx/bitmap_context.h"

#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

namespace {

std::shared_ptr<KXShape> addShape(KXCanvas& page, const kx::Rect& relative, const QString& imagePath) {
    auto shape = std::make_shared<KXShape>();
    shape->setText(nullptr);
    if (imagePath.isEmpty()) {
        shape->setPhoto(nullptr);
        shape->setFillEnabled(true);
    }
    page.addGraph(shape);
    shape->setRelativeRect(relative);
    if (!imagePath.isEmpty())
        shape->photo()->setImagePath(imagePath);
    return shape;
}

TEST(PageOutputConcurrency, WorkerRendersACopyWhileTheMainThreadEdits) {
    registerModelClasses();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString photoPath = dir.filePath(QStringLiteral("photo.jpg"));
    QImage photo(400, 300, QImage::Format_RGB32);
    photo.fill(QColor(30, 140, 200));
    ASSERT_TRUE(photo.save(photoPath, "JPEG", 90));

    auto page = std::make_shared<KXCanvas>();
    const KXSize size(600, 400, KXSizeUnitPixel, 72);
    page->setPageSize(&size);
    page->zoomToFitSize({300, 200});
    auto photoShape = addShape(*page, {0.1, 0.1, 0.4, 0.5}, photoPath);
    photoShape->setShadowEnabled(true);
    auto plain = addShape(*page, {0.5, 0.3, 0.3, 0.3}, {});
    plain->setOpacity(0.6);
    plain->setReflectionEnabled(true);
    plain->setAngle(0.3);

    auto copy = page->outputCopy();
    ASSERT_TRUE(copy);
    const kx::Image before = copy->outputImageWithSize({600, 600});
    ASSERT_FALSE(before.isNull());

    std::atomic<bool> done{false};
    kx::Image rendered;
    std::thread worker([&] {
        for (int i = 0; i < 4; ++i)
            rendered = copy->outputImageWithSize({600, 600});
        done = true;
    });
    // The user edits the live page meanwhile: opacity, place, turn, zoom, a new graph and undo.
    int edits = 0;
    while (!done || edits < 20) {
        plain->setOpacity(0.2 + 0.01 * (edits % 50));
        photoShape->setRelativeRect({0.05 + 0.001 * (edits % 100), 0.1, 0.4, 0.5});
        plain->setAngle(0.01 * edits);
        page->zoomToFitSize({300.0 + edits % 7, 200});
        if (edits % 5 == 0)
            addShape(*page, {0.2, 0.2, 0.1, 0.1}, (edits % 10 == 0) ? photoPath : QString());
        if (edits % 3 == 0 && page->undoManager().canUndo())
            page->undoManager().undo();
        ++edits;
    }
    worker.join();
    ASSERT_FALSE(rendered.isNull());
    // None of the edits reached the copy.
    EXPECT_TRUE(rendered.qimage() == before.qimage());
    EXPECT_EQ(copy->previewSize(), kx::Size(300, 200));
}

TEST(PageOutputConcurrency, PhotoDecodesRunAheadOfRendersThatShareTheCache) {
    // Photos drawn far larger than their thumbnails: each render starts their decodes on other threads
    // before it draws. Two copies rendered at once ask for the same cache entries; both come out as a render
    // made alone.
    registerModelClasses();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto page = std::make_shared<KXCanvas>();
    const KXSize size(600, 400, KXSizeUnitPixel, 72);
    page->setPageSize(&size);
    page->zoomToFitSize({300, 200});
    for (int i = 0; i < 3; ++i) {
        const QString path = dir.filePath(QStringLiteral("photo%1.jpg").arg(i));
        QImage photo(1600, 1200, QImage::Format_RGB32);
        photo.fill(QColor(30 + 60 * i, 140, 200 - 50 * i));
        ASSERT_TRUE(photo.save(path, "JPEG", 90));
        auto shape = addShape(*page, {0.05 + 0.3 * i, 0.2, 0.28, 0.5}, path);
        shape->setShadowEnabled(i != 1);
    }
    auto first = page->outputCopy();
    auto second = page->outputCopy();
    ASSERT_TRUE(first && second);
    kx::Image a, b;
    std::thread worker([&] { a = first->outputImageWithSize({1500, 1500}); });
    b = second->outputImageWithSize({1500, 1500});
    worker.join();
    ASSERT_EQ(a.width(), 1500);
    EXPECT_TRUE(a.qimage() == b.qimage());
    EXPECT_TRUE(page->outputCopy()->outputImageWithSize({1500, 1500}).qimage() == a.qimage());
}

}  // namespace
