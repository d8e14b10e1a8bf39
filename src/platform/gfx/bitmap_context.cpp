#include "platform/gfx/bitmap_context.h"

#include "platform/gfx/pixel_memory.h"
#include "platform/gfx/qt_geometry.h"
#include "platform/gfx/shadow_blur.h"

#include <QPainterPath>
#include <QPen>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>

namespace kx {

namespace {

// The format of the images built pixel by pixel here (gradients, coverage): Qt's native premultiplied
// QRgb layout.
constexpr QImage::Format kWorkFormat = QImage::Format_ARGB32_Premultiplied;
// The format of transparency layers, operations rendered alone and shadows: the colour contexts' own, so
// that compositing them onto the bitmap (and drawing our images into them) needs no conversion.
constexpr QImage::Format kLayerFormat = QImage::Format_RGBA8888_Premultiplied;
// Shadow blurs beyond this standard deviation (pixels) look the same and would only cost memory.
constexpr double kMaxShadowSigma = 250;
// The widest pen QPen takes: it refuses wider ones with a warning and keeps its old width.
constexpr double kWidestPen = 32767;

QImage::Format formatOf(BitmapContext::Kind kind) {
    switch (kind) {
    case BitmapContext::Kind::RGBA: return QImage::Format_RGBA8888_Premultiplied;
    case BitmapContext::Kind::Gray: return QImage::Format_Grayscale8;
    case BitmapContext::Kind::AlphaOnly: return QImage::Format_Alpha8;
    }
    return QImage::Format_RGBA8888_Premultiplied;
}

qint64 area(const QRect& r) { return r.isEmpty() ? 0 : qint64(r.width()) * r.height(); }

// Multiplies every channel of `image` (placed at `topLeft` in device pixels) by the mask's coverage there;
// pixels outside the mask become transparent.
void multiplyByMask(QImage& image, const QPoint& topLeft, const QImage& mask) {
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        const int my = y + topLeft.y();
        if (my < 0 || my >= mask.height()) {
            std::fill(row, row + image.width(), 0u);
            continue;
        }
        const uchar* m = mask.constScanLine(my);
        for (int x = 0; x < image.width(); ++x) {
            const int mx = x + topLeft.x();
            const int coverage = mx >= 0 && mx < mask.width() ? m[mx] : 0;
            if (coverage == 255)
                continue;
            const QRgb p = row[x];
            auto scaled = [coverage](int c) { return (c * coverage + 127) / 255; };
            row[x] = qRgba(scaled(qRed(p)), scaled(qGreen(p)), scaled(qBlue(p)), scaled(qAlpha(p)));
        }
    }
}

// Pointwise product of two coverage masks of one size.
void multiplyMasks(QImage& into, const QImage& other) {
    for (int y = 0; y < into.height(); ++y) {
        uchar* a = into.scanLine(y);
        const uchar* b = other.constScanLine(y);
        for (int x = 0; x < into.width(); ++x)
            a[x] = uchar((a[x] * b[x] + 127) / 255);
    }
}

// The box radii of the shadow blur `blur` (as setShadow takes it).
std::array<int, 3> shadowRadii(double blur) {
    const double sigma = std::min(std::max(blur, 0.0) / 2, kMaxShadowSigma);
    return sigma < 0.25 ? std::array<int, 3>{0, 0, 0} : shadowBoxRadii(sigma);
}

// A shadow colour's premultiplied sRGB components.
std::array<double, 4> premultipliedShadowColor(const Color& color) {
    const Color c = color.convertedTo(ColorSpace::SRGB);
    const double ca = std::clamp(c.alpha(), 0.0, 1.0);
    return {std::clamp(c.red(), 0.0, 1.0) * ca, std::clamp(c.green(), 0.0, 1.0) * ca,
            std::clamp(c.blue(), 0.0, 1.0) * ca, ca};
}

QColor opaqueOrInvalid(const Color& c) { return c.isNull() ? QColor() : c.toQColor(); }

// Premultiplied ARGB of a colour at a position of the gradient, interpolating un-premultiplied components.
std::array<QRgb, 1024> gradientTable(const Gradient& gradient) {
    std::array<QRgb, 1024> table{};
    const std::size_t count = gradient.colors.size();
    std::vector<double> locations = gradient.locations;
    if (locations.size() < count) {
        locations.clear();
        for (std::size_t i = 0; i < count; ++i)
            locations.push_back(count == 1 ? 0.0 : double(i) / double(count - 1));
    }
    struct Stop {
        double at;
        double c[4];
    };
    std::vector<Stop> stops;
    for (std::size_t i = 0; i < count; ++i) {
        const Color& color = gradient.colors[i];
        const Color rgb = color.convertedTo(ColorSpace::SRGB);
        Stop s{locations[i], {rgb.red(), rgb.green(), rgb.blue(), rgb.alpha()}};
        if (color.isNull() || rgb.isNull())
            s = Stop{locations[i], {0, 0, 0, 0}};
        stops.push_back(s);
    }
    for (std::size_t i = 0; i < table.size(); ++i) {
        const double t = double(i) / double(table.size() - 1);
        double c[4];
        if (t <= stops.front().at) {
            std::copy(std::begin(stops.front().c), std::end(stops.front().c), c);
        } else if (t >= stops.back().at) {
            std::copy(std::begin(stops.back().c), std::end(stops.back().c), c);
        } else {
            std::size_t k = 1;
            while (k < stops.size() && stops[k].at < t)
                ++k;
            const Stop& a = stops[k - 1];
            const Stop& b = stops[std::min(k, stops.size() - 1)];
            const double span = b.at - a.at;
            const double f = span > 0 ? (t - a.at) / span : 1.0;
            for (int j = 0; j < 4; ++j)
                c[j] = a.c[j] + (b.c[j] - a.c[j]) * f;
        }
        auto byte = [](double v) { return int(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
        const int alpha = byte(c[3]);
        table[i] = qPremultiply(qRgba(byte(c[0]), byte(c[1]), byte(c[2]), alpha));
    }
    return table;
}

// The coverage of an image used as a clip mask: grey values, alpha values, or the luminance of colour
// over black. The result is an 8-bit alpha image of the same size.
QImage coverageOf(const Image& mask) {
    const QImage& src = mask.qimage();
    if (mask.format() == Image::Format::Alpha)
        return src;
    if (mask.format() == Image::Format::Gray) {
        QImage coverage(src.size(), QImage::Format_Alpha8);
        for (int y = 0; y < src.height(); ++y)
            std::copy_n(src.constScanLine(y), src.width(), coverage.scanLine(y));
        return coverage;
    }
    QImage coverage(src.size(), QImage::Format_Alpha8);
    for (int y = 0; y < src.height(); ++y) {
        const uchar* p = src.constScanLine(y);  // premultiplied R, G, B, A
        uchar* out = coverage.scanLine(y);
        for (int x = 0; x < src.width(); ++x, p += 4)
            out[x] = uchar((p[0] * 299 + p[1] * 587 + p[2] * 114 + 500) / 1000);
    }
    return coverage;
}

// Stretches a one-byte coverage image into `into` (Alpha8, zero-filled) by `placement`, when the placement
// only scales and moves it and its edges fall on whole pixels: the common case of a mask over a rectangle,
// worked out here rather than through the general image drawing. Each pixel takes the coverage at its centre,
// interpolated between the four nearest mask pixels (edges extended) when smooth, or the nearest one.
// Answers false, leaving `into` alone, for any other placement.
bool stretchCoverage(QImage& into, const QImage& mask, const QTransform& placement, bool smooth) {
    if (placement.type() > QTransform::TxScale || mask.depth() != 8 || mask.isNull() || into.isNull())
        return false;
    const double a = placement.m11(), d = placement.m22(), tx = placement.dx(), ty = placement.dy();
    if (!(a != 0) || !(d != 0) || !std::isfinite(a) || !std::isfinite(d))
        return false;
    const QRectF mapped = placement.mapRect(QRectF(0, 0, mask.width(), mask.height()));
    auto whole = [](double v) { return std::abs(v - std::round(v)) < 1e-6 && std::abs(v) < 1e9; };
    if (!whole(mapped.left()) || !whole(mapped.right()) || !whole(mapped.top()) || !whole(mapped.bottom()))
        return false;
    const int x0 = std::max(0, int(std::lround(mapped.left()))), x1 = std::min(into.width(), int(std::lround(mapped.right())));
    const int y0 = std::max(0, int(std::lround(mapped.top()))), y1 = std::min(into.height(), int(std::lround(mapped.bottom())));
    if (x0 >= x1 || y0 >= y1)
        return true;
    const int mw = mask.width(), mh = mask.height();
    // Per column and per row: the two mask samples and the weight of the second, in 1/256.
    struct Tap {
        int first, second, weight;
    };
    auto taps = [smooth](int from, int to, double scale, double offset, int size) {
        std::vector<Tap> out;
        out.reserve(std::size_t(to - from));
        for (int i = from; i < to; ++i) {
            const double at = (i + 0.5 - offset) / scale;  // in mask pixels, 0 at the mask's first edge
            if (!smooth) {
                const int n = std::clamp(int(std::floor(at)), 0, size - 1);
                out.push_back({n, n, 0});
                continue;
            }
            const double c = std::clamp(at - 0.5, 0.0, double(size - 1));
            const int n = std::min(int(c), size - 1);
            const int weight = int(std::lround((c - n) * 256));
            out.push_back({n, std::min(n + 1, size - 1), weight});
        }
        return out;
    };
    const std::vector<Tap> columns = taps(x0, x1, a, tx, mw);
    const std::vector<Tap> rows = taps(y0, y1, d, ty, mh);
    const int count = x1 - x0;
    for (int y = y0; y < y1; ++y) {
        const Tap& row = rows[std::size_t(y - y0)];
        const uchar* m0 = mask.constScanLine(row.first);
        const uchar* m1 = mask.constScanLine(row.second);
        uchar* out = into.scanLine(y) + x0;
        for (int i = 0; i < count; ++i) {
            const Tap& col = columns[std::size_t(i)];
            const int top = m0[col.first] * (256 - col.weight) + m0[col.second] * col.weight;
            const int bottom = m1[col.first] * (256 - col.weight) + m1[col.second] * col.weight;
            out[i] = uchar((top * (256 - row.weight) + bottom * row.weight + 32768) >> 16);
        }
    }
    return true;
}

// True when the device path is one axis-aligned rectangle with whole-pixel edges; gives the rectangle.
bool integralDeviceRect(const Path& path, QRect& out) {
    const auto& e = path.elements();
    std::size_t n = e.size();
    if (n > 0 && e[n - 1].type == Path::ElementType::Close)
        --n;
    if (n < 4 || n > 5 || e[0].type != Path::ElementType::MoveTo)
        return false;
    std::vector<Point> pts;
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0 && e[i].type != Path::ElementType::LineTo)
            return false;
        pts.push_back(e[i].points[0]);
    }
    if (n == 5) {
        if (pts[4] != pts[0])
            return false;
        pts.pop_back();
    }
    for (int i = 0; i < 4; ++i) {
        const Point& a = pts[i];
        const Point& b = pts[(i + 1) % 4];
        if (a.x != b.x && a.y != b.y)
            return false;
    }
    double minX = pts[0].x, maxX = pts[0].x, minY = pts[0].y, maxY = pts[0].y;
    for (const Point& p : pts) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    // Four axis-aligned sides must visit the corners of one rectangle.
    for (const Point& p : pts)
        if ((p.x != minX && p.x != maxX) || (p.y != minY && p.y != maxY))
            return false;
    auto whole = [](double v) { return std::abs(v - std::round(v)) < 1e-6 && std::abs(v) < 1e9; };
    if (!whole(minX) || !whole(maxX) || !whole(minY) || !whole(maxY))
        return false;
    out = QRect(QPoint(int(std::lround(minX)), int(std::lround(minY))),
                QPoint(int(std::lround(maxX)) - 1, int(std::lround(maxY)) - 1));
    return true;
}

}  // namespace

