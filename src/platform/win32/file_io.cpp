#include "platform/file_io.h"

#include <windows.h>

#include <cstddef>
#include <string>

#include "platform/file_fault.h"
#include "platform/file_owner.h"
#include "platform/win32/wide_text.h"

namespace ksv::platform {
namespace {

FileFailure Classify(DWORD error) {
    switch (error) {
        case ERROR_SUCCESS:
            return FileFailure::None;
        case ERROR_ACCESS_DENIED:
            return FileFailure::AccessDenied;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
            return FileFailure::NotFound;
        case ERROR_DIRECTORY:
            return FileFailure::IsDirectory;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return FileFailure::DiskFull;
        case ERROR_WRITE_PROTECT:
            return FileFailure::ReadOnly;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_UNABLE_TO_REMOVE_REPLACED:  // the old file stays: someone holds it
            return FileFailure::InUse;
        case ERROR_FILE_TOO_LARGE:
            return FileFailure::TooLarge;
        default:
            return FileFailure::Other;
    }
}

DWORD ErrorFor(FileFailure failure) {
    switch (failure) {
        case FileFailure::None:
            return ERROR_SUCCESS;
        case FileFailure::ReadOnly:
            return ERROR_WRITE_PROTECT;
        case FileFailure::AccessDenied:
            return ERROR_ACCESS_DENIED;
        case FileFailure::NotFound:
            return ERROR_PATH_NOT_FOUND;
        case FileFailure::IsDirectory:
            return ERROR_DIRECTORY;
        case FileFailure::DiskFull:
            return ERROR_DISK_FULL;
        case FileFailure::InUse:
            return ERROR_SHARING_VIOLATION;
        case FileFailure::TooLarge:
            return ERROR_FILE_TOO_LARGE;
        case FileFailure::UnknownEncoding:
        case FileFailure::UntrustedLink:
        case FileFailure::Other:
            break;
    }
    return ERROR_WRITE_FAULT;
}

DWORD Injected(FileStep step) {
    return ErrorFor(InjectedFileFault(step));
}

FileResult Fail(DWORD error) {
    return {Classify(error), win32::ErrorMessage(error)};
}

// Windows itself says "access denied" for a directory opened as a file.
FileResult DirectoryInTheWay() {
    return {FileFailure::IsDirectory, win32::ErrorMessage(ERROR_ACCESS_DENIED)};
}

FileResult NotRegularFile() {
    return {FileFailure::Other, "不是普通文件"};
}

class Handle {
  public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (valid()) {
            CloseHandle(handle_);
        }
    }

    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }

    DWORD Close() {
        const BOOL closed = CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        return closed ? ERROR_SUCCESS : GetLastError();
    }

  private:
    HANDLE handle_;
};

// Reads to the end, but never more than `limit` + 1 bytes: one more than
// allowed is enough to know.
DWORD ReadAll(HANDLE file, std::string& out, std::size_t limit) {
    char buffer[65536];
    while (out.size() <= limit) {
        const std::size_t left = limit + 1 - out.size();
        DWORD count = 0;
        if (!ReadFile(file, buffer, static_cast<DWORD>(left < sizeof buffer ? left : sizeof buffer),
                      &count, nullptr)) {
            return GetLastError();
        }
        if (count == 0) {
            return ERROR_SUCCESS;
        }
        out.append(buffer, count);
    }
    return ERROR_SUCCESS;
}

DWORD WriteAllAt(HANDLE file, std::string_view data, LONGLONG offset) {
    LARGE_INTEGER position{};
    position.QuadPart = offset;
    if (!SetFilePointerEx(file, position, nullptr, FILE_BEGIN)) {
        return GetLastError();
    }
    while (!data.empty()) {
        constexpr std::size_t kChunk = 1 << 20;
        const auto size = static_cast<DWORD>(data.size() < kChunk ? data.size() : kChunk);
        DWORD written = 0;
        if (!WriteFile(file, data.data(), size, &written, nullptr)) {
            return GetLastError();
        }
        if (written == 0) {
            return ERROR_WRITE_FAULT;
        }
        data.remove_prefix(written);
    }
    return ERROR_SUCCESS;
}

// Writes the new content; an injected fault fails half-way, as a full disk
// does, so that what is left behind gets tested too.
DWORD WriteContent(HANDLE file, std::string_view content) {
    if (const DWORD error = Injected(FileStep::Write); error != ERROR_SUCCESS) {
        WriteAllAt(file, content.substr(0, content.size() / 2), 0);
        return error;
    }
    return WriteAllAt(file, content, 0);
}

DWORD Flush(HANDLE file) {
    if (const DWORD error = Injected(FileStep::Flush); error != ERROR_SUCCESS) {
        return error;
    }
    return FlushFileBuffers(file) ? ERROR_SUCCESS : GetLastError();
}

