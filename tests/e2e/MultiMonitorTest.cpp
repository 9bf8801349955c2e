// Run mode on a desk of several monitors: an Xorg server with the dummy
// video driver whose layout scripts/monitors.sh sets and changes while the
// saver runs. The clock window covers the primary; a window of the saver,
// black or with a clock of its own, each other monitor, kept in place; the
// X root's own colour shows wherever nothing of ours lies.
#include "ConfigureIds.h"
#include "SaverTest.h"
#include "harness/HostWindow.h"

#include <algorithm>
#include <map>
#include <memory>

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
// A fourth monitor, below the left one.
const Desk kFour{"1280x1024+1024+0 1024x768+0+0 800x600+2304+100 640x480+0+768",
                 {{0, 0, 1280, 1024}, {-1024, 0, 0, 768}, {1280, 100, 2080, 700}, {-1024, 768, -384, 1248}}};
// As many monitors as kThree, the primary as it was: first the left one
// moved down, then the right one grown as well.
const Desk kLeftMoved{"1280x1024+1024+0 1024x768+0+256 800x600+2304+100",
                      {{0, 0, 1280, 1024}, {-1024, 256, 0, 1024}, {1280, 100, 2080, 700}}};
const Desk kRightResized{"1280x1024+1024+0 1024x768+0+256 1024x768+2304+100",
                         {{0, 0, 1280, 1024}, {-1024, 256, 0, 1024}, {1280, 100, 2304, 868}}};
// Of kFour the primary grown and the fourth one kept, now listed first; at
// X 0 still, or the X server would shift the whole desk, pointer and all.
const Desk kWide{"1600x1024+1024+0 640x480+0+768", {{0, 0, 1600, 1024}, {-1024, 768, -384, 1248}}};

constexpr const char* kStaged = "monitors laid out through the X server";
constexpr Rgb kRootColour{0x60, 0x40, 0xA0};
constexpr Rgb kBlack{};
// Under Wine without a window manager each top-level window takes up to two
// seconds to go; a saver with three of them needs longer than one with one.
constexpr Millis kExitTimeout = 40s;

std::vector<RECT> WindowRects(const std::vector<HWND>& windows) {
  std::vector<RECT> rects;
  for (HWND window : windows) rects.push_back(WindowRect(window));
  return rects;
}

// Left to right, so that two lists of the same rectangles compare equal.
std::string Described(std::vector<RECT> rects) {
  std::sort(rects.begin(), rects.end(),
            [](const RECT& a, const RECT& b) { return std::tie(a.left, a.top) < std::tie(b.left, b.top); });
  std::string text;
  for (const RECT& r : rects) text.append(" ").append(Describe(r));
  return text;
}

