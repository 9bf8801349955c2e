// The clock on scaled screens, in a session of its own on an Xorg server
// whose one monitor the tests size ("./dev.sh test" starts it; label hidpi;
// 2560 x 1600 unless a test says otherwise). At 120, 144 and 192 DPI the
// saver shows its clock at the designed size times the density over 96,
// centred and drawn sharp at that size, or as large as leaves it room to
// drift on a smaller screen, and follows the screen's size while it runs;
// the burn-in drift still steps one pixel, the pointer must move further,
// and the preview fills a scaled host's preview area.
#include "SaverTest.h"

#include <cmath>

namespace e2e {
namespace {

constexpr int kScreenWidth = 2560, kScreenHeight = 1600;
constexpr const char* kStaged = "densities set through Wine's LogPixels, screens sized through the X server";

// Partly covered by a segment: lit, short of the pure green.
bool PartlyCovered(Rgb p) { return p.g >= 128 && p.g < 255; }

class HighDpiWineOnly : public WineOnly<SaverTest> {
 public:
  HighDpiWineOnly() : WineOnly(kStaged) {}

 protected:
  void SetUp() override {
    WineOnly::SetUp();
    if (IsSkipped()) return;
    ASSERT_TRUE(UseScreen(kScreenWidth, kScreenHeight));
  }