DWORD Truncate(HANDLE file, LONGLONG size) {
    LARGE_INTEGER position{};
    position.QuadPart = size;
    if (!SetFilePointerEx(file, position, nullptr, FILE_BEGIN) || !SetEndOfFile(file)) {
        return GetLastError();
    }
    return ERROR_SUCCESS;
}

// The file a symbolic link leads to, so that the link stays a link.
DWORD ResolveLink(NativePath& path) {
    Handle file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.valid()) {
        return GetLastError();
    }
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetFinalPathNameByHandleW(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()),
                                      FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) {
            return GetLastError();
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            path = buffer;
            return ERROR_SUCCESS;
        }
        buffer.resize(length);
    }
}

// Whether this user may write the file now (its permissions, a program
// holding it without sharing), asked before anything is made, so that a
// refusal leaves nothing behind.
DWORD CheckWritable(const NativePath& target) {
    const auto tryOpen = [&](DWORD access) {
        Handle file(CreateFileW(target.c_str(), access,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        return file.valid() ? ERROR_SUCCESS : GetLastError();
    };
    if (const DWORD error = tryOpen(GENERIC_WRITE); error != ERROR_SUCCESS) {
        return error;
    }
    // A program that shares it for writing but not for deleting still keeps
    // it from being replaced. Without the right to delete, it may yet be
    // rewritten in place.
    if (tryOpen(GENERIC_WRITE | DELETE) == ERROR_SHARING_VIOLATION) {
        return ERROR_SHARING_VIOLATION;
    }
    return ERROR_SUCCESS;
}

// Fixed names beside the file: only one copy of the program writes here,
// and what a save cut short by a kill left behind is simply replaced. The new
// content is written under one name and renamed to the other once it is
// complete on disk, because ReplaceFileW is not one step: a kill inside it
// can leave no ksv.ini, and the whole new content under the second name.
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

DWORD MoveInto(const NativePath& target, const NativePath& temp) {
    return MoveFileExW(temp.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? ERROR_SUCCESS
               : GetLastError();
}

// ReplaceFileW keeps what Windows attaches to the old file: its security
// descriptor (owner, permissions), attributes and streams. A save that
// failed for good over such details would lose the count at the end, so
// their errors are ignored.
DWORD Replace(const NativePath& target, const NativePath& temp) {
    if (ReplaceFileW(target.c_str(), temp.c_str(), nullptr,
                     REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                     nullptr)) {
        return ERROR_SUCCESS;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT) {
        // The old file is gone already: the new one goes in its place.
        return MoveInto(target, temp) == ERROR_SUCCESS ? ERROR_SUCCESS : error;
    }
    if (error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED) {
        return MoveInto(target, temp);  // a file system that cannot (some network shares)
    }
    return error;
}

// For a directory that allows no new file. Not crash-safe, so only the last
// resort: on a failure the old content is put back as far as we can.
FileResult RewriteInPlace(const NativePath& target, std::string_view content) {
    const auto open = [&](DWORD access) {
        return CreateFileW(target.c_str(), access, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    HANDLE handle = open(GENERIC_READ | GENERIC_WRITE);
    const bool readable = handle != INVALID_HANDLE_VALUE;
    if (!readable && GetLastError() == ERROR_ACCESS_DENIED) {
        handle = open(GENERIC_WRITE);
    }
    if (handle == INVALID_HANDLE_VALUE) {
        return Fail(GetLastError());
    }
    Handle file(handle);
    std::string backup;
    const bool haveBackup =
        readable && ReadAll(file.get(), backup, backup.max_size() - 1) == ERROR_SUCCESS;
    DWORD error = WriteContent(file.get(), content);
    if (error == ERROR_SUCCESS) {
        error = Truncate(file.get(), static_cast<LONGLONG>(content.size()));
    }
    if (error == ERROR_SUCCESS) {
        error = Flush(file.get());
    }
    if (error != ERROR_SUCCESS && haveBackup) {
        WriteAllAt(file.get(), backup, 0);
        if (Truncate(file.get(), static_cast<LONGLONG>(backup.size())) == ERROR_SUCCESS) {
            FlushFileBuffers(file.get());
        }
    }
    if (const DWORD closeError = file.Close(); error == ERROR_SUCCESS) {
        error = closeError;
    }
    return error == ERROR_SUCCESS ? FileResult{} : Fail(error);
}

}  // namespace

bool DirectoryWritable(const NativePath& directory) {
    const DWORD attributes = GetFileAttributesW(directory.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return false;
    }
    // Only trying tells: the folder's permission list, a read-only medium or
    // a folder redirected by the system all decide. The probe goes when its
    // handle closes, even if the program dies first.
    const NativePath probe =
        JoinPath(directory, "ksv-" + std::to_string(GetCurrentProcessId()) + ".probe");
    const HANDLE file = CreateFileW(
        probe.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(file);
    return true;
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
    if (OwnerOf(path) != EntryOwner::SelfOrSystem) {
        return {FileFailure::UntrustedLink, {}};
    }
    const DWORD error = ResolveLink(target);
    return error == ERROR_SUCCESS ? FileResult{} : Fail(error);
}

NativePath RecoveryPathFor(const NativePath& path) {
    return CompletePathFor(path);
}

FileResult ReadFileContent(const NativePath& path, std::string& content, std::size_t limit) {
    content.clear();
    NativePath target;
    if (FileResult resolved = ResolveTrustedLinks(path, target); !resolved.ok()) {
        return resolved;
    }
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return DirectoryInTheWay();
    }
    Handle file(CreateFileW(target.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        const DWORD error = GetLastError();
        // A save that stopped inside the replace left its content complete
        // under the other name, beside the file it replaces; that is the
        // file now.
        const NativePath complete = CompletePathFor(target);
        const DWORD completeAttributes = GetFileAttributesW(complete.c_str());
        if (error == ERROR_FILE_NOT_FOUND && completeAttributes != INVALID_FILE_ATTRIBUTES &&
            (completeAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            return ReadFileContent(complete, content, limit);
        }
        return Fail(error);
    }
    LARGE_INTEGER size{};
    if (GetFileType(file.get()) != FILE_TYPE_DISK || !GetFileSizeEx(file.get(), &size)) {
        return NotRegularFile();
    }
    if (static_cast<unsigned long long>(size.QuadPart) > limit) {
        return {FileFailure::TooLarge, {}};
    }
    if (const DWORD error = ReadAll(file.get(), content, limit); error != ERROR_SUCCESS) {
        content.clear();
        return Fail(error);
    }
    if (content.size() > limit) {  // it grew while we read
        content.clear();
        return {FileFailure::TooLarge, {}};
    }
    return {};
}

FileResult ReplaceFileContent(const NativePath& path, std::string_view content) {
    NativePath target;
    if (FileResult resolved = ResolveTrustedLinks(path, target); !resolved.ok()) {
        return resolved;
    }
    const DWORD attributes = GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!exists) {
        if (const DWORD error = GetLastError(); error != ERROR_FILE_NOT_FOUND) {
            return Fail(error);
        }
    } else {
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return DirectoryInTheWay();
        }
        if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            return {FileFailure::ReadOnly, win32::ErrorMessage(ERROR_ACCESS_DENIED)};
        }
    }

    if (exists) {
        if (const DWORD error = CheckWritable(target); error != ERROR_SUCCESS) {
            return Fail(error);
        }
    }

    // Windows' ReplaceFileW carries the attributes over as well; made with
    // them, the new file keeps them wherever it does not.
    constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                            FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    const DWORD tempAttributes =
        exists && (attributes & kKept) != 0 ? attributes & kKept : FILE_ATTRIBUTE_NORMAL;
    const NativePath writingPath = BeingWrittenPathFor(target);
    const NativePath completePath = CompletePathFor(target);
    HANDLE handle = INVALID_HANDLE_VALUE;
    DWORD error = Injected(FileStep::CreateTemp);
    if (error == ERROR_SUCCESS) {
        Remove(writingPath);
        handle = CreateFileW(writingPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             tempAttributes, nullptr);
        error = handle == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    }
    if (handle == INVALID_HANDLE_VALUE) {
        if (exists && error == ERROR_ACCESS_DENIED) {
            return RewriteInPlace(target, content);
        }
        return Fail(error);
    }

    Handle file(handle);
    error = WriteContent(file.get(), content);
    if (error == ERROR_SUCCESS) {
        error = Flush(file.get());
    }
    if (const DWORD closeError = file.Close(); error == ERROR_SUCCESS) {
        error = closeError;
    }
    if (error == ERROR_SUCCESS) {
        error = Injected(FileStep::Rename);
    }
    if (error == ERROR_SUCCESS) {
        error = MoveInto(completePath, writingPath);
    }
    if (error != ERROR_SUCCESS) {
        Remove(writingPath);
        return Fail(error);
    }
    // Through a link, one rename: ReplaceFileW is not one step, and a kill
    // inside it would leave the link pointing at nothing, where nobody looks
    // for the complete new content beside its file. The file then takes the
    // new content's permissions, which came from the same folder.
    error =
        exists && target == path ? Replace(target, completePath) : MoveInto(target, completePath);
    if (error != ERROR_SUCCESS) {
        // Without the old file the complete new content is all there is: it
        // stays, and is read as the file until a save puts it in place.
        if (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
            Remove(completePath);
        }
        return Fail(error);
    }
    return {};
}

}  // namespace ksv::platform
