// Run mode on a desk of several monitors: an Xorg server with the dummy
// video driver whose layout scripts/monitors.sh sets and changes while the
// saver runs. The clock stays on the primary; every other monitor is black,
// with the X root's own colour showing wherever nothing of ours lies.
#include "ConfigureIds.h"
#include "SaverTest.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <type_traits>

namespace e2e {
namespace {

// X geometries, the primary first; Windows puts the primary at 0,0, so a
// monitor left of it has negative coordinates.
struct Desk {
  const char* geometries;
  std::vector<RECT> monitors;  // as Windows sees them, the primary first
};
const Desk kThree{"1280x1024+1024+0 1024x768+0+0 800x600+2304+100",
                  {{0, 0, 1280, 1024}, {-1024, 0, 0, 768}, {1280, 100, 2080, 700}}};
// A fourth monitor, below the primary.
const Desk kFour{"1280x1024+1024+0 1024x768+0+0 800x600+2304+100 640x480+1500+1024",
                 {{0, 0, 1280, 1024}, {-1024, 0, 0, 768}, {1280, 100, 2080, 700}, {476, 1024, 1116, 1504}}};
// As many monitors as kThree, the primary as it was: first the left one
// moved down, then the right one grown as well.
const Desk kLeftMoved{"1280x1024+1024+0 1024x768+0+256 800x600+2304+100",
                      {{0, 0, 1280, 1024}, {-1024, 256, 0, 1024}, {1280, 100, 2080, 700}}};
const Desk kRightResized{"1280x1024+1024+0 1024x768+0+256 1024x768+2304+100",
                         {{0, 0, 1280, 1024}, {-1024, 256, 0, 1024}, {1280, 100, 2304, 868}}};
// Two monitors gone, the primary grown.
const Desk kWide{"1600x1024+1024+0 1024x768+0+0", {{0, 0, 1600, 1024}, {-1024, 0, 0, 768}}};

constexpr const char* kStaged = "monitors laid out through the X server";
constexpr Rgb kRootColour{0x60, 0x40, 0xA0};
constexpr Rgb kBlack{};
// Under Wine without a window manager each top-level window takes up to two
// seconds to go; a saver with three of them needs longer than one with one.
constexpr Millis kExitTimeout = 40s;

std::vector<RECT> Sorted(std::vector<RECT> rects) {
  std::sort(rects.begin(), rects.end(),
            [](const RECT& a, const RECT& b) { return std::tie(a.left, a.top) < std::tie(b.left, b.top); });
  return rects;
}

bool Same(const std::vector<RECT>& a, const std::vector<RECT>& b) {
  const auto sa = Sorted(a), sb = Sorted(b);
  return std::equal(sa.begin(), sa.end(), sb.begin(), sb.end(),
                    [](const RECT& x, const RECT& y) { return EqualRect(&x, &y) != FALSE; });
}

std::vector<RECT> WindowRects(const std::vector<HWND>& windows) {
  std::vector<RECT> rects;
  for (HWND window : windows) GetWindowRect(window, &rects.emplace_back());
  return rects;
}

class MultiMonitorWineOnly : public WineOnly<SaverTest> {
 public:
  MultiMonitorWineOnly() : WineOnly(kStaged) {}

 protected:
  void SetUp() override {
    WineOnly::SetUp();
    if (IsSkipped()) return;
    ASSERT_TRUE(Layout(kThree));
    ASSERT_TRUE(RunUnix("/usr/bin/xsetroot -solid '#6040a0'"));
  }

  // Lays the monitors out and waits until Wine shows this process the new
  // layout.
  static ::testing::AssertionResult Layout(const Desk& desk) {
    if (auto laid = LayOutMonitors(desk.geometries); !laid) return laid;
    if (WaitUntil([&] { return Same(MonitorRects(), desk.monitors); })) return ::testing::AssertionSuccess();
    std::string seen;
    for (const RECT& r : MonitorRects()) seen.append(" ").append(Describe(r));
    return ::testing::AssertionFailure() << "Wine sees the monitors" << seen << " after laying out "
                                         << desk.geometries << " (an Xorg dummy server is needed)";
  }

