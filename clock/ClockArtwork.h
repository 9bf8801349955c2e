// The clock's pictures at the scale it is shown at: at the designed size the
// stored artwork of the program's resources; at any other the same pictures
// drawn at that size from their geometry (core/ClockArt), never the stored
// ones enlarged, the digits only as the clock comes to show them. Every
// picture is in levels of one colour (win/LevelBitmap.h), shown through the
// colour table the artwork holds now: a clock recoloured or dimmed keeps
// its pictures and only changes their table.
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

    // The artwork at `scale` in `colours`: the stored pictures at 1, else
    // the colon drawn now and the digits when first asked for. Raises when
    // it cannot be made: whoever replaces an artwork with it keeps the old
    // one then.
    static TClockArtwork At(double scale, const ColourTable& colours);

    double Scale() const noexcept { return scale_; }
    const ColourTable& Colours() const noexcept { return colours_; }
    // Every picture made so far shown in `colours`, and every one made
    // later; false when the system refused a picture, which keeps its old
    // colours until the next call.
    bool SetColours(const ColourTable& colours) noexcept;
    HBITMAP Colon() const noexcept { return colon_.get(); }
    // The picture of `digit`, drawn the first time it is asked for; raises
    // when it cannot be drawn.
    HBITMAP Digit(int digit);
    // The picture of `digit` if there is one already; nullptr if not.
    HBITMAP DigitIfMade(int digit) const noexcept { return digits_.at(size_t(digit)).get(); }

private:
    double scale_ = 1.0;
    ColourTable colours_{};
    std::array<UniqueBitmap, 10> digits_;
    UniqueBitmap colon_;
};

}  // namespace lumidial
