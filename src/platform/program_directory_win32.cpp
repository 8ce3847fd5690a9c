#include <windows.h>

#include <string>
#include <system_error>

#include "platform/program_directory.h"

namespace ksv::platform {
namespace {

std::wstring ExecutablePath() {
    // Paths may be longer than MAX_PATH; the name is cut when the buffer is
    // too small, so grow it until the whole name fits.
    constexpr DWORD kLongestPath = 32768;
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), size);
        if (length == 0) {
            return {};
        }
        if (length < size) {
            buffer.resize(length);
            return buffer;
        }
        if (size >= kLongestPath) {
            return {};
        }
        buffer.resize(static_cast<std::size_t>(size) * 2);
    }
}

}  // namespace

std::filesystem::path ProgramDirectory() {
    // The parent of "C:\ksv.exe" is "C:\": a drive root keeps its separator.
    const std::filesystem::path executable = ExecutablePath();
    if (executable.has_parent_path()) {
        return executable.parent_path();
    }
    std::error_code error;
    return std::filesystem::current_path(error);
}

}  // namespace ksv::platform
