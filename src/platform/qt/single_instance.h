#pragma once

#include <QObject>
#include <filesystem>
#include <memory>

class QSocketNotifier;

namespace ksv::platform {

// Lets one copy of the program at a time count into a settings file. The
// guard is an exclusive lock on the program's directory, released by the
// system when the holder ends or dies; the first copy also listens on an
// abstract socket (no file on disk) named after the directory, through which
// a later copy asks it to come to the front.
class SingleInstance : public QObject {
    Q_OBJECT

  public:
    explicit SingleInstance(const std::filesystem::path& directory, QObject* parent = nullptr);
    ~SingleInstance() override;

    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True unless another copy holds the guard for this directory.
    bool IsFirst() const { return first_; }

    // In a later copy: asks the first one to show itself. False when it
    // cannot be reached.
    bool ActivateFirst() const;

    // In the first copy: starts taking requests from later copies. Needs the
    // application's event loop.
    void Listen();

  signals:
    void ActivationRequested();

  private:
    void OnRequest();

    std::string socketName_;
    int lockFd_ = -1;
    int listenFd_ = -1;
    bool first_ = true;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace ksv::platform
