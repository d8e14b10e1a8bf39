#include "graphics/svg_attributes.h"

#include "graphics/svg_color.h"
#include "graphics/svg_number_list.h"
#include "graphics/svg_scanner.h"

namespace {

float leadingFloat(const QString& text) {
    SVGScanner scanner(text);
    float value = 0;
    return scanner.scanFloat(&value) ? value : 0.0f;
}

}  // namespace

std::optional<QString> stringForKey(const SVGAttributes& attributes, const QString& key) {
    const auto it = attributes.constFind(key);
    if (it == attributes.constEnd())
        return std::nullopt;
    return *it;
}

float floatForKey(const SVGAttributes& attributes, const QString& key) {
    const std::optional<QString> text = stringForKey(attributes, key);
    return text ? leadingFloat(*text) : 0.0f;
}

std::optional<float> opacityForKey(const SVGAttributes& attributes, const QString& key) {
    const std::optional<QString> text = stringForKey(attributes, key);
    if (!text)
        return std::nullopt;
    return leadingFloat(*text);
}

kx::Color fillColorForKey(const SVGAttributes& attributes, const QString& key) {
    const std::optional<QString> text = stringForKey(attributes, key);
    return colorFromHexString(text ? *text : QStringLiteral("#000000"));
}

kx::Color strokeColorForKey(const SVGAttributes& attributes, const QString& key) {
    return colorFromHexString(stringForKey(attributes, key));
}

float strokeWeightForKey(const SVGAttributes& attributes, const QString& key) {
    const std::optional<QString> text = stringForKey(attributes, key);
    return text ? leadingFloat(*text) : 1.0f;
}

std::optional<std::vector<float>> dashArrayForKey(const SVGAttributes& attributes, const QString& key) {
    const std::optional<QString> text = stringForKey(attributes, key);
    if (!text)
        return std::nullopt;
    std::vector<float> lengths;
    for (const QString& piece : text->split(QLatin1Char(',')))
        lengths.push_back(leadingFloat(piece));
    return lengths;
}

float miterLimitForKey(const SVGAttributes& attributes, const QString& key) {
    const std::optional<QString> text = stringForKey(attributes, key);
    return text ? leadingFloat(*text) : 10.0f;
}

kx::BezierPath::LineCapStyle lineCapForKey(const SVGAttributes& attributes, const QString& key) {
    const std::optional<QString> text = stringForKey(attributes, key);
    if (text == QLatin1String("round"))
        return kx::BezierPath::LineCapStyle::Round;
    if (text == QLatin1String("square"))
        return kx::BezierPath::LineCapStyle::Square;
    return kx::BezierPath::LineCapStyle::Butt;
}

kx::BezierPath::LineJoinStyle lineJoinForKey(const SVGAttributes& attributes, const QString& key) {
    const std::optional<QString> text = stringForKey(attributes, key);
    if (text == QLatin1String("round"))
        return kx::BezierPath::LineJoinStyle::Round;
    if (text == QLatin1String("bevel"))
        return kx::BezierPath::LineJoinStyle::Bevel;
    return kx::BezierPath::LineJoinStyle::Miter;
}

std::optional<kx::AffineTransform> transformForKey(const SVGAttributes& attributes, const QString& key) {
    const std::optional<QString> text = stringForKey(attributes, key);
    if (!text)
        return std::nullopt;
    SVGScanner scanner(*text);
    scanner.scanString(u"matrix(");
    double m[6] = {};
    if (!scanNumberList(scanner, m, 6, NumberPrecision::Single))
        return std::nullopt;
    return kx::AffineTransform(m[0], m[1], m[2], m[3], m[4], m[5]);
}
