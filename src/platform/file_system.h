#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

#include "platform/file_result.h"
#include "platform/native_path.h"

// The small steps that reading and saving are made of: posix/ and win32/
// supply them, platform/file_io.cpp puts them together for every system.
namespace ksv::platform {

// An open file or folder, closed with the object: a descriptor or a handle.
class OpenFile {
  public:
    OpenFile() = default;
    explicit OpenFile(std::intptr_t handle) : handle_(handle) {}
    OpenFile(OpenFile&& other) noexcept : handle_(std::exchange(other.handle_, kNone)) {}
    OpenFile& operator=(OpenFile&& other) noexcept {
        std::swap(handle_, other.handle_);
        return *this;
    }
    ~OpenFile() { Close(); }

    bool valid() const { return handle_ != kNone; }
    std::intptr_t get() const { return handle_; }

    // Closes now, for the error some file systems only report here.
    FileResult Close();

  private:
    static constexpr std::intptr_t kNone = -1;
    std::intptr_t handle_ = kNone;
};

// An existing regular file, opened for reading, and its size. A directory,
// a device or a FIFO standing there is refused, and nothing waits on one.
FileResult OpenToRead(const NativePath& path, OpenFile& file, std::uint64_t& size);

// At most `size` bytes into `buffer`; `got` is 0 at the end of the file.
FileResult ReadSome(const OpenFile& file, char* buffer, std::size_t size, std::size_t& got);

FileResult WriteAt(const OpenFile& file, std::string_view data, std::uint64_t offset);
FileResult Truncate(const OpenFile& file, std::uint64_t size);
// To the disk, past every cache.
FileResult Flush(const OpenFile& file);

// The file itself, for writing it where it stands; `readable` tells whether
// its old content can be read back first.
FileResult OpenToRewrite(const NativePath& path, OpenFile& file, bool& readable);

// What a save needs to know of the file it replaces.
struct TargetState {
    bool exists = false;
    std::uint32_t attributes = 0;  // POSIX: the mode; Windows: the file attributes
    std::uint32_t owner = 0;       // POSIX only
    std::uint32_t group = 0;       // POSIX only
};

// Whether `target` (no link) may be replaced, asked before anything is made:
// a directory, a file that is no regular file, a read-only one or one this
// user may not write is refused.
FileResult CheckReplaceable(const NativePath& target, TargetState& state);

// The new content's file beside the target, until it takes its place.
struct TempFile {
    OpenFile file;
    OpenFile folder;  // POSIX: the folder both lie in, which the names below are within
    NativePath name;
};

// Makes the temporary file for a save of `target`, never through a link and
// never over anything that stands there, with the old file's attributes
// where it has one.
FileResult CreateTemp(const NativePath& target, const TargetState& state, TempFile& temp);

// Puts the written and closed temporary file in the target's place, durably.
// `throughLink`: the target was reached through a symbolic link, which must
// never be left pointing at nothing. On a failure the temporary file is gone,
// but where it is all that is left of the file.
FileResult CommitTemp(TempFile& temp, const NativePath& target, const TargetState& state,
                      bool throughLink);

// Removes the temporary file of a save that failed before its commit.
void DiscardTemp(TempFile& temp);

}  // namespace ksv::platform
