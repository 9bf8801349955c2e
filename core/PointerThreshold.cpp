#include "PointerThreshold.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace lumidial {

namespace {

// Widened so that far-apart coordinates cannot overflow the difference.
long long Distance(int a, int b) { return std::llabs(static_cast<long long>(a) - b); }

}  // namespace

bool PointerMovedEnough(PointerReference& reference, int x, int y, int threshold) {
    if (reference.x == -1 && reference.y == -1) {
        reference = {x, y};
        return false;
    }
    if (Distance(x, reference.x) > threshold && Distance(y, reference.y) > threshold) {
        reference = {x, y};
        return true;
    }
    return false;
}

int PointerThresholdAt(int dpi) {
    return std::max(1, int(std::lround(kPointerThreshold * (dpi / double(kDesignDpi)))));
}

}  // namespace lumidial
