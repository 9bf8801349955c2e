// Minimal image type and BMP writer for the artwork generator and its tests.
// Only what the saver's resources use: 8 bits a pixel, run-length coded.
#pragma once

#include <cstdint>
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

inline constexpr std::uint32_t kBiRle8 = 1;

// A complete .bmp file: BITMAPFILEHEADER, BITMAPINFOHEADER (BI_RLE8, 8 bpp,
// bottom-up), a palette of the image's colours, black first and darkest to
// brightest, and the rows run-length coded. GDI decodes it (LoadImage,
// SetDIBits); an image of more than 256 colours throws.
Bytes EncodeBmp(const Image& image);

// Little-endian helpers shared with the icon writer.
void PutU16(Bytes& out, std::uint32_t v);
void PutU32(Bytes& out, std::uint32_t v);
std::uint32_t GetU16(const Bytes& in, std::size_t at);
std::uint32_t GetU32(const Bytes& in, std::size_t at);

}  // namespace lumidial::art
