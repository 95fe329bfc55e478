// The evaluating parser: statements, expressions, directives, macros, and the
// exact error each failure ends in.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "Parser/Exceptions.h"
#include "Parser/IniCommands.h"
#include "Parser/IniObject.h"
#include "Parser/Parser.h"

namespace Vexa {
namespace {

struct Outcome {
    std::string kind;  // exception class caught, or "none"
    std::string message;
};

bool operator==(const Outcome& a, const Outcome& b) {
    return a.kind == b.kind && a.message == b.message;
}

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
    return out << o.kind << ": \"" << o.message << "\"";
}

// Parses `text` in a fresh parser and names the exception class it ended in.
Outcome parse(const std::string& text) {
    Parser parser;
    try {
        parser.parseString(text);
    } catch (const BindingNotFoundException& e) {
        return {"BindingNotFoundException", e.message()};
    } catch (const FunctionParseException& e) {
        return {"FunctionParseException", e.message()};
    } catch (const FatalParseException& e) {
        return {"FatalParseException", e.message()};
    } catch (const EotException& e) {
        return {"EotException", e.message()};
    } catch (const ParseException& e) {
        return {"ParseException", e.message()};
    } catch (const ResourceNotFound& e) {
        return {"ResourceNotFound", e.message()};
    } catch (const Exception& e) {
        return {"Exception", e.message()};
    }
    return {"none", ""};
}

Outcome fatal(const std::string& message) { return {"FatalParseException", message}; }

class ParserTest : public ::testing::Test {
protected:
    void TearDown() override {
        m_parser.reset();
        collectGarbage();
        for (const std::string& file : m_files) std::remove(file.c_str());
    }

    Parser& parser() {
        if (!m_parser) m_parser = std::make_unique<Parser>();
        return *m_parser;
    }
    IniObject* run(const std::string& text, const char* name) {
        parser().parseString(text);
        return parser().lookup(name);
    }
    std::string text(const std::string& script, const char* name) {
        IniObject* o = run(script, name);
        return o ? o->toString() : "unbound";
    }
    // A file with a unique absolute name.
    std::string writeFile(const std::string& contents) {
        char path[] = "/tmp/vexa-parser-XXXXXX";
        const int fd = mkstemp(path);
        EXPECT_GE(fd, 0);
        close(fd);
        std::ofstream(path) << contents;
        m_files.push_back(path);
        return path;
    }

