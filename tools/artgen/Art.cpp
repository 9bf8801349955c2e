#include "Art.h"

#include "Png.h"

#include <array>

namespace lumidial::art {

Image ToRgb(const GreenImage& picture) {
    Image image(picture.width, picture.height);
    for (std::size_t i = 0; i < picture.levels.size(); ++i) image.pixels[i].g = picture.levels[i];
    return image;
}

namespace {

// The standard 16-colour palette; the 16-colour images keep to its black
// and bright green, since its dark green is far brighter than the glow.
constexpr std::array<Rgb, 16> kVgaPalette{
    Rgb{0, 0, 0},     Rgb{128, 0, 0},   Rgb{0, 128, 0},   Rgb{128, 128, 0},
    Rgb{0, 0, 128},   Rgb{128, 0, 128}, Rgb{0, 128, 128}, Rgb{192, 192, 192},
    Rgb{128, 128, 128}, Rgb{255, 0, 0}, Rgb{0, 255, 0},   Rgb{255, 255, 0},
    Rgb{0, 0, 255},   Rgb{255, 0, 255}, Rgb{0, 255, 255}, Rgb{255, 255, 255},
};
constexpr std::uint8_t kVgaBlack = 0, kVgaGreen = 10;

// At least half bright, or at least half covered by the panel.
bool Bright(std::uint8_t level) { return level >= 128; }

// BITMAPINFOHEADER, palette, colour rows and AND mask rows, bottom-up, as
// an .ico stores its bitmap images; the mask marks what lies outside the
// panel's rounded corners.
Bytes IconBitmap(const IconFace& face, int bits) {
    const int size = face.picture.width;
    const std::uint32_t colourStride = (std::uint32_t(size * bits) + 31) / 32 * 4;
    const std::uint32_t maskStride = (std::uint32_t(size) + 31) / 32 * 4;
    const auto opacity = [&](int x, int y) { return face.opacity[std::size_t(y) * std::size_t(size) + std::size_t(x)]; };
    Bytes out;
    PutU32(out, 40);
    PutU32(out, std::uint32_t(size));
    PutU32(out, std::uint32_t(size * 2));  // colour rows plus mask rows
    PutU16(out, 1);
    PutU16(out, std::uint32_t(bits));
    PutU32(out, 0);
    PutU32(out, (colourStride + maskStride) * std::uint32_t(size));
    PutU32(out, 0);
    PutU32(out, 0);
    PutU32(out, bits == 4 ? 16 : 0);
    PutU32(out, 0);
    if (bits == 4) {
        for (const Rgb& c : kVgaPalette) {
            out.push_back(c.b);
            out.push_back(c.g);
            out.push_back(c.r);
            out.push_back(0);
        }
    }
    for (int y = size - 1; y >= 0; --y) {
        Bytes row(colourStride);
        for (int x = 0; x < size; ++x) {
            const bool inside = Bright(opacity(x, y));
            const std::uint8_t level = face.picture.at(x, y);
            if (bits == 4) {
                const std::uint8_t index = inside && Bright(level) ? kVgaGreen : kVgaBlack;
                row[std::size_t(x / 2)] |= std::uint8_t(index << (x % 2 == 0 ? 4 : 0));
            } else if (bits == 24) {
                row[std::size_t(x) * 3 + 1] = inside ? level : 0;
            } else {
                row[std::size_t(x) * 4 + 1] = level;
                row[std::size_t(x) * 4 + 3] = opacity(x, y);
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    for (int y = size - 1; y >= 0; --y) {
        Bytes row(maskStride);
        for (int x = 0; x < size; ++x)
            if (!Bright(opacity(x, y))) row[std::size_t(x / 8)] |= std::uint8_t(0x80 >> (x % 8));
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

Bytes IconPng(const IconFace& face) {
    const int size = face.picture.width;
    Bytes rgba(std::size_t(size) * std::size_t(size) * 4);
    for (std::size_t i = 0; i < face.picture.levels.size(); ++i) {
        rgba[i * 4 + 1] = face.picture.levels[i];
        rgba[i * 4 + 3] = face.opacity[i];
    }
    return EncodePng(size, size, rgba);
}

}  // namespace

Bytes BuildIcon() {
    std::vector<Bytes> images;
    for (const IconEntry& e : kIconEntries) {
        const IconFace face = DrawIconFace(e.size);
        images.push_back(e.png ? IconPng(face) : IconBitmap(face, e.bits));
    }

    Bytes out;
    PutU16(out, 0);
    PutU16(out, 1);  // icon
    PutU16(out, std::uint32_t(images.size()));
    std::uint32_t offset = 6 + 16 * std::uint32_t(images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        const IconEntry& e = kIconEntries[i];
        out.push_back(std::uint8_t(e.size & 0xFF));  // 0 stands for 256
        out.push_back(std::uint8_t(e.size & 0xFF));
        out.push_back(e.bits == 4 ? 16 : 0);
        out.push_back(0);
        PutU16(out, 1);
        PutU16(out, std::uint32_t(e.bits));
        PutU32(out, std::uint32_t(images[i].size()));
        PutU32(out, offset);
        offset += std::uint32_t(images[i].size());
    }
    for (const Bytes& image : images) out.insert(out.end(), image.begin(), image.end());
    return out;
}

std::vector<std::pair<std::string, Bytes>> AllArtwork() {
    std::vector<std::pair<std::string, Bytes>> files;
    for (int d = 0; d <= 9; ++d)
        files.emplace_back("digit" + std::to_string(d) + ".bmp", EncodeBmp(ToRgb(DrawDigit(d))));
    files.emplace_back("colon.bmp", EncodeBmp(ToRgb(DrawColon())));
    files.emplace_back("preview.bmp", EncodeBmp(ToRgb(DrawPreview())));
    files.emplace_back("lumidial.ico", BuildIcon());
    return files;
}

}  // namespace lumidial::art
