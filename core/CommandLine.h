// Command-line handling shared by the saver's start-up code: splitting the
// raw command line into tokens, the 32-bit integer parser used for window
// handles, and the mapping of the first argument to a run mode.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumidial {

// Byte-sized on purpose: the value is what the rest of the program reads.
enum TScreenSaverMode : std::uint8_t {
    smSetPassword = 0,
    smPreview = 1,
    smConfigure = 2,
    smRun = 3,
};

// Longest token kept in one piece; a longer unquoted run carries on as the
// next token.
inline constexpr std::size_t kMaxTokenLength = 4096;

// Splits a raw command line. Characters 1..32 separate tokens, a NUL ends the
// line, pairs of double quotes at the start of a token are dropped, and a
// double quote inside a token copies everything up to the next double quote
// (blanks included) with the quotes removed. No escape character.
// The first token is the program name.
std::vector<std::string> TokenizeCommandLine(std::string_view commandLine);

// Signed decimal ("+12", "-7") or unsigned hexadecimal after "$", "x", "X",
// "0x" or "0X" with one to eight digits (eight digits above 7FFFFFFF wrap to
// the negative value of the same 32 bits). Leading blanks are skipped;
// anything else, trailing blanks included, is a failure.
std::optional<std::int32_t> TryParseInt32(std::string_view text);

// Text of the conversion error for a value that did not parse.
std::string InvalidIntegerMessage(std::string_view text);

struct ParsedCommandLine {
    TScreenSaverMode mode = smConfigure;
    std::int32_t parentHandle = 0;   // 0 when absent or unparsable
    bool handleFromColon = false;    // "/c:1234" form
    bool hasSecondArgument = false;
    std::string secondArgument;      // empty when absent
};

// Arguments exclude the program name (token 0).
ParsedCommandLine ParseArguments(const std::vector<std::string>& arguments);

// Owner of the password-change call, or the conversion error's text.
// The second argument names the owner; when there is none and the handle came
// from the "/a:1234" form, that handle is used.
struct PasswordOwner {
    std::optional<std::int32_t> owner;
    std::string error;  // set when owner is empty
};
PasswordOwner ResolvePasswordOwner(const ParsedCommandLine& parsed);

}  // namespace lumidial
