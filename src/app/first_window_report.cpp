#include "app/first_window_report.h"

#include "app/first_window.h"

#include <QApplication>
#include <QWidget>
#include <QWindow>

#include <cctype>
#include <cstdio>

namespace {

void report() {
    std::fputs(kFirstWindowReportLine, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    QCoreApplication::quit();
}

// Waits for the first expose of a top-level window whose widget is of the class; reports once that expose
// has been handled (the window has painted its contents).
class ClassWindowWatcher : public QObject {
public:
    ClassWindowWatcher(QByteArray className, QObject* parent) : QObject(parent), className_(std::move(className)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QWindow* window = fired_ ? nullptr : exposedTopLevelWindow(watched, event);
        if (!window)
            return false;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->windowHandle() == window && widget->inherits(className_.constData())) {
                fired_ = true;
                QMetaObject::invokeMethod(this, [] { report(); }, Qt::QueuedConnection);
                break;
            }
        }
        return false;
    }

private:
    QByteArray className_;
    bool fired_ = false;
};

}  // namespace

bool installFirstWindowReportIfRequested(QApplication& application) {
    if (qEnvironmentVariableIsEmpty(kFirstWindowReportVariable))
        return false;
    const QByteArray wanted = qgetenv(kFirstWindowReportVariable);
    // A class name begins with a letter; "1" asks for the first window of any kind.
    if (!wanted.isEmpty() && std::isalpha(static_cast<unsigned char>(wanted.front()))) {
        application.installEventFilter(new ClassWindowWatcher(wanted, &application));
        return true;
    }
    callWhenFirstWindowShown(application, [] { report(); });
    return true;
}
