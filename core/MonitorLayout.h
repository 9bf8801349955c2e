// Which monitors need a window of their own in run mode: the clock window
// covers the primary monitor, every other one gets a window of its own,
// black or with a clock of its own.
#pragma once

#include "ClockDesign.h"

#include <cstddef>
#include <string>
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

// A monitor and its own density, which a clock on it is drawn at, and the
// name the system gives its device (empty where it gives none), which on
// Windows a monitor keeps as it moves or changes size.
struct DisplayMonitor {
    ScreenRect rect;
    int dpi = kDesignDpi;
    std::wstring device = {};
    bool operator==(const DisplayMonitor&) const = default;
};

// The monitors to cover besides the primary, in the order they were
// listed: empty rectangles, repeats and monitors lying wholly within the
// primary (a mirror of part of it) need no window of their own.
std::vector<DisplayMonitor> OtherMonitors(const std::vector<DisplayMonitor>& monitors, const ScreenRect& primary);

// Which window each monitor to cover gets once the monitors changed, so that
// a monitor that did not change keeps its window untouched, whatever came or
// went before it in the listing. For each of `now`, the index in `before`
// (the monitors the windows lay over) of the window it keeps, or kNewCover:
// the window of the same rectangle; else of the same device (the monitor
// moved or changed size); else one left over, moved there, before a window
// is made anew. No window serves two monitors.
inline constexpr std::size_t kNewCover = static_cast<std::size_t>(-1);
std::vector<std::size_t> MatchCovers(const std::vector<DisplayMonitor>& before, const std::vector<DisplayMonitor>& now);

}  // namespace lumidial
