// Pictures of 8 bits a pixel in which each index is a level of brightness
// (0 black .. 255 full), shown in whatever colour their colour table gives
// the levels (core/ClockLook.h): one picture, any colour or brightness,
// without being drawn again.
#pragma once

#include <windows.h>

#include "ClockArt.h"
#include "ClockLook.h"
#include "ScopedWin.h"

namespace lumidial {

// A picture of the program's resources (8 bits a pixel, run-length coded,
// its palette levels of green) with its pixels as levels, in `colours`;
// empty, with a trace, when it is missing or not such a picture.
UniqueBitmap LoadLevelBitmap(int id, const ColourTable& colours) noexcept;
// A drawn picture in `colours`; empty, with a trace, when it cannot be made.
UniqueBitmap MakeLevelBitmap(const art::GreenImage& picture, const ColourTable& colours) noexcept;
// The picture shown in `colours` from now on; false, with a trace, when the
// system refused.
bool SetColours(HBITMAP picture, const ColourTable& colours) noexcept;

}  // namespace lumidial
