#include "Drift.h"

namespace lumidial {

PanelPoint CentredPanel(int screenWidth, int screenHeight, int panelWidth, int panelHeight) {
    return {(screenWidth - panelWidth) / 2, (screenHeight - panelHeight) / 2};
}

// In whole numbers, W * 5 / 100 and H * 10 / 100 are exactly trunc(W * 0.05)
// and trunc(H * 0.1): both truncate towards zero, and the doubles 0.05 and
// 0.1 lie just above their true values, so the floating products never fall
// short of a whole number.
DriftBounds ComputeDriftBounds(int screenWidth, int screenHeight, int panelWidth, int panelHeight) {
    DriftBounds bounds;
    bounds.leftMargin = screenWidth * kSideMarginPercent / 100;
    bounds.topMargin = screenHeight * kTopMarginPercent / 100;
    bounds.rightLimit = screenWidth - (panelWidth + bounds.leftMargin);
    bounds.bottomLimit = screenHeight - (panelHeight + bounds.topMargin);
    return bounds;
}

bool DriftDue(int& moveTicks, int speed) {
    int threshold = 0;
    switch (speed) {
        case 0: return true;
        case 1: threshold = 10; break;
        case 2: threshold = 60; break;
        default: return false;
    }
    if (moveTicks <= threshold) return false;
    moveTicks = 0;
    return true;
}

namespace {

// One axis: the margin test runs first and the far-limit test second, so on a
// screen where the two overlap the far limit wins and the panel heads back
// towards the near edge.
void StepAxis(int& position, bool& towardsNear, int nearMargin, int farLimit, int room) {
    const int start = position;
    if (start <= nearMargin) towardsNear = false;
    if (start >= farLimit) towardsNear = true;
    if (towardsNear && start > 0) position = start - 1;
    if (!towardsNear && start < room) position = start + 1;
}

}  // namespace

void MoveClockStep(DriftState& state, int direction, const DriftBounds& bounds,
                   int screenWidth, int screenHeight, int panelWidth, int panelHeight) {
    if (direction == 1 || direction == 3) {
        StepAxis(state.left, state.movingLeft, bounds.leftMargin, bounds.rightLimit,
                 screenWidth - panelWidth);
    }
    if (direction == 2 || direction == 3) {
        StepAxis(state.top, state.movingUp, bounds.topMargin, bounds.bottomLimit,
                 screenHeight - panelHeight);
    }
}

}  // namespace lumidial
