#include "graphics/geometry_utilities.h"
#include "model/background.h"
#include "model/stroke.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/undo_manager.h"
#include "shape_page_support.h"
#include "shapes/shape_path_builders.h"

#include <cmath>
#include <limits>

namespace {

using kx::Point;
using kx::Rect;
using kx::Value;
using kx::ValueDictionary;
using kxtest::elementAt;
using kxtest::num;
using kxtest::paletteShape;
using kxtest::placeAtFrame;
using kxtest::shapePage;

std::shared_ptr<KXSpecialShape> roundTrip(const KXSpecialShape& shape) {
    registerModelClasses();
    const QByteArray data = kx::KeyedArchiver::archivedDataWithRootObject(
        Value(std::const_pointer_cast<KXSpecialShape>(std::dynamic_pointer_cast<const KXSpecialShape>(
            shape.shared_from_this()))));
    EXPECT_FALSE(data.isEmpty());
    QString error;
    const auto root = kx::KeyedUnarchiver::unarchiveObjectWithData(data, &error);
    EXPECT_TRUE(root) << error.toStdString();
    return root ? root->objectAs<KXSpecialShape>() : nullptr;
}

// ---- parameters and outlines ----

struct CreationCase {
    std::uint32_t type;
    ValueDictionary info;  // empty: no dictionary
};

TEST(SpecialShapeTest, NewShapesCarryTheCreationParametersOfTheirType) {
    const Rect rect(0.1, 0.1, 0.4, 0.2);
    const CreationCase cases[] = {
        {1, {}},
        {2, {}},
        {3, {}},
        {4, {{"radius", Value(0.125f)}}},
        {5, {{"arrow", Value(0.5f)}, {"width", Value(0.67f)}, {"triangle", Value(0.2f)}, {"rightDirection", Value(true)}}},
        {6, {{"widthScale", Value(0.3f)}, {"breadthScale", Value(0.67f)}}},
        {7, {}},
        {8, {{"bubbleRadius", Value(30.0f)}, {"arrowRadius", Value(10.0f)}, {"bubbleRect", Value(Rect(0, 0.25, 1, 0.75))},
             {"arrowPoint", Value(Point(0, 0))}}},
        {9, {}},
        {10, {{"sider", Value(6)}}},
        {11, {{"point", Value(5)}, {"radius", Value(0.5f)}}},
        {12, {}},
    };
    for (const CreationCase& c : cases) {
        const auto shape = KXSpecialShape::shapeWithType(c.type, rect);
        EXPECT_EQ(shape->shapeType(), c.type);
        if (c.info.empty()) {
            EXPECT_FALSE(shape->shapeInfo()) << c.type;
        } else {
            ASSERT_TRUE(shape->shapeInfo()) << c.type;
            EXPECT_EQ(*shape->shapeInfo(), c.info) << c.type;
        }
    }
}

TEST(SpecialShapeTest, PlainInitHasAnEmptyDictionaryFillAndBlackStroke) {
    KXSpecialShape shape;
    ASSERT_TRUE(shape.shapeInfo());
    EXPECT_TRUE(shape.shapeInfo()->empty());
    EXPECT_TRUE(shape.isFillEnabled());
    EXPECT_EQ(shape.background()->fillType(), KXFillTypeColor);
    EXPECT_TRUE(shape.isStrokeEnabled());
    EXPECT_EQ(shape.stroke()->color(), kx::Color::srgb(0, 0, 0, 1));
}

TEST(SpecialShapeTest, RoundedRectangleRadiusBecomesALengthAndIsCappedByTheFrame) {
    auto page = shapePage();
    page->setZoomValue(0.5);
    auto shape = paletteShape(*page, 4, {20, 20, 200, 100});
    EXPECT_FLOAT_EQ(num(*shape, "radius"), 25);
    const Rect local(0, 0, 200, 100);
    EXPECT_EQ(shape->shapePathWithRect(local), circular(local, 12.5, 12.5));
    EXPECT_EQ(elementAt(*shape, {12.5, 100}), 0);

    shape->setShapeInfo(ValueDictionary{{"radius", Value(200.0f)}});
    EXPECT_EQ(shape->shapePathWithRect(local), circular(local, 50, 50));
    // The text outline ignores the zoom and caps by its own rectangle.
    EXPECT_EQ(shape->editingShapeWithRect({0, 0, 60, 40}), circular({0, 0, 60, 40}, 20, 20));
}

TEST(SpecialShapeTest, OutlinesFollowTheTypeTable) {
    auto page = shapePage();
    const Rect r(0, 0, 120, 80);
    struct Case {
        std::uint32_t type;
        kx::BezierPath expected;
    };
    const ValueDictionary single = *KXSpecialShape::creationInfo(5, {0, 0, 0.2, 0.2});
    const ValueDictionary twin = *KXSpecialShape::creationInfo(6, r);
    const Case cases[] = {
        {1, kx::BezierPath::withRect(r)},      {2, equilTriangle(r)},        {3, rightTriangle(r)},
        {5, singleArrow(r, single)},           {6, doubleArrowInRect(r, twin)}, {7, kx::BezierPath::withOvalInRect(r)},
        {9, lozengeInRect(r)},                 {10, polygonInRect(r, 6)},    {11, starInRect(r, 5, 0.5f)},
        {12, kx::BezierPath()},
    };
    for (const Case& c : cases) {
        auto shape = KXSpecialShape::shapeWithType(c.type, {0, 0, 0.3, 0.3});
        page->addGraph(shape);
        if (c.type == 5)
            shape->setInfo(single);
        EXPECT_EQ(shape->shapePathWithRect(r), c.expected) << c.type;
    }
}

TEST(SpecialShapeTest, SmallPolygonsDrawAsRectanglesButTheirTextOutlineStaysAPolygon) {
    auto shape = KXSpecialShape::shapeWithType(10, {0, 0, 0.1, 0.1});
    EXPECT_EQ(shape->shapePathWithRect({0, 0, 5, 50}), kx::BezierPath::withRect({0, 0, 5, 50}));
    EXPECT_EQ(shape->shapePathWithRect({0, 0, 50, 5}), kx::BezierPath::withRect({0, 0, 50, 5}));
    EXPECT_EQ(shape->shapePathWithRect({0, 0, 5.5, 50}), polygonInRect({0, 0, 5.5, 50}, 6));
    EXPECT_EQ(shape->editingShapeWithRect({0, 0, 5, 50}), polygonInRect({0, 0, 5, 50}, 6));
}

TEST(SpecialShapeTest, MissingCountsGiveEmptyOutlines) {
    auto polygon = KXSpecialShape::shapeWithType(10, {0, 0, 0.1, 0.1});
    polygon->setInfo(ValueDictionary());
    EXPECT_TRUE(polygon->shapePathWithRect({0, 0, 50, 50}).isEmpty());
    auto star = KXSpecialShape::shapeWithType(11, {0, 0, 0.1, 0.1});
    star->setInfo(ValueDictionary());
    EXPECT_TRUE(star->shapePathWithRect({0, 0, 50, 50}).isEmpty());
}

TEST(SpecialShapeTest, BubbleRadiusIsCappedByTheBodysLongerSide) {
    auto page = shapePage();
    auto shape = paletteShape(*page, 8, {0, 0, 200, 40});
    const Rect r(0, 0, 200, 40);
    const Rect body(0, 10, 200, 30);
    // 30 is more than half the body's height (15) but less than half its width.
    EXPECT_EQ(shape->shapePathWithRect(r), bubble(r, body, 30, 10, {0, 0}, 2));
    EXPECT_EQ(shape->editingShapeWithRect(r), kx::BezierPath::withRoundedRect(r, 30, 30));
}

TEST(SpecialShapeTest, TextRectangleOfABubbleIsTheBodyInsetByBorderAndMargin) {
    auto page = shapePage();
    auto shape = paletteShape(*page, 8, {0, 0, 200, 100});
    auto text = std::make_shared<kxtest::CentringText>();
    text->marginEnabled = true;
    text->margin = 5;
    shape->setText(text);
    shape->stroke()->setType(0);
    shape->stroke()->setWidth(4);
    shape->setStrokeEnabled(true);
    EXPECT_EQ(shape->editingRectInObjectRect({0, 0, 200, 100}), Rect(4.5, 29.5, 191, 66));
    shape->setStrokeEnabled(false);
    EXPECT_EQ(shape->editingRectInObjectRect({0, 0, 200, 100}), Rect(2.5, 27.5, 195, 70));

    auto oval = paletteShape(*page, 7, {10, 10, 50, 60});
    EXPECT_EQ(oval->editingRectInObjectRect({30, 40, 50, 60}), Rect(0, 0, 50, 60));
}

TEST(SpecialShapeTest, SetShapeInfoRegistersUndoOnlyOverAStoredDictionary) {
    auto page = shapePage();
    auto plain = paletteShape(*page, 1, {0, 0, 50, 50});
    kx::UndoManager& undo = page->undoManager();
    undo.removeAllActions();
    undo.beginUndoGrouping();
    plain->setShapeInfo(ValueDictionary{{"radius", Value(3.0f)}});
    undo.endUndoGrouping();
    EXPECT_FALSE(undo.canUndo());

    auto star = paletteShape(*page, 11, {0, 0, 100, 100});
    const kx::BezierPath before = star->path();
    undo.removeAllActions();
    undo.beginUndoGrouping();
    star->setShapeInfo(ValueDictionary{{"point", Value(7)}, {"radius", Value(0.3f)}});
    undo.endUndoGrouping();
    EXPECT_NE(star->path(), before);
    ASSERT_TRUE(undo.canUndo());
    undo.undo();
    EXPECT_EQ(num(*star, "point"), 5);
    EXPECT_EQ(star->path(), before);
}

// ---- archive ----

TEST(SpecialShapeTest, ArchiveKeepsTheDictionaryAsPlistlibReadsIt) {
    auto page = shapePage();
    auto shape = paletteShape(*page, 8, {0, 0, 200, 100});
    shape->setShapeInfo(ValueDictionary{{"bubbleRadius", Value(12.0f)},
                                        {"arrowRadius", Value(20.0f)},
                                        {"bubbleRect", Value(Rect(0.5, 0, 0.5, 0.5))},
                                        {"arrowPoint", Value(Point(0.25, 1))}});
    const QByteArray data = kx::KeyedArchiver::archivedDataWithRootObject(Value(std::shared_ptr<KXGraph>(shape)),
                                                                          nullptr);
    ASSERT_FALSE(data.isEmpty());
    const QJsonObject seen = kxtest::plistlibJson(data, R"(
o = d['$objects']
root = o[d['$top']['root'].data]
cls = o[root['$class'].data]
info = o[root['shapeInfo'].data]
out = {'classes': cls['$classes'], 'dict': o[info['$class'].data]['$classname'], 'values': {}}
for k, v in zip(info['NS.keys'], info['NS.objects']):
    val = o[v.data]
    if isinstance(val, dict):
        val = val.get('NS.rectval', val.get('NS.pointval'))
    out['values'][o[k.data]] = val
print(json.dumps(out))
)");
    EXPECT_EQ(seen.value("classes").toVariant().toStringList(),
              QStringList({"KXSpecialShape", "KXShape", "KXGraph", "NSObject"}));
    EXPECT_EQ(seen.value("dict").toString(), "NSDictionary");
    const QJsonObject values = seen.value("values").toObject();
    EXPECT_EQ(values.value("bubbleRadius").toDouble(), 12);
    EXPECT_EQ(values.value("arrowRadius").toDouble(), 20);
    EXPECT_EQ(values.value("bubbleRect").toString(), "{{0.5, 0}, {0.5, 0.5}}");
    EXPECT_EQ(values.value("arrowPoint").toString(), "{0.25, 1}");

    auto back = roundTrip(*shape);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->shapeInfo(), shape->shapeInfo());
    EXPECT_EQ(back->shapeType(), 8u);
}

