// A small document framework: open documents, their change count, the kinds of save, autosave and duplicate.
//
// A document knows the file it belongs to (a local path), counts its unsaved changes and follows an undo
// manager whose steps count as changes. Every save goes through one road, saveToURL(), which marks the
// document busy while it runs and hands the writing to writeSafelyToURL(), implemented by the document class.
//
// Autosave: after the first change that has not been autosaved, the document controller autosaves the
// document once the autosaving delay has passed (300 seconds in the application; 0 turns autosave off). A
// document with a file autosaves in place (into its own file); an untitled one autosaves elsewhere, into the
// autosave folder. An autosave never runs while the document is busy (a save, or a render marked with
// DocumentActivity): it waits until the document is idle again. Time comes from a clock that tests may set.
//
// Open documents are told apart by their files: two paths name the same file exactly when their canonical
// forms are equal (letter case counts, as it does on Linux file systems).
//
// Main thread only.
#pragma once

#include "platform/foundation/notification_center.h"

#include <QObject>

#include <QString>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace kx {

class DocumentController;
class SavePanel;
class UndoManager;

// What happened to a document's content.
enum DocumentChangeType : int {
    ChangeDone = 0,
    ChangeUndone = 1,
    ChangeCleared = 2,
    ChangeAutosaved = 4,
    ChangeRedone = 5,
};

// Kinds of save: the first three are asked for by the user; the others are autosaves.
enum SaveOperationType : int {
    SaveOperation = 0,
    SaveAsOperation = 1,
    SaveToOperation = 2,
    AutosaveElsewhereOperation = 3,
    AutosaveInPlaceOperation = 4,
    AutosaveAsVersionOperation = 5,
};

inline bool isAutosave(SaveOperationType operation) {
    return operation >= AutosaveElsewhereOperation;
}

// Whether two paths name the same file: their canonical forms (or, for paths that do not exist yet, their
// cleaned absolute forms) are equal, letter case included. An empty path names nothing.
bool isSameFile(const QString& a, const QString& b);

// Something that shows a document's window; the document keeps its window controllers.
class WindowController {
public:
    virtual ~WindowController() = default;
    // Brings the window to the front as the key window.
    virtual void showWindow() {}
    // Closes the window (the document is closing).
    virtual void close() {}
};

class Document : public std::enable_shared_from_this<Document> {
public:
    Document();
    virtual ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // ---- file ----
    // The file the document belongs to; empty for an untitled document.
    QString fileURL() const { return m_fileURL; }
    void setFileURL(const QString& path);
    QString fileType() const { return m_fileType; }
    void setFileType(const QString& type) { m_fileType = type; }
    // Where the last autosave elsewhere wrote the document; empty when none.
    QString autosavedContentsFileURL() const { return m_autosavedContentsFileURL; }
    void setAutosavedContentsFileURL(const QString& path) { m_autosavedContentsFileURL = path; }
    // The file's name without its extension, or the localised "Untitled".
    QString displayName() const;

    // Reads (or records) the document's content from a file; false with *error when it cannot.
    virtual bool readFromURL(const QString& path, const QString& type, QString* error) = 0;
    // Whether the file just read is only a starting point (a template): the document then stays untitled,
    // so no save or autosave ever writes over that file.
    virtual bool isStartedFromTemplate() const { return false; }

    // ---- changes ----
    // Done and redone add one change, undone takes one away, cleared empties the count; autosaved changes
    // nothing here (the autosave bookkeeping is the controller's). Subclasses that override it pass the kinds
    // they want counted on to this implementation.
    virtual void updateChangeCount(DocumentChangeType change);
    std::int64_t changeCount() const { return m_changeCount; }
    bool isDocumentEdited() const { return m_changeCount != 0; }
    // Whether the content changed since it was last written to the document's file (or, for an untitled
    // document, to its autosaved copy); an undo back to the saved state after an autosave counts too, since
    // the file then holds the undone change.
    bool hasUnautosavedChanges() const;

    // The undo manager whose steps count as changes: a closed group counts as done, an undo as undone and a
    // redo as redone. Not owned; null follows nothing.
    void setUndoManager(UndoManager* undoManager);
    UndoManager* undoManager() const { return m_undoManager; }

    // ---- windows ----
    virtual void makeWindowControllers() {}
    void addWindowController(std::shared_ptr<WindowController> controller);
    const std::vector<std::shared_ptr<WindowController>>& windowControllers() const { return m_windowControllers; }
    void showWindows();