struct BitmapContext::Impl {
    struct State {
        AffineTransform ctm;
        QRect clipRect;      // device pixels (y down); always set, the whole bitmap when unclipped
        QImage mask;         // device-sized coverage (Alpha8), or null
        Color fillColor = Color::srgb(0, 0, 0, 1);
        Color strokeColor = Color::srgb(0, 0, 0, 1);
        double lineWidth = 1;
        LineCap cap = LineCap::Butt;
        LineJoin join = LineJoin::Miter;
        double miterLimit = 10;
        double dashPhase = 0;
        std::vector<double> dashes;
        double alpha = 1;
        Size shadowOffset;
        double shadowBlur = 0;
        Color shadowColor;  // null: no shadow
        InterpolationQuality interpolation = InterpolationQuality::Default;
        bool antialias = true;
    };
    struct Layer {
        QImage image;
        std::size_t stateDepth = 0;  // size of the state stack when the layer began (after its save)
        State outer;                 // the state the layer is composited with
    };

    QImage base;
    std::vector<State> states{State()};
    std::vector<Layer> layers;
    Path path;  // device pixels (y down)
    bool allowsAntialiasing = true;
    QImage shadowImage;
    QImage aloneImage;  // see renderAloneInto

    State& state() { return states.back(); }
    QImage& target() { return layers.empty() ? base : layers.back().image; }
    int width() const { return base.width(); }
    int height() const { return base.height(); }
    QRect bounds() const { return QRect(0, 0, width(), height()); }

