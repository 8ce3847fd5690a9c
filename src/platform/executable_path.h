#pragma once

#include <filesystem>

namespace ksv::platform {

// The full path of the running executable; empty when the system cannot tell.
std::filesystem::path ExecutablePath();

}  // namespace ksv::platform
