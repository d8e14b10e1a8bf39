#include "graphics/photo_filter.h"

#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "graphics/single_precision.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const QString kExposureName = QStringLiteral("CIExposureAdjust");
const QString kHueName = QStringLiteral("CIHueAdjust");
const QString kColorControlsName = QStringLiteral("CIColorControls");

const QString kEV = QStringLiteral("inputEV");
const QString kAngle = QStringLiteral("inputAngle");
const QString kSaturation = QStringLiteral("inputSaturation");
const QString kBrightness = QStringLiteral("inputBrightness");
const QString kContrast = QStringLiteral("inputContrast");

const QString kFilterNameKey = QStringLiteral("CIFilterName");

// The archive keys of the three filters and the filter name each must hold.
struct FilterSlot {
    QString key;
    QString filterName;
};

const FilterSlot kExposureSlot{QStringLiteral("exposureFilter"), kExposureName};
const FilterSlot kHueSlot{QStringLiteral("hueFilter"), kHueName};
const FilterSlot kColorControlsSlot{QStringLiteral("colorControls"), kColorControlsName};

// Registered once, however the first photo filter or archive read comes about.
const bool kRegisteredAtStart = (KXPhotoFilter::registerArchiveClasses(), true);

}  // namespace

// --- ArchivedFilter ---

kx::FilterPtr ArchivedFilter::neutralFilterWithName(const QString& name) {
    kx::FilterPtr filter = kx::Filter::filterWithName(name);
    if (!filter)
        return nullptr;
    filter->setDefaults();
    // Every default is neutral except the exposure filter's, which brightens by half a stop.
    if (name == kExposureName)
        filter->setInputValue(kEV, kx::Value(0.0f));
    return filter;
}

void ArchivedFilter::encodeWithCoder(kx::KeyedArchiver& coder) const {
    if (!m_filter)
        return;
    coder.encodeObject(kx::Value(m_filter->name()), kFilterNameKey);
    for (const auto& [key, value] : m_filter->inputValues()) {
        // Only numeric inputs are stored: vector inputs (colour matrices) belong to no archived filter.
        if (value.type() == kx::Value::Type::Integer || value.type() == kx::Value::Type::Real)
            coder.encodeFloat(singlePrecision(value.toDouble()), key);
    }
}

void ArchivedFilter::initWithCoder(kx::KeyedUnarchiver& coder) {
    const QString name = coder.decodeObjectOfType(kFilterNameKey, kx::Value::Type::String).toString();
    if (coder.failed())
        return;
    m_filter = neutralFilterWithName(name);
    if (!m_filter) {
        coder.failWithError(QStringLiteral("unknown image filter \"%1\"").arg(name));
        return;
    }
    for (const QString& key : m_filter->inputKeys()) {
        if (!coder.containsValue(key))
            continue;
        const kx::Value current = m_filter->inputValues().at(key);
        if (current.type() != kx::Value::Type::Real && current.type() != kx::Value::Type::Integer)
            continue;
        const float value = coder.decodeFloat(key);
        if (coder.failed())
            return;
        m_filter->setInputValue(key, kx::Value(value));
    }
}

// --- KXPhotoFilter ---

void KXPhotoFilter::registerArchiveClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        kx::ClassRegistry& registry = kx::ClassRegistry::shared();
        registry.registerClass<ArchivedFilter>(QStringLiteral("CIFilter"));
        registry.registerClass<KXPhotoFilter>(QStringLiteral("KXPhotoFilter"));
    });
}

KXPhotoFilter::KXPhotoFilter()
    : m_exposureFilter(ArchivedFilter::neutralFilterWithName(kExposureName)),
      m_hueFilter(ArchivedFilter::neutralFilterWithName(kHueName)),
      m_colorControls(ArchivedFilter::neutralFilterWithName(kColorControlsName)) {
    (void)kRegisteredAtStart;
    registerArchiveClasses();
}

kx::FilterPtr KXPhotoFilter::exposureFilter() const {
    std::lock_guard lock(m_mutex);
    return m_exposureFilter;
}

void KXPhotoFilter::setExposureFilter(kx::FilterPtr filter) {
    std::lock_guard lock(m_mutex);
    m_exposureFilter = std::move(filter);
}

kx::FilterPtr KXPhotoFilter::hueFilter() const {
    std::lock_guard lock(m_mutex);
    return m_hueFilter;
}

void KXPhotoFilter::setHueFilter(kx::FilterPtr filter) {
    std::lock_guard lock(m_mutex);
    m_hueFilter = std::move(filter);
}

kx::FilterPtr KXPhotoFilter::colorControls() const {
    std::lock_guard lock(m_mutex);
    return m_colorControls;
}

