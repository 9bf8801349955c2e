// How long a program that announces a setting to every window waits on
// Lumidial's preview: the time of one WM_SETTINGCHANGE broadcast
// (SendMessageTimeout, 3 s for each window, as such programs give), with no
// saver running and while "Lumidial.scr /p" paints into a window of this
// program's. Prints "RUNS without: MS... during: MS..." in milliseconds.
//
//   lumidial_broadcast.exe SAVER RUNS
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

double BroadcastMs() {
    LARGE_INTEGER frequency{}, start{}, end{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Lumidial benchmark"),
                        SMTO_NORMAL, 3000, &answer);
    QueryPerformanceCounter(&end);
    return 1000.0 * double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
}

void PrintRuns(const char* label, int runs) {
    std::printf("%s", label);
    for (int i = 0; i < runs; ++i) std::printf(" %.0f", BroadcastMs());
}

// The preview paints once its (hidden) clock window is made: it is made
// first, and the painting starts as soon as the host's window shows.
bool HasClockWindow(DWORD pid) {
    for (HWND window = FindWindowExW(nullptr, nullptr, L"TMainForm", nullptr); window;
         window = FindWindowExW(nullptr, window, L"TMainForm", nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == pid) return true;
    }
    return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) return 2;
    const int runs = _wtoi(argv[2]);
    HWND host = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"Host", WS_POPUP, 0, 0, 152, 112, nullptr, nullptr,
                                nullptr, nullptr);
    ShowWindow(host, SW_SHOWNA);
    PrintRuns("without:", runs);

    std::wstring command = L"\"" + std::wstring(argv[1]) + L"\" /p " +
                           std::to_wstring(reinterpret_cast<INT_PTR>(host));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION saver{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &saver))
        return 1;
    for (int i = 0; i < 3000 && !HasClockWindow(saver.dwProcessId); ++i) Sleep(10);
    Sleep(500);
    PrintRuns(" during:", runs);
    std::printf("\n");

    ShowWindow(host, SW_HIDE);
    WaitForSingleObject(saver.hProcess, 10000);
    CloseHandle(saver.hThread);
    CloseHandle(saver.hProcess);
    DestroyWindow(host);
    return 0;
}
