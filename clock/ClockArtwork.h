// The clock's pictures at the scale it is shown at: at the designed size the
// stored artwork of the program's resources; at any other the same pictures
// drawn at that size from their geometry (core/ClockArt), never the stored
// ones enlarged, the digits only as the clock comes to show them. Every
// picture is in levels of one colour (win/LevelBitmap.h).
#pragma once

#include <windows.h>

#include <array>

#include "ClockArt.h"
#include "LevelBitmap.h"
#include "ScopedWin.h"

namespace lumidial {

class TClockArtwork {
public:
    TClockArtwork() = default;
    TClockArtwork(TClockArtwork&&) noexcept = default;
    TClockArtwork& operator=(TClockArtwork&&) noexcept = default;

    // The artwork at `scale`: the stored pictures at 1, else the colon drawn
    // now and the digits when first asked for. Raises when it cannot be
    // made: whoever replaces an artwork with it keeps the old one then.
    static TClockArtwork At(double scale);

    double Scale() const noexcept { return scale_; }
    HBITMAP Colon() const noexcept { return colon_.get(); }
    // The picture of `digit`, drawn the first time it is asked for; raises
    // when it cannot be drawn.
    HBITMAP Digit(int digit);
    // The picture of `digit` if there is one already; nullptr if not.
    HBITMAP DigitIfMade(int digit) const noexcept { return digits_.at(size_t(digit)).get(); }

private:
    double scale_ = 1.0;
    std::array<UniqueBitmap, 10> digits_;
    UniqueBitmap colon_;
};

}  // namespace lumidial