  // Waits until run mode covers `desk` exactly: the clock window the
  // primary (as Windows places it, and on the screen: no pixel of the root
  // colour left there), one black window each other monitor, the root
  // colour between them; the windows keep out of the task bar and never take
  // activation.
  static ::testing::AssertionResult Covers(const SaverProcess& saver, HWND clock, const Desk& desk) {
    const std::vector<RECT> others(desk.monitors.begin() + 1, desk.monitors.end());
    std::vector<HWND> covers;
    std::string problem;
    WaitUntil([&] {
      covers = TopLevelWindows(saver.pid(), L"TCoverForm");
      const RECT clockRect = WindowRect(clock);
      problem.clear();
      if (!saver.IsRunning()) return problem = "the saver ended", true;
      if (!EqualRect(&clockRect, &desk.monitors[0]))
        problem = std::string("the clock window lies at ").append(Describe(clockRect));
      else if (!Same(WindowRects(covers), others)) {
        problem = "covering windows at";
        for (const RECT& r : Sorted(WindowRects(covers))) problem.append(" ").append(Describe(r));
        problem.append(", not one on each other monitor:");
        for (const RECT& r : Sorted(others)) problem.append(" ").append(Describe(r));
      }
      const RECT& primary = desk.monitors[0];
      if (problem.empty() &&
          Unlike(primary, kRootColour) != (primary.right - primary.left) * (primary.bottom - primary.top))
        problem = "the root colour shows on the primary " + Describe(primary);
      for (const RECT& monitor : others)
        if (problem.empty() && Unlike(monitor, kBlack) != 0) problem = Describe(monitor) + " is not black";
      return problem.empty();
    });
    if (!problem.empty()) return ::testing::AssertionFailure() << problem << "; " << SaveScreenshot("covers");
    for (HWND cover : covers) {
      const auto ex = GetWindowLongPtrW(cover, GWL_EXSTYLE);
      if ((ex & (WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE)) !=
          (WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE))
        return ::testing::AssertionFailure() << "a covering window is not a top-most, non-activating tool window";
      if (GetWindow(cover, GW_OWNER) != GetWindow(clock, GW_OWNER))
        return ::testing::AssertionFailure() << "a covering window is not owned by the program's hidden window";
    }
    return ::testing::AssertionSuccess();
  }

  // Nothing of ours on any monitor: the root colour everywhere.
  static ::testing::AssertionResult NothingCovers(const Desk& desk) {
    long unlike = 0;
    RECT where{};
    if (WaitUntil([&] {
          for (const RECT& monitor : desk.monitors)
            if ((unlike = Unlike(monitor, kRootColour)) != 0) return where = monitor, false;
          return true;
        }))
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << unlike << " pixels of " << Describe(where)
                                         << " do not show the root colour; " << SaveScreenshot("left-over");
  }

