// Hostile script text: each input must end in a result or in an exception of
// the family, never in a crash, a stack overflow or a use of a destroyed
// object (the sanitizer build checks the last). Inputs found by the script
// fuzzer are added here, minimized, next to the shapes it is pointed at.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Support/TestKit.h"

namespace Vexa {
namespace {

std::string kindOf(const std::string& text) { return Testing::scriptOutcome(text).kind; }

std::string repeat(const std::string& piece, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += piece;
    return text;
}

// Nesting far beyond any real production ends in one fatal error, in
// evaluated text, in skipped branches, in macros and in includes alike.
TEST(ParserFuzzRegressionTest, DeepNestingEndsInFatalErrorNotStackOverflow) {
    const int n = 100000;
    TempDir dir;
    const std::string self = dir / "self.ini";
    dir.write("self.ini", "a = 1\n@include \"" + self + "\"\n");
    const std::vector<std::string> inputs = {
        "a = " + repeat("( ", n),
        "x = " + repeat("( ", n) + repeat(")", n),
        "a = " + repeat("{ b = ", n),
        "x = " + repeat("{ a = ", n) + "1" + repeat(" }", n),
        "a = " + repeat("- ", n) + "1",
        "a = " + repeat("< ", n),
        "x = " + repeat("Print ", n) + "( )",
        repeat("@if 1 ", n) + repeat("@endif ", n),
        repeat("@if 0 ", n) + repeat("@endif ", n),
        "@if nothing a = " + repeat("( ", n),
        "@if nothing a = " + repeat("{ b = ", n),
        "@if nothing " + repeat("@if x ", n),
        "@if 0 x = " + repeat("( ", n) + repeat(")", n) + " @endif",
        "x = " + repeat("{ @include { a = ", n) + "1" + repeat(" } }", n),
        "@def r(x) { return = r ( x ) }\na = r ( 1 )",
        "@def r(x) { return = { y = r ( x ) } }\na = r ( 1 )",
        "@include \"" + self + "\"",
    };
    for (const std::string& text : inputs)
        EXPECT_EQ(kindOf(text), "FatalParseException") << text.substr(0, 40);
    EXPECT_EQ(kindOf("x = 1 " + repeat("/* ", n) + repeat("*/ ", n) + "y = 2"), "none");
    // The two limits an author can meet, with their exact messages.
    EXPECT_EQ(Testing::scriptOutcome("a = " + repeat("( ", 1001)).message,
              "memory(1):\nfatal: nesting deeper than 1000 levels");
    EXPECT_EQ(Testing::scriptOutcome("a = " + repeat("( ", 999) + repeat(") ", 999)).kind, "none");
    EXPECT_EQ(Testing::scriptOutcome("@include \"" + self + "\"").message,
              self + "(2):\nfatal: @include nested deeper than 64 files: " + self);
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
    for (const std::string& text : inputs) EXPECT_EQ(kindOf(text), "none") << text;
}

// Truncated text at every length ends in a result or an error of the parser,
// never past the end of the tokens.
TEST(ParserFuzzRegressionTest, TruncatedTextEndsInAnError) {
    const std::string full =
        "@def m(a b) { return = { x = a y = b } }\n"
        "v = m ( < 1 -2 3 > \"s\" )\n"
        "@if v t : 1 = ( 1 2 ) @elifnot w u = -3 @else z = 1 @endif\n";
    ASSERT_EQ(kindOf(full), "none");
    for (std::size_t cut = 1; cut < full.size(); ++cut) {
        const std::string kind = kindOf(full.substr(0, cut));
        EXPECT_TRUE(kind == "none" || kind == "FatalParseException" ||
                    kind == "BindingNotFoundException")
            << "cut at " << cut << ": " << kind;
    }
    EXPECT_EQ(kindOf("@if nothing @def m(a) { return = a @endif"), "FatalParseException");
}

// Found by the fuzzer: a tuple that held itself, directly or through another
// object, kept its own count above zero and was never collected. The entry
// form now refuses to close such a cycle.
TEST(ParserFuzzRegressionTest, TupleCannotBeMadeToHoldItself) {
    EXPECT_EQ(Testing::scriptOutcome("k:0=1 k:k=k").message,
              "memory(1):\nfatal: tuple k cannot contain itself");
    EXPECT_EQ(kindOf("t : 0 = 1\nu = ( t )\nt : 1 = u"), "FatalParseException");
    EXPECT_EQ(kindOf("t : 0 = 1\nb = { x = t }\nt : 1 = b"), "FatalParseException");
    EXPECT_EQ(kindOf("t : 0 = 1\nu = ( 1 )\nt : 1 = u t : 2 = u"), "none");
}

}  // namespace
}  // namespace Vexa
