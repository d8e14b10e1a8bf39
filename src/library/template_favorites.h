// The favourite templates: the user-defaults array "Favorite" of template-folder paths, in the order they
// were added. Duplicates are allowed; removing a folder removes every copy of it.
#pragma once

#include <QString>
#include <QStringList>

namespace kx::templates {

QStringList favoriteFolders();
bool isFavorite(const QString& folder);
void addFavorite(const QString& folder);
// Removes every entry equal to the folder (ignoring case when asked); false when there was none.
bool removeFavorite(const QString& folder, Qt::CaseSensitivity sensitivity = Qt::CaseSensitive);
// A renamed template keeps its star: the old entry goes, the new folder is appended. False when the old
// folder was not a favourite.
bool renameFavorite(const QString& oldFolder, const QString& newFolder);

}  // namespace kx::templates
