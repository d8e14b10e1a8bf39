#include "document/document.h"

#include "document/document_save_panel.h"
#include "model/background.h"
#include "model/canvas.h"
#include "model/graph.h"
#include "model/photo.h"
#include "model/shape.h"
#include "output/progress_sheet.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/undo_manager.h"
#include "platform/foundation/user_defaults.h"

#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <vector>

static_assert(int(kx::SaveOperation) == int(KXSaveOperationSave) && int(kx::SaveAsOperation) == int(KXSaveOperationSaveAs) &&
              int(kx::SaveToOperation) == int(KXSaveOperationSaveTo) &&
              int(kx::AutosaveElsewhereOperation) == int(KXSaveOperationAutosaveElsewhere) &&
              int(kx::AutosaveInPlaceOperation) == int(KXSaveOperationAutosaveInPlace) &&
              int(kx::AutosaveAsVersionOperation) == int(KXSaveOperationAutosaveAsVersion));

namespace {

KXMainWindowController::Factory& factorySlot() {
    static KXMainWindowController::Factory factory;
    return factory;
}

KXApplicationDelegate*& delegateSlot() {
    static KXApplicationDelegate* delegate = nullptr;
    return delegate;
}

const QString kTemplateType = QStringLiteral("vrtpkg");

// One image path of the model, with how to set it.
struct ImagePath {
    std::function<void(const QString&)> set;
    std::function<QString()> get;
    QString kept;
};

void collectGraph(KXGraph& graph, std::vector<ImagePath>& paths) {
    if (KXBackground* fill = graph.background())
        paths.push_back({[fill](const QString& p) { fill->setCustomImagePath(p); },
                         [fill] { return fill->customImagePath(); }, fill->customImagePath()});
    if (auto* shape = dynamic_cast<KXShape*>(&graph))
        if (KXPhoto* photo = shape->photo())
            paths.push_back({[photo](const QString& p) { photo->setImagePath(p); }, [photo] { return photo->imagePath(); },
                             photo->imagePath()});
    for (const auto& child : graph.graphs())
        if (child && child.get() != &graph)
            collectGraph(*child, paths);
}

// Every image path a package save may re-point: photos and fills at any depth, and the page backgrounds.
std::vector<ImagePath> imagePathsOf(KXProject& project) {
    std::vector<ImagePath> paths;
    for (std::int64_t i = 0; i < project.canvasCount(); ++i) {
        KXCanvas& page = *project.canvasAtIndex(i);
        if (KXBackground* fill = page.background())
            paths.push_back({[fill](const QString& p) { fill->setCustomImagePath(p); },
                             [fill] { return fill->customImagePath(); }, fill->customImagePath()});
        for (const auto& graph : page.graphs())
            collectGraph(*graph, paths);
    }
    return paths;
}

}  // namespace

// ---- services ----

void KXMainWindowController::setFactory(Factory factory) {
    factorySlot() = std::move(factory);
}

std::shared_ptr<KXMainWindowController> KXMainWindowController::init() {
    return factorySlot() ? factorySlot()() : nullptr;
}

void KXApplicationDelegate::setShared(KXApplicationDelegate* delegate) {
    delegateSlot() = delegate;
}

KXApplicationDelegate* KXApplicationDelegate::shared() {
    return delegateSlot();
}

bool saveProjectForOperation(KXProject& project, const QString& path, KXSaveOperation operation, QString* error) {
    // Re-pointing images into the package is part of writing it, not an edit of the pages.
    std::vector<std::unique_ptr<kx::UndoDisabler>> noUndo;
    for (std::int64_t i = 0; i < project.canvasCount(); ++i)
        noUndo.push_back(std::make_unique<kx::UndoDisabler>(project.canvasAtIndex(i)->undoManager()));
    const bool writesCopy = operation == KXSaveOperationSaveTo || operation == KXSaveOperationAutosaveElsewhere ||
                            operation == KXSaveOperationAutosaveAsVersion;
    if (!writesCopy)
        return project.saveAsProjectToPath(path, operation, error);
    const QString keptPath = project.path();
    std::vector<ImagePath> images = imagePathsOf(project);
    const bool ok = project.saveAsProjectToPath(path, operation, error);
    project.setPath(keptPath);
    for (ImagePath& image : images)
        if (image.get() != image.kept)
            image.set(image.kept);
    return ok;
}

// ---- KXDocument ----

KXDocument::KXDocument() {
    setFileType(QStringLiteral("vrtp3"));
}

KXDocument::~KXDocument() {
    m_projPath.clear();
    m_templatePath.clear();
    m_pageIndex = 0;
    m_mainWC.reset();
}

void KXDocument::registerDefaults() {
    kx::UserDefaults::standard().registerDefaults({{KXDisableAutoSave, kx::Value(false)}});
}

const QStringList& KXDocument::readableTypes() {
    static const QStringList types{QStringLiteral("vrtp3"), QStringLiteral("vrtplite3"), kTemplateType,
                                   QStringLiteral("vrtplite"), QStringLiteral("vrtp")};
    return types;
}

bool KXDocument::autosavesInPlaceSetting() {
    return !kx::UserDefaults::standard().boolValue(KXDisableAutoSave);
}

