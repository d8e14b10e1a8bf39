// Start-up time: how long `kollage` takes, from its start to its first window being exposed and painted,
// against a bare Qt Widgets program that shows an empty main window of the same size. Both are started in
// turn, in the same run, on one X server (Xvfb, started here on a free display), with the same environment
// and fresh, empty settings folders; each prints a line when its first window is on the screen
// (KX_REPORT_FIRST_WINDOW) and quits. The time runs from the start of the process to that line, so it
// includes loading the program's shared libraries.
// The settings say not to show the welcome panel. With no argument the first window is the template chooser
// the document window starts from; a path shows an opening progress window first, so for a path the time
// runs to the document window's first picture (KX_REPORT_FIRST_WINDOW=KXMainWindow). Three starts of the application are timed, each beside the bare program in the same run: with no
// argument (BM_FirstWindow), with the largest built-in template (BM_FirstWindowLargestTemplate) and with a
// project of 20 pages holding 200 photos, written by the benchmark (BM_FirstWindowLargeProject).
// Each reports the median of each program ("bare_ms", "kollage_ms"), their quotient ("ratio") and the
// application's time over the bare program's ("over_bare_ms"); its own time is the application's. The goals:
// within 0.5 s of the bare program warm, and the large project's first page shown within 1 s.
// Usage: bench_startup [--benchmark_repetitions=N]; KX_STARTUP_APP and KX_STARTUP_BARE name other programs.
#include "app/first_window_report.h"
#include "document/page_insertion.h"
#include "document/project.h"
#include "model/background.h"
#include "model/canvas.h"
#include "model/model_classes.h"
#include "model/page_size.h"
#include "model/shape.h"
#include "platform/foundation/user_defaults.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// No start may take longer than this; a program that does is reported as failing, not timed.
constexpr int kStartLimitMs = 60'000;

std::string programPath(const char* variable, const char* builtPath) {
    const char* fromEnvironment = std::getenv(variable);
    return fromEnvironment && *fromEnvironment ? fromEnvironment : builtPath;
}

// A child process started with posix_spawn; its standard output (when captured) comes through a pipe.
struct Child {
    pid_t pid = -1;
    int output = -1;
};

Child spawn(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
            int keepOpenFd = -1) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (keepOpenFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, keepOpenFd, keepOpenFd);  // clears close-on-exec
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& entry : environment)
        envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);
    Child child;
    const int error = posix_spawn(&child.pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (error != 0) {
        close(pipeFds[0]);
        throw std::runtime_error("cannot start " + arguments.front() + ": " + std::strerror(error));
    }
    child.output = pipeFds[0];
    return child;
}

