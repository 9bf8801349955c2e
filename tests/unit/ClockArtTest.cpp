// The artwork as designed: where the segments lie, how their edges and glow
// look, and that a scaled screen gets the same design drawn larger.
#include "ClockArt.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace lumidial::art {
namespace {

// At least half bright: the glow never is, so such a pixel is at least
// partly covered by a segment.
bool Lit(const GreenImage& p, int x, int y) { return p.at(x, y) >= 128; }
// Touched by a segment at all: brighter than the glow ever gets.
bool Covered(const GreenImage& p, int x, int y) { return p.at(x, y) > kGlowPeak; }

// Lit extent as {left, right, top, bottom}, inclusive.
std::array<int, 4> LitBox(const GreenImage& p) {
    std::array<int, 4> box{p.width, -1, p.height, -1};
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            if (Lit(p, x, y))
                box = {std::min(box[0], x), std::max(box[1], x), std::min(box[2], y), std::max(box[3], y)};
    return box;
}

// The worst level difference between `p` and itself mirrored by `mirror`.
template <typename Mirror>
int Asymmetry(const GreenImage& p, Mirror mirror) {
    int worst = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const auto [mx, my] = mirror(x, y);
            if (mx >= 0 && my >= 0 && mx < p.width && my < p.height)
                worst = std::max(worst, std::abs(p.at(x, y) - p.at(mx, my)));
        }
    return worst;
}

TEST(DigitTiles, SegmentsLieWhereTheDesignPutsThem) {
    const GreenImage eight = DrawDigit(8);
    ASSERT_EQ(std::pair(eight.width, eight.height), std::pair(220, 325));
    EXPECT_EQ(LitBox(eight), (std::array{24, 196, 23, 297}));
    const std::array<int, 4> one = LitBox(DrawDigit(1));
    EXPECT_EQ(std::pair(one[0], one[1]), std::pair(140, 179)) << "the 1 is the right-hand verticals";

    const char* const kFont[10] = {"abcdef", "bc", "abged", "abgcd", "fgbc",
                                   "afgcd",  "afgedc", "abc", "abcdefg", "abcdfg"};
    const std::pair<char, std::array<int, 2>> kCentres[] = {
        {'a', {110, 43}}, {'b', {160, 101}}, {'c', {160, 220}}, {'d', {110, 278}},
        {'e', {61, 220}}, {'f', {61, 101}},  {'g', {110, 160}}};
    for (int d = 0; d <= 9; ++d) {
        const GreenImage digit = DrawDigit(d);
        for (const auto& [segment, at] : kCentres)
            EXPECT_EQ(digit.at(at[0], at[1]) == kLitLevel, std::string(kFont[d]).find(segment) != std::string::npos)
                << "digit " << d << " segment " << segment;
        for (int y = 0; y < kDigitHeight; ++y)
            for (int x = 0; x < kDigitWidth; ++x)
                ASSERT_TRUE(!Lit(digit, x, y) || Lit(eight, x, y)) << d << " at " << x << "," << y;
    }
    // The flat of the top bar, over both verticals, covers whole pixels.
    for (int y = 23; y < 63; ++y)
        for (int x = 41; x < 180; ++x) ASSERT_EQ(eight.at(x, y), kLitLevel) << x << "," << y;
}

TEST(DigitTiles, EdgesAreSmoothAndTheGlowFadesToBlack) {
    const GreenImage eight = DrawDigit(8);
    // The pointed ends of the top bar slant across every one of its rows:
    // from either side the first pixel a segment touches is partly covered,
    // which a staircase edge never is.
    for (int y = 23; y < 63; ++y) {
        int left = 0, right = kDigitWidth - 1;
        while (!Covered(eight, left, y)) ++left;
        while (!Covered(eight, right, y)) --right;
        EXPECT_LT(eight.at(left, y), kLitLevel) << "row " << y << " from the left";
        EXPECT_LT(eight.at(right, y), kLitLevel) << "row " << y << " from the right";
    }
    // Edges along whole pixels stay sharp.
    EXPECT_LE(eight.at(110, 22), kGlowPeak);
    EXPECT_EQ(eight.at(110, 23), kLitLevel);
    // The glow: dark green beside a segment, fading steadily, black from 16
    // pixels out and inside the loops of the 8.
    for (int x = 40; x > 24; --x) {
        ASSERT_LT(eight.at(x, 101), 128);
        ASSERT_LE(eight.at(x - 1, 101), eight.at(x, 101)) << "fades outwards at " << x;
    }
    EXPECT_GE(eight.at(40, 101), 80);
    EXPECT_EQ(eight.at(24, 101), 0);
    EXPECT_EQ(eight.at(2, 2), 0);
    EXPECT_EQ(eight.at(110, 101), 0);
}

