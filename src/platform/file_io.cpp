#include "platform/file_io.h"

namespace ksv::platform {

std::optional<std::string> ReadWholeFile(const std::filesystem::path& path) {
    std::string content;
    if (!ReadFileContent(path, content).ok()) {
        return std::nullopt;
    }
    return content;
}

}  // namespace ksv::platform
