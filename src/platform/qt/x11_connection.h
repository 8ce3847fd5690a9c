#pragma once

#include <xcb/xcb.h>

namespace ksv::platform::qt {

// The application's connection to the X server; null on every other window
// system (the offscreen one answers as X11 too, without a connection).
xcb_connection_t* X11Connection();

// The atom of that name, or XCB_ATOM_NONE.
xcb_atom_t X11Atom(xcb_connection_t* connection, const char* name);

// The root window of the screen that holds `window`, or XCB_WINDOW_NONE.
xcb_window_t X11Root(xcb_connection_t* connection, xcb_window_t window);

}  // namespace ksv::platform::qt
