#include "platform/gfx/bezier_path_coding.h"

#include <QtEndian>

#include <cmath>
#include <cstring>

namespace kx {

namespace {

const QString kWindingRuleKey = QStringLiteral("NSWindingRule");
const QString kLineWidthKey = QStringLiteral("NSLineWidth");
const QString kLineCapKey = QStringLiteral("NSLineCapStyle");
const QString kLineJoinKey = QStringLiteral("NSLineJoinStyle");
const QString kMiterLimitKey = QStringLiteral("NSMiterLimit");
const QString kFlatnessKey = QStringLiteral("NSFlatness");
const QString kLineDashKey = QStringLiteral("NSLineDash");
const QString kLineDashPhaseKey = QStringLiteral("NSLineDashPhase");
const QString kSegmentsKey = QStringLiteral("NSSegments");

enum SegmentKind : unsigned char { kMove = 0, kLine = 1, kCurve = 2, kClose = 3 };

void appendDouble(QByteArray& out, double value) {
    quint64 bits;
    std::memcpy(&bits, &value, sizeof bits);
    char bytes[8];
    qToBigEndian(bits, bytes);
    out.append(bytes, 8);
}

// Reads doubles from packed data, refusing to read past its end.
class DoubleReader {
public:
    explicit DoubleReader(const QByteArray& data) : m_data(data) {}
    bool atEnd() const { return m_pos >= m_data.size(); }
    std::optional<unsigned char> byte() {
        if (m_pos >= m_data.size())
            return std::nullopt;
        return static_cast<unsigned char>(m_data[m_pos++]);
    }
    std::optional<double> real() {
        if (m_data.size() - m_pos < 8)
            return std::nullopt;
        const quint64 bits = qFromBigEndian<quint64>(m_data.constData() + m_pos);
        m_pos += 8;
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    std::optional<Point> point() {
        const auto x = real();
        const auto y = real();
        if (!x || !y || !std::isfinite(*x) || !std::isfinite(*y))
            return std::nullopt;
        return Point(*x, *y);
    }

private:
    const QByteArray& m_data;
    qsizetype m_pos = 0;
};

QByteArray packDoubles(const std::vector<double>& values) {
    QByteArray out;
    out.reserve(qsizetype(values.size()) * 8);
    for (double v : values)
        appendDouble(out, v);
    return out;
}

std::optional<std::vector<double>> unpackDoubles(const QByteArray& data) {
    if (data.size() % 8 != 0)
        return std::nullopt;
    std::vector<double> values;
    DoubleReader reader(data);
    while (!reader.atEnd()) {
        const auto v = reader.real();
        if (!v || !std::isfinite(*v))
            return std::nullopt;
        values.push_back(*v);
    }
    return values;
}

}  // namespace

QByteArray packBezierPathElements(const BezierPath& path) {
    QByteArray out;
    for (const BezierPath::Element& e : path.elements()) {
        switch (e.type) {
        case BezierPath::ElementType::MoveTo: out.append(char(kMove)); break;
        case BezierPath::ElementType::LineTo: out.append(char(kLine)); break;
        case BezierPath::ElementType::CurveTo: out.append(char(kCurve)); break;
        case BezierPath::ElementType::ClosePath: out.append(char(kClose)); break;
        }
        for (int i = 0; i < e.pointCount(); ++i) {
            appendDouble(out, e.points[i].x);
            appendDouble(out, e.points[i].y);
        }
    }
    return out;
}

std::optional<BezierPath> unpackBezierPathElements(const QByteArray& data) {
    BezierPath path;
    DoubleReader reader(data);
    while (!reader.atEnd()) {
        const auto kind = reader.byte();
        switch (*kind) {
        case kMove:
        case kLine: {
            const auto p = reader.point();
            if (!p)
                return std::nullopt;
            if (*kind == kMove)
                path.moveTo(*p);
            else
                path.lineTo(*p);
            break;
        }
        case kCurve: {
            const auto c1 = reader.point();
            const auto c2 = reader.point();
            const auto end = reader.point();
            if (!c1 || !c2 || !end)
                return std::nullopt;
            path.curveTo(*end, *c1, *c2);
            break;
        }
        case kClose:
            path.closePath();
            break;
        default:
            return std::nullopt;
        }
    }
    return path;
}

void CodableBezierPath::encodeWithCoder(KeyedArchiver& coder) const {
    coder.encodeInteger(path.windingRule() == FillRule::EvenOdd ? 1 : 0, kWindingRuleKey);
    coder.encodeDouble(path.lineWidth(), kLineWidthKey);
    if (path.lineCapStyle() != BezierPath::LineCapStyle::Butt)
        coder.encodeInteger(int(path.lineCapStyle()), kLineCapKey);
    if (path.lineJoinStyle() != BezierPath::LineJoinStyle::Miter)
        coder.encodeInteger(int(path.lineJoinStyle()), kLineJoinKey);
    if (path.miterLimit() != BezierPath::defaultMiterLimit)
        coder.encodeDouble(path.miterLimit(), kMiterLimitKey);
    if (path.flatness() != BezierPath::defaultFlatness)
        coder.encodeDouble(path.flatness(), kFlatnessKey);
    if (!path.lineDash().empty()) {
        coder.encodeObject(Value(packDoubles(path.lineDash())), kLineDashKey);
        coder.encodeDouble(path.lineDashPhase(), kLineDashPhaseKey);
    }
    coder.encodeObject(Value(packBezierPathElements(path)), kSegmentsKey);
}

void CodableBezierPath::initWithCoder(KeyedUnarchiver& coder) {
    const auto fail = [&coder](const QString& what) {
        coder.failWithError(QStringLiteral("NSBezierPath: %1").arg(what));
    };
    const Value segments = coder.decodeObjectOfType(kSegmentsKey, Value::Type::Data);
    const auto unpacked = unpackBezierPathElements(segments.toData());
    if (!unpacked) {
        fail(QStringLiteral("damaged element list"));
        return;
    }
    BezierPath result = *unpacked;

    const std::int64_t rule = coder.decodeInteger(kWindingRuleKey);
    const std::int64_t cap = coder.decodeInteger(kLineCapKey);
    const std::int64_t join = coder.decodeInteger(kLineJoinKey);
    if (rule < 0 || rule > 1 || cap < 0 || cap > 2 || join < 0 || join > 2) {
        fail(QStringLiteral("unknown winding rule, cap or join"));
        return;
    }
    result.setWindingRule(rule == 1 ? FillRule::EvenOdd : FillRule::Winding);
    result.setLineCapStyle(BezierPath::LineCapStyle(cap));
    result.setLineJoinStyle(BezierPath::LineJoinStyle(join));

    const auto real = [&coder](const QString& key, double fallback) {
        return coder.containsValue(key) ? coder.decodeDouble(key) : fallback;
    };
    const double width = real(kLineWidthKey, BezierPath::defaultLineWidth);
    const double miter = real(kMiterLimitKey, BezierPath::defaultMiterLimit);
    const double flatness = real(kFlatnessKey, BezierPath::defaultFlatness);
    const double phase = real(kLineDashPhaseKey, 0);
    if (!std::isfinite(width) || !std::isfinite(miter) || !std::isfinite(flatness) || !std::isfinite(phase)) {
        fail(QStringLiteral("a pen setting is not finite"));
        return;
    }
    result.setLineWidth(width);
    result.setMiterLimit(miter);
    result.setFlatness(flatness);
    const auto dash = unpackDoubles(coder.decodeObjectOfType(kLineDashKey, Value::Type::Data).toData());
    if (!dash) {
        fail(QStringLiteral("damaged dash pattern"));
        return;
    }
    result.setLineDash(*dash, phase);
    path = std::move(result);
}

void encodeBezierPath(KeyedArchiver& coder, const BezierPath& path, const QString& key) {
    coder.encodeObject(Value(std::make_shared<CodableBezierPath>(path)), key);
}

std::optional<BezierPath> decodeBezierPath(KeyedUnarchiver& coder, const QString& key) {
    const auto holder = coder.decodeObjectOfClass<CodableBezierPath>(key);
    if (!holder)
        return std::nullopt;
    return holder->path;
}

void registerBezierPathClass(ClassRegistry& registry) {
    registry.registerClass<CodableBezierPath>(CodableBezierPath::kClassName);
}

}  // namespace kx
