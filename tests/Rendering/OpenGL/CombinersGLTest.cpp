// Texture combiners emulated with fragment programs: the program text for
// stage sets, argument checks, and every operation drawn on llvmpipe with
// known inputs.
#include "Rendering/OpenGL/CombinersGL.h"

#include <cmath>
#include <vector>

#include "Rendering/OpenGL/MachineFixtureGL.h"

namespace Vexa {
namespace {

TextureCombinerStage stage(int colorOp, int c1, int c2, int c3, int alphaOp, int a1, int a2, int a3,
                           int result = SRC_CURRENT) {
    TextureCombinerStage s;
    s.enabled = true;
    s.colorOp = colorOp, s.colorArg1 = c1, s.colorArg2 = c2, s.colorArg3 = c3;
    s.alphaOp = alphaOp, s.alphaArg1 = a1, s.alphaArg2 = a2, s.alphaArg3 = a3;
    s.result = result;
    return s;
}

TEST(CombinerProgram, SamplesEachTextureWithItsTargetAndAppliesTheFogEquation) {
    const TextureCombinerStage stages[3] = {
        stage(OP_MODULATE, SRC_TEXTURE, SRC_DIFFUSE, SRC_CURRENT, OP_I1, SRC_TEXTURE, SRC_CURRENT, SRC_CURRENT),
        stage(OP_ADD, SRC_TEXTURE, SRC_CURRENT, SRC_CURRENT, OP_I2, SRC_TEXTURE, SRC_CURRENT, SRC_CURRENT),
        stage(OP_I1, SRC_FACTOR, SRC_CURRENT, SRC_CURRENT, OP_I1, SRC_FACTOR, SRC_CURRENT, SRC_CURRENT),
    };
    const SamplerGL samplers[kMaxCombinerStages] = {SamplerGL::Rectangle, SamplerGL::Cube};
    const std::string text = combinerProgramText(stages, 3, samplers, ProgramFogGL::Exp2);
    EXPECT_NE(text.find("OPTION ARB_fog_exp2;"), std::string::npos);
    EXPECT_NE(text.find("texture[0], RECT;"), std::string::npos);
    EXPECT_NE(text.find("texture[1], CUBE;"), std::string::npos);
    // Stage 2 reads no texture, so unit 2 is not sampled.
    EXPECT_EQ(text.find("texture[2]"), std::string::npos);
    EXPECT_EQ(combinerProgramText(stages, 3, samplers, ProgramFogGL::None).find("OPTION"),
              std::string::npos);
}

TEST(CombinerProgram, OnlyLeadingEnabledStagesCount) {
    TextureCombinerStage stages[4];
    stages[0].enabled = stages[1].enabled = stages[3].enabled = true;
    EXPECT_EQ(activeCombinerStages(stages, 4), 2);
    stages[0].enabled = false;
    EXPECT_EQ(activeCombinerStages(stages, 4), 0);
}

TEST(CombinerProgram, RefusesValuesOutsideTheEnumerations) {
    struct Case {
        TextureCombinerStage stage;
        const char* message;
    };
    const Case cases[] = {
        {stage(OP_I1, 6, SRC_CURRENT, SRC_CURRENT, OP_I1, SRC_CURRENT, SRC_CURRENT, SRC_CURRENT),
         "Invalid combiner stage source"},
        {stage(OP_I1, SRC_CURRENT, SRC_CURRENT, SRC_CURRENT, OP_I1, SRC_CURRENT, SRC_CURRENT, -1),
         "Invalid combiner stage source"},
        {stage(OP_I1, SRC_CURRENT, SRC_CURRENT, SRC_CURRENT, OP_I1, SRC_CURRENT, SRC_CURRENT,
               SRC_CURRENT, SRC_DIFFUSE),
         "Invalid combiner stage source"},
        {stage(20, SRC_CURRENT, SRC_CURRENT, SRC_CURRENT, OP_I1, SRC_CURRENT, SRC_CURRENT, SRC_CURRENT),
         "Invalid combiner stage rgb operation"},
        {stage(OP_I1, SRC_CURRENT, SRC_CURRENT, SRC_CURRENT, OP_MODULATEALPHA_ADDCOLOR, SRC_CURRENT,
               SRC_CURRENT, SRC_CURRENT),
         "Invalid combiner stage alpha operation"},
    };
    for (const Case& c : cases) EXPECT_EQ(failureOf([&] { validateCombinerStage(c.stage); }), c.message);
}

// Known inputs: the diffuse colour D, the texture T and the factor F.
const Color kD{0.2f, 0.4f, 0.6f, 0.8f};
const uint8_t kTexel[4] = {191, 64, 128, 128};  // stored B, G, R, A: T = (0.5, 0.25, 0.75, 0.5)
const float kT[4] = {128 / 255.f, 64 / 255.f, 191 / 255.f, 128 / 255.f};
const Color kF{0.1f, 0.3f, 0.5f, 0.7f};

class CombinersGLTest : public MachineGLTest {
protected:
    void SetUp() override {
        MachineGLTest::SetUp();
        m_texture.reset(machine().createTexture(1, 1, FORMAT_ARGB8, 1, false));
        m_texture->update(kTexel);
        machine().setTexture(0, m_texture.get());
        machine().setTextureFactor(&kF);
    }
    void TearDown() override {
        machine().setTexture(0, nullptr);
        m_texture.reset();
        MachineGLTest::TearDown();
    }

