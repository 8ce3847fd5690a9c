#pragma once

#include "platform/native_path.h"

namespace ksv::platform {

// The directory that holds the running executable.
NativePath ProgramDirectory();

}  // namespace ksv::platform
