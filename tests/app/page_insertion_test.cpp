// Inserting objects on a page and the data of copied objects, on the page model without a window.
#include "canvas/canvas_layer.h"
#include "document/graph_pasteboard.h"
#include "document/page_insertion.h"
#include "document/version_info.h"
#include "library/shape_palette.h"
#include "model/calendar.h"
#include "model/graph.h"
#include "model/model_classes.h"
#include "model/page_size.h"
#include "model/photo.h"
#include "model/shadow.h"
#include "model/shape.h"
#include "model/stroke.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/property_list.h"
#include "shapes/symbol_shape.h"
#include "text/advanced_text.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

class PageInsertionTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerModelClasses();
        registerDocumentClasses();
        ASSERT_TRUE(dir.isValid());
    }

    // A page of the pixel size shown at its pixel size (preview = pixels), in a page layer, with undo steps
    // recorded only where the code groups them.
    std::shared_ptr<KXCanvasLayer> pageOfSize(double width, double height) {
        auto page = std::make_shared<KXCanvas>();
        const KXSize size(width, height, KXSizeUnitPixel, 72);
        page->setPageSize(&size);
        page->zoomToFitSize({width, height});
        auto layer = KXCanvasLayer::create(page);
        page->undoManager().setGroupsByEvent(false);
        page->undoManager().removeAllActions();
        return layer;
    }

    QString imageFile(const QString& name, int width, int height) {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        const QString path = dir.filePath(name);
        EXPECT_TRUE(image.save(path, "PNG"));
        return path;
    }

    QString textFile(const QString& name) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a picture\n");
        return path;
    }

    QTemporaryDir dir;
};

// The text box's rectangle starts centred on the page: its page-relative origin.
kx::Point centredTextBoxOrigin(double W, double H) {
    const double w = W * double(0.4f);
    const double h = H * double(float(0.15 * W / H));
    return {(W - w) * 0.5 / W, (H - h) * 0.5 / H};
}

TEST_F(PageInsertionTest, TextBoxesCascadeByOneHundredthAndStartAgainPastTheEdge) {
    auto layer = pageOfSize(1000, 800);
    KXCanvas& page = *layer->canvas();
    kx::Point offset{0, 0};
    const kx::Point centre = centredTextBoxOrigin(1000, 800);
    std::vector<kx::Rect> rects;
    for (int i = 0; i < 60; ++i) {
        auto box = addTextBox(page, offset, {}, QStringLiteral("Hello"));
        ASSERT_NE(box, nullptr);
        rects.push_back(box->relativeRect());
    }
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(rects[size_t(i)].origin.x, centre.x + 0.01 * i, 1e-9) << i;
        EXPECT_NEAR(rects[size_t(i)].origin.y, centre.y + 0.01 * i, 1e-9) << i;
    }
    // The first box that reaches past the right or top edge is placed where the cascade put it; the next
    // one starts centred again.
    size_t past = 0;
    while (past < rects.size() && rects[past].maxX() <= 1 + 1e-12 && rects[past].maxY() <= 1 + 1e-12)
        ++past;
    ASSERT_LT(past + 1, rects.size());
    EXPECT_GT(past, 2u);
    EXPECT_NEAR(rects[past].origin.x, centre.x + 0.01 * double(past), 1e-9);
    EXPECT_NEAR(rects[past + 1].origin.x, centre.x, 1e-12);
    EXPECT_NEAR(rects[past + 1].origin.y, centre.y, 1e-12);
    EXPECT_EQ(page.graphCount(), 60);
}

