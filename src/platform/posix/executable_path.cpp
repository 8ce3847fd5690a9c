#include "platform/executable_path.h"

#include <sys/auxv.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace ksv::platform {

NativePath ExecutablePath() {
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) {
            break;
        }
        if (static_cast<std::size_t>(length) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(length));
            return buffer;
        }
        // The link may have been cut to fit; try again with more room.
        buffer.resize(buffer.size() * 2);
    }
    // No /proc (a chroot, another system): the name the program was started
    // with, which is relative to the directory it was started in.
    const auto* startName = reinterpret_cast<const char*>(getauxval(AT_EXECFN));
    if (startName != nullptr && *startName != '\0') {
        std::error_code error;
        auto path = std::filesystem::absolute(startName, error);
        if (!error) {
            return path.native();
        }
    }
    return {};
}

}  // namespace ksv::platform