void KXPhotoFilter::setColorControls(kx::FilterPtr filter) {
    std::lock_guard lock(m_mutex);
    m_colorControls = std::move(filter);
}

float KXPhotoFilter::valueOf(const kx::FilterPtr& filter, const QString& key) const {
    if (!filter)
        return 0;
    const auto& inputs = filter->inputValues();
    const auto it = inputs.find(key);
    return it == inputs.end() ? 0.0f : singlePrecision(it->second.toDouble());
}

void KXPhotoFilter::setValueOf(const kx::FilterPtr& filter, const QString& key, float value) {
    if (filter)
        filter->setInputValue(key, kx::Value(value));
}

void KXPhotoFilter::setExposure(float value) { setValueOf(exposureFilter(), kEV, value); }
float KXPhotoFilter::exposureValue() const { return valueOf(exposureFilter(), kEV); }
void KXPhotoFilter::setSaturation(float value) { setValueOf(colorControls(), kSaturation, value); }
float KXPhotoFilter::saturationValue() const { return valueOf(colorControls(), kSaturation); }
void KXPhotoFilter::setBrightness(float value) { setValueOf(colorControls(), kBrightness, value); }
float KXPhotoFilter::brightnessValue() const { return valueOf(colorControls(), kBrightness); }
void KXPhotoFilter::setContrast(float value) { setValueOf(colorControls(), kContrast, value); }
float KXPhotoFilter::contrastValue() const { return valueOf(colorControls(), kContrast); }
void KXPhotoFilter::setHue(float value) { setValueOf(hueFilter(), kAngle, value); }
float KXPhotoFilter::hueValue() const { return valueOf(hueFilter(), kAngle); }

void KXPhotoFilter::resetFiliter() {
    setExposure(0);
    setSaturation(1);
    setBrightness(0);
    setContrast(1);
    setHue(0);
}

bool KXPhotoFilter::isDefault() const {
    return exposureValue() == 0 && saturationValue() == 1 && brightnessValue() == 0 && contrastValue() == 1 &&
           hueValue() == 0;
}

void KXPhotoFilter::addObserver(kx::KeyObserver* observer) {
    if (!observer)
        return;
    if (const kx::FilterPtr f = exposureFilter())
        f->addObserver(observer, kEV);
    if (const kx::FilterPtr f = colorControls()) {
        f->addObserver(observer, kSaturation);
        f->addObserver(observer, kBrightness);
        f->addObserver(observer, kContrast);
    }
    if (const kx::FilterPtr f = hueFilter())
        f->addObserver(observer, kAngle);
}

void KXPhotoFilter::removeObserver(kx::KeyObserver* observer) {
    if (!observer)
        return;
    if (const kx::FilterPtr f = exposureFilter())
        f->removeObserver(observer, kEV);
    if (const kx::FilterPtr f = colorControls()) {
        f->removeObserver(observer, kSaturation);
        f->removeObserver(observer, kBrightness);
        f->removeObserver(observer, kContrast);
    }
    if (const kx::FilterPtr f = hueFilter())
        f->removeObserver(observer, kAngle);
}

void KXPhotoFilter::encodeWithCoder(kx::KeyedArchiver& coder) const {
    auto encode = [&coder](const kx::FilterPtr& filter, const FilterSlot& slot) {
        coder.encodeObject(filter ? kx::Value(std::make_shared<ArchivedFilter>(filter)) : kx::Value(), slot.key);
    };
    encode(exposureFilter(), kExposureSlot);
    encode(hueFilter(), kHueSlot);
    encode(colorControls(), kColorControlsSlot);
}

void KXPhotoFilter::initWithCoder(kx::KeyedUnarchiver& coder) {
    // The decoded filter of a slot, or null when the slot is missing (the neutral filter stays).
    auto decode = [&coder](const FilterSlot& slot) -> kx::FilterPtr {
        const auto archived = coder.decodeObjectOfClass<ArchivedFilter>(slot.key);
        if (!archived || !archived->filter())
            return nullptr;
        if (archived->filter()->name() != slot.filterName) {
            coder.failWithError(QStringLiteral("\"%1\" holds a %2 filter").arg(slot.key, archived->filter()->name()));
            return nullptr;
        }
        return archived->filter();
    };
    if (kx::FilterPtr f = decode(kExposureSlot))
        setExposureFilter(std::move(f));
    if (kx::FilterPtr f = decode(kHueSlot))
        setHueFilter(std::move(f));
    if (kx::FilterPtr f = decode(kColorControlsSlot))
        setColorControls(std::move(f));
}