TEST_F(PageInsertionTest, ATextBoxFillsItsBoxAndIsOneUndoStep) {
    auto layer = pageOfSize(1000, 800);
    KXCanvas& page = *layer->canvas();
    kx::Point offset{0, 0};
    auto box = addTextBox(page, offset, {}, QStringLiteral("New text"));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->graphType(), KXGraphTypeText);
    EXPECT_EQ(box->photo(), nullptr);
    EXPECT_EQ(box->shadow()->blur(), 2);
    EXPECT_EQ(box->shadow()->offset(), 5);
    EXPECT_TRUE(box->isSelected());
    auto* text = dynamic_cast<KXAdvancedText*>(box->text());
    ASSERT_NE(text, nullptr);
    const kx::Size natural = text->naturalSize();
    const double k = double(float(0.15 * 1000 / 800));
    EXPECT_NEAR(text->fontScale(), 0.9 * std::min(1000 * double(0.4f) / natural.width, 800 * k / natural.height), 1e-4);
    EXPECT_NEAR(box->aspectRatio(), (1000 * double(0.4f)) / (800 * k), 1e-6);
    page.undoManager().undo();
    EXPECT_EQ(page.graphCount(), 0);
}

TEST_F(PageInsertionTest, AnEmptyNewTextKeepsAUsableFontScale) {
    auto layer = pageOfSize(1000, 800);
    kx::Point offset{0, 0};
    auto box = addTextBox(*layer->canvas(), offset, {}, QString());
    ASSERT_NE(box, nullptr);
    auto* text = dynamic_cast<KXAdvancedText*>(box->text());
    ASSERT_NE(text, nullptr);
    // Nothing to measure: the scale is left as it was rather than divided by a zero natural size.
    EXPECT_EQ(text->fontScale(), 1.0);
}

TEST_F(PageInsertionTest, AnObjectOutOfViewIsCentredInTheVisibleAreaWithoutAdvancingTheCascade) {
    auto layer = pageOfSize(1000, 800);
    KXCanvas& page = *layer->canvas();
    kx::Point offset{0.05, 0.05};
    const kx::Rect visible{2000, 1500, 400, 300};
    auto calendar = addCalendar(page, offset, visible);
    ASSERT_NE(calendar, nullptr);
    const kx::Rect r = calendar->relativeRect();
    EXPECT_NEAR(r.size.width * 1000, 240, 1e-9);
    EXPECT_NEAR(r.size.height * 800, 180, 1e-9);
    EXPECT_NEAR(r.origin.x * 1000, 2000 + (400 - 240) * 0.5, 1e-9);
    EXPECT_NEAR(r.origin.y * 800, 1500 + (300 - 180) * 0.5, 1e-9);
    EXPECT_EQ(offset.x, 0.05);
    EXPECT_EQ(offset.y, 0.05);
    EXPECT_FALSE(calendar->isStrokeEnabled());
    EXPECT_NEAR(calendar->aspectRatio(), 1000.0 / 800.0, 1e-9);

    // In view, the same calendar is 0.6 of the page, centred plus the cascade, which advances.
    auto seen = addCalendar(page, offset, {0, 0, 1000, 800});
    EXPECT_NEAR(seen->relativeRect().size.width, 0.6, 1e-12);
    EXPECT_NEAR(seen->relativeRect().origin.x, 0.2 + 0.05, 1e-12);
    EXPECT_NEAR(offset.x, 0.06, 1e-12);
}

TEST_F(PageInsertionTest, PickerIndexesInsertTheirShapesAtTheirWidths) {
    struct Case {
        std::int64_t index;
        std::uint32_t type;
        double widthShare;
    };
    const Case cases[] = {{0, 13, 0.4}, {20, 13, 0.4}, {-3, 13, 0.4}, {1, 14, 0.25}, {2, 15, 0.4}, {3, 1, 0.25},
                          {4, 4, 0.4},  {10, 8, 0.4},  {11, 9, 0.25}, {13, 11, 0.25}};
    for (const Case& c : cases) {
        auto layer = pageOfSize(1000, 800);
        kx::Point offset{0, 0};
        ASSERT_EQ(shapeTypeForPickerIndex(c.index), c.type) << c.index;
        auto shape = addShapeWithType(*layer->canvas(), offset, {}, shapeTypeForPickerIndex(c.index));
        ASSERT_NE(shape, nullptr) << c.index;
        EXPECT_EQ(shape->shapeType(), c.type) << c.index;
        EXPECT_NEAR(shape->relativeRect().size.width, c.widthShare, 1e-6) << c.index;
        // About a quarter of the page's width high, whatever the type.
        EXPECT_NEAR(shape->relativeRect().size.height * 800, 250, 1e-3) << c.index;
        EXPECT_EQ(shape->photo(), nullptr) << c.index;
        EXPECT_EQ(shape->text(), nullptr) << c.index;
        // Lines too: the ratio the page would give the shape when the project is opened again.
        const kx::Rect r = shape->relativeRect();
        EXPECT_NEAR(shape->aspectRatio(), r.size.width * 1000 / (r.size.height * 800), 1e-6) << c.index;
        if (c.type >= 13) {
            EXPECT_EQ(shape->graphType(), KXGraphTypeLine) << c.index;
            EXPECT_NEAR(shape->stroke()->width(), 0.3, 1e-6) << c.index;
            // The width an archive gives back.
            EXPECT_EQ(shape->stroke()->copy()->width(), shape->stroke()->width()) << c.index;
        } else {
            EXPECT_FALSE(shape->isStrokeEnabled()) << c.index;
        }
        EXPECT_EQ(layer->canvas()->graphCount(), 1);
        layer->canvas()->undoManager().undo();
        EXPECT_EQ(layer->canvas()->graphCount(), 0) << c.index;
    }
}

