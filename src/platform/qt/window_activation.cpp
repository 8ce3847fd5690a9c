#include "platform/qt/window_activation.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/qt/x11_connection.h"

namespace ksv::platform::qt {
namespace {

// Qt's Wayland plugin activates with the token in XDG_ACTIVATION_TOKEN and
// takes it away; QWidget::activateWindow() would ask nothing for an active
// window, whose launch feedback would then run on.
void ActivateOnWayland(QWidget& window, const std::string& token) {
    qputenv("XDG_ACTIVATION_TOKEN", QByteArray::fromStdString(token));
    window.windowHandle()->requestActivate();
    // Qt leaves it where the compositor takes no tokens; the next launch
    // brings its own.
    qunsetenv("XDG_ACTIVATION_TOKEN");
}

// The X server time of the user's action that started the launch: the
// number after the id's last "_TIME"; 0 where there is none.
xcb_timestamp_t StartupTime(const std::string& id) {
    const std::size_t at = id.rfind("_TIME");
    if (at == std::string::npos) {
        return 0;
    }
    std::uint64_t time = 0;
    for (std::size_t i = at + 5; i < id.size() && id[i] >= '0' && id[i] <= '9'; ++i) {
        time = time * 10 + static_cast<std::uint64_t>(id[i] - '0');
        if (time > UINT32_MAX) {
            return 0;
        }
    }
    return static_cast<xcb_timestamp_t>(time);
}

xcb_client_message_event_t ClientMessage(xcb_window_t window, xcb_atom_t type,
                                         std::uint8_t format) {
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = format;
    event.window = window;
    event.type = type;
    return event;
}

// Window managers weigh a request to activate by the time of the user's
// action behind it, here the launcher's click, against the focused window's.
void RequestActivation(xcb_connection_t* connection, xcb_window_t root, xcb_window_t window,
                       xcb_timestamp_t time) {
    const xcb_atom_t active = X11Atom(connection, "_NET_ACTIVE_WINDOW");
    if (active == XCB_ATOM_NONE) {
        return;
    }
    xcb_client_message_event_t event = ClientMessage(window, active, 32);
    event.data.data32[0] = 1;  // from an application
    event.data.data32[1] = time;
    xcb_send_event(connection, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&event));
}

// A value of a startup-notification message, quoted where it must be.
std::string Quoted(const std::string& value) {
    if (value.find_first_of(" \"\\") == std::string::npos) {
        return value;
    }
    std::string quoted = "\"";
    for (const char c : value) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + '"';
}

// Ends the launcher's feedback: "remove: ID=..." with its closing NUL, in
// pieces of 20 bytes, to whoever watches the root window.
void EndStartup(xcb_connection_t* connection, xcb_window_t root, xcb_window_t window,
                const std::string& id) {
    const xcb_atom_t begin = X11Atom(connection, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = X11Atom(connection, "_NET_STARTUP_INFO");
    if (begin == XCB_ATOM_NONE || more == XCB_ATOM_NONE) {
        return;
    }
    const std::string message = "remove: ID=" + Quoted(id);
    const std::size_t length = message.size() + 1;
    constexpr std::size_t kPiece = 20;
    for (std::size_t sent = 0; sent < length; sent += kPiece) {
        xcb_client_message_event_t event = ClientMessage(window, sent == 0 ? begin : more, 8);
        std::memcpy(event.data.data8, message.c_str() + sent, std::min(kPiece, length - sent));
        xcb_send_event(connection, 0, root, XCB_EVENT_MASK_PROPERTY_CHANGE,
                       reinterpret_cast<const char*>(&event));
    }
}

}  // namespace

void BringToFront(QWidget& window, const LaunchTokens& tokens) {
    if (window.isMinimized()) {
        window.showNormal();
    }
    window.raise();
    const bool wayland = QGuiApplication::platformName().startsWith(QStringLiteral("wayland"));
    if (wayland && !tokens.activationToken.empty() && window.windowHandle() != nullptr) {
        ActivateOnWayland(window, tokens.activationToken);
        return;
    }
    xcb_connection_t* connection = tokens.startupId.empty() ? nullptr : X11Connection();
    const auto id = connection != nullptr ? static_cast<xcb_window_t>(window.winId()) : 0;
    const xcb_window_t root = id != 0 ? X11Root(connection, id) : xcb_window_t{XCB_WINDOW_NONE};
    const xcb_timestamp_t time = StartupTime(tokens.startupId);
    if (root == XCB_WINDOW_NONE || time == 0) {
        window.activateWindow();
    } else {
        RequestActivation(connection, root, id, time);
    }
    if (root == XCB_WINDOW_NONE) {  // no X11, or no startup id
        return;
    }
    EndStartup(connection, root, id, tokens.startupId);
    xcb_flush(connection);
}

}  // namespace ksv::platform::qt
