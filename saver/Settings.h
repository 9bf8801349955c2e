// The user's choices, stored under HKCU "Software\Orvane\Lumidial". Each
// window that needs them owns one TSettings, loaded when it is created; only
// the settings dialog saves.
#pragma once

#include <cstdint>

#include "ClockDesign.h"

namespace lumidial {

inline constexpr char kSettingsKey[] = "Software\\Orvane\\Lumidial";

class TSettings {
public:
    // Sets the defaults, then loads.
    TSettings();

    std::int32_t ClockMoveDirection = 0;  // 0 none, 1 horizontal, 2 vertical, 3 both
    std::int32_t ClockMoveSpeed = 1;      // 0 slow, 1 very slow, 2 glacial
    bool FlashSecond = true;
    bool TwentyFourHour = false;
    bool CountDown = false;
    double CountDownTime = 0.0;           // days since 30 December 1899
    bool ClockOnEveryMonitor = false;     // a clock on every monitor, not only the primary

    // The clock's look. Each value absent, of the wrong type or out of
    // range leaves the clock as designed: green, at its designed size, the
    // hour's leading zero hidden, never dimmed.
    std::uint32_t ClockColour = kDesignColour;  // a COLORREF, 0x00BBGGRR
    std::int32_t ClockSize = 0;                 // 0 as designed, 1 large, 2 fill the screen
    bool LeadingZero = false;
    bool DimAtNight = false;
    std::int32_t DimFrom = 22 * 60;  // minutes after local midnight, 0..1439
    std::int32_t DimTo = 7 * 60;

    // The look's values by the bit each has in ToWrite, in the order they
    // are written.
    enum LookValue : unsigned {
        kClockColour = 1, kClockSize = 2, kLeadingZero = 4, kDimAtNight = 8, kDimFrom = 16, kDimTo = 32
    };
    // The look's values Save writes: each one the key held when loaded
    // (whatever its type), and each one the caller adds (the user changed
    // it). A key without them gets none: exactly the values it got before
    // the look could be chosen.
    unsigned ToWrite = 0;

    // A value of the wrong registry type keeps that field's default; the
    // rest still load. Never raises.
    void Load() noexcept;

    // Writes the six values above ClockOnEveryMonitor in order, then that
    // one too when `clockOnEveryMonitor` (the dialog shows it only on a desk
    // of several monitors, and writes only what it shows), then the look's
    // values in ToWrite; raises "Failed to set data for '%s'" and stops at
    // the first value that cannot be written. When the key cannot be opened
    // or created for writing (an administrator's rights on it, most often),
    // writes nothing and returns the system's error code for the caller to
    // report; ERROR_SUCCESS once all are written.
    [[nodiscard]] unsigned long Save(bool clockOnEveryMonitor = false) const;
};

}  // namespace lumidial
