#include "support/run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <string>
#include <vector>

extern char** environ;

namespace kxtest {

namespace {

// A pipe whose ends close themselves.
struct Pipe {
    int ends[2] = {-1, -1};
    bool open() { return ::pipe2(ends, O_CLOEXEC) == 0; }
    void close(int which) {
        if (ends[which] >= 0)
            ::close(ends[which]);
        ends[which] = -1;
    }
    ~Pipe() {
        close(0);
        close(1);
    }
};

}  // namespace

ProgramResult runProgram(const QString& program, const QStringList& arguments, const QByteArray& input) {
    ProgramResult result;
    Pipe in, out, err;
    if (!in.open() || !out.open() || !err.open())
        return result;
    std::vector<std::string> strings{program.toStdString()};
    for (const QString& argument : arguments)
        strings.push_back(argument.toStdString());
    std::vector<char*> argv;
    for (std::string& s : strings)
        argv.push_back(s.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in.ends[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out.ends[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err.ends[1], STDERR_FILENO);
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    in.close(0);
    out.close(1);
    err.close(1);
    if (spawned != 0)
        return result;
    result.started = true;

    // Feed the input and drain both outputs together, so that neither side blocks on a full pipe.
    std::signal(SIGPIPE, SIG_IGN);
    ::fcntl(in.ends[1], F_SETFL, O_NONBLOCK);  // a blocking write would wait for a child that waits for us
    qsizetype written = 0;
    if (input.isEmpty())
        in.close(1);
    while (out.ends[0] >= 0 || err.ends[0] >= 0 || in.ends[1] >= 0) {
        pollfd fds[3] = {{in.ends[1], POLLOUT, 0}, {out.ends[0], POLLIN, 0}, {err.ends[0], POLLIN, 0}};
        if (::poll(fds, 3, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[0].revents) {
            const ssize_t n = ::write(in.ends[1], input.constData() + written, size_t(input.size() - written));
            if (n > 0)
                written += n;
            if ((n < 0 && errno != EAGAIN && errno != EINTR) || written == input.size())
                in.close(1);
        }
        for (int i : {1, 2}) {
            if (!fds[i].revents)
                continue;
            Pipe& pipe = i == 1 ? out : err;
            QByteArray& sink = i == 1 ? result.standardOutput : result.standardError;
            char buffer[65536];
            const ssize_t n = ::read(pipe.ends[0], buffer, sizeof buffer);
            if (n > 0)
                sink.append(buffer, n);
            else
                pipe.close(0);
        }
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace kxtest
