#include "window/win32/form1.h"

#include <commctrl.h>

#include <exception>
#include <utility>

#include "counter/number_text.h"
#include "platform/win32/system_library.h"
#include "platform/win32/wide_text.h"
#include "window/messages.h"
#include "window/win32/accessible_name.h"

namespace ksv::win32 {
namespace {

using platform::win32::SystemFunction;
using platform::win32::Utf8ToWide;
using platform::win32::WideToUtf8;
using platform::win32::WindowText;

constexpr UINT_PTR kTimer1 = 1;
constexpr UINT_PTR kToolTipTimer = 2;
constexpr COLORREF kWarningColour = RGB(0xC0, 0x00, 0x00);

// Places in twips (1/1440 inch) within the client area, indexed by control id.
struct Place {
    int left, top, width, height;
};
constexpr Place kClient{0, 0, 2265, 1680};
constexpr Place kPlaces[] = {
    {240, 240, 1935, 495},  // Label1
    {480, 600, 1215, 495},  // Label2
    {240, 960, 855, 495},   // Option1
    {1200, 960, 735, 495},  // Option2
};
constexpr int kLabel1Points100 = 2625;  // 26.25 points

const Place& PlaceOf(int id) {
    return kPlaces[id - kLabel1];
}

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kExStyle = 0;

int Pixels(int twips, UINT dpi) {
    return MulDiv(twips, static_cast<int>(dpi), 1440);
}

UINT SystemDpi() {
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

// Per-monitor DPI came with Windows 10; older systems keep the system DPI.
UINT WindowDpi(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow =
        SystemFunction<GetDpiForWindowFn>(L"user32.dll", "GetDpiForWindow");
    const UINT dpi = getDpiForWindow != nullptr ? getDpiForWindow(window) : 0;
    return dpi != 0 ? dpi : SystemDpi();
}

SIZE WindowSize(UINT dpi) {
    using AdjustFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto adjust = SystemFunction<AdjustFn>(L"user32.dll", "AdjustWindowRectExForDpi");
    RECT rect{0, 0, Pixels(kClient.width, dpi), Pixels(kClient.height, dpi)};
    if (adjust != nullptr) {
        adjust(&rect, kStyle, FALSE, kExStyle, dpi);
    } else {
        AdjustWindowRectEx(&rect, kStyle, FALSE, kExStyle);
    }
    return {rect.right - rect.left, rect.bottom - rect.top};
}

HFONT CreateMessageFont(UINT dpi) {
    using SpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
    static const auto spiForDpi =
        SystemFunction<SpiFn>(L"user32.dll", "SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (spiForDpi != nullptr &&
        spiForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi) != FALSE) {
        return CreateFontIndirectW(&metrics.lfMessageFont);
    }
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0) != FALSE) {
        metrics.lfMessageFont.lfHeight = MulDiv(
            metrics.lfMessageFont.lfHeight, static_cast<int>(dpi), static_cast<int>(SystemDpi()));
        return CreateFontIndirectW(&metrics.lfMessageFont);
    }
    return nullptr;
}

HFONT CreateLabel1Font(int height) {
    return CreateFontW(height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, GB2312_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                       L"黑体");
}

int TextWidth(HWND control, HFONT font, const std::wstring& text) {
    const HDC dc = GetDC(control);
    const HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return size.cx;
}

// "1:05" as a screen reader should say it.
std::wstring SpokenElapsed(const std::wstring& shown) {
    return Utf8ToWide(messages::SpokenElapsed(WideToUtf8(shown)));
}

void DeleteFont(HFONT& font) {
    if (font != nullptr) {
        DeleteObject(font);
        font = nullptr;
    }
}

}  // namespace

Form1::Form1(SettingsFile& settings, std::string decimalSeparator, std::uint32_t periodMs,
             std::string usualToolTip)
    : settings_(settings),
      counter_(*this, settings, std::move(decimalSeparator)),
      periodMs_(periodMs),
      usualToolTip_(usualToolTip.empty() ? messages::HelpToolTip() : std::move(usualToolTip)) {}

Form1::~Form1() {
    timer1_.reset();
    if (window_ != nullptr) {
        DestroyWindow(window_);
    }
    DeleteFont(label1Font_);
    DeleteFont(fittedFont_);
    DeleteFont(messageFont_);
}

