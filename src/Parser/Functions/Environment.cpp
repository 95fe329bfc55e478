#include "Parser/Functions/Environment.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "Parser/Exceptions.h"
#include "Parser/Functions/TransformObject.h"
#include "Parser/IniFunction.h"

namespace Vexa {

// Lights, fog and environments report under the material unit, which reads them.
static const char* const kUnit = "Parser/Functions/MaterialObject";

namespace Types {
VEXA_DEFINE_TYPE(FogDefinition, "FogDefinition")
VEXA_DEFINE_TYPE(Light, "Light")
VEXA_DEFINE_TYPE(Environment, "Environment")
VEXA_DEFINE_TYPE(CubeLighting, "CubeLighting")
}  // namespace Types

void EnvironmentObject::execute(CommandObject& command) {
    if (command.commandKind() != CommandKinds::SetEnvironmentLight()) {
        IniObject::execute(command);
        return;
    }
    const auto& c = static_cast<const SetEnvironmentLightCommand&>(command);
    m_environment.setLight(c.slot, c.light ? &c.light->light() : nullptr);
}

Vec3f diffuseLighting(const Vec3f& color, const Vec3f& ambient, const Vec3f& direction) {
    const float intensity = std::fmax(0.0f, -direction[2]);
    Vec3f result;
    for (int i = 0; i < 3; ++i) result[i] = color[i] * intensity + ambient[i];
    return result;
}

// ---- light cube -----------------------------------------------------------------------

namespace {

// Per face, in the machine's face order +X, -X, +Y, -Y, +Z, -Z: the
// direction through the face centre, and the directions in which the
// texel columns (u) and rows (v) advance.
struct CubeFace {
    Vec3f forward, u, v;
};
const CubeFace kCubeFaces[] = {
    {{{1, 0, 0}}, {{0, 0, -1}}, {{0, -1, 0}}},
    {{{-1, 0, 0}}, {{0, 0, 1}}, {{0, -1, 0}}},
    {{{0, 1, 0}}, {{1, 0, 0}}, {{0, 0, 1}}},
    {{{0, -1, 0}}, {{1, 0, 0}}, {{0, 0, -1}}},
    {{{0, 0, 1}}, {{1, 0, 0}}, {{0, -1, 0}}},
    {{{0, 0, -1}}, {{-1, 0, 0}}, {{0, -1, 0}}},
};
static_assert(sizeof(kCubeFaces) / sizeof(kCubeFaces[0]) == 6, "one entry per cube face");

// A colour component as a byte: below 0 (or not a number) is 0, 1 or more
// is 255, anything between is truncated from c times 255.
uint8_t toByte(float c) {
    if (!(c >= 0.0f)) return 0;
    if (c >= 1.0f) return 255;
    return static_cast<uint8_t>(c * 255.0f);
}

}  // namespace

CubeLightingObject::~CubeLightingObject() { unload(); }

// Fills each face with the lighting at the direction through each texel
// centre. Texels are stored blue, green, red, alpha, the byte order of the
// four-byte texture format, and opaque.
void CubeLightingObject::load() {
    if (m_texture) return;
    std::unique_ptr<Texture> texture(m_machine->createCubeTexture(kEdge, FORMAT_ARGB8, 1, 0));
    for (int face = 0; face < 6; ++face) {
        const CubeFace& f = kCubeFaces[face];
        int pitch = 0;
        auto* pixels = static_cast<uint8_t*>(texture->lockFace(face, &pitch, 0));
        for (int i = 0; i < kEdge; ++i) {
            const float v = -1.0f + float(2 * i + 1) / float(kEdge);
            uint8_t* row = pixels + std::size_t(i) * std::size_t(pitch);
            for (int j = 0; j < kEdge; ++j) {
                const float u = -1.0f + float(2 * j + 1) / float(kEdge);
                Vec3f d;
                for (int k = 0; k < 3; ++k) d[k] = f.forward[k] + u * f.u[k] + v * f.v[k];
                const float length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
                for (int k = 0; k < 3; ++k) d[k] /= length;
                const Vec3f c = diffuseLighting(color, ambient, d);
                uint8_t* texel = row + 4 * j;
                texel[0] = toByte(c[2]);
                texel[1] = toByte(c[1]);
                texel[2] = toByte(c[0]);
                texel[3] = 255;
            }
        }
        texture->unlockFace(face);
    }
    m_texture = std::move(texture);
}

void CubeLightingObject::unload() { m_texture.reset(); }

}  // namespace Vexa
