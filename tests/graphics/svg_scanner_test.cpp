#include "graphics/svg_attributes.h"
#include "graphics/svg_color.h"
#include "graphics/svg_scanner.h"

#include <gtest/gtest.h>

#include <cmath>

using kx::Point;

namespace {

void expectColor(const kx::Color& c, double r, double g, double b, double a = 1.0) {
    ASSERT_FALSE(c.isNull());
    EXPECT_NEAR(c.red(), r, 1e-9);
    EXPECT_NEAR(c.green(), g, 1e-9);
    EXPECT_NEAR(c.blue(), b, 1e-9);
    EXPECT_NEAR(c.alpha(), a, 1e-9);
}

}  // namespace

TEST(SVGScanner, ScansDecimalNumbersInEveryForm) {
    struct Case {
        const char* text;
        bool read;
        double value;
        qsizetype endLocation;
    };
    const Case cases[] = {
        {"10", true, 10, 2},         {"  -2.5xyz", true, -2.5, 6}, {"+.5", true, 0.5, 3},
        {"5.", true, 5, 2},          {"1e3", true, 1000, 3},       {"1e", true, 1, 1},
        {"2E-2,", true, 0.02, 4},    {"-", false, 0, 0},           {".", false, 0, 0},
        {"", false, 0, 0},           {"abc", false, 0, 0},         {"1e-400", true, 0, 6},
        {"1e999", false, 0, 5},      {"  ", false, 0, 0},
    };
    for (const Case& c : cases) {
        SVGScanner scanner(QString::fromLatin1(c.text));
        double value = -1;
        EXPECT_EQ(scanner.scanDouble(&value), c.read) << c.text;
        if (c.read) {
            EXPECT_DOUBLE_EQ(value, c.value) << c.text;
        }
        EXPECT_EQ(scanner.scanLocation(), c.endLocation) << c.text;
    }
}

TEST(SVGScanner, SinglePrecisionRefusesNumbersBeyondItsRange) {
    SVGScanner big(QStringLiteral("1e39"));
    float value = 7;
    EXPECT_FALSE(big.scanFloat(&value));
    EXPECT_EQ(value, 7);
    SVGScanner fine(QStringLiteral("0.1"));
    EXPECT_TRUE(fine.scanFloat(&value));
    EXPECT_EQ(value, 0.1f);
}

TEST(SVGScanner, ScansHexadecimalNumbers) {
    struct Case {
        const char* text;
        bool read;
        unsigned value;
    };
    const Case cases[] = {{"ff8000", true, 0xff8000}, {"0x1F;", true, 0x1f},         {"F80", true, 0xf80},
                          {"ed", true, 0xed},         {"123456789abc", true, 0xFFFFFFFFu}, {"xyz", false, 0},
                          {"", false, 0}};
    for (const Case& c : cases) {
        SVGScanner scanner(QString::fromLatin1(c.text));
        unsigned value = 0;
        EXPECT_EQ(scanner.scanHexInt(&value), c.read) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
    }
}

TEST(SVGScanner, ConditionalIncrementNeverStepsOverTheStartOfANumber) {
    for (const char* text : {"-1", "+1", ".5", "7"}) {
        SVGScanner scanner(QString::fromLatin1(text));
        scanner.conditionallyIncrement();
        EXPECT_EQ(scanner.scanLocation(), 0) << text;
    }
    for (const char* text : {",1", " 1", "L1", "l.5"}) {
        SVGScanner scanner(QString::fromLatin1(text));
        scanner.conditionallyIncrement();
        EXPECT_EQ(scanner.scanLocation(), 1) << text;
    }
}

TEST(SVGScanner, ConditionalIncrementStepsOverAnythingButMinusAndStopsAtTheEnd) {
    SVGScanner scanner(QStringLiteral("L-"));
    EXPECT_EQ(scanner.initialCharacter(), QStringLiteral("L"));
    scanner.conditionallyIncrement();
    EXPECT_EQ(scanner.currentCharacter(), QLatin1Char('-'));
    scanner.conditionallyIncrement();
    EXPECT_EQ(scanner.scanLocation(), 1);
    scanner.setScanLocation(99);
    EXPECT_EQ(scanner.scanLocation(), 2);
    EXPECT_EQ(scanner.currentCharacter(), QChar());
    scanner.conditionallyIncrement();
    EXPECT_EQ(scanner.scanLocation(), 2);
    EXPECT_EQ(SVGScanner(QString()).initialCharacter(), QString());
}

TEST(SVGScanner, ScanPointReadsBothNumbersOrLeavesThePoint) {
    struct Case {
        const char* text;
        bool read;
        Point point;
    };
    const Case cases[] = {
        {"M10 20", true, {10, 20}},   {"M10,20", true, {10, 20}},  {"M 10, 20", true, {10, 20}},
        {"M10-20", true, {10, -20}},  {"M-1-2", true, {-1, -2}},   {"M10", false, {7, 7}},
        {"M", false, {7, 7}},         {"M10 ,20", false, {7, 7}},  {"M1e39 2", false, {7, 7}},
        // Compact forms: the point or sign that ends one number begins the next.
        {"M0.5.5", true, {0.5, 0.5}}, {"l-.7.7", true, {-0.7f, 0.7f}}, {"M.5-.5", true, {0.5, -0.5}},
        {"M1.5.25", true, {1.5, 0.25}}, {"M1e2.5", true, {100, 0.5}}, {"M3+4", true, {3, 4}},
    };
    for (const Case& c : cases) {
        SVGScanner scanner(QString::fromLatin1(c.text));
        Point p(7, 7);
        EXPECT_EQ(scanner.scanPoint(&p), c.read) << c.text;
        EXPECT_EQ(p, c.point) << c.text;
    }
}

