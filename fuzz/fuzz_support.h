// Small helpers the fuzz targets share: a message handler that keeps the log quiet, a check that aborts
// (which libFuzzer reports with the input), and the offscreen graphical application that fonts need.
#pragma once

#include <QGuiApplication>
#include <QtGlobal>

#include <cstdlib>

namespace kxfuzz {

inline void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

inline void require(bool condition) {
    if (!condition)
        std::abort();
}

// Text is measured with fonts, which need a graphical application (offscreen). It lives until the process
// ends: torn down among the exit handlers, it would leave Qt's font caches unreachable before the leak check.
inline void startGuiApplication(const char* targetName) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char* argv[] = {const_cast<char*>(targetName), nullptr};
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    (void)app;
}

}  // namespace kxfuzz
