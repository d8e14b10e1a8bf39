#include "graphics/geometry_utilities.h"
#include "model/background.h"
#include "model/stroke.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/undo_manager.h"
#include "shape_page_support.h"
#include "shapes/custom_shape.h"
#include "shapes/shape_path_builders.h"

#include <QCoreApplication>

#include <cmath>
#include <limits>

namespace {

using kx::Point;
using kx::Rect;
using Element = kx::BezierPath::Element;
using kxtest::expectRect;
using kxtest::shapePage;

void expectPoint(const Point& actual, const Point& expected, double tolerance = 1e-9) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
}

Element move(Point p) {
    Element e;
    e.type = kx::BezierPath::ElementType::MoveTo;
    e.points[0] = p;
    return e;
}

Element curve(Point c1, Point c2, Point a) {
    Element e;
    e.type = kx::BezierPath::ElementType::CurveTo;
    e.points[0] = c1;
    e.points[1] = c2;
    e.points[2] = a;
    return e;
}

Element line(Point a) {
    return curve(a, a, a);
}

Point onPath(const Element& e) {
    return e.type == kx::BezierPath::ElementType::CurveTo ? e.points[2] : e.points[0];
}

// A closed outline through the nodes with straight sides, as the pen tool finishes it.
std::vector<Element> polygon(const std::vector<Point>& nodes) {
    std::vector<Element> out{move(nodes[0])};
    for (std::size_t i = 1; i < nodes.size(); ++i)
        out.push_back(line(nodes[i]));
    out.push_back(line(nodes[0]));
    return out;
}

struct Snapshot {
    Rect rect;
    std::vector<std::array<Point, 3>> points;
    kx::BezierPath path;
    bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(const KXCustomShape& s) {
    Snapshot out{s.relativeRect(), {}, s.path()};
    for (const auto& p : s.customPointsArray())
        out.points.push_back({p->point1(), p->point2(), p->point3()});
    return out;
}

class PenShapeTest : public ::testing::Test {
protected:
    // A pen shape made the way the pen tool makes one: the elements in page points, the list relative to their
    // bounds, the shape at those bounds on the page. No photo or text field.
    std::shared_ptr<KXCustomShape> pen(const std::vector<Element>& elements, KXCanvas* onPage = nullptr) {
        KXCanvas& target = onPage ? *onPage : *page;
        kx::BezierPath drawn;
        for (const Element& e : elements) {
            if (e.type == kx::BezierPath::ElementType::MoveTo)
                drawn.moveTo(e.points[0]);
            else
                drawn.curveTo(e.points[2], e.points[0], e.points[1]);
        }
        Rect b = drawn.bounds();
        b.size.width = std::max(b.size.width, 2.0);
        b.size.height = std::max(b.size.height, 2.0);
        KXPathPointArray list;
        auto rel = [&](Point p) {
            return Point((p.x - b.origin.x) / b.size.width, (p.y - b.origin.y) / b.size.height);
        };
        for (const Element& e : elements) {
            if (e.type == kx::BezierPath::ElementType::MoveTo)
                list.push_back(std::make_shared<KXPathPoint>(rel(e.points[0]), Point(), Point()));
            else
                list.push_back(std::make_shared<KXPathPoint>(rel(e.points[0]), rel(e.points[1]), rel(e.points[2])));
        }
        const kx::Size preview = target.previewSize();
        auto shape = KXCustomShape::customShapeWithRelativeRect(
            {b.origin.x / preview.width, b.origin.y / preview.height, b.size.width / preview.width,
             b.size.height / preview.height});
        shape->setPhoto(nullptr);
        shape->setText(nullptr);
        shape->setCustomPointsArray(list);
        shape->setPath(customPathWithPoints(list, {0, 0, b.size.width, b.size.height}));
        {
            kx::UndoDisabler quiet(target.undoManager());
            target.addGraph(shape);
        }
        return shape;
    }
    // The outline's elements in page points.
    static std::vector<Element> pageElements(const KXCustomShape& s) {
        std::vector<Element> out = s.path().elements();
        const Point o = s.frameRect().origin;
        for (Element& e : out)
            for (int i = 0; i < e.pointCount(); ++i)
                e.points[i] = {e.points[i].x + o.x, e.points[i].y + o.y};
        return out;
    }
    static void expectElements(const std::vector<Element>& actual, const std::vector<Element>& expected,
                               double tolerance = 1e-9) {
        ASSERT_EQ(actual.size(), expected.size());
        for (std::size_t i = 0; i < actual.size(); ++i) {
            SCOPED_TRACE(i);
            ASSERT_EQ(actual[i].type, expected[i].type);
            for (int k = 0; k < actual[i].pointCount(); ++k)
                expectPoint(actual[i].points[k], expected[i].points[k], tolerance);
        }
    }
    // The list reproduces the outline for the frame, and the frame holds the outline.
    static void expectConsistent(const KXCustomShape& s) {
        ASSERT_EQ(s.customPointsArray().size(), std::size_t(s.path().elementCount()));
        const Rect frame = roundRectComponents(s.frameRect());
        const kx::BezierPath rebuilt =
            customPathWithPoints(s.customPointsArray(), {0, 0, std::max(frame.size.width, 2.0), std::max(frame.size.height, 2.0)});
        // Exactly the outline a change of the frame rebuilds, so that undoing such a change gives it back.
        EXPECT_EQ(rebuilt, s.path());
        EXPECT_TRUE(KXCustomShape::isPenOutline(s.path()));
    }
    // One undoable operation: in its own group, undone to the exact state before and redone to the exact
    // state after.
    template <class Op>
    void expectExactUndo(KXCustomShape& s, Op&& op) {
        kx::UndoManager& undo = page->undoManager();
        // Edits before the operation went into an automatic group of their own, as a user's gestures do:
        // let the event loop close it, so that the operation's group is a step of its own.
        QCoreApplication::processEvents();
        undo.removeAllActions();
        const Snapshot before = snapshot(s);
        undo.beginUndoGrouping();
        op();
        undo.endUndoGrouping();
        const Snapshot after = snapshot(s);
        ASSERT_FALSE(after == before);
        ASSERT_TRUE(undo.canUndo());
        undo.undo();
        EXPECT_TRUE(snapshot(s) == before);
        ASSERT_TRUE(undo.canRedo());
        undo.redo();
        EXPECT_TRUE(snapshot(s) == after);
    }
    static std::optional<std::pair<int, int>> click(const KXCustomShape& s, Point p) {
        const auto info = s.handlerInfoAtPoint(p);
        if (!info)
            return std::nullopt;
        EXPECT_EQ(info->size(), 2u);
        return std::make_pair(int(info->at(QStringLiteral("element")).toInteger()),
                              int(info->at(QStringLiteral("changeType")).toInteger()));
    }

