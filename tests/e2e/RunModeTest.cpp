// The clock in run mode ("Lumidial.scr /s"), checked on the screen, on every
// monitor, and hostile command lines.
#include "SaverTest.h"

#include <algorithm>

namespace e2e {
namespace {

class RunMode : public SaverTest {};
class RunModeWineOnly : public WineOnly<RunMode> {
 public:
  RunModeWineOnly() : WineOnly("time zones set through TZ") {}
};

// Each case runs the saver in a fixed-offset time zone picked so that its
// local hour is `localHour` now, whatever the time of day the test runs at;
// the clock lit where the design puts it at its `scale`, every pixel of the
// screen a shade of its `colour` (a level of it, each channel the colour's
// times the level over 255, rounded; the level its brightest channel).
TEST_F(RunModeWineOnly, WindowClockAndColon) {
  struct Case {
    const char* name;
    std::function<void(ScratchRegistry&)> settings;
    bool twentyFourHour;
    int localHour;
    bool blinks;
    double scale = 1.0;
    Rgb colour = kDesignGreen;
    bool leadingZero = false;
  } const cases[] = {
      {"24-hour at 15: four digits; FlashSecond 1 blinks",
       [](ScratchRegistry& r) { r.SetDword(L"TwentyFourHour", 1), r.SetDword(L"FlashSecond", 1); },
       true, 15, true},
      {"24-hour at 0: '0' centred; FlashSecond 0 keeps the colon",
       [](ScratchRegistry& r) { r.SetDword(L"TwentyFourHour", 1), r.SetDword(L"FlashSecond", 0); },
       true, 0, false},
      {"12-hour by default at 15: '3' centred", [](ScratchRegistry&) {}, false, 15, true},
      {"12-hour at 0: '12'", [](ScratchRegistry& r) { r.SetDword(L"TwentyFourHour", 0); }, false, 0, true},
      {"12-hour at 12: '12'", [](ScratchRegistry&) {}, false, 12, true},
      {"values of the wrong registry type keep their defaults and the clock runs",
       [](ScratchRegistry& r) {
         r.SetString(L"FlashSecond", L"abc");
         r.SetBinary(L"TwentyFourHour", {1, 0, 0, 0, 1, 0, 0, 0});
         r.SetString(L"ClockMoveDirection", L"1");
         r.SetBinary(L"ClockMoveSpeed", {9, 9, 9, 9});
         r.SetString(L"CountDown", L"1");
         r.SetDword(L"CountDownTime", 5);
       },
       false, 15, true},
      {"orange (COLORREF 0x00BBGGRR), filling 80 % of the width, the leading zero of 21:00 (9 PM) shown",
       [](ScratchRegistry& r) {
         r.SetDword(L"ClockColour", 0x0000A5FF), r.SetDword(L"ClockSize", 2), r.SetDword(L"LeadingZero", 1);
       },
       false, 21, true, std::min(0.8 * 1280 / 978, 0.5 * 1024 / 327), Rgb{255, 165, 0}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchRegistry::Clear();
    c.settings(registry);
    UseDensity(96, c.scale);
    colour = c.colour;
    const int offset = OffsetForLocalHour(c.localHour);
    SaverProcess saver = StartInTimeZone(L"/s", offset);
    ASSERT_TRUE(saver.started()) << saver.error();
    ASSERT_NE(saver.WaitForWindow(kMainClass, kMainCaption), nullptr) << "no run-mode window";
    EXPECT_TRUE(ShowsLocalTime(saver, c.twentyFourHour, offset, c.leadingZero)) << "UTC" << offset / 60;
    EXPECT_TRUE(ColonBlinks(c.blinks));
    EXPECT_TRUE(ShowsDesignedExtent(saver, 2, "extent"));
    const long unlike = Count(GrabScreen(), [&](int, int, Rgb p) {
      const int level = std::max({p.r, p.g, p.b});
      const auto shade = [&](int own) { return uint8_t((2 * own * level + 255) / 510); };
      return !(p == Rgb{shade(c.colour.r), shade(c.colour.g), shade(c.colour.b)});
    });
    EXPECT_EQ(unlike, 0) << "pixels not a shade of the colour; " << SaveScreenshot("shades");
  }
}

// The clock the README shows (docs/clock.png; "./dev.sh pictures" makes it
// anew) is the clock this build shows, at 10:08 with every picture in use:
// one window, the pictures on the screen pixel for pixel as the saver's
// artwork holds them (no colour lost on the way from the stored palette),
// black all around them.
TEST_F(RunModeWineOnly, ClockIsItsArtworkOnBlackAsPictured) {
  const Image picture = Image::LoadPng(PathFromEnvironment(L"LUMIDIAL_CLOCK_PICTURE"));
  ASSERT_EQ(std::make_pair(picture.width(), picture.height()),
            std::make_pair(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)))
      << "the picture is of the whole screen";
  EXPECT_EQ(LitExtent(picture).text(), "columns 291..1104, rows 371..645") << "10:08 lit where the design has it";
  SaverProcess saver = StartPicturedClock(registry);
  ASSERT_NE(saver.WaitForWindow(kMainClass, kMainCaption), nullptr) << "no run-mode window";
  EXPECT_EQ(TopLevelWindows(saver.pid()).size(), 1u) << "run mode shows one window";
  const ClockLayout layout = ClockLayout::Centred();
  long inexact = -1;
  EXPECT_TRUE(WaitUntil([&] {
    const Image screen = GrabScreen();
    const ClockReading r = Reader().Read(screen);
    if (!r.recognised || !r.showsTime()) return false;
    inexact = 0;
    for (int at = 0; at < 5; ++at) {
      const RECT place = layout.PictureRect(at, r.shift);
      if (const Image* art = ArtShown(Art(), r, at)) inexact += ExactMismatches(screen, place.left, place.top, *art);
    }
    return inexact == 0;
  })) << inexact << " pixels of the clock differ from the artwork; " << SaveScreenshot("inexact");
  const RECT panel = layout.PanelRect();
  long lit = 0;
  EXPECT_TRUE(WaitUntil([&] {
    lit = Count(GrabScreen(), [&](int x, int y, Rgb p) { return !PtInRect(&panel, POINT{x, y}) && !(p == Rgb{}); });
    return lit == 0;
  })) << lit << " pixels outside the clock are not black; " << SaveScreenshot("not-black");
  long differing = -1;
  EXPECT_TRUE(WaitUntil([&] { return (differing = ExactMismatches(GrabScreen(), 0, 0, picture)) == 0; }))
      << differing << " pixels differ from the picture; " << SaveScreenshot("pictured-clock");
}

// The clock as this machine shows it, on Windows as under Wine: at the
// primary monitor's density (a screen at 150 % gets the clock one and a
// half times its designed size) and in the machine's time zone.
TEST_F(RunMode, ClockAtThePrimarysDensityShowsTheLocalTimeCentredAndBlinks) {
  SaverProcess saver = SaverProcess::Start(L"/s");
  HWND window = saver.WaitForWindow(kMainClass, kMainCaption);
  ASSERT_NE(window, nullptr) << "no run-mode window";
  EXPECT_TRUE(ShowsLocalTime(saver, false, LocalUtcOffset())) << "at " << density << " DPI";
  EXPECT_TRUE(ShowsDesignedExtent(saver, 2, "extent")) << "at " << density << " DPI";
  EXPECT_TRUE(ColonBlinks());
  EXPECT_TRUE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) << "the clock is top-most";
  EXPECT_FALSE(GetWindowLongPtrW(window, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME)) << "the clock is borderless";
  const RECT rect = WindowRect(window), primary = PrimaryRect();
  EXPECT_TRUE(EqualRect(&rect, &primary)) << "the clock window covers the primary monitor";
}

// Every monitor but the primary is black while the clock runs, whatever was
// on it (here a window of the driver's in a colour of its own, standing in
// for the desktop), and input over a covering window reaches the clock: a
// click there, then a clear move, ends the saver, and the desk shows again.
// With "ClockOnEveryMonitor" set, each of them shows a clock instead.
TEST_F(RunMode, OtherMonitorsAreCoveredBlackAndInputOverThemCounts) {
  std::vector<RECT> others = MonitorRects();
  const RECT primary = PrimaryRect();
  std::erase_if(others, [&](const RECT& r) { return EqualRect(&r, &primary); });
  NEEDS(!others.empty(), "a second monitor, to cover");
  const HostWindow desk({GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN)},
                        {GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)});
  const Rgb kDesk{GetRValue(kHostColour), GetGValue(kHostColour), GetBValue(kHostColour)};
  auto everywhere = [&](Rgb colour) {
    return WaitUntil([&] {
      return std::all_of(others.begin(), others.end(), [&](const RECT& r) { return Unlike(r, colour) == 0; });
    });
  };
  ASSERT_TRUE(everywhere(kDesk)) << "the stand-in desktop shows on every other monitor";

  const POINT over{(others[0].left + others[0].right) / 2, (others[0].top + others[0].bottom) / 2};
  HWND clock = nullptr;
  SaverProcess saver = StartSaver(over, &clock);
  EXPECT_TRUE(everywhere(Rgb{})) << "every other monitor is black; " << SaveScreenshot("covers");
  ASSERT_TRUE(Click(clock));
  ASSERT_TRUE(WaitUntil([&] { return ThreadInfo(clock).hwndCapture == nullptr; })) << "the click ends the capture";
  EXPECT_TRUE(EndsOnlyOnAClearMove(saver, over, PointerThreshold(), 2 * PointerThreshold(), 40s))
      << "over a covering window";
  EXPECT_TRUE(everywhere(kDesk)) << "nothing of the saver's is left on the other monitors";

  // Asked for, a clock on every monitor in place of the black, each at its
  // monitor's density, all showing the same time.
  registry.SetDword(L"ClockOnEveryMonitor", 1);
  SaverProcess every = StartSaver(over);
  EXPECT_TRUE(EveryMonitorShowsTheSameTime(every, DesignedClocks()));
  ASSERT_TRUE(MovePointerBy(PointerThreshold() + 1, PointerThreshold() + 1));
  EXPECT_TRUE(EndsNormally(every, nullptr, 40s));
}

