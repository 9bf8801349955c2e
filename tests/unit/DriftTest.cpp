#include "Drift.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace lumidial {
namespace {

struct Screen {
    int width, height;
};

// Starts centred, as the saver does, and records the left edge per step.
std::vector<int> Walk(Screen s, int direction, int steps, DriftState* last = nullptr) {
    const PanelPoint start = CentredPanel(s.width, s.height, kPanelWidth, kPanelHeight);
    const DriftBounds bounds = ComputeDriftBounds(s.width, s.height, kPanelWidth, kPanelHeight);
    DriftState state{start.left, start.top, false, false};
    std::vector<int> lefts{state.left};
    for (int i = 0; i < steps; ++i) {
        MoveClockStep(state, direction, bounds, s.width, s.height, kPanelWidth, kPanelHeight);
        lefts.push_back(state.left);
    }
    if (last != nullptr) *last = state;
    return lefts;
}

TEST(Drift, PlacementAndBounds) {
    const PanelPoint p = CentredPanel(1024, 768, kPanelWidth, kPanelHeight);
    EXPECT_EQ(p.left, 23);
    EXPECT_EQ(p.top, 220);
    EXPECT_EQ(CentredPanel(800, 600, kPanelWidth, kPanelHeight).left, -89);  // truncated, not floored

    const DriftBounds b = ComputeDriftBounds(1024, 768, kPanelWidth, kPanelHeight);
    EXPECT_EQ(b.leftMargin, 51);
    EXPECT_EQ(b.rightLimit, -5);
    EXPECT_EQ(b.topMargin, 76);
    EXPECT_EQ(b.bottomLimit, 365);

    const DriftBounds odd = ComputeDriftBounds(-39, -19, 0, 0);
    EXPECT_EQ(odd.leftMargin, -1);
    EXPECT_EQ(odd.topMargin, -1);
}

TEST(Drift, BouncesBetweenMarginAndLimitOnAWideScreen) {
    const std::vector<int> lefts = Walk({1280, 1024}, 1, 600);
    EXPECT_EQ(lefts.front(), 151);
    EXPECT_EQ(*std::min_element(lefts.begin(), lefts.end()), 64);
    EXPECT_EQ(*std::max_element(lefts.begin(), lefts.end()), 238);
    for (std::size_t i = 1; i < lefts.size(); ++i) {
        ASSERT_EQ(std::abs(lefts[i] - lefts[i - 1]), 1) << "step " << i;
    }
}

TEST(Drift, NarrowScreensWalkToTheEdgeOrStay) {
    std::vector<int> lefts = Walk({1024, 768}, 1, 100);
    EXPECT_EQ(lefts[23], 0);
    EXPECT_EQ(lefts.back(), 0);

    lefts = Walk({1060, 768}, 1, 30);
    EXPECT_EQ(lefts.front(), 41);
    EXPECT_EQ(lefts[13], 28);
    EXPECT_EQ(std::vector<int>(lefts.begin() + 12, lefts.begin() + 18),
              (std::vector<int>{29, 28, 29, 28, 29, 28}));

    lefts = Walk({800, 600}, 3, 50);
    EXPECT_TRUE(std::all_of(lefts.begin(), lefts.end(), [](int l) { return l == -89; }));
}

TEST(Drift, DirectionPicksTheAxes) {
    DriftState state;
    Walk({1280, 1024}, 3, 10, &state);
    EXPECT_EQ(state.left, 161);
    EXPECT_EQ(state.top, 358);
    Walk({1280, 1024}, 2, 10, &state);
    EXPECT_EQ(state.left, 151);
    EXPECT_EQ(state.top, 358);
    for (int direction : {0, 4, 7, -1}) {
        Walk({1280, 1024}, direction, 10, &state);
        EXPECT_EQ(state.left, 151);
        EXPECT_EQ(state.top, 348);
    }
}

TEST(Drift, PaceDecidesWhichTicksMove) {
    const struct {
        int speed;
        std::vector<int> dueTicks;
    } cases[] = {
        {0, {1, 2, 3, 4, 5}},
        {1, {11, 22, 33, 44, 55}},
        {2, {61}},
        {5, {}},
        {-1, {}},
    };
    for (const auto& c : cases) {
        int moveTicks = 0;
        std::vector<int> due;
        for (int tick = 1; tick <= 121 && due.size() < 5; ++tick) {
            ++moveTicks;
            if (DriftDue(moveTicks, c.speed)) due.push_back(tick);
        }
        EXPECT_EQ(due, c.dueTicks) << "speed " << c.speed;
    }
}

}  // namespace
}  // namespace lumidial
