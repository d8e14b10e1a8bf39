// Pieces the photo, frame and shape tests share: a resource folder made from the fixtures (frames, masks,
// clip-art), pages of a chosen pixel size, photo shapes on them, image files of a size, and a text field
// that answers a margin.
#pragma once

#include "model/canvas.h"
#include "model/frame.h"
#include "model/model_classes.h"
#include "model/page_size.h"
#include "model/photo.h"
#include "model/shape.h"
#include "model/shape_text.h"
#include "model/stroke.h"
#include "platform/foundation/bundle.h"
#include "platform/gfx/bitmap_context.h"
#include "platform/gfx/color.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace kxtest {

inline QString photoFixtures() { return QStringLiteral(KX_FIXTURES_DIR "/photo_resources"); }

// Copies a folder tree.
inline bool copyTree(const QString& from, const QString& to) {
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + source.mid(from.size());
        QDir().mkpath(QFileInfo(target).path());
        if (!QFile::copy(source, target))
            return false;
    }
    return true;
}

// Writes an image file of one colour (its format from the extension).
inline QString writeImage(const QString& path, int width, int height, QColor color = QColor(200, 40, 40)) {
    QDir().mkpath(QFileInfo(path).path());
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    EXPECT_TRUE(image.save(path, nullptr, 95)) << path.toStdString();
    return path;
}

// A text field with a margin, for the shapes' text rectangle.
class MarginText : public KXShapeText {
public:
    bool isTextMarginEnabled() const override { return marginEnabled; }
    double textMargin() const override { return margin; }
    void updateWrapRect() override { ++wrapRectUpdates; }
    std::vector<KXGraph*> wrapGraphs() const override { return wrapped; }
    bool marginEnabled = true;
    double margin = 0;
    int wrapRectUpdates = 0;
    std::vector<KXGraph*> wrapped;
};

// Points the main bundle at a copy of the fixture resources for the test's life, and back afterwards.
class PhotoResourcesTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerModelClasses();
        ASSERT_TRUE(dir.isValid());
        res = dir.filePath(QStringLiteral("Resources"));
        ASSERT_TRUE(copyTree(photoFixtures(), res));
        kx::Bundle::setMainResourcePath(res);
    }
    void TearDown() override { kx::Bundle::setMainResourcePath({}); }

    // A page of that pixel size at zoom 1.
    static std::shared_ptr<KXCanvas> pageOfSize(double width, double height) {
        auto page = std::make_shared<KXCanvas>();
        const KXSize size(width, height, KXSizeUnitPixel, 72);
        page->setPageSize(&size);
        page->zoomToFitSize(page->pixelSize());
        return page;
    }

    // A photo shape (no text field) on the page at the frame in page pixels.
    static std::shared_ptr<KXShape> photoShape(KXCanvas& page, const kx::Rect& frame) {
        auto shape = std::make_shared<KXShape>();
        shape->setText(nullptr);
        page.addGraph(shape);
        const kx::Size pixels = page.pixelSize();
        shape->setRelativeRect({frame.origin.x / pixels.width, frame.origin.y / pixels.height,
                                frame.size.width / pixels.width, frame.size.height / pixels.height});
        return shape;
    }

    // The shape drawn alone into an image of its frame's size.
    static QImage drawn(KXShape& shape) {
        const kx::Rect frame = shape.frameRect();
        kx::BitmapContext context(int(frame.size.width), int(frame.size.height));
        shape.drawInContext(context, {0, 0, frame.size.width, frame.size.height});
        return context.makeImage().qimage();
    }

    QTemporaryDir dir;
    QString res;
};

}  // namespace kxtest
