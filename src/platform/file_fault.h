#pragma once

#include "platform/file_result.h"

// The seam through which tests make a step of ReplaceFileContent fail as the
// system would. The program links file_fault_none.cpp, where no step ever
// fails; test programs link a definition of their own in its place, so no
// switch for it exists in what ships.
namespace ksv::platform {

enum class FileStep { CreateTemp, Write, Flush, Rename };

// The failure to act out at `step`, or FileFailure::None.
FileFailure InjectedFileFault(FileStep step);

}  // namespace ksv::platform
