// On-canvas editing of the pen shape: what lies under the pointer (anchors, control handles, segment
// midpoints), what a click selects or inserts, and dragging anchors and handles with optional snapping.
#include "model/photo.h"
#include "shapes/custom_shape.h"
#include "shapes/custom_shape_outline.h"
#include "graphics/geometry_utilities.h"

#include <cmath>
#include <limits>

using namespace kx::pen;

namespace {

const QString kElementKey = QStringLiteral("element");
const QString kChangeTypeKey = QStringLiteral("changeType");

constexpr double kInfoSquare = 6;
constexpr double kCursorAnchorSquare = 6;
constexpr double kCursorHandleSquare = 5;
constexpr float kSnapDistance = 8;

// The segment after node i: i + 1, or segment 1 after the last element.
int nextSegment(int i, int count) {
    return i + 1 < count ? i + 1 : 1;
}

}  // namespace

kx::Point KXCustomShape::segmentMidpoint(const kx::BezierPath& path, int i) {
    const int n = path.elementCount();
    if (i < 1 || i >= n)
        return {};
    const Element& e = path.elements()[std::size_t(i)];
    const kx::Point s = onPathPoint(path.elements()[std::size_t(i - 1)]);
    const kx::Point a = onPathPoint(e);
    if (isCurve(e) && !isStraight(e))
        return {cubicBezierValue(s.x, a.x, e.points[0].x, e.points[1].x, 0.5),
                cubicBezierValue(s.y, a.y, e.points[0].y, e.points[1].y, 0.5)};
    return mid(s, a);
}

// ---- pointer tests ----

bool KXCustomShape::hitTestEditableAtPoint(const kx::Point& point) const {
    auto* self = const_cast<KXCustomShape*>(this);
    self->m_centerPointElement = -1;
    const kx::BezierPath& p = path();
    if (!isPenOutline(p))
        return false;
    const Elements& elements = p.elements();
    const int n = int(elements.size());
    const std::int64_t selected = m_customPointElement;
    for (int i = 0; i < n; ++i) {
        const Element& e = elements[std::size_t(i)];
        const kx::Point a = onPathPoint(e);
        if (inSquare(a, kCursorAnchorSquare, point))
            return true;
        if (i > 0 && selected != -1) {
            if (segmentHoverBounds(onPathPoint(elements[std::size_t(i - 1)]), e).contains(point)) {
                self->m_centerPointElement = i;
                if (inSquare(segmentMidpoint(p, i), kCursorAnchorSquare, point))
                    return true;
            }
        }
        if (isCurve(e) && i == selected) {
            const kx::Point c1 = e.points[0], c2 = e.points[1];
            if (c2 != a && inSquare(c2, kCursorHandleSquare, point))
                return true;
            const kx::Point following = elements[std::size_t(nextSegment(i, n))].points[0];
            if (following != a && c2 != c1 && inSquare(following, kCursorHandleSquare, point))
                return true;
        }
    }
    return false;
}

std::optional<kx::ValueDictionary> KXCustomShape::handlerInfoAtPoint(const kx::Point& point) const {
    auto* self = const_cast<KXCustomShape*>(this);
    std::optional<kx::ValueDictionary> result;
    auto answer = [&](int element, int changeType) {
        result = kx::ValueDictionary{{kElementKey, kx::Value(element)}, {kChangeTypeKey, kx::Value(changeType)}};
    };
    auto select = [&](int element) {
        self->m_customPointElement = element;
        self->m_showCustomCtlPoint = true;
        self->setNeedsDisplay();
    };
    if (isPenOutline(path())) {
        const int count = path().elementCount();
        // The outline may grow by an inserted node; the walk still covers as many elements as it began with.
        for (int i = 0; i < count; ++i) {
            const kx::BezierPath outline = path();
            const Elements& elements = outline.elements();
            const int n = int(elements.size());
            if (i >= n)
                break;
            const std::int64_t sel = m_customPointElement;
            const Element& e = elements[std::size_t(i)];
            const kx::Point a = onPathPoint(e);
            const bool curve = isCurve(e);
            const bool hitA = inSquare(a, kInfoSquare, point);
            const bool hit1 = inSquare(e.points[0], kInfoSquare, point);
            const bool hit2 = curve && inSquare(e.points[1], kInfoSquare, point);
            const bool straight = isStraight(e);
            const bool hitM = i >= 1 && i == m_centerPointElement && sel != -1 &&
                              inSquare(segmentMidpoint(outline, i), kInfoSquare, point);
            const bool near = i == sel || std::int64_t(i) - 1 == sel || sel >= n - 1;
            // The first control of the segment after this node; none on an outline without segments.
            const bool hasNext = n >= 2;
            const Element& following = elements[std::size_t(hasNext ? nextSegment(i, n) : 0)];
            const bool last = i == n - 1;
            if ((hitA && straight) || (!curve && hit1)) {
                select(i);
                int type = hasNext && following.points[0] == a ? 8 : 1;
                if (last && n <= 2)
                    type = 1;
                answer(i, type);
            } else if (hitA) {
                select(i);
                int type = hasNext && following.points[0] == following.points[1] ? 5 : 6;
                if (last && n <= 2)
                    type = 8;
                answer(i, type);
            } else if (curve && hit1 && near) {
                answer(i, 3);
            } else if (curve && hit2 && near) {
                answer(i, 4);
            } else if (hitM && m_showCustomCtlPoint) {
                self->m_customPointElement = i;
                self->addPathNodeToIndex(i, segmentMidpoint(outline, i));
                self->setNeedsDisplay();
                answer(i, curve && !straight ? 6 : 1);
            }
        }
    }
    if (!result) {
        self->m_customPointElement = -1;
        self->m_showCustomCtlPoint = false;
    }
    return result;
}

