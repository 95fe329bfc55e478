#pragma once
// Lighting in spherical harmonics for vertex shaders: the 25 coefficients
// (bands 0 to 4) of a clamped cosine lobe, projected once by numerical
// integration and written on every Update into registers 72 to 78 of the
// vertex constant sets a script lists. A shader evaluates the lighting for a
// normal, or for precomputed transfer coefficients, with a dot product.
#include <array>
#include <vector>

#include "Parser/Functions/Environment.h"
#include "Parser/Functions/MaterialObject.h"
#include "Parser/IniObject.h"

namespace Vexa {

namespace Types {
const TypeObject* PRTLight();
}  // namespace Types

// A lighting function of a direction.
class FarLighting {
public:
    virtual ~FarLighting() = default;
    virtual float evaluate(const Vec3f& direction) const = 0;
};

// max(0, cos) of the angle between a direction and the axis: the light a
// surface receives from a distant source along the axis. Not-a-number
// directions receive nothing.
class CosineKernel : public FarLighting {
public:
    explicit CosineKernel(const Vec3f& axis);
    float evaluate(const Vec3f& direction) const override;
    const Vec3f& axis() const { return m_axis; }

private:
    Vec3f m_axis;  // unit length
};

constexpr int kSHBands = 5;
constexpr int kSHCoefficients = kSHBands * kSHBands;

// The real orthonormal spherical harmonics of bands 0 to 4 at the unit
// direction d, index l*l + l + m: sine terms (m < 0) built on y, cosine
// terms (m > 0) on x.
void shBasis(const Vec3f& d, float out[kSHCoefficients]);

// The projection of a lighting function onto the basis: a left Riemann sum
// over n steps of the polar angle in [0, pi) and n of the azimuth in
// [0, 2 pi), computed once at construction.
class SHLighting {
public:
    static constexpr int kSamples = 500;

    explicit SHLighting(const FarLighting& function, int samples = kSamples);
    const float* coefficients() const { return m_coefficients.data(); }

private:
    std::array<float, kSHCoefficients> m_coefficients{};
};

// Writes the lobe's coefficients, then three zeros, into registers 72 to 78
// of each target on Update, in list order, creating the registers in a set
// the first time. The light is held, not read: the lobe points along +x.
class PRTLightObject : public IniObject {
public:
    static constexpr int kFirstRegister = 72;
    static constexpr int kRegisters = 7;

    explicit PRTLightObject(LightObject* light);
    const TypeObject* type() const override { return Types::PRTLight(); }
    void execute(CommandObject& command) override;

    void addTarget(VertexConstantsObject* target) { m_targets.push_back(target); }
    const float* coefficients() const { return m_lighting.coefficients(); }
    LightObject* light() const { return m_light; }

private:
    SHLighting m_lighting;
    LightObject* m_light;
    std::vector<VertexConstantsObject*> m_targets;
};

}  // namespace Vexa
