#include "Parser/Functions/PRTLight.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <memory>

#include "Parser/Exceptions.h"
#include "Parser/IniFunction.h"

namespace Vexa {

// The spherical-harmonic light reports under the material unit, whose
// constant sets it writes.
static const char* const kUnit = "Parser/Functions/MaterialObject";

namespace Types {
VEXA_DEFINE_TYPE(PRTLight, "PRTLight")
}  // namespace Types

namespace {
constexpr double kPi = 3.14159265358979323846;
}  // namespace

CosineKernel::CosineKernel(const Vec3f& axis) : m_axis(axis) {
    const float length = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
    for (int i = 0; i < 3; ++i) m_axis[i] /= length;
}

float CosineKernel::evaluate(const Vec3f& d) const {
    const float length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    const float c = (d[0] * m_axis[0] + d[1] * m_axis[1] + d[2] * m_axis[2]) / length;
    return c > 0.0f ? c : 0.0f;  // also 0 for not a number
}

void shBasis(const Vec3f& d, float y[kSHCoefficients]) {
    const float x = d[0], yy = d[1], z = d[2];
    const float x2 = x * x, y2 = yy * yy, z2 = z * z;
    const float rho2 = x2 + y2;
    y[0] = 0.282095f;
    y[1] = 0.488603f * yy;
    y[2] = 0.488603f * z;
    y[3] = 0.488603f * x;
    y[4] = 1.092548f * x * yy;
    y[5] = 1.092548f * yy * z;
    y[6] = 0.315392f * (3 * z2 - 1);
    y[7] = 1.092548f * x * z;
    y[8] = 0.546274f * (x2 - y2);
    y[9] = 0.590044f * yy * (3 * x2 - y2);
    y[10] = 2.890611f * x * yy * z;
    y[11] = 0.457046f * yy * (5 * z2 - 1);
    y[12] = 0.373176f * z * (5 * z2 - 3);
    y[13] = 0.457046f * x * (5 * z2 - 1);
    y[14] = 1.445306f * z * (x2 - y2);
    y[15] = 0.590044f * x * (x2 - 3 * y2);
    y[16] = 2.503343f * x * yy * (x2 - y2);
    y[17] = 1.770131f * yy * z * (3 * x2 - y2);
    y[18] = 0.946175f * x * yy * (7 * z2 - 1);
    y[19] = 0.669047f * yy * z * (7 * z2 - 3);
    // (35z^4 - 30z^2 + 3) / 8 written with rho^2 = 1 - z^2.
    y[20] = float(1.5 / std::sqrt(kPi)) * (0.375f * rho2 * rho2 + z2 * z2 - 3 * rho2 * z2);
    y[21] = 0.669047f * x * z * (7 * z2 - 3);
    y[22] = 0.473087f * (x2 - y2) * (7 * z2 - 1);
    y[23] = 1.770131f * x * z * (x2 - 3 * y2);
    y[24] = 0.625836f * (x2 * x2 - 6 * x2 * y2 + y2 * y2);
}

// The angles step in single precision, the polar angle by accumulation; the
// sums are kept in double so that 250000 small terms do not lose their low
// bits. Samples where the function is zero add nothing and are skipped; the
// azimuth's sines and cosines are the same on every row and made once.
SHLighting::SHLighting(const FarLighting& function, int samples) {
    const float step = 1.0f / float(samples);
    const float dTheta = float(kPi) * step;
    const float dPhi = 2.0f * float(kPi) * step;
    std::vector<float> cosPhi(static_cast<std::size_t>(samples));
    std::vector<float> sinPhi(cosPhi.size());
    for (int j = 0; j < samples; ++j) {
        const float phi = float(j) * step * 2.0f * float(kPi);
        cosPhi[std::size_t(j)] = std::cos(phi);
        sinPhi[std::size_t(j)] = std::sin(phi);
    }
    double sums[kSHCoefficients] = {};
    float basis[kSHCoefficients];
    float theta = 0.0f;
    for (int i = 0; i < samples; ++i) {
        const float sinTheta = std::sin(theta);
        const float cosTheta = std::cos(theta);
        const float weight = dTheta * dPhi * sinTheta;
        for (std::size_t j = 0; j < cosPhi.size(); ++j) {
            const Vec3f d{{cosPhi[j] * sinTheta, sinPhi[j] * sinTheta, cosTheta}};
            const float f = function.evaluate(d);
            if (f == 0.0f) continue;
            shBasis(d, basis);
            for (int k = 0; k < kSHCoefficients; ++k) sums[k] += f * basis[k] * weight;
        }
        theta += dTheta;
    }
    for (int k = 0; k < kSHCoefficients; ++k) m_coefficients[std::size_t(k)] = float(sums[k]);
}

PRTLightObject::PRTLightObject(LightObject* light)
    : m_lighting(CosineKernel(Vec3f{{1, 0, 0}})), m_light(light) {}

void PRTLightObject::execute(CommandObject& command) {
    if (command.commandKind() != CommandKinds::Update()) {
        IniObject::execute(command);
        return;
    }
    for (VertexConstantsObject* target : m_targets) {
        float* registers = target->constants().floats(kFirstRegister, kRegisters);
        std::copy_n(coefficients(), kSHCoefficients, registers);
        std::fill(registers + kSHCoefficients, registers + 4 * kRegisters, 0.0f);
    }
}

// ---- script functions ------------------------------------------------------------------

namespace {

/* PRTLight { light [constants = ( number vertexConstants ... )] }
   The numbers of the pairs are checked, not used. */
class F_PRTLight : public IniFunction {
public:
    IniObject* create() override {
        IniObject* light = getRecordedObject("light", nullptr);
        if (!IniObject::isOfType(light, Types::Light()))
            VEXA_THROW(FunctionParseException, "light has invalid format.");
        std::vector<IniObject*> targets;
        if (has("constants"))
            targets = pairedObjects(getRecordedObject("constants", nullptr), "constants",
                                    Types::VertexConstants());
        auto object = std::make_unique<PRTLightObject>(static_cast<LightObject*>(light));
        for (IniObject* target : targets)
            object->addTarget(static_cast<VertexConstantsObject*>(target));
        return object.release();
    }
};

F_PRTLight s_prtLight;

const FunctionEntry kFunctions[] = {
    {"PRTLight", &s_prtLight},
};
const FunctionRegistrar s_registrar(kFunctions);

}  // namespace

}  // namespace Vexa