// The windows right below `clock`, as many as `covers`, are those: top-most,
// non-activating tool windows of the clock window's owner whose black leaves
// their children (a clock) alone.
bool JustBelow(HWND clock, const std::vector<HWND>& covers) {
  constexpr LONG_PTR kExStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
  HWND next = clock;
  for (size_t i = 0; i < covers.size(); ++i)
    if (next = GetWindow(next, GW_HWNDNEXT); std::find(covers.begin(), covers.end(), next) == covers.end() ||
                                            (GetWindowLongPtrW(next, GWL_EXSTYLE) & kExStyle) != kExStyle ||
                                            !(GetWindowLongPtrW(next, GWL_STYLE) & WS_CLIPCHILDREN) ||
                                            GetWindow(next, GW_OWNER) != GetWindow(clock, GW_OWNER))
      return false;
  return true;
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
    if (WaitUntil([&] { return Described(MonitorRects()) == Described(desk.monitors); }))
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "Wine sees the monitors" << Described(MonitorRects()) << " after "
                                         << desk.geometries << " (an Xorg dummy server is needed)";
  }

  // Waits until run mode covers `desk` exactly: the clock window the
  // primary (as Windows places it, and on the screen: no pixel of the root
  // colour left there), one black window each other monitor (JustBelow the
  // clock window), the root colour between them.
  static ::testing::AssertionResult Covers(const SaverProcess& saver, HWND clock, const Desk& desk) {
    const RECT& primary = desk.monitors[0];
    const std::vector<RECT> others(desk.monitors.begin() + 1, desk.monitors.end());
    std::string problem;
    WaitUntil([&] {
      const std::vector<HWND> covers = TopLevelWindows(saver.pid(), L"TCoverForm");
      problem.clear();
      if (!saver.IsRunning()) return problem = "the saver ended", true;
      if (Describe(WindowRect(clock)) != Describe(primary))
        problem = "the clock window lies at " + Describe(WindowRect(clock));
      else if (Described(WindowRects(covers)) != Described(others))
        problem = "covering windows at" + Described(WindowRects(covers)) + ", not one on each other monitor";
      else if (!JustBelow(clock, covers))
        problem = "the covering windows are not the program's top-most tool windows right below the clock";
      else if (Unlike(primary, kRootColour) != (primary.right - primary.left) * (primary.bottom - primary.top))
        problem = "the root colour shows on the primary " + Describe(primary);
      for (const RECT& monitor : others)
        if (problem.empty() && Unlike(monitor, kBlack) != 0) problem = Describe(monitor) + " is not black";
      return problem.empty();
    });
    if (problem.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << problem << "; " << SaveScreenshot("covers");
  }

  // `input` (a key, a move) ends the saver, and nothing of ours is left:
  // the root colour all over the desk.
  static ::testing::AssertionResult Ends(::testing::AssertionResult input, const SaverProcess& saver) {
    if (!input) return input;
    if (auto ended = EndsNormally(saver, nullptr, kExitTimeout); !ended) return ended;
    long unlike = 0;
    if (WaitUntil([&] { return (unlike = Unlike(DeskRect(), kRootColour)) == 0; }))
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << unlike << " pixels of the desk " << Describe(DeskRect())
                                         << " do not show the root colour; " << SaveScreenshot("left-over");
  }

  static bool ActiveAndFocused(HWND clock) {
    const GUITHREADINFO info = ThreadInfo(clock);
    return info.hwndActive == clock && info.hwndFocus == clock && GetForegroundWindow() == clock;
  }

  // Lays out `desks` in turn while the saver runs: each covered exactly
  // (`what` says how), the clock going on, a monitor that did not change
  // keeping its window, whatever came or went before it in the listing.
  void FollowsLayouts(std::initializer_list<std::pair<const Desk*, const char*>> desks) {
    HWND clock = nullptr;
    SaverProcess saver = StartSaver({640, 100}, &clock);
    ASSERT_TRUE(Covers(saver, clock, kThree));
    for (const auto& [desk, what] : desks) {
      std::map<std::string, HWND> before;  // the covering windows by where they lie
      for (HWND cover : TopLevelWindows(saver.pid(), L"TCoverForm")) before[Describe(WindowRect(cover))] = cover;
      ASSERT_TRUE(Layout(*desk));
      EXPECT_TRUE(Covers(saver, clock, *desk)) << what;
      EXPECT_TRUE(KeepsTicking(saver)) << "the clock goes on";
      for (HWND cover : TopLevelWindows(saver.pid(), L"TCoverForm")) {
        const auto was = before.find(Describe(WindowRect(cover)));
        EXPECT_TRUE(was == before.end() || was->second == cover) << "a new window over " << was->first;
      }
    }
    EXPECT_TRUE(WaitUntil([&] { return ActiveAndFocused(clock); })) << "the clock window keeps the keyboard";
    EXPECT_TRUE(Ends(PressKey('A', clock), saver)) << "a key still ends the saver";
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
  EXPECT_EQ(Unlike({-1024, 768, 0, 1024}, kRootColour), 0) << "outside every monitor (below the left) the root shows";
  EXPECT_TRUE(Ends(PressKey('A', clock), saver)) << "the covering windows go with the clock";
}

// Another program moving, resizing or hiding a covering window, or putting
// a top-most window of its own right below the clock window: within about
// a second the covers are back over their monitors, right below the clock.
TEST_F(MultiMonitorWineOnly, CoversMovedFromOutsideArePutBack) {
  HWND clock = nullptr;
  SaverProcess saver = StartSaver({640, 100}, &clock);
  ASSERT_TRUE(Covers(saver, clock, kThree));
  const std::vector<HWND> covers = TopLevelWindows(saver.pid(), L"TCoverForm");
  {
    // Shown first: Wine restacks a new window once the X server has mapped it.
    HostWindow other({100, 100}, {200, 100});
    ASSERT_TRUE(WaitUntil([&] { return other.ShowsOwnColour(); }));
    ASSERT_TRUE(SetWindowPos(other.window, clock, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE));
    EXPECT_TRUE(Covers(saver, clock, kThree)) << "the covers back above another program's top-most window";
  }
  ASSERT_TRUE(SetWindowPos(covers[0], nullptr, 100, 100, 300, 200, SWP_NOZORDER | SWP_NOACTIVATE));
  ShowWindow(covers[1], SW_HIDE);
  EXPECT_TRUE(Covers(saver, clock, kThree)) << "one moved onto the primary and resized, one hidden";
  EXPECT_TRUE(Ends(PressKey('A', clock), saver));
}

TEST_F(MultiMonitorWineOnly, PointerAndKeysCountOnEveryMonitor) {
  for (const auto& [where, start, click, key] :
       {std::tuple{"left of the primary, negative positions, with the capture", POINT{-500, 300}, false, false},
        {"right of the primary, after a left click, over the covering window", POINT{1600, 400}, true, false},
        {"a key, with the pointer left of the primary after a click", POINT{-300, 200}, true, true}}) {
    SCOPED_TRACE(where);
    HWND clock = nullptr;
    SaverProcess saver = StartSaver(start, &clock);
    if (click) {
      ASSERT_TRUE(Click(clock));
      ASSERT_TRUE(WaitUntil([&] { return ThreadInfo(clock).hwndCapture == nullptr; })) << "the click ends the capture";
      ASSERT_TRUE(Click(clock));  // now on the covering window itself
      EXPECT_TRUE(KeepsTicking(saver, 1) && ActiveAndFocused(clock))
          << "clicking a covering window leaves the clock window active and focused";
    }
    ASSERT_TRUE(MovePointer({start.x + 2, start.y + 2}));
    EXPECT_TRUE(KeepsTicking(saver)) << "2 + 2 pixels do not end the saver";
    EXPECT_TRUE(PointerBecomes(false)) << "no pointer shows";
    EXPECT_TRUE(Ends(key ? PressKey('A', clock) : MovePointer({start.x + 3, start.y + 3}), saver))
        << (key ? "a key ends the saver" : "3 + 3 pixels end it");
  }
}

TEST_F(MultiMonitorWineOnly, MonitorsComingGoingAndResizingAreFollowed) {
  FollowsLayouts({{&kFour, "a monitor added is covered"},
                  {&kWide, "two monitors removed and the primary grown: the clock window covers all of it"}});
}

// The same number of monitors and the same primary, laid out anew: each
// monitor's covering window follows it.
TEST_F(MultiMonitorWineOnly, MonitorsMovedOrResizedAreCoveredAnew) {
  FollowsLayouts({{&kLeftMoved, "the monitor moved is covered where it is now, and only there"},
                  {&kRightResized, "the monitor resized is covered to its new edges"}});
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
  const HWND prompt = saver.WaitForWindow(L"#32770");  // the password.cpl double's prompt
  ASSERT_NE(prompt, nullptr) << "the password prompt never showed";
  EXPECT_TRUE(Covers(saver, clock, kThree)) << "the other monitors stay covered while the prompt runs";

  // Windows announces a new layout with WM_DISPLAYCHANGE, which reaches the
  // clock window inside the prompt's message loop; Wine announces nothing,
  // so the test does.
  ASSERT_TRUE(Layout(kFour));
  PostMessageW(clock, WM_DISPLAYCHANGE, 32, MAKELPARAM(1280, 1024));
  EXPECT_TRUE(Covers(saver, clock, kFour)) << "a monitor added while the prompt runs is covered";
  EXPECT_FALSE(WaitUntil([&] {
    const HWND focus = ThreadInfo(prompt).hwndFocus;
    return !(focus == prompt || IsChild(prompt, focus)) || GetForegroundWindow() != prompt;
  }, 3s)) << "the prompt lost the keyboard; the foreground is a " << Narrow(WindowClass(GetForegroundWindow()));

  auto other = std::make_unique<HostWindow>(POINT{100, 100}, SIZE{200, 100}, HostWindow::kSettings);
  ASSERT_TRUE(SetForegroundWindow(other->window)) << "error " << GetLastError();
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == other->window; }));
  PostMessageW(prompt, WM_CLOSE, 0, 0);  // refused
  EXPECT_TRUE(KeepsTicking(saver)) << "the saver runs on after the refusal";
  ASSERT_EQ(Recorded(L"VerifyCalls"), 1u) << "the password was asked for once";
  EXPECT_TRUE(Covers(saver, clock, kFour)) << "and after a refusal";
  other.reset();
  SetDword(kDoubleKey, L"PromptHold", 0);
  SetDword(kDoubleKey, L"VerifyAnswer", 1);
  // A key would go to whichever window the system made the foreground when
  // the other program's went; the pointer moves over the clock.
  const int beyond = PointerThreshold() + 1;
  EXPECT_TRUE(Ends(MovePointerBy(beyond, beyond), saver)) << "allowed: the saver ends";
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
  ASSERT_TRUE(WaitUntil([&] { return ThreadInfo(clock).hwndCapture == nullptr; })) << "the click ends the capture";
  // Inside the minute units' picture whether the hour has one digit or two.
  const ClockLayout there = ClockLayout::CentredOn(kFour.monitors[1], 0.8376);
  EXPECT_TRUE(Ends(MovePointer({there.panel.x + there.Scaled(812), there.panel.y + there.Scaled(160)}), saver))
      << "a move over the left monitor's clock ends the saver";
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
}

TEST_F(MultiMonitorWineOnly, DialogAndPreviewCoverNothing) {
  auto nothingElsewhere = [&](const SaverProcess& saver) {
    for (size_t i = 1; i < kThree.monitors.size(); ++i)
      EXPECT_EQ(Unlike(kThree.monitors[i], kRootColour), 0) << Describe(kThree.monitors[i]);
    EXPECT_TRUE(TopLevelWindows(saver.pid(), L"TCoverForm", nullptr, true).empty());
  };
  {
    SaverProcess dialog = SaverProcess::Start(L"/c");
    ASSERT_TRUE(dialog.WaitForWindow(lumidial::cfg::kFormClass)) << "no settings dialog";
    nothingElsewhere(dialog);
  }
  auto host = std::make_unique<HostWindow>(POINT{300, 300}, SIZE{160, 120});
  SaverProcess preview = SaverProcess::Start(L"/p " + host->Number());
  EXPECT_TRUE(WaitUntil([&] { return Difference(host->Shown(), 0, 0, Art().preview) < 0.5; }))
      << "the preview shows in the host's window";
  nothingElsewhere(preview);
  host.reset();
  EXPECT_TRUE(EndsNormally(preview));
}

}  // namespace
}  // namespace e2e
