// The shared catalogue of page sizes: the predefined sizes registered at start-up and the user's custom
// sizes, which it keeps in the file "sizes" of the application's data folder.
//
// One index covers both lists as the page inspector's pop-up shows them: predefined sizes at 0 to P-1,
// a separator slot at P, custom size k at P+1+k.
#pragma once

#include "model/page_size.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

// The answer of a lookup that finds nothing.
inline constexpr std::int64_t KXSizeNotFound = std::numeric_limits<std::int64_t>::max();

class KXPageSizeManager {
public:
    // The shared catalogue, made on first use from the custom sizes file and kept for the process's life.
    static KXPageSizeManager& pageSizeManager();

    // Two empty lists; then the array of the custom sizes file at `customSizesPath` (customSizesFilePath()
    // when null), when it can be read, appended to the custom list.
    explicit KXPageSizeManager(const QString& customSizesPath = QString());
    KXPageSizeManager(const KXPageSizeManager&) = delete;
    KXPageSizeManager& operator=(const KXPageSizeManager&) = delete;

    // <data>/<bundle name>/sizes and <data>/<bundle name>/data.xml; null when there is no data folder or
    // no bundle name that stays one path component.
    static QString customSizesFilePath();
    static QString legacyCustomSizesFilePath();

    // Appends a size of these dimensions, unit and dpi with the description; its orientation comes from
    // width >= height (the landscape argument has no effect).
    void addPredefineSizeWithWidth(double width, double height, std::int64_t dpi, std::int64_t unit,
                                   bool landscape, const QString& description);
    // Removes the last predefined size with that description, else the last such custom size.
    // False for a null string or when neither list holds one.
    bool removeSizeByDescription(const QString& description);

    // The combined index of the catalogue entry that matches the size, or KXSizeNotFound: the first
    // predefined entry matching in size and description, else the last predefined one matching in size,
    // else the same search over the custom list.
    std::int64_t indexOfsize(const KXSize* size, bool ignoreOrientation) const;
    // With sameName the search above; without, the first size match wins (predefined first).
    std::int64_t indexOfsize(const KXSize* size, bool ignoreOrientation, bool sameName) const;

    // A copy of the size at the combined index; null for a negative index, the separator slot and an index
    // past the custom list.
    std::shared_ptr<KXSize> sizeAtIndex(std::int64_t index) const;
    // The custom size itself; null out of range.
    std::shared_ptr<KXSize> customSizeAtIndex(std::int64_t index) const;

    // The custom list; none of these saves.
    void addCustomSize(std::shared_ptr<KXSize> size);
    // Removes every occurrence of that object.
    void removeCustomSize(const KXSize* size);
    std::int64_t indexOfCustomSize(const KXSize* size) const;

    // Writes the custom list as a keyed archive whose root is the array, replacing the file atomically.
    bool saveCustomSizes() const;

    std::int64_t predefineSizeCount() const { return std::int64_t(m_predefines.size()); }
    std::int64_t customSizeCount() const { return std::int64_t(m_customSizes.size()); }
    QStringList predefineSizeDescriptions() const;
    QStringList customSizeDescriptions() const;

    QString customSizesPath() const { return m_customSizesPath; }
    // The custom sizes file exists but could not be read as a list of sizes: the list starts empty and the
    // file stays untouched until the next save replaces it whole.
    bool customSizesFileDamaged() const { return m_customSizesFileDamaged; }

private:
    std::vector<std::shared_ptr<KXSize>> m_predefines;
    std::vector<std::shared_ptr<KXSize>> m_customSizes;
    QString m_customSizesPath;
    bool m_customSizesFileDamaged = false;
};

// Converts an older custom sizes file (an XML file of "CustomData" elements) into the custom sizes file:
// the new file is written atomically first, and the old one is deleted only once that has succeeded.
// False when there is nothing to convert or the conversion failed (the old file then stays). Null paths
// mean the two files of the application's data folder.
bool convertLegacyCustomSizes(const QString& legacyPath = QString(), const QString& customSizesPath = QString());

// Appends the 23 predefined sizes to the catalogue, in their order, with their localized descriptions.
void registerPredefinedPageSizes(KXPageSizeManager& manager);

// Start-up: converts the older custom sizes file when there is one, then registers the predefined sizes
// with the shared catalogue. Runs once before any page size is looked up.
void initPageSizeManager();
