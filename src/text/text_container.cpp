#include "text/text_container.h"

#include "graphics/geometry_utilities.h"
#include "model/graph.h"
#include "platform/foundation/archive_copy.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "platform/gfx/bezier_path_coding.h"
#include "platform/gfx/bitmap_context.h"
#include "platform/gfx/image.h"
#include "shapes/shape_path_builders.h"

#include <algorithm>
#include <cmath>

namespace {
const QString kWrapArrayKey = QStringLiteral("wrapArray");
const QString kScaleWidthKey = QStringLiteral("scaleWidth");
const QString kScaleHeightKey = QStringLiteral("scaleHeight");
const QString kObjectRectKey = QStringLiteral("objectRect");
const QString kSingleFontWidthKey = QStringLiteral("singleFontWidth");
const QString kPathKey = QStringLiteral("path");
const QString kContainSizeKey = QStringLiteral("containSize");
}  // namespace

kx::Rect firstInsideRunInStrip(const kx::Path& path, int start, const kx::Rect& strip) {
    const double x = strip.origin.x, y = strip.origin.y, w = strip.size.width, h = strip.size.height;
    if (!(w > 1) || !(h > 1))
        return strip;
    const kx::Rect none(0, y, 0, h);
    const float wf = std::floor(float(w)), hf = std::floor(float(h));
    if (!std::isfinite(wf) || !std::isfinite(hf) || !std::isfinite(float(x)) || !std::isfinite(float(y)))
        return none;
    const double W = wf, H = hf;
    if (start < 0)
        start = 0;
    if (start >= W)
        return none;
    // Columns right of the outline's bounds, or rows outside it, are never inside: the bitmap is only as
    // wide as the part of the strip the outline can cover, and a strip that reaches above or below the
    // outline has no inside column at all. The answer is the same as the scan of the whole strip.
    const kx::Rect bounds = path.boundingBox();
    if (bounds.isEmpty() || y + H - 1 >= bounds.maxY() || y + 1 <= bounds.minY() || bounds.maxX() <= x + start)
        return none;
    const double span = std::min(W, std::ceil(bounds.maxX() - x) + 1);
    if (!(span * H <= double(kx::Image::maximumPixelCount)))
        return none;
    const int cols = int(span), rows = int(H);
    kx::BitmapContext bitmap(cols, rows, kx::BitmapContext::Kind::AlphaOnly);
    if (!bitmap.isValid())
        return none;
    bitmap.translate(-x, -y);
    bitmap.setFillColor(kx::Color::srgb(0, 0, 0, 1));
    bitmap.beginPath();
    bitmap.addPath(path);
    bitmap.fillPath(kx::FillRule::Winding);
    const uchar* pixels = bitmap.constData();
    const int stride = bitmap.bytesPerRow();
    auto inside = [&](int column) {
        for (int row = 0; row < rows; ++row)
            if (pixels[row * stride + column] < 128)
                return false;
        return true;
    };
    int first = start;
    while (first < cols && !inside(first))
        ++first;
    if (first >= cols)
        return none;
    int end = first + 1;
    while (end < cols && inside(end))
        ++end;
    // A run that reaches the right edge of the whole strip counts to that edge; one that stops at the
    // outline's bounds ends at a column that is not inside, exactly as in the whole strip.
    const double width = (end == cols && cols == int(W)) ? W - first - 1 : double(end - first - 1);
    return {double(first), y, width, h};
}

void KXTextContainer::setPath(std::optional<kx::BezierPath> path) {
    if (path == m_path)
        return;
    m_path = std::move(path);
    geometryChanged();
}

void KXTextContainer::setWrapObjects(std::vector<std::shared_ptr<KXGraph>> objects) {
    m_wrapObjects = std::move(objects);
    holesMayHaveChanged();
}

void KXTextContainer::setObjectRect(const kx::Rect& rect) {
    m_objectRect = rect;
    holesMayHaveChanged();
}

void KXTextContainer::setScaleWidth(float scale) {
    m_scaleWidth = scale;
    holesMayHaveChanged();
}

void KXTextContainer::setScaleHeight(float scale) {
    m_scaleHeight = scale;
    holesMayHaveChanged();
}

void KXTextContainer::setSingleFontWidth(float width) {
    if (width == m_singleFontWidth)
        return;
    m_singleFontWidth = width;
    geometryChanged();
}

void KXTextContainer::holesMayHaveChanged() {
    std::vector<kx::Rect> holes = holesLeftToRight();
    if (holes == m_knownHoles)
        return;
    m_knownHoles = std::move(holes);
    geometryChanged();
}