bool Form1::Create(HINSTANCE instance) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                                        GetSystemMetrics(SM_CXSMICON),
                                                        GetSystemMetrics(SM_CYSMICON), 0));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kForm1Class;
    if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return false;
    }

    // Made at the size and places of the system's DPI, which is nearly always
    // the window's own: the start then lays out nothing twice.
    dpi_ = SystemDpi();
    const SIZE size = WindowSize(dpi_);
    window_ = CreateWindowExW(kExStyle, kForm1Class, L"kesvo", kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                              size.cx, size.cy, nullptr, nullptr, instance, this);
    if (window_ == nullptr) {
        return false;
    }
    const auto child = [&](const wchar_t* className, const wchar_t* text, DWORD style, int id) {
        const Place& place = PlaceOf(id);
        return CreateWindowExW(
            0, className, text, WS_CHILD | style, Pixels(place.left, dpi_), Pixels(place.top, dpi_),
            Pixels(place.width, dpi_), Pixels(place.height, dpi_), window_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    };
    // Creation order is tab order. Label1's text line is a little taller than
    // the label: centred, the digits lose only empty leading, never their feet.
    // SS_NOTIFY lets the tool-tip see the mouse.
    label1_ = child(L"STATIC", L"0:00",
                    WS_VISIBLE | SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX | SS_NOTIFY, kLabel1);
    option1_ = child(L"BUTTON", L"计时", WS_VISIBLE | WS_GROUP | WS_TABSTOP | BS_AUTORADIOBUTTON,
                     kOption1);
    option2_ = child(L"BUTTON", L"停止", WS_VISIBLE | BS_AUTORADIOBUTTON, kOption2);
    label2_ = child(L"STATIC", L"Label2", SS_LEFT | SS_NOPREFIX, kLabel2);
    if (label1_ == nullptr || option1_ == nullptr || option2_ == nullptr || label2_ == nullptr) {
        return false;
    }
    GiveAccessibleName(label1_, SpokenElapsed);
    SendMessageW(option1_, BM_SETCHECK, BST_CHECKED, 0);
    lastFocus_ = option1_;

    // The tool-tip waits for the first idle moment: the window comes up sooner.
    toolTipText_ = Utf8ToWide(usualToolTip_);
    SetTimer(window_, kToolTipTimer, USER_TIMER_MINIMUM, nullptr);

    SetFonts();
    if (const UINT dpi = WindowDpi(window_); dpi != dpi_) {
        ApplyDpi(dpi);
    }
    timer1_.emplace(window_, kTimer1, periodMs_);
    timer1_->SetEnabled(true);
    return true;
}

void Form1::CreateToolTip() {
    toolTip_ = CreateWindowExW(
        WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr,
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window_, GWLP_HINSTANCE)), nullptr);
    if (toolTip_ == nullptr) {
        return;
    }
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(label1_);
    tool.lpszText = toolTipText_.data();
    SendMessageW(toolTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(toolTip_, TTM_SETMAXTIPWIDTH, 0, MulDiv(320, static_cast<int>(dpi_), 96));
}

void Form1::Load() {
    counter_.StartUp();
}

void Form1::Show(int showCommand) {
    ShowWindow(window_, showCommand);
    UpdateWindow(window_);
    SetFocus(option1_);
}

void Form1::SetTitle(const std::string& title) {
    SetWindowTextW(window_, Utf8ToWide(title).c_str());
}

std::string Form1::CountText() const {
    return WideToUtf8(WindowText(label2_));
}

void Form1::SetCountText(const std::string& count) {
    SetWindowTextW(label2_, Utf8ToWide(count).c_str());
}

void Form1::SetShownText(const std::string& text) {
    SetWindowTextW(label1_, Utf8ToWide(text).c_str());
    AccessibleNameChanged(label1_);
    FitShownText();
}

void Form1::SetTimerEnabled(bool enabled) {
    if (timer1_) {
        timer1_->SetEnabled(enabled);
    }
}

void Form1::ShowSaveResult(const platform::FileResult& result) {
    saveFailed_ = !result.ok();
    SetToolTip(saveFailed_ ? messages::SaveFailed(settings_.Path(), result) : usualToolTip_);
    InvalidateRect(label1_, nullptr, TRUE);
}

void Form1::SetToolTip(const std::string& text) {
    toolTipText_ = Utf8ToWide(text);
    if (toolTip_ == nullptr) {
        return;
    }
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(label1_);
    tool.lpszText = toolTipText_.data();
    SendMessageW(toolTip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

// The fonts of dpi_, and the tool-tip's width.
void Form1::SetFonts() {
    HFONT oldFonts[] = {label1Font_, fittedFont_, messageFont_};
    label1Font_ = CreateLabel1Font(-MulDiv(kLabel1Points100, static_cast<int>(dpi_), 7200));
    fittedFont_ = nullptr;
    messageFont_ = CreateMessageFont(dpi_);
    SendMessageW(label1_, WM_SETFONT, reinterpret_cast<WPARAM>(label1Font_), FALSE);
    for (const HWND control : {label2_, option1_, option2_}) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(messageFont_), FALSE);
    }
    for (HFONT& font : oldFonts) {
        DeleteFont(font);
    }
    if (toolTip_ != nullptr) {
        SendMessageW(toolTip_, TTM_SETMAXTIPWIDTH, 0, MulDiv(320, static_cast<int>(dpi_), 96));
    }
}

