#include "platform/qt/guarded_application.h"

#include <exception>

namespace ksv::platform::qt {

GuardedApplication::GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        Fail(error.what());
    } catch (...) {
        Fail({});
    }
    return false;
}

void GuardedApplication::Fail(const std::string& detail) {
    // The handler's own message box runs events; a second failure meanwhile
    // only ends the program.
    if (!failing_ && onFailure_) {
        failing_ = true;
        onFailure_(detail);
    }
    exit(1);
}

}  // namespace ksv::platform::qt
