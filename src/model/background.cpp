#include "model/background.h"

#include "graphics/color_utilities.h"
#include "graphics/file_utilities.h"
#include "graphics/image_cache.h"
#include "graphics/image_file_types.h"
#include "graphics/image_operations.h"
#include "platform/foundation/archive_copy.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const QString kColor1Key = QStringLiteral("t_color1");
const QString kColor2Key = QStringLiteral("t_color2");
const QString kFillTypeKey = QStringLiteral("fillType");
const QString kFillAngleKey = QStringLiteral("fillAngle");
const QString kColorTypeKey = QStringLiteral("colorType");
const QString kImageTypeKey = QStringLiteral("imageType");
const QString kImageScaleKey = QStringLiteral("imageScale");
const QString kImagePathKey = QStringLiteral("imagePath");
const QString kCustomImagePathKey = QStringLiteral("customImagePath");
const QString kGradientTypeKey = QStringLiteral("gradientType");

// Archive keys that differ from the property names.
const QString kArchivedColor1Key = QStringLiteral("color1");
const QString kArchivedColor2Key = QStringLiteral("color2");
const QString kArchivedImagePathKey = QStringLiteral("magePath");
const QString kHasGradientKey = QStringLiteral("load adGradient");
const QString kGradientCountKey = QStringLiteral("gradientColorCount");

QString gradientColorKey(int i) { return QStringLiteral("gradientColor%1").arg(i); }
QString locationKey(int i) { return QStringLiteral("locations%1").arg(i); }

std::int64_t normalizedPacked(std::int64_t packed) { return KXPackedRGBA(std::uint32_t(packed)); }

std::int32_t clampedInt32(std::int64_t v) {
    return std::int32_t(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                  std::numeric_limits<std::int32_t>::max()));
}

// A stop location as the gradient can use it: a number from 0 to 1.
double sanitizedLocation(double v) { return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0; }

kx::Value nilForNull(const QString& s) { return s.isNull() ? kx::Value() : kx::Value(s); }

bool isInsideFolder(const QString& path, const QString& folder) {
    const QString root = QDir::cleanPath(folder) + QLatin1Char('/');
    return QDir::cleanPath(path).startsWith(root);
}

}  // namespace

QString defaultCustomBackgroundPath() {
    static QMutex mutex;
    static QString kept;
    QMutexLocker lock(&mutex);
    if (!kept.isEmpty())
        return kept;
    const kx::Bundle& bundle = kx::Bundle::main();
    QString found = bundle.pathForResource(QStringLiteral("bk_custom"), QStringLiteral("png"));
    if (found.isEmpty())
        found = bundle.pathForResource(QStringLiteral("bk_custom"), QStringLiteral("jpg"));
    kept = found;
    return found;
}

KXBackground::KXBackground() {
    m_color1 = createSRGBColor(1, 1, 1, 1);
    m_color2 = createSRGBColor(0, 1, 1, 1);
    m_tColor1 = rgbaFromCGColor(m_color1);
    m_tColor2 = rgbaFromCGColor(m_color2);
    m_gradientColors = {m_color1, m_color2};
    setCustomImagePath(defaultCustomBackgroundPath());
}

KXBackground::~KXBackground() {
    giveUpCacheUse(m_imagePath, m_holdsImageUse);
    giveUpCacheUse(m_customImagePath, m_holdsCustomUse);
}

QStringList KXBackground::announcedKeys() const {
    return {kColor1Key,     kColor2Key,     kFillTypeKey,     kFillAngleKey,       kColorTypeKey,
            kImageTypeKey,  kImageScaleKey, kImagePathKey,    kCustomImagePathKey, kGradientTypeKey};
}

const kx::PropertyTable& KXBackground::propertyTable() const {
    using B = KXBackground;
    static const kx::PropertyTable table = [] {
        kx::PropertyTable t;
        t.add(kColor1Key, &B::t_color1, &B::setT_color1);
        t.add(kColor2Key, &B::t_color2, &B::setT_color2);
        t.add(kFillTypeKey, &B::fillType, &B::setFillType);
        t.add(kFillAngleKey, &B::fillAngle, &B::setFillAngle);
        t.add(kColorTypeKey, &B::colorType, &B::setColorType);
        t.add(kImageTypeKey, &B::imageType, &B::setImageType);
        t.add(kImageScaleKey, &B::imageScale, &B::setImageScale);
        t.add<B>(
            kImagePathKey, [](const B& b) { return nilForNull(b.imagePath()); },
            [](B& b, const kx::Value& v) { b.setImagePath(v.toString()); });
        t.add<B>(
            kCustomImagePathKey, [](const B& b) { return nilForNull(b.customImagePath()); },
            [](B& b, const kx::Value& v) { b.setCustomImagePath(v.toString()); });
        t.add(kGradientTypeKey, &B::gradientType, &B::setGradientType);
        return t;
    }();
    return table;
}

