#include "Art.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace lumidial::art {
namespace {

namespace fs = std::filesystem;

Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Lit(const Image& image, int x, int y) { return image.at(x, y) == kLit; }

struct Box {
    int left = INT_MAX, right = -1, top = INT_MAX, bottom = -1;
    friend bool operator==(const Box&, const Box&) = default;
};

std::ostream& operator<<(std::ostream& os, const Box& b) {
    return os << "cols " << b.left << ".." << b.right << ", rows " << b.top << ".." << b.bottom;
}

Box LitBox(const Image& image) {
    Box box;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (Lit(image, x, y)) {
                box.left = std::min(box.left, x);
                box.right = std::max(box.right, x);
                box.top = std::min(box.top, y);
                box.bottom = std::max(box.bottom, y);
            }
    return box;
}

// Runs of lit pixels met walking a line: one per segment crossed.
int LitRuns(const Image& image, int x0, int y0, int dx, int dy) {
    int runs = 0;
    bool inside = false;
    for (int x = x0, y = y0; x < image.width && y < image.height; x += dx, y += dy) {
        const bool lit = Lit(image, x, y);
        runs += lit && !inside;
        inside = lit;
    }
    return runs;
}

const char* const kExpectedFiles[] = {
    "digit0.bmp", "digit1.bmp", "digit2.bmp", "digit3.bmp", "digit4.bmp", "digit5.bmp",  "digit6.bmp",
    "digit7.bmp", "digit8.bmp", "digit9.bmp", "colon.bmp",  "preview.bmp", "lumidial.ico",
};

TEST(ArtFiles, CommittedArtIsExactlyWhatTheGeneratorMakes) {
    const auto files = AllArtwork();
    ASSERT_EQ(files.size(), std::size(kExpectedFiles));
    for (std::size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(files[i].first, kExpectedFiles[i]);
        EXPECT_TRUE(ReadFile(fs::path(LUMIDIAL_ART_DIR) / files[i].first) == files[i].second)
            << files[i].first << " is stale: rebuild the artwork target and commit resources/art";
    }
}

TEST(ArtFiles, GeneratorProgramWritesTheSameBytesEveryRun) {
    const fs::path dir = fs::temp_directory_path() / "lumidial_art_test";
    fs::remove_all(dir);
    const std::string program = LUMIDIAL_ARTGEN;
    std::string command = '"' + program + '"';
    ASSERT_NE(std::system(command.c_str()), 0) << "must fail without an output directory";
    command += " \"" + dir.string() + '"';
    ASSERT_EQ(std::system(command.c_str()), 0);
    const auto files = AllArtwork();
    EXPECT_TRUE(files == AllArtwork());
    for (const auto& [name, bytes] : files) EXPECT_TRUE(ReadFile(dir / name) == bytes) << name;
    fs::remove_all(dir);
}

TEST(Bmp, RoundTripKeepsRowOrderAndPadsRows) {
    Image image(3, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) image.at(x, y) = Rgb{std::uint8_t(x), std::uint8_t(10 + y), 200};
    const Bytes file = EncodeBmp(image);
    ASSERT_EQ(file.size(), 54u + 2 * 12);  // 9 bytes of pixels padded to 12
    EXPECT_EQ(GetU32(file, 2), file.size());
    EXPECT_EQ(GetU32(file, 10), 54u);
    // Bottom-up, blue first: the file starts with the lower-left pixel.
    EXPECT_EQ(file[54], 200);
    EXPECT_EQ(file[55], 11);
    EXPECT_EQ(file[56], 0);
    EXPECT_EQ(file[63], 0);  // padding
    const auto back = DecodeBmp(file);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->width, 3);
    EXPECT_EQ(back->height, 2);
    EXPECT_TRUE(back->pixels == image.pixels);
    EXPECT_FALSE(DecodeBmp(Bytes(file.begin(), file.end() - 1)));
}

TEST(ArtFiles, BitmapsAre24BitBottomUpAtTheirSizes) {
    struct Expect {
        std::string name;
        int width, height;
    };
    std::vector<Expect> expected;
    for (int d = 0; d <= 9; ++d) expected.push_back({"digit" + std::to_string(d) + ".bmp", 220, 325});
    expected.push_back({"colon.bmp", 93, 325});
    expected.push_back({"preview.bmp", 160, 120});
    for (const auto& e : expected) {
        const Bytes file = ReadFile(fs::path(LUMIDIAL_ART_DIR) / e.name);
        ASSERT_GE(file.size(), 54u) << e.name;
        EXPECT_EQ(GetU32(file, 14), 40u) << e.name;
        EXPECT_EQ(int(GetU32(file, 18)), e.width) << e.name;
        EXPECT_EQ(int(GetU32(file, 22)), e.height) << e.name;  // positive: bottom-up
        EXPECT_EQ(GetU16(file, 26), 1u) << e.name;
        EXPECT_EQ(GetU16(file, 28), 24u) << e.name;
        EXPECT_EQ(GetU32(file, 30), 0u) << e.name;  // BI_RGB
        EXPECT_EQ(file.size(), 54u + std::size_t((e.width * 3 + 3) / 4 * 4) * e.height) << e.name;
    }
}

