#pragma once

#include <QString>

class QWidget;

namespace ksv::platform::qt {

// Sets a window's title to exactly `title`, where Qt would drop "[*]" (the
// place of its "modified" mark) and, under X11 and Wayland, show the
// application's name for an empty title.
void SetExactWindowTitle(QWidget& window, const QString& title);

}  // namespace ksv::platform::qt
