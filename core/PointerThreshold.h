// When a pointer movement counts as the user wanting the saver gone.
#pragma once

#include "ClockDesign.h"

namespace lumidial {

// The reference position starts unset (-1, -1); the first report sets it.
// A later report more than `threshold` pixels away (kPointerThreshold at
// 96 DPI) on both axes at once moves the reference there and counts;
// smaller moves leave the reference where it is, so they add up against it.
struct PointerReference {
    int x = -1;
    int y = -1;
};

bool PointerMovedEnough(PointerReference& reference, int x, int y, int threshold = kPointerThreshold);

// The threshold where a movement happens, on a monitor of `dpi`:
// kPointerThreshold at 96 DPI, times the density over 96, rounded, at least
// 1, so that a hand's tremor counts the same on a dense monitor as on any
// other. A movement is judged at the density of the monitor under its new
// position, not at the primary's.
int PointerThresholdAt(int dpi);

}  // namespace lumidial
