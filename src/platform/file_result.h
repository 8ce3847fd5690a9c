#pragma once

#include <string>

namespace ksv::platform {

// Why reading or writing a file failed, in the cases a user can act on.
enum class FileFailure {
    None,
    ReadOnly,      // the file is marked read-only
    AccessDenied,  // no permission for the file or its directory
    NotFound,      // the file or its directory does not exist
    IsDirectory,   // a directory stands where the file should be
    DiskFull,
    InUse,            // another program holds the file
    UnknownEncoding,  // text in an encoding the program does not write
    UntrustedLink,    // a symbolic link that another user made
    TooLarge,         // far more than a settings file ever holds
    NameTaken,        // something stands where a save puts its new file; `detail` names it
    Other,
};

struct FileResult {
    FileFailure failure = FileFailure::None;
    std::string detail;  // the system's own words (UTF-8), for the curious

    bool ok() const { return failure == FileFailure::None; }
    friend bool operator==(const FileResult&, const FileResult&) = default;
};

}  // namespace ksv::platform