TEST_F(PageInsertionTest, InsertedPhotoSizesShrinkTheLongerSideToAFifthOfTheArea) {
    struct Case {
        kx::Size pixels;
        double m;
        kx::Size expected;
    };
    const Case cases[] = {{{1000, 2000}, 200, {100, 200}},
                          {{3000, 1000}, 300, {300, 100}},
                          {{50, 40}, 200, {50, 40}},
                          {{400, 400}, 400, {400, 400}},
                          {{0, 100}, 200, {0, 0}}};
    for (const Case& c : cases) {
        const kx::Size size = insertedPhotoSize(c.pixels, c.m);
        EXPECT_NEAR(size.width, c.expected.width, 1e-9) << c.pixels.width;
        EXPECT_NEAR(size.height, c.expected.height, 1e-9) << c.pixels.width;
    }
}

TEST_F(PageInsertionTest, APortraitPhotoOnASmallPageIsCentredAtAFifthOfTheArea) {
    auto layer = pageOfSize(500, 500);
    KXCanvas& page = *layer->canvas();
    const QString path = imageFile(QStringLiteral("portrait.png"), 1000, 2000);
    QString error;
    auto photo = addImageWithPath(page, path, {0, 0, 800, 600}, &error);
    ASSERT_NE(photo, nullptr) << error.toStdString();
    const kx::Rect r = photo->relativeRect();
    EXPECT_NEAR(r.size.width * 500, 100, 1e-6);
    EXPECT_NEAR(r.size.height * 500, 200, 1e-6);
    EXPECT_NEAR(r.origin.x * 500, 200, 1e-6);
    EXPECT_NEAR(r.origin.y * 500, 150, 1e-6);
    EXPECT_NEAR(photo->aspectRatio(), 0.5, 1e-9);
    // Set up as every inserted photo: the picture whole, no frame or mask, a white border switched off.
    EXPECT_EQ(photo->graphType(), KXGraphTypePhoto);
    EXPECT_EQ(photo->photo()->imagePath(), path);
    EXPECT_EQ(photo->photo()->cropRect(), kx::Rect());
    EXPECT_FALSE(photo->photo()->isFrameEnabled());
    EXPECT_FALSE(photo->photo()->isMaskEnabled());
    EXPECT_FALSE(photo->isStrokeEnabled());
    EXPECT_EQ(photo->stroke()->width(), 3);
    EXPECT_EQ(photo->text(), nullptr);
}

TEST_F(PageInsertionTest, APathThatGivesNoPictureInsertsNothingAndSaysWhy) {
    auto layer = pageOfSize(500, 500);
    KXCanvas& page = *layer->canvas();
    for (const QString& path : {textFile(QStringLiteral("notes.png")), dir.filePath(QStringLiteral("missing.jpg")),
                                dir.path(), QString()}) {
        QString error;
        EXPECT_EQ(addImageWithPath(page, path, {}, &error), nullptr) << path.toStdString();
        EXPECT_FALSE(error.isEmpty()) << path.toStdString();
        EXPECT_EQ(addPhotoWithPath(page, path, {0, 0}, {100, 100}, &error), nullptr) << path.toStdString();
    }
    EXPECT_EQ(page.graphCount(), 0);
    EXPECT_FALSE(page.undoManager().canUndo());
}

