#include "shapes/parametric_shape.h"

#include "graphics/geometry_utilities.h"
#include "model/background.h"
#include "model/canvas.h"
#include "model/page_size.h"
#include "model/shape_text.h"
#include "model/stroke.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "platform/foundation/undo_manager.h"
#include "shapes/shape_path_builders.h"

#include <algorithm>
#include <cmath>

namespace {

const QString kShapeInfoKey = QStringLiteral("shapeInfo");

kx::ValueDictionary bubbleCreationInfo() {
    return {{QStringLiteral("bubbleRadius"), kx::Value(30.0f)},
            {QStringLiteral("arrowRadius"), kx::Value(10.0f)},
            {QStringLiteral("bubbleRect"), kx::Value(kx::Rect(0, 0.25, 1, 0.75))},
            {QStringLiteral("arrowPoint"), kx::Value(kx::Point(0, 0))}};
}

kx::Rect scaled(const kx::Rect& fraction, double w, double h) {
    return {fraction.origin.x * w, fraction.origin.y * h, fraction.size.width * w, fraction.size.height * h};
}

}  // namespace

KXSpecialShape::KXSpecialShape() {
    setFillEnabled(true);
    if (background())
        background()->setFillType(KXFillTypeColor);
    setStrokeEnabled(true);
    if (stroke())
        stroke()->setColor(kx::Color::srgb(0, 0, 0, 1));
}

std::optional<kx::ValueDictionary> KXSpecialShape::creationInfo(std::uint32_t shapeType, const kx::Rect& relativeRect) {
    switch (shapeType) {
    case KXShapeTypeRoundedRectangle: return kx::ValueDictionary{{QStringLiteral("radius"), kx::Value(0.125f)}};
    case KXShapeTypeSingleArrow:
        return kx::ValueDictionary{{QStringLiteral("arrow"), kx::Value(0.5f)},
                                   {QStringLiteral("width"), kx::Value(0.67f)},
                                   {QStringLiteral("triangle"), kx::Value(float(relativeRect.size.width * 0.5))},
                                   {QStringLiteral("rightDirection"), kx::Value(true)}};
    case KXShapeTypeDoubleArrow:
        return kx::ValueDictionary{{QStringLiteral("widthScale"), kx::Value(0.3f)},
                                   {QStringLiteral("breadthScale"), kx::Value(0.67f)}};
    case KXShapeTypeBubble: return bubbleCreationInfo();
    case KXShapeTypePolygon: return kx::ValueDictionary{{QStringLiteral("sider"), kx::Value(6)}};
    case KXShapeTypeStar:
        return kx::ValueDictionary{{QStringLiteral("point"), kx::Value(5)}, {QStringLiteral("radius"), kx::Value(0.5f)}};
    default: return std::nullopt;
    }
}

std::shared_ptr<KXSpecialShape> KXSpecialShape::shapeWithType(std::uint32_t shapeType, const kx::Rect& relativeRect) {
    auto shape = std::make_shared<KXSpecialShape>();
    shape->setRelativeRect(relativeRect);
    shape->setShapeType(shapeType);
    shape->setInfo(creationInfo(shapeType, relativeRect));
    shape->updatePath();
    return shape;
}

// ---- parameters ----

double KXSpecialShape::zoom() const {
    return canvas() ? canvas()->zoomValue() : 1.0;
}

kx::Value KXSpecialShape::shapeInfoForKey(const QString& key) const {
    if (!m_shapeInfo)
        return {};
    const auto found = m_shapeInfo->find(key);
    return found == m_shapeInfo->end() ? kx::Value() : found->second;
}

double KXSpecialShape::number(const char* key) const {
    return shapeInfoForKey(QString::fromLatin1(key)).toDouble();
}

void KXSpecialShape::setShapeInfo(const std::optional<kx::ValueDictionary>& info) {
    KXCanvas* page = canvas();
    if (m_shapeInfo && page && page->undoManager().isUndoRegistrationEnabled()) {
        // The step keeps the shape alive for as long as it may be undone.
        auto keep = std::dynamic_pointer_cast<KXSpecialShape>(weak_from_this().lock());
        page->undoManager().registerUndo(this, [self = this, keep, old = m_shapeInfo] { self->setShapeInfo(old); });
    }
    m_shapeInfo = info;
    updatePath();
    setNeedsDisplay();
}

void KXSpecialShape::updateShapeInfo() {
    const kx::Rect frame = frameRect();
    const double z = zoom();
    if (shapeType() == KXShapeTypeRoundedRectangle) {
        const double radius = number("radius");
        const double length = std::min(radius * frame.size.width, radius * frame.size.height) / z;
        // A page without zoom or a frame without size gives no length: the fraction stays.
        if (!std::isfinite(length) || length < 0)
            return;
        kx::ValueDictionary info = m_shapeInfo.value_or(kx::ValueDictionary());
        info[QStringLiteral("radius")] = kx::Value(float(length));
        setInfo(info);
    } else if (shapeType() == KXShapeTypeSingleArrow) {
        setInfo(kx::ValueDictionary{{QStringLiteral("arrow"), kx::Value(0.5f)},
                                    {QStringLiteral("width"), kx::Value(0.67f)},
                                    {QStringLiteral("triangle"), kx::Value(float(frame.size.width * 0.5))},
                                    {QStringLiteral("rightDirection"), kx::Value(true)}});
    } else {
        return;
    }
    updatePath();
}

void KXSpecialShape::initTextAlignment() {
    if (KXShapeText* target = text()) {
        target->setVerticalAlignment(1);
        target->setParagraphAlignment(2);
    }
}

// ---- outlines ----

