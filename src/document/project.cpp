#include "document/project.h"

#include "document/package_file_calls.h"
#include "document/package_leftovers.h"
#include "document/package_paths.h"
#include "document/package_swap.h"
#include "document/xml_conversion.h"

#include "canvas/canvas_layer.h"
#include "model/background.h"
#include "model/canvas.h"
#include "model/frame.h"
#include "model/graph.h"
#include "model/page_size.h"
#include "model/page_size_manager.h"
#include "model/photo.h"
#include "model/shape.h"
#include "text/advanced_text.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/undo_manager.h"
#include "graphics/app_info.h"
#include "graphics/file_utilities.h"
#include "graphics/image_cache.h"
#include "graphics/image_file_types.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QBuffer>
#include <QUrl>

#include <cairo-pdf.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fcntl.h>
#include <set>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace fs = std::filesystem;

namespace {

const QString kInfoName = QStringLiteral("info.xml");
const QString kDataName = QStringLiteral("Data");
const QString kQuickLookName = QStringLiteral("QuickLook");

// The page output: a render of a detached copy of the page, so saving never changes the page.
kx::Image renderPageOutput(KXCanvas& page, const kx::Size& size) {
    return page.outputImageWithSize(size);
}

KXProject::PageRenderer& rendererSlot() {
    static KXProject::PageRenderer renderer = renderPageOutput;
    return renderer;
}

// Converts a file of the XML project format into pages and sorts the names of what it could not find into
// the missing lists: photos, masks, and the application's other resources (clip-art, backgrounds, frames).
bool readXMLProjectFile(const QString& path, bool templateFile, const KXProject::ResourceLookup& lookup,
                        KXProject::XMLProjectContent* content, QString* error) {
    KXXMLConversion conversion;
    const bool read = templateFile ? loadXMLTemplateWithPath(path, &conversion, error, lookup)
                                   : loadOldProjectWithPath(path, &conversion, error, lookup);
    if (!read)
        return false;
    content->pages = std::move(conversion.pages);
    for (const QString& entry : conversion.missingResources) {
        const qsizetype slash = entry.indexOf(u'/');
        const QString category = entry.left(std::max<qsizetype>(slash, 0));
        const QString name = entry.mid(slash + 1);
        if (category == QLatin1String("Photo"))
            content->missingPhotos.append(name);
        else if (category == QLatin1String("Mask"))
            content->missingMasks.append(name);
        else
            content->missingCliparts.append(name);
    }
    return true;
}

KXProject::XMLProjectReader& xmlReaderSlot() {
    static KXProject::XMLProjectReader reader = readXMLProjectFile;
    return reader;
}

KXProject::SheetFactory& sheetFactorySlot() {
    static KXProject::SheetFactory factory;
    return factory;
}

void setError(QString* error, const QString& message) {
    if (error)
        *error = message;
}

// A file name taken from a stored path, or empty when it could name anything but a file in one folder.
QString safeFileName(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") || name.contains(QLatin1Char('/')) ||
        name.contains(QChar(0)))
        return {};
    return name;
}

