#include "DateTimeText.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace lumidial {

namespace {

constexpr long long kMsPerDay = 86'400'000;
// Day number of 30 December 1899 counted from 1 January 1970.
constexpr long long kEpochShift = 25'569;
// Far enough outside years 1..9999 to keep every value that means a date,
// near enough that the millisecond count cannot overflow.
constexpr double kLargestMagnitude = 3'000'000.0;

constexpr std::array<std::string_view, 12> kMonthNames{
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};
constexpr std::array<std::string_view, 12> kMonthAbbreviations{
    "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<std::string_view, 7> kDayNames{
    "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
constexpr std::array<std::string_view, 7> kDayAbbreviations{
    "Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

// Proleptic Gregorian day numbers relative to 1 January 1970 (the
// era-based conversion, exact for negative years as well).
long long DaysFromCivil(long long y, int m, int d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(long long z, int& y, int& m, int& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

int DaysInMonth(int year, int month) {
    static constexpr std::array<int, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

// 0 = Sunday; day 0 of the serial count was a Saturday.
std::size_t Weekday(long long serialDays) {
    return static_cast<std::size_t>(((serialDays % 7) + 7 + 6) % 7);
}

// One run of a picture: a field letter repeated count times, or literal text
// (letter 0).
struct PictureField {
    char letter = 0;
    int count = 0;
    std::string literal;
};

// Field letters are the ones the platform's date and time pictures use;
// '...' quotes literal text and a doubled quote stands for a quote.
std::vector<PictureField> SplitPicture(std::string_view picture) {
    std::vector<PictureField> fields;
    auto literal = [&fields]() -> std::string& {
        if (fields.empty() || fields.back().letter != 0) fields.emplace_back();
        return fields.back().literal;
    };
    std::size_t i = 0;
    while (i < picture.size()) {
        const char c = picture[i];
        if (std::string_view("dMyhHmst").find(c) != std::string_view::npos) {
            std::size_t j = i;
            while (j < picture.size() && picture[j] == c) ++j;
            fields.push_back({c, static_cast<int>(j - i), {}});
            i = j;
        } else if (c == '\'' && i + 1 < picture.size() && picture[i + 1] == '\'') {
            literal() += '\'';
            i += 2;
        } else if (c == '\'') {
            std::string& text = literal();
            for (++i; i < picture.size(); ++i) {
                if (picture[i] != '\'') {
                    text += picture[i];
                } else if (i + 1 < picture.size() && picture[i + 1] == '\'') {
                    text += '\'';
                    ++i;
                } else {
                    ++i;
                    break;
                }
            }
        } else {
            literal() += c;
            ++i;
        }
    }
    return fields;
}

std::string Padded(int value, int width) {
    std::string text = std::to_string(value);
    if (text.size() < static_cast<std::size_t>(width)) {
        text.insert(0, static_cast<std::size_t>(width) - text.size(), '0');
    }
    return text;
}

// The first character of a designator, whole even when it takes several
// UTF-8 bytes.
std::string FirstCharacter(std::string_view text) {
    std::size_t n = text.empty() ? 0 : 1;
    while (n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) ++n;
    return std::string(text.substr(0, n));
}

std::string Designator(const LocaleFormats& formats, bool pm, int count) {
    const std::string& full = pm ? formats.pmDesignator : formats.amDesignator;
    return count == 1 ? FirstCharacter(full) : full;
}

void AppendPicture(std::string& out, std::string_view picture, const CivilDateTime& t,
                   std::size_t weekday, const LocaleFormats& formats) {
    const auto month = static_cast<std::size_t>(t.month - 1);
    for (const PictureField& f : SplitPicture(picture)) {
        const int width = std::min(f.count, 2);
        switch (f.letter) {
            case 'd':
                if (f.count <= 2) {
                    out += Padded(t.day, width);
                } else {
                    out += (f.count == 3 ? kDayAbbreviations : kDayNames)[weekday];
                }
                break;
            case 'M':
                if (f.count <= 2) {
                    out += Padded(t.month, width);
                } else {
                    out += (f.count == 3 ? kMonthAbbreviations : kMonthNames)[month];
                }
                break;
            case 'y': out += f.count <= 2 ? Padded(t.year % 100, width) : Padded(t.year, 4); break;
            case 'h': out += Padded(t.hour % 12 == 0 ? 12 : t.hour % 12, width); break;
            case 'H': out += Padded(t.hour, width); break;
            case 'm': out += Padded(t.minute, width); break;
            case 's': out += Padded(t.second, width); break;
            case 't': out += Designator(formats, t.hour >= 12, f.count); break;
            default: out += f.literal; break;
        }
    }
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (prefix.size() > text.size()) return false;
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (lower(text[i]) != lower(prefix[i])) return false;
    }
    return true;
}

// Reads one to maxDigits decimal digits; digits reports how many were read.
bool ReadNumber(std::string_view& text, int maxDigits, int& value, int* digits = nullptr) {
    int n = 0;
    value = 0;
    while (n < maxDigits && static_cast<std::size_t>(n) < text.size() && text[n] >= '0' &&
           text[n] <= '9') {
        value = value * 10 + (text[n] - '0');
        ++n;
    }
    text.remove_prefix(static_cast<std::size_t>(n));
    if (digits != nullptr) *digits = n;
    return n > 0;
}

template <std::size_t N>
bool ReadName(std::string_view& text, const std::array<std::string_view, N>& names, int& index) {
    for (std::size_t i = 0; i < N; ++i) {
        if (StartsWithNoCase(text, names[i])) {
            text.remove_prefix(names[i].size());
            index = static_cast<int>(i);
            return true;
        }
    }
    return false;
}

struct ParsedFields {
    CivilDateTime value;
    int weekday = -1;     // -1 when the picture names no day
    int designator = -1;  // 0 AM, 1 PM, -1 none read
    bool twelveHour = false;
};

// Two-digit years fall in 1950..2049: 50..99 are the last century's.
int WindowedYear(int twoDigits) { return twoDigits < 50 ? 2000 + twoDigits : 1900 + twoDigits; }

bool ReadDesignator(std::string_view& text, const LocaleFormats& formats, int count, int& which) {
    // Longest match wins so that an empty designator never hides a real one.
    int best = -1;
    std::size_t bestLength = 0;
    for (int pm = 0; pm < 2; ++pm) {
        const std::string d = Designator(formats, pm == 1, count);
        if (StartsWithNoCase(text, d) && (best < 0 || d.size() > bestLength)) {
            best = pm;
            bestLength = d.size();
        }
    }
    if (best < 0) return false;
    text.remove_prefix(bestLength);
    if (bestLength > 0) which = best;
    return true;
}

bool MatchPicture(std::string_view& text, std::string_view picture, const LocaleFormats& formats,
                  ParsedFields& p) {
    CivilDateTime& v = p.value;
    for (const PictureField& f : SplitPicture(picture)) {
        bool ok = true;
        int month = 0;
        switch (f.letter) {
            case 'd':
                ok = f.count <= 2 ? ReadNumber(text, 2, v.day)
                                  : f.count == 3 ? ReadName(text, kDayAbbreviations, p.weekday)
                                                 : ReadName(text, kDayNames, p.weekday);
                break;
            case 'M':
                ok = f.count <= 2 ? ReadNumber(text, 2, month)
                                  : f.count == 3 ? ReadName(text, kMonthAbbreviations, month)
                                                 : ReadName(text, kMonthNames, month);
                v.month = f.count <= 2 ? month : month + 1;
                break;
            case 'y': {
                // A full-year picture also takes a typed two-digit year.
                int digits = 0;
                ok = ReadNumber(text, f.count <= 2 ? 2 : 4, v.year, &digits);
                if (digits <= 2) v.year = WindowedYear(v.year);
                break;
            }
            case 'h':
                p.twelveHour = true;
                ok = ReadNumber(text, 2, v.hour);
                break;
            case 'H': ok = ReadNumber(text, 2, v.hour); break;
            case 'm': ok = ReadNumber(text, 2, v.minute); break;
            case 's': ok = ReadNumber(text, 2, v.second); break;
            case 't': ok = ReadDesignator(text, formats, f.count, p.designator); break;
            default:
                ok = text.substr(0, f.literal.size()) == f.literal;
                if (ok) text.remove_prefix(f.literal.size());
                break;
        }
        if (!ok) return false;
    }
    return true;
}

}  // namespace

double EncodeDateTime(const CivilDateTime& value) {
    const long long days = DaysFromCivil(value.year, value.month, value.day) + kEpochShift;
    const long long ms =
        ((value.hour * 60LL + value.minute) * 60 + value.second) * 1000 + value.millisecond;
    const double time = static_cast<double>(ms) / static_cast<double>(kMsPerDay);
    // Before the epoch the fraction still counts forward from midnight, so it
    // is subtracted from the (negative) day number.
    return days >= 0 ? static_cast<double>(days) + time : static_cast<double>(days) - time;
}

// Non-finite values read as the epoch and huge ones are clamped; they are no
// dates, but decoding them must not fail.
CivilDateTime DecodeDateTime(double value) {
    if (!std::isfinite(value)) value = 0;
    value = std::clamp(value, -kLargestMagnitude, kLargestMagnitude);
    const long long total = std::llround(std::fabs(value) * static_cast<double>(kMsPerDay));
    const long long days = (value < 0 ? -1 : 1) * (total / kMsPerDay);
    long long ms = total % kMsPerDay;

    CivilDateTime t;
    CivilFromDays(days - kEpochShift, t.year, t.month, t.day);
    t.millisecond = static_cast<int>(ms % 1000);
    ms /= 1000;
    t.second = static_cast<int>(ms % 60);
    ms /= 60;
    t.minute = static_cast<int>(ms % 60);
    t.hour = static_cast<int>(ms / 60);
    return t;
}

std::string FormatDateTimeText(double value, const LocaleFormats& formats) {
    const CivilDateTime t = DecodeDateTime(value);
    const std::size_t weekday = Weekday(DaysFromCivil(t.year, t.month, t.day) + kEpochShift);
    std::string text;
    AppendPicture(text, formats.shortDate, t, weekday, formats);
    if (t.hour != 0 || t.minute != 0 || t.second != 0) {
        text += ' ';
        AppendPicture(text, formats.longTime, t, weekday, formats);
    }
    return text;
}

// Fields the short date leaves out keep the epoch's values; numbers may have
// one digit or two where the picture pads, and names match in any case.
std::optional<double> ParseDateTimeText(std::string_view text, const LocaleFormats& formats) {
    ParsedFields p;
    if (!MatchPicture(text, formats.shortDate, formats, p)) return std::nullopt;
    if (!text.empty()) {
        if (text[0] != ' ') return std::nullopt;
        text.remove_prefix(1);
        if (!MatchPicture(text, formats.longTime, formats, p) || !text.empty()) {
            return std::nullopt;
        }
    }

    CivilDateTime& v = p.value;
    if (p.twelveHour) {
        if (v.hour < 1 || v.hour > 12) return std::nullopt;
        if (p.designator == 1 && v.hour < 12) v.hour += 12;
        if (p.designator == 0 && v.hour == 12) v.hour = 0;
    }
    if (v.year < 1 || v.year > 9999 || v.month < 1 || v.month > 12 || v.day < 1 ||
        v.day > DaysInMonth(v.year, v.month) || v.hour > 23 || v.minute > 59 || v.second > 59) {
        return std::nullopt;
    }
    if (p.weekday >= 0 &&
        Weekday(DaysFromCivil(v.year, v.month, v.day) + kEpochShift) !=
            static_cast<std::size_t>(p.weekday)) {
        return std::nullopt;
    }
    return EncodeDateTime(v);
}

}  // namespace lumidial
