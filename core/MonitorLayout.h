// Which monitors need a window of their own in run mode: the clock window
// covers the primary monitor, every other one gets a plain black window.
#pragma once

#include <vector>

namespace lumidial {

// A monitor's rectangle in virtual-screen pixels (right and bottom
// exclusive); monitors left of or above the primary have negative origins.
struct ScreenRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const ScreenRect&) const = default;
};

// The rectangles to cover besides the primary, in the order the monitors
// were listed: empty rectangles, repeats and monitors lying wholly within
// the primary (a mirror of part of it) need no window of their own.
std::vector<ScreenRect> CoverRects(const std::vector<ScreenRect>& monitors, const ScreenRect& primary);

}  // namespace lumidial
