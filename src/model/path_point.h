// Three points in frame-relative units (0 to 1 across a shape's frame) whose meaning the owning shape
// gives them: a line's start, end and curve handle, or a pen path's start point and segments.
#pragma once

#include "platform/foundation/coding.h"
#include "platform/foundation/geometry.h"
#include "platform/foundation/value.h"

namespace kx {
class KeyedUnarchiver;
}

#include <memory>
#include <vector>

class KXPathPoint : public kx::Object, public kx::Coding {
public:
    KXPathPoint() = default;
    KXPathPoint(kx::Point p1, kx::Point p2, kx::Point p3) { setPoint1(p1, p2, p3); }

    QString className() const override { return QStringLiteral("KXPathPoint"); }

    kx::Point point1() const { return m_point1; }
    kx::Point point2() const { return m_point2; }
    kx::Point point3() const { return m_point3; }
    // A point that is not finite has no archived form and is refused: the old point stays (a new path point
    // keeps (0, 0)).
    void setPoint1(kx::Point p);
    void setPoint2(kx::Point p);
    void setPoint3(kx::Point p);
    void setPoint1(kx::Point p1, kx::Point p2, kx::Point p3);

    std::shared_ptr<KXPathPoint> copy() const;

    // "point1", "point2", "point3" as point strings; a missing key reads as (0, 0).
    void encodeWithCoder(kx::KeyedArchiver& coder) const override;
    void initWithCoder(kx::KeyedUnarchiver& coder) override;

private:
    kx::Point m_point1, m_point2, m_point3;
};

using KXPathPointArray = std::vector<std::shared_ptr<KXPathPoint>>;

// A list of path points as archive values and back; values that are not path points are skipped.
kx::ValueArray valuesOfPathPoints(const KXPathPointArray& points);
KXPathPointArray pathPointsOfValues(const kx::ValueArray& values);
// Reads the list of path points stored under `key`. A list holding anything other than path points fails
// the archive with an error naming the key and gives false (the caller keeps what it had). Every entry is a
// point of its own, also where the archive lists one point twice.
bool decodePathPointArray(kx::KeyedUnarchiver& coder, const QString& key, KXPathPointArray* points);
