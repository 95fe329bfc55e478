// Curves against their closed forms: the torus spiral and its frame, paths
// through keyed points, and sums.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "Parser/Functions/Curves.h"
#include "Support/TestKit.h"

namespace Vexa {
namespace {

const float kPi = 3.14159265f;

double dot(const Vec3f& a, const Vec3f& b) {
    return static_cast<double>(a[0]) * b[0] + static_cast<double>(a[1]) * b[1] +
           static_cast<double>(a[2]) * b[2];
}

Vec3f minus(const Vec3f& a, const Vec3f& b) {
    Vec3f d;
    for (int i = 0; i < 3; ++i) d[i] = a[i] - b[i];
    return d;
}

void expectVecNear(const Vec3f& actual, float x, float y, float z, float tolerance,
                   const std::string& what) {
    EXPECT_NEAR(actual[0], x, tolerance) << what;
    EXPECT_NEAR(actual[1], y, tolerance) << what;
    EXPECT_NEAR(actual[2], z, tolerance) << what;
}

// Central differences of position against derivative over the range.
void expectDerivativeMatches(Curve3dObject* curve, const std::string& what) {
    const float begin = curve->beginParameter(), end = curve->endParameter();
    for (int i = 1; i < 40; ++i) {
        const float t = begin + (end - begin) * (static_cast<float>(i) + 0.37f) / 40.0f;
        const float h = 1e-3f;
        const Vec3f numeric = minus(curve->position(t + h), curve->position(t - h));
        const Vec3f d = curve->derivative(t);
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(d[c], numeric[c] / (2 * h), 2e-2 * (1 + std::fabs(d[c])))
                << what << " t " << t << " component " << c;
    }
}

class CurveScript : public Testing::ScriptTest {
protected:
    Curve3dObject* curve(const std::string& script) {
        IniObject* object = eval(script);
        EXPECT_TRUE(IniObject::isOfType(object, Types::Curve3d())) << script;
        return static_cast<Curve3dObject*>(object);
    }
};

TEST_F(CurveScript, TorusFrameIsRightHandedAndOrthonormalForAnyAxis) {
    const char* axes[] = {"< 1 0 0 >",      "< 0 1 0 >", "< 0 0 -2 >", "< 1 2 3 >",
                          "< -3 0.1 0.2 >", "< 1 1 1 >", "< 0 5 -5 >"};
    for (const char* axis : axes) {
        auto* torus =
            static_cast<TorusCurve*>(curve(std::string("TorusCurve { axis = ") + axis + " }"));
        const Vec3f e1 = torus->e1(), e2 = torus->e2(), a = torus->axis();
        const Vec3f* frame[] = {&e1, &e2, &a};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                EXPECT_NEAR(dot(*frame[i], *frame[j]), i == j ? 1.0 : 0.0, 1e-6) << axis;
        // e1 = e2 x a
        EXPECT_NEAR(e1[0], e2[1] * a[2] - e2[2] * a[1], 1e-6) << axis;
        EXPECT_NEAR(e1[2], e2[0] * a[1] - e2[1] * a[0], 1e-6) << axis;
    }
    // The default frame, which a zero axis falls back to.
    for (const char* script : {"TorusCurve { }", "TorusCurve { axis = < 0 0 0 > }"}) {
        auto* torus = static_cast<TorusCurve*>(curve(script));
        expectVecNear(torus->e1(), 0, -1, 0, 1e-6f, script);
        expectVecNear(torus->e2(), 1, 0, 0, 1e-6f, script);
        expectVecNear(torus->axis(), 0, 0, 1, 1e-6f, script);
        EXPECT_EQ(torus->endParameter(), 6.2831855f);
        expectVecNear(torus->position(0.0f), 0, -1.2f, 0, 1e-5f, script);
        expectVecNear(torus->position(kPi / 2), 1.2f, 0, 0, 1e-5f, script);
    }
}

// The point stays at radius2 from the ring point at angle t; radius2 0 is
// the plain ring, and rotations 0 the ring of radius1 + radius2.
TEST_F(CurveScript, TorusWindsAroundItsRing) {
    struct Row {
        const char* parameters;
        float tube;
        float ring;
    };
    const Row rows[] = {{"radius1 = 3 radius2 = 0.5 rotations = 5", 0.5f, 3.0f},
                        {"radius1 = 2 radius2 = 0", 0.0f, 2.0f},
                        {"radius1 = 2 radius2 = 0.5 rotations = 0", 0.0f, 2.5f}};
    for (const Row& row : rows) {
        auto* c = static_cast<TorusCurve*>(curve(std::string("TorusCurve { ") + row.parameters +
                                                 " center = < 0 1 0 > axis = < 0 1 2 > }"));
        for (int i = 0; i < 20; ++i) {
            const float t = static_cast<float>(i) * 0.3f;
            Vec3f ring;
            for (int k = 0; k < 3; ++k)
                ring[k] = (k == 1 ? 1.0f : 0.0f) +
                          row.ring * (c->e1()[k] * std::cos(t) + c->e2()[k] * std::sin(t));
            const Vec3f tube = minus(c->position(t), ring);
            EXPECT_NEAR(std::sqrt(dot(tube, tube)), row.tube, 1e-5) << row.parameters << " " << t;
        }
        expectDerivativeMatches(c, row.parameters);
    }
}

TEST_F(CurveScript, EnvelopeCurveFollowsItsKeys) {
    Curve3dObject* c = curve(
        "EnvelopeCurve3d { key = ( 1 < 0 0 0 > 2 < 1 2 3 > "
        "3 FIXED ( < 0 1 0 > < 1 0 0 > ) 5 < 2 2 2 > ) post = \"CYCLE\" }");
    EXPECT_EQ(c->beginParameter(), 1.0f);
    EXPECT_EQ(c->endParameter(), 5.0f);
    expectVecNear(c->position(2.0f), 1, 2, 3, 1e-6f, "key 2");
    expectVecNear(c->derivative(3.0f), 1, 0, 0, 1e-5f, "fixed tangent");
    expectVecNear(c->position(6.5f), c->position(2.5f)[0], c->position(2.5f)[1],
                  c->position(2.5f)[2], 1e-6f, "post cycle");
    expectDerivativeMatches(c, "envelope curve");

    Curve3dObject* ranged = curve(
        "EnvelopeCurve3d { key = ( 0 < 0 0 0 > 1 < 1 1 1 > ) "
        "begin = -1 end = 4 type = \"STEP\" }");
    EXPECT_EQ(ranged->beginParameter(), -1.0f);
    EXPECT_EQ(ranged->endParameter(), 4.0f);
    expectVecNear(ranged->position(0.9f), 0, 0, 0, 0, "step");
}

TEST_F(CurveScript, CurveSums) {
    parser().parseString(
        "t = TorusCurve { radius1 = 2 rotations = 3 }"
        "e = EnvelopeCurve3d { key = ( -1 < 0 0 0 > 9 < 10 -10 5 > ) }");
    auto* torus = static_cast<Curve3dObject*>(parser().lookup("t"));
    auto* env = static_cast<Curve3dObject*>(parser().lookup("e"));

    Curve3dObject* one = curve("CurveSum t");
    Curve3dObject* twice = curve("CurveSum ( t t )");
    Curve3dObject* mixed = curve("CurveSum ( e t )");
    Curve3dObject* empty = curve("CurveSum ( )");
    EXPECT_TRUE(twice->holds(torus));
    for (float t : {0.0f, 0.7f, 2.9f}) {
        const Vec3f p = torus->position(t), d = torus->derivative(t), q = env->position(t);
        expectVecNear(one->position(t), p[0], p[1], p[2], 0, "one");
        expectVecNear(twice->derivative(t), 2 * d[0], 2 * d[1], 2 * d[2], 1e-5f, "twice'");
        expectVecNear(mixed->position(t), p[0] + q[0], p[1] + q[1], p[2] + q[2], 1e-5f, "mixed");
        expectVecNear(empty->position(t), 0, 0, 0, 0, "empty");
    }
    EXPECT_EQ(mixed->beginParameter(), -1.0f);
    EXPECT_EQ(mixed->endParameter(), 9.0f);
    EXPECT_EQ(empty->endParameter(), 0.0f);
}

}  // namespace
}  // namespace Vexa
