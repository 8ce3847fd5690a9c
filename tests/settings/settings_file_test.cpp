#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>

#include "platform/code_page.h"
#include "platform/user_settings_directory.h"
#include "support/test_files.h"

#ifdef _WIN32
// clang-format off
#include <windows.h>
#include <sddl.h>
// clang-format on
#else
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace ksv {
namespace {

namespace fs = std::filesystem;
using platform::FileFailure;
using testing::ReadBytes;
using testing::TempDir;
using testing::Utf16Bytes;
using testing::WriteBytes;

#ifdef _WIN32
const std::string kNl = "\r\n";
const std::u16string kNl16 = u"\r\n";
#else
const std::string kNl = "\n";
const std::u16string kNl16 = u"\n";
#endif

std::string Repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

std::u16string Repeat16(const std::u16string& text, int times) {
    std::u16string out;
    for (int i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

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
        // Saved as "Unicode" by Notepad, in either byte order.
        {Utf16Bytes(u"\uFEFF[KSV]\r\ntitle=计时器 \U0001F600\r\nminutes=5\r\n"), "title", "kesvo",
         "计时器 \U0001F600"},
        {Utf16Bytes(u"\uFEFF[ksv]\r\nminutes=5\r\n", false), "minutes", "0", "5"},
        {Utf16Bytes(u"\uFEFF[other]\r\nminutes=5\r\n"), "minutes", "0", "0"},
        // A UTF-16 title is cut after 253 units, a character past U+FFFF kept
        // whole; nothing becomes a question mark.
        {Utf16Bytes(u"\uFEFF[ksv]\r\ntitle=" + std::u16string(254, u'\u0E17') + u"\r\n"), "title",
         "kesvo", Repeat("\u0E17", 253)},
        {Utf16Bytes(u"\uFEFF[ksv]\r\ntitle=" + Repeat16(u"\U0001F600", 127) + u"\r\n"), "title",
         "kesvo", Repeat("\U0001F600", 126)},
        // Saved as "UTF-8" by Notepad: its mark means UTF-8, whatever the
        // system's code page, and the cut is 253 bytes of it.
        {"\xEF\xBB\xBF[ksv]" + kNl + "title=我的计时 \U0001F600" + kNl, "title", "kesvo",
         "我的计时 \U0001F600"},
        {"\xEF\xBB\xBF[ksv]" + kNl + "title=a" + Repeat("计", 90) + kNl, "title", "kesvo",
         "a" + Repeat("计", 84)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file ? *c.file : "(no file)");
        TempDir dir;
        if (c.file) {
            WriteBytes(dir / "ksv.ini", *c.file);
        }
        const SettingsFile settings(dir / "ksv.ini");
        EXPECT_EQ(settings.Read().ReadSetting(c.key, c.defaultValue), c.expected);
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
    WriteBytes(dir / "ksv.ini", "[ksv]" + kNl + "title=" + platform::Utf8ToAnsi(title) + kNl);

    std::string expected = "ab";
    for (std::size_t used = 2; used + ansiJi.size() <= 253; used += ansiJi.size()) {
        expected += ji;
    }
    EXPECT_EQ(SettingsFile(dir / "ksv.ini").Read().ReadSetting("title", "kesvo"), expected);
}

// A file saved on a Chinese Windows system holds its title in GBK.
TEST(ReadSetting, ReadsAGbkTitle) {
#ifdef _WIN32
    if (GetACP() != 936) {
        GTEST_SKIP() << "the system's ANSI code page is not GBK";
    }
#endif
    TempDir dir;
    WriteBytes(dir / "ksv.ini", "[ksv]\r\ntitle=\xBC\xC6\xCA\xB1\xC6\xF7\r\n");
    EXPECT_EQ(SettingsFile(dir / "ksv.ini").Read().ReadSetting("title", "kesvo"), "计时器");
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
        // UTF-16 stays UTF-16, every other unit as it was: the mark, an
        // unpaired surrogate, a last odd byte.
        {Utf16Bytes(u"\uFEFF[ksv]\r\ntitle=\xD800计\r\nminutes=9\r\n") + "\x01", "minutes", "10",
         Utf16Bytes(u"\uFEFF[ksv]\r\ntitle=\xD800计\r\nminutes=10\r\n") + "\x01"},
        {Utf16Bytes(u"\uFEFF; 备注\r\n", false), "minutes", "1",
         Utf16Bytes(u"\uFEFF; 备注\r\n[ksv]\r\nminutes=1\r\n", false)},
        {Utf16Bytes(u"\uFEFF"), "minutes", "1",
         Utf16Bytes(u"\uFEFF[ksv]" + kNl16 + u"minutes=1" + kNl16)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before ? *c.before : "(no file)");
        TempDir dir;
        const fs::path path = dir / "ksv.ini";
        if (c.before) {
            WriteBytes(path, *c.before);
        }
        SettingsFile settings(path);
        const auto result = settings.WriteSetting(c.key, c.value);
        EXPECT_TRUE(result.ok()) << result.detail;
        EXPECT_EQ(ReadBytes(path), c.after);
        EXPECT_EQ(settings.Read().ReadSetting(c.key, "0"), c.value);
        EXPECT_EQ(dir.Names(), std::vector<std::string>{"ksv.ini"});
    }
}

// A read-only file shows whether a write was attempted at all: a value that
// is already stored is not written again.
TEST(WriteSetting, SameValueIsNotWrittenAgain) {
    TempDir dir;
    const fs::path path = dir / "ksv.ini";
    const std::string content = "[ksv]" + kNl + "minutes=5" + kNl;
    WriteBytes(path, content);
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    SettingsFile settings(path);
    EXPECT_TRUE(settings.WriteSetting("minutes", "5").ok());
    EXPECT_EQ(settings.WriteSetting("minutes", "6").failure, FileFailure::ReadOnly);
    EXPECT_EQ(ReadBytes(path), content);
}

TEST(WriteSetting, ReportsWhyItFailedOrMakesTheFolder) {
    TempDir dir;
    fs::create_directories(dir / "folder" / "ksv.ini");  // a directory in the way
    WriteBytes(dir / "file", "not a folder");
    // Saving one more line would make it larger than a settings file may be.
    const std::string full =
        "[ksv]" + kNl + ";" + std::string(kLargestSettingsFile - 10, 'x') + kNl;
    WriteBytes(dir / "full.ini", full);
    const struct {
        fs::path path;
        FileFailure expected;
        bool userFolder = false;
    } cases[] = {
        {dir / "folder" / "ksv.ini", FileFailure::IsDirectory},
        {dir / "file" / "ksv" / "ksv.ini", FileFailure::NotFound},
        {dir / "full.ini", FileFailure::TooLarge},
        // The user's settings folder is made at the first save; a program's
        // folder that has gone (moved, deleted) is never made again.
        {dir / "config" / "ksv" / "ksv.ini", FileFailure::None, true},
        {dir / "moved" / "ksv.ini", FileFailure::NotFound},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.string());
        EXPECT_EQ(SettingsFile(c.path, c.userFolder).WriteSetting("minutes", "1").failure,
                  c.expected);
    }
    EXPECT_EQ(ReadBytes(dir / "config" / "ksv" / "ksv.ini"), "[ksv]" + kNl + "minutes=1" + kNl);
    EXPECT_EQ(ReadBytes(dir / "full.ini"), full);
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"config", "file", "folder", "full.ini"}));
}

