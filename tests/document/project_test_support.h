// Pieces the project tests share: a resource folder of the test's own, pages with photo shapes, image files,
// and reading back what a package holds.
#pragma once

#include "canvas/canvas_layer.h"
#include "document/project.h"
#include "model/canvas.h"
#include "model/page_size.h"
#include "model/photo.h"
#include "model/shape.h"
#include "platform/foundation/bundle.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace kxtest {

// Writes an image file of one colour (its format from the extension).
inline QString writeImage(const QString& path, int width = 40, int height = 30, QColor color = QColor(200, 40, 40)) {
    QDir().mkpath(QFileInfo(path).path());
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    EXPECT_TRUE(image.save(path, nullptr, 90)) << path.toStdString();
    return path;
}

// A photo shape showing the image, added to the page.
inline KXPhoto* addPhoto(KXCanvas& page, const QString& imagePath, const kx::Rect& relative = {0.1, 0.1, 0.3, 0.3}) {
    auto shape = std::make_shared<KXShape>();
    shape->setText(nullptr);
    page.addGraph(shape);
    shape->setRelativeRect(relative);
    auto photo = std::make_shared<KXPhoto>();
    shape->setPhoto(photo);
    photo->setImagePath(imagePath);
    return shape->photo();
}

// The image paths of every photo of the project, page by page.
inline QStringList photoPaths(const KXProject& project) {
    QStringList paths;
    for (std::int64_t i = 0; i < project.canvasCount(); ++i)
        for (const auto& graph : project.canvasAtIndex(i)->graphs())
            if (auto* shape = dynamic_cast<KXShape*>(graph.get()); shape && shape->photo())
                paths << shape->photo()->imagePath();
    return paths;
}

// The files of a folder, by name.
inline QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::System | QDir::Hidden, QDir::Name);
}

class ProjectTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerDocumentClasses();
        ASSERT_TRUE(dir.isValid());
        res = dir.filePath(QStringLiteral("Resources"));
        QDir().mkpath(res + QStringLiteral("/Clipart/Animals"));
        kx::Bundle::setMainResourcePath(res);
    }
    void TearDown() override { kx::Bundle::setMainResourcePath({}); }

    QString at(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    QString res;
};

}  // namespace kxtest