TEST(SpecialShapeTest, BubbleWithASingleStoredEntryReadsBackTheCreationValues) {
    auto shape = KXSpecialShape::shapeWithType(8, {0, 0, 0.5, 0.5});
    shape->setText(nullptr);
    shape->setInfo(ValueDictionary{{"bubbleRadius", Value(12.0f)}});
    auto back = roundTrip(*shape);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->shapeInfo(), KXSpecialShape::creationInfo(8, {}));
    // Two entries are kept as they are.
    shape->setInfo(ValueDictionary{{"bubbleRadius", Value(12.0f)}, {"arrowRadius", Value(3.0f)}});
    back = roundTrip(*shape);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->shapeInfo()->size(), 2u);
}

TEST(SpecialShapeTest, DecodingCentresAnEmptyTextAndKeepsAFilledOne) {
    kx::ClassRegistry::shared().registerClass<kxtest::CentringText>(QStringLiteral("CentringText"),
                                                                    QStringLiteral("KXShapeField"));
    for (const bool empty : {true, false}) {
        auto shape = KXSpecialShape::shapeWithType(7, {0, 0, 0.5, 0.5});
        auto text = std::make_shared<kxtest::CentringText>();
        text->empty = empty;
        shape->setText(text);
        auto back = roundTrip(*shape);
        ASSERT_TRUE(back);
        auto* decoded = dynamic_cast<kxtest::CentringText*>(back->text());
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->vertical, empty ? 1 : -1);
        EXPECT_EQ(decoded->paragraph, empty ? 2 : -1);
    }
}

