#include "model/path_point.h"

#include "platform/foundation/archive_copy.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"

namespace {
const QString kPoint1Key = QStringLiteral("point1");
const QString kPoint2Key = QStringLiteral("point2");
const QString kPoint3Key = QStringLiteral("point3");
}  // namespace

namespace {
void setFinite(kx::Point& stored, const kx::Point& p) {
    if (kx::isFiniteGeometry(p))
        stored = p;
}
}  // namespace

void KXPathPoint::setPoint1(kx::Point p) {
    setFinite(m_point1, p);
}

void KXPathPoint::setPoint2(kx::Point p) {
    setFinite(m_point2, p);
}

void KXPathPoint::setPoint3(kx::Point p) {
    setFinite(m_point3, p);
}

void KXPathPoint::setPoint1(kx::Point p1, kx::Point p2, kx::Point p3) {
    setPoint1(p1);
    setPoint2(p2);
    setPoint3(p3);
}

std::shared_ptr<KXPathPoint> KXPathPoint::copy() const {
    return kx::archiveCopy(*this);
}

void KXPathPoint::encodeWithCoder(kx::KeyedArchiver& coder) const {
    coder.encodePoint(m_point1, kPoint1Key);
    coder.encodePoint(m_point2, kPoint2Key);
    coder.encodePoint(m_point3, kPoint3Key);
}

void KXPathPoint::initWithCoder(kx::KeyedUnarchiver& coder) {
    m_point1 = coder.decodePoint(kPoint1Key);
    m_point2 = coder.decodePoint(kPoint2Key);
    m_point3 = coder.decodePoint(kPoint3Key);
}

kx::ValueArray valuesOfPathPoints(const KXPathPointArray& points) {
    kx::ValueArray values;
    values.reserve(points.size());
    for (const auto& p : points)
        values.push_back(kx::Value(p));
    return values;
}

KXPathPointArray pathPointsOfValues(const kx::ValueArray& values) {
    KXPathPointArray points;
    for (const kx::Value& v : values)
        if (auto p = v.objectAs<KXPathPoint>())
            points.push_back(p);
    return points;
}

bool decodePathPointArray(kx::KeyedUnarchiver& coder, const QString& key, KXPathPointArray* points) {
    const kx::Value stored = coder.decodeObjectOfType(key, kx::Value::Type::Array);
    KXPathPointArray read;
    for (const kx::Value& v : stored.toArray()) {
        auto p = v.objectAs<KXPathPoint>();
        if (!p) {
            coder.failWithError(QStringLiteral("\"%1\" holds something other than path points").arg(key));
            return false;
        }
        // Each entry gets a point of its own: an archive may list one point twice, and a shared point would
        // move twice in an edit and come back as two after an undo.
        read.push_back(std::make_shared<KXPathPoint>(p->point1(), p->point2(), p->point3()));
    }
    *points = std::move(read);
    return true;
}
