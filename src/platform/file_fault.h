#pragma once

#include "platform/file_result.h"

// Lets tests make ReplaceFileContent fail at a chosen step, as the system
// would with the given kind of error. Nothing in the program sets a fault.
namespace ksv::platform {

enum class FileStep { CreateTemp, Write, Flush, Rename };

// Every later attempt of `step` fails with `failure` until it is set back to
// FileFailure::None.
void SetFileFaultForTesting(FileStep step, FileFailure failure);

// The fault set for `step`, for the implementations.
FileFailure InjectedFileFault(FileStep step);

}  // namespace ksv::platform
