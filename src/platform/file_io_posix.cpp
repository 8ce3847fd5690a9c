#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "platform/code_page.h"
#include "platform/file_fault.h"
#include "platform/file_io.h"

namespace ksv::platform {
namespace {

namespace fs = std::filesystem;

FileFailure Classify(int error) {
    switch (error) {
        case 0:
            return FileFailure::None;
        case EACCES:
        case EPERM:
            return FileFailure::AccessDenied;
        case ENOENT:
        case ENOTDIR:
            return FileFailure::NotFound;
        case EISDIR:
            return FileFailure::IsDirectory;
        case ENOSPC:
        case EDQUOT:
            return FileFailure::DiskFull;
        case EROFS:
            return FileFailure::ReadOnly;
        case EBUSY:
        case ETXTBSY:
            return FileFailure::InUse;
        default:
            return FileFailure::Other;
    }
}

int ErrorFor(FileFailure failure) {
    switch (failure) {
        case FileFailure::None:
            return 0;
        case FileFailure::ReadOnly:
            return EROFS;
        case FileFailure::AccessDenied:
            return EACCES;
        case FileFailure::NotFound:
            return ENOENT;
        case FileFailure::IsDirectory:
            return EISDIR;
        case FileFailure::DiskFull:
            return ENOSPC;
        case FileFailure::InUse:
            return EBUSY;
        case FileFailure::UnknownEncoding:
        case FileFailure::Other:
            break;
    }
    return EIO;
}

int Injected(FileStep step) {
    return ErrorFor(InjectedFileFault(step));
}

// The message is in the user's locale, which need not be UTF-8.
std::string Describe(int error) {
    return AnsiToUtf8(std::generic_category().message(error));
}

FileResult Fail(int error) {
    return {Classify(error), Describe(error)};
}

FileResult NotRegularFile() {
    return {FileFailure::Other, "不是普通文件"};
}

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }

    int get() const { return fd_; }

    // Closes now, for the error some file systems only report here; 0 or an
    // errno.
    int Close() {
        const int result = close(fd_);
        fd_ = -1;
        return result != 0 && errno != EINTR ? errno : 0;
    }

  private:
    int fd_;
};

int ReadAll(int fd, std::string& out) {
    char buffer[65536];
    for (;;) {
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count == 0) {
            return 0;
        }
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        out.append(buffer, static_cast<std::size_t>(count));
    }
}

int WriteAllAt(int fd, std::string_view data, off_t offset) {
    while (!data.empty()) {
        const ssize_t count = pwrite(fd, data.data(), data.size(), offset);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (count == 0) {
            return EIO;
        }
        data.remove_prefix(static_cast<std::size_t>(count));
        offset += count;
    }
    return 0;
}

// Writes the new content; an injected fault fails half-way, as a full disk
// does, so that what is left behind gets tested too.
int WriteContent(int fd, std::string_view content) {
    if (const int error = Injected(FileStep::Write); error != 0) {
        WriteAllAt(fd, content.substr(0, content.size() / 2), 0);
        return error;
    }
    return WriteAllAt(fd, content, 0);
}

int Flush(int fd) {
    if (const int error = Injected(FileStep::Flush); error != 0) {
        return error;
    }
    return fsync(fd) == 0 ? 0 : errno;
}

