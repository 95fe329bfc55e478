// Envelopes and animated vectors as scripts build them: key tuples, the
// exact construction errors, and values that follow Update commands into the
// fields that copied them.
#include "Parser/Functions/Envelope.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "Parser/Exceptions.h"
#include "Parser/Functions/CommandEmitters.h"
#include "Parser/IniCommands.h"
#include "Parser/Parser.h"

namespace Vexa {
namespace {

VEXA_DEFINE_TYPE(holderType, "EnvelopeTestHolder")

// A consumer with a number and a 3-vector field bound from "n" and "v".
class FieldHolder : public IniObject {
public:
    const TypeObject* type() const override { return holderType(); }
    float number = 0.0f;
    Vec3f vector;
};

class F_FieldHolder : public IniFunction {
public:
    IniObject* create() override {
        auto* holder = new FieldHolder();
        bindNumber("n", &holder->number, 0.0f);
        bindVec3("v", &holder->vector, Vec3f{});
        return holder;
    }
};
F_FieldHolder s_fieldHolder;
const FunctionEntry kTestFunctions[] = {{"EnvelopeTestHolder", &s_fieldHolder}};
const FunctionRegistrar s_registrar(kTestFunctions);

class EnvelopeScript : public ::testing::Test {
protected:
    void TearDown() override {
        m_parser.reset();
        collectGarbage();
    }
    void run(const std::string& text) { m_parser->parseString(text); }
    template <typename T>
    T* get(const char* name) {
        IniObject* object = m_parser->lookup(name);
        EXPECT_NE(object, nullptr) << name;
        return static_cast<T*>(object);
    }
    IniObject* update(const char* name, float time) {
        IniObject* object = get<IniObject>(name);
        SimpleCommand command(time, CommandKinds::Update());
        object->execute(command);
        return object;
    }

