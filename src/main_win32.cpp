// The Windows entry: where the settings live, the guard against a second
// counting copy, the window with its load step, then the event loop. Every
// failure ends with a message in words and a non-zero status.
#include <cxxabi.h>
#include <windows.h>

#include <cstdlib>
#include <exception>

#include "platform/decimal_separator.h"
#include "platform/win32/single_instance.h"
#include "platform/win32/wide_text.h"
#include "settings/settings_file.h"
#include "window/messages.h"
#include "window/start.h"
#include "window/win32/form1.h"

// A test build shortens the minute.
#ifndef KSV_PERIOD_MS
#define KSV_PERIOD_MS 60000
#endif

namespace {

void ShowMessage(UINT icon, const std::string& text) {
    using ksv::platform::win32::Utf8ToWide;
    MessageBoxW(nullptr, Utf8ToWide(text).c_str(), Utf8ToWide(ksv::messages::BoxTitle()).c_str(),
                MB_OK | icon);
}

// The text and the caption of the last message.
struct LastWords {
    std::wstring text;
    std::wstring title;
};

DWORD WINAPI ShowLastWords(void* words) {
    const auto* last = static_cast<const LastWords*>(words);
    MessageBoxW(nullptr, last->text.c_str(), last->title.c_str(),
                MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    return 0;
}

int Run(HINSTANCE instance, int showCommand) {
    const ksv::SettingsPlace place = ksv::start::FindSettings();

    // A second copy would overwrite the first one's count.
    ksv::platform::win32::SingleInstance guard(place.path);
    if (!guard.IsFirst()) {
        if (!guard.ActivateFirst(ksv::win32::kForm1Class)) {
            ShowMessage(MB_ICONINFORMATION, ksv::messages::AlreadyRunning(place.path));
        }
        return 0;
    }
    if (const auto notice = ksv::start::BeforeWindow(place, guard.Guarded());
        !notice.text.empty()) {
        ShowMessage(notice.stops ? MB_ICONERROR : MB_ICONINFORMATION, notice.text);
        if (notice.stops) {
            return 1;
        }
    }

    ksv::SettingsFile settings(place.path, place.inUserFolder);
    ksv::win32::Form1 form(settings, ksv::platform::DecimalSeparator(), KSV_PERIOD_MS,
                           ksv::messages::UsualToolTip(place));
    if (!form.Create(instance)) {
        ShowMessage(MB_ICONERROR, ksv::messages::UnexpectedError(
                                      ksv::platform::win32::ErrorMessage(GetLastError())));
        return 1;
    }
    try {
        form.Load();
    } catch (...) {
        // No tick may run behind the message: the file stays as it is.
        form.SetTimerEnabled(false);
        ShowMessage(MB_ICONERROR, ksv::start::Failure(place.path));
        return 1;
    }
    guard.MarkWindow(form.Window());
    form.Show(showCommand);

    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Tab and the arrow keys move between the option buttons.
        if (form.Window() == nullptr || !IsDialogMessageW(form.Window(), &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return static_cast<int>(message.wParam);
}

}  // namespace

// An exception with nowhere to go (thrown out of a function that may not
// throw, or while another one unwinds) ends the program here, in its own
// words like every other failure, rather than in the C++ runtime's English on
// a console a window program does not have. Defining it also keeps that
// runtime's demangler out of the program.
namespace __gnu_cxx {

void __verbose_terminate_handler() {
    try {
        std::string detail;
        if (abi::__cxa_current_exception_type() != nullptr) {
            try {
                throw;
            } catch (const std::exception& error) {
                detail = error.what();
            } catch (...) {
            }
        }
        using ksv::platform::win32::Utf8ToWide;
        LastWords words{Utf8ToWide(ksv::messages::UnexpectedError(detail)),
                        Utf8ToWide(ksv::messages::BoxTitle())};
        // From a thread of its own, so that the window's thread, stopped
        // here, runs no tick or other handler behind the message.
        if (const HANDLE thread = CreateThread(nullptr, 0, ShowLastWords, &words, 0, nullptr)) {
            WaitForSingleObject(thread, INFINITE);
            CloseHandle(thread);
        }
    } catch (...) {
    }
    // The status abort() gives, without the C runtime's own English box.
    std::_Exit(3);
}

}  // namespace __gnu_cxx

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    // The window reports what fails inside its handlers itself; this is for
    // the rest, before the window exists or after it is gone.
    try {
        return Run(instance, showCommand);
    } catch (...) {
        ShowMessage(MB_ICONERROR, ksv::start::Failure({}));
    }
    return 1;
}