    // From the y-up user space to the y-down pixels of the bitmap.
    QTransform userToDevice() const {
        return toQTransform(states.back().ctm) * QTransform(1, 0, 0, -1, 0, height());
    }

    bool shadowActive(const State& s) const { return !s.shadowColor.isNull() && s.shadowColor.alpha() > 0; }

    void setHints(QPainter& p, const State& s) const {
        p.setRenderHint(QPainter::Antialiasing, s.antialias && allowsAntialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform, s.interpolation != InterpolationQuality::None);
    }

    using Operation = std::function<void(QPainter&, const QTransform& deviceToTarget)>;

    // The operation rendered alone into a transparent image covering `region` of device pixels.
    QImage renderAlone(const Operation& op, const QRect& region, const State& s) const {
        QImage image = zeroedImage(region.width(), region.height(), kLayerFormat);
        if (image.isNull())
            return image;
        QPainter p(&image);
        setHints(p, s);
        p.setOpacity(std::clamp(s.alpha, 0.0, 1.0));
        op(p, QTransform::fromTranslate(-region.x(), -region.y()));
        return image;
    }

    // The same into the top-left corner of `into`, which is kept and grows as needed: shadowed drawings
    // render alone one after another, and reusing the memory spares allocating and clearing it each time.
    // Gives the rendered part of `into`, or an empty rectangle when no image can be made.
    QRect renderAloneInto(QImage& into, const Operation& op, const QRect& region, const State& s) const {
        if (into.width() < region.width() || into.height() < region.height()) {
            into = zeroedImage(std::max(region.width(), into.width()), std::max(region.height(), into.height()),
                               kLayerFormat);
            if (into.isNull())
                return {};
        }
        const QRect part(0, 0, region.width(), region.height());
        const std::size_t rowBytes = std::size_t(part.width()) * 4;
        for (int y = 0; y < part.height(); ++y)
            std::memset(into.scanLine(y), 0, rowBytes);
        QPainter p(&into);
        p.setClipRect(part);
        setHints(p, s);
        p.setOpacity(std::clamp(s.alpha, 0.0, 1.0));
        op(p, QTransform::fromTranslate(-region.x(), -region.y()));
        return part;
    }

    // Composites a premultiplied image placed at `topLeft` (device pixels) through the clip and the mask.
    void composite(QImage image, const QPoint& topLeft, const State& s,
                   QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver) {
        const QRect whole = image.rect();
        compositePart(std::move(image), whole, topLeft, s, mode);
    }

    // The same for the part `part` of the image, placed with its top-left pixel at `topLeft`. Only a mask
    // makes a copy of the part; otherwise the image is drawn from where it is.
    void compositePart(QImage image, const QRect& part, const QPoint& topLeft, const State& s,
                       QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver) {
        QRect from = part;
        if (!s.mask.isNull()) {
            if (from != image.rect())
                image = image.copy(from);
            multiplyByMask(image, topLeft, s.mask);
            from = image.rect();
        }
        QPainter p(&target());
        p.setClipRect(s.clipRect);
        p.setCompositionMode(mode);
        p.drawImage(topLeft, image, from);
    }

    // The shadow of the part `part` of `source`, which lies at `sourceRegion` in device pixels.
    void drawShadow(const QImage& source, const QRect& part, const QRect& sourceRegion, const State& s) {
        const int w = sourceRegion.width(), h = sourceRegion.height();
        // The shadow is built in the top-left corner of an image kept from earlier shadows when it is
        // large enough.
        if (shadowImage.width() < w || shadowImage.height() < h)
            shadowImage = zeroedImage(std::max(w, shadowImage.width()), std::max(h, shadowImage.height()), kLayerFormat);
        if (shadowImage.isNull())
            return;
        if (!blurShadow(source, part, w, h, shadowRadii(s.shadowBlur), premultipliedShadowColor(s.shadowColor),
                        shadowImage))
            return;
        // The offset is in the y-up pixel space; device rows grow downward.
        const QPoint offset(int(std::lround(s.shadowOffset.width)), -int(std::lround(s.shadowOffset.height)));
        compositePart(shadowImage, QRect(0, 0, w, h), sourceRegion.topLeft() + offset, s);
    }

    // The pixels of `region` within `margin` pixels of `drawn` (device pixels, unbounded: a shadow's source
    // may lie far outside the bitmap). Worked out in doubles, so any input stays within int range; a NaN
    // edge leaves that side of `region` as it is.
    static QRect cutToDrawn(const QRect& region, const QRectF& drawn, int margin) {
        if (region.isEmpty())
            return {};
        const double x1 = std::max(double(region.left()), std::floor(drawn.left()) - margin);
        const double x2 = std::min(double(region.right()) + 1, std::ceil(drawn.right()) + margin);
        const double y1 = std::max(double(region.top()), std::floor(drawn.top()) - margin);
        const double y2 = std::min(double(region.bottom()) + 1, std::ceil(drawn.bottom()) + margin);
        if (!(x2 > x1) || !(y2 > y1))
            return {};
        return QRect(QPoint(int(x1), int(y1)), QPoint(int(x2) - 1, int(y2) - 1));
    }

