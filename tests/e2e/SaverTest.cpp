#include "SaverTest.h"

#include <shellscalingapi.h>

#include <algorithm>
#include <sstream>

namespace e2e {

namespace {

constexpr long long kTicksPerMinute = 60LL * 10'000'000LL;

long long UtcNow() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return (static_cast<long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

// Hour and minute at `utcTicks` plus `offsetMinutes`.
std::pair<int, int> HourMinuteAt(long long utcTicks, int offsetMinutes) {
  const long long minutes = (utcTicks / kTicksPerMinute + offsetMinutes) % (24 * 60);
  return {static_cast<int>(minutes / 60), static_cast<int>(minutes % 60)};
}

// A saver ended by force cannot clear the screen-saver flag; the tests do.
void ClearState() {
  KillStraySavers();
  BOOL previous = FALSE;
  SystemParametersInfoW(SPI_SETSCREENSAVERRUNNING, FALSE, &previous, 0);
  RegDeleteTreeW(HKEY_CURRENT_USER, kDoubleKey);
}

bool Lit(Rgb p) { return p.r > 40 || p.g > 40 || p.b > 40; }

// Rightmost lit column of a picture; topmost lit row in columns [left, right).
int RightmostLit(const Image& image) {
  for (int x = image.width() - 1; x >= 0; --x)
    for (int y = 0; y < image.height(); ++y)
      if (Lit(image.At(x, y))) return x;
  return -1;
}

int TopmostLit(const Image& image, int left, int right) {
  for (int y = 0; y < image.height(); ++y)
    for (int x = std::max(left, 0); x < std::min(right, image.width()); ++x)
      if (Lit(image.At(x, y))) return y;
  return -1;
}

}  // namespace

int LocalUtcOffset() {
  FILETIME utc, local;
  GetSystemTimeAsFileTime(&utc);
  FileTimeToLocalFileTime(&utc, &local);
  auto ticks = [](const FILETIME& t) { return (static_cast<long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  return int((ticks(local) - ticks(utc)) / kTicksPerMinute);
}

int OffsetForLocalHour(int localHour) {
  int hours = ((localHour - HourMinuteAt(UtcNow(), 0).first) % 24 + 24) % 24;
  return (hours > 12 ? hours - 24 : hours) * 60;
}

SaverProcess StartPicturedClock(ScratchRegistry& registry, bool everyMonitor) {
  RegDeleteTreeW(HKEY_CURRENT_USER, ScratchRegistry::kKeyPath);
  registry.SetDword(L"FlashSecond", 0);
  if (everyMonitor) registry.SetDword(L"ClockOnEveryMonitor", 1);
  WaitUntil([] { return UtcNow() / 10'000'000 % 60 < 45; }, 60s, 200ms);
  const auto [hour, minute] = HourMinuteAt(UtcNow(), 0);
  int offset = ((10 * 60 + 8) - (hour * 60 + minute) + 2 * 720) % 720;  // 0 .. 719
  if (offset > 360) offset -= 720;
  return SaverProcess::StartInTimeZone(L"/s", offset);
}

int PrimaryDensity() {
  UINT x = 96, y = 96;
  GetDpiForMonitor(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), MDT_EFFECTIVE_DPI, &x, &y);
  return int(x);
}

void SaverTest::SetUp() {
  ClearState();
  density = PrimaryDensity();
  WaitUntil([] { return TopLevelWindows(0, kMainClass).empty(); });
}

void SaverTest::TearDown() { ClearState(); }

const Artwork& SaverTest::Art() {
  static const Artwork art = Artwork::Load(SaverPath());
  return art;
}

::testing::AssertionResult SaverTest::ShowsLocalTime(const SaverProcess& saver,
                                                     bool twentyFourHour, int utcOffsetMinutes) {
  const ClockReader reader = Reader();
  ClockReading r;
  long long before = 0, after = 0;
  const bool read = WaitUntil(
      [&] {
        before = UtcNow();
        r = reader.ReadScreen();
        after = UtcNow();
        return (r.recognised && r.showsTime()) || !saver.IsRunning();
      },
      kTimeout, 50ms);
  if (!saver.IsRunning())
    return ::testing::AssertionFailure() << "the saver ended while the clock was read";
  if (!read)
    return ::testing::AssertionFailure() << "no time on the screen: " << r.text() << " ["
                                         << r.detail << "]; " << SaveScreenshot("no-time");

  std::ostringstream accepted;
  bool matches = false;
  for (long long t : {before - kTicksPerMinute, before, after, after + kTicksPerMinute}) {
    auto [hour, minute] = HourMinuteAt(t, utcOffsetMinutes);
    if (!twentyFourHour) hour = hour % 12 == 0 ? 12 : hour % 12;
    accepted << ' ' << hour << ':' << (minute < 10 ? "0" : "") << minute;
    matches = matches || (r.hour() == hour && r.minute() == minute);
  }
  if (!matches)
    return ::testing::AssertionFailure() << "the clock reads \"" << r.text()
                                         << "\", expected one of" << accepted.str();
  const bool oneDigit = r.hour() < 10;
  if (oneDigit && r.digits[0])
    return ::testing::AssertionFailure() << "leading zero shown: " << r.text();
  if (oneDigit != (r.shift == ClockLayout::kOneDigitShift))
    return ::testing::AssertionFailure() << "\"" << r.text() << "\" is not centred";
  return ::testing::AssertionSuccess();
}

Extent SaverTest::DesignedExtent(const ClockReading& r) const {
  const ClockLayout layout = ClockLayout::ForPrimaryScreen(density);
  Extent extent;
  for (int picture = 0; picture < 5; ++picture) {
    const std::optional<int> digit = r.digits[size_t(picture < 2 ? picture : picture - 1)];
    const Image* art = picture == 2 ? (r.colonShown ? &Art().colon : nullptr)
                                    : (digit ? &Art().digits[size_t(*digit)] : nullptr);
    if (!art) continue;
    const Extent lit = LitExtent(*art);
    const int x = ClockLayout::kPictureX[size_t(picture)] + r.shift;
    extent.Add(layout.panel.x + layout.Scaled(x + lit.left), layout.panel.y + layout.Scaled(lit.top));
    extent.Add(layout.panel.x + layout.Scaled(x + lit.right + 1) - 1,
               layout.panel.y + layout.Scaled(lit.bottom + 1) - 1);
  }
  return extent;
}

::testing::AssertionResult SaverTest::ShowsDesignedExtent(const SaverProcess& saver, int tolerance,
                                                        const std::string& name, Extent* lit) const {
  Image screen;
  ClockReading r;
  Extent shown, designed;
  if (WaitUntil([&] {
        if (!ReadClock(saver, screen, r)) return false;
        shown = LitExtent(screen);
        designed = DesignedExtent(r);
        return shown.Near(designed, tolerance);
      })) {
    if (lit) *lit = shown;
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "the clock \"" << r.text() << "\" is lit over " << shown.text()
                                       << ", designed " << designed.text() << "; " << SaveScreenshot(name);
}

bool SaverTest::ReadClock(const SaverProcess& saver, Image& screen, ClockReading& reading) const {
  return WaitUntil([&] {
    screen = GrabScreen();
    reading = Reader().Read(screen);
    return (reading.recognised && reading.showsTime()) || !saver.IsRunning();
  }) && saver.IsRunning();
}

SaverTest::ColonSeen SaverTest::WatchColon(Millis watch, bool untilBoth) {
  const ClockReader reader = Reader();
  ColonSeen seen;
  WaitUntil(
      [&] {
        ClockReading r = reader.ReadScreen();
        if (r.recognised && r.showsTime()) ++(r.colonShown ? seen.shown : seen.hidden);
        return untilBoth && seen.shown && seen.hidden;
      },
      watch, 100ms);
  return seen;
}

bool SaverTest::KeepsTicking(const SaverProcess& saver, int ticks) {
  const ClockReader reader = Reader();
  std::optional<bool> colon;
  int changes = 0;
  WaitUntil(
      [&] {
        const ClockReading r = reader.ReadScreen();
        if (!saver.IsRunning() || !r.recognised || !r.showsTime()) return !saver.IsRunning();
        changes += colon && *colon != r.colonShown;
        colon = r.colonShown;
        return changes >= ticks;
      },
      kTimeout, 100ms);
  return saver.IsRunning() && changes >= ticks;
}

SaverProcess SaverTest::StartSaver(POINT pointer, HWND* window, const std::wstring& path) {
  EXPECT_TRUE(MovePointer(pointer));
  SaverProcess saver = SaverProcess::Start(L"/s", path);
  HWND found = saver.WaitForWindow(kMainClass, kMainCaption);
  windowSeenAt = std::chrono::steady_clock::now();
  EXPECT_NE(found, nullptr) << "no run-mode window";
  const auto clockShown = [&] {
    if (density == 96) return PanelOnScreen(GrabScreen()).has_value();
    const ClockReading r = Reader().ReadScreen();
    return r.recognised && r.showsTime();
  };
  EXPECT_TRUE(found && WaitUntil([&] { return clockShown() || !saver.IsRunning(); }) && saver.IsRunning())
      << "no clock on the screen; " << SaveScreenshot("no-clock");
  EXPECT_TRUE(!found || HoldsForeground(found)) << "keys would not reach the clock";
  if (window) *window = found;
  return saver;
}

std::optional<POINT> SaverTest::PanelOnScreen(const Image& screen) {
  const int right = RightmostLit(screen);
  if (right < 0) return std::nullopt;
  // The minute-units digit is the rightmost picture: each digit's artwork
  // says where its picture would start, and the best match wins.
  double best = 100.0;
  POINT minuteUnits{};
  for (const Image& digit : Art().digits) {
    const int x = right - RightmostLit(digit);
    const int top = TopmostLit(screen, x, x + digit.width());
    if (top < 0) continue;
    const int y = top - TopmostLit(digit, 0, digit.width());
    const double score = Difference(screen, x, y, digit);
    if (score < best) best = score, minuteUnits = {x, y};
  }
  if (best > 0.5) return std::nullopt;
  for (int shift : {0, ClockLayout::kOneDigitShift}) {
    ClockLayout layout{POINT{minuteUnits.x - ClockLayout::kPictureX[4] - shift, minuteUnits.y}};
    ClockReading reading = ClockReader(Art(), layout).Read(screen);
    // A blank hour tens reads as well as a picture shifted by a digit: the
    // clock shows the first only with two hour digits, the second with one.
    if (reading.recognised && reading.showsTime() && reading.shift == shift &&
        reading.digits[0].has_value() == (shift == 0))
      return layout.panel;
  }
  return std::nullopt;
}

::testing::AssertionResult SaverTest::LayOutMonitors(const std::string& geometries) {
  char script[MAX_PATH] = {};
  if (!GetEnvironmentVariableA("LUMIDIAL_MONITORS_SCRIPT", script, MAX_PATH))
    return ::testing::AssertionFailure() << "LUMIDIAL_MONITORS_SCRIPT is not set";
  return RunUnix(std::string(script) + " " + geometries);
}

HWND SaverTest::WaitForPrompt(const SaverProcess& saver) {
  HWND prompt = nullptr;
  WaitUntil([&] {
    const auto dialogs = TopLevelWindows(saver.pid(), L"#32770");
    prompt = dialogs.empty() ? nullptr : dialogs.front();
    return prompt != nullptr;
  });
  return prompt;
}

HWND SaverTest::CaptureOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
  return info.hwndCapture;
}

std::string SaverTest::SaveScreenshot(const std::string& name) {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::wstring directory = PathFromEnvironment(L"LUMIDIAL_E2E_ARTIFACTS");
  CreateDirectoryW(directory.c_str(), nullptr);
  const std::wstring path =
      directory + L"\\" + Widen(std::string(test->test_suite_name()) + "-" + name + ".bmp");
  GrabScreen().SaveBmp(path);
  return "screenshot " + Narrow(path);
}

}  // namespace e2e
