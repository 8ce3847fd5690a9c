#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include <optional>

#include "platform/code_page.h"
#include "support/test_files.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace ksv {
namespace {

namespace fs = std::filesystem;
using platform::FileFailure;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

#ifdef _WIN32
const std::string kNl = "\r\n";
#else
const std::string kNl = "\n";
#endif

TEST(ReadSetting, GivesTheStoredValueOrTheDefault) {
    struct Case {
        std::optional<std::string> file;  // nothing: no file
        const char* key;
        const char* defaultValue;
        std::string expected;
    };
    const Case cases[] = {
        {std::nullopt, "title", "kesvo", "kesvo"},
        {std::nullopt, "minutes", "0", "0"},
        {"[ksv]" + kNl + "title=" + kNl, "title", "kesvo", ""},
        {"[ksv]" + kNl + "title=计时器" + kNl + "minutes=1441" + kNl, "minutes", "0", "1441"},
        {"[other]" + kNl + "minutes=5" + kNl + "[ksv]" + kNl, "minutes", "0", "0"},
        {"[ksv]" + kNl + "title=" + std::string(300, 'a') + kNl, "title", "kesvo",
         std::string(253, 'a')},
        {"[ksv]" + kNl + "title=" + std::string(253, 'b') + kNl, "title", "kesvo",
         std::string(253, 'b')},
        {"[ksv]" + kNl + std::string("title=ab\0cd", 11) + kNl, "title", "kesvo", "ab"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file ? *c.file : "(no file)");
        TempDir dir;
        if (c.file) {
            WriteBytes(SettingsPath(dir.path()), *c.file);
        }
        const SettingsFile settings(SettingsPath(dir.path()));
        EXPECT_EQ(settings.ReadSetting(c.key, c.defaultValue), c.expected);
    }
}

// A long title is cut to 253 bytes of the file's code page, but never in the
// middle of a character. "ab" puts byte 253 inside a character both in UTF-8
// (3 bytes each) and in GBK (2 bytes each).
TEST(ReadSetting, CutsLongTitlesOnACharacterBoundary) {
    const std::string ji = "计";
    const std::string ansiJi = platform::Utf8ToAnsi(ji);
    if (platform::AnsiToUtf8(ansiJi) != ji) {
        GTEST_SKIP() << "the system's ANSI code page has no Chinese";
    }
    std::string title = "ab";
    for (int i = 0; i < 150; ++i) {
        title += ji;
    }
    TempDir dir;
    WriteBytes(SettingsPath(dir.path()),
               "[ksv]" + kNl + "title=" + platform::Utf8ToAnsi(title) + kNl);

    std::string expected = "ab";
    for (std::size_t used = 2; used + ansiJi.size() <= 253; used += ansiJi.size()) {
        expected += ji;
    }
    EXPECT_EQ(SettingsFile(SettingsPath(dir.path())).ReadSetting("title", "kesvo"), expected);
}

// A file saved on a Chinese Windows system holds its title in GBK.
TEST(ReadSetting, ReadsAGbkTitle) {
#ifdef _WIN32
    if (GetACP() != 936) {
        GTEST_SKIP() << "the system's ANSI code page is not GBK";
    }
#endif
    TempDir dir;
    WriteBytes(SettingsPath(dir.path()), "[ksv]\r\ntitle=\xBC\xC6\xCA\xB1\xC6\xF7\r\n");
    EXPECT_EQ(SettingsFile(SettingsPath(dir.path())).ReadSetting("title", "kesvo"), "计时器");
}

TEST(WriteSetting, ChangesOnlyTheKeyItWrites) {
    struct Case {
        std::optional<std::string> before;  // nothing: no file
        const char* key;
        const char* value;
        std::string after;
    };
    const std::string rest = "[other]" + kNl + "minutes=99" + kNl + "; note" + kNl;
    const Case cases[] = {
        {std::nullopt, "minutes", "1", "[ksv]" + kNl + "minutes=1" + kNl},
        {"[ksv]" + kNl + "title=计时" + kNl + "minutes=41" + kNl + rest, "minutes", "42",
         "[ksv]" + kNl + "title=计时" + kNl + "minutes=42" + kNl + rest},
        {rest + "[ksv]" + kNl + "minutes=7" + kNl + "title=t" + kNl, "minutes", "8",
         rest + "[ksv]" + kNl + "minutes=8" + kNl + "title=t" + kNl},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before ? *c.before : "(no file)");
        TempDir dir;
        const fs::path path = SettingsPath(dir.path());
        if (c.before) {
            WriteBytes(path, *c.before);
        }
        SettingsFile settings(path);
        const auto result = settings.WriteSetting(c.key, c.value);
        EXPECT_TRUE(result.ok()) << result.detail;
        EXPECT_EQ(ReadBytes(path), c.after);
        EXPECT_EQ(settings.ReadSetting(c.key, "0"), c.value);
        EXPECT_EQ(dir.Names(), std::vector<std::string>{"ksv.ini"});
    }
}

// A read-only file shows whether a write was attempted at all: a value that
// is already stored is not written again.
TEST(WriteSetting, SameValueIsNotWrittenAgain) {
    TempDir dir;
    const fs::path path = SettingsPath(dir.path());
    const std::string content = "[ksv]" + kNl + "minutes=5" + kNl;
    WriteBytes(path, content);
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    SettingsFile settings(path);
    EXPECT_TRUE(settings.WriteSetting("minutes", "5").ok());
    EXPECT_EQ(settings.WriteSetting("minutes", "6").failure, FileFailure::ReadOnly);
    EXPECT_EQ(ReadBytes(path), content);
}

TEST(WriteSetting, ReportsWhyItFailed) {
    TempDir dir;
    fs::create_directories(dir / "folder" / "ksv.ini");  // a directory in the way
    const struct {
        fs::path path;
        FileFailure expected;
    } cases[] = {
        {dir / "folder" / "ksv.ini", FileFailure::IsDirectory},
        {dir / "missing" / "ksv.ini", FileFailure::NotFound},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.string());
        EXPECT_EQ(SettingsFile(c.path).WriteSetting("minutes", "1").failure, c.expected);
    }
    EXPECT_FALSE(fs::exists(dir / "missing"));
}

#ifndef _WIN32
// Replacing a file we cannot read would lose everything else it holds.
TEST(WriteSetting, LeavesAnUnreadableFileAlone) {
    TempDir dir;
    const fs::path path = SettingsPath(dir.path());
    const std::string content = "[ksv]\ntitle=mine\nminutes=5\n";
    WriteBytes(path, content);
    ASSERT_EQ(chmod(path.c_str(), 0222), 0);
    ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
    const int failure = testing::RunUnprivileged(
        [&] { return static_cast<int>(SettingsFile(path).WriteSetting("minutes", "6").failure); });
    EXPECT_EQ(failure, static_cast<int>(FileFailure::AccessDenied));
    EXPECT_EQ(ReadBytes(path), content);
}
#endif

}  // namespace
}  // namespace ksv
