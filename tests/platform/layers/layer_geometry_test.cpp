#include "platform/layers/layer.h"
#include "platform/layers/layer_renderer.h"

#include "support/pixel_probe.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace kx;

namespace {

constexpr double kPi = std::numbers::pi;

std::shared_ptr<Layer> makeLayer(const Rect& bounds, const Point& anchor, const Point& position,
                                 const AffineTransform& transform = AffineTransform()) {
    auto layer = std::make_shared<Layer>();
    layer->setBounds(bounds);
    layer->setAnchorPoint(anchor);
    layer->setPosition(position);
    layer->setAffineTransform(transform);
    return layer;
}

::testing::AssertionResult pointNear(const Point& actual, const Point& expected, double tolerance = 1e-9) {
    if (std::fabs(actual.x - expected.x) <= tolerance && std::fabs(actual.y - expected.y) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << actual.x << ", " << actual.y << ") is not near (" << expected.x
                                         << ", " << expected.y << ")";
}

::testing::AssertionResult rectNear(const Rect& actual, const Rect& expected, double tolerance = 1e-9) {
    auto near = [tolerance](double a, double b) { return std::fabs(a - b) <= tolerance; };
    if (near(actual.minX(), expected.minX()) && near(actual.minY(), expected.minY()) &&
        near(actual.width(), expected.width()) && near(actual.height(), expected.height()))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << stringFromRect(actual).toStdString() << " is not near "
                                         << stringFromRect(expected).toStdString();
}

const kxtest::Rgba kRed{255, 0, 0, 255};
const kxtest::Rgba kClear{0, 0, 0, 0};

}  // namespace

TEST(LayerGeometry, DefaultsPutTheAnchorAtTheCentre) {
    Layer layer;
    EXPECT_EQ(layer.anchorPoint(), Point(0.5, 0.5));
    EXPECT_TRUE(layer.affineTransform().isIdentity());
    EXPECT_EQ(layer.opacity(), 1.0);
    EXPECT_EQ(layer.shadowOpacity(), 0.0);
    EXPECT_EQ(layer.shadowRadius(), 3.0);
    EXPECT_EQ(layer.shadowOffset(), Size(0, -3));
    EXPECT_EQ(layer.shadowColor(), Color::srgb(0, 0, 0, 1));
    layer.setBounds(Rect(0, 0, 40, 20));
    layer.setPosition(Point(100, 50));
    EXPECT_EQ(layer.frame(), Rect(80, 40, 40, 20));
}

TEST(LayerGeometry, SetFramePlacesTheAnchorAndKeepsTheBoundsOrigin) {
    auto layer = makeLayer(Rect(5, 7, 1, 1), Point(0.25, 1), Point());
    layer->setFrame(Rect(10, 20, 80, 40));
    EXPECT_EQ(layer->bounds(), Rect(5, 7, 80, 40));
    EXPECT_EQ(layer->position(), Point(30, 60));
    EXPECT_EQ(layer->frame(), Rect(10, 20, 80, 40));
}

// A 60 x 20 bar turned about different anchor points: the frame and the painted pixels must both land where the
// anchor-point model puts them. Expected frames are worked out by hand from the corners of the bar.
struct TurnedBarCase {
    const char* name;
    Point anchor;
    Point position;
    AffineTransform transform;
    Rect expectedFrame;
};

void PrintTo(const TurnedBarCase& c, std::ostream* os) {
    *os << c.name;
}

class TurnedBar : public ::testing::TestWithParam<TurnedBarCase> {};

TEST_P(TurnedBar, LandsWhereTheAnchorModelPutsIt) {
    const TurnedBarCase& c = GetParam();
    auto root = makeLayer(Rect(0, 0, 200, 200), Point(0, 0), Point());
    auto bar = makeLayer(Rect(0, 0, 60, 20), c.anchor, c.position, c.transform);
    bar->setBackgroundColor(Color::srgb(1, 0, 0));
    root->addSublayer(bar);

    EXPECT_TRUE(rectNear(bar->frame(), c.expectedFrame, 1e-9));

    const QImage image = renderLayerTree(*root).qimage();
    ASSERT_EQ(image.size(), QSize(200, 200));
    const Rect f = c.expectedFrame;
    const int x0 = int(f.minX()), x1 = int(f.maxX()) - 1, y0 = int(f.minY()), y1 = int(f.maxY()) - 1;
    // Every corner pixel of the expected frame is painted, and the pixels just past each edge are not.
    EXPECT_EQ(kxtest::pixelAtYUp(image, x0, y0), kRed);
    EXPECT_EQ(kxtest::pixelAtYUp(image, x1, y0), kRed);
    EXPECT_EQ(kxtest::pixelAtYUp(image, x0, y1), kRed);
    EXPECT_EQ(kxtest::pixelAtYUp(image, x1, y1), kRed);
    const int midX = int(f.midX()), midY = int(f.midY());
    EXPECT_EQ(kxtest::pixelAtYUp(image, x0 - 1, midY), kClear);
    EXPECT_EQ(kxtest::pixelAtYUp(image, x1 + 1, midY), kClear);
    EXPECT_EQ(kxtest::pixelAtYUp(image, midX, y0 - 1), kClear);
    EXPECT_EQ(kxtest::pixelAtYUp(image, midX, y1 + 1), kClear);
}

INSTANTIATE_TEST_SUITE_P(
    AnchorsAndTurns, TurnedBar,
    ::testing::Values(
        TurnedBarCase{"BottomLeftAnchorQuarterTurn", Point(0, 0), Point(100, 100),
                      AffineTransform::makeRotation(kPi / 2), Rect(80, 100, 20, 60)},
        TurnedBarCase{"RightMiddleAnchorQuarterTurn", Point(1, 0.5), Point(100, 100),
                      AffineTransform::makeRotation(kPi / 2), Rect(90, 40, 20, 60)},
        TurnedBarCase{"TopLeftAnchorClockwiseQuarterTurn", Point(0, 1), Point(50, 150),
                      AffineTransform::makeRotation(-kPi / 2), Rect(30, 90, 20, 60)},
        TurnedBarCase{"QuarterAlongBottomHalfTurn", Point(0.25, 0), Point(100, 60),
                      AffineTransform::makeRotation(kPi), Rect(55, 40, 60, 20)},
        TurnedBarCase{"LeftMiddleAnchorMirrored", Point(0, 0.5), Point(100, 100),
                      AffineTransform::makeScale(-1, 1), Rect(40, 90, 60, 20)},
        TurnedBarCase{"BottomMiddleAnchorMirroredVertically", Point(0.5, 0), Point(100, 100),
                      AffineTransform::makeScale(1, -1), Rect(70, 80, 60, 20)},
        TurnedBarCase{"TranslatingTransformAddsToThePosition", Point(0, 0), Point(20, 30),
                      AffineTransform::makeTranslation(10, 5), Rect(30, 35, 60, 20)}),
    [](const ::testing::TestParamInfo<TurnedBarCase>& info) { return std::string(info.param.name); });

TEST(LayerGeometry, EighthTurnAboutTheCornerPaintsTheTurnedBarOnly) {
    auto root = makeLayer(Rect(0, 0, 200, 200), Point(0, 0), Point());
    auto bar = makeLayer(Rect(0, 0, 60, 20), Point(0, 0), Point(100, 50), AffineTransform::makeRotation(kPi / 4));
    bar->setBackgroundColor(Color::srgb(1, 0, 0));
    root->addSublayer(bar);
    const double h = std::sqrt(0.5);
    EXPECT_TRUE(rectNear(bar->frame(), Rect(100 - 20 * h, 50, 80 * h, 80 * h), 1e-9));

    const QImage image = renderLayerTree(*root).qimage();
    // Inside: 30 along the bar, 10 across it.
    EXPECT_EQ(kxtest::pixelAtYUp(image, int(100 + 20 * h), int(50 + 40 * h)), kRed);
    // Inside the frame's box but outside the turned bar (the box's lower right corner).
    EXPECT_EQ(kxtest::pixelAtYUp(image, 138, 53), kClear);
    EXPECT_EQ(kxtest::pixelAtYUp(image, 88, 100), kClear);
}

TEST(LayerGeometry, BoundsOriginShiftsWhereSublayersAppear) {
    auto root = makeLayer(Rect(0, 0, 200, 200), Point(0, 0), Point());
    auto parent = makeLayer(Rect(10, 10, 60, 20), Point(0, 0), Point(100, 100));
    auto child = makeLayer(Rect(0, 0, 4, 4), Point(0, 0), Point(10, 10));
    child->setBackgroundColor(Color::srgb(1, 0, 0));
    parent->addSublayer(child);
    root->addSublayer(parent);
    EXPECT_EQ(child->convertPointToLayer(Point(0, 0), root.get()), Point(100, 100));
    const QImage image = renderLayerTree(*root).qimage();
    EXPECT_EQ(kxtest::pixelAtYUp(image, 101, 101), kRed);
    EXPECT_EQ(kxtest::pixelAtYUp(image, 111, 111), kClear);
}

TEST(LayerConversion, MapsThroughPositionAnchorAndTransform) {
    auto root = makeLayer(Rect(0, 0, 300, 300), Point(0, 0), Point());
    auto layer = makeLayer(Rect(0, 0, 60, 20), Point(1, 0.5), Point(100, 100), AffineTransform::makeRotation(kPi / 2));
    root->addSublayer(layer);
    // The anchor point lands on the position; the bar's left end points down after a quarter turn.
    EXPECT_TRUE(pointNear(layer->convertPointToLayer(Point(60, 10), root.get()), Point(100, 100)));
    EXPECT_TRUE(pointNear(layer->convertPointToLayer(Point(0, 10), root.get()), Point(100, 40)));
    EXPECT_TRUE(pointNear(layer->convertPointToLayer(Point(60, 20), root.get()), Point(90, 100)));
    EXPECT_TRUE(pointNear(root->convertPointToLayer(Point(100, 40), layer.get()), Point(0, 10)));
    // A null layer stands for the root.
    EXPECT_TRUE(pointNear(layer->convertPointToLayer(Point(0, 10), nullptr), Point(100, 40)));
    EXPECT_TRUE(pointNear(layer->convertPointFromLayer(Point(100, 40), nullptr), Point(0, 10)));
    EXPECT_TRUE(rectNear(layer->convertRectToLayer(Rect(0, 0, 30, 20), root.get()), Rect(90, 40, 20, 30)));
}

TEST(LayerConversion, RoundTripsUnderRotationsAndFlips) {
    auto root = makeLayer(Rect(0, 0, 500, 400), Point(0, 0), Point());
    auto a = makeLayer(Rect(5, -3, 80, 60), Point(0.2, 0.7), Point(50, 40), AffineTransform::makeRotation(0.52));
    auto b = makeLayer(Rect(0, 0, 40, 30), Point(0.5, 0.5), Point(30, 20),
                       AffineTransform::concat(AffineTransform::makeScale(-1, 1), AffineTransform::makeRotation(1.1)));
    auto c = makeLayer(Rect(-10, 4, 25, 35), Point(1, 0), Point(7, 9),
                       AffineTransform::concat(AffineTransform::makeScale(1, -1), AffineTransform::makeRotation(-1.3)));
    auto d = makeLayer(Rect(0, 0, 100, 50), Point(0, 1), Point(300, 200),
                       AffineTransform::concat(AffineTransform::makeScale(-2, 2), AffineTransform::makeRotation(2.1)));
    auto e = makeLayer(Rect(3, 3, 10, 10), Point(0.3, 0.9), Point(-20, 15), AffineTransform::makeScale(0.5, -1.5));
    root->addSublayer(a);
    a->addSublayer(b);
    b->addSublayer(c);
    root->addSublayer(d);
    d->addSublayer(e);

    const std::vector<Layer*> layers{root.get(), a.get(), b.get(), c.get(), d.get(), e.get()};
    const std::vector<Point> points{Point(0, 0), Point(12.5, -7.25), Point(-300, 140), Point(1e4, 3e3)};
    for (Layer* from : layers) {
        for (Layer* to : layers) {
            for (const Point& p : points) {
                const Point there = from->convertPointToLayer(p, to);
                EXPECT_TRUE(pointNear(to->convertPointToLayer(there, from), p, 1e-7));
                EXPECT_TRUE(pointNear(to->convertPointFromLayer(p, from), there, 1e-7));
                EXPECT_TRUE(pointNear(from->convertPointFromLayer(there, to), p, 1e-7));
            }
        }
    }
    // A flip keeps distances and reverses the turning sense: three points keep their order reversed.
    const Point p0 = c->convertPointToLayer(Point(0, 0), root.get());
    const Point p1 = c->convertPointToLayer(Point(1, 0), root.get());
    const Point p2 = c->convertPointToLayer(Point(0, 1), root.get());
    EXPECT_NEAR(std::hypot(p1.x - p0.x, p1.y - p0.y), 1.0, 1e-9);
    const double cross = (p1.x - p0.x) * (p2.y - p0.y) - (p1.y - p0.y) * (p2.x - p0.x);
    EXPECT_NEAR(cross, 1.0, 1e-9);  // two flips (b and c) cancel
    const Point q1 = b->convertPointToLayer(Point(1, 0), root.get());
    const Point q2 = b->convertPointToLayer(Point(0, 1), root.get());
    const Point q0 = b->convertPointToLayer(Point(0, 0), root.get());
    EXPECT_NEAR((q1.x - q0.x) * (q2.y - q0.y) - (q1.y - q0.y) * (q2.x - q0.x), -1.0, 1e-9);
}

TEST(LayerConversion, GoesThroughTheNearestCommonAncestorOnly) {
    // An ancestor squashed to nothing cannot be inverted; siblings below it still convert between themselves.
    auto root = makeLayer(Rect(0, 0, 100, 100), Point(0, 0), Point());
    auto squashed = makeLayer(Rect(0, 0, 50, 50), Point(0, 0), Point(10, 10), AffineTransform::makeScale(0, 0));
    auto a = makeLayer(Rect(0, 0, 10, 10), Point(0, 0), Point(5, 5));
    auto b = makeLayer(Rect(0, 0, 10, 10), Point(0, 0), Point(20, 5), AffineTransform::makeRotation(kPi));
    root->addSublayer(squashed);
    squashed->addSublayer(a);
    squashed->addSublayer(b);
    EXPECT_TRUE(pointNear(a->convertPointToLayer(Point(1, 2), b.get()), Point(14, -2)));
}

TEST(LayerConversion, SeparateTreesShareTheirRootsSpaces) {
    auto rootA = makeLayer(Rect(0, 0, 100, 100), Point(0, 0), Point(500, 500));
    auto rootB = makeLayer(Rect(0, 0, 100, 100), Point(0, 0), Point(-70, 3));
    auto a = makeLayer(Rect(0, 0, 10, 10), Point(0, 0), Point(5, 6));
    auto b = makeLayer(Rect(0, 0, 10, 10), Point(0, 0), Point(20, 30));
    rootA->addSublayer(a);
    rootB->addSublayer(b);
    EXPECT_TRUE(pointNear(a->convertPointToLayer(Point(0, 0), b.get()), Point(-15, -24)));
}

TEST(LayerGeometry, ContainsPointUsesTheLayersOwnBounds) {
    auto layer = makeLayer(Rect(-5, -5, 10, 10), Point(0, 0), Point(100, 100));
    EXPECT_TRUE(layer->containsPoint(Point(-5, -5)));
    EXPECT_TRUE(layer->containsPoint(Point(4.9, 0)));
    EXPECT_FALSE(layer->containsPoint(Point(5, 0)));
    EXPECT_FALSE(layer->containsPoint(Point(100, 100)));
}
