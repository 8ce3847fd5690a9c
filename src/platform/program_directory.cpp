#include "platform/program_directory.h"

#include "platform/executable_path.h"

namespace ksv::platform {

std::filesystem::path ProgramDirectory() {
    // The parent of "C:\ksv.exe" is "C:\": a drive root keeps its separator.
    const std::filesystem::path executable = ExecutablePath();
    if (executable.has_parent_path()) {
        return executable.parent_path();
    }
    // Where the system cannot tell, the directory the program was started in.
    return ".";
}

}  // namespace ksv::platform
