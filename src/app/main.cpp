// The application: starts the delegate and the document framework, opens one document on the project or
// template given on the command line (an untitled one with an empty project otherwise) and closes the open
// documents, then cleans up, when the last window closes.
#include "app/app_delegate.h"
#include "app/first_window.h"
#include "app/first_window_report.h"
#include "app/launch.h"
#include "app/launch_warm_up.h"
#include "app/main_window.h"
#include "controls/control_style.h"
#include "document/document.h"
#include "document/version_info.h"
#include "library/missing_resources_sheet.h"
#include "library/template_window_controller.h"
#include "model/model_classes.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kollage"));
    QApplication::setDesktopFileName(QStringLiteral("org.kollage.Kollage"));
    installFirstWindowReportIfRequested(app);
    // One look for the titles of check boxes, radio buttons and pop-ups in every form.
    kx::controls::installApplicationStyle();

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Lays out photo collages, cards and calendars."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("path"), QStringLiteral("A project package or template to open."));
    parser.process(app);

    registerModelClasses();
    registerDocumentClasses();

    AppDelegate delegate;
    delegate.awakeFromNib();

    callWhenFirstWindowShown(app, [&delegate] { delegate.applicationDidShowFirstWindow(); });

    KXDocument::registerDefaults();
    kx::DocumentController& documents = kx::DocumentController::shared();
    documents.setDocumentFactory([] { return std::make_shared<KXDocument>(); });
    documents.setAutosavingDelay(AppDelegate::kAutosavingDelay);
    KXDocumentWindowController::installFactory(&delegate);
    // A document window starts from the template chooser.
    KXTemplateChooser::setFactory([] { return KXTemplateWindowController::templateWC(); });
    KXProject::setMissingSheetFactory([] { return std::make_unique<KXMissingResWindowController>(); });
    delegate.applicationDidFinishLaunching();

    const QStringList arguments = parser.positionalArguments();
    const KXLaunchRequest request = launchRequestForPath(arguments.isEmpty() ? QString() : arguments.first());
    std::shared_ptr<kx::Document> opened;
    if (!request.projPath.isEmpty()) {
        QString error;
        opened = documents.openDocumentWithContentsOfURL(request.projPath, &error);
        if (!opened)
            documents.presentError(error.isEmpty() ? QStringLiteral("\"%1\" could not be opened.").arg(request.projPath)
                                                   : error);
    }
    if (!opened) {
        // A template folder, or nothing: a new untitled document (a template stays untitled).
        auto document = std::make_shared<KXDocument>();
        document->setTemplatePath(request.templatePath);
        documents.addDocument(document);
        document->makeWindowControllers();
    }

    // The document window comes a moment later; what it will load is loaded in that pause.
    scheduleLaunchWarmUp(app);

    QObject::connect(&app, &QApplication::aboutToQuit, &delegate, [&delegate] { delegate.applicationWillTerminate(); });
    const int status = app.exec();
    // The windows go with their documents while the application object still exists.
    for (const auto& document : std::vector(documents.documents()))
        document->close();
    KXMainWindowController::setFactory({});
    KXTemplateChooser::setFactory({});
    return status;
}