// ---- colours ----

void KXBackground::setColor1(const kx::Color& color) { setT_color1(rgbaFromCGColor(color)); }
void KXBackground::setColor2(const kx::Color& color) { setT_color2(rgbaFromCGColor(color)); }

void KXBackground::setT_color1(std::int64_t packed) {
    const std::int64_t value = normalizedPacked(packed);
    m_color1 = cgColorFromRGBA(KXPackedRGBA(value));
    setProperty(kColor1Key, m_tColor1, value);
}

void KXBackground::setT_color2(std::int64_t packed) {
    const std::int64_t value = normalizedPacked(packed);
    m_color2 = cgColorFromRGBA(KXPackedRGBA(value));
    setProperty(kColor2Key, m_tColor2, value);
}

void KXBackground::swapColors() {
    const std::int64_t first = m_tColor1;
    setT_color1(m_tColor2);
    setT_color2(first);
}

// ---- kinds ----

void KXBackground::setFillType(std::int32_t type) {
    setProperty(kFillTypeKey, m_fillType, type);
    // The tile texture exists only for image fills in tile mode; keep it in step with the kind.
    refreshBitmap();
}

void KXBackground::setColorType(std::int32_t type) { setProperty(kColorTypeKey, m_colorType, type); }

void KXBackground::setImageType(std::int32_t type) {
    setProperty(kImageTypeKey, m_imageType, type);
    refreshBitmap();
}

void KXBackground::setGradientType(std::int32_t type) { setProperty(kGradientTypeKey, m_gradientType, type); }

void KXBackground::setFillAngle(double angle) { setProperty(kFillAngleKey, m_fillAngle, angle); }

// ---- images ----

void KXBackground::setStringProperty(const QString& key, QString& field, const QString& value) {
    const kx::Value oldValue = nilForNull(field);
    field = value;
    didChangeValue(key, oldValue, nilForNull(field));
}

void KXBackground::takeCacheUse(const QString& path, bool& holdsUse) {
    holdsUse = false;
    if (path.isEmpty())
        return;
    if (KXCacheManager::cacheManager().retainedCacheWithPath(path))
        holdsUse = true;
}

void KXBackground::giveUpCacheUse(const QString& path, bool& holdsUse) {
    // Only a use that was taken is given up: another holder's use of the same path stays.
    if (holdsUse && !path.isEmpty())
        KXCacheManager::cacheManager().removeCacheWithPath(path);
    holdsUse = false;
}

void KXBackground::setImagePath(const QString& path) {
    if (path == m_imagePath && path.isNull() == m_imagePath.isNull())
        return;
    giveUpCacheUse(m_imagePath, m_holdsImageUse);
    setStringProperty(kImagePathKey, m_imagePath, path);
    takeCacheUse(m_imagePath, m_holdsImageUse);
    refreshBitmap();
}

void KXBackground::setCustomImagePath(const QString& path) {
    giveUpCacheUse(m_customImagePath, m_holdsCustomUse);
    setStringProperty(kCustomImagePathKey, m_customImagePath, path);
    takeCacheUse(m_customImagePath, m_holdsCustomUse);
    refreshBitmap();
}

void KXBackground::setImageScale(double scale) {
    setProperty(kImageScaleKey, m_imageScale, scale);
    refreshBitmap();
}

bool KXBackground::refreshBitmap() {
    m_renderTexture = kx::Image();
    if (m_fillType == KXFillTypeColor || m_imageType != KXImageTypeTile)
        return false;
    const QString& path = m_fillType == KXFillTypeImage ? m_imagePath : m_customImagePath;
    if (path.isEmpty())
        return false;
    const kx::Image thumb = KXCacheManager::cacheManager().imageThumbWithPath(path);
    // A scale that is not a positive number gives no tile to pre-scale; drawing then uses the cache's image.
    if (thumb.isNull() || !(m_imageScale > 0) || !std::isfinite(m_imageScale))
        return false;
    m_renderTexture = scaleImageToSize(thumb, thumb.width() * m_imageScale, thumb.height() * m_imageScale);
    return !m_renderTexture.isNull();
}

