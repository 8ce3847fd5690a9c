#include "platform/posix/activation_socket.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <thread>

namespace ksv::platform::posix {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxRequest = 4096;

// The first copy's answer: it came to the front.
constexpr char kShown = 'A';

// An abstract address: a leading NUL byte, then the name; nothing on disk.
socklen_t AbstractAddress(const std::string& name, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    const std::size_t length = std::min(name.size(), sizeof address.sun_path - 1);
    std::memcpy(address.sun_path + 1, name.data(), length);
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
}

int Remaining(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::max<long long>(left, 0));
}

// Waits for `events` on a non-blocking socket; false at the deadline.
bool WaitFor(int fd, short events, Clock::time_point deadline) {
    pollfd waiting{fd, events, 0};
    int ready = 0;
    while ((ready = poll(&waiting, 1, Remaining(deadline))) < 0 && errno == EINTR) {
    }
    return ready > 0;
}

bool PeerIsThisUser(int fd) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == geteuid();
}

// A later copy's request, up to the end of what it sends.
std::string ReadRequest(int client, Clock::time_point deadline) {
    std::string text;
    char buffer[512];
    while (text.size() < kMaxRequest) {
        const ssize_t got = recv(client, buffer, sizeof buffer, 0);
        if (got > 0) {
            text.append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0) {
            break;  // the whole request
        } else if (errno != EINTR && (errno != EAGAIN || !WaitFor(client, POLLIN, deadline))) {
            break;
        }
    }
    return text;
}

void WriteRequest(int fd, std::string_view text, Clock::time_point deadline) {
    std::size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t done = send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (done > 0) {
            sent += static_cast<std::size_t>(done);
        } else if (errno != EINTR && (errno != EAGAIN || !WaitFor(fd, POLLOUT, deadline))) {
            break;
        }
    }
    // The end of the request; the answer may still come.
    shutdown(fd, SHUT_WR);
}

}  // namespace

int ListenForRequests(const std::string& name) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return -1;
    }
    sockaddr_un address;
    const socklen_t length = AbstractAddress(name, address);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
        ::listen(fd, 4) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool ThisUserListens(const std::string& name) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_un address;
    const socklen_t length = AbstractAddress(name, address);
    const bool ours = fd >= 0 &&
                      ::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0 &&
                      PeerIsThisUser(fd);
    if (fd >= 0) {
        close(fd);
    }
    return ours;
}

bool SendRequest(const std::string& name, std::string_view request,
                 std::chrono::milliseconds patience) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_un address;
    const socklen_t length = AbstractAddress(name, address);
    const auto deadline = Clock::now() + patience;
    // A full queue refuses at once rather than blocking, and the first copy
    // may not listen yet: try again until the deadline.
    int connected = -1;
    while ((connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), length)) != 0 &&
           (errno == EAGAIN || errno == ECONNREFUSED) && Remaining(deadline) > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    char answer = 0;
    bool shown = false;
    // The request goes only to a copy of this user's.
    if (connected == 0 && PeerIsThisUser(fd)) {
        WriteRequest(fd, request, deadline);
        shown = WaitFor(fd, POLLIN, deadline) && recv(fd, &answer, 1, 0) == 1 && answer == kShown;
    }
    close(fd);
    return shown;
}

bool AnswerRequests(int listener, std::chrono::milliseconds patience, std::string& request) {
    bool requested = false;
    const auto deadline = Clock::now() + patience;
    for (;;) {
        const int client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (client < 0) {
            break;
        }
        // Another user's copy hears nothing and tells its user itself.
        if (PeerIsThisUser(client)) {
            request = ReadRequest(client, deadline);
            [[maybe_unused]] const ssize_t sent = send(client, &kShown, 1, MSG_NOSIGNAL);
            requested = true;
        }
        close(client);
    }
    return requested;
}

}  // namespace ksv::platform::posix