  static bool ActiveAndFocused(HWND clock) {
    const GUITHREADINFO info = ThreadInfo(clock);
    return info.hwndActive == clock && info.hwndFocus == clock && GetForegroundWindow() == clock;
  }
};

TEST_F(MultiMonitorWineOnly, EveryMonitorIsCoveredAndTheClockKeepsToThePrimary) {
  const int offset = OffsetForLocalHour(15);
  SaverProcess saver = StartInTimeZone(L"/s", offset);
  ASSERT_TRUE(saver.started()) << saver.error();
  HWND clock = saver.WaitForWindow(kMainClass, kMainCaption);
  ASSERT_NE(clock, nullptr) << "no run-mode window";
  EXPECT_TRUE(Covers(saver, clock, kThree)) << "every monitor covered: one left of the primary, one right";
  EXPECT_TRUE(ShowsLocalTime(saver, false, offset)) << "the clock on the primary, centred, shows the time";
  const RECT belowLeft{-1024, 768, 0, 1024};
  EXPECT_EQ(Unlike(belowLeft, kRootColour), 0) << "outside every monitor the root shows";
  ASSERT_TRUE(PressKey('A', clock));
  EXPECT_TRUE(EndsNormally(saver, nullptr, kExitTimeout));
  EXPECT_TRUE(NothingCovers(kThree)) << "the covering windows go with the clock";
}

TEST_F(MultiMonitorWineOnly, PointerAndKeysCountOnEveryMonitor) {
  {
    SCOPED_TRACE("left of the primary, the clock holding the capture: negative positions");
    const POINT start{-500, 300};
    SaverProcess saver = StartSaver(start);
    ASSERT_TRUE(MovePointer({start.x + 2, start.y + 2}));
    EXPECT_TRUE(KeepsTicking(saver)) << "2 + 2 pixels do not end the saver";
    ASSERT_TRUE(MovePointer({start.x + 3, start.y + 3}));
    EXPECT_TRUE(EndsNormally(saver, nullptr, kExitTimeout)) << "3 + 3 pixels end it";
  }
  {
    SCOPED_TRACE("right of the primary, after a left click");
    const POINT start{1600, 400};
    HWND clock = nullptr;
    SaverProcess saver = StartSaver(start, &clock);
    ASSERT_TRUE(Click(clock));
    ASSERT_TRUE(WaitUntil([&] { return CaptureOf(clock) == nullptr; })) << "the click ends the capture";
    ASSERT_TRUE(Click(clock));  // now on the covering window itself
    EXPECT_TRUE(KeepsTicking(saver, 1) && ActiveAndFocused(clock))
        << "clicking a covering window leaves the clock window active and focused";
    ASSERT_TRUE(MovePointer({start.x + 2, start.y + 2}));
    EXPECT_TRUE(KeepsTicking(saver)) << "2 + 2 pixels over the covering window do not end the saver";
    EXPECT_TRUE(PointerBecomes(false)) << "no pointer shows over the covering window";
    ASSERT_TRUE(MovePointer({start.x + 3, start.y + 3}));
    EXPECT_TRUE(EndsNormally(saver, nullptr, kExitTimeout)) << "3 + 3 pixels over it do";
  }
  {
    SCOPED_TRACE("a key, with the pointer left of the primary after a click");
    HWND clock = nullptr;
    SaverProcess saver = StartSaver({-300, 200}, &clock);
    ASSERT_TRUE(Click(clock) && Click(clock));
    ASSERT_TRUE(WaitUntil([&] { return CaptureOf(clock) == nullptr; }));
    ASSERT_TRUE(PressKey('A', clock));
    EXPECT_TRUE(EndsNormally(saver, nullptr, kExitTimeout)) << "a key ends the saver";
    EXPECT_TRUE(NothingCovers(kThree)) << "nothing of ours is left on any monitor";
  }
}

TEST_F(MultiMonitorWineOnly, MonitorsComingGoingAndResizingAreFollowed) {
  HWND clock = nullptr;
  SaverProcess saver = StartSaver({640, 100}, &clock);
  ASSERT_TRUE(Covers(saver, clock, kThree));
  ASSERT_TRUE(Layout(kFour));
  EXPECT_TRUE(Covers(saver, clock, kFour)) << "a monitor added is covered";
  EXPECT_TRUE(KeepsTicking(saver)) << "the clock goes on";
  ASSERT_TRUE(Layout(kWide));
  EXPECT_TRUE(Covers(saver, clock, kWide))
      << "two monitors removed and the primary grown: the clock window covers all of the primary";
  EXPECT_TRUE(WaitUntil([&] { return ActiveAndFocused(clock); })) << "the clock window keeps the keyboard";
  ASSERT_TRUE(PressKey('A', clock));
  EXPECT_TRUE(EndsNormally(saver, nullptr, kExitTimeout)) << "a key still ends the saver";
  EXPECT_TRUE(NothingCovers(kWide));
}

// The same number of monitors and the same primary, laid out anew: each
// monitor's covering window follows it.
TEST_F(MultiMonitorWineOnly, MonitorsMovedOrResizedAreCoveredAnew) {
  HWND clock = nullptr;
  SaverProcess saver = StartSaver({640, 100}, &clock);
  ASSERT_TRUE(Covers(saver, clock, kThree));
  ASSERT_TRUE(Layout(kLeftMoved));
  EXPECT_TRUE(Covers(saver, clock, kLeftMoved)) << "the monitor moved is covered where it is now, and only there";
  ASSERT_TRUE(Layout(kRightResized));
  EXPECT_TRUE(Covers(saver, clock, kRightResized)) << "the monitor resized is covered to its new edges";
  EXPECT_TRUE(KeepsTicking(saver)) << "the clock goes on on the primary";
  EXPECT_TRUE(WaitUntil([&] { return ActiveAndFocused(clock); })) << "the clock window keeps the keyboard";
  ASSERT_TRUE(PressKey('A', clock));
  EXPECT_TRUE(EndsNormally(saver, nullptr, kExitTimeout)) << "a key still ends the saver";
  EXPECT_TRUE(NothingCovers(kRightResized));
}

// The password prompt (the password.cpl double, held open) shows on the
// primary, where the pointer is; the other monitors stay black meanwhile. A
// monitor added while it runs is covered, and the prompt keeps the keyboard;
// another program taking the foreground meanwhile neither ends the saver nor
// asks for the password again.
TEST_F(MultiMonitorWineOnly, OtherMonitorsStayCoveredWhileThePasswordPromptRuns) {
  HeldPasswordPrompt held;
  ASSERT_TRUE(held.cpl.installed());
  HWND clock = nullptr;
  SaverProcess saver = StartSaver({640, 300}, &clock);
  ASSERT_TRUE(Covers(saver, clock, kThree));
  ASSERT_TRUE(PressKey('A', clock));
  const HWND prompt = WaitForPrompt(saver);
  ASSERT_NE(prompt, nullptr) << "the password prompt never showed";
  EXPECT_TRUE(Covers(saver, clock, kThree)) << "the other monitors stay covered while the prompt runs";

  // Windows announces a new layout with WM_DISPLAYCHANGE, which reaches the
  // clock window inside the prompt's message loop; Wine announces nothing,
  // so the test does.
  ASSERT_TRUE(Layout(kFour));
  PostMessageW(clock, WM_DISPLAYCHANGE, 32, MAKELPARAM(1280, 1024));
  EXPECT_TRUE(Covers(saver, clock, kFour)) << "a monitor added while the prompt runs is covered";
  auto promptHasTheKeyboard = [&] {
    const HWND focus = ThreadInfo(prompt).hwndFocus;
    return (focus == prompt || IsChild(prompt, focus)) && GetForegroundWindow() == prompt;
  };
  EXPECT_FALSE(WaitUntil([&] { return !promptHasTheKeyboard(); }, 3s))
      << "the prompt lost the keyboard; the foreground is a " << Narrow(WindowClass(GetForegroundWindow()));

  std::unique_ptr<std::remove_pointer_t<HWND>, decltype(&DestroyWindow)> other(
      CreateWindowExW(0, L"STATIC", L"Another program", WS_POPUP | WS_VISIBLE, 100, 100, 200, 100, nullptr,
                      nullptr, nullptr, nullptr),
      &DestroyWindow);
  ASSERT_TRUE(SetForegroundWindow(other.get())) << "error " << GetLastError();
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == other.get(); }));
  PostMessageW(prompt, WM_CLOSE, 0, 0);  // refused
  EXPECT_TRUE(KeepsTicking(saver)) << "the saver runs on after the refusal";
  ASSERT_EQ(Recorded(L"VerifyCalls"), 1u) << "the password was asked for once";
  EXPECT_TRUE(Covers(saver, clock, kFour)) << "and after a refusal";
  other.reset();
  SetDword(kDoubleKey, L"PromptHold", 0);
  SetDword(kDoubleKey, L"VerifyAnswer", 1);
  // A key would go to whichever window the system made the foreground when
  // the other program's went; the pointer moves over the clock.
  ASSERT_TRUE(MovePointerBy(PointerThreshold() + 1, PointerThreshold() + 1));
  EXPECT_TRUE(EndsNormally(saver, nullptr, kExitTimeout)) << "allowed: the saver ends";
  EXPECT_TRUE(NothingCovers(kFour));
}

