#include "Input.h"

#include <cstdio>
#include <vector>

namespace e2e {

namespace {

// The runner that started this driver, while it runs: once it has gone
// (ended from outside, say), no input is sent, and the driver ends.
bool RunnerGone() {
  static const HANDLE runner = [] {
    wchar_t pid[16] = {};
    return GetEnvironmentVariableW(L"LUMIDIAL_RUNNER_PID", pid, 16)
               ? OpenProcess(SYNCHRONIZE, FALSE, DWORD(_wtoi(pid)))
               : nullptr;
  }();
  return runner && WaitForSingleObject(runner, 0) != WAIT_TIMEOUT;
}

::testing::AssertionResult Send(std::vector<INPUT> inputs, const char* what) {
  if (RunnerGone()) {
    std::fputs("The runner has ended: this driver sends no more input, and ends.\n", stderr);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
  }
  const UINT sent = SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT));
  if (sent == inputs.size()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "SendInput sent " << sent << " of " << inputs.size() << " events of "
                                       << what << " (error " << GetLastError() << ")";
}

INPUT Mouse(DWORD flags, LONG dx = 0, LONG dy = 0) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = dx;
  input.mi.dy = dy;
  input.mi.dwFlags = flags;
  return input;
}

// Absolute coordinates run from 0 to 65535 over the virtual screen; the
// platform takes pixel (n * extent) / 65536, so the least n that lands on a
// pixel lands there exactly.
LONG Normalised(LONG pixel, int origin, int extent) {
  return LONG(((long long)(pixel - origin) * 65536 + extent - 1) / extent);
}

DWORD ProcessOf(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return pid;
}

// What a click now would reach: the window holding the mouse capture in the
// foreground's thread, else the one under the pointer.
HWND ClickTarget() {
  if (HWND capture = ThreadInfo(GetForegroundWindow()).hwndCapture) return capture;
  POINT at{};
  GetCursorPos(&at);
  return WindowFromPoint(at);
}

}  // namespace

GUITHREADINFO ThreadInfo(HWND window) {
  GUITHREADINFO info{}, none{};
  info.cbSize = none.cbSize = sizeof info;
  return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info : none;
}

std::string Describe(HWND window) {
  if (!window) return "no window";
  const DWORD pid = ProcessOf(window);
  std::string program = "a program";
  if (HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid)) {
    wchar_t image[MAX_PATH * 2] = {};
    DWORD length = MAX_PATH * 2;
    if (QueryFullProcessImageNameW(process, 0, image, &length)) program = Narrow(image);
    CloseHandle(process);
  }
  return "a " + Narrow(WindowClass(window)) + " window \"" + Narrow(WindowText(window)) + "\" of " + program +
         " (process " + std::to_string(pid) + ")";
}

::testing::AssertionResult HoldsForeground(HWND window, Millis timeout) {
  if (WaitUntil([&] { return GetForegroundWindow() == window; }, timeout)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the foreground is " << Describe(GetForegroundWindow()) << ", not "
                                       << Describe(window) << ": no input sent";
}

::testing::AssertionResult PressKeys(std::initializer_list<WORD> keys, HWND to, Millis wait) {
  if (auto held = HoldsForeground(to, wait); !held) return held;
  std::vector<INPUT> inputs(keys.size() * 2);
  size_t down = 0, up = inputs.size();
  for (WORD key : keys) {
    for (INPUT* input : {&inputs[down++], &inputs[--up]}) {
      input->type = INPUT_KEYBOARD;
      input->ki.wVk = key;
      input->ki.wScan = WORD(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    }
    inputs[up].ki.dwFlags = KEYEVENTF_KEYUP;
  }
  return Send(inputs, "keys");
}

::testing::AssertionResult MovePointer(POINT at) {
  const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN), height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  if (auto sent = Send({Mouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK,
                              Normalised(at.x, left, width), Normalised(at.y, top, height))},
                       "a pointer move");
      !sent)
    return sent;
  POINT now{};
  if (WaitUntil([&] { return GetCursorPos(&now) && now.x == at.x && now.y == at.y; }))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the pointer went to " << now.x << "," << now.y << ", not " << at.x << ","
                                       << at.y;
}

::testing::AssertionResult MovePointerBy(int dx, int dy) {
  POINT from{};
  GetCursorPos(&from);
  return MovePointer({from.x + dx, from.y + dy});
}

::testing::AssertionResult Click(HWND to) {
  HWND target = nullptr;
  if (!WaitUntil([&] { return (target = ClickTarget()) && ProcessOf(target) == ProcessOf(to); }))
    return ::testing::AssertionFailure() << "a click would reach " << Describe(target) << ", not "
                                         << Describe(to) << ": none sent";
  return Send({Mouse(MOUSEEVENTF_LEFTDOWN), Mouse(MOUSEEVENTF_LEFTUP)}, "a click");
}

::testing::AssertionResult PointerBecomes(bool shown) {
  CURSORINFO info{};
  const auto showing = [&] {
    info = {};
    info.cbSize = sizeof info;
    return GetCursorInfo(&info) && (info.flags & CURSOR_SHOWING);
  };
  if (WaitUntil([&] { return showing() == shown; })) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << (shown ? "no pointer shows" : "a pointer still shows") << " (flags "
                                       << info.flags << ")";
}

}  // namespace e2e
