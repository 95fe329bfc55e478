// Hostile script text: each input must end in a result or in an exception of
// the family, never in a crash, a stack overflow or a use of a destroyed
// object (the sanitizer build checks the last). Inputs found by the script
// fuzzer are added here, minimized, next to the shapes it is pointed at.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Parser/Exceptions.h"
#include "Parser/IniObject.h"
#include "Parser/Parser.h"

namespace Vexa {
namespace {

// The exception class a parse ended in, or "none".
std::string outcome(const std::string& text) {
    std::string kind = "none";
    {
        Parser parser;
        try {
            parser.parseString(text);
        } catch (const FatalParseException&) {
            kind = "fatal";
        } catch (const ParseException&) {
            kind = "parse";
        } catch (const Exception&) {
            kind = "other";
        }
    }
    collectGarbage();
    return kind;
}

std::string repeat(const std::string& piece, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += piece;
    return text;
}

// Nesting far beyond any real production must end in one fatal error, in
// evaluated text and in skipped branches alike.
TEST(ParserFuzzRegressionTest, DeepNestingEndsInFatalErrorNotStackOverflow) {
    const int depth = 200000;
    const std::vector<std::string> inputs = {
        "a = " + repeat("( ", depth),
        "a = " + repeat("{ b = ", depth),
        "a = " + repeat("- ", depth) + "1",
        "a = " + repeat("< ", depth),
        "@if nothing a = " + repeat("( ", depth),
        "@if nothing a = " + repeat("{ b = ", depth),
        "@if nothing " + repeat("@if x ", depth),
        repeat("@if x ", depth),
    };
    for (const std::string& text : inputs)
        EXPECT_EQ(outcome(text), "fatal") << text.substr(0, 40);
}

TEST(ParserFuzzRegressionTest, RunawayMacroRecursionEndsInFatalError) {
    EXPECT_EQ(outcome("@def r(x) { return = r ( x ) }\na = r ( 1 )"), "fatal");
    EXPECT_EQ(outcome("@def r(x) { return = { y = r ( x ) } }\na = r ( 1 )"), "fatal");
}

// Values that outlive the scope, the tuple or the macro that made them must
// stay usable until the parser is gone.
TEST(ParserFuzzRegressionTest, ValuesOutlivingTheirMakersStayValid) {
    const std::vector<std::string> inputs = {
        // a block made inside a macro scope that is destroyed after the call
        "@def m() { return = { x = < 1 2 > } }\nb = m ( )\n@include b\nc = ( b x )",
        // an element of the destroyed argument tuple returned as the value
        "@def m(a) { return = a }\nx = m ( ( ( 1 2 ) ) )\ny = ( x x )",
        // a macro that replaces itself while its body runs
        "@def m(a) { @def m(b) { return = b } return = a }\nx = m ( 1 )\ny = m ( 2 )",
        // the same value bound, included and appended many times
        "n = 1\nb = { p = n q = n }\n@include b\n@local @include b\nt : n = n\nt : p = q",
        // a local binding whose value is also held elsewhere
        "b = { @local v = < 1 2 > w = v }\nc = b",
    };
    for (const std::string& text : inputs) EXPECT_EQ(outcome(text), "none") << text;
}

// Truncated and malformed text at every depth ends in an error, never past
// the end of the tokens.
TEST(ParserFuzzRegressionTest, TruncatedTextEndsInAnError) {
    const std::string full =
        "@def m(a b) { return = { x = a y = b } }\n"
        "v = m ( < 1 -2 3 > \"s\" )\n"
        "@if v t : 1 = ( 1 2 ) @elifnot w u = -3 @else z = 1 @endif\n";
    ASSERT_EQ(outcome(full), "none");
    for (std::size_t cut = 1; cut < full.size(); ++cut) {
        const std::string kind = outcome(full.substr(0, cut));
        EXPECT_TRUE(kind == "none" || kind == "fatal" || kind == "parse")
            << "cut at " << cut << ": " << kind;
    }
}

TEST(ParserFuzzRegressionTest, TextEndingInsideAMacroBodyIsASyntaxError) {
    EXPECT_EQ(outcome("@def m(a) { return = a"), "fatal");
    EXPECT_EQ(outcome("@if nothing @def m(a) { return = a @endif"), "fatal");
}

// Found by the fuzzer: a tuple that held itself, directly or through another
// object, kept its own count above zero and was never collected. The entry
// form now refuses to close such a cycle.
TEST(ParserFuzzRegressionTest, TupleCannotBeMadeToHoldItself) {
    EXPECT_EQ(outcome("k:0=1 k:k=k"), "fatal");
    EXPECT_EQ(outcome("t : 0 = 1\nu = ( t )\nt : 1 = u"), "fatal");
    EXPECT_EQ(outcome("t : 0 = 1\nb = { x = t }\nt : 1 = b"), "fatal");
    EXPECT_EQ(outcome("t : 0 = 1\nu = ( 1 )\nt : 1 = u t : 2 = u"), "none");
}

}  // namespace
}  // namespace Vexa
