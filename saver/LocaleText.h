// Date-time text in the user's locale settings, as the registry stores it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "DateTimeText.h"

namespace lumidial {

// The user's short date and long time formats and AM/PM designators.
LocaleFormats UserLocaleFormats();

std::string FormatLocaleDateTime(double value);
std::optional<double> ParseLocaleDateTime(std::string_view text);

}  // namespace lumidial
