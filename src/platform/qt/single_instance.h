#pragma once

#include <QObject>
#include <memory>
#include <string>

#include "platform/native_path.h"
#include "platform/qt/launch_tokens.h"

class QSocketNotifier;

namespace ksv::platform {

// Lets one copy of the program at a time count into a settings file. The
// guard is an abstract local socket (nothing on disk) named after the
// settings file: binding its name succeeds for one process only, and the
// system frees it when that process ends or dies. Later copies connect to it
// to ask the first one to come to the front, handing it their launcher's
// tokens.
class SingleInstance : public QObject {
    Q_OBJECT

  public:
    explicit SingleInstance(const NativePath& settingsPath, QObject* parent = nullptr);
    ~SingleInstance() override;

    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True unless another copy holds the guard for this settings file.
    bool IsFirst() const { return first_; }

    // In a later copy: asks the first one to show itself, with this copy's
    // launch tokens. False when it does not answer within about a second
    // (stopped, busy, or another user's).
    bool ActivateFirst(const LaunchTokens& tokens = {}) const;

    // In the first copy: starts answering later copies. Needs the
    // application's event loop.
    void Listen();

  signals:
    // The tokens of the latest request; empty where its copy had none.
    void ActivationRequested(const ksv::platform::LaunchTokens& tokens);

  private:
    void OnRequest();

    std::string socketName_;
    int listenFd_ = -1;
    bool first_ = true;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace ksv::platform
