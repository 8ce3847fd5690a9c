// Form1 in the program's own process, on a display.
// windows.h must come before commctrl.h.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>
// clang-format on
#include "window/win32/form1.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "settings/settings_file.h"
#include "support/test_files.h"

namespace {

// Form1 on a real (virtual) display, at 96 dots per inch.
class Form1Test : public ::testing::Test {
  protected:
    void Open(const std::string& ini) {
        dir_ = ksv::testing::FreshDir("ksv form1");
        if (!ini.empty()) {
            std::ofstream(dir_ / "ksv.ini", std::ios::binary) << ini;
        }
        settings_.emplace(dir_ / "ksv.ini");
        form_.emplace(*settings_, ".", 60000);
        ASSERT_TRUE(form_->Create(GetModuleHandleW(nullptr)));
        form_->Load();
    }
    HWND Control(int id) const { return GetDlgItem(form_->Window(), id); }
    RECT Place(int id) const {
        RECT rect{};
        GetWindowRect(Control(id), &rect);
        MapWindowPoints(nullptr, form_->Window(), reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }
    std::wstring Text(HWND window) const {
        wchar_t text[256] = {};
        GetWindowTextW(window, text, 256);
        return text;
    }
    LOGFONTW Font(int id) const {
        LOGFONTW font{};
        const auto handle = reinterpret_cast<HFONT>(SendMessageW(Control(id), WM_GETFONT, 0, 0));
        GetObjectW(handle, sizeof(font), &font);
        return font;
    }

    std::filesystem::path dir_;
    std::optional<ksv::SettingsFile> settings_;
    std::optional<ksv::win32::Form1> form_;
};

TEST_F(Form1Test, StartsWithTheStoredCountAndTheFixedLayout) {
    Open("[ksv]\r\ntitle=Hello\r\nminutes=65\r\n");
    EXPECT_EQ(Text(form_->Window()), L"Hello");
    EXPECT_EQ(Text(Control(ksv::win32::kLabel1)), L"1:05");
    EXPECT_EQ(Text(Control(ksv::win32::kLabel2)), L"65");
    EXPECT_FALSE(IsWindowVisible(form_->Window()));  // shown only after the load

    RECT client{};
    GetClientRect(form_->Window(), &client);
    EXPECT_EQ(client.right, 151);
    EXPECT_EQ(client.bottom, 112);
    struct Expected {
        int id;
        RECT rect;
        bool visible;
        const wchar_t* text;
    };
    const std::vector<Expected> controls = {
        {ksv::win32::kLabel1, {16, 16, 145, 49}, true, L"1:05"},
        {ksv::win32::kLabel2, {32, 40, 113, 73}, false, L"65"},
        {ksv::win32::kOption1, {16, 64, 73, 97}, true, L"计时"},
        {ksv::win32::kOption2, {80, 64, 129, 97}, true, L"停止"},
    };
    form_->Show(SW_SHOWNORMAL);
    for (const Expected& c : controls) {
        const RECT rect = Place(c.id);
        EXPECT_EQ(rect.left, c.rect.left) << c.id;
        EXPECT_EQ(rect.top, c.rect.top) << c.id;
        EXPECT_EQ(rect.right, c.rect.right) << c.id;
        EXPECT_EQ(rect.bottom, c.rect.bottom) << c.id;
        EXPECT_EQ(IsWindowVisible(Control(c.id)) != FALSE, c.visible) << c.id;
        EXPECT_EQ(Text(Control(c.id)), c.text) << c.id;
    }
    EXPECT_EQ(SendMessageW(Control(ksv::win32::kOption1), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(Control(ksv::win32::kOption2), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(GetFocus(), Control(ksv::win32::kOption1));

    const LONG style = GetWindowLongW(form_->Window(), GWL_STYLE);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0);
    EXPECT_NE(style & WS_MINIMIZEBOX, 0);

    const LOGFONTW big = Font(ksv::win32::kLabel1);
    EXPECT_EQ(big.lfHeight, -35);  // 26.25 points at 96 dpi
    EXPECT_EQ(big.lfWeight, FW_BOLD);
    EXPECT_EQ(big.lfCharSet, GB2312_CHARSET);
    EXPECT_STREQ(big.lfFaceName, L"黑体");
    EXPECT_NE(std::wstring(Font(ksv::win32::kOption1).lfFaceName), L"黑体");
}

TEST_F(Form1Test, OptionsPauseAndResumeTheTimer) {
    Open("");
    form_->Show(SW_SHOWNORMAL);
    // Clicks go to the window as a person's would; the timer must follow.
    const auto click = [&](int id) { SendMessageW(Control(id), BM_CLICK, 0, 0); };
    const auto checked = [&](int id) {
        return SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
    };
    struct Step {
        int click;
        bool option1, option2;
    };
    for (const Step& step : std::vector<Step>{{ksv::win32::kOption2, false, true},
                                              {ksv::win32::kOption2, false, true},
                                              {ksv::win32::kOption1, true, false},
                                              {ksv::win32::kOption1, true, false}}) {
        click(step.click);
        EXPECT_EQ(checked(ksv::win32::kOption1), step.option1);
        EXPECT_EQ(checked(ksv::win32::kOption2), step.option2);
    }
    EXPECT_EQ(Text(Control(ksv::win32::kLabel1)), L"0:00");
}

TEST_F(Form1Test, LargeTotalsShrinkToFitAndRestore) {
    Open("[ksv]\r\nminutes=59\r\n");
    const LONG full = Font(ksv::win32::kLabel1).lfHeight;
    for (const char* text : {"1000000:00", "35791394:07"}) {
        form_->SetShownText(text);
        const HWND label = Control(ksv::win32::kLabel1);
        const HDC dc = GetDC(label);
        const auto font = reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0));
        const HGDIOBJ old = SelectObject(dc, font);
        SIZE size{};
        const std::wstring wide(text, text + std::char_traits<char>::length(text));
        GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
        SelectObject(dc, old);
        ReleaseDC(label, dc);
        EXPECT_LE(size.cx, 129) << text;
        EXPECT_GT(Font(ksv::win32::kLabel1).lfHeight, full) << text;  // less negative: smaller
    }
    form_->SetShownText("0:59");
    EXPECT_EQ(Font(ksv::win32::kLabel1).lfHeight, full);
}

// Screen readers hear Label1 in words, and are told when it changes.
std::vector<HWND> nameChanges;

void CALLBACK OnNameChange(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD,
                           DWORD) {
    if (object == OBJID_CLIENT && child == CHILDID_SELF) {
        nameChanges.push_back(window);
    }
}

TEST_F(Form1Test, ScreenReadersHearTheElapsedTimeInWords) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    Open("[ksv]\r\nminutes=65\r\n");
    const HWND label = Control(ksv::win32::kLabel1);
    const auto name = [&]() {
        IAccessible* object = nullptr;
        EXPECT_TRUE(SUCCEEDED(AccessibleObjectFromWindow(label, static_cast<DWORD>(OBJID_CLIENT),
                                                         __uuidof(IAccessible),
                                                         reinterpret_cast<void**>(&object))));
        if (object == nullptr) {
            return std::wstring();
        }
        VARIANT self{};
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        BSTR text = nullptr;
        EXPECT_EQ(object->get_accName(self, &text), S_OK);
        // The rest is the system's: where it is on the screen, for one.
        long left = 0, top = 0, width = 0, height = 0;
        EXPECT_EQ(object->accLocation(&left, &top, &width, &height, self), S_OK);
        RECT rect{};
        GetWindowRect(label, &rect);
        EXPECT_EQ(left, rect.left);
        EXPECT_EQ(width, rect.right - rect.left);
        object->Release();
        const std::wstring result = text != nullptr ? std::wstring(text, SysStringLen(text)) : L"";
        SysFreeString(text);
        return result;
    };
    EXPECT_EQ(name(), L"已计时 1 小时 5 分钟");

