// A window of the driver's standing in for the screen-saver host's: its
// handle goes on the saver's command line. For the preview, a top-most
// window in a colour of its own, whose area the driver reads back from the
// screen; for the settings, an ordinary window with a child, as the display
// settings' dialog is.
#pragma once

#include "Process.h"
#include "Screen.h"

#include <cstdint>
#include <functional>
#include <string>

namespace e2e {

// The preview host's colour: a window the saver did not paint never looks
// like one it did.
inline constexpr COLORREF kHostColour = RGB(40, 60, 200);

class HostWindow {
 public:
  enum Kind { kPreview, kSettings };
  // A top-level window of the driver's at `at`, shown without activation
  // (a preview host; not a child window as a real host's would be: under
  // Wine 8 another process's drawing into a child window never reaches the
  // screen), or shown as an ordinary window with a child (a settings host).
  HostWindow(POINT at, SIZE size, Kind kind = kPreview, bool visible = true);
  // Another process's window, asked to close at the end.
  explicit HostWindow(HWND foreign) : window(foreign), owned_(false) {}
  ~HostWindow();
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  // The handle a host puts on the command line (the child's, for the
  // settings), as the 32-bit number a command line carries.
  std::wstring Number() const {
    return std::to_wstring(static_cast<std::int32_t>(reinterpret_cast<intptr_t>(child ? child : window)));
  }
  // The window's area as the screen shows it.
  Image Shown() const;
  // Pixels of the window's area on the screen unlike `expected(x, y)`.
  int Mismatches(const std::function<Rgb(int, int)>& expected) const;
  bool ShowsOwnColour() const;
  // `picture` at (0,0), clipped, black beyond it.
  int PreviewMismatches(const Image& picture) const;

  HWND window = nullptr, child = nullptr;

 private:
  bool owned_ = true;
};

}  // namespace e2e
