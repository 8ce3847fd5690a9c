#pragma once

#include "platform/native_path.h"

namespace ksv::platform {

// Whose the entry at `path` is (a symbolic link itself, not its target):
// this user's, the system's (root; on Windows also Administrators, SYSTEM
// and TrustedInstaller), or another user's.
enum class EntryOwner { None, Self, System, OtherUser };
EntryOwner OwnerOf(const NativePath& path);

// This user's or the system's: an entry that nobody else made.
inline bool Trusted(EntryOwner owner) {
    return owner == EntryOwner::Self || owner == EntryOwner::System;
}

// Whether a user other than this one and the system may make, remove or
// rename files in `directory`: everyone may, its group may and this user is
// not the group's only member, or it belongs to another user, who can always
// open it up. False when it is absent.
bool OthersMayWrite(const NativePath& directory);

}  // namespace ksv::platform
