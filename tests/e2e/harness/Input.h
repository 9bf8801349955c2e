// What a person does at the keyboard and with the mouse, sent the way the
// platform's own input arrives (SendInput), and what the pointer looks like
// then (GetCursorInfo): the same path on Windows and under Wine.
#pragma once

#include "Process.h"

#include <initializer_list>

namespace e2e {

// Input goes only where it is meant: a key to the window that holds the
// foreground, a click to the window under the pointer (or holding the
// mouse capture). So each is sent only once the window meant is there, and
// otherwise not at all: the scenario fails, naming the window and the
// program that hold it, and a user's own window never gets a test's keys.
// Nor does any window once the run that started the driver has ended.

// Keys pressed in order and released in reverse (one key, or a chord such
// as {VK_SHIFT, VK_TAB}), each by its virtual key with its scan code (Wine
// drops a key sent by scan code alone), to `to` once it holds the foreground.
::testing::AssertionResult PressKeys(std::initializer_list<WORD> keys, HWND to, Millis wait = kTimeout);
inline ::testing::AssertionResult PressKey(WORD key, HWND to, Millis wait = kTimeout) {
  return PressKeys({key}, to, wait);
}

// The pointer moved to `at` (coordinates from the primary monitor's corner,
// as Windows counts them), anywhere on the desk: absolute moves over the
// whole virtual screen, so that every monitor can be reached.
::testing::AssertionResult MovePointer(POINT at);
// The pointer moved by `dx`, `dy` from where it is.
::testing::AssertionResult MovePointerBy(int dx, int dy);
// The left button pressed and released where the pointer is, once the
// window there, or the one holding the capture, is `to` or another window
// of its program.
::testing::AssertionResult Click(HWND to);

// Waits until a pointer shows (`shown`) or none does, as the system tells
// for the window in the foreground (its ShowCursor count). Under Wine a
// window that appears under a still pointer gets its shape only once the
// pointer moves, so the shape is not looked at.
::testing::AssertionResult PointerBecomes(bool shown);

// Waits until `window` is the foreground window; fails naming the window
// that holds it instead, and its program.
::testing::AssertionResult HoldsForeground(HWND window, Millis timeout = kTimeout);

// The active, focus and capture windows of `window`'s thread (all null when
// the system cannot say).
GUITHREADINFO ThreadInfo(HWND window);

// "a CLASS window "TITLE" of PROGRAM (process N)".
std::string Describe(HWND window);

}  // namespace e2e
