#include "SaverTest.h"

#include <algorithm>
#include <cmath>
#include <map>
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

// The design fits a clock to a monitor of an unknown machine thus: the
// largest scale up to the monitor's density over 96 at which it takes at
// most 80 % of the monitor's width and half its height; on the primary
// never below 1, on another as small as that asks. (The desks the Wine-only
// scenarios stage give their scales as numbers.)
double DesignScale(const RECT& monitor, int dpi, bool primary) {
  const double fitted = std::min({dpi / 96.0, 0.8 * (monitor.right - monitor.left) / lumidial::kPanelWidth,
                                  0.5 * (monitor.bottom - monitor.top) / lumidial::kPanelHeight});
  return primary ? std::max(1.0, fitted) : fitted;
}

bool WithinMargins(const Extent& lit, const RECT& monitor) {
  const int w = monitor.right - monitor.left, h = monitor.bottom - monitor.top;
  return !lit.empty() && lit.left >= w / 20 && lit.right < w - w / 20 && lit.top >= h / 10 && lit.bottom < h - h / 10;
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

SaverProcess StartPicturedClock(ScratchRegistry& registry,
                                std::initializer_list<std::pair<const wchar_t*, DWORD>> values) {
  ScratchRegistry::Clear();
  registry.SetDword(L"FlashSecond", 0);
  for (const auto& [name, value] : values) registry.SetDword(name, value);
  WaitUntil([] { return UtcNow() / 10'000'000 % 60 < 45; }, 60s, 200ms);
  const auto [hour, minute] = HourMinuteAt(UtcNow(), 0);
  int offset = ((10 * 60 + 8) - (hour * 60 + minute) + 2 * 720) % 720;  // 0 .. 719
  if (offset > 360) offset -= 720;
  return StartInTimeZone(L"/s", offset);
}

void SaverTest::SetUp() {
  ClearState();
  const RECT primary = PrimaryRect();
  UseDensity(MonitorDensity(primary), DesignScale(primary, MonitorDensity(primary), true));
  WaitUntil([] { return TopLevelWindows(0, kMainClass).empty(); });
}

int SaverTest::PointerThreshold() const {
  // The design: two pixels times the density over 96, rounded, at the
  // densities Windows offers from 100 % to 300 %.
  static const std::map<int, int> kThresholds{{96, 2},  {120, 3}, {144, 3}, {168, 4}, {192, 4},
                                              {216, 5}, {240, 5}, {264, 6}, {288, 6}};
  const auto found = kThresholds.find(density);
  EXPECT_NE(found, kThresholds.end()) << "no designed pointer threshold at " << density << " DPI";
  return found == kThresholds.end() ? 2 : found->second;
}

void SaverTest::TearDown() { ClearState(); }

const Artwork& SaverTest::Art() {
  static const Artwork art = Artwork::Load(SaverPath());
  return art;
}

::testing::AssertionResult SaverTest::ShowsLocalTime(const SaverProcess& saver, bool twentyFourHour,
                                                     int utcOffsetMinutes, bool leadingZero) {
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
  if (oneDigit && r.digits[0].has_value() != leadingZero)
    return ::testing::AssertionFailure() << "leading zero " << (leadingZero ? "hidden: " : "shown: ") << r.text();
  if ((oneDigit && !leadingZero) != (r.shift == ClockLayout::kOneDigitShift))
    return ::testing::AssertionFailure() << "\"" << r.text() << "\" is not " << (leadingZero ? "in place" : "centred");
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult SaverTest::ShowsDesignedExtent(const SaverProcess& saver, int tolerance,
                                                        const std::string& name, Extent* lit) const {
  Image screen;
  ClockReading r;
  Extent shown, designed;
  if (WaitUntil([&] {
        if (!ReadClock(saver, screen, r)) return false;
        shown = LitExtent(screen, colour);
        const ClockLayout layout = ClockLayout::Centred(scale);
        designed = Extent();
        for (int picture = 0; picture < 5; ++picture) {
          const Image* art = ArtShown(Art(), r, picture);
          if (!art) continue;
          const Extent lit = LitExtent(*art);
          const int x = lumidial::kPictureRects[size_t(picture)].left + r.shift;
          designed.Add(layout.panel.x + layout.Scaled(x + lit.left), layout.panel.y + layout.Scaled(lit.top));
          designed.Add(layout.panel.x + layout.Scaled(x + lit.right + 1) - 1,
                       layout.panel.y + layout.Scaled(lit.bottom + 1) - 1);
        }
        return shown.Near(designed, tolerance);
      })) {
    if (lit) *lit = shown;
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "the clock \"" << r.text() << "\" is lit over " << shown.text()
                                       << ", designed " << designed.text() << "; " << SaveScreenshot(name);
}

std::vector<SaverTest::MonitorClock> SaverTest::DesignedClocks() {
  std::vector<MonitorClock> clocks;
  for (const RECT& m : MonitorRects())
    clocks.push_back({m, DesignScale(m, MonitorDensity(m), m.left == 0 && m.top == 0)});
  return clocks;
}

::testing::AssertionResult SaverTest::EveryMonitorShowsTheSameTime(const SaverProcess& saver,
                                                                   const std::vector<MonitorClock>& clocks) {
  const RECT desk = DeskRect();
  bool shown = false, hidden = false;
  std::string seen;
  WaitUntil(
      [&] {
        const Image image = GrabScreen(desk);
        seen.clear();
        std::optional<ClockReading> first;
        bool alike = !image.empty();
        for (const auto& [monitor, scale] : clocks) {
          const RECT inPicture = Within(desk, monitor);
          const ClockReading r = ClockReader(Art(), ClockLayout::CentredOn(inPicture, scale)).Read(image);
          const Extent lit = LitExtent(image, inPicture);
          seen += " [" + Describe(monitor) + ": \"" + r.text() + "\" lit " + (lit.empty() ? "nowhere" : lit.text()) +
                  "]";
          alike = alike && r.recognised && r.showsTime() && WithinMargins(lit, monitor) &&
                  (!first || (r.hour() == first->hour() && r.minute() == first->minute() &&
                              r.colonShown == first->colonShown));
          if (!first) first = r;
        }
        if (alike) (first->colonShown ? shown : hidden) = true;
        return (shown && hidden) || !saver.IsRunning();
      },
      kTimeout, 50ms);
  if (!saver.IsRunning()) return ::testing::AssertionFailure() << "the saver ended";
  if (shown && hidden) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "every monitor's clock seen alike with the colon shown " << shown
                                       << ", hidden " << hidden << "; last look:" << seen << "; "
                                       << SaveScreenshot("every-monitor");
}

::testing::AssertionResult SaverTest::DriftsOnePixelWithinItsMargins(const SaverProcess& saver,
                                                                     const std::vector<RECT>& monitors, int direction) {
  using Clock = std::chrono::steady_clock;
  const RECT desk = DeskRect();
  // Within a second of the last look no two ticks can have passed: a move
  // then is one step, a pixel along each axis `direction` drifts on and
  // none along the other.
  const auto oneStep = [&](int dx, int dy) {
    return std::abs(dx) == int(direction != 2) && std::abs(dy) == int(direction != 1);
  };
  struct Track {
    std::optional<Extent> last;
    Clock::time_point lastAt;
    int steps = 0;
    std::string wrong, outside;
  };
  std::vector<Track> tracks(monitors.size());
  WaitUntil(
      [&] {
        const Clock::time_point now = Clock::now();
        const Image image = GrabScreen(desk);
        for (size_t i = 0; i < monitors.size(); ++i) {
          Track& t = tracks[i];
          const RECT& m = monitors[i];
          const Extent e = LitExtent(image, Within(desk, m));
          if (e.empty()) continue;
          if (!WithinMargins(e, m)) t.outside = e.text();
          // The same clock moved, not another time drawn.
          const int dx = t.last ? e.left - t.last->left : 0, dy = t.last ? e.top - t.last->top : 0;
          if ((dx || dy) && e.right - e.left == t.last->right - t.last->left &&
              e.bottom - e.top == t.last->bottom - t.last->top && now - t.lastAt < 1s) {
            if (!oneStep(dx, dy) && t.wrong.empty())
              t.wrong = "step " + std::to_string(t.steps + 1) + " went " + std::to_string(dx) + "," +
                        std::to_string(dy) + " from " + t.last->text();
            ++t.steps;
          }
          t.last = e, t.lastAt = now;
        }
        return std::all_of(tracks.begin(), tracks.end(), [](const Track& t) { return t.steps >= 4; }) ||
               !saver.IsRunning();
      },
      20s, 100ms);
  if (!saver.IsRunning()) return ::testing::AssertionFailure() << "the saver ended";
  for (size_t i = 0; i < monitors.size(); ++i) {
    const Track& t = tracks[i];
    if (!t.wrong.empty())
      return ::testing::AssertionFailure() << Describe(monitors[i]) << ": not a single pixel along direction "
                                           << direction << ": " << t.wrong;
    if (t.steps < 4)
      return ::testing::AssertionFailure() << Describe(monitors[i]) << ": " << t.steps
                                           << " steps seen within a second of the look before, not four";
    if (!t.outside.empty())
      return ::testing::AssertionFailure() << Describe(monitors[i]) << ": the clock left its margins: lit over "
                                           << t.outside;
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult SaverTest::ShowsPreview(const SaverProcess& saver, const HostWindow& host) {
  if (WaitUntil([&] { return host.PreviewMismatches(Art().preview) == 0 || !saver.IsRunning(); }) &&
      saver.IsRunning())
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << host.PreviewMismatches(Art().preview) << " pixels unlike the preview; "
                                       << SaveScreenshot("preview");
}

::testing::AssertionResult SaverTest::EndsUnseen(const SaverProcess& saver, Millis timeout) {
  bool seenWindow = false;
  if (auto ended = EndsNormally(saver, &seenWindow, timeout); !ended) return ended;
  if (seenWindow) return ::testing::AssertionFailure() << "it showed a window";
  return ::testing::AssertionSuccess();
}

bool SaverTest::ReadClock(const SaverProcess& saver, Image& screen, ClockReading& reading) const {
  return WaitUntil([&] {
    screen = GrabScreen();
    reading = Reader().Read(screen);
    return (reading.recognised && reading.showsTime()) || !saver.IsRunning();
  }) && saver.IsRunning();
}

::testing::AssertionResult SaverTest::ColonBlinks(bool blinks, Millis watch) {
  const ClockReader reader = Reader();
  int shown = 0, hidden = 0;
  WaitUntil(
      [&] {
        ClockReading r = reader.ReadScreen();
        if (r.recognised && r.showsTime()) ++(r.colonShown ? shown : hidden);
        return blinks && shown && hidden;
      },
      blinks ? watch : 3500ms, 100ms);
  if (blinks ? shown && hidden : hidden == 0 && shown >= 10) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the colon " << (blinks ? "blinks" : "stays shown") << ": seen shown "
                                       << shown << " times, hidden " << hidden;
}

::testing::AssertionResult SaverTest::EndsOnlyOnAClearMove(const SaverProcess& saver, POINT start, int within,
                                                           int beyond, Millis timeout) {
  if (auto moved = MovePointer({start.x + within, start.y + within}); !moved) return moved;
  if (!KeepsTicking(saver))
    return ::testing::AssertionFailure() << within << " pixels on both axes ended the saver or stopped the clock";
  if (auto moved = MovePointer({start.x + beyond, start.y + beyond}); !moved) return moved;
  return EndsNormally(saver, nullptr, timeout) << " after " << beyond << " pixels on both axes";
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
    if (scale == 1.0) return PanelOnScreen(GrabScreen()).has_value();
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
  const Extent lit = LitExtent(screen);
  if (lit.empty()) return std::nullopt;
  // The minute-units digit is the rightmost picture: each digit's artwork
  // says where its picture would start, and the best match wins.
  double best = 100.0;
  POINT minuteUnits{};
  for (const Image& digit : Art().digits) {
    const Extent own = LitExtent(digit);
    const int x = lit.right - own.right;
    const Extent below = LitExtent(screen, {x, 0, x + digit.width(), screen.height()});
    if (below.empty() || own.empty()) continue;
    const int y = below.top - own.top;
    const double score = Difference(screen, x, y, digit);
    if (score < best) best = score, minuteUnits = {x, y};
  }
  if (best > 0.5) return std::nullopt;
  for (int shift : {0, ClockLayout::kOneDigitShift}) {
    ClockLayout layout{POINT{minuteUnits.x - lumidial::kPictureRects[4].left - shift, minuteUnits.y}};
    ClockReading reading = ClockReader(Art(), layout).Read(screen);
    // A blank hour tens reads as well as a picture shifted by a digit: the
    // clock shows the first only with two hour digits, the second with one.
    if (reading.recognised && reading.showsTime() && reading.shift == shift &&
        reading.digits[0].has_value() == (shift == 0))
      return layout.panel;
  }
  return std::nullopt;
}


}  // namespace e2e