// The file a chain of symbolic links ends at (the path itself when it is no
// link). A loop is left to the next system call to report.
fs::path ResolveLinks(fs::path path) {
    for (int hop = 0; hop < 40; ++hop) {
        struct stat status {};
        if (lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            break;
        }
        std::error_code error;
        const fs::path next = fs::read_symlink(path, error);
        if (error) {
            break;
        }
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return path;
}

// Makes the rename itself durable. Some file systems cannot sync a
// directory; the content is in place either way, so that is not an error.
void SyncDirectory(const fs::path& directory) {
    const int fd =
        open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

// For a directory that allows no new file. Not crash-safe, so only the last
// resort: on a failure the old content is put back as far as we can.
FileResult RewriteInPlace(const fs::path& target, std::string_view content) {
    std::string backup;
    bool haveBackup = false;
    int fd = open(target.c_str(), O_RDWR | O_CLOEXEC);
    if (fd >= 0) {
        haveBackup = ReadAll(fd, backup) == 0;
    } else if (errno == EACCES) {
        fd = open(target.c_str(), O_WRONLY | O_CLOEXEC);
    }
    if (fd < 0) {
        return Fail(errno);
    }
    FileDescriptor file(fd);
    int error = WriteContent(fd, content);
    if (error == 0 && ftruncate(fd, static_cast<off_t>(content.size())) != 0) {
        error = errno;
    }
    if (error == 0) {
        error = Flush(fd);
    }
    if (error != 0 && haveBackup) {
        WriteAllAt(fd, backup, 0);
        if (ftruncate(fd, static_cast<off_t>(backup.size())) == 0) {
            fsync(fd);
        }
    }
    if (const int closeError = file.Close(); error == 0) {
        error = closeError;
    }
    return error == 0 ? FileResult{} : Fail(error);
}

bool InGroup(gid_t group) {
    if (group == getegid()) {
        return true;
    }
    const int count = getgroups(0, nullptr);
    if (count <= 0) {
        return false;
    }
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    const int got = getgroups(count, groups.data());
    return got > 0 && std::find(groups.begin(), groups.begin() + got, group) != groups.end();
}

}  // namespace

bool DirectoryWritable(const NativePath& directory) {
    struct stat status {};
    if (stat(directory.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        return false;
    }
    struct statvfs volume {};
    if (statvfs(directory.c_str(), &volume) == 0 && (volume.f_flag & ST_RDONLY) != 0) {
        return false;
    }
    // Making a file takes both write and search permission, of one class.
    mode_t needed = S_IWOTH | S_IXOTH;
    if (status.st_uid == geteuid()) {
        needed = S_IWUSR | S_IXUSR;
    } else if (InGroup(status.st_gid)) {
        needed = S_IWGRP | S_IXGRP;
    }
    return (status.st_mode & needed) == needed;
}

bool EntryExists(const NativePath& path) {
    struct stat status {};
    return lstat(path.c_str(), &status) == 0;
}

bool MakeDirectories(const NativePath& directory) {
    std::error_code error;
    return fs::create_directories(directory, error);
}

FileResult ReadFileContent(const NativePath& path, std::string& content) {
    content.clear();
    // Non-blocking, so that a FIFO standing at the path cannot hang us.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return Fail(errno);
    }
    FileDescriptor file(fd);
    struct stat status {};
    if (fstat(fd, &status) != 0) {
        return Fail(errno);
    }
    if (S_ISDIR(status.st_mode)) {
        return Fail(EISDIR);
    }
    if (!S_ISREG(status.st_mode)) {
        return NotRegularFile();
    }
    if (const int error = ReadAll(fd, content); error != 0) {
        content.clear();
        return Fail(error);
    }
    return {};
}

FileResult ReplaceFileContent(const NativePath& path, std::string_view content) {
    const fs::path target = ResolveLinks(path);
    struct stat old {};
    bool exists = false;
    if (stat(target.c_str(), &old) == 0) {
        exists = true;
        if (S_ISDIR(old.st_mode)) {
            return Fail(EISDIR);
        }
        if (!S_ISREG(old.st_mode)) {
            return NotRegularFile();
        }
        // No write bit at all is the user's "read-only"; root would
        // otherwise write anyway.
        if ((old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
            return {FileFailure::ReadOnly, Describe(EACCES)};
        }
        // A rename needs only the directory's permission; replacing a file we
        // may not write would take it from its owner.
        if (faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
            return Fail(errno);
        }
    } else if (errno != ENOENT) {
        return Fail(errno);
    }

    // One fixed name: only one copy of the program writes here, and what a
    // save cut short by a kill left behind is simply replaced.
    const fs::path directory = target.parent_path();
    const fs::path tempPath = directory / (target.filename().string() + ".tmp");
    int fd = -1;
    int error = Injected(FileStep::CreateTemp);
    if (error == 0) {
        unlink(tempPath.c_str());
        // The final mode is set below for an existing file; a new one gets
        // the usual mode for new files.
        fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                  exists ? 0600 : 0666);
        error = fd < 0 ? errno : 0;
    }
    if (fd < 0) {
        if (exists && (error == EACCES || error == EPERM)) {
            return RewriteInPlace(target, content);
        }
        return Fail(error);
    }

    FileDescriptor file(fd);
    if (exists) {
        // Owner first: a change of owner clears the set-id bits the mode
        // then restores. Some file systems have no owners; that is no reason
        // to fail the write.
        if (geteuid() == 0) {
            [[maybe_unused]] const int ignored = fchown(fd, old.st_uid, old.st_gid);
        }
        if (fchmod(fd, old.st_mode & 07777) != 0) {
            error = errno;
        }
    }
    if (error == 0) {
        error = WriteContent(fd, content);
    }
    if (error == 0) {
        error = Flush(fd);
    }
    if (const int closeError = file.Close(); error == 0) {
        error = closeError;
    }
    if (error == 0) {
        error = Injected(FileStep::Rename);
        if (error == 0 && rename(tempPath.c_str(), target.c_str()) != 0) {
            error = errno;
        }
    }
    if (error != 0) {
        unlink(tempPath.c_str());
        return Fail(error);
    }
    SyncDirectory(directory);
    return {};
}

}  // namespace ksv::platform
