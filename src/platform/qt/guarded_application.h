#pragma once

#include <QApplication>
#include <functional>
#include <string>

namespace ksv::platform::qt {

// The application object, which also stands between every event handler and
// the event loop: an exception must not unwind through Qt's frames, where it
// would end the program without a word. It goes to the failure handler
// instead, with the system's description of it.
class GuardedApplication : public QApplication {
  public:
    using FailureHandler = std::function<void(const std::string& detail)>;

    GuardedApplication(int& argc, char** argv);

    void SetFailureHandler(FailureHandler handler) { onFailure_ = std::move(handler); }

    bool notify(QObject* receiver, QEvent* event) override;

  private:
    void Fail(const std::string& detail);

    FailureHandler onFailure_;
    bool failing_ = false;
};

}  // namespace ksv::platform::qt
