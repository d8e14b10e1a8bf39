// Shared set-up of the window tests.
#pragma once

#include "app/main_window.h"
#include "document/document.h"
#include "document/document_base.h"
#include "document/project.h"
#include "document/version_info.h"
#include "graphics/system_services.h"
#include "model/canvas.h"
#include "model/model_classes.h"
#include "platform/foundation/user_defaults.h"
#include "platform/gfx/image.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace kxtest {

// A page rendering for the project's preview files that costs nothing: a flat grey image of the size asked.
inline kx::Image greyPageRendering(KXCanvas&, const kx::Size& size) {
    QImage image(std::max(1, int(size.width)), std::max(1, int(size.height)), QImage::Format_RGBA8888);
    image.fill(Qt::gray);
    return kx::Image(image);
}

// Each component of the rectangle within `tolerance` of the expected one.
inline void expectRectNear(const kx::Rect& actual, const kx::Rect& expected, double tolerance) {
    EXPECT_NEAR(actual.origin.x, expected.origin.x, tolerance);
    EXPECT_NEAR(actual.origin.y, expected.origin.y, tolerance);
    EXPECT_NEAR(actual.size.width, expected.size.width, tolerance);
    EXPECT_NEAR(actual.size.height, expected.size.height, tolerance);
}

// Tests of document windows: the model's classes registered, flat page renderings, alerts collected as
// "message / informative" instead of shown, an empty clipboard before and after, and a temporary folder.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerModelClasses();
        registerDocumentClasses();
        ASSERT_TRUE(dir.isValid());
        KXProject::setPageRenderer(greyPageRendering);
        KXMainWindow::setAlertPresenter([this](QWidget*, const QString& message, const QString& informative) {
            alerts << message + QStringLiteral(" / ") + informative;
        });
        sharedPasteboard()->clear();
    }
    void TearDown() override {
        KXMainWindow::setAlertPresenter({});
        KXProject::setPageRenderer({});
        sharedPasteboard()->clear();
    }

    // A shown window on a new, empty document whose page records each step on its own (no event grouping).
    std::unique_ptr<KXMainWindow> openWindow() {
        documents.push_back(std::make_shared<KXDocument>());
        auto window = std::make_unique<KXMainWindow>();
        window->initWindowWidthDocument(documents.back().get());
        window->resize(1200, 800);
        window->show();
        QApplication::processEvents();
        page(*window)->undoManager().setGroupsByEvent(false);
        return window;
    }
    static KXCanvas* page(const KXMainWindow& window) { return window.project()->currentCanvas(); }

    QTemporaryDir dir;
    QStringList alerts;
    std::vector<std::shared_ptr<KXDocument>> documents;
};

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