// With "ClockOnEveryMonitor" set, every monitor shows a clock of its own in
// place of its black window, fitted to it (the 1024 x 768 and 800 x 600
// monitors are too small for the 96-DPI clock to drift on), all showing the
// same time; a monitor added while it runs gets its clock, and a move over
// another monitor's clock ends the saver.
TEST_F(MultiMonitorWineOnly, EveryMonitorShowsItsOwnClockWhenAsked) {
  registry.SetDword(L"ClockOnEveryMonitor", 1);
  HWND clock = nullptr;
  SaverProcess saver = StartSaver({640, 100}, &clock);
  EXPECT_TRUE(ShowsLocalTime(saver, false, LocalUtcOffset()));
  // The design's scales: 1 on the primary; on the others 80 % of their
  // width over the clock's 978 pixels.
  std::vector<MonitorClock> clocks{
      {kThree.monitors[0], 1.0}, {kThree.monitors[1], 0.8376}, {kThree.monitors[2], 0.6544}};
  EXPECT_TRUE(EveryMonitorShowsTheSameTime(saver, clocks));
  ASSERT_TRUE(Layout(kFour));
  clocks.push_back({kFour.monitors[3], 0.5235});
  EXPECT_TRUE(EveryMonitorShowsTheSameTime(saver, clocks)) << "a monitor added gets its clock";

  ASSERT_TRUE(Click(clock) && Click(clock));
  ASSERT_TRUE(WaitUntil([&] { return CaptureOf(clock) == nullptr; })) << "the click ends the capture";
  // Inside the minute units' picture whether the hour has one digit or two.
  const ClockLayout there = ClockLayout::CentredOn(kFour.monitors[1], 0.8376);
  ASSERT_TRUE(MovePointer({there.panel.x + there.Scaled(812), there.panel.y + there.Scaled(160)}));
  EXPECT_TRUE(EndsNormally(saver, nullptr, kExitTimeout)) << "a move over the left monitor's clock ends the saver";
  EXPECT_TRUE(NothingCovers(kFour));
}

