// The node operations of the pen shape: refitting frame and list to an edited outline, inserting a node into a
// segment, deleting the selected node and switching it between corner and smooth.
#include "graphics/geometry_utilities.h"
#include "model/canvas.h"
#include "model/canvas_owner.h"
#include "model/photo.h"
#include "platform/foundation/undo_manager.h"
#include "platform/layers/layer.h"
#include "platform/layers/layer_transaction.h"
#include "shapes/custom_shape.h"
#include "shapes/custom_shape_outline.h"

#include <cmath>

using namespace kx::pen;

namespace kx::pen {

BezierPath pathOf(const Elements& elements) {
    BezierPath path;
    for (const Element& e : elements) {
        if (isCurve(e))
            path.curveTo(e.points[2], e.points[0], e.points[1]);
        else if (e.type == BezierPath::ElementType::MoveTo)
            path.moveTo(e.points[0]);
        else if (e.type == BezierPath::ElementType::LineTo)
            path.lineTo(e.points[0]);
        else
            path.closePath();
    }
    return path;
}

void translate(Elements& elements, double dx, double dy) {
    for (Element& e : elements)
        for (int i = 0; i < e.pointCount(); ++i)
            e.points[i] = {e.points[i].x + dx, e.points[i].y + dy};
}

bool isFinite(const Elements& elements) {
    for (const Element& e : elements)
        for (int i = 0; i < e.pointCount(); ++i)
            if (!isFiniteGeometry(e.points[i]))
                return false;
    return true;
}

Rect segmentBounds(const Point& start, const Element& e) {
    BezierPath segment;
    segment.moveTo(start);
    segment.curveTo(e.points[2], e.points[0], e.points[1]);
    return segment.bounds();
}

}  // namespace kx::pen

namespace {

bool samePoints(const KXPathPointArray& a, const KXPathPointArray& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i]->point1() != b[i]->point1() || a[i]->point2() != b[i]->point2() || a[i]->point3() != b[i]->point3())
            return false;
    return true;
}

// The list for an outline in the frame of the size: each element's points divided by it. A move's unused
// points stay (0, 0).
KXPathPointArray relativePoints(const Elements& elements, const kx::Size& size) {
    KXPathPointArray points;
    points.reserve(elements.size());
    for (const Element& e : elements) {
        auto p = std::make_shared<KXPathPoint>();
        const kx::Point q[3] = {{e.points[0].x / size.width, e.points[0].y / size.height},
                                {e.points[1].x / size.width, e.points[1].y / size.height},
                                {e.points[2].x / size.width, e.points[2].y / size.height}};
        if (isCurve(e))
            p->setPoint1(q[0], q[1], q[2]);
        else
            p->setPoint1(q[0]);
        points.push_back(std::move(p));
    }
    return points;
}

bool hasPreview(const KXCanvas* page) {
    if (!page)
        return false;
    const kx::Size preview = page->previewSize();
    return preview.width > 0 && preview.height > 0 && std::isfinite(preview.width) && std::isfinite(preview.height);
}

}  // namespace

// ---- outline checks ----

bool KXCustomShape::isPenOutline(const kx::BezierPath& path) {
    const Elements& elements = path.elements();
    if (elements.empty() || elements[0].type != kx::BezierPath::ElementType::MoveTo)
        return false;
    for (std::size_t i = 1; i < elements.size(); ++i)
        if (!isCurve(elements[i]))
            return false;
    return isFinite(elements);
}

bool KXCustomShape::isClosedOutline(const kx::BezierPath& path) {
    return isPenOutline(path) && path.elementCount() >= 2 &&
           onPathPoint(path.elements().back()) == path.elements()[0].points[0];
}

std::optional<int> KXCustomShape::nodeIndex(std::int64_t element) const {
    const kx::BezierPath& p = path();
    if (!isPenOutline(p) || element < 0 || element >= p.elementCount())
        return std::nullopt;
    // The start point of a closed outline is its last node: moving or editing element 0 alone would open it.
    if (element == 0 && p.elementCount() >= 3 && isClosedOutline(p))
        return p.elementCount() - 1;
    return int(element);
}

// ---- undo ----

KXCustomShape::Geometry KXCustomShape::geometry() const {
    Geometry g{relativeRect(), aspectRatio(), customPointsArray(), path(), std::nullopt};
    if (photo())
        g.cropRect = photo()->cropRect();
    return g;
}

