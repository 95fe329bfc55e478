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
    {{{1, 0, 0}}, {{0, 0, -1}}, {{0, -1, 0}}}, {{{-1, 0, 0}}, {{0, 0, 1}}, {{0, -1, 0}}},
    {{{0, 1, 0}}, {{1, 0, 0}}, {{0, 0, 1}}},   {{{0, -1, 0}}, {{1, 0, 0}}, {{0, 0, -1}}},
    {{{0, 0, 1}}, {{1, 0, 0}}, {{0, -1, 0}}},  {{{0, 0, -1}}, {{-1, 0, 0}}, {{0, -1, 0}}},
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
// centre. Texels are stored blue, green, red, the byte order of the
// four-byte texture format, followed by an alpha byte of 0.
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
                texel[3] = 0;
            }
        }
        texture->unlockFace(face);
    }
    m_texture = std::move(texture);
}

void CubeLightingObject::unload() { m_texture.reset(); }

// ---- script functions ------------------------------------------------------------------

namespace {

/* FogDefinition { [enabled range color mode vertexMode start end density] } */
class F_FogDefinition : public IniFunction {
public:
    IniObject* create() override {
        auto object = std::make_unique<FogDefinitionObject>();
        Fog& fog = object->fog();
        fog.enabled = getInt("enabled", 0) != 0;
        fog.range = getInt("range", 0) != 0;
        if (has("color")) fog.color = getVec4("color");
        fog.mode = getEnum("mode", Enums::fogMode, FOG_LINEAR);
        fog.vertexMode = getEnum("vertexMode", Enums::fogMode, FOG_LINEAR);
        fog.start = getNumber("start", fog.start);
        fog.end = getNumber("end", fog.end);
        fog.density = getNumber("density", fog.density);
        return object.release();
    }
};

/* Light { [type diffuse specular ambient position direction falloff
            attenuation0 attenuation1 attenuation2 phi] } */
class F_Light : public IniFunction {
public:
    IniObject* create() override {
        auto object = std::make_unique<LightObject>();
        Light& light = object->light();
        light.type = getEnum("type", Enums::lightType, POINT_LIGHT);
        bindVec4IfGiven("diffuse", &light.diffuse);
        bindVec4IfGiven("specular", &light.specular);
        bindVec4IfGiven("ambient", &light.ambient);
        bindVec3IfGiven("position", &light.position);
        bindVec3IfGiven("direction", &light.direction);
        bindNumberIfGiven("falloff", &light.falloff);
        bindNumberIfGiven("attenuation0", &light.attenuation0);
        bindNumberIfGiven("attenuation1", &light.attenuation1);
        bindNumberIfGiven("attenuation2", &light.attenuation2);
        bindNumberIfGiven("phi", &light.phi);
        return object.release();
    }
};

/* Environment { [fog] [lights = ( number light ... )] }
   The pairs fill the slots in order; the numbers are checked, not used. */
class F_Environment : public IniFunction {
public:
    IniObject* create() override {
        auto object = std::make_unique<EnvironmentObject>();
        Environment* environment = object->environment();
        if (has("fog")) {
            const IniObject* fog = getObject("fog");
            if (!IniObject::isOfType(fog, Types::FogDefinition()))
                VEXA_THROW(FunctionParseException, "fog has invalid format.");
            environment->setFog(static_cast<const FogDefinitionObject*>(fog)->fog());
        }
        if (has("lights")) {
            const std::vector<IniObject*> lights =
                pairedObjects(getObject("lights", Types::Tuple()), "lights", Types::Light());
            if (lights.size() > Environment::kLightSlots)
                VEXA_THROW(FunctionParseException, "lights has invalid format.");
            for (std::size_t i = 0; i < lights.size(); ++i) {
                record(lights[i]);
                environment->setLight(static_cast<int>(i),
                                      &static_cast<LightObject*>(lights[i])->light());
            }
        }
        return object.release();
    }
};

/* SetEnvironmentLight ( slot light ) */
class F_SetEnvironmentLight : public IniFunction {
public:
    IniObject* create() override {
        const int slot = elementInt(0);
        if (slot < 0 || slot >= Environment::kLightSlots)
            VEXA_THROW(FunctionParseException, "Light slot must be 0 to 7.");
        auto* light = static_cast<LightObject*>(getRecordedElement(1, Types::Light()));
        return new SetEnvironmentLightCommand(slot, light);
    }
};

/* CubeLighting { graphicsSystem [color ambient] } */
class F_CubeLighting : public IniFunction {
public:
    IniObject* create() override {
        auto object = std::make_unique<CubeLightingObject>(
            renderMachineOf(getRecordedObject("graphicsSystem", Types::GraphicsSystem())));
        bindVec3IfGiven("color", &object->color);
        bindVec3IfGiven("ambient", &object->ambient);
        return object.release();
    }
};

F_FogDefinition s_fogDefinition;
F_Light s_light;
F_Environment s_environment;
F_SetEnvironmentLight s_setEnvironmentLight;
F_CubeLighting s_cubeLighting;

const FunctionEntry kFunctions[] = {
    {"FogDefinition", &s_fogDefinition}, {"Light", &s_light},
    {"Environment", &s_environment},     {"SetEnvironmentLight", &s_setEnvironmentLight},
    {"CubeLighting", &s_cubeLighting},
};
const FunctionRegistrar s_registrar(kFunctions);

}  // namespace

}  // namespace Vexa
