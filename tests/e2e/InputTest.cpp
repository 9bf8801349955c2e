// Leaving run mode with keys and the pointer (sent as the platform's own
// input, as a person's would be) or when another program takes the
// foreground, the password check on the way out, the pointer while it runs,
// and the burn-in drift of the clock panel.
#include "SaverTest.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

namespace e2e {
namespace {

class RunModeInput : public SaverTest {
 protected:
  // A state of the clock seen on two captures in a row (so that no
  // half-finished update counts), and the tick that drew it.
  struct Sighting {
    int x, y;
    bool colon;
    int tick = 0;
  };
  // The states of the clock StartSaver started, each numbered by its tick,
  // until tick `lastTick` has been seen.
  std::vector<Sighting> WatchTicks(const SaverProcess& saver, int lastTick);
};

class RunModeInputWineOnly : public WineOnly<RunModeInput> {
 public:
  RunModeInputWineOnly() : WineOnly("the password library's double in the system folder") {}
};

std::vector<RunModeInput::Sighting> RunModeInput::WatchTicks(const SaverProcess& saver, int lastTick) {
  using Clock = std::chrono::steady_clock;
  std::vector<Sighting> seen;
  std::optional<Sighting> once;  // seen on the last capture only
  Clock::time_point onceAt, previousAt = windowSeenAt;
  auto same = [](const Sighting& a, const Sighting& b) { return a.x == b.x && a.y == b.y && a.colon == b.colon; };
  WaitUntil(
      [&] {
        const Clock::time_point at = Clock::now();
        const Image screen = GrabScreen();
        const std::optional<POINT> panel = PanelOnScreen(screen);
        if (!saver.IsRunning() || !panel) return !saver.IsRunning();
        Sighting now{panel->x, panel->y, ClockReader(Art(), ClockLayout{*panel}).Read(screen).colonShown};
        if (!once || !same(*once, now)) {
          once = now, onceAt = at;
          return false;
        }
        if (!seen.empty() && same(seen.back(), now)) return false;
        // The tick of that parity nearest to a second per tick since the
        // previous one (the first is due when the window shows).
        const int previous = seen.empty() ? 1 : seen.back().tick;
        const double estimate = previous + std::chrono::duration<double>(onceAt - previousAt).count();
        const int parity = now.colon ? 0 : 1;
        now.tick = 2 * static_cast<int>(std::lround((estimate - parity) / 2)) + parity;
        while (now.tick <= (seen.empty() ? 0 : previous)) now.tick += 2;
        seen.push_back(now);
        previousAt = onceAt;
        return now.tick >= lastTick;
      },
      Millis(lastTick * 1100 + 10'000));
  return seen;
}

// Another program taking the foreground (a call, a prompt, an installer)
// would get the keys meant to wake the screen behind the clock: it ends the
// saver as a key does.
TEST_F(RunModeInput, KeysOrAnotherProgramInTheForegroundEndTheSaverAndTheRunningFlagFollowsIt) {
  lumidial::UniqueWindow other;
  const std::pair<const char*, std::function<::testing::AssertionResult(HWND)>> ways[] = {
      {"key a", [](HWND clock) { return PressKey('A', clock); }},
      {"key Alt alone", [](HWND clock) { return PressKey(VK_MENU, clock); }},
      {"another program's window made the foreground", [&](HWND) {
         other.reset(CreateWindowExW(0, L"STATIC", L"Another program", WS_POPUP | WS_VISIBLE, 100, 100, 200,
                                     100, nullptr, nullptr, nullptr, nullptr));
         return SetForegroundWindow(other.get()) ? ::testing::AssertionSuccess()
                                                 : ::testing::AssertionFailure() << "error " << GetLastError();
       }},
  };
  for (const auto& [way, apply] : ways) {
    SCOPED_TRACE(way);
    ASSERT_EQ(ScreenSaverRunningFlag(), false) << "no saver runs yet";
    HWND clock = nullptr;
    SaverProcess saver = StartSaver({GetSystemMetrics(SM_CXSCREEN) / 2, 100}, &clock);
    ASSERT_TRUE(saver.IsRunning());
    EXPECT_EQ(ScreenSaverRunningFlag(), true) << "the running flag is 1 while the saver runs";
    EXPECT_TRUE(PointerBecomes(false)) << "no pointer over the clock";
    ASSERT_TRUE(apply(clock));
    EXPECT_TRUE(EndsNormally(saver)) << "it ends the saver";
    EXPECT_EQ(ScreenSaverRunningFlag(), false) << "the running flag is 0 after the saver ends";
    EXPECT_TRUE(PointerBecomes(true)) << "the pointer shows once the saver has ended";
  }
}

TEST_F(RunModeInput, PointerMustMoveMoreThanTwoPixelsOnBothAxes) {
  const int t = PointerThreshold();
  const std::string within = std::to_string(t) + " pixels on both axes";
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const POINT start{width / 3, 150};
  auto moveBy = [](POINT from, int d) { return MovePointer({from.x + d, from.y + d}); };
  {
    HWND window = nullptr;
    SaverProcess saver = StartSaver(start, &window);
    ASSERT_TRUE(saver.IsRunning());
    EXPECT_EQ(ThreadInfo(window).hwndCapture, window) << "run mode captures the mouse";
    ASSERT_TRUE(moveBy(start, t));
    EXPECT_TRUE(KeepsTicking(saver)) << within << " do not end the saver";
    for (int x = 0; x < width; x += width / 10) ASSERT_TRUE(MovePointer({x, start.y}));
    ASSERT_TRUE(MovePointer({width - 1, start.y}));
    EXPECT_TRUE(KeepsTicking(saver)) << "a horizontal sweep across the screen does not end it";
    ASSERT_TRUE(moveBy(start, t + 1));
    EXPECT_TRUE(EndsNormally(saver)) << "one pixel more ends it";
  }
  EXPECT_TRUE(EndsOnlyOnAClearMove(StartSaver(start), start, t, 2 * t))
      << "small moves add up from where the pointer first was";
  {
    // On the minute-tens digit whether the hour has one digit or two.
    const ClockLayout layout = ClockLayout::Centred(scale);
    const POINT digit{layout.panel.x + layout.Scaled(591), layout.panel.y + layout.Scaled(163)};
    HWND window = nullptr;
    SaverProcess saver = StartSaver(digit, &window);
    ASSERT_TRUE(Click(window));
    EXPECT_TRUE(WaitUntil([&] { return ThreadInfo(window).hwndCapture == nullptr; }))
        << "releasing the left button ends the capture";
    // The digit under the pointer now reports the moves, in its own frame.
    for (POINT d : {POINT{t, t}, POINT{-t, -t}, POINT{0, t}, POINT{t, 0}})
      ASSERT_TRUE(MovePointer({digit.x + d.x, digit.y + d.y}));
    EXPECT_TRUE(KeepsTicking(saver)) << "a left click, then moves over a digit within " << within
                                     << ", do not end the saver";
    ASSERT_TRUE(moveBy(digit, 2 * t));
    EXPECT_TRUE(EndsNormally(saver)) << "a real move over the digit still ends it";
  }
}

// The password check against the password.cpl double (Wine has none).
TEST_F(RunModeInputWineOnly, PasswordIsAskedOnlyWhenSetAndItsLowByteDecides) {
  SystemFile cpl(L"password.cpl", L"LUMIDIAL_PASSWORD_CPL_DOUBLE");
  ASSERT_TRUE(cpl.installed());
  struct Restore { ~Restore() { DeleteValue(kDesktop, kUsePassword); } } restore;

  // Were the double asked, it would refuse and the saver would stay.
  SetDword(kDoubleKey, L"VerifyAnswer", 0);
  const std::pair<const char*, std::function<void()>> unset[] = {
      {"value absent", [&] { DeleteValue(kDesktop, kUsePassword); }},
      {"REG_DWORD 0", [&] { SetDword(kDesktop, kUsePassword, 0); }},
      {"REG_SZ \"1\"", [&] { SetValue(kDesktop, kUsePassword, REG_SZ, L"1", sizeof L"1"); }},
  };
  for (const auto& [what, apply] : unset) {
    SCOPED_TRACE(what);
    apply();
    HWND window = nullptr;
    SaverProcess saver = StartSaver({640, 100}, &window);
    ASSERT_TRUE(PressKey('A', window));
    EXPECT_TRUE(EndsNormally(saver)) << "no password set: a key press ends the saver";
    EXPECT_EQ(Recorded(L"VerifyCalls").value_or(0), 0u) << "the double is never called";
  }

  SetDword(kDesktop, kUsePassword, 1);
  HWND window = nullptr;
  SaverProcess saver = StartSaver({640, 100}, &window);
  DWORD calls = 0;
  for (DWORD answer : {0x0u, 0x100u, 0x1u}) {
    SCOPED_TRACE("the double answers " + std::to_string(answer));
    SetDword(kDoubleKey, L"VerifyAnswer", answer);
    ASSERT_TRUE(PressKey('A', window));
    ++calls;
    ASSERT_TRUE(WaitUntil([&] { return Recorded(L"VerifyCalls").value_or(0) >= calls; }))
        << "a key press asks the double";
    EXPECT_EQ(Recorded(L"VerifyWindow"), static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(window)))
        << "the double gets the clock window's handle";
    EXPECT_TRUE(answer == 1 ? EndsNormally(saver) : ::testing::AssertionResult(KeepsTicking(saver)))
        << (answer == 1 ? "allowed: the saver ends"
                        : "refused (only the low byte counts): the saver stays and the clock updates");
  }
  EXPECT_EQ(Recorded(L"VerifyCalls"), 3u) << "one question per key press";
}

// The pointer as the X server draws it. The prompt is the double's dialog,
// centred on the pointer and held open until the test closes it. After the
// saver the pointer is the desktop's: the saver's ShowCursor count ends with
// its thread, here as on Windows.
TEST_F(RunModeInputWineOnly, PointerShowsOnlyForThePasswordPromptAndAfterTheSaver) {
  HeldPasswordPrompt held;
  ASSERT_TRUE(held.cpl.installed());

  HWND window = nullptr;
  SaverProcess saver = StartSaver({640, 100}, &window);
  ASSERT_TRUE(saver.IsRunning());
  // Wine shows no pointer over a new process's window until the process
  // sets a shape, and asks a window holding the capture for none; so this
  // fails only for a saver that sets a visible shape. On Windows the pointer
  // of the moment would stay unless the saver hid it.
  EXPECT_TRUE(PointerBecomes(false)) << "no pointer over the clock";
  ASSERT_TRUE(PressKey('A', window));
  const HWND prompt = saver.WaitForWindow(L"#32770");  // the password.cpl double's prompt
  ASSERT_NE(prompt, nullptr) << "the password prompt never showed";
  // Windows redraws the pointer when the prompt appears under it; Wine only
  // once it moves: by one pixel, too little for the saver to end.
  ASSERT_TRUE(MovePointer({641, 100}));
  EXPECT_TRUE(PointerBecomes(true)) << "the pointer shows while the password prompt runs";
  PostMessageW(prompt, WM_CLOSE, 0, 0);
  EXPECT_TRUE(KeepsTicking(saver)) << "refused: the clock goes on (the saver "
                                   << (saver.IsRunning() ? "runs" : "has ended") << ", the double was asked "
                                   << Recorded(L"VerifyCalls").value_or(0) << " times)";
  EXPECT_TRUE(PointerBecomes(false)) << "the pointer is hidden again after a refusal";

  SetDword(kDoubleKey, L"PromptHold", 0);
  SetDword(kDoubleKey, L"VerifyAnswer", 1);
  ASSERT_TRUE(PressKey('A', window));
  EXPECT_TRUE(EndsNormally(saver)) << "allowed: the saver ends";
  EXPECT_TRUE(PointerBecomes(true)) << "the pointer shows once the saver has ended";
}

// Each tick is numbered by the blinking colon (hidden after odd ticks, shown
// after even ones, FlashSecond being on by default) and by the second
// between ticks, so a capture that comes late cannot shift the count.
TEST_F(RunModeInput, DriftMovesThePanelOnePixelAtItsPaceOnlyWithADirection) {
  NEEDS_96_DPI();
  struct Case {
    const char* name;
    DWORD direction, pace;
    int lastTick;
    std::vector<int> mustSee;  // the ticks on either side of each step
    int (*steps)(int tick);    // steps taken by the end of `tick`
  } const cases[] = {
      {"direction 0, pace 0: never", 0, 0, 5, {}, [](int) { return 0; }},
      {"direction 1, pace 0: on every tick, the first included", 1, 0, 6, {2, 3, 4, 5, 6},
       [](int tick) { return tick; }},
      {"direction 1, pace 1: on the 11th tick and the 22nd", 1, 1, 23, {10, 11, 21, 22},
       [](int tick) { return tick / 11; }},
      {"direction 1, pace 5 (out of range): never", 1, 5, 13, {}, [](int) { return 0; }},
  };
  const POINT centre = ClockLayout::Centred().panel;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    registry.SetDword(L"ClockMoveDirection", c.direction);
    registry.SetDword(L"ClockMoveSpeed", c.pace);
    SaverProcess saver = StartSaver({640, 100});
    const std::vector<Sighting> seen = WatchTicks(saver, c.lastTick);
    ASSERT_TRUE(!seen.empty() && seen.back().tick >= c.lastTick)
        << "the clock did not tick " << c.lastTick << " times";
    // "tick:steps" for each tick seen, steps counted the way the panel went
    // (drawn at random), and "^" where it left its height.
    const int way = std::any_of(seen.begin(), seen.end(), [&](const Sighting& s) { return s.x < centre.x; }) ? -1 : 1;
    auto entry = [](int tick, int steps, bool leftHeight) {
      return std::to_string(tick) + ":" + std::to_string(steps) + (leftHeight ? "^ " : " ");
    };
    std::string ticks, designed;
    for (const Sighting& s : seen) {
      ticks += entry(s.tick, (s.x - centre.x) * way, s.y != centre.y);
      designed += entry(s.tick, c.steps(s.tick), false);
    }
    EXPECT_EQ(ticks, designed);
    for (int tick : c.mustSee)
      EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [&](const Sighting& s) { return s.tick == tick; }))
          << "tick " << tick << " was not seen";
  }
}

}  // namespace
}  // namespace e2e
