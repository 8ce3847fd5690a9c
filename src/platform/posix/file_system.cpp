#include "platform/file_system.h"

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
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/code_page.h"
#include "platform/file_io.h"
#include "platform/stable_hash.h"

namespace ksv::platform {
namespace {

namespace fs = std::filesystem;

// What the system's errors mean to the user; any other is FileFailure::Other.
constexpr std::pair<int, FileFailure> kFailures[] = {
    {EACCES, FileFailure::AccessDenied}, {EPERM, FileFailure::AccessDenied},
    {ENOENT, FileFailure::NotFound},     {ENOTDIR, FileFailure::NotFound},
    {EISDIR, FileFailure::IsDirectory},  {ENOSPC, FileFailure::DiskFull},
    {EDQUOT, FileFailure::DiskFull},     {EROFS, FileFailure::ReadOnly},
    {EBUSY, FileFailure::InUse},         {ETXTBSY, FileFailure::InUse},
    {EFBIG, FileFailure::TooLarge},
};

// The message is in the user's locale, which need not be UTF-8.
FileResult Fail(int error) {
    const auto* known = std::ranges::find(kFailures, error, &std::pair<int, FileFailure>::first);
    return {known != std::end(kFailures) ? known->second : FileFailure::Other,
            AnsiToUtf8(std::generic_category().message(error))};
}

FileResult FailWithErrno() {
    return Fail(errno);
}

FileResult NotRegularFile() {
    return {FileFailure::Other, "不是普通文件"};
}

int Descriptor(const OpenFile& file) {
    return static_cast<int>(file.get());
}

FileResult UntrustedLinkOf(uid_t owner) {
    const passwd* account = getpwuid(owner);
    const std::string name = account != nullptr && account->pw_name != nullptr
                                 ? std::string(account->pw_name)
                                 : std::to_string(owner);
    return {FileFailure::UntrustedLink, "链接的所有者是 " + name};
}

// A name no earlier save used, 64 random bits that nobody can make in advance.
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

// TempName's names, and the fixed one earlier versions used beside ksv.ini.
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

// What this user's killed saves left beside `name`: only this user's regular
// files under the names above, never anyone else's nor another name.
void RemoveOwnLeftovers(int folderFd, const std::string& name) {
    const int listed = dup(folderFd);
    DIR* folder = listed >= 0 ? fdopendir(listed) : nullptr;
    if (folder == nullptr) {
        if (listed >= 0) {
            close(listed);
        }
        return;
    }
    while (const dirent* entry = readdir(folder)) {
        struct stat status {};
        if (IsTempName(entry->d_name, name) &&
            fstatat(folderFd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(status.st_mode) && status.st_uid == geteuid()) {
            unlinkat(folderFd, entry->d_name, 0);
        }
    }
    closedir(folder);
}

// The access list goes with the file; one that the new file inherited from
// its folder would grant what the old file did not.
void CopyAccessList(const NativePath& from, int to) {
    static constexpr char kAccessList[] = "system.posix_acl_access";
    char list[8192];
    const ssize_t size = getxattr(from.c_str(), kAccessList, list, sizeof list);
    if (size > 0) {
        fsetxattr(to, kAccessList, list, static_cast<std::size_t>(size), 0);
    } else if (size < 0 && errno == ENODATA) {
        fremovexattr(to, kAccessList);
    }
}

// The new file takes the old one's owner (only root may give a file away),
// group where this user may set it (a shared file stays shared), mode and
// access list; owner and group first, as changing them clears the set-id
// bits. Some file systems have no owners or lists: no reason to fail.
FileResult KeepAttributes(int fd, const NativePath& target, const TargetState& old) {
    const uid_t owner = geteuid() == 0 ? old.owner : static_cast<uid_t>(-1);
    [[maybe_unused]] const int ignored = fchown(fd, owner, old.group);
    if (fchmod(fd, old.attributes & 07777) != 0) {
        return FailWithErrno();
    }
    CopyAccessList(target, fd);
    return {};
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

std::string NameOf(const NativePath& path) {
    return fs::path(path).filename().string();
}

}  // namespace

FileResult OpenFile::Close() {
    if (!valid()) {
        return {};
    }
    const int result = close(static_cast<int>(std::exchange(handle_, kNone)));
    return result != 0 && errno != EINTR ? FailWithErrno() : FileResult{};
}

FileResult OpenToRead(const NativePath& path, OpenFile& file, std::uint64_t& size) {
    // Non-blocking, so that a FIFO standing at the path cannot hang us.
    file = OpenFile(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
    struct stat status {};
    if (!file.valid() || fstat(Descriptor(file), &status) != 0) {
        return FailWithErrno();
    }
    if (S_ISDIR(status.st_mode)) {
        return Fail(EISDIR);
    }
    if (!S_ISREG(status.st_mode)) {
        return NotRegularFile();
    }
    size = static_cast<std::uint64_t>(status.st_size);
    return {};
}

FileResult ReadSome(const OpenFile& file, char* buffer, std::size_t size, std::size_t& got) {
    ssize_t count = 0;
    while ((count = read(Descriptor(file), buffer, size)) < 0 && errno == EINTR) {
    }
    got = count > 0 ? static_cast<std::size_t>(count) : 0;
    return count < 0 ? FailWithErrno() : FileResult{};
}

FileResult WriteAt(const OpenFile& file, std::string_view data, std::uint64_t offset) {
    while (!data.empty()) {
        const ssize_t count =
            pwrite(Descriptor(file), data.data(), data.size(), static_cast<off_t>(offset));
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return count == 0 ? Fail(EIO) : FailWithErrno();
        }
        data.remove_prefix(static_cast<std::size_t>(count));
        offset += static_cast<std::uint64_t>(count);
    }
    return {};
}

FileResult Truncate(const OpenFile& file, std::uint64_t size) {
    return ftruncate(Descriptor(file), static_cast<off_t>(size)) == 0 ? FileResult{}
                                                                      : FailWithErrno();
}

FileResult Flush(const OpenFile& file) {
    return fsync(Descriptor(file)) == 0 ? FileResult{} : FailWithErrno();
}

FileResult OpenToRewrite(const NativePath& path, OpenFile& file, bool& readable) {
    file = OpenFile(open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC));
    readable = file.valid();
    if (!readable && errno == EACCES) {
        file = OpenFile(open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC));
    }
    return file.valid() ? FileResult{} : FailWithErrno();
}

FileResult CheckReplaceable(const NativePath& target, TargetState& state) {
    struct stat old {};
    if (lstat(target.c_str(), &old) != 0) {
        return errno == ENOENT ? FileResult{} : FailWithErrno();
    }
    state = {true, old.st_mode, old.st_uid, old.st_gid};
    if (S_ISDIR(old.st_mode)) {
        return Fail(EISDIR);
    }
    if (!S_ISREG(old.st_mode)) {
        return NotRegularFile();
    }
    // No write bit at all is "read-only", even for root, who may write anyway.
    if ((old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        return {FileFailure::ReadOnly, Fail(EACCES).detail};
    }
    // A rename needs only the directory's permission; replacing a file we may
    // not write would take it from its owner.
    if (faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
        return FailWithErrno();
    }
    return {};
}

FileResult CreateTemp(const NativePath& target, const TargetState& state, TempFile& temp) {
    const NativePath directory = ParentPath(target);
    const char* folderPath = directory.empty() ? "." : directory.c_str();
    temp.folder = OpenFile(open(folderPath, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    // A folder this user may write but not list still takes the new file.
    if (!temp.folder.valid() && errno == EACCES) {
        temp.folder = OpenFile(open(folderPath, O_PATH | O_DIRECTORY | O_CLOEXEC));
    }
    if (!temp.folder.valid()) {
        return FailWithErrno();
    }
    const int folder = Descriptor(temp.folder);
    const std::string name = NameOf(target);
    // Only killed runs leave anything, so the folder is tidied once a run.
    if (tidiedTarget != target) {
        RemoveOwnLeftovers(folder, name);
        tidiedTarget = target;
    }
    // Made exclusively, so that nothing standing at the name (another user's
    // file, a link, a FIFO) is opened or followed: a name taken means another.
    for (int attempt = 0; attempt < 8 && !temp.file.valid(); ++attempt) {
        temp.name = TempName(name);
        temp.file = OpenFile(openat(folder, temp.name.c_str(),
                                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                    state.exists ? 0600 : 0666));
        if (!temp.file.valid() && errno != EEXIST) {
            break;
        }
    }
    if (!temp.file.valid()) {
        return FailWithErrno();
    }
    if (!state.exists) {
        return {};
    }
    FileResult kept = KeepAttributes(Descriptor(temp.file), target, state);
    if (!kept.ok()) {
        DiscardTemp(temp);
    }
    return kept;
}

FileResult CommitTemp(TempFile& temp, const NativePath& target, const TargetState&, bool) {
    const int folder = Descriptor(temp.folder);
    if (renameat(folder, temp.name.c_str(), folder, NameOf(target).c_str()) != 0) {
        const FileResult failed = FailWithErrno();
        DiscardTemp(temp);
        return failed;
    }
    // Makes the rename itself durable. Some file systems cannot sync a
    // directory; the content is in place either way, so that is not an error.
    fsync(folder);
    return {};
}

void DiscardTemp(TempFile& temp) {
    temp.file.Close();
    unlinkat(Descriptor(temp.folder), temp.name.c_str(), 0);
}

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
    return fs::create_directories(fs::path(directory).lexically_normal(), error);
}

FileResult ResolveTrustedLinks(const NativePath& path, NativePath& target) {
    fs::path current = path;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat status {};
        if (lstat(current.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            target = current.native();
            return {};
        }
        if (status.st_uid != geteuid() && status.st_uid != 0) {
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

}  // namespace ksv::platform