// ---- gradients ----

kx::Gradient KXBackground::gradient() const {
    return kx::Gradient({m_color1, m_color2}, {0.0, 1.0});
}

kx::Gradient KXBackground::advancedGradient() const {
    // Stops are stored in the order they were made, and a dragged stop may pass another; drawing wants them
    // by location (stops at one location keep their stored order).
    const size_t count = std::min<size_t>(m_gradientColors.size(), kMaxGradientStops);
    std::vector<size_t> order(count);
    for (size_t i = 0; i < count; ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [this](size_t a, size_t b) { return m_gradientLocations[a] < m_gradientLocations[b]; });
    std::vector<kx::Color> colors;
    std::vector<double> locations;
    for (const size_t i : order) {
        colors.push_back(m_gradientColors[i]);
        locations.push_back(m_gradientLocations[i]);
    }
    return kx::Gradient(std::move(colors), std::move(locations));
}

void KXBackground::setAdGradientColorArray(const std::vector<kx::Color>& colors) {
    if (colors.empty())
        return;
    const size_t count = std::min<size_t>(colors.size(), kMaxGradientStops);
    m_gradientColors.assign(colors.begin(), colors.begin() + ptrdiff_t(count));
}

void KXBackground::setLocationsArray(const std::array<double, kMaxGradientStops>& locations) {
    m_gradientLocations = locations;
}

void KXBackground::clearGradientColorArray() {
    while (!m_gradientColors.empty())
        m_gradientColors.pop_back();
}

void KXBackground::setBackground(const KXBackground* other) {
    if (!other)
        return;
    setFillAngle(other->fillAngle());
    setFillType(other->fillType());
    setColorType(other->colorType());
    setImageType(other->imageType());
    setImageScale(other->imageScale());
    setColor1(other->color1());
    setColor2(other->color2());
    setImagePath(other->imagePath());
    setCustomImagePath(other->customImagePath());
    setGradientType(other->gradientType());
    clearGradientColorArray();
    m_gradientColors = other->m_gradientColors;
    m_gradientLocations = other->m_gradientLocations;
}

std::shared_ptr<KXBackground> KXBackground::copy() const {
    return kx::archiveCopy(*this);
}

// ---- archive ----

void KXBackground::encodeWithCoder(kx::KeyedArchiver& coder) const {
    coder.encodeFloat(float(m_fillAngle), kFillAngleKey);
    coder.encodeInteger(m_fillType, kFillTypeKey);
    coder.encodeInteger(m_colorType, kColorTypeKey);
    coder.encodeInteger(m_imageType, kImageTypeKey);
    coder.encodeFloat(float(m_imageScale), kImageScaleKey);
    coder.encodeInt64(m_tColor1, kArchivedColor1Key);
    coder.encodeInt64(m_tColor2, kArchivedColor2Key);
    if (!m_imagePath.isNull())
        coder.encodeObject(kx::Value(m_imagePath), kArchivedImagePathKey);
    if (!m_customImagePath.isNull())
        coder.encodeObject(kx::Value(m_customImagePath), kCustomImagePathKey);
    coder.encodeInteger(m_gradientType, kGradientTypeKey);
    coder.encodeBool(true, kHasGradientKey);
    // Only eight locations exist, so only eight stops are written.
    const int count = int(std::min<size_t>(m_gradientColors.size(), kMaxGradientStops));
    coder.encodeInteger(count, kGradientCountKey);
    for (int i = 0; i < count; ++i) {
        coder.encodeInt64(rgbaFromCGColor(m_gradientColors[size_t(i)]), gradientColorKey(i));
        coder.encodeFloat(float(m_gradientLocations[size_t(i)]), locationKey(i));
    }
}

