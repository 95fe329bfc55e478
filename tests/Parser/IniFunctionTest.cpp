// Parameter access of script functions: named and positional parameters,
// their type messages, defaults, enumerations and bound values, and the call
// protocol that keeps the parameters of a new object alive.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "Parser/Exceptions.h"
#include "Parser/IniCommands.h"
#include "Parser/IniFunction.h"
#include "Parser/Parser.h"

namespace Vexa {
namespace {

VEXA_DEFINE_TYPE(probeType, "Probe")

class ProbeObject : public IniObject {
public:
    const TypeObject* type() const override { return probeType(); }
    float number = -1.0f;
    Vec3f vec3{{-1, -1, -1}};
    Vec4f vec4{{-1, -1, -1, -1}};
};

// A number that follows the time of the Update commands it receives.
class AnimatedNumber : public NumberObject {
public:
    using NumberObject::NumberObject;
    bool isDynamic() const override { return true; }
    void execute(CommandObject& command) override {
        if (command.commandKind() != CommandKinds::Update()) return;
        setValue(command.time());
        publish();
    }
};

// TestProbe: runs the body the test installs and answers a ProbeObject.
class F_TestProbe : public IniFunction {
public:
    IniObject* create() override {
        auto* probe = new ProbeObject();
        try {
            if (body) body(*this, *probe);
        } catch (...) {
            delete probe;
            throw;
        }
        return probe;
    }
    std::function<void(F_TestProbe&, ProbeObject&)> body;

    using IniFunction::bindElementNumber;
    using IniFunction::bindElementVec3;
    using IniFunction::bindNumber;
    using IniFunction::bindNumberIfGiven;
    using IniFunction::bindVec3;
    using IniFunction::bindVec3IfGiven;
    using IniFunction::bindVec4;
    using IniFunction::bindVec4IfGiven;
    using IniFunction::count;
    using IniFunction::element;
    using IniFunction::elementInt;
    using IniFunction::elementNumber;
    using IniFunction::elementString;
    using IniFunction::elementType;
    using IniFunction::elementVec3;
    using IniFunction::getEnum;
    using IniFunction::getInt;
    using IniFunction::getNumber;
    using IniFunction::getObject;
    using IniFunction::getRecordedElement;
    using IniFunction::getRecordedObject;
    using IniFunction::getString;
    using IniFunction::getType;
    using IniFunction::getVec4;
    using IniFunction::has;
    using IniFunction::wholeArgument;
};
F_TestProbe s_probe;

// TestAnimated: an AnimatedNumber starting at the given number.
class F_TestAnimated : public IniFunction {
public:
    IniObject* create() override { return new AnimatedNumber(elementNumber(0)); }
};
F_TestAnimated s_animated;
const FunctionEntry kTestFunctions[] = {{"TestProbe", &s_probe}, {"TestAnimated", &s_animated}};
const FunctionRegistrar s_registrar(kTestFunctions);

const EnumEntry kCompare[] = {{"LESS", 1}, {"GREATER", 2}, {"ALWAYS", 8}, {nullptr, 0}};

using Body = std::function<void(F_TestProbe&, ProbeObject&)>;

class IniFunctionTest : public ::testing::Test {
protected:
    void TearDown() override {
        s_probe.body = nullptr;
        m_parser.reset();
        collectGarbage();
    }

    // Parses `script` with the probe running `body`; answers "" or the
    // message of the fatal error the script ended in.
    std::string run(const std::string& script, Body body) {
        s_probe.body = std::move(body);
        m_parser = std::make_unique<Parser>();
        try {
            m_parser->parseString(script);
        } catch (const FatalParseException& e) {
            return e.message();
        }
        return "";
    }
    // The message of the accessor error alone, unwrapped from "While evaluating".
    std::string error(const std::string& script, Body body) {
        const std::string message = run(script, std::move(body));
        const std::size_t colon = message.find(":\n", message.find("While evaluating"));
        return colon == std::string::npos ? "no error: " + message : message.substr(colon + 2);
    }
    ProbeObject* probe(const char* name = "p") {
        return static_cast<ProbeObject*>(m_parser->lookup(name));
    }

