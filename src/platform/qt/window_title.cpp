#include "platform/qt/window_title.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include "platform/qt/x11_connection.h"

namespace ksv::platform::qt {
namespace {

// Qt writes the application's name into _NET_WM_NAME, which window managers
// prefer to WM_NAME, when the title is empty; write the empty title back.
void ClearX11Title(QWidget& window) {
    xcb_connection_t* connection = X11Connection();
    if (connection == nullptr) {
        return;
    }
    const xcb_atom_t name = X11Atom(connection, "_NET_WM_NAME");
    const xcb_atom_t utf8 = X11Atom(connection, "UTF8_STRING");
    if (name == XCB_ATOM_NONE || utf8 == XCB_ATOM_NONE) {
        return;
    }
    // winId() makes the native window now, so this comes after Qt's own title.
    const auto id = static_cast<xcb_window_t>(window.winId());
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, name, utf8, 8, 0, nullptr);
    xcb_flush(connection);
}

// Qt's Wayland plugin sends the application's name for an empty title, but a
// title that starts with a NUL is empty to the compositor (titles travel as C
// strings); where Qt draws the title bar itself, the spaces after it push the
// centred box out of sight. Only the native window gets the stand-in: the
// widget's empty title is what screen readers read.
void ClearWaylandTitle(QWidget& window) {
    if (!QGuiApplication::platformName().startsWith(QStringLiteral("wayland"))) {
        return;
    }
    window.winId();
    window.windowHandle()->setTitle(QChar(u'\0') + QString(400, QChar(u' ')));
}

}  // namespace

void SetExactWindowTitle(QWidget& window, const QString& title) {
    // Doubled, the placeholder shows as itself.
    window.setWindowTitle(QString(title).replace(QStringLiteral("[*]"), QStringLiteral("[*][*]")));
    if (title.isEmpty()) {
        ClearX11Title(window);
        ClearWaylandTitle(window);
    }
}

}  // namespace ksv::platform::qt