// Reads from `fd` until `line` has arrived (true), or until the end of the output or the limit (false).
bool waitForLine(int fd, const std::string& line, int limitMs) {
    std::string received;
    const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    while (received.find(line + '\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd poller{fd, POLLIN, 0};
        const int ready = poll(&poller, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        char buffer[256];
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count <= 0)
            return false;
        received.append(buffer, static_cast<size_t>(count));
    }
    return true;
}

void finish(Child& child, bool kill) {
    if (kill)
        ::kill(child.pid, SIGKILL);
    int status = 0;
    waitpid(child.pid, &status, 0);
    close(child.output);
}

// An X server of our own on the first free display, for as long as the object lives.
class XvfbDisplay {
public:
    XvfbDisplay() {
        int displayFds[2];
        if (pipe2(displayFds, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe failed");
        // Xvfb picks a free display itself and writes its number to the descriptor given.
        server_ = spawn({"/usr/bin/Xvfb", "-displayfd", std::to_string(displayFds[1]), "-screen", "0",
                         "1920x1080x24", "-nolisten", "tcp", "-noreset"},
                        environment(), displayFds[1]);
        close(displayFds[1]);
        std::string number;
        char c = 0;
        pollfd poller{displayFds[0], POLLIN, 0};
        while (poll(&poller, 1, kStartLimitMs) > 0 && read(displayFds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(displayFds[0]);
        if (number.empty()) {
            finish(server_, true);
            throw std::runtime_error("Xvfb did not start");
        }
        display_ = ":" + number;
    }
    ~XvfbDisplay() { finish(server_, true); }
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;

    const std::string& name() const { return display_; }

    static std::vector<std::string> environment() {
        std::vector<std::string> entries;
        for (char** entry = environ; *entry; ++entry)
            entries.emplace_back(*entry);
        return entries;
    }

private:
    Child server_;
    std::string display_;
};

// The environment both programs start in: our display, Qt's X11 platform, the report, and settings
// folders of their own so that no user setting changes what they do.
std::vector<std::string> programEnvironment(const std::string& display, const std::filesystem::path& home) {
    const std::vector<std::string> replaced = {"DISPLAY",         "WAYLAND_DISPLAY", "QT_QPA_PLATFORM",
                                               "XDG_CONFIG_HOME", "XDG_DATA_HOME",   kFirstWindowReportVariable};
    std::vector<std::string> entries;
    for (const std::string& entry : XvfbDisplay::environment()) {
        const std::string key = entry.substr(0, entry.find('='));
        if (std::find(replaced.begin(), replaced.end(), key) == replaced.end())
            entries.push_back(entry);
    }
    entries.push_back("DISPLAY=" + display);
    entries.push_back("QT_QPA_PLATFORM=xcb");
    entries.push_back("XDG_CONFIG_HOME=" + (home / "config").string());
    entries.push_back("XDG_DATA_HOME=" + (home / "data").string());
    entries.push_back(std::string(kFirstWindowReportVariable) + "=1");
    // The application's settings: no welcome panel, so that the document window comes first.
    const QString settings = QString::fromStdString((home / "config" / "kollage").string());
    QDir().mkpath(settings);
    kx::UserDefaults defaults(settings + QStringLiteral("/Kollage.conf"));
    defaults.setValue(QStringLiteral("KXShowWelcomePanel"), false);
    defaults.synchronize();
    return entries;
}

// Milliseconds from the start of `program` to its report, or nothing when it did not report.
std::optional<double> timeFirstWindow(const std::string& program, std::vector<std::string> environment,
                                      const std::string& argument = {}, const std::string& windowClass = {}) {
    if (!windowClass.empty())
        for (std::string& entry : environment)
            if (entry.rfind(std::string(kFirstWindowReportVariable) + "=", 0) == 0)
                entry = std::string(kFirstWindowReportVariable) + "=" + windowClass;
    const auto start = Clock::now();
    Child child = spawn(argument.empty() ? std::vector<std::string>{program} : std::vector<std::string>{program, argument},
                        environment);
    const bool reported = waitForLine(child.output, kFirstWindowReportLine, kStartLimitMs);
    const auto shown = Clock::now();
    finish(child, !reported);
    if (!reported)
        return std::nullopt;
    return std::chrono::duration<double, std::milli>(shown - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// The largest template among the built-in ones: the calendar of twelve months.
std::string largestTemplate() {
    return std::string(KX_SOURCE_DIR) + "/resources/Templates/Calendars/Twelve Month Calendar";
}

// A project package of 20 pages of 1600 x 1200 pixels, each with 10 photos of its own (1600 x 1200 JPEG
// files with detail at every scale), written once into `folder`.
std::string largeProject(const std::filesystem::path& folder) {
    const QString package = QString::fromStdString((folder / "Large.vrtp3").string());
    if (QDir(package).exists())
        return package.toStdString();
    registerModelClasses();
    registerDocumentClasses();
    // The Quick Look pictures are not what is measured.
    KXProject::setPageRenderer([](KXCanvas&, const kx::Size& size) {
        QImage image(std::max(1, int(size.width)), std::max(1, int(size.height)), QImage::Format_RGBA8888);
        image.fill(Qt::gray);
        return kx::Image(image);
    });
    const QString photos = QString::fromStdString((folder / "photos").string());
    QDir().mkpath(photos);
    KXProject project;
    project.removeAllCanvasLayers();
    for (int p = 0; p < 20; ++p) {
        auto page = std::make_shared<KXCanvas>();
        const KXSize size(1600, 1200, KXSizeUnitPixel, 72);
        page->setPageSize(&size);
        page->setMarginRect({0, 0, 1600, 1200});
        project.createNewLayerWithCanvas(page);
        for (int i = 0; i < 10; ++i) {
            QImage photo(1600, 1200, QImage::Format_RGB32);
            QPainter painter(&photo);
            painter.fillRect(photo.rect(), QColor::fromHsv((p * 10 + i) * 7 % 360, 160, 200));
            for (int line = 0; line < 300; ++line) {
                painter.setPen(QColor::fromHsv((line * 37 + i) % 360, 200, 120 + line % 100));
                painter.drawLine((line * 53) % 1600, 0, (line * 97) % 1600, 1200);
            }
            painter.end();
            const QString path = photos + QStringLiteral("/photo_%1_%2.jpg").arg(p).arg(i);
            photo.save(path, "JPEG", 90);
            auto shape = photoShapeWithPath(path);
            shape->setRelativeRect({0.02 + 0.19 * (i % 5), 0.1 + 0.45 * (i / 5), 0.18, 0.35});
            shape->setAspectRatio(4.0 / 3.0);
            page->addGraph(shape);
        }
    }
    QString error;
    const bool saved = project.saveAsProjectToPath(package, KXSaveOperationSave, &error);
    KXProject::setPageRenderer({});
    if (!saved)
        throw std::runtime_error("cannot write the large project: " + error.toStdString());
    return package.toStdString();
}

// Times the application started with `argument` (none when empty) against the bare program, both in turn
// on one X server. With a window class, the application's time runs to the first window of that class.
void timeAgainstBare(benchmark::State& state, const std::string& argument, const std::string& windowClass = {}) {
    const std::string application = programPath("KX_STARTUP_APP", KX_STARTUP_APP);
    const std::string bare = programPath("KX_STARTUP_BARE", KX_STARTUP_BARE);
    std::optional<XvfbDisplay> display;
    try {
        display.emplace();
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
        return;
    }
    char homeTemplate[] = "/tmp/kx-startup-XXXXXX";
    if (!mkdtemp(homeTemplate)) {
        state.SkipWithError("cannot make a settings folder");
        return;
    }
    const std::filesystem::path home(homeTemplate);
    const std::vector<std::string> environment = programEnvironment(display->name(), home);

    // The first start of each fills the page cache and the settings folders; it is not counted.
    std::vector<double> bareTimes, applicationTimes;
    bool failed = !timeFirstWindow(bare, environment) || !timeFirstWindow(application, environment, argument, windowClass);
    bool bareFirst = true;
    for (auto _ : state) {
        if (failed)
            break;
        // The order changes every round, so that neither program always follows the other.
        std::optional<double> bareTime, applicationTime;
        if (bareFirst) {
            bareTime = timeFirstWindow(bare, environment);
            applicationTime = timeFirstWindow(application, environment, argument, windowClass);
        } else {
            applicationTime = timeFirstWindow(application, environment, argument, windowClass);
            bareTime = timeFirstWindow(bare, environment);
        }
        bareFirst = !bareFirst;
        if (!bareTime || !applicationTime) {
            failed = true;
            break;
        }
        bareTimes.push_back(*bareTime);
        applicationTimes.push_back(*applicationTime);
        state.SetIterationTime(*applicationTime / 1000.0);
    }
    std::filesystem::remove_all(home);
    if (failed) {
        state.SkipWithError("a program did not show its first window");
        return;
    }
    state.counters["bare_ms"] = median(bareTimes);
    state.counters["kollage_ms"] = median(applicationTimes);
    state.counters["ratio"] = median(applicationTimes) / median(bareTimes);
    state.counters["over_bare_ms"] = median(applicationTimes) - median(bareTimes);
}

void BM_FirstWindow(benchmark::State& state) {
    timeAgainstBare(state, {});
}
BENCHMARK(BM_FirstWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

void BM_FirstWindowLargestTemplate(benchmark::State& state) {
    // A path shows the opening progress window first; the document window is what is timed.
    timeAgainstBare(state, largestTemplate(), "KXMainWindow");
}
BENCHMARK(BM_FirstWindowLargestTemplate)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

void BM_FirstWindowLargeProject(benchmark::State& state) {
    static const std::filesystem::path folder = std::filesystem::temp_directory_path() / "kx-startup-large-project";
    std::string project;
    try {
        std::filesystem::create_directories(folder);
        project = largeProject(folder);
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
        return;
    }
    timeAgainstBare(state, project, "KXMainWindow");
}
BENCHMARK(BM_FirstWindowLargeProject)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

}  // namespace

int main(int argc, char** argv) {
    // Writing the large project needs images and fonts, not a screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