TEST(DigitTiles, SymmetricWithAnEvenGapBetweenSegments) {
    const GreenImage eight = DrawDigit(8);
    // Rows 23..297: mirrored about row 160 (and a half).
    EXPECT_LE(Asymmetry(eight, [](int x, int y) { return std::pair(x, 320 - y); }), 1) << "top to bottom";
    // Columns 24..196: mirrored about column 110 (and a half).
    EXPECT_LE(Asymmetry(eight, [](int x, int y) { return std::pair(220 - x, y); }), 1) << "left to right";
    // Each upright bar is pointed alike on both sides: the 1, mirrored about
    // its own middle (column 160), is the 1.
    EXPECT_LE(Asymmetry(DrawDigit(1), [](int x, int y) { return std::pair(319 - x, y); }), 1);

    // Twice the size every edge lies on whole pixels: down the middle of
    // each column of verticals, the gaps between a, b or f, g, c or e and d
    // are equal, 10 pixels (5 at the design size).
    const GreenImage large = DrawDigit(8, 2.0);
    for (int column : {2 * 61, 2 * 160}) {
        std::vector<int> gaps;
        int run = 0;
        for (int y = 2 * 23; y < 2 * 298; ++y) {
            if (!Covered(large, column, y)) {
                ++run;
            } else if (run) {
                gaps.push_back(run);
                run = 0;
            }
        }
        EXPECT_EQ(gaps, (std::vector<int>{10, 10, 10, 10})) << "column " << column;
    }
}

TEST(DigitTiles, ScaledScreensGetTheDesignDrawnAtTheirSize) {
    for (double scale : {1.25, 1.5, 2.0, 3.0}) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        const GreenImage eight = DrawDigit(8, scale);
        EXPECT_EQ(eight.width, std::lround(220 * scale));
        EXPECT_EQ(eight.height, std::lround(325 * scale));
        const std::array<int, 4> box = LitBox(eight);
        const std::array<double, 4> designed{24 * scale, 197 * scale - 1, 23 * scale, 298 * scale - 1};
        for (int edge = 0; edge < 4; ++edge) EXPECT_NEAR(box[edge], designed[edge], 1.0) << "edge " << edge;
        // Sharp at any size: across the top bar's upper edge, at most one
        // pixel lies between the glow and the pure green.
        const int column = int(110 * scale);
        int between = 0;
        for (int y = 0; y < eight.height && eight.at(column, y) != kLitLevel; ++y)
            between += Covered(eight, column, y);
        EXPECT_LE(between, 1);
    }
    // Drawn anew, not the design-size picture enlarged: where the slanted
    // edges cross pixels, neighbouring pixels differ.
    const GreenImage large = DrawDigit(8, 2.0);
    int partial = 0, pairedWithRightNeighbour = 0;
    for (int y = 0; y < large.height; ++y)
        for (int x = 0; x + 1 < large.width; ++x) {
            if (large.at(x, y) < 128 || large.at(x, y) == kLitLevel) continue;
            ++partial;
            pairedWithRightNeighbour += large.at(x + 1, y) == large.at(x, y);
        }
    EXPECT_GT(partial, 200);
    EXPECT_LT(pairedWithRightNeighbour * 4, partial);
}

TEST(ColonAndPreview, DrawnWhereDesignedAtAnySize) {
    for (double scale : {1.0, 2.0}) {
        const GreenImage colon = DrawColon(scale);
        ASSERT_EQ(std::pair(colon.width, colon.height), std::pair(int(93 * scale), int(325 * scale)));
        for (int y = 0; y < colon.height; ++y) {
            const double row = y / scale;
            const bool squareRow = (row >= 69 && row < 109) || (row >= 218 && row < 258);
            for (int x = 0; x < colon.width; ++x) {
                const bool inside = squareRow && x / scale >= 26 && x / scale < 66;
                ASSERT_EQ(colon.at(x, y) == kLitLevel, inside) << x << "," << y << " at scale " << scale;
                ASSERT_TRUE(inside || colon.at(x, y) < 128) << x << "," << y << " at scale " << scale;
            }
        }
    }

    const GreenImage preview = DrawPreview();
    EXPECT_EQ(LitBox(preview), (std::array{29, 127, 40, 72}));
    const auto litColumn = [&](int x) {
        for (int y = 0; y < preview.height; ++y)
            if (Lit(preview, x, y)) return true;
        return false;
    };
    int groups = 0;  // of lit columns: 1, 2, the colon, 3, 0
    for (int x = 1; x < preview.width; ++x) groups += litColumn(x) && !litColumn(x - 1);
    EXPECT_EQ(groups, 5);

    const GreenImage scaled = DrawPreview(1.5);
    EXPECT_EQ(std::pair(scaled.width, scaled.height), std::pair(240, 180));
    const std::array<int, 4> box = LitBox(scaled);
    const std::array<double, 4> designed{29 * 1.5, 128 * 1.5 - 1, 40 * 1.5, 73 * 1.5 - 1};
    for (int edge = 0; edge < 4; ++edge) EXPECT_NEAR(box[edge], designed[edge], 1.0) << "edge " << edge;
}

}  // namespace
}  // namespace lumidial::art
