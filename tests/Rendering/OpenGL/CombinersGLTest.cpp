// Texture combiners emulated with fragment programs: the program text for
// stage sets, argument checks, and every operation drawn on llvmpipe with
// known inputs.
#include <algorithm>
#include <cmath>
#include <vector>

#include "Rendering/OpenGL/CombinersGL.h"
#include "Support/MachineFixtureGL.h"

namespace Vexa {
namespace {

// The combiner sources, short.
constexpr int T = SRC_TEXTURE, D = SRC_DIFFUSE, F = SRC_FACTOR, Cur = SRC_CURRENT, Tmp = SRC_TEMP;

TextureCombinerStage stage(int colorOp, int c1, int c2, int c3, int alphaOp, int a1, int a2, int a3,
                           int result = Cur) {
    TextureCombinerStage s;
    s.enabled = true;
    s.colorOp = colorOp, s.colorArg1 = c1, s.colorArg2 = c2, s.colorArg3 = c3;
    s.alphaOp = alphaOp, s.alphaArg1 = a1, s.alphaArg2 = a2, s.alphaArg3 = a3;
    s.result = result;
    return s;
}

TEST(CombinerProgram, SamplesEachTextureWithItsTargetAndAppliesTheFogEquation) {
    const TextureCombinerStage stages[3] = {
        stage(OP_MODULATE, T, D, Cur, OP_I1, T, Cur, Cur),
        stage(OP_ADD, T, Cur, Cur, OP_I2, T, Cur, Cur),
        stage(OP_I1, F, Cur, Cur, OP_I1, F, Cur, Cur),
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
        {stage(OP_I1, 6, Cur, Cur, OP_I1, Cur, Cur, Cur), "Invalid combiner stage source"},
        {stage(OP_I1, Cur, Cur, Cur, OP_I1, Cur, Cur, -1), "Invalid combiner stage source"},
        {stage(OP_I1, Cur, Cur, Cur, OP_I1, Cur, Cur, Cur, D), "Invalid combiner stage source"},
        {stage(20, Cur, Cur, Cur, OP_I1, Cur, Cur, Cur), "Invalid combiner stage rgb operation"},
        {stage(OP_I1, Cur, Cur, Cur, OP_MODULATEALPHA_ADDCOLOR, Cur, Cur, Cur),
         "Invalid combiner stage alpha operation"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(messageOf([&] { validateCombinerStage(c.stage); }), c.message);
}

// A colour with the arithmetic the expected values need, channel by channel.
struct C {
    float r, g, b, a;
};
C operator+(C x, C y) { return {x.r + y.r, x.g + y.g, x.b + y.b, x.a + y.a}; }
C operator-(C x, C y) { return {x.r - y.r, x.g - y.g, x.b - y.b, x.a - y.a}; }
C operator*(C x, C y) { return {x.r * y.r, x.g * y.g, x.b * y.b, x.a * y.a}; }
C operator+(C x, float v) { return x + C{v, v, v, v}; }
C operator-(C x, float v) { return x + -v; }
C operator-(float v, C x) { return C{v, v, v, v} - x; }
C operator*(C x, float v) { return x * C{v, v, v, v}; }

// Known inputs: the diffuse colour, the texture and the factor.
const C kD{0.2f, 0.4f, 0.6f, 0.8f};
const uint8_t kTexel[4] = {191, 64, 128, 128};  // stored B, G, R, A
const C kT{128 / 255.f, 64 / 255.f, 191 / 255.f, 128 / 255.f};
const C kF{0.1f, 0.3f, 0.5f, 0.7f};

// An operation, the sources of its three arguments, and what it makes of them.
struct Operation {
    int op;
    int args[3];
    C (*expected)(C x, C y, C z);
};

class CombinersGLTest : public MachineGLTest {
protected:
    void SetUp() override {
        MachineGLTest::SetUp();
        m_texture.reset(machine().createTexture(1, 1, FORMAT_ARGB8, 1, false));
        m_texture->update(kTexel);
        machine().setTexture(0, m_texture.get());
        const Color factor{kF.r, kF.g, kF.b, kF.a};
        machine().setTextureFactor(&factor);
    }
    void TearDown() override {
        machine().setTexture(0, nullptr);
        m_texture.reset();
        MachineGLTest::TearDown();
    }

    std::array<int, 4> drawWith(const std::vector<TextureCombinerStage>& stages) {
        for (size_t i = 0; i < stages.size(); ++i) machine().setCombinerStage(int(i), &stages[i]);
        drawQuad(Color{kD.r, kD.g, kD.b, kD.a});
        return pixel(16, 16);
    }
    // Draws with `stages` and compares the centre pixel with `expected`.
    void expectDrawn(const std::vector<TextureCombinerStage>& stages, C expected, int what = 0) {
        const auto shown = drawWith(stages);
        std::array<int, 4> bytes;
        const float channels[4] = {expected.r, expected.g, expected.b, expected.a};
        for (int i = 0; i < 4; ++i)
            bytes[i] = int(std::lround(std::clamp(channels[i], 0.f, 1.f) * 255));
        EXPECT_TRUE(near(shown, bytes, 3))
            << "operation " << what << ": " << describe(shown) << " expected " << describe(bytes);
    }
    static C source(int which) { return which == T ? kT : which == D ? kD : kF; }

    std::unique_ptr<Texture> m_texture;
};

TEST_F(CombinersGLTest, EveryColorOperationCombinesItsArguments) {
    const Operation operations[] = {
        {OP_I1, {T, D, F}, [](C x, C, C) { return x; }},
        {OP_I2, {T, D, F}, [](C, C y, C) { return y; }},
        {OP_MODULATE, {T, D, F}, [](C x, C y, C) { return x * y; }},
        {OP_MODULATE2X, {T, D, F}, [](C x, C y, C) { return x * y * 2; }},
        {OP_MODULATE4X, {T, D, F}, [](C x, C y, C) { return x * y * 4; }},
        {OP_ADD, {T, D, F}, [](C x, C y, C) { return x + y; }},
        {OP_ADDSIGNED, {T, D, F}, [](C x, C y, C) { return x + y - 0.5f; }},
        {OP_ADDSIGNED2X, {T, D, F}, [](C x, C y, C) { return (x + y - 0.5f) * 2; }},
        {OP_SUB, {T, F, D}, [](C x, C y, C) { return x - y; }},
        {OP_ADDSMOOTH, {T, D, F}, [](C x, C y, C) { return x + y * (1 - x); }},
        {OP_BLENDCURALPHA, {T, F, D}, [](C x, C y, C) { return x * kD.a + y * (1 - kD.a); }},
        {OP_BLENDDIFALPHA, {T, F, D}, [](C x, C y, C) { return x * kD.a + y * (1 - kD.a); }},
        {OP_BLENDTEXALPHA, {F, D, T}, [](C x, C y, C) { return x * kT.a + y * (1 - kT.a); }},
        {OP_DOTP, {T, D, F}, [](C x, C y, C) { return C{} + (x.r * y.r + x.g * y.g + x.b * y.b); }},
        {OP_LERP, {T, D, F}, [](C x, C y, C z) { return x * y + (1 - x) * z; }},
        {OP_MULADD, {T, D, F}, [](C x, C y, C z) { return x + y * z; }},
        {OP_MODULATEALPHA_ADDCOLOR, {T, D, F}, [](C x, C y, C) { return x + y * x.a; }},
        {OP_MODULATECOLOR_ADDALPHA, {F, D, T}, [](C x, C y, C) { return x * y + x.a; }},
        {OP_MODULATEINVALPHA_ADDCOLOR, {T, D, F}, [](C x, C y, C) { return x + y * (1 - x.a); }},
        {OP_MODULATEINVCOLOR_ADDALPHA, {F, D, T}, [](C x, C y, C) { return (1 - x) * y + x.a; }},
    };
    for (const Operation& o : operations) {
        // The alpha portion passes the diffuse alpha through.
        C expected = o.expected(source(o.args[0]), source(o.args[1]), source(o.args[2]));
        expected.a = kD.a;
        const int* a = o.args;
        expectDrawn({stage(o.op, a[0], a[1], a[2], OP_I1, D, Cur, Cur)}, expected, o.op);
    }
}

TEST_F(CombinersGLTest, AlphaOperationsWorkOnAlphas) {
    const Operation operations[] = {
        {OP_I1, {T, D, F}, [](C x, C, C) { return x; }},
        {OP_MODULATE, {T, D, F}, [](C x, C y, C) { return x * y; }},
        {OP_MODULATE2X, {T, F, D}, [](C x, C y, C) { return x * y * 2; }},
        {OP_ADDSIGNED, {T, F, D}, [](C x, C y, C) { return x + y - 0.5f; }},
        {OP_SUB, {D, T, F}, [](C x, C y, C) { return x - y; }},
        {OP_ADDSMOOTH, {T, F, D}, [](C x, C y, C) { return x + y * (1 - x); }},
        {OP_LERP, {T, D, F}, [](C x, C y, C z) { return x * y + (1 - x) * z; }},
        {OP_MULADD, {T, D, F}, [](C x, C y, C z) { return x + y * z; }},
    };
    for (const Operation& o : operations) {
        C expected = kD;
        expected.a = o.expected(source(o.args[0]), source(o.args[1]), source(o.args[2])).a;
        const int* a = o.args;
        expectDrawn({stage(OP_I1, D, Cur, Cur, o.op, a[0], a[1], a[2])}, expected, o.op);
    }
}

// Stage 0 parks the texture in the temporary register; stage 1 still sees
// the diffuse colour as current and adds the temporary to it.
TEST_F(CombinersGLTest, TemporaryRegisterCarriesAcrossStages) {
    C expected = kD + kT;
    expected.a = kD.a;
    expectDrawn({stage(OP_I1, T, Cur, Cur, OP_I1, T, Cur, Cur, Tmp),
                 stage(OP_ADD, Cur, Tmp, Cur, OP_I1, Cur, Cur, Cur)},
                expected);
}

// A negative intermediate survives into the next stage, as in signed
// combiner registers, and the fragment colour is clamped at the end.
TEST_F(CombinersGLTest, RegistersHoldSignedValuesAndTheOutputIsClamped) {
    C expected = kF - kT + kD;
    expected.a = kD.a;
    expectDrawn({stage(OP_SUB, F, T, Cur, OP_I1, D, Cur, Cur),
                 stage(OP_ADD, Cur, D, Cur, OP_I1, Cur, Cur, Cur)},
                expected);
}

TEST_F(CombinersGLTest, WithNoEnabledStageTheTextureModulatesTheDiffuseColour) {
    expectDrawn({TextureCombinerStage()}, kD * kT);
}

TEST_F(CombinersGLTest, FogStillApplies) {
    const Color fog{0, 1, 0, 1};
    machine().setFogColor(&fog);
    machine().setFogMode(FOG_LINEAR);
    machine().setFogParameters(-2, -1, 1);  // every depth lies past the end
    machine().setFog(true);
    expectDrawn({stage(OP_I1, T, Cur, Cur, OP_I1, T, Cur, Cur)}, C{0, 1, 0, kT.a});
}

TEST_F(CombinersGLTest, ANewFactorReachesAProgramAlreadyLoaded) {
    const std::vector<TextureCombinerStage> stages = {
        stage(OP_I1, F, Cur, Cur, OP_I1, F, Cur, Cur)};
    expectDrawn(stages, kF);
    const Color white{1, 1, 1, 1};
    machine().setTextureFactor(&white);
    expectDrawn(stages, C{1, 1, 1, 1});
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
    const auto shown = drawWith({stage(OP_I1, T, Cur, Cur, OP_I1, D, Cur, Cur)});
    EXPECT_EQ(describe(shown), describe({0, 255, 0, 204}));
    EXPECT_EQ(describe(pixel(1, 16)), describe({255, 0, 0, 204}));
    machine().setTexture(0, nullptr);
}

}  // namespace
}  // namespace Vexa
