#include "model/path_point.h"

#include "platform/foundation/archive_copy.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"

namespace {
const QString kPoint1Key = QStringLiteral("point1");
const QString kPoint2Key = QStringLiteral("point2");
const QString kPoint3Key = QStringLiteral("point3");
}  // namespace

void KXPathPoint::setPoint1(kx::Point p1, kx::Point p2, kx::Point p3) {
    m_point1 = p1;
    m_point2 = p2;
    m_point3 = p3;
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
