// A label that is a link: the keyboard reaches it, and while it has the
// focus (and focus rectangles show) a focus rectangle is drawn around its
// text; without the focus it paints exactly as the static control it is.
// What it opens, and how Enter and Space press it, is the dialog's.
#pragma once

#include <windows.h>

namespace lumidial {

// Wraps the static control `link`'s window procedure, until it is destroyed.
void MakeLink(HWND link) noexcept;

}  // namespace lumidial
