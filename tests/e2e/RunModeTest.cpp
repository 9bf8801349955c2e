// The clock in run mode ("Lumidial.scr /s"), checked on the screen.
#include "SaverTest.h"

#include <chrono>

namespace e2e {
namespace {

class RunMode : public SaverTest {};

TEST_F(RunMode, WindowIsTopMostBorderlessAndCoversTheScreen) {
  SaverProcess saver = SaverProcess::Start(L"/s");
  ASSERT_TRUE(saver.started()) << saver.error();
  HWND window = saver.WaitForWindow(kMainClass, kMainCaption);
  ASSERT_NE(window, nullptr) << "no visible " << Narrow(kMainClass) << " window titled "
                             << Narrow(kMainCaption);

  EXPECT_EQ(TopLevelWindows(saver.pid()).size(), 1u) << "run mode shows one top-level window";
  LONG_PTR exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
  LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  EXPECT_TRUE(exStyle & WS_EX_TOPMOST) << "the clock stays above other windows";
  EXPECT_FALSE(style & (WS_CAPTION | WS_THICKFRAME)) << "no title bar or sizing border";

  RECT rect{};
  GetWindowRect(window, &rect);
  EXPECT_EQ(rect.left, 0);
  EXPECT_EQ(rect.top, 0);
  EXPECT_EQ(rect.right, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(rect.bottom, GetSystemMetrics(SM_CYSCREEN));
}

TEST_F(RunMode, ScreenIsBlackOutsideTheClockPanel) {
  SaverProcess saver = SaverProcess::Start(L"/s");
  ASSERT_TRUE(saver.started()) << saver.error();
  ClockReading first = WaitForTime(saver);
  ASSERT_TRUE(first.showsTime());

  const RECT panel = Reader().layout().PanelRect();
  long lit = 0;
  POINT firstLit{-1, -1};
  Rgb firstColour;
  // The window may still be settling on a busy machine: look until it is
  // black, and report the last look if it never is.
  bool black = WaitUntil([&] {
    Image screen = GrabScreen();
    lit = 0;
    for (int y = 0; y < screen.height(); ++y) {
      for (int x = 0; x < screen.width(); ++x) {
        if (x >= panel.left && x < panel.right && y >= panel.top && y < panel.bottom) continue;
        Rgb p = screen.At(x, y);
        if (p == Rgb{}) continue;
        if (lit++ == 0) {
          firstLit = POINT{x, y};
          firstColour = p;
        }
      }
    }
    return lit == 0;
  });
  EXPECT_TRUE(black) << lit << " pixels outside the panel are not black, first at ("
                     << firstLit.x << "," << firstLit.y << ") " << ToString(firstColour)
                     << "; screenshot " << Narrow(SaveScreenshot("not-black"));
}

TEST_F(RunMode, ShowsTheLocalTimeInTwelveHourFormByDefault) {
  SaverProcess saver = SaverProcess::Start(L"/s");
  ASSERT_TRUE(saver.started()) << saver.error();
  ASSERT_TRUE(WaitForTime(saver).showsTime());

  auto now = ReadTime();
  ASSERT_TRUE(now) << "the clock could not be read";
  EXPECT_TRUE(ShowsLocalTime(now->reading, /*twentyFourHour=*/false, std::nullopt,
                             now->utcBefore, now->utcAfter));
}

// The hour form, at a chosen local hour. The saver runs in a fixed-offset
// time zone picked so that its local hour is `localHour` now, whatever the
// time of day the test runs at.
struct HourCase {
  bool twentyFourHour;
  int localHour;
  const char* shows;  // for the test name in failures
};

void PrintTo(const HourCase& c, std::ostream* os) {
  *os << (c.twentyFourHour ? "24-hour" : "12-hour") << " form at " << c.localHour << " h shows "
      << c.shows;
}

class HourForm : public SaverTest, public ::testing::WithParamInterface<HourCase> {};

TEST_P(HourForm, ShowsTheHourOfTheSaversTimeZone) {
  const HourCase& c = GetParam();
  registry.SetDword(L"TwentyFourHour", c.twentyFourHour ? 1 : 0);
  int offset = OffsetForLocalHour(c.localHour);
  SaverProcess saver = SaverProcess::StartInTimeZone(L"/s", offset);
  ASSERT_TRUE(saver.started()) << saver.error();
  ASSERT_TRUE(WaitForTime(saver).showsTime());

  auto now = ReadTime();
  ASSERT_TRUE(now) << "the clock could not be read";
  EXPECT_TRUE(ShowsLocalTime(now->reading, c.twentyFourHour, offset, now->utcBefore,
                             now->utcAfter))
      << "time zone UTC" << (offset >= 0 ? "+" : "") << offset / 60;
}

INSTANTIATE_TEST_SUITE_P(
    RunMode, HourForm,
    ::testing::Values(HourCase{true, 15, "15, all four digits"},
                      HourCase{true, 7, "7, hour tens hidden, centred"},
                      HourCase{true, 0, "0, hour tens hidden, centred"},
                      HourCase{false, 15, "3, hour tens hidden, centred"},
                      HourCase{false, 0, "12"},
                      HourCase{false, 12, "12"},
                      HourCase{false, 11, "11"}));

class Colon : public SaverTest {};

TEST_F(Colon, BlinksWhenFlashSecondIsOn) {
  registry.SetDword(L"FlashSecond", 1);
  SaverProcess saver = SaverProcess::Start(L"/s");
  ASSERT_TRUE(saver.started()) << saver.error();
  ASSERT_TRUE(WaitForTime(saver).showsTime());

  ColonSeen colon = WatchColon();
  EXPECT_TRUE(colon.shown) << "the colon was never shown";
  EXPECT_TRUE(colon.hidden) << "the colon was never hidden";
}

TEST_F(Colon, StaysShownWhenFlashSecondIsOff) {
  registry.SetDword(L"FlashSecond", 0);
  SaverProcess saver = SaverProcess::Start(L"/s");
  ASSERT_TRUE(saver.started()) << saver.error();
  ASSERT_TRUE(WaitForTime(saver).showsTime());

  // Watch for well over three ticks (one a second), a look every 100 ms. A
  // look taken while the saver redraws may not be recognised; it is skipped.
  ClockReader reader = Reader();
  int looks = 0, recognised = 0;
  const auto end = std::chrono::steady_clock::now() + 3500ms;
  while (std::chrono::steady_clock::now() < end) {
    ClockReading r = reader.ReadScreen();
    ++looks;
    if (r.recognised && r.showsTime()) {
      ++recognised;
      ASSERT_TRUE(r.colonShown) << "colon hidden at look " << looks << ": " << r.text();
    }
    Sleep(100);
  }
  EXPECT_GE(recognised, looks / 2) << "too few readable looks to judge the colon";
}

// A settings value of the wrong registry type must not stop the saver: that
// setting keeps its default. Run at a local hour of 15 so the 12-hour default
// is visible (a misread TwentyFourHour would show 15 instead of 3).
class RegistryTypes : public SaverTest {};

TEST_F(RegistryTypes, ValuesOfTheWrongTypeKeepTheirDefaultsAndTheClockRuns) {
  registry.SetString(L"FlashSecond", L"abc");
  registry.SetBinary(L"TwentyFourHour", {1, 0, 0, 0, 1, 0, 0, 0});
  registry.SetString(L"ClockMoveDirection", L"1");
  registry.SetBinary(L"ClockMoveSpeed", {9, 9, 9, 9});
  registry.SetString(L"CountDown", L"1");
  registry.SetDword(L"CountDownTime", 5);

  int offset = OffsetForLocalHour(15);
  SaverProcess saver = SaverProcess::StartInTimeZone(L"/s", offset);
  ASSERT_TRUE(saver.started()) << saver.error();
  ASSERT_TRUE(WaitForTime(saver).showsTime());

  auto now = ReadTime();
  ASSERT_TRUE(now) << "the clock could not be read";
  EXPECT_TRUE(ShowsLocalTime(now->reading, /*twentyFourHour=*/false, offset, now->utcBefore,
                             now->utcAfter))
      << "TwentyFourHour of type REG_BINARY keeps the 12-hour form";

  // FlashSecond "abc" keeps the blinking colon: the clock goes on ticking.
  ColonSeen colon = WatchColon();
  EXPECT_TRUE(colon.shown && colon.hidden)
      << "the colon does not blink (seen shown: " << colon.shown
      << ", seen hidden: " << colon.hidden << ")";
  EXPECT_TRUE(saver.IsRunning());
}

}  // namespace
}  // namespace e2e
