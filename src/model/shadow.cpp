#include "model/shadow.h"

#include "graphics/color_utilities.h"
#include "graphics/geometry_utilities.h"
#include "platform/foundation/archive_copy.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"

#include <cmath>
#include <limits>

namespace {
const QString kTypeKey = QStringLiteral("type");
const QString kColorKey = QStringLiteral("t_color");
const QString kBlurKey = QStringLiteral("blur");
const QString kAngleKey = QStringLiteral("angle");
const QString kOffsetKey = QStringLiteral("offset");

// Truncation toward zero that saturates instead of overflowing; NaN gives 0.
std::int32_t truncatedInt32(double v) {
    if (std::isnan(v))
        return 0;
    if (v >= double(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (v <= double(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    return std::int32_t(v);
}
}  // namespace

KXShadow::KXShadow() {
    m_color = createSRGBColor(0, 0, 0, 0.6);
    m_tColor = rgbaFromCGColor(m_color);
}

KXShadow::KXShadow(const kx::Color& color, double blur, double angle, double offset) {
    setColor(color);
    setBlur(blur);
    setAngle(angle);
    setOffset(offset);
}

std::shared_ptr<KXShadow> KXShadow::shadowWithColor(const kx::Color& color, double blur, double angle,
                                                    double offset) {
    return std::make_shared<KXShadow>(color, blur, angle, offset);
}

QStringList KXShadow::announcedKeys() const {
    return {kColorKey, kBlurKey, kAngleKey, kOffsetKey};
}

const kx::PropertyTable& KXShadow::propertyTable() const {
    static const kx::PropertyTable table = [] {
        kx::PropertyTable t;
        t.add(kColorKey, &KXShadow::t_color, &KXShadow::setT_color);
        t.add(kBlurKey, &KXShadow::blur, &KXShadow::setBlur);
        t.add(kAngleKey, &KXShadow::angle, &KXShadow::setAngle);
        t.add(kOffsetKey, &KXShadow::offset, &KXShadow::setOffset);
        t.add(kTypeKey, &KXShadow::type, &KXShadow::setType);
        return t;
    }();
    return table;
}

void KXShadow::setColor(const kx::Color& color) {
    setT_color(rgbaFromCGColor(color));
}

void KXShadow::setT_color(std::int64_t packed) {
    const std::int64_t normalized = KXPackedRGBA(std::uint32_t(packed));
    m_color = cgColorFromRGBA(KXPackedRGBA(normalized));
    setProperty(kColorKey, m_tColor, normalized);
}

void KXShadow::setBlur(double blur) {
    setProperty(kBlurKey, m_blur, blur);
}

void KXShadow::setAngle(double angle) {
    setProperty(kAngleKey, m_angle, angle);
}

void KXShadow::setOffset(double offset) {
    setProperty(kOffsetKey, m_offset, offset);
}

void KXShadow::setShadow(const KXShadow* other) {
    if (!other)
        return;
    // The silent fields first: observers of the colour (a graph's layer) read the whole shadow when told.
    m_blur = other->m_blur;
    m_angle = other->m_angle;
    m_offset = other->m_offset;
    setT_color(other->t_color());
}

kx::Point KXShadow::offsetWithReference(double reference) const {
    const double d = reference * m_offset / 100.0;
    const float a = float(degreesToRadians(m_angle));
    const float s = std::sin(a), c = std::cos(a);
    return kx::Point(double(c) * d, -double(s) * d);
}

kx::Point KXShadow::offsetWithReference(double reference, double radiansOffset) const {
    const float d = float(reference * m_offset / 100.0);
    const float a = float(degreesToRadians(m_angle) + radiansOffset);
    const float s = std::sin(a), c = std::cos(a);
    return kx::Point(double(c * d), double(-s * d));
}

std::shared_ptr<KXShadow> KXShadow::copy() const {
    return kx::archiveCopy(*this);
}

void KXShadow::encodeWithCoder(kx::KeyedArchiver& coder) const {
    coder.encodeInteger(m_type, kTypeKey);
    coder.encodeInt64(m_tColor, kColorKey);
    coder.encodeInt32(truncatedInt32(m_blur), kBlurKey);
    coder.encodeInt32(truncatedInt32(m_angle), kAngleKey);
    coder.encodeInt32(truncatedInt32(m_offset), kOffsetKey);
}

void KXShadow::initWithCoder(kx::KeyedUnarchiver& coder) {
    // Keys that are missing read as zero, as for an object made without the shadow's defaults.
    setType(unsigned(coder.decodeInteger(kTypeKey)));
    setT_color(coder.decodeInt64(kColorKey));
    m_blur = coder.decodeInt32(kBlurKey);
    m_angle = coder.decodeInt32(kAngleKey);
    m_offset = coder.decodeInt32(kOffsetKey);
}
