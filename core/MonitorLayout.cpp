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

// Each pass hands out only the windows no earlier pass gave away.
std::vector<std::size_t> MatchCovers(const std::vector<DisplayMonitor>& before, const std::vector<DisplayMonitor>& now) {
    std::vector<std::size_t> match(now.size(), kNewCover);
    std::vector<bool> given(before.size(), false);
    const auto pass = [&](auto same) {
        for (std::size_t i = 0; i < now.size(); ++i)
            for (std::size_t j = 0; j < before.size() && match[i] == kNewCover; ++j)
                if (!given[j] && same(before[j], now[i])) match[i] = j, given[j] = true;
    };
    pass([](const DisplayMonitor& a, const DisplayMonitor& b) { return a.rect == b.rect; });
    pass([](const DisplayMonitor& a, const DisplayMonitor& b) { return !a.device.empty() && a.device == b.device; });
    pass([](const DisplayMonitor&, const DisplayMonitor&) { return true; });
    return match;
}

}  // namespace lumidial
