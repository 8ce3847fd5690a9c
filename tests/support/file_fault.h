#pragma once

#include "platform/file_fault.h"

namespace ksv::platform {

// Every later attempt of `step` fails with `failure` until it is set back to
// FileFailure::None.
void SetFileFaultForTesting(FileStep step, FileFailure failure);

}  // namespace ksv::platform
