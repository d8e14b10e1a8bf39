// The text column container: the pixel scan of an outline, flow inside ovals and stars, holes cut by
// wrapping graphs (rotated, in rotated groups, each wrap type) and its archive.
#include "archive_probe.h"
#include "page_test_support.h"
#include "text_test_support.h"

#include "graphics/geometry_utilities.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "platform/text/text_layout_manager.h"
#include "shapes/shape_path_builders.h"
#include "model/column_info.h"
#include "text/text_container.h"

#include <gtest/gtest.h>

#include <limits>
#include <numbers>

using namespace kxtest;

namespace {

kx::Path closedPath(const kx::BezierPath& path) {
    return *quartzPathWhileClose(path, true);
}

const QString kLongText = QStringLiteral(
    "Text flows line by line through the column and every line is set where the outline leaves room for it "
    "so that nothing is drawn outside the shape however the words fall on the lines of the text block.");

struct Laid {
    std::shared_ptr<KXTextContainer> container;
    std::shared_ptr<kx::TextStorage> storage;
    std::unique_ptr<kx::TextLayoutManager> manager;
};

Laid layOut(kx::Size size, std::optional<kx::BezierPath> path, const QString& text = kLongText, double font = 12) {
    Laid l;
    l.container = KXTextContainer::initWithContainerSize(size);
    l.container->setPath(std::move(path));
    l.container->setSingleFontWidth(float(kx::measureString(QStringLiteral("M"), dejaVu(font)).width));
    l.container->setScaleWidth(1);
    l.container->setScaleHeight(1);
    l.storage = std::make_shared<kx::TextStorage>(kx::AttributedString(text, dejaVu(font)));
    l.manager = std::make_unique<kx::TextLayoutManager>(l.storage);
    l.manager->addTextContainer(l.container);
    return l;
}

}  // namespace

TEST(TextContainerScan, RectangleRunIsOneColumnShortOfTheCoveredColumns) {
    const kx::Path square = closedPath(kx::BezierPath::withRect({0, 0, 100, 100}));
    EXPECT_EQ(firstInsideRunInStrip(square, 0, {0, 10, 300, 20}), kx::Rect(0, 10, 99, 20));
    // From a later column the run starts there.
    EXPECT_EQ(firstInsideRunInStrip(square, 40, {0, 10, 300, 20}), kx::Rect(40, 10, 59, 20));
    // A strip as wide as the outline reaches the right edge: W - start - 1.
    EXPECT_EQ(firstInsideRunInStrip(square, 0, {0, 10, 100, 20}), kx::Rect(0, 10, 99, 20));
}

TEST(TextContainerScan, StripsThatAreTooSmallOrOutsideOrHostileAnswerSafely) {
    const kx::Path square = closedPath(kx::BezierPath::withRect({0, 0, 100, 100}));
    struct Case {
        kx::Rect strip;
        int start;
        kx::Rect expected;
    } cases[] = {
        {{5, 5, 1, 50}, 0, {5, 5, 1, 50}},             // too narrow: unchanged
        {{5, 5, 50, 0.5}, 0, {5, 5, 50, 0.5}},         // too low: unchanged
        {{0, 95, 100, 20}, 0, {0, 95, 0, 20}},         // reaches above the outline
        {{0, -10, 100, 20}, 0, {0, -10, 0, 20}},       // reaches below it
        {{0, 10, 100, 20}, 500, {0, 10, 0, 20}},       // start past the strip
        {{0, 10, 100, 20}, -7, {0, 10, 99, 20}},       // a negative start scans from 0
        {{0, 10, 1e12, 20}, 0, {0, 10, 99, 20}},       // a huge strip allocates only what the outline covers
    };
    for (const Case& c : cases)
        EXPECT_EQ(firstInsideRunInStrip(square, c.start, c.strip), c.expected) << c.strip.size.width;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(firstInsideRunInStrip(square, 0, {nan, 10, 100, 20}).size.width, 0);
    EXPECT_EQ(firstInsideRunInStrip(square, 0, {0, 10, 1e30, 1e30}).size.width, 0);
}

