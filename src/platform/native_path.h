#pragma once

#include <string>
#include <string_view>

namespace ksv::platform {

// A file's path as the system's own calls take it (UTF-16 on Windows, bytes
// on POSIX), so that it reaches the system exactly as it was given; what the
// program shows goes through PathToUtf8 (platform/code_page.h).
#ifdef _WIN32
using NativePath = std::wstring;
#else
using NativePath = std::string;
#endif

// `directory` and the file name `name` (ASCII) with one separator between.
NativePath JoinPath(const NativePath& directory, std::string_view name);

// `path` with the ASCII text `suffix` added to its last name.
inline NativePath WithSuffix(NativePath path, std::string_view suffix) {
    path.append(suffix.begin(), suffix.end());
    return path;
}

// The directory that holds `path`: everything before its last name, with no
// trailing separator except for a root ("C:\", "\", "/"). Empty for a name
// alone.
NativePath ParentPath(const NativePath& path);

}  // namespace ksv::platform
