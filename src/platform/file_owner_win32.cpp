#include <windows.h>

#include <vector>

#include "platform/file_owner.h"

namespace ksv::platform {
namespace {

// The security descriptor of the entry itself (a link, not its target), or
// nothing when it cannot be read; `gone` when there is no such entry.
std::vector<BYTE> SecurityOf(const std::filesystem::path& path, SECURITY_INFORMATION what,
                             bool& gone) {
    gone = false;
    const HANDLE file = CreateFileW(
        path.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        gone = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return {};
    }
    std::vector<BYTE> descriptor(512);
    DWORD needed = 0;
    while (!GetKernelObjectSecurity(file, what, descriptor.data(),
                                    static_cast<DWORD>(descriptor.size()), &needed)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= descriptor.size()) {
            descriptor.clear();
            break;
        }
        descriptor.resize(needed);
    }
    CloseHandle(file);
    return descriptor;
}

// The user this program runs as, Administrators, SYSTEM or TrustedInstaller:
// those who may change the system's own files anyway.
bool SelfOrSystem(PSID sid) {
    static const std::vector<BYTE> self = [] {
        std::vector<BYTE> user;
        HANDLE token = nullptr;
        if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
            DWORD size = 0;
            GetTokenInformation(token, TokenUser, nullptr, 0, &size);
            std::vector<BYTE> buffer(size);
            if (size != 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
                const PSID userSid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
                const auto* bytes = static_cast<const BYTE*>(userSid);
                user.assign(bytes, bytes + GetLengthSid(userSid));
            }
            CloseHandle(token);
        }
        return user;
    }();
    if (sid == nullptr || !IsValidSid(sid)) {
        return false;
    }
    if ((!self.empty() && EqualSid(sid, const_cast<BYTE*>(self.data()))) ||
        IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
        IsWellKnownSid(sid, WinLocalSystemSid)) {
        return true;
    }
    // NT SERVICE\TrustedInstaller, S-1-5-80-956008885-...-2271478464.
    static const DWORD kTrustedInstaller[] = {80,         956008885,  3418522649,
                                              1831038044, 1853292631, 2271478464};
    if (*GetSidSubAuthorityCount(sid) != 6 ||
        GetSidIdentifierAuthority(sid)->Value[5] != 5) {  // SECURITY_NT_AUTHORITY
        return false;
    }
    for (DWORD i = 0; i < 6; ++i) {
        if (*GetSidSubAuthority(sid, i) != kTrustedInstaller[i]) {
            return false;
        }
    }
    return true;
}

bool OwnedBySelfOrSystem(std::vector<BYTE>& descriptor) {
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    return !descriptor.empty() &&
           GetSecurityDescriptorOwner(descriptor.data(), &owner, &defaulted) && SelfOrSystem(owner);
}

}  // namespace

EntryOwner OwnerOf(const std::filesystem::path& path) {
    bool gone = false;
    std::vector<BYTE> descriptor = SecurityOf(path, OWNER_SECURITY_INFORMATION, gone);
    if (gone) {
        return EntryOwner::None;
    }
    return OwnedBySelfOrSystem(descriptor) ? EntryOwner::SelfOrSystem : EntryOwner::OtherUser;
}

bool OthersMayWrite(const std::filesystem::path& directory) {
    bool gone = false;
    std::vector<BYTE> descriptor =
        SecurityOf(directory, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, gone);
    if (gone) {
        return false;
    }
    // Unreadable, or a volume without permissions (FAT): anyone may write.
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL list = nullptr;
    if (!OwnedBySelfOrSystem(descriptor) ||
        !GetSecurityDescriptorDacl(descriptor.data(), &present, &list, &defaulted) || !present ||
        list == nullptr) {
        return true;
    }
    // What lets someone put a file here, take one away, or open the folder
    // up to others.
    constexpr DWORD kChanges = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD | DELETE |
                               WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
    for (DWORD i = 0; i < list->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(list, i, reinterpret_cast<void**>(&header)) ||
            header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE)) {
            continue;  // a denial, or one for what is made inside later
        }
        auto* allowed = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        if ((allowed->Mask & kChanges) != 0 && !SelfOrSystem(&allowed->SidStart)) {
            return true;
        }
    }
    return false;
}

}  // namespace ksv::platform
