#include "graphics/svg_parser.h"
#include "support/qt_message_check.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using kx::BezierPath;
using kx::Point;
using kx::Rect;
using Type = BezierPath::ElementType;

namespace {

QByteArray document(const QByteArray& body, const QByteArray& rootAttributes = "viewBox=\"0 0 100 50\"") {
    return "<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" " + rootAttributes + ">" + body +
           "</svg>";
}

struct Parsed {
    bool ok = false;
    std::vector<std::shared_ptr<KXStyledBezierPath>> paths;
    Rect viewBox;
};

Parsed parse(const QByteArray& data) {
    KXSVGParser parser(data);
    Parsed result;
    result.ok = parser.parseSVGDocument();
    result.paths = parser.paths();
    result.viewBox = parser.viewBox();
    return result;
}

// The elements of the path data of one path element.
std::vector<BezierPath::Element> elementsOfPathData(const char* d) {
    const Parsed p = parse(document(QByteArray("<path d=\"") + d + "\"/>"));
    EXPECT_TRUE(p.ok);
    if (p.paths.size() != 1)
        return {};
    return p.paths[0]->path()->elements();
}

BezierPath::Element move(Point p) { return {Type::MoveTo, {p, {}, {}}}; }
BezierPath::Element line(Point p) { return {Type::LineTo, {p, {}, {}}}; }
BezierPath::Element curve(Point c1, Point c2, Point end) { return {Type::CurveTo, {c1, c2, end}}; }
BezierPath::Element close() { return {Type::ClosePath, {}}; }

}  // namespace

TEST(SVGPathData, SplitsAtCommandLetters) {
    EXPECT_EQ(KXStyledBezierPathFactory::commandListForCommandString("M10 10L20 20z"),
              (QStringList{"M10 10", "L20 20", "z"}));
    EXPECT_EQ(KXStyledBezierPathFactory::commandListForCommandString(" M1 1"), (QStringList{" ", "M1 1"}));
    EXPECT_EQ(KXStyledBezierPathFactory::commandListForCommandString("M1e5 2"), (QStringList{"M1e5 2"}));
    EXPECT_EQ(KXStyledBezierPathFactory::commandListForCommandString(""), QStringList());
    EXPECT_EQ(KXStyledBezierPathFactory::commandListForPolylineString(" 0,0  10,0 10,10"),
              (QStringList{"M0,0", "L10,0", "L10,10"}));
}

