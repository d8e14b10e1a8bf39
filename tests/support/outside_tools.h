// Tests that check our files with an outside program (python3, ImageMagick, xmllint, Ghostscript...) ask for
// it through KX_REQUIRE_TOOLS. On a developer's machine a missing program skips the test; in CI (CI=true or
// KX_REQUIRE_TOOLS=1) it fails the test, since CTest counts a skipped test as passed and a check that never
// runs would go unnoticed.
#pragma once

#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

#include <initializer_list>

namespace kxtest {

// Whether a missing outside program fails a test instead of skipping it.
bool outsideToolsRequired();
// The programs of `names` that are not found on PATH (or, for absolute paths, are not executable files).
QStringList missingTools(std::initializer_list<const char*> names);
// The full path of a program on PATH; empty when it is not there.
QString toolPath(const char* name);

}  // namespace kxtest

// Skips (or in CI fails) the current test when any of the named programs is missing. Use it in a test body or
// in SetUp, like GTEST_SKIP, which it ends in.
#define KX_REQUIRE_TOOLS(...)                                                                        \
    do {                                                                                             \
        if (const QStringList kxMissing = ::kxtest::missingTools({__VA_ARGS__}); !kxMissing.isEmpty()) { \
            if (::kxtest::outsideToolsRequired())                                                     \
                GTEST_FAIL() << "required program missing: " << kxMissing.join(", ").toStdString()    \
                             << " (scripts/setup installs it)";                                      \
            else                                                                                     \
                GTEST_SKIP() << "program missing: " << kxMissing.join(", ").toStdString();           \
        }                                                                                            \
    } while (false)
