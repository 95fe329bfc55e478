// The graphics system, render targets, textures, render-state commands and
// blits, driven from scripts against the recording render machine.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Parser/Functions/Blits.h"
#include "Parser/Functions/Diagnostics.h"
#include "Parser/Functions/RenderingObjects.h"
#include "Parser/IniCommands.h"
#include "Support/RecordingScriptTest.h"
#include "Support/TestKit.h"

namespace Vexa {
namespace {

class RenderingObjectsTest : public Testing::RecordingScriptTest {
protected:
    RenderingObjectsTest() {
        m_width = 640;
        m_height = 480;
    }
    IniObject* lookup(const char* name) { return parser().lookup(name); }
    void send(IniObject* target, const CommandKind* kind) { Testing::send(target, kind); }
    void sendTo(const char* name, IniObject* command) {
        lookup(name)->execute(*static_cast<CommandObject*>(command));
    }
    std::vector<std::string> take() { return m_machine->takeLog(); }
};

TEST_F(RenderingObjectsTest, GraphicsSystemAppliesRenderStateCommands) {
    const struct {
        const char* expression;
        std::vector<std::string> calls;
    } cases[] = {
        {"DepthTest 0", {"setDepthTest(0)", "setDepthWrite(1)"}},
        {"DepthTest ( 1 0 )", {"setDepthTest(1)", "setDepthWrite(0)"}},
        {"SetCulling { enable = 1 }", {"setCulling(1)", "setCullingMode(CW)"}},
        {"SetCulling { enable = 0 mode = \"CCW\" }", {"setCulling(0)", "setCullingMode(CCW)"}},
        {"ColorWriteMask ( 1 0 1 0 )", {"setColorWriteMask(1, 0, 1, 0)"}},
        {"DepthBias { constant = 2 linear = 0.5 }", {"setDepthBias(2, 0.5)"}},
        {"DepthFunc { }", {"setDepthFunc(LESS)"}},
        {"DepthFunc { func = \"GREATEREQUAL\" }", {"setDepthFunc(GREATEREQUAL)"}},
        {"SetFillMode { mode = \"WIREFRAME\" }", {"setFillMode(WIREFRAME)"}},
        {"ClearScreen { color = < 1 0.5 0 1 > }", {"clear(3, (1 0.5 0 1), 1, 0)"}},
        {"ClearScreen { clear_color = 0 clear_stencil = 1 stencil = 7 depth = 0.5 }",
         {"clear(6, (0 0 0 0), 0.5, 7)"}},
        {"BeginScene ()", {"beginScene()"}},
        {"EndScene ()", {"endScene()"}},
        {"Draw ()", {}},
    };
    for (const auto& c : cases) {
        sendTo("graphicsSystem", eval(c.expression));
        EXPECT_EQ(take(), c.calls) << c.expression;
    }
}

TEST_F(RenderingObjectsTest, AnimatedClearColourStaysLive) {
    parser().parseString(
        "e = Envelope4d { type = \"LINEAR\" key = ( 0 < 0 0 0 0 > 1 < 1 1 1 1 > ) }"
        "c = ClearScreen { color = e }");
    Testing::send(lookup("e"), CommandKinds::Update(), 0.5f);
    sendTo("graphicsSystem", lookup("c"));
    EXPECT_EQ(take(), std::vector<std::string>{"clear(3, (0.5 0.5 0.5 0.5), 1, 0)"});
}

TEST_F(RenderingObjectsTest, GraphicsSystemOpensItsWindowAndFirstViewport) {
    auto* graphics = static_cast<GraphicsSystemObject*>(
        eval("GraphicsSystem { type = \"gl\" width = 320 height = 200 fullscreen = 1 }"));
    auto* machine = static_cast<RecordingRenderMachine*>(graphics->renderMachine());
    const std::vector<std::string> log = machine->takeLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].rfind("createWindow(", 0), 0u) << log[0];
    EXPECT_NE(log[0].find("320"), std::string::npos) << log[0];
    EXPECT_EQ(log[1].rfind("setViewport(", 0), 0u) << log[1];
    EXPECT_EQ(log[2], "setDepthTest(1)");
    EXPECT_EQ(graphics->screenViewport().target, graphics->window());
}

