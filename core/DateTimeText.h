// Date-times as days since 30 December 1899 (fraction = time of day), and
// their text in the user's locale formats.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lumidial {

// Locale format pictures as the platform reports them, e.g. short date
// "M/d/yyyy" or "dd.MM.yyyy", long time "h:mm:ss tt" or "HH:mm:ss".
// Quoted runs ('...') are literal text.
struct LocaleFormats {
    std::string shortDate = "M/d/yyyy";
    std::string longTime = "h:mm:ss tt";
    std::string amDesignator = "AM";
    std::string pmDesignator = "PM";
};

struct CivilDateTime {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

double EncodeDateTime(const CivilDateTime& value);
CivilDateTime DecodeDateTime(double value);

// Short date, then one blank and the long time; the time is left out when
// hour, minute and second are all 0. Milliseconds are never written.
std::string FormatDateTimeText(double value, const LocaleFormats& formats);

// Accepts what FormatDateTimeText writes (date alone, or date and time) in
// the same formats; std::nullopt for anything else.
std::optional<double> ParseDateTimeText(std::string_view text, const LocaleFormats& formats);

}  // namespace lumidial
