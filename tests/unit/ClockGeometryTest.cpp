#include "ClockGeometry.h"
#include "PointerThreshold.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace lumidial {
namespace {

TEST(ClockGeometry, TheDesignAt96DpiAndTwiceItAt192) {
    const ClockGeometry design = ClockGeometryAt(96);
    EXPECT_EQ(std::pair(design.panelWidth, design.panelHeight), std::pair(978, 327));
    const std::array<PictureRect, 5> designed{PictureRect{0, 0, 220, 325}, {221, 0, 220, 325}, {442, 0, 93, 325},
                                              {536, 0, 220, 325}, {757, 0, 220, 325}};
    EXPECT_EQ(design.pictures, designed);
    EXPECT_EQ(design.hiddenDigitShift, -110);
    EXPECT_EQ(design.pointerThreshold, 2);

    const ClockGeometry twice = ClockGeometryAt(192);
    EXPECT_EQ(std::pair(twice.panelWidth, twice.panelHeight), std::pair(1956, 654));
    for (size_t i = 0; i < 5; ++i) {
        const PictureRect& d = designed[i];
        EXPECT_EQ(twice.pictures[i], (PictureRect{2 * d.left, 0, 2 * d.width, 650})) << "picture " << i;
    }
    EXPECT_EQ(twice.hiddenDigitShift, -220);
    EXPECT_EQ(twice.pointerThreshold, 4);
}

// Every density a system offers, odd ones included: the pictures are the
// designed ones scaled and rounded, a pixel or more apart, inside the panel.
TEST(ClockGeometry, ScaledPicturesKeepAGapAndStayInThePanel) {
    const ClockGeometry design = ClockGeometryAt(96);
    for (int dpi = 48; dpi <= 768; ++dpi) {
        SCOPED_TRACE("at " + std::to_string(dpi) + " DPI");
        const ClockGeometry g = ClockGeometryAt(dpi);
        const double s = dpi / 96.0;
        ASSERT_DOUBLE_EQ(g.scale, s);
        // Below 96 DPI the one-pixel gaps cannot shrink: the pictures move
        // right by up to a pixel each.
        const double slack = s >= 1 ? 0 : 3;
        ASSERT_NEAR(g.panelWidth, 978 * s, 2.0 + slack);
        ASSERT_NEAR(g.panelHeight, 327 * s, 1.0);
        for (size_t i = 0; i < 5; ++i) {
            const PictureRect& p = g.pictures[i];
            ASSERT_NEAR(p.left, design.pictures[i].left * s, 2.0 + slack);
            ASSERT_NEAR(p.width, design.pictures[i].width * s, 0.5);
            ASSERT_NEAR(p.height, 325 * s, 0.5);
            ASSERT_GE(p.left, i ? g.pictures[i - 1].right() + 1 : 0) << "picture " << i << " keeps a gap";
        }
        ASSERT_LE(g.pictures[4].right(), g.panelWidth - 1);
        ASSERT_LE(g.pictures[0].height, g.panelHeight);
        ASSERT_EQ(g.hiddenDigitShift, -(g.pictures[0].width / 2));
        ASSERT_EQ(g.pointerThreshold, std::lround(2 * s));
    }
    EXPECT_EQ(ClockGeometryAt(120).pointerThreshold, 3);
    EXPECT_EQ(ClockGeometryAt(144).pointerThreshold, 3);
    EXPECT_EQ(ClockGeometryAt(10000).dpi, 768);
    EXPECT_EQ(ClockGeometryAt(0).dpi, 48);
}

// The design's scales: the density over 96 (1.5 times that for a large
// clock, no limit to fill the screen) where the screen has room for it;
// else 80 % of the screen's width over the panel's 978 pixels, or half its
// height over 327, whichever is less; 1, the design, where not even that
// fits and, as designed, on every 96-DPI screen.
TEST(ClockPlacement, ScaledClockFitsItsScreenWithRoomToDrift) {
    struct Case {
        int dpi, w, h;
        double scale;
        int panelWidth, pointer, size = kSizeAsDesigned;
    } const cases[] = {{192, 2560, 1600, 2.0, 1956, 4},   {120, 2560, 1600, 1.25, 1222, 3},
                       {192, 1920, 1200, 1.5706, 1536, 4}, {144, 1200, 1920, 1.0, 978, 3},
                       {144, 1280, 720, 1.0470, 1024, 3},  {144, 1366, 768, 1.1174, 1093, 3},
                       {192, 800, 600, 1.0, 978, 4},       {144, 3840, 2160, 1.5, 1467, 3},
                       {192, 2560, 720, 1.1009, 1077, 4},  {96, 800, 600, 1.0, 978, 2},
                       {96, 1200, 1920, 1.0, 978, 2},      {96, 3840, 2160, 1.0, 978, 2},
                       {96, 2560, 1600, 1.5, 1467, 2, kSizeLarge},    {192, 2560, 1600, 2.0941, 2048, 4, kSizeLarge},
                       {96, 1280, 1024, 1.0470, 1024, 2, kSizeFill},  {96, 3840, 2160, 3.1411, 3072, 2, kSizeFill},
                       {96, 2560, 720, 1.1009, 1077, 2, kSizeFill},   {144, 1200, 1920, 1.0, 978, 3, kSizeFill}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + " x " + std::to_string(c.h) + " at " + std::to_string(c.dpi) + ", size " +
                     std::to_string(c.size));
        const ClockPlacement p = PlaceClock(c.dpi, c.w, c.h, c.size);
        EXPECT_NEAR(p.geometry.scale, c.scale, 2.5 / 978) << "to whole pixels";
        EXPECT_NEAR(p.geometry.panelWidth, c.panelWidth, 2) << "the pictures rounded to whole pixels";
        EXPECT_EQ(p.geometry.pointerThreshold, c.pointer) << "the hand's, not the clock's";
    }
}

// On 1920 x 1200 at 192 DPI the 1536-pixel panel turns 96 pixels (5 %) from
// either edge: at 96 and at 1920 - 96 - 1536 = 288.
TEST(ClockPlacement, DriftTurnsAtTheMarginsOfTheFittedPanel) {
    const ClockPlacement p = PlaceClock(192, 1920, 1200);
    DriftState state{p.centre.left, p.centre.top, false, false};
    int lowest = state.left, highest = state.left;
    for (int step = 0; step < 1000; ++step) {
        MoveClockStep(state, 1, p.bounds, 1920, 1200, p.geometry.panelWidth, p.geometry.panelHeight);
        lowest = std::min(lowest, state.left), highest = std::max(highest, state.left);
    }
    EXPECT_EQ(std::pair(lowest, highest), std::pair(96, 288));
}

TEST(ClockGeometry, PointerThresholdFollowsTheDensity) {
    const int threshold = ClockGeometryAt(192).pointerThreshold;
    for (const auto& [d, counts] : {std::pair{4, false}, {5, true}, {-5, true}, {-4, false}}) {
        PointerReference reference;
        PointerMovedEnough(reference, 500, 500, threshold);
        EXPECT_EQ(PointerMovedEnough(reference, 500 + d, 500 + d, threshold), counts) << d << " + " << d;
    }
}

}  // namespace
}  // namespace lumidial
