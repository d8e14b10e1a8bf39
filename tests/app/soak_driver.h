// A long run of a person's work on one project, shared by the soak test (a few dozen cycles) and the soak
// benchmark (as many as asked). A seeded generator picks the commands: adding shapes, texts and photos,
// moving, resizing, turning, grouping, ungrouping, locking and unlocking objects, editing words, changing
// fills, adding, duplicating and removing pages, and undoing and redoing any number of steps. Each cycle ends
// by saving, closing and opening the project again through the document framework.
//
// What is checked, the first failure ending the run:
// - every edit leaves undo steps on its page, and undoing and redoing bring back the archive bytes the page
//   had at each of those steps (also replayed whole, to the start and back, before each save);
// - after a reopen and one more save, every page archives to the same bytes as before the close;
// - nothing is shown to the person: no alert, no error, no question.
// The resident memory is measured after every cycle, so that callers can tell whether it stays flat.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <vector>

namespace kxsoak {

struct CycleReport {
    int cycle = 0;           // 1-based
    long residentKb = 0;     // resident memory after the cycle
    long peakKb = 0;         // highest resident memory of the process so far
    std::int64_t pages = 0;  // pages of the project after the reopen
    std::int64_t graphs = 0;  // top-level objects on all of its pages
    int steps = 0;           // undo steps the cycle's commands made
};

struct Options {
    std::uint32_t seed = 1;
    int cycles = 50;
    int commandsPerCycle = 40;
    // An existing, empty folder the run may fill (project, template, photos, settings).
    QString folder;
    // Whether a failed cycle ends the run (false) or is noted, the run going on from the project as last
    // saved (true), so that a long run still measures memory past a fault.
    bool keepGoing = false;
    // Called after every cycle.
    std::function<void(const CycleReport&)> onCycle;
};

struct Result {
    bool passed = false;
    // What failed, where: cycle, command number and command name.
    QString failure;
    int cyclesRun = 0;
    // Every failure of a run that keeps going, in order.
    QStringList failures;
    // Resident memory after each cycle, in kilobytes.
    std::vector<long> residentKb;
};

// Runs the soak in the running QApplication.
Result runSoak(const Options& options);

// The resident memory of this process now (from /proc/self/statm) and its highest so far (VmHWM), in
// kilobytes; 0 when they cannot be read.
long residentKb();
long peakResidentKb();

}  // namespace kxsoak
