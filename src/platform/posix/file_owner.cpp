#include "platform/file_owner.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ksv::platform {
namespace {

bool SelfOrSystem(uid_t user) {
    return user == geteuid() || user == 0;
}

// Nobody but this user and root has group `gid`, as member or primary group.
bool GroupOnlyOurs(gid_t gid) {
    const struct group* entry = getgrgid(gid);
    if (entry == nullptr) {
        return false;  // a group nobody can name may have anyone in it
    }
    for (char** member = entry->gr_mem; *member != nullptr; ++member) {
        const passwd* account = getpwnam(*member);
        if (account == nullptr || !SelfOrSystem(account->pw_uid)) {
            return false;
        }
    }
    bool onlyOurs = true;
    setpwent();
    while (const passwd* account = getpwent()) {
        if (account->pw_gid == gid && !SelfOrSystem(account->pw_uid)) {
            onlyOurs = false;
            break;
        }
    }
    endpwent();
    return onlyOurs;
}

}  // namespace

EntryOwner OwnerOf(const NativePath& path) {
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0) {
        return EntryOwner::None;
    }
    if (status.st_uid == geteuid()) {
        return EntryOwner::Self;
    }
    return status.st_uid == 0 ? EntryOwner::System : EntryOwner::OtherUser;
}

bool OthersMayWrite(const NativePath& directory) {
    struct stat status {};
    if (stat(directory.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        return false;
    }
    if (!SelfOrSystem(status.st_uid) || (status.st_mode & S_IWOTH) != 0) {
        return true;
    }
    return (status.st_mode & S_IWGRP) != 0 && !GroupOnlyOurs(status.st_gid);
}

}  // namespace ksv::platform