// Whether something regular (not a symlink) exists at the path.
bool isRegularFile(const QString& path) {
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isFileAt(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isFile();
}

// The canonical form of a path, or empty when it does not exist.
QString canonical(const QString& path) {
    return path.isEmpty() ? QString() : QFileInfo(path).canonicalFilePath();
}

// Hard-links the file (copies it when linking is not possible).
bool linkOrCopy(const QString& from, const QString& to, QString* error) {
    if (::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    return kx::copyToNewFile(from, to, error);
}

// Every photo of a page, those inside groups included.
std::vector<KXPhoto*> photosOfGraph(KXGraph* graph) {
    std::vector<KXPhoto*> photos;
    for (KXGraph* leaf : graph->rootOfGraphs())
        if (auto* shape = dynamic_cast<KXShape*>(leaf))
            if (KXPhoto* photo = shape->photo())
                photos.push_back(photo);
    return photos;
}

void collectFills(KXGraph* graph, std::vector<KXBackground*>& fills) {
    if (graph->isFillEnabled() && graph->background())
        fills.push_back(graph->background());
    for (const auto& child : graph->graphs())
        collectFills(child.get(), fills);
}

// The fills that may show a custom image: the page background and the fill of every graph whose fill is
// on, those inside groups included (their images travel in "Data" like any other).
std::vector<KXBackground*> fillsOfPage(KXCanvas& page) {
    std::vector<KXBackground*> fills;
    if (page.background())
        fills.push_back(page.background());
    for (const auto& graph : page.graphs())
        collectFills(graph.get(), fills);
    return fills;
}

bool isPlaceholderImage(const QString& path) {
    return QFileInfo(path).fileName() == QLatin1String("bk_custom.png") &&
           path.startsWith(kx::Bundle::main().resourcePath());
}

QString resourceFolder(const QString& category) {
    const QString root = kx::Bundle::main().resourcePath();
    return root.isEmpty() ? QString() : root + QLatin1Char('/') + category;
}

}  // namespace

void KXProject::setPageRenderer(PageRenderer renderer) {
    rendererSlot() = renderer ? std::move(renderer) : PageRenderer(renderPageOutput);
}

const KXProject::PageRenderer& KXProject::pageRenderer() {
    return rendererSlot();
}

void KXProject::setXMLProjectReader(XMLProjectReader reader) {
    xmlReaderSlot() = reader ? std::move(reader) : XMLProjectReader(readXMLProjectFile);
}

void KXProject::setMissingSheetFactory(SheetFactory factory) {
    sheetFactorySlot() = std::move(factory);
}

KXProject::KXProject() : m_docAttribute(KXDocumentAttribute::documentAttribute()) {
    auto canvas = std::make_shared<KXCanvas>();
    canvas->setLayoutType(0);
    const kx::Size size = canvas->pixelSize();
    canvas->setMarginRect({0, 0, size.width, size.height});
    createNewLayerWithCanvas(std::move(canvas));
    m_currentIndex = 0;
}

KXProject::~KXProject() {
    m_missingWC.reset();
    removeAllCanvasLayers();
}

std::unique_ptr<KXProject> KXProject::initWithPath(const QString& path, QString* error) {
    // A save that was killed may have left its folders beside the package, or its old package set aside.
    if (const QFileInfo opened(path); !path.isEmpty())
        kx::tidyPackageLeftovers(opened.fileName() == kInfoName && opened.isFile() ? opened.absolutePath()
                                                                                  : opened.absoluteFilePath());
    auto project = std::make_unique<KXProject>();
    if (!project->loadProjectWithPath(path, error))
        return nullptr;
    project->setCurrentIndex(0);
    return project;
}

// ---- pages ----

void KXProject::createNewLayerWithCanvas(std::shared_ptr<KXCanvas> canvas) {
    addCanvasLayer(KXCanvasLayer::create(std::move(canvas)));
}

void KXProject::startObserving(KXCanvasLayer& layer) {
    if (KXCanvas* canvas = layer.canvas())
        canvas->addObserver(&m_pageSizeObserver, QStringLiteral("pageSize"));
}

void KXProject::stopObserving(KXCanvasLayer& layer) {
    if (KXCanvas* canvas = layer.canvas())
        canvas->removeObserver(&m_pageSizeObserver, QStringLiteral("pageSize"));
}

void KXProject::addCanvasLayer(std::shared_ptr<KXCanvasLayer> layer) {
    if (!layer)
        return;
    m_layers.push_back(layer);
    startObserving(*layer);
}

void KXProject::insertCanvasLayer(std::shared_ptr<KXCanvasLayer> layer, std::int64_t index) {
    if (!layer)
        return;
    index = std::max<std::int64_t>(index, 0);
    if (index < canvasCount())
        m_layers.insert(m_layers.begin() + index, layer);
    else
        m_layers.push_back(layer);
    startObserving(*layer);
}

std::vector<std::shared_ptr<KXCanvasLayer>> KXProject::takeAllCanvasLayers() {
    for (const auto& layer : m_layers)
        stopObserving(*layer);
    return std::exchange(m_layers, {});
}

void KXProject::removeCanvasLayer(const KXCanvasLayer* layer) {
    const auto it = std::find_if(m_layers.begin(), m_layers.end(), [&](const auto& l) { return l.get() == layer; });
    if (it == m_layers.end())
        return;
    const std::shared_ptr<KXCanvasLayer> removed = *it;
    stopObserving(*removed);
    m_layers.erase(it);
    if (std::uint64_t(m_currentIndex) >= std::uint64_t(m_layers.size()))
        --m_currentIndex;
}

void KXProject::removeAllCanvasLayers() {
    while (!m_layers.empty())
        removeCanvasLayer(m_layers.back().get());
}

std::shared_ptr<KXCanvasLayer> KXProject::canvasLayerAtIndex(std::int64_t index) const {
    if (index < 0 || index >= canvasCount())
        return nullptr;
    return m_layers[std::size_t(index)];
}

KXCanvas* KXProject::canvasAtIndex(std::int64_t index) const {
    const auto layer = canvasLayerAtIndex(index);
    return layer ? layer->canvas() : nullptr;
}

namespace {
// Set while setPageSizeOfCanvas rescales a page itself, so that a project holding the page stays out.
thread_local bool rescalingDirectly = false;

std::vector<KXGraph*> topLevelGraphs(const KXCanvas& page) {
    std::vector<KXGraph*> graphs;
    for (const auto& graph : page.graphsWithType(KXGraphTypeAll))
        graphs.push_back(graph.get());
    return graphs;
}
}  // namespace

void KXProject::setPageSize(const KXSize& size) {
    for (const auto& layer : m_layers)
        if (KXCanvas* page = layer->canvas())
            page->setPageSize(&size);  // each page rescales its objects through the observation
}

void KXProject::PageSizeObserver::observeValue(const QString& key, kx::Observable* object, const kx::Value& oldValue,
                                               const kx::Value&) {
    auto* page = dynamic_cast<KXCanvas*>(object);
    const auto oldSize = oldValue.objectAs<KXSize>();
    if (rescalingDirectly || key != QLatin1String("pageSize") || !page || !oldSize)
        return;
    kx::UndoDisabler noUndo(page->undoManager());
    updateCropRects(topLevelGraphs(*page), oldSize->sizeWithUnit(KXSizeUnitPixel));
}

void KXProject::setPageSizeOfCanvas(KXCanvas& canvas, const KXSize& size) {
    const kx::Size oldSize = canvas.pixelSize();
    {
        const bool outer = std::exchange(rescalingDirectly, true);
        canvas.setPageSize(&size);
        rescalingDirectly = outer;
    }
    kx::UndoDisabler noUndo(canvas.undoManager());
    updateCropRects(topLevelGraphs(canvas), oldSize);
}

void KXProject::updateCropRects(const std::vector<KXGraph*>& graphs, const kx::Size& oldPageSize) {
    const double oldW = oldPageSize.width, oldH = oldPageSize.height;
    if (!(oldW > 0) || !(oldH > 0))
        return;
    for (KXGraph* g : graphs) {
        kx::Size container;
        if (g->group())
            container = g->group()->actualRect().size;
        else if (g->canvas())
            container = g->canvas()->pixelSize();
        else
            continue;
        const double cw = container.width, ch = container.height;
        const kx::Rect r = g->relativeRect();
        const double mx = r.origin.x + r.size.width / 2, my = r.origin.y + r.size.height / 2;
        const double ow = r.size.width * oldW, oh = r.size.height * oldH;
        if (!(ow > 0) || !(oh > 0) || !(cw > 0) || !(ch > 0))
            continue;  // a degenerate graph or container has no share to keep
        const double area = (ow * oh) / (oldW * oldH);
        const double q = ow / oh;
        const double h = std::sqrt(cw * ch * area / q);
        const double w = q * h;
        const kx::Size size{w / cw, h / ch};
        g->setRelativeRect({{mx - size.width / 2, my - size.height / 2}, size});
        if (g->graphType() == KXGraphTypeGroup) {
            std::vector<KXGraph*> children;
            for (const auto& child : g->graphs())
                children.push_back(child.get());
            updateCropRects(children, {ow, oh});
        }
        if (g->graphType() == KXGraphTypeText)
            if (auto* shape = dynamic_cast<KXShape*>(g))
                if (auto* text = dynamic_cast<KXAdvancedText*>(shape->text()))
                    text->setFontScale(text->fontScale() * std::sqrt((w / ow) * (h / oh)));
        const kx::Rect actual = g->actualRect();
        if (actual.size.height > 0)
            g->setAspectRatio(actual.size.width / actual.size.height);
    }
}

bool KXProject::insertCanvasLayerWithPath(const QString& path, std::int64_t index, QString* error) {
    KXProject loaded;
    loaded.m_docAttribute = nullptr;  // replaced only when the file carries attributes
    if (!loaded.loadProjectWithPath(path, error))
        return false;
    if (KXCanvas* first = canvasAtIndex(0)) {
        if (const std::shared_ptr<KXSize> size = first->pageSize() ? first->pageSize()->copy() : nullptr)
            loaded.setPageSize(*size);
    }
    const std::uint64_t last = m_layers.empty() ? 0 : m_layers.size() - 1;
    const std::size_t at = m_layers.empty() ? 0 : std::size_t(std::min<std::uint64_t>(std::uint64_t(index), last) + 1);
    std::vector<std::shared_ptr<KXCanvasLayer>> kept = takeAllCanvasLayers();
    const std::vector<std::shared_ptr<KXCanvasLayer>> inserted = loaded.takeAllCanvasLayers();
    for (std::size_t i = 0; i < at; ++i)
        addCanvasLayer(kept[i]);
    for (const auto& layer : inserted)
        addCanvasLayer(layer);
    for (std::size_t i = at; i < kept.size(); ++i)
        addCanvasLayer(kept[i]);
    if (loaded.m_docAttribute)
        m_docAttribute = loaded.m_docAttribute;
    if (!loaded.m_path.isEmpty())
        m_path = loaded.m_path;
    m_missingPhotos = loaded.m_missingPhotos;
    m_missingCliparts = loaded.m_missingCliparts;
    m_missingMasks = loaded.m_missingMasks;
    return true;
}

// ---- saving ----

namespace {

// One image path of the model that a save re-points into the package, with how to set it back.
struct PathChange {
    std::function<void(const QString&)> set;
    QString oldPath;
    QString newPath;
};

// Names free in a folder: N, then N's base with "_1", "_2", ... before its extension.
QString freeName(const QString& folder, const QString& name) {
    if (!QFileInfo::exists(folder + QLatin1Char('/') + name))
        return name;
    const QFileInfo info(name);
    const QString base = info.completeBaseName();
    const QString ext = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    for (int i = 1;; ++i) {
        const QString candidate = QStringLiteral("%1_%2%3").arg(base).arg(i).arg(ext);
        if (!QFileInfo::exists(folder + QLatin1Char('/') + candidate))
            return candidate;
    }
}

// Builds the "Data" folder of a package being written. Images already in the old package's "Data"
// (compared by canonical path, symlinks never followed) are hard-linked under their own names; other
// images are copied once each under a free name. Paths are re-pointed at the final package location.
class DataPass {
public:
    DataPass(const QString& finalPackage, const QString& workPackage)
        : m_finalData(finalPackage + QLatin1Char('/') + kDataName), m_workData(workPackage + QLatin1Char('/') + kDataName),
          m_oldDataCanonical(canonical(m_finalData)) {}

    bool run(const std::vector<std::shared_ptr<KXCanvasLayer>>& layers, std::vector<PathChange>& changes,
             QString* error) {
        if (!kx::makeFolder(m_workData, error))
            return false;
        std::vector<PathChange> items;
        for (const auto& layer : layers) {
            KXCanvas& page = *layer->canvas();
            for (KXBackground* fill : fillsOfPage(page)) {
                const QString path = fill->customImagePath();
                if (fill->fillType() != KXFillTypeImage && fill->fillType() != KXFillTypeColor && !path.isEmpty() &&
                    !isPlaceholderImage(path))
                    items.push_back({[fill](const QString& p) { fill->setCustomImagePath(p); }, path, {}});
                else if (!path.isEmpty() && !isPlaceholderImage(path))
                    items.push_back({{}, path, {}});  // an inactive fill keeps its custom image in the package
            }
            for (const auto& graph : page.graphs())
                for (KXPhoto* photo : photosOfGraph(graph.get()))
                    if (!photo->isEmpty() && !photo->isClipart() && !photo->imagePath().isEmpty())
                        items.push_back({[photo](const QString& p) { photo->setImagePath(p); }, photo->imagePath(), {}});
        }
        // Images already in the package keep their names, so they go first.
        for (const bool inPackage : {true, false})
            for (PathChange& item : items)
                if (isInOldData(item.oldPath) == inPackage && !store(item, error))
                    return false;
        for (PathChange& item : items)
            if (item.set && !item.newPath.isEmpty() && item.newPath != item.oldPath)
                changes.push_back(item);
        return true;
    }

private:
    bool isInOldData(const QString& path) const {
        const QString c = canonical(path);
        return !m_oldDataCanonical.isEmpty() && !c.isEmpty() && QFileInfo(c).absolutePath() == m_oldDataCanonical &&
               isRegularFile(m_oldDataCanonical + QLatin1Char('/') + QFileInfo(c).fileName());
    }

    bool store(PathChange& item, QString* error) {
        const QString key = canonical(item.oldPath);
        if (key.isEmpty() || !QFileInfo(key).isFile())
            return storeFromCache(item, error);
        // An inactive fill keeps a custom image the package already holds, and copies none in.
        if (!item.set && !isInOldData(key))
            return true;
        auto it = m_names.find(key);
        if (it == m_names.end()) {
            const QString name = isInOldData(key) ? QFileInfo(key).fileName()
                                                  : freeName(m_workData, safeFileName(key));
            const QString target = m_workData + QLatin1Char('/') + name;
            QString why;
            if (!(isInOldData(key) ? linkOrCopy(key, target, &why) : kx::copyToNewFile(key, target, &why))) {
                setError(error, QStringLiteral("Cannot copy \"%1\" into the package: %2").arg(item.oldPath, why));
                return false;
            }
            it = m_names.emplace(key, name).first;
        }
        item.newPath = m_finalData + QLatin1Char('/') + it->second;
        return true;
    }

    // An image with no file, known only to the image cache (a pasted image, or a remote one), is written
    // from the cache's original in the format its name's extension asks for. Without an image in the cache,
    // or without an encoder for that format, the stored path is kept; a file that cannot be written fails
    // the save.
    bool storeFromCache(PathChange& item, QString* error) {
        if (!item.set)
            return true;
        const QString key = QStringLiteral("cache:") + item.oldPath;
        auto it = m_names.find(key);
        if (it == m_names.end()) {
            const KXCachePtr cache = KXCacheManager::cacheManager().caches().value(item.oldPath);
            QString name = safeFileName(QUrl(item.oldPath).isLocalFile() || !item.oldPath.contains(QLatin1String("://"))
                                            ? item.oldPath
                                            : QUrl(item.oldPath).path());
            if (!cache || name.isEmpty())
                return true;  // a missing image keeps its stored path
            const kx::Image original = cache->originalImage();
            if (original.isNull())
                return true;
            name = freeName(m_workData, name);
            const QString target = m_workData + QLatin1Char('/') + name;
            const QByteArray encoded = encodeBitmap(original.qimage(), target);
            if (encoded.isEmpty())
                return true;  // no encoder for that format: the stored path stays
            if (QString why; !kx::writeNewFile(target, encoded, &why)) {
                setError(error, QStringLiteral("Cannot write the image of \"%1\" into the package: %2").arg(item.oldPath, why));
                return false;
            }
            it = m_names.emplace(key, name).first;
        }
        item.newPath = m_finalData + QLatin1Char('/') + it->second;
        return true;
    }

    // The image's file bytes in the format the path's extension asks for; empty without an encoder.
    static QByteArray encodeBitmap(const QImage& image, const QString& path) {
        const char* format = "jpeg";
        switch (bitmapFileTypeForPath(path)) {
        case BitmapFileType::TIFF: format = "tiff"; break;
        case BitmapFileType::BMP: format = "bmp"; break;
        case BitmapFileType::GIF: format = "gif"; break;
        case BitmapFileType::PNG: format = "png"; break;
        case BitmapFileType::JPEG: format = "jpeg"; break;
        }
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, format);
        if (!writer.canWrite())
            return {};
        const bool jpeg = qstrcmp(format, "jpeg") == 0;
        if (jpeg)
            writer.setQuality(100);
        return writer.write(jpeg ? image.convertToFormat(QImage::Format_RGB888) : image) ? bytes : QByteArray();
    }

    QString m_finalData;
    QString m_workData;
    QString m_oldDataCanonical;
    std::map<QString, QString> m_names;  // canonical source -> name in Data
};

// Points an image of the model at another path. The image cache's entry of the old path is registered
// under the new one too, and held while the path changes, so the decoded image carries over instead of
// being read again (and a pasted image keeps showing before its file is in place).
void repoint(const PathChange& change, const QString& path) {
    const QString from = path == change.newPath ? change.oldPath : change.newPath;
    KXCacheManager& manager = KXCacheManager::cacheManager();
    const QHash<QString, KXCachePtr> caches = manager.caches();
    const KXCachePtr cache = caches.value(from);
    const bool held = cache && cache->retainCache();
    if (held && !caches.contains(path))
        manager.addCache(cache, path);
    change.set(path);
    if (held)
        cache->releaseCache();
}

// Hard-links (or copies) an entry of the old package into the new one.
bool carryOver(const QString& from, const QString& to, QString* error) {
    std::error_code ec;
    fs::copy(fs::path(QFile::encodeName(from).toStdString()), fs::path(QFile::encodeName(to).toStdString()),
             fs::copy_options::recursive | fs::copy_options::copy_symlinks | fs::copy_options::create_hard_links, ec);
    if (!ec)
        return true;
    ec.clear();
    fs::remove_all(fs::path(QFile::encodeName(to).toStdString()), ec);
    ec.clear();
    fs::copy(fs::path(QFile::encodeName(from).toStdString()), fs::path(QFile::encodeName(to).toStdString()),
             fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
    if (ec)
        setError(error, kx::fileErrorText(QStringLiteral("Cannot carry over"), from, ec.value()));
    return !ec;
}

}  // namespace

bool KXProject::saveDataToPath(const QString& archivePath, QString* error) const {
    registerDocumentClasses();
    kx::ValueArray pages;
    for (const auto& layer : m_layers)
        pages.push_back(kx::Value(layer->sharedCanvas()));
    kx::ValueDictionary root;
    root[QStringLiteral("versionInfo")] = kx::Value(KXVersionInfo::versionInfo());
    root[QStringLiteral("docData")] = m_docAttribute ? kx::Value(m_docAttribute) : kx::Value();
    root[QStringLiteral("canvas")] = kx::Value(std::move(pages));
    QString why;
    if (!kx::KeyedArchiver::archiveRootObject(kx::Value(std::move(root)), archivePath, &why,
                                              kx::CollectionClass::Mutable)) {
        setError(error, QStringLiteral("Cannot write \"%1\": %2").arg(archivePath, why));
        return false;
    }
    return kx::syncPath(archivePath, false, error);
}

namespace {

// JPEG bytes of an image at quality 0.7.
QByteArray jpegData(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(70);
    return writer.write(image.convertToFormat(QImage::Format_RGB888)) ? bytes : QByteArray();
}

void freeBytes(void* data) {
    delete static_cast<QByteArray*>(data);
}

// Appends what cairo writes to a byte array, so the file is written in one step that reports the system's
// reason on failure.
cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<QByteArray*>(closure)->append(reinterpret_cast<const char*>(data), qsizetype(length));
    return CAIRO_STATUS_SUCCESS;
}

// A side of a size fitted into a box, in whole units and never less than one: a page of extreme
// proportions still gives a picture, one unit across its narrow side.
double fittedSide(double side) {
    return std::max(1.0, std::round(side));
}

}  // namespace

