// Desktop programs that sharing hands work to (xdg-email, gsettings, xfconf-query), started without a shell
// through posix_spawn: arguments go to the program as they are, so no name or path is ever read as a
// command. The standard input is /dev/null and no descriptor of ours leaks into the program.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

struct KXProgramResult {
    bool started = false;  // false when the program could not be run at all (not installed)
    bool timedOut = false;
    int exitCode = -1;  // -1 when it did not exit normally
    QByteArray standardOutput;

    bool succeeded() const { return started && !timedOut && exitCode == 0; }
};

// Runs the program to its end, or kills it after `timeoutMs`; for quick settings tools.
KXProgramResult runDesktopProgram(const QString& program, const QStringList& arguments, int timeoutMs = 10000);

// Starts the program and calls `finished` on the calling thread's event loop with its exit code once it ends
// (-1 when it could not be started or was killed). A program that is still running after `handOverMs` is
// taken to have handed the work over (a mail program that stays in the foreground): `finished` gets 0 then,
// and the program is left running, reaped whenever it ends.
void startDesktopProgram(const QString& program, const QStringList& arguments, QObject* context,
                         std::function<void(int exitCode)> finished, int handOverMs = 15000);
