// The user's accessibility settings that the program's windows follow, read
// afresh at each call: a window reads them when it opens and again when the
// system says a setting or the colours changed (WM_SETTINGCHANGE,
// WM_SYSCOLORCHANGE).
#pragma once

#include <windows.h>

namespace lumidial {

// Windows' text size, 100 to 225 percent ("TextScaleFactor" under
// HKCU\Software\Microsoft\Accessibility, where Settings keeps it); 100
// when it is absent or out of range (DialogText.h).
int TextScale() noexcept;

// A high-contrast theme is on: every colour is the system's.
bool HighContrast() noexcept;

// The user asked to see access keys underlined and focus rectangles at all
// times, not only once the keyboard is used.
bool KeyboardCuesAlways() noexcept;

}  // namespace lumidial