void KXCustomShape::restoreGeometry(const Geometry& g) {
    KXCanvas* page = canvas();
    if (page && page->undoManager().isUndoRegistrationEnabled()) {
        auto keep = std::dynamic_pointer_cast<KXCustomShape>(weak_from_this().lock());
        page->undoManager().registerUndo(this, [self = this, keep, now = geometry()] { self->restoreGeometry(now); });
    }
    std::optional<kx::UndoDisabler> quiet;
    if (page)
        quiet.emplace(page->undoManager());
    setRelativeRect(g.relativeRect);
    setAspectRatio(g.aspectRatio);
    setCustomPointsArray(g.points);
    // Last: the rectangle rebuilt the outline from the list, which may differ from the stored one by rounding.
    setPath(g.path);
    if (g.cropRect && photo())
        photo()->setCropRect(*g.cropRect);
    setNeedsDisplay();
}

void KXCustomShape::editGeometry(const std::function<void()>& edit) {
    // The edit may drop the last reference the page held (it never does now, but an undo step may).
    const auto keep = std::dynamic_pointer_cast<KXCustomShape>(weak_from_this().lock());
    KXCanvas* page = canvas();
    const Geometry before = geometry();
    {
        // The page would record each key separately, and undoing the rectangle last would rebuild the
        // outline from the list instead of putting back the exact one.
        std::optional<kx::UndoDisabler> quiet;
        if (page)
            quiet.emplace(page->undoManager());
        edit();
    }
    if (!page || page != canvas() || !page->undoManager().isUndoRegistrationEnabled())
        return;
    const Geometry after = geometry();
    if (before.relativeRect == after.relativeRect && before.aspectRatio == after.aspectRatio &&
        before.path == after.path && before.cropRect == after.cropRect && samePoints(before.points, after.points))
        return;
    page->undoManager().registerUndo(this, [self = this, keep, before] { self->restoreGeometry(before); });
}

// ---- refit ----

kx::BezierPath KXCustomShape::outlineForFrame() const {
    kx::Rect r = roundRectComponents(frameRect());
    if (r.size.width == 0 || r.size.height == 0 || !isFiniteGeometry(r))
        return path();
    r.origin = {0, 0};
    if (std::abs(r.size.width) <= 2)
        r.size.width = 2;
    if (std::abs(r.size.height) <= 2)
        r.size.height = 2;
    return shapePathWithRect(r);
}

kx::Point KXCustomShape::overloadAnchorPointAtOldRect(const kx::Rect& o, const kx::Rect& n) const {
    kx::Point anchor(0.5, 0.5);
    if (kx::Layer* layer = render() ? render()->graphLayer() : nullptr)
        anchor = layer->anchorPoint();
    const float ox = float(n.origin.x - o.origin.x), oy = float(n.origin.y - o.origin.y);
    return {(anchor.x * o.size.width - ox) / n.size.width, (anchor.y * o.size.height - oy) / n.size.height};
}

void KXCustomShape::updatePathFromPath(kx::BezierPath newPath) {
    editGeometry([&] { refit(std::move(newPath)); });
}

void KXCustomShape::refit(kx::BezierPath newPath) {
    KXCanvas* page = canvas();
    if (!isPenOutline(newPath) || !hasPreview(page))
        return;
    const kx::Rect f = frameRect();
    Elements elements = newPath.elements();
    translate(elements, f.origin.x, f.origin.y);
    kx::Rect b = pathOf(elements).bounds();
    if (b.size.width <= 1)
        b.size.width = 2;
    if (b.size.height <= 1)
        b.size.height = 2;
    b = roundRectComponents(b);
    if (!isFiniteGeometry(b) || !isFinite(elements) || !(b.size.width > 0) || !(b.size.height > 0))
        return;
    if (f.center() != b.center()) {
        if (kx::Layer* layer = render() ? render()->graphLayer() : nullptr) {
            kx::LayerTransaction transaction;
            layer->setAnchorPoint(overloadAnchorPointAtOldRect(f, b));
        }
    }
    const kx::Rect fr = roundRectComponents(f);
    double x = b.origin.x, y = b.origin.y;
    if (flipX() == -1 && fr.size.width != b.size.width)
        x = b.origin.x != fr.origin.x ? fr.origin.x : fr.origin.x + fr.size.width - b.size.width;
    if (flipY() == -1 && fr.size.height != b.size.height)
        y = b.origin.y != fr.origin.y ? fr.origin.y : fr.origin.y + fr.size.height - b.size.height;
    const kx::Size preview = page->previewSize();
    setRelativeRect({x / preview.width, y / preview.height, b.size.width / preview.width,
                     b.size.height / preview.height});
    translate(elements, -b.origin.x, -b.origin.y);
    // One entry per element: the list and the outline stay in step whatever the list held before.
    setCustomPointsArray(relativePoints(elements, b.size));
    setPath(outlineForFrame());
    setNeedsDisplay();
}

// ---- insertion ----

