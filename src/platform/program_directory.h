#pragma once

#include <filesystem>

namespace ksv::platform {

// The directory that holds the running executable.
std::filesystem::path ProgramDirectory();

}  // namespace ksv::platform
