// Which monitors need a window of their own in run mode: the clock window
// covers the primary monitor, every other one gets a window of its own,
// black or with a clock of its own.
#pragma once

#include "ClockDesign.h"

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

// A monitor and its own density, which a clock on it is drawn at.
struct DisplayMonitor {
    ScreenRect rect;
    int dpi = kDesignDpi;
    bool operator==(const DisplayMonitor&) const = default;
};

// The monitors to cover besides the primary, in the order they were
// listed: empty rectangles, repeats and monitors lying wholly within the
// primary (a mirror of part of it) need no window of their own.
std::vector<DisplayMonitor> OtherMonitors(const std::vector<DisplayMonitor>& monitors, const ScreenRect& primary);

}  // namespace lumidial
