#include "platform/settings_lock.h"

#include "platform/file_io.h"
#include "platform/user_settings_directory.h"

namespace ksv::platform {

SettingsLock::SettingsLock(const NativePath& settingsPath) {
    NativePath target;
    if (!ResolveTrustedLinks(settingsPath, target).ok()) {
        // Nothing is made beside another user's link; the first read refuses it.
        key_ = FileKey(settingsPath);
        return;
    }
    key_ = FileKey(target);
    // Through a link, only beside a plain file or none yet: the first read
    // refuses anything else.
    OpenFile file;
    std::uint64_t size = 0;
    const FileFailure kind = OpenToRead(target, file, size).failure;
    file.Close();
    if ((target == settingsPath || kind == FileFailure::None || kind == FileFailure::NotFound) &&
        !SystemProgramDirectory(ParentPath(target))) {
        state_ = TryLock(WithSuffix(target, ".lock"), &target, lock_);
    }
    // Asked only now: on Windows, finding the folder loads more of the system.
    if (const NativePath fallback =
            state_ == State::Unavailable ? UserSettingsDirectory() : NativePath();
        !fallback.empty()) {
        MakeDirectories(fallback);
        state_ = TryLock(JoinPath(fallback, "ksv-" + key_ + ".lock"), nullptr, lock_);
    }
    if (state_ == State::Unavailable && kind == FileFailure::None) {
        state_ = LockInPlace(target, lock_);
    }
}

}  // namespace ksv::platform
