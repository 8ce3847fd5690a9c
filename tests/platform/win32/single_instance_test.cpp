// The single-copy guard in the program's own process.
#include "platform/win32/single_instance.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <vector>

#include "platform/settings_lock.h"
#include "support/test_files.h"

namespace {

using ksv::platform::win32::SingleInstance;

TEST(SingleInstanceTest, OneSpellingOfAPathIsOneKey) {
    const auto dir = ksv::testing::FreshDir("ksv single key");
    const ksv::platform::SettingsLock held(dir / "ksv.ini");
    struct Case {
        std::filesystem::path path;
        bool same;
    };
    const std::vector<Case> cases = {
        {(dir / "KSV.INI").wstring(), true},
        {dir / "." / "ksv.ini", true},
        {dir / "other" / "ksv.ini", false},
        {dir / "ksv.ini2", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ksv::platform::SettingsLock(c.path).Key() == held.Key(), c.same)
            << c.path.string();
    }
}

// A later copy holds nothing, so one still showing its message does not
// keep a third from counting once the first has ended.
TEST(SingleInstanceTest, OnlyTheFirstHolderCountsUntilItEnds) {
    const auto dir = ksv::testing::FreshDir("ksv single guard");
    std::optional<SingleInstance> first(std::in_place, dir / "ksv.ini");
    EXPECT_TRUE(first->IsFirst());
    SingleInstance second(dir / "KSV.ini");
    EXPECT_FALSE(second.IsFirst());
    EXPECT_TRUE(SingleInstance(dir / "sub" / "ksv.ini").IsFirst());
    first.reset();
    EXPECT_TRUE(SingleInstance(dir / "ksv.ini").IsFirst());
}

}  // namespace
