#include "archive_probe.h"
#include "model/background.h"
#include "model/graph_render.h"
#include "photo_test_support.h"
#include "support/pixel_probe.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "support/outside_tools.h"

#include <QCoreApplication>

namespace {

using kxtest::MarginText;
using kxtest::PhotoResourcesTest;
using kxtest::Rgba;

// Installs a text factory for the test's life.
class TextFactoryScope {
public:
    TextFactoryScope() {
        setShapeTextFactory([](KXShape*, const QString*) { return std::make_shared<MarginText>(); });
    }
    ~TextFactoryScope() { setShapeTextFactory({}); }
};

// An oval outline, for the rasterised text rectangle.
class OvalShape : public KXShape {
public:
    kx::BezierPath shapePathWithRect(const kx::Rect& rect) const override {
        return kx::BezierPath::withOvalInRect(rect);
    }
};

class HitRender : public KXGraphRender {
public:
    void setNeedsDisplayGraph(KXGraph*) override {}
    void drawGraphSelection(KXGraph*) override {}
    kx::Layer* graphLayer() override { return nullptr; }
    kx::Layer* canvasLayer() override { return nullptr; }
    void setAngle(double) override {}
    bool renderContainsPoint(const kx::Point& p) override {
        asked.push_back(p);
        return hit;
    }
    bool hit = false;
    std::vector<kx::Point> asked;
};

class ShapeTest : public PhotoResourcesTest {
protected:
    // A shape of the kind on the page: 3 keeps the photo, 4 the text, 1 neither.
    std::shared_ptr<KXShape> shapeOfType(KXCanvas& page, std::int32_t type, const kx::Rect& frame) {
        auto shape = photoShape(page, frame);
        if (type == KXGraphTypeText)
            shape->setText(std::make_shared<MarginText>());
        if (type != KXGraphTypePhoto)
            shape->setPhoto(nullptr);
        return shape;
    }
    static void relativeStroke(KXShape& shape, double points, unsigned style = KXStrokeStyleSolid) {
        const kx::Size preview = shape.canvas()->previewSize();
        shape.stroke()->setType(KXStrokeWidthRelative);
        shape.stroke()->setWidth(points * 100 / std::min(preview.width, preview.height));
        shape.stroke()->setStyle(style);
        shape.stroke()->setColor(kx::Color::srgb(0, 0, 1, 1));
        shape.setStrokeEnabled(true);
    }
};

TEST_F(ShapeTest, GraphTypeFollowsTheFields) {
    {
        TextFactoryScope factory;
        KXShape shape;
        EXPECT_EQ(shape.graphType(), KXGraphTypePhoto);
        ASSERT_TRUE(shape.text());
        EXPECT_EQ(shape.text()->owner(), &shape);
        shape.setPhoto(nullptr);
        EXPECT_EQ(shape.graphType(), KXGraphTypeText);
        shape.setText(nullptr);
        EXPECT_EQ(shape.graphType(), KXGraphTypeShape);
    }
    // Without a text library a shape has no text field, which is valid.
    KXShape plain;
    EXPECT_FALSE(plain.text());
    EXPECT_EQ(plain.photo()->owner(), &plain);
    plain.setPhoto(nullptr);
    EXPECT_EQ(plain.graphType(), KXGraphTypeShape);
    kx::BitmapContext context(20, 20);
    plain.drawInContext(context, {0, 0, 20, 20});
    EXPECT_FALSE(plain.incloudWrapGraph());
}

TEST_F(ShapeTest, PathFollowsTheFrameAtLeastTwoUnitsASide) {
    auto page = pageOfSize(1000, 1000);
    auto shape = photoShape(*page, {10, 10, 100, 50});
    EXPECT_EQ(shape->path().bounds(), kx::Rect(0, 0, 100, 50));
    shape->setRelativeRect({0.01, 0.01, 0.0004, 0.0003});  // 0.4 x 0.3
    EXPECT_EQ(shape->path().bounds(), kx::Rect(0, 0, 2, 2));
    shape->setRelativeRect({0.01, 0.01, 0, 0.2});
    EXPECT_EQ(shape->path().bounds(), kx::Rect(0, 0, 2, 2));  // no width: kept
}

TEST_F(ShapeTest, BorderInsetsByGraphType) {
    auto page = pageOfSize(1000, 1000);
    struct Case {
        std::int32_t type;
        int inside;  // pixels of border inside the frame for a border width of 10
    } cases[] = {{KXGraphTypeText, 5}, {KXGraphTypeShape, 2}, {KXGraphTypePhoto, 5}};
    for (const Case& c : cases) {
        auto shape = shapeOfType(*page, c.type, {0, 0, 100, 80});
        relativeStroke(*shape, 10);
        const QImage image = drawn(*shape);
        for (int i = 0; i < c.inside; ++i)
            EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 50, i), (Rgba{0, 0, 255, 255}), 2) << c.type << " " << i;
        EXPECT_NE(kxtest::pixelAtYUp(image, 50, c.inside + 1), (Rgba{0, 0, 255, 255})) << c.type;
        page->removeGraph(shape.get());
    }
}

