// Cutting script text into tokens, and the tokens' text forms.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <random>
#include <sstream>
#include <string>

#include "Parser/Tokenizer.h"

namespace Vexa {
namespace {

// Every token as its text form followed by '@' and its line, blank-separated.
std::string describe(const char* text) {
    TokenArray tokens;
    tokenize(text, tokens);
    std::string out;
    for (const Token& t : tokens.tokens()) {
        if (!out.empty()) out += ' ';
        out += tokenText(t) + "@" + std::to_string(t.line);
    }
    return out;
}

TEST(TokenizerTest, CutsTextIntoTokens) {
    const struct {
        const char* input;
        const char* tokens;
    } cases[] = {
        {"", ""},
        {" \t\r\n", ""},
        {"a/*x/*y*/z*/b", "(name, a)@1 (name, b)@1"},
        {"x//c\ny", "(name, x)@1 (name, y)@2"},
        {"x// unterminated", "(name, x)@1"},
        {"3.x", "(number, 3)@1 (name, x)@1"},
        {"-2", "(symbol, '-' = 45)@1 (number, 2)@1"},
        {".5", "(symbol, '.' = 46)@1 (number, 5)@1"},
        {"1e", "(number, 1)@1 (name, e)@1"},
        {"0x1", "(number, 0)@1 (name, x1)@1"},
        {"12abc", "(number, 12)@1 (name, abc)@1"},
        {"\"ab\ncd\" e", "(string, 'ab\ncd')@2 (name, e)@2"},
        {"\"\"", "(string, '')@1"},
        {"1e+", "(number, 1)@1 (name, e)@1 (symbol, '+' = 43)@1"},
        {"\"no end\nhere", "(string, 'no end\nhere')@2"},
        {"a /* no end\n b", "(name, a)@1"},
        {"/* a\n/* b\n*/ c\n*/ d", "(name, d)@4"},
        {"_a1_ B2", "(name, _a1_)@1 (name, B2)@1"},
        {"a,b", "(name, a)@1 (symbol, ',' = 44)@1 (name, b)@1"},
        {"@local x={}",
         "(symbol, '@' = 64)@1 (name, local)@1 (name, x)@1 (symbol, '=' = 61)@1 "
         "(symbol, '{' = 123)@1 (symbol, '}' = 125)@1"},
        {"a / b", "(name, a)@1 (symbol, '/' = 47)@1 (name, b)@1"},
        {"t:0<1 2>",
         "(name, t)@1 (symbol, ':' = 58)@1 (number, 0)@1 (symbol, '<' = 60)@1 "
         "(number, 1)@1 (number, 2)@1 (symbol, '>' = 62)@1"},
        {"x\n\n\ny", "(name, x)@1 (name, y)@4"},
    };
    for (const auto& c : cases) EXPECT_EQ(describe(c.input), c.tokens) << c.input;
}

// A number is read as the C library's string-to-double conversion reads it,
// then narrowed to a float: the fast reader must agree to the bit on long
// digit runs, exponents, denormals and halfway cases.
TEST(TokenizerTest, NumbersAreReadExactlyAsStrtodNarrowedToFloat) {
    std::istringstream listed(
        "0 007 0.1 0.30000000000000004 3.4028235e38 3.4028236e38 1e39 1e400 1.17549435e-38 "
        "1.4e-45 7e-46 1e-320 1e-400 16777217 16777216.5 33554435 9007199254740993 "
        "123456789012345678901234567890 0.000000000000000000000123456 "
        "1.00000005960464477539062500 1.000000059604644775390625001 2.5E+3 999999999999999e22 "
        "123456789012345e-22 1e22 1e23 8.589973e9 4.9406564584124654e-324");
    std::vector<std::string> inputs{std::istream_iterator<std::string>(listed), {}};
    std::mt19937 random(20261206);
    auto digits = [&](int count) {
        std::string text;
        for (int i = 0; i < count; ++i) text += char('0' + random() % 10);
        return text;
    };
    for (int i = 0; i < 10000; ++i) {
        std::string text = digits(1 + random() % 20);
        if (random() % 2) text += "." + digits(random() % 20);
        if (random() % 2) text += std::string(random() % 2 ? "e" : "E+") + digits(1 + random() % 3);
        inputs.push_back(text);
        // Near the halfway point between a float and the next one, written
        // with 15 significant digits (the most the fast reader takes) and
        // with 14 to 23.
        uint32_t bits = random() % 0x7f7fffffu;
        float low;
        std::memcpy(&low, &bits, sizeof low);
        const double halfway = (double(low) + double(std::nextafter(low, HUGE_VALF))) / 2;
        for (int precision : {14, int(13 + random() % 10)}) {
            char buffer[64];
            std::snprintf(buffer, sizeof buffer, "%.*e", precision, halfway);
            inputs.push_back(buffer);
        }
    }
    for (const std::string& text : inputs) {
        TokenArray tokens;
        tokenize(text.c_str(), tokens);
        ASSERT_EQ(tokens.size(), 1u) << text;
        ASSERT_EQ(tokens[0].kind, Token::Number) << text;
        const float expected = static_cast<float>(std::strtod(text.c_str(), nullptr));
        EXPECT_EQ(std::memcmp(&tokens[0].number, &expected, sizeof expected), 0)
            << text << ": " << tokens[0].number << " instead of " << expected;
    }
}

TEST(TokenizerTest, CopiedTokensOwnTheirTexts) {
    TokenArray copy;
    {
        TokenArray original;
        tokenize("name \"text\" 4", original);
        for (const Token& t : original.tokens()) copy.appendCopy(t);
    }
    ASSERT_EQ(copy.size(), 3u);
    EXPECT_EQ(tokenText(copy[0]), "(name, name)");
    EXPECT_EQ(tokenText(copy[1]), "(string, 'text')");
    EXPECT_EQ(tokenText(copy[2]), "(number, 4)");
}

}  // namespace
}  // namespace Vexa