kx::Rect KXTextContainer::lineFragmentRect(const kx::Rect& proposed, kx::Rect* remaining) const {
    const kx::Rect base = kx::TextContainer::lineFragmentRect(proposed, remaining);
    if (!m_path)
        return base;
    return clipLineFragmentRect(base, remaining);
}

kx::Rect KXTextContainer::clipLineFragmentRect(const kx::Rect& fragment, kx::Rect* remaining) const {
    if (fragment.isEmpty())
        return fragment;
    const std::optional<kx::Path> path = quartzPathWhileClose(*m_path, true);
    if (!path)
        return fragment;
    const kx::Size container = size();
    const double x0 = fragment.origin.x, y0 = fragment.origin.y, h0 = fragment.size.height;
    const kx::Rect bounds = path->boundingBox();
    const std::vector<kx::Rect> holes = holesLeftToRight();
    double t = 1;
    kx::Rect f;
    int start = x0 == 0 ? 0 : int(std::clamp(std::floor(x0), 0.0, 1e9));
    for (;;) {
        float v = float((container.height - y0) - t * h0);
        // Strips wholly above the outline hold no inside column: go straight to the first that can.
        if (std::isfinite(v) && h0 > 0 && !bounds.isEmpty() && v + std::floor(h0) - 1 >= bounds.maxY()) {
            const double skip = std::floor(((container.height - y0) - h0 - bounds.maxY() + 1) / h0);
            if (skip > t) {
                t = skip;
                v = float((container.height - y0) - t * h0);
            }
        }
        f = firstInsideRunInStrip(*path, start, {0, v, container.width, h0});
        f.origin.y = y0 + (t - 1) * h0;
        // The rest of a line belongs to the line it was cut from: one left from a line that did not fit
        // would send the text back up.
        if (remaining)
            *remaining = kx::Rect();
        if (f.size.width >= m_singleFontWidth) {
            for (const kx::Rect& hole : holes)
                f = adjustFragmentRectForHoleRect(f, hole, remaining);
            // A piece too narrow for a letter left of a hole, with room right of it: answered as it is, so
            // that the layout manager passes over it to the rest of the same line.
            if (remaining && !remaining->isEmpty())
                return f;
        }
        if (v >= 0 && f.size.width < m_singleFontWidth && h0 > 0 && std::isfinite(v)) {
            t += 1;
            start = x0 == 0 ? 0 : int(std::clamp(std::floor(f.origin.x), 0.0, 1e9));
            continue;
        }
        return f;
    }
}

std::vector<kx::Rect> KXTextContainer::holesLeftToRight() const {
    std::vector<kx::Rect> holes;
    for (const std::shared_ptr<KXGraph>& graph : m_wrapObjects)
        if (graph)
            if (const std::optional<kx::Rect> hole = holeRectForGraph(*graph))
                holes.push_back(*hole);
    // Cut from the left: the fragment then ends at the first hole it meets, and the rest of the line starts
    // right of that hole whatever order the objects are listed in (the rest is cut again when it is offered).
    std::stable_sort(holes.begin(), holes.end(),
                     [](const kx::Rect& a, const kx::Rect& b) { return a.origin.x < b.origin.x; });
    return holes;
}

kx::AffineTransform KXTextContainer::affineTransRect(const kx::AffineTransform& transform, const KXGraph* graph) {
    kx::AffineTransform t = transform;
    const KXGraph* group = graph ? graph->group() : nullptr;
    if (!group)
        return t;
    if (group->group())
        t = affineTransRect(t, group);
    if (group->angle() != 0) {
        const kx::Rect frame = group->frameRect();
        t = makeTransformAboutCenter(frame.center(), group->angle(), group->flipX(), group->flipY(), t);
    }
    return t;
}

