#include "platform/native_path.h"

namespace ksv::platform {

NativePath JoinPath(const NativePath& directory, std::string_view name) {
    NativePath path = directory;
    if (!path.empty() && path.back() != '/') {
        path += '/';
    }
    return WithSuffix(path, name);
}

NativePath ParentPath(const NativePath& path) {
    const std::size_t last = path.find_last_of('/');
    if (last == NativePath::npos) {
        return {};
    }
    const std::size_t end = path.find_last_not_of('/', last);
    return end == NativePath::npos ? "/" : path.substr(0, end + 1);
}

}  // namespace ksv::platform
