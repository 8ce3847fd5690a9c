#pragma once

#include "platform/qt/launch_tokens.h"

class QWidget;

namespace ksv::platform::qt {

// Brings a shown window to the front for a later launch of the program. With
// that launch's token the window system lets it take the focus, and the
// launcher's feedback ends: Wayland's xdg-activation, or on X11 the startup
// id's time and its "remove" message. Without one, Qt asks as it can.
void BringToFront(QWidget& window, const LaunchTokens& tokens);

}  // namespace ksv::platform::qt
