#include <gtest/gtest.h>

#include <cwctype>
#include <tuple>

#include "DialogText.h"
#include "Messages.h"
#include "PointerThreshold.h"

namespace lumidial {
namespace {

// At 96 DPI; over a monitor of another density, times it over 96: 4 pixels at 200 %, 3 at 150 %.
TEST(PointerMovedEnough, NeedsMoreThanTwoPixelsOnBothAxes) {
    for (const auto& [dx, dy, dpi, counts] :
         {std::tuple{2, 2, 96, false}, {-2, -2, 96, false}, {3, 3, 96, true}, {-3, 3, 96, true}, {3, 2, 96, false},
          {500, 0, 96, false}, {0, -500, 96, false}, {-40, -40, 96, true}, {3, 3, 192, false}, {-4, 4, 192, false},
          {5, 5, 192, true}, {3, 3, 144, false}, {4, 4, 144, true}, {2, -2, 48, true}}) {
        PointerReference reference;
        EXPECT_FALSE(PointerMovedEnough(reference, 100, 100));  // the first report only sets it
        EXPECT_EQ(PointerMovedEnough(reference, 100 + dx, 100 + dy, PointerThresholdAt(dpi)), counts)
            << dx << "," << dy << " at " << dpi;
    }
    PointerReference reference;  // small moves add up against the reference
    PointerMovedEnough(reference, 10, 10);
    EXPECT_FALSE(PointerMovedEnough(reference, 11, 11));
    EXPECT_FALSE(PointerMovedEnough(reference, 12, 12));
    EXPECT_TRUE(PointerMovedEnough(reference, 13, 13));
    EXPECT_FALSE(PointerMovedEnough(reference, 14, 14));  // the reference moved to 13,13
}

TEST(Messages, FullStopAndPlaceholder) {
    using Case = std::pair<std::string, std::string>;
    for (const auto& [in, out] : {Case{"", ""}, {"abc", "abc."}, {"done.", "done."}, {"Stop!", "Stop!"},
                                  {"x)", "x)"}, {"ends -", "ends -"}, {"caf\xe9", "caf\xe9."}})
        EXPECT_EQ(WithFullStop(in), out) << in;
    EXPECT_EQ(FormatWithValue(msg::kInvalidDataType, "Speed"), "Invalid data type for 'Speed'");
    EXPECT_EQ(FormatWithValue("%s and %s", "a"), "a and %s");
    EXPECT_EQ(FormatWithValue("%s", "%s"), "%s");
}

TEST(DialogText, AccessKeysCaptionsAsDrawnAndTheTextSize) {
    using Case = std::tuple<const wchar_t*, wchar_t, std::wstring>;  // a caption, its key (either case), as drawn
    for (const auto& [caption, key, drawn] :
         {Case{L"&Flash", L'F', L"Flash"}, {L"Movement &interval:", L'I', L"Movement interval:"},
          {L"Salt && &pepper", L'P', L"Salt & pepper"}, {L"OK", 0, L"OK"}, {L"A&&B&", 0, L"A&B&"}}) {
        EXPECT_EQ(AccessKeyOf(caption), key);
        EXPECT_EQ(DrawnCaption(caption), drawn);
        EXPECT_EQ(IsAccessKey(caption, key) && IsAccessKey(caption, wchar_t(std::towlower(key))), key != 0);
    }
    using Stored = std::optional<std::uint32_t>;  // 100 to 225 percent, else as designed
    for (auto [stored, percent] :
         {std::pair{Stored{}, 100}, {Stored{99}, 100}, {100u, 100}, {150u, 150}, {225u, 225}, {226u, 100}})
        EXPECT_EQ(TextScalePercent(stored), percent) << stored.value_or(0);
}

}  // namespace
}  // namespace lumidial
