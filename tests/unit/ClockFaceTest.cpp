#include "ClockFace.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>

namespace lumidial {
namespace {

using Digits = std::array<int, 4>;
using Marks = std::array<bool, 4>;

TEST(ClockFace, DigitsInTwelveAndTwentyFourHourForm) {
    const std::tuple<int, int, bool, Digits> cases[] = {
        {0, 5, false, {1, 2, 0, 5}},  {13, 7, false, {0, 1, 0, 7}}, {12, 0, false, {1, 2, 0, 0}},
        {9, 30, false, {0, 9, 3, 0}}, {23, 59, false, {1, 1, 5, 9}}, {0, 5, true, {0, 0, 0, 5}},
        {9, 30, true, {0, 9, 3, 0}},  {23, 59, true, {2, 3, 5, 9}},
    };
    for (const auto& [hour, minute, twentyFour, digits] : cases)
        EXPECT_EQ(ClockDigits(hour, minute, twentyFour), digits)
            << hour << ":" << minute << " " << twentyFour;
}

// With the leading zero chosen, a 0 in the hour's tens is shown in place as
// any digit, in either form: 1:00 PM as 01:00, midnight as 00:00.
TEST(ClockFace, MarksOnlyChangedPicturesAndHidesALeadingZeroUnlessChosen) {
    ClockFaceState state;
    const auto tick = [&](int hour, int minute, bool twentyFour, bool zero = false) {
        return AdvanceClockFace(state, hour, minute, twentyFour, zero, false).digitChanged;
    };
    EXPECT_EQ(tick(13, 7, false), (Marks{true, true, true, true}));  // the first tick sets every picture
    EXPECT_EQ(state.tags, (Digits{0, 1, 0, 7}));
    EXPECT_EQ(std::pair(state.hour1Visible, state.innerLeft), std::pair(false, -110));
    EXPECT_EQ(tick(9, 59, true), (Marks{false, true, true, true}));
    EXPECT_EQ(tick(10, 0, true), (Marks{true, true, true, true}));
    EXPECT_EQ(std::pair(state.hour1Visible, state.innerLeft), std::pair(true, 0));
    EXPECT_EQ(tick(10, 1, true), (Marks{false, false, false, true}));
    const ClockFaceChanges none = AdvanceClockFace(state, 10, 1, true, false, false);
    EXPECT_EQ(none.digitChanged, Marks{});
    EXPECT_FALSE(none.colonToggled);
    EXPECT_EQ(tick(13, 0, false, true), (Marks{true, true, false, true}));
    EXPECT_EQ(std::tuple(state.tags, state.hour1Visible, state.innerLeft), std::tuple(Digits{0, 1, 0, 0}, true, 0));
    tick(23, 59, true, true);
    EXPECT_EQ(tick(0, 0, true, true), (Marks{true, true, true, true}));
    EXPECT_EQ(std::tuple(state.tags, state.hour1Visible, state.innerLeft), std::tuple(Digits{0, 0, 0, 0}, true, 0));
}

// 9:59 to 10:00 on a screen where drawing the 1 fails once: the hour tens
// picture stays as it was, hidden with the panel shifted, and is drawn at
// the next tick, when nothing else changes.
TEST(ClockFace, APictureWhoseDrawingFailedIsDrawnAtTheNextTick) {
    ClockFaceState state;
    AdvanceClockFace(state, 9, 59, true, false, false, -220);
    bool failOnce = true;
    const DigitDrawer draw = [&](int index, int) { return index != 0 || !std::exchange(failOnce, false); };
    EXPECT_EQ(AdvanceClockFace(state, 10, 0, true, false, false, -220, draw).digitChanged,
              (Marks{false, true, true, true}));
    EXPECT_EQ(state.tags, (Digits{0, 0, 0, 0}));
    EXPECT_EQ(std::pair(state.hour1Visible, state.innerLeft), std::pair(false, -220));
    EXPECT_EQ(AdvanceClockFace(state, 10, 0, true, false, false, -220, draw).digitChanged,
              (Marks{true, false, false, false}));
    EXPECT_EQ(state.tags, (Digits{1, 0, 0, 0}));
    EXPECT_EQ(std::pair(state.hour1Visible, state.innerLeft), std::pair(true, 0));
}

TEST(ClockFace, ColonBlinksOnlyWithFlash) {
    ClockFaceState state;
    for (bool visible : {false, true, false}) {
        EXPECT_TRUE(AdvanceClockFace(state, 8, 0, true, false, true).colonToggled);
        EXPECT_EQ(state.colonVisible, visible);
    }
    EXPECT_FALSE(AdvanceClockFace(state, 8, 0, true, false, false).colonToggled);
    EXPECT_FALSE(state.colonVisible);
}

}  // namespace
}  // namespace lumidial
