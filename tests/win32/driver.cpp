// Drives the real window from outside, as a person would: starts the
// program, finds its window, reads its controls, clicks the option buttons,
// answers message boxes, and checks the settings file. The steps come from
// the command line and run in order; the first that fails ends the run with
// exit code 1 and says why on stderr.
//
//   start EXE          run EXE (in the current directory); EXE may hold %VARIABLES%
//   created MS         wait until its window exists, shown or not (it is made
//                      before the settings are read)
//   window MS          wait until its window is visible
//   nowindow MS        check that no window of it is visible for MS
//   expect FIELD TEXT  a field must hold TEXT now
//   wait FIELD TEXT MS a field must come to hold TEXT within MS
//   click option1|option2
//   paused FIELD MS    FIELD must not change for MS
//   resumed FIELD MIN MAX  click option1, then FIELD must change after at
//                      least MIN and at most MAX ms
//   message MS TEXT    a message box of the program containing TEXT (each of
//                      its parts between "|") must appear within MS; its
//                      button is pressed
//   file NAME TEXT     the file must hold exactly TEXT (\r, \n, \\ escaped);
//                      NAME may hold %VARIABLES%
//   waitfile NAME TEXT MS
//   hold NAME          keep the file open without sharing, as a virus scanner
//                      or a backup may, until "release NAME" or the end
//   release NAME
//   close              close the window as the close button does
//   exit CODE MS       the program started last must end with CODE within
//                      MS; the steps then look at the one started before
//   sleep MS
//
// Fields: title label1 label2 label2visible option1 option2 focus sizable
// maximizable client, and accname: Label1's name as a screen reader gets it.
#include <windows.h>
// After windows.h, which they need.
#include <objbase.h>
#include <oleacc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "window/win32/form1.h"

namespace {

using ksv::win32::kForm1Class;

struct Failure {
    std::string what;
};

std::string Utf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

std::wstring Text(HWND window) {
    wchar_t buffer[1024] = {};
    SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer),
                        SMTO_ABORTIFHUNG, 5000, nullptr);
    return buffer;
}

// What a screen reader hears for a control, asked as one asks: from another
// process, through the control's accessible object.
std::string AccessibleName(HWND control) {
    IAccessible* object = nullptr;
    const HRESULT found =
        AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                   reinterpret_cast<void**>(&object));
    if (FAILED(found) || object == nullptr) {
        throw Failure{"no accessible object (" + std::to_string(found) + ")"};
    }
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    const HRESULT read = object->get_accName(self, &name);
    object->Release();
    if (FAILED(read)) {
        throw Failure{"no accessible name (" + std::to_string(read) + ")"};
    }
    const std::wstring text = name != nullptr ? std::wstring(name, SysStringLen(name)) : L"";
    SysFreeString(name);
    return Utf8(text);
}

DWORD Elapsed(DWORD since) {
    return GetTickCount() - since;
}

class Driver {
  public:
    Driver() = default;
    ~Driver();
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    void Run(const std::vector<std::wstring>& args);

  private:
    std::wstring Next(const char* what);
    DWORD NextMs() {
        return static_cast<DWORD>(std::wcstoul(Next("milliseconds").c_str(), nullptr, 10));
    }
    HWND FindForm(bool visibleOnly) const;
    HWND Form() const;
    std::string Field(const std::string& name) const;
    HWND FindMessageBox() const;
    DWORD ProcessId() const { return processes_.empty() ? 0 : processes_.back().dwProcessId; }
    void Step(const std::string& step);

    std::vector<std::wstring> args_;
    std::size_t next_ = 0;
    // The programs started and not yet seen to end; the last is the one
    // the steps look at.
    std::vector<PROCESS_INFORMATION> processes_;
    std::map<std::wstring, HANDLE> held_;
};

