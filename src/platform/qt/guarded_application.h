#pragma once

#include <QApplication>
#include <functional>
#include <string>

namespace ksv::platform::qt {

// The application object, which keeps exceptions out of Qt's frames, where
// they would end the program without a word: they go to the failure handler
// instead, with their description.
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
