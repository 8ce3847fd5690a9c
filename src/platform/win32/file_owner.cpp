#include "platform/file_owner.h"

#include <windows.h>

#include <algorithm>
#include <iterator>

#include "platform/win32/current_user.h"

namespace ksv::platform {
namespace {

// A security descriptor, read into the program's own memory: large enough
// for a folder's list with a hundred entries.
struct Security {
    alignas(void*) BYTE descriptor[8192];
    bool read = false;
    bool gone = false;  // there is no such entry
};

// Of the entry itself (a link, not its target).
void Read(const NativePath& path, SECURITY_INFORMATION what, Security& security) {
    const HANDLE file = CreateFileW(
        path.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        security.gone = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return;
    }
    DWORD needed = 0;
    security.read = GetKernelObjectSecurity(file, what, security.descriptor,
                                            sizeof security.descriptor, &needed) != FALSE;
    CloseHandle(file);
}

// NT SERVICE\TrustedInstaller, S-1-5-80-956008885-3418522649-1831038044-
// 1853292631-2271478464, which has no well-known type of its own.
bool IsTrustedInstaller(PSID sid) {
    static constexpr DWORD kSubAuthorities[] = {80,         956008885,  3418522649,
                                                1831038044, 1853292631, 2271478464};
    constexpr BYTE kNtAuthority[6] = {0, 0, 0, 0, 0, 5};
    const SID_IDENTIFIER_AUTHORITY* authority = GetSidIdentifierAuthority(sid);
    if (*GetSidSubAuthorityCount(sid) != std::size(kSubAuthorities) ||
        !std::equal(std::begin(kNtAuthority), std::end(kNtAuthority), authority->Value)) {
        return false;
    }
    for (DWORD i = 0; i < std::size(kSubAuthorities); ++i) {
        if (*GetSidSubAuthority(sid, i) != kSubAuthorities[i]) {
            return false;
        }
    }
    return true;
}

// The user this program runs as (`user`, read once by the caller),
// Administrators, SYSTEM or TrustedInstaller: those who may change the
// system's own files anyway.
bool SelfOrSystem(PSID sid, PSID user) {
    if (sid == nullptr || !IsValidSid(sid)) {
        return false;
    }
    return IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
           IsWellKnownSid(sid, WinLocalSystemSid) || IsTrustedInstaller(sid) ||
           (user != nullptr && EqualSid(sid, user));
}

// The owner the security descriptor names; null when none was read.
PSID OwnerSid(Security& security) {
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (!security.read || !GetSecurityDescriptorOwner(security.descriptor, &owner, &defaulted)) {
        return nullptr;
    }
    return owner;
}

}  // namespace

EntryOwner OwnerOf(const NativePath& path) {
    Security security;
    Read(path, OWNER_SECURITY_INFORMATION, security);
    if (security.gone) {
        return EntryOwner::None;
    }
    const win32::CurrentUser user;
    const PSID owner = OwnerSid(security);
    if (!SelfOrSystem(owner, user.sid())) {
        return EntryOwner::OtherUser;
    }
    return user.sid() != nullptr && EqualSid(owner, user.sid()) ? EntryOwner::Self
                                                                : EntryOwner::System;
}

bool OthersMayWrite(const NativePath& directory) {
    Security security;
    Read(directory, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, security);
    if (security.gone) {
        return false;
    }
    // Unreadable, or a volume without permissions (FAT): anyone may write.
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL list = nullptr;
    const win32::CurrentUser user;
    if (!SelfOrSystem(OwnerSid(security), user.sid()) ||
        !GetSecurityDescriptorDacl(security.descriptor, &present, &list, &defaulted) || !present ||
        list == nullptr) {
        return true;
    }
    // What lets someone add a file, take one away or open the folder up.
    constexpr DWORD kChanges = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD | DELETE |
                               WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
    for (DWORD i = 0; i < list->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(list, i, reinterpret_cast<void**>(&header)) ||
            header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE)) {
            continue;  // a denial, or one for what is made inside later
        }
        auto* allowed = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        if ((allowed->Mask & kChanges) != 0 && !SelfOrSystem(&allowed->SidStart, user.sid())) {
            return true;
        }
    }
    return false;
}

}  // namespace ksv::platform
