// Whether the end-to-end tests can drive this desktop at all, checked by the
// runner before it starts any driver: the drivers press keys and move the
// pointer with SendInput and read the screen, which Windows stops on a locked
// or secure desktop and towards a window of higher rights. Without these
// checks every test would fail, each for a reason that hides the real one.
#pragma once

#include <string>

namespace bundle {

// Empty when input reaches this desktop and a window of this program; else
// what stops it, in a few sentences the user can act on.
std::wstring InputProblem();

}  // namespace bundle