void KXCustomShape::addPathNodeToIndex(std::int64_t k, const kx::Point& m) {
    const kx::BezierPath& p = path();
    const int n = p.elementCount();
    // Segment 0 is the move to the start: there is no segment to split.
    if (!isPenOutline(p) || k < 1 || k >= n || !isFiniteGeometry(m))
        return;
    const std::int64_t j = k - 1;
    const Element e = p.elements()[std::size_t(k)];
    if (isStraight(e)) {
        addPathNodeForLineWithPoint(m, j);
        return;
    }
    const kx::Point s = onPathPoint(p.elements()[std::size_t(j)]);
    const kx::Point m01 = mid(s, e.points[0]), m12 = mid(e.points[0], e.points[1]), m23 = mid(e.points[1], e.points[2]);
    const kx::Point r0 = mid(m01, m12), r1 = mid(m12, m23);
    addPathNodeForCurveWithPoint(m, k, j, m01, r0, r1, m23);
}

void KXCustomShape::addPathNodeForLineWithPoint(const kx::Point& m, std::int64_t j) {
    const kx::BezierPath& p = path();
    if (!isPenOutline(p) || j < 0 || j >= p.elementCount() || !isFiniteGeometry(m))
        return;
    Elements out;
    for (int i = 0; i < p.elementCount(); ++i) {
        out.push_back(p.elements()[std::size_t(i)]);
        if (i == j)
            out.push_back(curveElement(m, m, m));
    }
    editGeometry([&] { insertNode(pathOf(out)); });
}

void KXCustomShape::addPathNodeForCurveWithPoint(const kx::Point& m, std::int64_t k, std::int64_t j,
                                                 const kx::Point& c1, const kx::Point& c2, const kx::Point& c3,
                                                 const kx::Point& c4) {
    const kx::BezierPath& p = path();
    const int n = p.elementCount();
    if (!isPenOutline(p) || k < 1 || k >= n || j < 0 || j >= n)
        return;
    for (const kx::Point& q : {m, c1, c2, c3, c4})
        if (!isFiniteGeometry(q))
            return;
    Elements out;
    for (int i = 0; i < n; ++i) {
        Element e = p.elements()[std::size_t(i)];
        if (i == k) {
            e.points[0] = c3;
            e.points[1] = c4;
        }
        out.push_back(e);
        if (i == j)
            out.push_back(curveElement(c1, c2, m));
    }
    editGeometry([&] { insertNode(pathOf(out)); });
}

void KXCustomShape::insertNode(const kx::BezierPath& outline) {
    kx::Rect s = outline.bounds();
    if (s.size.width <= 1)
        s.size.width = 2;
    if (s.size.height <= 1)
        s.size.height = 2;
    s = roundRectComponents(s);
    if (!(s.size.width > 0) || !(s.size.height > 0) || !isFiniteGeometry(s))
        return;
    // The frame stays: the outline lies where it lay, only the list gains an entry.
    setCustomPointsArray(relativePoints(outline.elements(), s.size));
    setPath(outlineForFrame());
    setNeedsDisplay();
}

// ---- deletion ----

void KXCustomShape::removeCustomPathPoint() {
    const std::optional<int> k = nodeIndex(m_customPointElement);
    KXCanvas* page = canvas();
    if (!k || !hasPreview(page))
        return;
    const auto keep = std::dynamic_pointer_cast<KXCustomShape>(weak_from_this().lock());
    kx::UndoManager& undo = page->undoManager();
    const int n = path().elementCount();
    undo.beginUndoGrouping();
    if (n <= 2) {
        // No segment would be left: the shape goes, and one undo brings it back as it was.
        m_customPointElement = -1;
        m_showCustomCtlPoint = false;
        page->removeGraph(this);
    } else {
        editGeometry([&] { removeNode(*k); });
        // The selection names the following node, or the node before a deleted last node.
        if (m_customPointElement >= path().elementCount())
            m_customPointElement = path().elementCount() - 1;
    }
    undo.endUndoGrouping();
    if (isTextWrapEnabled() && page->owner())
        page->owner()->setNeedsDisplay();
}

