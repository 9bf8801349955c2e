#include "ClockFace.h"

#include <gtest/gtest.h>

namespace lumidial {
namespace {

using Digits = std::array<int, 4>;

TEST(ClockDigits, ReadsTwelveAndTwentyFourHourTime) {
    const struct {
        int hour, minute;
        bool twentyFour;
        Digits digits;
    } cases[] = {
        {0, 5, false, {1, 2, 0, 5}},   {13, 7, false, {0, 1, 0, 7}}, {12, 0, false, {1, 2, 0, 0}},
        {9, 30, false, {0, 9, 3, 0}},  {23, 59, false, {1, 1, 5, 9}}, {0, 5, true, {0, 0, 0, 5}},
        {9, 30, true, {0, 9, 3, 0}},   {23, 59, true, {2, 3, 5, 9}},  {12, 0, true, {1, 2, 0, 0}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClockDigits(c.hour, c.minute, c.twentyFour), c.digits)
            << c.hour << ":" << c.minute << (c.twentyFour ? " 24h" : " 12h");
    }
}

TEST(AdvanceClockFace, FirstTickSetsEveryPictureAndHidesALeadingZero) {
    ClockFaceState state;
    const ClockFaceChanges changes = AdvanceClockFace(state, 13, 7, false, false);
    EXPECT_EQ(changes.digitChanged, (std::array<bool, 4>{true, true, true, true}));
    EXPECT_EQ(state.tags, (Digits{0, 1, 0, 7}));
    EXPECT_FALSE(state.hour1Visible);
    EXPECT_EQ(state.innerLeft, -110);

    ClockFaceState noon;
    AdvanceClockFace(noon, 12, 0, false, false);
    EXPECT_TRUE(noon.hour1Visible);
    EXPECT_EQ(noon.innerLeft, 0);
}

TEST(AdvanceClockFace, MarksOnlyChangedDigits) {
    ClockFaceState state;
    AdvanceClockFace(state, 9, 59, true, false);
    ASSERT_FALSE(state.hour1Visible);

    ClockFaceChanges changes = AdvanceClockFace(state, 10, 0, true, false);
    EXPECT_EQ(changes.digitChanged, (std::array<bool, 4>{true, true, true, true}));
    EXPECT_TRUE(state.hour1Visible);
    EXPECT_EQ(state.innerLeft, 0);

    changes = AdvanceClockFace(state, 10, 1, true, false);
    EXPECT_EQ(changes.digitChanged, (std::array<bool, 4>{false, false, false, true}));

    changes = AdvanceClockFace(state, 10, 1, true, false);
    EXPECT_EQ(changes.digitChanged, (std::array<bool, 4>{}));
    EXPECT_FALSE(changes.colonToggled);
}

TEST(AdvanceClockFace, ColonBlinksOnlyWithFlash) {
    ClockFaceState state;
    const bool initial = state.colonVisible;
    for (int tick = 1; tick <= 4; ++tick) {
        EXPECT_TRUE(AdvanceClockFace(state, 8, 0, true, true).colonToggled);
        EXPECT_EQ(state.colonVisible, tick % 2 == 0 ? initial : !initial);
    }
    EXPECT_FALSE(AdvanceClockFace(state, 8, 0, true, false).colonToggled);
    EXPECT_EQ(state.colonVisible, initial);
}

}  // namespace
}  // namespace lumidial
