// The shadow blur of a 12-megapixel (4000 x 3000) drawing at sigma 3 and 10 on 1, 2, 4 and 8 threads, beside
// the libvips command line tool (`vips gaussblur`) blurring the same coverage as a one-band image with the same
// number of threads, in the same run.
//
// The tool runs as a process on a vips native (.v) file in /dev/shm, so reading and writing cost next to
// nothing; what is left (start-up, mapping, writing the result) is measured by a `vips copy` of the same file
// run just before, and taken off: the reference's time is gaussblur minus copy, its new memory the peak
// resident size of gaussblur minus that of copy (both read from /proc while they run). Our figure is the whole call, threads handed work included,
// and the peak resident memory it added (the shadow image itself is made once, as a context keeps it).
// The first blur of a process makes the working memory (measured in a child process made for it); later calls
// reuse it, so their new memory should be 0.
//
// Run with --benchmark_repetitions=5 --benchmark_report_aggregates_only=true and compare medians.
#include "platform/gfx/shadow_blur.h"

#include <QFile>
#include <QImage>
#include <QStandardPaths>
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr int kWidth = 4000, kHeight = 3000;
const char* const kVipsInput = "/dev/shm/kx_bench_shadow_in.v";
const char* const kVipsOutput = "/dev/shm/kx_bench_shadow_out.v";

// A drawing with soft and hard edges: opaque blocks over a ramp, transparent gaps between them.
const QImage& drawing() {
    static const QImage image = [] {
        QImage q(kWidth, kHeight, QImage::Format_RGBA8888_Premultiplied);
        for (int y = 0; y < kHeight; ++y) {
            uchar* p = q.scanLine(y);
            for (int x = 0; x < kWidth; ++x, p += 4) {
                const bool gap = (x / 97) % 5 == 0 || (y / 61) % 7 == 0;
                const uchar a = gap ? 0 : ((x / 13 + y / 17) % 3 == 0 ? uchar((x + y) & 0xFF) : 255);
                p[0] = p[1] = p[2] = uchar(a / 2);
                p[3] = a;
            }
        }
        return q;
    }();
    return image;
}

// Resident memory of this process, current ("VmRSS:") or peak since the last reset ("VmHWM:"), in bytes.
long long statusBytes(const char* key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(int(std::strlen(key))).trimmed().split(' ').first().toLongLong() * 1024;
    return 0;
}

void resetPeakResident() {
    const int fd = ::open("/proc/self/clear_refs", O_WRONLY);
    if (fd < 0)
        return;
    if (::write(fd, "5", 1) != 1)
        std::perror("clear_refs");
    ::close(fd);
}

const std::array<double, 4> kShadowColor{0, 0, 0, 0.6};

// The new memory of the first blur of a process (sigma, threads): the working memory it makes, measured in a
// child process made before this one blurs anything, so that nothing is kept from an earlier blur.
std::map<std::pair<int, int>, double>& firstCallMegabytes() {
    static std::map<std::pair<int, int>, double> table;
    return table;
}

void measureFirstCalls(const std::vector<std::pair<int, int>>& configurations) {
    const QImage& source = drawing();
    QImage shadow(kWidth, kHeight, QImage::Format_RGBA8888_Premultiplied);
    shadow.fill(0);
    for (const auto& [sigma, threads] : configurations) {
        int channel[2];
        if (pipe(channel) != 0)
            return;
        const pid_t child = fork();
        if (child == 0) {
            resetPeakResident();
            const long long before = statusBytes("VmRSS:");
            kx::blurShadow(source, source.rect(), kWidth, kHeight, kx::shadowBoxRadii(sigma), kShadowColor, shadow,
                           threads);
            const long long grown = std::max(0LL, statusBytes("VmHWM:") - before);
            if (::write(channel[1], &grown, sizeof grown) != sizeof grown)
                _exit(1);
            _exit(0);
        }
        long long grown = -1;
        if (child > 0 && ::read(channel[0], &grown, sizeof grown) == sizeof grown)
            firstCallMegabytes()[{sigma, threads}] = double(grown) / 1e6;
        ::close(channel[0]);
        ::close(channel[1]);
        if (child > 0)
            waitpid(child, nullptr, 0);
    }
}

