// What the run-mode end-to-end tests share: real input through the X server
// (xdotool), the screen-saver-running flag, and finding the drifting clock
// panel on the screen.
#pragma once

#include "SaverTest.h"

#include <optional>
#include <string>

namespace e2e::runmode {

// A path named by an environment variable that ctest sets, as a Windows path.
std::wstring PathFromEnvironment(const wchar_t* name);

// Runs "/usr/bin/xdotool <arguments>" and waits until it has finished, so
// that the input is in the X server's queue when this returns.
::testing::AssertionResult Xdotool(const std::string& arguments);

// Puts the pointer at (x, y) under a window of the driver and waits until
// Wine has seen it there: a fresh or reset X server leaves Wine believing in
// an old position, and the saver's first pointer report would carry it.
::testing::AssertionResult PointerSeenAt(int x, int y);

// SPI_GETSCREENSAVERRUNNING as a new process sees it (see
// ScreenSaverFlagProbe.cpp); nothing if it could not be read.
std::optional<bool> ScreenSaverRunningFlag();

class RunModeTest : public SaverTest {
 protected:
  // Starts "Lumidial.scr /s" with the pointer seen at `pointer` and waits
  // until its window is up and a tick has drawn the time. `window` receives
  // the TMainForm window.
  SaverProcess StartSaver(POINT pointer, HWND* window = nullptr);

  // Waits for `ticks` changes of the blinking colon (FlashSecond on, the
  // default). False if the saver ended first or the clock stood still.
  bool KeepsTicking(const SaverProcess& saver, int ticks = 2);

  // The saver ends, normally, within a generous bound.
  static ::testing::AssertionResult EndsNormally(const SaverProcess& saver);

  // Top-left of the clock panel wherever it has drifted to, found from the
  // minute-units digit (the rightmost lit picture) and confirmed by reading
  // the whole clock there; nothing if the screen shows no complete clock.
  std::optional<POINT> PanelOnScreen(const Image& screen) const;
};

}  // namespace e2e::runmode
