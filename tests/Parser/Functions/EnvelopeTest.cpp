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
    static void update(IniObject* object, float time) {
        SimpleCommand command(time, CommandKinds::Update());
        object->execute(command);
    }

    std::unique_ptr<Parser> m_parser = std::make_unique<Parser>();
};

TEST_F(EnvelopeScript, ParametersAndKeyTuplesReachTheChannel) {
    run("e = Envelope { key = ( -1 0 1 10 ) }"
        "r = Envelope { key = ( 0 0 1 1 ) pre = \"RESET\" post = \"CYCLE_RELATIVE\" smoothWrap = 1.5 }"
        "o = Envelope { key = ( 0 0 1 1 ) pre = \"OSCILLATE\" post = \"LINEAR\" smoothWrap = 0.9 }"
        "k = Envelope { key = ( 0 FLAT 0  1 TCB ( 5 1 0 0 )  2 FIXED ( 0 -1 2 )"
        "                       \"degree\" 1  3 LINEAR 4  4 4 ) }");
    auto* e = get<EnvelopeObject>("e");
    EXPECT_TRUE(e->isDynamic());
    EXPECT_FLOAT_EQ(e->value(), 5.0f);  // before any Update: the value at 0
    update(e, 0.5f);
    EXPECT_FLOAT_EQ(e->value(), 7.5f);

    const Interpolation& r = get<EnvelopeObject>("r")->channel();
    const Interpolation& o = get<EnvelopeObject>("o")->channel();
    EXPECT_EQ(r.pre(), Interpolation::kReset);
    EXPECT_EQ(r.post(), Interpolation::kCycleRelative);
    EXPECT_TRUE(r.smoothWrap());
    EXPECT_EQ(o.pre(), Interpolation::kOscillate);
    EXPECT_EQ(o.post(), Interpolation::kLinearOut);
    EXPECT_FALSE(o.smoothWrap());

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
}

TEST_F(EnvelopeScript, TangentFunctionsBuildKeyTuples) {
    run("a = FLAT 5  b = LINEAR ( 5 )  c = SMOOTH ( )  d = FIXED ( 1 2 3 )"
        "t = TCB ( 1.5 0 0.5 0 )");
    const char* expected[][2] = {{"a", "( 0 5 )"}, {"b", "( 1 5 )"}, {"c", "( 2 )"},
                                 {"d", "( 3 1 2 3 )"}, {"t", "( 4 1.5 0 0.5 0 )"}};
    for (const auto& row : expected) EXPECT_EQ(get<IniObject>(row[0])->toString(), row[1]);
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
    update(v, 2.0f);  // forwarded to the components
    EXPECT_FLOAT_EQ(v->value()[2], 6.0f);
    update(get<IniObject>("s"), 0.9f);
    EXPECT_FLOAT_EQ(get<Vec2dObject>("s")->value()[1], 2.0f);
    update(get<IniObject>("q"), 0.5f);
    EXPECT_FLOAT_EQ(get<Vec4dObject>("q")->value()[3], 2.0f);
}

TEST_F(EnvelopeScript, VectorsFollowTheirNumbersWithoutUpdatingThem) {
    run("e = Envelope { key = ( 0 0 1 10 ) }  v = Vector ( e 2 3 )  p = Polar2d ( e )"
        "h = Polar3d ( 0 0 2 )  b = Polar3d ( 1.5707963 0 3 )  c = Polar3d ( 0 0.5235988 )");
    auto* e = get<EnvelopeObject>("e");
    auto* v = get<DynamicVec3dObject>("v");
    EXPECT_TRUE(v->isDynamic() && !v->forward());
    update(v, 0.5f);  // not forwarded: the envelope stays at time 0
    EXPECT_FLOAT_EQ(v->value()[0], 0.0f);
    update(e, 0.5f);
    update(v, 0.5f);
    EXPECT_FLOAT_EQ(v->value()[0], 5.0f);
    EXPECT_FLOAT_EQ(v->value()[2], 3.0f);

    auto* p = get<Vec2dObject>("p");
    update(p, 0.0f);
    EXPECT_FLOAT_EQ(p->value()[0], std::cos(5.0f));
    EXPECT_FLOAT_EQ(p->value()[1], std::sin(5.0f));
    EXPECT_FALSE(get<Vec3dObject>("h")->isDynamic());
    EXPECT_FLOAT_EQ(get<Vec3dObject>("h")->value()[2], 2.0f);
    EXPECT_NEAR(get<Vec3dObject>("b")->value()[0], 3.0f, 1e-6);
    const Vec3f c = get<Vec3dObject>("c")->value();
    EXPECT_NEAR(c[1], 0.5f, 1e-6);  // sin of the pitch
    EXPECT_NEAR(c[2], std::cos(0.5235988f), 1e-6);
}

