#include <windows.h>

#include <cstdint>
#include <vector>

#include "platform/file_io.h"
#include "platform/file_owner.h"
#include "platform/settings_lock.h"
#include "platform/user_settings_directory.h"

namespace ksv::platform {
namespace {

namespace fs = std::filesystem;
using State = SettingsLock::State;

// The same file by another spelling (case, ".", "..") gives the same text;
// stable in every copy, so FNV-1a rather than std::hash.
std::string PathKey(const fs::path& path) {
    std::wstring full(MAX_PATH, L'\0');
    DWORD length =
        GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length >= full.size()) {
        full.resize(length);
        length = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
    }
    full.resize(length < full.size() ? length : 0);
    if (full.empty()) {
        full = path.native();
    }
    CharUpperBuffW(full.data(), static_cast<DWORD>(full.size()));
    std::uint64_t hash = 14695981039346656037u;
    for (const wchar_t c : full) {
        hash = (hash ^ static_cast<std::uint16_t>(c)) * 1099511628211u;
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string key;
    for (int shift = 60; shift >= 0; shift -= 4) {
        key += kHex[(hash >> shift) & 0xf];
    }
    return key;
}

// A new lock file's permissions: this user's alone, so that nobody else can
// open it, and so hold it.
class OwnerOnly {
  public:
    OwnerOnly() {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
            return;
        }
        DWORD size = 0;
        GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        user_.resize(size);
        const bool known =
            size != 0 && GetTokenInformation(token, TokenUser, user_.data(), size, &size);
        CloseHandle(token);
        if (!known) {
            return;
        }
        const PSID sid = reinterpret_cast<TOKEN_USER*>(user_.data())->User.Sid;
        list_.resize(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(sid));
        auto* list = reinterpret_cast<ACL*>(list_.data());
        if (InitializeAcl(list, static_cast<DWORD>(list_.size()), ACL_REVISION) &&
            AddAccessAllowedAce(list, ACL_REVISION, FILE_ALL_ACCESS, sid) &&
            InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
            SetSecurityDescriptorDacl(&descriptor_, TRUE, list, FALSE) &&
            SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
            attributes_.lpSecurityDescriptor = &descriptor_;
        }
    }
    SECURITY_ATTRIBUTES* get() { return attributes_.lpSecurityDescriptor ? &attributes_ : nullptr; }

  private:
    std::vector<BYTE> user_;
    std::vector<BYTE> list_;
    SECURITY_DESCRIPTOR descriptor_{};
    SECURITY_ATTRIBUTES attributes_{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
};

// Opened without sharing, which is the lock: a second open fails until the
// holder ends or dies. Only a plain file of this user's or the system's
// counts; one that someone else made could be held by them for ever.
State TryLock(const fs::path& file, bool make, HANDLE& handle) {
    OwnerOnly permissions;
    handle = CreateFileW(file.c_str(), GENERIC_READ, 0, permissions.get(),
                         make ? OPEN_ALWAYS : OPEN_EXISTING,
                         FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        handle = nullptr;
        // Asking whose it is takes no sharing.
        return GetLastError() == ERROR_SHARING_VIOLATION &&
                       OwnerOf(file) == EntryOwner::SelfOrSystem
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

SettingsLock::SettingsLock(const fs::path& settingsPath) {
    fs::path target;
    if (!ResolveTrustedLinks(settingsPath, target).ok()) {
        key_ = PathKey(settingsPath);  // refused at the first read; nothing is made
        return;
    }
    // The user's settings folder is made now rather than at the first save:
    // the lock lives there.
    CreateDirectoryW(settingsPath.parent_path().c_str(), nullptr);
    fs::path lockFile = target;
    lockFile += L".lock";
    HANDLE handle = nullptr;
    state_ = TryLock(lockFile, true, handle);
    // Asked only now: on Windows, finding the folder loads more of the system.
    const fs::path fallbackDirectory =
        state_ == State::Unavailable ? UserSettingsDirectory() : fs::path();
    if (!fallbackDirectory.empty()) {
        CreateDirectoryW(fallbackDirectory.c_str(), nullptr);
        const std::string key = PathKey(target);
        lockFile = fallbackDirectory / (L"ksv-" + std::wstring(key.begin(), key.end()) + L".lock");
        state_ = TryLock(lockFile, true, handle);
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
