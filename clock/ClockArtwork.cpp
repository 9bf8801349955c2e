#include "ClockArtwork.h"

#include "Application.h"
#include "Messages.h"
#include "Trace.h"
#include "resource.h"

#include <stdexcept>

namespace lumidial {

namespace {

const ColourTable& Designed() {
    static const ColourTable green = ColourTableOf(kDesignColour);
    return green;
}

UniqueBitmap Required(UniqueBitmap bitmap, const char* what) {
    if (!bitmap) throw std::runtime_error(what);
    return bitmap;
}

}  // namespace

TClockArtwork TClockArtwork::At(double scale) {
    TClockArtwork artwork;
    artwork.scale_ = scale;
    if (scale == 1.0) {
        for (int digit = 0; digit < 10; ++digit)
            artwork.digits_[size_t(digit)] =
                Required(LoadLevelBitmap(IDB_DIGIT0 + digit, Designed()), msg::kArtworkNotLoaded.data());
        artwork.colon_ = Required(LoadLevelBitmap(IDB_COLON, Designed()), msg::kArtworkNotLoaded.data());
    } else {
        artwork.colon_ = Required(MakeLevelBitmap(art::DrawColon(scale), Designed()), msg::kArtworkNotDrawn.data());
    }
    return artwork;
}

HBITMAP TClockArtwork::Digit(int digit) {
    UniqueBitmap& image = digits_.at(size_t(digit));
    if (!image) image = Required(MakeLevelBitmap(art::DrawDigit(digit, scale_), Designed()), msg::kArtworkNotDrawn.data());
    return image.get();
}

}  // namespace lumidial
