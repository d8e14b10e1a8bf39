#include "model/page_size_manager.h"

#include "graphics/app_info.h"
#include "graphics/file_utilities.h"
#include "platform/foundation/bounded_read.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

const QString kCustomSizesFileName = QStringLiteral("sizes");
const QString kLegacyFileName = QStringLiteral("data.xml");

// The custom sizes are a short list; a file far larger than any such list is not one of ours.
constexpr qint64 kMaxCustomSizesFileBytes = 16 * 1024 * 1024;
// The same holds for the older XML form and the number of sizes it may describe.
constexpr qint64 kMaxLegacyFileBytes = 16 * 1024 * 1024;
constexpr int kMaxLegacySizes = 100000;

// <data>/<bundle name>/<file>; null when either part is missing, so nothing is read from or written to a
// folder that is not the application's own.
QString applicationDataFilePath(const QString& fileName) {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString name = bundleName();
    if (base.isEmpty() || !isSafePathComponent(name))
        return {};
    return base + u'/' + name + u'/' + fileName;
}

bool writeSizes(const std::vector<std::shared_ptr<KXSize>>& sizes, const QString& path) {
    if (path.isEmpty())
        return false;
    registerPageSizeClasses();
    kx::ValueArray array;
    array.reserve(sizes.size());
    for (const auto& size : sizes)
        array.push_back(kx::Value(size));
    QDir().mkpath(QFileInfo(path).path());
    return kx::KeyedArchiver::archiveRootObject(kx::Value(std::move(array)), path, nullptr,
                                                kx::CollectionClass::Mutable);
}

// A usable side: a finite, positive number. Anything else would give a page without area or one whose
// scale is not a number.
bool isUsableSide(double side) {
    return std::isfinite(side) && side > 0;
}

// The sizes of the older XML form, or nullopt when the file cannot be read as a whole.
std::optional<std::vector<std::shared_ptr<KXSize>>> readLegacySizes(const QString& path) {
    const std::optional<QByteArray> data = kx::readRegularFile(path, kMaxLegacyFileBytes);
    if (!data)
        return std::nullopt;
    std::vector<std::shared_ptr<KXSize>> sizes;
    QXmlStreamReader xml(*data);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("CustomData"))
            continue;
        if (int(sizes.size()) >= kMaxLegacySizes)
            return std::nullopt;
        const QXmlStreamAttributes attributes = xml.attributes();
        const double width = attributes.value(QLatin1String("width")).toFloat();
        const double height = attributes.value(QLatin1String("height")).toFloat();
        if (!isUsableSide(width) || !isUsableSide(height))
            continue;
        auto size = KXSize::sizeWithWith(width, height, attributes.value(QLatin1String("unit")).toInt(),
                                         attributes.value(QLatin1String("DPI")).toInt());
        size->setDesc(attributes.value(QLatin1String("name")).toString());
        sizes.push_back(std::move(size));
    }
    if (xml.hasError())
        return std::nullopt;
    return sizes;
}

QString localized(const char* key) {
    return kx::Bundle::main().localizedString(QString::fromUtf8(key));
}

// Replaces each "%@" of the format, in order, with the next argument.
QString formatDescription(const QString& format, const QStringList& arguments) {
    QString result;
    int argument = 0;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format[i] == u'%' && i + 1 < format.size() && format[i + 1] == u'@' && argument < arguments.size()) {
            result += arguments[argument++];
            ++i;
        } else {
            result += format[i];
        }
    }
    return result;
}

}  // namespace

KXPageSizeManager& KXPageSizeManager::pageSizeManager() {
    static KXPageSizeManager manager;
    return manager;
}

KXPageSizeManager::KXPageSizeManager(const QString& customSizesPath)
    : m_customSizesPath(customSizesPath.isNull() ? customSizesFilePath() : customSizesPath) {
    if (m_customSizesPath.isEmpty())
        return;
    const std::optional<QByteArray> data = kx::readRegularFile(m_customSizesPath, kMaxCustomSizesFileBytes);
    if (!data) {
        // No file is no list; a file that is there but cannot be read is a damaged one.
        m_customSizesFileDamaged = QFileInfo::exists(m_customSizesPath);
        return;
    }
    registerPageSizeClasses();
    const std::optional<kx::Value> root = kx::KeyedUnarchiver::unarchiveObjectWithData(*data);
    if (!root || root->type() != kx::Value::Type::Array) {
        m_customSizesFileDamaged = true;
        return;
    }
    for (const kx::Value& entry : root->toArray()) {
        // Only sizes belong in the list; anything else in a damaged file is passed over.
        if (auto size = entry.objectAs<KXSize>())
            m_customSizes.push_back(std::move(size));
    }
}

