#include "library/template_listing.h"

#include "graphics/file_utilities.h"
#include "library/template_favorites.h"
#include "library/template_folders.h"

#include <QDir>
#include <QFileInfo>

namespace kx::templates {

namespace {

// The pack folder named exactly like the category, if one is installed.
QString packFolderNamed(const QString& name) {
    const QString boxes = boxesFolderPath();
    if (boxes.isEmpty())
        return {};
    for (const QString& pack : subfoldersInFolder(boxes, false))
        if (lastPathComponent(pack) == name)
            return pack;
    return {};
}

// The templates of a category found in the content packs: every PDF below the pack, one entry each; else
// its JPGs below <pack>/Templates/<name>.
QStringList loadIAPTemplateWithTemplateCategory(const QString& name) {
    const QString pack = packFolderNamed(name);
    if (pack.isEmpty())
        return {};
    QStringList files = filesInFolder(pack, QStringLiteral("pdf"), true);
    if (files.isEmpty())
        files = filesInFolder(pack + QStringLiteral("/Templates/") + name, QStringLiteral("jpg"), true);
    return files;
}

std::vector<QStringList> fileListsOfSubfolders(const QString& folder) {
    std::vector<QStringList> lists;
    if (folder.isEmpty())
        return lists;
    for (const QString& sub : subfoldersInFolder(folder, false))
        lists.push_back(templateFileList(sub));
    return lists;
}

class ListingBuilder {
public:
    explicit ListingBuilder(TemplateListing& listing) : m_listing(listing) {}
    // Adds items for entries; answers how many made an item.
    int add(const std::vector<QStringList>& entries) {
        int made = 0;
        for (const QStringList& files : entries)
            if (std::optional<KXTemplateItem> item = makeTemplateItem(files)) {
                m_listing.items.push_back(std::move(*item));
                ++made;
            }
        return made;
    }
    void group(const QString& name, const std::vector<QStringList>& entries, bool evenWhenEmpty = true) {
        const int first = int(m_listing.items.size());
        const int count = add(entries);
        if (count > 0 || evenWhenEmpty)
            m_listing.groups.push_back({name, first, count});
    }

private:
    TemplateListing& m_listing;
};

std::vector<QStringList> oneEntryPerFile(const QStringList& files) {
    std::vector<QStringList> entries;
    for (const QString& file : files)
        entries.push_back({file});
    return entries;
}

void listAll(TemplateListing& listing, const QStringList& categories) {
    ListingBuilder builder(listing);
    const QString templates = builtInTemplatesFolder();
    for (const QString& category : categories) {
        std::vector<QStringList> entries = fileListsOfSubfolders(templates + u'/' + category);
        for (QStringList& entry : oneEntryPerFile(loadIAPTemplateWithTemplateCategory(category)))
            entries.push_back(std::move(entry));
        builder.group(category, entries);
    }
    if (const QString boxes = boxesFolderPath(); !boxes.isEmpty())
        for (const QString& pack : subfoldersInFolder(boxes, false)) {
            const QString name = lastPathComponent(pack);
            if (!categories.contains(name))
                builder.group(name, oneEntryPerFile(loadIAPTemplateWithTemplateCategory(name)));
        }
    const QString mine = userTemplateFolderPath();
    if (!mine.isEmpty() && !subfoldersInFolder(mine, false).isEmpty())
        builder.group(kMyTemplatesRow, fileListsOfSubfolders(mine), false);
}

}  // namespace

QStringList templateCategoryList(const QStringList& categories) {
    QStringList rows{kAllRow};
    rows << categories;
    if (const QString boxes = boxesFolderPath(); !boxes.isEmpty())
        for (const QString& pack : subfoldersInFolder(boxes, false))
            rows << lastPathComponent(pack);
    rows << kMyTemplatesRow << kFavoritesRow;
    return rows;
}

TemplateListing listTemplates(const QString& row, const QStringList& categories) {
    TemplateListing listing;
    ListingBuilder builder(listing);
    if (row == kAllRow) {
        listAll(listing, categories);
    } else if (row == kFavoritesRow) {
        std::vector<QStringList> entries;
        for (const QString& folder : favoriteFolders())
            entries.push_back(templateFileList(folder));
        builder.add(entries);
    } else if (row == kMyTemplatesRow) {
        builder.add(fileListsOfSubfolders(userTemplateFolder()));
    } else if (categories.contains(row)) {
        std::vector<QStringList> entries = fileListsOfSubfolders(builtInTemplatesFolder() + u'/' + row);
        // A pack named like the category adds its templates after the category's own.
        if (const QString pack = packFolderNamed(row); !pack.isEmpty()) {
            QStringList files = filesInFolder(pack + QStringLiteral("/Templates"), QStringLiteral("pdf"), true);
            if (files.isEmpty())
                files = filesInFolder(pack + QStringLiteral("/Templates"), QStringLiteral("jpg"), true);
            entries.push_back(files);
        }
        builder.add(entries);
    } else {
        const QString boxes = boxesFolderPath();
        if (!boxes.isEmpty() && !row.isEmpty() && !row.contains(u'/') && row != QLatin1String("..") &&
            row != QLatin1String("."))
            builder.add(fileListsOfSubfolders(boxes + u'/' + row + QStringLiteral("/Templates/") + row));
    }
    return listing;
}

std::optional<KXTemplateItem> makeTemplateItem(const QStringList& files) {
    if (files.isEmpty())
        return std::nullopt;
    KXTemplateItem item;
    if (pathExtension(files.first()).toLower() == QLatin1String("pdf"))
        item.setPath(files.first());
    else
        item.addImagePaths(files);
    item.setName(deletingPathExtension(lastPathComponent(templateFolderOfFile(files.first()))));
    item.setCurrentPage(1);
    return item;
}

}  // namespace kx::templates
