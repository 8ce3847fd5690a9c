#pragma once

#include "platform/native_path.h"

namespace ksv::platform {

// The running executable's full path; empty when the system cannot tell.
NativePath ExecutablePath();

// The directory that holds it; empty when the system cannot tell. A drive
// root keeps its separator ("C:\").
inline NativePath ProgramDirectory() {
    return ParentPath(ExecutablePath());
}

}  // namespace ksv::platform
