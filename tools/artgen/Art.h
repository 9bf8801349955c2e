// The saver's artwork files: the pictures drawn by core/ClockArt at the
// design size, stored as 8-bit run-length coded bitmaps, and the program
// icon. The output is the same bytes on every run; resources/art holds it.
#pragma once

#include "Bmp.h"
#include "ClockArt.h"

#include <string>
#include <utility>
#include <vector>

namespace lumidial::art {

// A picture of green levels as the bitmap writer takes it.
Image ToRgb(const GreenImage& picture);

// The icon's images, in the order the file lists them: 16 and 32 pixels in
// 16 colours, the same in 24-bit colour, 48 and 64 pixels in 32-bit colour
// with alpha, and 256 pixels as a PNG.
struct IconEntry {
    int size, bits;
    bool png;
};
inline constexpr IconEntry kIconEntries[] = {{16, 4, false},  {32, 4, false},  {16, 24, false}, {32, 24, false},
                                             {48, 32, false}, {64, 32, false}, {256, 32, true}};
Bytes BuildIcon();

// Every file of resources/art by name, in a fixed order.
std::vector<std::pair<std::string, Bytes>> AllArtwork();

}  // namespace lumidial::art
