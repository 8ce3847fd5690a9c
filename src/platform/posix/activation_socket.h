#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace ksv::platform::posix {

// The channel through which a later copy of the program calls the first one
// up: an abstract local socket (nothing on disk) named after the settings
// file's lock. Anyone may listen under a name, so both ends believe only a
// peer of their own user.

// Starts listening under `name`; -1 when the name is taken (another user, a
// copy in another network namespace) or no socket can be had. Requests wait
// in the queue until AnswerRequests takes them.
int ListenForRequests(const std::string& name);

// Whether a copy of this user's listens under `name`: the first one, though
// its lock file was taken away.
bool ThisUserListens(const std::string& name);

// Sends `request` to the copy listening under `name` and waits for its
// answer. True when a copy of this user's answered that it came to the
// front; false when none answers within `patience`.
bool SendRequest(const std::string& name, std::string_view request,
                 std::chrono::milliseconds patience);

// Takes every request waiting on `listener`, answers this user's copies and
// gives the text of the last one in `request`, waiting at most `patience`
// for it. False when no request of this user's was waiting.
bool AnswerRequests(int listener, std::chrono::milliseconds patience, std::string& request);

}  // namespace ksv::platform::posix
