// The print road of the document window (File > Print): the window hands its project, its progress sheet
// and the usage event of a print to the print controller.
#include "app/main_window.h"

#include "app_services/ga_object.h"
#include "document/project_statistics.h"
#include "model/canvas.h"
#include "output/print_controller.h"

KXPrintController* KXMainWindow::printController() {
    if (!m_printCtl) {
        KXPrintProject project;
        project.pageCount = [this] { return m_project ? int(m_project->canvasCount()) : 0; };
        project.outputCopyOfPage = [this](int index) -> std::shared_ptr<KXCanvas> {
            KXCanvas* page = m_project ? m_project->canvasAtIndex(index) : nullptr;
            return page ? page->outputCopy() : nullptr;
        };
        project.currentCanvas = [this]() -> const KXCanvas* { return m_project ? m_project->currentCanvas() : nullptr; };
        project.recordPrint = [this] {
            if (GAObject* analytics = GAObject::defaultObject()) {
                analytics->clearEvent();
                analytics->trackEventType(QStringLiteral("Export"), QStringLiteral("Print"), QStringLiteral("Print"), 1);
                // The project's description follows the print's own event, and posting sends them together.
                if (m_project)
                    trackProject(*m_project, *analytics);
                else
                    analytics->postEvent();
            }
        };
        KXPrintProgress progress;
        progress.sheet = m_pbCtl.get();
        progress.show = [this](const QString& tip) { showProgressbarWithTitle(tip); };
        progress.stop = [this] { stopProgressbar(); };
        m_printCtl = std::make_unique<KXPrintController>(std::move(project), std::move(progress));
        m_printCtl->setMainWindow(this);
    }
    return m_printCtl.get();
}

void KXMainWindow::printAction() {
    printController()->printAction();
}
