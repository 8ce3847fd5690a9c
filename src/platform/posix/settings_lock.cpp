#include "platform/settings_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/file_io.h"
#include "platform/stable_hash.h"
#include "platform/user_settings_directory.h"

namespace ksv::platform {
namespace {

namespace fs = std::filesystem;
using State = SettingsLock::State;

// The same file reached by another path ("..", a link to its folder) gives
// the same text, in every copy.
std::string PathKey(const fs::path& path) {
    std::error_code error;
    fs::path file = fs::weakly_canonical(path, error);
    if (error) {
        file = fs::absolute(path, error).lexically_normal();
    }
    return HexDigits(StableHash(std::string_view(file.native())));
}

// Opens (making it if `make`) and locks `file`. Whoever may open it may hold
// it, so it counts only when it is a regular file of this user's or root's,
// or, beside a settings file its group may write, one that only that group
// may open: its members could spoil the file anyway, and are kept apart from
// this user's copy. Anyone else's could be held for ever, or be anything at
// all. Never waits.
State TryLock(const NativePath& file, bool make, const struct stat* settings, int& fd) {
    fd = open(file.c_str(),
              O_RDONLY | (make ? O_CREAT : 0) | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC,
              0600);
    if (fd < 0) {
        return State::Unavailable;
    }
    const bool shared = settings != nullptr && (settings->st_mode & S_IWGRP) != 0;
    struct stat status {};
    State state = State::Unavailable;
    if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
        const bool ours = status.st_uid == geteuid();
        const bool groups = shared && status.st_gid == settings->st_gid;
        if (ours) {
            mode_t mode = 0600;
            if (shared && (groups || fchown(fd, static_cast<uid_t>(-1), settings->st_gid) == 0)) {
                mode = 0640;
            }
            if ((status.st_mode & 07777) != mode) {
                fchmod(fd, mode);
            }
        }
        if (ours || status.st_uid == 0 || (groups && (status.st_mode & S_IRWXO) == 0)) {
            if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
                return State::Held;
            }
            if (errno == EWOULDBLOCK) {
                state = State::HeldByOther;
            }
        }
    }
    close(fd);
    fd = -1;
    return state;
}

}  // namespace

SettingsLock::SettingsLock(const NativePath& settingsPath) {
    NativePath target;
    if (!ResolveTrustedLinks(settingsPath, target).ok()) {
        // Nothing is made beside another user's link: the program refuses it
        // at its first read.
        key_ = PathKey(settingsPath);
        return;
    }
    // The user's settings folder is made now rather than at the first save:
    // the lock lives there.
    std::error_code error;
    fs::create_directories(fs::path(settingsPath).parent_path().lexically_normal(), error);
    NativePath lockFile = target + ".lock";
    // Made only where the mode bits let us, so that root leaves no file in a
    // folder that is closed to it, as an installed program's is.
    struct stat settings {};
    const bool exists = stat(target.c_str(), &settings) == 0;
    state_ = TryLock(lockFile, DirectoryWritable(ParentPath(lockFile)),
                     exists ? &settings : nullptr, fd_);
    // Asked only now: on Windows, finding the folder loads more of the system.
    const NativePath fallbackDirectory =
        state_ == State::Unavailable ? UserSettingsDirectory() : NativePath();
    if (!fallbackDirectory.empty()) {
        MakeDirectories(fallbackDirectory);
        lockFile = JoinPath(fallbackDirectory, "ksv-" + PathKey(target) + ".lock");
        state_ = TryLock(lockFile, true, nullptr, fd_);
    }
    key_ = PathKey(lockFile);
}

SettingsLock::~SettingsLock() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

}  // namespace ksv::platform
