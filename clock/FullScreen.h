// The clock window over the whole primary screen, task bar included, also
// once the primary has changed size while the saver runs.
#pragma once

#include <windows.h>

namespace lumidial {

// The primary screen's rectangle, 0, 0 at its top-left corner: the one
// place the program reads its size, which may change while the saver runs.
RECT PrimaryScreenRect() noexcept;

// For WM_GETMINMAXINFO: maximised means the whole primary screen, also once
// it has grown beyond the desk the system measured the largest window by.
void FillPrimaryMaxInfo(MINMAXINFO& info) noexcept;

// Windows keeps a maximised window over its monitor when that changes size.
// Some window systems leave it at its old size (Wine without a window
// manager, measured: the X window kept its size after the primary grew) and
// size it only as it is maximised; so a maximised `window` that no longer
// covers the primary exactly is restored to the primary's size and
// maximised again. On Windows it already covers it, and nothing happens.
// Maximising activates the window: the caller does not ask while the
// password prompt runs.
void KeepOverPrimary(HWND window) noexcept;

}  // namespace lumidial