TEST(SVGColor, HexadecimalColoursAndTheirQuirks) {
    expectColor(colorFromHexString(QStringLiteral("#ff8000")), 1, 128 / 255.0, 0);
    expectColor(colorFromHexString(QStringLiteral("#F80")), 0, 0x0F / 255.0, 0x80 / 255.0);
    expectColor(colorFromHexString(QStringLiteral("black")), 0, 0, 0);
    expectColor(colorFromHexString(QStringLiteral("red")), 0, 0, 0xED / 255.0);  // "ed" follows the first letter
    expectColor(colorFromHexString(QStringLiteral("rgb(255,0,0)")), 0, 0, 0);
    expectColor(colorFromHexString(QStringLiteral("")), 0, 0, 0);
    expectColor(colorFromHexString(QStringLiteral("#123456789")), 1, 1, 1);  // overflow saturates
    EXPECT_TRUE(colorFromHexString(QStringLiteral("none")).isNull());
    EXPECT_TRUE(colorFromHexString(std::nullopt).isNull());
}

TEST(SVGAttributes, MissingAttributesTakeTheirDefaults) {
    const SVGAttributes none;
    EXPECT_EQ(floatForKey(none, "x"), 0);
    EXPECT_FALSE(opacityForKey(none, "opacity"));
    expectColor(fillColorForKey(none, "fill"), 0, 0, 0);
    EXPECT_TRUE(strokeColorForKey(none, "stroke").isNull());
    EXPECT_EQ(strokeWeightForKey(none, "stroke-width"), 1);
    EXPECT_FALSE(dashArrayForKey(none, "stroke-dasharray"));
    EXPECT_EQ(miterLimitForKey(none, "stroke-miterlimit"), 10);
    EXPECT_EQ(lineCapForKey(none, "stroke-linecap"), kx::BezierPath::LineCapStyle::Butt);
    EXPECT_EQ(lineJoinForKey(none, "stroke-linejoin"), kx::BezierPath::LineJoinStyle::Miter);
    EXPECT_FALSE(transformForKey(none, "transform"));
}

TEST(SVGAttributes, NumbersAreTheLeadingNumberOfTheText) {
    const SVGAttributes a{{"p", "50%"}, {"q", "10px"}, {"r", "abc"}, {"o", "0.5"}, {"w", " 3 "}};
    EXPECT_EQ(floatForKey(a, "p"), 50);
    EXPECT_EQ(floatForKey(a, "q"), 10);
    EXPECT_EQ(floatForKey(a, "r"), 0);
    EXPECT_EQ(opacityForKey(a, "o"), 0.5f);
    EXPECT_EQ(opacityForKey(a, "r"), 0.0f);
    EXPECT_EQ(strokeWeightForKey(a, "w"), 3);
}

TEST(SVGAttributes, DashArraysSplitAtCommasOnly) {
    const SVGAttributes a{{"d1", "5,2.5"}, {"d2", "5 2"}, {"d3", "none"}};
    EXPECT_EQ(*dashArrayForKey(a, "d1"), (std::vector<float>{5, 2.5f}));
    EXPECT_EQ(*dashArrayForKey(a, "d2"), (std::vector<float>{5}));
    EXPECT_EQ(*dashArrayForKey(a, "d3"), (std::vector<float>{0}));
}

TEST(SVGAttributes, CapsAndJoins) {
    const SVGAttributes a{{"c1", "round"}, {"c2", "square"}, {"c3", "Round"}, {"j1", "round"}, {"j2", "bevel"},
                          {"j3", "miter-clip"}};
    EXPECT_EQ(lineCapForKey(a, "c1"), kx::BezierPath::LineCapStyle::Round);
    EXPECT_EQ(lineCapForKey(a, "c2"), kx::BezierPath::LineCapStyle::Square);
    EXPECT_EQ(lineCapForKey(a, "c3"), kx::BezierPath::LineCapStyle::Butt);
    EXPECT_EQ(lineJoinForKey(a, "j1"), kx::BezierPath::LineJoinStyle::Round);
    EXPECT_EQ(lineJoinForKey(a, "j2"), kx::BezierPath::LineJoinStyle::Bevel);
    EXPECT_EQ(lineJoinForKey(a, "j3"), kx::BezierPath::LineJoinStyle::Miter);
}

TEST(SVGAttributes, OnlyCompleteMatrixTransformsAreRead) {
    struct Case {
        const char* text;
        std::optional<kx::AffineTransform> expected;
    };
    const Case cases[] = {
        {"matrix(1 2 3 4 5 6)", kx::AffineTransform(1, 2, 3, 4, 5, 6)},
        {"matrix(1,0,0,1,-5,2.5)", kx::AffineTransform(1, 0, 0, 1, -5, 2.5)},
        {" matrix(2 0 0 2 0 0)", kx::AffineTransform(2, 0, 0, 2, 0, 0)},
        {"matrix(1 0 0 1 5)", std::nullopt},
        {"matrix(1 0 0 1 5 1e39)", std::nullopt},
        {"translate(10 20)", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        const SVGAttributes a{{"transform", QString::fromLatin1(c.text)}};
        EXPECT_EQ(transformForKey(a, "transform"), c.expected) << c.text;
    }
}
