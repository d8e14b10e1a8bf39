// What a document window needs of its document: the paths it was opened with, its file and name, and the
// undo manager of the page being edited. The project document implements it; KXPlainWindowDocument stands in
// where there is none (a window started from the command line, tests).
#pragma once

#include <QFileInfo>
#include <QString>

#include <cstdint>

namespace kx {
class UndoManager;
}

class KXWindowDocument {
public:
    virtual ~KXWindowDocument() = default;

    // The project package the document was opened with; empty for a new document or a template.
    virtual QString projPath() const = 0;
    // The template folder the document was opened with, and the page to show first.
    virtual QString templatePath() const = 0;
    virtual std::int64_t pageIndex() const = 0;

    virtual QString fileURL() const = 0;
    virtual void setFileURL(const QString& path) = 0;
    // The file's name without its extension; empty for an untitled document.
    virtual QString displayName() const = 0;
    // The undo manager that the document's undo and redo commands use: the current page's.
    virtual void setUndoManager(kx::UndoManager* undoManager) = 0;
};

class KXPlainWindowDocument : public KXWindowDocument {
public:
    KXPlainWindowDocument() = default;
    KXPlainWindowDocument(QString projPath, QString templatePath, std::int64_t pageIndex = 0)
        : m_projPath(std::move(projPath)), m_templatePath(std::move(templatePath)), m_pageIndex(pageIndex) {}

    QString projPath() const override { return m_projPath; }
    QString templatePath() const override { return m_templatePath; }
    std::int64_t pageIndex() const override { return m_pageIndex; }
    QString fileURL() const override { return m_fileURL; }
    void setFileURL(const QString& path) override { m_fileURL = path; }
    QString displayName() const override {
        return m_fileURL.isEmpty() ? QString() : QFileInfo(m_fileURL).completeBaseName();
    }
    void setUndoManager(kx::UndoManager* undoManager) override { m_undoManager = undoManager; }
    kx::UndoManager* undoManager() const { return m_undoManager; }

private:
    QString m_projPath;
    QString m_templatePath;
    std::int64_t m_pageIndex = 0;
    QString m_fileURL;
    kx::UndoManager* m_undoManager = nullptr;
};
