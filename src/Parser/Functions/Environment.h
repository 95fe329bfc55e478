#pragma once
// The scene-wide lighting that materials consult: light and fog records, the
// environment that groups up to eight lights with one fog record, the command
// that replaces one light of an environment, and the light cube, a cube
// texture computed at load time from a simple diffuse lighting function.
#include <array>
#include <cstdint>
#include <memory>

#include "Parser/Functions/RenderingObjects.h"
#include "Parser/IniCommands.h"
#include "Parser/IniObject.h"
#include "Rendering/Common/RenderMachine.h"

namespace Vexa {

namespace Types {
const TypeObject* FogDefinition();
const TypeObject* Light();
const TypeObject* Environment();
const TypeObject* CubeLighting();
}  // namespace Types

// A fog description. Copied by value into environments and fog attributes.
// `range` and `vertexMode` are carried for the machine's range-based and
// per-vertex fog switches.
struct Fog {
    bool enabled = false;
    bool range = false;
    Vec4f color{{1, 1, 1, 1}};
    int32_t mode = FOG_LINEAR;
    int32_t vertexMode = FOG_LINEAR;
    float start = 0.0f;
    float end = 10.0f;
    float density = 1.0f;
};

// A light description. Its animated fields are kept current in place, so
// whoever holds a pointer to it sees the values of the last update.
struct Light {
    int32_t type = POINT_LIGHT;
    Vec4f diffuse{{1, 1, 1, 1}};
    Vec4f specular{{1, 1, 1, 1}};
    Vec4f ambient{{1, 1, 1, 1}};
    Vec3f position;
    Vec3f direction;
    float falloff = 1.0f;
    float attenuation0 = 1.0f;
    float attenuation1 = 0.0f;
    float attenuation2 = 0.0f;
    float phi = 0x1.921fap-1f;  // the spot cone angle, just below a quarter of pi
};

class FogDefinitionObject : public IniObject {
public:
    const TypeObject* type() const override { return Types::FogDefinition(); }
    const Fog& fog() const { return m_fog; }
    Fog& fog() { return m_fog; }

private:
    Fog m_fog;
};

class LightObject : public IniObject {
public:
    const TypeObject* type() const override { return Types::Light(); }
    const Light& light() const { return m_light; }
    Light& light() { return m_light; }

private:
    Light m_light;
};

// Eight light slots, each empty or referring to a light record owned by a
// light object (which must outlive the environment), and one fog record.
class Environment {
public:
    static constexpr int kLightSlots = 8;

    // The light in `slot`; null when the slot is empty or outside 0 to 7.
    const Light* light(int slot) const {
        return slot >= 0 && slot < kLightSlots ? m_lights[static_cast<std::size_t>(slot)] : nullptr;
    }
    // Puts `light` (or null) into `slot`; a slot outside 0 to 7 is not
    // written and the answer is false.
    bool setLight(int slot, const Light* light) {
        if (slot < 0 || slot >= kLightSlots) return false;
        m_lights[static_cast<std::size_t>(slot)] = light;
        return true;
    }
    const Fog& fog() const { return m_fog; }
    void setFog(const Fog& fog) { m_fog = fog; }

private:
    std::array<const Light*, kLightSlots> m_lights{};
    Fog m_fog;
};

// Replaces one light of the environment it is sent to; a command without a
// light empties the slot.
class SetEnvironmentLightCommand : public CommandObject {
public:
    SetEnvironmentLightCommand(int slot, LightObject* light)
        : CommandObject(0), slot(slot), light(light) {}
    const CommandKind* commandKind() const override { return CommandKinds::SetEnvironmentLight(); }
    int slot;
    LightObject* light;
};

class EnvironmentObject : public IniObject {
public:
    const TypeObject* type() const override { return Types::Environment(); }
    void execute(CommandObject& command) override;
    Environment* environment() { return &m_environment; }
    const Environment* environment() const { return &m_environment; }
    const Light* light(int slot) const { return m_environment.light(slot); }
    const Fog& fog() const { return m_environment.fog(); }

private:
    Environment m_environment;
};

// color times max(0, -z) plus ambient, component by component: a light
// shining along +z onto a surface whose unit normal is `direction`.
Vec3f diffuseLighting(const Vec3f& color, const Vec3f& ambient, const Vec3f& direction);

// A cube texture whose texel in each direction is the diffuse lighting of a
// surface facing that way, computed from the colours current at load time.
// It is a texture like any other: stages that take a texture take it.
class CubeLightingObject : public TextureObject {
public:
    static constexpr int kEdge = 256;

    explicit CubeLightingObject(RenderMachine* machine) : m_machine(machine) {}
    ~CubeLightingObject() override;
    const TypeObject* type() const override { return Types::CubeLighting(); }
    bool isLoaded() const override { return m_texture != nullptr; }
    void load() override;
    void unload() override;
    Texture* getTexture() override { return m_texture.get(); }
    RenderTarget* getRenderTarget(int) override { return nullptr; }

    Vec3f color{{1, 1, 1}};
    Vec3f ambient;

private:
    RenderMachine* m_machine;
    std::unique_ptr<Texture> m_texture;
};

}  // namespace Vexa
