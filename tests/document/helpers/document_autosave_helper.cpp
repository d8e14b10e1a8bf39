// Opens a project package as a document, adds a photo to its page, lets the autosave timer fire on a clock it
// moves itself, then waits to be killed. Usage:
//   document_autosave_helper PACKAGE IMAGE SETTINGS_FILE AUTOSAVE_FOLDER
// It prints "edited" once the change is counted, then "autosaved <kind>" after the autosave, or
// "no autosave" when none ran within the delay (autosave turned off in the settings), and keeps running.
#include "../document_test_support.h"

#include "model/photo.h"
#include "model/shape.h"
#include "platform/foundation/user_defaults.h"

#include <QApplication>

#include <chrono>
#include <cstdio>

namespace {

std::chrono::milliseconds clockNow{1'000'000};

void say(const char* text) {
    std::printf("%s\n", text);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 5)
        return 2;
    const QString package = QString::fromLocal8Bit(argv[1]);
    const QString image = QString::fromLocal8Bit(argv[2]);
    kx::UserDefaults::setStandardFilePath(QString::fromLocal8Bit(argv[3]));
    KXDocument::registerDefaults();

    std::shared_ptr<kxtest::TestWindowController> window;
    KXMainWindowController::setFactory([&] { return window = std::make_shared<kxtest::TestWindowController>(); });
    kx::DocumentController& controller = kx::DocumentController::shared();
    controller.setAutosaveFolder(QString::fromLocal8Bit(argv[4]));
    controller.setClock([] { return clockNow; });
    controller.setAutosavingDelay(300);
    controller.setDocumentFactory([] { return std::make_shared<KXDocument>(); });

    QString error;
    auto document = std::dynamic_pointer_cast<KXDocument>(controller.openDocumentWithContentsOfURL(package, &error));
    if (!document || !kxtest::processEventsUntil([&] { return !document->windowControllers().empty(); }))
        return 3;

    // The edit: a new photo on the page, one undo step.
    KXCanvas& page = *window->project->currentCanvas();
    auto shape = std::make_shared<KXShape>();
    shape->setText(nullptr);
    page.addGraph(shape);
    shape->setRelativeRect({0.5, 0.5, 0.25, 0.25});
    shape->setPhoto(std::make_shared<KXPhoto>());
    shape->photo()->setImagePath(image);
    if (!kxtest::processEventsUntil([&] { return document->isDocumentEdited(); }))
        return 4;
    say("edited");

    // Nothing happens before the delay has passed.
    clockNow += std::chrono::seconds(299);
    controller.clockDidChange();
    kxtest::processEventsUntil([] { return false; }, 200);
    if (!window->saves.empty())
        return 5;

    clockNow += std::chrono::seconds(1);
    controller.clockDidChange();
    if (kxtest::processEventsUntil([&] { return !window->saves.empty() && !document->isBusy(); }, 1000))
        std::printf("autosaved %d\n", int(window->saves.front().second));
    else
        std::printf("no autosave\n");
    std::fflush(stdout);
    for (;;)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 1000);
}
