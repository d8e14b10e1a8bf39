// The open project: an ordered list of pages (each held by its page layer), the page being edited, the
// package the project belongs to and its document attributes. It saves itself as a project package
// (a folder with "info.xml", "Data" and "QuickLook") or a user template, and reads packages, templates and
// bare archives back.
//
// Saving never touches the old package until the new one is whole: the new package is built in a hidden
// sibling folder (unchanged "Data" images are hard-linked, new ones copied), takes the old package's
// permissions, is flushed to disk whole and then swaps places with the old one (package_swap.h). Images of
// the old "Data" folder that no page refers to any more go away with the old folder, after the swap. A
// package that is read-only is not replaced. Any failure (an image, a Quick Look file or the archive that
// cannot be written or flushed) fails the save with the system's reason and leaves the old package and the
// model's image paths as they were.
//
// Opening never destroys: a file that cannot be read gives an error and leaves the project as it was;
// photos, clip-art and masks that cannot be found keep their objects and stored paths (they draw as
// placeholders) and are listed for the missing-resources sheet.
#pragma once

#include "document/version_info.h"
#include "platform/foundation/geometry.h"
#include "platform/foundation/observable.h"
#include "platform/gfx/image.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class KXCanvas;
class KXCanvasLayer;
class KXGraph;
class KXPhoto;
class KXSize;
class QWidget;

// Kinds of save: the first three rebuild the Quick Look files, the autosaves leave them as they are.
enum KXSaveOperation : std::int32_t {
    KXSaveOperationSave = 0,
    KXSaveOperationSaveAs = 1,
    KXSaveOperationSaveTo = 2,
    KXSaveOperationAutosaveElsewhere = 3,
    KXSaveOperationAutosaveInPlace = 4,
    KXSaveOperationAutosaveAsVersion = 5,
};

// The sheet that lists the images a load could not find (built with the content library).
class KXMissingResourcesSheet {
public:
    virtual ~KXMissingResourcesSheet() = default;
    virtual void showInWindow(QWidget* window, const QStringList& photos, const QStringList& cliparts,
                              const QStringList& masks) = 0;
};

// Posted with the project after a user template was saved; user info {"tempName": path without extension}.
inline const QString KXReloadAllTemplateData = QStringLiteral("KXReloadAllTemplateData");

class KXProject {
public:
    // Renders a page into an image that fits the given size, keeping the page's proportions. Quick Look
    // files are made through it. It is the page output unless replaced (tests draw checkable pictures);
    // an empty function puts the page output back.
    using PageRenderer = std::function<kx::Image(KXCanvas&, const kx::Size&)>;
    static void setPageRenderer(PageRenderer renderer);
    static const PageRenderer& pageRenderer();

    // A project with one new page (margins = the whole page) and current index 0.
    KXProject();
    ~KXProject();
    KXProject(const KXProject&) = delete;
    KXProject& operator=(const KXProject&) = delete;

    // A new project loaded from a package, archive or template; null with *error when it cannot be read.
    static std::unique_ptr<KXProject> initWithPath(const QString& path, QString* error = nullptr);

    // ---- pages ----
    void createNewLayerWithCanvas(std::shared_ptr<KXCanvas> canvas);
    void addCanvasLayer(std::shared_ptr<KXCanvasLayer> layer);
    // A negative index counts as 0; an index at or past the count appends.
    void insertCanvasLayer(std::shared_ptr<KXCanvasLayer> layer, std::int64_t index);
    // When the current index is no longer below the page count it moves back by one.
    void removeCanvasLayer(const KXCanvasLayer* layer);
    void removeAllCanvasLayers();
    std::shared_ptr<KXCanvasLayer> canvasLayerAtIndex(std::int64_t index) const;
    KXCanvas* canvasAtIndex(std::int64_t index) const;
    std::shared_ptr<KXCanvasLayer> currentCanvasLayer() const { return canvasLayerAtIndex(m_currentIndex); }
    KXCanvas* currentCanvas() const { return canvasAtIndex(m_currentIndex); }
    std::int64_t canvasCount() const { return std::int64_t(m_layers.size()); }
    std::int64_t currentIndex() const { return m_currentIndex; }
    void setCurrentIndex(std::int64_t index) { m_currentIndex = index; }

    // Gives every page a copy of the size; each page's objects keep their share of the page's area.
    // The project watches the "pageSize" of each of its pages, so a page whose size is set any other way
    // rescales its objects as well (without an undo step).
    void setPageSize(const KXSize& size);
    // Changes the size of a page that may not belong to a project and keeps its objects proportionate
    // (no undo step); a project that holds the page does not rescale it a second time.
    static void setPageSizeOfCanvas(KXCanvas& canvas, const KXSize& size);
    // Rescales the graphs after their page (or group) changed from the old pixel size: each keeps its
    // share of the container's area, its aspect ratio and its centre, and a text's font scale grows with
    // the square root of its change of area.
    static void updateCropRects(const std::vector<KXGraph*>& graphs, const kx::Size& oldPageSize);

    // Inserts the pages of another project file after the page at the index (a negative index or one past
    // the end appends); the new pages take the size of the first page. A file that cannot be read leaves
    // the project exactly as it was and answers false.
    bool insertCanvasLayerWithPath(const QString& path, std::int64_t index, QString* error = nullptr);

