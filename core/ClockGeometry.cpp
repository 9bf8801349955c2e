#include "ClockGeometry.h"

#include "ClockArt.h"
#include "Drift.h"
#include "PointerThreshold.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace lumidial {

namespace {

// A position or distance; sizes are the pictures' own (art::ScaledSize), so
// that each picture is exactly as large as what is drawn for it.
int Scaled(int designed, double scale) { return int(std::lround(designed * scale)); }

int ClampedDpi(int dpi) { return std::clamp(dpi, kDesignDpi / 2, kDesignDpi * 8); }

ClockGeometry GeometryAt(int dpi, double scale) {
    ClockGeometry g;
    g.dpi = dpi;
    g.scale = scale;
    int nextFree = 0;  // the first column a picture may take
    for (std::size_t i = 0; i < kPictureRects.size(); ++i) {
        const PictureRect& d = kPictureRects[i];
        PictureRect& p = g.pictures[i];
        p.width = art::ScaledSize(d.width, g.scale);
        p.height = art::ScaledSize(d.height, g.scale);
        p.left = std::max(Scaled(d.left, g.scale), nextFree);
        p.top = Scaled(d.top, g.scale);
        nextFree = p.right() + 1;
    }
    g.panelWidth = std::max(Scaled(kPanelWidth, g.scale), g.pictures.back().right() + 1);
    g.panelHeight = std::max(Scaled(kPanelHeight, g.scale), g.pictures[0].height);
    g.hiddenDigitShift = -(g.pictures[0].width / 2);
    g.pointerThreshold = PointerThresholdAt(dpi);
    return g;
}

bool LeavesRoomToDrift(const ClockGeometry& g, int screenWidth, int screenHeight) {
    return 5 * std::int64_t(g.panelWidth) <= 4 * std::int64_t(screenWidth) &&
           2 * std::int64_t(g.panelHeight) <= std::int64_t(screenHeight);
}

// The largest scale the size choice asks for at `dpi`; filling the screen
// asks for no limit but the screen's.
double Largest(int dpi, int size) {
    const double designed = dpi / double(kDesignDpi);
    return size == kSizeFill ? HUGE_VAL : size == kSizeLarge ? 1.5 * designed : designed;
}

// The scale where the unrounded panel just fits, but not below `smallest`;
// rounding can make the panel a pixel or two larger than that, so the scale
// then comes down a little at a time (each step about a pixel of the
// panel's width).
ClockPlacement Fit(int dpi, int screenWidth, int screenHeight, int size, double smallest) {
    dpi = ClampedDpi(dpi);
    double scale = std::max(smallest, std::min({Largest(dpi, size), 0.8 * screenWidth / kPanelWidth,
                                                0.5 * screenHeight / kPanelHeight}));
    ClockGeometry g = GeometryAt(dpi, scale);
    while (scale > smallest && !LeavesRoomToDrift(g, screenWidth, screenHeight)) {
        scale = std::max(smallest, scale - 1.0 / kPanelWidth);
        g = GeometryAt(dpi, scale);
    }
    ClockPlacement placement;
    placement.geometry = g;
    placement.centre = CentredPanel(screenWidth, screenHeight, g.panelWidth, g.panelHeight);
    placement.bounds = ComputeDriftBounds(screenWidth, screenHeight, g.panelWidth, g.panelHeight);
    return placement;
}

}  // namespace

ClockGeometry ClockGeometryAt(int dpi) {
    dpi = ClampedDpi(dpi);
    return GeometryAt(dpi, dpi / double(kDesignDpi));
}

ClockPlacement PlaceClock(int dpi, int screenWidth, int screenHeight, int size) {
    return Fit(dpi, screenWidth, screenHeight, size, 1.0);
}

ClockPlacement PlaceClockOnMonitor(int dpi, int width, int height, int size) {
    return Fit(dpi, width, height, size, 0.1);
}

}  // namespace lumidial