TEST_F(ShapeTest, DashesComeFromTheBorderWidthWhateverTheZoom) {
    for (double zoom : {1.0, 0.5}) {
        auto page = pageOfSize(1000, 1000);
        page->zoomToFitSize({1000 * zoom, 1000 * zoom});
        auto shape = shapeOfType(*page, KXGraphTypeText, {0, 0, 200 / zoom, 100 / zoom});
        relativeStroke(*shape, 6, KXStrokeStyleLongDash);  // w = 6: dashes of 12, gaps of 12
        const QImage image = drawn(*shape);
        // The rectangle path starts at the bottom-left corner and runs along the bottom edge.
        for (int x : {1, 6, 11, 25, 30, 35})
            EXPECT_EQ(kxtest::pixelAtYUp(image, x, 1).b, 255) << zoom << " " << x;
        for (int x : {13, 18, 22, 37, 42, 46})
            EXPECT_EQ(kxtest::pixelAtYUp(image, x, 1).a, 0) << zoom << " " << x;
    }
}

TEST_F(ShapeTest, TextRectangle) {
    auto page = pageOfSize(1000, 1000);
    auto shape = shapeOfType(*page, KXGraphTypeText, {0, 0, 200, 100});
    relativeStroke(*shape, 4);
    static_cast<MarginText*>(shape->text())->margin = 5;
    EXPECT_EQ(shape->drawRectForFrame({10, 20, 200, 100}, 1), kx::Rect(14.5, 24.5, 191, 91));
    static_cast<MarginText*>(shape->text())->marginEnabled = false;
    EXPECT_EQ(shape->drawRectForFrame({10, 20, 200, 100}, 2), kx::Rect(14, 24, 192, 92));
    EXPECT_EQ(shape->drawRectForFrame({10, 20, 1, 100}, 1), kx::Rect(10, 20, 1, 100));
    shape->setShapeType(8);  // a speech bubble: the whole frame
    EXPECT_EQ(shape->drawRectForFrame({10, 20, 200, 100}, 1), kx::Rect(10, 20, 200, 100));
    // A margin larger than the rectangle gives an empty box, not a negative one.
    shape->setShapeType(1);
    static_cast<MarginText*>(shape->text())->marginEnabled = true;
    static_cast<MarginText*>(shape->text())->margin = 500;
    const kx::Rect huge = shape->drawRectForFrame({10, 20, 200, 100}, 1);
    EXPECT_GE(huge.size.width, 0);
    EXPECT_GE(huge.size.height, 0);
}

