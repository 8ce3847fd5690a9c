#include <sys/auxv.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/program_directory.h"

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
    // A path longer than the system gives back stays unknown.
    if (errno == ENAMETOOLONG) {
        return {};
    }
    // No /proc (a chroot, another system): the name the program was started
    // with, relative to the directory it was started in.
    const auto* startName = reinterpret_cast<const char*>(getauxval(AT_EXECFN));
    if (startName == nullptr || *startName == '\0') {
        return {};
    }
    if (*startName == '/') {
        return startName;
    }
    char* folder = getcwd(nullptr, 0);
    const NativePath path = folder != nullptr ? JoinPath(folder, startName) : NativePath();
    std::free(folder);
    return path;
}

}  // namespace ksv::platform