TEST_F(RenderingObjectsTest, ViewportsAndTargetsPresentOnDraw) {
    parser().parseString(
        "screen = MainWindow { }"
        "half = SetViewport { target = screen x = 0 y = 0 width = 0.5 height = 0.5 }"
        "tex = Texture2D { targetable = 1 width = 64 height = 32 }"
        "into = TextureTarget { texture = tex }"
        "onto = SetViewport { target = into }");
    sendTo("graphicsSystem", lookup("half"));
    EXPECT_EQ(m_machine->viewportPixels().width, 320);
    EXPECT_EQ(m_machine->viewportPixels().height, 240);
    send(lookup("screen"), CommandKinds::Draw());
    EXPECT_EQ(take().back(), "win1.present()");

    send(lookup("tex"), CommandKinds::Load());
    EXPECT_EQ(take(),
              std::vector<std::string>{"createTextureTarget(64, 32, ARGB8) -> target1 tex1"});
    sendTo("graphicsSystem", lookup("onto"));
    EXPECT_EQ(m_machine->viewportPixels().width, 64);
    send(lookup("into"), CommandKinds::Draw());
    EXPECT_EQ(take().back(), "target1.present()");
    send(lookup("tex"), CommandKinds::Unload());
    EXPECT_EQ(take(), (std::vector<std::string>{"delete target1", "delete tex1"}));
}

TEST_F(RenderingObjectsTest, StateItemsApplyOnEveryDraw) {
    IniObject* ccw = eval("State { cullingMode = 1 }");
    send(ccw, CommandKinds::Draw());
    send(ccw, CommandKinds::Draw());
    IniObject* cw = eval("State { cullingMode = 2 }");
    send(cw, CommandKinds::Draw());
    send(cw, CommandKinds::Update());
    EXPECT_EQ(take(), (std::vector<std::string>{"setCullingMode(CCW)", "setCullingMode(CCW)",
                                                "setCullingMode(CW)"}));
}

TEST_F(RenderingObjectsTest, SimpleBlitAndSkyBoxDrawTheirFixedMeshes) {
    IniObject* quad = eval("SimpleBlit { }");
    send(quad, CommandKinds::Load());
    take();
    send(quad, CommandKinds::Draw());
    EXPECT_EQ(take(),
              (std::vector<std::string>{"setVertexDeclaration(decl1)", "setVertexStream(vbuf1, 0)",
                                        "setIndexStream(ibuf1)",
                                        "drawIndexedPrimitive(TRIANGLE_LIST, 0, 0, 4, 0, 2)"}));
    IniObject* sky = eval("SkyBox { }");
    send(sky, CommandKinds::Draw());
    EXPECT_EQ(take().back(), "drawIndexedPrimitive(TRIANGLE_LIST, 0, 0, 8, 0, 12)");
}

// The blit sets blending, depth and its texture for its own draw only.
TEST_F(RenderingObjectsTest, BlitSetsItsOwnStateAroundTheDraw) {
    const TempDir folder;
    folder.write("pic.png", "");
    parser().parseString("pic = Texture2D { directory = \"" + folder.path() +
                         "\" file = File \"pic.png\" }");
    IniObject* blit =
        eval("Blit { texture = pic center = < 0 0 > dimensions = < 2 2 > blend_dst = \"ONE\" }");
    send(lookup("pic"), CommandKinds::Load());
    take();
    send(blit, CommandKinds::Draw());
    const std::vector<std::string> log = take();
    const auto at = [&](const std::string& line) {
        return std::find(log.begin(), log.end(), line) - log.begin();
    };
    const auto draw = at("drawIndexedPrimitive(TRIANGLE_LIST, 0, 0, 4, 0, 2)");
    ASSERT_LT(draw, static_cast<std::ptrdiff_t>(log.size()));
    for (const char* before :
         {"setBlend(1)", "setBlendFunc(ONE, ONE)", "setDepthTest(0)", "setTexture(0, tex1)"})
        EXPECT_LT(at(before), draw) << before;
    EXPECT_EQ(std::vector<std::string>(log.begin() + draw + 1, log.end()),
              (std::vector<std::string>{"setTexture(0, null)", "setBlend(0)", "setDepthTest(1)"}));
}

