// The clock's look beyond its design, as the user may choose it: the colour
// its segments shine in, and its brightness at night. The artwork is drawn
// in levels of one colour (0 black, 255 a lit segment; the glow below 100),
// so a colour and a dimmed clock are only another colour table for the same
// pictures.
#pragma once

#include <array>
#include <cstdint>

namespace lumidial {

// Each level's colour as a bitmap's colour table holds it (an RGBQUAD,
// 0x00RRGGBB), indexed by the level.
using ColourTable = std::array<std::uint32_t, 256>;

// The levels in `colour` (a COLORREF, 0x00BBGGRR) at `percent` of its
// brightness: each channel the colour's times the level over 255 times the
// percentage, rounded. The design's green at 100 % gives level L the green
// L, exactly the stored artwork's colours.
ColourTable ColourTableOf(std::uint32_t colour, int percent = 100);

// The clock at night shines at this much of its brightness, glow included.
inline constexpr int kDimmedPercent = 30;

// Whether the clock is dimmed at `minute` after local midnight (0..1439):
// only with `dimAtNight`, from `from` up to but not including `to`, over
// midnight when `to` comes before `from`; never when the two are equal.
// Decided anew at each tick from the time then, so a clock that jumps
// (summer time, waking from sleep, set by hand) is judged where it lands.
bool DimmedAt(int minute, bool dimAtNight, int from, int to);

}  // namespace lumidial