QString KXPageSizeManager::customSizesFilePath() {
    return applicationDataFilePath(kCustomSizesFileName);
}

QString KXPageSizeManager::legacyCustomSizesFilePath() {
    return applicationDataFilePath(kLegacyFileName);
}

void KXPageSizeManager::addPredefineSizeWithWidth(double width, double height, std::int64_t dpi, std::int64_t unit,
                                                  bool /*landscape*/, const QString& description) {
    auto size = KXSize::sizeWithWith(width, height, unit, dpi);
    size->setDesc(description);
    m_predefines.push_back(std::move(size));
}

bool KXPageSizeManager::removeSizeByDescription(const QString& description) {
    if (description.isNull())
        return false;
    for (auto* list : {&m_predefines, &m_customSizes}) {
        for (auto it = list->rbegin(); it != list->rend(); ++it) {
            if ((*it)->description() == description) {
                list->erase(std::next(it).base());
                return true;
            }
        }
    }
    return false;
}

std::int64_t KXPageSizeManager::indexOfsize(const KXSize* size, bool ignoreOrientation) const {
    return indexOfsize(size, ignoreOrientation, true);
}

std::int64_t KXPageSizeManager::indexOfsize(const KXSize* size, bool ignoreOrientation, bool sameName) const {
    if (!size)
        return KXSizeNotFound;
    // Within one list: the first entry matching in size and name, else the last one matching in size
    // (with sameName); the first one matching in size (without).
    const auto search = [&](const std::vector<std::shared_ptr<KXSize>>& list) -> std::int64_t {
        std::int64_t remembered = KXSizeNotFound;
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (!size->isEqualToPagesize(list[i].get(), ignoreOrientation))
                continue;
            if (!sameName || size->desc() == list[i]->desc())
                return std::int64_t(i);
            remembered = std::int64_t(i);
        }
        return remembered;
    };
    const std::int64_t predefined = search(m_predefines);
    if (predefined != KXSizeNotFound)
        return predefined;
    const std::int64_t custom = search(m_customSizes);
    return custom == KXSizeNotFound ? KXSizeNotFound : predefineSizeCount() + 1 + custom;
}

std::shared_ptr<KXSize> KXPageSizeManager::sizeAtIndex(std::int64_t index) const {
    const std::int64_t predefined = predefineSizeCount();
    if (index < 0 || index == predefined)
        return nullptr;
    if (index < predefined)
        return m_predefines[std::size_t(index)]->copy();
    const std::int64_t custom = index - predefined - 1;
    if (custom >= customSizeCount())
        return nullptr;
    return m_customSizes[std::size_t(custom)]->copy();
}

std::shared_ptr<KXSize> KXPageSizeManager::customSizeAtIndex(std::int64_t index) const {
    if (index < 0 || index >= customSizeCount())
        return nullptr;
    return m_customSizes[std::size_t(index)];
}

void KXPageSizeManager::addCustomSize(std::shared_ptr<KXSize> size) {
    if (size)
        m_customSizes.push_back(std::move(size));
}

void KXPageSizeManager::removeCustomSize(const KXSize* size) {
    std::erase_if(m_customSizes, [size](const std::shared_ptr<KXSize>& entry) { return entry.get() == size; });
}

std::int64_t KXPageSizeManager::indexOfCustomSize(const KXSize* size) const {
    const auto found = std::find_if(m_customSizes.begin(), m_customSizes.end(),
                                    [size](const std::shared_ptr<KXSize>& entry) { return entry.get() == size; });
    return found == m_customSizes.end() ? KXSizeNotFound : std::int64_t(found - m_customSizes.begin());
}

bool KXPageSizeManager::saveCustomSizes() const {
    return writeSizes(m_customSizes, m_customSizesPath);
}

QStringList KXPageSizeManager::predefineSizeDescriptions() const {
    QStringList descriptions;
    for (const auto& size : m_predefines)
        descriptions << size->description();
    return descriptions;
}

QStringList KXPageSizeManager::customSizeDescriptions() const {
    QStringList descriptions;
    for (const auto& size : m_customSizes)
        descriptions << size->description();
    return descriptions;
}

