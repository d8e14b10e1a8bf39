// A 200 by 200 pixel page at zoom 1 with one plain shape filled blue over its middle half, for the style
// inspector's tests: archives of the shape, single undo steps, and pixels of the rendered page.
#pragma once

#include "model/background.h"
#include "model/canvas.h"
#include "model/model_classes.h"
#include "model/page_size.h"
#include "model/shape.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/undo_manager.h"

#include <QCoreApplication>
#include <QImage>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace kxtest {

struct StyledShapePage {
    StyledShapePage() {
        registerModelClasses();
        page = std::make_shared<KXCanvas>();
        const KXSize size(200, 200, KXSizeUnitPixel, 72);
        page->setPageSize(&size);
        page->zoomToFitSize(page->pixelSize());
        shape = std::make_shared<KXShape>();
        shape->setText(nullptr);
        shape->setPhoto(nullptr);
        page->addGraph(shape);
        shape->setRelativeRect({0.25, 0.25, 0.5, 0.5});
        shape->setFillEnabled(true);
        shape->background()->setColor1(kx::Color::srgb(0, 0, 1));
        shape->background()->setColor2(kx::Color::srgb(1, 1, 0));
        settle();
        page->undoManager().removeAllActions();
    }
    static void settle() { QCoreApplication::processEvents(); }
    QByteArray archive() const { return kx::KeyedArchiver::archivedDataWithRootObject(kx::Value(shape)); }
    // The edit just made is one undo step, and undoing it gives back the archive from before; then
    // `refresh` runs (the inspector showing the object again).
    void expectOneStepRestoring(const QByteArray& before, const std::function<void()>& refresh = {}) {
        settle();
        kx::UndoManager& undo = page->undoManager();
        ASSERT_TRUE(undo.canUndo());
        EXPECT_NE(archive(), before);
        undo.undo();
        settle();
        EXPECT_EQ(archive(), before);
        EXPECT_FALSE(undo.canUndo());
        if (refresh)
            refresh();
    }
    // The rendered page's pixel at x and y counted from the bottom.
    QColor pixel(int x, int yUp) const {
        const QImage image = page->renderOutputImage(page->pixelSize()).qimage();
        return image.pixelColor(x, image.height() - 1 - yUp);
    }

    std::shared_ptr<KXCanvas> page;
    std::shared_ptr<KXShape> shape;
};

}  // namespace kxtest