    // Runs one drawing operation through alpha, shadow, clip and mask. `drawn`, when known, bounds the
    // device pixels the operation can touch; the working images of a shadow or a mask then cover only
    // those pixels (and the blur's reach around them) rather than the whole clip: the pixels left out are
    // transparent in both, so the result is the same.
    void paint(const Operation& op, bool withEffects = true, const std::optional<QRectF>& drawn = std::nullopt) {
        const State& s = state();
        if (s.clipRect.isEmpty() || s.alpha <= 0)
            return;
        const bool shadow = withEffects && shadowActive(s);
        const bool masked = withEffects && !s.mask.isNull();
        if (!shadow && !masked) {
            QPainter p(&target());
            setHints(p, s);
            if (s.clipRect != bounds())
                p.setClipRect(s.clipRect);
            p.setOpacity(std::clamp(s.alpha, 0.0, 1.0));
            op(p, QTransform());
            return;
        }
        // Antialiased edges and smooth resampling may touch a pixel beyond the exact outline.
        constexpr int kDrawnSlack = 2;
        const QRect visible = drawn ? cutToDrawn(s.clipRect, *drawn, kDrawnSlack) : s.clipRect;
        if (!shadow) {
            if (!visible.isEmpty())
                composite(renderAlone(op, visible, s), visible.topLeft(), s);
            return;
        }
        // The shadow lands in the clip from a source area moved back by the offset and widened by the
        // blur's reach; of that, only the drawn pixels and the blur's reach around them can hold shadow.
        const double sigma = std::min(std::max(s.shadowBlur, 0.0) / 2, kMaxShadowSigma);
        const int reach = int(std::ceil(3 * sigma)) + 1;
        const double dx = std::clamp(s.shadowOffset.width, -1e7, 1e7), dy = std::clamp(s.shadowOffset.height, -1e7, 1e7);
        const QPoint offset(int(std::lround(dx)), -int(std::lround(dy)));
        QRect shadowSource = s.clipRect.translated(-offset).adjusted(-reach, -reach, reach, reach);
        if (drawn)
            shadowSource = cutToDrawn(shadowSource, *drawn, kDrawnSlack + reach);
        if (visible.isEmpty() && shadowSource.isEmpty())
            return;
        const QRect both = visible.united(shadowSource);
        if (area(both) <= area(visible) + area(shadowSource)) {
            if (renderAloneInto(aloneImage, op, both, s).isEmpty())
                return;
            if (!shadowSource.isEmpty())
                drawShadow(aloneImage, shadowSource.translated(-both.topLeft()), shadowSource, s);
            if (!visible.isEmpty())
                compositePart(aloneImage, visible.translated(-both.topLeft()), visible.topLeft(), s);
        } else {
            const QImage source = renderAlone(op, shadowSource, s);
            if (!source.isNull())
                drawShadow(source, source.rect(), shadowSource, s);
            if (!visible.isEmpty())
                composite(renderAlone(op, visible, s), visible.topLeft(), s);
        }
    }

    void restrictClip(const QRect& rect) { state().clipRect &= rect; }

    // The whole pixels that cover a device rectangle, widened by `margin` on each side and cut to the
    // bitmap widened by as much. Worked out in doubles before any narrowing, so that any input, however
    // far out (or NaN, which gives an empty rectangle), stays within int range.
    QRect coveringPixels(const QRectF& r, int margin) const {
        const double m = margin;
        const double x1 = std::clamp(std::floor(r.left()) - m, -m, width() + m);
        const double x2 = std::clamp(std::ceil(r.right()) + m, -m, width() + m);
        const double y1 = std::clamp(std::floor(r.top()) - m, -m, height() + m);
        const double y2 = std::clamp(std::ceil(r.bottom()) + m, -m, height() + m);
        if (!(x2 > x1) || !(y2 > y1))
            return {};
        return QRect(QPoint(int(x1), int(y1)), QPoint(int(x2) - 1, int(y2) - 1));
    }

    void addMask(QImage coverage) {
        State& s = state();
        if (!s.mask.isNull())
            multiplyMasks(coverage, s.mask);
        s.mask = coverage;
    }

    void clipToDevicePath(const Path& devicePath, FillRule rule) {
        QRect rect;
        if (integralDeviceRect(devicePath, rect)) {
            restrictClip(rect);
            return;
        }
        // The bounds come from the path's own points: Qt leaves out points it cannot hold (beyond 1e128).
        const Rect bounds = devicePath.controlPointBoundingBox();
        restrictClip(coveringPixels(QRectF(bounds.origin.x, bounds.origin.y, bounds.size.width, bounds.size.height), 1));
        if (state().clipRect.isEmpty())
            return;  // nothing can show: no coverage to work out
        const QPainterPath qp = devicePath.toQPainterPath(rule);
        QImage coverage = zeroedImage(width(), height(), QImage::Format_Alpha8);
        if (coverage.isNull()) {
            state().clipRect = QRect();
            return;
        }
        {
            QPainter p(&coverage);
            setHints(p, state());
            p.fillPath(qp, Qt::black);
        }
        addMask(coverage);
    }

    void fillDevicePath(const Path& devicePath, FillRule rule, const Color& color) {
        if (devicePath.isEmpty() || color.isNull())
            return;
        const QPainterPath qp = devicePath.toQPainterPath(rule);
        const QColor qc = color.toQColor();
        paint([&](QPainter& p, const QTransform& toTarget) {
            p.setTransform(toTarget);
            p.fillPath(qp, qc);
        });
    }

