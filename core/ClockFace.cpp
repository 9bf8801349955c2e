#include "ClockFace.h"

namespace lumidial {

std::array<int, 4> ClockDigits(int hour, int minute, bool twentyFourHour) {
    if (!twentyFourHour) {
        if (hour == 0) {
            hour = 12;
        } else if (hour > 12) {
            hour -= 12;
        }
    }
    return {hour / 10, hour % 10, minute / 10, minute % 10};
}

// The tags remember what each picture shows, so a tick only reports the
// pictures whose digit really changed and the window code repaints no more.
ClockFaceChanges AdvanceClockFace(ClockFaceState& state, int hour, int minute,
                                  bool twentyFourHour, bool leadingZero, bool flashSecond, int hiddenShift,
                                  const DigitDrawer& draw) {
    ClockFaceChanges changes;
    if (flashSecond) {
        state.colonVisible = !state.colonVisible;
        changes.colonToggled = true;
    }

    const std::array<int, 4> digits = ClockDigits(hour, minute, twentyFourHour);
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (digits[i] == state.tags[i] || (draw && !draw(int(i), digits[i]))) continue;
        state.tags[i] = digits[i];
        changes.digitChanged[i] = true;
        if (i == 0) {
            state.hour1Visible = digits[0] != 0 || leadingZero;
            state.innerLeft = state.hour1Visible ? 0 : hiddenShift;
        }
    }
    return changes;
}

}  // namespace lumidial
