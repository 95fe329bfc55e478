// The evaluating parser: statements, expressions, directives and macros.
// The errors they end in are in ScriptErrorsTest.
#include <gtest/gtest.h>

#include <string>

#include "Parser/IniObject.h"
#include "Parser/Parser.h"
#include "Support/TestKit.h"

namespace Vexa {
namespace {

using Testing::Outcome;

class ParserTest : public Testing::ScriptTest {
protected:
    TempDir m_dir;
};

TEST_F(ParserTest, EvaluatesScripts) {
    const std::string file = m_dir.write("part.ini", "p = 1\nq = { s = 2 }\n");
    const struct {
        std::string script;
        const char* name;
        const char* result;
    } cases[] = {
        // Expressions and bindings.
        {"r = - - 2", "r", "2"},
        {"r = < -1 2 >", "r", "< -1 2 >"},
        {"n = 3 r = < n n 1 >", "r", "< 3 3 1 >"},
        {"r = ( 1 ( 2 ) { } )", "r", "( 1 ( 2 ) {} )"},
        {"r = { a = 1 b = { c = 2 } }", "r", "{ a -> 1, b -> { c -> 2,},}"},
        {"r = { @local a = 1 b = a }", "r", "{ b -> 1,}"},
        {"a = 1 a = 2 r = a", "r", "2"},
        {"a = 1 r = { a = 2 b = a }", "r", "{ a -> 2, b -> 2,}"},
        // Minus negates the number bound to the name in place.
        {"n = 2 m = - n r = ( n m )", "r", "( -2 -2 )"},
        // Tuple entries.
        {"t : 1 = 2 t : 3 = \"x\" r = t", "r", "( 1 2 3 \"x\" )"},
        {"t = ( 0 ) t : 1 = 2 r = t", "r", "( 0 1 2 )"},
        {"t = ( 0 ) x = { t : 1 = 2 } r = ( t x )", "r", "( ( 0 1 2 ) {} )"},
        // Conditionals.
        {"x = 0 @if x r = 1 @endif", "r", "1"},
        {"@if 0 r = 1 @endif", "r", "unbound"},
        {"@if unknown r = 1 @else r = 2 @endif", "r", "2"},
        {"@ifnot unknown r = 1 @endif", "r", "1"},
        {"x = 1 @ifnot x r = 1 @else r = 2 @endif", "r", "2"},
        {"@if \"x\" r = 1 @else r = 2 @endif", "r", "2"},
        {"a = 1 b = 1 @if a r = 1 @elif b r = 2 @else r = 3 @endif", "r", "1"},
        {"@if 0 r = 1 @elifnot 0 r = 2 @endif", "r", "2"},
        {"@if 1 @if 0 r = 1 @else r = 2 @endif @endif", "r", "2"},
        {"r = { @if 1 a = 1 @endif }", "r", "{ a -> 1,}"},
        // Every clause's condition is evaluated, even after a branch was taken.
        {"n = 1 @if 1 a = 1 @elif - n a = 2 @endif r = ( a n )", "r", "( 1 -1 )"},
        // Nothing in an inactive branch is evaluated, bound, included or defined.
        {"@if 0 r = Draw ( 1 2 ) q = unbound @include \"/nonexistent\" @endif r = 4", "r", "4"},
        {"@if 0 @if x r = 1 @elnotif y r = 2 @elif z @else r = 3 @endif @endif r = 5", "r", "5"},
        {"@if 0 r = { a = - 1 b = < 1 2 > } t : 1 = 2 @local u = Print ( ) @endif r = 6", "r", "6"},
        {"@if 0 @local @include b @include { } @endif r = 7", "r", "7"},
        {"@if 0 @def m(a) { return = a } @endif @ifnot m r = 8 @endif", "r", "8"},
        // Includes copy the bindings of blocks and files.
        {"b = { p = 1 q = 2 } @include b r = q", "r", "2"},
        {"@include { p = 3 } r = p", "r", "3"},
        {"b = { p = 1 } r = { @local @include b s = p }", "r", "{ s -> 1,}"},
        {"@include \"" + file + "\" r = q", "r", "{ s -> 2,}"},
        {"r = { @include \"" + file + "\" }", "r", "{ p -> 1, q -> { s -> 2,},}"},
        {"r = { @local @include \"" + file + "\" }", "r", "{ p -> 1, q -> { s -> 2,},}"},
        // Macros run in their own scope; names in the body come from the caller's.
        {"@def m(a b) { return = ( b a ) }\nr = m ( 1 \"x\" )", "r", "( \"x\" 1 )"},
        {"@def m() { return = { k = 1 } }\nr = m ( )", "r", "{ k -> 1,}"},
        {"@def m(a) { x = a return = x }\nr = m ( 5 ) @ifnot x r = m ( 6 ) @endif", "r", "6"},
        {"b = { @def m(a) { return = a } }\nr = ( m ( 3 ) b )", "r", "( 3 {} )"},
        {"@def m() { return = v }\nr = { v = 7 w = m ( ) }", "r", "{ v -> 7, w -> 7,}"},
        {"@def m() { return = 1 }\n@def m() { return = 2 }\nr = m ( )", "r", "2"},
        // Recursion: the inner call sees the outer call's bindings.
        {"@def r(x) { @ifnot deep deep = 1 return = r ( x ) @else return = x @endif }\nr = r ( 5 )",
         "r", "5"},
        {"@def m(a b) { return = ( a { } ) }", "m",
         "@def name(a b ) { (name, return) (symbol, '=' = 61) (symbol, '(' = 40) (name, a) "
         "(symbol, '{' = 123) (symbol, '}' = 125) (symbol, ')' = 41)  }"},
        {"@def e() { }", "e", "@def name() {  }"},
    };
    for (const auto& c : cases) EXPECT_EQ(textOf(c.script, c.name), c.result) << c.script;
}

TEST_F(ParserTest, InnerBindingsAndLocalsEndWithTheirScope) {
    parser().parseString("x = { y = 1 } @local z = 2 w = z");
    EXPECT_EQ(parser().lookup("y"), nullptr);
    EXPECT_NE(parser().lookup("x"), nullptr);
    // At the top level a local binding stays visible for the parser's lifetime.
    EXPECT_EQ(parser().lookup("w"), parser().lookup("z"));
    parser().parseString("v = w");  // later texts add to the same root scope
    EXPECT_EQ(parser().lookup("v")->toString(), "2");
}

TEST_F(ParserTest, ErrorsInFilesNameTheFile) {
    const std::string open = m_dir.write("open.ini", "a = 1\nb = (\n");
    EXPECT_EQ(Testing::scriptOutcome("x = 1\n@include \"" + open + "\""),
              (Outcome{"FatalParseException", std::string("Invalid symbol \0", 16)}));
    const std::string bad = m_dir.write("bad.ini", "a = 1\n} b = 2\n");
    EXPECT_EQ(
        Testing::scriptOutcome("x = 1\n@include \"" + bad + "\""),
        (Outcome{"FatalParseException", bad + "(2):\nfatal: syntax error: (symbol, '}' = 125)"}));
    EXPECT_EQ(Testing::outcomeOf([] { Parser().parseFile("/nonexistent/demo.ini"); }),
              (Outcome{"ResourceNotFound", "/nonexistent/demo.ini missing"}));
}

TEST_F(ParserTest, MacroIsBackAtItsFirstBodyTokenAfterAFailedCall) {
    parser().parseString("@def m(a) { return = a q = Draw a }");
    EXPECT_THROW(parser().parseString("x = m ( 1 )"), FatalParseException);
    EXPECT_THROW(parser().parseString("x = m ( )"), FatalParseException);
    EXPECT_EQ(run("y = m ( ( ) )", "y")->toString(), "( )");
}

}  // namespace
}  // namespace Vexa
