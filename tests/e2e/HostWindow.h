// A window standing in for the screen-saver host's preview window: the
// driver puts its handle on the saver's command line and reads back what
// the saver painted into it.
#pragma once

#include "Harness.h"
#include "Screen.h"

#include <cstdlib>
#include <functional>
#include <string>

namespace e2e {

// The driver's own window colour: a window the saver did not paint never
// looks like one it did.
inline constexpr COLORREF kHostColour = RGB(40, 60, 200);

// A top-level, top-most window of the driver's, shown without activation.
// Not a child window as a real host's would be: under Wine 8 another
// process's drawing into a child window never reaches the screen.
class HostWindow {
 public:
  HostWindow(POINT at, SIZE size, bool visible = true) {
    static const ATOM registered = [] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = DefWindowProcW;
      wc.hbrBackground = CreateSolidBrush(kHostColour);
      wc.lpszClassName = L"LumidialPreviewHost";
      return RegisterClassW(&wc);
    }();
    window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, MAKEINTATOM(registered), L"Host",
                             WS_POPUP, at.x, at.y, size.cx, size.cy, nullptr, nullptr, nullptr, nullptr);
    if (visible) ShowWindow(window, SW_SHOWNA);
  }
  // Another process's window, asked to close at the end.
  explicit HostWindow(HWND foreign) : window(foreign), owned_(false) {}
  ~HostWindow() {
    if (owned_)
      DestroyWindow(window);
    else
      PostMessageW(window, WM_CLOSE, 0, 0);
  }
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  // The handle as a host puts it on the command line.
  std::wstring Number() const { return std::to_wstring(reinterpret_cast<INT_PTR>(window)); }
  // The window's area as the screen shows it.
  Image Shown() const {
    RECT rect{};
    GetWindowRect(window, &rect);
    return GrabScreen(rect);
  }
  // Pixels of the window's area on the screen unlike `expected(x, y)`.
  int Mismatches(const std::function<Rgb(int, int)>& expected) const {
    const Image shown = Shown();
    int mismatches = shown.empty();
    auto off = [](int a, int b) { return std::abs(a - b) > 24; };
    for (int y = 0; y < shown.height(); ++y)
      for (int x = 0; x < shown.width(); ++x) {
        const Rgb want = expected(x, y), got = shown.At(x, y);
        mismatches += off(want.r, got.r) || off(want.g, got.g) || off(want.b, got.b);
      }
    return mismatches;
  }
  bool ShowsOwnColour() const { return Mismatches([](int, int) { return Rgb{40, 60, 200}; }) == 0; }
  // `picture` at (0,0), clipped, black beyond it.
  int PreviewMismatches(const Image& picture) const {
    return Mismatches([&](int x, int y) {
      return x < picture.width() && y < picture.height() ? picture.At(x, y) : Rgb{};
    });
  }
  HWND window = nullptr;

 private:
  bool owned_ = true;
};

}  // namespace e2e
