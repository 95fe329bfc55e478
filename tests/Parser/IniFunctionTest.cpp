// Parameter access of script functions: named and positional parameters,
// their type messages, defaults, enumerations and bound values, the call
// protocol that keeps the parameters of a new object alive, and the registry.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "Parser/IniFunction.h"
#include "Support/TestKit.h"

namespace Vexa {
namespace {

using Testing::messageOf;
using Testing::Outcome;
using Testing::outcomeOf;

VEXA_DEFINE_TYPE(probeType, "Probe")

class ProbeObject : public IniObject {
public:
    const TypeObject* type() const override { return probeType(); }
    float number = -1.0f;
    Vec3f vec3{{-1, -1, -1}};
    Vec4f vec4{{-1, -1, -1, -1}};
};

// TestProbe: runs the body the test installs and answers a ProbeObject.
class F_TestProbe : public IniFunction {
public:
    IniObject* create() override {
        ++calls;
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
    int calls = 0;

    using IniFunction::bindElementNumber, IniFunction::bindNumber, IniFunction::bindNumberIfGiven,
        IniFunction::bindVec3, IniFunction::bindVec3IfGiven, IniFunction::bindVec4,
        IniFunction::bindVec4IfGiven, IniFunction::count, IniFunction::element,
        IniFunction::elementInt, IniFunction::elementNumber, IniFunction::elementString,
        IniFunction::elementType, IniFunction::elementVec3, IniFunction::getEnum,
        IniFunction::getInt, IniFunction::getNumber, IniFunction::getObject,
        IniFunction::getRecordedElement, IniFunction::getRecordedObject, IniFunction::getString,
        IniFunction::getType, IniFunction::getVec4, IniFunction::has, IniFunction::wholeArgument;
};
F_TestProbe s_probe;
const FunctionEntry kTestFunctions[] = {{"TestProbe", &s_probe}};
const FunctionRegistrar s_registrar(kTestFunctions);

const EnumEntry kCompare[] = {{"LESS", 1}, {"GREATER", 2}, {"ALWAYS", 8}, {nullptr, 0}};

using F = F_TestProbe;
using P = ProbeObject;
using Body = std::function<void(F&, P&)>;

class IniFunctionTest : public Testing::ScriptTest {
protected:
    void TearDown() override {
        s_probe.body = nullptr;
        ScriptTest::TearDown();
    }
    // Runs "p = TestProbe <argument>" in a fresh parser with the probe running
    // `body`; answers the probe.
    P* probe(const std::string& argument, Body body, const std::string& before = "") {
        reset();
        s_probe.body = std::move(body);
        const int calls = s_probe.calls;
        run(before + "p = TestProbe " + argument, "p");
        EXPECT_EQ(s_probe.calls, calls + 1) << argument;
        return static_cast<P*>(parser().lookup("p"));
    }
    // The message of the accessor error alone, unwrapped from "While evaluating".
    std::string error(const std::string& argument, Body body) {
        const std::string message = messageOf([&] { probe(argument, std::move(body)); });
        const std::size_t colon = message.find(":\n", message.find("While evaluating"));
        return colon == std::string::npos ? "unwrapped: " + message : message.substr(colon + 2);
    }
};

TEST_F(IniFunctionTest, AccessorErrorsUseTheirExactMessages) {
    const struct {
        const char* argument;
        Body body;
        const char* message;
    } cases[] = {
        // Named parameters of the wrong type.
        {"{ r = \"r\" }", [](F& f, P&) { f.getNumber("r", 1.0f); },
         "r is String. Number was expected."},
        {"{ n = < 1 2 3 > }", [](F& f, P&) { f.getInt("n", 0); },
         "n is Vec3d. Number was expected."},
        {"{ s = 1 }", [](F& f, P&) { f.getString("s"); }, "s is Number. String was expected."},
        {"{ v = < 1 2 3 > }", [](F& f, P&) { f.getVec4("v"); }, "v is Vec3d. Vec4d was expected."},
        {"{ o = ( ) }", [](F& f, P&) { f.getObject("o", Types::Block()); },
         "o is Tuple. Block was expected."},
        {"{ o = Draw ( ) }", [](F& f, P&) { f.getRecordedObject("o", Types::Number()); },
         "o is Command. Number was expected."},
        {"{ m = 1 }", [](F& f, P&) { f.getEnum("m", kCompare); },
         "m is Number. String was expected."},
        {"{ m = \"less\" }", [](F& f, P&) { f.getEnum("m", kCompare, 0); }, "Undefined enum name."},
        {"{ v = 1 }", [](F& f, P& p) { f.bindVec3("v", &p.vec3, Vec3f{}); },
         "v is Number. Vec3d was expected."},
        {"{ v = < 1 2 3 > }", [](F& f, P& p) { f.bindNumberIfGiven("v", &p.number); },
         "v is Vec3d. Number was expected."},
        // Positional parameters.
        {"5", [](F& f, P&) { f.element(1); }, "Only one parameter given."},
        {"( )", [](F& f, P&) { f.element(0); }, "Tuple index out of range."},
        {"( 1 2 )", [](F& f, P&) { f.element(-1); }, "Tuple index out of range."},
        {"( 1 \"s\" )", [](F& f, P&) { f.elementNumber(1); },
         "Tuple element 1 is String. Number was expected."},
        {"\"s\"", [](F& f, P&) { f.elementInt(0); },
         "Tuple element 0 is String. Number was expected."},
        {"( 1 )", [](F& f, P&) { f.elementString(0); },
         "Tuple element 0 is Number. String was expected."},
        {"( 1 < 1 2 > )", [](F& f, P&) { f.elementVec3(1); },
         "Tuple element 1 is Vec2d. Vec3d was expected."},
        {"( { } )", [](F& f, P&) { f.getRecordedElement(0, Types::Tuple()); },
         "Tuple element 0 is Block. Tuple was expected."},
        {"5", [](F& f, P&) { f.wholeArgument(Types::Tuple()); },
         "Parameter is Number. Tuple was expected."},
    };
    for (const auto& c : cases) EXPECT_EQ(error(c.argument, c.body), c.message) << c.argument;

    // Every accessor of a required named parameter names the one missing.
    const std::function<void(F&)> required[] = {
        [](F& f) { f.getNumber("x"); },
        [](F& f) { f.getString("x"); },
        [](F& f) { f.getType("x"); },
        [](F& f) { f.getEnum("x", kCompare); },
    };
    for (const auto& accessor : required)
        EXPECT_EQ(error("{ }", [&](F& f, P&) { accessor(f); }), "Name 'x' is not defined.");
}

TEST_F(IniFunctionTest, NamedParametersAreFoundInEnclosingBlocks) {
    const struct {
        const char* before;
        const char* argument;
    } cases[] = {
        {"radius = 3 ", "{ }"},
        {"radius = 3 ", "( )"},
        {"radius = 1 outer = { radius = 3 inner = { ", "{ } } }"},
        {"radius = 1 outer = { radius = 3 ", "( 1 2 ) }"},
        {"radius = 1 ", "{ radius = 3 }"},
    };
    for (const auto& c : cases) {
        float radius = 0;
        probe(
            c.argument, [&](F& f, P&) { radius = f.getNumber("radius"); }, c.before);
        EXPECT_EQ(radius, 3.0f) << c.before << c.argument;
    }
}

TEST_F(IniFunctionTest, BoundValuesWriteDefaultsOrLeaveTheFieldUnchanged) {
    P* p = probe("{ }", [](F& f, P& p) {
        f.bindNumber("n", &p.number, 9.0f);
        f.bindVec3("v", &p.vec3, Vec3f{{1, 2, 3}});
        f.bindVec4IfGiven("w", &p.vec4);
    });
    EXPECT_EQ(p->number, 9.0f);
    EXPECT_EQ(p->vec3[2], 3.0f);
    EXPECT_EQ(p->vec4[0], -1.0f);

    p = probe(
        "{ n = x v = < 4 5 6 > w = < 1 2 3 4 > }",
        [](F& f, P& p) {
            f.bindNumber("n", &p.number, 9.0f);
            f.bindVec3IfGiven("v", &p.vec3);
            f.bindVec4("w", &p.vec4, Vec4f{});
        },
        "x = 4 ");
    EXPECT_EQ(p->number, 4.0f);
    EXPECT_EQ(p->vec3[0], 4.0f);
    EXPECT_EQ(p->vec4[3], 4.0f);
    // A value that does not change is copied, not kept.
    EXPECT_FALSE(p->holds(parser().lookup("x")));
}

TEST_F(IniFunctionTest, AnimatedBoundValueKeepsUpdatingTheFieldAndIsHeld) {
    s_probe.body = [](F& f, P& p) {
        if (f.has("n"))
            f.bindNumberIfGiven("n", &p.number);
        else
            f.bindElementNumber(0, &p.number);
    };
    run("a = TestAnimatedNumber 1 p = TestProbe { n = a } q = TestProbe ( a )");
    IniObject* animated = parser().lookup("a");
    auto* p = static_cast<P*>(parser().lookup("p"));
    auto* q = static_cast<P*>(parser().lookup("q"));
    EXPECT_TRUE(p->holds(animated));
    EXPECT_TRUE(q->holds(animated));
    EXPECT_EQ(p->number, 1.0f);
    Testing::send(animated, CommandKinds::Update(), 2.5f);
    EXPECT_EQ(p->number, 2.5f);
    EXPECT_EQ(q->number, 2.5f);
}

TEST_F(IniFunctionTest, CallProtocolHoldsRecordedObjectsAndReleasesTheArgument) {
    auto* recorded = new TupleObject();
    s_probe.body = [](F& f, P&) { f.wholeArgument(Types::Tuple()); };
    IniObject* r = IniFunction::call("TestProbe", recorded, nullptr);
    EXPECT_TRUE(r->holds(recorded));
    EXPECT_EQ(recorded->refCount(), 1);
    EXPECT_EQ(garbageListSize(), 0u);

    // An argument nobody recorded is queued for the next collection.
    auto* temporary = new TupleObject();
    auto* named = new BlockObject();
    auto* element = new NumberObject(1.0f);
    named->bind("o", element, false);
    s_probe.body = [](F& f, P&) { f.getRecordedObject("o", Types::Number()); };
    IniObject* q = IniFunction::call("TestProbe", temporary, named);
    EXPECT_TRUE(q->holds(element));
    EXPECT_EQ(temporary->refCount(), 0);
    EXPECT_EQ(garbageListSize(), 1u);

    // A failed call leaves nothing behind: the argument is queued as well.
    s_probe.body = [](F& f, P&) { f.element(0); };
    EXPECT_EQ(outcomeOf([] { IniFunction::call("TestProbe", new TupleObject(), nullptr); }).kind,
              "ParseException");
    EXPECT_EQ(garbageListSize(), 2u);

    r->touch();
    q->touch();
    named->touch();
}

TEST_F(IniFunctionTest, RegistryRefusesASecondFunctionOfTheSameNameAndUnknownNames) {
    F_TestProbe other;
    IniFunction* const draw = IniFunction::find("Draw");
    ASSERT_NE(draw, nullptr);
    EXPECT_EQ(outcomeOf([&] { IniFunction::registerFunction("Draw", &other); }),
              (Outcome{"Exception", "Function 'Draw' is registered twice."}));
    EXPECT_EQ(IniFunction::find("Draw"), draw);
    // At start-up the registrar reports the name and ends the process.
    const FunctionEntry twice[] = {{"TestOnce", &other}, {"TestOnce", &other}};
    EXPECT_EXIT(FunctionRegistrar registrar(twice), ::testing::ExitedWithCode(EXIT_FAILURE),
                "Function 'TestOnce' is registered twice.");

    // An unknown name is an error of the family, but not one a statement form
    // would take for a mismatch and backtrack over.
    auto* argument = new TupleObject();
    argument->touch();
    EXPECT_EQ(outcomeOf([&] { IniFunction::call("NoSuchFunction", argument, nullptr); }),
              (Outcome{"Exception", "Undefined function name."}));
}

}  // namespace
}  // namespace Vexa
