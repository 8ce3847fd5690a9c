// The platform's floor for ksv.exe's start: a bare Win32 window with the same
// five controls (two labels, one of them hidden, two option buttons, a
// one-minute timer), the same fonts and ksv's own manifest, but no settings
// file, no guard, no tool-tip and no accessible name.
#include <windows.h>

#include <initializer_list>

namespace {

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = L"floorForm1";
    RegisterClassExW(&windowClass);

    constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT rect{0, 0, 151, 112};
    AdjustWindowRectEx(&rect, kStyle, FALSE, 0);
    const HWND window = CreateWindowExW(
        0, L"floorForm1", L"kesvo", kStyle, CW_USEDEFAULT, CW_USEDEFAULT, rect.right - rect.left,
        rect.bottom - rect.top, nullptr, nullptr, instance, nullptr);
    const auto child = [&](const wchar_t* className, const wchar_t* text, DWORD style, int x, int y,
                           int width, int height) {
        return CreateWindowExW(0, className, text, WS_CHILD | style, x, y, width, height, window,
                               nullptr, instance, nullptr);
    };
    const HWND label1 = child(L"STATIC", L"1:05", WS_VISIBLE | SS_LEFT, 16, 16, 129, 33);
    const HWND option1 =
        child(L"BUTTON", L"计时", WS_VISIBLE | WS_GROUP | WS_TABSTOP | BS_AUTORADIOBUTTON, 16, 64,
              57, 33);
    const HWND option2 = child(L"BUTTON", L"停止", WS_VISIBLE | BS_AUTORADIOBUTTON, 80, 64, 49, 33);
    const HWND label2 = child(L"STATIC", L"65", SS_LEFT, 32, 40, 81, 33);

    const HFONT big =
        CreateFontW(-35, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"黑体");
    SendMessageW(label1, WM_SETFONT, reinterpret_cast<WPARAM>(big), FALSE);
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    const HFONT small = CreateFontIndirectW(&metrics.lfMessageFont);
    for (const HWND control : {label2, option1, option2}) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(small), FALSE);
    }
    SendMessageW(option1, BM_SETCHECK, BST_CHECKED, 0);
    SetTimer(window, 1, 60000, nullptr);

    ShowWindow(window, showCommand);
    UpdateWindow(window);
    SetFocus(option1);
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return static_cast<int>(message.wParam);
}