    // The pen of the current stroke state, for a path drawn `shrink` times smaller than user space (its width
    // shrinks with it; dashes are counted in line widths and stay as they are).
    QPen strokePen(double shrink = 1) const {
        const State& s = states.back();
        QPen pen(opaqueOrInvalid(s.strokeColor));
        const double width = std::max(s.lineWidth, 0.0);
        pen.setWidthF(width / shrink);
        pen.setCapStyle(s.cap == LineCap::Round ? Qt::RoundCap : s.cap == LineCap::Square ? Qt::SquareCap : Qt::FlatCap);
        pen.setJoinStyle(s.join == LineJoin::Round ? Qt::RoundJoin
                         : s.join == LineJoin::Bevel ? Qt::BevelJoin
                                                     : Qt::SvgMiterJoin);
        pen.setMiterLimit(s.miterLimit);
        bool anyLength = false, valid = true;
        for (double d : s.dashes) {
            valid = valid && d >= 0 && std::isfinite(d);
            anyLength = anyLength || d > 0;
        }
        if (!s.dashes.empty() && valid && anyLength) {
            // Qt counts dash lengths in line widths; an odd list repeats to make on/off pairs.
            const double unit = width > 0 ? width : 1.0;
            QList<qreal> pattern;
            for (int repeat = 0; repeat < (s.dashes.size() % 2 ? 2 : 1); ++repeat)
                for (double d : s.dashes)
                    pattern.append(d / unit);
            // A dash of no length still shows its round or square cap (a dot), but Qt's dasher drops
            // it: give it a length far below a pixel, taken from the gap after it so the period stays.
            if (s.cap != LineCap::Butt) {
                constexpr qreal kDotLength = 1e-3;
                for (qsizetype i = 0; i + 1 < pattern.size(); i += 2) {
                    if (pattern[i] == 0) {
                        pattern[i] = kDotLength;
                        pattern[i + 1] = std::max<qreal>(0, pattern[i + 1] - kDotLength);
                    }
                }
            }
            pen.setDashPattern(pattern);
            pen.setDashOffset(s.dashPhase / unit);
        }
        return pen;
    }

    void strokeDevicePath(const Path& devicePath) {
        const State& s = state();
        if (devicePath.isEmpty() || s.strokeColor.isNull())
            return;
        const QTransform toDevice = userToDevice();
        bool invertible = false;
        const QTransform toUser = toDevice.inverted(&invertible);
        if (!invertible)
            return;
        // The path is stroked in user space so that width and dashes are user-space lengths. The painter
        // refuses pens wider than kWidestPen (and would draw a hairline instead): a wider stroke is drawn
        // on a path shrunk by as much, enlarged again by the transform.
        const double shrink = s.lineWidth > kWidestPen ? s.lineWidth / kWidestPen : 1.0;
        QPainterPath userPath = toUser.map(devicePath.toQPainterPath());
        if (shrink != 1.0)
            userPath = QTransform::fromScale(1 / shrink, 1 / shrink).map(userPath);
        const QPen pen = strokePen(shrink);
        paint([&](QPainter& p, const QTransform& toTarget) {
            p.setTransform(QTransform::fromScale(shrink, shrink) * toDevice * toTarget);
            p.strokePath(userPath, pen);
        });
    }
};

BitmapContext::BitmapContext(int width, int height, Kind kind) : m_kind(kind), d(std::make_unique<Impl>()) {
    if (width <= 0 || height <= 0 || qint64(width) * height > Image::maximumPixelCount)
        return;
    QImage image = zeroedImage(width, height, formatOf(kind));
    if (image.isNull())
        return;
    d->base = image;
    d->states.back().clipRect = d->bounds();
}

BitmapContext::~BitmapContext() = default;

bool BitmapContext::isValid() const { return !d->base.isNull(); }
int BitmapContext::width() const { return d->base.width(); }
int BitmapContext::height() const { return d->base.height(); }
uchar* BitmapContext::data() { return isValid() ? d->base.bits() : nullptr; }
const uchar* BitmapContext::constData() const { return isValid() ? d->base.constBits() : nullptr; }
int BitmapContext::bytesPerRow() const { return int(d->base.bytesPerLine()); }

Image BitmapContext::makeImage() const { return isValid() ? Image(d->base) : Image(); }

void BitmapContext::saveGState() { d->states.push_back(d->states.back()); }

void BitmapContext::restoreGState() {
    const std::size_t floor = d->layers.empty() ? 1 : d->layers.back().stateDepth;
    if (d->states.size() > floor)
        d->states.pop_back();
}

void BitmapContext::translate(double tx, double ty) { d->state().ctm = d->state().ctm.translated(tx, ty); }
void BitmapContext::scale(double sx, double sy) { d->state().ctm = d->state().ctm.scaled(sx, sy); }
void BitmapContext::rotate(double radians) { d->state().ctm = d->state().ctm.rotated(radians); }
void BitmapContext::concat(const AffineTransform& t) {
    d->state().ctm = AffineTransform::concat(t, d->state().ctm);
}
AffineTransform BitmapContext::ctm() const { return d->states.back().ctm; }

void BitmapContext::beginPath() { d->path = Path(); }
bool BitmapContext::isPathEmpty() const { return d->path.isEmpty(); }

Point BitmapContext::pathCurrentPoint() const {
    bool invertible = false;
    const QTransform toUser = d->userToDevice().inverted(&invertible);
    if (!invertible || d->path.isEmpty())
        return {};
    return Point::fromQt(toUser.map(d->path.currentPoint().toQt()));
}

void BitmapContext::addPath(const Path& path) { d->path.addPath(path, fromQTransform(d->userToDevice())); }

void BitmapContext::moveTo(const Point& p) { d->path.moveTo(Point::fromQt(d->userToDevice().map(p.toQt()))); }
void BitmapContext::lineTo(const Point& p) { d->path.lineTo(Point::fromQt(d->userToDevice().map(p.toQt()))); }

void BitmapContext::curveTo(const Point& c1, const Point& c2, const Point& end) {
    const QTransform t = d->userToDevice();
    d->path.curveTo(Point::fromQt(t.map(c1.toQt())), Point::fromQt(t.map(c2.toQt())), Point::fromQt(t.map(end.toQt())));
}

void BitmapContext::quadTo(const Point& control, const Point& end) {
    const QTransform t = d->userToDevice();
    d->path.quadTo(Point::fromQt(t.map(control.toQt())), Point::fromQt(t.map(end.toQt())));
}

