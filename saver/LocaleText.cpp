#include "LocaleText.h"

#include <windows.h>

namespace lumidial {

namespace {

std::string LocaleString(LCTYPE item, const char* fallback) {
    char buffer[128] = {};
    int length = GetLocaleInfoA(LOCALE_USER_DEFAULT, item, buffer, sizeof buffer);
    if (length <= 1) return fallback;
    return std::string(buffer, static_cast<std::size_t>(length - 1));
}

}  // namespace

LocaleFormats UserLocaleFormats() {
    LocaleFormats formats;
    formats.shortDate = LocaleString(LOCALE_SSHORTDATE, "M/d/yyyy");
    formats.longTime = LocaleString(LOCALE_STIMEFORMAT, "h:mm:ss tt");
    formats.amDesignator = LocaleString(LOCALE_S1159, "AM");
    formats.pmDesignator = LocaleString(LOCALE_S2359, "PM");
    return formats;
}

std::string FormatLocaleDateTime(double value) {
    return FormatDateTimeText(value, UserLocaleFormats());
}

std::optional<double> ParseLocaleDateTime(std::string_view text) {
    return ParseDateTimeText(text, UserLocaleFormats());
}

}  // namespace lumidial