TEST_F(PageInsertionTest, PastedFilesLeaveOutWhatIsNotAPictureAndCascade) {
    auto layer = pageOfSize(1000, 1000);
    KXCanvas& page = *layer->canvas();
    const QString wide = imageFile(QStringLiteral("wide.png"), 800, 400);
    const QString square = imageFile(QStringLiteral("square.png"), 300, 300);
    kx::Point offset{0, 0};
    const KXCanvas::GraphList added =
        pasteImagesOnPage(page, offset, {wide, textFile(QStringLiteral("readme.txt")), square});
    ASSERT_EQ(added.size(), 2u);
    EXPECT_EQ(offset, kx::Point(0.01, -0.01));
    // 0.4 of the page at most, the first centred, the next a twentieth further right and down.
    const kx::Rect first = added[0]->relativeRect();
    EXPECT_NEAR(first.size.width, 0.4, 1e-12);
    EXPECT_NEAR(first.size.height, 0.2, 1e-12);
    EXPECT_NEAR(first.origin.x, 0.3 + 0.01, 1e-12);
    EXPECT_NEAR(first.origin.y, 0.4 - 0.01, 1e-12);
    const kx::Rect second = added[1]->relativeRect();
    EXPECT_NEAR(second.size.width, 0.4, 1e-12);
    EXPECT_NEAR(second.origin.x, 0.55 - 0.2 + 0.01, 1e-12);
    EXPECT_NEAR(second.origin.y, 0.45 - 0.2 - 0.01, 1e-12);
    // Both in one step.
    page.undoManager().undo();
    EXPECT_EQ(page.graphCount(), 0);
}

TEST_F(PageInsertionTest, PastedShortTextIsAThirdOfThePageHighAndCentred) {
    auto layer = pageOfSize(1000, 800);
    KXCanvas& page = *layer->canvas();
    kx::Point offset{0, 0};
    auto box = pasteTextOnPage(page, offset, QStringLiteral("Hello"), {500, 400});
    ASSERT_NE(box, nullptr);
    const kx::Rect r = box->relativeRect();
    EXPECT_NEAR(r.size.height, 0.3, 1e-12);
    EXPECT_NEAR(r.origin.y, -0.01 + 0.35, 1e-12);
    const kx::Size used = usedSizeOfPlainText(QStringLiteral("Hello"), {1000, 800});
    ASSERT_GT(used.width, 0);
    EXPECT_NEAR(r.size.width, used.width / 500, 1e-9);
    EXPECT_NEAR(r.origin.x, (250 - used.width * 0.5) / 500 + 0.01, 1e-9);
    EXPECT_EQ(box->shadow()->offset(), 2);
    EXPECT_EQ(box->photo(), nullptr);
    EXPECT_EQ(pasteTextOnPage(page, offset, QString(), {500, 400}), nullptr);
}

TEST_F(PageInsertionTest, RandomFillUsesEachPictureOnceAndLeavesTheRestEmpty) {
    auto layer = pageOfSize(600, 600);
    KXCanvas& page = *layer->canvas();
    page.undoManager().beginUndoGrouping();
    for (int i = 0; i < 3; ++i) {
        auto frame = std::make_shared<KXShape>();
        frame->setRelativeRect({0.1 * i, 0.1, 0.2, 0.2});
        page.addGraph(frame);
    }
    page.undoManager().endUndoGrouping();
    page.undoManager().removeAllActions();
    ASSERT_EQ(page.emptyPhotos().size(), 3u);
    const QStringList images{imageFile(QStringLiteral("a.png"), 20, 20), textFile(QStringLiteral("b.txt")),
                             imageFile(QStringLiteral("c.png"), 20, 20)};
    std::uint32_t next = 7;
    const bool stillEmpty = fillRandomly(page, images, [&] { return next += 5; });
    EXPECT_TRUE(stillEmpty);
    EXPECT_EQ(page.emptyPhotos().size(), 1u);
    QStringList used;
    for (const auto& graph : page.graphs()) {
        const QString path = static_cast<KXShape*>(graph.get())->photo()->imagePath();
        if (!path.isEmpty())
            used << path;
    }
    used.sort();
    EXPECT_EQ(used, QStringList({images[0], images[2]}));
    page.undoManager().undo();
    EXPECT_EQ(page.emptyPhotos().size(), 3u);
    // Nothing usable: nothing changes.
    EXPECT_TRUE(fillRandomly(page, {textFile(QStringLiteral("d.txt"))}, [] { return 1u; }));
    EXPECT_EQ(page.emptyPhotos().size(), 3u);
}

