#include "platform/native_path.h"

namespace ksv::platform {
namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

}  // namespace

NativePath JoinPath(const NativePath& directory, std::string_view name) {
    NativePath path = directory;
    if (!path.empty() && !IsSeparator(path.back())) {
        path += L'\\';
    }
    return WithSuffix(path, name);
}

NativePath ParentPath(const NativePath& path) {
    std::size_t end = path.size();
    while (end > 0 && !IsSeparator(path[end - 1])) {
        --end;
    }
    if (end == 0) {
        return {};
    }
    const std::size_t separator = end - 1;
    while (end > 0 && IsSeparator(path[end - 1])) {
        --end;
    }
    // "C:\", "\\?\C:\" and "\" keep their separator: without it they would
    // name the drive's current folder.
    if (end == 0 || path[end - 1] == L':') {
        return path.substr(0, separator + 1);
    }
    return path.substr(0, end);
}

}  // namespace ksv::platform