void BitmapContext::addArc(const Point& center, double radius, double startAngle, double endAngle, bool clockwise) {
    // Built in user space (where the angles are measured), then taken through the transform.
    Path arc;
    const bool joined = !d->path.isEmpty();
    if (joined)
        arc.moveTo(pathCurrentPoint());
    arc.addArc(center, radius, startAngle, endAngle, clockwise);
    const AffineTransform t = fromQTransform(d->userToDevice());
    const auto& elements = arc.elements();
    for (std::size_t i = joined ? 1 : 0; i < elements.size(); ++i) {
        const Path::Element& e = elements[i];
        switch (e.type) {
        case Path::ElementType::MoveTo: d->path.moveTo(t.apply(e.points[0])); break;
        case Path::ElementType::LineTo: d->path.lineTo(t.apply(e.points[0])); break;
        case Path::ElementType::CurveTo:
            d->path.curveTo(t.apply(e.points[0]), t.apply(e.points[1]), t.apply(e.points[2]));
            break;
        default: break;
        }
    }
}

void BitmapContext::addRect(const Rect& rect) {
    Path p;
    p.addRect(rect);
    addPath(p);
}

void BitmapContext::addEllipseInRect(const Rect& rect) {
    Path p;
    p.addEllipseInRect(rect);
    addPath(p);
}

void BitmapContext::closePath() { d->path.closeSubpath(); }

void BitmapContext::fillPath(FillRule rule) {
    if (isValid())
        d->fillDevicePath(d->path, rule, d->state().fillColor);
    beginPath();
}

void BitmapContext::strokePath() {
    if (isValid())
        d->strokeDevicePath(d->path);
    beginPath();
}

void BitmapContext::drawPath(PathDrawingMode mode) {
    if (isValid()) {
        const Path path = d->path;
        if (mode == PathDrawingMode::Fill || mode == PathDrawingMode::FillStroke)
            d->fillDevicePath(path, FillRule::Winding, d->state().fillColor);
        if (mode == PathDrawingMode::EvenOddFill || mode == PathDrawingMode::EvenOddFillStroke)
            d->fillDevicePath(path, FillRule::EvenOdd, d->state().fillColor);
        if (mode == PathDrawingMode::Stroke || mode == PathDrawingMode::FillStroke ||
            mode == PathDrawingMode::EvenOddFillStroke)
            d->strokeDevicePath(path);
    }
    beginPath();
}

void BitmapContext::fillRect(const Rect& rect) {
    if (!isValid())
        return;
    Path p;
    p.addRect(rect);
    d->fillDevicePath(p.transformed(fromQTransform(d->userToDevice())), FillRule::Winding, d->state().fillColor);
}

void BitmapContext::strokeRect(const Rect& rect) {
    if (!isValid())
        return;
    Path p;
    p.addRect(rect);
    d->strokeDevicePath(p.transformed(fromQTransform(d->userToDevice())));
}

void BitmapContext::fillEllipseInRect(const Rect& rect) {
    if (!isValid())
        return;
    Path p;
    p.addEllipseInRect(rect);
    d->fillDevicePath(p.transformed(fromQTransform(d->userToDevice())), FillRule::Winding, d->state().fillColor);
}

void BitmapContext::clearRect(const Rect& rect) {
    if (!isValid())
        return;
    Path p;
    p.addRect(rect);
    const QPainterPath devicePath = p.transformed(fromQTransform(d->userToDevice())).toQPainterPath();
    const Impl::State& s = d->state();
    if (s.clipRect.isEmpty())
        return;
    // Coverage of the rectangle (and mask), then taken out of the target: dst * (1 - coverage).
    QImage coverage(s.clipRect.size(), kWorkFormat);
    coverage.fill(Qt::transparent);
    {
        QPainter cp(&coverage);
        d->setHints(cp, s);
        cp.translate(-s.clipRect.x(), -s.clipRect.y());
        cp.fillPath(devicePath, Qt::black);
    }
    // A grey bitmap has no alpha: clearing paints black.
    d->composite(coverage, s.clipRect.topLeft(), s,
                 m_kind == Kind::Gray ? QPainter::CompositionMode_SourceOver
                                      : QPainter::CompositionMode_DestinationOut);
}

void BitmapContext::setFillColor(const Color& color) { d->state().fillColor = color; }
void BitmapContext::setStrokeColor(const Color& color) { d->state().strokeColor = color; }
Color BitmapContext::fillColor() const { return d->states.back().fillColor; }
Color BitmapContext::strokeColor() const { return d->states.back().strokeColor; }
void BitmapContext::setLineWidth(double width) { d->state().lineWidth = std::isfinite(width) ? width : 1.0; }
void BitmapContext::setLineCap(LineCap cap) { d->state().cap = cap; }
void BitmapContext::setLineJoin(LineJoin join) { d->state().join = join; }
void BitmapContext::setMiterLimit(double limit) { d->state().miterLimit = limit; }

void BitmapContext::setLineDash(double phase, const std::vector<double>& lengths) {
    d->state().dashPhase = std::isfinite(phase) ? phase : 0.0;
    d->state().dashes = lengths;
}

double BitmapContext::lineWidth() const { return d->states.back().lineWidth; }
void BitmapContext::setAlpha(double alpha) { d->state().alpha = std::isfinite(alpha) ? std::clamp(alpha, 0.0, 1.0) : 1.0; }
double BitmapContext::alpha() const { return d->states.back().alpha; }

void BitmapContext::clip(FillRule rule) {
    if (isValid())
        d->clipToDevicePath(d->path, rule);
    beginPath();
}

void BitmapContext::clipToRect(const Rect& rect) {
    if (!isValid())
        return;
    Path p;
    p.addRect(rect);
    d->clipToDevicePath(p.transformed(fromQTransform(d->userToDevice())), FillRule::Winding);
}

void BitmapContext::clipToMask(const Rect& rect, const Image& mask) {
    if (!isValid())
        return;
    const Rect r = rect.standardized();
    if (mask.isNull() || r.isEmpty()) {
        d->state().clipRect = QRect();
        return;
    }
    // Stretch the mask's coverage over the rectangle, top row along the top edge.
    const QTransform placement = QTransform(r.width() / mask.width(), 0, 0, -r.height() / mask.height(), r.minX(),
                                            r.maxY()) *
                                 d->userToDevice();
    // Drawn straight into the coverage: an alpha-only image takes the alpha of what is drawn.
    QImage coverage = zeroedImage(width(), height(), QImage::Format_Alpha8);
    if (coverage.isNull()) {
        d->state().clipRect = QRect();
        return;
    }
    const QImage maskCoverage = coverageOf(mask);
    const bool smooth = d->state().interpolation != InterpolationQuality::None;
    if (!stretchCoverage(coverage, maskCoverage, placement, smooth)) {
        QPainter p(&coverage);
        d->setHints(p, d->state());
        p.setTransform(placement);
        p.drawImage(QPointF(0, 0), maskCoverage);
    }
    d->restrictClip(d->coveringPixels(placement.mapRect(QRectF(0, 0, mask.width(), mask.height())), 0));
    d->addMask(coverage);
}