    std::unique_ptr<Parser> m_parser;
    std::vector<std::string> m_files;
};

TEST_F(ParserTest, EvaluatesExpressions) {
    const struct {
        const char* script;
        const char* result;
    } cases[] = {
        {"r = 1.5", "1.5"},
        {"r = \"s t\"", "\"s t\""},
        {"r = - 2", "-2"},
        {"r = - - 2", "2"},
        {"r = < 1 2 >", "< 1 2 >"},
        {"r = < 1 2 3 >", "< 1 2 3 >"},
        {"r = < 1 2 3 4 >", "< 1 2 3 4 >"},
        {"r = < -1 2 >", "< -1 2 >"},
        {"n = 3 r = < n n >", "< 3 3 >"},
        {"r = ( )", "( )"},
        {"r = ( 1 ( 2 ) { } )", "( 1 ( 2 ) {} )"},
        {"r = { a = 1 b = { c = 2 } }", "{ a -> 1, b -> { c -> 2,},}"},
        {"r = { @local a = 1 b = a }", "{ b -> 1,}"},
        {"a = 1 a = 2 r = a", "2"},
        {"r = Draw ( )", "[Command Draw]"},
        {"r = Update ()", "[Command Update]"},
        {"t : 1 = 2 t : 3 = \"x\" r = t", "( 1 2 3 \"x\" )"},
        {"t = ( 0 ) t : 1 = 2 r = t", "( 0 1 2 )"},
        {"r = { t : 1 = 2 }", "{ t -> ( 1 2 ),}"},
        {"t = ( 0 ) x = { t : 1 = 2 } r = ( t x )", "( ( 0 1 2 ) {} )"},
        {"a = 1 r = { a = 2 b = a }", "{ a -> 2, b -> 2,}"},
        {"a = 1\n\n r\n=\na", "1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(text(c.script, "r"), c.result) << c.script;
        m_parser.reset();
        collectGarbage();
    }
}

TEST_F(ParserTest, MinusNegatesTheNumberBoundToTheName) {
    parser().parseString("n = 2 m = - n");
    EXPECT_EQ(parser().lookup("n"), parser().lookup("m"));
    EXPECT_EQ(parser().lookup("n")->toString(), "-2");
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

TEST_F(ParserTest, FailuresEndInTheirExactErrors) {
    const struct {
        const char* script;
        Outcome outcome;
    } cases[] = {
        // Recoverable failures make every statement form fail at the top level.
        {"v = < 1 2 3 4 5 >", fatal("memory(1):\nfatal: syntax error: (name, v)")},
        {"v = < 1 >", fatal("memory(1):\nfatal: syntax error: (name, v)")},
        {"v = < >", fatal("memory(1):\nfatal: syntax error: (name, v)")},
        {"v = < 1 \"a\" >", fatal("memory(1):\nfatal: syntax error: (name, v)")},
        {"a = 1\nx = { y = 2\n v = < 1 2 3 4 5 > }",
         fatal("memory(2):\nfatal: syntax error: (name, x)")},
        {"a b", fatal("memory(1):\nfatal: syntax error: (name, a)")},
        {"a = 1 }", fatal("memory(1):\nfatal: syntax error: (symbol, '}' = 125)")},
        {"\n5", fatal("memory(2):\nfatal: syntax error: (number, 5)")},
        {"\"s\" = 1", fatal("memory(1):\nfatal: syntax error: (string, 's')")},
        {"x = { a = 1", fatal("memory(1):\nfatal: syntax error: (name, x)")},
        {"@bogus", fatal("memory(1):\nfatal: syntax error: (symbol, '@' = 64)")},
        {"@local 5", fatal("memory(1):\nfatal: syntax error: (symbol, '@' = 64)")},
        {"x = 1\nDraw = 2", fatal("memory(2):\nfatal: name 'Draw' already bound to a function")},
        {"@local Print = 2",
         fatal("memory(1):\nfatal: name 'Print' already bound to a function")},
        {"t = 5\nt : 1 = 2",
         fatal("memory(2):\nfatal: name t not bound to an object of type 'tuple'")},
        {"x = Draw 1\ny = 2",
         fatal("memory(2):\nfatal: While evaluating Draw 1:\nSimple command takes no parameters.")},
        {"x = Draw ( 1 \"a\" )", fatal("memory(1):\nfatal: While evaluating Draw ( 1 \"a\" ):\n"
                                       "Simple command takes no parameters.")},
        {"x = Print { a = 1 }",
         fatal("memory(1):\nfatal: While evaluating Print { a -> 1,}:\n"
               "Simple command takes no parameters.")},
        {"s = \"a\"\nx = - s", fatal("minus sign can only precede a number object")},
        {"x = - ( )", fatal("minus sign can only precede a number object")},
        {"x = ( 1 , 2 )", fatal("Invalid symbol ,")},
        {"a =", fatal(std::string("Invalid symbol \0", 16))},
        {"x = { y = Draw }", fatal("Invalid symbol }")},
        {"x = >", fatal("Invalid symbol >")},
        {"x = y", {"BindingNotFoundException", "fatal: no binding for name 'y'"}},
        {"x = Draw ( y )", {"BindingNotFoundException", "fatal: no binding for name 'y'"}},
        {"x = Draw ( 1 , )", fatal("Invalid symbol ,")},
        // Directives.
        {"n = 1 @include n", fatal("memory(1):\nfatal: no block binding for name 'n'")},
        {"@include nothing\nx = 1",
         fatal("memory(2):\nfatal: no block binding for name 'nothing'")},
        {"@include 5", fatal("memory(1):\nfatal: @include not followed by a block object")},
        {"@include ( { } )", fatal("memory(1):\nfatal: @include not followed by a block object")},
        {"@include \"/nonexistent/vexa.ini\"\nx = 1",
         fatal("memory(2):\nfatal: @include file not found: /nonexistent/vexa.ini")},
        {"@if ( 0 ) @endif", fatal("Invalid condition object")},
        {"@if < 1 2 > @endif", fatal("Invalid condition object")},
        {"@if 1 x = 1", fatal("memory(1):\nfatal: syntax error: (symbol, '@' = 64)")},
        {"@def Draw() { return = 1 }",
         fatal("memory(1):\nfatal: name 'Draw' already bound to a function")},
        {"@def m(a) { return = a }\nx = m 1", fatal("macro parameters not given as a tuple")},
        {"@def m(a b) { return = a }\nx = m ( 1 )",
         fatal("wrong amount of parameters given to a macro")},
        {"@def m() { y = 1 }\nx = m ( )\nz = 2",
         fatal("memory(3):\nfatal: macro m does not define a return value (binding)")},
        {"@def m() { return = 1 y }\nx = m ( )",
         fatal("macro(1):\nfatal: syntax error: (name, y)")},
        {"@def m() { return = 1", fatal("memory(1):\nfatal: syntax error: (symbol, '@' = 64)")},
        {"@def m(1) { }", fatal("memory(1):\nfatal: syntax error: (symbol, '@' = 64)")},
        // Inactive branches are only checked for shape.
        {"@if 0 a = - \"s\" @endif", fatal("minus sign can only precede a number object")},
        {"@if 0 a = < 1 x > @endif", fatal("memory(1):\nfatal: syntax error: (symbol, '@' = 64)")},
        {"@if 0 @include 5 @endif",
         fatal("memory(1):\nfatal: @include not followed by a block object")},
        {"@if 0 a = ( , ) @endif", fatal("Invalid symbol ,")},
        {"@if 0 @if x @elifnot y @endif @endif",
         fatal("memory(1):\nfatal: syntax error: (symbol, '@' = 64)")},
        {"@if 1 @elnotif x @endif", fatal("memory(1):\nfatal: syntax error: (symbol, '@' = 64)")},
        {"@if 0 @if ( 1 ) @endif @endif",
         fatal("memory(1):\nfatal: syntax error: (symbol, '@' = 64)")},
    };
    for (const auto& c : cases) EXPECT_EQ(parse(c.script), c.outcome) << c.script;
}

TEST_F(ParserTest, ConditionalsChooseWhatIsParsed) {
    const struct {
        const char* script;
        const char* result;
    } cases[] = {
        {"x = 0 @if x r = 1 @endif", "1"},
        {"@if 0 r = 1 @endif", "unbound"},
        {"@if 2 r = 1 @endif", "1"},
        {"@if unknown r = 1 @else r = 2 @endif", "2"},
        {"@ifnot unknown r = 1 @endif", "1"},
        {"x = 1 @ifnot x r = 1 @else r = 2 @endif", "2"},
        {"x = 1 @if \"x\" r = 1 @endif", "1"},
        {"@if \"x\" r = 1 @else r = 2 @endif", "2"},
        {"a = 1 b = 1 @if a r = 1 @elif b r = 2 @else r = 3 @endif", "1"},
        {"@if 0 r = 1 @elif 1 r = 2 @else r = 3 @endif", "2"},
        {"@if 0 r = 1 @elifnot 0 r = 2 @endif", "2"},
        {"@if 0 r = 1 @elif 0 r = 2 @else r = 3 @endif", "3"},
        {"@if 1 @if 0 r = 1 @else r = 2 @endif @endif", "2"},
        // Nothing in an inactive branch is evaluated, bound or called.
        {"@if 0 r = Draw ( 1 2 ) q = unbound @include \"/nonexistent\" @endif r = 4", "4"},
        {"@if 0 @if x r = 1 @elnotif y r = 2 @elif z @else r = 3 @endif @endif r = 5", "5"},
        {"@if 0 r = { a = - 1 b = < 1 2 > } t : 1 = 2 @local u = Print ( ) @endif r = 6", "6"},
        {"@if 0 @local @include b @include { } @endif r = 7", "7"},
        // A definition in an inactive branch defines nothing.
        {"@if 0 @def m(a) { return = a } @endif @ifnot m r = 8 @endif", "8"},
        // Bindings of the taken branch go to the current scope.
        {"r = { @if 1 a = 1 @endif }", "{ a -> 1,}"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(text(c.script, "r"), c.result) << c.script;
        m_parser.reset();
        collectGarbage();
    }
}

TEST_F(ParserTest, EveryClauseConditionIsEvaluatedEvenAfterABranchWasTaken) {
    // A condition written as an expression is evaluated; "- n" negates n in place.
    parser().parseString("n = 1 @if 1 r = 1 @elif - n r = 2 @endif");
    EXPECT_EQ(parser().lookup("r")->toString(), "1");
    EXPECT_EQ(parser().lookup("n")->toString(), "-1");
}

TEST_F(ParserTest, IncludeCopiesBindingsOfBlocksAndFiles) {
    const std::string file = writeFile("p = 1\nq = { s = 2 }\n");
    const struct {
        std::string script;
        const char* name;
        const char* result;
    } cases[] = {
        {"b = { p = 1 q = 2 } @include b r = q", "r", "2"},
        {"@include { p = 3 } r = p", "r", "3"},
        {"b = { p = 4 } @include b", "p", "4"},
        {"b = { p = 1 } r = { @local @include b s = p }", "r", "{ s -> 1,}"},
        {"@include \"" + file + "\" r = q", "r", "{ s -> 2,}"},
        {"r = { @include \"" + file + "\" }", "r", "{ p -> 1, q -> { s -> 2,},}"},
        {"r = { @local @include \"" + file + "\" }", "r", "{ p -> 1, q -> { s -> 2,},}"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(text(c.script, c.name), c.result) << c.script;
        m_parser.reset();
        collectGarbage();
    }
}

TEST_F(ParserTest, ErrorsInIncludedFilesNameTheFile) {
    const std::string file = writeFile("a = 1\nb = (\n");
    EXPECT_EQ(parse("x = 1\n@include \"" + file + "\""),
              fatal(std::string("Invalid symbol \0", 16)));
    const std::string bad = writeFile("a = 1\n} b = 2\n");
    EXPECT_EQ(parse("@include \"" + bad + "\""),
              fatal(bad + "(2):\nfatal: syntax error: (symbol, '}' = 125)"));
    EXPECT_EQ(parse("x = 1\n@include \"" + bad + "\""),
              fatal(bad + "(2):\nfatal: syntax error: (symbol, '}' = 125)"));
}

TEST_F(ParserTest, ParseFileReportsAMissingFileAsResourceNotFound) {
    try {
        parser().parseFile("/nonexistent/demo.ini");
        FAIL() << "no exception";
    } catch (const ResourceNotFound& e) {
        EXPECT_EQ(e.message(), "/nonexistent/demo.ini missing");
    }
}

TEST_F(ParserTest, MacrosRunInTheirOwnScope) {
    const struct {
        const char* script;
        const char* result;
    } cases[] = {
        {"@def m(a b) { return = a }\nr = m ( 1 2 )", "1"},
        {"@def m(a b) { return = ( b a ) }\nr = m ( 1 \"x\" )", "( \"x\" 1 )"},
        {"@def m() { return = { k = 1 } }\nr = m ( )", "{ k -> 1,}"},
        {"@def m(a) { x = a return = x }\nr = m ( 5 ) @ifnot x r = m ( 6 ) @endif", "6"},
        {"@def m(a) { return = a }\nr = ( m ( 1 ) m ( 2 ) m ( 3 ) )", "( 1 2 3 )"},
        // A macro stays callable after the block that defined it has ended.
        {"b = { @def m(a) { return = a } }\nr = ( m ( 3 ) b )", "( 3 {} )"},
        // Names in the body come from the caller's scopes.
        {"@def m() { return = v }\nr = { v = 7 w = m ( ) }", "{ v -> 7, w -> 7,}"},
        // A later definition replaces an earlier one.
        {"@def m() { return = 1 }\n@def m() { return = 2 }\nr = m ( )", "2"},
        // Functions in a body are called, commands made.
        {"@def m() { return = Draw ( ) }\nr = m ( )", "[Command Draw]"},
        // Recursion: the inner call sees the outer call's bindings.
        {"@def r(x) { @ifnot deep deep = 1 return = r ( x ) @else return = x @endif }\n"
         "r = r ( 5 )",
         "5"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(text(c.script, "r"), c.result) << c.script;
        m_parser.reset();
        collectGarbage();
    }
}

TEST_F(ParserTest, MacroIsBackAtItsFirstBodyTokenAfterAFailedCall) {
    parser().parseString("@def m(a) { return = a q = Draw a }");
    EXPECT_THROW(parser().parseString("x = m ( 1 )"), FatalParseException);
    EXPECT_THROW(parser().parseString("x = m ( )"), FatalParseException);
    parser().parseString("y = m ( ( ) )");
    EXPECT_EQ(parser().lookup("y")->toString(), "( )");
}

TEST_F(ParserTest, MacroTextShowsParametersAndBodyTokens) {
    parser().parseString("@def m(a b) { return = ( a { } ) }");
    IniObject* macro = parser().lookup("m");
    ASSERT_TRUE(IniObject::isOfType(macro, Types::Macro()));
    EXPECT_EQ(macro->toString(),
              "@def name(a b ) { (name, return) (symbol, '=' = 61) (symbol, '(' = 40) "
              "(name, a) (symbol, '{' = 123) (symbol, '}' = 125) (symbol, ')' = 41)  }");
    parser().parseString("@def e() { }");
    EXPECT_EQ(parser().lookup("e")->toString(), "@def name() {  }");
}

// Deep nesting of any construct ends in one fatal error, never in a crash.
TEST_F(ParserTest, DeepNestingEndsInAFatalError) {
    auto repeat = [](const std::string& s, int n) {
        std::string out;
        for (int i = 0; i < n; ++i) out += s;
        return out;
    };
    const int n = 10000;
    const std::string self = writeFile("");
    std::ofstream(self) << "a = 1\n@include \"" << self << "\"\n";
    const std::string scripts[] = {
        "x = " + repeat("{ a = ", n) + "1" + repeat(" }", n),
        "x = " + repeat("( ", n) + repeat(")", n),
        "x = " + repeat("< ", n) + "1 2" + repeat(" >", n),
        "x = " + repeat("- ", n) + "1",
        "x = " + repeat("Print ", n) + "( )",
        repeat("@if 1 ", n) + repeat("@endif ", n),
        repeat("@if 0 ", n) + repeat("@endif ", n),
        "@if 0 " + repeat("@if x ", n) + repeat("@endif ", n) + "@endif",
        "@if 0 x = " + repeat("( ", n) + repeat(")", n) + " @endif",
        "@def m(a) { return = m ( a ) }\nx = m ( 1 )",
        "@include \"" + self + "\"",
        "x = " + repeat("{ @include { a = ", n) + "1" + repeat(" } }", n),
    };
    for (const std::string& script : scripts)
        EXPECT_EQ(parse(script).kind, "FatalParseException") << script.substr(0, 40);

    std::string comments = "x = 1 " + repeat("/* ", n) + repeat("*/ ", n) + "y = 2";
    EXPECT_EQ(parse(comments).kind, "none");
}

}  // namespace
}  // namespace Vexa