TEST_F(RenderingObjectsTest, TestRotaterTurnsTheWorldMatrixOnEveryDraw) {
    parser().parseString(
        "spin = 0 r = TestRotater { scale = 2 angle = 1.5707964 axis = < 0 0 3 > }");
    send(lookup("r"), CommandKinds::Update());
    EXPECT_TRUE(take().empty());
    send(lookup("r"), CommandKinds::Draw());
    const Matrix& world = *m_machine->getMatrix(MATRIX_WORLD);
    // A quarter turn about z, twice as large: x goes to 2y, y to -2x.
    const float expected[4][4] = {{0, -2, 0, 0}, {2, 0, 0, 0}, {0, 0, 2, 0}, {0, 0, 0, 1}};
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            EXPECT_NEAR(world.at(row, column), expected[row][column], 1e-5f)
                << row << "," << column;
    send(lookup("r"), CommandKinds::Draw());
    EXPECT_NEAR(m_machine->getMatrix(MATRIX_WORLD)->at(0, 0), -4.0f, 1e-5f);
}

TEST_F(RenderingObjectsTest, RenderStatesPrintAndCompareTheirSnapshots) {
    parser().parseString("a = RenderState { } b = RenderState { } diff = CompareState b");
    IniObject* a = lookup("a");
    EXPECT_EQ(Testing::printed(a, SimpleCommand(0, CommandKinds::Print())),
              "DEPTH_TESTtrue\nDEPTH_FUNCLESS\n");
    EXPECT_EQ(
        Testing::printed(a, CompareStateCommand(static_cast<RenderStateObject*>(lookup("b")))), "");
    m_machine->setDepthTest(false);
    m_machine->setDepthFunc(GREATER);
    send(a, CommandKinds::StoreState());
    EXPECT_EQ(
        Testing::printed(a, CompareStateCommand(static_cast<RenderStateObject*>(lookup("b")))),
        "Differences:\n  DEPTH_TESTfalse <> true\n  DEPTH_FUNCGREATER <> LESS\n");
}

TEST(BlitCorners, RotationAndYScaleShapeTheQuad) {
    const float quarter = 1.5707964f;
    const struct {
        Vec2f center, size;
        const float* rotation;
        float yscale;
        float corners[4][2];
    } cases[] = {
        {{{0, 0}}, {{2, 2}}, nullptr, 1, {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}}},
        // Two wide and one tall, turned a quarter: one wide and two tall.
        {{{0, 0}}, {{2, 1}}, &quarter, 1, {{0.5f, -1}, {0.5f, 1}, {-0.5f, 1}, {-0.5f, -1}}},
        {{{1, 2}}, {{2, 2}}, nullptr, 0.5f, {{0, 1.5f}, {2, 1.5f}, {2, 2.5f}, {0, 2.5f}}},
    };
    for (const auto& c : cases) {
        const std::array<Vec2f, 4> got = blitCorners(c.center, c.size, c.rotation, c.yscale);
        for (std::size_t i = 0; i < 4; ++i)
            for (std::size_t k = 0; k < 2; ++k)
                EXPECT_NEAR(got[i][k], c.corners[i][k], 1e-5f) << i << "," << k;
    }
}

}  // namespace
}  // namespace Vexa
