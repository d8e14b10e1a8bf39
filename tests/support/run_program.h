// Runs an outside program to the end and collects what it wrote, for tests that check our files with other
// tools. Started through posix_spawn rather than QProcess: QProcess starts children with a clone() call that
// the ThreadSanitizer runtime of clang 14 cannot follow (it aborts the test), and these tests also run there.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace kxtest {

struct ProgramResult {
    bool started = false;  // false when the program could not be run at all
    int exitCode = -1;     // -1 when it did not exit normally
    QByteArray standardOutput;
    QByteArray standardError;

    bool succeeded() const { return started && exitCode == 0; }
};

// Runs `program` (found on PATH unless it is a path) with `arguments`, feeding it `input` on its standard input,
// and waits for it to end.
ProgramResult runProgram(const QString& program, const QStringList& arguments, const QByteArray& input = {});

}  // namespace kxtest
