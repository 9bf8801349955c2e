#include "DateTimeText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <tuple>
#include <vector>

namespace lumidial {
namespace {

const LocaleFormats kUs{};
const LocaleFormats kGerman{"dd.MM.yyyy", "HH:mm:ss", "", ""};
const LocaleFormats kIso{"yyyy-MM-dd", "HH:mm:ss", "", ""};
const LocaleFormats kNamed{"dddd, d 'de' MMM yy", "hh'h'mm:ss t", "a.m.", "p.m."};

std::string Civil(const CivilDateTime& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second, t.millisecond);
    return text;
}

TEST(DateTimeValue, SerialsMapToCivilTimeAndBack) {
    const std::pair<double, const char*> cases[] = {
        {0.0, "1899-12-30 00:00:00.000"},    {60.0, "1900-02-28 00:00:00.000"},
        {61.0, "1900-03-01 00:00:00.000"},   {36585.0, "2000-02-29 00:00:00.000"},
        {-1.25, "1899-12-29 06:00:00.000"},  {38366.5125117477, "2005-01-14 12:18:01.015"},
        {-693593.0, "0001-01-01 00:00:00.000"}, {2958465.5, "9999-12-31 12:00:00.000"},
    };
    for (const auto& [serial, text] : cases) {
        EXPECT_EQ(Civil(DecodeDateTime(serial)), text) << serial;
        EXPECT_NEAR(EncodeDateTime(DecodeDateTime(serial)), serial, 1e-9) << serial;
    }
    for (int year = 1; year <= 9999; year += 37) {
        const CivilDateTime t{year,      1 + year % 12, 1 + year % 28,    year % 24,
                              year % 60, year * 7 % 60, year * 13 % 1000};
        EXPECT_EQ(Civil(DecodeDateTime(EncodeDateTime(t))), Civil(t));
    }
    for (double v : {std::nan(""), HUGE_VAL, -1e300, 1e300}) {  // nonsense decodes without failing
        EXPECT_LE(unsigned(DecodeDateTime(v).month - 1), 11u);
        EXPECT_FALSE(FormatDateTimeText(v, kUs).empty());
    }
}

TEST(DateTimeText, WritesInTheLocalePictures) {
    const double friday = 38366.5125117477;
    const std::tuple<LocaleFormats, double, const char*> cases[] = {
        {kUs, friday, "1/14/2005 12:18:01 PM"},
        {kUs, 38366.0 + 30.0 / 1440, "1/14/2005 12:30:00 AM"},
        {kUs, 38366.0 + 0.5 / 86400, "1/14/2005"},  // half a second is no time of day
        {kGerman, 38366.0 + 9.0 / 24, "14.01.2005 09:00:00"},
        {kIso, -693593.0, "0001-01-01"},
        {kNamed, friday, "Friday, 14 de Jan 05 12h18:01 p"},
        {{"MMMM ddd y", "H:m:s tt"}, friday, "January Fri 5 12:18:1 PM"},
        {{"''yy'''s'", "HH"}, friday, "'05's 12"},
    };
    for (const auto& [formats, value, text] : cases) EXPECT_EQ(FormatDateTimeText(value, formats), text);
}

TEST(DateTimeText, ReadsBackWhatItWrites) {
    for (const LocaleFormats* formats : {&kUs, &kGerman, &kIso, &kNamed}) {
        // Two-digit years read back only inside their 1950..2049 window.
        for (double value = 18264.0; value < 54789.0; value += 733.4177) {
            const std::string text = FormatDateTimeText(value, *formats);
            const std::optional<double> back = ParseDateTimeText(text, *formats);
            ASSERT_TRUE(back.has_value()) << text;
            EXPECT_NEAR(*back, value, 1.0 / 86400) << text;  // milliseconds are not written
        }
        EXPECT_EQ(ParseDateTimeText(FormatDateTimeText(38366.0, *formats), *formats), 38366.0);
    }
}

TEST(DateTimeText, ReadsLenientNumbersAndTwoDigitYearsButNothingElse) {
    const auto read = [](const char* text, const LocaleFormats& formats = kUs) {
        const std::optional<double> value = ParseDateTimeText(text, formats);
        return value ? Civil(DecodeDateTime(*value)) : "rejected";
    };
    EXPECT_EQ(read("01/04/2005 1:02:03 pm"), "2005-01-04 13:02:03.000");
    EXPECT_EQ(read("1/4/49"), "2049-01-04 00:00:00.000");
    EXPECT_EQ(read("1/4/50"), "1950-01-04 00:00:00.000");
    EXPECT_EQ(read("1/4/2005 12:00:00 AM"), "2005-01-04 00:00:00.000");
    EXPECT_EQ(read("1.4.2005 7:5:9", kGerman), "2005-04-01 07:05:09.000");
    EXPECT_EQ(read("friday, 14 de JAN 05 12h18:01 P", kNamed), "2005-01-14 12:18:01.000");
    const std::pair<const LocaleFormats*, std::vector<const char*>> cases[] = {
        {&kUs, {"", "garbage", "13/1/2005", "0/1/2005", "2/29/2005", "1/14/2005x", " 1/14/2005",
                "1/14/2005  12:18:01 PM", "1/14/2005 13:00:00 PM", "1/14/2005 0:30:00 AM",
                "1/14/2005 12:60:00 PM", "1/14/2005 12:18:01", "1/14/0000", "123/14/2005"}},
        {&kGerman, {"14.01.2005 24:00:00", "14/01/2005"}},
        // 14 January 2005 was a Friday, so the weekday contradicts the date.
        {&kNamed, {"Thursday, 14 de Jan 05", "Friday, 14 de Jnu 05"}},
    };
    for (const auto& [formats, texts] : cases)
        for (const char* text : texts) EXPECT_EQ(read(text, *formats), "rejected") << text;
}

}  // namespace
}  // namespace lumidial