Rect BitmapContext::clipBoundingBox() const {
    bool invertible = false;
    const QTransform toUser = d->userToDevice().inverted(&invertible);
    if (!invertible)
        return Rect::null();
    const QRect clip = d->states.back().clipRect;
    if (clip.isEmpty())
        return Rect::null();
    return Rect::fromQt(toUser.mapRect(QRectF(clip)));
}

void BitmapContext::drawLinearGradient(const Gradient& gradient, const Point& start, const Point& end,
                                       unsigned options) {
    const double vx = end.x - start.x, vy = end.y - start.y;
    const double lengthSquared = vx * vx + vy * vy;
    if (!isValid() || !gradient.isValid() || !(lengthSquared > 0) || !std::isfinite(lengthSquared))
        return;
    const bool before = options & GradientDrawsBeforeStart, after = options & GradientDrawsAfterEnd;
    const auto table = gradientTable(gradient);
    const QTransform toDevice = d->userToDevice();
    bool invertible = false;
    const QTransform toUser = toDevice.inverted(&invertible);
    if (!invertible)
        return;
    const QRect region = d->state().clipRect;
    if (region.isEmpty())
        return;
    QImage image(region.size(), kWorkFormat);
    for (int y = 0; y < region.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < region.width(); ++x) {
            const QPointF u = toUser.map(QPointF(region.x() + x + 0.5, region.y() + y + 0.5));
            double t = ((u.x() - start.x) * vx + (u.y() - start.y) * vy) / lengthSquared;
            if ((t < 0 && !before) || (t > 1 && !after)) {
                row[x] = 0;
                continue;
            }
            t = std::clamp(t, 0.0, 1.0);
            row[x] = table[std::size_t(std::lround(t * (table.size() - 1)))];
        }
    }
    d->paint([&](QPainter& p, const QTransform& toTarget) {
        p.setTransform(toTarget);
        p.drawImage(region.topLeft(), image);
    });
}

void BitmapContext::drawRadialGradient(const Gradient& gradient, const Point& c0, double r0, const Point& c1,
                                       double r1, unsigned options) {
    if (!isValid() || !gradient.isValid() || !std::isfinite(r0) || !std::isfinite(r1) || r0 < 0 || r1 < 0)
        return;
    const bool before = options & GradientDrawsBeforeStart, after = options & GradientDrawsAfterEnd;
    const auto table = gradientTable(gradient);
    bool invertible = false;
    const QTransform toUser = d->userToDevice().inverted(&invertible);
    const QRect region = d->state().clipRect;
    if (!invertible || region.isEmpty())
        return;
    // Circles c(t) = c0 + t (c1 - c0) with radius r(t) = r0 + t (r1 - r0); a point takes the colour of the
    // largest t whose circle passes through it, among the t that the options allow.
    const double cdx = c1.x - c0.x, cdy = c1.y - c0.y, dr = r1 - r0;
    const double a = cdx * cdx + cdy * cdy - dr * dr;
    QImage image(region.size(), kWorkFormat);
    for (int y = 0; y < region.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < region.width(); ++x) {
            const QPointF u = toUser.map(QPointF(region.x() + x + 0.5, region.y() + y + 0.5));
            const double px = u.x() - c0.x, py = u.y() - c0.y;
            const double b = px * cdx + py * cdy + r0 * dr;
            const double c = px * px + py * py - r0 * r0;
            double roots[2];
            int rootCount = 0;
            if (std::abs(a) < 1e-12) {
                if (std::abs(b) > 1e-12)
                    roots[rootCount++] = c / (2 * b);
            } else {
                const double disc = b * b - a * c;
                if (disc >= 0) {
                    const double root = std::sqrt(disc);
                    roots[rootCount++] = (b + root) / a;
                    roots[rootCount++] = (b - root) / a;
                }
            }
            double best = -std::numeric_limits<double>::infinity();
            bool found = false;
            for (int i = 0; i < rootCount; ++i) {
                const double t = roots[i];
                if (r0 + t * dr < 0 || (t < 0 && !before) || (t > 1 && !after))
                    continue;
                if (!found || t > best)
                    best = t;
                found = true;
            }
            row[x] = found ? table[std::size_t(std::lround(std::clamp(best, 0.0, 1.0) * (table.size() - 1)))] : 0;
        }
    }
    d->paint([&](QPainter& p, const QTransform& toTarget) {
        p.setTransform(toTarget);
        p.drawImage(region.topLeft(), image);
    });
}

void BitmapContext::beginTransparencyLayer() {
    if (!isValid())
        return;
    saveGState();
    Impl::Layer layer;
    layer.outer = d->state();
    layer.image = zeroedImage(width(), height(), kLayerFormat);
    // Inside the layer: full alpha, no shadow; the mask applies once, when the layer is composited.
    Impl::State& inside = d->state();
    inside.alpha = 1;
    inside.shadowColor = Color();
    inside.mask = QImage();
    layer.stateDepth = d->states.size();
    d->layers.push_back(std::move(layer));
}

void BitmapContext::endTransparencyLayer() {
    if (d->layers.empty())
        return;
    Impl::Layer layer = std::move(d->layers.back());
    d->layers.pop_back();
    d->states.resize(layer.stateDepth);
    d->states.back() = layer.outer;
    const QImage image = layer.image;
    d->paint([&](QPainter& p, const QTransform& toTarget) {
        p.setTransform(toTarget);
        p.drawImage(QPoint(0, 0), image);
    });
    restoreGState();
}

