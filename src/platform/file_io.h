#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/file_result.h"
#include "platform/native_path.h"

namespace ksv::platform {

// Where the chain of symbolic links at `path` ends (`path` itself when it is
// no link; the end need not exist). A link is followed only when this user
// or the system made it: one that another user planted could aim our writes
// at any file of ours. UntrustedLink otherwise.
FileResult ResolveTrustedLinks(const NativePath& path, NativePath& target);

// The whole content of a file into `content`, or why it could not be read;
// TooLarge past `limit` bytes, and no more is read. Links are followed as
// ResolveTrustedLinks says.
FileResult ReadFileContent(const NativePath& path, std::string& content, std::size_t limit);

// Replaces the content of `path` so that a crash at any moment leaves either
// the old or the new content: a temporary file beside the target, flushed to
// disk and renamed over it. Keeps the target's group, permissions and access
// list, writes through a trusted link to its target, refuses a read-only one,
// and rewrites in place where the folder allows no new file or no rename.
// Removes what this user's saves cut short by a kill left there.
FileResult ReplaceFileContent(const NativePath& path, std::string_view content);

// Where a save cut short by a kill left the complete new content of `path`
// when the file itself was gone already; reading `path` then reads that.
// Empty where a replace is one step (all but Windows).
NativePath RecoveryPathFor(const NativePath& path);

// Whether this user may make new files in `directory`, judged the way a
// read-only file is: by the permission bits for the user's class on POSIX
// (so root is no exception), by trying on Windows. False when it is absent.
bool DirectoryWritable(const NativePath& directory);

// Makes `directory` and every missing folder above it; true when it made
// one, false when it was there already or could not be made.
bool MakeDirectories(const NativePath& directory);

}  // namespace ksv::platform
