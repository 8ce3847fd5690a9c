#pragma once

#include <string>

#include "platform/file_system.h"
#include "platform/native_path.h"

namespace ksv::platform {

// Lets one copy of the program at a time count into a settings file, in
// every sandbox and namespace that sees the file: an exclusive lock on a file
// beside the file actually written (its name and ".lock"), which only this
// user may open, so nobody else can take it. The lock file is made once and
// left in place: removing it would let a copy starting at that moment lock a
// new file while an older one still holds the removed one. The system
// releases the lock when its holder ends or dies.
//
// Where no such file can be had (a folder this user may not write, one that
// another user put there), the lock is on a file of the user's own in the
// user's settings folder, named after the settings file: it keeps this
// user's copies apart, and nobody else's can hold it.
class SettingsLock {
  public:
    enum class State {
        Held,         // this copy may count
        HeldByOther,  // another copy counts into the file
        Unavailable,  // no lock could be had; counting matters more
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

// The text the same file gives by any of its spellings, in every copy.
std::string PathKey(const NativePath& path);

}  // namespace ksv::platform