    // ---- saving ----
    // The save road of every kind of save. The document is busy while it runs; a save asked for while
    // another one of this document runs is refused. After a successful save, save as or autosave in place the
    // document belongs to the path; save to and autosave elsewhere leave its file as it was. A successful
    // autosave records that the current changes are autosaved and reports ChangeAutosaved.
    bool saveToURL(const QString& path, SaveOperationType operation, QString* error = nullptr);
    // The kind of the save under way; false when none runs.
    bool isSaving(SaveOperationType* operation = nullptr) const {
        if (operation)
            *operation = m_saveOperation;
        return m_saving;
    }
    // Writes the document to the path for the kind of save; no inherited writing machinery is offered.
    virtual bool writeSafelyToURL(const QString& path, const QString& type, SaveOperationType operation,
                                  QString* error) = 0;
    // Saves to the document's own file, or asks for one (save as) when it has none.
    bool saveDocument(QString* error = nullptr);
    // Asks for a new path with the save panel and saves there (save as); false when the panel is cancelled.
    bool saveDocumentAs(QString* error = nullptr);
    // A save (or save as) the user asked for: a failure is shown in an alert that gives its reason; a
    // cancelled save panel is no failure and shows nothing. Returns whether the document was saved.
    bool saveDocumentPresentingError(bool saveAs = false);
    // Whether the document may close now. One with unsaved changes asks the user: Save saves it (asking
    // for a name when it is untitled) and allows the close only when that save succeeded; Don't Save allows
    // it; Cancel refuses it.
    bool canCloseDocument();

    // Sets up the save panel before it is shown (its folder, file types and packages); false cancels the
    // save as.
    virtual bool prepareSavePanel(SavePanel* panel) {
        (void)panel;
        return true;
    }
    // Whether this document autosaves at all; autosaves go in place for a document with a file.
    virtual bool autosavesInPlace() const { return true; }
    // Autosaves now when there are unautosaved changes, autosave is on and the document is idle; when it is
    // busy the autosave waits for the end of the activity. Returns whether an autosave was written.
    bool autosave(QString* error = nullptr);

    // Marks the document busy (a save or a render of its content); autosaves wait while it is.
    void beginActivity();
    void endActivity();
    bool isBusy() const { return m_activityCount > 0; }

    // A new untitled document with the same content: this document is written elsewhere (an autosave
    // elsewhere into the autosave folder) and a new document of the same class reads that copy. Null with
    // *error when it fails. The copy counts one change. This document's file and content are untouched.
    std::shared_ptr<Document> duplicateAndReturnError(QString* error);

    // Closes the windows and leaves the document controller, without saving. The autosaved copy of an
    // untitled document goes away with it.
    virtual void close();
    bool isClosed() const { return m_closed; }

protected:
    // A new, empty document of the same class, for duplicate; null when the class cannot be duplicated.
    virtual std::shared_ptr<Document> makeDocumentOfSameClass() const { return nullptr; }

private:
    friend class DocumentController;
    void changeArrived();

    QString m_fileURL;
    QString m_fileType;
    QString m_autosavedContentsFileURL;
    std::int64_t m_changeCount = 0;
    // Counts every change of the content (done, undone, redone); a save or autosave records the value it
    // wrote, so an undo after an autosave is written by the next autosave too.
    std::uint64_t m_changeGeneration = 0;
    std::uint64_t m_writtenGeneration = 0;
    UndoManager* m_undoManager = nullptr;
    NotificationToken m_undoTokens[3];
    std::vector<std::shared_ptr<WindowController>> m_windowControllers;
    int m_activityCount = 0;
    bool m_saving = false;
    SaveOperationType m_saveOperation = SaveOperation;
    bool m_closed = false;
    // When the next autosave is due (controller clock, milliseconds); negative when none is scheduled.
    std::int64_t m_autosaveDue = -1;
    bool m_autosaveWaiting = false;
};

// Marks a document busy for its lifetime (a save or a render of its content).
class DocumentActivity {
public:
    explicit DocumentActivity(Document& document)
        : m_document(document.weak_from_this()), m_raw(&document), m_shared(!m_document.expired()) {
        m_raw->beginActivity();
    }
    ~DocumentActivity() {
        if (!m_shared || !m_document.expired())
            m_raw->endActivity();
    }
    DocumentActivity(const DocumentActivity&) = delete;
    DocumentActivity& operator=(const DocumentActivity&) = delete;

private:
    std::weak_ptr<Document> m_document;
    Document* m_raw;
    bool m_shared;  // a document held by shared pointers may go away during the activity
};