    std::shared_ptr<KXCanvas> page = shapePage();
    // A 100 x 100 square at (100, 100) on the page: nodes B (200, 100), C (200, 200), D (100, 200), and the
    // last node on the start A (100, 100).
    const std::vector<Element> square = polygon({{100, 100}, {200, 100}, {200, 200}, {100, 200}});
};

// ---- the shape ----

TEST_F(PenShapeTest, NewShapeFillsWithTheDefaultColoursStrokesBlackAndCentresItsText) {
    auto s = KXCustomShape::customShapeWithRelativeRect({0.1, 0.1, 0.2, 0.2});
    EXPECT_EQ(s->shapeType(), 0u);
    EXPECT_EQ(s->customPointElement(), -1);
    EXPECT_EQ(s->centerPointElement(), -1);
    EXPECT_FALSE(s->isShowCustomCtlPoint());
    EXPECT_TRUE(s->customPointsArray().empty());
    EXPECT_TRUE(s->isFillEnabled());
    ASSERT_TRUE(s->background());
    EXPECT_EQ(s->background()->fillType(), KXFillTypeColor);
    const double expected[2][4] = {{75 / 255.0, 159 / 255.0, 229 / 255.0, 1}, {60 / 255.0, 60 / 255.0, 1, 1}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(s->background()->color1().component(i), expected[0][i], 1e-6);
        EXPECT_NEAR(s->background()->color2().component(i), expected[1][i], 1e-6);
    }
    EXPECT_TRUE(s->isStrokeEnabled());
    EXPECT_EQ(s->stroke()->color(), kx::Color::srgb(0, 0, 0, 1));
    auto text = std::make_shared<kxtest::CentringText>();
    s->setText(text);
    s->initTextAlignment();
    EXPECT_EQ(text->vertical, 1);
    EXPECT_EQ(text->paragraph, 2);
}

TEST_F(PenShapeTest, OutlineIsAMoveThenOneCurvePerEntry) {
    auto s = KXCustomShape::customShapeWithRelativeRect({0, 0, 0.5, 0.5});
    s->setCustomPointsArray({std::make_shared<KXPathPoint>(Point(0.5, 0.5), Point(), Point())});
    const kx::BezierPath single = s->shapePathWithRect({0, 0, 100, 50});
    ASSERT_EQ(single.elementCount(), 1);
    EXPECT_EQ(single.elements()[0].points[0], Point(50, 25));

    auto t = pen(polygon({{100, 100}, {200, 100}, {150, 200}}));
    expectElements(t->path().elements(), {move({0, 0}), line({100, 0}), line({50, 100}), line({0, 0})});
    EXPECT_TRUE(KXCustomShape::isClosedOutline(t->path()));
    EXPECT_FALSE(t->isLineShape());
    // A frame half a point wide maps relative x by 1.
    const kx::BezierPath narrow = t->shapePathWithRect({0, 0, 0.5, 10});
    EXPECT_EQ(narrow.elements()[1].points[2], Point(1, 0));
    EXPECT_EQ(t->editingShapeWithRect({0, 0, 20, 10}), t->shapePathWithRect({0, 0, 20, 10}));
    // A resize rebuilds the outline from the list.
    kxtest::placeAtFrame(*page, *t, {100, 100, 200, 100});
    expectElements(t->path().elements(), {move({0, 0}), line({200, 0}), line({100, 100}), line({0, 0})}, 1e-9);
}

// ---- archive ----

TEST_F(PenShapeTest, ArchiveHoldsTheListUnderItsKeyAndReArchivesByteForByte) {
    auto s = pen(square);
    s->setCustomPointElement(2);
    s->setShowCustomCtlPoint(true);
    const QByteArray data = kx::KeyedArchiver::archivedDataWithRootObject(kx::Value(std::shared_ptr<KXGraph>(s)));
    ASSERT_FALSE(data.isEmpty());
    const QJsonObject seen = kxtest::plistlibJson(data, R"(
o = d['$objects']
root = o[d['$top']['root'].data]
arr = o[root['customPointsArray'].data]
pts = [o[u.data] for u in arr['NS.objects']]
print(json.dumps({'classes': o[root['$class'].data]['$classes'], 'array': o[arr['$class'].data]['$classname'],
                  'point': sorted(set(o[p['$class'].data]['$classname'] for p in pts)),
                  'p3': [p['point3'] for p in pts], 'p1': pts[0]['point1'],
                  'path': o[o[root['path'].data]['$class'].data]['$classname'],
                  'keys': sorted(k for k in root.keys()), 'type': root['shapeType']}))
)");
    EXPECT_EQ(seen.value("classes").toVariant().toStringList(),
              QStringList({"KXCustomShape", "KXShape", "KXGraph", "NSObject"}));
    EXPECT_EQ(seen.value("array").toString(), "NSArray");
    EXPECT_EQ(seen.value("point").toVariant().toStringList(), QStringList({"KXPathPoint"}));
    EXPECT_EQ(seen.value("p3").toVariant().toStringList(),
              QStringList({"{0, 0}", "{1, 0}", "{1, 1}", "{0, 1}", "{0, 0}"}));
    EXPECT_EQ(seen.value("p1").toString(), "{0, 0}");
    EXPECT_EQ(seen.value("path").toString(), "NSBezierPath");
    EXPECT_EQ(seen.value("type").toInt(), 0);
    const QStringList keys = seen.value("keys").toVariant().toStringList();
    EXPECT_TRUE(keys.contains("customPointsArray"));
    // The selection is transient.
    for (const QString& k : keys)
        EXPECT_FALSE(k.contains("PointElement") || k.contains("CtlPoint")) << k.toStdString();

    const auto root = kx::KeyedUnarchiver::unarchiveObjectWithData(data);
    ASSERT_TRUE(root);
    auto back = root->objectAs<KXCustomShape>();
    ASSERT_TRUE(back);
    EXPECT_EQ(back->customPointElement(), -1);
    EXPECT_FALSE(back->isShowCustomCtlPoint());
    EXPECT_EQ(back->path(), s->path());
    ASSERT_EQ(back->customPointsArray().size(), 5u);
    EXPECT_EQ(kx::KeyedArchiver::archivedDataWithRootObject(kx::Value(std::shared_ptr<KXGraph>(back))), data);
}

TEST_F(PenShapeTest, DecodingCentresAnEmptyTextAndKeepsAFilledOne) {
    kx::ClassRegistry::shared().registerClass<kxtest::CentringText>(QStringLiteral("CentringText"),
                                                                    QStringLiteral("KXShapeField"));
    for (const bool empty : {true, false}) {
        auto s = pen(square);
        auto text = std::make_shared<kxtest::CentringText>();
        text->empty = empty;
        s->setText(text);
        const QByteArray data = kx::KeyedArchiver::archivedDataWithRootObject(kx::Value(std::shared_ptr<KXGraph>(s)));
        auto back = kx::KeyedUnarchiver::unarchiveObjectWithData(data)->objectAs<KXCustomShape>();
        ASSERT_TRUE(back);
        auto* decoded = dynamic_cast<kxtest::CentringText*>(back->text());
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->vertical, empty ? 1 : -1);
        EXPECT_EQ(decoded->paragraph, empty ? 2 : -1);
    }
}

