#include "platform/file_io.h"

namespace ksv::platform {

// Placeholder.
std::optional<std::string> ReadWholeFile(const std::filesystem::path&) { return std::nullopt; }
FileResult ReplaceFileContent(const std::filesystem::path&, std::string_view) {
    return {FileFailure::Other, "not written yet"};
}

}  // namespace ksv::platform
