// Minimal image type and 24-bit BMP codec for the artwork generator and its
// tests. Only what the saver's resources use: uncompressed, bottom-up.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace lumidial::art {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// Row 0 is the top row, as in the rest of the program's coordinates.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;

    Image() = default;
    Image(int w, int h) : width(w), height(h), pixels(std::size_t(w) * h) {}
    Rgb& at(int x, int y) { return pixels[std::size_t(y) * width + x]; }
    const Rgb& at(int x, int y) const { return pixels[std::size_t(y) * width + x]; }
};

using Bytes = std::vector<std::uint8_t>;

// A complete .bmp file: BITMAPFILEHEADER, BITMAPINFOHEADER (BI_RGB, 24 bpp).
Bytes EncodeBmp(const Image& image);

// Little-endian helpers shared with the icon writer.
void PutU16(Bytes& out, std::uint32_t v);
void PutU32(Bytes& out, std::uint32_t v);
std::uint32_t GetU16(const Bytes& in, std::size_t at);
std::uint32_t GetU32(const Bytes& in, std::size_t at);

}  // namespace lumidial::art