TEST_F(ShapeTest, RasterisedTextRectangleStaysInsideTheOutlineAndTheBitmap) {
    auto page = pageOfSize(1000, 1000);
    auto oval = std::make_shared<OvalShape>();
    oval->setPhoto(nullptr);
    auto text = std::make_shared<MarginText>();
    oval->setText(text);
    oval->setShapeType(2);
    page->addGraph(oval);
    struct Case {
        double margin;
        kx::Rect frame;
    } cases[] = {
        {0, {0, 0, 200, 100}},    {10, {0, 0, 200, 100}},  {10, {5, 7, 200.7, 100.2}},
        {-30, {0, 0, 200, 100}},  {1000, {0, 0, 200, 100}}, {300, {0, 0, 3.5, 2.5}},
        {std::nan(""), {0, 0, 50, 50}},
    };
    for (const Case& c : cases) {
        text->margin = c.margin;
        const kx::Rect r = oval->drawRectForFrame(c.frame, 1);
        EXPECT_GE(r.size.width, 0) << c.margin;
        EXPECT_GE(r.size.height, 0) << c.margin;
        EXPECT_GE(r.minX(), c.frame.minX()) << c.margin;
        EXPECT_GE(r.minY(), c.frame.minY()) << c.margin;
        EXPECT_LE(r.maxX(), c.frame.maxX()) << c.margin;
        EXPECT_LE(r.maxY(), c.frame.maxY()) << c.margin;
    }
    // With margin 10 (m = 5) the box of a 200 x 100 ellipse lies well inside: its corners are inside the
    // ellipse at least 5 from it, and it is larger than the inscribed rectangle's half.
    text->margin = 10;
    const kx::Rect r = oval->drawRectForFrame({0, 0, 200, 100}, 1);
    EXPECT_NEAR(r.minX(), 5, 1.5);
    EXPECT_NEAR(r.maxX(), 194, 1.5);
    EXPECT_NEAR(r.minY(), 5, 1.5);
    EXPECT_NEAR(r.maxY(), 94, 1.5);
}

TEST_F(ShapeTest, ShapeImageWithZoom) {
    auto page = pageOfSize(1000, 1000);
    auto shape = shapeOfType(*page, KXGraphTypeShape, {0, 0, 100, 50});
    shape->setFillEnabled(true);
    const kx::BezierPath pathBefore = shape->path();
    const kx::Image image = shape->graphImageWithZoom(2);
    EXPECT_EQ(image.width(), 200);
    EXPECT_EQ(image.height(), 100);
    EXPECT_EQ(shape->path(), pathBefore);
    EXPECT_EQ(kxtest::pixelAtYUp(image.qimage(), 199, 99).a, 255);  // filled to the image's corner

    // A photo with an expandable frame of expansion 8 at zoom 2: 16 pixels on every side.
    auto photo = photoShape(*page, {0, 0, 100, 100});
    photo->photo()->setFrame(KXFrame::frameWithName(QStringLiteral("Wood"), 1));
    const kx::Image framed = photo->graphImageWithZoom(2);
    EXPECT_EQ(framed.width(), 232);
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(framed.qimage(), 2, 2), (Rgba{255, 0, 0, 255}), 3);  // left-bottom piece

    // No width or height: no image, and the drawing of an empty rectangle draws nothing.
    shape->setRelativeRect({0, 0, 0, 0.05});
    EXPECT_TRUE(shape->graphImageWithZoom(2).isNull());
    EXPECT_TRUE(shape->graphImageWithZoom(0).isNull());
    kx::BitmapContext context(10, 10);
    shape->drawInContext(context, {0, 0, 0, 10});
    EXPECT_EQ(kxtest::pixelAtYUp(context.makeImage().qimage(), 5, 5), Rgba{});
}

TEST_F(ShapeTest, DrawnExtentOfAFramedPhotoOnAFixedPage) {
    auto page = pageOfSize(1000, 1000);
    page->setLayoutType(KXLayoutTypeFixed);
    auto photo = photoShape(*page, {100, 100, 100, 100});
    EXPECT_EQ(photo->graphRect(), kx::Rect(100, 100, 100, 100));  // an empty frame reaches nowhere
    photo->photo()->setFrame(KXFrame::frameWithName(QStringLiteral("Wood"), 1.5));
    EXPECT_EQ(photo->graphRect(), kx::Rect(88, 88, 124, 124));  // expansion 8 x 1.5
    relativeStroke(*photo, 40);
    EXPECT_EQ(photo->graphRect(), kx::Rect(80, 80, 140, 140));  // half the border is larger
    page->setLayoutType(KXLayoutTypeProportional);
    EXPECT_EQ(photo->graphRect(), kx::Rect(100, 100, 100, 100));
}

