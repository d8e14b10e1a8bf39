// The catalogue of photo effects. Each effect is a property-list file with the extension "xml" (any case)
// at any depth of the "Image Effect" folder of the application's resources: a dictionary with
//   "imageName"   string: the effect's name (its identifier, and its title through "Localizable")
//   "colorMarix"  array of at least 20 numbers: the colour matrix, four rows of five (see
//                 applyColorMatrixAndFilter)
//   "effectName"  optional string: an image filter applied after the matrix, with its parameters as
//                 numbers under the keys that effectName() reads.
// The catalogue reads the files once, in the order of their paths relative to the folder, and makes one
// 100-pixel preview per effect from the resource "Original.png" for the photo inspector's browser.
#pragma once

#include "platform/foundation/value.h"
#include "platform/gfx/filters.h"
#include "platform/gfx/image.h"

#include <QString>

#include <array>
#include <memory>
#include <mutex>
#include <vector>

namespace kx {
class Bundle;
}

// One effect: its name, its colour matrix and its optional filter.
class KXEffectData {
public:
    std::array<float, 20> colorMarix() const;
    // Stores the single-precision values of the first 20 elements (missing ones read as 0).
    void setMarix(const kx::ValueArray& values);

    kx::FilterPtr filter() const;
    void setFilter(kx::FilterPtr filter);

    QString effectName() const;
    void setEffectName(const QString& name);

private:
    mutable std::mutex m_mutex;
    std::array<float, 20> m_matrix{};
    kx::FilterPtr m_filter;
    QString m_effectName;
};

using KXEffectDataPtr = std::shared_ptr<KXEffectData>;

// One item of the image browser: a preview image and the effect's name, which is also the item's identifier;
// its title and subtitle are the name's localised text.
class KXImageEffectItem {
public:
    explicit KXImageEffectItem(const kx::Bundle* bundle = nullptr) : m_bundle(bundle) {}

    kx::Image image() const { return m_image; }
    void setImage(const kx::Image& image) { m_image = image; }
    QString effectName() const { return m_effectName; }
    void setEffectName(const QString& name) { m_effectName = name; }

    kx::Image imageRepresentation() const { return m_image; }
    QString imageUID() const { return m_effectName; }
    QString imageTitle() const;
    QString imageSubtitle() const { return imageTitle(); }

private:
    const kx::Bundle* m_bundle;
    kx::Image m_image;
    QString m_effectName;
};

using KXImageEffectItemPtr = std::shared_ptr<KXImageEffectItem>;

class KXImageEffectManager {
public:
    // The shared catalogue of the application's resources, filled on first call and kept for the process.
    static KXImageEffectManager& imageEffectManager();

    // A catalogue of the effect files under `resourcesFolder`, filled at once.
    explicit KXImageEffectManager(const QString& resourcesFolder);
    ~KXImageEffectManager();
    KXImageEffectManager(const KXImageEffectManager&) = delete;
    KXImageEffectManager& operator=(const KXImageEffectManager&) = delete;

    // Empties and refills the effects and the browser items from the effect files. A file that is not a
    // dictionary, or whose "colorMarix" is missing, shorter than 20 or holds something other than finite
    // numbers, is skipped with a warning.
    void updateEffectDatas();

    // The effects in file order; the browser items: "Original" first, then one per effect.
    std::vector<KXEffectDataPtr> effectDatas() const;
    std::vector<KXImageEffectItemPtr> images() const;

    // Browser items, "Original" included.
    int effectCount() const;
    // Null for a negative index or one at or beyond effectCount().
    KXImageEffectItemPtr effectItemAtIndex(int index) const;
    // The first effect whose name equals `name` ignoring letter case; null when none does.
    KXEffectDataPtr effectDataWithName(const QString& name) const;
    // The index of the first item from 1 on whose name equals `name` exactly; 0 ("Original") otherwise.
    int indexOfEffectWithName(const QString& name) const;

    // The filter an effect file asks for under `filterName`, started from its defaults and given the file's
    // parameters (missing ones read as 0); null for a name that is not one of these:
    //   "CIBloom"           "Intensity" -> inputIntensity, "Radius" -> inputRadius
    //   "CIExposureAdjust"  "EV" -> inputEV
    //   "CIColorControls"   "Saturation", "Brightness", "Contrast" -> inputSaturation, ...Brightness, ...Contrast
    //   "CIGammaAdjust"     "Power" -> inputPower
    //   "CISepiaTone"       "Intensity" -> inputIntensity
    //   "CIColorPosterize"  "Levels" -> inputLevels
    static kx::FilterPtr effectName(const QString& filterName, const kx::ValueDictionary& data);
    // The effect that an effect file's bytes describe; null, with the reason, for bytes that the catalogue
    // skips.
    static KXEffectDataPtr effectDataWithData(const QByteArray& bytes, QString* reason = nullptr);

private:
    std::unique_ptr<kx::Bundle> m_bundle;
    mutable std::mutex m_mutex;
    std::vector<KXEffectDataPtr> m_effectDatas;
    std::vector<KXImageEffectItemPtr> m_images;
};

// The image through the effect's colour matrix and filter (when an effect is given), then through f1, f2 and
// f3 in that order (each skipped when null). The result covers the final image's extent; the filters are not
// changed. Null for a null image.
kx::Image applyEffectToImage(const kx::Image& image, const KXEffectData* effect, const kx::FilterPtr& f1 = nullptr,
                             const kx::FilterPtr& f2 = nullptr, const kx::FilterPtr& f3 = nullptr);
