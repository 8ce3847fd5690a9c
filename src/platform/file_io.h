#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/file_result.h"

namespace ksv::platform {

// The whole content of a file into `content`, or why it could not be read:
// NotFound when the file or its directory is absent.
FileResult ReadFileContent(const std::filesystem::path& path, std::string& content);

// Replaces the content of `path` so that a crash at any moment leaves either
// the old or the new content: a temporary file in the same directory, flushed
// to disk and renamed over the target. Keeps the target's permissions, writes
// through a symbolic link to its target, refuses a read-only target, and
// rewrites in place when the directory allows no new file.
FileResult ReplaceFileContent(const std::filesystem::path& path, std::string_view content);

// Whether this user may make new files in `directory`, judged the way a
// read-only file is: by the permission bits for the user's class on POSIX
// (so root is no exception), by trying on Windows. False when it is absent.
bool DirectoryWritable(const std::filesystem::path& directory);

}  // namespace ksv::platform