void BitmapContext::setShadow(const Size& offset, double blur, const Color& color) {
    Impl::State& s = d->state();
    s.shadowOffset = Size(std::isfinite(offset.width) ? offset.width : 0, std::isfinite(offset.height) ? offset.height : 0);
    s.shadowBlur = std::isfinite(blur) ? std::max(blur, 0.0) : 0;
    s.shadowColor = color;
}

void BitmapContext::clearShadow() { d->state().shadowColor = Color(); }

void BitmapContext::drawImage(const Rect& rect, const Image& image) {
    const Rect r = rect.standardized();
    if (!isValid() || image.isNull() || r.isEmpty())
        return;
    // Image pixel (u, v), v counted down from the top row, lands at (minX + u sx, maxY - v sy) in user space.
    const QTransform placement =
        QTransform(r.width() / image.width(), 0, 0, -r.height() / image.height(), r.minX(), r.maxY()) *
        d->userToDevice();
    const QImage& source = image.qimage();
    d->paint(
        [&](QPainter& p, const QTransform& toTarget) {
            p.setTransform(placement * toTarget);
            p.drawImage(QPointF(0, 0), source);
        },
        true, placement.mapRect(QRectF(0, 0, source.width(), source.height())));
}

int shadowSpread(double blur) {
    const std::array<int, 3> radii = shadowBlurRadii(blur);
    return radii[0] + radii[1] + radii[2];
}

std::array<int, 3> shadowBlurRadii(double blur) {
    return shadowRadii(std::isfinite(blur) ? blur : 0);
}

Image castShadow(const Image& image, double blur, const Color& color) {
    if (image.isNull() || color.isNull())
        return {};
    QImage source = image.qimage();
    if (source.format() != kLayerFormat)
        source = source.convertToFormat(kLayerFormat);
    QImage shadow = zeroedImage(source.width(), source.height(), kLayerFormat);
    if (shadow.isNull() || !blurShadow(source, source.rect(), source.width(), source.height(),
                                       shadowRadii(std::isfinite(blur) ? blur : 0), premultipliedShadowColor(color),
                                       shadow))
        return {};
    return Image(std::move(shadow));
}

void BitmapContext::drawImageWithCastShadow(const Rect& rect, const Image& image, const Image& shadow) {
    const Rect r = rect.standardized();
    if (!isValid() || image.isNull() || r.isEmpty())
        return;
    const Impl::State& s = d->state();
    const QTransform placement =
        QTransform(r.width() / image.width(), 0, 0, -r.height() / image.height(), r.minX(), r.maxY()) *
        d->userToDevice();
    // Only an unscaled image on whole pixels, drawn at full alpha without a mask, comes out as drawImage
    // would draw it; anything else is drawn so.
    const bool wholePixels = placement.type() <= QTransform::TxTranslate && placement.dx() == std::round(placement.dx()) &&
                             placement.dy() == std::round(placement.dy());
    if (shadow.isNull() || shadow.width() != image.width() || shadow.height() != image.height() || !wholePixels ||
        s.alpha != 1 || !s.mask.isNull() || !d->shadowActive(s) || std::abs(placement.dx()) > 1e7 ||
        std::abs(placement.dy()) > 1e7) {
        drawImage(rect, image);
        return;
    }
    if (s.clipRect.isEmpty())
        return;
    // The offset is in the y-up pixel space; device rows grow downward.
    const double dx = std::clamp(s.shadowOffset.width, -1e7, 1e7), dy = std::clamp(s.shadowOffset.height, -1e7, 1e7);
    const QPoint topLeft(int(placement.dx()), int(placement.dy()));
    d->compositePart(shadow.qimage(), shadow.qimage().rect(),
                     topLeft + QPoint(int(std::lround(dx)), -int(std::lround(dy))), s);
    saveGState();
    clearShadow();
    drawImage(rect, image);
    restoreGState();
}

void BitmapContext::drawTiledImage(const Rect& rect, const Image& image) {
    const Rect r = rect.standardized();
    if (!isValid() || image.isNull() || r.isEmpty())
        return;
    bool invertible = false;
    const QTransform toUser = d->userToDevice().inverted(&invertible);
    if (!invertible)
        return;
    // Tiles cover the clip area: find the tile indices that reach it.
    const Rect area = Rect::fromQt(toUser.mapRect(QRectF(d->state().clipRect)));
    const qint64 firstColumn = qint64(std::floor((area.minX() - r.minX()) / r.width()));
    const qint64 lastColumn = qint64(std::ceil((area.maxX() - r.minX()) / r.width()));
    const qint64 firstRow = qint64(std::floor((area.minY() - r.minY()) / r.height()));
    const qint64 lastRow = qint64(std::ceil((area.maxY() - r.minY()) / r.height()));
    if ((lastColumn - firstColumn) * (lastRow - firstRow) > 1'000'000)
        return;  // tiles of about a pixel or less: nothing sensible to draw
    // One operation for all tiles, so that alpha, shadow and mask apply to the tiling as a whole.
    const QTransform toDevice = d->userToDevice();
    const QImage& source = image.qimage();
    d->paint([&](QPainter& p, const QTransform& toTarget) {
        for (qint64 row = firstRow; row < lastRow; ++row) {
            for (qint64 column = firstColumn; column < lastColumn; ++column) {
                const double x = r.minX() + column * r.width(), y = r.minY() + row * r.height();
                const QTransform placement(r.width() / image.width(), 0, 0, -r.height() / image.height(), x,
                                           y + r.height());
                p.setTransform(placement * toDevice * toTarget);
                p.drawImage(QPointF(0, 0), source);
            }
        }
    });
}

void BitmapContext::setInterpolationQuality(InterpolationQuality quality) { d->state().interpolation = quality; }
InterpolationQuality BitmapContext::interpolationQuality() const { return d->states.back().interpolation; }
void BitmapContext::setShouldAntialias(bool on) { d->state().antialias = on; }
void BitmapContext::setAllowsAntialiasing(bool allowed) { d->allowsAntialiasing = allowed; }

void BitmapContext::drawWithPainter(const std::function<void(QPainter&)>& paint) {
    if (!isValid())
        return;
    const QTransform toDevice = d->userToDevice();
    d->paint([&](QPainter& p, const QTransform& toTarget) {
        p.setTransform(toDevice * toTarget);
        paint(p);
    });
}

}  // namespace kx
