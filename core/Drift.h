// Placement of the clock panel and its slow burn-in drift.
#pragma once

#include "ClockDesign.h"

namespace lumidial {

struct PanelPoint {
    int left = 0;
    int top = 0;
};

// (W - PW) / 2 and (H - PH) / 2, truncating towards zero.
PanelPoint CentredPanel(int screenWidth, int screenHeight, int panelWidth, int panelHeight);

struct DriftBounds {
    int leftMargin = 0;   // trunc(W * 0.05), kSideMarginPercent
    int topMargin = 0;    // trunc(H * 0.1), kTopMarginPercent
    int rightLimit = 0;   // W - (PW + leftMargin)
    int bottomLimit = 0;  // H - (PH + topMargin)
};
DriftBounds ComputeDriftBounds(int screenWidth, int screenHeight, int panelWidth, int panelHeight);

// Pacing, called after moveTicks has been incremented for this tick.
// Speed 0 moves every tick, 1 when moveTicks exceeds 10, 2 when it exceeds 60
// (and then resets moveTicks to 0); any other speed never moves.
bool DriftDue(int& moveTicks, int speed);

struct DriftState {
    int left = 0;
    int top = 0;
    bool movingLeft = false;
    bool movingUp = false;
};

// One step of one pixel along the axes of direction 1 (horizontal),
// 2 (vertical) or 3 (both, horizontal first); any other direction does nothing.
void MoveClockStep(DriftState& state, int direction, const DriftBounds& bounds,
                   int screenWidth, int screenHeight, int panelWidth, int panelHeight);

}  // namespace lumidial
