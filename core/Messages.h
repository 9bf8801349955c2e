// Texts shown to the user and the small rules that shape them.
#pragma once

#include <string>
#include <string_view>

namespace lumidial {

// A message gets a closing full stop unless it is empty or already ends in a
// character that sorts at or before '.' ("." "!" ")" and the like).
std::string WithFullStop(std::string message);

// Replaces the first "%s" in format with value.
std::string FormatWithValue(std::string_view format, std::string_view value);

namespace msg {
inline constexpr std::string_view kApplicationTitle = "Orvane Lumidial";
inline constexpr std::string_view kInvalidDataType = "Invalid data type for '%s'";
inline constexpr std::string_view kFailedToGetData = "Failed to get data for '%s'";
inline constexpr std::string_view kFailedToSetData = "Failed to set data for '%s'";
inline constexpr std::string_view kInvalidInteger = "'%s' is not a valid integer value";
// Above the system's reason, in the box the settings dialog shows when the
// settings key cannot be opened for writing.
inline constexpr std::string_view kSettingsNotSaved = "Your settings could not be saved.";
}  // namespace msg

}  // namespace lumidial
