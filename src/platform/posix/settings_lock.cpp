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

namespace ksv::platform {

using State = SettingsLock::State;

std::string FileKey(const NativePath& path) {
    namespace fs = std::filesystem;
    const NativePath folder = ParentPath(path);
    std::string identity;
    if (struct stat status{}; stat(folder.empty() ? "." : folder.c_str(), &status) == 0) {
        identity = std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino) + "/" +
                   fs::path(path).filename().native();
    } else {
        std::error_code error;
        identity = fs::absolute(path, error).lexically_normal().native();
    }
    return HexDigits(StableHash(std::string_view(identity)));
}

namespace {

// Locks the open `lock` where `counts`, never waiting; closes it unless held.
State Hold(OpenFile& lock, bool counts) {
    if (counts && flock(static_cast<int>(lock.get()), LOCK_EX | LOCK_NB) == 0) {
        return State::Held;
    }
    const State state = counts && errno == EWOULDBLOCK ? State::HeldByOther : State::Unavailable;
    lock.Close();
    return state;
}

}  // namespace

// Whoever may open the lock file may hold it for ever, so it counts only as a
// regular file of this user's or root's or, beside a settings file its group
// may write, one that only that group may open: its members could spoil the
// file anyway. Beside the settings file it is made only where the mode bits
// allow, so that root leaves nothing in a folder closed to it.
State TryLock(const NativePath& lockFile, const NativePath* settingsFile, OpenFile& lock) {
    const bool make = settingsFile == nullptr || DirectoryWritable(ParentPath(lockFile));
    lock = OpenFile(open(
        lockFile.c_str(),
        O_RDONLY | (make ? O_CREAT : 0) | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, 0600));
    struct stat settings {};
    const bool shared = settingsFile != nullptr && stat(settingsFile->c_str(), &settings) == 0 &&
                        (settings.st_mode & S_IWGRP) != 0;
    const int fd = static_cast<int>(lock.get());
    struct stat status {};
    if (!lock.valid() || fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        return Hold(lock, false);
    }
    const bool ours = status.st_uid == geteuid();
    const bool groups = shared && status.st_gid == settings.st_gid;
    if (ours) {
        mode_t mode = 0600;
        if (shared && (groups || fchown(fd, static_cast<uid_t>(-1), settings.st_gid) == 0)) {
            mode = 0640;
        }
        if ((status.st_mode & 07777) != mode) {
            fchmod(fd, mode);
        }
    }
    return Hold(lock, ours || status.st_uid == 0 || (groups && (status.st_mode & S_IRWXO) == 0));
}

// Only a file of this user's or root's; anyone else's could be held for ever.
State LockInPlace(const NativePath& settingsFile, OpenFile& lock) {
    lock = OpenFile(
        open(settingsFile.c_str(), O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    struct stat status {};
    return Hold(lock, lock.valid() && fstat(static_cast<int>(lock.get()), &status) == 0 &&
                          S_ISREG(status.st_mode) &&
                          (status.st_uid == geteuid() || status.st_uid == 0));
}

}  // namespace ksv::platform
