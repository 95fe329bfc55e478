// Lights, fog definitions and environments from scripts, and the light cube
// computed on the OpenGL machine. The functions' failures are in
// ScriptErrorsTest.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "Parser/Functions/Environment.h"
#include "Support/MachineFixtureGL.h"
#include "Support/RecordingScriptTest.h"
#include "Support/TestKit.h"

namespace Vexa {
namespace {

using EnvironmentTest = Testing::ScriptTest;

std::vector<float> fields(const Fog& f) {
    return {float(f.enabled), float(f.range),      f.color[0], f.color[1], f.color[2], f.color[3],
            float(f.mode),    float(f.vertexMode), f.start,    f.end,      f.density};
}

// Fog records copied into environments, light defaults, bound light values
// following their animation, and a light cube's colours.
TEST_F(EnvironmentTest, RecordsTakeDefaultsAndGivenValues) {
    const Testing::RecordingGl gl;
    run("f = FogDefinition { enabled = 1 range = 2 color = < 0.5 0.25 0 1 > mode = \"FOG_EXP2\" "
        "vertexMode = \"FOG_EXP\" start = 2 end = 5 density = 0.125 }\n"
        "plain = Environment { }\nfogged = Environment { fog = f }\n"
        "a = TestAnimatedNumber 1\nl = Light { type = \"SPOT_LIGHT\" falloff = a }\n"
        "graphicsSystem = GraphicsSystem { type = \"gl\" width = 8 height = 8 }\n"
        "c = CubeLighting { color = < 1 0.5 0 > ambient = < 0 0.25 1 > }");
    auto fog = [&](const char* name) {
        return fields(static_cast<EnvironmentObject*>(parser().lookup(name))->fog());
    };
    using F = std::vector<float>;
    EXPECT_EQ(fog("plain"), (F{0, 0, 1, 1, 1, 1, FOG_LINEAR, FOG_LINEAR, 0, 10, 1}));
    EXPECT_EQ(fog("fogged"), (F{1, 1, 0.5, 0.25, 0, 1, FOG_EXP2, FOG_EXP, 2, 5, 0.125}));
    const Light& l = static_cast<LightObject*>(parser().lookup("l"))->light();
    uint32_t phiBits = 0;
    std::memcpy(&phiBits, &l.phi, 4);
    EXPECT_EQ(phiBits, 0x3F490FD0u);
    EXPECT_EQ(l.type, SPOT_LIGHT);
    Testing::send(parser().lookup("a"), CommandKinds::Update(), 4.0f);
    EXPECT_EQ(l.falloff, 4.0f);
    auto* c = static_cast<CubeLightingObject*>(parser().lookup("c"));
    EXPECT_EQ(textureObjectOf(c), c);
    EXPECT_EQ(c->color[1] + c->ambient[2], 1.5f);
}

// Pairs fill the slots in order whatever their numbers; SetEnvironmentLight
// replaces one slot, and a slot outside 0 to 7 is never written.
TEST_F(EnvironmentTest, LightsFillSlotsInOrderAndCommandsReplaceOne) {
    run("sun = Light { }\nlamp = Light { }\ne = Environment { lights = ( 5 sun 0 lamp ) }\n"
        "set = SetEnvironmentLight ( 3.7 sun )");
    auto* e = static_cast<EnvironmentObject*>(parser().lookup("e"));
    auto* lamp = static_cast<LightObject*>(parser().lookup("lamp"));
    const Light* sun = &static_cast<LightObject*>(parser().lookup("sun"))->light();
    auto slots = [&] {  // slots -1 to 8 as s(un), l(amp) or -
        std::string text;
        for (int i = -1; i <= Environment::kLightSlots; ++i)
            text += e->light(i) == sun ? 's' : e->light(i) == &lamp->light() ? 'l' : '-';
        return text;
    };
    EXPECT_EQ(slots(), "-sl-------");
    e->execute(*static_cast<CommandObject*>(parser().lookup("set")));
    EXPECT_EQ(slots(), "-sl-s-----");
    for (int slot : {-1, 8, 3}) {
        SetEnvironmentLightCommand command(slot, slot == 3 ? nullptr : lamp);
        e->execute(command);
    }
    EXPECT_EQ(slots(), "-sl-------");
}

using LightCubeGLTest = MachineGLTest;

// One texel of a face as the machine reads it back, blue first.
std::vector<int> texel(Texture* cube, int face, int row, int column) {
    int pitch = 0;
    const auto* bytes = static_cast<const uint8_t*>(cube->lockFace(face, &pitch, 0));
    const uint8_t* t = bytes + row * pitch + 4 * column;
    std::vector<int> result(t, t + 4);
    cube->unlockFace(face);
    return result;
}

// The stored texels, and what a fragment shows when the texture matrix maps
// every coordinate onto one direction: the diffuse lighting there.
TEST_F(LightCubeGLTest, HoldsAndShowsTheDiffuseLighting) {
    CubeLightingObject white(&machine());
    white.load();
    using T = std::vector<int>;
    for (int i : {127, 128})  // just off the -z axis: lit just below full
        for (int j : {127, 128})
            EXPECT_EQ(texel(white.getTexture(), 5, i, j), (T{254, 254, 254, 0}));
    EXPECT_EQ(texel(white.getTexture(), 4, 128, 128), (T{0, 0, 0, 0}));
    CubeLightingObject cube(&machine());
    cube.color = Vec3f{{0, 0, 0}};
    cube.ambient = Vec3f{{1, 0.5f, 0}};
    cube.load();
    EXPECT_EQ(texel(cube.getTexture(), 2, 7, 9), (T{0, 127, 255, 0}));
    cube.unload();
    cube.color = Vec3f{{0.8f, 0.4f, 0.2f}};
    cube.ambient = Vec3f{{0.1f, 0.2f, 0.0f}};
    cube.load();
    machine().setTexture(0, cube.getTexture());
    const Vec3f directions[] = {
        {{0, 0, -1}}, {{0.3f, 0.2f, -1}}, {{1, 0.2f, -0.5f}}, {{0, 1, 0.3f}}, {{0, 0, 1}}};
    for (const Vec3f& d : directions) {
        Matrix toDirection = Matrix::identity(0.0f);
        for (int k = 0; k < 4; ++k) toDirection.at(k, 3) = k < 3 ? d[k] : 1.0f;
        machine().setTextureMatrix(0, &toDirection);
        drawQuad();
        const float length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        const Vec3f c = diffuseLighting(cube.color, cube.ambient,
                                        {{d[0] / length, d[1] / length, d[2] / length}});
        const std::array<int, 4> expected{int(c[0] * 255), int(c[1] * 255), int(c[2] * 255), 0};
        EXPECT_TRUE(near(pixel(16, 16), expected)) << describe(pixel(16, 16));
    }
    machine().setTexture(0, nullptr);
}

}  // namespace
}  // namespace Vexa
