// Shared main of every test executable: a QApplication on the offscreen platform, so that
// fonts, images, painters and widgets work headless, then GoogleTest. A Qt warning that a test did not
// expect fails it (support/qt_message_check.h).
#include "support/qt_message_check.h"

#include <QApplication>
#include <QDir>
#include <gtest/gtest.h>

#include <iostream>

#include <stdlib.h>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                   : qgetenv("QT_QPA_PLATFORM"));
    // A session gives every user a private runtime folder; test machines (CI, root shells) often have none, and
    // Qt would warn and fall back to a shared one. Each run gets a private folder of its own.
    QByteArray runtimeTemplate = QDir::tempPath().toLocal8Bit() + "/kx-test-runtime-XXXXXX";
    const bool ownRuntimeDir = qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && ::mkdtemp(runtimeTemplate.data());
    if (ownRuntimeDir)
        qputenv("XDG_RUNTIME_DIR", runtimeTemplate);
    kxtest::installQtMessageCheck();
    ::testing::InitGoogleTest(&argc, argv);
    int result = 0;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    if (ownRuntimeDir)
        QDir(QString::fromLocal8Bit(runtimeTemplate)).removeRecursively();
    if (kxtest::unexpectedQtWarningsOutsideTests() > 0) {
        std::cerr << "Qt warnings outside the tests: failing the run" << std::endl;
        return 1;
    }
    return result;
}