TEST(SVGPathData, CommandsAndTheirQuirks) {
    struct Case {
        const char* d;
        std::vector<BezierPath::Element> expected;
    };
    const Case cases[] = {
        // Each command reads one set of arguments; the second pair of the L is ignored.
        {"M10 10 L20 10 20 20 Z", {move({10, 10}), line({20, 10}), close()}},
        // The arc is dropped and the current point stays.
        {"M10 10 A5 5 0 0 1 20 20 L30 30", {move({10, 10}), line({30, 30})}},
        // A quadratic becomes a cubic with both controls at the quadratic's control point.
        {"M10 10 Q20 0 30 10", {move({10, 10}), curve({20, 0}, {20, 0}, {30, 10})}},
        // Relative curve: every point offset by the start point.
        {"M10 10 c1 2 3 4 5 6", {move({10, 10}), curve({11, 12}, {13, 14}, {15, 16})}},
        // Smooth curve reflects the last control point through the current point.
        {"M0 0 C0 10 10 10 10 0 S20 -10 20 0", {move({0, 0}), curve({0, 10}, {10, 10}, {10, 0}),
                                                curve({10, -10}, {20, -10}, {20, 0})}},
        {"M5 5 H15 V25 h-5 v-5", {move({5, 5}), line({15, 5}), line({15, 25}), line({10, 25}), line({10, 20})}},
        {"M10,10l5-5", {move({10, 10}), line({15, 5})}},
        {"M1 1 m2 2", {move({1, 1}), move({3, 3})}},
        {"M0 0 T5 5 t1 1 L1 1", {move({0, 0}), line({1, 1})}},
        // Numbers run together where the next one starts with its point or sign.
        {"M0.5.5l.25.25", {move({0.5, 0.5}), line({0.75, 0.75})}},
        {"M1 1l-.5.5c.5.5.5.5 1 1", {move({1, 1}), line({0.5, 1.5}), curve({1, 2}, {1, 2}, {1.5, 2.5})}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(elementsOfPathData(c.d), c.expected) << c.d;
}

TEST(SVGPathData, CommandsWithoutCurrentPointOrWithTruncatedArgumentsAreSound) {
    struct Case {
        const char* d;
        std::vector<BezierPath::Element> expected;
    };
    const Case cases[] = {
        {"m5 5 l1 1", {move({5, 5}), line({6, 6})}},   // a first relative move starts from (0, 0)
        {"L5 5", {move({0, 0}), line({5, 5})}},         // a line without a current point starts at (0, 0)
        {"Z", {}},                                      // nothing to close
        {"h5", {move({0, 0}), line({5, 0})}},
        {"M10 10 L", {move({10, 10}), line({0, 0})}},   // an unread point counts as (0, 0)
        {"M10 10 l", {move({10, 10}), line({10, 10})}}, // ... before the relative offset
        {"M10 10 L5", {move({10, 10}), line({0, 0})}},
        {"M10 10 C1 2 3", {move({10, 10}), curve({1, 2}, {0, 0}, {0, 0})}},
        {"M10 10 H", {move({10, 10}), line({0, 10})}},
        {"M1 1 z l2 2", {move({1, 1}), close(), move({1, 1}), line({3, 3})}},
        {"M1e39 5 L2 2", {move({0, 0}), line({2, 2})}},  // a number beyond single precision is not read
        {"M-", {move({0, 0})}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(elementsOfPathData(c.d), c.expected) << c.d;
}

TEST(SVGPathData, PreviousControlPointCarriesAcrossElements) {
    const Parsed p = parse(document("<path d=\"M0 0 C1 1 4 6 5 5\"/><path d=\"M10 10 S20 20 30 30\"/>"));
    ASSERT_EQ(p.paths.size(), 2u);
    // Reflection of (4, 6) through (10, 10).
    EXPECT_EQ(p.paths[1]->path()->elements()[1], curve({16, 14}, {20, 20}, {30, 30}));
    // An S before any C reflects (0, 0).
    EXPECT_EQ(elementsOfPathData("M10 10 S20 20 30 30")[1], curve({20, 20}, {20, 20}, {30, 30}));
}

TEST(SVGShapes, BasicShapesBecomePaths) {
    const Parsed p = parse(document(
        "<circle cx=\"5\" cy=\"5\" r=\"5\"/>"
        "<ellipse cx=\"10\" cy=\"20\" rx=\"4\" ry=\"2\"/>"
        "<rect x=\"1\" y=\"2\" width=\"3\" height=\"4\" rx=\"1\"/>"
        "<line x1=\"1\" y1=\"2\" x2=\"3\" y2=\"4\"/>"
        "<polygon points=\"0,0 10,0 10,10\"/>"
        "<polyline points=\"0,0 10,0\"/>"
        "<circle cx=\"5\" cy=\"5\"/>"
        "<text>ignored</text><image/><use/>"));
    ASSERT_TRUE(p.ok);
    ASSERT_EQ(p.paths.size(), 7u);
    EXPECT_EQ(*p.paths[0]->path(), [] {
        BezierPath oval = BezierPath::withOvalInRect(Rect(0, 0, 10, 10));
        return oval;
    }());
    EXPECT_EQ(p.paths[1]->path()->bounds(), Rect(6, 18, 8, 4));
    EXPECT_EQ(p.paths[2]->path()->elements(), BezierPath::withRect(Rect(1, 2, 3, 4)).elements());
    EXPECT_EQ(p.paths[3]->path()->elements(), (std::vector<BezierPath::Element>{move({1, 2}), line({3, 4})}));
    EXPECT_EQ(p.paths[4]->path()->elements(),
              (std::vector<BezierPath::Element>{move({0, 0}), line({10, 0}), line({10, 10}), close()}));
    EXPECT_EQ(p.paths[5]->path()->elements(), (std::vector<BezierPath::Element>{move({0, 0}), line({10, 0})}));
    EXPECT_EQ(p.paths[6]->path()->bounds(), Rect(5, 5, 0, 0));  // a circle without radius is a point
}

TEST(SVGShapes, PointListPiecesWithOneNumberAreSound) {
    const Parsed p = parse(document("<polyline points=\"5 10,10 7\"/>"));
    ASSERT_EQ(p.paths.size(), 1u);
    EXPECT_EQ(p.paths[0]->path()->elements(),
              (std::vector<BezierPath::Element>{move({0, 0}), line({10, 10}), line({0, 0})}));
}

TEST(SVGStyle, ColoursPenAndDefaults) {
    const Parsed p = parse(document(
        "<rect width=\"1\" height=\"1\"/>"
        "<rect width=\"1\" height=\"1\" fill=\"none\" stroke=\"#ff0000\" stroke-width=\"3\" stroke-dasharray=\"4,2\""
        " stroke-miterlimit=\"2\" stroke-linecap=\"square\" stroke-linejoin=\"bevel\"/>"
        "<rect width=\"1\" height=\"1\" fill=\"#F80\" style=\"fill:#00ff00;stroke:#0000ff\" class=\"x\"/>"
        "<rect width=\"1\" height=\"1\" stroke=\"#000000\" stroke-dasharray=\"none\"/>"));
    ASSERT_EQ(p.paths.size(), 4u);
    const auto& plain = *p.paths[0];
    EXPECT_EQ(plain.fillColor(), kx::Color::srgb(0, 0, 0));
    EXPECT_TRUE(plain.strokeColor().isNull());
    EXPECT_FALSE(plain.gradient());
    EXPECT_FALSE(plain.transform());
    EXPECT_FALSE(plain.opacity());
    EXPECT_EQ(plain.path()->lineWidth(), 1);
    EXPECT_EQ(plain.path()->miterLimit(), 10);
    EXPECT_EQ(plain.path()->windingRule(), kx::FillRule::Winding);

    const auto& stroked = *p.paths[1];
    EXPECT_TRUE(stroked.fillColor().isNull());
    EXPECT_EQ(stroked.strokeColor(), kx::Color::srgb(1, 0, 0));
    EXPECT_EQ(stroked.path()->lineWidth(), 3);
    EXPECT_EQ(stroked.path()->lineDash(), (std::vector<double>{4, 2}));
    EXPECT_EQ(stroked.path()->lineDashPhase(), 0);
    EXPECT_EQ(stroked.path()->miterLimit(), 2);
    EXPECT_EQ(stroked.path()->lineCapStyle(), BezierPath::LineCapStyle::Square);
    EXPECT_EQ(stroked.path()->lineJoinStyle(), BezierPath::LineJoinStyle::Bevel);

    // #F80 reads as 0x000F80; the style attribute is not read.
    EXPECT_EQ(p.paths[2]->fillColor(), kx::Color::srgb(0, 0x0F / 255.0, 0x80 / 255.0));
    EXPECT_TRUE(p.paths[2]->strokeColor().isNull());
    // A dash pattern of nothing but zeros strokes solid.
    EXPECT_TRUE(p.paths[3]->path()->lineDash().empty());
}

TEST(SVGStyle, GroupOpacityMultipliesAndDoesNotNest) {
    const Parsed p = parse(document(
        "<g opacity=\"0.5\">"
        "  <rect opacity=\"0.5\" width=\"1\" height=\"1\"/>"
        "  <rect width=\"1\" height=\"1\"/>"
        "  <g opacity=\"0.8\"><rect width=\"1\" height=\"1\"/></g>"
        "  <rect width=\"1\" height=\"1\"/>"
        "</g>"
        "<rect opacity=\"0.3\" width=\"1\" height=\"1\"/>"));
    ASSERT_EQ(p.paths.size(), 5u);
    EXPECT_EQ(p.paths[0]->opacity(), 0.25);
    EXPECT_EQ(p.paths[1]->opacity(), 0.5);
    EXPECT_EQ(p.paths[2]->opacity(), double(0.8f));
    EXPECT_FALSE(p.paths[3]->opacity());  // after the inner group's end: no group opacity at all
    EXPECT_EQ(p.paths[4]->opacity(), double(0.3f));
}

TEST(SVGStyle, MatrixTransformIsKept) {
    const Parsed p = parse(document("<rect width=\"1\" height=\"1\" transform=\"matrix(2 0 0 2 10 5)\"/>"
                                    "<rect width=\"1\" height=\"1\" transform=\"rotate(45)\"/>"));
    ASSERT_EQ(p.paths.size(), 2u);
    EXPECT_EQ(p.paths[0]->transform(), kx::AffineTransform(2, 0, 0, 2, 10, 5));
    EXPECT_FALSE(p.paths[1]->transform());
}

TEST(SVGGradients, DefinitionsStopsAndReferences) {
    const Parsed p = parse(document(
        "<rect width=\"1\" height=\"1\" fill=\"url(#late)\"/>"
        "<defs>"
        "<linearGradient id=\"lin\" x1=\"1\" y1=\"2\" x2=\"3\" y2=\"4\" gradientTransform=\"matrix(1 0 0 1 5 6)\">"
        "  <stop offset=\"0\" style=\"stop-color:#ff0000\"/>"
        "  <stop offset=\"0.5\" style=\"stop-color:#00ff00;stop-opacity:0.25\"/>"
        "  <stop offset=\"1\" stop-color=\"#0000ff\"/>"
        "</linearGradient>"
        "<radialGradient id=\"rad\" cx=\"10\" cy=\"20\" r=\"30\" fx=\"1\"><stop offset=\"50%\""
        " style=\"stop-color:#0000ff;stop-opacity:\"/></radialGradient>"
        "<linearGradient id=\"late\"/>"
        "</defs>"
        "<rect width=\"1\" height=\"1\" fill=\"url(#lin)\"/>"
        "<rect width=\"1\" height=\"1\" fill=\"url(#rad\"/>"
        "<rect width=\"1\" height=\"1\" fill=\"url(#nothing)\"/>"));
    ASSERT_EQ(p.paths.size(), 4u);
    EXPECT_FALSE(p.paths[0]->gradient());  // defined after use

    auto linear = std::dynamic_pointer_cast<KXSVGLinearGradient>(p.paths[1]->gradient());
    ASSERT_TRUE(linear);
    EXPECT_EQ(linear->identifier(), "lin");
    EXPECT_EQ(linear->startPosition(), Point(1, 2));
    EXPECT_EQ(linear->endPosition(), Point(3, 4));
    EXPECT_EQ(linear->gradientTransform(), kx::AffineTransform(1, 0, 0, 1, 5, 6));
    ASSERT_EQ(linear->colorStops().size(), 3u);
    EXPECT_EQ(linear->colorStops()[0]->color(), kx::Color::srgb(1, 0, 0));
    EXPECT_EQ(linear->colorStops()[1]->position(), 0.5);
    EXPECT_EQ(linear->colorStops()[1]->color(), kx::Color::srgb(0, 1, 0, 0.25));
    EXPECT_TRUE(linear->colorStops()[2]->color().isNull());  // the stop-color attribute is not read
    // A gradient-filled shape keeps the black fill of its reference text.
    EXPECT_EQ(p.paths[1]->fillColor(), kx::Color::srgb(0, 0, 0));

    auto radial = std::dynamic_pointer_cast<KXSVGRadialGradient>(p.paths[2]->gradient());
    ASSERT_TRUE(radial);  // a reference without ")" runs to the end of the text
    EXPECT_EQ(radial->position(), Point(10, 20));
    EXPECT_EQ(radial->radius(), 30);
    ASSERT_EQ(radial->colorStops().size(), 1u);
    EXPECT_EQ(radial->colorStops()[0]->position(), 50);  // "50%" reads 50
    EXPECT_EQ(radial->colorStops()[0]->color(), kx::Color::srgb(0, 0, 1, 1));  // unreadable opacity gives 1

    EXPECT_FALSE(p.paths[3]->gradient());
}

TEST(SVGGradients, StopBeforeAnyGradientIsDroppedAndLaterReferenceFindsTheLastDefinition) {
    const Parsed p = parse(document(
        "<stop offset=\"0\" style=\"stop-color:#ff0000\"/>"
        "<linearGradient id=\"g\"/><radialGradient id=\"g\"/>"
        "<rect width=\"1\" height=\"1\" fill=\"url(#g)\"/>"));
    ASSERT_EQ(p.paths.size(), 1u);
    auto radial = std::dynamic_pointer_cast<KXSVGRadialGradient>(p.paths[0]->gradient());
    ASSERT_TRUE(radial);
    EXPECT_TRUE(radial->colorStops().empty());
}

TEST(SVGParser, ViewBoxForms) {
    struct Case {
        const char* attributes;
        Rect expected;
    };
    const Case cases[] = {
        {"viewBox=\"0 0 100 50\"", Rect(0, 0, 100, 50)},
        {"viewBox=\"10 10 100 50\"", Rect(10, 10, 100, 50)},
        {"viewBox=\"0,0,100,50\"", Rect(0, 0, 100, 50)},
        {"viewBox=\"0 0 100\"", Rect()},
        {"viewBox=\"0 0 -5 5\"", Rect()},
        {"viewBox=\"0 0 1e400 5\"", Rect()},
        {"width=\"100\" height=\"50\"", Rect()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parse(document("", c.attributes)).viewBox, c.expected) << c.attributes;
}

TEST(SVGParser, XmlErrorKeepsThePathsReadBeforeIt) {
    kxtest::ExpectedQtWarning truncated(QStringLiteral("^parserError: Premature end of document"));
    const Parsed p = parse("<svg viewBox=\"0 0 10 10\"><rect width=\"1\" height=\"1\"/><rect width=\"2\"");
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.paths.size(), 1u);
    EXPECT_EQ(p.viewBox, Rect(0, 0, 10, 10));
}

TEST(SVGParser, MissingFileReadsNothing) {
    QTemporaryDir dir;
    KXSVGParser parser = KXSVGParser::initWithSVGDocument(dir.filePath("missing.svg"));
    EXPECT_FALSE(parser.parseSVGDocument());
    EXPECT_TRUE(parser.paths().empty());
    EXPECT_EQ(parser.viewBox(), Rect());
}

TEST(SVGParser, PrefixedNamesAreMatchedAsWritten) {
    const Parsed p = parse("<svg:svg xmlns:svg=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 5 5\">"
                           "<svg:rect width=\"1\" height=\"1\"/></svg:svg>");
    EXPECT_TRUE(p.ok);
    EXPECT_TRUE(p.paths.empty());
    EXPECT_EQ(p.viewBox, Rect());
}

TEST(SVGParser, BillionLaughsFailsFast) {
    QByteArray data = "<?xml version=\"1.0\"?>\n<!DOCTYPE svg [\n<!ENTITY lol \"lol\">\n";
    data += "<!ENTITY lol1 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">\n";
    for (int i = 2; i <= 9; ++i) {
        const QByteArray prev = "&lol" + QByteArray::number(i - 1) + ";";
        data += "<!ENTITY lol" + QByteArray::number(i) + " \"" + prev.repeated(10) + "\">\n";
    }
    data += "]>\n<svg viewBox=\"0 0 10 10\"><rect width=\"1\" height=\"1\" id=\"&lol9;\"/><text>&lol9;</text></svg>";
    // The reader stops at the expansion limit: the entities are never expanded in full.
    kxtest::ExpectedQtWarning stopped(QStringLiteral("^parserError: .*expansion limit"));
    const Parsed p = parse(data);
    EXPECT_FALSE(p.ok);
    EXPECT_TRUE(p.paths.empty());
}

TEST(SVGParser, ExternalEntitiesAreNeverLoaded) {
    kxtest::ExpectedQtWarning refused(QStringLiteral("^parserError: Reference to external entity"));
    QTemporaryDir dir;
    QFile secret(dir.filePath("secret.txt"));
    ASSERT_TRUE(secret.open(QIODevice::WriteOnly));
    secret.write("#ff0000");
    secret.close();
    const QByteArray data = "<?xml version=\"1.0\"?>\n<!DOCTYPE svg [\n<!ENTITY ext SYSTEM \"file://" +
                            dir.filePath("secret.txt").toUtf8() +
                            "\">\n]>\n<svg viewBox=\"0 0 10 10\"><rect width=\"1\" height=\"1\" fill=\"&ext;\"/></svg>";
    const Parsed p = parse(data);
    for (const auto& path : p.paths)
        EXPECT_NE(path->fillColor(), kx::Color::srgb(1, 0, 0));
}

TEST(SVGStyledBezierPath, DescriptionNamesTheFourObjects) {
    const Parsed p = parse(document("<rect width=\"1\" height=\"1\" fill=\"none\"/>"));
    ASSERT_EQ(p.paths.size(), 1u);
    const QString text = p.paths[0]->description();
    EXPECT_TRUE(text.startsWith("path: ")) << text.toStdString();
    EXPECT_TRUE(text.contains(", fill: (null), stroke: (null), gradient: (null)")) << text.toStdString();
}
