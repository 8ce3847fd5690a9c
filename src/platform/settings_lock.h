#pragma once

#include <string>

#include "platform/file_system.h"
#include "platform/native_path.h"

namespace ksv::platform {

// Lets one copy of the program at a time count into a settings file, in
// every sandbox and namespace that sees the file: an exclusive lock, which
// the system drops when its holder dies, on a file beside the file actually
// written (its name and ".lock") that only this user may open. The lock file
// stays: removing it would let a copy starting then lock a new file while an
// older one still holds the removed one.
//
// Nothing is made beside a link's target that is no plain file, nor in one
// of the system's folders; the lock is then on a file in the user's settings
// folder named after FileKey, and failing that on the settings file itself.
class SettingsLock {
  public:
    enum class State {
        Held,         // this copy may count
        HeldByOther,  // another copy counts into the file
        Unavailable,  // nothing could be locked: two copies could count into the file
    };

    explicit SettingsLock(const NativePath& settingsPath);
    SettingsLock(const SettingsLock&) = delete;
    SettingsLock& operator=(const SettingsLock&) = delete;

    State state() const { return state_; }

    // The same text in every copy that shares the lock: names whatever else
    // the copies need to share (the way to reach the first one).
    const std::string& Key() const { return key_; }

  private:
    State state_ = State::Unavailable;
    std::string key_;
    OpenFile lock_;
};

// What each system supplies to the lock.

// Opens (making it where it may) and locks `lockFile`, never waiting, into
// `lock`. `settings` is the settings file the lock sits beside, or null for
// one in the user's settings folder.
SettingsLock::State TryLock(const NativePath& lockFile, const NativePath* settings, OpenFile& lock);

// Locks the settings file itself, where the system allows that without
// keeping anyone from reading or writing it (POSIX; Windows says Unavailable).
SettingsLock::State LockInPlace(const NativePath& settingsFile, OpenFile& lock);

// The text one file gives by any path to it (another spelling, a link to its
// folder, a bind mount), in every copy: its folder's identity and its name.
std::string FileKey(const NativePath& path);

}  // namespace ksv::platform
