#include "DateTimeText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

namespace lumidial {
namespace {

const LocaleFormats kUs{};
const LocaleFormats kGerman{"dd.MM.yyyy", "HH:mm:ss", "", ""};
const LocaleFormats kIso{"yyyy-MM-dd", "HH:mm:ss", "", ""};
const LocaleFormats kNamed{"dddd, d 'de' MMM yy", "hh'h'mm:ss t", "a.m.", "p.m."};

std::string Civil(const CivilDateTime& t, bool withMilliseconds = true) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.year, t.month,
                  t.day, t.hour, t.minute, t.second, t.millisecond);
    std::string text = buffer;
    if (!withMilliseconds) text.resize(text.size() - 4);
    return text;
}

TEST(DateTimeValue, KnownSerials) {
    const std::pair<double, const char*> cases[] = {
        {0.0, "1899-12-30 00:00:00"},     {2.0, "1900-01-01 00:00:00"},
        {60.0, "1900-02-28 00:00:00"},    {61.0, "1900-03-01 00:00:00"},
        {36585.0, "2000-02-29 00:00:00"}, {38366.5125117477, "2005-01-14 12:18:01"},
        {0.75, "1899-12-30 18:00:00"},    {-1.25, "1899-12-29 06:00:00"},
        {-693593.0, "0001-01-01 00:00:00"}, {2958465.5, "9999-12-31 12:00:00"},
    };
    for (const auto& [serial, text] : cases) {
        EXPECT_EQ(Civil(DecodeDateTime(serial), false), text) << serial;
    }
    // The stored sample carries 15 ms beyond the second it names.
    EXPECT_EQ(DecodeDateTime(38366.5125117477).millisecond, 15);
    EXPECT_NEAR(EncodeDateTime({2005, 1, 14, 12, 18, 1, 15}), 38366.5125117477, 1e-9);
    EXPECT_DOUBLE_EQ(EncodeDateTime({1899, 12, 29, 6, 0, 0, 0}), -1.25);
}

TEST(DateTimeValue, EncodeDecodeRoundTripToTheMillisecond) {
    for (int year = 1; year <= 9999; year += 37) {
        const CivilDateTime t{year, 1 + year % 12, 1 + year % 28, year % 24, year % 60,
                              (year * 7) % 60, (year * 13) % 1000};
        EXPECT_EQ(Civil(DecodeDateTime(EncodeDateTime(t))), Civil(t));
    }
}

TEST(DateTimeValue, DecodesNonsenseWithoutFailing) {
    for (double v : {std::nan(""), std::numeric_limits<double>::infinity(), -1e300, 1e300}) {
        const CivilDateTime t = DecodeDateTime(v);
        EXPECT_GE(t.month, 1);
        EXPECT_LE(t.month, 12);
        EXPECT_FALSE(FormatDateTimeText(v, kUs).empty());
    }
}

TEST(DateTimeText, WritesInTheLocalePictures) {
    const double friday = 38366.5125117477;
    const struct {
        LocaleFormats formats;
        double value;
        const char* text;
    } cases[] = {
        {kUs, friday, "1/14/2005 12:18:01 PM"},
        {kUs, 38366.0, "1/14/2005"},
        {kUs, 0.0, "12/30/1899"},
        {kUs, 38366.0 + 30.0 / 1440, "1/14/2005 12:30:00 AM"},
        {kUs, 38366.0 + 0.5 / 86400, "1/14/2005"},  // half a second is no time of day
        {kGerman, friday, "14.01.2005 12:18:01"},
        {kGerman, 38366.0 + 9.0 / 24, "14.01.2005 09:00:00"},
        {kIso, friday, "2005-01-14 12:18:01"},
        {kIso, -693593.0, "0001-01-01"},
        {kNamed, friday, "Friday, 14 de Jan 05 12h18:01 p"},
        {kNamed, 38366.0 + 1.0 / 24, "Friday, 14 de Jan 05 01h00:00 a"},
        {{"MMMM ddd y", "H:m:s tt"}, friday, "January Fri 5 12:18:1 PM"},
        {{"''yy'''s'", "HH"}, friday, "'05's 12"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatDateTimeText(c.value, c.formats), c.text);
    }
}

TEST(DateTimeText, ReadsBackWhatItWrites) {
    for (const LocaleFormats* formats : {&kUs, &kGerman, &kIso, &kNamed}) {
        // Two-digit years read back only inside their 1950..2049 window.
        for (double value = 18264.0; value < 54789.0; value += 733.4177) {
            const std::string text = FormatDateTimeText(value, *formats);
            const std::optional<double> back = ParseDateTimeText(text, *formats);
            ASSERT_TRUE(back.has_value()) << text;
            EXPECT_EQ(FormatDateTimeText(*back, *formats), text);
            EXPECT_NEAR(*back, value, 1.0 / 86400) << text;  // milliseconds are not written
        }
        const std::optional<double> midnight = ParseDateTimeText(FormatDateTimeText(38366.0, *formats), *formats);
        EXPECT_EQ(midnight, 38366.0);
    }
}

TEST(DateTimeText, ReadsLenientNumbersAndTwoDigitYears) {
    const struct {
        const LocaleFormats& formats;
        const char* text;
        const char* civil;
    } cases[] = {
        {kUs, "01/04/2005 1:02:03 pm", "2005-01-04 13:02:03.000"},
        {kUs, "1/4/05", "2005-01-04 00:00:00.000"},
        {kUs, "1/4/49", "2049-01-04 00:00:00.000"},
        {kUs, "1/4/50", "1950-01-04 00:00:00.000"},
        {kUs, "1/4/2005 12:00:00 AM", "2005-01-04 00:00:00.000"},
        {kUs, "1/4/2005 12:00:00 PM", "2005-01-04 12:00:00.000"},
        {kGerman, "1.4.2005 7:5:9", "2005-04-01 07:05:09.000"},
        {kUs, "2/29/2004", "2004-02-29 00:00:00.000"},
        {kNamed, "friday, 14 de JAN 05 12h18:01 P", "2005-01-14 12:18:01.000"},
    };
    for (const auto& c : cases) {
        const std::optional<double> value = ParseDateTimeText(c.text, c.formats);
        ASSERT_TRUE(value.has_value()) << c.text;
        EXPECT_EQ(Civil(DecodeDateTime(*value)), c.civil) << c.text;
    }
}

TEST(DateTimeText, RejectsAnythingElse) {
    const std::pair<const LocaleFormats*, std::vector<const char*>> cases[] = {
        {&kUs,
         {"", "garbage", "13/1/2005", "0/1/2005", "2/30/2005", "2/29/2005", "1/14/2005x",
          "1/14/2005 ", " 1/14/2005", "1/14/2005  12:18:01 PM", "1/14/2005 12:18:01 PM junk",
          "1/14/2005 13:00:00 PM", "1/14/2005 0:30:00 AM", "1/14/2005 12:60:00 PM",
          "1/14/2005 12:18:01", "1/14/0000", "123/14/2005"}},
        {&kGerman, {"14.01.2005 24:00:00", "14.01.2005 12:00:60", "14/01/2005"}},
        {&kIso, {"2005-1-14-"}},
        // 14 January 2005 was a Friday, so the weekday contradicts the date.
        {&kNamed, {"Thursday, 14 de Jan 05", "Friday, 14 de Jnu 05"}},
    };
    for (const auto& [formats, texts] : cases) {
        for (const char* text : texts) {
            EXPECT_EQ(ParseDateTimeText(text, *formats), std::nullopt) << text;
        }
    }
}

}  // namespace
}  // namespace lumidial
