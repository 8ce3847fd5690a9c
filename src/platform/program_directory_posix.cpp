#include "platform/program_directory.h"

namespace ksv::platform {

// Placeholder.
std::filesystem::path ProgramDirectory() { return std::filesystem::current_path(); }

}  // namespace ksv::platform
