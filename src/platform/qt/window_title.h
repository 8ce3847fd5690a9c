#pragma once

#include <QString>

class QWidget;

namespace ksv::platform::qt {

// Sets a window's title to exactly `title`, as the window system shows it.
// Qt would otherwise read "[*]" as the place of its "modified" mark and drop
// it, and under X11 and Wayland show the application's name for an empty
// title.
void SetExactWindowTitle(QWidget& window, const QString& title);

}  // namespace ksv::platform::qt
