// Starts two programs in turn and times each from CreateProcess until it
// first waits for input (WaitForInputIdle): for a window program, until its
// window is up and its message loop runs. Each is ended before the next one
// starts. Prints one line per pair, "MS_A MS_B", after one pair not counted
// that warms the caches.
// Usage: start.exe PAIRS A.exe B.exe   (each started in its own folder)
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 /
           static_cast<double>(frequency.QuadPart);
}

// The time to input-idle, or a negative number when the program did not get there.
double TimeStart(const wchar_t* program) {
    std::wstring folder = program;
    folder.resize(folder.find_last_of(L"\\/") == std::wstring::npos ? 0
                                                                    : folder.find_last_of(L"\\/"));
    std::wstring commandLine = std::wstring(L"\"") + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    LARGE_INTEGER before{};
    LARGE_INTEGER after{};
    QueryPerformanceCounter(&before);
    if (!CreateProcessW(program, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
        std::fwprintf(stderr, L"cannot start %ls (error %lu)\n", program, GetLastError());
        return -1;
    }
    const DWORD waited = WaitForInputIdle(process.hProcess, 60000);
    QueryPerformanceCounter(&after);
    DWORD exitCode = 0;
    const bool ended = GetExitCodeProcess(process.hProcess, &exitCode) && exitCode != STILL_ACTIVE;
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (waited != 0 || ended) {
        std::fwprintf(stderr, L"%ls did not come to input-idle (wait %lu, exit code %lu)\n",
                      program, waited, ended ? exitCode : STILL_ACTIVE);
        return -1;
    }
    return Milliseconds(before, after);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::fwprintf(stderr, L"usage: start.exe PAIRS A.exe B.exe\n");
        return 2;
    }
    const int pairs = _wtoi(argv[1]);
    const wchar_t* programs[2] = {argv[2], argv[3]};
    for (int pair = -1; pair < pairs; ++pair) {
        // Who goes first alternates, so neither always follows the other's end.
        double ms[2] = {};
        for (int turn = 0; turn < 2; ++turn) {
            const int which = pair % 2 == 0 ? turn : 1 - turn;
            ms[which] = TimeStart(programs[which]);
            if (ms[which] < 0) {
                return 1;
            }
        }
        if (pair >= 0) {
            std::printf("%.1f %.1f\n", ms[0], ms[1]);
            std::fflush(stdout);
        }
    }
    return 0;
}
