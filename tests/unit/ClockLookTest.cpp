#include "ClockLook.h"

#include "ClockDesign.h"

#include <gtest/gtest.h>

#include <tuple>

namespace lumidial {
namespace {

// Levels as a colour table holds them (0x00RRGGBB): black, the glow's peak
// (100), a lit segment (255).
TEST(ClockLook, ColourTablesShadeTheChosenColour) {
    using Levels = std::array<std::uint32_t, 3>;
    const std::tuple<std::uint32_t, int, Levels> cases[] = {  // a COLORREF (0x00BBGGRR), percent, levels
        {kDesignColour, 100, {0, 0x006400, 0x00FF00}},  // green: level L is green L, as stored
        {0x0000A5FF, 100, {0, 0x644100, 0xFFA500}},     // orange: red and blue in their places
        {0x00FF0000, 100, {0, 0x000064, 0x0000FF}},     // blue
        {kDesignColour, kDimmedPercent, {0, 0x001E00, 0x004D00}},  // 30 %: 100 -> 30, 255 -> 76.5 -> 77
        {0x0000A5FF, kDimmedPercent, {0, 0x1E1300, 0x4D3200}},     // 19.4 -> 19, 49.5 -> 50
    };
    for (const auto& [colour, percent, levels] : cases) {
        const ColourTable table = ColourTableOf(colour, percent);
        EXPECT_EQ((Levels{table[0], table[100], table[255]}), levels) << std::hex << colour << std::dec << " at " << percent;
    }
    const ColourTable green = ColourTableOf(kDesignColour);
    for (std::uint32_t level = 0; level < 256; ++level) ASSERT_EQ(green[level], level << 8) << level;
}

// Minutes after midnight; 22:00 to 07:00 is the default span.
TEST(ClockLook, DimmedFromItsFirstMinuteUpToItsLast) {
    const struct {
        int minute;
        bool on;
        int from, to;
        bool dimmed;
    } cases[] = {
        {23 * 60, false, 1320, 420, false},                                         // dimming off
        {1319, true, 1320, 420, false}, {1320, true, 1320, 420, true},              // 21:59, 22:00
        {0, true, 1320, 420, true},     {419, true, 1320, 420, true},               // over midnight
        {420, true, 1320, 420, false},  {12 * 60, true, 1320, 420, false},          // 07:00, noon
        {13 * 60, true, 12 * 60, 14 * 60, true}, {14 * 60, true, 12 * 60, 14 * 60, false},  // within a day
        {0, true, 600, 600, false},     {600, true, 600, 600, false},                 // equal: never
        // A clock that jumps is judged where it lands: from 21:30 to 03:00
        // (dimmed at once), from 06:00 to 09:00 (bright at once).
        {3 * 60, true, 1320, 420, true}, {9 * 60, true, 1320, 420, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DimmedAt(c.minute, c.on, c.from, c.to), c.dimmed)
            << c.minute << " with " << c.on << ", " << c.from << ".." << c.to;
}

}  // namespace
}  // namespace lumidial
