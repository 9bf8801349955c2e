// The clock's artwork drawn from its geometry: the seven-segment digits, the
// colon, the host's preview picture and the face of the program icon. One
// module for all of it: the artwork generator (tools/artgen) draws the
// stored pictures with it at the design size, and the saver draws the same
// pictures with it at the size a scaled screen needs. Nothing here depends
// on the platform, and the arithmetic is plain IEEE double (no fused
// multiply-adds, no library functions but sqrt and rounding), so every
// build draws the same bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "ClockDesign.h"

namespace lumidial::art {

// The artwork has no red or blue anywhere: each pixel is a level of green,
// 0 black, 255 the pure green of a lit segment.
struct GreenImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> levels;  // row 0 at the top

    GreenImage() = default;
    GreenImage(int w, int h) : width(w), height(h), levels(std::size_t(w) * std::size_t(h)) {}
    std::uint8_t at(int x, int y) const { return levels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
    std::uint8_t& at(int x, int y) { return levels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
};

// Where a segment covers a pixel completely; partly covered pixels blend it
// over the glow and stay below it.
inline constexpr std::uint8_t kLitLevel = 255;
// The glow never reaches half brightness.
inline constexpr std::uint8_t kGlowPeak = 100;

// A design size in pixels at `scale` (the density over 96 DPI).
int ScaledSize(int designPixels, double scale);

// Segment bits, in the usual a..g naming: a top, b upper right, c lower
// right, d bottom, e lower left, f upper left, g middle.
enum Segment : unsigned { kA = 1, kB = 2, kC = 4, kD = 8, kE = 16, kF = 32, kG = 64 };
unsigned SegmentsOf(int digit);

// A digit tile (kDigitWidth x kDigitHeight at scale 1) and the colon tile
// (kColonWidth wide).
GreenImage DrawDigit(int digit, double scale = 1.0);
GreenImage DrawColon(double scale = 1.0);
// "12:30" small, for the host's preview window (160 x 120 at scale 1).
GreenImage DrawPreview(double scale = 1.0);

// The icon at `size` pixels square: an "8" on a black panel with rounded
// corners; `opacity` says how much of each pixel the panel covers (255
// inside, 0 outside its corners).
struct IconFace {
    GreenImage picture;
    std::vector<std::uint8_t> opacity;
};
IconFace DrawIconFace(int size);

}  // namespace lumidial::art
