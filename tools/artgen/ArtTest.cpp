#include "Art.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
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

// Lit extent as {left, right, top, bottom}, inclusive.
std::array<int, 4> LitBox(const Image& image) {
    std::array<int, 4> box{image.width, -1, image.height, -1};
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (Lit(image, x, y))
                box = {std::min(box[0], x), std::max(box[1], x), std::min(box[2], y), std::max(box[3], y)};
    return box;
}

// Reads back an 8-bit run-length coded .bmp as the format defines it:
// pairs (count, index), or an escape 0 followed by 0 (end of line), 1 (end
// of bitmap), 2 (a move, which the writer has no use for) or 3..255
// literal indices padded to an even length. Rows come bottom-up, and each
// must be complete.
::testing::AssertionResult DecodeRle8(const Bytes& file, Image& image) {
    const auto fail = [] { return ::testing::AssertionFailure(); };
    const std::size_t colours = GetU32(file, 46);
    image = Image(int(GetU32(file, 18)), int(GetU32(file, 22)));
    std::size_t at = GetU32(file, 10);
    int x = 0, y = image.height - 1;
    const auto put = [&](std::uint8_t index) {
        if (x >= image.width || y < 0 || index >= colours) return false;
        const std::uint8_t* bgr = &file[54 + 4 * std::size_t(index)];
        image.at(x++, y) = Rgb{bgr[2], bgr[1], bgr[0]};
        return true;
    };
    while (at + 1 < file.size()) {
        const std::uint8_t count = file[at], value = file[at + 1];
        at += 2;
        if (count > 0) {
            for (int i = 0; i < count; ++i)
                if (!put(value)) return fail() << "run outside the picture";
        } else if (value >= 3) {
            if (at + value > file.size()) return fail() << "literal past the end";
            for (std::size_t i = 0; i < value; ++i)
                if (!put(file[at + i])) return fail() << "literal outside the picture";
            at += value + (value & 1u);
        } else if (value == 2) {
            return fail() << "unexpected move";
        } else {
            if (x != image.width) return fail() << "row " << y << " is " << x << " wide";
            x = 0;
            if (--y < 0 || value == 1)
                return value == 1 && y < 0 && at == file.size() ? ::testing::AssertionSuccess()
                                                                : fail() << "ends at row " << y;
        }
    }
    return fail() << "no end of bitmap";
}

TEST(ArtFiles, CommittedAndFreshlyGeneratedFilesMatchTheGeneratorByteForByte) {
    const fs::path dir = fs::temp_directory_path() / "lumidial_art_test";
    fs::remove_all(dir);
    const std::string program = '"' + std::string(LUMIDIAL_ARTGEN) + '"';
    ASSERT_NE(std::system(program.c_str()), 0) << "must fail without an output directory";
    ASSERT_EQ(std::system((program + " \"" + dir.string() + '"').c_str()), 0);
    const auto files = AllArtwork();
    ASSERT_EQ(files.size(), 13u);
    for (const auto& [name, bytes] : files) {
        EXPECT_TRUE(ReadFile(dir / name) == bytes) << name << " differs between runs";
        EXPECT_TRUE(ReadFile(fs::path(LUMIDIAL_ART_DIR) / name) == bytes)
            << name << " is stale: rebuild the artwork target and commit resources/art";
    }
    fs::remove_all(dir);
}

// The pictures are stored run-length coded with a palette of their own
// colours and read back to exactly what the generator draws.
TEST(ArtFiles, PicturesDecodeToExactlyTheDrawnPictures) {
    std::vector<std::pair<std::string, Image>> drawn{{"colon.bmp", RenderColon()},
                                                     {"preview.bmp", RenderPreview()}};
    for (int d = 0; d <= 9; ++d) drawn.emplace_back("digit" + std::to_string(d) + ".bmp", RenderDigit(d));
    for (const auto& [name, picture] : drawn) {
        SCOPED_TRACE(name);
        const Bytes file = ReadFile(fs::path(LUMIDIAL_ART_DIR) / name);
        ASSERT_GE(file.size(), 54u);
        const std::uint32_t colours = GetU32(file, 46);
        EXPECT_EQ(GetU16(file, 0), 0x4D42u);  // "BM"
        EXPECT_EQ(GetU32(file, 2), file.size());
        EXPECT_EQ(GetU32(file, 10), 54 + 4 * colours);
        EXPECT_EQ(GetU32(file, 14), 40u);
        EXPECT_EQ(GetU32(file, 26), 1u | 8u << 16);  // one plane, 8 bits
        EXPECT_EQ(GetU32(file, 30), 1u);             // BI_RLE8
        EXPECT_EQ(GetU32(file, 34), file.size() - GetU32(file, 10));
        ASSERT_LE(colours, 256u);
        Image decoded;
        ASSERT_TRUE(DecodeRle8(file, decoded));
        ASSERT_EQ(decoded.width, picture.width);
        ASSERT_EQ(decoded.height, picture.height);
        EXPECT_TRUE(decoded.pixels == picture.pixels);
    }
}

