#include "app/first_window_report.h"

#include "app/first_window.h"

#include <QApplication>

#include <cstdio>

bool installFirstWindowReportIfRequested(QApplication& application) {
    if (qEnvironmentVariableIsEmpty(kFirstWindowReportVariable))
        return false;
    callWhenFirstWindowShown(application, [] {
        std::fputs(kFirstWindowReportLine, stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
        QCoreApplication::quit();
    });
    return true;
}