bool convertLegacyCustomSizes(const QString& legacyPath, const QString& customSizesPath) {
    const QString from = legacyPath.isNull() ? KXPageSizeManager::legacyCustomSizesFilePath() : legacyPath;
    const QString to = customSizesPath.isNull() ? KXPageSizeManager::customSizesFilePath() : customSizesPath;
    if (from.isEmpty() || to.isEmpty())
        return false;
    const auto sizes = readLegacySizes(from);
    if (!sizes)
        return false;
    // The old list goes only once the new one is safely in place.
    if (!writeSizes(*sizes, to))
        return false;
    QFile::remove(from);
    return true;
}

void registerPredefinedPageSizes(KXPageSizeManager& manager) {
    const QString pixel = localized("pixel");
    const QString mm = localized("mm");
    struct Entry {
        const char* format;
        QStringList arguments;
        double width, height;
        KXSizeUnit unit;
        bool landscape;
    };
    const Entry entries[] = {
        {"Facebook & iPhone: 640 X 960 %@", {pixel}, 640, 960, KXSizeUnitPixel, false},
        {"Facebook Cover: 851 X 315 %@", {pixel}, 851, 315, KXSizeUnitPixel, true},
        {"Facebook Post: 940 X 788 %@", {pixel}, 940, 788, KXSizeUnitPixel, true},
        {"Instagram Post: 640 X 640 %@", {pixel}, 640, 640, KXSizeUnitPixel, true},
        {"Pinterest Graphic: 735 X 1102 %@", {pixel}, 735, 1102, KXSizeUnitPixel, true},
        {"Youtube Cover: 2560 X 1440 %@", {pixel}, 2560, 1440, KXSizeUnitPixel, true},
        {"iPhone5: 1136 X 640 %@", {pixel}, 1136, 640, KXSizeUnitPixel, true},
        {"iPad: 2048 X 1536 %@", {pixel}, 2048, 1536, KXSizeUnitPixel, true},
        {"Android: 480 X 800 %@", {pixel}, 480, 800, KXSizeUnitPixel, false},
        {"%@: 800 X 600 %@", {localized("Website"), pixel}, 800, 600, KXSizeUnitPixel, true},
        {"Photo: 8\" X 6\"", {}, 8, 6, KXSizeUnitInch, true},
        {"%@: 8.5\" X 11\"", {localized("Letter")}, 8.5, 11, KXSizeUnitInch, false},
        {"%@: 8.5\" X 14\"", {localized("Legal")}, 8.5, 14, KXSizeUnitInch, false},
        {"A3: 297 X 420 %@", {mm}, 297, 420, KXSizeUnitMillimeter, false},
        {"A4: 210 X 297 %@", {mm}, 210, 297, KXSizeUnitMillimeter, false},
        {"A5: 148 X 210 %@", {mm}, 148, 210, KXSizeUnitMillimeter, false},
        {"A6: 105 x 148 %@", {mm}, 105, 148, KXSizeUnitMillimeter, false},
        {"%@ 12\" X 12\"", {localized("Scrapbook")}, 12, 12, KXSizeUnitInch, true},
        {"%@ 216 X 279 %@", {localized("Greeting Card"), mm}, 216, 279, KXSizeUnitMillimeter, false},
        {"%@: 100 X 150 %@", {localized("Postcard"), mm}, 100, 150, KXSizeUnitMillimeter, false},
        {"%@ 3.87\" X 6.50\"", {localized("Envelope")}, 3.87, 6.5, KXSizeUnitInch, false},
        {"%@: 279.4 x 431.8 %@", {localized("Tabloid"), mm}, 279.4, 431.8, KXSizeUnitMillimeter, false},
        {"CD: 120 x 120 %@", {mm}, 120, 120, KXSizeUnitMillimeter, true},
    };
    constexpr std::int64_t kPredefinedDpi = 300;
    for (const Entry& entry : entries) {
        manager.addPredefineSizeWithWidth(entry.width, entry.height, kPredefinedDpi, entry.unit, entry.landscape,
                                          formatDescription(QString::fromUtf8(entry.format), entry.arguments));
    }
}

void initPageSizeManager() {
    const QString legacy = KXPageSizeManager::legacyCustomSizesFilePath();
    if (!legacy.isEmpty() && QFileInfo::exists(legacy))
        convertLegacyCustomSizes(legacy, KXPageSizeManager::customSizesFilePath());
    registerPredefinedPageSizes(KXPageSizeManager::pageSizeManager());
}
