#include "graphics/image_effect_manager.h"

#include "graphics/file_utilities.h"
#include "graphics/image_loading.h"
#include "graphics/image_operations.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/property_list.h"
#include "graphics/single_precision.h"

#include <QDir>
#include <QFile>
#include <QtDebug>

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>

namespace {

const QString kEffectFolder = QStringLiteral("Image Effect");
const QString kPreviewSource = QStringLiteral("Original.png");
constexpr int kPreviewPixelSize = 100;
// Effect files are a few hundred bytes; anything far larger is not one.
constexpr qint64 kMaximumEffectFileBytes = 1024 * 1024;

// The file's bytes, or nothing (with the reason) when it cannot be read or is too large.
std::optional<QByteArray> readEffectFile(const QString& path, QString* reason) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *reason = QStringLiteral("cannot be read");
        return std::nullopt;
    }
    if (file.size() > kMaximumEffectFileBytes) {
        *reason = QStringLiteral("is too large");
        return std::nullopt;
    }
    return file.read(kMaximumEffectFileBytes + 1);
}

// The effect file's dictionary, or nothing (with the reason) when it cannot be one.
std::optional<kx::ValueDictionary> effectDictionary(const QByteArray& data, QString* reason) {
    if (data.size() > kMaximumEffectFileBytes) {
        *reason = QStringLiteral("is too large");
        return std::nullopt;
    }
    QString error;
    const std::optional<kx::Value> plist = kx::readPropertyList(data, &error);
    if (!plist) {
        *reason = QStringLiteral("is not a property list (%1)").arg(error);
        return std::nullopt;
    }
    if (plist->type() != kx::Value::Type::Dictionary) {
        *reason = QStringLiteral("does not hold a dictionary");
        return std::nullopt;
    }
    return plist->toDictionary();
}

// True when the matrix has at least 20 elements and the first 20 are finite numbers.
bool isUsableMatrix(const kx::Value& matrix, QString* reason) {
    if (matrix.type() != kx::Value::Type::Array) {
        *reason = QStringLiteral("has no \"colorMarix\" array");
        return false;
    }
    const kx::ValueArray& values = matrix.toArray();
    if (values.size() < 20) {
        *reason = QStringLiteral("has a \"colorMarix\" of %1 numbers, fewer than 20").arg(values.size());
        return false;
    }
    for (std::size_t i = 0; i < 20; ++i) {
        const kx::Value& v = values[i];
        const bool number = v.type() == kx::Value::Type::Integer || v.type() == kx::Value::Type::Real;
        const double value = v.toDouble();
        if (!number || !std::isfinite(value) || std::abs(value) > double(std::numeric_limits<float>::max())) {
            *reason = QStringLiteral("has a \"colorMarix\" element %1 that is not a finite single-precision number").arg(i);
            return false;
        }
    }
    return true;
}

float parameter(const kx::ValueDictionary& data, const char* key) {
    const auto it = data.find(QLatin1String(key));
    return it == data.end() ? 0.0f : singlePrecision(it->second.toDouble());
}

}  // namespace

// --- KXEffectData ---

std::array<float, 20> KXEffectData::colorMarix() const {
    std::lock_guard lock(m_mutex);
    return m_matrix;
}

void KXEffectData::setMarix(const kx::ValueArray& values) {
    std::array<float, 20> matrix{};
    for (std::size_t i = 0; i < matrix.size() && i < values.size(); ++i)
        matrix[i] = singlePrecision(values[i].toDouble());
    std::lock_guard lock(m_mutex);
    m_matrix = matrix;
}

kx::FilterPtr KXEffectData::filter() const {
    std::lock_guard lock(m_mutex);
    return m_filter;
}

void KXEffectData::setFilter(kx::FilterPtr filter) {
    std::lock_guard lock(m_mutex);
    m_filter = std::move(filter);
}

QString KXEffectData::effectName() const {
    std::lock_guard lock(m_mutex);
    return m_effectName;
}

