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
                                  bool twentyFourHour, bool flashSecond, int hiddenShift) {
    ClockFaceChanges changes;
    if (flashSecond) {
        state.colonVisible = !state.colonVisible;
        changes.colonToggled = true;
    }

    const std::array<int, 4> digits = ClockDigits(hour, minute, twentyFourHour);
    if (digits[0] != state.tags[0]) {
        state.tags[0] = digits[0];
        state.hour1Visible = digits[0] != 0;
        state.innerLeft = state.hour1Visible ? 0 : hiddenShift;
        changes.digitChanged[0] = true;
    }
    for (std::size_t i = 1; i < digits.size(); ++i) {
        if (digits[i] != state.tags[i]) {
            state.tags[i] = digits[i];
            changes.digitChanged[i] = true;
        }
    }
    return changes;
}

}  // namespace lumidial
