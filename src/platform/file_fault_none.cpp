#include "platform/file_fault.h"

namespace ksv::platform {

FileFailure InjectedFileFault(FileStep) {
    return FileFailure::None;
}

}  // namespace ksv::platform
