// Envelopes and animated vectors as scripts build them: key tuples and values
// that follow Update commands into the fields that copied them. Their
// construction errors are in ScriptErrorsTest.
#include <gtest/gtest.h>

#include <cmath>

#include "Parser/Functions/CommandEmitters.h"
#include "Parser/Functions/Envelope.h"
#include "Parser/IniCommands.h"
#include "Support/TestKit.h"

namespace Vexa {
namespace {

class EnvelopeScript : public Testing::ScriptTest {
protected:
    template <typename T>
    T* get(const char* name) {
        IniObject* object = parser().lookup(name);
        EXPECT_NE(object, nullptr) << name;
        return static_cast<T*>(object);
    }
    IniObject* update(const char* name, float time) {
        IniObject* object = get<IniObject>(name);
        Testing::send(object, CommandKinds::Update(), time);
        return object;
    }
};

TEST_F(EnvelopeScript, ParametersAndKeyTuplesReachTheChannel) {
    parser().parseString(
        "e = Envelope { key = ( -1 0 1 10 ) }"
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

    // SMOOTH, the one key mode the keys above leave out, as a key list reads it.
    EXPECT_EQ(run("c = SMOOTH ( )", "c")->toString(), "( 2 )");
}

TEST_F(EnvelopeScript, VectorEnvelopesKeyEveryComponent) {
    parser().parseString(
        "v = Envelope3d { key = ( 0 < 0 0 0 >  2 FIXED ( < 2 4 6 > < 1 1 1 > )"
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
    parser().parseString(
        "e = Envelope { key = ( 0 0 1 10 ) }  v = Vector ( e 2 3 )  p = Polar2d ( e )"
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
    const struct {
        const char* name;
        int axis;
        float expected;
    } polar[] = {{"h", 2, 2.0f}, {"b", 0, 3.0f}, {"c", 1, 0.5f}, {"c", 2, std::cos(0.5235988f)}};
    for (const auto& row : polar)
        EXPECT_NEAR(get<Vec3dObject>(row.name)->value()[row.axis], row.expected, 1e-6) << row.name;
}

// Fields that copied an envelope follow its Updates, whether sent directly
// or through the group's delegator.
TEST_F(EnvelopeScript, BoundFieldsAndGroupsFollowUpdates) {
    parser().parseString(
        "g = Delegator ( )"
        "e = Envelope { key = ( 0 0 1 10 ) envelopeGroup = g }"
        "v = Envelope3d { key = ( 0 < 0 0 0 > 2 < 2 4 6 > ) }"
        "u = Envelope2d { key = ( 0 < 0 0 > 1 < 1 1 > ) envelopeGroup = g }"
        "envelopeGroup = g  w = Vector ( e 1 )"
        "h = TestFieldConsumer { value = e vector = v }");
    auto* e = get<EnvelopeObject>("e");
    auto* h = get<Testing::FieldConsumer>("h");
    EXPECT_TRUE(h->holds(e) && get<IniObject>("g")->holds(e));
    EXPECT_FALSE(e->holds(get<IniObject>("g")));
    for (float t : {0.5f, 0.8f, 2.5f}) {
        update("g", t);
        update("v", t);
        EXPECT_FLOAT_EQ(h->field, std::fmin(t, 1.0f) * 10.0f) << t;
        EXPECT_FLOAT_EQ(h->vector[1], std::fmin(t, 2.0f) * 2.0f) << t;
        EXPECT_FLOAT_EQ(get<Vec2dObject>("u")->value()[1], std::fmin(t, 1.0f)) << t;
        EXPECT_FLOAT_EQ(get<Vec2dObject>("w")->value()[0], std::fmin(t, 1.0f) * 10.0f) << t;
    }
}

}  // namespace
}  // namespace Vexa
