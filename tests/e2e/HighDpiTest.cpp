// The clock on scaled screens, in a session of its own with a 2560 x 1600
// screen ("./dev.sh test" starts it; label hidpi). At 120, 144 and 192 DPI
// the saver shows its clock at the designed size times the density over 96,
// centred and drawn sharp at that size; the burn-in drift still steps one
// pixel, the pointer must move further, and the preview fills a scaled
// host's preview area.
#include "HostWindow.h"
#include "SaverTest.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <sstream>

namespace e2e {
namespace {

constexpr int kScreenWidth = 2560, kScreenHeight = 1600;

// At least half-bright: a segment covers at least part of the pixel (the
// glow never is). Partly covered: lit, short of the pure green.
bool Lit(Rgb p) { return p.g >= 128; }
bool PartlyCovered(Rgb p) { return p.g >= 128 && p.g < 255; }

// A lit extent, inclusive.
struct Extent {
  int left = INT_MAX, right = INT_MIN, top = INT_MAX, bottom = INT_MIN;
  bool empty() const { return right < left; }
  void Add(int x, int y) {
    left = std::min(left, x), right = std::max(right, x);
    top = std::min(top, y), bottom = std::max(bottom, y);
  }
  bool Near(const Extent& other, int tolerance) const {
    return !empty() && !other.empty() && std::abs(left - other.left) <= tolerance &&
           std::abs(right - other.right) <= tolerance && std::abs(top - other.top) <= tolerance &&
           std::abs(bottom - other.bottom) <= tolerance;
  }
  std::string text() const {
    std::ostringstream out;
    out << "columns " << left << ".." << right << ", rows " << top << ".." << bottom;
    return out.str();
  }
};

Extent LitExtent(const Image& image) {
  Extent extent;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (Lit(image.At(x, y))) extent.Add(x, y);
  return extent;
}

class HighDpi : public SaverTest {
 protected:
  void SetUp() override {
    SaverTest::SetUp();
    ASSERT_EQ(std::pair(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)),
              std::pair(kScreenWidth, kScreenHeight))
        << "these tests need the 2560 x 1600 screen of the session \"./dev.sh test\" starts for them";
  }

