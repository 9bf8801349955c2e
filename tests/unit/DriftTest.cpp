#include "Drift.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace lumidial {
namespace {

struct Path {
    std::vector<int> lefts, tops;
};

// Starts centred, as the saver does, and records the panel's position per step.
Path Walk(int width, int height, int direction, int steps) {
    const PanelPoint start = CentredPanel(width, height, kPanelWidth, kPanelHeight);
    const DriftBounds bounds = ComputeDriftBounds(width, height, kPanelWidth, kPanelHeight);
    DriftState state{start.left, start.top, false, false};
    Path path{{state.left}, {state.top}};
    for (int i = 0; i < steps; ++i) {
        MoveClockStep(state, direction, bounds, width, height, kPanelWidth, kPanelHeight);
        path.lefts.push_back(state.left);
        path.tops.push_back(state.top);
    }
    return path;
}

TEST(Drift, BouncesBetweenMarginAndLimitOneStepAtATime) {
    const Path path = Walk(1280, 1024, 3, 1200);
    EXPECT_EQ(path.lefts[0], 151);
    for (const auto& [values, low, high] : {std::tuple{&path.lefts, 64, 238}, {&path.tops, 102, 595}}) {
        EXPECT_EQ(*std::min_element(values->begin(), values->end()), low);
        EXPECT_EQ(*std::max_element(values->begin(), values->end()), high);
        for (std::size_t i = 1; i < values->size(); ++i)
            ASSERT_EQ(std::abs((*values)[i] - (*values)[i - 1]), 1) << "step " << i;
    }
}

TEST(Drift, NarrowScreensWalkToTheEdgeOrStay) {
    std::vector<int> lefts = Walk(1024, 768, 1, 100).lefts;
    EXPECT_EQ(lefts[23], 0);
    EXPECT_EQ(lefts.back(), 0);
    lefts = Walk(1060, 768, 1, 20).lefts;
    EXPECT_EQ(lefts[0], 41);
    EXPECT_EQ(std::vector<int>(lefts.begin() + 12, lefts.end() - 3), (std::vector{29, 28, 29, 28, 29, 28}));
    lefts = Walk(800, 600, 3, 50).lefts;  // centred at -89: truncated, not floored
    EXPECT_EQ(std::count(lefts.begin(), lefts.end(), -89), 51);
}

TEST(Drift, DirectionPicksTheAxes) {
    for (const auto& [direction, left, top] : {std::tuple{1, 161, 348}, {2, 151, 358}, {0, 151, 348},
                                               {4, 151, 348}, {7, 151, 348}, {-1, 151, 348}}) {
        const Path path = Walk(1280, 1024, direction, 10);
        EXPECT_EQ(path.lefts.back(), left) << direction;
        EXPECT_EQ(path.tops.back(), top) << direction;
    }
}

TEST(Drift, PaceDecidesWhichTicksMove) {
    const std::pair<int, std::vector<int>> cases[] = {
        {0, {1, 2, 3, 4, 5}}, {1, {11, 22, 33, 44, 55}}, {2, {61}}, {5, {}}, {-1, {}},
    };
    for (const auto& [speed, dueTicks] : cases) {
        int moveTicks = 0;
        std::vector<int> due;
        for (int tick = 1; tick <= 121 && due.size() < 5; ++tick)
            if (DriftDue(++moveTicks, speed)) due.push_back(tick);
        EXPECT_EQ(due, dueTicks) << "speed " << speed;
    }
}

}  // namespace
}  // namespace lumidial
