#include "support/run_program.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using kxtest::runProgram;

TEST(RunProgramTest, FeedsInputAndCollectsBothOutputsAndTheExitCode) {
    struct Case {
        const char* script;
        QByteArray input;
        int exitCode;
        QByteArray out, err;
    };
    const QByteArray large(300000, 'x');  // more than a pipe holds: input and output must flow together
    const Case cases[] = {
        {"cat", "hello\n", 0, "hello\n", ""},
        {"cat; echo oops >&2; exit 3", "in", 3, "in", "oops\n"},
        {"cat", large, 0, large, ""},
        {"exit 0", "", 0, "", ""},
        {"kill -9 $$", "", -1, "", ""},
    };
    for (const Case& c : cases) {
        const kxtest::ProgramResult result = runProgram(QStringLiteral("sh"), {QStringLiteral("-c"), c.script}, c.input);
        EXPECT_TRUE(result.started) << c.script;
        EXPECT_EQ(result.exitCode, c.exitCode) << c.script;
        EXPECT_EQ(result.standardOutput.size(), c.out.size()) << c.script;
        EXPECT_TRUE(result.standardOutput == c.out) << c.script;
        EXPECT_EQ(result.standardError, c.err) << c.script;
        EXPECT_EQ(result.succeeded(), c.exitCode == 0) << c.script;
    }
}

TEST(RunProgramTest, AMissingProgramIsNotStarted) {
    const kxtest::ProgramResult result = runProgram(QStringLiteral("kx-no-such-program-anywhere"), {});
    EXPECT_FALSE(result.started);
    EXPECT_FALSE(result.succeeded());
}

// Programs run while other threads of the test are busy (the case under ThreadSanitizer).
TEST(RunProgramTest, RunsWhileOtherThreadsWork) {
    std::thread busy([] {
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(runProgram(QStringLiteral("true"), {}).succeeded());
    });
    EXPECT_EQ(runProgram(QStringLiteral("echo"), {QStringLiteral("a b")}).standardOutput, "a b\n");
    busy.join();
}

}  // namespace