TEST_F(EnvelopeScript, BoundFieldsKeepUpdating) {
    run("e = Envelope { key = ( 0 0 1 10 ) }"
        "v = Envelope3d { key = ( 0 < 0 0 0 > 2 < 2 4 6 > ) }"
        "h = EnvelopeTestHolder { n = e v = v }");
    auto* e = get<EnvelopeObject>("e");
    auto* v = get<DynamicVec3dObject>("v");
    auto* h = get<FieldHolder>("h");
    EXPECT_TRUE(h->holds(e));
    for (float t : {0.5f, 0.8f, 2.5f}) {
        update(e, t);
        update(v, t);
        EXPECT_FLOAT_EQ(h->number, std::fmin(t, 1.0f) * 10.0f) << t;
        EXPECT_FLOAT_EQ(h->vector[1], std::fmin(t, 2.0f) * 2.0f) << t;
    }
}

TEST_F(EnvelopeScript, EnvelopeGroupUpdatesItsMembers) {
    run("g = Delegator ( )"
        "e = Envelope { key = ( 0 0 1 10 ) envelopeGroup = g }"
        "v = Envelope2d { key = ( 0 < 0 0 > 1 < 1 1 > ) envelopeGroup = g }"
        "envelopeGroup = g  w = Vector ( e 1 )");
    auto* g = get<IniObject>("g");
    auto* e = get<EnvelopeObject>("e");
    EXPECT_TRUE(g->holds(e));
    EXPECT_FALSE(e->holds(g));
    update(g, 0.5f);
    EXPECT_FLOAT_EQ(e->value(), 5.0f);
    EXPECT_FLOAT_EQ(get<Vec2dObject>("v")->value()[1], 0.5f);
    EXPECT_FLOAT_EQ(get<Vec2dObject>("w")->value()[0], 5.0f);
}

struct ErrorRow {
    const char* script;
    const char* message;
};

TEST(EnvelopeErrors, ConstructionErrorsHaveTheirExactMessages) {
    const ErrorRow rows[] = {
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
    };
    for (const ErrorRow& row : rows) {
        {
            Parser parser;
            try {
                parser.parseString(std::string("x = ") + row.script);
                ADD_FAILURE() << row.script << " was accepted";
            } catch (const FunctionParseException& e) {
                EXPECT_EQ(e.message(), row.message) << row.script;
                EXPECT_STREQ(e.unit(), "Parser/Functions/Envelope") << row.script;
            }
        }
        collectGarbage();
    }
}

TEST(EnvelopeErrors, DegreeErrorComesFromTheChannel) {
    {
        Parser parser;
        try {
            parser.parseString("x = Envelope4d { key = ( 0 < 0 0 0 0 > \"degree\" 2 ) }");
            ADD_FAILURE();
        } catch (const FunctionParseException&) {
            ADD_FAILURE() << "not a function error";
        } catch (const FatalParseException& e) {
            EXPECT_EQ(e.message(), "Degree Error, Error error...");
            EXPECT_STREQ(e.unit(), "Interpolation/Interpolation");
        }
    }
    collectGarbage();
}

}  // namespace
}  // namespace Vexa
