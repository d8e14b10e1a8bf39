#include "graphics/svg_path_factory.h"

#include "graphics/svg_color.h"
#include "graphics/svg_number_list.h"
#include "graphics/svg_scanner.h"

#include <algorithm>
#include <cmath>

namespace {

const QString kCommandLetters = QStringLiteral("MmLlCcVvHhAaSsQqTtZz");

bool isRelative(const SVGScanner& scanner) {
    const QString first = scanner.initialCharacter();
    return !first.isEmpty() && first.at(0).isLower();
}

// One point argument of a command: (0, 0) when it cannot be read, then offset by `origin` for the
// relative forms.
kx::Point readPoint(SVGScanner& scanner, bool relative, const kx::Point& origin) {
    kx::Point p(0, 0);
    scanner.scanPoint(&p);
    return relative ? p + origin : p;
}

float readNumber(SVGScanner& scanner) {
    scanner.conditionallyIncrement();
    float value = 0;
    return scanner.scanFloat(&value) ? value : 0.0f;
}

// A usable dash pattern: every length finite and not negative, and some length above zero.
bool isDrawableDash(const std::vector<float>& lengths) {
    double total = 0;
    for (float length : lengths) {
        if (!std::isfinite(length) || length < 0)
            return false;
        total += length;
    }
    return total > 0;
}

}  // namespace

std::shared_ptr<KXStyledBezierPath> KXStyledBezierPathFactory::styledPathFromElementName(
    const QString& elementName, const SVGAttributes& attributes) {
    if (elementName == QLatin1String("circle"))
        return circleWithAttributes(attributes);
    if (elementName == QLatin1String("ellipse"))
        return ellipseWithAttributes(attributes);
    if (elementName == QLatin1String("rect"))
        return rectWithAttributes(attributes);
    if (elementName == QLatin1String("line"))
        return lineWithAttributes(attributes);
    if (elementName == QLatin1String("polyline"))
        return polylineWithAttributes(attributes);
    if (elementName == QLatin1String("polygon"))
        return polygonWithAttributes(attributes);
    if (elementName == QLatin1String("path"))
        return pathWithAttributes(attributes);
    if (elementName == QLatin1String("linearGradient"))
        saveLinearGradient(attributes);
    else if (elementName == QLatin1String("radialGradient"))
        saveRadialGradient(attributes);
    return nullptr;
}

void KXStyledBezierPathFactory::addGradientStopWithAttributes(const SVGAttributes& attributes) {
    if (m_gradients.empty())
        return;
    const double position = floatForKey(attributes, QStringLiteral("offset"));
    const kx::Color color = parseStyleColor(stringForKey(attributes, QStringLiteral("style")));
    m_gradients.back()->colorStops().push_back(std::make_shared<KXSVGGradientColorStop>(color, position));
}

void KXStyledBezierPathFactory::addGroupOpacityValueWithAttributes(const SVGAttributes& attributes) {
    m_groupOpacityValue = opacityForKey(attributes, QStringLiteral("opacity"));
}

void KXStyledBezierPathFactory::removeGroupOpacityValue() {
    m_groupOpacityValue.reset();
}

kx::Rect KXStyledBezierPathFactory::getViewboxFromAttributes(const SVGAttributes& attributes) const {
    const std::optional<QString> text = stringForKey(attributes, QStringLiteral("viewBox"));
    if (!text)
        return kx::Rect();
    SVGScanner scanner(*text);
    double v[4] = {};
    if (!scanNumberList(scanner, v, 4, NumberPrecision::Double) || v[2] < 0 || v[3] < 0)
        return kx::Rect();
    return kx::Rect(v[0], v[1], v[2], v[3]);
}

// ---- shapes ----------------------------------------------------------------------------------

std::shared_ptr<KXStyledBezierPath> KXStyledBezierPathFactory::circleWithAttributes(const SVGAttributes& attributes) {
    SVGAttributes ellipse = attributes;
    if (const std::optional<QString> r = stringForKey(attributes, QStringLiteral("r"))) {
        ellipse.insert(QStringLiteral("rx"), *r);
        ellipse.insert(QStringLiteral("ry"), *r);
    } else {
        ellipse.remove(QStringLiteral("rx"));
        ellipse.remove(QStringLiteral("ry"));
    }
    return ellipseWithAttributes(ellipse);
}

