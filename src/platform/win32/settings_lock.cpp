#include "platform/settings_lock.h"

#include <windows.h>

#include "platform/file_owner.h"
#include "platform/stable_hash.h"
#include "platform/win32/current_user.h"
#include "platform/win32/full_path.h"

namespace ksv::platform {

using State = SettingsLock::State;

std::string FileKey(const NativePath& path) {
    NativePath identity = win32::FullPath(path);
    const NativePath folder = ParentPath(identity);
    const OpenFile opened(reinterpret_cast<std::intptr_t>(
        CreateFileW(folder.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)));
    BY_HANDLE_FILE_INFORMATION information{};
    if (opened.valid() &&
        GetFileInformationByHandle(reinterpret_cast<HANDLE>(opened.get()), &information)) {
        // Only hashed: the numbers go in as code units, the name after them.
        const NativePath name = identity.substr(folder.size());
        identity.clear();
        for (const DWORD part : {information.dwVolumeSerialNumber, information.nFileIndexHigh,
                                 information.nFileIndexLow}) {
            identity += static_cast<wchar_t>(part & 0xFFFF);
            identity += static_cast<wchar_t>(part >> 16);
        }
        identity += name;
    }
    // Windows compares names without regard to case.
    CharUpperBuffW(identity.data(), static_cast<DWORD>(identity.size()));
    return HexDigits(StableHash(std::wstring_view(identity)));
}

// Opened without sharing, which is the lock. Only a plain file of this
// user's or the system's counts; someone else's could be held for ever.
State TryLock(const NativePath& lockFile, const NativePath*, OpenFile& lock) {
    // A new one is this user's alone (by SID: Wine's "owner rights" is no one).
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
    const HANDLE handle =
        CreateFileW(lockFile.c_str(), GENERIC_READ, 0, &permissions, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    const DWORD error = GetLastError();
    lock = OpenFile(reinterpret_cast<std::intptr_t>(handle));
    if (!lock.valid()) {
        // Asking whose it is takes no sharing.
        return error == ERROR_SHARING_VIOLATION && Trusted(OwnerOf(lockFile)) ? State::HeldByOther
                                                                              : State::Unavailable;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (GetFileInformationByHandle(reinterpret_cast<HANDLE>(lock.get()), &information) &&
        (information.dwFileAttributes &
         (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
        Trusted(OwnerOf(lockFile))) {
        return State::Held;
    }
    lock.Close();
    return State::Unavailable;
}

// A lock on the file itself would keep the program from its own file.
State LockInPlace(const NativePath&, OpenFile&) {
    return State::Unavailable;
}

}  // namespace ksv::platform
