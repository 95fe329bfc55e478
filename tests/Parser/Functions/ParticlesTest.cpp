// Particle lists, the effectors' clocks and motion, the calls a particle
// system and the tile tunnel make, and sprites drawn on the OpenGL machine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "Common/Random.h"
#include "Parser/Functions/MaterialObject.h"
#include "Parser/Functions/MeshObject.h"
#include "Parser/Functions/Particles.h"
#include "Parser/IniFunction.h"
#include "Support/MachineFixtureGL.h"
#include "Support/RecordingScriptTest.h"

namespace Vexa {
namespace {

using Testing::Lines;

// A mesh drawn as one call of `triangles` triangles, so the log shows which.
class TileMesh : public Primitive {
public:
    TileMesh(RenderMachine* machine, int triangles) : m_machine(machine), m_triangles(triangles) {}
    void drawRange(float, float) override {}
    void draw() override { m_machine->drawPrimitive(TRIANGLE_LIST, 0, m_triangles); }
    RenderMachine* m_machine;
    int m_triangles;
};

/* TestTileMesh { triangles } */
class F_TestTileMesh : public IniFunction {
    IniObject* create() override {
        auto* graphics = getRecordedObject("graphicsSystem", Types::GraphicsSystem());
        return new MeshObject(std::make_unique<TileMesh>(
            static_cast<GraphicsSystemObject*>(graphics)->renderMachine(), getInt("triangles")));
    }
} s_tileMesh;
const FunctionEntry kFunctions[] = {{"TestTileMesh", &s_tileMesh}};
const FunctionRegistrar s_registrar(kFunctions);

TEST(ParticleList, AddsUntilFullThenOverwritesSlotZeroAndRemovesBySwapping) {
    ParticleList<int> list(4);
    for (int value : {1, 2, 3, 4, 5}) list.add(value);
    list.removeIf([](int value) { return value % 2 == 0; });  // 4 moves into slot 1, then 3
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list[0], 5);
    EXPECT_EQ(list[1], 3);
}

// The spray's velocity along x settles where the push balances the damping,
// (v + 0.01) * 0.98 = v; across it dies away.
TEST(LaattaEffector, VelocitySettlesAndNewParticlesTakeTheFixedRandomPoints) {
    LaattaEffector effector;
    ParticleList<LaattaParticle> list(1);
    LaattaParticle particle;
    particle.velocity[1] = 1.0f;
    list.add(particle);
    LaattaParticleData vertex;
    for (int i = 0; i < 1000; ++i) effector.write(list, &vertex, 0);
    EXPECT_NEAR(list[0].velocity[0], 0.49f, 1e-4f);
    EXPECT_NEAR(list[0].velocity[1], std::pow(0.98f, 1000), 1e-9f);

    // A new particle: its position is the first point of the twister inside
    // the ball (outputs 6 to 8) in reverse order, its velocity the next one
    // (outputs 18 to 20) in order.
    resetProgramRandom();
    resetEmissionClocks();
    ParticleList<LaattaParticle> sprayed(2);
    effector.emit(sprayed, 0.0001f);
    ASSERT_EQ(sprayed.count(), 1);
    using Floats = std::vector<float>;
    const LaattaParticle& p = sprayed[0];
    EXPECT_EQ(Floats(p.position, p.position + 3),
              (Floats{-0.178578973f, -0.87481612f, 0.251417398f}));
    EXPECT_EQ(Floats(p.velocity, p.velocity + 3),
              (Floats{-0.262503445f, -0.154051438f, 0.178355366f}));
}

class ParticlesTest : public Testing::RecordingScriptTest {
protected:
    void SetUp() override {
        RecordingScriptTest::SetUp();
        resetEmissionClocks();
        resetProgramRandom();
    }
    std::string script() override {
        return "m = Material { }\n"
               "a = Particles { size = 8 material = m }\n"
               "b = Particles { size = 8 material = m }\n"
               "cam = Camera { }\n"
               "t = LaattaTun { laatta = TestTileMesh { triangles = 1 } camera = cam\n"
               "  rivi = TestTileMesh { triangles = 2 } laattamaterial = Material { }\n"
               "  particlematerial = m pos = 350 }\n";
    }
    int count(const char* name) {
        return static_cast<ParticleObject*>(parser().lookup(name))->system().particles().count();
    }
    void update(const char* name, float time) {
        Testing::send(parser().lookup(name), CommandKinds::Update(), time);
    }
};

// One clock for every Particles object: it only moves forward, and what is
// due is emitted by whichever object is updated first.
TEST_F(ParticlesTest, EmissionClockIsSharedAndOnlyMovesForward) {
    const struct {
        const char* object;
        float time;
        int a, b;
    } steps[] = {
        {"a", 0.35f, 4, 0},  // clock 0, 0.1, 0.2, 0.3
        {"a", 0.35f, 4, 0}, {"b", 0.35f, 4, 0}, {"a", 0.1f, 4, 0}, {"b", 0.45f, 4, 1},  // clock 0.4
    };
    for (const auto& step : steps) {
        update(step.object, step.time);
        EXPECT_EQ(count("a"), step.a) << step.object << " at " << step.time;
        EXPECT_EQ(count("b"), step.b) << step.object << " at " << step.time;
    }
    // Each Update writes the live particles once, with discard.
    m_machine->clearLog();
    update("a", 0.45f);
    update("a", 0.0f);
    EXPECT_EQ(m_machine->takeLog(), (Lines{"vbuf1.lock(0, 4, 8192)", "vbuf1.unlock()",
                                           "vbuf1.lock(0, 4, 8192)", "vbuf1.unlock()"}));
}

// The tunnel's passes: each side's two rows mark the stencil with the side's
// number, then the mirrored "laatta" is blended in only there; the default
// state comes back before the spray.
TEST_F(ParticlesTest, TunnelMarksEachSideInTheStencilAndDrawsItsMirrorThere) {
    const Lines log = calls("t", CommandKinds::Draw());
    std::string passes;  // up to the default state, without the matrices
    for (const std::string& line : log) {
        if (line.rfind("setTextureCoordGen", 0) == 0) break;
        if (line.find("Matrix(") == std::string::npos) passes += line + "; ";
    }
    const std::string pass =
        "setCullingMode(CCW); setStencilFunc(ALWAYS); setStencilOp(STENCIL_REPLACE, "
        "STENCIL_REPLACE, STENCIL_REPLACE); setStencilRef(#); drawPrimitive(TRIANGLE_LIST, 0, 2); "
        "drawPrimitive(TRIANGLE_LIST, 0, 2); setStencilFunc(EQUAL); setStencilRef(#); "
        "setCullingMode(CW); setBlend(1); setBlendColor((0.2 0.2 0.2 0.2)); "
        "setBlendFunc(BLENDFACTOR, ONE); drawPrimitive(TRIANGLE_LIST, 0, 1); setBlend(0); ";
    std::string expected =
        "clear(4, (0 0 0 0), 1, 0); setStencilTest(1); setCulling(1); "
        "setDepthTest(0); setLighting(0); ";
    for (char side = '1'; side <= '8'; ++side) {
        expected += pass;
        std::replace(expected.end() - pass.size(), expected.end(), '#', side);
    }
    EXPECT_EQ(passes, expected + "setCullingMode(CCW); setStencilTest(0); setDepthTest(1); ");
    // Side 0 at pos 350: u (350 + 0.5) / 256 and (-1400 + 350 + 0.5) / 256,
    // v 1/16 and 1/16 - 3/8; its mirror is the plane z = -1.2071.
    const auto at = [&](const char* line) { return std::count(log.begin(), log.end(), line); };
    EXPECT_TRUE(at("setTextureMatrix(0, [1 0 0 0 0 1 0 0 0 0 1 0 1.36914 0.0625 0 1])"));
    EXPECT_TRUE(at("setTextureMatrix(1, [1 0 0 0 0 1 0 0 0 0 1 0 -4.09961 -0.3125 0 1])"));
    EXPECT_TRUE(at("multMatrix([1 0 0 0 0 1 0 0 0 0 -1 0 0 0 -2.4142 1], VIEW)"));
}

using ParticlesGLTest = MachineGLTest;

// Four particles emitted 0.1 s apart and moved 0.001 an update sit near
// x = 4, 3, 2 and 1 after 4000 updates. Seen from 10 units with c = 5 they
// land 8 pixels apart, centred on columns 4, 12, 20 and 28, each 5 pixels
// wide (5 x 32 / sqrt(10 + 10 x 10^2)); nothing else is drawn.
TEST_F(ParticlesGLTest, SpritesLandWhereTheirMotionPutsThem) {
    resetEmissionClocks();
    MaterialObject material(&machine());
    ParticleObject particles(&machine(), &material, 8);
    for (int k = 1; k <= 4000; ++k)
        Testing::send(&particles, CommandKinds::Update(), static_cast<float>(k) * 0.0001f);
    Matrix projection = Matrix::identity(0.0f);
    projection.at(0, 0) = projection.at(1, 1) = 5.0f;
    projection.at(2, 2) = 0.5f;
    projection.at(3, 2) = 1.0f;
    Matrix world;
    world.m[12] = -2.4375f;
    world.m[14] = 10.0f;
    machine().setMatrix(&projection, MATRIX_PROJECTION);
    machine().setMatrix(&world, MATRIX_WORLD);
    Testing::send(&particles, CommandKinds::Draw());
    for (int x = 0; x < kSize; ++x) {
        const int offset = (x + 4) % 8;  // 0 at each sprite's centre column
        const bool inside = offset <= 2 || offset >= 6;
        EXPECT_EQ(pixel(x, 16)[0], inside ? 255 : 0) << "column " << x;
    }
    EXPECT_EQ(pixel(12, 12)[0], 0);
    EXPECT_EQ(pixel(12, 14)[0], 255);
}

}  // namespace
}  // namespace Vexa
