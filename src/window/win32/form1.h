#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "counter/counter_view.h"
#include "counter/minute_counter.h"
#include "platform/win32/minute_timer.h"
#include "settings/settings_file.h"

namespace ksv::win32 {

// The window class and control ids, also used to find the window from outside.
inline constexpr wchar_t kForm1Class[] = L"ksvForm1";
enum ControlId : int { kLabel1 = 101, kLabel2 = 102, kOption1 = 103, kOption2 = 104 };

// The program's one window: the elapsed time (Label1), the hidden count
// (Label2), the two option buttons that resume and pause counting, and the
// minute timer (Timer1), wired to the minute counting. Laid out in twips and
// scaled to the window's DPI.
class Form1 : public CounterView {
  public:
    // `usualToolTip`: Label1's tool-tip while saving works (the help line
    // when empty).
    Form1(SettingsFile& settings, std::string decimalSeparator, std::uint32_t periodMs,
          std::string usualToolTip = {});
    ~Form1() override;
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // Creates the window and its controls, hidden, with Timer1 running.
    // False when the system refuses.
    bool Create(HINSTANCE instance);

    // The load step, before the window is shown: restores title and count.
    // Throws CountError when the stored count cannot be shown.
    void Load();

    // Shows the window and gives the focus to Option1.
    void Show(int showCommand);

    HWND Window() const { return window_; }

    std::string CountText() const override;
    void SetCountText(const std::string& count) override;
    void SetShownText(const std::string& text) override;
    void SetTitle(const std::string& title) override;
    void ShowSaveResult(const platform::FileResult& result) override;
    void SetTimerEnabled(bool enabled) override;

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnTimer();
    void Fail(const std::string& message);
    void CreateToolTip();
    void SetFonts();
    void ApplyDpi(UINT dpi);
    void FitShownText();
    void SetToolTip(const std::string& text);

    SettingsFile& settings_;
    MinuteCounter counter_;
    std::uint32_t periodMs_;
    HWND window_ = nullptr;
    HWND label1_ = nullptr;
    HWND label2_ = nullptr;
    HWND option1_ = nullptr;
    HWND option2_ = nullptr;
    HWND toolTip_ = nullptr;
    HWND lastFocus_ = nullptr;
    std::optional<platform::win32::MinuteTimer> timer1_;
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    HFONT label1Font_ = nullptr;  // at full size, for measuring
    HFONT fittedFont_ = nullptr;  // smaller, while the text would not fit
    HFONT messageFont_ = nullptr;
    bool saveFailed_ = false;
    int exitCode_ = 0;
    std::string usualToolTip_;
    std::wstring toolTipText_;
};

}  // namespace ksv::win32