// ---- copied objects ----

std::shared_ptr<KXShape> rectangleAt(KXCanvas& page, const kx::Rect& rect, bool locked = false) {
    auto shape = KXShape::initWithType(1, rect);
    page.undoManager().beginUndoGrouping();
    page.addGraph(shape);
    shape->setLocked(locked);
    page.undoManager().endUndoGrouping();
    return shape;
}

TEST_F(PageInsertionTest, CopyLeavesLockedObjectsOutAndReadsBack) {
    auto layer = pageOfSize(1000, 1000);
    KXCanvas& page = *layer->canvas();
    rectangleAt(page, {0.1, 0.1, 0.2, 0.2}, true);
    auto unlocked = rectangleAt(page, {0.5, 0.5, 0.2, 0.2});
    const QByteArray data = selectedGraphsAsDatas(page);
    const auto root = kx::readPropertyList(data);
    ASSERT_TRUE(root.has_value());
    EXPECT_EQ(root->toArray().size(), 2u);
    const auto read = readGraphPasteboardData(data);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->sourcePixelSize, kx::Size(1000, 1000));
    ASSERT_EQ(read->graphs.size(), 1u);
    // Pasted in place on a page of the same size, it is the object that was copied.
    auto other = pageOfSize(1000, 1000);
    kx::Point offset = kPasteOffsetOfOtherPages;
    pasteGraphsOnPage(*other->canvas(), offset, *read);
    EXPECT_EQ(kx::KeyedArchiver::archivedDataWithRootObject(kx::Value(read->graphs[0])),
              kx::KeyedArchiver::archivedDataWithRootObject(kx::Value(std::static_pointer_cast<KXGraph>(unlocked))));
}

TEST_F(PageInsertionTest, PastesCascadeOnTheSourcePageAndLandInPlaceElsewhere) {
    auto source = pageOfSize(1000, 1000);
    rectangleAt(*source->canvas(), {0.3, 0.4, 0.2, 0.2});
    const QByteArray data = selectedGraphsAsDatas(*source->canvas());

    kx::Point offset{0, 0};  // the page copied from
    for (int i = 1; i <= 2; ++i) {
        const auto read = readGraphPasteboardData(data);
        const auto added = pasteGraphsOnPage(*source->canvas(), offset, *read);
        ASSERT_EQ(added.size(), 1u);
        EXPECT_NEAR(added[0]->relativeRect().origin.x, 0.3 + 0.01 * i, 1e-12);
        EXPECT_NEAR(added[0]->relativeRect().origin.y, 0.4 - 0.01 * i, 1e-12);
    }

    auto other = pageOfSize(1000, 1000);
    kx::Point otherOffset = kPasteOffsetOfOtherPages;
    const auto added = pasteGraphsOnPage(*other->canvas(), otherOffset, *readGraphPasteboardData(data));
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0]->relativeRect(), kx::Rect(0.3, 0.4, 0.2, 0.2));

    // A page twice as wide: the object keeps its pixel size.
    auto wide = pageOfSize(2000, 1000);
    kx::Point wideOffset = kPasteOffsetOfOtherPages;
    const auto onWide = pasteGraphsOnPage(*wide->canvas(), wideOffset, *readGraphPasteboardData(data));
    ASSERT_EQ(onWide.size(), 1u);
    EXPECT_NEAR(onWide[0]->relativeRect().size.width, 0.1, 1e-12);
    EXPECT_NEAR(onWide[0]->relativeRect().size.height, 0.2, 1e-12);
}

