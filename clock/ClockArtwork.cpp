#include "ClockArtwork.h"

#include "Application.h"
#include "Messages.h"
#include "Trace.h"
#include "resource.h"

#include <stdexcept>

namespace lumidial {

namespace {

UniqueBitmap Required(UniqueBitmap bitmap, const char* what) {
    if (!bitmap) throw std::runtime_error(what);
    return bitmap;
}

}  // namespace

TClockArtwork TClockArtwork::At(double scale, const ColourTable& colours) {
    TClockArtwork artwork;
    artwork.scale_ = scale;
    artwork.colours_ = colours;
    if (scale == 1.0) {
        for (int digit = 0; digit < 10; ++digit)
            artwork.digits_[size_t(digit)] =
                Required(LoadLevelBitmap(IDB_DIGIT0 + digit, colours), msg::kArtworkNotLoaded.data());
        artwork.colon_ = Required(LoadLevelBitmap(IDB_COLON, colours), msg::kArtworkNotLoaded.data());
    } else {
        artwork.colon_ = Required(MakeLevelBitmap(art::DrawColon(scale), colours), msg::kArtworkNotDrawn.data());
    }
    return artwork;
}

HBITMAP TClockArtwork::Digit(int digit) {
    UniqueBitmap& image = digits_.at(size_t(digit));
    if (!image) image = Required(MakeLevelBitmap(art::DrawDigit(digit, scale_), colours_), msg::kArtworkNotDrawn.data());
    return image.get();
}

bool TClockArtwork::SetColours(const ColourTable& colours) noexcept {
    colours_ = colours;
    bool all = !colon_ || lumidial::SetColours(colon_.get(), colours);
    for (const UniqueBitmap& digit : digits_)
        if (digit) all = lumidial::SetColours(digit.get(), colours) && all;
    return all;
}

}  // namespace lumidial