TEST(TextContainer, WithoutPathAnswersWhatTheBaseContainerAnswers) {
    const KXTextContainer ours({200, 100});
    const kx::TextContainer base({200, 100});
    for (const kx::Rect proposed : {kx::Rect(0, 0, 1e7, 14), kx::Rect(20, 50, 100, 14), kx::Rect(0, 95, 200, 14)}) {
        kx::Rect a, b;
        EXPECT_EQ(ours.lineFragmentRect(proposed, &a), base.lineFragmentRect(proposed, &b));
        EXPECT_EQ(a, b);
    }
}

TEST(TextContainer, RectangularOutlineFillingTheContainerKeepsTheLineAtItsLeftEdge) {
    KXTextContainer container({200, 100});
    container.setPath(kx::BezierPath::withRect({0, 0, 200, 100}));
    container.setSingleFontWidth(10);
    kx::Rect remaining;
    const kx::Rect f = container.lineFragmentRect({0, 0, 1e7, 14}, &remaining);
    EXPECT_EQ(f, kx::Rect(0, 0, 199, 14));
    EXPECT_EQ(remaining, kx::Rect());
}

TEST(TextContainer, NarrowStripsMoveTheLineDownOneLineHeightAtATime) {
    // A triangle: narrow at the top, wide at the bottom (upward axis).
    kx::BezierPath triangle;
    triangle.moveTo({0, 0});
    triangle.lineTo({200, 0});
    triangle.lineTo({100, 200});
    triangle.closePath();
    KXTextContainer container({200, 200});
    container.setPath(triangle);
    container.setSingleFontWidth(50);
    const kx::Rect f = container.lineFragmentRect({0, 0, 1e7, 20}, nullptr);
    EXPECT_GE(f.size.width, 50);
    EXPECT_GT(f.origin.y, 0);
    EXPECT_EQ(std::fmod(f.origin.y, 20.0), 0);
    // The line one height higher would not have been wide enough.
    const kx::Rect above = firstInsideRunInStrip(closedPath(triangle), 0, {0, 200 - f.origin.y, 200, 20});
    EXPECT_LT(above.size.width, 50);
    // A container whose outline never gets wide enough answers the narrow run at the bottom.
    container.setSingleFontWidth(500);
    const kx::Rect last = container.lineFragmentRect({0, 0, 1e7, 20}, nullptr);
    EXPECT_LT(last.size.width, 500);
}

TEST(TextContainer, TextFlowsInsideAnOvalAndAStar) {
    for (auto kind : {OutlineShape::Kind::Oval, OutlineShape::Kind::Star}) {
        const kx::BezierPath outline = OutlineShape::outline(kind, {0, 0, 300, 300});
        Laid l = layOut({300, 300}, outline);
        expectFragmentsInside(l.manager->lineFragments(), outline, 300);
        // Narrower lines near the top than in the middle.
        const auto& fragments = l.manager->lineFragments();
        ASSERT_GT(fragments.size(), 3u);
        double widest = 0;
        for (const kx::LineFragment& f : fragments)
            widest = std::max(widest, f.rect.size.width);
        EXPECT_LT(fragments.front().rect.size.width, widest);
    }
}

class TextWrapTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerPageClasses();
        page = textPage(400, 400);
    }
    std::shared_ptr<SolidGraph> graphAt(const kx::Rect& pixels) {
        auto g = std::make_shared<SolidGraph>();
        page->addGraph(g);
        g->setRelativeRect({pixels.origin.x / 400, pixels.origin.y / 400, pixels.size.width / 400,
                            pixels.size.height / 400});
        g->setTextWrapEnabled(true);
        return g;
    }
    Laid wrapped(const std::vector<std::shared_ptr<KXGraph>>& graphs) {
        Laid l = layOut({400, 400}, kx::BezierPath::withRect({0, 0, 400, 400}), kLongText.repeated(6));
        l.container->setObjectRect(kx::Rect({0, 0}, page->previewSize()));
        l.container->setWrapObjects(graphs);
        l.manager->textContainerChangedGeometry(l.container.get());
        return l;
    }
    // The hole in the container's downward axis, for a rectangle in page points (y up).
    static kx::Rect downward(const kx::Rect& r) { return {r.origin.x, 400 - r.maxY(), r.size.width, r.size.height}; }
    std::shared_ptr<KXCanvas> page;
};

