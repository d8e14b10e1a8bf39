#include "support/environment_override.h"
#include "support/outside_tools.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

namespace {

using ScopedEnv = kxtest::EnvironmentOverride;

constexpr const char* kMissing = "kx-no-such-program-anywhere";

TEST(OutsideToolsTest, FindsProgramsOnThePathAndByAbsolutePath) {
    EXPECT_TRUE(kxtest::missingTools({"sh", "/bin/sh"}).isEmpty());
    EXPECT_EQ(kxtest::missingTools({"sh", kMissing, "/no/such/dir/tool"}),
              (QStringList{QString::fromLatin1(kMissing), QStringLiteral("/no/such/dir/tool")}));
    EXPECT_FALSE(kxtest::toolPath("sh").isEmpty());
}

TEST(OutsideToolsTest, CiOrRequireSettingMakesToolsRequired) {
    struct Case {
        const char* ci;
        const char* require;
        bool required;
    };
    const Case cases[] = {
        {nullptr, nullptr, false}, {"true", nullptr, true}, {"1", nullptr, true},  {"false", nullptr, false},
        {nullptr, "1", true},      {nullptr, "0", false},  {"", "", false},       {"false", "1", true},
    };
    for (const Case& c : cases) {
        ScopedEnv ci("CI", c.ci);
        ScopedEnv require("KX_REQUIRE_TOOLS", c.require);
        EXPECT_EQ(kxtest::outsideToolsRequired(), c.required)
            << "CI=" << (c.ci ? c.ci : "(unset)") << " KX_REQUIRE_TOOLS=" << (c.require ? c.require : "(unset)");
    }
}

void requireMissingTool() {
    KX_REQUIRE_TOOLS("sh", kMissing);
    ADD_FAILURE() << "went on without the program";
}

TEST(OutsideToolsTest, MissingToolFailsTheTestInCi) {
    ScopedEnv ci("CI", nullptr);
    ScopedEnv require("KX_REQUIRE_TOOLS", "1");
    EXPECT_FATAL_FAILURE(requireMissingTool(), "required program missing: kx-no-such-program-anywhere");
}

TEST(OutsideToolsTest, PresentToolsLetTheTestGoOn) {
    ScopedEnv require("KX_REQUIRE_TOOLS", "1");
    bool wentOn = false;
    [&] {
        KX_REQUIRE_TOOLS("sh");
        wentOn = true;
    }();
    EXPECT_TRUE(wentOn);
}

// Outside CI a missing program skips: this test must end skipped, never failed (CTest shows it as passed).
TEST(OutsideToolsTest, MissingToolSkipsOutsideCi) {
    ScopedEnv ci("CI", nullptr);
    ScopedEnv require("KX_REQUIRE_TOOLS", nullptr);
    KX_REQUIRE_TOOLS(kMissing);
    ADD_FAILURE() << "went on without the program";
}

}  // namespace
