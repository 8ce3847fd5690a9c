#include "platform/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "platform/code_page.h"
#include "platform/file_fault.h"
#include "platform/stable_hash.h"

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
        case EFBIG:
            return FileFailure::TooLarge;
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
        case FileFailure::TooLarge:
            return EFBIG;
        case FileFailure::UnknownEncoding:
        case FileFailure::UntrustedLink:
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

// Reads to the end, but never more than `limit` + 1 bytes: one more than
// allowed is enough to know.
int ReadAll(int fd, std::string& out, std::size_t limit) {
    char buffer[65536];
    while (out.size() <= limit) {
        const std::size_t wanted = std::min(sizeof buffer, limit + 1 - out.size());
        const ssize_t count = read(fd, buffer, wanted);
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
    return 0;
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

bool TrustedOwner(uid_t owner) {
    return owner == geteuid() || owner == 0;
}

FileResult UntrustedLinkOf(uid_t owner) {
    const passwd* account = getpwuid(owner);
    const std::string name = account != nullptr && account->pw_name != nullptr
                                 ? std::string(account->pw_name)
                                 : std::to_string(owner);
    return {FileFailure::UntrustedLink, "链接的所有者是 " + name};
}

FileResult TooLarge() {
    return {FileFailure::TooLarge, {}};
}

// A name no earlier save used: 64 random bits, so that nobody can make it
// in advance.
std::string TempName(const std::string& name) {
    std::uint64_t bits = 0;
    if (getrandom(&bits, sizeof bits, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bits)) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        bits = (static_cast<std::uint64_t>(getpid()) << 32) ^
               static_cast<std::uint64_t>(now.tv_nsec) ^
               (static_cast<std::uint64_t>(now.tv_sec) << 20);
    }
    return name + "." + HexDigits(bits) + ".tmp";
}

// The names TempName gives, and the one fixed name earlier versions used
// beside ksv.ini.
bool IsTempName(std::string_view entry, const std::string& name) {
    if (name == "ksv.ini" && entry == "ksv.ini.tmp") {
        return true;
    }
    constexpr std::size_t kDigits = 16;
    if (entry.size() != name.size() + 1 + kDigits + 4 || !entry.starts_with(name) ||
        entry[name.size()] != '.' || !entry.ends_with(".tmp")) {
        return false;
    }
    const std::string_view digits = entry.substr(name.size() + 1, kDigits);
    return digits.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

// The file whose leftovers this run has removed.
NativePath tidiedTarget;

// What saves of this user that a kill cut short left beside `name`: only
// regular files of this user's under the names above, so that nobody else's
// file, and no file of the user's own by another name, is ever removed.
void RemoveOwnLeftovers(const fs::path& directory, const std::string& name) {
    DIR* folder = opendir(directory.empty() ? "." : directory.c_str());
    if (folder == nullptr) {
        return;
    }
    while (const dirent* entry = readdir(folder)) {
        struct stat status {};
        if (IsTempName(entry->d_name, name) &&
            fstatat(dirfd(folder), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(status.st_mode) && status.st_uid == geteuid()) {
            unlinkat(dirfd(folder), entry->d_name, 0);
        }
    }
    closedir(folder);
}

// Made exclusively, so that nothing standing at the name (another user's
// file, a link, a FIFO) is opened or followed; a name taken is another name.
int CreateTemp(const fs::path& directory, const std::string& name, mode_t mode,
               fs::path& tempPath) {
    int fd = -1;
    for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
        tempPath = directory / TempName(name);
        fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
    return fd;
}

// The access list goes with the file; one that the new file inherited from
// its folder would grant what the old file did not.
void CopyAccessList(const fs::path& from, int to) {
    static constexpr char kAccessList[] = "system.posix_acl_access";
    char list[8192];
    const ssize_t size = getxattr(from.c_str(), kAccessList, list, sizeof list);
    if (size > 0) {
        fsetxattr(to, kAccessList, list, static_cast<std::size_t>(size), 0);
    } else if (size < 0 && errno == ENODATA) {
        fremovexattr(to, kAccessList);
    }
}

// The new file takes the old one's place: its owner (only root may give a
// file away), its group where this user may set it, so that a file shared
// with a group stays shared, then its mode and access list. Owner and group
// come first, since changing them clears the set-id bits the mode restores.
// Some file systems have no owners or lists; that is no reason to fail.
int KeepAttributes(int fd, const fs::path& target, const struct stat& old) {
    if (geteuid() == 0) {
        [[maybe_unused]] const int ignored = fchown(fd, old.st_uid, old.st_gid);
    } else {
        [[maybe_unused]] const int ignored = fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    }
    if (fchmod(fd, old.st_mode & 07777) != 0) {
        return errno;
    }
    CopyAccessList(target, fd);
    return 0;
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

// For a directory that allows no new file, or no rename over this one (a
// sticky folder, the file someone else's). Not crash-safe, so only the last
// resort: on a failure the old content is put back as far as we can.
FileResult RewriteInPlace(const fs::path& target, std::string_view content) {
    std::string backup;
    bool haveBackup = false;
    int fd = open(target.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        haveBackup = ReadAll(fd, backup, backup.max_size() - 1) == 0;
    } else if (errno == EACCES) {
        fd = open(target.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
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

bool MakeDirectories(const NativePath& directory) {
    std::error_code error;
    return fs::create_directories(directory, error);
}

FileResult ResolveTrustedLinks(const NativePath& path, NativePath& target) {
    fs::path current = path;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat status {};
        if (lstat(current.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            target = current.native();
            return {};
        }
        if (!TrustedOwner(status.st_uid)) {
            return UntrustedLinkOf(status.st_uid);
        }
        std::error_code error;
        const fs::path next = fs::read_symlink(current, error);
        if (error) {
            return Fail(error.value());
        }
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    return Fail(ELOOP);
}

NativePath RecoveryPathFor(const NativePath&) {
    return {};
}

FileResult ReadFileContent(const NativePath& path, std::string& content, std::size_t limit) {
    content.clear();
    NativePath target;
    if (FileResult resolved = ResolveTrustedLinks(path, target); !resolved.ok()) {
        return resolved;
    }
    // Non-blocking, so that a FIFO standing at the path cannot hang us; no
    // link is followed past the check above.
    const int fd = open(target.c_str(), O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
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
    if (static_cast<std::uintmax_t>(status.st_size) > limit) {
        return TooLarge();
    }
    if (const int error = ReadAll(fd, content, limit); error != 0) {
        content.clear();
        return Fail(error);
    }
    if (content.size() > limit) {  // it grew while we read
        content.clear();
        return TooLarge();
    }
    return {};
}

FileResult ReplaceFileContent(const NativePath& path, std::string_view content) {
    NativePath target;
    if (FileResult resolved = ResolveTrustedLinks(path, target); !resolved.ok()) {
        return resolved;
    }
    struct stat old {};
    bool exists = false;
    if (lstat(target.c_str(), &old) == 0) {
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

    const fs::path directory = fs::path(target).parent_path();
    const std::string name = fs::path(target).filename().string();
    // Only runs that ended in a kill leave anything, so once a run is enough:
    // the minute's save does not list the folder again.
    if (tidiedTarget != target) {
        RemoveOwnLeftovers(directory, name);
        tidiedTarget = target;
    }
    fs::path tempPath;
    int fd = -1;
    int error = Injected(FileStep::CreateTemp);
    if (error == 0) {
        // The final mode is set below for an existing file; a new one gets
        // the usual mode for new files.
        fd = CreateTemp(directory, name, exists ? 0600 : 0666, tempPath);
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
        error = KeepAttributes(fd, target, old);
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
    bool renameRefused = false;
    if (error == 0) {
        error = Injected(FileStep::Rename);
        if (error == 0 && rename(tempPath.c_str(), target.c_str()) != 0) {
            error = errno;
        }
        // A sticky folder and someone else's file, say.
        renameRefused = exists && (error == EACCES || error == EPERM);
    }
    if (error != 0) {
        unlink(tempPath.c_str());
        return renameRefused ? RewriteInPlace(target, content) : Fail(error);
    }
    SyncDirectory(directory);
    return {};
}

}  // namespace ksv::platform
