#include "Messages.h"

namespace lumidial {

// Compared as unsigned so that text ending in a non-ASCII byte gets its stop.
std::string WithFullStop(std::string message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') message += '.';
    return message;
}

std::string FormatWithValue(std::string_view format, std::string_view value) {
    std::string result(format);
    const std::size_t at = result.find("%s");
    if (at != std::string::npos) result.replace(at, 2, value);
    return result;
}

}  // namespace lumidial