TEST(Digits, LightTheirSegmentsInsideTheEight) {
    const Image eight = RenderDigit(8);
    EXPECT_EQ(LitBox(eight), (std::array{24, 196, 23, 297}));
    const std::array<int, 4> one = LitBox(RenderDigit(1));
    EXPECT_EQ(one[0], 140);
    EXPECT_EQ(one[1], 179);
    const char* const kFont[10] = {"abcdef", "bc", "abged", "abgcd", "fgbc",
                                   "afgcd",  "afgedc", "abc", "abcdefg", "abcdfg"};
    const std::pair<char, std::array<int, 2>> kCentres[] = {
        {'a', {110, 43}}, {'b', {160, 100}}, {'c', {160, 220}}, {'d', {110, 278}},
        {'e', {60, 220}}, {'f', {60, 100}},  {'g', {110, 160}}};
    for (int d = 0; d <= 9; ++d) {
        const Image image = RenderDigit(d);
        for (const auto& [segment, at] : kCentres)
            EXPECT_EQ(Lit(image, at[0], at[1]), std::string(kFont[d]).find(segment) != std::string::npos)
                << "digit " << d << " segment " << segment;
        for (int y = 0; y < kDigitHeight; ++y)
            for (int x = 0; x < kDigitWidth; ++x)
                ASSERT_TRUE(!Lit(image, x, y) || Lit(eight, x, y)) << d << " at " << x << "," << y;
    }
    // Gaps part the segments: a, b, g, c, d down column 160; a and b across their corner.
    int down = 0, across = 0;
    for (int i = 1; i < kDigitHeight; ++i) {
        down += Lit(eight, 160, i) && !Lit(eight, 160, i - 1);
        if (100 + i < kDigitWidth) across += Lit(eight, 100 + i, i) && !Lit(eight, 99 + i, i - 1);
    }
    EXPECT_EQ(down, 5);
    EXPECT_EQ(across, 2);
}

TEST(ColonAndPreview, LightExactlyTheirShapes) {
    const Image colon = RenderColon();
    ASSERT_EQ(colon.height, 325);
    for (int y = 0; y < colon.height; ++y) {
        const bool squareRow = (y >= 69 && y <= 108) || (y >= 218 && y <= 257);
        for (int x = 0; x < colon.width; ++x)
            ASSERT_EQ(Lit(colon, x, y), squareRow && x >= 26 && x <= 65) << x << "," << y;
    }
    const Image preview = RenderPreview();
    EXPECT_EQ(LitBox(preview), (std::array{29, 127, 40, 72}));
    const auto litColumn = [&](int x) {
        for (int y = 0; y < preview.height; ++y) if (Lit(preview, x, y)) return true;
        return false;
    };
    int groups = 0;  // of lit columns: 1, 2, the colon, 3, 0
    for (int x = 1; x < preview.width; ++x) groups += litColumn(x) && !litColumn(x - 1);
    EXPECT_EQ(groups, 5);
}

TEST(Glow, IsDarkGreenAndVisibleNextToSegments) {
    std::vector<Image> images{RenderColon(), RenderPreview()};
    for (int d = 0; d <= 9; ++d) images.push_back(RenderDigit(d));
    for (const Image& image : images)
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x) {
                const Rgb p = image.at(x, y);
                if (p == kLit) continue;
                ASSERT_TRUE(p.r == 0 && p.b == 0 && p.g < 128) << x << "," << y;
                if (x > 0 && Lit(image, x - 1, y)) {
                    ASSERT_GE(p.g, 40) << x << "," << y;
                }
            }
    const Image eight = RenderDigit(8);
    EXPECT_EQ(eight.at(2, 2), Rgb{});      // far from any segment
    EXPECT_EQ(eight.at(110, 101), Rgb{});  // inside the upper loop
}

TEST(Icon, HoldsFourImagesAtSixteenColoursAndTrueColour) {
    const Bytes ico = ReadFile(fs::path(LUMIDIAL_ART_DIR) / "lumidial.ico");
    ASSERT_GE(ico.size(), 6u + 4 * 16);
    EXPECT_EQ(GetU32(ico, 0), 0x10000u);  // reserved, type icon
    ASSERT_EQ(GetU16(ico, 4), 4u);
    std::size_t expectedOffset = 6 + 4 * 16;
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE("image " + std::to_string(i));
        const std::size_t entry = 6 + 16 * std::size_t(i);
        const int size = i % 2 ? 32 : 16, bits = i < 2 ? 4 : 24;
        EXPECT_EQ(Bytes(ico.begin() + entry, ico.begin() + entry + 3),
                  (Bytes{std::uint8_t(size), std::uint8_t(size), std::uint8_t(bits == 4 ? 16 : 0)}));
        EXPECT_EQ(GetU32(ico, entry + 4), 1u | unsigned(bits) << 16);
        const std::size_t length = GetU32(ico, entry + 8), at = GetU32(ico, entry + 12);
        EXPECT_EQ(at, expectedOffset);
        expectedOffset += length;
        ASSERT_LE(at + length, ico.size());
        const std::size_t colourRow = std::size_t(size * bits + 31) / 32 * 4, maskRow = (size + 31) / 32 * 4;
        EXPECT_EQ(length, 40 + (bits == 4 ? 64 : 0) + (colourRow + maskRow) * size);
        EXPECT_EQ(GetU32(ico, at), 40u);
        EXPECT_EQ(int(GetU32(ico, at + 4)), size);
        EXPECT_EQ(int(GetU32(ico, at + 8)), size * 2);
        EXPECT_EQ(int(GetU16(ico, at + 14)), bits);
        if (bits == 24) {  // the middle of the "8" is lit
            const std::size_t centre = at + 40 + colourRow * std::size_t(size / 2 - 1) + 3 * (size / 2);
            EXPECT_EQ(Bytes(ico.begin() + centre, ico.begin() + centre + 3), (Bytes{0, 255, 0}));
        }
    }
    EXPECT_EQ(expectedOffset, ico.size());
}

}  // namespace
}  // namespace lumidial::art
