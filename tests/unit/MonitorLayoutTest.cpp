#include <gtest/gtest.h>

#include "MonitorLayout.h"

namespace lumidial {
namespace {

using Rects = std::vector<ScreenRect>;
const ScreenRect kPrimary{0, 0, 1280, 1024};

TEST(CoverRects, EveryMonitorButThePrimaryInListedOrder) {
    const ScreenRect left{-1024, 0, 0, 768}, right{1280, 100, 2080, 700}, above{0, -600, 800, 0};
    EXPECT_EQ(CoverRects({kPrimary}, kPrimary), Rects{});
    EXPECT_EQ(CoverRects({right, kPrimary, left}, kPrimary), (Rects{right, left}));
    EXPECT_EQ(CoverRects({kPrimary, above}, kPrimary), Rects{above});
}

TEST(CoverRects, MirrorsRepeatsAndEmptyMonitorsNeedNoWindow) {
    const ScreenRect right{1280, 0, 2304, 768};
    const ScreenRect mirror = kPrimary, part{100, 100, 900, 700}, empty{1280, 0, 1280, 768};
    EXPECT_EQ(CoverRects({kPrimary, mirror, part, empty, right, right}, kPrimary), Rects{right});
    // Overlapping the primary only in part still leaves something to cover.
    const ScreenRect straddling{1000, 0, 2000, 800};
    EXPECT_EQ(CoverRects({kPrimary, straddling}, kPrimary), Rects{straddling});
}

}  // namespace
}  // namespace lumidial
