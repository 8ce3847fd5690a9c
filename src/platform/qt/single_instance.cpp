#include "platform/qt/single_instance.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <thread>

namespace ksv::platform {
namespace {

using Clock = std::chrono::steady_clock;

// How long a later copy waits for the first one's answer.
constexpr std::chrono::milliseconds kPatience(1000);

// How long the first copy waits for the tokens of the later ones that ask
// together. A later copy sends them at once; one from before tokens were
// passed sends none and still has its answer well within its patience.
constexpr std::chrono::milliseconds kRequestPatience(250);
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

// A later copy's request: its launch tokens, up to the end of what it sends.
LaunchTokens ReadRequest(int client, Clock::time_point deadline) {
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
    return DecodeLaunchTokens(text);
}

// The tokens go only to a copy of the same user: another user's process
// could hold the name.
void SendRequest(int fd, const LaunchTokens& tokens, Clock::time_point deadline) {
    ucred peer{};
    socklen_t size = sizeof peer;
    const bool sameUser =
        getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == geteuid();
    const std::string text = sameUser ? EncodeLaunchTokens(tokens) : std::string();
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

SingleInstance::SingleInstance(const NativePath& settingsPath, QObject* parent)
    : QObject(parent), lock_(settingsPath), socketName_("ksv-settings-" + lock_.Key()) {
    first_ = lock_.state() != SettingsLock::State::HeldByOther;
    if (!first_) {
        return;
    }
    listenFd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listenFd_ < 0) {
        return;  // no activation; counting matters more
    }
    // Another user (or a copy in another network namespace) may hold the
    // name: this copy counts all the same, only later ones cannot call it up.
    sockaddr_un address;
    const socklen_t length = AbstractAddress(socketName_, address);
    // Requests wait in the queue until Listen() answers them.
    if (::bind(listenFd_, reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
        ::listen(listenFd_, 4) != 0) {
        close(listenFd_);
        listenFd_ = -1;
    }
}

SingleInstance::~SingleInstance() {
    notifier_.reset();
    if (listenFd_ >= 0) {
        close(listenFd_);
    }
}

bool SingleInstance::ActivateFirst(const LaunchTokens& tokens) const {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_un address;
    const socklen_t length = AbstractAddress(socketName_, address);
    const auto deadline = Clock::now() + kPatience;
    // A full queue refuses at once rather than blocking, and the first copy
    // may not listen yet: try again until the deadline.
    int connected = -1;
    while ((connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), length)) != 0 &&
           (errno == EAGAIN || errno == ECONNREFUSED) && Remaining(deadline) > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    // Anyone may listen under the name; only a copy of this user's is ours.
    ucred peer{};
    socklen_t size = sizeof peer;
    if (connected == 0 &&
        (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != geteuid())) {
        connected = -1;
    }
    char answer = 0;
    bool shown = false;
    if (connected == 0) {
        SendRequest(fd, tokens, deadline);
        shown = WaitFor(fd, POLLIN, deadline) && recv(fd, &answer, 1, 0) == 1 && answer == kShown;
    }
    close(fd);
    return shown;
}

void SingleInstance::Listen() {
    if (listenFd_ < 0 || notifier_) {
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(listenFd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &SingleInstance::OnRequest);
}

void SingleInstance::OnRequest() {
    bool requested = false;
    LaunchTokens tokens;
    const auto deadline = Clock::now() + kRequestPatience;
    for (;;) {
        const int client = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (client < 0) {
            break;
        }
        // Only the same user's copy may call the window up; another user's
        // hears nothing and tells its user itself.
        ucred peer{};
        socklen_t size = sizeof peer;
        if (getsockopt(client, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
            peer.uid == geteuid()) {
            tokens = ReadRequest(client, deadline);
            [[maybe_unused]] const ssize_t sent = send(client, &kShown, 1, MSG_NOSIGNAL);
            requested = true;
        }
        close(client);
    }
    if (requested) {
        emit ActivationRequested(tokens);
    }
}

}  // namespace ksv::platform
