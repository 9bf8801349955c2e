// A PNG writer for the icon's 256-pixel image: 8-bit RGBA, each row with the
// filter that suits it, compressed with a small deflate of our own (fixed
// Huffman codes, greedy LZ77 matches) so that the generator needs no
// library and writes the same bytes everywhere.
#pragma once

#include "Bmp.h"

namespace lumidial::art {

// `rgba` holds width * height pixels, 4 bytes each, top row first.
Bytes EncodePng(int width, int height, const Bytes& rgba);

// The zlib stream (RFC 1950) of `data`, and the checksums it and PNG use.
Bytes Deflate(const Bytes& data);
std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);
std::uint32_t Adler32(const Bytes& data);

}  // namespace lumidial::art