bool KXProject::writePreview(const QString& folder, QString* error) const {
    const PageRenderer& render = pageRenderer();
    const QString file = folder + QStringLiteral("/Preview.pdf");
    const kx::Size first = m_layers.front()->canvas()->pixelSize();
    if (!(first.width > 0) || !(first.height > 0)) {
        setError(error, QStringLiteral("Cannot draw the preview \"%1\": the first page has no area").arg(file));
        return false;
    }
    const double scale = std::min(450 / first.width, 450 / first.height);
    const double w = fittedSide(first.width * scale), h = fittedSide(first.height * scale);
    QByteArray pdfBytes;
    cairo_surface_t* pdf = cairo_pdf_surface_create_for_stream(appendBytes, &pdfBytes, w, h);
    if (cairo_surface_status(pdf) != CAIRO_STATUS_SUCCESS) {
        setError(error, QStringLiteral("Cannot draw the preview \"%1\": %2").arg(file, cairo_status_to_string(cairo_surface_status(pdf))));
        cairo_surface_destroy(pdf);
        return false;
    }
    const QByteArray author = bundleName().toUtf8();
    cairo_pdf_surface_set_metadata(pdf, CAIRO_PDF_METADATA_TITLE, "preview");
    cairo_pdf_surface_set_metadata(pdf, CAIRO_PDF_METADATA_AUTHOR, author.constData());
    cairo_pdf_surface_set_metadata(pdf, CAIRO_PDF_METADATA_SUBJECT, "None");
    cairo_pdf_surface_set_metadata(pdf, CAIRO_PDF_METADATA_KEYWORDS, "None");
    cairo_t* cr = cairo_create(pdf);
    bool drawn = true;
    for (const auto& layer : m_layers) {
        const QImage rendered = render(*layer->canvas(), {2 * w, 2 * h}).qimage();
        const QByteArray jpeg = jpegData(rendered);
        QImage decoded = QImage::fromData(jpeg, "jpeg");
        const bool embedJpeg = !decoded.isNull();
        if (!embedJpeg)
            decoded = rendered;
        decoded = decoded.convertToFormat(QImage::Format_RGB32);
        drawn = drawn && !decoded.isNull();
        if (!decoded.isNull()) {
            cairo_surface_t* image = cairo_image_surface_create_for_data(
                decoded.bits(), CAIRO_FORMAT_RGB24, decoded.width(), decoded.height(), int(decoded.bytesPerLine()));
            if (embedJpeg) {
                // The PDF takes the JPEG bytes as they are, which keeps the preview small.
                auto* kept = new QByteArray(jpeg);
                cairo_surface_set_mime_data(image, CAIRO_MIME_TYPE_JPEG, reinterpret_cast<const unsigned char*>(kept->constData()),
                                            static_cast<unsigned long>(kept->size()), freeBytes, kept);
            }
            cairo_save(cr);
            cairo_scale(cr, w / decoded.width(), h / decoded.height());
            cairo_set_source_surface(cr, image, 0, 0);
            cairo_paint(cr);
            cairo_restore(cr);
            cairo_surface_destroy(image);
        }
        cairo_show_page(cr);
    }
    cairo_destroy(cr);
    cairo_surface_finish(pdf);
    const cairo_status_t status = cairo_surface_status(pdf);
    cairo_surface_destroy(pdf);
    if (!drawn || status != CAIRO_STATUS_SUCCESS) {
        setError(error, QStringLiteral("Cannot draw the preview \"%1\": %2")
                            .arg(file, drawn ? QString::fromUtf8(cairo_status_to_string(status)) : QStringLiteral("a page gave no picture")));
        return false;
    }
    return kx::writeNewFile(file, pdfBytes, error);
}

