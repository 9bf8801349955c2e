#include "ClockGeometry.h"
#include "PointerThreshold.h"

#include <gtest/gtest.h>

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
