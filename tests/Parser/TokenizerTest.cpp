// Cutting script text into tokens, and the tokens' text forms.
#include <gtest/gtest.h>

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
        {"1e3", "(number, 1000)@1"},
        {"2.5E-3", "(number, 0.0025)@1"},
        {"3.x", "(number, 3)@1 (name, x)@1"},
        {"-2", "(symbol, '-' = 45)@1 (number, 2)@1"},
        {".5", "(symbol, '.' = 46)@1 (number, 5)@1"},
        {"1e", "(number, 1)@1 (name, e)@1"},
        {"0x1", "(number, 0)@1 (name, x1)@1"},
        {"12abc", "(number, 12)@1 (name, abc)@1"},
        {"\"ab\ncd\" e", "(string, 'ab\ncd')@2 (name, e)@2"},
        {"\"\"", "(string, '')@1"},
        {"\"no end\nhere", "(string, 'no end\nhere')@2"},
        {"a /* no end\n b", "(name, a)@1"},
        {"/* a\n/* b\n*/ c\n*/ d", "(name, d)@4"},
        {"_a1_ B2", "(name, _a1_)@1 (name, B2)@1"},
        {"a,b", "(name, a)@1 (symbol, ',' = 44)@1 (name, b)@1"},
        {"@local x={}", "(symbol, '@' = 64)@1 (name, local)@1 (name, x)@1 (symbol, '=' = 61)@1 "
                        "(symbol, '{' = 123)@1 (symbol, '}' = 125)@1"},
        {"a / b", "(name, a)@1 (symbol, '/' = 47)@1 (name, b)@1"},
        {"t:0<1 2>", "(name, t)@1 (symbol, ':' = 58)@1 (number, 0)@1 (symbol, '<' = 60)@1 "
                     "(number, 1)@1 (number, 2)@1 (symbol, '>' = 62)@1"},
        {"x\n\n\ny", "(name, x)@1 (name, y)@4"},
    };
    for (const auto& c : cases) EXPECT_EQ(describe(c.input), c.tokens) << c.input;
}

TEST(TokenizerTest, NullTokenHasItsOwnTextForm) {
    Token null;
    null.kind = Token::Symbol;
    null.symbol = 0;
    EXPECT_EQ(tokenText(null), "(null token)");
    EXPECT_TRUE(null.isNull());
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

TEST(TokenizerTest, DeeplyNestedCommentsAreSkippedWithoutRecursion) {
    std::string text = "a ";
    for (int i = 0; i < 100000; ++i) text += "/*\n";
    for (int i = 0; i < 100000; ++i) text += "*/";
    text += " b";
    EXPECT_EQ(describe(text.c_str()), "(name, a)@1 (name, b)@100001");
}

}  // namespace
}  // namespace Vexa
