#include "support/qt_message_check.h"

#include <QLoggingCategory>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <thread>

namespace {

Q_LOGGING_CATEGORY(testCategory, "kx.test")

using kxtest::ExpectedQtWarning;

TEST(QtMessageCheckTest, UnexpectedWarningFailsTheTest) {
    EXPECT_NONFATAL_FAILURE(qWarning("planted warning %d", 1), "unexpected Qt warning");
}

TEST(QtMessageCheckTest, UnexpectedCriticalFailsTheTest) {
    EXPECT_NONFATAL_FAILURE(qCritical("planted critical"), "unexpected Qt critical message");
}

TEST(QtMessageCheckTest, WarningFromAnotherThreadFailsTheTest) {
    EXPECT_NONFATAL_FAILURE_ON_ALL_THREADS(std::thread([] { qWarning("planted on a worker"); }).join(),
                                           "planted on a worker");
}

TEST(QtMessageCheckTest, DebugAndInfoMessagesPass) {
    qDebug("a debug line");
    qInfo("an info line");
}

TEST(QtMessageCheckTest, ExpectedWarningIsCountedNotFailed) {
    ExpectedQtWarning expected(QStringLiteral("^planted \\d+$"), 2);
    qWarning("planted 1");
    qWarning("planted 2");
    EXPECT_EQ(expected.count(), 2);
}

TEST(QtMessageCheckTest, ExpectationOnlyCoversMatchingText) {
    ExpectedQtWarning expected(QStringLiteral("announced"));
    qWarning("announced");
    EXPECT_NONFATAL_FAILURE(qWarning("something else"), "something else");
}

TEST(QtMessageCheckTest, ExpectedWarningThatNeverComesFailsTheTest) {
    EXPECT_NONFATAL_FAILURE({ ExpectedQtWarning expected(QStringLiteral("never said")); },
                            "expected Qt warning matching \"never said\"");
}

TEST(QtMessageCheckTest, ExpectationEndsWithItsScope) {
    { ExpectedQtWarning expected(QStringLiteral("scoped")); qWarning("scoped"); }
    EXPECT_NONFATAL_FAILURE(qWarning("scoped"), "unexpected Qt warning");
}

TEST(QtMessageCheckTest, CategorisedWarningsAreCheckedToo) {
    EXPECT_NONFATAL_FAILURE(qCWarning(testCategory, "category warning"), "category warning");
}

}  // namespace