// The open documents of the application, and their autosaving.
class DocumentController : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<std::chrono::milliseconds()>;
    using DocumentFactory = std::function<std::shared_ptr<Document>()>;

    DocumentController();
    ~DocumentController() override;
    static DocumentController& shared();

    const std::vector<std::shared_ptr<Document>>& documents() const { return m_documents; }
    void addDocument(std::shared_ptr<Document> document);
    void removeDocument(Document* document);
    // The open document of the file (see isSameFile); null when none.
    std::shared_ptr<Document> documentForURL(const QString& path) const;

    // Makes the documents that files are opened in.
    void setDocumentFactory(DocumentFactory factory) { m_factory = std::move(factory); }
    // Opens a file: the document already open for it, or a new one that reads it, belongs to it, joins the
    // open documents and makes its windows. Null with *error when it cannot be read.
    std::shared_ptr<Document> openDocumentWithContentsOfURL(const QString& path, QString* error = nullptr);

    // Seconds from the first unautosaved change to the autosave; 0 turns autosaving off.
    double autosavingDelay() const { return m_autosavingDelay; }
    void setAutosavingDelay(double seconds);
    // The clock of the autosave schedule (a steady clock unless set; an empty clock restores it). After a
    // set clock jumps, clockDidChange() lets the due autosaves run on the next turn of the event loop.
    void setClock(Clock clock);
    std::chrono::milliseconds now() const;
    void clockDidChange();
    // Runs the autosaves that are due now; the timer calls it.
    void autosaveDueDocuments();

    // The folder of autosaves of untitled documents and duplicates ("Autosave Information" in the
    // application's data folder unless set).
    QString autosaveFolder() const;
    void setAutosaveFolder(const QString& folder) { m_autosaveFolder = folder; }
    // A new path inside the autosave folder for a copy of the document.
    QString newAutosavePath(const Document& document) const;

    // Asks the user whether another window's document with unsaved changes may be closed without saving,
    // because a save replaces its file ("Replace" or "Cancel"); the default asks with a message box.
    using CloseQuestion = std::function<bool(Document&)>;
    void setCloseQuestion(CloseQuestion question) { m_closeQuestion = std::move(question); }
    bool askToCloseEditedDocument(Document& document);
    // Asks the user, before a document with unsaved changes closes, whether to save it first. The default
    // asks with a message box whose default button is Save.
    enum class SaveChangesAnswer { Save, DontSave, Cancel };
    using SaveChangesQuestion = std::function<SaveChangesAnswer(Document&)>;
    void setSaveChangesQuestion(SaveChangesQuestion question) { m_saveChangesQuestion = std::move(question); }
    SaveChangesAnswer askToSaveChanges(Document& document);
    // Shows an error to the user: the message, and below it the informative text (the reason); the default
    // shows a message box.
    using ErrorPresenter = std::function<void(const QString& message, const QString& informative)>;
    void setErrorPresenter(ErrorPresenter presenter) { m_errorPresenter = std::move(presenter); }
    void presentError(const QString& message, const QString& informative = {});
    // Asks for the path of a save as; empty when cancelled. The default runs the save panel that
    // makeSavePanel() builds.
    using SavePanelRunner = std::function<QString(Document&)>;
    void setSavePanel(SavePanelRunner panel) { m_savePanel = std::move(panel); }
    QString runSavePanel(Document& document);
    // The save panel of a save as, ready to be shown: it starts in the document's folder (the user's
    // documents folder for an untitled document) with the document's name; the document then sets its file
    // types (prepareSavePanel). Null when the document cancels the save as.
    std::unique_ptr<SavePanel> makeSavePanel(Document& document);

private:
    friend class Document;
    void scheduleAutosave(Document& document);
    void armTimer();

    std::vector<std::shared_ptr<Document>> m_documents;
    DocumentFactory m_factory;
    double m_autosavingDelay = 0;
    Clock m_clock;
    QTimer m_timer;
    QString m_autosaveFolder;
    CloseQuestion m_closeQuestion;
    SaveChangesQuestion m_saveChangesQuestion;
    ErrorPresenter m_errorPresenter;
    SavePanelRunner m_savePanel;
};

}  // namespace kx
