// Linked into the test programs in place of the program's own
// InjectedFileFault, in which nothing fails.
#include "support/file_fault.h"

#include <array>
#include <cstddef>

namespace ksv::platform {
namespace {

std::array<FileFailure, 4> faults{};

}  // namespace

void SetFileFaultForTesting(FileStep step, FileFailure failure) {
    faults[static_cast<std::size_t>(step)] = failure;
}

FileFailure InjectedFileFault(FileStep step) {
    return faults[static_cast<std::size_t>(step)];
}

}  // namespace ksv::platform
