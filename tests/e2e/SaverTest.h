// Common ground for end-to-end tests of the saver: a fresh settings key per
// test, no saver left over from an earlier test, the artwork and a clock
// reader, and the clock arithmetic the checks need.
#pragma once

#include "Harness.h"
#include "Screen.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace e2e {

// The run-mode window.
inline constexpr const wchar_t* kMainClass = L"TMainForm";
inline constexpr const wchar_t* kMainCaption = L"MainForm";

struct HourMinute {
  int hour = 0;    // 0..23
  int minute = 0;  // 0..59
  bool operator==(const HourMinute&) const = default;
};

// What the clock should show for a local hour: 12-hour form reads 12 for
// hour 0 and 1..11 for 13..23.
int DisplayedHour(int localHour, bool twentyFourHour);

// The current time as 100 ns ticks since 1601 (UTC).
long long UtcNow();

// Local hour and minute at `utcTicks`, either in the driver's own time zone
// (nullopt) or at a fixed offset east of UTC.
HourMinute LocalAt(long long utcTicks, std::optional<int> utcOffsetMinutes);

// The whole-hour offset east of UTC (in minutes, -11 h .. +12 h) at which the
// local hour is `localHour` now.
int OffsetForLocalHour(int localHour);

class SaverTest : public ::testing::Test {
 protected:
  // Both end any saver still running and clear the screen-saver-running
  // flag, so each test starts from a quiet session.
  void SetUp() override;
  void TearDown() override;

  // The artwork of the saver under test, loaded once per driver run.
  static const Artwork& Art();
  ClockReader Reader() const;

  // Waits until the clock shows a time and returns that reading (check
  // showsTime()). Fails the test if `saver` ends first.
  ClockReading WaitForTime(const SaverProcess& saver, Millis timeout = kDefaultTimeout);

  // Checks that `reading` is the current local time (the minute before and
  // after accepted, for captures taken at a minute boundary) in the given
  // form, with the leading zero hidden and the clock centred for one-digit
  // hours. `utcBefore` and `utcAfter` bracket the screen capture.
  static ::testing::AssertionResult ShowsLocalTime(const ClockReading& reading,
                                                   bool twentyFourHour,
                                                   std::optional<int> utcOffsetMinutes,
                                                   long long utcBefore, long long utcAfter);

  // A reading and the UTC times just before and after its screen capture.
  struct TimedReading {
    ClockReading reading;
    long long utcBefore = 0, utcAfter = 0;
  };
  // Reads the clock until a capture is recognised and shows a time (a
  // capture taken while the saver is redrawing may be neither).
  std::optional<TimedReading> ReadTime(Millis timeout = kDefaultTimeout);

  // Watches the colon until it has been seen both shown and hidden, or
  // until `timeout`.
  struct ColonSeen {
    bool shown = false, hidden = false;
  };
  ColonSeen WatchColon(Millis timeout = kDefaultTimeout);

  // Reads the clock until `done(reading)` holds; returns that reading.
  std::optional<ClockReading> ReadUntil(const std::function<bool(const ClockReading&)>& done,
                                        Millis timeout = kDefaultTimeout);

  // Saves a screenshot (PPM) for a failure message, in the folder named by
  // LUMIDIAL_E2E_ARTIFACTS or else the temporary folder; returns its path.
  static std::wstring SaveScreenshot(const std::string& name);

  ScratchRegistry registry;
};

}  // namespace e2e