TEST(Digits, EightAndOneLightExactlyTheirColumnsAndRows) {
    EXPECT_EQ(LitBox(RenderDigit(8)), (Box{24, 196, 23, 297}));
    const Image one = RenderDigit(1), eight = RenderDigit(8);
    const Box oneBox = LitBox(one);
    EXPECT_EQ(oneBox.left, 140);
    EXPECT_EQ(oneBox.right, 179);
    // The 1 is the 8's right-hand verticals and nothing else.
    for (int y = 0; y < kDigitHeight; ++y)
        for (int x = 0; x < kDigitWidth; ++x)
            if (Lit(one, x, y)) {
                ASSERT_TRUE(Lit(eight, x, y)) << x << "," << y;
            }
}

TEST(Digits, RightVerticalsFillColumns140To179InEveryDigit) {
    for (int d = 0; d <= 9; ++d) {
        const Image image = RenderDigit(d);
        for (int row : {100, 220}) {
            const unsigned segment = row == 100 ? kB : kC;
            if (!(SegmentsOf(d) & segment)) continue;
            for (int x = 111; x < kDigitWidth; ++x)
                EXPECT_EQ(Lit(image, x, row), x >= 140 && x <= 179) << "digit " << d << " at " << x << "," << row;
        }
    }
}

TEST(Digits, EachDigitLightsItsSegmentsAndNoOthers) {
    const char* const kFont[10] = {"abcdef", "bc", "abged", "abgcd", "fgbc",
                                   "afgcd",  "afgedc", "abc", "abcdefg", "abcdfg"};
    struct Centre {
        char segment;
        int x, y;
    };
    const Centre kCentres[] = {{'a', 110, 43}, {'b', 160, 100}, {'c', 160, 220}, {'d', 110, 278},
                               {'e', 60, 220}, {'f', 60, 100},  {'g', 110, 160}};
    for (int d = 0; d <= 9; ++d) {
        const Image image = RenderDigit(d);
        for (const Centre& c : kCentres) {
            const bool wanted = std::string(kFont[d]).find(c.segment) != std::string::npos;
            EXPECT_EQ(Lit(image, c.x, c.y), wanted) << "digit " << d << " segment " << c.segment;
        }
    }
}

TEST(Digits, SegmentsAreSeparatedByGaps) {
    const Image eight = RenderDigit(8);
    EXPECT_EQ(LitRuns(eight, 110, 0, 0, 1), 3);  // a, g, d
    EXPECT_EQ(LitRuns(eight, 160, 0, 0, 1), 5);  // a, b, g, c, d
    EXPECT_EQ(LitRuns(eight, 60, 0, 0, 1), 5);
    EXPECT_EQ(LitRuns(eight, 0, 100, 1, 0), 2);  // f, b
    EXPECT_EQ(LitRuns(eight, 0, 160, 1, 0), 1);  // g
    EXPECT_EQ(LitRuns(eight, 100, 0, 1, 1), 2);  // across the a-b corner
}

TEST(Colon, IsTwoLitSquares) {
    const Image colon = RenderColon();
    ASSERT_EQ(colon.width, 93);
    ASSERT_EQ(colon.height, 325);
    for (int y = 0; y < colon.height; ++y)
        for (int x = 0; x < colon.width; ++x) {
            const bool square = x >= 26 && x <= 65 && ((y >= 69 && y <= 108) || (y >= 218 && y <= 257));
            ASSERT_EQ(Lit(colon, x, y), square) << x << "," << y;
        }
}

TEST(Preview, ShowsTwelveThirtyInItsBox) {
    const Image preview = RenderPreview();
    ASSERT_EQ(preview.width, 160);
    ASSERT_EQ(preview.height, 120);
    EXPECT_EQ(LitBox(preview), (Box{29, 127, 40, 72}));
    // Five groups of lit columns: 1, 2, the colon, 3, 0.
    int groups = 0;
    bool previous = false;
    for (int x = 0; x < preview.width; ++x) {
        bool any = false;
        for (int y = 0; y < preview.height; ++y) any = any || Lit(preview, x, y);
        groups += any && !previous;
        previous = any;
    }
    EXPECT_EQ(groups, 5);
}

// Everything not lit is dim green glow or black, and black once far enough
// from the segments; next to a segment the glow is visible.
void ExpectGlow(const Image& image, const std::string& name) {
    constexpr int kReach = 20;
    int litNeighbours = 0, glowingNeighbours = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const Rgb p = image.at(x, y);
            if (p == kLit) continue;
            ASSERT_EQ(p.r, 0) << name << " " << x << "," << y;
            ASSERT_EQ(p.b, 0) << name << " " << x << "," << y;
            ASSERT_LT(p.g, 128) << name << " " << x << "," << y;
            if (x > 0 && Lit(image, x - 1, y)) {
                ++litNeighbours;
                glowingNeighbours += p.g >= 40;
            }
            if (p.g == 0) continue;
            bool near = false;
            for (int dy = -kReach; dy <= kReach && !near; ++dy)
                for (int dx = -kReach; dx <= kReach && !near; ++dx) {
                    const int xx = x + dx, yy = y + dy;
                    near = dx * dx + dy * dy <= kReach * kReach && xx >= 0 && yy >= 0 && xx < image.width &&
                           yy < image.height && Lit(image, xx, yy);
                }
            ASSERT_TRUE(near) << name << " glows far from any segment at " << x << "," << y;
        }
    EXPECT_GT(litNeighbours, 0) << name;
    EXPECT_EQ(glowingNeighbours, litNeighbours) << name;
}

