// The yardstick of the start-up benchmark: a bare Qt Widgets program that shows one empty main window of
// the application window's size and reports when it is on the screen.
#include "app/first_window_report.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    installFirstWindowReportIfRequested(app);
    QMainWindow window;
    window.resize(1280, 860);
    window.show();
    return app.exec();
}
