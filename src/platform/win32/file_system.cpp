#include "platform/file_system.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <utility>

#include "platform/file_io.h"
#include "platform/file_owner.h"
#include "platform/win32/wide_text.h"

namespace ksv::platform {
namespace {

// What the system's errors mean to the user; any other is FileFailure::Other.
// ERROR_UNABLE_TO_REMOVE_REPLACED: the old file stays, as someone holds it.
constexpr std::pair<DWORD, FileFailure> kFailures[] = {
    {ERROR_ACCESS_DENIED, FileFailure::AccessDenied},
    {ERROR_FILE_NOT_FOUND, FileFailure::NotFound},
    {ERROR_PATH_NOT_FOUND, FileFailure::NotFound},
    {ERROR_INVALID_DRIVE, FileFailure::NotFound},
    {ERROR_BAD_NETPATH, FileFailure::NotFound},
    {ERROR_BAD_NET_NAME, FileFailure::NotFound},
    {ERROR_DIRECTORY, FileFailure::IsDirectory},
    {ERROR_DISK_FULL, FileFailure::DiskFull},
    {ERROR_HANDLE_DISK_FULL, FileFailure::DiskFull},
    {ERROR_WRITE_PROTECT, FileFailure::ReadOnly},
    {ERROR_SHARING_VIOLATION, FileFailure::InUse},
    {ERROR_LOCK_VIOLATION, FileFailure::InUse},
    {ERROR_UNABLE_TO_REMOVE_REPLACED, FileFailure::InUse},
    {ERROR_FILE_TOO_LARGE, FileFailure::TooLarge},
};

FileResult Fail(DWORD error) {
    const auto* known = std::ranges::find(kFailures, error, &std::pair<DWORD, FileFailure>::first);
    return {known != std::end(kFailures) ? known->second : FileFailure::Other,
            win32::ErrorMessage(error)};
}

FileResult FailWithLastError() {
    return Fail(GetLastError());
}

FileResult Done(BOOL succeeded) {
    return succeeded ? FileResult{} : FailWithLastError();
}

// Windows itself says "access denied" for a directory opened as a file.
FileResult DirectoryInTheWay() {
    return {FileFailure::IsDirectory, win32::ErrorMessage(ERROR_ACCESS_DENIED)};
}

HANDLE HandleOf(const OpenFile& file) {
    return reinterpret_cast<HANDLE>(file.get());
}

OpenFile Open(const NativePath& path, DWORD access, DWORD share, DWORD creation,
              DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    return OpenFile(reinterpret_cast<std::intptr_t>(
        CreateFileW(path.c_str(), access, share, nullptr, creation, attributes, nullptr)));
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool IsDirectory(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The file a symbolic link leads to, so that the link stays a link.
FileResult ResolveLink(NativePath& path) {
    const OpenFile file = Open(path, 0, kShareAll, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    if (!file.valid()) {
        return FailWithLastError();
    }
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(HandleOf(file), buffer.data(),
                                                       static_cast<DWORD>(buffer.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) {
            return FailWithLastError();
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            path = buffer;
            return {};
        }
        buffer.resize(length);
    }
}

// Whether this user may write the file now (its permissions, a program
// holding it without sharing), asked before anything is made, so that a
// refusal leaves nothing behind.
FileResult CheckWritable(const NativePath& target) {
    if (!Open(target, GENERIC_WRITE, kShareAll, OPEN_EXISTING).valid()) {
        return FailWithLastError();
    }
    // A program sharing it for writing but not deleting still keeps it from
    // being replaced; without the right to delete, it may yet be rewritten.
    if (!Open(target, GENERIC_WRITE | DELETE, kShareAll, OPEN_EXISTING).valid() &&
        GetLastError() == ERROR_SHARING_VIOLATION) {
        return Fail(ERROR_SHARING_VIOLATION);
    }
    return {};
}

// Fixed names beside the file: one copy writes here, and replaces whatever a
// killed save left. The content is written under the first and renamed to the
// second once complete on disk, as a kill inside ReplaceFileW, not one step,
// can leave no ksv.ini and the complete new content under the second name.
NativePath BeingWrittenPathFor(const NativePath& target) {
    return target + L".new";
}
NativePath CompletePathFor(const NativePath& target) {
    return target + L".tmp";
}

void Remove(const NativePath& path) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
}

FileResult MoveInto(const NativePath& target, const NativePath& from) {
    return Done(MoveFileExW(from.c_str(), target.c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
}

// ReplaceFileW keeps the old file's security descriptor, attributes and
// streams; a failure over those would lose the count, so it is ignored.
FileResult Replace(const NativePath& target, const NativePath& from) {
    if (ReplaceFileW(target.c_str(), from.c_str(), nullptr,
                     REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                     nullptr)) {
        return {};
    }
    const DWORD error = GetLastError();
    if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT) {
        // The old file is gone already: the new one goes in its place.
        return MoveInto(target, from).ok() ? FileResult{} : Fail(error);
    }
    if (error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED) {
        return MoveInto(target, from);  // a file system that cannot (some network shares)
    }
    return Fail(error);
}

}  // namespace

FileResult OpenFile::Close() {
    if (!valid()) {
        return {};
    }
    return Done(CloseHandle(reinterpret_cast<HANDLE>(std::exchange(handle_, kNone))));
}

FileResult OpenToRead(const NativePath& path, OpenFile& file, std::uint64_t& size) {
    if (IsDirectory(GetFileAttributesW(path.c_str()))) {
        return DirectoryInTheWay();
    }
    file = Open(path, GENERIC_READ, kShareAll, OPEN_EXISTING);
    if (!file.valid()) {
        return FailWithLastError();
    }
    LARGE_INTEGER length{};
    if (GetFileType(HandleOf(file)) != FILE_TYPE_DISK || !GetFileSizeEx(HandleOf(file), &length)) {
        return {FileFailure::Other, "不是普通文件"};
    }
    size = static_cast<std::uint64_t>(length.QuadPart);
    return {};
}

FileResult ReadSome(const OpenFile& file, char* buffer, std::size_t size, std::size_t& got) {
    DWORD count = 0;
    const BOOL read = ReadFile(HandleOf(file), buffer, static_cast<DWORD>(size), &count, nullptr);
    got = read ? count : 0;
    return Done(read);
}

FileResult WriteAt(const OpenFile& file, std::string_view data, std::uint64_t offset) {
    LARGE_INTEGER position{};
    position.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(HandleOf(file), position, nullptr, FILE_BEGIN)) {
        return FailWithLastError();
    }
    while (!data.empty()) {
        constexpr std::size_t kChunk = 1 << 20;
        const auto size = static_cast<DWORD>(data.size() < kChunk ? data.size() : kChunk);
        DWORD written = 0;
        if (!WriteFile(HandleOf(file), data.data(), size, &written, nullptr)) {
            return FailWithLastError();
        }
        if (written == 0) {
            return Fail(ERROR_WRITE_FAULT);
        }
        data.remove_prefix(written);
    }
    return {};
}

FileResult Truncate(const OpenFile& file, std::uint64_t size) {
    LARGE_INTEGER position{};
    position.QuadPart = static_cast<LONGLONG>(size);
    return Done(SetFilePointerEx(HandleOf(file), position, nullptr, FILE_BEGIN) &&
                SetEndOfFile(HandleOf(file)));
}

FileResult Flush(const OpenFile& file) {
    return Done(FlushFileBuffers(HandleOf(file)));
}

FileResult OpenToRewrite(const NativePath& path, OpenFile& file, bool& readable) {
    file = Open(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING);
    readable = file.valid();
    if (!readable && GetLastError() == ERROR_ACCESS_DENIED) {
        file = Open(path, GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING);
    }
    return file.valid() ? FileResult{} : FailWithLastError();
}

FileResult CheckReplaceable(const NativePath& target, TargetState& state) {
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? FileResult{} : Fail(error);
    }
    state.exists = true;
    state.attributes = attributes;
    if (IsDirectory(attributes)) {
        return DirectoryInTheWay();
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return {FileFailure::ReadOnly, win32::ErrorMessage(ERROR_ACCESS_DENIED)};
    }
    return CheckWritable(target);
}

FileResult CreateTemp(const NativePath& target, const TargetState& state, TempFile& temp) {
    // Windows' ReplaceFileW carries the attributes over as well; made with
    // them, the new file keeps them wherever it does not.
    constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                            FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    const DWORD kept = state.exists ? state.attributes & kKept : 0;
    temp.name = BeingWrittenPathFor(target);
    Remove(temp.name);
    // A folder (or a file that cannot go) at either name would fail every
    // save: the user is told which.
    for (const NativePath& name : {temp.name, CompletePathFor(target)}) {
        const DWORD found = GetFileAttributesW(name.c_str());
        if (name == temp.name ? found != INVALID_FILE_ATTRIBUTES : IsDirectory(found)) {
            return {FileFailure::NameTaken, win32::WideToUtf8(name)};
        }
    }
    temp.file =
        Open(temp.name, GENERIC_WRITE, 0, CREATE_NEW, kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL);
    return temp.file.valid() ? FileResult{} : FailWithLastError();
}

FileResult CommitTemp(TempFile& temp, const NativePath& target, const TargetState& state,
                      bool throughLink) {
    const NativePath complete = CompletePathFor(target);
    if (FileResult moved = MoveInto(complete, temp.name); !moved.ok()) {
        DiscardTemp(temp);
        return moved;
    }
    // Through a link, one rename: a kill inside ReplaceFileW would leave the
    // link pointing at nothing. The file then takes the new content's
    // permissions, which came from the same folder.
    FileResult result =
        state.exists && !throughLink ? Replace(target, complete) : MoveInto(target, complete);
    // Without the old file the complete new content is all there is: it
    // stays, and is read as the file until a save puts it in place.
    if (!result.ok() && GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
        Remove(complete);
    }
    return result;
}

void DiscardTemp(TempFile& temp) {
    temp.file.Close();
    Remove(temp.name);
}

bool DirectoryWritable(const NativePath& directory) {
    if (!IsDirectory(GetFileAttributesW(directory.c_str()))) {
        return false;
    }
    // Only trying tells: the folder's permission list, a read-only medium or
    // a folder redirected by the system all decide. The probe goes when its
    // handle closes, even if the program dies first.
    const NativePath probe =
        JoinPath(directory, "ksv-" + std::to_string(GetCurrentProcessId()) + ".probe");
    return Open(probe, GENERIC_WRITE | DELETE, 0, CREATE_NEW,
                FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE)
        .valid();
}

bool MakeDirectories(const NativePath& directory) {
    if (directory.empty()) {
        return false;
    }
    if (CreateDirectoryW(directory.c_str(), nullptr)) {
        return true;
    }
    const DWORD error = GetLastError();
    const NativePath parent = ParentPath(directory);
    if (error != ERROR_PATH_NOT_FOUND || parent.empty() || parent == directory) {
        return false;
    }
    MakeDirectories(parent);
    return CreateDirectoryW(directory.c_str(), nullptr) != FALSE;
}

FileResult ResolveTrustedLinks(const NativePath& path, NativePath& target) {
    target = path;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return {};
    }
    if (!Trusted(OwnerOf(path))) {
        return {FileFailure::UntrustedLink, {}};
    }
    return ResolveLink(target);
}

NativePath RecoveryPathFor(const NativePath& path) {
    return CompletePathFor(path);
}

}  // namespace ksv::platform
