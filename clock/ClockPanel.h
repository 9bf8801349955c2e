// One clock face in a window over one monitor: the panel pnlClock, with the
// inner panel pnlClockInner and the five pictures, laid out for the
// monitor's size and density; the artwork at that layout's scale; the
// digits it shows and its burn-in drift. The clock window has one over the
// primary monitor; with the clock on every monitor, the window over each
// other monitor has one of its own. All of them show what the clock
// window's one timer gives them, so they turn and blink together.
#pragma once

#include <windows.h>

#include <array>
#include <memory>

#include "ClockArtwork.h"
#include "ClockGeometry.h"
#include "Controls.h"

namespace lumidial {

// What every clock shows at a tick.
struct ClockTime {
    int hour = 0;    // local, 0..23
    int minute = 0;  // 0..59
    bool twentyFourHour = false;
    bool leadingZero = false;  // the hour's tens shown when it is 0
    bool colonVisible = true;
};

class TClockPanel {
public:
    // In `parent`, whose client area is its monitor: centred for
    // `placement`, hidden until a time is shown, drifting first in the
    // directions given, its artwork in `colours`. Without `pictures` (the
    // preview, which shows none of it) only the two panels, and no artwork.
    // The pictures report pointer moves to `input`. Raises when the artwork
    // cannot be made.
    TClockPanel(HWND parent, const ClockPlacement& placement, bool pictures, const ColourTable& colours,
                bool movingLeft, bool movingUp, const ControlEvents& input);
    TClockPanel(const TClockPanel&) = delete;
    TClockPanel& operator=(const TClockPanel&) = delete;

    const ClockPlacement& Placement() const noexcept { return placement_; }

    // The monitor changed size or density: fitted to `placement` and
    // centred anew, every picture drawn again at the next time shown; the
    // drift goes on from the centre in the directions it had. Raises when
    // the artwork at the new scale cannot be made, and keeps the old layout.
    void Relayout(const ClockPlacement& placement);

    // Shows `time`; only pictures whose digit changed are drawn and
    // repainted. A digit that cannot be drawn is drawn at the next time.
    // The panel is shown and repainted with it `everyTime`, else only the
    // first time (a clock on another monitor: its colon repaints itself).
    void ShowTime(const ClockTime& time, bool everyTime = true);

    // Every picture, made or to be made, shown in `colours` (a colour
    // table, not a drawing: the clock dimmed or brightened); those on the
    // screen repainted. False when the system refused a picture.
    bool SetColours(const ColourTable& colours) noexcept;

    // One drift step along `direction` (1 horizontal, 2 vertical, 3 both)
    // on a monitor of screenWidth x screenHeight.
    void Step(int direction, int screenWidth, int screenHeight) noexcept;

    // No visible pointer over the pictures.
    void HidePointer() noexcept;

private:
    // Hour tens, hour units, minute tens, minute units.
    std::array<TImage*, 4> DigitPictures() const noexcept;
    // Hour tens, hour units, colon, minute tens, minute units: the order of
    // the layout's picture rectangles.
    std::array<TImage*, 5> PicturesInLayoutOrder() const noexcept;
    void Centre() noexcept;

    ClockPlacement placement_;
    bool MovingLeft = false;
    bool MovingUp = false;
    // At the layout's scale; none without pictures.
    TClockArtwork artwork_;

    // Children of the parent window, destroyed with it or with this.
    std::unique_ptr<TPanel> pnlClock;
    std::unique_ptr<TPanel> pnlClockInner;
    std::unique_ptr<TImage> imgHour1;
    std::unique_ptr<TImage> imgHour2;
    std::unique_ptr<TImage> imgColon;
    std::unique_ptr<TImage> imgMin1;
    std::unique_ptr<TImage> imgMin2;
};

}  // namespace lumidial