TEST_F(PenShapeTest, ListOfAnotherKindFailsTheArchive) {
    auto s = pen(square);
    for (const kx::Value& stored : {kx::Value(QStringLiteral("points")),
                                    kx::Value(kx::ValueArray{kx::Value(QStringLiteral("{0, 0}"))})}) {
        const QByteArray data = kxtest::archiveWithField(s, QStringLiteral("customPointsArray"), stored);
        ASSERT_FALSE(data.isEmpty());
        EXPECT_FALSE(kx::KeyedUnarchiver::unarchiveObjectWithData(data));
    }
}

// The shape decoded from the archive, put on the page without an undo step.
std::shared_ptr<KXCustomShape> decodedOnPage(const QByteArray& data, KXCanvas& page) {
    const auto root = kx::KeyedUnarchiver::unarchiveObjectWithData(data);
    auto shape = root ? root->objectAs<KXCustomShape>() : nullptr;
    if (shape) {
        kx::UndoDisabler quiet(page.undoManager());
        page.addGraph(shape);
    }
    return shape;
}

QByteArray archived(const std::shared_ptr<KXCustomShape>& s) {
    return kx::KeyedArchiver::archivedDataWithRootObject(kx::Value(std::shared_ptr<KXGraph>(s)));
}

TEST_F(PenShapeTest, StoredTypeOfAnotherShapeReadsAsPenShapeWhoseEditsKeepAPenOutline) {
    for (const std::uint32_t stored : {1u, 5u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(stored);
        auto s = pen(square);
        s->setShapeType(stored);
        auto back = decodedOnPage(archived(s), *page);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->shapeType(), std::uint32_t(KXShapeTypeCustom));
        expectExactUndo(*back, [&] { back->dragPathElement(2, 10, 5, 1, false); });
        expectConsistent(*back);
        EXPECT_EQ(back->path().elementCount(), 5);
        {
            kx::UndoDisabler quiet(page->undoManager());
            page->removeGraph(back.get());
        }
    }
}

// The archive with the list's last entry replaced by a second reference to its first: a closed outline
// starts and ends at the same point, so one stored point can serve both.
QByteArray withFirstPointListedTwice(const QByteArray& data) {
    kx::ValueDictionary top = kx::readPropertyList(data)->toDictionary();
    kx::ValueArray objects = top.at(QStringLiteral("$objects")).toArray();
    const auto objectAt = [&](const kx::ValueDictionary& d, const char* key) {
        return d.at(QString::fromLatin1(key)).toUid().value;
    };
    const auto root = objectAt(top.at(QStringLiteral("$top")).toDictionary(), "root");
    const auto list = objectAt(objects[root].toDictionary(), "customPointsArray");
    kx::ValueDictionary array = objects[list].toDictionary();
    kx::ValueArray entries = array.at(QStringLiteral("NS.objects")).toArray();
    entries.back() = entries.front();
    array[QStringLiteral("NS.objects")] = kx::Value(entries);
    objects[list] = kx::Value(array);
    top[QStringLiteral("$objects")] = kx::Value(objects);
    return kx::writePropertyList(kx::Value(top), kx::PropertyListFormat::Binary);
}

TEST_F(PenShapeTest, PointListedTwiceInTheArchiveReadsAsTwoPointsAndUndoGivesBackTheSameArchive) {
    const QByteArray shared = withFirstPointListedTwice(archived(pen(square)));
    for (const std::int64_t node : {1, 2, 4}) {
        SCOPED_TRACE(node);
        auto s = decodedOnPage(shared, *page);
        ASSERT_TRUE(s);
        ASSERT_EQ(s->customPointsArray().size(), 5u);
        EXPECT_NE(s->customPointsArray().front(), s->customPointsArray().back());
        const QByteArray before = archived(s);
        s->setCustomPointElement(node);
        expectExactUndo(*s, [&] { s->removeCustomPathPoint(); });
        page->undoManager().undo();
        EXPECT_EQ(archived(s), before);
        {
            kx::UndoDisabler quiet(page->undoManager());
            page->removeGraph(s.get());
        }
    }
}

// ---- insertion ----

