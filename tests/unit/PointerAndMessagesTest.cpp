#include <gtest/gtest.h>

#include "Messages.h"
#include "PointerThreshold.h"

namespace lumidial {
namespace {

TEST(PointerMovedEnough, NeedsMoreThanTwoPixelsOnBothAxes) {
    const struct {
        int dx, dy;
        bool counts;
    } cases[] = {
        {2, 2, false},   {-2, -2, false}, {3, 3, true},   {-3, 3, true},  {3, 2, false},
        {500, 0, false}, {0, -500, false}, {2, 400, false}, {-40, -40, true},
    };
    for (const auto& c : cases) {
        PointerReference reference;
        EXPECT_FALSE(PointerMovedEnough(reference, 100, 100));  // first report only sets it
        EXPECT_EQ(PointerMovedEnough(reference, 100 + c.dx, 100 + c.dy), c.counts)
            << c.dx << "," << c.dy;
        EXPECT_EQ(reference.x, c.counts ? 100 + c.dx : 100);
    }
}

TEST(PointerMovedEnough, SmallMovesAddUpAgainstTheReference) {
    PointerReference reference;
    PointerMovedEnough(reference, 10, 10);
    EXPECT_FALSE(PointerMovedEnough(reference, 11, 11));
    EXPECT_FALSE(PointerMovedEnough(reference, 12, 12));
    EXPECT_TRUE(PointerMovedEnough(reference, 13, 13));
    EXPECT_FALSE(PointerMovedEnough(reference, 14, 14));  // reference moved to 13,13
}

TEST(Messages, FullStopOnlyWhenTheTextEndsAboveTheDot) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},       {"abc", "abc."},   {"done.", "done."}, {"Stop!", "Stop!"},
        {"x)", "x)"},   {"ends -", "ends -"}, {"v2", "v2."},   {"caf\xe9", "caf\xe9."},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(WithFullStop(in), out) << in;
}

TEST(Messages, FormatReplacesTheFirstPlaceholderOnly) {
    EXPECT_EQ(FormatWithValue(msg::kInvalidDataType, "Speed"), "Invalid data type for 'Speed'");
    EXPECT_EQ(FormatWithValue("%s and %s", "a"), "a and %s");
    EXPECT_EQ(FormatWithValue("no placeholder", "a"), "no placeholder");
    EXPECT_EQ(FormatWithValue("%s", "%s"), "%s");
}

}  // namespace
}  // namespace lumidial