void Form1::ApplyDpi(UINT dpi) {
    dpi_ = dpi;
    SetFonts();
    for (const int id : {kLabel1, kLabel2, kOption1, kOption2}) {
        const Place& place = PlaceOf(id);
        MoveWindow(GetDlgItem(window_, id), Pixels(place.left, dpi), Pixels(place.top, dpi),
                   Pixels(place.width, dpi), Pixels(place.height, dpi), TRUE);
    }
    const SIZE size = WindowSize(dpi);
    SetWindowPos(window_, nullptr, 0, 0, size.cx, size.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    FitShownText();
}

// Large totals ("10000:00" and on) are wider than Label1: the font shrinks
// just enough for the whole text to show.
void Form1::FitShownText() {
    if (label1Font_ == nullptr) {
        return;
    }
    const std::wstring text = WindowText(label1_);
    const int room = Pixels(PlaceOf(kLabel1).width, dpi_);
    const int fullHeight = -MulDiv(kLabel1Points100, static_cast<int>(dpi_), 7200);
    const int width = TextWidth(label1_, label1Font_, text);
    DeleteFont(fittedFont_);
    if (width > room) {
        for (int height = MulDiv(fullHeight, room, width); height < -1; ++height) {
            fittedFont_ = CreateLabel1Font(height);
            if (TextWidth(label1_, fittedFont_, text) <= room) {
                break;
            }
            DeleteFont(fittedFont_);
        }
    }
    SendMessageW(label1_, WM_SETFONT,
                 reinterpret_cast<WPARAM>(fittedFont_ != nullptr ? fittedFont_ : label1Font_),
                 TRUE);
}

void Form1::OnTimer() {
    try {
        // One tick per period that ended, even when the loop was held up.
        for (std::uint64_t due = timer1_->OnTimer(); due > 0 && timer1_->IsEnabled(); --due) {
            counter_.MinuteTick();
        }
    } catch (const CountError& error) {
        Fail(messages::UnreadableCount(settings_.Path(), error,
                                       messages::CountMoment::WhileCounting));
    } catch (const std::exception& error) {
        Fail(messages::UnexpectedError(error.what()));
    }
}

// The count can no longer be shown: the file keeps the last count saved,
// the user is told what to do, and the program ends.
void Form1::Fail(const std::string& message) {
    SetTimerEnabled(false);
    exitCode_ = 1;
    MessageBoxW(window_, Utf8ToWide(message).c_str(), Utf8ToWide(messages::BoxTitle()).c_str(),
                MB_OK | MB_ICONERROR);
    DestroyWindow(window_);
}

LRESULT CALLBACK Form1::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* form = static_cast<Form1*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        form->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<Form1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (form == nullptr || form->window_ != window) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    // Nothing may unwind through the system's frames.
    try {
        return form->OnMessage(message, wParam, lParam);
    } catch (const std::exception& error) {
        form->Fail(messages::UnexpectedError(error.what()));
        return 0;
    } catch (...) {
        form->Fail(messages::UnexpectedError({}));
        return 0;
    }
}

LRESULT Form1::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED) {
                if (LOWORD(wParam) == kOption1) {
                    counter_.StartCounting();
                } else if (LOWORD(wParam) == kOption2) {
                    counter_.StopCounting();
                }
            }
            return 0;
        case WM_TIMER:
            if (timer1_ && wParam == timer1_->Id()) {
                OnTimer();
                return 0;
            }
            if (wParam == kToolTipTimer) {
                KillTimer(window_, kToolTipTimer);
                CreateToolTip();
                return 0;
            }
            break;
        case WM_CTLCOLORSTATIC:
            if (reinterpret_cast<HWND>(lParam) == label1_) {
                const auto dc = reinterpret_cast<HDC>(wParam);
                SetTextColor(dc, saveFailed_ ? kWarningColour : GetSysColor(COLOR_WINDOWTEXT));
                SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
                return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
            }
            break;
        case WM_ACTIVATE:
            // Keep the focus on the control that had it, as a dialog does.
            if (LOWORD(wParam) == WA_INACTIVE) {
                const HWND focus = GetFocus();
                if (focus != nullptr && IsChild(window_, focus)) {
                    lastFocus_ = focus;
                }
            } else if (lastFocus_ != nullptr) {
                SetFocus(lastFocus_);
            }
            return 0;
        case WM_DPICHANGED: {
            const auto* suggested = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(window_, nullptr, suggested->left, suggested->top, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            ApplyDpi(HIWORD(wParam));
            return 0;
        }
        case WM_DESTROY: {
            timer1_.reset();
            PostQuitMessage(exitCode_);
            return DefWindowProcW(std::exchange(window_, nullptr), message, wParam, lParam);
        }
        default:
            break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace ksv::win32
