#pragma once

#include "platform/native_path.h"

namespace ksv::platform::win32 {

// The full path the system makes of `path` against the current folder, with
// "." and ".." and doubled separators taken out; by name alone, nothing is
// looked up on disk. `path` itself when the system cannot tell.
NativePath FullPath(const NativePath& path);

}  // namespace ksv::platform::win32