void KXBackground::initWithCoder(kx::KeyedUnarchiver& coder) {
    // Starts from the defaults of a new fill, the placeholder custom image included.
    const auto readInt32 = [&coder](const QString& key) { return clampedInt32(coder.decodeInteger(key)); };

    // Kinds first, so that the image setters below build the tile texture for the right kind once.
    m_fillType = readInt32(kFillTypeKey);
    m_imageType = readInt32(kImageTypeKey);
    setGradientType(readInt32(kGradientTypeKey));
    setColorType(readInt32(kColorTypeKey));
    setT_color1(coder.decodeInt64(kArchivedColor1Key));
    setT_color2(coder.decodeInt64(kArchivedColor2Key));
    setFillAngle(coder.decodeFloat(kFillAngleKey));
    m_imageScale = coder.decodeFloat(kImageScaleKey);

    if (coder.decodeBool(kHasGradientKey)) {
        clearGradientColorArray();
        // A count beyond the eight locations is read as eight; a negative one as none.
        const std::int64_t stored = coder.decodeInteger(kGradientCountKey);
        const int count = int(std::clamp<std::int64_t>(stored, 0, kMaxGradientStops));
        for (int i = 0; i < count; ++i) {
            const kx::Color color = cgColorFromRGBA(KXPackedRGBA(std::uint32_t(coder.decodeInt64(gradientColorKey(i)))));
            if (!color.isNull())
                m_gradientColors.push_back(color);
            m_gradientLocations[size_t(i)] = sanitizedLocation(coder.decodeFloat(locationKey(i)));
        }
    }

    // The application's placeholder is found again in this application's resources.
    const QString storedCustom = coder.decodeObjectOfType(kCustomImagePathKey, kx::Value::Type::String).toString();
    if (deletingPathExtension(lastPathComponent(storedCustom)) == QLatin1String("bk_custom"))
        setCustomImagePath(defaultCustomBackgroundPath());
    else
        setCustomImagePath(storedCustom);

    // A resource image found nowhere keeps its stored path: it draws as nothing, the project reader can
    // still look it up by name, and a later save does not lose it.
    const QString storedImage = coder.decodeObjectOfType(kArchivedImagePathKey, kx::Value::Type::String).toString();
    const QString resolvedImage = resolveStoredImagePath(storedImage);
    setImagePath(resolvedImage.isEmpty() ? storedImage : resolvedImage);
    refreshBitmap();
}

QString KXBackground::resolveStoredImagePath(const QString& stored) {
    if (stored.isEmpty())
        return {};
    const QStringList parts = stored.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    // An image of a downloaded content pack keeps its place, unless its path climbs out of where it names.
    if (stored.contains(QLatin1String("/Caches/")) && stored.contains(QLatin1String("/Boxes/")) &&
        !parts.contains(QStringLiteral("..")))
        return stored;

    // The part of the path below a resource folder: this application's own (whatever its folder is called),
    // one named "Resources", or one named like ours (another installation of this application).
    const QString resources = kx::Bundle::main().resourcePath();
    const QString ownPrefix = QDir::cleanPath(resources) + QLatin1Char('/');
    QStringList tail;
    if (!resources.isEmpty() && QDir::cleanPath(stored).startsWith(ownPrefix)) {
        tail = QDir::cleanPath(stored).mid(ownPrefix.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    } else {
        qsizetype below = parts.lastIndexOf(QStringLiteral("Resources"));
        if (below < 0 && !resources.isEmpty())
            below = parts.lastIndexOf(QFileInfo(resources).fileName());
        if (below >= 0)
            tail = parts.mid(below + 1);
    }
    // Components that climb or stay put could lead out of the resource folder: such a path is not re-pointed.
    const bool safe = !tail.isEmpty() && !tail.contains(QStringLiteral("..")) && !tail.contains(QStringLiteral("."));
    if (safe && !resources.isEmpty()) {
        const QString base = deletingPathExtension(resources + QLatin1Char('/') + tail.join(QLatin1Char('/')));
        const QString found = firstExistingPathWithExtensions(
            base, {QStringLiteral("jpng"), QStringLiteral("jpg"), QStringLiteral("png")});
        if (!found.isEmpty() && isInsideFolder(found, resources) && isSupportedImageFile(found))
            return found;
    }
    const QString folderName = parts.size() >= 2 ? parts[parts.size() - 2] : QString();
    const QString name = deletingPathExtension(parts.isEmpty() ? QString() : parts.last());
    return findBoxResourceInSubfolder(QStringLiteral("Background"), folderName, name);
}