bool KXProject::writeQuickLook(const QString& folder, bool isTemplate, QString* error) const {
    const PageRenderer& render = pageRenderer();
    if (!render || m_layers.empty()) {
        setError(error, QStringLiteral("Cannot draw the Quick Look files \"%1\"").arg(folder));
        return false;
    }
    if (!kx::makeFolder(folder, error))
        return false;
    if (!isTemplate || m_layers.size() == 1) {
        const double side = isTemplate ? 600 : 256;
        const QString file = folder + QStringLiteral("/Thumbnail.jpg");
        const QByteArray jpeg = jpegData(render(*m_layers.front()->canvas(), {side, side}).qimage());
        if (jpeg.isEmpty()) {
            setError(error, QStringLiteral("Cannot draw the thumbnail \"%1\": the first page gave no picture").arg(file));
            return false;
        }
        if (!kx::writeNewFile(file, jpeg, error))
            return false;
        if (isTemplate)
            return true;
    }
    return writePreview(folder, error);
}

bool KXProject::saveAsProjectToPath(const QString& path, KXSaveOperation operation, QString* error) {
    if (m_layers.empty()) {
        setError(error, QStringLiteral("A project without pages is not saved"));
        return false;
    }
    const QString target = QFileInfo(path).absoluteFilePath();
    kx::PackageWrite write;
    if (!write.begin(target, error))
        return false;
    const QString work = write.workPath();
    const bool autosave = operation > KXSaveOperationSaveTo;
    std::vector<PathChange> changes;
    DataPass data(target, work);
    bool ok = data.run(m_layers, changes, error);
    for (const PathChange& change : changes)
        repoint(change, change.newPath);
    if (ok && QFileInfo(target).isDir()) {
        // Whatever else the old package holds travels along (the Quick Look files of an autosave too).
        for (const QFileInfo& entry : QDir(target).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
            const QString name = entry.fileName();
            if (name == kInfoName || name == kDataName || (name == kQuickLookName && !autosave))
                continue;
            if (!carryOver(entry.filePath(), work + QLatin1Char('/') + name, error)) {
                ok = false;
                break;
            }
        }
    }
    ok = ok && (autosave || writeQuickLook(work + QLatin1Char('/') + kQuickLookName, false, error));
    ok = ok && saveDataToPath(work + QLatin1Char('/') + kInfoName, error) && write.commit(error);
    if (!ok) {
        for (const PathChange& change : changes)
            repoint(change, change.oldPath);
        return false;  // the work folder goes with the write
    }
    if (!autosave)
        m_path = target;
    return true;
}

