#include "model/stroke.h"

#include "archive_probe.h"
#include "graphics/color_utilities.h"
#include "model/model_classes.h"
#include "observer_recorder.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "support/outside_tools.h"
#include "support/pixel_probe.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

class StrokeTest : public ::testing::Test {
protected:
    void SetUp() override { registerModelClasses(); }
};

TEST_F(StrokeTest, StartsAsAThinBlackSolidAbsoluteBorder) {
    KXStroke stroke;
    EXPECT_EQ(stroke.style(), KXStrokeStyleSolid);
    EXPECT_EQ(stroke.type(), KXStrokeWidthAbsolute);
    EXPECT_DOUBLE_EQ(stroke.width(), 0.5);
    EXPECT_EQ(stroke.t_color(), makeRGBA(0, 0, 0, 255));
    EXPECT_EQ(stroke.color(), kx::Color::srgb(0, 0, 0, 1));
}

TEST_F(StrokeTest, PackedColourAndDrawingColourStayTogether) {
    KXStroke stroke;
    stroke.setColor(kx::Color::srgb(1, 0, 0, 1));
    EXPECT_EQ(stroke.t_color(), makeRGBA(255, 0, 0, 255));
    stroke.setT_color(makeRGBA(0, 0, 255, 128));
    EXPECT_NEAR(stroke.color().blue(), 1.0, 1e-6);
    EXPECT_NEAR(stroke.color().alpha(), 128 / 255.0, 1e-6);
    // Only the low 32 bits name a colour; the stored value says the same colour as the drawing colour.
    stroke.setT_color((std::int64_t(7) << 40) | std::uint32_t(makeRGBA(0, 255, 0, 255)));
    EXPECT_EQ(stroke.t_color(), makeRGBA(0, 255, 0, 255));
    EXPECT_EQ(rgbaFromCGColor(stroke.color()), stroke.t_color());
}

TEST_F(StrokeTest, AnnouncesStyleWidthAndColourButNotType) {
    auto stroke = std::make_shared<KXStroke>();
    kxtest::ObserverRecorder recorder;
    stroke->addObserver(&recorder);
    stroke->addObserver(nullptr);  // registers nothing
    stroke->setStyle(2);
    stroke->setWidth(3);
    stroke->setT_color(makeRGBA(1, 2, 3, 4));
    stroke->setType(KXStrokeWidthRelative);
    EXPECT_EQ(recorder.keys(), (QStringList{"style", "width", "t_color"}));
    EXPECT_EQ(recorder.changes[1].oldValue, kx::Value(0.5));
    EXPECT_EQ(recorder.changes[1].newValue, kx::Value(3.0));
    stroke->removeObserver(&recorder);
    stroke->setStyle(1);
    EXPECT_EQ(recorder.changes.size(), 3u);
    // Undo puts values back by key.
    EXPECT_TRUE(stroke->setValueForKey("width", kx::Value(0.5)));
    EXPECT_DOUBLE_EQ(stroke->width(), 0.5);
}

TEST_F(StrokeTest, SetStrokeCopiesThroughTheSettersAndKeepsTheType) {
    auto stroke = std::make_shared<KXStroke>();
    stroke->setType(KXStrokeWidthRelative);
    KXStroke other;
    other.setStyle(KXStrokeStyleDot);
    other.setWidth(4);
    other.setT_color(makeRGBA(9, 8, 7, 255));
    kxtest::ObserverRecorder recorder;
    stroke->addObserver(&recorder);
    stroke->setStroke(&other);
    stroke->setStroke(nullptr);
    EXPECT_EQ(recorder.keys(), (QStringList{"style", "width", "t_color"}));
    EXPECT_EQ(stroke->style(), KXStrokeStyleDot);
    EXPECT_DOUBLE_EQ(stroke->width(), 4);
    EXPECT_EQ(stroke->t_color(), other.t_color());
    EXPECT_EQ(stroke->type(), KXStrokeWidthRelative);
    stroke->removeObserver(&recorder);
}