    std::unique_ptr<Parser> m_parser = std::make_unique<Parser>();
};

TEST_F(EnvelopeScript, ParametersAndKeyTuplesReachTheChannel) {
    run("e = Envelope { key = ( -1 0 1 10 ) }"
        "r = Envelope { key = ( 0 0 1 1 ) pre = \"RESET\" post = \"CYCLE_RELATIVE\""
        "               smoothWrap = 1.5 }"
        "o = Envelope { key = ( 0 0 1 1 ) pre = \"OSCILLATE\" post = \"LINEAR\" smoothWrap = 0.9 }"
        "k = Envelope { key = ( 0 FLAT 0  1 TCB ( 5 1 0 0 )  2 FIXED ( 0 -1 2 )"
        "                       \"degree\" 1  3 LINEAR 4  4 4 ) }"
        "s = Envelope { key = ( \"degree\" 0  0.25 0  0.5 5  0.75 7 ) }"
        "f = Envelope { key = ( \"degree\" 0  0.25 0  0.5 5  0.75 7 ) }");
    auto* e = get<EnvelopeObject>("e");
    EXPECT_TRUE(e->isDynamic());
    EXPECT_FLOAT_EQ(e->value(), 5.0f);  // before any Update: the value at 0
    update("e", 0.5f);
    EXPECT_FLOAT_EQ(e->value(), 7.5f);
    // A step read inside its segment holds up to its end key; read first at
    // the key, the next step's value shows.
    update("s", 0.375f);
    EXPECT_EQ(static_cast<EnvelopeObject*>(update("s", 0.5f))->value(), 0.0f);
    EXPECT_EQ(static_cast<EnvelopeObject*>(update("f", 0.5f))->value(), 5.0f);

    const Interpolation& r = get<EnvelopeObject>("r")->channel();
    const Interpolation& o = get<EnvelopeObject>("o")->channel();
    EXPECT_TRUE(r.pre() == Interpolation::kReset && r.post() == Interpolation::kCycleRelative);
    EXPECT_TRUE(o.pre() == Interpolation::kOscillate && o.post() == Interpolation::kLinearOut);
    EXPECT_TRUE(r.smoothWrap() && !o.smoothWrap());

    const auto& k = get<EnvelopeObject>("k")->channel().keys();
    ASSERT_EQ(k.size(), 5u);
    EXPECT_EQ(k[0].outTangent, 0.0f);
    EXPECT_EQ(k[1].inTangent, 0.0f);  // tension 1
    // "degree" fixes the segment ending at the next key, whose chord then
    // overrides the fixed out-tangent.
    EXPECT_EQ(k[1].degree, 3);
    EXPECT_EQ(k[2].degree, 1);
    EXPECT_EQ(k[2].inTangent, -1.0f);
    EXPECT_EQ(k[2].outTangent, 4.0f);

    run("a = FLAT 5  b = LINEAR ( 5 )  c = SMOOTH ( )  d = FIXED ( 1 2 3 )  t = TCB (1.5 0 0.5 0)");
    const char* tuples[][2] = {{"a", "( 0 5 )"}, {"b", "( 1 5 )"}, {"c", "( 2 )"},
                               {"d", "( 3 1 2 3 )"}, {"t", "( 4 1.5 0 0.5 0 )"}};
    for (const auto& row : tuples) EXPECT_EQ(get<IniObject>(row[0])->toString(), row[1]);
}

TEST_F(EnvelopeScript, VectorEnvelopesKeyEveryComponent) {
    run("v = Envelope3d { key = ( 0 < 0 0 0 >  2 FIXED ( < 2 4 6 > < 1 1 1 > )"
        "                         4 TCB ( < 0 0 0 > 1 0 0 )  6 < 1 1 1 > ) }"
        "s = Envelope2d { type = \"STEP\" key = ( 0 < 1 2 > 1 < 3 4 > ) }"
        "q = Envelope4d { type = \"LINEAR\" key = ( 0 < 0 0 0 0 > 1 < 1 2 3 4 > ) }");
    auto* v = get<DynamicVec3dObject>("v");
    EXPECT_TRUE(v->isDynamic() && v->forward());
    for (int i = 0; i < 3; ++i) {
        const auto& k = static_cast<EnvelopeObject*>(v->component(i))->channel().keys();
        ASSERT_EQ(k.size(), 4u);
        EXPECT_EQ(k[1].value, 2.0f * static_cast<float>(i + 1));
        EXPECT_EQ(k[1].inTangent, 1.0f);
        EXPECT_EQ(k[2].inTangent, 0.0f);
    }
    update("v", 2.0f);  // forwarded to the components
    EXPECT_FLOAT_EQ(v->value()[2], 6.0f);
    EXPECT_FLOAT_EQ(static_cast<Vec2dObject*>(update("s", 0.9f))->value()[1], 2.0f);
    EXPECT_FLOAT_EQ(static_cast<Vec4dObject*>(update("q", 0.5f))->value()[3], 2.0f);
}

TEST_F(EnvelopeScript, VectorsFollowTheirNumbersWithoutUpdatingThem) {
    run("e = Envelope { key = ( 0 0 1 10 ) }  v = Vector ( e 2 3 )  p = Polar2d ( e )"
        "h = Polar3d ( 0 0 2 )  b = Polar3d ( 1.5707963 0 3 )  c = Polar3d ( 0 0.5235988 )");
    auto* v = get<DynamicVec3dObject>("v");
    EXPECT_TRUE(v->isDynamic() && !v->forward());
    update("v", 0.5f);  // not forwarded: the envelope stays at time 0
    EXPECT_FLOAT_EQ(v->value()[0], 0.0f);
    update("e", 0.5f);
    update("v", 0.5f);
    EXPECT_FLOAT_EQ(v->value()[0], 5.0f);
    EXPECT_FLOAT_EQ(v->value()[2], 3.0f);

    auto* p = static_cast<Vec2dObject*>(update("p", 0.0f));
    EXPECT_FLOAT_EQ(p->value()[0], std::cos(5.0f));
    EXPECT_FLOAT_EQ(p->value()[1], std::sin(5.0f));
    EXPECT_FALSE(get<Vec3dObject>("h")->isDynamic());
    // Heading turns from z towards x; y is the sine of the pitch.
    const struct { const char* name; int axis; float expected; } polar[] = {
        {"h", 2, 2.0f}, {"b", 0, 3.0f}, {"c", 1, 0.5f}, {"c", 2, std::cos(0.5235988f)}};
    for (const auto& row : polar)
        EXPECT_NEAR(get<Vec3dObject>(row.name)->value()[row.axis], row.expected, 1e-6) << row.name;
}

// Fields that copied an envelope follow its Updates, whether sent directly
// or through the group's delegator.
TEST_F(EnvelopeScript, BoundFieldsAndGroupsFollowUpdates) {
    run("g = Delegator ( )"
        "e = Envelope { key = ( 0 0 1 10 ) envelopeGroup = g }"
        "v = Envelope3d { key = ( 0 < 0 0 0 > 2 < 2 4 6 > ) }"
        "u = Envelope2d { key = ( 0 < 0 0 > 1 < 1 1 > ) envelopeGroup = g }"
        "envelopeGroup = g  w = Vector ( e 1 )"
        "h = EnvelopeTestHolder { n = e v = v }");
    auto* e = get<EnvelopeObject>("e");
    auto* h = get<FieldHolder>("h");
    EXPECT_TRUE(h->holds(e) && get<IniObject>("g")->holds(e));
    EXPECT_FALSE(e->holds(get<IniObject>("g")));
    for (float t : {0.5f, 0.8f, 2.5f}) {
        update("g", t);
        update("v", t);
        EXPECT_FLOAT_EQ(h->number, std::fmin(t, 1.0f) * 10.0f) << t;
        EXPECT_FLOAT_EQ(h->vector[1], std::fmin(t, 2.0f) * 2.0f) << t;
        EXPECT_FLOAT_EQ(get<Vec2dObject>("u")->value()[1], std::fmin(t, 1.0f)) << t;
        EXPECT_FLOAT_EQ(get<Vec2dObject>("w")->value()[0], std::fmin(t, 1.0f) * 10.0f) << t;
    }
}

TEST(EnvelopeErrors, ConstructionErrorsHaveTheirExactMessages) {
    struct Row {
        const char* script;
        const char* message;
        const char* unit = "Parser/Functions/Envelope";
    };
    const Row rows[] = {
        {"Envelope { key = ( 0 ) }", "'key' has invalid format (1)."},
        {"Envelope { key = ( 0 ( 0 \"a\" ) ) }", "'key' has invalid format (2)."},
        {"Envelope { key = ( 0 ( ) ) }", "'key' has invalid format (2)."},
        {"Envelope3d { key = ( 0 ( \"a\" < 1 2 3 > ) ) }",
         "First object in value tuple is not number."},
        {"Envelope3d { key = ( 0 ( 0 5 ) ) }",
         "Second object in the value tuple is not a vector of right dimension."},
        {"Envelope3d { key = ( 0 ( 0 < 1 2 > ) ) }",
         "Second object in the value tuple is not a vector of right dimension."},
        {"Envelope { key = ( 0 ( 1 5 6 ) ) }", "Wrong number of parameters in LINEAR key."},
        {"Envelope { key = ( 0 ( 0 ) ) }", "Wrong number of parameters in LINEAR key."},
        {"Envelope3d { key = ( 0 FIXED ( < 1 2 3 > 5 ) ) }", "Tangent should be a vector."},
        {"Envelope2d { key = ( 0 FIXED ( < 1 2 > < 1 2 > < 1 2 3 > ) ) }",
         "Tangent should be a vector."},
        {"Envelope { key = ( 0 FIXED 5 ) }", "Wrong number of parameters in FIXED key."},
        {"Envelope { key = ( 0 FIXED ( 5 1 2 3 ) ) }", "Wrong number of parameters in FIXED key."},
        {"Envelope { key = ( 0 TCB ( 5 0 0 ) ) }", "Wrong number of parameters in TCB key."},
        {"Envelope { key = ( 0 ( 5 1 ) ) }", "'key' has invalid format (3)."},
        {"Envelope { key = ( 0 ( -1 1 ) ) }", "'key' has invalid format (3)."},
        {"Envelope { key = ( 0 \"x\" ) }", "'key' has invalid format (4)."},
        {"Envelope { key = ( 0 < 1 2 > ) }", "'key' has invalid format (4)."},
        {"Envelope2d { key = ( 0 5 ) }", "'key' has invalid format (4)."},
        {"Envelope { key = ( \"degree\" \"x\" ) }", "'key' has invalid format (5)."},
        {"Envelope { key = ( \"dgree\" 1 ) }", "'key' has invalid format (6)."},
        {"Envelope { key = ( < 1 2 > 1 ) }", "'key' has invalid format (6)."},
        {"Vector ( 1 )", "2-4 parameters were expected."},
        {"Vector ( 1 2 3 4 5 )", "2-4 parameters were expected."},
        {"Polar2d ( )", "Polar2d ( <angle> [<length] ) was expected."},
        {"Polar2d ( 1 2 3 )", "Polar2d ( <angle> [<length] ) was expected."},
        {"Polar3d 1", "Polar3d ( <heading> <pitch> [<length] ) was expected."},
        {"Polar3d ( 1 2 3 4 )", "Polar3d ( <heading> <pitch> [<length] ) was expected."},
        // The channel's own error: fatal, not a function error.
        {"Envelope4d { key = ( 0 < 0 0 0 0 > \"degree\" 2 ) }", "Degree Error, Error error...",
         "Interpolation/Interpolation"},
    };
    for (const Row& row : rows) {
        std::string caught;
        {
            Parser parser;
            const std::string script = std::string("x = ") + row.script;
            try {
                parser.parseString(script);
            } catch (const FunctionParseException& e) {
                caught = "function: " + e.message() + " from " + e.unit();
            } catch (const FatalParseException& e) {
                caught = "fatal: " + e.message() + " from " + e.unit();
            }
        }
        collectGarbage();
        const bool function = std::string(row.unit) != "Interpolation/Interpolation";
        EXPECT_EQ(caught, (function ? "function: " : "fatal: ") + std::string(row.message) +
                              " from " + row.unit);
    }
}

}  // namespace
}  // namespace Vexa