bool KXProject::saveAsTemplateToPath(const QString& path, QString* error) {
    const QString target = QFileInfo(path).absoluteFilePath();
    if (m_layers.empty()) {
        setError(error, QStringLiteral("Cannot write the template \"%1\": it has no pages").arg(target));
        return false;
    }
    kx::PackageWrite write;
    if (!write.begin(target, error) ||
        !writeQuickLook(write.workPath() + QLatin1Char('/') + kQuickLookName, true, error) ||
        !saveDataToPath(write.workPath() + QLatin1Char('/') + kInfoName, error) || !write.commit(error))
        return false;
    QString name = target;
    if (const QString suffix = QFileInfo(target).suffix(); !suffix.isEmpty())
        name.chop(suffix.size() + 1);
    kx::NotificationCenter::defaultCenter().post(KXReloadAllTemplateData, this,
                                                 {{QStringLiteral("tempName"), kx::Value(name)}});
    return true;
}

// ---- loading ----

struct KXProject::Loaded {
    std::vector<std::shared_ptr<KXCanvas>> pages;
    std::shared_ptr<KXDocumentAttribute> docAttribute;
    QString packagePath;
    QStringList missingPhotos, missingCliparts, missingMasks;
};

namespace {

// Whether a page size from a file covers at least one pixel each way: a page without area can be neither
// shown nor drawn into its package's pictures.
bool hasArea(const kx::Size& pixels) {
    return std::isfinite(pixels.width) && std::isfinite(pixels.height) && pixels.width >= 1 && pixels.height >= 1;
}

void addOnce(QStringList& list, const QString& name) {
    if (!name.isEmpty() && !list.contains(name, Qt::CaseInsensitive))
        list.append(name);
}

QString withExtension(const QString& name, const QString& extension) {
    const QFileInfo info(name);
    return info.completeBaseName() + QLatin1Char('.') + extension;
}

}  // namespace

