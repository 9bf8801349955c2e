#include "CommandLine.h"

#include <gtest/gtest.h>

#include <random>

namespace lumidial {
namespace {

using Tokens = std::vector<std::string>;

TEST(TokenizeCommandLine, SplitsLikeTheStartUpCodeExpects) {
    const struct {
        std::string line;
        Tokens tokens;
    } cases[] = {
        {"", {}},
        {"  \t ", {}},
        {"prog /s", {"prog", "/s"}},
        {"\"C:\\Program Files\\Lumidial.scr\" /p 123", {"C:\\Program Files\\Lumidial.scr", "/p", "123"}},
        {"  \t\x01" "a\x1f b\n", {"a", "b"}},
        {"a\"b c\"d e", {"ab cd", "e"}},
        {"a\\\"b c\\\"", {"a\\b c\\"}},  // backslash is no escape
        {"a\"\"b", {"ab"}},
        {"\"\" \"\"\"\"x", {"x"}},        // leading quote pairs vanish
        {"\"\"", {}},
        {"\"open run", {"open run"}},
        {"\"", {""}},
        {std::string("a\0b", 3), {"a"}},  // NUL ends the line
        {"\xe9t\xe9 \xff", {"\xe9t\xe9", "\xff"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TokenizeCommandLine(c.line), c.tokens) << c.line;
    }
}

TEST(TokenizeCommandLine, LongTokensCarryOnAsTheNextToken) {
    const std::string full(kMaxTokenLength, 'a');
    EXPECT_EQ(TokenizeCommandLine(full), Tokens{full});
    EXPECT_EQ(TokenizeCommandLine(full + "bcd x"), (Tokens{full, "bcd", "x"}));
    // Inside a quoted run the remainder stays quoted, blanks and all.
    EXPECT_EQ(TokenizeCommandLine("\"" + full + " b\" c"), (Tokens{full, " b", "c"}));
}

TEST(TokenizeCommandLine, NeverCrashesAndNeverExceedsTheLimit) {
    std::mt19937 random(1234);
    std::uniform_int_distribution<int> byte(0, 255), pick(0, 3);
    for (int round = 0; round < 200; ++round) {
        std::string line;
        for (int i = 0; i < 20000; ++i) {
            const int kind = pick(random);
            line += kind == 0 ? '"' : kind == 1 ? ' ' : static_cast<char>(byte(random));
        }
        for (const std::string& token : TokenizeCommandLine(line)) {
            ASSERT_LE(token.size(), kMaxTokenLength);
        }
    }
    EXPECT_TRUE(TokenizeCommandLine(std::string(1'000'000, '"')).empty());
}

TEST(TryParseInt32, AcceptsDecimalAndHexadecimal) {
    const std::pair<std::string, std::int32_t> cases[] = {
        {"0", 0},          {"007", 7},         {"  42", 42},       {"+12", 12},
        {"-7", -7},        {"2147483647", 2147483647},            {"-2147483648", INT32_MIN},
        {"000000000000123", 123},              {"$1234", 0x1234},  {"x10", 16},
        {"X10", 16},       {"0x10", 16},       {"0XaBcD", 0xABCD}, {"$7FFFFFFF", INT32_MAX},
        {"$FFFFFFFF", -1}, {"$80000000", INT32_MIN},              {" $00000001", 1},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(TryParseInt32(text), value) << text;
    }
}

TEST(TryParseInt32, RejectsEverythingElse) {
    for (const char* text :
         {"", "   ", "-", "+", "12 ", "1 2", "\t1", "2147483648", "-2147483649", "99999999999",
          "-$10", "+$10", "$", "0x", "x", "$123456789", "0x1G", "1.5", "--1", "$ 1", "s:", "zz"}) {
        EXPECT_EQ(TryParseInt32(text), std::nullopt) << text;
    }
}

TEST(ParseArguments, MapsTheFirstArgumentToAModeAndHandle) {
    const struct {
        Tokens args;
        TScreenSaverMode mode;
        std::int32_t handle;
    } cases[] = {
        {{}, smConfigure, 0},
        {{"/s"}, smRun, 0},
        {{"s"}, smRun, 0},
        {{"/S", "555"}, smRun, 555},
        {{"/c:1234"}, smConfigure, 1234},
        {{"/c", "1234"}, smConfigure, 1234},
        {{"/p", "4660"}, smPreview, 4660},
        {{"/l", "4660"}, smPreview, 4660},
        {{"/p", "$1234"}, smPreview, 4660},
        {{"/a", "777"}, smSetPassword, 777},
        {{"/x"}, smConfigure, 0},
        {{"/"}, smConfigure, 0},
        {{"s:"}, smRun, 0},
        {{"/s:12", "99"}, smRun, 12},
        {{"/s:", "99"}, smRun, 99},
        {{"/1234"}, smConfigure, 1234},
        {{"-/s"}, smConfigure, 0},
        {{"/-s"}, smRun, 0},
        {{"//s"}, smConfigure, 0},
        {{"/start"}, smRun, 0},
        {{"/preview", "9"}, smPreview, 9},
        {{"/p:x10"}, smPreview, 16},
        {{"/p", "-$10"}, smPreview, 0},
    };
    for (const auto& c : cases) {
        const ParsedCommandLine parsed = ParseArguments(c.args);
        const std::string label = c.args.empty() ? "(none)" : c.args[0];
        EXPECT_EQ(parsed.mode, c.mode) << label;
        EXPECT_EQ(parsed.parentHandle, c.handle) << label;
        EXPECT_EQ(parsed.hasSecondArgument, c.args.size() >= 2) << label;
    }
    EXPECT_EQ(ParseArguments({"/s", "  x "}).secondArgument, "  x ");
    EXPECT_TRUE(ParseArguments({"/a:5"}).handleFromColon);
    EXPECT_FALSE(ParseArguments({"/a", "5"}).handleFromColon);
}

TEST(ResolvePasswordOwner, PrefersTheSecondArgumentThenTheColonForm) {
    const struct {
        Tokens args;
        std::optional<std::int32_t> owner;
        std::string error;
    } cases[] = {
        {{"/a", "777"}, 777, ""},
        {{"/a:1", "$10"}, 16, ""},
        {{"/a", "zz"}, std::nullopt, "'zz' is not a valid integer value"},
        {{"/a:5", "zz"}, std::nullopt, "'zz' is not a valid integer value"},
        {{"/a:1234"}, 1234, ""},
        {{"/a"}, std::nullopt, "'' is not a valid integer value"},
        {{"/a:zz"}, std::nullopt, "'' is not a valid integer value"},
        {{"/1234"}, std::nullopt, "'' is not a valid integer value"},
    };
    for (const auto& c : cases) {
        const PasswordOwner result = ResolvePasswordOwner(ParseArguments(c.args));
        EXPECT_EQ(result.owner, c.owner) << c.args[0];
        EXPECT_EQ(result.error, c.error) << c.args[0];
    }
}

}  // namespace
}  // namespace lumidial