Driver::~Driver() {
    for (const PROCESS_INFORMATION& process : processes_) {
        TerminateProcess(process.hProcess, 99);  // a failed run leaves nothing behind
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    for (const auto& [name, file] : held_) {
        CloseHandle(file);
    }
}

std::wstring Driver::Next(const char* what) {
    if (next_ >= args_.size()) {
        throw Failure{std::string("missing ") + what};
    }
    return args_[next_++];
}

// A top-level window of the program under test, by its class.
struct WindowSearch {
    DWORD processId;
    const wchar_t* className;
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK FindProgramWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == search->processId && std::wstring(className) == search->className &&
        (!search->visibleOnly || IsWindowVisible(window))) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND Driver::FindForm(bool visibleOnly) const {
    WindowSearch search{ProcessId(), kForm1Class, visibleOnly, nullptr};
    EnumWindows(FindProgramWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND Driver::Form() const {
    const HWND form = FindForm(true);
    if (form == nullptr) {
        throw Failure{"the window is not there"};
    }
    return form;
}

HWND Driver::FindMessageBox() const {
    WindowSearch search{ProcessId(), L"#32770", true, nullptr};  // the dialog class
    EnumWindows(FindProgramWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string Driver::Field(const std::string& name) const {
    const HWND form = Form();
    const auto control = [&](int id) { return GetDlgItem(form, id); };
    const auto flag = [](bool value) { return std::string(value ? "1" : "0"); };
    const auto checked = [&](int id) {
        return flag(SendMessageW(control(id), BM_GETCHECK, 0, 0) == BST_CHECKED);
    };
    const LONG style = GetWindowLongW(form, GWL_STYLE);
    if (name == "title") {
        return Utf8(Text(form));
    }
    if (name == "label1") {
        return Utf8(Text(control(ksv::win32::kLabel1)));
    }
    if (name == "accname") {
        return AccessibleName(control(ksv::win32::kLabel1));
    }
    if (name == "label2") {
        return Utf8(Text(control(ksv::win32::kLabel2)));
    }
    if (name == "label2visible") {
        return flag(IsWindowVisible(control(ksv::win32::kLabel2)) != FALSE);
    }
    if (name == "option1") {
        return checked(ksv::win32::kOption1);
    }
    if (name == "option2") {
        return checked(ksv::win32::kOption2);
    }
    if (name == "focus") {
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        GetGUIThreadInfo(GetWindowThreadProcessId(form, nullptr), &info);
        return std::to_string(info.hwndFocus != nullptr ? GetDlgCtrlID(info.hwndFocus) : 0);
    }
    if (name == "sizable") {
        return flag((style & WS_THICKFRAME) != 0);
    }
    if (name == "maximizable") {
        return flag((style & WS_MAXIMIZEBOX) != 0);
    }
    if (name == "client") {
        RECT rect{};
        GetClientRect(form, &rect);
        return std::to_string(rect.right) + "x" + std::to_string(rect.bottom);
    }
    throw Failure{"unknown field " + name};
}

std::string Unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char c = text[++i];
            out += c == 'r' ? '\r' : c == 'n' ? '\n' : c;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string Escape(const std::string& text) {
    std::string out;
    for (const char c : text) {
        out += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
    }
    return out;
}

std::wstring Expanded(const std::wstring& name) {
    std::wstring out(32768, L'\0');
    const DWORD length =
        ExpandEnvironmentStringsW(name.c_str(), out.data(), static_cast<DWORD>(out.size()));
    if (length == 0 || length > out.size()) {
        return name;
    }
    out.resize(length - 1);
    return out;
}

std::string FileText(const std::wstring& name) {
    std::ifstream file(Expanded(name).c_str(), std::ios::binary);
    if (!file) {
        return "<absent>";
    }
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

void Driver::Step(const std::string& step) {
    if (step == "start") {
        std::wstring exe = Expanded(Next("program"));
        std::wstring commandLine = L"\"" + exe + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        if (CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           nullptr, &startup, &process) == FALSE) {
            throw Failure{"cannot start " + Utf8(exe)};
        }
        processes_.push_back(process);
    } else if (step == "window" || step == "nowindow" || step == "created") {
        const DWORD ms = NextMs();
        const DWORD start = GetTickCount();
        while (Elapsed(start) < ms) {
            if (FindForm(step != "created") != nullptr) {
                if (step == "nowindow") {
                    throw Failure{"the window was shown"};
                }
                return;
            }
            Sleep(20);
        }
        if (step != "nowindow") {
            throw Failure{"no window"};
        }
    } else if (step == "expect" || step == "wait") {
        const std::string field = Utf8(Next("field"));
        const std::string want = Utf8(Next("text"));
        const DWORD ms = step == "wait" ? NextMs() : 0;
        const DWORD start = GetTickCount();
        std::string have = Field(field);
        while (have != want && Elapsed(start) < ms) {
            Sleep(20);
            have = Field(field);
        }
        if (have != want) {
            throw Failure{field + " is \"" + have + "\", not \"" + want + "\""};
        }
    } else if (step == "click") {
        const std::wstring which = Next("option");
        const int id = which == L"option1" ? ksv::win32::kOption1 : ksv::win32::kOption2;
        SendMessageW(GetDlgItem(Form(), id), BM_CLICK, 0, 0);
    } else if (step == "paused") {
        const std::string field = Utf8(Next("field"));
        const DWORD ms = NextMs();
        const std::string before = Field(field);
        const DWORD start = GetTickCount();
        while (Elapsed(start) < ms) {
            Sleep(20);
            if (Field(field) != before) {
                throw Failure{field + " changed while paused"};
            }
        }
    } else if (step == "resumed") {
        const std::string field = Utf8(Next("field"));
        const DWORD low = NextMs();
        const DWORD high = NextMs();
        const std::string before = Field(field);
        const DWORD start = GetTickCount();
        SendMessageW(GetDlgItem(Form(), ksv::win32::kOption1), BM_CLICK, 0, 0);
        while (Field(field) == before) {
            if (Elapsed(start) > high) {
                throw Failure{field + " did not change after resuming"};
            }
            Sleep(5);
        }
        // The clock of window timers ticks in steps of up to about 16 ms.
        if (Elapsed(start) + 20 < low) {
            throw Failure{field + " changed after " + std::to_string(Elapsed(start)) + " ms"};
        }
    } else if (step == "message") {
        const DWORD ms = NextMs();
        const std::string want = Utf8(Next("text"));
        const DWORD start = GetTickCount();
        HWND box = nullptr;
        while ((box = FindMessageBox()) == nullptr) {
            if (Elapsed(start) > ms) {
                throw Failure{"no message box"};
            }
            Sleep(20);
        }
        Sleep(100);  // let it finish its own start before it is answered
        const std::string text = Utf8(Text(GetDlgItem(box, 0xFFFF)));
        std::printf("message: %s\n", text.c_str());
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        for (std::size_t from = 0; from <= want.size();) {
            const std::size_t bar = std::min(want.find('|', from), want.size());
            const std::string part = want.substr(from, bar - from);
            if (text.find(part) == std::string::npos) {
                throw Failure{"the message does not say \"" + part + "\""};
            }
            from = bar + 1;
        }
    } else if (step == "file" || step == "waitfile") {
        const std::wstring name = Next("file");
        const std::string want = Unescape(Utf8(Next("text")));
        const DWORD ms = step == "waitfile" ? NextMs() : 0;
        const DWORD start = GetTickCount();
        std::string have = FileText(name);
        while (have != want && Elapsed(start) < ms) {
            Sleep(20);
            have = FileText(name);
        }
        if (have != want) {
            throw Failure{Utf8(name) + " holds \"" + Escape(have) + "\", not \"" + Escape(want) +
                          "\""};
        }
    } else if (step == "hold") {
        const std::wstring name = Next("file");
        const HANDLE file = CreateFileW(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            throw Failure{"cannot open " + Utf8(name)};
        }
        held_[name] = file;
    } else if (step == "release") {
        const auto held = held_.find(Next("file"));
        if (held == held_.end()) {
            throw Failure{"not held"};
        }
        CloseHandle(held->second);
        held_.erase(held);
    } else if (step == "close") {
        PostMessageW(Form(), WM_CLOSE, 0, 0);
    } else if (step == "exit") {
        const DWORD want = static_cast<DWORD>(std::wcstoul(Next("code").c_str(), nullptr, 10));
        const DWORD ms = NextMs();
        if (processes_.empty()) {
            throw Failure{"nothing started"};
        }
        const PROCESS_INFORMATION process = processes_.back();
        if (WaitForSingleObject(process.hProcess, ms) != WAIT_OBJECT_0) {
            throw Failure{"the program did not end"};
        }
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        processes_.pop_back();
        if (code != want) {
            throw Failure{"exit code " + std::to_string(code)};
        }
    } else if (step == "sleep") {
        Sleep(NextMs());
    } else {
        throw Failure{"unknown step " + step};
    }
}

void Driver::Run(const std::vector<std::wstring>& args) {
    args_ = args;
    while (next_ < args_.size()) {
        const std::size_t at = next_;
        const std::string step = Utf8(Next("step"));
        try {
            Step(step);
        } catch (Failure& failure) {
            std::string words;
            for (std::size_t i = at; i < next_; ++i) {
                words += " " + Utf8(args_[i]);
            }
            failure.what = "step" + words + ": " + failure.what;
            throw;
        }
        std::printf("ok %s\n", step.c_str());
        std::fflush(stdout);
    }
}

}  // namespace

int wmain(int argc, wchar_t* argv[]) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    std::vector<std::wstring> args(argv + 1, argv + argc);
    Driver driver;
    try {
        driver.Run(args);
    } catch (const Failure& failure) {
        std::fprintf(stderr, "FAIL %s\n", failure.what.c_str());
        return 1;
    }
    return 0;
}
