#include "platform/qt/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace ksv::platform {
namespace {

// The socket name must be the same in every copy, so a stable hash (FNV-1a)
// rather than std::hash.
std::string SocketName(const std::filesystem::path& directory) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : directory.native()) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string name = "ksv-" + std::to_string(getuid()) + "-";
    for (int shift = 60; shift >= 0; shift -= 4) {
        name += kHex[(hash >> shift) & 0xf];
    }
    return name;
}

// An abstract address: a leading NUL byte, then the name; nothing on disk.
socklen_t AbstractAddress(const std::string& name, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    const std::size_t length = std::min(name.size(), sizeof address.sun_path - 1);
    std::memcpy(address.sun_path + 1, name.data(), length);
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
}

}  // namespace

SingleInstance::SingleInstance(const std::filesystem::path& directory, QObject* parent)
    : QObject(parent), socketName_(SocketName(directory)) {
    lockFd_ = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lockFd_ < 0) {
        return;  // nothing to lock against; counting matters more than the guard
    }
    int result;
    do {
        result = flock(lockFd_, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0 && errno == EWOULDBLOCK) {
        first_ = false;
    }
}

SingleInstance::~SingleInstance() {
    notifier_.reset();
    if (listenFd_ >= 0) {
        close(listenFd_);
    }
    if (lockFd_ >= 0) {
        close(lockFd_);
    }
}

bool SingleInstance::ActivateFirst() const {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_un address;
    const socklen_t length = AbstractAddress(socketName_, address);
    // The connection itself is the request; the first copy reads nothing.
    const bool reached = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0;
    close(fd);
    return reached;
}

void SingleInstance::Listen() {
    if (!first_ || listenFd_ >= 0) {
        return;
    }
    listenFd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listenFd_ < 0) {
        return;
    }
    sockaddr_un address;
    const socklen_t length = AbstractAddress(socketName_, address);
    if (::bind(listenFd_, reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
        ::listen(listenFd_, 4) != 0) {
        close(listenFd_);
        listenFd_ = -1;
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(listenFd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &SingleInstance::OnRequest);
}

void SingleInstance::OnRequest() {
    bool requested = false;
    for (;;) {
        const int client = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            break;
        }
        close(client);
        requested = true;
    }
    if (requested) {
        emit ActivationRequested();
    }
}

}  // namespace ksv::platform