TEST_F(StrokeTest, WidthConversions) {
    KXStroke stroke;
    stroke.setWidth(1);
    EXPECT_DOUBLE_EQ(stroke.borderWidthWithReference(400, 1), 4);
    EXPECT_DOUBLE_EQ(stroke.borderWidthWithReference(400, 0.5), 2);
    kx::BitmapContext context(10, 10);
    stroke.configContext(context, 0.5);
    EXPECT_DOUBLE_EQ(context.lineWidth(), 0.5);
}

// Runs of the stroke colour along the middle row of a horizontal line drawn from x = 0 to x = 200.
struct Runs {
    std::vector<int> on, off;
};

Runs runsAlongLine(const QImage& image, int row) {
    Runs runs;
    int x = 0;
    const auto inked = [&](int px) { return kxtest::pixelAtYUp(image, px, row).a > 127; };
    while (x < image.width()) {
        const bool ink = inked(x);
        int length = 0;
        while (x < image.width() && inked(x) == ink) {
            ++x;
            ++length;
        }
        (ink ? runs.on : runs.off).push_back(length);
    }
    return runs;
}

// The thickness of ink across the line at column x.
int thicknessAt(const QImage& image, int x) {
    int rows = 0;
    for (int y = 0; y < image.height(); ++y)
        rows += kxtest::pixelAtYUp(image, x, y).a > 127 ? 1 : 0;
    return rows;
}

QImage drawnLine(unsigned style, double width, double zoom) {
    KXStroke stroke;
    stroke.setStyle(style);
    stroke.setWidth(width);
    kx::BitmapContext context(200, 40);
    kx::Path path;
    path.moveTo(kx::Point(0, 20));
    path.lineTo(kx::Point(200, 20));
    context.setShouldAntialias(false);
    stroke.drawInContext(context, path, zoom);
    return context.makeImage().qimage();
}

TEST_F(StrokeTest, DashLengthsAndWidthsFollowTheStyleAndTheZoom) {
    struct Case {
        unsigned style;
        double zoom;
        int expectedWidth;
        int on, off;
    };
    // Line width 2 points: w = 2 × zoom pixels.
    const Case cases[] = {
        {KXStrokeStyleDash, 1, 2, 2, 2},        {KXStrokeStyleDash, 2, 4, 4, 4},
        {KXStrokeStyleLongDash, 1, 2, 4, 4},    {KXStrokeStyleLongDash, 2, 4, 8, 8},
        {KXStrokeStyleLongerDash, 1, 2, 6, 6},  {KXStrokeStyleLongerDash, 2, 4, 12, 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "style " << c.style << " zoom " << c.zoom);
        const QImage image = drawnLine(c.style, 2, c.zoom);
        const Runs runs = runsAlongLine(image, 20);
        ASSERT_GT(runs.on.size(), 4u);
        // Inner runs (the first and last may be cut by the image edges).
        for (size_t i = 1; i + 1 < runs.on.size(); ++i)
            EXPECT_NEAR(runs.on[i], c.on, 1);
        for (size_t i = 1; i + 1 < runs.off.size(); ++i)
            EXPECT_NEAR(runs.off[i], c.off, 1);
        EXPECT_NEAR(thicknessAt(image, 1), c.expectedWidth, 1);
    }
}

TEST_F(StrokeTest, DotsAreRoundAndSpacedByThreeWidths) {
    for (double zoom : {1.0, 2.0}) {
        SCOPED_TRACE(zoom);
        const QImage image = drawnLine(KXStrokeStyleDot, 4, zoom);
        const Runs runs = runsAlongLine(image, 20);
        ASSERT_GT(runs.on.size(), 3u);
        const double w = 4 * zoom;
        // Zero-length dashes with round caps: dots of diameter w every 3w.
        for (size_t i = 1; i + 1 < runs.on.size(); ++i) {
            EXPECT_NEAR(runs.on[i], w, 2);
            EXPECT_NEAR(runs.on[i] + runs.off[i], 3 * w, 2);
        }
    }
}

TEST_F(StrokeTest, UnknownStylesDrawSolid) {
    const QImage solid = drawnLine(KXStrokeStyleSolid, 2, 1);
    EXPECT_EQ(runsAlongLine(solid, 20).on, std::vector<int>{200});
    for (unsigned style : {5u, 6u, 1000u})
        EXPECT_EQ(kxtest::maxChannelDifference(drawnLine(style, 2, 1), solid), 0) << style;
}