// ---- dragging ----

kx::Point KXCustomShape::adsorptionOffsetWithDragPoint(const kx::Point& d, const kx::Point& t,
                                                       const kx::BezierPath& path, std::int64_t k) {
    float bestDx = 999999, bestDy = 999999;
    double bestX = 0, bestY = 0;
    const Elements& elements = path.elements();
    for (std::size_t i = 1; i < elements.size(); ++i) {
        if (std::int64_t(i) == k || elements[i].type == kx::BezierPath::ElementType::ClosePath)
            continue;
        const kx::Point q = onPathPoint(elements[i]);
        const float dx = float(q.x - t.x), dy = float(q.y - t.y);
        if (std::abs(dx) < std::abs(bestDx)) {
            bestX = q.x;
            bestDx = dx;
        }
        if (std::abs(dy) < std::abs(bestDy)) {
            bestY = q.y;
            bestDy = dy;
        }
    }
    kx::Point snapped = t;
    if (std::abs(bestDx) <= kSnapDistance)
        snapped.x = bestX;
    if (std::abs(bestDy) < kSnapDistance)
        snapped.y = bestY;
    return {snapped.x - d.x, snapped.y - d.y};
}

kx::Point KXCustomShape::dragPathElement(std::int32_t element, float dx, float dy, std::int32_t type,
                                         bool adsorption) {
    if (!std::isfinite(dx) || !std::isfinite(dy))
        return {};
    const kx::Point unmoved(dx, dy);
    const bool controlHandle = type == 3 || type == 4;
    // A control handle belongs to a segment, and element 0 is none; a node index on a closed outline names
    // its last node when it is 0.
    std::optional<int> index = controlHandle ? (element >= 1 ? nodeIndex(element) : std::nullopt) : nodeIndex(element);
    if (!index || !(type == 1 || type == 2 || controlHandle || type == 5 || type == 6 || type == 8))
        return unmoved;
    const int k = *index;
    Elements elements = path().elements();
    const int n = int(elements.size());
    kx::Point o = unmoved;
    if (adsorption && !controlHandle) {
        const kx::Point d = onPathPoint(elements[std::size_t(k)]);
        const kx::Point snapped = adsorptionOffsetWithDragPoint(d, {d.x + dx, d.y + dy}, path(), k);
        o = {double(float(snapped.x)), double(float(snapped.y))};
    }
    Element& e = elements[std::size_t(k)];
    const bool move = !isCurve(e);
    auto shift = [&](kx::Point& q) { q = plus(q, o); };
    auto shiftAnchor = [&] { shift(move ? e.points[0] : e.points[2]); };
    auto shiftFirstPointWhenLast = [&] {
        if (k == n - 1 && k != 0)
            shift(elements[0].points[0]);
    };
    switch (type) {
    case 1:
        if (!move) {
            shift(e.points[0]);
            shift(e.points[1]);
        }
        shiftAnchor();
        if (n >= 3)
            shiftFirstPointWhenLast();
        break;
    case 2: shiftAnchor(); break;
    case 3:
        shift(e.points[0]);
        if (n <= 2)
            e.points[1] = e.points[0];
        break;
    case 4:
        shift(e.points[1]);
        if (n <= 2)
            e.points[0] = e.points[1];
        break;
    case 5:
        if (!move)
            shift(e.points[1]);
        shiftAnchor();
        shiftFirstPointWhenLast();
        break;
    case 6:
    case 8:
        if (type == 8 && !move)
            shift(e.points[0]);
        if (!move)
            shift(e.points[1]);
        shiftAnchor();
        if (n >= 3) {
            shift(elements[std::size_t(nextSegment(k, n))].points[0]);
            shiftFirstPointWhenLast();
        }
        break;
    default: break;
    }
    editGeometry([&] {
        setUpdateAspectRatio(true);
        refit(pathOf(elements));
        setUpdateAspectRatio(false);
        if (graphType() == KXGraphTypePhoto && photo())
            photo()->updateCropRect();
    });
    return o;
}

kx::Point KXCustomShape::nudgePathElement(std::int32_t element, std::int32_t changeType, float dx, float dy) {
    // A first control belongs to the segment after the node it leaves: the node before the element moves.
    if (changeType == 3)
        return element > std::numeric_limits<std::int32_t>::min() ? dragPathElement(element - 1, dx, dy, 6, false)
                                                                 : kx::Point(dx, dy);
    if (changeType == 4)
        return dragPathElement(element, dx, dy, 6, false);
    return dragPathElement(element, dx, dy, changeType, false);
}