void KXCustomShape::removeNode(int k) {
    const Elements& in = path().elements();
    const int n = int(in.size());
    Elements out;
    if (k == n - 1 && isClosedOutline(path())) {
        // The node before the last one becomes the start point, and the outline ends there again.
        out.push_back(moveElement(onPathPoint(in[std::size_t(n - 2)])));
        for (int i = 1; i <= n - 2; ++i)
            out.push_back(in[std::size_t(i)]);
    } else if (k == n - 1) {
        // The end of an open outline: its last segment goes.
        out.assign(in.begin(), in.end() - 1);
    } else if (k == 0) {
        // The start of an open outline: the first node becomes the start.
        out.push_back(moveElement(onPathPoint(in[1])));
        out.insert(out.end(), in.begin() + 2, in.end());
    } else {
        out.push_back(in[0]);
        for (int i = 1; i < n; ++i) {
            if (i == k)
                continue;
            if (i == k + 1) {
                const Element& before = in[std::size_t(k)];
                const Element& after = in[std::size_t(i)];
                const kx::Point c1 = isStraight(before) && isStraight(after) ? after.points[0] : before.points[0];
                out.push_back(curveElement(c1, after.points[1], after.points[2]));
            } else {
                out.push_back(in[std::size_t(i)]);
            }
        }
    }
    const kx::Rect f = frameRect();
    translate(out, f.origin.x, f.origin.y);
    kx::Rect b = pathOf(out).bounds();
    // At least one point a side (a side rounded to nothing would divide the list by zero).
    if (b.size.width < 1)
        b.size.width = 1;
    if (b.size.height < 1)
        b.size.height = 1;
    b = roundRectComponents(b);
    if (!isFiniteGeometry(b) || !isFinite(out) || !(b.size.width > 0) || !(b.size.height > 0))
        return;
    const kx::Size preview = canvas()->previewSize();
    setRelativeRect({b.origin.x / preview.width, b.origin.y / preview.height, b.size.width / preview.width,
                     b.size.height / preview.height});
    translate(out, -b.origin.x, -b.origin.y);
    setCustomPointsArray(relativePoints(out, b.size));
    setPath(outlineForFrame());
    setNeedsDisplay();
}

// ---- corner and smooth ----

void KXCustomShape::changeLineType() {
    const kx::BezierPath& p = path();
    const int n = p.elementCount();
    if (!isPenOutline(p) || n < 3)
        return;
    const std::optional<int> k = nodeIndex(m_customPointElement);
    // The ends of an open outline have a segment on one side only.
    if (!k || *k == 0 || (*k == n - 1 && !isClosedOutline(p)))
        return;
    editGeometry([&] { toggleNode(*k); });
}

void KXCustomShape::toggleNode(int k) {
    kx::BezierPath p = path();
    const int n = p.elementCount();
    const int next = k + 1 < n ? k + 1 : 1;
    // Before node 1 of a closed outline lies its last node (on the start); an open outline has its start.
    const int previous = k > 1 || !isClosedOutline(p) ? k - 1 : n - 1;
    const Element& current = p.elements()[std::size_t(k)];
    const Element& following = p.elements()[std::size_t(next)];
    if (isStraight(current) || isStraight(following))
        lineToCurveAtCurrentPoint(current, p.elements()[std::size_t(previous)], following, k, next, p);
    else
        curveToLineAtCurrentPoint(current, k, next, p);
    refit(p);
}

void KXCustomShape::lineToCurveAtCurrentPoint(const Element& current, const Element& forward, const Element& next,
                                              std::int64_t k, std::int64_t nextIndex, kx::BezierPath& path) {
    const int n = path.elementCount();
    if (k < 1 || k >= n || nextIndex < 1 || nextIndex >= n || !isCurve(current) || !isCurve(next))
        return;
    const kx::Point f = onPathPoint(forward), c = current.points[2], nEnd = next.points[2];
    const kx::Point m1 = mid(f, c), m2 = mid(c, nEnd), mm = mid(m1, m2);
    const kx::Point d1(double(float(m1.x - mm.x)), double(float(m1.y - mm.y)));
    const kx::Point d2(double(float(m2.x - mm.x)), double(float(m2.y - mm.y)));
    const kx::Point h1 = plus(c, d1), h2 = plus(c, d2);
    const kx::Point c1 = current.points[0] != current.points[1]
                             ? current.points[0]
                             : kx::Point(cubicBezierValue(f.x, c.x, f.x, h1.x, 0.5),
                                         cubicBezierValue(f.y, c.y, f.y, h1.y, 0.5));
    const kx::Point c2 = next.points[1] != next.points[2]
                             ? next.points[1]
                             : kx::Point(cubicBezierValue(c.x, nEnd.x, next.points[0].x, nEnd.x, 0.5),
                                         cubicBezierValue(c.y, nEnd.y, next.points[0].y, nEnd.y, 0.5));
    Elements elements = path.elements();
    elements[std::size_t(k)] = curveElement(c1, h1, c);
    elements[std::size_t(nextIndex)] = curveElement(h2, c2, nEnd);
    path = pathOf(elements);
}

void KXCustomShape::curveToLineAtCurrentPoint(const Element& current, std::int64_t k, std::int64_t nextIndex,
                                              kx::BezierPath& path) {
    const int n = path.elementCount();
    if (k < 1 || k >= n || nextIndex < 1 || nextIndex >= n || !isCurve(current))
        return;
    Elements elements = path.elements();
    const kx::Point a = current.points[2];
    elements[std::size_t(k)] = curveElement(a, a, a);
    Element& next = elements[std::size_t(nextIndex)];
    if (isCurve(next) && next.points[0] != next.points[2])
        next = curveElement(next.points[2], next.points[2], next.points[2]);
    path = pathOf(elements);
}