TEST_F(StrokeTest, RectangleStrokeUsesTheZoomedWidth) {
    KXStroke stroke;
    stroke.setWidth(2);
    kx::BitmapContext context(60, 60);
    context.setShouldAntialias(false);
    stroke.drawInContext(context, kx::Rect(10, 10, 40, 40), 2);
    const QImage image = context.makeImage().qimage();
    EXPECT_EQ(thicknessAt(image, 30), 8);  // the two horizontal edges, 4 pixels each
    EXPECT_EQ(kxtest::pixelAtYUp(image, 30, 30).a, 0);
}

TEST_F(StrokeTest, ArchiveKeysAsPlistlibSeesThem) {
    KX_REQUIRE_TOOLS("/usr/bin/python3");
    KXStroke stroke;
    stroke.setType(1);
    stroke.setStyle(3);
    stroke.setWidth(2.7);
    stroke.setT_color(makeRGBA(10, 20, 30, 40));
    const QJsonObject keys = kxtest::rootKeysSeenByPlistlib(kxtest::archiveOf(stroke));
    EXPECT_EQ(kxtest::kindOf(keys, "$class"), "$class");
    EXPECT_EQ(kxtest::valueOf(keys, "$class").toString(), "KXStroke");
    EXPECT_EQ(kxtest::kindOf(keys, "type"), "int");
    EXPECT_EQ(kxtest::kindOf(keys, "style"), "int");
    EXPECT_EQ(kxtest::kindOf(keys, "width"), "real");
    EXPECT_EQ(kxtest::kindOf(keys, "t_color"), "int");
    EXPECT_EQ(keys.size(), 5);
    EXPECT_EQ(kxtest::valueOf(keys, "style").toInt(), 3);
    // Single precision: 2.7 comes back as the nearest float.
    EXPECT_DOUBLE_EQ(kxtest::valueOf(keys, "width").toDouble(), double(2.7f));
    EXPECT_EQ(kxtest::valueOf(keys, "t_color").toInteger(), makeRGBA(10, 20, 30, 40));
}

TEST_F(StrokeTest, CopyAndRoundTripGiveAnEqualStroke) {
    KXStroke stroke;
    stroke.setType(1);
    stroke.setStyle(4);
    stroke.setWidth(1.25);
    stroke.setT_color(makeRGBA(200, 100, 50, 255));
    const auto copy = stroke.copy();
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->type(), 1u);
    EXPECT_EQ(copy->style(), 4u);
    EXPECT_DOUBLE_EQ(copy->width(), 1.25);
    EXPECT_EQ(copy->t_color(), stroke.t_color());
    EXPECT_EQ(copy->color(), stroke.color());
}

// Writes a stroke archive with a width that is not a number.
class ForgedStroke : public kx::Object, public kx::Coding {
public:
    QString className() const override { return QStringLiteral("KXStroke"); }
    void encodeWithCoder(kx::KeyedArchiver& coder) const override {
        coder.encodeFloat(std::numeric_limits<float>::quiet_NaN(), QStringLiteral("width"));
        coder.encodeInteger(-3, QStringLiteral("style"));
    }
    void initWithCoder(kx::KeyedUnarchiver&) override {}
};

TEST_F(StrokeTest, DamagedValuesReadAsUsableOnes) {
    const QByteArray data = kx::KeyedArchiver::archivedDataWithRootObject(std::make_shared<ForgedStroke>());
    const auto value = kx::KeyedUnarchiver::unarchiveObjectWithData(data);
    ASSERT_TRUE(value);
    const auto stroke = value->objectAs<KXStroke>();
    ASSERT_TRUE(stroke);
    EXPECT_DOUBLE_EQ(stroke->width(), 0.5);
    EXPECT_EQ(stroke->t_color(), 0);  // a missing colour reads as 0: transparent black
    // A style out of the table draws solid.
    kx::BitmapContext context(20, 20);
    stroke->configContext(context, 1);
}

}  // namespace
