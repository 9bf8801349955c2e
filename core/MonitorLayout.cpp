#include "MonitorLayout.h"

#include <algorithm>

namespace lumidial {

namespace {

bool Empty(const ScreenRect& r) { return r.right <= r.left || r.bottom <= r.top; }

bool Within(const ScreenRect& inner, const ScreenRect& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

}  // namespace

// A repeat is a monitor whose rectangle was listed before, whatever its
// density: one window covers it.
std::vector<DisplayMonitor> OtherMonitors(const std::vector<DisplayMonitor>& monitors, const ScreenRect& primary) {
    std::vector<DisplayMonitor> others;
    for (const DisplayMonitor& monitor : monitors) {
        if (Empty(monitor.rect) || Within(monitor.rect, primary)) continue;
        if (std::any_of(others.begin(), others.end(), [&](const DisplayMonitor& o) { return o.rect == monitor.rect; }))
            continue;
        others.push_back(monitor);
    }
    return others;
}

}  // namespace lumidial
