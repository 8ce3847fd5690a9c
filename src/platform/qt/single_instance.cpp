#include "platform/qt/single_instance.h"

#include <unistd.h>

#include <QSocketNotifier>
#include <chrono>

#include "platform/posix/activation_socket.h"

namespace ksv::platform::qt {
namespace {

// How long a later copy waits for the first one's answer.
constexpr std::chrono::milliseconds kPatience(1000);

// How long the first copy waits for the tokens of later ones that ask: they
// come at once, and an older copy that sends none still has its answer in time.
constexpr std::chrono::milliseconds kRequestPatience(250);

}  // namespace

SingleInstance::SingleInstance(const NativePath& settingsPath, QObject* parent)
    : QObject(parent), lock_(settingsPath), socketName_("ksv-settings-" + lock_.Key()) {
    first_ = lock_.state() != SettingsLock::State::HeldByOther;
    // Another user may hold the name: this copy counts all the same, only
    // later ones cannot call it up. The name also guards a first copy whose
    // lock file someone took away.
    if (first_) {
        listenFd_ = posix::ListenForRequests(socketName_);
        first_ = listenFd_ >= 0 || !posix::ThisUserListens(socketName_);
    }
}

SingleInstance::~SingleInstance() {
    notifier_.reset();
    if (listenFd_ >= 0) {
        close(listenFd_);
    }
}

bool SingleInstance::ActivateFirst(const LaunchTokens& tokens) const {
    return posix::SendRequest(socketName_, EncodeLaunchTokens(tokens), kPatience);
}

void SingleInstance::Listen() {
    if (listenFd_ < 0 || notifier_) {
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(listenFd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &SingleInstance::OnRequest);
}

void SingleInstance::OnRequest() {
    std::string request;
    if (posix::AnswerRequests(listenFd_, kRequestPatience, request)) {
        emit ActivationRequested(DecodeLaunchTokens(request));
    }
}

}  // namespace ksv::platform::qt
