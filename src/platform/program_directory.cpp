#include "platform/program_directory.h"

#include "platform/executable_path.h"

namespace ksv::platform {

NativePath ProgramDirectory() {
    // The parent of "C:\ksv.exe" is "C:\": a drive root keeps its separator.
    NativePath directory = ParentPath(ExecutablePath());
    if (directory.empty()) {
        // Where the system cannot tell, the directory the program was started in.
        directory.assign(1, '.');
    }
    return directory;
}

}  // namespace ksv::platform