  // The one monitor sized width x height, as this process sees it.
  static ::testing::AssertionResult UseScreen(int width, int height) {
    if (auto laid = LayOutMonitors(std::to_string(width) + "x" + std::to_string(height) + "+0+0"); !laid) return laid;
    if (WaitUntil([&] { return GetSystemMetrics(SM_CXSCREEN) == width && GetSystemMetrics(SM_CYSCREEN) == height; }))
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the primary screen stays " << GetSystemMetrics(SM_CXSCREEN) << " x "
                                         << GetSystemMetrics(SM_CYSCREEN);
  }
};

// Each density in a time zone picked for a one-digit and two-digit hours;
// on a portrait screen too narrow for the clock at 144 DPI, the clock at its
// 96-DPI size, inside the drift's margins of 5 %. The scales are the
// design's: the density over 96 where the screen has room for it.
TEST_F(HighDpiWineOnly, ClockKeepsItsDesignedSizeCentredAndSharp) {
  struct Case {
    int dpi, localHour, width, height;
    double scale;
  } const cases[] = {{120, 15, 2560, 1600, 1.25}, {144, 12, 2560, 1600, 1.5}, {192, 22, 2560, 1600, 2.0},
                     {144, 9, 1200, 1920, 1.0}};
  for (const Case& c : cases) {
    SCOPED_TRACE("at " + std::to_string(c.dpi) + " DPI on " + std::to_string(c.width) + " x " +
                 std::to_string(c.height));
    ASSERT_TRUE(UseScreen(c.width, c.height));
    const Density scaled(c.dpi);
    UseDensity(c.dpi, c.scale);
    const int offset = OffsetForLocalHour(c.localHour);
    SaverProcess saver = StartInTimeZone(L"/s", offset);
    ASSERT_TRUE(saver.started()) << saver.error();
    const HWND clock = saver.WaitForWindow(kMainClass, kMainCaption);
    ASSERT_NE(clock, nullptr) << "no run-mode window";
    EXPECT_TRUE(ShowsLocalTime(saver, false, offset)) << "UTC" << offset / 60;

    // The whole clock where the design puts it, scaled: a pixel or two of
    // rounding on each edge at most.
    Extent shown;
    EXPECT_TRUE(ShowsDesignedExtent(saver, 2, "extent-" + std::to_string(c.dpi), &shown));
    EXPECT_TRUE(shown.left >= c.width / 20 && shown.right < c.width - c.width / 20)
        << "lit over " << shown.text() << ", beyond the 5 % margins";
    EXPECT_TRUE(ColonBlinks()) << "drawn at this size";

    // The minute units digit, drawn at this size.
    Image screen;
    ClockReading r;
    ASSERT_TRUE(ReadClock(saver, screen, r));
    const RECT at = ClockLayout::Centred(scale).PictureRect(4, r.shift);
    const int digit = *r.digits[3];
    EXPECT_EQ(Count(screen, [](int, int, Rgb p) { return p.r != 0 || p.b != 0; }, at), 0) << "green only";
    EXPECT_GE(Count(screen, [](int, int, Rgb p) { return PartlyCovered(p); }, at), 60)
        << "slanted edges are smoothed by partly covered pixels";
    // The right-hand verticals' outer edge lies on whole pixels at these
    // densities: pure green, then glow, nothing in between, as a picture
    // blurred by enlarging would have.
    const bool upper = digit != 5 && digit != 6;  // every digit has b or c
    const int y = at.top + int(std::lround((upper ? 101 : 220) * scale));
    int x = at.left + int(std::lround(160 * scale));
    while (x < at.right && screen.At(x, y).g == 255) ++x;
    EXPECT_NEAR(x, at.left + 180 * scale, 2.0) << "the verticals end at column 180, scaled";
    EXPECT_LE(screen.At(x, y).g, 110) << "a sharp edge at " << x << "," << y;
    if (scale >= 1.5) {
      // The glow keeps its designed reach of 16 pixels times the scale: a
      // pixel whose middle lies 16.5 pixels out has this much of it.
      const double fade = 1 - 16.5 / (16 * scale);
      EXPECT_NEAR(screen.At(x + 16, y).g, 100 * fade * fade, 3) << "the glow 16 pixels right of the edge";
    }

    if (c.dpi == 192) {
      // Drawn at twice the size, not the 96-DPI picture doubled: that
      // would repeat each partly covered pixel in a 2 x 2 block.
      for (int parity : {0, 1}) {
        long inBlocks = 0, partlyHere = 0;
        for (int by = at.top + parity; by + 1 < at.bottom; by += 2)
          for (int bx = at.left + parity; bx + 1 < at.right; bx += 2) {
            const Rgb p = screen.At(bx, by);
            if (!PartlyCovered(p)) continue;
            ++partlyHere;
            inBlocks += screen.At(bx + 1, by) == p && screen.At(bx, by + 1) == p && screen.At(bx + 1, by + 1) == p;
          }
        EXPECT_LT(inBlocks * 2, partlyHere) << "partly covered pixels in uniform 2 x 2 blocks, parity " << parity;
      }
    }
    ASSERT_TRUE(PressKey('A', clock));
    EXPECT_TRUE(EndsNormally(saver));
  }
  {
    SCOPED_TRACE("10:08 at 192 DPI, lit over the README's picture of it at 96, twice the size about the centre");
    ASSERT_TRUE(UseScreen(2560, 1600));
    const Density scaled(192);
    SaverProcess saver = StartPicturedClock(registry);
    Extent lit;
    EXPECT_TRUE(WaitUntil([&] {
      lit = LitExtent(GrabScreen());
      return lit.Near(Extent{582, 2209, 519, 1068}, 2);
    })) << "lit over " << lit.text() << "; " << SaveScreenshot("pictured-192");
  }
}

// The panel drifts one physical pixel a tick at any density (here 192, with
// a tick a second and the screen looked at several times a second), also
// where the clock is fitted to a screen too small for twice its 96-DPI size
// (1920 x 1200: 80 % of 1920 over the clock's 978 pixels), whole on the
// screen. The screen grows to 2560 x 1600 while it runs (twice the design),
// then loses height only (half of 1080 over the clock's 327): each time the
// clock is laid out anew, centred, reads the time, blinks and drifts on; with
// a two-digit hour, so that every picture is in use and one put in
// another's place shows.
TEST_F(HighDpiWineOnly, FittedClockDriftsOnePixelAndFollowsTheScreen) {
  ASSERT_TRUE(UseScreen(1920, 1200));
  const Density scaled(192);
  UseDensity(192, 1.5706);
  registry.SetDword(L"ClockMoveDirection", 1);
  registry.SetDword(L"ClockMoveSpeed", 0);
  const int offset = OffsetForLocalHour(10);
  SaverProcess saver = StartInTimeZone(L"/s", offset);
  ASSERT_TRUE(saver.started()) << saver.error();
  EXPECT_TRUE(ShowsDesignedExtent(saver, 4, "fitted"));
  EXPECT_TRUE(DriftsOnePixelWithinItsMargins(saver, {PrimaryRect()}));
  for (const auto& [screen, fitted] : {std::pair{SIZE{2560, 1600}, 2.0}, {SIZE{2560, 1080}, 1.6514}}) {
    SCOPED_TRACE("the screen becomes " + std::to_string(screen.cx) + " x " + std::to_string(screen.cy));
    ASSERT_TRUE(UseScreen(screen.cx, screen.cy));
    UseDensity(192, fitted);
    EXPECT_TRUE(ShowsDesignedExtent(saver, 4, "refitted")) << "laid out anew";
    EXPECT_TRUE(ShowsLocalTime(saver, false, offset));
    EXPECT_TRUE(ColonBlinks(true, 5s));
    EXPECT_TRUE(DriftsOnePixelWithinItsMargins(saver, {PrimaryRect()}));
  }
}

// With "ClockOnEveryMonitor" set, the other monitor's clock is at its own
// density too: 1.5 times its designed size on a 1920 x 1080 monitor at 144
// DPI beside the 2560 x 1600 primary. Under Wine every monitor has the one
// density the saver starts at, so both are at 144 here.
TEST_F(HighDpiWineOnly, EveryMonitorsClockAtItsDensity) {
  ASSERT_TRUE(LayOutMonitors("2560x1600+0+0 1920x1080+2560+0"));
  ASSERT_TRUE(WaitUntil([] { return MonitorRects().size() == 2; })) << "Wine sees one monitor";
  const Density scaled(144);
  UseDensity(144, 1.5);
  registry.SetDword(L"ClockOnEveryMonitor", 1);
  SaverProcess saver = SaverProcess::Start(L"/s");
  ASSERT_NE(saver.WaitForWindow(kMainClass, kMainCaption), nullptr) << "no run-mode window";
  EXPECT_TRUE(EveryMonitorShowsTheSameTime(saver, {{{0, 0, 2560, 1600}, 1.5}, {{2560, 0, 4480, 1080}, 1.5}}));
}

TEST_F(HighDpiWineOnly, PointerThresholdGrowsWithTheDensity) {
  const Density scaled(192);
  UseDensity(192, 2.0);
  const POINT start{1200, 150};
  SaverProcess saver = StartSaver(start);
  EXPECT_TRUE(EndsOnlyOnAClearMove(saver, start, 4, 5));
}

// A host that scales with its screen gets the preview at its density too:
// 240 x 180 at 144 DPI, filling what a 96-DPI host's 160 x 120 fills; a host
// that does not scale itself gets the 96-DPI picture, which the system
// enlarges with the rest of its window. Wine gives every process the
// density it started at, so the host is a process of its own, started at
// 144 DPI (HostProbe.cpp).
TEST_F(HighDpiWineOnly, PreviewFollowsTheHostsDensity) {
  const Density scaled(144);
  for (const auto& [awareness, scale] : {std::pair{L"", 1.5}, {L" unaware", 1.0}}) {
    SCOPED_TRACE(scale == 1 ? "a host that does not scale itself" : "a host aware of each monitor's density");
    RegDeleteTreeW(HKEY_CURRENT_USER, kDoubleKey);
    SaverProcess probe = SaverProcess::Start(L"300 300 300 220" + std::wstring(awareness),
                                             PathFromEnvironment(L"LUMIDIAL_HOST_PROBE"));
    ASSERT_TRUE(probe.started()) << probe.error();
    ASSERT_TRUE(WaitUntil([] { return Recorded(L"HostWindow").has_value(); })) << "the host probe shows no window";
    HostWindow host(reinterpret_cast<HWND>(ULONG_PTR(*Recorded(L"HostWindow"))));
    ASSERT_TRUE(WaitUntil([&] { return host.ShowsOwnColour(); }));
    SaverProcess saver = SaverProcess::Start(L"/p " + host.Number());
    ASSERT_TRUE(saver.started()) << saver.error();
    const Extent lit = LitExtent(Art().preview);
    Extent designed;
    designed.Add(int(std::lround(lit.left * scale)), int(std::lround(lit.top * scale)));
    designed.Add(int(std::lround((lit.right + 1) * scale)) - 1, int(std::lround((lit.bottom + 1) * scale)) - 1);
    Extent shown;
    long outside = 0, notOurs = 0;
    EXPECT_TRUE(WaitUntil([&] {
      const Image image = host.Shown();
      shown = LitExtent(image);
      notOurs = Count(image, [](int, int, Rgb p) { return p.r != 0 || p.b != 0; });
      outside =
          Count(image, [&](int x, int y, Rgb p) { return (x >= 160 * scale || y >= 120 * scale) && !(p == Rgb{}); });
      return shown.Near(designed, 2) && outside == 0 && notOurs == 0;
    })) << "lit over " << shown.text() << ", designed " << designed.text() << "; " << outside
        << " pixels not black beyond the picture, " << notOurs << " not the saver's; " << SaveScreenshot("preview");
    ShowWindow(host.window, SW_HIDE);
    EXPECT_TRUE(EndsUnseen(saver));
  }
}

}  // namespace
}  // namespace e2e