// A file that is there but cannot be read is never taken for an absent one:
// starting from 0 would later write a small count over the real total.
// Writing leaves it alone too.
TEST(ReadSetting, AFileThatIsThereButUnreadableIsAnError) {
    struct Case {
        const char* name;
        std::string bytes;  // empty: a directory of that name
        FileFailure expected;
    };
    const Case cases[] = {
        {"directory", "", FileFailure::IsDirectory},
        {"utf-32", std::string("\xFF\xFE\0\0[\0\0\0", 8), FileFailure::UnknownEncoding},
        {"utf-32 big-endian", std::string("\0\0\xFE\xFF\0\0\0[", 8), FileFailure::UnknownEncoding},
        {"utf-16 without its mark", Utf16Bytes(u"[ksv]\r\nminutes=5\r\n"),
         FileFailure::UnknownEncoding},
        {"over 1 MiB", "[ksv]" + kNl + "minutes=5" + kNl + std::string(kLargestSettingsFile, ';'),
         FileFailure::TooLarge},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const fs::path path = dir / "ksv.ini";
        if (c.bytes.empty()) {
            fs::create_directory(path);
        } else {
            WriteBytes(path, c.bytes);
        }
        // Waiting cannot mend these: no patience is spent on them.
        SettingsFile settings(path, false, std::chrono::hours(1));
        try {
            settings.Read().ReadSetting("minutes", "0");
            ADD_FAILURE() << "read as if absent";
        } catch (const SettingsReadError& error) {
            EXPECT_EQ(error.result().failure, c.expected);
            EXPECT_EQ(error.path(), path);
        }
        EXPECT_EQ(settings.WriteSetting("minutes", "1").failure, c.expected);
        if (!c.bytes.empty()) {
            EXPECT_EQ(ReadBytes(path), c.bytes);
        }
        EXPECT_EQ(dir.Names(), std::vector<std::string>{"ksv.ini"});
    }
}

