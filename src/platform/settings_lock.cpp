#include "platform/settings_lock.h"

#include "platform/file_io.h"
#include "platform/user_settings_directory.h"

namespace ksv::platform {

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
    MakeDirectories(ParentPath(settingsPath));
    NativePath lockFile = WithSuffix(target, ".lock");
    state_ = TryLock(lockFile, &target, lock_);
    // Asked only now: on Windows, finding the folder loads more of the system.
    const NativePath fallbackDirectory =
        state_ == State::Unavailable ? UserSettingsDirectory() : NativePath();
    if (!fallbackDirectory.empty()) {
        MakeDirectories(fallbackDirectory);
        lockFile = JoinPath(fallbackDirectory, "ksv-" + PathKey(target) + ".lock");
        state_ = TryLock(lockFile, nullptr, lock_);
    }
    key_ = PathKey(lockFile);
}

}  // namespace ksv::platform
