// Feeds arbitrary bytes to the content store's catalogue reading: the bytes are read as a product list and
// every product becomes a catalogue entry. It must never crash or hang, and no name it derives for a cache
// file or folder may leave its folder.
#include "graphics/file_utilities.h"
#include "library/store_catalogue.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/user_defaults.h"

#include <QCoreApplication>
#include <QDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void checkName(const QString& name) {
    if (!name.isEmpty() && !isPlainFileName(name))
        std::abort();
}

kx::UserDefaults& fuzzDefaults() {
    static kx::UserDefaults defaults(QDir::tempPath() + QStringLiteral("/kx-fuzz-store-catalogue.conf"));
    return defaults;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto list = kx::readPropertyList(bytes);
    if (!list)
        return 0;
    const kx::ValueDictionary& dictionary = list->toDictionary();
    const auto news = dictionary.find(QStringLiteral("IAPNewsIdentifier"));
    if (news != dictionary.end()) {
        const QString key = KXStoreSettingsKey(news->second.toString());
        if (!key.isEmpty() && (!key.startsWith(KXStoreRemoteKeysGroup + u'/') || key.count(u'/') != 1))
            std::abort();
    }
    const auto products = dictionary.find(QStringLiteral("Products"));
    if (products == dictionary.end())
        return 0;
    for (const kx::Value& product : products->second.toArray()) {
        const kx::ValueDictionary& fields = product.toDictionary();
        // No data folder: the entry derives its names but touches no file.
        KXProductResourceEntity* entry = KXProductResourceEntity::fromDictionary(fields, QString(), &fuzzDefaults(), nullptr);
        checkName(KXStoreFileNameForURL(entry->logoURL()));
        checkName(KXStoreFileNameForURL(entry->previewURL()));
        checkName(KXStoreParentFolderNameForURL(entry->logoURL()));
        if (!entry->cacheFolder().isEmpty())
            std::abort();
        delete entry;
    }
    return 0;
}
