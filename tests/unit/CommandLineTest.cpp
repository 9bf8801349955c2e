#include "CommandLine.h"

#include <gtest/gtest.h>

#include <random>
#include <tuple>

namespace lumidial {
namespace {

using Tokens = std::vector<std::string>;

TEST(TokenizeCommandLine, BlanksQuotesAndLongRuns) {
    const std::string full(kMaxTokenLength, 'a');
    const std::pair<std::string, Tokens> cases[] = {
        {"  \t ", {}},
        {"\"C:\\Program Files\\Lumidial.scr\" /p 123", {"C:\\Program Files\\Lumidial.scr", "/p", "123"}},
        {"  \t\x01" "a\x1f b\n", {"a", "b"}},
        {"\xe9t\xe9 \xff", {"\xe9t\xe9", "\xff"}},  // high bytes are no separators
        {"a\"b c\"d e", {"ab cd", "e"}},
        {"a\\\"b c\\\"", {"a\\b c\\"}},  // backslash is no escape
        {"a\"\"b", {"ab"}},
        {"\"\" \"\"\"\"x", {"x"}},  // leading quote pairs vanish
        {"\"open run", {"open run"}},
        {"\"", {""}},
        {std::string("a\0b", 3), {"a"}},  // NUL ends the line
        {full + "bcd x", {full, "bcd", "x"}},
        {"\"" + full + " b\" c", {full, " b", "c"}},  // the remainder stays quoted
    };
    for (const auto& [line, tokens] : cases) EXPECT_EQ(TokenizeCommandLine(line), tokens) << line;
}

TEST(TokenizeCommandLine, NeverCrashesAndNeverExceedsTheLimit) {
    std::mt19937 random(1234);
    for (int round = 0; round < 100; ++round) {
        std::string line;
        for (int i = 0; i < 20000; ++i) {
            const unsigned r = random();
            line += r % 4 == 0 ? '"' : r % 4 == 1 ? ' ' : static_cast<char>(r >> 8);
        }
        for (const std::string& token : TokenizeCommandLine(line)) ASSERT_LE(token.size(), kMaxTokenLength);
    }
    EXPECT_TRUE(TokenizeCommandLine(std::string(1'000'000, '"')).empty());
}

TEST(TryParseInt32, DecimalAndHexadecimalEdges) {
    const std::pair<std::string, std::int32_t> accepted[] = {
        {"007", 7},        {"  42", 42},       {"+12", 12},        {"-7", -7},
        {"2147483647", INT32_MAX},             {"-2147483648", INT32_MIN},
        {"000000000000123", 123},              {"$1234", 0x1234},  {"x10", 16},
        {"X10", 16},       {"0x10", 16},       {"0XaBcD", 0xABCD}, {"$7FFFFFFF", INT32_MAX},
        {"$FFFFFFFF", -1}, {"$80000000", INT32_MIN},              {" $00000001", 1},
    };
    for (const auto& [text, value] : accepted) EXPECT_EQ(TryParseInt32(text), value) << text;
    for (const char* text : {"", "   ", "-", "12 ", "1 2", "\t1", "2147483648", "-2147483649",
                             "99999999999", "-$10", "+$10", "$", "0x", "$123456789", "0x1G", "1.5",
                             "--1", "$ 1"}) {
        EXPECT_EQ(TryParseInt32(text), std::nullopt) << text;
    }
}

TEST(ParseArguments, MapsTheFirstArgumentToAModeAndHandle) {
    const std::tuple<Tokens, TScreenSaverMode, std::int32_t> cases[] = {
        {{}, smConfigure, 0},              {{"/s"}, smRun, 0},              {{"/S", "555"}, smRun, 555},
        {{"/c:1234"}, smConfigure, 1234},  {{"/c", "1234"}, smConfigure, 1234},
        {{"/p", "4660"}, smPreview, 4660}, {{"/l", "4660"}, smPreview, 4660},
        {{"/p", "$1234"}, smPreview, 4660}, {{"/a", "777"}, smSetPassword, 777},
        {{"/x"}, smConfigure, 0},          {{"/"}, smConfigure, 0},         {{"s:"}, smRun, 0},
        {{"/s:12", "99"}, smRun, 12},      {{"/s:", "99"}, smRun, 99},      {{"/1234"}, smConfigure, 1234},
        {{"-/s"}, smConfigure, 0},         {{"/-s"}, smRun, 0},             {{"//s"}, smConfigure, 0},
        {{"/p:x10"}, smPreview, 16},       {{"/p", "-$10"}, smPreview, 0},
    };
    for (const auto& [args, mode, handle] : cases) {
        const ParsedCommandLine parsed = ParseArguments(args);
        const std::string label = args.empty() ? "(none)" : args[0];
        EXPECT_EQ(parsed.mode, mode) << label;
        EXPECT_EQ(parsed.parentHandle, handle) << label;
        EXPECT_EQ(parsed.hasSecondArgument, args.size() >= 2) << label;
    }
}

TEST(ResolvePasswordOwner, PrefersTheSecondArgumentThenTheColonForm) {
    const std::string bad = "'zz' is not a valid integer value", empty = "'' is not a valid integer value";
    const std::tuple<Tokens, std::optional<std::int32_t>, std::string> cases[] = {
        {{"/a:1", "$10"}, 16, ""}, {{"/a", "zz"}, std::nullopt, bad}, {{"/a:5", "zz"}, std::nullopt, bad},
        {{"/a:1234"}, 1234, ""},   {{"/a"}, std::nullopt, empty},     {{"/a:zz"}, std::nullopt, empty},
        {{"/1234"}, std::nullopt, empty},
    };
    for (const auto& [args, owner, error] : cases) {
        const PasswordOwner result = ResolvePasswordOwner(ParseArguments(args));
        EXPECT_EQ(result.owner, owner) << args[0];
        EXPECT_EQ(result.error, error) << args[0];
    }
}

}  // namespace
}  // namespace lumidial