    std::array<int, 4> drawWith(const std::vector<TextureCombinerStage>& stages) {
        for (size_t i = 0; i < stages.size(); ++i) machine().setCombinerStage(int(i), &stages[i]);
        drawQuad(kD);
        return pixel(16, 16);
    }

    static std::array<int, 4> bytes(float r, float g, float b, float a) {
        auto toByte = [](float v) { return int(std::lround(std::min(1.f, std::max(0.f, v)) * 255)); };
        return {toByte(r), toByte(g), toByte(b), toByte(a)};
    }

    std::unique_ptr<Texture> m_texture;
};

TEST_F(CombinersGLTest, EveryColorOperationCombinesItsArguments) {
    const float* T = kT;
    const float d[3] = {kD.r, kD.g, kD.b}, f[3] = {kF.r, kF.g, kF.b};
    struct Case {
        const char* name;
        int op;
        int a1, a2, a3;
        float (*rgb)(int channel, const float* t, const float* d, const float* f);
    };
    const Case cases[] = {
        {"I1", OP_I1, SRC_TEXTURE, SRC_DIFFUSE, SRC_FACTOR, [](int c, const float* t, const float*, const float*) { return t[c]; }},
        {"I2", OP_I2, SRC_TEXTURE, SRC_DIFFUSE, SRC_FACTOR, [](int c, const float*, const float* d, const float*) { return d[c]; }},
        {"MODULATE", OP_MODULATE, SRC_TEXTURE, SRC_DIFFUSE, SRC_FACTOR, [](int c, const float* t, const float* d, const float*) { return t[c] * d[c]; }},
        {"MODULATE2X", OP_MODULATE2X, SRC_TEXTURE, SRC_DIFFUSE, SRC_FACTOR, [](int c, const float* t, const float* d, const float*) { return 2 * t[c] * d[c]; }},
        {"MODULATE4X", OP_MODULATE4X, SRC_TEXTURE, SRC_DIFFUSE, SRC_FACTOR, [](int c, const float* t, const float* d, const float*) { return 4 * t[c] * d[c]; }},
        {"ADD", OP_ADD, SRC_TEXTURE, SRC_DIFFUSE, SRC_FACTOR, [](int c, const float* t, const float* d, const float*) { return t[c] + d[c]; }},
        {"ADDSIGNED", OP_ADDSIGNED, SRC_TEXTURE, SRC_DIFFUSE, SRC_FACTOR, [](int c, const float* t, const float* d, const float*) { return t[c] + d[c] - 0.5f; }},
        {"ADDSIGNED2X", OP_ADDSIGNED2X, SRC_TEXTURE, SRC_DIFFUSE, SRC_FACTOR, [](int c, const float* t, const float* d, const float*) { return 2 * (t[c] + d[c] - 0.5f); }},
        {"SUB", OP_SUB, SRC_TEXTURE, SRC_FACTOR, SRC_DIFFUSE, [](int c, const float* t, const float*, const float* f) { return t[c] - f[c]; }},
        {"ADDSMOOTH", OP_ADDSMOOTH, SRC_TEXTURE, SRC_DIFFUSE, SRC_FACTOR, [](int c, const float* t, const float* d, const float*) { return t[c] + d[c] * (1 - t[c]); }},
        {"BLENDCURALPHA", OP_BLENDCURALPHA, SRC_TEXTURE, SRC_FACTOR, SRC_DIFFUSE, [](int c, const float* t, const float*, const float* f) { return t[c] * 0.8f + f[c] * 0.2f; }},
        {"BLENDDIFALPHA", OP_BLENDDIFALPHA, SRC_TEXTURE, SRC_FACTOR, SRC_DIFFUSE, [](int c, const float* t, const float*, const float* f) { return t[c] * 0.8f + f[c] * 0.2f; }},
        {"BLENDTEXALPHA", OP_BLENDTEXALPHA, SRC_FACTOR, SRC_DIFFUSE, SRC_TEXTURE, [](int c, const float* t, const float* d, const float* f) { return f[c] * t[3] + d[c] * (1 - t[3]); }},
        {"DOTP", OP_DOTP, SRC_TEXTURE, SRC_DIFFUSE, SRC_FACTOR, [](int, const float* t, const float* d, const float*) { return t[0] * d[0] + t[1] * d[1] + t[2] * d[2]; }},
        {"LERP", OP_LERP, SRC_TEXTURE, SRC_DIFFUSE, SRC_FACTOR, [](int c, const float* t, const float* d, const float* f) { return t[c] * d[c] + (1 - t[c]) * f[c]; }},
        {"MULADD", OP_MULADD, SRC_TEXTURE, SRC_DIFFUSE, SRC_FACTOR, [](int c, const float* t, const float* d, const float* f) { return t[c] + d[c] * f[c]; }},
        {"MODULATEALPHA_ADDCOLOR", OP_MODULATEALPHA_ADDCOLOR, SRC_TEXTURE, SRC_DIFFUSE, SRC_FACTOR, [](int c, const float* t, const float* d, const float*) { return t[c] + d[c] * t[3]; }},
        {"MODULATECOLOR_ADDALPHA", OP_MODULATECOLOR_ADDALPHA, SRC_FACTOR, SRC_DIFFUSE, SRC_TEXTURE, [](int c, const float*, const float* d, const float* f) { return f[c] * d[c] + 0.7f; }},
        {"MODULATEINVALPHA_ADDCOLOR", OP_MODULATEINVALPHA_ADDCOLOR, SRC_TEXTURE, SRC_DIFFUSE, SRC_FACTOR, [](int c, const float* t, const float* d, const float*) { return t[c] + d[c] * (1 - t[3]); }},
        {"MODULATEINVCOLOR_ADDALPHA", OP_MODULATEINVCOLOR_ADDALPHA, SRC_FACTOR, SRC_DIFFUSE, SRC_TEXTURE, [](int c, const float*, const float* d, const float* f) { return (1 - f[c]) * d[c] + 0.7f; }},
    };
    for (const Case& c : cases) {
        // The alpha portion passes the diffuse alpha through.
        const auto shown = drawWith({stage(c.op, c.a1, c.a2, c.a3, OP_I1, SRC_DIFFUSE, SRC_CURRENT, SRC_CURRENT)});
        const auto expected = bytes(c.rgb(0, T, d, f), c.rgb(1, T, d, f), c.rgb(2, T, d, f), kD.a);
        EXPECT_TRUE(near(shown, expected, 3)) << c.name << ": " << describe(shown) << " expected " << describe(expected);
    }
}

TEST_F(CombinersGLTest, AlphaOperationsWorkOnAlphas) {
    const float t = kT[3], d = kD.a, f = kF.a;
    struct Case {
        const char* name;
        int op;
        int a1, a2, a3;
        float alpha;
    };
    const Case cases[] = {
        {"I1", OP_I1, SRC_TEXTURE, SRC_DIFFUSE, SRC_FACTOR, t},
        {"MODULATE", OP_MODULATE, SRC_TEXTURE, SRC_DIFFUSE, SRC_FACTOR, t * d},
        {"MODULATE2X", OP_MODULATE2X, SRC_TEXTURE, SRC_FACTOR, SRC_DIFFUSE, 2 * t * f},
        {"ADDSIGNED", OP_ADDSIGNED, SRC_TEXTURE, SRC_FACTOR, SRC_DIFFUSE, t + f - 0.5f},
        {"SUB", OP_SUB, SRC_DIFFUSE, SRC_TEXTURE, SRC_FACTOR, d - t},
        {"ADDSMOOTH", OP_ADDSMOOTH, SRC_TEXTURE, SRC_FACTOR, SRC_DIFFUSE, t + f * (1 - t)},
        {"LERP", OP_LERP, SRC_TEXTURE, SRC_DIFFUSE, SRC_FACTOR, t * d + (1 - t) * f},
        {"MULADD", OP_MULADD, SRC_TEXTURE, SRC_DIFFUSE, SRC_FACTOR, t + d * f},
    };
    for (const Case& c : cases) {
        const auto shown = drawWith({stage(OP_I1, SRC_DIFFUSE, SRC_CURRENT, SRC_CURRENT, c.op, c.a1, c.a2, c.a3)});
        const auto expected = bytes(kD.r, kD.g, kD.b, c.alpha);
        EXPECT_TRUE(near(shown, expected, 3)) << c.name << ": " << describe(shown) << " expected " << describe(expected);
    }
}

// Stage 0 parks the texture in the temporary register; stage 1 still sees
// the diffuse colour as current and adds the temporary to it.
TEST_F(CombinersGLTest, TemporaryRegisterCarriesAcrossStages) {
    const auto shown = drawWith({
        stage(OP_I1, SRC_TEXTURE, SRC_CURRENT, SRC_CURRENT, OP_I1, SRC_TEXTURE, SRC_CURRENT, SRC_CURRENT, SRC_TEMP),
        stage(OP_ADD, SRC_CURRENT, SRC_TEMP, SRC_CURRENT, OP_I1, SRC_CURRENT, SRC_CURRENT, SRC_CURRENT),
    });
    EXPECT_TRUE(near(shown, bytes(kD.r + kT[0], kD.g + kT[1], kD.b + kT[2], kD.a), 3)) << describe(shown);
}

// A negative intermediate survives into the next stage, as in signed
// combiner registers, and the fragment colour is clamped at the end.
TEST_F(CombinersGLTest, RegistersHoldSignedValuesAndTheOutputIsClamped) {
    const auto shown = drawWith({
        stage(OP_SUB, SRC_FACTOR, SRC_TEXTURE, SRC_CURRENT, OP_I1, SRC_DIFFUSE, SRC_CURRENT, SRC_CURRENT),
        stage(OP_ADD, SRC_CURRENT, SRC_DIFFUSE, SRC_CURRENT, OP_I1, SRC_CURRENT, SRC_CURRENT, SRC_CURRENT),
    });
    EXPECT_TRUE(near(shown, bytes(kF.r - kT[0] + kD.r, kF.g - kT[1] + kD.g, kF.b - kT[2] + kD.b, kD.a), 3))
        << describe(shown);
}

TEST_F(CombinersGLTest, WithNoEnabledStageTheTextureModulatesTheDiffuseColour) {
    TextureCombinerStage disabled;
    const auto shown = drawWith({disabled});
    EXPECT_TRUE(near(shown, bytes(kD.r * kT[0], kD.g * kT[1], kD.b * kT[2], kD.a * kT[3]), 3)) << describe(shown);
}

TEST_F(CombinersGLTest, FogStillApplies) {
    const Color fog{0, 1, 0, 1};
    machine().setFogColor(&fog);
    machine().setFogMode(FOG_LINEAR);
    machine().setFogParameters(-2, -1, 1);  // every depth lies past the end
    machine().setFog(true);
    const auto shown = drawWith({stage(OP_I1, SRC_TEXTURE, SRC_CURRENT, SRC_CURRENT, OP_I1, SRC_TEXTURE, SRC_CURRENT, SRC_CURRENT)});
    EXPECT_TRUE(near(shown, {0, 255, 0, 128}, 3)) << describe(shown);
}

// A rectangle texture at a stage is sampled in texels once the machine
// scales its coordinates.
TEST_F(CombinersGLTest, SamplesRectangleTextures) {
    std::unique_ptr<Texture> rectangle(machine().createTexture(3, 1, FORMAT_RGB8, 1, false));
    const uint8_t texels[9] = {0, 0, 255, 0, 255, 0, 255, 0, 0};  // red, green, blue
    rectangle->update(texels);
    rectangle->setMinFilter(0);
    rectangle->setMagFilter(0);
    machine().setTexture(0, rectangle.get());
    const auto shown = drawWith({stage(OP_I1, SRC_TEXTURE, SRC_CURRENT, SRC_CURRENT, OP_I1, SRC_DIFFUSE, SRC_CURRENT, SRC_CURRENT)});
    EXPECT_EQ(describe(shown), describe({0, 255, 0, 204}));
    EXPECT_EQ(describe(pixel(1, 16)), describe({255, 0, 0, 204}));
    machine().setTexture(0, nullptr);
}

}  // namespace
}  // namespace Vexa
