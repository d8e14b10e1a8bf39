// What the chooser lists: its category rows, and the templates (with group headers in "All") of one row.
#pragma once

#include "controls/image_browser_item.h"
#include "library/template_item.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace kx::templates {

inline const QString kAllRow = QStringLiteral("All");
inline const QString kMyTemplatesRow = QStringLiteral("My Templates");
inline const QString kFavoritesRow = QStringLiteral("Favorites");

struct TemplateListing {
    std::vector<KXTemplateItem> items;
    // Only in "All": one per category (also when empty), one per pack, "My Templates" when there are any.
    std::vector<ImageBrowserGroup> groups;
};

// "All", the categories, the installed packs (by folder name), "My Templates", "Favorites".
QStringList templateCategoryList(const QStringList& categories);
// The templates of a row of that list.
TemplateListing listTemplates(const QString& row, const QStringList& categories);
// An item for a template's file list: the first PDF's pages, or the images as pages; named after the
// template folder, on page 1. None for an empty list.
std::optional<KXTemplateItem> makeTemplateItem(const QStringList& files);

}  // namespace kx::templates
