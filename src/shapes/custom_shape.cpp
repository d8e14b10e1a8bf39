#include "shapes/custom_shape.h"

#include "model/background.h"
#include "model/shape_text.h"
#include "model/stroke.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "platform/gfx/bezier_path_coding.h"
#include "shapes/shape_path_builders.h"

namespace {

const QString kCustomPointsArrayKey = QStringLiteral("customPointsArray");
const QString kPathKey = QStringLiteral("path");

kx::Value pathValue(const kx::BezierPath& path) {
    return kx::Value(std::make_shared<kx::CodableBezierPath>(path));
}

}  // namespace

KXCustomShape::KXCustomShape() {
    setShapeType(KXShapeTypeCustom);
    setFillEnabled(true);
    if (KXBackground* fill = background()) {
        fill->setFillType(KXFillTypeColor);
        fill->setColor1(kx::Color::srgb(75 / 255.0, 159 / 255.0, 229 / 255.0, 1));
        fill->setColor2(kx::Color::srgb(60 / 255.0, 60 / 255.0, 1, 1));
    }
    setStrokeEnabled(true);
    if (stroke())
        stroke()->setColor(kx::Color::srgb(0, 0, 0, 1));
    initTextAlignment();
}

KXCustomShape::~KXCustomShape() = default;

std::shared_ptr<KXCustomShape> KXCustomShape::customShapeWithRelativeRect(const kx::Rect& relativeRect) {
    auto shape = std::make_shared<KXCustomShape>();
    shape->setRelativeRect(relativeRect);
    return shape;
}

void KXCustomShape::initTextAlignment() {
    if (KXShapeText* field = text()) {
        field->setVerticalAlignment(1);
        field->setParagraphAlignment(2);
    }
}

// ---- fields and observation ----

void KXCustomShape::setCustomPointsArray(const KXPathPointArray& points) {
    KXPathPointArray copies;
    copies.reserve(points.size());
    for (const auto& p : points)
        if (p)
            copies.push_back(std::make_shared<KXPathPoint>(p->point1(), p->point2(), p->point3()));
    const kx::Value oldValue(valuesOfPathPoints(m_customPointsArray));
    m_customPointsArray = std::move(copies);
    didChangeValue(kCustomPointsArrayKey, oldValue, kx::Value(valuesOfPathPoints(m_customPointsArray)));
}

void KXCustomShape::setPath(const kx::BezierPath& newPath) {
    const kx::Value oldValue = pathValue(path());
    KXShape::setPath(newPath);
    didChangeValue(kPathKey, oldValue, pathValue(path()));
}

void KXCustomShape::addObserver(kx::KeyObserver* observer) {
    KXShape::addObserver(observer);
    kx::Observable::addObserver(observer, kPathKey);
    kx::Observable::addObserver(observer, kCustomPointsArrayKey);
}

void KXCustomShape::removeObserver(kx::KeyObserver* observer) {
    kx::Observable::removeObserver(observer, kCustomPointsArrayKey);
    kx::Observable::removeObserver(observer, kPathKey);
    KXShape::removeObserver(observer);
}

const kx::PropertyTable& KXCustomShape::propertyTable() const {
    static const kx::PropertyTable table = [this] {
        kx::PropertyTable t(&KXShape::propertyTable());
        t.add<KXCustomShape>(
            kCustomPointsArrayKey, [](const KXCustomShape& s) { return kx::Value(valuesOfPathPoints(s.customPointsArray())); },
            [](KXCustomShape& s, const kx::Value& v) { s.setCustomPointsArray(pathPointsOfValues(v.toArray())); });
        t.add<KXCustomShape>(
            kPathKey, [](const KXCustomShape& s) { return pathValue(s.path()); },
            [](KXCustomShape& s, const kx::Value& v) {
                if (auto holder = v.objectAs<kx::CodableBezierPath>())
                    s.setPath(holder->path);
            });
        return t;
    }();
    return table;
}

// ---- outlines ----

kx::BezierPath KXCustomShape::shapePathWithRect(const kx::Rect& rect) const {
    if (shapeType() != KXShapeTypeCustom)
        return KXShape::shapePathWithRect(rect);
    return customPathWithPoints(m_customPointsArray, rect);
}

kx::BezierPath KXCustomShape::editingShapeWithRect(const kx::Rect& rect) const {
    if (shapeType() != KXShapeTypeCustom)
        return KXShape::editingShapeWithRect(rect);
    return customPathWithPoints(m_customPointsArray, rect);
}

// ---- archive ----

void KXCustomShape::encodeWithCoder(kx::KeyedArchiver& coder) const {
    KXShape::encodeWithCoder(coder);
    coder.encodeObject(kx::Value(valuesOfPathPoints(m_customPointsArray)), kCustomPointsArrayKey);
}

void KXCustomShape::initWithCoder(kx::KeyedUnarchiver& coder) {
    KXShape::initWithCoder(coder);
    // The class makes the shape a pen shape: another stored type would draw and refit the shape with a
    // parametric outline while its nodes are edited as a pen outline.
    setShapeType(KXShapeTypeCustom);
    if (!decodePathPointArray(coder, kCustomPointsArrayKey, &m_customPointsArray))
        return;
    if (text() && text()->isEmpty())
        initTextAlignment();
}
