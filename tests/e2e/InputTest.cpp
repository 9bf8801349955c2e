// Leaving run mode with keys and the pointer (sent through the X server as a
// person's would be), the password check on the way out, and the burn-in
// drift of the clock panel.
#include "SaverTest.h"

#include <vector>

namespace e2e {
namespace {

class RunModeInput : public SaverTest {
 protected:
  static ::testing::AssertionResult MoveTo(int x, int y) {
    return Xdotool("mousemove " + std::to_string(x) + " " + std::to_string(y));
  }
};

TEST_F(RunModeInput, KeysEndTheSaverAndTheRunningFlagFollowsIt) {
  for (const char* key : {"a", "alt"}) {
    SCOPED_TRACE(std::string("key ") + key);
    ASSERT_EQ(ScreenSaverRunningFlag(), false) << "no saver runs yet";
    SaverProcess saver = StartSaver({640, 100});
    ASSERT_TRUE(saver.IsRunning());
    EXPECT_EQ(ScreenSaverRunningFlag(), true) << "the running flag is 1 while the saver runs";
    ASSERT_TRUE(Xdotool(std::string("key ") + key));
    EXPECT_TRUE(EndsNormally(saver)) << "a key press ends the saver, Alt alone included";
    EXPECT_EQ(ScreenSaverRunningFlag(), false) << "the running flag is 0 after the saver ends";
  }
}

TEST_F(RunModeInput, PointerMustMoveMoreThanTwoPixelsOnBothAxes) {
  const POINT start{400, 150};
  {
    HWND window = nullptr;
    SaverProcess saver = StartSaver(start, &window);
    ASSERT_TRUE(saver.IsRunning());
    EXPECT_EQ(CaptureOf(window), window) << "run mode captures the mouse";
    ASSERT_TRUE(MoveTo(start.x + 2, start.y + 2));
    EXPECT_TRUE(KeepsTicking(saver)) << "2 pixels on both axes do not end the saver";
    for (int x = 0; x < 1280; x += 128) ASSERT_TRUE(MoveTo(x, start.y));
    ASSERT_TRUE(MoveTo(1279, start.y));
    EXPECT_TRUE(KeepsTicking(saver)) << "a horizontal sweep across the screen does not end it";
    ASSERT_TRUE(MoveTo(start.x + 3, start.y + 3));
    EXPECT_TRUE(EndsNormally(saver)) << "3 pixels on both axes end it";
  }
  {
    SaverProcess saver = StartSaver(start);
    ASSERT_TRUE(MoveTo(start.x + 2, start.y + 2));
    EXPECT_TRUE(KeepsTicking(saver)) << "2 pixels on both axes do not end the saver";
    ASSERT_TRUE(MoveTo(start.x + 4, start.y + 4));
    EXPECT_TRUE(EndsNormally(saver)) << "small moves add up from where the pointer first was";
  }
  {
    // On the minute-tens digit whether the hour has one digit or two.
    const POINT digit{750, 512};
    HWND window = nullptr;
    SaverProcess saver = StartSaver(digit, &window);
    ASSERT_TRUE(Xdotool("click 1"));
    EXPECT_TRUE(WaitUntil([&] { return CaptureOf(window) == nullptr; }))
        << "releasing the left button ends the capture";
    // The digit under the pointer now reports the moves, in its own frame.
    for (POINT p : {POINT{752, 514}, POINT{748, 510}, POINT{750, 514}, POINT{752, 512}})
      ASSERT_TRUE(MoveTo(p.x, p.y));
    EXPECT_TRUE(KeepsTicking(saver))
        << "a left click, then moves over a digit within 2 pixels, do not end the saver";
    ASSERT_TRUE(MoveTo(digit.x + 4, digit.y + 4));
    EXPECT_TRUE(EndsNormally(saver)) << "a real move over the digit still ends it";
  }
}

// The password check against the password.cpl double (Wine has none).
TEST_F(RunModeInput, PasswordIsAskedOnlyWhenSetAndItsLowByteDecides) {
  constexpr const wchar_t* kDesktop = L"Control Panel\\Desktop";
  constexpr const wchar_t* kUsePassword = L"ScreenSaveUsePassword";
  SystemFile cpl(L"password.cpl", L"LUMIDIAL_PASSWORD_CPL_DOUBLE");
  ASSERT_TRUE(cpl.installed());
  struct Restore { ~Restore() { DeleteValue(L"Control Panel\\Desktop", L"ScreenSaveUsePassword"); } } restore;

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
    SaverProcess saver = StartSaver({640, 100});
    ASSERT_TRUE(Xdotool("key a"));
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
    ASSERT_TRUE(Xdotool("key a"));
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

TEST_F(RunModeInput, DriftMovesThePanelOnePixelPerTickOnlyWithADirection) {
  // The first `count` different states of the clock (panel position and
  // colon), each seen on two captures in a row so that no half-finished
  // update counts.
  struct Sighting {
    int x, y;
    bool colon;
    bool operator==(const Sighting&) const = default;
  };
  auto watch = [&](const SaverProcess& saver, size_t count) {
    std::vector<Sighting> seen;
    std::optional<Sighting> previous;
    WaitUntil(
        [&] {
          const Image screen = GrabScreen();
          const std::optional<POINT> panel = PanelOnScreen(screen);
          if (!saver.IsRunning() || !panel) return !saver.IsRunning();
          Sighting now{panel->x, panel->y, ClockReader(Art(), ClockLayout{*panel}).Read(screen).colonShown};
          if (previous == now && (seen.empty() || !(seen.back() == now))) seen.push_back(now);
          previous = now;
          return seen.size() >= count;
        },
        20s);
    return seen;
  };
  const POINT centre = ClockLayout::ForPrimaryScreen().panel;
  registry.SetDword(L"ClockMoveSpeed", 0);  // a step every tick

  registry.SetDword(L"ClockMoveDirection", 0);
  std::vector<Sighting> seen = watch(StartSaver({640, 100}), 4);
  ASSERT_EQ(seen.size(), 4u) << "the colon did not blink three times";
  for (const Sighting& s : seen)
    EXPECT_TRUE(s.x == centre.x && s.y == centre.y) << "direction 0: the panel stays";

  registry.SetDword(L"ClockMoveDirection", 1);
  seen = watch(StartSaver({640, 100}), 6);
  ASSERT_EQ(seen.size(), 6u) << "the clock did not change five times";
  // The first step is taken on the first tick, before anything shows.
  const int step = seen[0].x < centre.x ? -1 : 1;
  const int stepsSoFar = (seen[0].x - centre.x) * step;
  EXPECT_TRUE(stepsSoFar >= 1 && stepsSoFar <= 10) << "the panel starts from the centre";
  for (size_t i = 1; i < seen.size(); ++i) {
    EXPECT_NE(seen[i].colon, seen[i - 1].colon) << "one tick per change";
    EXPECT_EQ(seen[i].x - seen[i - 1].x, step) << "direction 1, pace 0: one pixel per tick, always the same way";
    EXPECT_EQ(seen[i].y, centre.y) << "horizontal drift keeps the height";
  }
}

}  // namespace
}  // namespace e2e
