// One request end to end: a clip-art file dragged onto the canvas view becomes a photo near the drop point,
// selected and announced; the document whose undo manager is the page's counts the change, and one undo
// takes the photo away and the change back.
#include "canvas/canvas_drop.h"
#include "canvas/canvas_layer.h"
#include "canvas/canvas_view.h"
#include "canvas/view_events.h"
#include "document/document_base.h"
#include "model/page_size.h"
#include "model/page_test_support.h"
#include "model/photo.h"
#include "model/photo_test_support.h"
#include "model/shape.h"

#include <QDropEvent>
#include <QMimeData>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class PlainDocument : public kx::Document {
public:
    bool readFromURL(const QString&, const QString&, QString*) override { return true; }
    bool writeSafelyToURL(const QString&, const QString&, kx::SaveOperationType, QString*) override { return true; }
};

TEST(DropEndToEnd, AClipartFileDroppedOnThePageBecomesOneUndoableCountedChange) {
    kxtest::registerPageClasses();
    QTemporaryDir dir;
    const QString clipart = kxtest::writeImage(dir.filePath(QStringLiteral("Clipart/Animals/cat.png")), 120, 80);
    kxtest::ViewRig rig(QSize(1000, 800));
    auto page = KXCanvasLayer::create();
    const KXSize size(800, 600, KXSizeUnitPixel, 72);
    page->canvas()->setPageSize(&size);
    rig.view->switchToCanvasLayer(page);
    rig.view->actualSizeAction();
    KXCanvas* canvas = page->canvas();
    auto document = std::make_shared<PlainDocument>();
    document->setUndoManager(&canvas->undoManager());
    kxtest::endEvent();
    ASSERT_EQ(document->changeCount(), 0);
    kxtest::Counter selection(KXGraphSelectionChange, rig.view);

    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(clipart)});
    addDragSourceFacts(data, QStringLiteral("KXImageBrowserView"), QStringLiteral("Clipart"));
    const kx::Point at{500, 200};
    QDropEvent drop(rig.view->viewPointForPagePoint(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    drop.ignore();
    static_cast<QObject*>(rig.view)->event(&drop);
    EXPECT_TRUE(drop.isAccepted());
    kxtest::endEvent();

    ASSERT_EQ(canvas->graphCount(), 1);
    auto* photo = dynamic_cast<KXShape*>(canvas->graphs()[0].get());
    ASSERT_TRUE(photo && photo->photo());
    EXPECT_EQ(photo->photo()->imagePath(), clipart);
    const kx::Rect r = photo->relativeRect();
    const kx::Rect frame{r.origin.x * 800, r.origin.y * 600, r.size.width * 800, r.size.height * 600};
    EXPECT_TRUE(frame.contains(at));
    EXPECT_EQ(rig.view->selectedGraphs().size(), 1u);
    EXPECT_TRUE(photo->isSelected());
    EXPECT_GE(selection.count, 1);
    EXPECT_EQ(document->changeCount(), 1);

    canvas->undoManager().undo();
    kxtest::endEvent();
    EXPECT_EQ(canvas->graphCount(), 0);
    EXPECT_EQ(document->changeCount(), 0);
}

}  // namespace
