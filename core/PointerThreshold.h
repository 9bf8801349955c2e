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

}  // namespace lumidial
