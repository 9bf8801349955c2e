// The fixture of the saver's end-to-end tests: a fresh settings key, no
// saver left over from an earlier test, the screen-saver flag and the
// doubles' record cleared; reading the clock and waiting for the saver.
#pragma once

#include "Harness.h"
#include "Input.h"
#include "Screen.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace e2e {

// The run-mode window.
inline constexpr const wchar_t* kMainClass = L"TMainForm";
inline constexpr const wchar_t* kMainCaption = L"MainForm";

inline constexpr const wchar_t* kDesktop = L"Control Panel\\Desktop";
inline constexpr const wchar_t* kUsePassword = L"ScreenSaveUsePassword";

// A screen-saver password in force until the end of the scope.
struct PasswordSet {
  PasswordSet() { SetDword(kDesktop, kUsePassword, 1); }
  ~PasswordSet() { DeleteValue(kDesktop, kUsePassword); }
};

// The password.cpl double in the system directory and a password in force;
// the double refuses and holds its prompt open until the test closes it.
struct HeldPasswordPrompt {
  HeldPasswordPrompt() {
    SetDword(kDoubleKey, L"VerifyAnswer", 0);
    SetDword(kDoubleKey, L"PromptHold", 1);
  }
  SystemFile cpl{L"password.cpl", L"LUMIDIAL_PASSWORD_CPL_DOUBLE"};
  PasswordSet password;
};

// The density of the primary monitor, as a program aware of each monitor's
// density sees it (under Wine: the density the driver started at).
int PrimaryDensity();

// Marks, as its first statement, a scenario that reads the screen against
// the saver's 96-DPI pictures: on a primary of another density it is
// skipped, saying so.
#define AT_96_DPI()                                                                                  \
  if (const int primaryDpi = ::e2e::PrimaryDensity(); primaryDpi != 96)                             \
  GTEST_SKIP() << "reads the screen against the 96-DPI pictures; the primary is at " << primaryDpi \
               << " DPI"

// How far east of UTC the machine's local time is now, in minutes.
int LocalUtcOffset();

// The whole-hour offset east of UTC (minutes, -11 h .. +12 h) at which the
// local hour is `localHour` now.
int OffsetForLocalHour(int localHour);

// The clock as the README pictures it (docs/clock.png, made by
// "./dev.sh pictures"): 10:08, 12-hour form, the colon steady, centred, on
// the session's screen at 96 DPI. Sets the settings it needs in `registry`
// and starts the saver in a time zone where it is 10:08 now (or 22:08), at
// least 15 s before the minute ends. With `everyMonitor`, a clock on each
// monitor ("ClockOnEveryMonitor" 1).
SaverProcess StartPicturedClock(ScratchRegistry& registry, bool everyMonitor = false);

class SaverTest : public ::testing::Test {
 public:
  // The artwork of the saver under test, loaded once per driver run.
  static const Artwork& Art();

 protected:
  void SetUp() override;
  void TearDown() override;
  // How far the pointer may move on each axis without ending the saver: two
  // pixels at 96 DPI, scaled with the density.
  int PointerThreshold() const { return std::max(1, int(std::lround(2 * density / 96.0))); }
  // Reads the centred clock of a saver running at `density`.
  ClockReader Reader() const { return ClockReader(Art(), ClockLayout::ForPrimaryScreen(density)); }

  // Waits until the centred clock shows a time; checks that it is the local
  // time now (the minute before or after accepted) in the time zone
  // `utcOffsetMinutes` east of UTC, in the given form, with the leading zero
  // hidden and the clock centred for a one-digit hour.
  ::testing::AssertionResult ShowsLocalTime(const SaverProcess& saver, bool twentyFourHour,
                                            int utcOffsetMinutes);

  // Where the lit clock belongs for what `r` read: each picture shown, with
  // the lit extent of its 96-DPI artwork at its designed place in the
  // centred panel, all of it times the density over 96.
  Extent DesignedExtent(const ClockReading& r) const;
  // Waits until the lit clock lies where the design puts it at the scale
  // the screen gives, centred: `tolerance` pixels off on each edge at most,
  // for rounding and drift.
  ::testing::AssertionResult ShowsDesignedExtent(const SaverProcess& saver, int tolerance, const std::string& name,
                                                 Extent* lit = nullptr) const;
  // Waits for a readable clock; `screen` and `reading` then hold it.
  bool ReadClock(const SaverProcess& saver, Image& screen, ClockReading& reading) const;

  // Looks at the colon for `watch` (or, with `untilBoth`, until it has been
  // seen both shown and hidden); counts the readable looks.
  struct ColonSeen { int shown = 0, hidden = 0; };
  ColonSeen WatchColon(Millis watch, bool untilBoth);

  // Waits for `ticks` changes of the blinking colon (FlashSecond on, the
  // default): false if the saver ended first or the clock stood still.
  bool KeepsTicking(const SaverProcess& saver, int ticks = 2);

  // Starts "Lumidial.scr /s" with the pointer at `pointer` and waits for
  // its window, a drawn clock (at 96 DPI wherever it has drifted, else
  // centred) and the clock in the foreground, where keys reach it. The
  // saver under test, or the one at `path`.
  SaverProcess StartSaver(POINT pointer, HWND* window = nullptr, const std::wstring& path = SaverPath());

  // Top-left of the clock panel wherever it has drifted to; nothing if the
  // screen shows no complete clock.
  static std::optional<POINT> PanelOnScreen(const Image& screen);

  // Lays out the monitors of the session's Xorg server (dummy driver): X
  // geometries "WxH+X+Y ...", the primary first (scripts/monitors.sh).
  static ::testing::AssertionResult LayOutMonitors(const std::string& geometries);

  // The password prompt of the password.cpl double (a dialog of the
  // saver's), once it shows; nothing if it never does.
  static HWND WaitForPrompt(const SaverProcess& saver);

  // The window holding the mouse capture in `window`'s thread.
  static HWND CaptureOf(HWND window);

  // Saves a screenshot (BMP) in LUMIDIAL_E2E_ARTIFACTS; returns its path.
  static std::string SaveScreenshot(const std::string& name);

  ScratchRegistry registry;
  // The pixel density the savers of the test run at: the primary's, or
  // the one a scenario sets (see Density).
  int density = 96;
  // When StartSaver first saw the run-mode window: its first tick is due.
  std::chrono::steady_clock::time_point windowSeenAt;
};

}  // namespace e2e
