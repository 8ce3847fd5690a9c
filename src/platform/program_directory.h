#pragma once

#include "platform/native_path.h"

namespace ksv::platform {

// The full path of the running executable; empty when the system cannot tell
// (a path longer than the system can give).
NativePath ExecutablePath();

// The directory that holds it; empty when the system cannot tell. A drive
// root keeps its separator ("C:\").
inline NativePath ProgramDirectory() {
    return ParentPath(ExecutablePath());
}

}  // namespace ksv::platform
