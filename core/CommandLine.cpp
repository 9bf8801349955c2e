#include "CommandLine.h"

#include <algorithm>

#include "Messages.h"

namespace lumidial {

namespace {

bool IsSeparator(unsigned char c) { return c >= 1 && c <= ' '; }

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string LowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

}  // namespace

// A token that reaches kMaxTokenLength ends there and the rest carries on as
// the next token. When that happens inside a quoted run, the next token starts
// still inside the run, so its blanks stay content rather than separators:
// nothing is lost and no token ever grows past the limit.
std::vector<std::string> TokenizeCommandLine(std::string_view commandLine) {
    const std::size_t end = std::min(commandLine.find('\0'), commandLine.size());
    auto at = [&](std::size_t i) -> unsigned char {
        return i < end ? static_cast<unsigned char>(commandLine[i]) : 0;
    };

    std::vector<std::string> tokens;
    std::size_t i = 0;
    bool inQuote = false;
    while (true) {
        if (!inQuote) {
            for (;;) {
                while (IsSeparator(at(i))) ++i;
                if (at(i) == '"' && at(i + 1) == '"') {
                    i += 2;
                } else {
                    break;
                }
            }
        }
        if (i >= end) break;

        std::string token;
        while (i < end) {
            const unsigned char c = at(i);
            if (c == '"') {
                inQuote = !inQuote;
                ++i;
                continue;
            }
            if (!inQuote && IsSeparator(c)) break;
            if (token.size() == kMaxTokenLength) break;
            token.push_back(static_cast<char>(c));
            ++i;
        }
        tokens.push_back(std::move(token));
    }
    return tokens;
}

std::optional<std::int32_t> TryParseInt32(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    text.remove_prefix(i);
    if (text.empty()) return std::nullopt;

    std::size_t hexStart = 0;
    if (text[0] == '$' || text[0] == 'x' || text[0] == 'X') {
        hexStart = 1;
    } else if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        hexStart = 2;
    }
    if (hexStart != 0) {
        const std::string_view digits = text.substr(hexStart);
        if (digits.empty() || digits.size() > 8) return std::nullopt;
        std::uint32_t value = 0;
        for (char c : digits) {
            const int v = HexValue(c);
            if (v < 0) return std::nullopt;
            value = value * 16 + static_cast<std::uint32_t>(v);
        }
        return static_cast<std::int32_t>(value);
    }

    bool negative = false;
    if (text[0] == '+' || text[0] == '-') {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    // Accumulated as a magnitude; leading zeros may make the text long
    // without making the value large, so only the value is bounded.
    const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > limit) return std::nullopt;
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

std::string InvalidIntegerMessage(std::string_view text) {
    return FormatWithValue(msg::kInvalidInteger, text);
}

ParsedCommandLine ParseArguments(const std::vector<std::string>& arguments) {
    ParsedCommandLine parsed;
    if (arguments.empty()) return parsed;
    if (arguments.size() >= 2) {
        parsed.hasSecondArgument = true;
        parsed.secondArgument = arguments[1];
    }

    // The two prefix tests are separate on purpose: "/-s" loses both, while
    // "-/s" and "//s" keep a slash and so fall back to configuration.
    std::string first = LowerAscii(arguments[0]);
    if (first.size() > 1 && first[0] == '/') first.erase(0, 1);
    if (first.size() > 1 && first[0] == '-') first.erase(0, 1);

    switch (first.empty() ? '\0' : first[0]) {
        case 'a': parsed.mode = smSetPassword; break;
        case 'c': parsed.mode = smConfigure; break;
        case 'l':
        case 'p': parsed.mode = smPreview; break;
        case 's': parsed.mode = smRun; break;
        default: break;
    }

    std::string handleText;
    if (first.size() > 2 && first[1] == ':') {
        handleText = first.substr(2);
        parsed.handleFromColon = true;
    } else if (parsed.hasSecondArgument) {
        handleText = arguments[1];
    } else {
        handleText = first;
    }
    parsed.parentHandle = TryParseInt32(handleText).value_or(0);
    return parsed;
}

// With no second argument the colon form is the only source of an owner.
// "/a:zz" has the colon form but nothing usable in it; it reports the same
// empty-text error as a bare "/a" rather than echoing the unparsable part.
// A handle of 0 is no window at all, so "/a:0" counts as unusable too.
PasswordOwner ResolvePasswordOwner(const ParsedCommandLine& parsed) {
    PasswordOwner result;
    if (parsed.hasSecondArgument) {
        result.owner = TryParseInt32(parsed.secondArgument);
        if (!result.owner) result.error = InvalidIntegerMessage(parsed.secondArgument);
        return result;
    }
    if (parsed.handleFromColon && parsed.parentHandle != 0) {
        result.owner = parsed.parentHandle;
    } else {
        result.error = InvalidIntegerMessage("");
    }
    return result;
}

}  // namespace lumidial