    nameChanges.clear();
    const HWINEVENTHOOK hook =
        SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE, nullptr, OnNameChange,
                        GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(hook, nullptr);
    form_->SetShownText("-10:00");
    MSG message{};
    for (int i = 0; i < 50 && nameChanges.empty(); ++i) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
        Sleep(10);
    }
    UnhookWinEvent(hook);
    EXPECT_NE(std::find(nameChanges.begin(), nameChanges.end(), label), nameChanges.end());
    EXPECT_EQ(name(), L"已计时 负 10 小时 0 分钟");
    form_.reset();
    CoUninitialize();
}

BOOL CALLBACK FindToolTip(HWND window, LPARAM found) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (std::wstring(name) == TOOLTIPS_CLASSW) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

TEST_F(Form1Test, AFailedSaveShowsInTheToolTipUntilTheNextSuccess) {
    Open("");
    const HWND label = Control(ksv::win32::kLabel1);
    const auto tip = [&]() {
        HWND toolTip = nullptr;
        // Made at the window's first idle moment.
        for (int i = 0; i < 100 && toolTip == nullptr; ++i) {
            for (MSG message{}; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) {
                DispatchMessageW(&message);
            }
            EnumThreadWindows(GetCurrentThreadId(), FindToolTip,
                              reinterpret_cast<LPARAM>(&toolTip));
            Sleep(toolTip == nullptr ? 10 : 0);
        }
        wchar_t text[512] = {};
        TOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.hwnd = form_->Window();
        tool.uId = reinterpret_cast<UINT_PTR>(label);
        tool.lpszText = text;
        SendMessageW(toolTip, TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&tool));
        return std::wstring(text);
    };
    const std::wstring help = tip();
    ASSERT_FALSE(help.empty());
    form_->ShowSaveResult({ksv::platform::FileFailure::ReadOnly, "denied"});
    const std::wstring failed = tip();
    EXPECT_NE(failed, help);
    EXPECT_NE(failed.find(L"ksv.ini"), std::wstring::npos);
    form_->ShowSaveResult({});
    EXPECT_EQ(tip(), help);
}

}  // namespace