TEST(SpecialShapeTest, ShapeInfoOfAnotherKindFailsTheArchive) {
    registerModelClasses();
    auto shape = KXSpecialShape::shapeWithType(4, {0, 0, 0.5, 0.5});
    const QByteArray data =
        kxtest::archiveWithField(shape, QStringLiteral("shapeInfo"), Value(QStringLiteral("not a dictionary")));
    ASSERT_FALSE(data.isEmpty());
    EXPECT_FALSE(kx::KeyedUnarchiver::unarchiveObjectWithData(data));
}

TEST(SpecialShapeTest, ParametersThatAreNoNumberDrawBoundedOutlines) {
    auto page = shapePage();
    auto rounded = paletteShape(*page, 4, {0, 0, 100, 60});
    rounded->setShapeInfo(ValueDictionary{{"radius", Value(std::numeric_limits<double>::quiet_NaN())}});
    EXPECT_EQ(rounded->shapePathWithRect({0, 0, 100, 60}), circular({0, 0, 100, 60}, 30, 30));
    rounded->setShapeInfo(ValueDictionary{{"radius", Value(-8.0)}});
    EXPECT_EQ(rounded->shapePathWithRect({0, 0, 100, 60}), circular({0, 0, 100, 60}, 0, 0));
    // A radius dragged from no number starts from 0.
    rounded->setShapeInfo(ValueDictionary{{"radius", Value(std::numeric_limits<double>::infinity())}});
    rounded->dragCircularSpecialNode(0, 4, 0);
    EXPECT_FLOAT_EQ(num(*rounded, "radius"), 4);
}

TEST(SpecialShapeTest, UpdateShapeInfoWithoutZoomKeepsTheFraction) {
    auto page = shapePage();
    page->setZoomValue(0);
    auto rounded = paletteShape(*page, 4, {0, 0, 100, 60});
    EXPECT_FLOAT_EQ(num(*rounded, "radius"), 0.125f);
}

}  // namespace
