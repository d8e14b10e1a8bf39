// The application: starts the delegate, opens one document window on the project or template given on the
// command line (an empty project otherwise) and cleans up when the last window closes.
#include "app/app_delegate.h"
#include "app/launch.h"
#include "app/main_window.h"
#include "app/window_document.h"
#include "document/version_info.h"
#include "model/model_classes.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kollage"));
    QApplication::setDesktopFileName(QStringLiteral("org.kollage.Kollage"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Lays out photo collages, cards and calendars."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("path"), QStringLiteral("A project package or template to open."));
    parser.process(app);

    registerModelClasses();
    registerDocumentClasses();

    AppDelegate delegate;
    delegate.awakeFromNib();

    const QStringList arguments = parser.positionalArguments();
    const KXLaunchRequest request = launchRequestForPath(arguments.isEmpty() ? QString() : arguments.first());
    KXPlainWindowDocument document(request.projPath, request.templatePath, 0);

    KXMainWindow window(&delegate);
    delegate.applicationDidFinishLaunching();
    window.initWindowWidthDocument(&document);
    window.show();
    window.raise();
    window.activateWindow();

    QObject::connect(&app, &QApplication::aboutToQuit, &delegate, [&delegate] { delegate.applicationWillTerminate(); });
    return app.exec();
}