    std::unique_ptr<Parser> m_parser;
};

TEST_F(IniFunctionTest, AccessorErrorsUseTheirExactMessages) {
    const struct {
        const char* script;
        Body body;
        const char* message;
    } cases[] = {
        {"p = TestProbe { radius = \"r\" }",
         [](F_TestProbe& f, ProbeObject&) { f.getNumber("radius", 1.0f); },
         "radius is String. Number was expected."},
        {"p = TestProbe { n = < 1 2 3 > }", [](F_TestProbe& f, ProbeObject&) { f.getInt("n", 0); },
         "n is Vec3d. Number was expected."},
        {"p = TestProbe { s = 1 }", [](F_TestProbe& f, ProbeObject&) { f.getString("s"); },
         "s is Number. String was expected."},
        {"p = TestProbe { v = < 1 2 3 > }", [](F_TestProbe& f, ProbeObject&) { f.getVec4("v"); },
         "v is Vec3d. Vec4d was expected."},
        {"p = TestProbe { o = ( ) }",
         [](F_TestProbe& f, ProbeObject&) { f.getObject("o", Types::Block()); },
         "o is Tuple. Block was expected."},
        {"p = TestProbe { o = Draw ( ) }",
         [](F_TestProbe& f, ProbeObject&) { f.getRecordedObject("o", Types::Number()); },
         "o is Command. Number was expected."},
        {"p = TestProbe { }", [](F_TestProbe& f, ProbeObject&) { f.getNumber("radius"); },
         "Name 'radius' is not defined."},
        {"p = TestProbe { }", [](F_TestProbe& f, ProbeObject&) { f.getType("t"); },
         "Name 't' is not defined."},
        {"p = TestProbe { }", [](F_TestProbe& f, ProbeObject&) { f.getObject("o"); },
         "Name 'o' is not defined."},
        {"p = TestProbe { }", [](F_TestProbe& f, ProbeObject&) { f.getEnum("mode", kCompare); },
         "Name 'mode' is not defined."},
        {"p = TestProbe { mode = \"less\" }",
         [](F_TestProbe& f, ProbeObject&) { f.getEnum("mode", kCompare); }, "Undefined enum name."},
        {"p = TestProbe { mode = \"less\" }",
         [](F_TestProbe& f, ProbeObject&) { f.getEnum("mode", kCompare, 0); },
         "Undefined enum name."},
        {"p = TestProbe { mode = 1 }",
         [](F_TestProbe& f, ProbeObject&) { f.getEnum("mode", kCompare); },
         "mode is Number. String was expected."},
        {"p = TestProbe { v = 1 }",
         [](F_TestProbe& f, ProbeObject& p) { f.bindVec3("v", &p.vec3, Vec3f{}); },
         "v is Number. Vec3d was expected."},
        {"p = TestProbe { v = < 1 2 3 > }",
         [](F_TestProbe& f, ProbeObject& p) { f.bindNumberIfGiven("v", &p.number); },
         "v is Vec3d. Number was expected."},
        // Positional parameters.
        {"p = TestProbe 5", [](F_TestProbe& f, ProbeObject&) { f.element(1); },
         "Only one parameter given."},
        {"p = TestProbe 5", [](F_TestProbe& f, ProbeObject&) { f.element(-1); },
         "Only one parameter given."},
        {"p = TestProbe ( )", [](F_TestProbe& f, ProbeObject&) { f.element(0); },
         "Tuple index out of range."},
        {"p = TestProbe ( 1 2 )", [](F_TestProbe& f, ProbeObject&) { f.element(2); },
         "Tuple index out of range."},
        {"p = TestProbe ( 1 2 )", [](F_TestProbe& f, ProbeObject&) { f.element(-1); },
         "Tuple index out of range."},
        {"p = TestProbe ( 1 \"s\" )", [](F_TestProbe& f, ProbeObject&) { f.elementNumber(1); },
         "Tuple element 1 is String. Number was expected."},
        {"p = TestProbe \"s\"", [](F_TestProbe& f, ProbeObject&) { f.elementInt(0); },
         "Tuple element 0 is String. Number was expected."},
        {"p = TestProbe ( 1 )", [](F_TestProbe& f, ProbeObject&) { f.elementString(0); },
         "Tuple element 0 is Number. String was expected."},
        {"p = TestProbe ( 1 < 1 2 > )", [](F_TestProbe& f, ProbeObject&) { f.elementVec3(1); },
         "Tuple element 1 is Vec2d. Vec3d was expected."},
        {"p = TestProbe ( { } )",
         [](F_TestProbe& f, ProbeObject&) { f.getRecordedElement(0, Types::Tuple()); },
         "Tuple element 0 is Block. Tuple was expected."},
        {"p = TestProbe ( 1 )",
         [](F_TestProbe& f, ProbeObject& p) { f.bindElementVec3(0, &p.vec3); },
         "Tuple element 0 is Number. Vec3d was expected."},
        {"p = TestProbe 5",
         [](F_TestProbe& f, ProbeObject&) { f.wholeArgument(Types::Tuple()); },
         "Parameter is Number. Tuple was expected."},
        {"p = TestProbe ( )",
         [](F_TestProbe& f, ProbeObject&) { f.wholeArgument(Types::Block()); },
         "Parameter is Tuple. Block was expected."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(error(c.script, c.body), c.message) << c.script;
        m_parser.reset();
        collectGarbage();
    }
}

TEST_F(IniFunctionTest, AccessorErrorsAreWrappedWithTheFunctionAndItsArgument) {
    EXPECT_EQ(run("a = 1\np = TestProbe { radius = \"r\" }\nq = 2",
                  [](F_TestProbe& f, ProbeObject&) { f.getNumber("radius"); }),
              "memory(3):\nfatal: While evaluating TestProbe { radius -> \"r\",}:\n"
              "radius is String. Number was expected.");
    // An error inside the argument is reported as it is.
    EXPECT_EQ(run("p = TestProbe ( 1 , )", nullptr), "Invalid symbol ,");
}

TEST_F(IniFunctionTest, NamedParametersReadValuesAndDefaults) {
    float number = 0, optional = 0;
    int32_t truncated = 0, negative = 0, fallback = 0, required = 0;
    std::string text;
    Vec4f color;
    const TypeObject* type = nullptr;
    int32_t mode = 0, defaultMode = 0;
    bool hasMissing = true, hasRadius = false;
    run("p = TestProbe { radius = 2.5 a = 2.9 b = - 2.9 c = 7.99 s = \"x y\" "
        "color = < 1 2 3 4 > mode = \"GREATER\" }",
        [&](F_TestProbe& f, ProbeObject&) {
            number = f.getNumber("radius");
            optional = f.getNumber("missing", 4.5f);
            truncated = f.getInt("a", 0);
            negative = f.getInt("b", 0);
            fallback = f.getInt("missing", 11);
            required = f.getInt("c");
            text = f.getString("s");
            color = f.getVec4("color");
            type = f.getType("color");
            mode = f.getEnum("mode", kCompare);
            defaultMode = f.getEnum("missing", kCompare, 8);
            hasMissing = f.has("missing");
            hasRadius = f.has("radius");
        });
    EXPECT_EQ(number, 2.5f);
    EXPECT_EQ(optional, 4.5f);
    EXPECT_EQ(truncated, 2);
    EXPECT_EQ(negative, -2);
    EXPECT_EQ(fallback, 11);
    EXPECT_EQ(required, 7);
    EXPECT_EQ(text, "x y");
    EXPECT_EQ(color[3], 4.0f);
    EXPECT_EQ(type, Types::Vec4d());
    EXPECT_EQ(mode, 2);
    EXPECT_EQ(defaultMode, 8);
    EXPECT_FALSE(hasMissing);
    EXPECT_TRUE(hasRadius);
}

TEST_F(IniFunctionTest, NamedParametersAreFoundInEnclosingBlocks) {
    const struct {
        const char* script;
        const char* target;
    } cases[] = {
        {"radius = 3 p = TestProbe { }", "p"},
        {"radius = 3 p = TestProbe ( )", "p"},
        {"radius = 3 p = TestProbe 1", "p"},
        {"radius = 1 outer = { radius = 3 inner = { p = TestProbe { } } }", "outer"},
        {"radius = 1 outer = { radius = 3 p = TestProbe ( 1 2 ) }", "outer"},
        {"radius = 1 p = TestProbe { radius = 3 }", "p"},
    };
    for (const auto& c : cases) {
        float radius = 0;
        EXPECT_EQ(run(c.script, [&](F_TestProbe& f, ProbeObject&) { radius = f.getNumber("radius"); }),
                  "")
            << c.script;
        EXPECT_EQ(radius, 3.0f) << c.script;
        m_parser.reset();
        collectGarbage();
    }
}

TEST_F(IniFunctionTest, PositionalParametersReadTheArgumentAsAList) {
    int countTuple = 0, countSingle = 0, countEmpty = 0;
    float first = 0;
    int32_t second = 0, third = 0;
    std::string text;
    Vec3f v;
    const TypeObject* type = nullptr;
    IniObject* single = nullptr;
    run("p = TestProbe ( 1.5 2.9 - 2.9 \"s\" < 1 2 3 > )", [&](F_TestProbe& f, ProbeObject&) {
        countTuple = f.count();
        first = f.elementNumber(0);
        second = f.elementInt(1);
        third = f.elementInt(2);
        text = f.elementString(3);
        v = f.elementVec3(4);
        type = f.elementType(3);
    });
    run("p = TestProbe 5", [&](F_TestProbe& f, ProbeObject&) {
        countSingle = f.count();
        single = f.element(0, Types::Number());
    });
    EXPECT_EQ(single->toString(), "5");
    run("p = TestProbe ( )", [&](F_TestProbe& f, ProbeObject&) { countEmpty = f.count(); });
    EXPECT_EQ(countTuple, 5);
    EXPECT_EQ(first, 1.5f);
    EXPECT_EQ(second, 2);
    EXPECT_EQ(third, -2);
    EXPECT_EQ(text, "s");
    EXPECT_EQ(v[1], 2.0f);
    EXPECT_EQ(type, Types::String());
    EXPECT_EQ(countSingle, 1);
    EXPECT_EQ(countEmpty, 0);
}

TEST_F(IniFunctionTest, BoundValuesWriteDefaultsOrLeaveTheFieldUnchanged) {
    run("p = TestProbe { }", [](F_TestProbe& f, ProbeObject& p) {
        f.bindNumber("n", &p.number, 9.0f);
        f.bindVec3("v", &p.vec3, Vec3f{{1, 2, 3}});
        f.bindVec4IfGiven("w", &p.vec4);
    });
    EXPECT_EQ(probe()->number, 9.0f);
    EXPECT_EQ(probe()->vec3[2], 3.0f);
    EXPECT_EQ(probe()->vec4[0], -1.0f);

    run("x = 4 p = TestProbe { n = x v = < 4 5 6 > w = < 1 2 3 4 > }",
        [](F_TestProbe& f, ProbeObject& p) {
            f.bindNumber("n", &p.number, 9.0f);
            f.bindVec3IfGiven("v", &p.vec3);
            f.bindVec4("w", &p.vec4, Vec4f{});
        });
    EXPECT_EQ(probe()->number, 4.0f);
    EXPECT_EQ(probe()->vec3[0], 4.0f);
    EXPECT_EQ(probe()->vec4[3], 4.0f);
    // A value that does not change is copied, not kept.
    EXPECT_FALSE(probe()->holds(m_parser->lookup("x")));
}

TEST_F(IniFunctionTest, AnimatedBoundValueKeepsUpdatingTheFieldAndIsHeld) {
    run("a = TestAnimated 1 p = TestProbe { n = a } q = TestProbe ( a )",
        [](F_TestProbe& f, ProbeObject& p) {
            if (f.has("n"))
                f.bindNumberIfGiven("n", &p.number);
            else
                f.bindElementNumber(0, &p.number);
        });
    IniObject* animated = m_parser->lookup("a");
    ProbeObject* p = probe("p");
    ProbeObject* q = probe("q");
    EXPECT_TRUE(p->holds(animated));
    EXPECT_TRUE(q->holds(animated));
    EXPECT_EQ(p->number, 1.0f);
    SimpleCommand update(2.5f, CommandKinds::Update());
    animated->execute(update);
    EXPECT_EQ(p->number, 2.5f);
    EXPECT_EQ(q->number, 2.5f);
}

TEST_F(IniFunctionTest, CallProtocolHoldsRecordedObjectsAndReleasesTheArgument) {
    collectGarbage();
    auto* recorded = new TupleObject();
    s_probe.body = [](F_TestProbe& f, ProbeObject&) { f.wholeArgument(Types::Tuple()); };
    IniObject* r = IniFunction::call("TestProbe", recorded, nullptr);
    EXPECT_TRUE(r->holds(recorded));
    EXPECT_EQ(recorded->refCount(), 1);
    EXPECT_EQ(garbageListSize(), 0u);

    // An argument nobody recorded is queued for the next collection.
    auto* temporary = new TupleObject();
    auto* named = new BlockObject();
    auto* element = new NumberObject(1.0f);
    named->bind("o", element, false);
    s_probe.body = [](F_TestProbe& f, ProbeObject&) { f.getRecordedObject("o", Types::Number()); };
    IniObject* q = IniFunction::call("TestProbe", temporary, named);
    EXPECT_TRUE(q->holds(element));
    EXPECT_EQ(temporary->refCount(), 0);
    EXPECT_EQ(garbageListSize(), 1u);

    // A failed call leaves nothing behind: the argument is queued as well.
    auto* failing = new TupleObject();
    s_probe.body = [](F_TestProbe& f, ProbeObject&) { f.element(0); };
    EXPECT_THROW(IniFunction::call("TestProbe", failing, nullptr), ParseException);
    EXPECT_EQ(garbageListSize(), 2u);

    r->touch();
    q->touch();
    named->touch();
}

TEST_F(IniFunctionTest, RegistryRefusesDuplicateNamesAndReportsUnknownOnes) {
    F_TestAnimated other;
    IniFunction* const draw = IniFunction::find("Draw");
    ASSERT_NE(draw, nullptr);
    try {
        IniFunction::registerFunction("Draw", &other);
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.message(), "Function 'Draw' is registered twice.");
    }
    EXPECT_EQ(IniFunction::find("Draw"), draw);
    // At start-up the registrar reports the name and ends the process.
    const FunctionEntry twice[] = {{"TestOnce", &other}, {"TestOnce", &other}};
    EXPECT_EXIT(FunctionRegistrar registrar(twice), ::testing::ExitedWithCode(EXIT_FAILURE),
                "Function 'TestOnce' is registered twice.");

    // An unknown name is an Exception, but not a ParseException.
    auto* argument = new TupleObject();
    argument->touch();
    try {
        IniFunction::call("NoSuchFunction", argument, nullptr);
        ADD_FAILURE() << "no exception";
    } catch (const ParseException&) {
        ADD_FAILURE() << "a ParseException";
    } catch (const Exception& e) {
        EXPECT_EQ(e.message(), "Undefined function name.");
    }
}

TEST_F(IniFunctionTest, SimpleCommandsTakeNoParameters) {
    for (const char* argument : {"1", "( 1 )", "{ }", "\"s\"", "( ( ) )"}) {
        auto* parser = new Parser();
        try {
            parser->parseString(std::string("c = Draw ") + argument);
            ADD_FAILURE() << argument;
        } catch (const FatalParseException& e) {
            const std::string message = e.message();
            EXPECT_EQ(message.substr(message.size() - 35), "Simple command takes no parameters.");
        }
        delete parser;
        collectGarbage();
    }
    auto* number = new NumberObject(1.0f);
    number->touch();
    EXPECT_THROW(IniFunction::call("Load", number, nullptr), ParseException);
    auto* empty = new TupleObject();
    IniObject* command = IniFunction::call("SetupTextureRendering", empty, nullptr);
    EXPECT_EQ(static_cast<CommandObject*>(command)->commandKind(),
              CommandKinds::SetupTextureRendering());
    EXPECT_EQ(command->toString(), "[Command SetupTextureRendering]");
    command->touch();
}

}  // namespace
}  // namespace Vexa
