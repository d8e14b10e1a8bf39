// The project document: it records which package or template was opened, shows a loading window while the
// document window is built, hands every save to the document window controller (which owns the project),
// autosaves in place unless the user turned autosave off, and posts KXDocumentChanged for every change of
// its change count except the cleared and autosaved kinds.
//
// The document window controller and the application delegate are reached through the interfaces below; the
// application installs the real ones.
#pragma once

#include "document/document_base.h"
#include "document/project.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

class KXDocument;
class KXProgressBarController;

// Posted by the document (object: the document, no user info) for every counted change.
inline const QString KXDocumentChanged = QStringLiteral("KXDocumentChanged");
// User setting: YES turns autosave off.
inline const QString KXDisableAutoSave = QStringLiteral("KXDisableAutoSave");

// The controller of a document window; it owns the project of the window.
class KXMainWindowController : public kx::WindowController {
public:
    // Makes a new controller (the real one, or a test's); set by the application.
    using Factory = std::function<std::shared_ptr<KXMainWindowController>()>;
    static void setFactory(Factory factory);
    static std::shared_ptr<KXMainWindowController> init();

    // Sets the window up for the document and loads its project (the document's projPath, else its
    // templatePath at its pageIndex, else an empty project), hands the current page's undo manager to the
    // document, then runs the block (when given) before it returns.
    virtual void initWindowWidthDocument(KXDocument* document, std::function<void()> block) = 0;
    // Has the project write its package; after a successful save or save as it clears the document's change
    // count. A save to or an autosave writes a copy and leaves the count, so the document stays edited.
    // Returns the project's answer; on failure *error (when given) says why, with the system's reason.
    virtual bool saveProjectToPath(const QString& path, KXSaveOperation operation, QString* error) = 0;
    // Shows the template chooser: in its own window (YES) or as a sheet on the document window.
    virtual void showTemplates(bool ownWindow) = 0;
};

// What the document asks of the application delegate.
class KXApplicationDelegate {
public:
    virtual ~KXApplicationDelegate() = default;
    // The folder of the application's cloud container; empty when there is none.
    virtual QString ubiquityContainer() const = 0;

    // The application's delegate (not owned); null when none is set.
    static void setShared(KXApplicationDelegate* delegate);
    static KXApplicationDelegate* shared();
};

// Writes the project package for a kind of save, keeping the open project where it was for the kinds that
// write a copy: after a save to or an autosave elsewhere the project's path and the image paths of its
// pages are those it had before (the copy's images live in the copy's own "Data"). No save leaves an undo
// step or counts as an edit of a page. The document window controller saves through it.
bool saveProjectForOperation(KXProject& project, const QString& path, KXSaveOperation operation,
                             QString* error = nullptr);

class KXDocument : public kx::Document {
public:
    KXDocument();
    ~KXDocument() override;

    // Registers the user settings the document reads (KXDisableAutoSave: NO).
    static void registerDefaults();
    // The accepted extensions, lower-case: four project packages and the template package "vrtpkg".
    static const QStringList& readableTypes();
    // Whether documents autosave in place: YES unless the user setting KXDisableAutoSave is YES.
    static bool autosavesInPlaceSetting();

    QString projPath() const { return m_projPath; }
    void setProjPath(const QString& path) { m_projPath = path; }
    QString templatePath() const { return m_templatePath; }
    void setTemplatePath(const QString& path) { m_templatePath = path; }
    std::int64_t pageIndex() const { return m_pageIndex; }
    void setPageIndex(std::int64_t index) { m_pageIndex = index; }
    std::shared_ptr<KXMainWindowController> mainWC() const { return m_mainWC; }
    // The loading window; present only while a document with a path is being opened.
    KXProgressBarController* pbCtl() const { return m_pbCtl.get(); }

    // Records the path when its extension (in any letter case) is accepted; nothing is read here.
    bool readFromURL(const QString& path, const QString& type, QString* error) override;
    // A document opened from a template package stays untitled.
    bool isStartedFromTemplate() const override { return m_projPath.isEmpty() && !m_templatePath.isEmpty(); }
    void makeWindowControllers() override;
    // Shows the loading window and builds the window controller a tenth of a second later.
    void loadMainWindowController();
    void showLoadingWindow();
    void _loadMainWindow();

    // The save road: other open documents of the same file are closed first (one with unsaved changes only
    // when the user agrees), then the window controller saves the project.
    bool writeSafelyToURL(const QString& path, const QString& type, kx::SaveOperationType operation,
                          QString* error) override;
    void updateChangeCount(kx::DocumentChangeType change) override;
    bool autosavesInPlace() const override { return autosavesInPlaceSetting(); }

    // Offers the project packages in the save panel (a project package is saved, with the document's own
    // project extension, "vrtp3" for a document started from a template), treats every accepted extension
    // as a package, and starts in the cloud container's "Documents" folder when there is one; always true.
    bool prepareSavePanel(kx::SavePanel* panel) override;
    // Opens a duplicate of the document, or presents the error.
    void duplicateDocument();

    void close() override;

protected:
    std::shared_ptr<kx::Document> makeDocumentOfSameClass() const override;

private:
    QString m_projPath;
    QString m_templatePath;
    std::int64_t m_pageIndex = 0;
    std::shared_ptr<KXMainWindowController> m_mainWC;
    std::unique_ptr<KXProgressBarController> m_pbCtl;
    // Ends the delayed building of the window controller when the document goes away first.
    QObject m_context;
};
