// The OpenGL machine's state operations, judged by the pixels they produce.
#include <GL/gl.h>

#include <cstring>
#include <functional>
#include <vector>

#include "Rendering/OpenGL/ExtensionsGL.h"
#include "Rendering/OpenGL/ProgramsGL.h"
#include "Rendering/OpenGL/UtilsGL.h"
#include "Support/MachineFixtureGL.h"

namespace Vexa {
namespace {

using Rgba = std::array<int, 4>;

const Color kRed{1, 0, 0, 1};
const Color kGreen{0, 1, 0, 1};
const Color kBlue{0, 0, 1, 1};
constexpr int kMid = MachineGLTest::kSize / 2;
constexpr int kLeft = 4;
constexpr int kRight = MachineGLTest::kSize - 5;

class RenderMachineGLTest : public MachineGLTest {
protected:
    void SetUp() override {
        setWindowViewport();
        MachineGLTest::SetUp();
    }

    void clear(const Color& color, float depth = 1, int stencil = 0) {
        machine().clear(CLEAR_COLOR | CLEAR_DEPTH | CLEAR_STENCIL, &color, depth, stencil);
    }

    void setWindowViewport(float width = 1, float height = 1) {
        Viewport viewport;
        viewport.target = &window();
        viewport.width = width;
        viewport.height = height;
        machine().setViewport(viewport);
    }