#ifndef _WIN32
// No read permission: tried for a while (a backup may hold it), then an
// error; one that becomes readable in time is read.
TEST(ReadSetting, WaitsForAFileThatCannotBeReadYet) {
    TempDir dir;
    const fs::path path = dir / "ksv.ini";
    WriteBytes(path, "[ksv]\nminutes=5000\n");
    ASSERT_EQ(chmod(path.c_str(), 0222), 0);
    ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
    enum Outcome { kRead = 1, kDenied, kOther };
    const auto read = [&](std::chrono::milliseconds patience) {
        return testing::RunUnprivileged([&] {
            try {
                return SettingsFile(path, false, patience).Read().ReadSetting("minutes", "0") ==
                               "5000"
                           ? kRead
                           : kOther;
            } catch (const SettingsReadError& error) {
                return error.result().failure == FileFailure::AccessDenied ? kDenied : kOther;
            }
        });
    };
    EXPECT_EQ(read(std::chrono::milliseconds(300)), kDenied);

    // Made readable by another process while the reader waits.
    const pid_t grant = fork();
    ASSERT_GE(grant, 0);
    if (grant == 0) {
        usleep(300'000);
        _exit(chmod(path.c_str(), 0666) == 0 ? 0 : 1);
    }
    EXPECT_EQ(read(std::chrono::seconds(10)), kRead);
    int status = 0;
    EXPECT_EQ(waitpid(grant, &status, 0), grant);
}

// Beside the program for portable use; in the user's folder when the program
// lies where it may not write (installed), or where someone else may write.
// Judged by the mode bits, so that it holds for root as well.
TEST(SettingsPath, BesideTheProgramOnlyWhereItCanLive) {
    constexpr uid_t kOther = testing::kOtherUser;
    constexpr gid_t kNogroup = 65534;  // the primary group of nobody's account
    struct Case {
        const char* name;
        mode_t programMode;
        std::optional<mode_t> iniMode;  // a ksv.ini already beside the program
        bool userFolderKnown;
        bool beside;
        bool iniLink = false;                // ksv.ini is a link to a file not made yet
        std::optional<uid_t> iniOwner = {};  // root only, as the rest
        std::optional<uid_t> folderOwner = {};
        std::optional<gid_t> folderGroup = {};
        // What the user learns of a ksv.ini beside the program that is not
        // used; `counted`: ksv counts in the user's folder already.
        struct {
            SetAside why = SetAside::None;
            bool carry = false;
            bool tell = false;
            bool counted = false;
        } aside = {};
    };
    constexpr auto kShared = SetAside::SharedFolder;
    constexpr auto kOthers = SetAside::OtherUsersFile;
    // clang-format off
    const Case cases[] = {
        {"portable", 0755, std::nullopt, true, true},
        {"installed", 0555, std::nullopt, true, false},
        {"installed, someone's read-only ksv.ini beside", 0555, 0444, true, true},
        {"portable, read-only ksv.ini", 0755, 0444, true, true},
        {"installed, no settings folder known", 0555, std::nullopt, false, true},
        {"everyone may write, no settings folder known", 01777, std::nullopt, false, false},
        {"only the owner may write, and that is us", 0700, std::nullopt, true, true},
        {"others may write, the owner (us) may not", 0577, std::nullopt, true, false},
        {"everyone may write, with our ksv.ini", 01777, 0644, true, false, false, {}, {}, {},
         {kShared, true, true}},
        {"everyone may write, ours, counting elsewhere", 01777, 0644, true, false, false, {}, {}, {},
         {kShared, false, false, true}},
        {"everyone may write, our link", 01777, {}, true, false, true, {}, {}, {},
         {kShared, false, true}},
        {"our link", 0755, std::nullopt, true, true, true},
        {"another user's link", 0755, {}, true, false, true, kOther, {}, {},
         {kOthers, false, true}},
        {"another user's ksv.ini", 0755, 0666, true, false, false, kOther, {}, {},
         {kOthers, false, true}},
        {"another user's folder", 0755, std::nullopt, true, false, false, {}, kOther},
        {"a group with other members may write", 0775, 0644, true, false, false, {}, {}, kNogroup,
         {kShared, true, true}},
        {"only our own group may write", 0775, 0644, true, true, false, {}, {}, getegid()},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if ((c.iniOwner || c.folderOwner || c.folderGroup) && geteuid() != 0) {
            continue;  // needs a second user
        }
        TempDir dir;
        const fs::path program = dir / "bin";
        const fs::path user = dir / "home" / ".config" / "ksv";
        fs::create_directory(program);
        if (c.iniMode) {
            WriteBytes(program / "ksv.ini", "[ksv]\nminutes=1\n");
            ASSERT_EQ(chmod((program / "ksv.ini").c_str(), *c.iniMode), 0);
        }
        if (c.iniLink) {
            fs::create_symlink(dir / "elsewhere" / "ksv.ini", program / "ksv.ini");
        }
        if (c.iniOwner) {
            ASSERT_EQ(lchown((program / "ksv.ini").c_str(), *c.iniOwner, 0), 0);
        }
        if (c.folderOwner || c.folderGroup) {
            ASSERT_EQ(chown(program.c_str(), c.folderOwner.value_or(0), c.folderGroup.value_or(0)),
                      0);
        }
        if (c.aside.counted) {
            fs::create_directories(user);
            WriteBytes(user / "ksv.ini", "[ksv]\nminutes=2\n");
        }
        ASSERT_EQ(chmod(program.c_str(), c.programMode), 0);
        const auto userFolder = [&] { return c.userFolderKnown ? user : fs::path(); };
        if (!c.beside && !c.userFolderKnown) {
            EXPECT_THROW(SettingsPath(program, userFolder), SettingsPlaceError);
            continue;
        }
        const SettingsPlace place = SettingsPath(program, userFolder);
        EXPECT_EQ(place.path, (c.beside ? program : user) / "ksv.ini");
        EXPECT_EQ(place.inUserFolder, !c.beside);
        EXPECT_EQ(place.setAside, c.aside.why == SetAside::None ? fs::path() : program / "ksv.ini");
        EXPECT_EQ(place.why, c.aside.why);
        EXPECT_EQ(place.carry, c.aside.carry);
        EXPECT_EQ(place.tell, c.aside.tell);
        EXPECT_EQ(fs::exists(dir / "home"),
                  c.aside.counted);  // nothing is made before the first save
        if (c.aside.carry) {         // whole, other lines included
            EXPECT_TRUE(CarryOver(place).ok());
            EXPECT_EQ(ReadBytes(user / "ksv.ini"), "[ksv]\nminutes=1\n");
        }
    }
}

// Replacing a file we cannot read would lose everything else it holds.
TEST(WriteSetting, LeavesAnUnreadableFileAlone) {
    TempDir dir;
    const fs::path path = dir / "ksv.ini";
    const std::string content = "[ksv]\ntitle=mine\nminutes=5\n";
    WriteBytes(path, content);
    ASSERT_EQ(chmod(path.c_str(), 0222), 0);
    ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
    const int failure = testing::RunUnprivileged(
        [&] { return static_cast<int>(SettingsFile(path).WriteSetting("minutes", "6").failure); });
    EXPECT_EQ(failure, static_cast<int>(FileFailure::AccessDenied));
    chmod(path.c_str(), 0644);  // so that a test not run as root can read it
    EXPECT_EQ(ReadBytes(path), content);
}

#else

// Beside the program when the folder takes new files (the portable zip);
// in %APPDATA%\ksv when it does not (C:\Program Files). Under Wine, Z:\sys is
// such a folder for every user, root too: Linux refuses new files there.
TEST(SettingsPath, BesideTheProgramOnlyWhereItMayWrite) {
    const fs::path user = platform::UserSettingsDirectory();
    wchar_t appData[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"APPDATA", appData, MAX_PATH), 0u);
    EXPECT_EQ(user, fs::path(appData) / "ksv");

    const TempDir temp;
    const fs::path dir = temp / "ksv settings path";
    fs::create_directories(dir);
    const fs::path closed = L"Z:\\sys";
    if (!fs::is_directory(closed) || fs::exists(closed / "ksv.ini")) {
        GTEST_SKIP() << "no Z:\\sys to stand for a folder that takes no new file";
    }
    struct Case {
        const char* name;
        fs::path program;
        bool beside;
    };
    // A save cut short inside the replace left ksv.ini under its other name;
    // a folder everyone may write. (Wine keeps no owner but the user's.)
    fs::create_directories(dir / "cut");
    std::ofstream(dir / "cut" / "ksv.ini.tmp") << "[ksv]\r\nminutes=5\r\n";
    fs::create_directories(dir / "open");
    PSECURITY_DESCRIPTOR everyone = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
        L"D:(A;OICI;FA;;;WD)", SDDL_REVISION_1, &everyone, nullptr));
    EXPECT_TRUE(SetFileSecurityW((dir / "open").c_str(), DACL_SECURITY_INFORMATION, everyone));
    LocalFree(everyone);
    const std::vector<Case> cases = {
        {"a folder that takes new files", dir, true},
        {"a folder that takes no new file", closed, false},
        {"a folder that is not there", dir / "gone", false},
        {"only the file a cut-short save left", dir / "cut", true},
        {"a folder everyone may write", dir / "open", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SettingsPath(c.program, [&] { return user; }).path,
                  (c.beside ? c.program : user) / "ksv.ini")
            << c.name;
    }
    for (const char* made : {"cut", "open"}) {
        fs::remove_all(dir / made);
    }
    EXPECT_TRUE(fs::is_empty(dir));  // the check leaves nothing behind
}
#endif

}  // namespace
}  // namespace ksv