TEST_F(TextWrapTest, TextFlowsAroundARotatedGraphOnBothSides) {
    auto g = graphAt({150, 150, 100, 60});
    g->setAngle(std::numbers::pi / 4);
    Laid l = wrapped({g});
    const kx::Rect turned = transformRectAboutCenter(g->frameRect().center(), g->angle(), 1, 1, g->frameRect());
    const kx::Rect hole = downward(turned);
    bool split = false;
    for (const kx::LineFragment& f : l.manager->lineFragments()) {
        EXPECT_FALSE(f.usedRect.insetBy(0.5, 0.5).intersects(hole))
            << f.usedRect.origin.x << "," << f.usedRect.origin.y << " " << f.usedRect.size.width;
        if (f.rect.origin.x >= hole.maxX() - 1 && f.rect.minY() < hole.maxY() && f.rect.maxY() > hole.minY())
            split = true;
    }
    EXPECT_TRUE(split) << "no line went on to the right of the hole";
    // The rotated hole is larger than the unrotated frame.
    EXPECT_GT(hole.size.width, 100);
}

TEST_F(TextWrapTest, EachWrapTypeKeepsItsSide) {
    struct Case {
        std::int32_t type;
        bool left, right;
    } cases[] = {{KXWrapTypeLeft, true, false},
                 {KXWrapTypeRight, false, true},
                 {KXWrapTypeCenter, false, false},
                 {KXWrapTypeRound, true, true},
                 {17, true, true}};
    for (const Case& c : cases) {
        auto g = graphAt({150, 150, 100, 100});
        g->setWrapType(c.type);
        Laid l = wrapped({g});
        const kx::Rect hole = downward(g->frameRect());
        bool left = false, right = false;
        for (const kx::LineFragment& f : l.manager->lineFragments()) {
            if (f.rect.maxY() <= hole.minY() + 1 || f.rect.minY() >= hole.maxY() - 1)
                continue;
            EXPECT_FALSE(f.usedRect.insetBy(0.5, 0.5).intersects(hole)) << c.type;
            left = left || f.usedRect.maxX() <= hole.minX();
            right = right || f.usedRect.minX() >= hole.maxX();
        }
        EXPECT_EQ(left, c.left) << c.type;
        EXPECT_EQ(right, c.right) << c.type;
        page->removeGraph(g.get());
    }
}

TEST_F(TextWrapTest, HoleNearTheLeftEdgePushesTheWholeFragmentRight) {
    KXTextContainer container({400, 400});
    container.setSingleFontWidth(20);
    kx::Rect remaining;
    // The hole starts 10 points in: within one "M".
    const kx::Rect f = container.adjustFragmentRectForHoleRect({0, 0, 400, 14}, {10, 0, 50, 30}, &remaining);
    EXPECT_EQ(f, kx::Rect(60, 0, 340, 14));
    EXPECT_EQ(remaining, kx::Rect());
    // Further in the fragment ends at the hole and the rest goes on behind it.
    const kx::Rect g = container.adjustFragmentRectForHoleRect({0, 0, 400, 14}, {100, 0, 50, 30}, &remaining);
    EXPECT_EQ(g, kx::Rect(0, 0, 100, 14));
    EXPECT_EQ(remaining, kx::Rect(150, 0, 250, 14));
    // A hole the fragment does not meet changes nothing.
    EXPECT_EQ(container.adjustFragmentRectForHoleRect({0, 0, 400, 14}, {0, 100, 50, 30}, nullptr),
              kx::Rect(0, 0, 400, 14));
}

TEST_F(TextWrapTest, WrapSpaceGrowsTheHoleAndAnEmptyWrapRectangleFallsBackToTheFrame) {
    auto g = graphAt({150, 150, 100, 100});
    KXTextContainer container({400, 400});
    container.setObjectRect(kx::Rect({0, 0}, page->previewSize()));
    container.setScaleWidth(1);
    container.setScaleHeight(1);
    g->setWrapType(KXWrapTypeRound);
    g->setTextWrapSpace(10);
    EXPECT_EQ(*container.holeRectForGraph(*g), kx::Rect(140, 140, 120, 120));
    g->setTextWrapSpace(-60);  // grown by a negative space to nothing
    EXPECT_EQ(*container.holeRectForGraph(*g), kx::Rect(150, 150, 100, 100));
    // No object rectangle yet: no holes.
    KXTextContainer fresh({400, 400});
    EXPECT_FALSE(fresh.holeRectForGraph(*g).has_value());
}

