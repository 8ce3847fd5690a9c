#pragma once

#include <string>

namespace ksv::platform::qt {

// Before the application object: where QT_QPA_PLATFORM names Wayland but
// not X11, X11 is tried after it, as Qt itself does in a Wayland session. A
// system without Qt's Wayland plugin (the package only recommends it), or
// whose compositor does not answer, still gets its window through XWayland
// instead of Qt's abort.
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
