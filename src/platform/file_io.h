#pragma once

#include <string>
#include <string_view>

#include "platform/file_result.h"
#include "platform/native_path.h"

namespace ksv::platform {

// The whole content of a file into `content`, or why it could not be read:
// NotFound when the file or its directory is absent.
FileResult ReadFileContent(const NativePath& path, std::string& content);

// Replaces the content of `path` so that a crash at any moment leaves either
// the old or the new content: a temporary file in the same directory, flushed
// to disk and renamed over the target. Keeps the target's permissions, writes
// through a symbolic link to its target, refuses a read-only target, and
// rewrites in place when the directory allows no new file.
FileResult ReplaceFileContent(const NativePath& path, std::string_view content);

// Whether this user may make new files in `directory`, judged the way a
// read-only file is: by the permission bits for the user's class on POSIX
// (so root is no exception), by trying on Windows. False when it is absent.
bool DirectoryWritable(const NativePath& directory);

// Whether anything stands at `path`: a file, a folder, or a symbolic link,
// even one whose target is gone.
bool EntryExists(const NativePath& path);

// Makes `directory` and every missing folder above it; true when it made
// one, false when it was there already or could not be made.
bool MakeDirectories(const NativePath& directory);

}  // namespace ksv::platform
