#include "output/share_program.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <memory>
#include <string>
#include <vector>

extern char** environ;

namespace {

// argv for posix_spawn, kept alive with its strings.
struct Arguments {
    explicit Arguments(const QString& program, const QStringList& arguments) {
        strings.push_back(program.toStdString());
        for (const QString& a : arguments)
            strings.push_back(a.toStdString());
        for (std::string& s : strings)
            pointers.push_back(s.data());
        pointers.push_back(nullptr);
    }
    std::vector<std::string> strings;
    std::vector<char*> pointers;
};

// Spawns the program with stdin from /dev/null, stdout into `outFd` (or /dev/null when -1) and stderr to
// /dev/null. 0 when it could not be started.
pid_t spawn(const QString& program, const QStringList& arguments, int outFd) {
    Arguments argv(program, arguments);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (outFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, argv.pointers[0], &actions, nullptr, argv.pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? pid : 0;
}

int exitCodeOf(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

KXProgramResult runDesktopProgram(const QString& program, const QStringList& arguments, int timeoutMs) {
    KXProgramResult result;
    int out[2] = {-1, -1};
    if (::pipe2(out, O_CLOEXEC) != 0)
        return result;
    const pid_t pid = spawn(program, arguments, out[1]);
    ::close(out[1]);
    if (pid == 0) {
        ::close(out[0]);
        return result;
    }
    result.started = true;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0) {
            result.timedOut = true;
            break;
        }
        pollfd fd{out[0], POLLIN, 0};
        const int ready = ::poll(&fd, 1, int(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n > 0 && result.standardOutput.size() < (1 << 20))
            result.standardOutput.append(buffer, n);
        else if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
            break;
    }
    ::close(out[0]);
    if (result.timedOut)
        ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitCode = result.timedOut ? -1 : exitCodeOf(status);
    return result;
}

void startDesktopProgram(const QString& program, const QStringList& arguments, QObject* context,
                         std::function<void(int exitCode)> finished, int handOverMs) {
    const pid_t pid = spawn(program, arguments, -1);
    if (pid == 0) {
        QTimer::singleShot(0, context, [finished] { finished(-1); });
        return;
    }
    // The program is watched from the event loop: no thread waits on it, and the window stays responsive.
    auto* timer = new QTimer;
    timer->setInterval(20);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    auto reported = std::make_shared<bool>(false);
    QPointer<QObject> guard(context);
    QObject::connect(timer, &QTimer::timeout, [timer, pid, clock, reported, guard, finished, handOverMs] {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        const bool ended = done == pid || (done < 0 && errno == ECHILD);
        if (!*reported && (ended || clock->elapsed() >= handOverMs)) {
            *reported = true;
            if (guard)
                finished(ended ? (done == pid ? exitCodeOf(status) : -1) : 0);
        }
        if (ended) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}
