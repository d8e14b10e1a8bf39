// A person's work on one project, cycle after cycle: edits, undo and redo, save, close and reopen (the
// generator is in soak_driver.h). The seed is printed; KX_SOAK_SEED, KX_SOAK_CYCLES and KX_SOAK_COMMANDS run
// another one, KX_SOAK_KEEP keeps the run's folder.
#include "soak_driver.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <vector>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KX_SOAK_UNDER_ASAN 1
#include <sanitizer/allocator_interface.h>
#endif
#endif

namespace {

// The memory the run holds: the live heap under the address sanitizer (whose quarantine of freed blocks
// makes the resident size grow for a long while), the resident size otherwise.
long memoryKb() {
#ifdef KX_SOAK_UNDER_ASAN
    return long(__sanitizer_get_current_allocated_bytes() / 1024);
#else
    return kxsoak::residentKb();
#endif
}

// How much that memory may grow from cycle 10 to the last.
constexpr long kGrowthLimitKb = 16 * 1024;

std::uint32_t environmentNumber(const char* name, std::uint32_t fallback) {
    const char* value = std::getenv(name);
    return value && *value ? std::uint32_t(std::strtoul(value, nullptr, 10)) : fallback;
}

// Runs the soak and expects it to pass; the memory after each cycle goes to *memory.
void soak(std::uint32_t seed, int cycles, int commands, std::vector<long>* memory = nullptr) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    folder.setAutoRemove(std::getenv("KX_SOAK_KEEP") == nullptr);
    kxsoak::Options options;
    options.seed = seed;
    options.cycles = cycles;
    options.commandsPerCycle = commands;
    options.folder = folder.path();
    options.onCycle = [memory](const kxsoak::CycleReport& report) {
        if (memory)
            memory->push_back(memoryKb());
        if (report.cycle % 10 == 0)
            std::cout << "cycle " << report.cycle << ": " << report.steps << " undo steps, " << report.pages
                      << " pages, " << report.graphs << " objects, " << memoryKb() << " kB" << std::endl;
    };
    std::cout << "soak seed " << seed << ", " << cycles << " cycles of " << commands << " commands" << std::endl;
    const kxsoak::Result result = kxsoak::runSoak(options);
    EXPECT_TRUE(result.passed) << "seed " << seed << ": " << result.failure.toStdString();
    EXPECT_EQ(result.cyclesRun, cycles) << "seed " << seed;
}

// Fifty cycles; after the first ten the memory may not keep growing.
TEST(SoakTest, FiftyCyclesOfEditingSavingAndReopeningLoseNothing) {
    const std::uint32_t seed = environmentNumber("KX_SOAK_SEED", 20261211);
    const int cycles = int(environmentNumber("KX_SOAK_CYCLES", 50));
    std::vector<long> memory;
    soak(seed, cycles, int(environmentNumber("KX_SOAK_COMMANDS", 20)), &memory);
    if (memory.size() < 20)
        return;
    std::cout << "memory after cycle 10: " << memory[9] << " kB, after cycle " << memory.size() << ": "
              << memory.back() << " kB" << std::endl;
    EXPECT_LT(memory.back() - memory[9], kGrowthLimitKb) << "seed " << seed;
}

// Runs that once failed, each up to the cycle past its fault: a new line's aspect ratio (cycle 13; the
// fifty cycles above pass an arrow's width as the archive keeps it, at cycle 15).
TEST(SoakTest, RunsThatOnceFailedPass) {
    struct Case {
        std::uint32_t seed;
        int commands;
        int cycles;
    };
    for (const Case& c : {Case{20261211, 30, 14}}) {
        SCOPED_TRACE(testing::Message() << "seed " << c.seed << ", " << c.commands << " commands");
        soak(c.seed, c.cycles, c.commands);
    }
}

}  // namespace
