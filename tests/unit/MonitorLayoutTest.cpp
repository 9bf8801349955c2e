#include <gtest/gtest.h>

#include "ClockGeometry.h"
#include "MonitorLayout.h"

namespace lumidial {

// For readable failures: the rectangle and density.
void PrintTo(const DisplayMonitor& m, std::ostream* os) {
    *os << m.rect.left << "," << m.rect.top << "-" << m.rect.right << "," << m.rect.bottom << "@" << m.dpi;
}

namespace {

using Monitors = std::vector<DisplayMonitor>;
const DisplayMonitor kPrimary{{0, 0, 1280, 1024}};

TEST(OtherMonitors, EveryMonitorButThePrimaryInListedOrderWithItsDensity) {
    const DisplayMonitor left{{-1024, 0, 0, 768}, 144}, right{{1280, 100, 2080, 700}}, above{{0, -600, 800, 0}, 120};
    EXPECT_EQ(OtherMonitors({kPrimary}, kPrimary.rect), Monitors{});
    EXPECT_EQ(OtherMonitors({right, kPrimary, left}, kPrimary.rect), (Monitors{right, left}));
    EXPECT_EQ(OtherMonitors({kPrimary, above}, kPrimary.rect), Monitors{above});
    // After a change: the window of its rectangle, whatever came before, else of its device, else one left over.
    const DisplayMonitor named{left.rect, 144, L"L"}, moved{{-1024, 256, 0, 1024}, 144, L"L"};
    EXPECT_EQ(MatchCovers({right, above, named}, {above, moved, {{0, 1024, 640, 1504}}, kPrimary}),
              (std::vector<std::size_t>{1, 2, 0, kNewCover}));
}

TEST(OtherMonitors, MirrorsRepeatsAndEmptyMonitorsNeedNoWindow) {
    const DisplayMonitor right{{1280, 0, 2304, 768}}, rightAgain{{1280, 0, 2304, 768}, 144};
    const DisplayMonitor mirror = kPrimary, part{{100, 100, 900, 700}}, empty{{1280, 0, 1280, 768}};
    EXPECT_EQ(OtherMonitors({kPrimary, mirror, part, empty, right, rightAgain}, kPrimary.rect), Monitors{right});
    // Overlapping the primary only in part still leaves something to cover.
    const DisplayMonitor straddling{{1000, 0, 2000, 800}};
    EXPECT_EQ(OtherMonitors({kPrimary, straddling}, kPrimary.rect), Monitors{straddling});
}

// A clock on a monitor besides the primary: at that monitor's density where
// it leaves room to drift (at most 80 % of the width, half the height), as
// on the primary; on a monitor too small even for the 96-DPI clock,
// smaller, never cut; as large as chosen. Figures from the design: 978 x
// 327 at 96 DPI.
TEST(OtherMonitors, EachClockFitsItsOwnMonitorAtItsOwnDensity) {
    // 150 % beside a 100 % primary: 1.5 times, 1467 x 491, centred.
    const ClockPlacement laptop = PlaceClockOnMonitor(144, 1920, 1080);
    EXPECT_EQ(laptop.geometry.scale, 1.5);
    EXPECT_EQ(std::pair(laptop.geometry.panelWidth, laptop.geometry.panelHeight), std::pair(1467, 491));
    EXPECT_EQ(std::pair(laptop.centre.left, laptop.centre.top), std::pair(226, 294));
    EXPECT_EQ(PlaceClockOnMonitor(96, 1920, 1080).geometry.panelWidth, 978);
    // Large (2.25) and fill stop where 80 % of 1920 is: 1536 / 978 = 1.5706.
    for (int size : {kSizeLarge, kSizeFill})
        EXPECT_NEAR(PlaceClockOnMonitor(144, 1920, 1080, size).geometry.scale, 1.5706, 2.5 / 978) << size;

    struct Small {
        int w, h, widest;  // the panel at most 80 % of the width
    } const smalls[] = {{1024, 768, 819}, {800, 600, 640}, {640, 480, 512}, {320, 240, 256}};
    for (const Small& m : smalls) {
        SCOPED_TRACE(std::to_string(m.w) + " x " + std::to_string(m.h));
        const ClockPlacement p = PlaceClockOnMonitor(96, m.w, m.h);
        const ClockGeometry& g = p.geometry;
        EXPECT_LE(g.panelWidth, m.widest);
        EXPECT_GE(g.panelWidth, m.widest - 3);
        EXPECT_LE(2 * g.panelHeight, m.h);
        EXPECT_GT(p.bounds.rightLimit, p.bounds.leftMargin) << "room to drift";
        EXPECT_GT(p.centre.left, 0);
        EXPECT_GT(p.centre.top, 0);
        EXPECT_LT(g.pictures[4].right(), g.panelWidth) << "the last picture inside the panel";
        EXPECT_EQ(g.pointerThreshold, 2) << "the hand's, not the clock's";
    }
    // The primary keeps its 96-DPI clock on such a screen.
    EXPECT_EQ(PlaceClock(96, 800, 600).geometry.panelWidth, 978);
}

}  // namespace
}  // namespace lumidial