std::shared_ptr<KXStyledBezierPath> KXStyledBezierPathFactory::ellipseWithAttributes(const SVGAttributes& attributes) {
    const double cx = floatForKey(attributes, QStringLiteral("cx"));
    const double cy = floatForKey(attributes, QStringLiteral("cy"));
    const double rx = floatForKey(attributes, QStringLiteral("rx"));
    const double ry = floatForKey(attributes, QStringLiteral("ry"));
    auto path = std::make_shared<kx::BezierPath>();
    path->appendBezierPathWithOvalInRect(kx::Rect(cx - rx, cy - ry, 2 * rx, 2 * ry));
    return createStyledPath(std::move(path), attributes);
}

std::shared_ptr<KXStyledBezierPath> KXStyledBezierPathFactory::rectWithAttributes(const SVGAttributes& attributes) {
    const kx::Rect rect(floatForKey(attributes, QStringLiteral("x")), floatForKey(attributes, QStringLiteral("y")),
                        floatForKey(attributes, QStringLiteral("width")),
                        floatForKey(attributes, QStringLiteral("height")));
    auto path = std::make_shared<kx::BezierPath>();
    path->appendBezierPathWithRect(rect);
    return createStyledPath(std::move(path), attributes);
}

std::shared_ptr<KXStyledBezierPath> KXStyledBezierPathFactory::lineWithAttributes(const SVGAttributes& attributes) {
    auto path = std::make_shared<kx::BezierPath>();
    path->moveTo(kx::Point(floatForKey(attributes, QStringLiteral("x1")), floatForKey(attributes, QStringLiteral("y1"))));
    path->lineTo(kx::Point(floatForKey(attributes, QStringLiteral("x2")), floatForKey(attributes, QStringLiteral("y2"))));
    return createStyledPath(std::move(path), attributes);
}

std::shared_ptr<KXStyledBezierPath> KXStyledBezierPathFactory::polylineWithAttributes(
    const SVGAttributes& attributes) {
    const QStringList commands =
        commandListForPolylineString(stringForKey(attributes, QStringLiteral("points")).value_or(QString()));
    return createStyledPath(bezierPathFromCommandList(commands), attributes);
}

std::shared_ptr<KXStyledBezierPath> KXStyledBezierPathFactory::polygonWithAttributes(const SVGAttributes& attributes) {
    const QStringList commands =
        commandListForPolylineString(stringForKey(attributes, QStringLiteral("points")).value_or(QString()));
    std::shared_ptr<kx::BezierPath> path = bezierPathFromCommandList(commands);
    path->closePath();
    return createStyledPath(std::move(path), attributes);
}

std::shared_ptr<KXStyledBezierPath> KXStyledBezierPathFactory::pathWithAttributes(const SVGAttributes& attributes) {
    const QStringList commands =
        commandListForCommandString(stringForKey(attributes, QStringLiteral("d")).value_or(QString()));
    return createStyledPath(bezierPathFromCommandList(commands), attributes);
}

void KXStyledBezierPathFactory::saveLinearGradient(const SVGAttributes& attributes) {
    auto gradient = std::make_shared<KXSVGLinearGradient>(stringForKey(attributes, QStringLiteral("id")).value_or(QString()));
    gradient->setStartPosition(kx::Point(floatForKey(attributes, QStringLiteral("x1")),
                                         floatForKey(attributes, QStringLiteral("y1"))));
    gradient->setEndPosition(kx::Point(floatForKey(attributes, QStringLiteral("x2")),
                                       floatForKey(attributes, QStringLiteral("y2"))));
    gradient->setGradientTransform(transformForKey(attributes, QStringLiteral("gradientTransform")));
    m_gradients.push_back(std::move(gradient));
}

void KXStyledBezierPathFactory::saveRadialGradient(const SVGAttributes& attributes) {
    auto gradient = std::make_shared<KXSVGRadialGradient>(stringForKey(attributes, QStringLiteral("id")).value_or(QString()));
    gradient->setPosition(kx::Point(floatForKey(attributes, QStringLiteral("cx")),
                                    floatForKey(attributes, QStringLiteral("cy"))));
    gradient->setRadius(floatForKey(attributes, QStringLiteral("r")));
    gradient->setGradientTransform(transformForKey(attributes, QStringLiteral("gradientTransform")));
    m_gradients.push_back(std::move(gradient));
}

// ---- style -----------------------------------------------------------------------------------

