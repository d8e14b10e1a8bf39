#include "shapes/symbol_shape.h"

#include "graphics/geometry_utilities.h"
#include "model/canvas.h"
#include "model/stroke.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "platform/gfx/bitmap_context.h"
#include "shapes/shape_path_builders.h"

#include <algorithm>
#include <cmath>

namespace {

const QString kPointsArrayKey = QStringLiteral("pointsArray");

}  // namespace

KXSymbolShape::KXSymbolShape() {
    setStrokeEnabled(true);
    if (stroke())
        stroke()->setColor(kx::Color::srgb(0, 0, 0, 1));
}

std::shared_ptr<KXSymbolShape> KXSymbolShape::symbolShapeWithType(std::uint32_t shapeType, const kx::Rect& relativeRect) {
    auto shape = std::make_shared<KXSymbolShape>();
    shape->setRelativeRect(relativeRect);
    shape->setShapeType(shapeType);
    if (shapeType == KXShapeTypeLine || shapeType == KXShapeTypeArrowLine)
        shape->m_pointsArray = {std::make_shared<KXPathPoint>(kx::Point(0, 0), kx::Point(1, 1), kx::Point())};
    else if (shapeType == KXShapeTypeCurve)
        shape->m_pointsArray = {std::make_shared<KXPathPoint>(kx::Point(0, 0), kx::Point(1, 1), kx::Point(0.3, 0.7))};
    shape->updatePath();
    return shape;
}

// ---- fields and observation ----

void KXSymbolShape::setPointsArray(const KXPathPointArray& points) {
    KXPathPointArray copies;
    for (const auto& p : points)
        if (p)
            copies.push_back(p->copy());
    const kx::Value oldValue(valuesOfPathPoints(m_pointsArray));
    m_pointsArray = std::move(copies);
    updatePath();
    didChangeValue(kPointsArrayKey, oldValue, kx::Value(valuesOfPathPoints(m_pointsArray)));
}

void KXSymbolShape::addObserver(kx::KeyObserver* observer) {
    KXShape::addObserver(observer);
    kx::Observable::addObserver(observer, kPointsArrayKey);
}

void KXSymbolShape::removeObserver(kx::KeyObserver* observer) {
    kx::Observable::removeObserver(observer, kPointsArrayKey);
    KXShape::removeObserver(observer);
}

const kx::PropertyTable& KXSymbolShape::propertyTable() const {
    static const kx::PropertyTable table = [this] {
        kx::PropertyTable t(&KXShape::propertyTable());
        t.add<KXSymbolShape>(
            kPointsArrayKey, [](const KXSymbolShape& s) { return kx::Value(valuesOfPathPoints(s.pointsArray())); },
            [](KXSymbolShape& s, const kx::Value& v) { s.setPointsArray(pathPointsOfValues(v.toArray())); });
        return t;
    }();
    return table;
}

// ---- widths ----

double KXSymbolShape::relativeBorderWidth() const {
    if (!stroke())
        return 0;
    const kx::Size preview = canvas() ? canvas()->previewSize() : kx::Size();
    const double w = stroke()->borderWidthWithReference(std::min(preview.width, preview.height), 1);
    return std::isfinite(w) ? w : 0;
}

double KXSymbolShape::pathBorderWidth() const {
    if (!stroke())
        return 0;
    if (stroke()->type() != 0)
        return relativeBorderWidth();
    const double w = stroke()->width() * (canvas() ? canvas()->zoomValue() : 1.0);
    return std::isfinite(w) ? w : 0;
}

// ---- outlines ----

kx::BezierPath KXSymbolShape::shapePathWithRect(const kx::Rect& rect) const {
    kx::BezierPath base = KXShape::shapePathWithRect(rect);
    if (m_pointsArray.empty())
        return {};
    switch (shapeType()) {
    case KXShapeTypeLine: return linePathWithPoints(m_pointsArray, rect);
    case KXShapeTypeCurve: return curvePathWithPoints(m_pointsArray, rect);
    case KXShapeTypeArrowLine: return markShapeWithPoint(m_pointsArray, rect, 5 * pathBorderWidth());
    default: return base;
    }
}

void KXSymbolShape::updateMarkPathWithStartPoint(const kx::Point& start, const kx::Point& tip) {
    const float dx = float(tip.x - start.x), dy = float(tip.y - start.y);
    const float length = std::sqrt(dx * dx + dy * dy);
    if (!(length > 0) || !std::isfinite(length))
        return;
    // The head is as long as the one the outline gets whenever it is built for the frame (a move, a resize,
    // an undo): with an absolute stroke the relative width would give another head, and the arrow's head
    // would change size with the road it last took.
    updateMarkPathFormPath(markPathWithStartPoint(start, tip, 5 * pathBorderWidth()));
}

void KXSymbolShape::updatePathForStrokeWidthChanged() {
    const kx::BezierPath p = path();
    if (p.elementCount() < 4)
        return;
    updateMarkPathWithStartPoint(p.elementAtIndex(0).points[0], p.elementAtIndex(3).points[0]);
}

// ---- drawing ----