// Each monitor's clock drifts at the chosen pace (here a pixel a tick,
// horizontally) between its own monitor's margins.
TEST_F(MultiMonitorWineOnly, EveryMonitorsClockDriftsWithinItsOwnMonitor) {
  registry.SetDword(L"ClockOnEveryMonitor", 1);
  registry.SetDword(L"ClockMoveDirection", 1);
  registry.SetDword(L"ClockMoveSpeed", 0);
  SaverProcess saver = SaverProcess::Start(L"/s");
  ASSERT_NE(saver.WaitForWindow(kMainClass, kMainCaption), nullptr) << "no run-mode window";
  EXPECT_TRUE(DriftsOnePixelWithinItsMargins(saver, {kThree.monitors[1], kThree.monitors[2]}));
  saver.Terminate();
}

TEST_F(MultiMonitorWineOnly, DialogAndPreviewCoverNothing) {
  const std::vector<RECT> others(kThree.monitors.begin() + 1, kThree.monitors.end());
  auto nothingElsewhere = [&](const SaverProcess& saver) {
    for (const RECT& monitor : others) EXPECT_EQ(Unlike(monitor, kRootColour), 0) << Describe(monitor);
    EXPECT_TRUE(TopLevelWindows(saver.pid(), L"TCoverForm", nullptr, true).empty());
  };
  {
    SaverProcess dialog = SaverProcess::Start(L"/c");
    ASSERT_TRUE(dialog.WaitForWindow(lumidial::cfg::kFormClass)) << "no settings dialog";
    nothingElsewhere(dialog);
  }
  HWND host = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 300, 300,
                              160, 120, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(host, nullptr);
  SaverProcess preview = SaverProcess::Start(L"/p " + std::to_wstring(reinterpret_cast<INT_PTR>(host)));
  const RECT hostRect{300, 300, 460, 420};
  EXPECT_TRUE(WaitUntil([&] { return Difference(GrabScreen(hostRect), 0, 0, Art().preview) < 0.5; }))
      << "the preview shows in the host's window";
  nothingElsewhere(preview);
  DestroyWindow(host);
  EXPECT_TRUE(EndsNormally(preview));
}

}  // namespace
}  // namespace e2e
