// The clock as designed, at 96 DPI: the one home of its figures. The design
// density itself, the panel, the digit and colon pictures in it, the shift
// that centres a one-digit hour, the drift's margins, the pointer's
// threshold and the preview picture. The layout (ClockGeometry), the drift,
// the face, the pointer, the artwork and the settings dialog's scaling take
// their numbers from here; on a dense screen the layout scales them.
#pragma once

#include <array>

namespace lumidial {

inline constexpr int kDesignDpi = 96;

struct PictureRect {
    int left = 0, top = 0, width = 0, height = 0;
    constexpr int right() const { return left + width; }
    bool operator==(const PictureRect&) const = default;
};

inline constexpr int kPanelWidth = 978, kPanelHeight = 327;
inline constexpr int kDigitWidth = 220, kDigitHeight = 325;
inline constexpr int kColonWidth = 93;

// Hour tens, hour units, colon, minute tens, minute units: a pixel apart,
// along the top of the panel.
inline constexpr std::array<PictureRect, 5> kPictureRects{
    PictureRect{0, 0, kDigitWidth, kDigitHeight}, PictureRect{221, 0, kDigitWidth, kDigitHeight},
    PictureRect{442, 0, kColonWidth, kDigitHeight}, PictureRect{536, 0, kDigitWidth, kDigitHeight},
    PictureRect{757, 0, kDigitWidth, kDigitHeight}};

// With the hour's tens digit hidden, the pictures move left by half a digit,
// which centres the three that are left.
inline constexpr int kHiddenDigitShift = -(kDigitWidth / 2);

// The drift turns this many percent of the screen in from its edges (whole
// pixels, rounded down): 5 % of the width at each side, 10 % of the height
// at the top and bottom.
inline constexpr int kSideMarginPercent = 5, kTopMarginPercent = 10;

// A pointer movement ends the saver when it is more than this many pixels
// on both axes at once.
inline constexpr int kPointerThreshold = 2;

// The picture painted into the host's preview window.
inline constexpr int kPreviewWidth = 160, kPreviewHeight = 120;

// The lit segments' colour as designed, a COLORREF (0x00BBGGRR): pure
// green. The glow is a darker shade of whatever colour the segments are.
inline constexpr unsigned kDesignColour = 0x0000FF00;

}  // namespace lumidial
