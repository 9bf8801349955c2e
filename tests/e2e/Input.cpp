#include "Input.h"

#include <vector>

namespace e2e {

namespace {

::testing::AssertionResult Send(std::vector<INPUT> inputs, const char* what) {
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

std::string Describe(HWND window) {
  if (!window) return "no window";
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return "a " + Narrow(WindowClass(window)) + " window of process " + std::to_string(pid);
}

}  // namespace

::testing::AssertionResult HoldsForeground(HWND window) {
  if (WaitUntil([&] { return GetForegroundWindow() == window; })) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the foreground is " << Describe(GetForegroundWindow()) << ", not "
                                       << Describe(window);
}

::testing::AssertionResult PressKeys(std::initializer_list<WORD> keys, HWND to) {
  if (to)
    if (auto held = HoldsForeground(to); !held) return held;
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

::testing::AssertionResult Click() {
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
