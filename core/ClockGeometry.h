// The clock panel's layout on a screen of a given density. The layout is
// designed at 96 DPI; on a scaled screen every figure of it is the designed
// one times the density over 96, so the clock keeps its designed size
// beside everything else on the desk, drawn sharp at that size, unless the
// screen is too small for that (PlaceClock).
#pragma once

#include "ClockDesign.h"
#include "Drift.h"

#include <array>

namespace lumidial {

struct ClockGeometry {
    int dpi = kDesignDpi;
    double scale = 1.0;  // dpi / 96, or less where the clock is fitted to its screen
    int panelWidth = 0, panelHeight = 0;
    // Hour tens, hour units, colon, minute tens, minute units.
    std::array<PictureRect, 5> pictures{};
    // The inner panel's left while the hour tens digit is hidden: half a
    // digit to the left, which centres the three digits left.
    int hiddenDigitShift = 0;
    // How far (more than this many pixels, on both axes at once) the
    // pointer must move to end the saver: 2 at 96 DPI, so that a hand's
    // tremor counts the same on a dense screen.
    int pointerThreshold = 0;
};

// The designed layout at 96 DPI, scaled for any other density (clamped to
// 48..768 DPI). Scaled pictures are rounded to whole pixels and keep at
// least a one-pixel gap between them, never overlapping, inside the panel.
ClockGeometry ClockGeometryAt(int dpi);

// The clock's size as the user chooses it (the setting ClockSize): the
// designed size at the screen's density, one and a half times that, or the
// largest the screen takes.
enum ClockSizeChoice : int { kSizeAsDesigned = 0, kSizeLarge = 1, kSizeFill = 2 };

// The clock on a primary screen of screenWidth x screenHeight pixels at
// `dpi`: the layout at the largest scale from 1 up to the size chosen
// (dpi / 96 as designed, 1.5 times that large, no limit to fill) at which
// the panel takes at most 80 % of the screen's width and half its height,
// so that the drift keeps room to wander between its margins (5 % and 10 %
// of the screen); at scale 1 where even the design is larger than that.
// The pointer threshold stays the density's: it is about the hand, not the
// clock. The panel is centred, and the drift's margins and limits are
// those of the panel at that scale.
struct ClockPlacement {
    ClockGeometry geometry;
    PanelPoint centre;
    DriftBounds bounds;
};
ClockPlacement PlaceClock(int dpi, int screenWidth, int screenHeight, int size = kSizeAsDesigned);

// The clock on a monitor besides the primary, of width x height pixels at
// its own `dpi`: fitted as PlaceClock fits it, but where even the 96-DPI
// clock would leave no room to drift, smaller (down to a tenth of its
// designed size), so that it is never cut and always drifts.
ClockPlacement PlaceClockOnMonitor(int dpi, int width, int height, int size = kSizeAsDesigned);

}  // namespace lumidial