std::shared_ptr<KXStyledBezierPath> KXStyledBezierPathFactory::createStyledPath(std::shared_ptr<kx::BezierPath> path,
                                                                                const SVGAttributes& attributes) {
    const std::optional<float> elementOpacity = opacityForKey(attributes, QStringLiteral("opacity"));
    std::optional<float> opacity = elementOpacity;
    if (m_groupOpacityValue)
        opacity = elementOpacity ? *elementOpacity * *m_groupOpacityValue : *m_groupOpacityValue;
    return styledPathWithBezierPath(
        std::move(path), opacity, fillColorForKey(attributes, QStringLiteral("fill")),
        strokeColorForKey(attributes, QStringLiteral("stroke")),
        strokeWeightForKey(attributes, QStringLiteral("stroke-width")),
        dashArrayForKey(attributes, QStringLiteral("stroke-dasharray")),
        miterLimitForKey(attributes, QStringLiteral("stroke-miterlimit")),
        lineCapForKey(attributes, QStringLiteral("stroke-linecap")),
        lineJoinForKey(attributes, QStringLiteral("stroke-linejoin")),
        gradientForFillURL(stringForKey(attributes, QStringLiteral("fill"))),
        transformForKey(attributes, QStringLiteral("transform")));
}

std::shared_ptr<KXStyledBezierPath> KXStyledBezierPathFactory::styledPathWithBezierPath(
    std::shared_ptr<kx::BezierPath> path, const std::optional<float>& opacity, const kx::Color& fillColor,
    const kx::Color& strokeColor, float strokeWeight, const std::optional<std::vector<float>>& dashArray,
    float miterLimit, kx::BezierPath::LineCapStyle lineCapStyle, kx::BezierPath::LineJoinStyle lineJoinStyle,
    std::shared_ptr<KXSVGGradient> gradient, const std::optional<kx::AffineTransform>& transform) {
    auto styled = std::make_shared<KXStyledBezierPath>();
    if (opacity)
        styled->setOpacity(double(*opacity));
    styled->setFillColor(fillColor);
    styled->setStrokeColor(strokeColor);
    styled->setGradient(std::move(gradient));
    styled->setTransform(transform);
    path->setLineWidth(strokeWeight);
    path->setMiterLimit(miterLimit);
    path->setLineJoinStyle(lineJoinStyle);
    path->setLineCapStyle(lineCapStyle);
    // A pattern that cannot be drawn (negative lengths, nothing but zeros) strokes solid rather than
    // dashing without end.
    if (dashArray && isDrawableDash(*dashArray))
        path->setLineDash(std::vector<double>(dashArray->begin(), dashArray->end()), 0);
    styled->setPath(std::move(path));
    return styled;
}

std::shared_ptr<KXSVGGradient> KXStyledBezierPathFactory::gradientForFillURL(
    const std::optional<QString>& fillText) const {
    if (!fillText)
        return nullptr;
    const QLatin1String marker("url(#");
    const qsizetype start = fillText->indexOf(marker);
    if (start < 0)
        return nullptr;
    const qsizetype from = start + marker.size();
    const qsizetype end = fillText->indexOf(QLatin1Char(')'), from);
    const QString identifier = fillText->mid(from, end < 0 ? -1 : end - from);
    if (identifier.isEmpty())
        return nullptr;
    for (auto it = m_gradients.rbegin(); it != m_gradients.rend(); ++it) {
        if ((*it)->identifier() == identifier)
            return *it;
    }
    return nullptr;
}

kx::Color KXStyledBezierPathFactory::parseStyleColor(const std::optional<QString>& style) {
    const QLatin1String colorKey("stop-color:");
    if (!style || !style->startsWith(colorKey))
        return kx::Color();
    const kx::Color color = colorFromHexString(style->mid(colorKey.size()));
    const QLatin1String opacityKey("stop-opacity:");
    const qsizetype at = style->indexOf(opacityKey, colorKey.size());
    if (at < 0 || color.isNull())
        return color;
    SVGScanner scanner(*style);
    scanner.setScanLocation(at + opacityKey.size());
    float alpha = 1;
    if (!scanner.scanFloat(&alpha))
        alpha = 1;
    return kx::Color::srgb(color.red(), color.green(), color.blue(), std::clamp(double(alpha), 0.0, 1.0));
}

// ---- path data -------------------------------------------------------------------------------

