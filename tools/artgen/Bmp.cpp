#include "Bmp.h"

#include <algorithm>
#include <stdexcept>
#include <tuple>

namespace lumidial::art {

void PutU16(Bytes& out, std::uint32_t v) {
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}

void PutU32(Bytes& out, std::uint32_t v) {
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

std::uint32_t GetU16(const Bytes& in, std::size_t at) {
    return std::uint32_t(in[at]) | std::uint32_t(in[at + 1]) << 8;
}

std::uint32_t GetU32(const Bytes& in, std::size_t at) {
    return GetU16(in, at) | GetU16(in, at + 2) << 16;
}

namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr int kLongest = 255;  // pixels one run or one literal stretch can hold

// The palette's fixed order, darkest first: black is index 0 and the bytes
// are the same on every run.
bool Darker(const Rgb& a, const Rgb& b) {
    return std::tie(a.g, a.r, a.b) < std::tie(b.g, b.r, b.b);
}

// One row of palette indices in the fewest bytes the format allows: a run
// of equal pixels costs 2 bytes, a literal stretch of 3 to 255 pixels 2
// bytes plus the pixels, padded to an even length. Shortest cost from the
// row's end backwards, then the choices from its start.
void EncodeRow(const std::uint8_t* row, int width, Bytes& out) {
    std::vector<int> cost(std::size_t(width) + 1, 0), step(std::size_t(width) + 1, 0);
    for (int i = width - 1; i >= 0; --i) {
        int best = -1, choice = 0;
        const auto consider = [&](int bytes, int length) {
            if (best < 0 || bytes < best) best = bytes, choice = length;
        };
        for (int run = 1; run <= kLongest && i + run <= width && row[i + run - 1] == row[i]; ++run)
            consider(2 + cost[std::size_t(i + run)], run);
        for (int literal = 3; literal <= kLongest && i + literal <= width; ++literal)
            consider(2 + literal + (literal & 1) + cost[std::size_t(i + literal)], -literal);
        cost[std::size_t(i)] = best;
        step[std::size_t(i)] = choice;
    }
    for (int i = 0; i < width;) {
        const int length = step[std::size_t(i)];
        if (length > 0) {
            out.push_back(std::uint8_t(length));
            out.push_back(row[i]);
            i += length;
            continue;
        }
        out.push_back(0);
        out.push_back(std::uint8_t(-length));
        out.insert(out.end(), row + i, row + i - length);
        if (length & 1) out.push_back(0);
        i -= length;
    }
}

}  // namespace

Bytes EncodeBmp(const Image& image) {
    std::vector<Rgb> palette;
    for (const Rgb& p : image.pixels)
        if (std::find(palette.begin(), palette.end(), p) == palette.end()) palette.push_back(p);
    if (palette.size() > 256) throw std::length_error("more than 256 colours for an 8-bit palette");
    std::sort(palette.begin(), palette.end(), Darker);

    Bytes data;
    std::vector<std::uint8_t> row(std::size_t(image.width));
    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x) {
            const auto at = std::lower_bound(palette.begin(), palette.end(), image.at(x, y), Darker);
            row[std::size_t(x)] = std::uint8_t(at - palette.begin());
        }
        EncodeRow(row.data(), image.width, data);
        data.push_back(0);
        data.push_back(y == 0 ? 1 : 0);  // end of bitmap after the top row, else end of line
    }

    const std::uint32_t offset = kFileHeaderSize + kInfoHeaderSize + 4 * std::uint32_t(palette.size());
    Bytes out;
    out.reserve(offset + data.size());
    out.push_back('B');
    out.push_back('M');
    PutU32(out, offset + std::uint32_t(data.size()));
    PutU32(out, 0);
    PutU32(out, offset);
    PutU32(out, kInfoHeaderSize);
    PutU32(out, std::uint32_t(image.width));
    PutU32(out, std::uint32_t(image.height));  // positive: bottom-up, as RLE requires
    PutU16(out, 1);
    PutU16(out, 8);
    PutU32(out, kBiRle8);
    PutU32(out, std::uint32_t(data.size()));
    PutU32(out, 2835);  // 72 dpi
    PutU32(out, 2835);
    PutU32(out, std::uint32_t(palette.size()));
    PutU32(out, 0);
    for (const Rgb& c : palette) {
        out.push_back(c.b);
        out.push_back(c.g);
        out.push_back(c.r);
        out.push_back(0);
    }
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

}  // namespace lumidial::art
