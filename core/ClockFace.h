// What the clock shows for a given local time, and which of its pictures a
// tick has to touch. The window code applies the changes to real controls.
#pragma once

#include <array>
#include <functional>

#include "ClockDesign.h"

namespace lumidial {

// The four digits, hour tens first, for hour 0..23 and minute 0..59.
// In 12-hour form hour 0 reads 12 and 13..23 read 1..11; no AM/PM mark.
std::array<int, 4> ClockDigits(int hour, int minute, bool twentyFourHour);

// The state the pictures of the clock panel are in.
struct ClockFaceState {
    std::array<int, 4> tags{-1, -1, -1, -1};  // digit shown, -1 for none yet
    bool hour1Visible = true;
    int innerLeft = 0;
    bool colonVisible = true;
};

// What one tick changed; a picture not marked is left untouched.
struct ClockFaceChanges {
    std::array<bool, 4> digitChanged{};  // bitmap replaced, repaint
    bool colonToggled = false;
};

// Readies the picture of `digit` for picture `index` (0 hour tens .. 3
// minute units); false when it could not.
using DigitDrawer = std::function<bool(int index, int digit)>;

// One tick: blinks the colon when flashSecond is set, then brings each
// picture whose digit changed to its new digit; a changed hour tens digit
// also decides the first picture's visibility (hidden for 0 unless
// leadingZero, which shows it as any other digit) and the inner panel's
// left (0, or hiddenShift while it is hidden, which is kHiddenDigitShift
// on a 96-DPI screen). A picture changes only once `draw` has readied its
// digit: one whose drawing failed keeps its tag, visibility and place, so
// the next tick draws it again. Without `draw` every picture is ready.
ClockFaceChanges AdvanceClockFace(ClockFaceState& state, int hour, int minute,
                                  bool twentyFourHour, bool leadingZero, bool flashSecond,
                                  int hiddenShift = kHiddenDigitShift,
                                  const DigitDrawer& draw = nullptr);

}  // namespace lumidial