QStringList KXStyledBezierPathFactory::commandListForCommandString(const QString& commandString) {
    QStringList commands;
    qsizetype cut = 0;
    for (qsizetype i = 0; i < commandString.size(); ++i) {
        if (!kCommandLetters.contains(commandString.at(i)))
            continue;
        if (i > cut)
            commands.append(commandString.mid(cut, i - cut));
        cut = i;
    }
    if (cut < commandString.size())
        commands.append(commandString.mid(cut));
    return commands;
}

QStringList KXStyledBezierPathFactory::commandListForPolylineString(const QString& pointsString) {
    QStringList commands;
    for (const QString& piece : pointsString.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        commands.append((commands.isEmpty() ? QStringLiteral("M") : QStringLiteral("L")) + piece);
    return commands;
}

std::shared_ptr<kx::BezierPath> KXStyledBezierPathFactory::bezierPathFromCommandList(const QStringList& commands) {
    auto path = std::make_shared<kx::BezierPath>();
    for (const QString& command : commands) {
        SVGScanner scanner(command);
        switch (command.isEmpty() ? char16_t(0) : command.at(0).unicode()) {
        case u'M': case u'm': addMoveToPointFromCommandScanner(scanner, *path); break;
        case u'L': case u'l': addLineToPointFromCommandScanner(scanner, *path); break;
        case u'H': case u'h': addHorizontalLineToPointFromCommandScanner(scanner, *path); break;
        case u'V': case u'v': addVerticalLineToPointFromCommandScanner(scanner, *path); break;
        case u'C': case u'c': addCurveToPointFromCommandScanner(scanner, *path); break;
        case u'S': case u's': addSmoothCurveToPointFromCommandScanner(scanner, *path); break;
        case u'Q': case u'q': addQuadCurveToPointFromCommandScanner(scanner, *path); break;
        case u'Z': case u'z': path->closePath(); break;
        default: break;  // arcs, smooth quadratics and stray text draw nothing
        }
    }
    return path;
}

void KXStyledBezierPathFactory::addMoveToPointFromCommandScanner(SVGScanner& scanner, kx::BezierPath& path) {
    path.moveTo(readPoint(scanner, isRelative(scanner), path.currentPoint()));
}

void KXStyledBezierPathFactory::addLineToPointFromCommandScanner(SVGScanner& scanner, kx::BezierPath& path) {
    path.lineTo(readPoint(scanner, isRelative(scanner), path.currentPoint()));
}

void KXStyledBezierPathFactory::addHorizontalLineToPointFromCommandScanner(SVGScanner& scanner,
                                                                           kx::BezierPath& path) {
    const kx::Point current = path.currentPoint();
    const double x = readNumber(scanner);
    path.lineTo(kx::Point(isRelative(scanner) ? current.x + x : x, current.y));
}

void KXStyledBezierPathFactory::addVerticalLineToPointFromCommandScanner(SVGScanner& scanner, kx::BezierPath& path) {
    const kx::Point current = path.currentPoint();
    const double y = readNumber(scanner);
    path.lineTo(kx::Point(current.x, isRelative(scanner) ? current.y + y : y));
}

void KXStyledBezierPathFactory::addCurveToPointFromCommandScanner(SVGScanner& scanner, kx::BezierPath& path) {
    const bool relative = isRelative(scanner);
    const kx::Point current = path.currentPoint();
    const kx::Point control1 = readPoint(scanner, relative, current);
    const kx::Point control2 = readPoint(scanner, relative, current);
    const kx::Point end = readPoint(scanner, relative, current);
    path.curveTo(end, control1, control2);
    m_previousControlPoint = control2;
}

void KXStyledBezierPathFactory::addSmoothCurveToPointFromCommandScanner(SVGScanner& scanner, kx::BezierPath& path) {
    const bool relative = isRelative(scanner);
    const kx::Point current = path.currentPoint();
    const kx::Point control2 = readPoint(scanner, relative, current);
    const kx::Point end = readPoint(scanner, relative, current);
    const kx::Point control1 = current * 2 - m_previousControlPoint;
    path.curveTo(end, control1, control2);
    m_previousControlPoint = control2;
}

void KXStyledBezierPathFactory::addQuadCurveToPointFromCommandScanner(SVGScanner& scanner, kx::BezierPath& path) {
    const bool relative = isRelative(scanner);
    const kx::Point current = path.currentPoint();
    const kx::Point control = readPoint(scanner, relative, current);
    const kx::Point end = readPoint(scanner, relative, current);
    path.curveTo(end, control, control);
}
