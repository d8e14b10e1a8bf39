#include "model/page_size.h"

#include "model/column_info.h"
#include "platform/foundation/archive_copy.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>
#include <utility>

namespace {
const QString kLandscapeKey = QStringLiteral("isLandscape");
const QString kWidthKey = QStringLiteral("width");
const QString kHeightKey = QStringLiteral("height");
const QString kDpiKey = QStringLiteral("dpi");
const QString kUnitKey = QStringLiteral("unit");
const QString kDescKey = QStringLiteral("desc");

const QString kArchiveDpiKey = QStringLiteral("dpi");
const QString kArchiveWidthKey = QStringLiteral("widthValue");
const QString kArchiveHeightKey = QStringLiteral("heightValue");
const QString kArchiveDescriptionKey = QStringLiteral("description");
const QString kArchiveLandscapeKey = QStringLiteral("isLandscape");
const QString kArchiveUnitKey = QStringLiteral("unit");

// Pixels per unit per dpi, as the program has always rounded them: 1/25.4 and 1/2.54 at single precision.
constexpr double kMillimeterToPixelFactor = 0.03937007859349251;
constexpr double kCentimeterToPixelFactor = 0.3937007784843445;
constexpr float kMillimeterPerDpi = 0.03937008f;
constexpr float kCentimeterPerDpi = 0.39370078f;

// Read when a size carries no usable resolution: the resolution of a point.
constexpr double kFallbackDpi = 72.0;

// Orders a pair by an orientation flag: landscape larger first, portrait smaller first.
kx::Size orderedByOrientation(double a, double b, bool landscape) {
    if (a == b)
        return {a, b};
    const double larger = std::max(a, b);
    const double smaller = std::min(a, b);
    return landscape ? kx::Size(larger, smaller) : kx::Size(smaller, larger);
}

// A side that is not a number would spread into every pixel size and page scale derived from it.
double finiteOrZero(double side) {
    return std::isfinite(side) ? side : 0.0;
}

// Whether an archive can hold the resolution: its reader takes 32 bits.
bool isArchivableDpi(std::int64_t dpi) {
    return dpi >= std::numeric_limits<std::int32_t>::min() && dpi <= std::numeric_limits<std::int32_t>::max();
}

// Whether the difference, narrowed to single precision, is at most 1. Differences up to 1 + 2^-24 round
// to 1; anything beyond cannot, and is never narrowed (a narrowing out of float range is undefined).
bool withinOnePixel(double a, double b) {
    const double difference = std::fabs(a - b);
    return difference < 2.0 && float(difference) <= 1.0f;
}

// The side at single precision as archives hold it; sides beyond the float range are held at its limit.
float archivedSide(double side) {
    constexpr double limit = std::numeric_limits<float>::max();
    return float(std::clamp(side, -limit, limit));
}

// Sizes copy through a registry of their own, so that a copy works before start-up registration.
const kx::ClassRegistry& sizeRegistry() {
    static kx::ClassRegistry* const registry = [] {
        auto* r = new kx::ClassRegistry;
        r->registerClass<KXSize>(QStringLiteral("KXSize"));
        return r;
    }();
    return *registry;
}
}  // namespace

KXSize::KXSize() = default;

KXSize::KXSize(double width, double height, std::int64_t unit, std::int64_t dpi)
    : m_dpi(isArchivableDpi(dpi) ? dpi : 0), m_unit(unit), m_width(finiteOrZero(width)), m_height(finiteOrZero(height)) {
    m_landscape = m_width >= m_height;
}

std::shared_ptr<KXSize> KXSize::sizeWithWith(double width, double height, std::int64_t unit, std::int64_t dpi) {
    return std::make_shared<KXSize>(width, height, unit, dpi);
}

QStringList KXSize::announcedKeys() const {
    return {kLandscapeKey, kWidthKey, kHeightKey};
}

const kx::PropertyTable& KXSize::propertyTable() const {
    static const kx::PropertyTable table = [] {
        kx::PropertyTable t;
        t.add(kLandscapeKey, &KXSize::isLandscape, &KXSize::setLandscape);
        t.add(kWidthKey, &KXSize::width, &KXSize::setWidth);
        t.add(kHeightKey, &KXSize::height, &KXSize::setHeight);
        t.add(kDpiKey, &KXSize::dpi, &KXSize::setDpi);
        t.add(kUnitKey, &KXSize::unit, &KXSize::setUnit);
        t.add<KXSize>(
            kDescKey, [](const KXSize& s) { return kx::Value(s.desc()); },
            [](KXSize& s, const kx::Value& v) { s.setDesc(v.toString()); });
        return t;
    }();
    return table;
}

void KXSize::setLandscape(bool landscape) {
    if (landscape == m_landscape)
        return;
    std::swap(m_width, m_height);
    setProperty(kLandscapeKey, m_landscape, landscape);
}