    static void expectPixel(int x, int y, const Rgba& expected, const std::string& what) {
        const Rgba actual = pixel(x, y);
        EXPECT_TRUE(near(actual, expected)) << what << ": " << describe(actual);
    }
};

TEST_F(RenderMachineGLTest, ViewportMapsRelativeSizeToPixelsAndScalesPointSize) {
    setWindowViewport(0.5f, 0.5f);
    EXPECT_EQ(machine().getWidth(), kMid);
    EXPECT_EQ(machine().getHeight(), kMid);
    machine().setPointSize(0.25f);
    GLfloat size = 0;
    glGetFloatv(GL_POINT_SIZE, &size);
    EXPECT_NEAR(size, kMid * 0.25f, 1e-4f);

    // The device viewport is the lower-left quarter.
    drawQuad(kGreen);
    setWindowViewport();
    expectPixel(kLeft, kRight, {0, 255, 0, 255}, "inside the viewport");
    expectPixel(kRight, kLeft, {0, 0, 0, 0}, "outside the viewport");
}

// A packed colour 0xAARRGGBB reaches the pixel channel for channel, from a
// stream written under a discarding lock.
TEST_F(RenderMachineGLTest, PackedVertexColoursKeepTheirChannels) {
    std::unique_ptr<VertexDeclaration> declaration(machine().createVertexDeclaration());
    declaration->append(VertexElement::POSITION, 2, 0);
    declaration->append(VertexElement::COLOR, kElementColor32, 0);
    std::unique_ptr<VertexStream> stream(machine().createVertexStream(1, 16, 5));
    const uint32_t point[4] = {0, 0, 0, 0x8010C0FF};  // at (0, 0, 0)
    std::memcpy(stream->lock(0, 1, kLockDiscard), point, 16);
    stream->unlock();
    machine().setPointSizeMax(100);
    machine().setPointSize(0.25f);
    machine().setVertexDeclaration(declaration.get());
    machine().setVertexStream(stream.get(), 0);
    machine().drawPrimitive(POINT_LIST, 0, 1);
    machine().setVertexStream(nullptr, 0);
    expectPixel(kMid, kMid, {16, 192, 255, 128}, "point");
}

TEST_F(RenderMachineGLTest, DepthFunctionDecidesWhichQuadSurvives) {
    const struct {
        bool test;
        int func;
        float clearDepth;
        Rgba expected;
    } cases[] = {
        {true, LESS, 1, {0, 255, 0, 255}},        // the far red quad fails
        {true, GREATER, 0, {255, 0, 0, 255}},     // the far red quad passes
        {true, LESSEQUAL, 0.5f, {0, 0, 0, 255}},  // both lie behind the cleared depth
        {false, LESS, 1, {255, 0, 0, 255}},       // no test: the last quad wins
    };
    for (const auto& c : cases) {
        clear(Color{0, 0, 0, 1}, c.clearDepth);
        machine().setDepthTest(c.test);
        machine().setDepthFunc(c.func);
        drawQuad(kGreen, 0.2f);
        drawQuad(kRed, 0.6f);
        expectPixel(kMid, kMid, c.expected, "func " + std::to_string(c.func));
    }
}

// Clockwise faces take the front operations, counter-clockwise ones the back
// operations; afterwards culling is off again, so both later full-screen
// quads (counter-clockwise) are drawn.
TEST_F(RenderMachineGLTest, TwoSidedStencilAppliesEachSidesOperations) {
    const struct {
        bool callerCulls;
        int cullingMode;
        int leftStencil;   // clockwise rectangle
        int rightStencil;  // counter-clockwise rectangle
    } cases[] = {
        {false, CCW, 6, 4},
        {true, CCW, 5, 4},  // one pass: the surviving faces get the back operations
        {true, CW, 6, 5},   // one pass: a plain draw with the front operations
    };
    for (const auto& c : cases) {
        clear(Color{0, 0, 0, 1}, 1, 5);
        machine().setStencilTest(true);
        machine().setTwoSidedStencil(true);
        machine().setStencilFunc(ALWAYS);
        machine().setStencilFuncBack(ALWAYS);
        machine().setStencilOp(STENCIL_KEEP, STENCIL_KEEP, STENCIL_INCRSAT);
        machine().setStencilOpBack(STENCIL_KEEP, STENCIL_KEEP, STENCIL_DECRSAT);
        machine().setCullingMode(c.cullingMode);
        machine().setCulling(c.callerCulls);
        drawRect(-1, -1, 0, 1, kRed, 0, true);
        drawRect(0, -1, 1, 1, kRed);

        machine().setCulling(false);
        machine().setTwoSidedStencil(false);
        machine().setStencilOp(STENCIL_KEEP, STENCIL_KEEP, STENCIL_KEEP);
        machine().setStencilFunc(EQUAL);
        machine().setStencilRef(c.leftStencil);
        drawQuad(kGreen);
        machine().setStencilRef(c.rightStencil);
        drawQuad(kBlue);
        SCOPED_TRACE(c.cullingMode * 2 + c.callerCulls);
        expectPixel(kLeft, kMid, {0, 255, 0, 255}, "left");
        expectPixel(kRight, kMid, {0, 0, 255, 255}, "right");
        machine().setStencilTest(false);
    }
}

TEST_F(RenderMachineGLTest, AlphaTestAndBlendingDecideWhatReachesTheTarget) {
    const struct {
        int alphaFunc;
        int source, destination, operation;
        Color blendColor;
        Rgba expected;
    } cases[] = {
        // destination (0.5, 0.5, 0), source (0.25, 0.5, 1, 0.5)
        {GREATER, ONE, ONE, ADD, {}, {128, 128, 0, 255}},  // alpha 0.5 is not above 0.5
        {ALWAYS, ONE, ONE, ADD, {}, {191, 255, 255, 0}},
        {ALWAYS, ONE, ONE, REVSUBTRACT, {}, {64, 0, 0, 0}},
        {ALWAYS, ONE, ONE, MAX, {}, {128, 128, 255, 0}},
        {ALWAYS, SRCALPHA, INVSRCALPHA, ADD, {}, {96, 128, 128, 0}},
        {ALWAYS, BLENDFACTOR, ZERO, ADD, {1, 0.5f, 0.25f, 1}, {64, 64, 64, 0}},
        {ALWAYS, ZERO, INVBLENDFACTOR, ADD, {0.5f, 0, 1, 1}, {64, 128, 0, 0}},
    };
    for (const auto& c : cases) {
        clear(Color{0.5f, 0.5f, 0, 1});
        machine().setAlphaTest(true);
        machine().setAlphaFunc(c.alphaFunc, 0.5f);
        machine().setBlend(true);
        machine().setBlendFunc(c.source, c.destination);
        machine().setBlendOperation(c.operation);
        machine().setBlendColor(&c.blendColor);
        drawQuad({0.25f, 0.5f, 1, 0.5f});
        Rgba actual = pixel(kMid, kMid);
        actual[3] = c.expected[3];  // the target's alpha is not compared
        EXPECT_TRUE(near(actual, c.expected))
            << c.alphaFunc << " " << c.source << "/" << c.destination << " " << c.operation;
    }
}

Matrix translation(float x) {
    Matrix m = Matrix::identity();
    m.at(0, 3) = x;
    return m;
}

// A bias acts only while polygon offsetting is on; the constant is the
// offset in units and the slope-scaled part the factor.
TEST_F(RenderMachineGLTest, DepthBiasSwitchesPolygonOffsetWithItsValue) {
    machine().setDepthBias(2, 0.5f);
    GLfloat units = 0, factor = 0;
    glGetFloatv(GL_POLYGON_OFFSET_UNITS, &units);
    glGetFloatv(GL_POLYGON_OFFSET_FACTOR, &factor);
    EXPECT_TRUE(glIsEnabled(GL_POLYGON_OFFSET_FILL) && glIsEnabled(GL_POLYGON_OFFSET_LINE));
    EXPECT_TRUE(units == 2.0f && factor == 0.5f) << units << " " << factor;
    machine().setDepthBias(0, 0);
    EXPECT_FALSE(glIsEnabled(GL_POLYGON_OFFSET_FILL) || glIsEnabled(GL_POLYGON_OFFSET_POINT));
}

// A quad at the origin moved by 1 and then halved lands at 0.5, not at 1.
TEST_F(RenderMachineGLTest, ModelviewAppliesWorldBeforeView) {
    const Matrix world = translation(1);
    Matrix view = Matrix::identity(0.5f);
    view.at(3, 3) = 1;
    machine().setMatrix(&world, MATRIX_WORLD);
    machine().setMatrix(&view, MATRIX_VIEW);
    drawRect(-0.25f, -0.25f, 0.25f, 0.25f, kGreen);
    expectPixel(kSize * 3 / 4, kMid, {0, 255, 0, 255}, "x = 0.5");

    const Matrix before = *machine().getMatrix(MATRIX_WORLD);
    EXPECT_EQ(messageOf([&] { machine().setMatrix(&view, 3); }), "Bad matrix type.");
    EXPECT_EQ(messageOf([&] { machine().multMatrix(&view, 3); }), "Bad matrix type.");
    EXPECT_EQ(std::memcmp(machine().getMatrix(MATRIX_WORLD)->m, before.m, sizeof(before.m)), 0);

    // multMatrix multiplies on the right: world = translate(1) * translate(-1.5).
    const Matrix back = translation(-1.5f);
    machine().multMatrix(&back, MATRIX_WORLD);
    clear(Color{0, 0, 0, 1});
    drawRect(-0.25f, -0.25f, 0.25f, 0.25f, kGreen);
    expectPixel(kSize * 3 / 8, kMid, {0, 255, 0, 255}, "x = -0.25");
}

TEST_F(RenderMachineGLTest, ProgramsReplaceFixedFunctionUntilUnset) {
    std::unique_ptr<VertexShader> vertexShader(
        machine().createVertexShader("!!ARBvp1.0\nPARAM m[4] = { program.env[0..3] };\n"
                                     "DP4 result.position.x, m[0], vertex.position;\n"
                                     "DP4 result.position.y, m[1], vertex.position;\n"
                                     "DP4 result.position.z, m[2], vertex.position;\n"
                                     "DP4 result.position.w, m[3], vertex.position;\n"
                                     "MOV result.color, program.env[4];\nEND\n"));
    const Matrix world = translation(0.5f);
    machine().setMatrix(&world, MATRIX_WORLD);
    machine().setVertexShader(vertexShader.get());
    machine().setVertexConstantMatrix(0, 0);
    const float blue[4] = {0, 0, 1, 1};
    machine().setVertexConstantF(4, blue, 1);
    drawRect(-0.25f, -0.25f, 0.25f, 0.25f, kRed);
    machine().setVertexShader(nullptr);
    expectPixel(kSize * 3 / 4, kMid, {0, 0, 255, 255}, "moved and coloured by the vertex program");
    expectPixel(kMid, kMid, {0, 0, 0, 0}, "untransformed place");

    std::unique_ptr<PixelShader> pixelShader(
        machine().createPixelShader("!!ARBfp1.0\nMOV result.color, program.env[2];\nEND\n"));
    const float yellow[4] = {1, 1, 0, 1};
    machine().setPixelConstantF(2, yellow, 1);
    machine().setPixelShader(pixelShader.get());
    drawQuad(kBlue);
    machine().setPixelShader(nullptr);
    expectPixel(kMid, kMid, {255, 255, 0, 255}, "fragment program colour");
    drawQuad(kBlue);
    expectPixel(kMid, kMid, {0, 0, 255, 255}, "fixed function again");

    // Programs destroyed while set leave the fixed stages, not a dead program.
    machine().setVertexShader(vertexShader.get());
    machine().setPixelShader(pixelShader.get());
    vertexShader.reset();
    pixelShader.reset();
    drawQuad(kGreen);
    expectPixel(kMid, kMid, {0, 255, 0, 255}, "fixed function after the programs are gone");
}

// The driver decides the position it reports; the message must show it,
// the driver's text, and the program marked at exactly that place.
TEST_F(RenderMachineGLTest, ProgramErrorShowsPositionAndMarksTheText) {
    const std::string text = "!!ARBvp1.0\nMOV result.position, vertex.position;\nEND\n";
    std::string broken = text;
    broken[2] = '#';
    const std::string message =
        messageOf([&] { delete machine().createVertexShader(broken.c_str()); });
    const std::string prefix = "loadProgram: error at position: ";
    ASSERT_EQ(message.rfind(prefix, 0), 0u) << message;
    const size_t firstBreak = message.find('\n');
    const int position = std::stoi(message.substr(prefix.size(), firstBreak - prefix.size()));
    ASSERT_TRUE(position >= 0 && position <= 2) << position;
    const std::string marked = broken.substr(0, position) + " ^^^ " + broken.substr(position);
    ASSERT_GT(message.size(), firstBreak + 1 + marked.size() + 1) << "driver's error text";
    EXPECT_EQ(message.substr(message.size() - marked.size() - 1), "\n" + marked) << message;

    // A failed load leaves the program that was bound before.
    std::unique_ptr<VertexShader> good(machine().createVertexShader(text.c_str()));
    machine().setVertexShader(good.get());
    const GLuint bound = boundProgramGL(GL_VERTEX_PROGRAM_ARB);
    messageOf([&] { delete machine().createVertexShader(broken.c_str()); });
    EXPECT_EQ(boundProgramGL(GL_VERTEX_PROGRAM_ARB), bound);
    GLint deviceBound = 0;
    gl().glGetProgramivARB(GL_VERTEX_PROGRAM_ARB, GL_PROGRAM_BINDING_ARB, &deviceBound);
    EXPECT_EQ(static_cast<GLuint>(deviceBound), bound);
    machine().setVertexShader(nullptr);
}

TEST(ProgramErrorMessage, ClampsTheMarkerToTheText) {
    EXPECT_EQ(programErrorMessage("abc", 9, "bad"),
              "loadProgram: error at position: 9\nbad\nabc ^^^ ");
    EXPECT_EQ(programErrorMessage("abc", -1, "bad"),
              "loadProgram: error at position: -1\nbad\n ^^^ abc");
}

// Drawing into a memory or texture target leaves the window alone, and
// setting the window's viewport again draws into the window.
TEST_F(RenderMachineGLTest, OffscreenTargetsKeepTheirOwnPixels) {
    std::unique_ptr<RenderMemory> memory(machine().createRenderMemory(32, 16, nullptr));
    clear(kBlue);
    Viewport viewport;
    viewport.target = memory.get();
    machine().setViewport(viewport);
    EXPECT_EQ(machine().getWidth(), 32);
    EXPECT_EQ(machine().getHeight(), 16);
    clear(Color{0, 0, 0, 1});
    drawRect(-1, -1, 0, 1, kGreen);
    memory->present();
    const auto at = [&](int x) {
        const uint8_t* p = memory->buffer() + (8 * 32 + x) * 4;
        return Rgba{p[0], p[1], p[2], p[3]};
    };
    EXPECT_TRUE(near(at(2), {0, 255, 0, 255})) << describe(at(2));
    EXPECT_TRUE(near(at(30), {0, 0, 0, 255})) << describe(at(30));

    std::vector<uint8_t> own(8 * 8 * 4, 7);
    std::unique_ptr<RenderMemory> given(machine().createRenderMemory(8, 8, own.data()));
    viewport.target = given.get();
    machine().setViewport(viewport);
    clear(kRed);
    given->present();
    EXPECT_TRUE(own[0] == 255 && own[1] == 0) << int(own[0]) << " " << int(own[1]);

    Texture* raw = nullptr;
    std::unique_ptr<TextureTarget> target(
        machine().createTextureTarget(16, 16, FORMAT_ARGB8, &raw));
    std::unique_ptr<Texture> texture(raw);
    viewport.target = target.get();
    machine().setViewport(viewport);
    clear(Color{1, 0, 1, 1});
    target->present();

    setWindowViewport();
    expectPixel(kMid, kMid, {0, 0, 255, 255}, "window untouched by the off-screen targets");
    machine().setTexture(0, texture.get());
    drawQuad();
    machine().setTexture(0, nullptr);
    expectPixel(kMid, kMid, {255, 0, 255, 255}, "texture filled by the target");
}

TEST_F(RenderMachineGLTest, SnapshotNamesValuesAndFollowsChanges) {
    std::unique_ptr<RenderState> state(machine().createState());
    ASSERT_NE(state, nullptr);
    const auto value = [&](const std::string& name) {
        for (const auto& entry : state->entries())
            if (entry.name == name) return entry.value;
        return std::string("(missing)");
    };
    EXPECT_EQ(value("BLEND_EQUATION"), "FUNC_ADD");
    EXPECT_EQ(value("VIEWPORT"), "0 0 32 32");

    machine().setBlend(true);
    machine().setBlendOperation(MAX);
    machine().setFillMode(WIREFRAME);
    // With the master switch off, the mask alone still switches planes.
    machine().setClipPlanes(false);
    machine().setClipPlaneMask(5);
    machine().captureState(state.get());
    const std::pair<const char*, const char*> changed[] = {
        {"BLEND", "true"},       {"BLEND_EQUATION", "MAX"}, {"POLYGON_MODE", "LINE LINE"},
        {"CLIP_PLANE0", "true"}, {"CLIP_PLANE1", "false"},  {"CLIP_PLANE2", "true"},
    };
    for (const auto& [name, expected] : changed) EXPECT_EQ(value(name), expected) << name;
    machine().setClipPlaneMask(0);
}

TEST_F(RenderMachineGLTest, OutOfRangeArgumentsFailWithTheirMessages) {
    const struct {
        std::function<void(RenderMachine&)> call;
        const char* message;
    } cases[] = {
        {[](RenderMachine& m) { m.setDepthFunc(8); }, "Invalid compare function"},
        {[](RenderMachine& m) { m.setBlendFunc(13, ONE); }, "Invalid blend mode"},
        {[](RenderMachine& m) { m.setBlendOperation(5); }, "Invalid blend operation"},
        {[](RenderMachine& m) { m.setStencilOp(0, STENCIL_KEEP, STENCIL_KEEP); },
         "Invalid stencil operation"},
        {[](RenderMachine& m) { m.setFillMode(3); }, "setFillMode: Unknown fill mode."},
        {[](RenderMachine& m) { m.setFogMode(3); }, "Invalid fog mode"},
        {[](RenderMachine& m) { m.setCullingMode(2); }, "Invalid culling mode"},
        {[](RenderMachine& m) { m.setColorMaterial(6); },
         "setColorMaterial: Unknown color material destination."},
        {[](RenderMachine& m) { m.setTextureCoordGen(0, 5); }, "Invalid texgen mode"},
        {[](RenderMachine& m) { m.setTextureMatrix(8, nullptr); }, "texNum >= maxTextureUnits"},
        {[](RenderMachine& m) { m.drawPrimitive(6, 0, 1); },
         "RenderMachineGL::getMode: Unknown primitive type.\n"},
        {[](RenderMachine& m) { m.enableFogVertexMode(false); },
         "enableFogVertexMode: what should I do???"},
        {[](RenderMachine& m) { m.setVertexConstantB(0, nullptr, 0); },
         "RenderMachineGL::setVertexConstantB: Not supported"},
        {[](RenderMachine& m) { m.setVertexConstantMatrix(0, 4); }, "Invalid parameter name."},
    };
    for (const auto& c : cases) EXPECT_EQ(messageOf([&] { c.call(machine()); }), c.message);
}

// A value OpenGL itself refuses comes back under the error's name; debug
// builds also say which call failed and where.
TEST_F(RenderMachineGLTest, OpenGLErrorsAreReportedByName) {
    const Plane plane;
    testing::internal::CaptureStderr();
    EXPECT_EQ(messageOf([&] { machine().setClipPlane(1000, &plane); }), "GL_INVALID_ENUM");
    const std::string said = testing::internal::GetCapturedStderr();
#ifdef NDEBUG
    EXPECT_EQ(said, "");
#else
    EXPECT_NE(said.find("RenderMachineGL.cpp:"), std::string::npos) << said;
    EXPECT_NE(said.find("glClipPlane("), std::string::npos) << said;
#endif
    // The error is reported once: the next call goes through.
    EXPECT_EQ(messageOf([&] { machine().setClipPlane(0, &plane); }), "no error");
    EXPECT_EQ(errorTextGL(0x0506), "GL error 0x0506");
}

TEST(ExtensionWord, MatchesWholeBlankSeparatedWordsOnly) {
    const std::string extensions = "GL_EXT_bgra GL_ARB_multitexture GL_NV_fog_distance";
    const std::pair<const char*, bool> cases[] = {
        {"GL_ARB_multitexture", true},
        {"GL_NV_fog_distance", true},
        {"GL_EXT_bgr", false},
        {"EXT_bgra", false},
        {"", false},
        {"GL_EXT_bgra GL_ARB_multitexture", false},
    };
    for (const auto& [name, found] : cases)
        EXPECT_EQ(hasExtensionWord(extensions, name), found) << name;
}

}  // namespace
}  // namespace Vexa
