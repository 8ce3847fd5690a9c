#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <optional>

#include "platform/decimal_separator.h"
#include "platform/program_directory.h"
#include "platform/user_settings_directory.h"
#include "support/test_files.h"

#ifndef _WIN32
#include <locale.h>
#endif

namespace ksv::platform {
namespace {

namespace fs = std::filesystem;

// Wherever the tests are started from, the directory is the one holding the
// test program itself.
TEST(ProgramDirectory, IsWhereTheExecutableLies) {
    const fs::path before = fs::current_path();
    testing::TempDir elsewhere;
    fs::current_path(elsewhere.path());
    const fs::path directory = ProgramDirectory();
    fs::current_path(before);

    EXPECT_TRUE(directory.is_absolute()) << directory;
    // No trailing separator, except that a drive root keeps its own.
    EXPECT_TRUE(!directory.filename().empty() || directory == directory.root_path()) << directory;
    EXPECT_TRUE(fs::exists(directory / "ksv_core_tests") ||
                fs::exists(directory / "ksv_core_tests.exe"))
        << directory;
}

#ifndef _WIN32
// An environment variable of the test process, set back at the end.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        value != nullptr ? setenv(name, value, 1) : unsetenv(name);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ~ScopedEnv() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(UserSettingsDirectory, FollowsTheBaseDirectoryRules) {
    struct Case {
        const char* xdgConfigHome;  // nullptr: unset
        const char* expected;
    };
    const Case cases[] = {
        {"/srv/conf", "/srv/conf/ksv"},
        {nullptr, "/home/zhang/.config/ksv"},
        {"", "/home/zhang/.config/ksv"},
        {"relative/conf", "/home/zhang/.config/ksv"},  // not absolute: ignored
    };
    const ScopedEnv home("HOME", "/home/zhang");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.xdgConfigHome ? c.xdgConfigHome : "(unset)");
        const ScopedEnv config("XDG_CONFIG_HOME", c.xdgConfigHome);
        EXPECT_EQ(UserSettingsDirectory(), fs::path(c.expected));
    }
}

// Where programs are installed for every user, a copy keeps its settings per
// user, even when run by root, who may write there.
TEST(SystemProgramDirectory, IsTheSystemsOwnHierarchy) {
    const std::pair<const char*, bool> cases[] = {
        {"/usr/bin", true}, {"/usr/local/bin", true},   {"/opt/ksv", true},
        {"/bin", true},     {"/home/zhang/ksv", false}, {"/tmp", false},
        {"/", false},       {"relative/bin", false},    {"/usrx/bin", false},
        {"/dev", true},     {"/etc/ksv", true},
    };
    for (const auto& [directory, system] : cases) {
        EXPECT_EQ(SystemProgramDirectory(directory), system) << directory;
    }
}

TEST(DecimalSeparator, FollowsTheUserLocaleOnly) {
    struct Case {
        const char* locale;
        const char* separator;
    };
    const Case cases[] = {
        {"C", "."},           {"C.UTF-8", "."},     {"en_US.UTF-8", "."},
        {"de_DE.UTF-8", ","}, {"fr_FR.UTF-8", ","},
    };
    const char* saved = std::getenv("LC_ALL");
    const std::optional<std::string> oldLcAll =
        saved ? std::optional<std::string>(saved) : std::nullopt;
    const std::string globalBefore = std::setlocale(LC_ALL, nullptr);
    int tried = 0;
    for (const auto& c : cases) {
        locale_t probe = newlocale(LC_NUMERIC_MASK, c.locale, static_cast<locale_t>(0));
        if (probe == static_cast<locale_t>(0)) {
            continue;  // not installed here
        }
        freelocale(probe);
        ++tried;
        SCOPED_TRACE(c.locale);
        setenv("LC_ALL", c.locale, 1);
        EXPECT_EQ(DecimalSeparator(), c.separator);
        // The program's own formatting must not change behind its back.
        EXPECT_EQ(std::setlocale(LC_ALL, nullptr), globalBefore);
    }
    if (oldLcAll) {
        setenv("LC_ALL", oldLcAll->c_str(), 1);
    } else {
        unsetenv("LC_ALL");
    }
    EXPECT_GT(tried, 0);
}
#endif

}  // namespace
}  // namespace ksv::platform
