#include "platform/file_io.h"

#include <gtest/gtest.h>

#include <optional>

#include "support/test_files.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace ksv::platform {
namespace {

namespace fs = std::filesystem;
using testing::FileFault;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

using Names = std::vector<std::string>;

// Reading one file: where, the failure expected, the content expected.
struct ReadCase {
    fs::path path;
    FileFailure expected;
    std::string_view content;
};

constexpr std::string_view kOld = "[ksv]\ntitle=old\nminutes=12345\n[other]\nkeep=1\n";

TEST(ReplaceFileContent, WritesExactlyTheNewBytes) {
    struct Case {
        std::optional<std::string_view> old;  // nothing: no file yet
        std::string_view content;
        const char* leftover = nullptr;  // what a save killed half-way left
        bool deep = false;  // a path of 4078 characters, past which no name beside it fits
    };
    const std::string big(200'000, 'x');  // more than one buffer's worth
    const Case cases[] = {
        {std::nullopt, "[ksv]\nminutes=1\n"},
        {std::nullopt, ""},
        {kOld, "[ksv]\nminutes=1\n"},  // shorter than before
        {"x", kOld},                   // longer than before
        {kOld, ""},
        {kOld, std::string_view("a\0b\r\n\xBC\xC6", 7)},
        {kOld, big},
        {kOld, "[ksv]\nminutes=1\n", "ksv.ini.tmp"},
        {std::nullopt, "[ksv]\nminutes=1\n", "ksv.ini.tmp"},
#ifndef _WIN32
        {kOld, "[ksv]\nminutes=1\n", "ksv.ini.0123456789abcdef.tmp"},
        {kOld, "[ksv]\nminutes=1\n", nullptr, true},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.old ? std::string(*c.old) : "(no file)");
        TempDir top;
        fs::path folder = top.path();
        while (c.deep && folder.native().size() < 4078 - 8 - 200) {
            folder /= std::string(200, 'd');
        }
        if (c.deep) {
            folder /= std::string(4078 - 8 - folder.native().size() - 1, 'e');
            fs::create_directories(folder);
        }
        const fs::path file = folder / "ksv.ini";
        if (c.old) {
            WriteBytes(file, *c.old);
        }
        if (c.leftover) {
            WriteBytes(folder / c.leftover, big);
        }
        const FileResult result = ReplaceFileContent(file, c.content);
        EXPECT_TRUE(result.ok()) << result.detail;
        EXPECT_EQ(ReadBytes(file), c.content);
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
    }
}

// Whatever step fails, the old file stays as it was, no temporary file is
// left behind, and the result says why.
TEST(ReplaceFileContent, FailureAtAnyStepKeepsTheOldFile) {
    struct Case {
        FileStep step;
        FileFailure failure;
    };
    const Case cases[] = {
        {FileStep::CreateTemp, FileFailure::DiskFull}, {FileStep::CreateTemp, FileFailure::Other},
        {FileStep::Write, FileFailure::DiskFull},      {FileStep::Write, FileFailure::Other},
        {FileStep::Flush, FileFailure::DiskFull},      {FileStep::Flush, FileFailure::Other},
        {FileStep::Rename, FileFailure::InUse},        {FileStep::Rename, FileFailure::Other},
    };
    for (const bool hadFile : {true, false}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(::testing::Message()
                         << "step " << static_cast<int>(c.step) << ", failure "
                         << static_cast<int>(c.failure) << ", had file " << hadFile);
            TempDir dir;
            const fs::path file = dir / "ksv.ini";
            if (hadFile) {
                WriteBytes(file, kOld);
            }
            const FileFault fault(c.step, c.failure);
            const FileResult result = ReplaceFileContent(file, "[ksv]\nminutes=1\n");
            EXPECT_EQ(result.failure, c.failure);
            EXPECT_FALSE(result.detail.empty());
            if (hadFile) {
                EXPECT_EQ(ReadBytes(file), kOld);
                EXPECT_EQ(dir.Names(), Names{"ksv.ini"});
            } else {
                EXPECT_EQ(dir.Names(), Names{});
            }
        }
    }
}