TEST_F(PageInsertionTest, APasteThatRunsOffThePageStartsTheCascadeAgain) {
    auto layer = pageOfSize(1000, 1000);
    KXCanvas& page = *layer->canvas();
    rectangleAt(page, {0.85, 0.4, 0.145, 0.2});
    const QByteArray data = selectedGraphsAsDatas(page);
    kx::Point offset{0, 0};
    const auto first = pasteGraphsOnPage(page, offset, *readGraphPasteboardData(data));
    EXPECT_GT(first[0]->relativeRect().maxX(), 1.0);  // pasted where it falls, past the edge
    EXPECT_EQ(offset, kx::Point(0, 0));
    const auto second = pasteGraphsOnPage(page, offset, *readGraphPasteboardData(data));
    EXPECT_NEAR(second[0]->relativeRect().origin.x, 0.86, 1e-12);
}

TEST_F(PageInsertionTest, APasteOfSeveralObjectsIsOneUndoStep) {
    auto layer = pageOfSize(800, 600);
    KXCanvas& page = *layer->canvas();
    for (int i = 0; i < 3; ++i)
        rectangleAt(page, {0.1 * i, 0.2, 0.1, 0.1});
    const QByteArray data = selectedGraphsAsDatas(page);
    page.undoManager().removeAllActions();
    kx::Point offset{0, 0};
    EXPECT_EQ(pasteGraphsOnPage(page, offset, *readGraphPasteboardData(data)).size(), 3u);
    EXPECT_EQ(page.graphCount(), 6);
    page.undoManager().undo();
    EXPECT_EQ(page.graphCount(), 3);
    EXPECT_FALSE(page.undoManager().canUndo());
}

TEST_F(PageInsertionTest, MalformedCopiedObjectsAreRefusedOrLeftOut) {
    const auto archive = [](const kx::Value& root) { return kx::KeyedArchiver::archivedDataWithRootObject(root); };
    const auto list = [](kx::ValueArray items) {
        return kx::writePropertyList(kx::Value(std::move(items)), kx::PropertyListFormat::Binary);
    };
    const QByteArray goodSize = archive(kx::Value(KXSize::sizeWithWith(640, 480, KXSizeUnitPixel, 72)));
    const QByteArray shape = archive(kx::Value(std::static_pointer_cast<KXGraph>(KXShape::initWithType(1, {0.1, 0.1, 0.2, 0.2}))));
    kx::ValueArray tooMany(kMaxGraphPasteboardObjects + 2, kx::Value(QByteArray()));
    tooMany[0] = kx::Value(goodSize);

    struct Refused {
        const char* what;
        QByteArray data;
    };
    const Refused refused[] = {
        {"garbage", QByteArray("\x01\x02garbage", 9)},
        {"not a list", kx::writePropertyList(kx::Value(QStringLiteral("text")), kx::PropertyListFormat::Binary)},
        {"empty list", list({})},
        {"size not data", list({kx::Value(QStringLiteral("{640, 480}")), kx::Value(shape)})},
        {"size not a page size", list({kx::Value(shape), kx::Value(shape)})},
        {"zero page size", list({kx::Value(archive(kx::Value(KXSize::sizeWithWith(0, 480, KXSizeUnitPixel, 72)))),
                                 kx::Value(shape)})},
        {"too many objects", list(tooMany)},
        {"too large", QByteArray(int(kMaxGraphPasteboardBytes + 1), 'x')},
    };
    for (const Refused& r : refused) {
        QString error;
        EXPECT_FALSE(readGraphPasteboardData(r.data, &error).has_value()) << r.what;
        EXPECT_FALSE(error.isEmpty()) << r.what;
    }

    // Items that are not page objects are left out; the others are pasted.
    const auto read = readGraphPasteboardData(list({kx::Value(goodSize), kx::Value(QByteArray("junk")), kx::Value(shape),
                                                    kx::Value(goodSize), kx::Value(7)}));
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->graphs.size(), 1u);
    EXPECT_EQ(read->skippedItems, 3u);
}

}  // namespace
