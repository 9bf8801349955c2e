#include "Settings.h"

#include "LocaleText.h"
#include "Messages.h"
#include "Registry.h"
#include "Trace.h"

#include <iterator>
#include <optional>
#include <stdexcept>

namespace lumidial {

namespace {

// `convert` gives the field's value, or nothing for a value out of range.
template <typename Field, typename Convert>
void ReadDword(const TRegistryKey& key, const char* name, Field& field, Convert convert) noexcept {
    if (!key.ValueExists(name)) return;
    try {
        const std::optional<Field> value = convert(key.ReadInteger(name));
        if (!value) throw std::out_of_range(FormatWithValue(msg::kOutOfRange, name));
        field = *value;
    } catch (...) {
        // Wrong type or out of range: the default stands and the other
        // values still load.
        TraceCaught(L"reading a setting");
    }
}

std::optional<std::int32_t> AsInteger(std::int32_t value) { return value; }
std::optional<bool> AsBoolean(std::int32_t value) { return value != 0; }

// The look's values are checked, unlike the others.
template <std::int32_t Low, std::int32_t High>
std::optional<std::int32_t> InRange(std::int32_t value) {
    return value >= Low && value <= High ? std::optional(value) : std::nullopt;
}
std::optional<bool> AsSwitch(std::int32_t value) {
    return value == 0 || value == 1 ? std::optional(value == 1) : std::nullopt;
}
std::optional<std::uint32_t> AsColour(std::int32_t value) {
    return value >= 0 && value <= 0x00FFFFFF ? std::optional(std::uint32_t(value)) : std::nullopt;
}

// The look's values in the order Save writes them, with their bits.
struct LookEntry {
    const char* name;
    unsigned bit;
};
constexpr LookEntry kLook[] = {{"ClockColour", TSettings::kClockColour}, {"ClockSize", TSettings::kClockSize},
                               {"LeadingZero", TSettings::kLeadingZero}, {"DimAtNight", TSettings::kDimAtNight},
                               {"DimFrom", TSettings::kDimFrom},         {"DimTo", TSettings::kDimTo}};

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
    ReadDword(key, "ClockColour", ClockColour, AsColour);
    ReadDword(key, "ClockSize", ClockSize, InRange<0, 2>);
    ReadDword(key, "LeadingZero", LeadingZero, AsSwitch);
    ReadDword(key, "DimAtNight", DimAtNight, AsSwitch);
    ReadDword(key, "DimFrom", DimFrom, InRange<0, 24 * 60 - 1>);
    ReadDword(key, "DimTo", DimTo, InRange<0, 24 * 60 - 1>);
    for (const LookEntry& value : kLook)
        if (key.ValueExists(value.name)) ToWrite |= value.bit;
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
    const std::int32_t look[] = {std::int32_t(ClockColour), ClockSize, LeadingZero, DimAtNight, DimFrom, DimTo};
    for (size_t i = 0; i < std::size(kLook); ++i)
        if (ToWrite & kLook[i].bit) key.WriteInteger(kLook[i].name, look[i]);
    return ERROR_SUCCESS;
}

}  // namespace lumidial
