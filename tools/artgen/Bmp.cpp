#include "Bmp.h"

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

std::uint32_t Stride24(int width) { return (std::uint32_t(width) * 3 + 3) & ~3u; }
}  // namespace

Bytes EncodeBmp(const Image& image) {
    const std::uint32_t stride = Stride24(image.width);
    const std::uint32_t dataSize = stride * std::uint32_t(image.height);
    const std::uint32_t offset = kFileHeaderSize + kInfoHeaderSize;
    Bytes out;
    out.reserve(offset + dataSize);
    out.push_back('B');
    out.push_back('M');
    PutU32(out, offset + dataSize);
    PutU32(out, 0);
    PutU32(out, offset);
    PutU32(out, kInfoHeaderSize);
    PutU32(out, std::uint32_t(image.width));
    PutU32(out, std::uint32_t(image.height));  // positive: bottom-up
    PutU16(out, 1);
    PutU16(out, 24);
    PutU32(out, 0);  // BI_RGB
    PutU32(out, dataSize);
    PutU32(out, 2835);  // 72 dpi
    PutU32(out, 2835);
    PutU32(out, 0);
    PutU32(out, 0);
    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x) {
            const Rgb& p = image.at(x, y);
            out.push_back(p.b);
            out.push_back(p.g);
            out.push_back(p.r);
        }
        for (std::uint32_t pad = std::uint32_t(image.width) * 3; pad < stride; ++pad)
            out.push_back(0);
    }
    return out;
}

}  // namespace lumidial::art
