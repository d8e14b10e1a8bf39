#include "canvas/custom_layer.h"

#include "platform/gfx/bezier_path_coding.h"
#include "platform/gfx/bitmap_context.h"
#include "platform/layers/layer_transaction.h"
#include "platform/layers/screen_scale.h"

#include <cmath>

namespace {
const QString kCustomPathKey = QStringLiteral("customPath");

using Element = kx::BezierPath::Element;
using ElementType = kx::BezierPath::ElementType;

kx::Point endOf(const Element& e) {
    return e.type == ElementType::CurveTo ? e.points[2] : e.points[0];
}

kx::Color rgb255(int r, int g, int b) {
    return kx::Color::srgb(r / 255.0, g / 255.0, b / 255.0, 1);
}

// Rebuilds a path from its elements, keeping its pen settings.
kx::BezierPath withElements(const kx::BezierPath& model, const std::vector<Element>& elements) {
    kx::BezierPath path;
    path.setLineWidth(model.lineWidth());
    path.setLineCapStyle(model.lineCapStyle());
    path.setLineJoinStyle(model.lineJoinStyle());
    path.setMiterLimit(model.miterLimit());
    path.setWindingRule(model.windingRule());
    for (const Element& e : elements) {
        switch (e.type) {
        case ElementType::MoveTo: path.moveTo(e.points[0]); break;
        case ElementType::LineTo: path.lineTo(e.points[0]); break;
        case ElementType::CurveTo: path.curveTo(e.points[2], e.points[0], e.points[1]); break;
        case ElementType::ClosePath: path.closePath(); break;
        }
    }
    return path;
}
}  // namespace

QStringList KXCustomPathObservable::announcedKeys() const {
    return {kCustomPathKey};
}

const kx::PropertyTable& KXCustomPathObservable::propertyTable() const {
    static const kx::PropertyTable table = [] {
        kx::PropertyTable t;
        t.add<KXCustomPathObservable>(
            kCustomPathKey,
            [](const KXCustomPathObservable& o) {
                return o.layer() ? KXCustomLayer::pathValue(o.layer()->customPath()) : kx::Value();
            },
            [](KXCustomPathObservable& o, const kx::Value& v) {
                if (!o.layer())
                    return;
                const auto holder = v.objectAs<kx::CodableBezierPath>();
                o.layer()->setCustomPath(holder ? std::optional<kx::BezierPath>(holder->path) : std::nullopt);
            });
        return t;
    }();
    return table;
}

KXCustomLayer::KXCustomLayer(std::optional<kx::BezierPath> path)
    : m_customPath(std::move(path)), m_observable(std::make_shared<KXCustomPathObservable>(this)) {
    setNeedsDisplayOnBoundsChange(true);
    setNeedsDisplay();
    if (kx::mainScreenBackingScaleFactor() != 1.0)
        setContentsScale(2.0);
}

KXCustomLayer::~KXCustomLayer() {
    m_observable->detach();
}

kx::Value KXCustomLayer::pathValue(const std::optional<kx::BezierPath>& path) {
    if (!path)
        return {};
    return kx::Value(std::make_shared<kx::CodableBezierPath>(*path));
}

void KXCustomLayer::setCustomPath(std::optional<kx::BezierPath> path) {
    const kx::Value oldValue = pathValue(m_customPath);
    m_customPath = std::move(path);
    m_observable->announce(oldValue, pathValue(m_customPath));
    setNeedsDisplay();
}

void KXCustomLayer::addObserver(kx::KeyObserver* observer) {
    m_observable->addObserver(observer, kCustomPathKey);
}

void KXCustomLayer::removeObserver(kx::KeyObserver* observer) {
    m_observable->removeObserver(observer, kCustomPathKey);
}

void KXCustomLayer::curveToPoint(const kx::Point& end, const kx::Point& control1, const kx::Point& control2) {
    if (!m_customPath)
        m_customPath.emplace();
    m_customPath->curveTo(end, control1, control2);
    setNeedsDisplay();
}

void KXCustomLayer::mouseDraggingWithPoint(const kx::Point& point) {
    if (!m_customPath || m_customPath->elementCount() < 2)
        return;
    std::vector<Element> elements = m_customPath->elements();
    Element& last = elements.back();
    const Element& previous = elements[elements.size() - 2];
    const kx::Point end = endOf(last);
    const kx::Point v(end.x - point.x, end.y - point.y);
    if (std::hypot(float(v.x), float(v.y)) < 10.0f)
        return;
    kx::Point control1 = endOf(previous);
    if (last.type == ElementType::CurveTo && previous.type == ElementType::CurveTo &&
        previous.points[1] != previous.points[2])
        control1 = last.points[0];
    last.type = ElementType::CurveTo;
    last.points[0] = control1;
    last.points[1] = {end.x + v.x, end.y + v.y};
    last.points[2] = end;
    m_customPath = withElements(*m_customPath, elements);
    setNeedsDisplay();
}

void KXCustomLayer::setContents(const kx::Image& contents) {
    kx::LayerTransaction transaction;
    kx::Layer::setContents(contents);
}

void KXCustomLayer::drawInContext(kx::BitmapContext& context) {
    const double scale = kx::mainScreenBackingScaleFactor();
    if (contentsScale() != scale)
        setContentsScale(scale);
    if (!m_customPath)
        return;
    context.saveGState();
    context.setStrokeColor(kx::Color::srgb(0, 0, 0, 1));
    context.setLineWidth(1);
    context.setMiterLimit(5);
    context.setLineJoin(kx::LineJoin::Miter);
    context.beginPath();
    context.addPath(m_customPath->toPath());
    context.strokePath();

    const kx::Color handleColor = rgb255(103, 109, 176);
    const kx::Color nodeOutline = rgb255(8, 87, 168);
    auto circle = [&](const kx::Point& c, double side, const kx::Color& outline) {
        const kx::Rect r(c.x - side / 2, c.y - side / 2, side, side);
        context.setFillColor(kx::Color::srgb(1, 1, 1, 1));
        context.fillEllipseInRect(r);
        context.beginPath();
        context.addEllipseInRect(r);
        context.setStrokeColor(outline);
        context.strokePath();
    };
    for (const Element& e : m_customPath->elements()) {
        if (e.type == ElementType::ClosePath)
            continue;
        const kx::Point end = endOf(e);
        circle(end, 6, nodeOutline);
        if (e.type != ElementType::CurveTo || e.points[1] == end)
            continue;
        const kx::Point control = e.points[1];
        const kx::Point mirrored(2 * end.x - control.x, 2 * end.y - control.y);
        context.setStrokeColor(handleColor);
        context.beginPath();
        context.moveTo(end);
        context.lineTo(control);
        context.moveTo(end);
        context.lineTo(mirrored);
        context.strokePath();
        circle(control, 5, kx::Color::srgb(0, 0, 0, 1));
        circle(mirrored, 5, kx::Color::srgb(0, 0, 0, 1));
    }
    context.restoreGState();
}