void BM_ShadowBlur(benchmark::State& state) {
    const int sigma = int(state.range(0));
    const int threads = int(state.range(1));
    const QImage& source = drawing();
    QImage shadow(kWidth, kHeight, QImage::Format_RGBA8888_Premultiplied);
    shadow.fill(0);
    const std::array<int, 3> radii = kx::shadowBoxRadii(sigma);
    // Once warm, a blur should make no new memory.
    kx::blurShadow(source, source.rect(), kWidth, kHeight, radii, kShadowColor, shadow, threads);
    resetPeakResident();
    const long long before = statusBytes("VmRSS:");
    for (auto _ : state) {
        if (!kx::blurShadow(source, source.rect(), kWidth, kHeight, radii, kShadowColor, shadow, threads))
            state.SkipWithError("no memory for the blur");
        benchmark::DoNotOptimize(shadow.constBits());
    }
    state.counters["first_call_new_MB"] = firstCallMegabytes()[{sigma, threads}];
    state.counters["later_calls_new_MB"] = double(std::max(0LL, statusBytes("VmHWM:") - before)) / 1e6;
}

// Runs the program with the arguments, answering its wall time in seconds (negative when it fails).
double runProcess(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return elapsed.count();
}

// The peak resident memory of the program run with the arguments, in bytes, read from its /proc status
// while it runs (its resource usage would count this process's memory, which it shares until it starts).
long long peakResident(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return 0;
    const QString statusPath = QStringLiteral("/proc/%1/status").arg(pid);
    long long peak = 0;
    for (;;) {
        QFile status(statusPath);
        if (status.open(QIODevice::ReadOnly))
            for (const QByteArray& line : status.readAll().split('\n'))
                if (line.startsWith("VmHWM:"))
                    peak = std::max(peak, line.mid(6).trimmed().split(' ').first().toLongLong() * 1024);
        int code = 0;
        if (waitpid(pid, &code, WNOHANG) == pid)
            return peak;
        usleep(500);
    }
}

// The drawing's coverage as a one-band vips file, made once.
bool writeVipsInput() {
    static const bool written = [] {
        QImage mask(kWidth, kHeight, QImage::Format_Grayscale8);
        const QImage& source = drawing();
        for (int y = 0; y < kHeight; ++y) {
            const uchar* in = source.constScanLine(y);
            uchar* out = mask.scanLine(y);
            for (int x = 0; x < kWidth; ++x)
                out[x] = in[4 * x + 3];
        }
        const QString png = QStringLiteral("/dev/shm/kx_bench_shadow_in.png");
        if (!mask.save(png))
            return false;
        const bool converted = runProcess({"vips", "copy", png.toStdString(), kVipsInput}) >= 0;
        QFile::remove(png);
        return converted;
    }();
    return written;
}

void BM_VipsGaussBlur(benchmark::State& state) {
    const int sigma = int(state.range(0));
    const int threads = int(state.range(1));
    if (QStandardPaths::findExecutable(QStringLiteral("vips")).isEmpty() || !writeVipsInput()) {
        state.SkipWithError("vips (libvips-tools) is not installed");
        return;
    }
    const std::string concurrency = "--vips-concurrency=" + std::to_string(threads);
    const std::vector<std::string> copy{"vips", "copy", kVipsInput, kVipsOutput, concurrency};
    const std::vector<std::string> blur{"vips", "gaussblur", kVipsInput, kVipsOutput, std::to_string(sigma), concurrency};
    for (auto _ : state) {
        const double floor = runProcess(copy);
        const double blurred = runProcess(blur);
        if (floor < 0 || blurred < 0) {
            state.SkipWithError("vips failed");
            break;
        }
        state.SetIterationTime(std::max(0.0, blurred - floor));
    }
    // Memory, in runs of their own (the watching costs time): the blur's peak beyond the copy's.
    const long long blurPeak = peakResident(blur), copyPeak = peakResident(copy);
    std::remove(kVipsOutput);
    state.counters["peak_new_MB"] = double(std::max(0LL, blurPeak - copyPeak)) / 1e6;
    state.counters["blur_peak_MB"] = double(blurPeak) / 1e6;
}

const std::vector<std::pair<int, int>>& configurations() {
    static const std::vector<std::pair<int, int>> all = [] {
        std::vector<std::pair<int, int>> list;
        for (const int sigma : {3, 10})
            for (const int threads : {1, 2, 4, 8})
                list.emplace_back(sigma, threads);
        return list;
    }();
    return all;
}

void Arguments(benchmark::internal::Benchmark* b) {
    for (const auto& [sigma, threads] : configurations())
        b->Args({sigma, threads});
    b->ArgNames({"sigma", "threads"});
}

BENCHMARK(BM_ShadowBlur)->Apply(Arguments)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_VipsGaussBlur)->Apply(Arguments)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseManualTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    measureFirstCalls(configurations());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
