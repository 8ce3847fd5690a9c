#include "platform/settings_lock.h"

#include <windows.h>

#include "platform/file_io.h"
#include "platform/file_owner.h"
#include "platform/stable_hash.h"
#include "platform/user_settings_directory.h"
#include "platform/win32/current_user.h"
#include "platform/win32/full_path.h"

namespace ksv::platform {
namespace {

using State = SettingsLock::State;

// The same file by another spelling (case, ".", "..") gives the same text,
// in every copy.
std::string PathKey(const NativePath& path) {
    NativePath full = win32::FullPath(path);
    CharUpperBuffW(full.data(), static_cast<DWORD>(full.size()));
    return HexDigits(StableHash(std::wstring_view(full)));
}

// Opened without sharing, which is the lock: a second open fails until the
// holder ends or dies. Only a plain file of this user's or the system's
// counts; one that someone else made could be held by them for ever.
State TryLock(const NativePath& file, HANDLE& handle) {
    // A new one is this user's alone, so that nobody else can open it, and
    // so hold it. (Named by the user's SID: Wine takes "owner rights" for
    // no one.)
    const win32::CurrentUser user;
    alignas(DWORD) BYTE list[sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE];
    auto* acl = reinterpret_cast<ACL*>(list);
    SECURITY_DESCRIPTOR userOnly{};
    SECURITY_ATTRIBUTES permissions{sizeof permissions, nullptr, FALSE};
    if (user.sid() != nullptr && InitializeAcl(acl, sizeof list, ACL_REVISION) &&
        AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, user.sid()) &&
        InitializeSecurityDescriptor(&userOnly, SECURITY_DESCRIPTOR_REVISION) &&
        SetSecurityDescriptorDacl(&userOnly, TRUE, acl, FALSE) &&
        SetSecurityDescriptorControl(&userOnly, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
        permissions.lpSecurityDescriptor = &userOnly;
    }
    handle = CreateFileW(file.c_str(), GENERIC_READ, 0, &permissions, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    const DWORD error = GetLastError();
    if (handle == INVALID_HANDLE_VALUE) {
        handle = nullptr;
        // Asking whose it is takes no sharing.
        return error == ERROR_SHARING_VIOLATION && OwnerOf(file) == EntryOwner::SelfOrSystem
                   ? State::HeldByOther
                   : State::Unavailable;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (GetFileInformationByHandle(handle, &information) &&
        (information.dwFileAttributes &
         (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
        OwnerOf(file) == EntryOwner::SelfOrSystem) {
        return State::Held;
    }
    CloseHandle(handle);
    handle = nullptr;
    return State::Unavailable;
}

}  // namespace

SettingsLock::SettingsLock(const NativePath& settingsPath) {
    NativePath target;
    if (!ResolveTrustedLinks(settingsPath, target).ok()) {
        key_ = PathKey(settingsPath);  // refused at the first read; nothing is made
        return;
    }
    // The user's settings folder is made now rather than at the first save:
    // the lock lives there.
    CreateDirectoryW(ParentPath(settingsPath).c_str(), nullptr);
    NativePath lockFile = target + L".lock";
    HANDLE handle = nullptr;
    state_ = TryLock(lockFile, handle);
    // Asked only now: on Windows, finding the folder loads more of the system.
    const NativePath fallbackDirectory =
        state_ == State::Unavailable ? UserSettingsDirectory() : NativePath();
    if (!fallbackDirectory.empty()) {
        MakeDirectories(fallbackDirectory);
        lockFile = JoinPath(fallbackDirectory, "ksv-" + PathKey(target) + ".lock");
        state_ = TryLock(lockFile, handle);
    }
    handle_ = handle;
    key_ = PathKey(lockFile);
}

SettingsLock::~SettingsLock() {
    if (handle_ != nullptr) {
        CloseHandle(handle_);
    }
}

}  // namespace ksv::platform