  // Where the lit clock belongs for what `r` read: each picture shown, with
  // the lit extent of its 96-DPI artwork at its designed place in the
  // centred panel, all of it times the density over 96.
  Extent DesignedExtent(const ClockReading& r) const {
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

  // Waits for a readable clock; `screen` and `reading` then hold it.
  bool ReadClock(const SaverProcess& saver, Image& screen, ClockReading& reading) const {
    return WaitUntil([&] {
      screen = GrabScreen();
      reading = Reader().Read(screen);
      return (reading.recognised && reading.showsTime()) || !saver.IsRunning();
    }) && saver.IsRunning();
  }
};

// Each density in a time zone picked for a one-digit and two-digit hours.
TEST_F(HighDpi, ClockKeepsItsDesignedSizeCentredAndSharp) {
  struct Case {
    int dpi, localHour;
  } const cases[] = {{120, 15}, {144, 12}, {192, 22}};
  for (const Case& c : cases) {
    SCOPED_TRACE("at " + std::to_string(c.dpi) + " DPI");
    const Density scaled(c.dpi);
    density = c.dpi;
    const double scale = c.dpi / 96.0;
    const int offset = OffsetForLocalHour(c.localHour);
    SaverProcess saver = SaverProcess::StartInTimeZone(L"/s", offset);
    ASSERT_TRUE(saver.started()) << saver.error();
    ASSERT_NE(saver.WaitForWindow(kMainClass, kMainCaption), nullptr) << "no run-mode window";
    EXPECT_TRUE(ShowsLocalTime(saver, false, offset)) << "UTC" << offset / 60;

    // The whole clock where the design puts it, scaled: a pixel or two of
    // rounding on each edge at most.
    Image screen;
    ClockReading r;
    Extent shown, designed;
    EXPECT_TRUE(WaitUntil([&] {
      if (!ReadClock(saver, screen, r)) return false;
      shown = LitExtent(screen);
      designed = DesignedExtent(r);
      return shown.Near(designed, 2);
    })) << "the clock \"" << r.text() << "\" is lit over " << shown.text() << ", designed "
        << designed.text() << "; " << SaveScreenshot("extent-" + std::to_string(c.dpi));

    // The minute units digit, drawn at this size.
    ASSERT_TRUE(ReadClock(saver, screen, r));
    const RECT at = ClockLayout::ForPrimaryScreen(c.dpi).PictureRect(4, r.shift);
    const int digit = *r.digits[3];
    long partly = 0, coloured = 0;
    for (int y = at.top; y < at.bottom; ++y)
      for (int x = at.left; x < at.right; ++x) {
        partly += PartlyCovered(screen.At(x, y));
        coloured += screen.At(x, y).r != 0 || screen.At(x, y).b != 0;
      }
    EXPECT_EQ(coloured, 0) << "green only";
    EXPECT_GE(partly, 60) << "slanted edges are smoothed by partly covered pixels";
    // The right-hand verticals' outer edge lies on whole pixels at these
    // densities: pure green, then glow, nothing in between, as a picture
    // blurred by enlarging would have.
    const bool upper = digit != 5 && digit != 6;  // every digit has b or c
    const int y = at.top + int(std::lround((upper ? 101 : 220) * scale));
    int x = at.left + int(std::lround(160 * scale));
    while (x < at.right && screen.At(x, y).g == 255) ++x;
    EXPECT_NEAR(x, at.left + 180 * scale, 2.0) << "the verticals end at column 180, scaled";
    EXPECT_LE(screen.At(x, y).g, 110) << "a sharp edge at " << x << "," << y;

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
    ASSERT_TRUE(Xdotool("key a"));
    EXPECT_TRUE(EndsNormally(saver));
  }
}

// The panel drifts one physical pixel a tick at any density (here 192, with
// a tick a second and the screen looked at several times a second).
TEST_F(HighDpi, DriftStillStepsOnePixel) {
  const Density scaled(192);
  density = 192;
  registry.SetDword(L"ClockMoveDirection", 1);
  registry.SetDword(L"ClockMoveSpeed", 0);
  SaverProcess saver = SaverProcess::Start(L"/s");
  ASSERT_TRUE(saver.started()) << saver.error();
  using Clock = std::chrono::steady_clock;
  std::optional<Extent> last;
  Clock::time_point lastAt;
  int singleSteps = 0;
  std::string steps;
  WaitUntil(
      [&] {
        const Clock::time_point now = Clock::now();
        const Image screen = GrabScreen();
        const Extent e = LitExtent(screen);
        if (!saver.IsRunning()) return true;
        if (e.empty()) return false;
        if (last && (e.left != last->left || e.top != last->top)) {
          const int dx = e.left - last->left, dy = e.top - last->top;
          const bool sameWidth = e.right - e.left == last->right - last->left;
          // Within a second no two ticks can have passed.
          if (sameWidth && (now - lastAt < 1s || (std::abs(dx) == 1 && dy == 0))) {
            steps += " " + std::to_string(dx) + "," + std::to_string(dy);
            singleSteps += std::abs(dx) == 1 && dy == 0;
          }
        }
        last = e, lastAt = now;
        return singleSteps >= 4;
      },
      20s, 100ms);
  EXPECT_TRUE(saver.IsRunning());
  EXPECT_GE(singleSteps, 4) << "steps seen:" << steps;
  EXPECT_EQ(steps.find("2"), std::string::npos) << "steps seen:" << steps;
  EXPECT_EQ(steps.find(",1"), std::string::npos) << "horizontal only; steps seen:" << steps;
  EXPECT_EQ(steps.find(",-1"), std::string::npos) << "horizontal only; steps seen:" << steps;
  saver.Terminate();
}

// More than round(2 x 2) = 4 pixels on both axes at 192 DPI.
TEST_F(HighDpi, PointerThresholdGrowsWithTheDensity) {
  const Density scaled(192);
  density = 192;
  const POINT start{1200, 150};
  SaverProcess saver = StartSaver(start);
  ASSERT_TRUE(saver.IsRunning());
  ASSERT_TRUE(MovePointer({start.x + 4, start.y + 4}));
  EXPECT_TRUE(KeepsTicking(saver)) << "4 pixels on both axes do not end the saver";
  ASSERT_TRUE(MovePointer({start.x + 5, start.y + 5}));
  EXPECT_TRUE(EndsNormally(saver)) << "5 pixels on both axes end it";
}

// A host that scales with its screen gets the preview at its density too:
// 240 x 180 at 144 DPI, filling what a 96-DPI host's 160 x 120 fills. Wine
// gives every process the density it started at, so the host is a process
// of its own, started at 144 DPI (HostProbe.cpp).
TEST_F(HighDpi, PreviewFillsAScaledHostsWindow) {
  const Density scaled(144);
  RegDeleteTreeW(HKEY_CURRENT_USER, kDoubleKey);
  SaverProcess probe = SaverProcess::Start(L"300 300 300 220", PathFromEnvironment(L"LUMIDIAL_HOST_PROBE"));
  ASSERT_TRUE(probe.started()) << probe.error();
  ASSERT_TRUE(WaitUntil([] { return Recorded(L"HostWindow").has_value(); })) << "the host probe shows no window";
  HostWindow host(reinterpret_cast<HWND>(ULONG_PTR(*Recorded(L"HostWindow"))));
  ASSERT_TRUE(WaitUntil([&] { return host.ShowsOwnColour(); }));
  SaverProcess saver = SaverProcess::Start(L"/p " + host.Number());
  ASSERT_TRUE(saver.started()) << saver.error();
  const Extent lit = LitExtent(Art().preview);
  Extent designed;
  designed.Add(int(std::lround(lit.left * 1.5)), int(std::lround(lit.top * 1.5)));
  designed.Add(int(std::lround((lit.right + 1) * 1.5)) - 1, int(std::lround((lit.bottom + 1) * 1.5)) - 1);
  Extent shown;
  long outside = 0, notOurs = 0;
  EXPECT_TRUE(WaitUntil([&] {
    const Image image = host.Shown();
    shown = LitExtent(image);
    outside = notOurs = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) {
        const Rgb p = image.At(x, y);
        notOurs += p.r != 0 || p.b != 0;
        outside += (x >= 240 || y >= 180) && !(p == Rgb{});
      }
    return shown.Near(designed, 2) && outside == 0 && notOurs == 0;
  })) << "lit over " << shown.text() << ", designed " << designed.text() << "; " << outside
      << " pixels not black beyond 240 x 180, " << notOurs << " not the saver's; " << SaveScreenshot("preview");
  ShowWindow(host.window, SW_HIDE);
  bool seenWindow = false;
  EXPECT_TRUE(EndsNormally(saver, &seenWindow));
  EXPECT_FALSE(seenWindow);
}

}  // namespace
}  // namespace e2e
