// The saver's artwork: seven-segment digits, the colon, the preview picture
// and the program icon. Everything is computed from fixed geometry, so the
// output is the same bytes on every run; resources/art holds the result.
#pragma once

#include "Bmp.h"

#include <string>
#include <utility>
#include <vector>

namespace lumidial::art {

// Segment bits, in the usual a..g naming: a top, b upper right, c lower
// right, d bottom, e lower left, f upper left, g middle.
enum Segment : unsigned { kA = 1, kB = 2, kC = 4, kD = 8, kE = 16, kF = 32, kG = 64 };
unsigned SegmentsOf(int digit);

// Where a digit sits, in pixels; the horizontal bars' pointed ends reach
// left/right, the bars' outer edges top/bottom (all inclusive), and the
// vertical bars stand `inset` columns inside the pointed ends.
struct DigitBox {
    int left, right, top, bottom;
    int thick;   // bar thickness, horizontal and vertical bars alike
    int inset;
    double gap;  // clearance between neighbouring bars
};

// The pure green of a lit segment; everything else is glow or black.
inline constexpr Rgb kLit{0, 255, 0};

inline constexpr int kDigitWidth = 220, kDigitHeight = 325;
inline constexpr int kColonWidth = 93;
inline constexpr int kPreviewWidth = 160, kPreviewHeight = 120;

Image RenderDigit(int digit);
Image RenderColon();
Image RenderPreview();
// A 16- and 32-pixel icon, each in 16 colours and in 24-bit colour.
Bytes BuildIcon();

// Every file of resources/art by name, in a fixed order.
std::vector<std::pair<std::string, Bytes>> AllArtwork();

}  // namespace lumidial::art
