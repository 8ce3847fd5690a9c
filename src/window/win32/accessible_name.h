#pragma once

#include <windows.h>

#include <string>

namespace ksv::win32 {

// What a screen reader says for a control's text, e.g. "1:05" as words.
using SpokenText = std::wstring (*)(const std::wstring& shownText);

// Gives a static control an accessible name other than its text: its answer
// to WM_GETOBJECT is the system's standard object, named `spoken` of the
// control's current text. Works on every Windows since XP, unlike the
// annotation services. The accessibility DLLs and COM are taken up at the
// first question, so a start without a screen reader loads neither. False
// when the control could not be subclassed.
bool GiveAccessibleName(HWND control, SpokenText spoken);

// Tells screen readers that the control's name changed with its text.
void AccessibleNameChanged(HWND control);

}  // namespace ksv::win32
