// The fixture of the saver's end-to-end scenarios: a fresh settings key, no
// saver left over from an earlier scenario, the screen-saver flag and the
// doubles' record cleared; reading the clock and waiting for the saver.
#pragma once

#include "harness/HostWindow.h"
#include "harness/Input.h"
#include "harness/Process.h"
#include "harness/Registry.h"
#include "harness/Screen.h"
#include "harness/Wine.h"

#include <initializer_list>
#include <optional>

namespace e2e {

// The run-mode window.
inline constexpr const wchar_t* kMainClass = L"TMainForm";
inline constexpr const wchar_t* kMainCaption = L"MainForm";

// Skips a scenario that needs what this machine lacks, saying what: a
// second monitor, a primary at 96 DPI, the installer's administrator. A
// statement of its own: an "else" after it is not taken as its own.
#define NEEDS(have, what) \
  switch (0)              \
  case 0:                 \
  default:                \
    if (have) {           \
    } else                \
      GTEST_SKIP() << "needs " << what
// A scenario that reads the screen against the 96-DPI pictures.
#define NEEDS_96_DPI() \
  NEEDS(density == 96, "a primary at 96 DPI (it reads the screen against its 96-DPI pictures), not " << density)

// How far east of UTC the machine's local time is now, in minutes.
int LocalUtcOffset();

// The whole-hour offset east of UTC (minutes, -11 h .. +12 h) at which the
// local hour is `localHour` now.
int OffsetForLocalHour(int localHour);

// The clock as the README pictures it (docs/clock.png, made by
// "./dev.sh pictures"): 10:08, 12-hour form, the colon steady, centred, on
// the session's screen at 96 DPI. Sets the settings it needs in `registry`
// and starts the saver in a time zone where it is 10:08 now (or 22:08), at
// least 15 s before the minute ends. With `values`, those settings too
// (such as "ClockOnEveryMonitor" 1, a clock on each monitor).
SaverProcess StartPicturedClock(ScratchRegistry& registry,
                                std::initializer_list<std::pair<const wchar_t*, DWORD>> values = {});

class SaverTest : public ::testing::Test {
 public:
  // The artwork of the saver under test, loaded once per driver run.
  static const Artwork& Art();
  // A clock on a monitor of the desk ("ClockOnEveryMonitor" 1), at `scale`
  // times its designed size; the clocks the design puts on this machine's
  // monitors.
  struct MonitorClock {
    RECT monitor;
    double scale;
  };
  static std::vector<MonitorClock> DesignedClocks();

 protected:
  void SetUp() override;
  void TearDown() override;
  // The savers of the scenario run at `dpi`, with the clock at `scale`
  // times its designed size (as the design fits it to the screen).
  void UseDensity(int dpi, double clockScale) { density = dpi, scale = clockScale; }
  // How far the pointer may move on each axis without ending the saver:
  // two pixels at 96 DPI, twice the density over 96 elsewhere, rounded.
  int PointerThreshold() const;
  ClockReader Reader() const { return ClockReader(Art(), ClockLayout::Centred(scale), colour); }

  // Waits until the centred clock shows a time; checks that it is the local
  // time now (the minute before or after accepted) in the time zone
  // `utcOffsetMinutes` east of UTC, in the given form, for a one-digit hour
  // with the leading zero hidden and the clock centred, or with
  // `leadingZero` shown in place.
  ::testing::AssertionResult ShowsLocalTime(const SaverProcess& saver, bool twentyFourHour,
                                            int utcOffsetMinutes, bool leadingZero = false);

  // Waits until the lit clock lies where the design puts it, centred at the
  // scenario's scale: each picture shown with the lit extent of its 96-DPI
  // artwork at its designed place, `tolerance` pixels off on each edge at
  // most, for rounding and drift.
  ::testing::AssertionResult ShowsDesignedExtent(const SaverProcess& saver, int tolerance, const std::string& name,
                                                 Extent* lit = nullptr) const;
  // Waits until every one of `clocks` shows, centred on its monitor, lit
  // only within its drift margins, all the same time with the colon in
  // step: seen so with the colon shown and with it hidden, in one look at
  // the desk each time.
  static ::testing::AssertionResult EveryMonitorShowsTheSameTime(const SaverProcess& saver,
                                                                 const std::vector<MonitorClock>& clocks);
  // Waits until the lit clock on each of `monitors` has been seen to take
  // four steps, within its monitor's drift margins (5 % of the width, 10 %
  // of the height) all the while; every step seen within a second of the
  // look before must be one pixel along the axes of `direction` (the
  // ClockMoveDirection set: 1 horizontal, 2 vertical, 3 both) and no other.
  static ::testing::AssertionResult DriftsOnePixelWithinItsMargins(const SaverProcess& saver,
                                                                   const std::vector<RECT>& monitors,
                                                                   int direction = 1);

  // Waits until `host` shows the preview `saver` paints.
  static ::testing::AssertionResult ShowsPreview(const SaverProcess& saver, const HostWindow& host);
  // The saver ends by itself, normally, without showing a window.
  static ::testing::AssertionResult EndsUnseen(const SaverProcess& saver, Millis timeout = kTimeout);

  // Waits for a readable clock; `screen` and `reading` then hold it.
  bool ReadClock(const SaverProcess& saver, Image& screen, ClockReading& reading) const;

  // Watches the centred clock's colon: blinking, until it has been seen
  // both shown and hidden (within `watch`); steady, for 3.5 s, shown on at
  // least ten readable looks and hidden on none.
  ::testing::AssertionResult ColonBlinks(bool blinks = true, Millis watch = kTimeout);

  // From `start`, where the pointer is, a move of `within` pixels on both
  // axes leaves the saver ticking; one to `beyond` then ends it normally
  // within `timeout`.
  ::testing::AssertionResult EndsOnlyOnAClearMove(const SaverProcess& saver, POINT start, int within, int beyond,
                                                  Millis timeout = kTimeout);

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

  ScratchRegistry registry;
  // The density the savers of the scenario run at (the primary's, unless
  // UseDensity says otherwise), and the clock's scale there.
  int density = 96;
  double scale = 1.0;
  // The colour of their clock's lit segments.
  Rgb colour = kDesignGreen;
  // When StartSaver first saw the run-mode window: its first tick is due.
  std::chrono::steady_clock::time_point windowSeenAt;
};

}  // namespace e2e
