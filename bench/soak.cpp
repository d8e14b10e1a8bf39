// The long soak: N cycles (the first argument, 1000 by default) of a person's work on one project, each
// ended by save, close and reopen, with the checks of the soak test (tests/app/soak_driver.h). Prints the
// seed, the resident memory every 100 cycles, the peak at cycles 100 and 1,000, and the result.
// Usage: bench_soak [cycles] [seed] [commands per cycle]
#include "soak_driver.h"

#include <QApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int cycles = argc > 1 ? std::atoi(argv[1]) : 1000;
    const auto seed = std::uint32_t(argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 20261211);
    const int commands = argc > 3 ? std::atoi(argv[3]) : 20;
    QTemporaryDir folder;
    // KX_SOAK_KEEP keeps the run's folder (with the archives of the last page that came out different).
    folder.setAutoRemove(!qEnvironmentVariableIsSet("KX_SOAK_KEEP"));
    if (!folder.isValid() || cycles <= 0 || commands <= 0) {
        std::fprintf(stderr, "usage: bench_soak [cycles] [seed] [commands per cycle]\n");
        return 2;
    }
    std::printf("soak seed %u, %d cycles of %d commands\n", seed, cycles, commands);
    std::fflush(stdout);
    kxsoak::Options options;
    options.seed = seed;
    options.cycles = cycles;
    options.commandsPerCycle = commands;
    options.folder = folder.path();
    // Faults are counted and listed, and the run goes on, so that the memory is measured to the end.
    options.keepGoing = true;
    options.onCycle = [](const kxsoak::CycleReport& report) {
        if (report.cycle % 100 == 0 || report.cycle == 1)
            std::printf("cycle %d: %ld kB resident, peak %ld kB, %lld pages, %lld objects\n", report.cycle,
                        report.residentKb, report.peakKb, (long long)report.pages, (long long)report.graphs);
        if (report.cycle == 100 || report.cycle == 1000)
            std::printf("peak memory at cycle %d: %ld kB\n", report.cycle, report.peakKb);
        std::fflush(stdout);
    };
    const kxsoak::Result result = kxsoak::runSoak(options);
    std::printf("%s after %d cycles, %lld failed\n", result.passed ? "passed" : "FAILED", result.cyclesRun,
                (long long)result.failures.size());
    for (const QString& failure : result.failures)
        std::printf("  %s\n", qPrintable(failure));
    return result.passed ? 0 : 1;
}
