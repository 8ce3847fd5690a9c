#pragma once

#include "platform/native_path.h"

namespace ksv::platform {

// The full path of the running executable; empty when the system cannot tell.
NativePath ExecutablePath();

}  // namespace ksv::platform
