#include <windows.h>

#include <string>

#include "platform/program_directory.h"

namespace ksv::platform {

NativePath ExecutablePath() {
    // Paths may be longer than MAX_PATH: grow the buffer until the name fits.
    constexpr DWORD kLongestPath = 32768;
    NativePath buffer(MAX_PATH, L'\0');
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

}  // namespace ksv::platform