TEST(Glow, IsDarkGreenAndFadesToBlack) {
    for (int d = 0; d <= 9; ++d) ExpectGlow(RenderDigit(d), "digit" + std::to_string(d));
    ExpectGlow(RenderColon(), "colon");
    ExpectGlow(RenderPreview(), "preview");
    const Image eight = RenderDigit(8);
    EXPECT_EQ(eight.at(2, 2), Rgb{});
    EXPECT_EQ(eight.at(110, 101), Rgb{});  // middle of the upper loop
}

TEST(Icon, HoldsFourImagesAtSixteenColoursAndTrueColour) {
    const Bytes ico = ReadFile(fs::path(LUMIDIAL_ART_DIR) / "lumidial.ico");
    ASSERT_GE(ico.size(), 6u + 4 * 16);
    EXPECT_EQ(GetU16(ico, 0), 0u);
    EXPECT_EQ(GetU16(ico, 2), 1u);
    ASSERT_EQ(GetU16(ico, 4), 4u);
    const int kSizes[] = {16, 32, 16, 32}, kBits[] = {4, 4, 24, 24};
    std::size_t expectedOffset = 6 + 4 * 16;
    for (int i = 0; i < 4; ++i) {
        const std::size_t entry = 6 + 16 * std::size_t(i);
        const int size = kSizes[i], bits = kBits[i];
        SCOPED_TRACE("image " + std::to_string(i));
        EXPECT_EQ(ico[entry], size);
        EXPECT_EQ(ico[entry + 1], size);
        EXPECT_EQ(ico[entry + 2], bits == 4 ? 16 : 0);
        EXPECT_EQ(GetU16(ico, entry + 4), 1u);
        EXPECT_EQ(int(GetU16(ico, entry + 6)), bits);
        const std::size_t length = GetU32(ico, entry + 8), at = GetU32(ico, entry + 12);
        EXPECT_EQ(at, expectedOffset);
        expectedOffset += length;
        ASSERT_LE(at + length, ico.size());

        const std::size_t palette = bits == 4 ? 16 * 4 : 0;
        const std::size_t colourStride = std::size_t(size * bits + 31) / 32 * 4;
        const std::size_t maskStride = std::size_t(size + 31) / 32 * 4;
        EXPECT_EQ(length, 40 + palette + (colourStride + maskStride) * size);
        EXPECT_EQ(GetU32(ico, at), 40u);
        EXPECT_EQ(int(GetU32(ico, at + 4)), size);
        EXPECT_EQ(int(GetU32(ico, at + 8)), size * 2);
        EXPECT_EQ(int(GetU16(ico, at + 14)), bits);
        EXPECT_EQ(GetU32(ico, at + 16), 0u);

        // Colour of pixel (x, y), y from the top; rows are stored bottom-up.
        const std::size_t pixels = at + 40 + palette;
        const auto colour = [&](int x, int y) {
            const std::size_t row = pixels + colourStride * std::size_t(size - 1 - y);
            if (bits == 24) return Rgb{ico[row + 3 * x + 2], ico[row + 3 * x + 1], ico[row + 3 * x]};
            const int index = (ico[row + x / 2] >> (x % 2 == 0 ? 4 : 0)) & 15;
            const std::size_t p = at + 40 + 4 * std::size_t(index);
            return Rgb{ico[p + 2], ico[p + 1], ico[p]};
        };
        const auto transparent = [&](int x, int y) {
            const std::size_t row = pixels + colourStride * size + maskStride * std::size_t(size - 1 - y);
            return (ico[row + x / 8] & (0x80 >> (x % 8))) != 0;
        };
        EXPECT_TRUE(transparent(0, 0));
        EXPECT_TRUE(transparent(size - 1, size - 1));
        int lit = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const Rgb c = colour(x, y);
                ASSERT_TRUE(c.r == 0 && c.b == 0) << x << "," << y;
                if (transparent(x, y)) {
                    ASSERT_EQ(c, Rgb{}) << x << "," << y;
                }
                lit += c == kLit;
            }
        // An "8": lit through the middle row and the middle column.
        EXPECT_GT(lit, size * size / 8);
        EXPECT_EQ(colour(size / 2, size / 2), kLit);
        EXPECT_FALSE(transparent(size / 2, size / 2));
        EXPECT_NE(colour(size / 2, size / 4), kLit) << "upper loop is open";
    }
    EXPECT_EQ(expectedOffset, ico.size());
}

}  // namespace
}  // namespace lumidial::art