TEST_F(PenShapeTest, InsertionSplitsStraightAndCurvedSegmentsWithoutMovingTheOutline) {
    // Segment 1 of the second outline bulges up to y = 137.5; its other sides are straight.
    const std::vector<Element> bulge{move({100, 100}), curve({120, 150}, {180, 150}, {200, 100}), line({150, 50}),
                                     line({100, 100})};
    const std::vector<Element> openPath{move({100, 100}), line({200, 100}), line({200, 200})};
    struct Case {
        const char* name;
        std::vector<Element> outline;
        int segment;
        std::vector<Element> expected;  // page points
    };
    const Case cases[] = {
        {"straight side of a closed square", square, 1,
         {move({100, 100}), line({150, 100}), line({200, 100}), line({200, 200}), line({100, 200}), line({100, 100})}},
        {"closing side of a closed square", square, 4,
         {move({100, 100}), line({200, 100}), line({200, 200}), line({100, 200}), line({100, 150}), line({100, 100})}},
        {"curved side", bulge, 1,
         {move({100, 100}), curve({110, 125}, {130, 137.5}, {150, 137.5}), curve({170, 137.5}, {190, 125}, {200, 100}),
          line({150, 50}), line({100, 100})}},
        {"last side of an open path", openPath, 2,
         {move({100, 100}), line({200, 100}), line({200, 150}), line({200, 200})}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto s = pen(c.outline);
        const Rect frame = s->frameRect();
        const kx::BezierPath before = s->path();
        const Point m = KXCustomShape::segmentMidpoint(s->path(), c.segment);
        expectExactUndo(*s, [&] { s->addPathNodeToIndex(c.segment, m); });
        EXPECT_EQ(s->frameRect(), frame);
        expectElements(pageElements(*s), c.expected);
        expectConsistent(*s);
        if (c.outline != bulge)
            continue;
        // The halves trace the old curve: its point at t = 1/4 is the first half's at t = 1/2.
        const Element old = before.elements()[std::size_t(c.segment)];
        const Point start = onPath(before.elements()[std::size_t(c.segment - 1)]);
        const Element half = s->path().elements()[std::size_t(c.segment)];
        for (int axis = 0; axis < 2; ++axis) {
            auto coord = [axis](Point p) { return axis == 0 ? p.x : p.y; };
            EXPECT_NEAR(cubicBezierValue(coord(start), coord(old.points[2]), coord(old.points[0]), coord(old.points[1]), 0.25),
                        cubicBezierValue(coord(start), coord(half.points[2]), coord(half.points[0]), coord(half.points[1]), 0.5),
                        1e-4);
        }
    }
}

TEST_F(PenShapeTest, InsertionAtAnIndexThatNamesNoSegmentChangesNothing) {
    auto s = pen(square);
    const Snapshot before = snapshot(*s);
    for (std::int64_t k : {std::int64_t(-1), std::int64_t(0), std::int64_t(5), std::int64_t(99),
                           std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max()}) {
        s->addPathNodeToIndex(k, {10, 10});
        s->addPathNodeForLineWithPoint({10, 10}, k < 0 || k > 4 ? k : 99);
        s->addPathNodeForCurveWithPoint({10, 10}, k, 0, {}, {}, {}, {});
    }
    s->addPathNodeToIndex(1, {std::numeric_limits<double>::quiet_NaN(), 0});
    EXPECT_TRUE(snapshot(*s) == before);
    EXPECT_FALSE(page->undoManager().canUndo());
}

// ---- deletion ----

TEST_F(PenShapeTest, DeletionMergesTheSidesAroundTheNode) {
    const std::vector<Element> openPath{move({100, 100}), line({200, 100}), line({200, 200}), line({100, 200})};
    struct Case {
        const char* name;
        std::vector<Element> outline;
        std::int64_t node;
        std::vector<Element> expected;  // page points
        std::int64_t selectionAfter;
    };
    const Case cases[] = {
        {"middle node between straight sides", square, 2,
         {move({100, 100}), line({200, 100}), line({100, 200}), line({100, 100})}, 2},
        {"last node of a closed path", square, 4,
         {move({100, 200}), line({200, 100}), line({200, 200}), line({100, 200})}, 3},
        {"start of a closed path names the last node", square, 0,
         {move({100, 200}), line({200, 100}), line({200, 200}), line({100, 200})}, 0},
        {"end of an open path", openPath, 3, {move({100, 100}), line({200, 100}), line({200, 200})}, 2},
        {"start of an open path", openPath, 0, {move({200, 100}), line({200, 200}), line({100, 200})}, 0},
        {"curved sides keep their outer handles",
         {move({100, 100}), curve({120, 80}, {180, 80}, {200, 100}), curve({220, 120}, {220, 180}, {200, 200}),
          line({100, 100})},
         1, {move({100, 100}), curve({120, 80}, {220, 180}, {200, 200}), line({100, 100})}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto s = pen(c.outline);
        s->setCustomPointElement(c.node);
        expectExactUndo(*s, [&] { s->removeCustomPathPoint(); });
        expectElements(pageElements(*s), c.expected, 1e-6);
        expectConsistent(*s);
        EXPECT_EQ(s->customPointElement(), c.selectionAfter);
        expectRect(s->frameRect(), roundRectComponents(s->frameRect()), 1e-9);
    }
}

TEST_F(PenShapeTest, DeletionWithAnIndexThatNamesNoNodeChangesNothing) {
    auto s = pen(square);
    const Snapshot before = snapshot(*s);
    for (std::int64_t k : {std::int64_t(-1), std::int64_t(5), std::int64_t(1) << 40,
                           std::numeric_limits<std::int64_t>::min()}) {
        s->setCustomPointElement(k);
        s->removeCustomPathPoint();
        s->changeLineType();
    }
    EXPECT_TRUE(snapshot(*s) == before);
    EXPECT_FALSE(page->undoManager().canUndo());
    EXPECT_EQ(page->graphCount(), 1);
}

TEST_F(PenShapeTest, DeletingDownToOneSegmentKeepsADrawableShapeAndThenRemovesIt) {
    auto s = pen(polygon({{100, 100}, {200, 100}, {150, 200}}));
    kx::UndoManager& undo = page->undoManager();
    // Three nodes, two, one: each deletion leaves a pen outline ending at its start.
    for (int count = 4; count > 2; --count) {
        s->setCustomPointElement(1);
        undo.beginUndoGrouping();
        s->removeCustomPathPoint();
        undo.endUndoGrouping();
        ASSERT_EQ(s->path().elementCount(), count - 1);
        EXPECT_TRUE(KXCustomShape::isClosedOutline(s->path()));
        EXPECT_GE(s->frameRect().size.width, 1);
        EXPECT_GE(s->frameRect().size.height, 1);
        expectConsistent(*s);
        kx::BitmapContext context(64, 64);
        s->drawInContext(context, {0, 0, 32, 32});
    }
    // One segment left (a point): deleting its node removes the shape, and one undo brings it back.
    const Snapshot last = snapshot(*s);
    s->setCustomPointElement(1);
    undo.beginUndoGrouping();
    s->removeCustomPathPoint();
    undo.endUndoGrouping();
    EXPECT_EQ(page->graphCount(), 0);
    EXPECT_EQ(s->customPointElement(), -1);
    undo.undo();
    ASSERT_EQ(page->graphCount(), 1);
    EXPECT_TRUE(snapshot(*s) == last);
    // Without a page nothing happens.
    page->removeGraph(s.get());
    s->setCustomPointElement(1);
    s->removeCustomPathPoint();
    EXPECT_TRUE(snapshot(*s) == last);
}

TEST_F(PenShapeTest, DeletionLeavingAHairlineGivesAFrameOfAtLeastOnePoint) {
    // Removing C leaves A, B and D within 0.3 points of x = 100.
    auto s = pen(polygon({{100, 100}, {100.3, 150}, {150, 200}, {100, 200}}));
    s->setCustomPointElement(2);
    s->removeCustomPathPoint();
    EXPECT_GE(s->frameRect().size.width, 1 - 1e-9);
    for (const auto& p : s->customPointsArray()) {
        EXPECT_TRUE(std::isfinite(p->point3().x));
        EXPECT_LE(std::abs(p->point3().x), 1);
    }
    EXPECT_TRUE(KXCustomShape::isClosedOutline(s->path()));
}

// ---- corner and smooth ----

TEST_F(PenShapeTest, ToggleMakesACornerSmoothWithHandlesAlongTheNeighboursAndBack) {
    struct Case {
        const char* name;
        std::int64_t node;
        Point f, c, n;  // the previous node, the node, the next node in page points
        int element, next;
    };
    const Case cases[] = {
        {"node between two sides", 2, {200, 100}, {200, 200}, {100, 200}, 2, 3},
        {"first node after the start", 1, {100, 100}, {200, 100}, {200, 200}, 1, 2},
        {"last node on the start", 4, {100, 200}, {100, 100}, {200, 100}, 4, 1},
        {"start names the last node", 0, {100, 200}, {100, 100}, {200, 100}, 4, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto s = pen(square);
        s->setCustomPointElement(c.node);
        expectExactUndo(*s, [&] { s->changeLineType(); });
        const std::vector<Element> e = pageElements(*s);
        const Point h1(c.c.x + (c.f.x - c.n.x) / 4, c.c.y + (c.f.y - c.n.y) / 4);
        const Point h2(c.c.x + (c.n.x - c.f.x) / 4, c.c.y + (c.n.y - c.f.y) / 4);
        expectPoint(e[std::size_t(c.element)].points[1], h1, 1e-6);
        expectPoint(e[std::size_t(c.element)].points[2], c.c, 1e-6);
        expectPoint(e[std::size_t(c.next)].points[0], h2, 1e-6);
        // A straight side gets its other control halfway along the curve towards the new handle.
        expectPoint(e[std::size_t(c.element)].points[0],
                    {cubicBezierValue(c.f.x, c.c.x, c.f.x, h1.x, 0.5), cubicBezierValue(c.f.y, c.c.y, c.f.y, h1.y, 0.5)},
                    1e-6);
        EXPECT_TRUE(KXCustomShape::isClosedOutline(s->path()));
        expectConsistent(*s);
        // Again: both sides straight, the outline the square it was.
        s->changeLineType();
        expectElements(pageElements(*s), square, 1e-6);
    }
}

TEST_F(PenShapeTest, ToggleLeavesOpenEndsShortOutlinesAndBadIndicesAlone) {
    const std::vector<Element> openPath{move({100, 100}), line({200, 100}), line({200, 200})};
    auto open = pen(openPath);
    auto shortPath = pen({move({100, 100}), line({200, 150})});
    for (auto* s : {open.get(), shortPath.get()}) {
        const Snapshot before = snapshot(*s);
        for (std::int64_t k : {std::int64_t(-1), std::int64_t(0), std::int64_t(1), std::int64_t(2), std::int64_t(3),
                               std::numeric_limits<std::int64_t>::max()}) {
            if (s == open.get() && k == 1)
                continue;  // the middle node of the open path does toggle
            s->setCustomPointElement(k);
            s->changeLineType();
        }
        EXPECT_TRUE(snapshot(*s) == before);
    }
    open->setCustomPointElement(1);
    open->changeLineType();
    EXPECT_NE(open->path().elements()[1].points[1], open->path().elements()[1].points[2]);
}

// ---- clicks ----

TEST_F(PenShapeTest, ClickSelectsAnchorsWithTheirChangeTypes) {
    // Side 1 leaves the start with its first control on it; side 3 comes back straight.
    const std::vector<Element> outline{move({100, 100}), curve({100, 100}, {170, 60}, {200, 100}),
                                       curve({240, 130}, {240, 170}, {200, 200}), line({100, 100})};
    auto s = pen(outline);
    const Point o = s->frameRect().origin;
    auto local = [&](Point p) { return Point(p.x - o.x, p.y - o.y); };
    struct Case {
        const char* name;
        Point at;
        std::optional<std::pair<int, int>> expected;
    };
    const Case cases[] = {
        // The start and the last node coincide: the last element wins; straight in, and the next side's
        // first control lies on it.
        {"start point", local({100, 100}), std::make_pair(3, 8)},
        {"curved-in node, next side curved", local({200, 100}), std::make_pair(1, 6)},
        {"curved-in node, next side straight", local({200, 200}), std::make_pair(2, 5)},
        {"2.9 points left of a node", local({197.1, 200}), std::make_pair(2, 5)},
        {"3 points left of a node (lower edge inside)", local({197, 200}), std::make_pair(2, 5)},
        {"3 points right of a node (upper edge outside)", local({203, 200}), std::nullopt},
        {"empty space", local({150, 150}), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        s->setCustomPointElement(-1);
        EXPECT_EQ(click(*s, c.at), c.expected);
        EXPECT_EQ(s->customPointElement(), c.expected ? c.expected->first : -1);
        EXPECT_EQ(s->isShowCustomCtlPoint(), c.expected.has_value());
        EXPECT_EQ(s->hitTestEditableAtPoint(c.at), c.expected.has_value());
    }
    // A first control on its own start node answers after the node: the later element wins.
    auto t = pen({move({100, 100}), line({200, 100}), curve({200, 100}, {230, 150}, {200, 200}), line({100, 100})});
    const Point p = t->frameRect().origin;
    EXPECT_EQ(click(*t, {200 - p.x, 100 - p.y}), std::make_pair(2, 3));
    EXPECT_EQ(t->customPointElement(), 1);

    auto sq = pen(square);
    const Point q = sq->frameRect().origin;
    EXPECT_EQ(click(*sq, {200 - q.x, 200 - q.y}), std::make_pair(2, 1));  // straight sides both ways
    EXPECT_EQ(click(*sq, {100 - q.x, 100 - q.y}), std::make_pair(4, 1));
    auto single = pen({move({50, 50}), line({50, 50})});  // a single click of the pen tool
    EXPECT_EQ(click(*single, {1, 1}), std::make_pair(1, 1));
}

TEST_F(PenShapeTest, ControlHandlesAnswerOnlyNearTheSelectedNode) {
    // Every side curved; handles well apart from the anchors.
    const std::vector<Element> outline{move({100, 100}), curve({130, 60}, {170, 60}, {200, 100}),
                                       curve({240, 130}, {240, 170}, {200, 200}),
                                       curve({170, 240}, {130, 240}, {100, 200}),
                                       curve({60, 170}, {60, 130}, {100, 100})};
    auto s = pen(outline);
    const Point o = s->frameRect().origin;
    auto local = [&](Point p) { return Point(p.x - o.x, p.y - o.y); };
    struct Case {
        std::int64_t selected;
        Point at;
        std::optional<std::pair<int, int>> expected;
    };
    const Case cases[] = {
        {2, local({240, 130}), std::make_pair(2, 3)},   // first control of the selected node's side
        {2, local({240, 170}), std::make_pair(2, 4)},   // its second control
        {1, local({240, 130}), std::make_pair(2, 3)},   // the side after the selected node
        {3, local({170, 60}), std::nullopt},            // neither the selected node nor the one after
        {4, local({170, 60}), std::make_pair(1, 4)},    // the last node selected: every handle answers
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.selected);
        s->setCustomPointElement(c.selected);
        EXPECT_EQ(click(*s, c.at), c.expected);
        if (c.expected)
            EXPECT_EQ(s->customPointElement(), c.selected);  // a handle keeps the selection
    }
    // The cursor test: the selected node's second control and the next side's first control, 5 x 5.
    s->setCustomPointElement(2);
    EXPECT_TRUE(s->hitTestEditableAtPoint(local({240, 170})));
    EXPECT_TRUE(s->hitTestEditableAtPoint(local({172.4, 240})));
    EXPECT_FALSE(s->hitTestEditableAtPoint(local({172.5, 240})));
    EXPECT_FALSE(s->hitTestEditableAtPoint(local({240, 130})));  // its own first control is not shown
}

TEST_F(PenShapeTest, ClickOnAMidpointHandleInsertsANode) {
    const std::vector<Element> bulge{move({100, 100}), curve({120, 150}, {180, 150}, {200, 100}), line({150, 50}),
                                     line({100, 100})};
    struct Case {
        const char* name;
        std::vector<Element> outline;
        int segment;
        int changeType;
    };
    const Case cases[] = {{"straight side", square, 2, 1}, {"curved side", bulge, 1, 6}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto s = pen(c.outline);
        const Point m = KXCustomShape::segmentMidpoint(s->path(), c.segment);
        // The pointer a point inside the segment's bounds (the bulge's apex is on their upper edge).
        const Point at(m.x, m.y - 1);
        // Without a selected node the midpoint is nothing.
        EXPECT_FALSE(s->hitTestEditableAtPoint(at));
        EXPECT_FALSE(click(*s, at));
        // Select a node, move over the midpoint, click.
        s->handlerInfoAtPoint(onPath(s->path().elements()[1]));
        ASSERT_TRUE(s->isShowCustomCtlPoint());
        EXPECT_TRUE(s->hitTestEditableAtPoint(at));
        EXPECT_EQ(s->centerPointElement(), c.segment);
        const int count = s->path().elementCount();
        EXPECT_EQ(click(*s, at), std::make_pair(c.segment, c.changeType));
        EXPECT_EQ(s->path().elementCount(), count + 1);
        expectPoint(onPath(s->path().elements()[std::size_t(c.segment)]), m, 1e-9);
        EXPECT_EQ(s->customPointElement(), c.segment);
    }
}

TEST_F(PenShapeTest, NodesAreHitAtEveryZoomAndTurn) {
    for (const double viewWidth : {200.0, 400.0, 800.0, 1000.0}) {
        auto zoomed = shapePage();
        zoomed->zoomToFitSize({viewWidth, viewWidth * 0.75});
        const double z = zoomed->zoomValue();
        // The same square on the page in pixels (100, 100) to (200, 200), placed at this zoom.
        std::vector<Element> scaled = square;
        for (Element& e : scaled)
            for (int i = 0; i < e.pointCount(); ++i)
                e.points[i] = {e.points[i].x * z, e.points[i].y * z};
        auto s = pen(scaled, zoomed.get());
        for (const double degrees : {0.0, 30.0, 90.0, 200.0}) {
            SCOPED_TRACE(testing::Message() << "zoom " << z << " angle " << degrees);
            s->setAngle(degreesToRadians(degrees));
            const Rect frame = s->frameRect();
            for (int node = 1; node <= 3; ++node) {
                const Point anchor = onPath(s->path().elements()[std::size_t(node)]);
                // Where the pointer is on the page for a point near the anchor, and back into the frame.
                for (const auto& [dx, hits] : {std::pair{2.9, true}, std::pair{-2.9, true}, std::pair{3.1, false},
                                               std::pair{-3.1, false}}) {
                    const Point onPage = transformPointAboutCenter(
                        {frame.origin.x + anchor.x + dx, frame.origin.y + anchor.y}, frame.center(),
                        degreesToRadians(degrees), 1, 1);
                    const Point back = s->convertPointToRenderSpace(onPage);
                    const Point local(back.x - frame.origin.x, back.y - frame.origin.y);
                    const auto info = click(*s, local);
                    EXPECT_EQ(info.has_value(), hits) << node << " " << dx;
                    if (hits && info)
                        EXPECT_EQ(info->first, node);
                }
            }
        }
    }
}

// ---- drags ----

TEST_F(PenShapeTest, DraggingAStraightCornerKeepsBothSidesStraight) {
    auto s = pen(square);
    const Point o = s->frameRect().origin;
    ASSERT_EQ(click(*s, {200 - o.x, 200 - o.y}), std::make_pair(2, 1));
    Point applied;
    expectExactUndo(*s, [&] { applied = s->dragPathElement(2, 30, 20, 1, false); });
    EXPECT_EQ(applied, Point(30, 20));
    expectElements(pageElements(*s), polygon({{100, 100}, {200, 100}, {230, 220}, {100, 200}}), 1e-6);
    expectRect(s->frameRect(), {100, 100, 130, 120}, 1e-9);
    expectConsistent(*s);
}

TEST_F(PenShapeTest, DraggingTheStartPointMovesTheLastNodeWithIt) {
    auto s = pen(square);
    const Point o = s->frameRect().origin;
    const auto info = click(*s, {100 - o.x, 100 - o.y});
    ASSERT_EQ(info, std::make_pair(4, 1));
    s->dragPathElement(info->first, -20, -10, info->second, false);
    EXPECT_TRUE(KXCustomShape::isClosedOutline(s->path()));
    expectElements(pageElements(*s), polygon({{80, 90}, {200, 100}, {200, 200}, {100, 200}}), 1e-6);
    // Element 0 on a closed outline is the same node.
    s->dragPathElement(0, 20, 10, 6, false);
    EXPECT_TRUE(KXCustomShape::isClosedOutline(s->path()));
    expectPoint(onPath(pageElements(*s)[0]), {100, 100}, 1e-6);
}

TEST_F(PenShapeTest, ChangeTypesMoveTheirParts) {
    // The anchor of node 2 (200, 200) and its neighbours' controls, all apart.
    const std::vector<Element> outline{move({100, 100}), curve({130, 60}, {170, 60}, {200, 100}),
                                       curve({240, 130}, {240, 170}, {200, 200}),
                                       curve({170, 240}, {130, 240}, {100, 200}),
                                       curve({60, 170}, {60, 130}, {100, 100})};
    struct Case {
        int element, type;
        std::vector<std::pair<int, int>> moved;  // (element, point) that move by the offset
    };
    const Case cases[] = {
        {2, 1, {{2, 0}, {2, 1}, {2, 2}}},
        {2, 2, {{2, 2}}},
        {2, 3, {{2, 0}}},
        {2, 4, {{2, 1}}},
        {2, 5, {{2, 1}, {2, 2}}},
        {2, 6, {{2, 1}, {2, 2}, {3, 0}}},
        {2, 8, {{2, 0}, {2, 1}, {2, 2}, {3, 0}}},
        {4, 1, {{4, 0}, {4, 1}, {4, 2}, {0, 0}}},
        {4, 5, {{4, 1}, {4, 2}, {0, 0}}},
        {4, 6, {{4, 1}, {4, 2}, {1, 0}, {0, 0}}},
        {2, 7, {}},
        {2, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.element << " type " << c.type);
        auto s = pen(outline);
        const std::vector<Element> before = pageElements(*s);
        const Point applied = s->dragPathElement(c.element, 7, -5, c.type, false);
        EXPECT_EQ(applied, Point(7, -5));
        const std::vector<Element> after = pageElements(*s);
        ASSERT_EQ(after.size(), before.size());
        for (std::size_t i = 0; i < after.size(); ++i)
            for (int k = 0; k < after[i].pointCount(); ++k) {
                const bool moves = std::find(c.moved.begin(), c.moved.end(), std::make_pair(int(i), k)) != c.moved.end();
                expectPoint(after[i].points[k],
                            moves ? Point(before[i].points[k].x + 7, before[i].points[k].y - 5) : before[i].points[k],
                            1e-6);
            }
        if (!c.moved.empty())
            expectConsistent(*s);
    }
}

TEST_F(PenShapeTest, ShiftSnapsEachCoordinateToOtherNodesWithinEightPoints) {
    // Other nodes at (0, 0), (100, 0), (0, 100); the start point takes part through the last node.
    const kx::BezierPath path = [] {
        kx::BezierPath p;
        p.moveTo({0, 0});
        p.curveTo({100, 0}, {100, 0}, {100, 0});
        p.curveTo({60, 60}, {60, 60}, {60, 60});
        p.curveTo({0, 100}, {0, 100}, {0, 100});
        p.curveTo({0, 0}, {0, 0}, {0, 0});
        return p;
    }();
    const Point d(60, 60);
    struct Case {
        Point proposed, expected;
    };
    const Case cases[] = {
        {{107.9, 50}, {100, 50}},   // 7.9 in x snaps x
        {{108, 92}, {100, 92}},     // exactly 8 in both: x snaps, y does not
        {{108.1, 50}, {108.1, 50}}, // beyond 8 in x
        {{50, 7.9}, {50, 0}},       // 7.9 in y snaps y
        {{3, 96}, {0, 100}},        // both near the same node
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.proposed.x << ", " << c.proposed.y);
        const Point o = KXCustomShape::adsorptionOffsetWithDragPoint(d, c.proposed, path, 2);
        expectPoint({d.x + o.x, d.y + o.y}, c.expected, 1e-9);
    }
    // The element dragged and the start element are no candidates: on an open outline nothing is near x = 3.
    kx::BezierPath open = path;
    open.removeAllPoints();
    for (int i = 0; i < 4; ++i) {
        const Element& e = path.elements()[std::size_t(i)];
        if (i == 0)
            open.moveTo(e.points[0]);
        else
            open.curveTo(e.points[2], e.points[0], e.points[1]);
    }
    const Point o = KXCustomShape::adsorptionOffsetWithDragPoint({0, 100}, {3, 3}, open, 3);
    expectPoint({o.x, o.y + 100}, {3, 0}, 1e-9);
    // On the closed outline the last node stands for the start.
    const Point q = KXCustomShape::adsorptionOffsetWithDragPoint({0, 100}, {3, 3}, path, 3);
    expectPoint({q.x, q.y + 100}, {0, 0}, 1e-9);

    // Through a drag: with Shift the node lands on x = 200, the offset returned includes the snap.
    auto s = pen(polygon({{100, 100}, {200, 100}, {150, 200}}));
    const Point applied = s->dragPathElement(2, 45, 0, 6, true);
    expectPoint(applied, {50, 0}, 1e-6);
    expectPoint(onPath(pageElements(*s)[2]), {200, 200}, 1e-6);
    // Control handles never snap.
    const Point handle = s->dragPathElement(2, 1, 1, 3, true);
    EXPECT_EQ(handle, Point(1, 1));
}

TEST_F(PenShapeTest, ArrowKeysMoveHandlesThroughTheirNodes) {
    struct Case {
        const char* name;
        int element, changeType;
        int movedNode;  // whose anchor moves
    };
    const Case cases[] = {
        {"first control: the node before, here the last node on the start", 1, 3, 4},
        {"first control of a later side: the node before", 3, 3, 2},
        {"second control: its own node", 2, 4, 2},
        {"anchor: as clicked", 3, 1, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto s = pen(square);
        const std::vector<Element> before = pageElements(*s);
        expectExactUndo(*s, [&] { s->nudgePathElement(c.element, c.changeType, 1, 0); });
        const std::vector<Element> after = pageElements(*s);
        const Point was = onPath(before[std::size_t(c.movedNode)]);
        expectPoint(onPath(after[std::size_t(c.movedNode)]), {was.x + 1, was.y}, 1e-6);
        EXPECT_TRUE(KXCustomShape::isClosedOutline(s->path()));
    }
    auto s = pen(square);
    const Snapshot before = snapshot(*s);
    s->nudgePathElement(0, 3, 1, 0);  // no node before the start's own handle
    s->nudgePathElement(std::numeric_limits<std::int32_t>::min(), 3, 1, 0);
    EXPECT_TRUE(snapshot(*s) == before);
}

TEST_F(PenShapeTest, DragsWithBadIndicesOrOffsetsChangeNothing) {
    auto s = pen(square);
    const Snapshot before = snapshot(*s);
    for (std::int32_t k : {-1, 5, 99, std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::min()})
        for (std::int32_t type : {1, 3, 4, 6, 8})
            EXPECT_EQ(s->dragPathElement(k, 3, 4, type, true), Point(3, 4));
    EXPECT_EQ(s->dragPathElement(0, 3, 4, 3, false), Point(3, 4));  // the move has no controls
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(s->dragPathElement(2, nan, 4, 1, false), Point());
    EXPECT_EQ(s->dragPathElement(2, 3, std::numeric_limits<float>::infinity(), 1, false), Point());
    EXPECT_TRUE(snapshot(*s) == before);
    EXPECT_FALSE(page->undoManager().canUndo());
}

TEST_F(PenShapeTest, OutlinesThatAreNoPenOutlinesAreNotEdited) {
    // A file may hold any outline under "path": lines, closes, a second move, nothing at all.
    kx::BezierPath lines;
    lines.moveTo({0, 0});
    lines.lineTo({100, 0});
    lines.lineTo({100, 100});
    lines.closePath();
    kx::BezierPath twoMoves;
    twoMoves.moveTo({0, 0});
    twoMoves.curveTo({100, 0}, {100, 0}, {100, 0});
    twoMoves.moveTo({50, 50});
    twoMoves.curveTo({100, 100}, {100, 100}, {100, 100});
    for (const kx::BezierPath& outline : {lines, twoMoves, kx::BezierPath()}) {
        SCOPED_TRACE(outline.elementCount());
        auto s = pen(square);
        s->KXShape::setPath(outline);
        const Snapshot before = snapshot(*s);
        for (std::int64_t k = -1; k <= 5; ++k) {
            s->setCustomPointElement(k);
            s->removeCustomPathPoint();
            s->changeLineType();
            s->addPathNodeToIndex(k, {50, 0});
            s->dragPathElement(std::int32_t(k), 5, 5, 1, true);
            s->hitTestEditableAtPoint({100, 0});
            s->handlerInfoAtPoint({100, 0});
        }
        s->updatePathFromPath(outline);
        EXPECT_TRUE(snapshot(*s) == before);
        EXPECT_FALSE(page->undoManager().canUndo());
    }
}

TEST_F(PenShapeTest, RefitGivesOneListEntryPerElementWhateverTheListHeld) {
    // A file whose list is shorter than its outline: after an edit the two agree again.
    auto s = pen(square);
    KXPathPointArray shortList(s->customPointsArray().begin(), s->customPointsArray().begin() + 2);
    s->setCustomPointsArray(shortList);
    s->dragPathElement(2, 10, 0, 1, false);
    ASSERT_EQ(s->customPointsArray().size(), 5u);
    expectConsistent(*s);
    expectElements(pageElements(*s), polygon({{100, 100}, {200, 100}, {210, 200}, {100, 200}}), 1e-6);
}

TEST_F(PenShapeTest, FlippedShapeKeepsTheEdgeThatStaysOnScreen) {
    for (const int flip : {1, -1}) {
        SCOPED_TRACE(flip);
        auto s = pen(square);
        s->setFlipX(flip);
        // Node 2 (local (100, 100)) and node 1 move right: the outline widens on its local right.
        s->dragPathElement(2, 30, 0, 2, false);
        s->dragPathElement(1, 30, 0, 2, false);
        expectRect(s->frameRect(), flip == 1 ? Rect(100, 100, 130, 100) : Rect(70, 100, 130, 100), 1e-9);
    }
}

TEST_F(PenShapeTest, MovingAnEditedShapeIsUndoneToTheExactOutline) {
    auto s = pen(square);
    s->dragPathElement(2, 13.7, 4.1, 1, false);
    s->setCustomPointElement(1);
    s->changeLineType();
    const Snapshot edited = snapshot(*s);
    kx::UndoManager& undo = page->undoManager();
    undo.removeAllActions();
    undo.beginUndoGrouping();
    s->moveGraphWithOffsetX(3.3, -2.2);
    undo.endUndoGrouping();
    undo.undo();
    EXPECT_TRUE(snapshot(*s) == edited);
}

TEST_F(PenShapeTest, ObservedKeysRecordTheListAndThePathOnThePage) {
    auto s = pen(square);
    kx::UndoManager& undo = page->undoManager();
    const Snapshot before = snapshot(*s);
    undo.beginUndoGrouping();
    s->setCustomPointsArray({std::make_shared<KXPathPoint>(Point(0.5, 0.5), Point(), Point())});
    s->setPath(s->shapePathWithRect({0, 0, 100, 100}));
    undo.endUndoGrouping();
    EXPECT_EQ(s->path().elementCount(), 1);
    undo.undo();
    EXPECT_TRUE(snapshot(*s) == before);
}

}  // namespace
