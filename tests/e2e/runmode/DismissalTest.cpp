// Ending run mode with the keyboard and the mouse, with input sent through
// the X server as a person's would be.
#include "RunModeDriver.h"

namespace e2e::runmode {
namespace {

class RunModeDismissal : public RunModeTest {
 protected:
  static ::testing::AssertionResult MoveTo(int x, int y) {
    return Xdotool("mousemove " + std::to_string(x) + " " + std::to_string(y));
  }

  // The window holding the mouse capture in the saver's thread.
  static HWND CaptureOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    return info.hwndCapture;
  }
};

TEST_F(RunModeDismissal, AnyKeyEndsTheSaverAndClearsTheRunningFlag) {
  for (const char* key : {"a", "alt", "F10"}) {
    SCOPED_TRACE(std::string("key ") + key);
    ASSERT_EQ(ScreenSaverRunningFlag(), false) << "no saver runs yet";

    SaverProcess saver = StartSaver({640, 100});
    ASSERT_TRUE(saver.IsRunning());
    EXPECT_EQ(ScreenSaverRunningFlag(), true) << "run mode tells the system a screen saver runs";
    ASSERT_TRUE(Xdotool(std::string("key ") + key));
    EXPECT_TRUE(EndsNormally(saver)) << "a key press ends the saver, system keys included";
    EXPECT_EQ(ScreenSaverRunningFlag(), false) << "the flag is cleared when the saver ends";
  }
}

TEST_F(RunModeDismissal, PointerMustMoveMoreThanTwoPixelsOnBothAxes) {
  const POINT start{400, 150};
  {
    HWND window = nullptr;
    SaverProcess saver = StartSaver(start, &window);
    ASSERT_TRUE(saver.IsRunning());
    EXPECT_EQ(CaptureOf(window), window) << "run mode captures the mouse";

    ASSERT_TRUE(MoveTo(start.x + 2, start.y + 2));
    EXPECT_TRUE(KeepsTicking(saver)) << "2 pixels on both axes is not enough";

    for (int x = 0; x < 1280; x += 128) ASSERT_TRUE(MoveTo(x, start.y));
    ASSERT_TRUE(MoveTo(1279, start.y));
    EXPECT_TRUE(KeepsTicking(saver)) << "a horizontal sweep across the whole screen";
    for (int y = 0; y < 1024; y += 128) ASSERT_TRUE(MoveTo(start.x - 2, y));
    ASSERT_TRUE(MoveTo(start.x - 2, 1023));
    EXPECT_TRUE(KeepsTicking(saver)) << "a vertical sweep 2 pixels beside the first position";

    ASSERT_TRUE(MoveTo(start.x + 3, start.y + 3));
    EXPECT_TRUE(EndsNormally(saver)) << "3 pixels on both axes from the first position";
  }
  {
    SaverProcess saver = StartSaver(start);
    ASSERT_TRUE(saver.IsRunning());
    ASSERT_TRUE(MoveTo(start.x + 2, start.y + 2));
    EXPECT_TRUE(KeepsTicking(saver)) << "2 pixels on both axes is not enough";
    ASSERT_TRUE(MoveTo(start.x + 4, start.y + 4));
    EXPECT_TRUE(EndsNormally(saver))
        << "small moves add up: the reference stays where the pointer first was";
  }
}

TEST_F(RunModeDismissal, MovesOverADigitAfterAClickAreMeasuredOnTheScreen) {
  // On the minute-tens digit whether the hour has one digit or two.
  const POINT start{750, 512};
  HWND window = nullptr;
  SaverProcess saver = StartSaver(start, &window);
  ASSERT_TRUE(saver.IsRunning());
  ASSERT_EQ(CaptureOf(window), window) << "run mode captures the mouse";

  ASSERT_TRUE(Xdotool("click 1"));
  EXPECT_TRUE(WaitUntil([&] { return CaptureOf(window) == nullptr; }))
      << "releasing the left button ends the capture";
  EXPECT_TRUE(KeepsTicking(saver)) << "a click alone does not end the saver";

  // The digit under the pointer now reports the moves, in its own frame.
  for (POINT p : {POINT{752, 514}, POINT{748, 510}, POINT{750, 514}, POINT{752, 512}})
    ASSERT_TRUE(MoveTo(p.x, p.y));
  EXPECT_TRUE(KeepsTicking(saver))
      << "moves within 2 pixels of the click on the screen do not end the saver";
  ASSERT_TRUE(MoveTo(start.x + 4, start.y + 4));
  EXPECT_TRUE(EndsNormally(saver)) << "a real move over the digit still ends it";
}

}  // namespace
}  // namespace e2e::runmode