void KXEffectData::setEffectName(const QString& name) {
    std::lock_guard lock(m_mutex);
    m_effectName = name;
}

// --- KXImageEffectItem ---

QString KXImageEffectItem::imageTitle() const {
    const kx::Bundle& bundle = m_bundle ? *m_bundle : kx::Bundle::main();
    return bundle.localizedString(m_effectName, QStringLiteral("Localizable"), QString());
}

// --- KXImageEffectManager ---

KXImageEffectManager& KXImageEffectManager::imageEffectManager() {
    // Never released: items and effect data handed out stay valid for the whole process.
    static KXImageEffectManager* shared = new KXImageEffectManager(kx::Bundle::main().resourcePath());
    return *shared;
}

KXImageEffectManager::KXImageEffectManager(const QString& resourcesFolder)
    : m_bundle(std::make_unique<kx::Bundle>(resourcesFolder)) {
    updateEffectDatas();
}

KXImageEffectManager::~KXImageEffectManager() = default;

KXEffectDataPtr KXImageEffectManager::effectDataWithData(const QByteArray& bytes, QString* reason) {
    QString ignored;
    QString& why = reason ? *reason : ignored;
    why.clear();
    const std::optional<kx::ValueDictionary> data = effectDictionary(bytes, &why);
    if (!data)
        return nullptr;
    const auto matrix = data->find(QStringLiteral("colorMarix"));
    if (matrix == data->end()) {
        why = QStringLiteral("has no \"colorMarix\"");
        return nullptr;
    }
    if (!isUsableMatrix(matrix->second, &why))
        return nullptr;
    auto effect = std::make_shared<KXEffectData>();
    effect->setEffectName(data->count(QStringLiteral("imageName")) ? data->at(QStringLiteral("imageName")).toString()
                                                                    : QString());
    effect->setMarix(matrix->second.toArray());
    const auto filterName = data->find(QStringLiteral("effectName"));
    if (filterName != data->end())
        effect->setFilter(effectName(filterName->second.toString(), *data));
    return effect;
}

void KXImageEffectManager::updateEffectDatas() {
    const QString resources = m_bundle->resourcePath();
    const QString folder = resources + QLatin1Char('/') + kEffectFolder;

    // Sorted by the path below the folder, so the catalogue's order does not depend on the file system.
    QStringList files = filesInFolder(folder, QStringLiteral("xml"), true);
    const QDir base(folder);
    std::sort(files.begin(), files.end(), [&base](const QString& a, const QString& b) {
        return base.relativeFilePath(a) < base.relativeFilePath(b);
    });

    std::vector<KXEffectDataPtr> effects;
    for (const QString& path : files) {
        QString reason;
        const std::optional<QByteArray> bytes = readEffectFile(path, &reason);
        KXEffectDataPtr effect = bytes ? effectDataWithData(*bytes, &reason) : nullptr;
        if (!effect) {
            qWarning().noquote() << "Skipping effect file" << path << ":" << reason;
            continue;
        }
        effects.push_back(std::move(effect));
    }

    const kx::Image preview = loadImageThumbnail(resources + QLatin1Char('/') + kPreviewSource, kPreviewPixelSize);
    std::vector<KXImageEffectItemPtr> items;
    auto original = std::make_shared<KXImageEffectItem>(m_bundle.get());
    original->setEffectName(m_bundle->localizedString(QStringLiteral("Original"), QStringLiteral("Localizable"),
                                                      QString()));
    original->setImage(preview);
    items.push_back(std::move(original));
    for (const KXEffectDataPtr& effect : effects) {
        auto item = std::make_shared<KXImageEffectItem>(m_bundle.get());
        item->setEffectName(effect->effectName());
        const std::array<float, 20> m = effect->colorMarix();
        item->setImage(applyColorMatrixAndFilter(preview, effect->filter(), std::span<const float, 20>(m)));
        items.push_back(std::move(item));
    }

    std::lock_guard lock(m_mutex);
    m_effectDatas = std::move(effects);
    m_images = std::move(items);
}

