// The Windows entry: the guard against a second counting copy, the window
// with its load step, then the event loop.
#include <windows.h>

#include "counter/number_text.h"
#include "platform/decimal_separator.h"
#include "platform/program_directory.h"
#include "platform/wide_text_win32.h"
#include "platform/win32/single_instance.h"
#include "settings/settings_file.h"
#include "window/messages.h"
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

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    const std::filesystem::path settingsPath = ksv::SettingsPath(ksv::platform::ProgramDirectory());

    // A second copy would overwrite the first one's count.
    ksv::platform::win32::SingleInstance guard(settingsPath);
    if (!guard.IsFirst()) {
        if (!guard.ActivateFirst(ksv::win32::kForm1Class)) {
            ShowMessage(MB_ICONINFORMATION, ksv::messages::AlreadyRunning(settingsPath));
        }
        return 0;
    }

    ksv::SettingsFile settings(settingsPath);
    ksv::win32::Form1 form(settings, ksv::platform::DecimalSeparator(), KSV_PERIOD_MS);
    if (!form.Create(instance)) {
        return 1;
    }
    try {
        form.Load();
    } catch (const ksv::CountError& error) {
        // No tick may run behind the message: the file stays as it is.
        form.SetTimerEnabled(false);
        ShowMessage(MB_ICONERROR, ksv::messages::UnreadableCount(settingsPath, error));
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