std::optional<kx::Rect> KXTextContainer::holeRectForGraph(const KXGraph& g) const {
    const double space = double(g.textWrapSpace());
    kx::Rect G = g.graphRectWithRotationInGroup().insetBy(-space, -space);
    if (G.isEmpty())
        G = g.frameRectWithRotationInGroup();
    kx::AffineTransform T;
    if (g.group())
        T = affineTransRect(T, &g);
    T = makeTransformAboutCenter(G.center(), g.angle(), g.flipX(), g.flipY(), T);
    G = T.apply(G);
    const kx::Rect O = m_objectRect;
    if (!G.intersects(O))
        return std::nullopt;
    double hx = 0, hw = 0, hy = 0, hh = 0;
    std::int32_t type = g.wrapType();
    if (type < 0 || type > 3)
        type = 3;
    if (O.origin.x > G.origin.x) {
        hx = 0;
        hw = (type == 0 || type == 2) ? O.size.width : G.maxX() - O.origin.x;
    } else if (G.maxX() > O.maxX()) {
        if (type == 1 || type == 2) {
            hx = 0;
            hw = O.size.width;
        } else {
            hx = G.origin.x - O.origin.x;
            hw = O.maxX() - G.origin.x;
        }
    } else {
        switch (type) {
        case 0:
            hx = G.origin.x - O.origin.x;
            hw = O.size.width - (G.origin.x - O.origin.x);
            break;
        case 1:
            hx = 0;
            hw = G.maxX() - O.origin.x;
            break;
        case 2:
            hx = 0;
            hw = O.size.width;
            break;
        default:
            hx = G.origin.x - O.origin.x;
            hw = G.size.width;
            break;
        }
    }
    if (O.origin.y > G.origin.y) {
        hy = O.maxY() - G.maxY();
        hh = G.maxY() - O.origin.y;
    } else if (G.maxY() > O.maxY()) {
        hy = 0;
        hh = O.maxY() - G.origin.y;
    } else {
        hy = O.maxY() - G.maxY();
        hh = G.size.height;
    }
    return kx::Rect(hx * m_scaleWidth, hy * m_scaleHeight, hw * m_scaleWidth, hh * m_scaleHeight);
}

kx::Rect KXTextContainer::adjustFragmentRectForHoleRect(kx::Rect f, const kx::Rect& hole, kx::Rect* remaining) const {
    const kx::Rect meet = f.intersected(hole);
    if (meet.isNull() || meet == kx::Rect())
        return f;
    const double fx = f.origin.x, fw = f.size.width;
    const double hx = hole.origin.x, hw = hole.size.width;
    if (hx <= fx || (hx > fx && hx < m_singleFontWidth)) {
        f.origin.x = hx + hw;
        const double avail = (fx + fw) - (hx + hw);
        f.size.width = avail < 0 ? 0 : std::min(fw, avail);
        return f;
    }
    f.size.width = hx - fx;
    const double rest = fw - (hx + hw - fx);
    if (rest > 0 && remaining)
        *remaining = kx::Rect(hx + hw, f.origin.y, std::min(size().width - (hx + hw), rest), f.size.height);
    return f;
}

std::shared_ptr<KXTextContainer> KXTextContainer::copy() const {
    return kx::archiveCopy(*this);
}

void KXTextContainer::encodeWithCoder(kx::KeyedArchiver& coder) const {
    kx::ValueArray wraps;
    for (const std::shared_ptr<KXGraph>& graph : m_wrapObjects)
        if (graph)
            wraps.push_back(kx::Value(std::static_pointer_cast<kx::Object>(graph)));
    coder.encodeObject(kx::Value(wraps), kWrapArrayKey);
    coder.encodeFloat(m_scaleWidth, kScaleWidthKey);
    coder.encodeFloat(m_scaleHeight, kScaleHeightKey);
    coder.encodeRect(m_objectRect, kObjectRectKey);
    coder.encodeFloat(m_singleFontWidth, kSingleFontWidthKey);
    if (m_path)
        kx::encodeBezierPath(coder, *m_path, kPathKey);
    else
        coder.encodeObject(kx::Value(), kPathKey);
    coder.encodeSize(size(), kContainSizeKey);
}

void KXTextContainer::initWithCoder(kx::KeyedUnarchiver& coder) {
    kx::Size s = coder.decodeSize(kContainSizeKey);
    if (!std::isfinite(s.width) || !std::isfinite(s.height) || s.width < 0 || s.height < 0)
        s = kx::Size();
    setSize(s);
    m_wrapObjects.clear();
    const kx::Value wraps = coder.decodeObjectOfType(kWrapArrayKey, kx::Value::Type::Array);
    for (const kx::Value& item : wraps.toArray()) {
        std::shared_ptr<KXGraph> graph = item.objectAs<KXGraph>();
        if (!graph) {
            coder.failWithError(QStringLiteral("a text container's wrap objects must be graphs"));
            m_wrapObjects.clear();
            return;
        }
        m_wrapObjects.push_back(std::move(graph));
    }
    m_scaleWidth = coder.decodeFloat(kScaleWidthKey);
    m_scaleHeight = coder.decodeFloat(kScaleHeightKey);
    m_objectRect = coder.decodeRect(kObjectRectKey);
    m_singleFontWidth = coder.decodeFloat(kSingleFontWidthKey);
    setPath(kx::decodeBezierPath(coder, kPathKey));
}
