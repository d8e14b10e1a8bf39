#include "document/document_base.h"

#include "document/document_save_panel.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/undo_manager.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QUuid>

#include <algorithm>
#include <filesystem>
#include <limits>

namespace kx {

namespace {

QString comparablePath(const QString& path) {
    if (path.isEmpty())
        return {};
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
    // A file that does not exist yet: its folder may still exist and be reached through links.
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    if (!folder.isEmpty())
        return QDir::cleanPath(folder + QLatin1Char('/') + info.fileName());
    return QDir::cleanPath(info.absoluteFilePath());
}

}  // namespace

bool isSameFile(const QString& a, const QString& b) {
    const QString ca = comparablePath(a);
    return !ca.isEmpty() && ca == comparablePath(b);
}

// ---- Document ----

Document::Document() = default;

Document::~Document() = default;

void Document::setFileURL(const QString& path) {
    m_fileURL = path.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

QString Document::displayName() const {
    if (m_fileURL.isEmpty())
        return Bundle::main().localizedString(QStringLiteral("Untitled"));
    return QFileInfo(m_fileURL).completeBaseName();
}

void Document::updateChangeCount(DocumentChangeType change) {
    switch (change) {
    case ChangeDone:
    case ChangeRedone:
        ++m_changeCount;
        break;
    case ChangeUndone:
        --m_changeCount;
        break;
    case ChangeCleared:
        // The content is what the document's file holds (just saved, or just opened in place of what was
        // shown): nothing new to write, so an autosave still pending for older edits must not run.
        m_changeCount = 0;
        m_writtenGeneration = m_changeGeneration;
        return;
    case ChangeAutosaved:
        return;
    }
    ++m_changeGeneration;
    changeArrived();
}

bool Document::hasUnautosavedChanges() const {
    return m_changeGeneration != m_writtenGeneration;
}

void Document::changeArrived() {
    if (hasUnautosavedChanges() && !m_closed)
        DocumentController::shared().scheduleAutosave(*this);
}

void Document::setUndoManager(UndoManager* undoManager) {
    if (m_undoManager == undoManager)
        return;
    for (NotificationToken& token : m_undoTokens)
        token.reset();
    m_undoManager = undoManager;
    if (!undoManager)
        return;
    NotificationCenter& center = NotificationCenter::defaultCenter();
    // Only a step that the user made counts: the groups that undo and redo close belong to their own kinds,
    // and a group that closes empty recorded nothing.
    m_undoTokens[0] = center.addObserver(UndoManagerDidCloseUndoGroupNotification, undoManager, [this](const Notification&) {
        if (m_undoManager && m_undoManager->groupingLevel() == 0 && !m_undoManager->isUndoing() &&
            !m_undoManager->isRedoing() && m_undoManager->lastClosedGroupWasKept())
            updateChangeCount(ChangeDone);
    });
    m_undoTokens[1] = center.addObserver(UndoManagerDidUndoChangeNotification, undoManager,
                                         [this](const Notification&) { updateChangeCount(ChangeUndone); });
    m_undoTokens[2] = center.addObserver(UndoManagerDidRedoChangeNotification, undoManager,
                                         [this](const Notification&) { updateChangeCount(ChangeRedone); });
}

void Document::addWindowController(std::shared_ptr<WindowController> controller) {
    if (controller && std::find(m_windowControllers.begin(), m_windowControllers.end(), controller) == m_windowControllers.end())
        m_windowControllers.push_back(std::move(controller));
}

void Document::showWindows() {
    for (const auto& controller : m_windowControllers)
        controller->showWindow();
}

bool Document::saveToURL(const QString& path, SaveOperationType operation, QString* error) {
    if (path.isEmpty()) {
        if (error)
            *error = QStringLiteral("No file to save to");
        return false;
    }
    if (m_saving) {
        if (error)
            *error = QStringLiteral("The document is being saved already");
        return false;
    }
    const auto self = weak_from_this().lock();  // a save may close windows; the document lives to its end
    const std::uint64_t generation = m_changeGeneration;
    m_saving = true;
    m_saveOperation = operation;
    bool ok;
    {
        DocumentActivity activity(*this);
        ok = writeSafelyToURL(QFileInfo(path).absoluteFilePath(), m_fileType, operation, error);
    }
    m_saving = false;
    if (!ok) {
        // A failed save always says so, even when the writer gave no reason.
        if (error && error->isEmpty())
            *error = Bundle::main().localizedString(QStringLiteral("SaveFailedNoReason"));
        return false;
    }
    switch (operation) {
    case SaveOperation:
    case SaveAsOperation:
        // The document's own file holds everything now; an autosaved copy of an untitled document is spent.
        if (!m_autosavedContentsFileURL.isEmpty() && !isSameFile(m_autosavedContentsFileURL, path) &&
            m_autosavedContentsFileURL.startsWith(DocumentController::shared().autosaveFolder() + QLatin1Char('/'))) {
            std::error_code ec;
            std::filesystem::remove_all(std::filesystem::path(QFile::encodeName(m_autosavedContentsFileURL).toStdString()), ec);
        }
        m_autosavedContentsFileURL.clear();
        setFileURL(path);
        break;
    case AutosaveInPlaceOperation:
        setFileURL(path);
        break;
    case AutosaveElsewhereOperation:
        m_autosavedContentsFileURL = QFileInfo(path).absoluteFilePath();
        break;
    default:
        break;
    }
    if (operation != SaveToOperation && operation != AutosaveAsVersionOperation)
        m_writtenGeneration = generation;
    if (isAutosave(operation))
        updateChangeCount(ChangeAutosaved);
    return true;
}

bool Document::saveDocument(QString* error) {
    if (m_fileURL.isEmpty())
        return saveDocumentAs(error);
    return saveToURL(m_fileURL, SaveOperation, error);
}

bool Document::saveDocumentAs(QString* error) {
    const QString path = DocumentController::shared().runSavePanel(*this);
    if (path.isEmpty())
        return false;
    return saveToURL(path, SaveAsOperation, error);
}

bool Document::saveDocumentPresentingError(bool saveAs) {
    const auto self = weak_from_this().lock();  // the alert runs an event loop
    QString error;
    if (saveAs ? saveDocumentAs(&error) : saveDocument(&error))
        return true;
    // An empty error is a save panel that was cancelled.
    if (!error.isEmpty())
        DocumentController::shared().presentError(
            Bundle::main().localizedString(QStringLiteral("SaveFailed")).arg(displayName()), error);
    return false;
}

bool Document::canCloseDocument() {
    if (m_closed || !isDocumentEdited())
        return true;
    const auto self = weak_from_this().lock();
    switch (DocumentController::shared().askToSaveChanges(*this)) {
    case DocumentController::SaveChangesAnswer::Save:
        return saveDocumentPresentingError() && !isDocumentEdited();
    case DocumentController::SaveChangesAnswer::DontSave:
        return true;
    case DocumentController::SaveChangesAnswer::Cancel:
        break;
    }
    return false;
}

bool Document::autosave(QString* error) {
    m_autosaveDue = -1;
    if (m_closed || !hasUnautosavedChanges() || !autosavesInPlace() ||
        DocumentController::shared().autosavingDelay() <= 0)
        return false;
    if (isBusy()) {
        m_autosaveWaiting = true;  // runs when the activity ends
        return false;
    }
    m_autosaveWaiting = false;
    if (!m_fileURL.isEmpty())
        return saveToURL(m_fileURL, AutosaveInPlaceOperation, error);
    QString target = m_autosavedContentsFileURL;
    if (target.isEmpty())
        target = DocumentController::shared().newAutosavePath(*this);
    return saveToURL(target, AutosaveElsewhereOperation, error);
}

void Document::beginActivity() {
    ++m_activityCount;
}

void Document::endActivity() {
    if (m_activityCount == 0)
        return;
    if (--m_activityCount == 0 && m_autosaveWaiting && !m_closed) {
        // The autosave that waited runs on the next turn of the event loop, outside the ending activity.
        m_autosaveWaiting = false;
        m_autosaveDue = DocumentController::shared().now().count();
        DocumentController::shared().armTimer();
    }
}

std::shared_ptr<Document> Document::duplicateAndReturnError(QString* error) {
    std::shared_ptr<Document> copy = makeDocumentOfSameClass();
    if (!copy) {
        if (error)
            *error = QStringLiteral("This document cannot be duplicated");
        return nullptr;
    }
    const QString target = DocumentController::shared().newAutosavePath(*this);
    const QString keptAutosave = m_autosavedContentsFileURL;
    const std::uint64_t keptWritten = m_writtenGeneration;
    if (!saveToURL(target, AutosaveElsewhereOperation, error))
        return nullptr;
    // The copy written for the duplicate is not this document's autosave.
    m_autosavedContentsFileURL = keptAutosave;
    m_writtenGeneration = keptWritten;
    if (!copy->readFromURL(target, m_fileType, error))
        return nullptr;
    copy->setFileType(m_fileType);
    copy->setAutosavedContentsFileURL(target);
    copy->updateChangeCount(ChangeDone);
    return copy;
}

void Document::close() {
    if (m_closed)
        return;
    m_closed = true;
    m_autosaveDue = -1;
    const auto self = weak_from_this().lock();
    setUndoManager(nullptr);
    const auto controllers = std::move(m_windowControllers);
    m_windowControllers.clear();
    for (const auto& controller : controllers)
        controller->close();
    if (m_fileURL.isEmpty() && !m_autosavedContentsFileURL.isEmpty() &&
        m_autosavedContentsFileURL.startsWith(DocumentController::shared().autosaveFolder() + QLatin1Char('/'))) {
        std::error_code ec;
        std::filesystem::remove_all(std::filesystem::path(QFile::encodeName(m_autosavedContentsFileURL).toStdString()), ec);
    }
    DocumentController::shared().removeDocument(this);
}

// ---- DocumentController ----

DocumentController::DocumentController() {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &DocumentController::autosaveDueDocuments);
}

DocumentController::~DocumentController() = default;

DocumentController& DocumentController::shared() {
    static DocumentController* controller = new DocumentController;  // lives as long as the process
    return *controller;
}

void DocumentController::addDocument(std::shared_ptr<Document> document) {
    if (!document || std::find(m_documents.begin(), m_documents.end(), document) != m_documents.end())
        return;
    m_documents.push_back(std::move(document));
    if (m_documents.back()->hasUnautosavedChanges())
        scheduleAutosave(*m_documents.back());
}

void DocumentController::removeDocument(Document* document) {
    const auto it = std::find_if(m_documents.begin(), m_documents.end(), [&](const auto& d) { return d.get() == document; });
    if (it == m_documents.end())
        return;
    const std::shared_ptr<Document> kept = *it;  // destroyed after the list is consistent again
    m_documents.erase(it);
    armTimer();
}

std::shared_ptr<Document> DocumentController::documentForURL(const QString& path) const {
    for (const auto& document : m_documents)
        if (isSameFile(document->fileURL(), path))
            return document;
    return nullptr;
}

std::shared_ptr<Document> DocumentController::openDocumentWithContentsOfURL(const QString& path, QString* error) {
    if (auto open = documentForURL(path)) {
        open->showWindows();
        return open;
    }
    std::shared_ptr<Document> document = m_factory ? m_factory() : nullptr;
    if (!document) {
        if (error)
            *error = QStringLiteral("No document can open \"%1\"").arg(path);
        return nullptr;
    }
    if (!document->readFromURL(QDir::cleanPath(QFileInfo(path).absoluteFilePath()), {}, error))
        return nullptr;
    if (!document->isStartedFromTemplate())
        document->setFileURL(path);
    addDocument(document);
    document->makeWindowControllers();
    return document;
}

void DocumentController::setAutosavingDelay(double seconds) {
    m_autosavingDelay = seconds > 0 ? seconds : 0;
    for (const auto& document : m_documents) {
        document->m_autosaveDue = -1;
        if (document->hasUnautosavedChanges())
            scheduleAutosave(*document);
    }
    armTimer();
}

void DocumentController::setClock(Clock clock) {
    m_clock = std::move(clock);
    clockDidChange();
}

std::chrono::milliseconds DocumentController::now() const {
    if (m_clock)
        return m_clock();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
}

void DocumentController::clockDidChange() {
    armTimer();
}

void DocumentController::scheduleAutosave(Document& document) {
    if (m_autosavingDelay <= 0 || document.m_autosaveDue >= 0)
        return;
    document.m_autosaveDue = now().count() + std::int64_t(m_autosavingDelay * 1000);
    armTimer();
}

void DocumentController::armTimer() {
    std::int64_t earliest = std::numeric_limits<std::int64_t>::max();
    for (const auto& document : m_documents)
        if (document->m_autosaveDue >= 0)
            earliest = std::min(earliest, document->m_autosaveDue);
    if (earliest == std::numeric_limits<std::int64_t>::max()) {
        m_timer.stop();
        return;
    }
    const std::int64_t wait = std::max<std::int64_t>(0, earliest - now().count());
    m_timer.start(int(std::min<std::int64_t>(wait, std::numeric_limits<int>::max())));
}

void DocumentController::autosaveDueDocuments() {
    const std::int64_t current = now().count();
    const auto documents = m_documents;  // an autosave may close other documents
    for (const auto& document : documents)
        if (document->m_autosaveDue >= 0 && document->m_autosaveDue <= current && !document->isClosed()) {
            QString error;
            if (!document->autosave(&error) && !error.isEmpty())
                qWarning("Autosave of \"%s\" failed: %s", qPrintable(document->displayName()), qPrintable(error));
            // A failed autosave is tried again after another delay while the changes are still unautosaved.
            if (!document->m_autosaveWaiting && document->hasUnautosavedChanges())
                scheduleAutosave(*document);
        }
    armTimer();
}

QString DocumentController::autosaveFolder() const {
    if (!m_autosaveFolder.isEmpty())
        return m_autosaveFolder;
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/Autosave Information");
}

QString DocumentController::newAutosavePath(const Document& document) const {
    const QString folder = autosaveFolder();
    QDir().mkpath(folder);
    QString extension = QFileInfo(document.fileURL()).suffix();
    if (extension.isEmpty())
        extension = document.fileType();
    QString name = document.displayName();
    name.replace(QLatin1Char('/'), QLatin1Char('-'));
    return folder + QLatin1Char('/') + name + QLatin1Char(' ') + QUuid::createUuid().toString(QUuid::WithoutBraces) +
           (extension.isEmpty() ? QString() : QLatin1Char('.') + extension);
}

bool DocumentController::askToCloseEditedDocument(Document& document) {
    if (m_closeQuestion)
        return m_closeQuestion(document);
    const Bundle& bundle = Bundle::main();
    QMessageBox box(QMessageBox::Warning, document.displayName(),
                    bundle.localizedString(QStringLiteral("CloseEditedDocument")));
    box.setInformativeText(bundle.localizedString(QStringLiteral("CloseEditedDocumentTip")));
    QPushButton* replace = box.addButton(bundle.localizedString(QStringLiteral("Replace")), QMessageBox::DestructiveRole);
    box.addButton(bundle.localizedString(QStringLiteral("Cancel")), QMessageBox::RejectRole);
    box.exec();
    return box.clickedButton() == static_cast<QAbstractButton*>(replace);
}

DocumentController::SaveChangesAnswer DocumentController::askToSaveChanges(Document& document) {
    if (m_saveChangesQuestion)
        return m_saveChangesQuestion(document);
    const Bundle& bundle = Bundle::main();
    QMessageBox box(QMessageBox::Warning, bundle.infoValue(QStringLiteral("CFBundleName")).toString(),
                    bundle.localizedString(QStringLiteral("SaveChangesQuestion")).arg(document.displayName()),
                    QMessageBox::NoButton, QApplication::activeWindow());
    box.setInformativeText(bundle.localizedString(QStringLiteral("SaveChangesTip")));
    QPushButton* save = box.addButton(bundle.localizedString(QStringLiteral("Save")), QMessageBox::AcceptRole);
    QPushButton* dontSave = box.addButton(bundle.localizedString(QStringLiteral("DontSave")), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(bundle.localizedString(QStringLiteral("Cancel")), QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == static_cast<QAbstractButton*>(save))
        return SaveChangesAnswer::Save;
    if (box.clickedButton() == static_cast<QAbstractButton*>(dontSave))
        return SaveChangesAnswer::DontSave;
    return SaveChangesAnswer::Cancel;
}

void DocumentController::presentError(const QString& message, const QString& informative) {
    if (m_errorPresenter) {
        m_errorPresenter(message, informative);
        return;
    }
    QMessageBox box(QMessageBox::Warning, Bundle::main().infoValue(QStringLiteral("CFBundleName")).toString(), message,
                    QMessageBox::Ok, QApplication::activeWindow());
    box.setInformativeText(informative);
    box.exec();
}

std::unique_ptr<SavePanel> DocumentController::makeSavePanel(Document& document) {
    auto panel = std::make_unique<SavePanel>(QApplication::activeWindow());
    panel->setDefaultSuffix(document.fileType());
    // Beside the document's file; an untitled document starts in the user's documents folder.
    QString folder = document.fileURL().isEmpty() ? QString() : QFileInfo(document.fileURL()).absolutePath();
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (folder.isEmpty() || !QFileInfo(folder).isDir())
            folder = QDir::homePath();
    }
    panel->setDirectory(folder);
    panel->selectFile(document.displayName());
    if (!document.prepareSavePanel(panel.get()))
        return nullptr;
    return panel;
}

QString DocumentController::runSavePanel(Document& document) {
    if (m_savePanel)
        return m_savePanel(document);
    const std::unique_ptr<SavePanel> panel = makeSavePanel(document);
    if (!panel || panel->exec() != QDialog::Accepted)
        return {};
    return panel->chosenPath();
}

}  // namespace kx
