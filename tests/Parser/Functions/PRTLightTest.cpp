// The spherical-harmonic light against the closed form of a clamped cosine
// lobe about +x, and the registers it writes. Failures: ScriptErrorsTest.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "Parser/Functions/PRTLight.h"
#include "Support/TestKit.h"

namespace Vexa {
namespace {

using PRTLightTest = Testing::ScriptTest;
const double kPi = 3.14159265358979323846;

// A fine midpoint sum over the sphere of each product of two basis functions
// gives the identity: this catches a wrong factor even where the lobe's
// coefficient is zero.
TEST(SHBasisTest, IsOrthonormal) {
    const int n = 200, k = kSHCoefficients;
    std::vector<double> gram(k * k);
    float y[kSHCoefficients];
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < 2 * n; ++j) {
            const double t = (i + 0.5) * kPi / n, p = j * kPi / n;
            shBasis(Vec3f{{float(std::cos(p) * std::sin(t)), float(std::sin(p) * std::sin(t)),
                           float(std::cos(t))}},
                    y);
            for (int a = 0; a < k * k; ++a)
                gram[a] += y[a / k] * y[a % k] * std::sin(t) * (kPi / n) * (kPi / n);
        }
    for (int a = 0; a < k * k; ++a) EXPECT_NEAR(gram[a], a / k == a % k, 1e-4) << a;
}

// Coefficient k of band l is the lobe's zonal factor (pi, 2pi/3, pi/4, 0,
// -pi/24) times Y_k(+x); every term odd in y or z is 0. Tolerance h^2 / 4 for
// the azimuth step h = 2pi/500: the sums are exact on smooth periodic terms
// and lose O(h^2) at the lobe's edge (the worst, coefficient 8, is 1.7e-5 off).
TEST_F(PRTLightTest, ProjectsTheLobeAndWritesItIntoEveryTarget) {
    const double band[kSHBands] = {kPi, 2 * kPi / 3, kPi / 4, 0, -kPi / 24};
    const double r = std::sqrt(kPi), h = 2 * kPi / SHLighting::kSamples;
    std::vector<double> atX(kSHCoefficients, 0.0);
    atX[0] = 0.5 / r;
    atX[3] = std::sqrt(3.0) / 2 / r;
    atX[6] = -std::sqrt(5.0) / 4 / r;
    atX[8] = std::sqrt(15.0) / 4 / r;
    atX[20] = 9.0 / 16 / r;
    atX[22] = -3 * std::sqrt(5.0) / 8 / r;
    atX[24] = 3 * std::sqrt(35.0) / 16 / r;
    run("l = Light { }\nv = VertexConstants { }\nw = VertexConstants { }\n"
        "x = PRTLight { light = l constants = ( 0 v 1 w ) }");
    const auto* prt = static_cast<PRTLightObject*>(parser().lookup("x"));
    std::vector<float> expected(4 * PRTLightObject::kRegisters, 0.0f);  // then three zeros
    for (int k = 0; k < kSHCoefficients; ++k) {
        EXPECT_NEAR(prt->coefficients()[k], band[int(std::sqrt(k))] * atX[k], h * h / 4) << k;
        expected[k] = prt->coefficients()[k];
    }
    for (int update = 0; update < 2; ++update) {  // the second overwrites the first
        Testing::send(parser().lookup("x"), CommandKinds::Update());
        for (const char* name : {"v", "w"}) {
            const auto& blocks =
                static_cast<VertexConstantsObject*>(parser().lookup(name))->constants().blocks();
            ASSERT_EQ(blocks.size(), 9u) << name;  // "constant1" to "constant8", then ours
            EXPECT_EQ(blocks.back().first, 72);
            EXPECT_EQ(blocks.back().count, 7);
            EXPECT_EQ(blocks.back().floats, expected) << name;
        }
    }
}

}  // namespace
}  // namespace Vexa
