// Feeds arbitrary numbers to every shape outline builder: whatever the rectangle, counts, fractions or
// tail point, each must return a defined outline without crashing, overrunning or looping.
#include "shapes/shape_path_builders.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Reads doubles from the input; zeros once it runs out.
class Numbers {
public:
    Numbers(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    double next() {
        double v = 0;
        if (m_pos + sizeof v <= m_size)
            std::memcpy(&v, m_data + m_pos, sizeof v);
        m_pos += sizeof v;
        return v;
    }
    kx::Point point() { return kx::Point(next(), next()); }
    kx::Rect rect() { return kx::Rect(next(), next(), next(), next()); }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Numbers n(data, size);
    const kx::Rect rect = n.rect();
    const kx::ValueDictionary dic{{"rightDirection", kx::Value(n.next() > 0)},
                                  {"width", kx::Value(n.next())},
                                  {"arrow", kx::Value(n.next())},
                                  {"widthScale", kx::Value(n.next())},
                                  {"breadthScale", kx::Value(n.next())}};
    const double count = n.next();
    const long sides = std::isfinite(count) && std::fabs(count) < 1e15 ? long(count) : 0;

    equilTriangle(rect);
    rightTriangle(rect);
    circular(rect, n.next(), n.next());
    singleArrow(rect, dic);
    doubleArrowInRect(rect, dic);
    lozengeInRect(rect);
    if (polygonInRect(rect, sides).elementCount() > kMaxShapeSides)
        std::abort();
    if (starInRect(rect, sides, float(n.next())).elementCount() > 2 * kMaxShapeSides)
        std::abort();

    KXPathPointArray points;
    for (int i = 0; i < 3; ++i)
        points.push_back(std::make_shared<KXPathPoint>(n.point(), n.point(), n.point()));
    customPathWithPoints(points, rect);
    linePathWithPoints(points, rect);
    curvePathWithPoints(points, rect);
    markShapeWithPoint(points, rect, n.next());

    // The bubble flattens its body: its numbers must at least be finite.
    const kx::Rect body = n.rect();
    const double radius = n.next(), angle = n.next(), precision = n.next();
    const kx::Point tail = n.point();
    const auto sane = [](double v) { return std::isfinite(v); };
    if (sane(body.origin.x) && sane(body.origin.y) && sane(body.size.width) && sane(body.size.height) &&
        sane(radius) && sane(tail.x) && sane(tail.y)) {
        const kx::BezierPath outline = bubble(rect, body, radius, angle, tail, precision);
        if (outline.isEmpty())
            std::abort();
        quartzPathWhileClose(outline, true);
    }
    return 0;
}
