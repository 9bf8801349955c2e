#include "Png.h"

#include <array>
#include <cstdlib>

namespace lumidial::art {

namespace {

void PutBigU32(Bytes& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(std::uint8_t(v >> shift));
}

// Bits into bytes, least significant bit first, as deflate packs them.
class BitWriter {
public:
    explicit BitWriter(Bytes& out) : out_(out) {}
    void Put(std::uint32_t value, int count) {
        for (int i = 0; i < count; ++i) {
            bits_ |= ((value >> i) & 1u) << filled_;
            if (++filled_ == 8) Flush();
        }
    }
    // Huffman codes go out most significant bit first.
    void PutCode(std::uint32_t code, int length) {
        for (int i = length - 1; i >= 0; --i) Put((code >> i) & 1u, 1);
    }
    void Finish() {
        if (filled_) Flush();
    }

private:
    void Flush() {
        out_.push_back(std::uint8_t(bits_));
        bits_ = 0;
        filled_ = 0;
    }
    Bytes& out_;
    std::uint32_t bits_ = 0;
    int filled_ = 0;
};

// The fixed literal/length code of RFC 1951, 3.2.6.
void PutLiteral(BitWriter& bits, int symbol) {
    if (symbol < 144) bits.PutCode(0x30 + std::uint32_t(symbol), 8);
    else if (symbol < 256) bits.PutCode(0x190 + std::uint32_t(symbol - 144), 9);
    else if (symbol < 280) bits.PutCode(std::uint32_t(symbol - 256), 7);
    else bits.PutCode(0xC0 + std::uint32_t(symbol - 280), 8);
}

constexpr std::array<int, 29> kLengthBase{3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                          31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<int, 29> kLengthExtra{0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<int, 30> kDistanceBase{1,   2,   3,   4,   5,   7,    9,    13,   17,   25,
                                            33,  49,  65,  97,  129, 193,  257,  385,  513,  769,
                                            1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<int, 30> kDistanceExtra{0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                             6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

void PutMatch(BitWriter& bits, int length, int distance) {
    int code = 28;
    while (kLengthBase[std::size_t(code)] > length) --code;
    PutLiteral(bits, 257 + code);
    bits.Put(std::uint32_t(length - kLengthBase[std::size_t(code)]), kLengthExtra[std::size_t(code)]);
    int d = 29;
    while (kDistanceBase[std::size_t(d)] > distance) --d;
    bits.PutCode(std::uint32_t(d), 5);
    bits.Put(std::uint32_t(distance - kDistanceBase[std::size_t(d)]), kDistanceExtra[std::size_t(d)]);
}

constexpr int kWindow = 32768, kMinMatch = 3, kMaxMatch = 258, kMaxChain = 128;
constexpr int kHashBits = 15;

std::uint32_t Hash(const std::uint8_t* p) {
    return ((std::uint32_t(p[0]) << 10) ^ (std::uint32_t(p[1]) << 5) ^ p[2]) & ((1u << kHashBits) - 1);
}

int Paeth(int a, int b, int c) {
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : (pb <= pc ? b : c);
}

void PutChunk(Bytes& out, const char* type, const Bytes& data) {
    PutBigU32(out, std::uint32_t(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBigU32(out, Crc32(out.data() + start, out.size() - start));
}

}  // namespace

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc) {
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::uint32_t Adler32(const Bytes& data) {
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return b << 16 | a;
}

Bytes Deflate(const Bytes& data) {
    Bytes out{0x78, 0x01};  // deflate, 32 KiB window, no dictionary, fastest-level flag
    BitWriter bits(out);
    bits.Put(1, 1);  // the last block
    bits.Put(1, 2);  // fixed Huffman codes
    const int size = int(data.size());
    std::vector<int> head(std::size_t(1) << kHashBits, -1), previous(std::size_t(size), -1);
    const auto insert = [&](int at) {
        if (at + kMinMatch > size) return;
        const std::uint32_t h = Hash(&data[std::size_t(at)]);
        previous[std::size_t(at)] = head[h];
        head[h] = at;
    };
    for (int i = 0; i < size;) {
        int bestLength = 0, bestDistance = 0;
        if (i + kMinMatch <= size) {
            int candidate = head[Hash(&data[std::size_t(i)])];
            for (int chain = 0; candidate >= 0 && i - candidate <= kWindow && chain < kMaxChain; ++chain) {
                int length = 0;
                while (length < kMaxMatch && i + length < size &&
                       data[std::size_t(candidate + length)] == data[std::size_t(i + length)])
                    ++length;
                if (length > bestLength) bestLength = length, bestDistance = i - candidate;
                candidate = previous[std::size_t(candidate)];
            }
        }
        if (bestLength >= kMinMatch) {
            PutMatch(bits, bestLength, bestDistance);
            for (int k = 0; k < bestLength; ++k) insert(i + k);
            i += bestLength;
        } else {
            PutLiteral(bits, data[std::size_t(i)]);
            insert(i);
            ++i;
        }
    }
    PutLiteral(bits, 256);
    bits.Finish();
    PutBigU32(out, Adler32(data));
    return out;
}

// Each row gets the filter whose output has the smallest sum of absolute
// values (as signed bytes), the usual rule of thumb for deflate.
Bytes EncodePng(int width, int height, const Bytes& rgba) {
    const std::size_t stride = std::size_t(width) * 4;
    Bytes filtered, candidate(stride), best(stride);
    const Bytes zero(stride, 0);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = &rgba[std::size_t(y) * stride];
        const std::uint8_t* up = y ? row - stride : zero.data();
        long bestSum = -1;
        std::uint8_t bestType = 0;
        for (std::uint8_t type = 0; type <= 4; ++type) {
            long sum = 0;
            for (std::size_t i = 0; i < stride; ++i) {
                const int a = i >= 4 ? row[i - 4] : 0, b = up[i], c = i >= 4 ? up[i - 4] : 0;
                const int predictor = type == 0 ? 0 : type == 1 ? a : type == 2 ? b : type == 3 ? (a + b) / 2 : Paeth(a, b, c);
                candidate[i] = std::uint8_t(row[i] - predictor);
                sum += std::abs(int(std::int8_t(candidate[i])));
            }
            if (bestSum < 0 || sum < bestSum) bestSum = sum, bestType = type, best = candidate;
        }
        filtered.push_back(bestType);
        filtered.insert(filtered.end(), best.begin(), best.end());
    }

    Bytes out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes header;
    PutBigU32(header, std::uint32_t(width));
    PutBigU32(header, std::uint32_t(height));
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, standard filters, no interlace
    PutChunk(out, "IHDR", header);
    PutChunk(out, "IDAT", Deflate(filtered));
    PutChunk(out, "IEND", {});
    return out;
}

}  // namespace lumidial::art
