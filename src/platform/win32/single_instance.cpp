#include "platform/win32/single_instance.h"

#include <cwchar>

#include "platform/full_path_win32.h"

namespace ksv::platform::win32 {
namespace {

constexpr wchar_t kMarkProperty[] = L"ksv.instance";

// The mark is a window property, which holds a pointer-sized value: the low
// half of the key, never zero since zero means "no property".
HANDLE MarkValue(std::uint64_t key) {
    return reinterpret_cast<HANDLE>(static_cast<UINT_PTR>((key & 0xFFFFFFFFu) | 1u));
}

struct Search {
    const wchar_t* windowClass;
    HANDLE mark;
    HWND found;
};

BOOL CALLBACK FindMarked(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    if (std::wcscmp(className, search->windowClass) == 0 &&
        GetPropW(window, kMarkProperty) == search->mark) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

std::uint64_t SingleInstance::PathKey(const NativePath& settingsPath) {
    NativePath text = FullPath(settingsPath);
    if (!text.empty()) {
        // File names on Windows match without regard to case.
        CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    }
    std::uint64_t hash = 14695981039346656037u;  // FNV-1a
    for (const wchar_t c : text) {
        hash = (hash ^ static_cast<std::uint16_t>(c)) * 1099511628211u;
    }
    return hash;
}

std::wstring SingleInstance::MutexName(std::uint64_t key) {
    // Global: two users of one machine (fast user switching, remote
    // desktop) running one shared copy would count into the same file.
    std::wstring name = L"Global\\ksv-";
    for (int shift = 60; shift >= 0; shift -= 4) {
        name += L"0123456789abcdef"[(key >> shift) & 0xF];
    }
    return name;
}

SingleInstance::SingleInstance(const NativePath& settingsPath) : key_(PathKey(settingsPath)) {
    mutex_ = CreateMutexW(nullptr, TRUE, MutexName(key_).c_str());
    const DWORD error = GetLastError();
    if (mutex_ == nullptr) {
        // "Access denied": it exists, made by a copy another user runs, whose
        // mutex we may not open. Any other refusal leaves us unguarded rather
        // than unable to start.
        first_ = error != ERROR_ACCESS_DENIED;
    } else if (error == ERROR_ALREADY_EXISTS) {
        first_ = false;
    }
}

SingleInstance::~SingleInstance() {
    if (mutex_ != nullptr) {
        if (first_) {
            ReleaseMutex(mutex_);
        }
        CloseHandle(mutex_);
    }
}

void SingleInstance::MarkWindow(HWND window) const {
    SetPropW(window, kMarkProperty, MarkValue(key_));
}

bool SingleInstance::ActivateFirst(const wchar_t* windowClass) const {
    // The first copy may still be starting: its window comes after its load.
    for (int attempt = 0; attempt < 30; ++attempt) {
        Search search{windowClass, MarkValue(key_), nullptr};
        EnumWindows(FindMarked, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr && IsWindowVisible(search.found)) {
            if (IsIconic(search.found)) {
                ShowWindow(search.found, SW_RESTORE);
            }
            SetForegroundWindow(search.found);
            return true;
        }
        Sleep(100);
    }
    return false;
}

}  // namespace ksv::platform::win32
