#include "platform/win32/full_path.h"

#include <windows.h>

namespace ksv::platform::win32 {

NativePath FullPath(const NativePath& path) {
    NativePath full(MAX_PATH, L'\0');
    DWORD length =
        GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length >= full.size()) {
        full.resize(length);
        length = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
    }
    if (length == 0 || length >= full.size()) {
        return path;
    }
    full.resize(length);
    // A network path starts with its two separators; any other pair is one.
    NativePath single = full.substr(0, 2);
    for (std::size_t i = single.size(); i < full.size(); ++i) {
        if (full[i] != L'\\' || single.back() != L'\\') {
            single += full[i];
        }
    }
    return single;
}

}  // namespace ksv::platform::win32
