#pragma once

#include <string>

namespace ksv::platform::qt {

// Before the application object: where QT_QPA_PLATFORM names Wayland but
// not X11, X11 is tried after it, as Qt does in a Wayland session: without
// Qt's Wayland plugin (only recommended by the package), or with a compositor
// that does not answer, the window comes through XWayland, not Qt's abort.
void AllowX11Fallback();

// While it lives, a window system that cannot be reached at all ends the
// program after Qt's own words with `message` and status 1, where Qt would
// abort. For the construction of the application object.
class WindowSystemGuard {
  public:
    explicit WindowSystemGuard(std::string message);
    ~WindowSystemGuard();

    WindowSystemGuard(const WindowSystemGuard&) = delete;
    WindowSystemGuard& operator=(const WindowSystemGuard&) = delete;
};

}  // namespace ksv::platform::qt
