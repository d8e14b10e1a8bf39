// A photo's own tonal adjustments (exposure, saturation, brightness, contrast and hue), held as three image
// filters whose inputs are the adjustments themselves, so that rendering uses the filters directly and the
// values archive with them. The owner observes the five inputs to redraw on every change.
#pragma once

#include "platform/foundation/coding.h"
#include "platform/foundation/observable.h"
#include "platform/gfx/filters.h"

#include <QString>

#include <memory>
#include <mutex>

// How an image filter is stored in keyed archives: class "CIFilter", the filter's name under "CIFilterName"
// and each numeric input under its own key as a 4-byte real (the image input is never stored). Reading
// starts from the filter's neutral values (its defaults, except exposure, whose neutral EV is 0), so a
// missing input stays neutral; an unknown filter name fails the archive.
class ArchivedFilter : public kx::Object, public kx::Coding {
public:
    ArchivedFilter() = default;
    explicit ArchivedFilter(kx::FilterPtr filter) : m_filter(std::move(filter)) {}

    QString className() const override { return QStringLiteral("CIFilter"); }
    const kx::FilterPtr& filter() const { return m_filter; }

    void encodeWithCoder(kx::KeyedArchiver& coder) const override;
    void initWithCoder(kx::KeyedUnarchiver& coder) override;

    // A new filter of that name with its neutral values; null for an unknown name.
    static kx::FilterPtr neutralFilterWithName(const QString& name);

private:
    kx::FilterPtr m_filter;
};

class KXPhotoFilter : public kx::Object, public kx::Coding {
public:
    // Three filters with neutral values: exposure 0, saturation 1, brightness 0, contrast 1, hue 0.
    KXPhotoFilter();

    QString className() const override { return QStringLiteral("KXPhotoFilter"); }

    // Makes archives able to hold photo filters ("KXPhotoFilter" and "CIFilter" in the shared class
    // registry). Done by the first KXPhotoFilter made; call it before reading an archive in a process that
    // has not made one yet. Safe to call any number of times from any thread.
    static void registerArchiveClasses();

    // The filters. Replacing one does not move observers: the owner registers again (addObserver) after it
    // replaces filters. A null filter reads 0 for its values and ignores writes.
    kx::FilterPtr exposureFilter() const;
    void setExposureFilter(kx::FilterPtr filter);
    kx::FilterPtr hueFilter() const;
    void setHueFilter(kx::FilterPtr filter);
    kx::FilterPtr colorControls() const;
    void setColorControls(kx::FilterPtr filter);

    // The adjustments, stored in the filters as single-precision numbers. Every write tells the input's
    // observers, even when the value does not change.
    void setExposure(float value);
    float exposureValue() const;
    void setSaturation(float value);
    float saturationValue() const;
    void setBrightness(float value);
    float brightnessValue() const;
    void setContrast(float value);
    float contrastValue() const;
    void setHue(float value);
    float hueValue() const;

    // Sets all five values back to neutral.
    void resetFiliter();
    // True when all five values are exactly neutral.
    bool isDefault() const;

    // Registers the observer for "inputEV" on the exposure filter, "inputSaturation", "inputBrightness" and
    // "inputContrast" on the colour controls and "inputAngle" on the hue filter; removeObserver undoes them.
    void addObserver(kx::KeyObserver* observer);
    void removeObserver(kx::KeyObserver* observer);

    // "exposureFilter", "hueFilter", "colorControls": each the archived filter. Decoding starts from a
    // neutral object; a filter missing from the archive stays neutral, one of the wrong kind fails it.
    void encodeWithCoder(kx::KeyedArchiver& coder) const override;
    void initWithCoder(kx::KeyedUnarchiver& coder) override;

private:
    float valueOf(const kx::FilterPtr& filter, const QString& key) const;
    void setValueOf(const kx::FilterPtr& filter, const QString& key, float value);

    mutable std::mutex m_mutex;  // guards the three pointers, which renders on other threads read
    kx::FilterPtr m_exposureFilter;
    kx::FilterPtr m_hueFilter;
    kx::FilterPtr m_colorControls;
};
