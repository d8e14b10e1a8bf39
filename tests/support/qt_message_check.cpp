#include "support/qt_message_check.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <iostream>
#include <mutex>
#include <vector>

namespace kxtest {

struct QtMessageCheck {
    std::mutex mutex;
    std::vector<ExpectedQtWarning*> expected;  // innermost last
    int outsideTests = 0;
    QtMessageHandler previous = nullptr;

    static QtMessageCheck& shared() {
        static QtMessageCheck* check = new QtMessageCheck;  // outlives every static destructor's message
        return *check;
    }

    // Counts the message against the innermost expectation it matches; answers whether one did.
    bool consumeExpected(const QString& text) {
        std::lock_guard lock(mutex);
        for (auto it = expected.rbegin(); it != expected.rend(); ++it) {
            if (QRegularExpression((*it)->m_pattern).match(text).hasMatch()) {
                ++(*it)->m_count;
                return true;
            }
        }
        return false;
    }
};

namespace {

const char* kindName(QtMsgType type) {
    switch (type) {
    case QtWarningMsg: return "warning";
    case QtCriticalMsg: return "critical message";
    case QtFatalMsg: return "fatal message";
    default: return "message";
    }
}

// The offscreen platform that the tests run on has no window manager: it answers a window's requests to come
// to the front or to pass on its size hints with this notice. On a real display they work; the notice tells of
// the test platform, not of a fault.
bool isOffscreenPlatformNotice(const QString& text) {
    static const QRegularExpression notice(
        QStringLiteral("^This plugin does not support (raise|propagateSizeHints|requestActivate)\\(\\)$"));
    return QGuiApplication::platformName() == QLatin1String("offscreen") && notice.match(text).hasMatch();
}

void checkMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    QtMessageCheck& check = QtMessageCheck::shared();
    if (type == QtWarningMsg && isOffscreenPlatformNotice(text))
        return;
    const bool fault = type == QtWarningMsg || type == QtCriticalMsg || type == QtFatalMsg;
    if (fault && type != QtFatalMsg && check.consumeExpected(text))
        return;
    if (check.previous)
        check.previous(type, context, text);  // prints it (and ends the process on a fatal message)
    if (!fault)
        return;
    const std::string where = context.file ? std::string(" at ") + context.file + ":" + std::to_string(context.line)
                                            : std::string();
    if (::testing::UnitTest::GetInstance()->current_test_info()) {
        ADD_FAILURE() << "unexpected Qt " << kindName(type) << where << ": " << text.toStdString();
    } else {
        std::lock_guard lock(check.mutex);
        ++check.outsideTests;
        std::cerr << "unexpected Qt " << kindName(type) << " outside any test" << where << ": "
                  << text.toStdString() << std::endl;
    }
}

}  // namespace

void installQtMessageCheck() {
    QtMessageCheck::shared().previous = qInstallMessageHandler(checkMessage);
}

int unexpectedQtWarningsOutsideTests() {
    QtMessageCheck& check = QtMessageCheck::shared();
    std::lock_guard lock(check.mutex);
    return check.outsideTests;
}

ExpectedQtWarning::ExpectedQtWarning(const QString& pattern, int atLeast) : m_pattern(pattern), m_atLeast(atLeast) {
    QtMessageCheck& check = QtMessageCheck::shared();
    std::lock_guard lock(check.mutex);
    check.expected.push_back(this);
}

ExpectedQtWarning::~ExpectedQtWarning() {
    QtMessageCheck& check = QtMessageCheck::shared();
    int seen = 0;
    {
        std::lock_guard lock(check.mutex);
        std::erase(check.expected, this);
        seen = m_count;
    }
    EXPECT_GE(seen, m_atLeast) << "expected Qt warning matching \"" << m_pattern.toStdString() << "\"";
}

int ExpectedQtWarning::count() const {
    QtMessageCheck& check = QtMessageCheck::shared();
    std::lock_guard lock(check.mutex);
    return m_count;
}

}  // namespace kxtest
