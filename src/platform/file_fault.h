#pragma once

#include "platform/file_result.h"

// The seam through which tests make a step of ReplaceFileContent fail as the
// system would: the program links file_fault_none.cpp and tests their own
// definition, so what ships has no switch for it.
namespace ksv::platform {

enum class FileStep { CreateTemp, Write, Flush, Rename };

// The failure to act out at `step`, or FileFailure::None.
FileFailure InjectedFileFault(FileStep step);

}  // namespace ksv::platform