// A directory that refuses new files, or the rename over this one (shown
// here by the fault), leaves the file to be rewritten where it is; if that
// fails, the old content returns.
TEST(ReplaceFileContent, RewritesInPlaceWhenNoNewFileMayBeCreated) {
    struct Case {
        std::string_view content;
        std::optional<FileStep> laterStep;  // fails as well
        FileFailure expected;
        FileStep refused = FileStep::CreateTemp;
    };
    const std::string longer = std::string(kOld) + std::string(5000, 'y');
    const Case cases[] = {
        {"[ksv]\nminutes=1\n", std::nullopt, FileFailure::None},
        {longer, std::nullopt, FileFailure::None},
        {"[ksv]\nminutes=1\n", FileStep::Write, FileFailure::DiskFull},
        {longer, FileStep::Write, FileFailure::DiskFull},
        {"[ksv]\nminutes=1\n", FileStep::Flush, FileFailure::DiskFull},
        {longer, FileStep::Flush, FileFailure::DiskFull},
        {"[ksv]\nminutes=1\n", std::nullopt, FileFailure::None, FileStep::Rename},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.content.size() << " bytes, failing step "
                                          << (c.laterStep ? static_cast<int>(*c.laterStep) : -1)
                                          << ", refused step " << static_cast<int>(c.refused));
        TempDir dir;
        const fs::path file = dir / "ksv.ini";
        WriteBytes(file, kOld);
        const FileFault noNewFile(c.refused, FileFailure::AccessDenied);
        std::optional<FileFault> later;
        if (c.laterStep) {
            later.emplace(*c.laterStep, c.expected);
        }
        const FileResult result = ReplaceFileContent(file, c.content);
        EXPECT_EQ(result.failure, c.expected) << result.detail;
        EXPECT_EQ(ReadBytes(file), result.ok() ? c.content : kOld);
        EXPECT_EQ(dir.Names(), Names{"ksv.ini"});
    }
}

TEST(ReplaceFileContent, RefusesWhatItMustNotReplace) {
    TempDir dir;
    fs::create_directory(dir / "folder");
    WriteBytes(dir / "folder" / "inner", "keep");
    WriteBytes(dir / "locked.ini", kOld);
    // Taking every write bit away is how a user marks a file read-only; on
    // Windows this sets the read-only attribute. It must hold for root too.
    fs::permissions(dir / "locked.ini",
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    struct Case {
        fs::path path;
        FileFailure expected;
    };
    const Case cases[] = {
        {dir / "folder", FileFailure::IsDirectory},
        {dir / "missing" / "ksv.ini", FileFailure::NotFound},
        {dir / "locked.ini", FileFailure::ReadOnly},
#ifdef _WIN32
        // A folder at a name the save needs is named, not taken for a denial.
        {dir / "taken" / "a.ini", FileFailure::NameTaken},
        {dir / "taken" / "b.ini", FileFailure::NameTaken},
#endif
    };
#ifdef _WIN32
    fs::create_directories(dir / "taken" / "a.ini.new");
    fs::create_directories(dir / "taken" / "b.ini.tmp");
    WriteBytes(dir / "taken" / "b.ini", kOld);
    const Names names{"folder", "locked.ini", "taken"};
#else
    const Names names{"folder", "locked.ini"};
#endif
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.string());
        const FileResult result = ReplaceFileContent(c.path, "[ksv]\nminutes=1\n");
        EXPECT_EQ(result.failure, c.expected);
        EXPECT_FALSE(result.detail.empty());
    }
    EXPECT_EQ(ReadBytes(dir / "locked.ini"), kOld);
    EXPECT_EQ(ReadBytes(dir / "folder" / "inner"), "keep");
    EXPECT_EQ(dir.Names(), names);
}

