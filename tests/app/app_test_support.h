// Shared set-up of the window tests.
#pragma once

#include "app/main_window.h"
#include "document/document_base.h"
#include "document/project.h"
#include "model/canvas.h"
#include "platform/foundation/user_defaults.h"
#include "platform/gfx/image.h"

#include <QImage>

#include <algorithm>

namespace kxtest {

// A page rendering for the project's preview files that costs nothing: a flat grey image of the size asked.
inline kx::Image greyPageRendering(KXCanvas&, const kx::Size& size) {
    QImage image(std::max(1, int(size.width)), std::max(1, int(size.height)), QImage::Format_RGBA8888);
    image.fill(Qt::gray);
    return kx::Image(image);
}

// Closes every open document and puts back what the window tests replace: the document controller's
// factory, presenters, questions and folders, the window factory, the alert presenter, the page renderer and
// the settings file.
inline void closeDocumentsAndRestoreDefaults() {
    kx::DocumentController& controller = kx::DocumentController::shared();
    for (const auto& document : std::vector(controller.documents()))
        document->close();
    controller.setAutosavingDelay(0);
    controller.setErrorPresenter({});
    controller.setSavePanel({});
    controller.setCloseQuestion({});
    controller.setSaveChangesQuestion({});
    controller.setAutosaveFolder({});
    controller.setDocumentFactory({});
    KXMainWindowController::setFactory({});
    KXMainWindow::setAlertPresenter({});
    KXProject::setPageRenderer({});
    kx::UserDefaults::setStandardFilePath({});
}

}  // namespace kxtest