// Whatever the saver is started with, it must not crash: after the run
// switch it shows the clock; junk alone ends normally or shows a window.
// Either way it then ends normally when its windows are told to close.
TEST_F(RunMode, JunkCommandLinesNeverCrash) {
  std::wstring controls, quotes, switches, mixed;
  for (wchar_t c = 1; c < 32; ++c) controls += c;
  controls += L'\x7f';
  for (int i = 0; i < 2000; ++i) quotes += i % 3 ? L"\"" : L"\\\"";
  // Latin-1, CJK, Arabic, a surrogate pair, private use, non-characters.
  const std::wstring nonAscii = L"\u00e9\u00ff\u00a0\u4e2d\u6587\u0627\u0644\U0001F600\ue000\ufffe\ufeff";
  while (switches.size() < 30000) switches += L"/s/c/p/a-S:";
  while (mixed.size() < 30000) mixed += L"/c:\"" + nonAscii + controls + L"\" -p /a %s %%1 ^& | < > ";
  const std::pair<const char*, std::wstring> junk[] = {
      {"30000 letters", std::wstring(30000, L'x')},
      {"30000 characters of switches", switches.substr(0, 30000)},
      {"quotes and backslashes", quotes},
      {"control characters", controls + controls},
      {"non-ASCII characters", nonAscii},
      {"everything, 30000 characters", mixed.substr(0, 30000)},
  };
  for (const wchar_t* prefix : {L"/s ", L""}) {
    for (const auto& [name, text] : junk) {
      SCOPED_TRACE(Narrow(prefix) + name);
      SaverProcess saver = SaverProcess::Start(prefix + text);
      ASSERT_TRUE(saver.started()) << saver.error();
      EXPECT_TRUE(*prefix ? saver.WaitForWindow(kMainClass, kMainCaption) != nullptr
                          : WaitUntil([&] { return !saver.IsRunning() || !TopLevelWindows(saver.pid()).empty(); }))
          << (*prefix ? "no run-mode window" : "neither ended nor showed a window");
      EXPECT_TRUE(!*prefix || saver.IsRunning()) << "the clock ended by itself";
      for (HWND window : TopLevelWindows(saver.pid())) PostMessageW(window, WM_CLOSE, 0, 0);
      EXPECT_TRUE(EndsNormally(saver));
    }
  }
}

}  // namespace
}  // namespace e2e
