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
// colours and read back to exactly what the drawing module draws.
TEST(ArtFiles, PicturesDecodeToExactlyTheDrawnPictures) {
    std::vector<std::pair<std::string, Image>> drawn{{"colon.bmp", ToRgb(DrawColon())},
                                                     {"preview.bmp", ToRgb(DrawPreview())}};
    for (int d = 0; d <= 9; ++d) drawn.emplace_back("digit" + std::to_string(d) + ".bmp", ToRgb(DrawDigit(d)));
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

// Seven images: the four small ones every Windows reads, and 48, 64 and 256
// pixels for scaled screens and large icon views, the last one a PNG. The
// PNG is read back by ImageMagick, a decoder of its own.
TEST(Icon, HoldsSevenImagesFromSixteenColoursToA256PixelPng) {
    const Bytes ico = ReadFile(fs::path(LUMIDIAL_ART_DIR) / "lumidial.ico");
    ASSERT_GE(ico.size(), 6u + 7 * 16);
    EXPECT_EQ(GetU32(ico, 0), 0x10000u);  // reserved, type icon
    ASSERT_EQ(GetU16(ico, 4), 7u);
    struct Expected {
        int size, bits;
    };
    constexpr Expected kImages[] = {{16, 4}, {32, 4}, {16, 24}, {32, 24}, {48, 32}, {64, 32}, {256, 32}};
    std::size_t expectedOffset = 6 + 7 * 16;
    for (int i = 0; i < 7; ++i) {
        const auto [size, bits] = kImages[i];
        SCOPED_TRACE(std::to_string(size) + " pixels, " + std::to_string(bits) + " bits");
        const std::size_t entry = 6 + 16 * std::size_t(i);
        EXPECT_EQ(Bytes(ico.begin() + entry, ico.begin() + entry + 4),
                  (Bytes{std::uint8_t(size % 256), std::uint8_t(size % 256), std::uint8_t(bits == 4 ? 16 : 0), 0}));
        EXPECT_EQ(GetU32(ico, entry + 4), 1u | unsigned(bits) << 16);
        const std::size_t length = GetU32(ico, entry + 8), at = GetU32(ico, entry + 12);
        EXPECT_EQ(at, expectedOffset);
        expectedOffset += length;
        ASSERT_LE(at + length, ico.size());
        const IconFace face = DrawIconFace(size);
        const std::size_t centre = std::size_t(size / 2) * std::size_t(size) + std::size_t(size / 2);
        ASSERT_EQ(face.picture.levels[centre], kLitLevel) << "the middle bar of the 8 crosses the centre";
        ASSERT_LT(face.opacity[0], 128) << "the corners are cut round";
        ASSERT_EQ(face.opacity[centre], 255);

        if (size == 256) {
            const Bytes png(ico.begin() + at, ico.begin() + at + length);
            EXPECT_EQ(Bytes(png.begin(), png.begin() + 8), (Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}));
            const fs::path dir = fs::temp_directory_path() / "lumidial_icon_test";
            fs::create_directories(dir);
            std::ofstream(dir / "icon.png", std::ios::binary)
                .write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
            const std::string command = "convert \"" + (dir / "icon.png").string() + "\" -depth 8 \"rgba:" +
                                        (dir / "icon.rgba").string() + '"';
            ASSERT_EQ(std::system(command.c_str()), 0) << "ImageMagick cannot read the PNG image";
            const Bytes rgba = ReadFile(dir / "icon.rgba");
            fs::remove_all(dir);
            ASSERT_EQ(rgba.size(), 256u * 256u * 4u);
            std::size_t wrong = 0;
            for (std::size_t p = 0; p < 256u * 256u; ++p)
                wrong += rgba[4 * p] != 0 || rgba[4 * p + 1] != face.picture.levels[p] || rgba[4 * p + 2] != 0 ||
                         rgba[4 * p + 3] != face.opacity[p];
            EXPECT_EQ(wrong, 0u) << "pixels of the PNG unlike the drawn icon";
            EXPECT_LT(length, 32u * 1024u) << "compressed";
            continue;
        }
        const std::size_t colourRow = std::size_t(size * bits + 31) / 32 * 4, maskRow = std::size_t(size + 31) / 32 * 4;
        EXPECT_EQ(length, 40 + (bits == 4 ? 64 : 0) + (colourRow + maskRow) * std::size_t(size));
        EXPECT_EQ(GetU32(ico, at), 40u);
        EXPECT_EQ(int(GetU32(ico, at + 4)), size);
        EXPECT_EQ(int(GetU32(ico, at + 8)), size * 2);
        EXPECT_EQ(int(GetU16(ico, at + 14)), bits);
        // Rows are stored bottom-up: the centre pixel, then the mask's top-left.
        const std::size_t pixels = at + 40 + (bits == 4 ? 64 : 0);
        const std::size_t row = pixels + colourRow * std::size_t(size - 1 - size / 2);
        if (bits == 4) {
            EXPECT_EQ((ico[row + std::size_t(size / 4)] >> 4) & 0xF, 10) << "bright green in the 16 colours";
        } else {
            const std::size_t px = row + std::size_t(bits / 8) * std::size_t(size / 2);
            EXPECT_EQ(Bytes(ico.begin() + px, ico.begin() + px + 3), (Bytes{0, 255, 0}));
            if (bits == 32) {
                EXPECT_EQ(ico[px + 3], 255);
            }
        }
        const std::size_t maskTop = pixels + colourRow * std::size_t(size) + maskRow * std::size_t(size - 1);
        EXPECT_EQ(ico[maskTop] & 0x80, 0x80) << "the top-left corner is transparent";
    }
    EXPECT_EQ(expectedOffset, ico.size());
}

}  // namespace
}  // namespace lumidial::art
