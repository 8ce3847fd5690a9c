#include "platform/qt/window_system.h"

#include <QByteArray>
#include <QList>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>

namespace ksv::platform::qt {
namespace {

// One guard at a time: Qt's message handler is a plain function.
std::string guardMessage;
QtMessageHandler previousHandler = nullptr;

void EndOnFatal(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    previousHandler(type, context, text);
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", guardMessage.c_str());
        std::fflush(stderr);
        // Nothing is open yet that would need closing; Qt's objects are half made.
        std::_Exit(1);
    }
}

}  // namespace

void AllowX11Fallback() {
    const QByteArray requested = qgetenv("QT_QPA_PLATFORM");
    // Each entry is a plugin's name, with its options after a colon.
    bool wayland = false;
    for (const QByteArray& entry : requested.split(';')) {
        const QByteArray name = entry.split(':').value(0).trimmed();
        if (name == "xcb") {
            return;
        }
        wayland = wayland || name.startsWith("wayland");
    }
    if (wayland) {
        qputenv("QT_QPA_PLATFORM", requested + ";xcb");
    }
}

WindowSystemGuard::WindowSystemGuard(std::string message) {
    guardMessage = std::move(message);
    previousHandler = qInstallMessageHandler(EndOnFatal);
}

WindowSystemGuard::~WindowSystemGuard() {
    qInstallMessageHandler(previousHandler);
}

}  // namespace ksv::platform::qt