QString KXProject::imageInFolder(const QString& folder, const QStringList& wanted) {
    auto it = m_listingCache.find(folder);
    if (it == m_listingCache.end()) {
        QStringList files = imageFilesInFolder(folder);
        std::sort(files.begin(), files.end(),
                  [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
        it = m_listingCache.emplace(folder, std::move(files)).first;
    }
    for (const QString& w : wanted)
        for (const QString& file : it->second)
            if (QFileInfo(file).fileName().toLower() == w)
                return file;
    return {};
}

QString KXProject::imagePathWithName(const QString& name, const QString& category) {
    const QString n = safeFileName(name).toLower();
    if (n.isEmpty() || category.isEmpty() || category.contains(QLatin1Char('/')) || category.startsWith(QLatin1Char('.')))
        return {};
    QStringList wanted{n};
    if (QFileInfo(n).suffix() == QLatin1String("png"))
        wanted << withExtension(n, QStringLiteral("jpng"));
    // The application's resources first, then the installed content packs in listing order.
    if (const QString folder = resourceFolder(category); !folder.isEmpty())
        if (QString found = imageInFolder(folder, wanted); !found.isEmpty())
            return found;
    if (m_packs.isEmpty()) {
        const QString boxes = boxesFolder();
        m_packs = boxes.isEmpty() ? QStringList{QString()} : subfoldersInFolder(boxes, false);
        std::sort(m_packs.begin(), m_packs.end());
    }
    for (const QString& w : wanted)
        for (const QString& pack : m_packs)
            if (!pack.isEmpty())
                if (QString found = imageInFolder(pack + QLatin1Char('/') + category, {w}); !found.isEmpty())
                    return found;
    return {};
}

bool KXProject::loadProjectWithPath(const QString& path, QString* error) {
    registerDocumentClasses();
    // The photos read here decode their pictures when their page is first drawn, not while it is read.
    const KXPhoto::DeferredDecoding decodeWhenDrawn;
    if (path.isEmpty()) {
        setError(error, QStringLiteral("No file to open"));
        return false;
    }
    const QFileInfo info(path);
    QString archive, dataFolder, packagePath;
    bool isTemplate = false;
    bool repair = false;
    if (info.isDir()) {
        isTemplate = info.suffix().toLower() == QLatin1String("tpl");
        if (!isTemplate)
            packagePath = info.absoluteFilePath();
        archive = info.absoluteFilePath() + QLatin1Char('/') + kInfoName;
        dataFolder = info.absoluteFilePath() + QLatin1Char('/') + kDataName;
        repair = true;
        // An older package keeps a file of the XML project format below its "Contents" folder instead.
        if (!QFileInfo(archive).isSymLink() && !QFileInfo::exists(archive))
            return loadXMLProject(info.absoluteFilePath(), false, packagePath, error);
        // Files of a package are its own: a link inside it (to another package's archive, or to any file
        // on the machine) is not followed.
        if (!isLinkFreeInside(info.absoluteFilePath(), archive)) {
            setError(error, QStringLiteral("\"%1\" cannot be read: its \"%2\" is a symbolic link").arg(path, kInfoName));
            return false;
        }
        if (!isLinkFreeInside(info.absoluteFilePath(), dataFolder))
            dataFolder.clear();
    } else {
        // A template file of the XML format.
        if (info.suffix().toLower() == QLatin1String("tpl"))
            return loadXMLProject(info.absoluteFilePath(), true, QString(), error);
        archive = info.absoluteFilePath();
        const QFileInfo folder(info.absolutePath());
        isTemplate = folder.suffix().toLower() == QLatin1String("tpl");
        if (!isTemplate)
            packagePath = folder.absoluteFilePath();
        dataFolder = folder.absoluteFilePath() + QLatin1Char('/') + kDataName;
        repair = isTemplate;
    }

    QString why;
    const auto root = kx::KeyedUnarchiver::unarchiveObjectWithFile(archive, &why);
    if (!root || root->type() != kx::Value::Type::Dictionary) {
        setError(error, QStringLiteral("\"%1\" cannot be read: %2").arg(path, root ? QStringLiteral("not a project archive") : why));
        return false;
    }
    const kx::ValueDictionary& dictionary = root->toDictionary();
    Loaded loaded;
    loaded.packagePath = packagePath;
    if (const auto doc = dictionary.find(QStringLiteral("docData")); doc != dictionary.end() && !doc->second.isNil()) {
        loaded.docAttribute = doc->second.objectAs<KXDocumentAttribute>();
        if (!loaded.docAttribute) {
            setError(error, QStringLiteral("\"%1\" cannot be read: damaged document attributes").arg(path));
            return false;
        }
    }
    const auto canvases = dictionary.find(QStringLiteral("canvas"));
    if (canvases == dictionary.end() || canvases->second.type() != kx::Value::Type::Array ||
        canvases->second.toArray().empty()) {
        setError(error, QStringLiteral("\"%1\" cannot be read: it holds no pages").arg(path));
        return false;
    }
    std::set<const KXCanvas*> seen;
    for (const kx::Value& value : canvases->second.toArray()) {
        auto page = value.objectAs<KXCanvas>();
        if (!page || !seen.insert(page.get()).second || !hasArea(page->pixelSize())) {
            setError(error, QStringLiteral("\"%1\" cannot be read: damaged page").arg(path));
            return false;
        }
        loaded.pages.push_back(std::move(page));
    }

    for (const auto& page : loaded.pages)
        snapPageSize(*page);
    m_listingCache.clear();
    m_packs.clear();
    if (repair)
        for (const auto& page : loaded.pages)
            repairPage(*page, dataFolder, isTemplate, loaded);
    adoptLoaded(std::move(loaded));
    return true;
}

bool KXProject::loadXMLProject(const QString& path, bool templateFile, const QString& packagePath, QString* error) {
    const XMLProjectReader& reader = xmlReaderSlot();
    if (!reader) {
        setError(error, QStringLiteral("\"%1\" is in the XML project format, which cannot be read here").arg(path));
        return false;
    }
    m_listingCache.clear();
    m_packs.clear();
    XMLProjectContent content;
    const auto lookup = [this](const QString& name, const QString& category) { return imagePathWithName(name, category); };
    QString why;
    if (!reader(path, templateFile, lookup, &content, &why) || content.pages.empty() ||
        std::any_of(content.pages.begin(), content.pages.end(), [](const auto& page) { return !page; })) {
        setError(error, why.isEmpty() ? QStringLiteral("\"%1\" cannot be read: it holds no pages").arg(path) : why);
        return false;
    }
    Loaded loaded;
    loaded.pages = std::move(content.pages);
    loaded.packagePath = packagePath;
    for (const QString& name : content.missingPhotos)
        addOnce(loaded.missingPhotos, name);
    for (const QString& name : content.missingCliparts)
        addOnce(loaded.missingCliparts, name);
    for (const QString& name : content.missingMasks)
        addOnce(loaded.missingMasks, name);
    for (const auto& page : loaded.pages)
        page->undoManager().removeAllActions();
    adoptLoaded(std::move(loaded));
    return true;
}

void KXProject::snapPageSize(KXCanvas& page) {
    KXSize* size = page.pageSize();
    if (!size)
        return;
    const KXPageSizeManager& catalogue = KXPageSizeManager::pageSizeManager();
    const std::int64_t index = catalogue.indexOfsize(size, true);
    const std::shared_ptr<KXSize> entry = index == KXSizeNotFound ? nullptr : catalogue.sizeAtIndex(index);
    if (!entry)
        return;
    const kx::Size before = size->sizeWithUnit(KXSizeUnitPixel);
    size->setSize(entry.get());  // in place: the page's objects keep their relative rectangles
    const kx::Size after = size->sizeWithUnit(KXSizeUnitPixel);
    if (after == before)
        return;
    // The margins keep their origin and their distances to the right and bottom edges.
    const kx::Rect m = page.marginRect();
    page.setMarginRect({m.origin,
                        {after.width - (before.width - (m.origin.x + m.size.width)) - m.origin.x,
                         after.height - (before.height - (m.origin.y + m.size.height)) - m.origin.y}});
}

void KXProject::repairPage(KXCanvas& page, const QString& dataFolder, bool isTemplate, Loaded& loaded) {
    repairImages(page, dataFolder, isTemplate, loaded);
    page.undoManager().removeAllActions();
}

void KXProject::repairImages(KXCanvas& page, const QString& dataFolder, bool isTemplate, Loaded& loaded) {
    kx::UndoDisabler noUndo(page.undoManager());
    for (KXBackground* fill : fillsOfPage(page)) {
        if (fill->fillType() != KXFillTypeColor && fill->fillType() != KXFillTypeImage) {
            if (const QString found = packageImage(fill->customImagePath(), dataFolder); !found.isEmpty())
                fill->setCustomImagePath(found);
        } else if (fill->fillType() == KXFillTypeImage) {
            if (!fill->imagePath().isEmpty() && !isFileAt(fill->imagePath())) {
                if (const QString found = imagePathWithName(fill->imagePath(), QStringLiteral("Background"));
                    !found.isEmpty())
                    fill->setImagePath(found);
                else
                    addOnce(loaded.missingCliparts, safeFileName(fill->imagePath()));  // listed with the resources
            }
            // Resource backgrounds say by their folder's name how they fill the page.
            if (fill->imageType() == 2) {
                const QString folder = QFileInfo(QFileInfo(fill->imagePath()).absolutePath()).fileName().toLower();
                if (folder == QLatin1String("tile"))
                    fill->setImageType(0);
                else if (folder == QLatin1String("stretch"))
                    fill->setImageType(1);
            }
        }
    }
    for (const auto& graph : page.graphs())
        for (KXPhoto* photo : photosOfGraph(graph.get()))
            checkPhoto(*photo, dataFolder, isTemplate, loaded);
}

QString KXProject::packageImage(const QString& stored, const QString& dataFolder) {
    const QString name = safeFileName(stored);
    if (name.isEmpty() || dataFolder.isEmpty())
        return {};
    const QString own = dataFolder + QLatin1Char('/') + name;
    if (!isRegularFile(own) || canonical(stored) == canonical(own))
        return {};
    // A path into some package's "Data" (the package this one was copied from, say) is read from this
    // package's own copy; any other path that still exists keeps pointing where it does.
    if (isInPackageData(stored) || !isFileAt(stored))
        return own;
    return {};
}

bool KXProject::isMovedClipart(const QString& stored) {
    // Clip-art of an installation of the application that moved or is gone: <resources>/Clipart/<category>/<file>.
    if (stored.isEmpty() || isFileAt(stored))
        return false;
    const QFileInfo category(QFileInfo(stored).path());
    return QFileInfo(category.path()).fileName().compare(QLatin1String("Clipart"), Qt::CaseInsensitive) == 0 &&
           !safeFileName(category.filePath()).isEmpty();
}

QString KXProject::clipartPath(const QString& stored) {
    // The category is the name of the folder that held the image.
    const QString category = safeFileName(QFileInfo(stored).path());
    const QString name = safeFileName(stored);
    if (name.isEmpty())
        return {};
    QStringList names{name};
    if (QFileInfo(name).suffix().toLower() == QLatin1String("png"))
        names << withExtension(name, QStringLiteral("jpng"));
    // A file by that name in one folder; the case of its name does not matter.
    const auto inFolder = [](const QString& folder, const QString& file) -> QString {
        if (folder.isEmpty())
            return {};
        const QString exact = folder + QLatin1Char('/') + file;
        if (isFileAt(exact))
            return exact;
        const QString found = findFileInFolder(file, folder, false);
        return isFileAt(found) ? found : QString();
    };
    if (const QString clipart = resourceFolder(QStringLiteral("Clipart")); !clipart.isEmpty() && !category.isEmpty())
        for (const QString& n : names)
            if (QString found = inFolder(clipart + QLatin1Char('/') + category, n); !found.isEmpty())
                return found;
    if (QString found = inFolder(customClipartFolder(), name); !found.isEmpty())
        return found;
    // The content pack of the category's name.
    if (const QString boxes = boxesFolder(); !boxes.isEmpty() && !category.isEmpty())
        for (const QString& n : names) {
            const QString found = findFileInFolder(
                n, boxes + QLatin1Char('/') + category + QStringLiteral("/Clipart/") + category, true);
            if (isFileAt(found))
                return found;
        }
    return {};
}

void KXProject::checkPhoto(KXPhoto& photo, const QString& dataFolder, bool isTemplate, Loaded& loaded) {
    const QString stored = photo.imagePath();
    if (stored.isEmpty())
        return;
    if (photo.isClipart() || isMovedClipart(stored)) {
        // A clip-art found nowhere keeps its object and its stored path, and is listed.
        if (!isFileAt(stored)) {
            if (const QString found = clipartPath(stored); !found.isEmpty())
                photo.setImagePath(found);
            else
                addOnce(loaded.missingCliparts, safeFileName(stored));
        }
    } else if (isTemplate) {
        photo.setImagePath(QString());  // a template's photo frames open empty
    } else if (const QString found = packageImage(stored, dataFolder); !found.isEmpty()) {
        photo.setImagePath(found);
    } else if (!isFileAt(stored)) {
        addOnce(loaded.missingPhotos, safeFileName(stored));
    }

    // A single-image frame whose image is gone is found again by name. Expandable frames are named by
    // their folder and found again when the photo is decoded.
    if (const auto& frame = photo.frame(); frame && frame->style() == 1 && !frame->name().isEmpty() &&
                                           !isFileAt(frame->name())) {
        const QString name = withExtension(safeFileName(frame->name()), QStringLiteral("png"));
        if (const QString found = imagePathWithName(name, QStringLiteral("Frame")); !found.isEmpty()) {
            auto repaired = KXFrame::frameWithName(found);
            repaired->setScale(frame->scale());
            photo.setFrame(std::move(repaired));
        } else {
            addOnce(loaded.missingCliparts, name);  // listed with the resources
        }
    }

    const QString mask = photo.maskName();
    if (!mask.isEmpty() && !isFileAt(mask)) {
        const QString m = withExtension(safeFileName(mask), QStringLiteral("jpg"));
        QString found = imagePathWithName(m, QStringLiteral("Mask"));
        if (found.isEmpty())
            if (const QString custom = customMaskFolder(); !custom.isEmpty() && isFileAt(custom + QLatin1Char('/') + m))
                found = custom + QLatin1Char('/') + m;
        if (!found.isEmpty())
            photo.setMaskName(found);
        else
            addOnce(loaded.missingMasks, m);  // the mask keeps its stored name
    }
}

void KXProject::adoptLoaded(Loaded&& loaded) {
    removeAllCanvasLayers();
    for (auto& page : loaded.pages)
        createNewLayerWithCanvas(std::move(page));
    if (loaded.docAttribute)
        m_docAttribute = std::move(loaded.docAttribute);
    if (!loaded.packagePath.isEmpty())
        m_path = loaded.packagePath;
    m_missingPhotos = std::move(loaded.missingPhotos);
    m_missingCliparts = std::move(loaded.missingCliparts);
    m_missingMasks = std::move(loaded.missingMasks);
}

void KXProject::showMissingFilesInWindow(QWidget* window) {
    if (m_missingPhotos.isEmpty() && m_missingCliparts.isEmpty() && m_missingMasks.isEmpty())
        return;
    if (!m_missingWC) {
        if (!sheetFactorySlot())
            return;
        m_missingWC = sheetFactorySlot()();
        if (!m_missingWC)
            return;
    }
    m_missingWC->showInWindow(window, m_missingPhotos, m_missingCliparts, m_missingMasks);
}