    QString path() const { return m_path; }
    void setPath(const QString& path) { m_path = path; }
    std::shared_ptr<KXDocumentAttribute> docAttribute() const { return m_docAttribute; }
    void setDocAttribute(std::shared_ptr<KXDocumentAttribute> attribute) { m_docAttribute = std::move(attribute); }

    // ---- saving ----
    // Writes the project package; false (with *error) when the package could not be written whole, in
    // which case whatever was at the path before is still there unchanged. *error names what failed and
    // the system's reason, for example: Cannot write "/p/Trip.vrtp3/Data/a.jpg": No space left on device.
    bool saveAsProjectToPath(const QString& path, KXSaveOperation operation, QString* error = nullptr);
    // Writes a user template folder (no "Data") as safely as a package; posts KXReloadAllTemplateData.
    bool saveAsTemplateToPath(const QString& path, QString* error = nullptr);
    // The archive alone: the version record, the document attributes and the pages.
    bool saveDataToPath(const QString& archivePath, QString* error = nullptr) const;

    // ---- loading ----
    // Reads a package, template folder or archive into this project, replacing its pages. On any error
    // the project is left as it was and false is returned with *error.
    bool loadProjectWithPath(const QString& path, QString* error = nullptr);
    const QStringList& missingPhotos() const { return m_missingPhotos; }
    const QStringList& missingCliparts() const { return m_missingCliparts; }
    const QStringList& missingMasks() const { return m_missingMasks; }
    // Finds a resource image by file name below the application's resources and the content packs.
    QString imagePathWithName(const QString& name, const QString& category);
    // Shows the sheet when something is missing; the sheet is made once by the factory.
    void showMissingFilesInWindow(QWidget* window);
    using SheetFactory = std::function<std::unique_ptr<KXMissingResourcesSheet>()>;
    static void setMissingSheetFactory(SheetFactory factory);

    // Files of the XML project format: an older package (a folder without "info.xml", whose XML file lies
    // below its "Contents" folder) and a template file with the extension "tpl". The reader converts the
    // file into pages, looking resources up by name through the lookup it is given (the project's own
    // search), and names the images it could not find. The built-in reader converts the XML format into
    // pages; setXMLProjectReader({}) puts it back after another was installed.
    struct XMLProjectContent {
        std::vector<std::shared_ptr<KXCanvas>> pages;
        QStringList missingPhotos, missingCliparts, missingMasks;
    };
    using ResourceLookup = std::function<QString(const QString& name, const QString& category)>;
    using XMLProjectReader = std::function<bool(const QString& path, bool templateFile, const ResourceLookup& lookup,
                                                XMLProjectContent* content, QString* error)>;
    static void setXMLProjectReader(XMLProjectReader reader);

private:
    struct Loaded;
    // Hears the "pageSize" changes of the project's pages.
    class PageSizeObserver : public kx::KeyObserver {
    public:
        void observeValue(const QString& key, kx::Observable* object, const kx::Value& oldValue,
                          const kx::Value& newValue) override;
    };
    void startObserving(KXCanvasLayer& layer);
    void stopObserving(KXCanvasLayer& layer);
    // Takes every page out of the project (ending their observation) and hands them over.
    std::vector<std::shared_ptr<KXCanvasLayer>> takeAllCanvasLayers();
    void adoptLoaded(Loaded&& loaded);
    QString imageInFolder(const QString& folder, const QStringList& wanted);
    static void snapPageSize(KXCanvas& page);
    // Reads a file of the XML format through the installed reader; an older package sets the path.
    bool loadXMLProject(const QString& path, bool templateFile, const QString& packagePath, QString* error);
    void repairImages(KXCanvas& page, const QString& dataFolder, bool isTemplate, Loaded& loaded);
    void repairPage(KXCanvas& page, const QString& dataFolder, bool isTemplate, Loaded& loaded);
    void checkPhoto(KXPhoto& photo, const QString& dataFolder, bool isTemplate, Loaded& loaded);
    // This package's own copy in its Data folder of an image stored with another path: used for a path into
    // any package's "Data" and for a path that no longer exists. Empty when there is none to use.
    static QString packageImage(const QString& stored, const QString& dataFolder);
    // Whether a stored image path that no longer exists names clip-art of an application installation.
    static bool isMovedClipart(const QString& stored);
    // Where a clip-art is found again: its category's folder in the application's resources, the custom
    // clip-art folder, then the content pack of its category; empty when nowhere.
    QString clipartPath(const QString& stored);
    bool writePreview(const QString& folder, QString* error) const;
    bool writeQuickLook(const QString& folder, bool isTemplate, QString* error) const;

    PageSizeObserver m_pageSizeObserver;
    std::vector<std::shared_ptr<KXCanvasLayer>> m_layers;
    std::int64_t m_currentIndex = 0;
    QString m_path;
    std::shared_ptr<KXDocumentAttribute> m_docAttribute;
    QStringList m_missingPhotos;
    QStringList m_missingCliparts;
    QStringList m_missingMasks;
    std::unique_ptr<KXMissingResourcesSheet> m_missingWC;
    // Resource listings of the current load, by folder.
    std::map<QString, QStringList> m_listingCache;
    QStringList m_packs;
};
