// Burn-in drift: the clock panel moves a pixel at a time across the screen.
#include "RunModeDriver.h"

#include <vector>

namespace e2e::runmode {
namespace {

class RunModeDrift : public RunModeTest {
 protected:
  struct Sighting {
    POINT panel;
    bool colon;
  };

  // The first `count` different states of the clock (panel position and
  // colon), each seen on two captures in a row so that no half-finished
  // update counts.
  std::vector<Sighting> Watch(const SaverProcess& saver, size_t count) {
    std::vector<Sighting> seen;
    std::optional<Sighting> previous;
    auto same = [](const Sighting& a, const Sighting& b) {
      return a.panel.x == b.panel.x && a.panel.y == b.panel.y && a.colon == b.colon;
    };
    WaitUntil(
        [&] {
          if (!saver.IsRunning()) return true;
          Image screen = GrabScreen();
          std::optional<POINT> panel = PanelOnScreen(screen);
          if (!panel) return false;
          Sighting now{*panel, ClockReader(Art(), ClockLayout{*panel}).Read(screen).colonShown};
          if (previous && same(*previous, now) && (seen.empty() || !same(seen.back(), now)))
            seen.push_back(now);
          previous = now;
          return seen.size() >= count;
        },
        20s, 20ms);
    return seen;
  }
};

TEST_F(RunModeDrift, PanelMovesOnePixelEachTickOnlyWhenADirectionIsSet) {
  // 1280 x 1024: the 978 x 327 panel starts centred.
  const POINT centre{151, 348};
  registry.SetDword(L"ClockMoveSpeed", 0);  // a step every tick
  {
    registry.SetDword(L"ClockMoveDirection", 0);
    SaverProcess saver = StartSaver({640, 100});
    ASSERT_TRUE(saver.IsRunning());
    std::vector<Sighting> seen = Watch(saver, 4);
    ASSERT_EQ(seen.size(), 4u) << "the colon did not blink three times";
    for (const Sighting& s : seen) {
      EXPECT_EQ(s.panel.x, centre.x) << "no direction: the panel stays put";
      EXPECT_EQ(s.panel.y, centre.y) << "no direction: the panel stays put";
    }
  }
  {
    registry.SetDword(L"ClockMoveDirection", 1);
    SaverProcess saver = StartSaver({640, 100});
    ASSERT_TRUE(saver.IsRunning());
    std::vector<Sighting> seen = Watch(saver, 6);
    ASSERT_EQ(seen.size(), 6u) << "the clock did not change five times";

    // The first step is taken on the first tick, before anything shows.
    const int step = seen[0].panel.x < centre.x ? -1 : 1;
    const int stepsSoFar = (seen[0].panel.x - centre.x) * step;
    EXPECT_TRUE(stepsSoFar >= 1 && stepsSoFar <= 10)
        << "the panel starts from the centre: first seen at x " << seen[0].panel.x;
    for (size_t i = 1; i < seen.size(); ++i) {
      SCOPED_TRACE("change " + std::to_string(i));
      EXPECT_NE(seen[i].colon, seen[i - 1].colon) << "one tick per change";
      EXPECT_EQ(seen[i].panel.x - seen[i - 1].panel.x, step)
          << "one pixel per tick, always the same way";
      EXPECT_EQ(seen[i].panel.y, centre.y) << "horizontal drift keeps the height";
    }
  }
}

}  // namespace
}  // namespace e2e::runmode