void KXSymbolShape::drawInContext(kx::BitmapContext& context, const kx::Rect& rect) {
    if (rect.isEmpty() || !std::isfinite(rect.origin.x) || !std::isfinite(rect.origin.y) ||
        !std::isfinite(rect.size.width) || !std::isfinite(rect.size.height))
        return;
    const kx::Rect r = roundRectComponents(rect);
    context.saveGState();
    context.setAlpha(opacity());
    context.translate(r.origin.x, r.origin.y);
    if (shapeType() == KXShapeTypeArrowLine && isStrokeEnabled()) {
        drawMarkPathInContext(context);
        drawStrokePathInContext(context);
    } else {
        drawStrokeInContext(context, {0, 0, r.size.width, r.size.height}, true);
    }
    context.restoreGState();
}

void KXSymbolShape::drawMarkPathInContext(kx::BitmapContext& context) const {
    const kx::BezierPath& p = path();
    if (p.elementCount() <= 1 || !stroke())
        return;
    kx::BezierPath head;
    for (int i = 1; i < p.elementCount(); ++i) {
        const kx::BezierPath::Element e = p.elementAtIndex(i);
        if (e.type == kx::BezierPath::ElementType::ClosePath) {
            head.closePath();
            break;
        }
        const kx::Point point = e.type == kx::BezierPath::ElementType::CurveTo ? e.points[2] : e.points[0];
        if (i == 1)
            head.moveTo(point);
        else
            head.lineTo(point);
    }
    const std::optional<kx::Path> outline = quartzPathWhileClose(head, false);
    if (!outline)
        return;
    context.saveGState();
    context.setFillColor(stroke()->color());
    context.setStrokeColor(stroke()->color());
    context.beginPath();
    context.addPath(*outline);
    context.drawPath(kx::PathDrawingMode::FillStroke);
    context.restoreGState();
}

void KXSymbolShape::drawStrokePathInContext(kx::BitmapContext& context) const {
    const kx::BezierPath& p = path();
    if (p.elementCount() < 2 || !stroke())
        return;
    const double w = relativeBorderWidth();
    kx::Path stem;
    stem.moveTo(p.elementAtIndex(0).points[0]);
    stem.lineTo(p.elementAtIndex(1).points[0]);
    context.saveGState();
    context.setLineWidth(0.5 * w);
    context.setStrokeColor(stroke()->color());
    switch (stroke()->style()) {
    case KXStrokeStyleDash: context.setLineDash(0, {w, w}); break;
    case KXStrokeStyleLongDash: context.setLineDash(0, {2 * w, 2 * w}); break;
    case KXStrokeStyleLongerDash: context.setLineDash(0, {3 * w, 3 * w}); break;
    case KXStrokeStyleDot:
        context.setLineCap(kx::LineCap::Round);
        context.setLineDash(0, {0, 3 * w});
        break;
    default: break;
    }
    context.beginPath();
    context.addPath(stem);
    context.strokePath();
    context.restoreGState();
}

bool KXSymbolShape::pathContainsInRect(const kx::Rect& rect) const {
    const kx::Rect frame = frameRect();
    if (rect.contains(frame))
        return true;
    const double W = std::floor(double(float(rect.size.width)));
    const double H = std::floor(double(float(rect.size.height)));
    if (!(W >= 1) || !(H >= 1))
        return false;
    // Only pixels near the frame can be painted: the bitmap covers the part of the rectangle within reach of
    // the frame (the stroke and the arrow head), on the rectangle's own pixel grid.
    const double wR = relativeBorderWidth();
    const double lineWidth = std::max(5.0, wR);
    const double reach = lineWidth / 2 + 5 * std::max(wR, pathBorderWidth()) + 2;
    const double x0 = std::max(0.0, std::floor(frame.origin.x - reach - rect.origin.x));
    const double y0 = std::max(0.0, std::floor(frame.origin.y - reach - rect.origin.y));
    const double x1 = std::min(W, std::ceil(frame.origin.x + frame.size.width + reach - rect.origin.x));
    const double y1 = std::min(H, std::ceil(frame.origin.y + frame.size.height + reach - rect.origin.y));
    if (!(x1 > x0) || !(y1 > y0) || !((x1 - x0) * (y1 - y0) <= double(kx::Image::maximumPixelCount)))
        return false;
    const std::optional<kx::Path> outline = quartzPathWhileClose(path(), false);
    if (!outline)
        return false;
    kx::BitmapContext bitmap(int(x1 - x0), int(y1 - y0), kx::BitmapContext::Kind::AlphaOnly);
    if (!bitmap.isValid())
        return false;
    bitmap.saveGState();
    bitmap.translate(frame.origin.x - rect.origin.x - x0, frame.origin.y - rect.origin.y - y0);
    bitmap.setShouldAntialias(false);
    bitmap.setLineWidth(lineWidth);
    bitmap.beginPath();
    bitmap.addPath(*outline);
    bitmap.strokePath();
    if (shapeType() == KXShapeTypeArrowLine)
        drawMarkPathInContext(bitmap);
    bitmap.restoreGState();
    const uchar* pixels = bitmap.constData();
    for (int row = 0; row < bitmap.height(); ++row)
        for (int x = 0; x < bitmap.width(); ++x)
            if (pixels[row * bitmap.bytesPerRow() + x] == 255)
                return true;
    return false;
}

// ---- archive ----

void KXSymbolShape::encodeWithCoder(kx::KeyedArchiver& coder) const {
    KXShape::encodeWithCoder(coder);
    coder.encodeObject(kx::Value(valuesOfPathPoints(m_pointsArray)), kPointsArrayKey);
}

void KXSymbolShape::initWithCoder(kx::KeyedUnarchiver& coder) {
    KXShape::initWithCoder(coder);
    decodePathPointArray(coder, kPointsArrayKey, &m_pointsArray);
}
