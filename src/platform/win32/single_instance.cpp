#include "platform/win32/single_instance.h"

#include <cwchar>

namespace ksv::platform::win32 {
namespace {

constexpr wchar_t kMarkProperty[] = L"ksv.instance";

// The mark is a window property, which holds a pointer-sized value: the low
// half of the key, never zero since zero means "no property".
HANDLE MarkValue(std::uint64_t key) {
    return reinterpret_cast<HANDLE>(static_cast<UINT_PTR>((key & 0xFFFFFFFFu) | 1u));
}

// The lock's key, in hex digits, as a number (strtoull would bring the C
// library's own conversions into the program).
std::uint64_t FromHex(const std::string& digits) {
    std::uint64_t value = 0;
    for (const char c : digits) {
        value = value << 4 | static_cast<std::uint64_t>(c <= '9' ? c - '0' : c - 'a' + 10);
    }
    return value;
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

SingleInstance::SingleInstance(const NativePath& settingsPath)
    : lock_(settingsPath),
      key_(FromHex(lock_.Key())),
      first_(lock_.state() != SettingsLock::State::HeldByOther) {}

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