TEST(ReadFileContent, ReadsOrSaysWhy) {
    constexpr std::size_t kLimit = 1000;
    TempDir dir;
    const std::string bytes("[ksv]\r\ntitle=\xBC\xC6\0x\n", 16);
    WriteBytes(dir / "ksv.ini", bytes);
    fs::create_directory(dir / "folder");
    // Left by kills: while the new content was being written (never the
    // file's), and, on Windows, inside the replace, which is not one step
    // there: the complete new content is then the file's.
    fs::create_directories(dir / "writing");
    fs::create_directories(dir / "cut");
    WriteBytes(dir / "large.ini", std::string(kLimit + 1, 'x'));
#ifdef _WIN32
    WriteBytes(dir / "writing" / "ksv.ini.new", "[ksv]\r\nminu");
    WriteBytes(dir / "cut" / "ksv.ini.tmp", "[ksv]\r\nminutes=5000\r\n");
    const ReadCase cut{dir / "cut" / "ksv.ini", FileFailure::None, "[ksv]\r\nminutes=5000\r\n"};
#else
    WriteBytes(dir / "writing" / "ksv.ini.tmp", "[ksv]\r\nminu");
    const ReadCase cut{dir / "cut" / "ksv.ini", FileFailure::NotFound, ""};
#endif
    const ReadCase cases[] = {
        {dir / "ksv.ini", FileFailure::None, bytes},
        {dir / "absent.ini", FileFailure::NotFound, ""},
        {dir / "missing" / "ksv.ini", FileFailure::NotFound, ""},
        {dir / "folder", FileFailure::IsDirectory, ""},
        cut,
        {dir / "writing" / "ksv.ini", FileFailure::NotFound, ""},
        {dir / "large.ini", FileFailure::TooLarge, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.string());
        std::string content = "stale";
        const FileResult result = ReadFileContent(c.path, content, kLimit);
        EXPECT_EQ(result.failure, c.expected);
        EXPECT_EQ(content, c.content);
    }
}

#ifdef _WIN32

// What the user set on the file stays with it.
TEST(ReplaceFileContent, KeepsAttributes) {
    constexpr DWORD kShown = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
    for (const DWORD attributes : {DWORD{FILE_ATTRIBUTE_ARCHIVE}, DWORD{FILE_ATTRIBUTE_HIDDEN},
                                   DWORD{FILE_ATTRIBUTE_SYSTEM}, kShown}) {
        SCOPED_TRACE(attributes);
        TempDir dir;
        const fs::path file = dir / "ksv.ini";
        WriteBytes(file, kOld);
        ASSERT_TRUE(SetFileAttributesW(file.c_str(), attributes));
        const FileResult result = ReplaceFileContent(file, "new");
        EXPECT_TRUE(result.ok()) << result.detail;
        EXPECT_EQ(ReadBytes(file), "new");
        // A file just written is marked for the next backup in any case.
        EXPECT_EQ(GetFileAttributesW(file.c_str()) & kShown, attributes | FILE_ATTRIBUTE_ARCHIVE);
        EXPECT_EQ(dir.Names(), Names{"ksv.ini"});
    }
}

