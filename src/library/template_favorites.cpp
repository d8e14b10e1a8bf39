#include "library/template_favorites.h"

#include "platform/foundation/user_defaults.h"

namespace kx::templates {

namespace {

const QString kFavorite = QStringLiteral("Favorite");

void storeFavorites(const QStringList& folders) {
    ValueArray array;
    for (const QString& folder : folders)
        array.emplace_back(folder);
    UserDefaults::standard().setValue(kFavorite, Value(std::move(array)));
    UserDefaults::standard().synchronize();
}

}  // namespace

QStringList favoriteFolders() {
    QStringList folders;
    const Value stored = UserDefaults::standard().value(kFavorite);
    for (const Value& value : stored.toArray())
        if (value.type() == Value::Type::String)
            folders << value.toString();
    return folders;
}

bool isFavorite(const QString& folder) {
    return !folder.isEmpty() && favoriteFolders().contains(folder);
}

void addFavorite(const QString& folder) {
    if (folder.isEmpty())
        return;
    QStringList folders = favoriteFolders();
    folders << folder;
    storeFavorites(folders);
}

bool removeFavorite(const QString& folder, Qt::CaseSensitivity sensitivity) {
    QStringList folders = favoriteFolders();
    const qsizetype removed =
        folders.removeIf([&](const QString& entry) { return entry.compare(folder, sensitivity) == 0; });
    if (removed == 0)
        return false;
    storeFavorites(folders);
    return true;
}

bool renameFavorite(const QString& oldFolder, const QString& newFolder) {
    QStringList folders = favoriteFolders();
    if (!folders.contains(oldFolder))
        return false;
    folders.removeAll(oldFolder);
    folders << newFolder;
    storeFavorites(folders);
    return true;
}

}  // namespace kx::templates
