// A document window controller for tests: it owns a project like the real one does, opens what the document
// recorded, follows the page's undo manager and saves through the project, and notes what it was asked.
#pragma once

#include "document/document.h"
#include "document/project.h"
#include "model/canvas.h"
#include "platform/foundation/undo_manager.h"
#include "support/event_wait.h"


#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace kxtest {

class TestWindowController : public KXMainWindowController {
public:
    void initWindowWidthDocument(KXDocument* doc, std::function<void()> block) override {
        document = doc;
        QString error;
        if (!doc->projPath().isEmpty())
            project = KXProject::initWithPath(doc->projPath(), &error);
        else if (!doc->templatePath().isEmpty())
            project = KXProject::initWithPath(doc->templatePath(), &error);
        if (!project)
            project = std::make_unique<KXProject>();
        project->setCurrentIndex(std::max<std::int64_t>(0, std::min(doc->pageIndex(), project->canvasCount() - 1)));
        kx::UndoManager& undo = project->currentCanvas()->undoManager();
        undo.removeAllActions();
        doc->setUndoManager(&undo);
        ++setUps;
        if (block)
            block();
    }
    bool saveProjectToPath(const QString& path, KXSaveOperation operation, QString* error) override {
        saves.emplace_back(path, operation);
        if (duringSave)
            duringSave();
        if (failSaves) {
            if (error)
                *error = failReason;
            return false;
        }
        const bool ok = saveProjectForOperation(*project, path, operation, &lastError);
        if (!ok && error)
            *error = lastError;
        if (ok && operation <= KXSaveOperationSaveTo)
            document->updateChangeCount(kx::ChangeCleared);
        return ok;
    }
    void showTemplates(bool ownWindow) override { templatesShown.push_back(ownWindow); }
    void showWindow() override { ++windowShown; }
    void close() override { ++closed; }

    KXDocument* document = nullptr;
    std::unique_ptr<KXProject> project;
    std::vector<std::pair<QString, KXSaveOperation>> saves;
    std::vector<bool> templatesShown;
    std::function<void()> duringSave;
    QString lastError;
    bool failSaves = false;
    // What a failed save reports (nothing when empty).
    QString failReason;
    int setUps = 0;
    int windowShown = 0;
    int closed = 0;
};

}  // namespace kxtest