// Another program holding the file (a virus scanner, a backup, an editor)
// keeps it from being replaced unless it shares it for deleting too; the
// refusal leaves nothing behind.
TEST(ReplaceFileContent, RefusesAFileAnotherProgramHolds) {
    struct Case {
        const char* name;
        DWORD share;
        FileFailure expected;
    };
    const Case cases[] = {
        {"not shared", 0, FileFailure::InUse},
        {"shared for reading", FILE_SHARE_READ, FileFailure::InUse},
        {"shared for reading and writing", FILE_SHARE_READ | FILE_SHARE_WRITE, FileFailure::InUse},
        {"shared for everything", FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
         FileFailure::None},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const fs::path file = dir / "ksv.ini";
        WriteBytes(file, kOld);
        const HANDLE holder = CreateFileW(file.c_str(), GENERIC_READ, c.share, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        const FileResult result = ReplaceFileContent(file, "new");
        CloseHandle(holder);
        EXPECT_EQ(result.failure, c.expected) << result.detail;
        EXPECT_EQ(ReadBytes(file), c.expected == FileFailure::None ? "new" : kOld);
        EXPECT_EQ(dir.Names(), Names{"ksv.ini"});
    }
}

#else

mode_t ModeOf(const fs::path& path) {
    struct stat status {};
    EXPECT_EQ(stat(path.c_str(), &status), 0);
    return status.st_mode & 07777;
}

TEST(ReplaceFileContent, KeepsPermissions) {
    for (const mode_t mode : {0600u, 0640u, 0664u, 0606u, 0200u}) {
        SCOPED_TRACE(mode);
        TempDir dir;
        const fs::path file = dir / "ksv.ini";
        WriteBytes(file, kOld);
        ASSERT_EQ(chmod(file.c_str(), mode), 0);
        EXPECT_TRUE(ReplaceFileContent(file, "new").ok());
        EXPECT_EQ(ModeOf(file), mode);
        chmod(file.c_str(), 0600);  // so that a test not run as root can read it
        EXPECT_EQ(ReadBytes(file), "new");
    }
}

TEST(ReplaceFileContent, KeepsTheOwnerWhenRunAsRoot) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "only root can give a file away";
    }
    TempDir dir;
    const fs::path file = dir / "ksv.ini";
    WriteBytes(file, kOld);
    ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
    EXPECT_TRUE(ReplaceFileContent(file, "new").ok());
    struct stat status {};
    ASSERT_EQ(stat(file.c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, 65534u);
    EXPECT_EQ(status.st_gid, 65534u);
}

TEST(ReplaceFileContent, WritesThroughSymbolicLinks) {
    struct Case {
        const char* description;
        std::vector<std::pair<std::string, std::string> > links;  // name, target
        bool targetExists;
        bool othersLink = false;  // the first link is another user's: not followed
    };
    const Case cases[] = {
        {"relative link into another directory", {{"ksv.ini", "../real/ksv.ini"}}, true},
        {"chain of links", {{"ksv.ini", "step"}, {"step", "../real/ksv.ini"}}, true},
        {"link to a file not created yet", {{"ksv.ini", "../real/ksv.ini"}}, false},
        {"another user's link", {{"ksv.ini", "../real/ksv.ini"}}, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        if (c.othersLink && geteuid() != 0) {
            continue;  // only root can give a link away
        }
        TempDir dir;
        fs::create_directory(dir / "app");
        fs::create_directory(dir / "real");
        const fs::path target = dir / "real" / "ksv.ini";
        if (c.targetExists) {
            WriteBytes(target, kOld);
            ASSERT_EQ(chmod(target.c_str(), 0640), 0);
        }
        for (const auto& [name, to] : c.links) {
            fs::create_symlink(to, dir / "app" / name);
        }
        if (c.othersLink) {
            ASSERT_EQ(lchown((dir / "app" / "ksv.ini").c_str(), testing::kOtherUser, 0), 0);
        }
        const FileResult result = ReplaceFileContent(dir / "app" / "ksv.ini", "new");
        std::string content;
        EXPECT_EQ(ReadFileContent(dir / "app" / "ksv.ini", content, 100).failure, result.failure);
        EXPECT_EQ(result.failure, c.othersLink ? FileFailure::UntrustedLink : FileFailure::None)
            << result.detail;
        EXPECT_TRUE(fs::is_symlink(dir / "app" / "ksv.ini"));
        EXPECT_EQ(ReadBytes(target), c.othersLink ? kOld : "new");
        if (c.targetExists) {
            EXPECT_EQ(ModeOf(target), 0640u);
        }
        EXPECT_EQ(fs::directory_iterator(dir / "real")->path().filename(), "ksv.ini");
        EXPECT_EQ(std::distance(fs::directory_iterator(dir / "real"), fs::directory_iterator()), 1);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir / "app"), fs::directory_iterator()),
                  static_cast<long>(c.links.size()));
    }
}

