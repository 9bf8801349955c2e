#include "ClockGeometry.h"

#include "ClockArt.h"
#include "Drift.h"

#include <algorithm>
#include <cmath>

namespace lumidial {

namespace {

// The designed layout: four 220 x 325 digits and the 93-pixel colon, a pixel
// apart, in the kPanelWidth x kPanelHeight panel.
constexpr std::array<PictureRect, 5> kDesigned{
    PictureRect{0, 0, 220, 325}, PictureRect{221, 0, 220, 325}, PictureRect{442, 0, 93, 325},
    PictureRect{536, 0, 220, 325}, PictureRect{757, 0, 220, 325}};
constexpr int kDesignedThreshold = 2;

// A position or distance; sizes are the pictures' own (art::ScaledSize), so
// that each picture is exactly as large as what is drawn for it.
int Scaled(int designed, double scale) { return int(std::lround(designed * scale)); }

}  // namespace

ClockGeometry ClockGeometryAt(int dpi) {
    ClockGeometry g;
    g.dpi = std::clamp(dpi, kDesignDpi / 2, kDesignDpi * 8);
    g.scale = g.dpi / double(kDesignDpi);
    int nextFree = 0;  // the first column a picture may take
    for (std::size_t i = 0; i < kDesigned.size(); ++i) {
        const PictureRect& d = kDesigned[i];
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
    g.pointerThreshold = std::max(1, Scaled(kDesignedThreshold, g.scale));
    return g;
}

}  // namespace lumidial
