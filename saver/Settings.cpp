#include "Settings.h"

#include "LocaleText.h"
#include "Registry.h"
#include "Trace.h"


namespace lumidial {

namespace {

template <typename Field, typename Convert>
void ReadDword(const TRegistryKey& key, const char* name, Field& field, Convert convert) noexcept {
    if (!key.ValueExists(name)) return;
    try {
        field = convert(key.ReadInteger(name));
    } catch (...) {
        // Wrong type: the default stands and the other values still load.
        TraceCaught(L"reading a setting");
    }
}

std::int32_t AsInteger(std::int32_t value) { return value; }
bool AsBoolean(std::int32_t value) { return value != 0; }

}  // namespace

TSettings::TSettings() { Load(); }

void TSettings::Load() noexcept {
    TRegistryKey key;
    if (!key.OpenForReading(kSettingsKey)) return;
    ReadDword(key, "ClockMoveDirection", ClockMoveDirection, AsInteger);
    ReadDword(key, "ClockMoveSpeed", ClockMoveSpeed, AsInteger);
    ReadDword(key, "FlashSecond", FlashSecond, AsBoolean);
    ReadDword(key, "TwentyFourHour", TwentyFourHour, AsBoolean);
    ReadDword(key, "CountDown", CountDown, AsBoolean);
    if (key.ValueExists("CountDownTime")) {
        try {
            if (auto value = ParseLocaleDateTime(key.ReadString("CountDownTime")))
                CountDownTime = *value;
            else
                TraceFailure(L"reading the setting CountDownTime: not a date and time");
        } catch (...) {
            // Unreadable: the previous value stands.
            TraceCaught(L"reading a setting");
        }
    }
    ReadDword(key, "ClockOnEveryMonitor", ClockOnEveryMonitor, AsBoolean);
}

unsigned long TSettings::Save(bool clockOnEveryMonitor) const {
    TRegistryKey key;
    if (const LONG status = key.OpenForWriting(kSettingsKey); status != ERROR_SUCCESS)
        return static_cast<unsigned long>(status);
    key.WriteInteger("ClockMoveDirection", ClockMoveDirection);
    key.WriteInteger("ClockMoveSpeed", ClockMoveSpeed);
    key.WriteInteger("FlashSecond", FlashSecond ? 1 : 0);
    key.WriteInteger("TwentyFourHour", TwentyFourHour ? 1 : 0);
    key.WriteInteger("CountDown", CountDown ? 1 : 0);
    key.WriteString("CountDownTime", FormatLocaleDateTime(CountDownTime));
    if (clockOnEveryMonitor) key.WriteInteger("ClockOnEveryMonitor", ClockOnEveryMonitor ? 1 : 0);
    return ERROR_SUCCESS;
}

}  // namespace lumidial