bool KXDocument::readFromURL(const QString& given, const QString&, QString*) {
    // A package is a folder: "P.vrtp3/" names the same package as "P.vrtp3".
    const QString path = given.size() > 1 && given.endsWith(QLatin1Char('/')) ? QDir::cleanPath(given) : given;
    const QString extension = QFileInfo(path).suffix().toLower();
    if (!readableTypes().contains(extension))
        return false;
    if (extension == kTemplateType)
        m_templatePath = path;
    else
        m_projPath = path;
    setFileType(extension);
    return true;
}

void KXDocument::makeWindowControllers() {
    loadMainWindowController();
}

void KXDocument::loadMainWindowController() {
    showLoadingWindow();
    const std::weak_ptr<kx::Document> weak = weak_from_this();
    QTimer::singleShot(100, &m_context, [this, weak] {
        if (!weak.expired() && !isClosed())
            _loadMainWindow();
    });
}

void KXDocument::showLoadingWindow() {
    if (m_projPath.isNull() && m_templatePath.isNull())
        return;
    if (!m_pbCtl) {
        m_pbCtl = std::make_unique<KXProgressBarController>();
        m_pbCtl->loadWindow();
    }
    m_pbCtl->setIndeterminate(true);
    m_pbCtl->setIsCancelled(false);
    m_pbCtl->setCanCancel(false);
    m_pbCtl->setTip(kx::Bundle::main().localizedString(QStringLiteral("Opening...")));
    QDialog* window = m_pbCtl->window();
    window->show();
    window->raise();
    window->activateWindow();
}

void KXDocument::_loadMainWindow() {
    m_mainWC = KXMainWindowController::init();
    if (!m_mainWC)
        return;
    const std::weak_ptr<kx::Document> weak = weak_from_this();
    m_mainWC->initWindowWidthDocument(this, [this, weak] {
        if (weak.expired())
            return;
        if (m_pbCtl) {
            m_pbCtl->window()->hide();
            m_pbCtl.reset();
        }
        addWindowController(m_mainWC);
        if (m_projPath.isNull() && m_templatePath.isNull())
            m_mainWC->showTemplates(true);
        else
            m_mainWC->showWindow();
    });
}

bool KXDocument::writeSafelyToURL(const QString& path, const QString&, kx::SaveOperationType operation,
                                  QString* error) {
    const auto self = weak_from_this().lock();
    // Another window on the same file would go on showing what is no longer there: it closes. One with
    // unsaved changes closes only when the user agrees (an autosave never asks; it gives way instead).
    kx::DocumentController& controller = kx::DocumentController::shared();
    const auto documents = controller.documents();
    for (const auto& other : documents) {
        if (other.get() == this || other->isClosed() || !kx::isSameFile(other->fileURL(), path))
            continue;
        if (other->isDocumentEdited() && (kx::isAutosave(operation) || !controller.askToCloseEditedDocument(*other))) {
            if (error)
                *error = QStringLiteral("\"%1\" is open with unsaved changes in another window").arg(path);
            return false;
        }
        other->close();
    }
    const auto& controllers = windowControllers();
    auto* main = controllers.empty() ? nullptr : dynamic_cast<KXMainWindowController*>(controllers.front().get());
    if (!main)
        return false;
    return main->saveProjectToPath(path, KXSaveOperation(operation), error);
}

void KXDocument::updateChangeCount(kx::DocumentChangeType change) {
    if (change == kx::ChangeAutosaved)
        return;
    // A save to, or an autosave, writes a copy: the document's own file still lacks the changes, so the
    // count that asks the user to save before closing stays.
    kx::SaveOperationType running;
    if (change == kx::ChangeCleared && isSaving(&running) && running != kx::SaveOperation && running != kx::SaveAsOperation)
        return;
    kx::Document::updateChangeCount(change);
    if (change != kx::ChangeCleared)
        kx::NotificationCenter::defaultCenter().post(KXDocumentChanged, this);
}

bool KXDocument::prepareSavePanel(kx::SavePanel* panel) {
    if (!panel)
        return true;
    QStringList projectTypes = readableTypes();
    projectTypes.removeAll(kTemplateType);
    QStringList patterns;
    for (const QString& type : projectTypes)
        patterns << QStringLiteral("*.") + type;
    panel->setNameFilter(QStringLiteral("%1 (%2)").arg(kx::Bundle::main().localizedString(QStringLiteral("ProjectFileType")),
                                                      patterns.join(QLatin1Char(' '))));
    panel->setDefaultSuffix(projectTypes.contains(fileType()) ? fileType() : projectTypes.front());
    panel->setPackageExtensions(readableTypes());
    const KXApplicationDelegate* delegate = KXApplicationDelegate::shared();
    const QString container = delegate ? delegate->ubiquityContainer() : QString();
    if (!container.isEmpty())
        panel->setDirectory(QDir(container).filePath(QStringLiteral("Documents")));
    return true;
}

void KXDocument::duplicateDocument() {
    QString error;
    std::shared_ptr<kx::Document> copy = duplicateAndReturnError(&error);
    kx::DocumentController& controller = kx::DocumentController::shared();
    if (!copy) {
        controller.presentError(error.isEmpty() ? kx::Bundle::main().localizedString(QStringLiteral("DuplicateFailed")) : error);
        return;
    }
    controller.addDocument(copy);
    copy->makeWindowControllers();
}

void KXDocument::close() {
    if (m_pbCtl) {
        m_pbCtl->window()->hide();
        m_pbCtl.reset();
    }
    kx::Document::close();
}

std::shared_ptr<kx::Document> KXDocument::makeDocumentOfSameClass() const {
    return std::make_shared<KXDocument>();
}