// What happens without root's power to ignore permissions: these run as
// "nobody" when the tests run as root, which plays the other users' parts.
TEST(ReplaceFileContent, RespectsPermissionsOfOrdinaryUsers) {
    constexpr gid_t kGroup = testing::kOtherUser;
    struct Case {
        const char* description;
        mode_t directoryMode;
        std::optional<mode_t> fileMode;  // nothing: no file
        FileFailure expected;
        bool rootOnly;                  // someone else's file or doing (root only)
        bool ours = false;              // the file is the saver's, not root's
        bool renamed = false;           // a new file took its place
        const char* planted = nullptr;  // a file of root's beside it
        bool groupShared = false;       // another member's file, in a folder of their group
    };
    const Case cases[] = {
        {"closed directory, writable file", 0555, 0666, FileFailure::None, false},
        {"closed directory, no file", 0555, std::nullopt, FileFailure::AccessDenied, false},
        {"closed directory, read-only file", 0555, 0444, FileFailure::ReadOnly, false},
        {"open directory, someone else's file", 0777, 0644, FileFailure::AccessDenied, true},
        {"sticky directory, someone else's writable file", 01777, 0666, FileFailure::None, true},
        {"someone else's file at the old temporary name", 01777, 0644, FileFailure::None, true,
         true, true, "ksv.ini.tmp"},
        {"someone else's file named as ours", 01777, 0644, FileFailure::None, true, true, true,
         "ksv.ini.0123456789abcdef.tmp"},
        {"group folder, a member's shared file", 0775, 0664, FileFailure::None, true, false, true,
         nullptr, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        if (c.rootOnly && geteuid() != 0) {
            continue;  // needs a second user
        }
        TempDir dir;
        const fs::path folder = dir / "app";
        const fs::path file = folder / "ksv.ini";
        fs::create_directory(folder);
        if (c.fileMode) {
            WriteBytes(file, kOld);
            ASSERT_EQ(chmod(file.c_str(), *c.fileMode), 0);
        }
        if (c.ours) {
            ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
        }
        if (c.groupShared) {
            ASSERT_EQ(chown(folder.c_str(), 0, kGroup), 0);
            ASSERT_EQ(chown(file.c_str(), testing::kOtherUser, kGroup), 0);
        }
        if (c.planted) {
            WriteBytes(folder / c.planted, "theirs");
        }
        ASSERT_EQ(chmod(folder.c_str(), c.directoryMode), 0);
        ino_t inode = 0;
        if (c.fileMode) {
            struct stat status {};
            ASSERT_EQ(stat(file.c_str(), &status), 0);
            inode = status.st_ino;
        }
        const int failure = testing::RunUnprivileged(
            [&] { return static_cast<int>(ReplaceFileContent(file, "new").failure); },
            c.groupShared ? kGroup : 0);
        EXPECT_EQ(failure, static_cast<int>(c.expected));
        if (c.fileMode) {
            EXPECT_EQ(ReadBytes(file), c.expected == FileFailure::None ? "new" : kOld);
            struct stat status {};
            ASSERT_EQ(stat(file.c_str(), &status), 0);
            EXPECT_EQ(status.st_ino != inode, c.renamed);  // else rewritten where it stood
            EXPECT_EQ(status.st_mode & 07777, *c.fileMode);
            if (c.groupShared) {
                EXPECT_EQ(status.st_gid, kGroup);  // its group may still write it
            }
        }
        chmod(folder.c_str(), 0755);
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()),
                  (c.fileMode ? 1 : 0) + (c.planted ? 1 : 0));
    }
}

TEST(ReadFileContent, UnreadableFileAndFifo) {
    TempDir dir;
    WriteBytes(dir / "secret.ini", kOld);
    ASSERT_EQ(chmod((dir / "secret.ini").c_str(), 0200), 0);
    const int failure = testing::RunUnprivileged([&] {
        std::string content;
        return static_cast<int>(ReadFileContent(dir / "secret.ini", content, 100).failure);
    });
    EXPECT_EQ(failure, static_cast<int>(FileFailure::AccessDenied));

    // A FIFO must not block the reader waiting for a writer.
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    std::string content;
    EXPECT_EQ(ReadFileContent(dir / "pipe", content, 100).failure, FileFailure::Other);
    EXPECT_EQ(ReplaceFileContent(dir / "pipe", "x").failure, FileFailure::Other);
    EXPECT_TRUE(fs::is_fifo(dir / "pipe"));
}

#endif

}  // namespace
}  // namespace ksv::platform