void KXSize::setWidth(double width) {
    // A side that is not a number is refused: the old one stays.
    if (!std::isfinite(width))
        return;
    setProperty(kWidthKey, m_width, width);
}

void KXSize::setHeight(double height) {
    if (!std::isfinite(height))
        return;
    setProperty(kHeightKey, m_height, height);
}

void KXSize::setDpi(std::int64_t dpi) {
    if (isArchivableDpi(dpi))
        m_dpi = dpi;
}

void KXSize::setUnit(std::int64_t unit) {
    const kx::Size converted = sizeWithUnit(unit);
    setWidth(converted.width);
    setHeight(converted.height);
    m_unit = unit;
}

double KXSize::conversionDpi() const {
    return m_dpi > 0 ? double(m_dpi) : kFallbackDpi;
}

kx::Size KXSize::pixelSize() const {
    const double dpi = conversionDpi();
    switch (m_unit) {
    case KXSizeUnitMillimeter:
        return {m_width * dpi * kMillimeterToPixelFactor, m_height * dpi * kMillimeterToPixelFactor};
    case KXSizeUnitCentimeter:
        return {m_width * dpi * kCentimeterToPixelFactor, m_height * dpi * kCentimeterToPixelFactor};
    case KXSizeUnitInch: return {m_width * dpi, m_height * dpi};
    default: return {m_width, m_height};
    }
}

kx::Size KXSize::sizeWithUnit(std::int64_t unit) const {
    const kx::Size pixels = pixelSize();
    const float dpi = float(conversionDpi());
    double divisor = 1.0;
    switch (unit) {
    case KXSizeUnitMillimeter: divisor = double(dpi * kMillimeterPerDpi); break;
    case KXSizeUnitCentimeter: divisor = double(dpi * kCentimeterPerDpi); break;
    case KXSizeUnitInch: divisor = double(dpi); break;
    default: break;
    }
    return orderedByOrientation(pixels.width / divisor, pixels.height / divisor, m_landscape);
}

void KXSize::setSize(const KXSize* other) {
    if (!other)
        return;
    const kx::Size theirs = other->sizeWithUnit(other->unit());
    const std::int64_t unit = other->unit();
    const std::int64_t dpi = other->dpi();
    const double larger = std::max(theirs.width, theirs.height);
    const double smaller = std::min(theirs.width, theirs.height);
    setWidth(m_landscape ? larger : smaller);
    setHeight(m_landscape ? smaller : larger);
    m_unit = unit;
    m_dpi = dpi;
}

bool KXSize::isEqualToPagesize(const KXSize* other, bool ignoreOrientation) const {
    if (!other)
        return false;
    const kx::Size mine = sizeWithUnit(KXSizeUnitPixel);
    const kx::Size theirs = other->sizeWithUnit(KXSizeUnitPixel);
    if (withinOnePixel(mine.width, theirs.width) && withinOnePixel(mine.height, theirs.height))
        return true;
    return ignoreOrientation && withinOnePixel(mine.width, theirs.height) &&
           withinOnePixel(mine.height, theirs.width);
}

std::shared_ptr<KXSize> KXSize::copy() const {
    return kx::archiveCopy(*this, nullptr, sizeRegistry());
}

void KXSize::encodeWithCoder(kx::KeyedArchiver& coder) const {
    coder.encodeInteger(m_dpi, kArchiveDpiKey);
    coder.encodeFloat(archivedSide(m_width), kArchiveWidthKey);
    coder.encodeFloat(archivedSide(m_height), kArchiveHeightKey);
    coder.encodeObject(kx::Value(description()), kArchiveDescriptionKey);
    coder.encodeBool(m_landscape, kArchiveLandscapeKey);
    coder.encodeInteger(m_unit, kArchiveUnitKey);
}

void KXSize::initWithCoder(kx::KeyedUnarchiver& coder) {
    m_dpi = coder.decodeInt32(kArchiveDpiKey);
    const double width = coder.decodeFloat(kArchiveWidthKey);
    const double height = coder.decodeFloat(kArchiveHeightKey);
    if (!std::isfinite(width) || !std::isfinite(height)) {
        coder.failWithError(QStringLiteral("a page size has a side that is not a number"));
        return;
    }
    m_width = width;
    m_height = height;
    m_desc = coder.decodeObjectOfType(kArchiveDescriptionKey, kx::Value::Type::String).toString();
    m_landscape = coder.decodeBool(kArchiveLandscapeKey);
    m_unit = coder.decodeInteger(kArchiveUnitKey);
}

void registerPageSizeClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        kx::ClassRegistry& registry = kx::ClassRegistry::shared();
        registry.registerClass<KXSize>(QStringLiteral("KXSize"));
        registry.registerClass<KXColumnInfo>(QStringLiteral("KXColumnInfo"));
    });
}
