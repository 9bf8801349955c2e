#include "ClockLook.h"

namespace lumidial {

ColourTable ColourTableOf(std::uint32_t colour, int percent) {
    // In whole numbers, rounded to nearest: 255 * 255 * 100 fits an int.
    const auto channel = [percent](std::uint32_t value, int level) {
        return std::uint32_t((int(value & 0xFF) * level * percent + 255 * 100 / 2) / (255 * 100));
    };
    ColourTable table{};
    for (int level = 0; level < 256; ++level) {
        const std::uint32_t red = channel(colour, level), green = channel(colour >> 8, level),
                            blue = channel(colour >> 16, level);
        table[std::size_t(level)] = red << 16 | green << 8 | blue;
    }
    return table;
}

bool DimmedAt(int minute, bool dimAtNight, int from, int to) {
    if (!dimAtNight || from == to) return false;
    return from < to ? minute >= from && minute < to : minute >= from || minute < to;
}

}  // namespace lumidial
