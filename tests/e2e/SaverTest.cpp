#include "SaverTest.h"

#include <cstdlib>
#include <sstream>

namespace e2e {

namespace {
constexpr long long kTicksPerMinute = 60LL * 10'000'000LL;
}

int DisplayedHour(int localHour, bool twentyFourHour) {
  if (twentyFourHour) return localHour;
  int hour = localHour % 12;
  return hour == 0 ? 12 : hour;
}

long long UtcNow() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return static_cast<long long>((static_cast<unsigned long long>(now.dwHighDateTime) << 32) |
                                now.dwLowDateTime);
}

HourMinute LocalAt(long long utcTicks, std::optional<int> utcOffsetMinutes) {
  if (utcOffsetMinutes) utcTicks += *utcOffsetMinutes * kTicksPerMinute;
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(utcTicks & 0xFFFFFFFF);
  time.dwHighDateTime = static_cast<DWORD>(static_cast<unsigned long long>(utcTicks) >> 32);
  SYSTEMTIME utc{}, local{};
  FileTimeToSystemTime(&time, &utc);
  if (utcOffsetMinutes)
    local = utc;
  else
    SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local);
  return HourMinute{local.wHour, local.wMinute};
}

int OffsetForLocalHour(int localHour) {
  int utcHour = LocalAt(UtcNow(), 0).hour;
  int hours = ((localHour - utcHour) % 24 + 24) % 24;
  if (hours > 12) hours -= 24;
  return hours * 60;
}

// ---------------------------------------------------------------------------

namespace {
// A saver ended with TerminateProcess cannot clear the prefix's
// screen-saver-running flag; the tests do it for it.
void ClearRunningFlag() {
  BOOL previous = FALSE;
  SystemParametersInfoW(SPI_SETSCREENSAVERRUNNING, FALSE, &previous, 0);
}
}  // namespace

void SaverTest::SetUp() {
  int stray = KillStraySavers();
  if (stray) std::fprintf(stderr, "note: ended %d saver(s) left running before this test\n", stray);
  ClearRunningFlag();
  // Make sure the screen no longer shows a window of a saver just ended.
  WaitUntil([] { return TopLevelWindows(0, kMainClass).empty(); });
}

void SaverTest::TearDown() {
  // Savers owned by the test end with their SaverProcess; this catches any
  // started another way.
  KillStraySavers();
  ClearRunningFlag();
}

const Artwork& SaverTest::Art() {
  static const Artwork art = Artwork::Load(SaverPath());
  return art;
}

ClockReader SaverTest::Reader() const { return ClockReader(Art(), ClockLayout::ForPrimaryScreen()); }

ClockReading SaverTest::WaitForTime(const SaverProcess& saver, Millis timeout) {
  ClockReader reader = Reader();
  ClockReading reading;
  bool ok = WaitUntil(
      [&] {
        reading = reader.ReadScreen();
        return (reading.recognised && reading.showsTime()) || !saver.IsRunning();
      },
      timeout, 100ms);
  if (!saver.IsRunning()) {
    auto code = saver.WaitForExit(0ms);
    ADD_FAILURE() << "the saver ended while the test waited for the clock, exit code "
                  << DescribeExitCode(code.value_or(0));
  } else if (!ok) {
    ADD_FAILURE() << "no time on the screen within " << timeout.count()
                  << " ms; last reading: " << reading.text() << " [" << reading.detail
                  << "]; screenshot " << Narrow(SaveScreenshot("no-time"));
  }
  return reading;
}

std::optional<SaverTest::TimedReading> SaverTest::ReadTime(Millis timeout) {
  ClockReader reader = Reader();
  std::optional<TimedReading> found;
  WaitUntil(
      [&] {
        TimedReading timed;
        timed.utcBefore = UtcNow();
        timed.reading = reader.ReadScreen();
        timed.utcAfter = UtcNow();
        if (!timed.reading.recognised || !timed.reading.showsTime()) return false;
        found = timed;
        return true;
      },
      timeout, 50ms);
  return found;
}

SaverTest::ColonSeen SaverTest::WatchColon(Millis timeout) {
  ClockReader reader = Reader();
  ColonSeen seen;
  WaitUntil(
      [&] {
        ClockReading r = reader.ReadScreen();
        if (r.recognised && r.showsTime()) (r.colonShown ? seen.shown : seen.hidden) = true;
        return seen.shown && seen.hidden;
      },
      timeout, 100ms);
  return seen;
}

std::optional<ClockReading> SaverTest::ReadUntil(
    const std::function<bool(const ClockReading&)>& done, Millis timeout) {
  ClockReader reader = Reader();
  std::optional<ClockReading> found;
  WaitUntil(
      [&] {
        ClockReading reading = reader.ReadScreen();
        if (!done(reading)) return false;
        found = reading;
        return true;
      },
      timeout, 50ms);
  return found;
}

::testing::AssertionResult SaverTest::ShowsLocalTime(const ClockReading& reading,
                                                     bool twentyFourHour,
                                                     std::optional<int> utcOffsetMinutes,
                                                     long long utcBefore, long long utcAfter) {
  if (!reading.recognised || !reading.showsTime())
    return ::testing::AssertionFailure()
           << "the screen shows no time: " << reading.text() << " [" << reading.detail << "]";

  std::ostringstream accepted;
  bool matches = false;
  for (long long t : {utcBefore - kTicksPerMinute, utcBefore, utcAfter, utcAfter + kTicksPerMinute}) {
    HourMinute local = LocalAt(t, utcOffsetMinutes);
    int hour = DisplayedHour(local.hour, twentyFourHour);
    accepted << ' ' << hour << ':' << (local.minute < 10 ? "0" : "") << local.minute;
    matches = matches || (reading.hour() == hour && reading.minute() == local.minute);
  }
  if (!matches)
    return ::testing::AssertionFailure()
           << "the clock reads \"" << reading.text() << "\", expected one of" << accepted.str()
           << (twentyFourHour ? " (24-hour form)" : " (12-hour form)");

  // A one-digit hour has its leading zero hidden and the clock centred on
  // the three remaining pictures; a two-digit hour uses all four.
  bool oneDigit = reading.hour() < 10;
  if (oneDigit && reading.digits[0].has_value())
    return ::testing::AssertionFailure()
           << "one-digit hour shown with its leading zero: " << reading.text();
  if (oneDigit != (reading.shift == ClockLayout::kOneDigitShift))
    return ::testing::AssertionFailure()
           << "the clock reads \"" << reading.text() << "\" at shift " << reading.shift
           << ", expected shift " << (oneDigit ? ClockLayout::kOneDigitShift : 0);
  return ::testing::AssertionSuccess();
}

std::wstring SaverTest::SaveScreenshot(const std::string& name) {
  wchar_t buffer[MAX_PATH];
  std::wstring directory;
  DWORD n = GetEnvironmentVariableW(L"LUMIDIAL_E2E_ARTIFACTS", buffer, MAX_PATH);
  if (n > 0 && n < MAX_PATH) {
    directory = ToWindowsPath(Narrow(std::wstring(buffer, n)));
    CreateDirectoryW(directory.c_str(), nullptr);
    if (directory.back() != L'\\') directory += L'\\';
  } else {
    GetTempPathW(MAX_PATH, buffer);
    directory = buffer;
  }
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string file = std::string(info ? info->test_suite_name() : "e2e") + "-" +
                     (info ? info->name() : "") + "-" + name + ".ppm";
  for (auto& c : file)
    if (c == '/' || c == '\\') c = '_';
  std::wstring path = directory + Widen(file);
  GrabScreen().SavePpm(path);
  return path;
}

}  // namespace e2e