kx::BezierPath KXSpecialShape::shapePathWithRect(const kx::Rect& r) const {
    kx::BezierPath base = KXShape::shapePathWithRect(r);
    const double z = zoom();
    switch (shapeType()) {
    case KXShapeTypeRectangle: return kx::BezierPath::withRect(r);
    case KXShapeTypeEquilateralTriangle: return equilTriangle(r);
    case KXShapeTypeRightTriangle: return rightTriangle(r);
    case KXShapeTypeRoundedRectangle: {
        const kx::Rect f = roundRectComponents(frameRect());
        const double cap = std::max(1.0, std::min(f.size.width, f.size.height) * 0.5);
        const float t = float(number("radius") * z);
        // A radius that is no number or negative draws as the cap or as square corners.
        const double radius = !(double(t) <= cap) ? cap : std::max(0.0, double(t));
        return circular(r, radius, radius);
    }
    case KXShapeTypeSingleArrow: return singleArrow(r, m_shapeInfo.value_or(kx::ValueDictionary()));
    case KXShapeTypeDoubleArrow: return doubleArrowInRect(r, m_shapeInfo.value_or(kx::ValueDictionary()));
    case KXShapeTypeOval: return kx::BezierPath::withOvalInRect(r);
    case KXShapeTypeBubble: {
        const kx::Rect fraction = shapeInfoForKey(QStringLiteral("bubbleRect")).toRect();
        const kx::Rect body(r.origin.x + fraction.origin.x * r.size.width, r.origin.y + fraction.origin.y * r.size.height,
                            fraction.size.width * r.size.width, fraction.size.height * r.size.height);
        const double cap = std::max(1.0, std::max(body.size.width, body.size.height) * 0.5);
        double radius = std::min(cap, z * number("bubbleRadius"));
        if (!std::isfinite(radius) || radius < 0)
            radius = std::isfinite(radius) ? 0 : cap;
        const kx::Point p = shapeInfoForKey(QStringLiteral("arrowPoint")).toPoint();
        const kx::Point tail(r.origin.x + p.x * r.size.width, r.origin.y + p.y * r.size.height);
        double precision = 2 * z;
        if (canvas() && canvas()->pageSize() && canvas()->pageSize()->unit() != KXSizeUnitPixel)
            precision *= double(canvas()->pageSize()->dpi()) / 72;
        return bubble(r, body, radius, number("arrowRadius"), tail, precision);
    }
    case KXShapeTypeLozenge: return lozengeInRect(r);
    case KXShapeTypePolygon:
        if (r.size.width <= 5 || r.size.height <= 5)
            return kx::BezierPath::withRect(r);
        return polygonInRect(r, long(shapeInfoForKey(QStringLiteral("sider")).toInteger()));
    case KXShapeTypeStar:
        return starInRect(r, long(shapeInfoForKey(QStringLiteral("point")).toInteger()), float(number("radius")));
    default: return base;
    }
}

kx::BezierPath KXSpecialShape::editingShapeWithRect(const kx::Rect& r) const {
    switch (shapeType()) {
    case KXShapeTypeRoundedRectangle: {
        const double cap = std::max(1.0, std::min(r.size.width, r.size.height) * 0.5);
        const double t = number("radius");
        const double radius = !(t <= cap) ? cap : std::max(0.0, t);
        return circular(r, radius, radius);
    }
    case KXShapeTypeBubble: {
        const double cap = std::max(1.0, std::max(r.size.width, r.size.height) * 0.5);
        double radius = std::min(cap, number("bubbleRadius"));
        if (!std::isfinite(radius) || radius < 0)
            radius = std::isfinite(radius) ? 0 : cap;
        return kx::BezierPath::withRoundedRect(r, radius, radius);
    }
    case KXShapeTypePolygon: return polygonInRect(r, long(shapeInfoForKey(QStringLiteral("sider")).toInteger()));
    default: return shapePathWithRect(r);
    }
}

kx::Rect KXSpecialShape::editingRectInObjectRect(const kx::Rect& r) const {
    if (shapeType() != KXShapeTypeBubble)
        return {0, 0, r.size.width, r.size.height};
    const kx::Rect e = scaled(shapeInfoForKey(QStringLiteral("bubbleRect")).toRect(), r.size.width, r.size.height);
    if (e.size.width <= 1 || e.size.height <= 1)
        return e;
    const double z = zoom();
    double border = 0;
    if (isStrokeEnabled() && stroke()) {
        if (stroke()->type() != 0) {
            const kx::Size preview = canvas() ? canvas()->previewSize() : kx::Size();
            border = stroke()->borderWidthWithReference(std::min(preview.width, preview.height), 1);
        } else {
            border = stroke()->width() * z;
        }
    }
    const double margin = text() && text()->isTextMarginEnabled() ? text()->textMargin() : 0;
    const double inset = (border + margin) * z * 0.5;
    if (!std::isfinite(inset))
        return e;
    return e.insetBy(inset, inset);
}

// ---- archive ----

void KXSpecialShape::encodeWithCoder(kx::KeyedArchiver& coder) const {
    KXShape::encodeWithCoder(coder);
    coder.encodeObject(m_shapeInfo ? kx::Value(*m_shapeInfo) : kx::Value(), kShapeInfoKey);
}

void KXSpecialShape::initWithCoder(kx::KeyedUnarchiver& coder) {
    KXShape::initWithCoder(coder);
    const kx::Value stored = coder.decodeObjectOfType(kShapeInfoKey, kx::Value::Type::Dictionary);
    std::optional<kx::ValueDictionary> info;
    if (!stored.isNil())
        info = stored.toDictionary();
    // A bubble stored with a single parameter is read with all four of a new bubble.
    if (shapeType() == KXShapeTypeBubble && info && info->size() == 1)
        info = bubbleCreationInfo();
    setShapeInfo(info);
    if (text() && text()->isEmpty())
        initTextAlignment();
}
