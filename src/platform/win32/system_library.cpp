#include "platform/win32/system_library.h"

#include <string>

namespace ksv::platform::win32 {

HMODULE SystemLibrary(const wchar_t* name) {
    // Loaded once: a second LoadLibraryW only counts another reference.
    if (const HMODULE loaded = GetModuleHandleW(name); loaded != nullptr) {
        return loaded;
    }
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return nullptr;
    }
    std::wstring path(folder, length);
    path += L'\\';
    path += name;
    return LoadLibraryW(path.c_str());
}

}  // namespace ksv::platform::win32
