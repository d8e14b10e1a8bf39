// Conversion of the records of the XML project and template format into pages of the current model: one page
// per scene graph, with its size, its background, and its photos, texts, clip-art and calendars as shapes and
// calendars. Drawn shape objects of the old format are not converted.
//
// Two kinds of source are told apart: an older project package (its photos keep their images, found in the
// package's image folder) and a template (its photo frames stay empty). Resources that the file names
// (backgrounds, clip-art, masks, frames) are looked up by file name through a lookup function, normally the
// project's own search of the application's resources and the installed content packs.
//
// The converted pages are handed back; the caller attaches them to its project (each page gets its page layer
// there). A file that cannot be read, a negative page count, an older package without an XML file, or a file
// that yields no page at all is an error: the caller keeps its project as it was and never ends up with a
// project without pages.
#pragma once

#include "document/xml_records.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class KXCanvas;
class KXGraph;
class KXProjectInfo;

// What the XML file is: a page of an older project, or a template.
enum KXXMLSourceType : std::int32_t {
    KXXMLSourceProject = 0,
    KXXMLSourceTemplate = 1,
};

// Finds a resource image by (file) name in a category ("Background", "Clipart", "Frame", "Mask"); an empty
// string when there is none.
using KXResourceLookup = std::function<QString(const QString& name, const QString& category)>;

class KXXMLConverter {
public:
    // Without a lookup, resources are searched like a project does (application resources, then the installed
    // content packs).
    explicit KXXMLConverter(KXResourceLookup lookup = {});

    // The pages of the file: as many as its page count says (0 counts as 1), never more than the file holds,
    // none for a negative count.
    std::vector<std::shared_ptr<KXCanvas>> applyCollageInfo(const KXProjectInfo& info, std::int32_t type,
                                                            const QString& dataPath);
    // One page from one scene graph. The data path is the package folder (projects) or the folder that holds
    // the template file (templates); `version` is the file's format version.
    std::shared_ptr<KXCanvas> applySceneGraphInfo(const VRTSceneGraph& graph, std::int32_t type,
                                                  const QString& dataPath, std::int32_t version);

    // "Category/name" of every resource the converted records named that the lookup did not find, and the
    // photos of an older project whose files do not exist, each once, in the order met.
    const QStringList& missingResources() const { return m_missing; }

private:
    std::shared_ptr<KXGraph> photoGraph(const VRTPhotoObject& object, std::int32_t type, const QString& imageFolder,
                                        std::int32_t version);
    std::shared_ptr<KXGraph> clipartGraph(const VRTClipartObject& object);
    QString lookup(const QString& name, const QString& category);
    void noteMissing(const QString& entry);

    KXResourceLookup m_lookup;
    QStringList m_missing;
    QString m_imageRoot;  // the folder below which the current page's photos may hold no link
};

// The result of reading an XML template or an older package.
struct KXXMLConversion {
    std::vector<std::shared_ptr<KXCanvas>> pages;  // never empty when the read succeeded
    QStringList missingResources;                  // as KXXMLConverter::missingResources
};

// Reads an XML template file (the ".tpl" file of a template folder). False with *error when the file cannot be
// read, is a symbolic link, is not well-formed, has a negative page count or holds no page.
bool loadXMLTemplateWithPath(const QString& path, KXXMLConversion* result, QString* error = nullptr,
                             const KXResourceLookup& lookup = {});
// Reads an older project package: the XML file below its "Contents" folder (or the path itself when it is a
// file or an empty folder). False with *error when there is no XML file, when it is reached through a symbolic
// link inside the package, or when it cannot be converted into at least one page.
bool loadOldProjectWithPath(const QString& package, KXXMLConversion* result, QString* error = nullptr,
                            const KXResourceLookup& lookup = {});

// The first file with the extension "tpl" (any case) directly inside a template folder, hidden files and
// symbolic links skipped, in name order; empty when there is none.
QString xmlTemplateFileInFolder(const QString& folder);
