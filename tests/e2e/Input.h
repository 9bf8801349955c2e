// What a person does at the keyboard and with the mouse, sent the way the
// platform's own input arrives (SendInput), and what the pointer looks like
// then (GetCursorInfo): the same path on Windows and under Wine.
#pragma once

#include "Harness.h"

#include <initializer_list>

namespace e2e {

// Keys pressed in order and released in reverse (one key, or a chord such
// as {VK_SHIFT, VK_TAB}), each by its virtual key with its scan code (Wine
// drops a key sent by scan code alone). Keys go to the foreground window,
// so with `to` given this first waits until `to` is the foreground: a key
// sent before would reach whichever window held it.
::testing::AssertionResult PressKeys(std::initializer_list<WORD> keys, HWND to = nullptr);
inline ::testing::AssertionResult PressKey(WORD key, HWND to = nullptr) { return PressKeys({key}, to); }

// The pointer moved to `at` (coordinates from the primary monitor's corner,
// as Windows counts them), anywhere on the desk: absolute moves over the
// whole virtual screen, so that every monitor can be reached.
::testing::AssertionResult MovePointer(POINT at);
// The pointer moved by `dx`, `dy` from where it is.
::testing::AssertionResult MovePointerBy(int dx, int dy);
// The left button pressed and released where the pointer is.
::testing::AssertionResult Click();

// Waits until a pointer shows (`shown`) or none does, as the system tells
// for the window in the foreground (its ShowCursor count). Under Wine a
// window that appears under a still pointer gets its shape only once the
// pointer moves, so the shape is not looked at.
::testing::AssertionResult PointerBecomes(bool shown);

// Waits until `window` is the foreground window; fails naming the window
// that holds it instead.
::testing::AssertionResult HoldsForeground(HWND window);

}  // namespace e2e