std::vector<KXEffectDataPtr> KXImageEffectManager::effectDatas() const {
    std::lock_guard lock(m_mutex);
    return m_effectDatas;
}

std::vector<KXImageEffectItemPtr> KXImageEffectManager::images() const {
    std::lock_guard lock(m_mutex);
    return m_images;
}

int KXImageEffectManager::effectCount() const {
    std::lock_guard lock(m_mutex);
    return int(m_effectDatas.size()) + 1;
}

KXImageEffectItemPtr KXImageEffectManager::effectItemAtIndex(int index) const {
    std::lock_guard lock(m_mutex);
    if (index < 0 || std::size_t(index) >= m_images.size())
        return nullptr;
    return m_images[std::size_t(index)];
}

KXEffectDataPtr KXImageEffectManager::effectDataWithName(const QString& name) const {
    std::lock_guard lock(m_mutex);
    const QString wanted = name.toLower();
    for (const KXEffectDataPtr& effect : m_effectDatas)
        if (effect->effectName().toLower() == wanted)
            return effect;
    return nullptr;
}

int KXImageEffectManager::indexOfEffectWithName(const QString& name) const {
    std::lock_guard lock(m_mutex);
    for (std::size_t i = 1; i < m_images.size(); ++i)
        if (m_images[i]->effectName() == name)
            return int(i);
    return 0;
}

kx::FilterPtr KXImageEffectManager::effectName(const QString& filterName, const kx::ValueDictionary& data) {
    struct Parameter {
        const char* fileKey;
        const char* inputKey;
    };
    struct Recipe {
        const char* filterName;
        std::vector<Parameter> parameters;
    };
    static const std::vector<Recipe> recipes = {
        {"CIBloom", {{"Intensity", "inputIntensity"}, {"Radius", "inputRadius"}}},
        {"CIExposureAdjust", {{"EV", "inputEV"}}},
        {"CIColorControls",
         {{"Saturation", "inputSaturation"}, {"Brightness", "inputBrightness"}, {"Contrast", "inputContrast"}}},
        {"CIGammaAdjust", {{"Power", "inputPower"}}},
        {"CISepiaTone", {{"Intensity", "inputIntensity"}}},
        {"CIColorPosterize", {{"Levels", "inputLevels"}}},
    };
    for (const Recipe& recipe : recipes) {
        if (filterName != QLatin1String(recipe.filterName))
            continue;
        kx::FilterPtr filter = kx::Filter::filterWithName(filterName);
        if (!filter)
            return nullptr;
        filter->setDefaults();
        for (const Parameter& p : recipe.parameters)
            filter->setInputValue(QLatin1String(p.inputKey), kx::Value(parameter(data, p.fileKey)));
        return filter;
    }
    return nullptr;
}

kx::Image applyEffectToImage(const kx::Image& image, const KXEffectData* effect, const kx::FilterPtr& f1,
                             const kx::FilterPtr& f2, const kx::FilterPtr& f3) {
    if (image.isNull())
        return {};
    kx::FilterImage result(image);
    if (effect) {
        const std::array<float, 20> m = effect->colorMarix();
        result = colorMatrixFilter(std::span<const float, 20>(m))->apply(result);
        if (const kx::FilterPtr filter = effect->filter(); filter && !result.isNull())
            result = filter->apply(result);
    }
    for (const kx::FilterPtr* f : {&f1, &f2, &f3})
        if (*f && !result.isNull())
            result = (*f)->apply(result);
    // Always an RGBA bitmap, also when nothing was applied to a grey or alpha-only image.
    if (result.image.isNull() || result.image.format() == kx::Image::Format::RGBA)
        return result.image;
    return kx::Image(result.image.qimage().convertToFormat(QImage::Format_RGBA8888_Premultiplied));
}