TEST_F(TextWrapTest, RotatedGroupTurnsItsMembersAndAFlippedUnrotatedGroupDoesNot) {
    auto group = graphAt({100, 100, 200, 100});
    auto member = std::make_shared<SolidGraph>();
    member->setGroup(group.get());
    const kx::Point centre = group->frameRect().center();
    group->setAngle(std::numbers::pi / 2);
    const kx::AffineTransform turned = KXTextContainer::affineTransRect({}, member.get());
    EXPECT_EQ(turned, makeTransformAboutCenter(centre, std::numbers::pi / 2, group->flipX(), group->flipY(), {}));
    group->setAngle(0);
    group->setFlipX(-1);
    EXPECT_TRUE(KXTextContainer::affineTransRect({}, member.get()).isIdentity());
    member->setGroup(nullptr);
}

TEST_F(TextWrapTest, ArchiveHasTheKeysAndRoundTripsWithSharedWrapObjects) {
    auto g = graphAt({150, 150, 100, 100});
    Laid l = wrapped({g, g});
    l.container->setObjectRect({1, 2, 3, 4});
    const QByteArray data = kx::KeyedArchiver::archivedDataWithRootObject(kx::Value(l.container));
    ASSERT_FALSE(data.isEmpty());
    if (hasPython()) {
        const QJsonObject keys = rootKeysSeenByPlistlib(data);
        for (const char* key : {"wrapArray", "scaleWidth", "scaleHeight", "objectRect", "singleFontWidth", "path",
                                "containSize"})
            EXPECT_TRUE(keys.contains(QLatin1String(key))) << key;
        EXPECT_EQ(keys.value(QStringLiteral("scaleWidth")).toArray().at(0).toString(), QStringLiteral("real"));
        EXPECT_EQ(keys.value(QStringLiteral("$class")).toArray().at(1).toString(), QStringLiteral("KXTextContainer"));
    }
    auto copy = l.container->copy();
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->size(), l.container->size());
    EXPECT_EQ(copy->objectRect(), l.container->objectRect());
    EXPECT_EQ(copy->singleFontWidth(), l.container->singleFontWidth());
    ASSERT_EQ(copy->wrapObjects().size(), 2u);
    EXPECT_EQ(copy->wrapObjects()[0], copy->wrapObjects()[1]);  // shared, not duplicated
    ASSERT_TRUE(copy->path());
    EXPECT_EQ(copy->path()->bounds(), l.container->path()->bounds());
    EXPECT_EQ(kx::KeyedArchiver::archivedDataWithRootObject(kx::Value(copy)), data);
}

namespace {
// Writes what a damaged file could hold under the container's class name.
class ForgedContainer : public kx::Object, public kx::Coding {
public:
    QString className() const override { return QStringLiteral("KXTextContainer"); }
    void encodeWithCoder(kx::KeyedArchiver& coder) const override {
        coder.encodeObject(kx::Value(kx::ValueArray{kx::Value(std::static_pointer_cast<kx::Object>(
                               std::make_shared<KXColumnInfo>(1, 0)))}),
                           QStringLiteral("wrapArray"));
        coder.encodeSize({100, 100}, QStringLiteral("containSize"));
    }
    void initWithCoder(kx::KeyedUnarchiver&) override {}
};
}  // namespace

TEST(TextContainerArchive, WrapObjectsThatAreNotGraphsFailTheArchive) {
    registerModelClasses();
    const QByteArray data = kx::KeyedArchiver::archivedDataWithRootObject(
        kx::Value(std::static_pointer_cast<kx::Object>(std::make_shared<ForgedContainer>())));
    kx::KeyedUnarchiver reader(data);
    EXPECT_FALSE(reader.decodeObjectOfClass<KXTextContainer>(QStringLiteral("root")));
    EXPECT_TRUE(reader.failed());
}
