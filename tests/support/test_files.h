#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#ifndef _WIN32
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "support/file_fault.h"

// Helpers for tests that work on real files.
namespace ksv::testing {

// A fresh directory under the system's temporary directory, removed with
// everything in it at the end of the test.
class TempDir {
  public:
    TempDir() {
        std::random_device random;
        path_ = std::filesystem::temp_directory_path() /
                ("ksv-test-" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(path_);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        // Tests take permissions away; give them back so that all can go.
        std::error_code error;
        const auto writable = std::filesystem::perms::owner_all;
        std::filesystem::permissions(path_, writable, std::filesystem::perm_options::add, error);
        for (auto it = std::filesystem::recursive_directory_iterator(path_, error);
             it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
            if (!it->is_symlink(error)) {
                std::filesystem::permissions(it->path(), writable,
                                             std::filesystem::perm_options::add, error);
            }
        }
        std::filesystem::remove_all(path_, error);
    }

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& name) const {
        return path_ / name;
    }

    // The names in the directory, sorted.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

  private:
    std::filesystem::path path_;
};

// A fresh, empty folder of that name under the system's temporary folder, for
// tests that want a path of their own (blanks and all).
inline std::filesystem::path FreshDir(const char* name) {
    const auto dir = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

inline std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Text as a file saved in UTF-16 would hold it, byte-order mark included
// when the text starts with U+FEFF.
inline std::string Utf16Bytes(std::u16string_view text, bool littleEndian = true) {
    std::string bytes;
    for (const char16_t unit : text) {
        const auto low = static_cast<char>(unit & 0xFF);
        const auto high = static_cast<char>(unit >> 8);
        bytes += littleEndian ? low : high;
        bytes += littleEndian ? high : low;
    }
    return bytes;
}

// Sets a file fault for the life of the object.
class FileFault {
  public:
    FileFault(platform::FileStep step, platform::FileFailure failure) : step_(step) {
        platform::SetFileFaultForTesting(step, failure);
    }
    FileFault(const FileFault&) = delete;
    FileFault& operator=(const FileFault&) = delete;
    ~FileFault() { platform::SetFileFaultForTesting(step_, platform::FileFailure::None); }

  private:
    platform::FileStep step_;
};

#ifndef _WIN32
// A user of the machine other than the one the tests run as, and other than
// "nobody", whom RunUnprivileged becomes: files are given to it (only root
// can) to play another user's part.
constexpr uid_t kOtherUser = 65533;

// Runs `body` without root's power to ignore permissions: as user "nobody"
// (with `group` as its one group, when given) in a child process when the
// tests run as root, directly otherwise. Gives what `body` returns (0 to 99),
// or -1 when the child could not be set up.
inline int RunUnprivileged(const std::function<int()>& body, gid_t group = 0) {
    if (geteuid() != 0) {
        return body();
    }
    constexpr uid_t kNobody = 65534;
    const pid_t child = fork();
    if (child < 0) {
        return -1;
    }
    if (child == 0) {
        if (setgroups(group != 0 ? 1 : 0, &group) != 0 || setgid(kNobody) != 0 ||
            setuid(kNobody) != 0) {
            _exit(100);
        }
        _exit(body());
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) > 99) {
        return -1;
    }
    return WEXITSTATUS(status);
}
#endif

}  // namespace ksv::testing