TEST_F(ShapeTest, HitTest) {
    auto page = pageOfSize(1000, 1000);
    auto shape = shapeOfType(*page, KXGraphTypeShape, {100, 100, 100, 50});
    shape->setSelected(false);
    // Without a layer the frame counts.
    EXPECT_TRUE(shape->containsPoint({150, 120}));
    EXPECT_FALSE(shape->containsPoint({250, 120}));
    HitRender render;
    shape->setRender(&render);
    EXPECT_FALSE(shape->containsPoint({150, 120}));  // the layer shows nothing there
    ASSERT_EQ(render.asked.size(), 1u);
    render.hit = true;
    EXPECT_TRUE(shape->containsPoint({150, 120}));
    render.hit = false;
    shape->setSelected(true);
    EXPECT_TRUE(shape->containsPoint({150, 120}));  // a selected shape anywhere in its frame
    EXPECT_FALSE(shape->containsPoint({250, 120}));
    // The point reaches the layer turned back into the unturned frame.
    shape->setAngle(M_PI / 2);
    render.asked.clear();
    shape->containsPoint({150, 175});
    ASSERT_EQ(render.asked.size(), 1u);
    EXPECT_NEAR(render.asked[0].x, 200, 1e-9);
    EXPECT_NEAR(render.asked[0].y, 125, 1e-9);
    shape->setRender(nullptr);
}

TEST_F(ShapeTest, ObservationForwardsToThePhotoAndCropMovesTheWrapArea) {
    auto page = pageOfSize(1000, 1000);
    auto shape = photoShape(*page, {0, 0, 100, 100});
    page->undoManager().removeAllActions();
    shape->photo()->setRoundCornerRadius(20);
    QCoreApplication::processEvents();
    ASSERT_TRUE(page->undoManager().canUndo());
    page->undoManager().undo();
    EXPECT_EQ(shape->photo()->roundCornerRadius(), 0);
    // Removed from the page, the shape's photo no longer records steps there.
    page->removeGraph(shape.get());
    QCoreApplication::processEvents();
    page->undoManager().removeAllActions();
    shape->photo()->setRoundCornerRadius(30);
    QCoreApplication::processEvents();
    EXPECT_FALSE(page->undoManager().canUndo());
}

TEST_F(ShapeTest, ArchiveKeysAndRoundTrip) {
    auto page = pageOfSize(1000, 1000);
    auto shape = photoShape(*page, {10, 20, 100, 50});
    shape->photo()->setCropRect({0.1, 0.1, 0.5, 0.5});
    shape->setShapeType(1);
    const QByteArray archive = kxtest::archiveOf(*shape);
    const auto back = kx::KeyedUnarchiver::unarchiveObjectWithData(archive)->objectAs<KXShape>();
    ASSERT_TRUE(back);
    EXPECT_EQ(back->graphType(), KXGraphTypePhoto);
    EXPECT_EQ(back->path(), shape->path());
    EXPECT_EQ(back->photo()->owner(), back.get());
    EXPECT_EQ(back->photo()->cropRect(), kx::Rect(0.1, 0.1, 0.5, 0.5));
    EXPECT_FALSE(back->text());
    EXPECT_EQ(kxtest::archiveOf(*back), archive);

    // A plain shape reads back plain.
    shape->setPhoto(nullptr);
    const auto plain =
        kx::KeyedUnarchiver::unarchiveObjectWithData(kxtest::archiveOf(*shape))->objectAs<KXShape>();
    EXPECT_EQ(plain->graphType(), KXGraphTypeShape);

    KX_REQUIRE_TOOLS("/usr/bin/python3");
    const QJsonObject keys = kxtest::rootKeysSeenByPlistlib(archive);
    EXPECT_EQ(kxtest::valueOf(keys, "$class").toString(), QStringLiteral("KXShape"));
    EXPECT_EQ(kxtest::kindOf(keys, "shapeType"), "int");
    EXPECT_EQ(kxtest::kindOf(keys, "path"), "object");
    EXPECT_EQ(kxtest::valueOf(keys, "path").toString(), QStringLiteral("NSBezierPath"));
    EXPECT_EQ(kxtest::kindOf(keys, "photoLayer"), "object");
    EXPECT_EQ(kxtest::valueOf(keys, "photoLayer").toString(), QStringLiteral("KXPhoto"));
    EXPECT_EQ(kxtest::kindOf(keys, "outputRect"), "string");  // the graph's keys come first
}

}  // namespace
