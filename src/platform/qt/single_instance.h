#pragma once

#include <QObject>
#include <memory>
#include <string>

#include "platform/native_path.h"
#include "platform/qt/launch_tokens.h"
#include "platform/settings_lock.h"

class QSocketNotifier;

namespace ksv::platform::qt {

// Lets one copy of the program at a time count into a settings file, guarded
// by a SettingsLock. The first copy also answers later ones, which hand it
// their launcher's tokens, on posix/activation_socket.h's channel.
class SingleInstance : public QObject {
    Q_OBJECT

  public:
    explicit SingleInstance(const NativePath& settingsPath, QObject* parent = nullptr);
    ~SingleInstance() override;

    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True unless another copy holds the guard for this settings file.
    bool IsFirst() const { return first_; }
    // False where nothing could be locked: two copies could then count.
    bool Guarded() const { return lock_.state() != SettingsLock::State::Unavailable; }

    // In a later copy: asks the first one to show itself, with this copy's
    // launch tokens. False when no copy of this user's answers within about a
    // second (stopped, busy, in another network namespace).
    bool ActivateFirst(const LaunchTokens& tokens = {}) const;

    // In the first copy: answers later copies, from the event loop.
    void Listen();

  signals:
    // The tokens of the latest request; empty where its copy had none.
    void ActivationRequested(const ksv::platform::qt::LaunchTokens& tokens);

  private:
    void OnRequest();

    SettingsLock lock_;
    std::string socketName_;
    int listenFd_ = -1;
    bool first_ = true;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace ksv::platform::qt
