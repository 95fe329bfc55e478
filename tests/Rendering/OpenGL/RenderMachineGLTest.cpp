#include "Rendering/OpenGL/RenderMachineGL.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Parser/Exceptions.h"
#include "Rendering/OpenGL/ExtensionsGL.h"
#include "Rendering/OpenGL/ProgramsGL.h"

namespace Vexa {
namespace {

struct Vertex {
    float x, y, z;
    float r, g, b, a;
};

struct Rgba {
    int r, g, b, a;
};

constexpr int kWidth = 640;
constexpr int kHeight = 480;

// One machine and window for the whole suite (a GL context per test would be
// slow); every test starts from the default state and a full viewport.
class RenderMachineGLTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_machine = new RenderMachineGL();
        WindowParameters parameters;
        parameters.width = kWidth;
        parameters.height = kHeight;
        s_window = s_machine->createWindow(parameters);
    }
    static void TearDownTestSuite() {
        delete s_machine;
        delete s_window;
        s_machine = nullptr;
        s_window = nullptr;
    }

    void SetUp() override {
        setFullViewport();
        machine().setDefaultState();
        machine().setCulling(false);
        machine().setDepthTest(false);
    }

    void TearDown() override {
        machine().setVertexStream(nullptr, 0);
        machine().setVertexDeclaration(nullptr);
        machine().setIndexStream(nullptr);
    }

    static RenderMachineGL& machine() { return *s_machine; }

    void setFullViewport() {
        Viewport viewport;
        viewport.target = s_window;
        machine().setViewport(viewport);
    }

    void clear(float r, float g, float b, float a = 1) {
        const Color color{r, g, b, a};
        machine().clear(CLEAR_COLOR | CLEAR_DEPTH | CLEAR_STENCIL, &color, 1.0f, 0);
    }

    Rgba pixel(int x, int y) {
        uint8_t bytes[4] = {};
        machine().readPixels(bytes, x, y, 1, 1);
        return {bytes[0], bytes[1], bytes[2], bytes[3]};
    }

    // Draws the vertices as one stream of position and colour.
    void draw(unsigned type, const std::vector<Vertex>& vertices, int primitives) {
        std::unique_ptr<VertexDeclaration> declaration(machine().createVertexDeclaration());
        declaration->append(VertexElement::POSITION, 2, 0);
        declaration->append(VertexElement::COLOR, 3, 0);
        ASSERT_EQ(declaration->stride(), static_cast<int>(sizeof(Vertex)));
        std::unique_ptr<VertexStream> stream(
            machine().createVertexStream(static_cast<int>(vertices.size()), sizeof(Vertex), 0));
        std::memcpy(stream->lock(0u), vertices.data(), vertices.size() * sizeof(Vertex));
        stream->unlock();
        machine().setVertexStream(stream.get(), 0);
        machine().setVertexDeclaration(declaration.get());
        machine().drawPrimitive(type, 0, primitives);
        machine().setVertexStream(nullptr, 0);
        machine().setVertexDeclaration(nullptr);
    }

    // An axis-aligned rectangle in clip space, counter-clockwise on screen
    // unless `clockwise`.
    void rect(float x0, float y0, float x1, float y1, float z, Color c, bool clockwise = false) {
        std::vector<Vertex> v = {
            {x0, y0, z, c.r, c.g, c.b, c.a}, {x1, y0, z, c.r, c.g, c.b, c.a},
            {x1, y1, z, c.r, c.g, c.b, c.a}, {x0, y1, z, c.r, c.g, c.b, c.a},
        };
        if (clockwise)
            std::swap(v[1], v[3]);
        draw(TRIANGLE_FAN, v, 2);
    }

    void fullScreen(float z, Color c) { rect(-1, -1, 1, 1, z, c); }

    static std::string messageOf(const std::function<void()>& action) {
        try {
            action();
        } catch (const Exception& e) {
            return e.message();
        }
        return "(no exception)";
    }

    static RenderMachineGL* s_machine;
    static Window* s_window;
};

RenderMachineGL* RenderMachineGLTest::s_machine = nullptr;
Window* RenderMachineGLTest::s_window = nullptr;

void expectPixel(const Rgba& actual, const Rgba& expected, const std::string& what) {
    const auto near = [](int a, int b) { return a - b <= 2 && b - a <= 2; };
    EXPECT_TRUE(near(actual.r, expected.r) && near(actual.g, expected.g) && near(actual.b, expected.b))
        << what << ": got " << actual.r << "," << actual.g << "," << actual.b << " expected " << expected.r
        << "," << expected.g << "," << expected.b;
}

const Color kRed{1, 0, 0, 1};
const Color kGreen{0, 1, 0, 1};
const Color kBlue{0, 0, 1, 1};

TEST_F(RenderMachineGLTest, ClearFillsTheWholeTargetWithTheColour) {
    const struct {
        Color color;
        Rgba expected;
    } cases[] = {
        {{1, 0, 0, 1}, {255, 0, 0, 255}},
        {{0, 0.5f, 1, 1}, {0, 128, 255, 255}},
        {{0.25f, 0.75f, 0, 1}, {64, 191, 0, 255}},
    };
    for (const auto& c : cases) {
        clear(c.color.r, c.color.g, c.color.b);
        expectPixel(pixel(0, 0), c.expected, "corner");
        expectPixel(pixel(kWidth - 1, kHeight - 1), c.expected, "opposite corner");
    }
}

TEST_F(RenderMachineGLTest, ViewportMapsRelativeSizeToPixelsAndScalesPointSize) {
    Viewport viewport;
    viewport.target = s_window;
    viewport.width = 0.5f;
    viewport.height = 0.5f;
    machine().setViewport(viewport);
    EXPECT_EQ(machine().getWidth(), 320);
    EXPECT_EQ(machine().getHeight(), 240);

    machine().setPointSize(0.01f);
    GLfloat size = 0;
    glGetFloatv(GL_POINT_SIZE, &size);
    EXPECT_NEAR(size, 2.4f, 1e-4f);

    // The device viewport is the lower-left quarter: a full-screen quad in
    // clip space covers only that.
    clear(0, 0, 0);
    fullScreen(0, kGreen);
    expectPixel(pixel(100, 100), {0, 255, 0, 255}, "inside the viewport");
    expectPixel(pixel(400, 300), {0, 0, 0, 255}, "outside the viewport");
}

TEST_F(RenderMachineGLTest, DrawsTrianglesFromStreamsAndIndexStreams) {
    clear(0, 0, 0);
    draw(TRIANGLE_LIST, {{-1, -1, 0, 1, 0, 0, 1}, {0, -1, 0, 1, 0, 0, 1}, {-1, 0, 0, 1, 0, 0, 1}}, 1);
    expectPixel(pixel(20, 20), {255, 0, 0, 255}, "inside the triangle");
    expectPixel(pixel(300, 200), {0, 0, 0, 255}, "beyond its hypotenuse");

    // A quad on the right half from four vertices and six 16-bit indices.
    const Vertex vertices[] = {
        {0, -1, 0, 0, 0, 1, 1}, {1, -1, 0, 0, 0, 1, 1}, {1, 1, 0, 0, 0, 1, 1}, {0, 1, 0, 0, 0, 1, 1}};
    std::unique_ptr<VertexStream> stream(machine().createVertexStream(4, sizeof(Vertex), 1));
    std::memcpy(stream->lock(0u), vertices, sizeof(vertices));
    stream->unlock();
    std::unique_ptr<IndexStream> indices(machine().createIndexStream(6, 0));
    ASSERT_EQ(indices->indexSize(), 2);
    const uint16_t order[] = {0, 1, 2, 0, 2, 3};
    std::memcpy(indices->lock(0u), order, sizeof(order));
    indices->unlock();
    std::unique_ptr<VertexDeclaration> declaration(machine().createVertexDeclaration());
    declaration->append(VertexElement::POSITION, 2, 0);
    declaration->append(VertexElement::COLOR, 3, 0);
    machine().setVertexStream(stream.get(), 0);
    machine().setVertexDeclaration(declaration.get());
    machine().setIndexStream(indices.get());
    machine().drawIndexedPrimitive(TRIANGLE_LIST, 0, 0, 4, 0, 2);
    expectPixel(pixel(600, 50), {0, 0, 255, 255}, "lower right of the quad");
    expectPixel(pixel(600, 450), {0, 0, 255, 255}, "upper right of the quad");
    expectPixel(pixel(20, 450), {0, 0, 0, 255}, "left half");
}

TEST_F(RenderMachineGLTest, DepthFunctionDecidesWhichQuadSurvives) {
    const struct {
        bool test;
        int func;
        float clearDepth;
        Rgba expected;
    } cases[] = {
        {true, LESS, 1, {0, 255, 0, 255}},       // the far red quad fails
        {true, GREATER, 0, {255, 0, 0, 255}},    // the far red quad passes
        {true, LESSEQUAL, 0.5f, {0, 0, 0, 255}}, // both lie behind the cleared depth
        {false, LESS, 1, {255, 0, 0, 255}},      // no test: the last quad wins
    };
    for (const auto& c : cases) {
        const Color black{0, 0, 0, 1};
        machine().clear(CLEAR_COLOR | CLEAR_DEPTH, &black, c.clearDepth, 0);
        machine().setDepthTest(c.test);
        machine().setDepthFunc(c.func);
        fullScreen(0.2f, kGreen);
        fullScreen(0.6f, kRed);
        expectPixel(pixel(320, 240), c.expected, "func " + std::to_string(c.func));
    }
}

TEST_F(RenderMachineGLTest, StencilMarksAndMasksDrawing) {
    clear(0, 0, 0);
    machine().setStencilTest(true);
    machine().setStencilRef(1);
    machine().setStencilOp(STENCIL_KEEP, STENCIL_KEEP, STENCIL_REPLACE);
    machine().setColorWriteMask(false, false, false, false);
    rect(-1, -1, 0, 1, 0, kRed);
    machine().setColorWriteMask(true, true, true, true);
    machine().setStencilOp(STENCIL_KEEP, STENCIL_KEEP, STENCIL_KEEP);
    machine().setStencilFunc(EQUAL);
    fullScreen(0, kBlue);
    expectPixel(pixel(100, 240), {0, 0, 255, 255}, "marked half");
    expectPixel(pixel(500, 240), {0, 0, 0, 255}, "unmarked half");
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
        const Color color{0, 0, 0, 1};
        machine().clear(CLEAR_COLOR | CLEAR_STENCIL, &color, 1, 5);
        machine().setStencilTest(true);
        machine().setTwoSidedStencil(true);
        machine().setStencilFunc(ALWAYS);
        machine().setStencilFuncBack(ALWAYS);
        machine().setStencilOp(STENCIL_KEEP, STENCIL_KEEP, STENCIL_INCRSAT);
        machine().setStencilOpBack(STENCIL_KEEP, STENCIL_KEEP, STENCIL_DECRSAT);
        machine().setCullingMode(c.cullingMode);
        machine().setCulling(c.callerCulls);
        rect(-1, -1, 0, 1, 0, kRed, true);
        rect(0, -1, 1, 1, 0, kRed, false);

        machine().setCulling(false);
        machine().setTwoSidedStencil(false);
        machine().setStencilOp(STENCIL_KEEP, STENCIL_KEEP, STENCIL_KEEP);
        machine().setStencilFunc(EQUAL);
        machine().setStencilRef(c.leftStencil);
        fullScreen(0, kGreen);
        machine().setStencilRef(c.rightStencil);
        fullScreen(0, kBlue);
        const std::string label = "culling " + std::to_string(c.callerCulls) + " mode " +
                                  std::to_string(c.cullingMode);
        expectPixel(pixel(100, 240), {0, 255, 0, 255}, label + ", left");
        expectPixel(pixel(500, 240), {0, 0, 255, 255}, label + ", right");
        machine().setStencilTest(false);
    }
}

TEST_F(RenderMachineGLTest, AlphaTestKeepsOrDropsFragments) {
    const struct {
        int func;
        float reference;
        bool drawn;
    } cases[] = {
        {GREATER, 0.5f, false}, {LESS, 0.5f, true}, {ALWAYS, 0.5f, true}, {NEVER, 0.0f, false},
    };
    for (const auto& c : cases) {
        clear(0, 0, 0);
        machine().setAlphaTest(true);
        machine().setAlphaFunc(c.func, c.reference);
        fullScreen(0, {1, 1, 1, 0.3f});
        expectPixel(pixel(320, 240), c.drawn ? Rgba{255, 255, 255, 0} : Rgba{0, 0, 0, 255},
                    "alpha func " + std::to_string(c.func));
    }
}

TEST_F(RenderMachineGLTest, BlendingCombinesSourceAndDestination) {
    const struct {
        int source, destination, operation;
        Color blendColor;
        Rgba expected;
    } cases[] = {
        // destination (0.5, 0.5, 0), source (0.25, 0.5, 1, 0.5)
        {ONE, ONE, ADD, {}, {191, 255, 255, 0}},
        {ONE, ONE, REVSUBTRACT, {}, {64, 0, 0, 0}},
        {ONE, ONE, MAX, {}, {128, 128, 255, 0}},
        {SRCALPHA, INVSRCALPHA, ADD, {}, {96, 128, 128, 0}},
        {BLENDFACTOR, ZERO, ADD, {1, 0.5f, 0.25f, 1}, {64, 64, 64, 0}},
        {ZERO, INVBLENDFACTOR, ADD, {0.5f, 0, 1, 1}, {64, 128, 0, 0}},
    };
    for (const auto& c : cases) {
        clear(0.5f, 0.5f, 0);
        machine().setBlend(true);
        machine().setBlendFunc(c.source, c.destination);
        machine().setBlendOperation(c.operation);
        machine().setBlendColor(&c.blendColor);
        fullScreen(0, {0.25f, 0.5f, 1, 0.5f});
        expectPixel(pixel(320, 240), c.expected,
                    "blend " + std::to_string(c.source) + "/" + std::to_string(c.destination) + " op " +
                        std::to_string(c.operation));
    }
}

Matrix translation(float x, float y) {
    Matrix m = Matrix::identity();
    m.at(0, 3) = x;
    m.at(1, 3) = y;
    return m;
}

Matrix scaling(float s) {
    Matrix m = Matrix::identity(s);
    m.at(3, 3) = 1;
    return m;
}

// View is applied after world: a quad at the origin moved by 1 and then
// halved lands at 0.5 (right of centre), not at 1.
TEST_F(RenderMachineGLTest, ModelviewAppliesWorldBeforeView) {
    clear(0, 0, 0);
    const Matrix world = translation(1, 0);
    const Matrix view = scaling(0.5f);
    machine().setMatrix(&world, MATRIX_WORLD);
    machine().setMatrix(&view, MATRIX_VIEW);
    rect(-0.1f, -0.1f, 0.1f, 0.1f, 0, kGreen);
    expectPixel(pixel(480, 240), {0, 255, 0, 255}, "x = 0.5");

    const Matrix before = *machine().getMatrix(MATRIX_WORLD);
    EXPECT_EQ(messageOf([&] { machine().setMatrix(&view, 3); }), "Bad matrix type.");
    EXPECT_EQ(messageOf([&] { machine().multMatrix(&view, 3); }), "Bad matrix type.");
    EXPECT_EQ(std::memcmp(machine().getMatrix(MATRIX_WORLD)->m, before.m, sizeof(before.m)), 0);

    // multMatrix multiplies on the right: world = translate(1) * translate(-1.5).
    const Matrix back = translation(-1.5f, 0);
    machine().multMatrix(&back, MATRIX_WORLD);
    clear(0, 0, 0);
    rect(-0.1f, -0.1f, 0.1f, 0.1f, 0, kGreen);
    expectPixel(pixel(240, 240), {0, 255, 0, 255}, "x = -0.25");
}

const char* const kPassThroughProgram =
    "!!ARBvp1.0\n"
    "PARAM mvp[4] = { program.env[0..3] };\n"
    "DP4 result.position.x, mvp[0], vertex.position;\n"
    "DP4 result.position.y, mvp[1], vertex.position;\n"
    "DP4 result.position.z, mvp[2], vertex.position;\n"
    "DP4 result.position.w, mvp[3], vertex.position;\n"
    "MOV result.color, program.env[4];\n"
    "END\n";

TEST_F(RenderMachineGLTest, VertexProgramReadsMatrixAndConstantRegisters) {
    std::unique_ptr<VertexShader> shader(machine().createVertexShader(kPassThroughProgram));
    const Matrix world = translation(0.5f, 0);
    machine().setMatrix(&world, MATRIX_WORLD);
    machine().setVertexShader(shader.get());
    machine().setVertexConstantMatrix(0, 0);
    const float blue[4] = {0, 0, 1, 1};
    machine().setVertexConstantF(4, blue, 1);
    clear(0, 0, 0);
    rect(-0.1f, -0.1f, 0.1f, 0.1f, 0, kRed);
    machine().setVertexShader(nullptr);
    expectPixel(pixel(480, 240), {0, 0, 255, 255}, "moved and coloured by the program");
    expectPixel(pixel(320, 240), {0, 0, 0, 255}, "untransformed place");
}

TEST_F(RenderMachineGLTest, PixelShaderColoursFragments) {
    std::unique_ptr<PixelShader> shader(
        machine().createPixelShader("!!ARBfp1.0\nMOV result.color, program.env[2];\nEND\n"));
    const float yellow[4] = {1, 1, 0, 1};
    machine().setPixelConstantF(2, yellow, 1);
    machine().setPixelShader(shader.get());
    clear(0, 0, 0);
    fullScreen(0, kBlue);
    machine().setPixelShader(nullptr);
    expectPixel(pixel(320, 240), {255, 255, 0, 255}, "program colour");
    fullScreen(0, kBlue);
    expectPixel(pixel(320, 240), {0, 0, 255, 255}, "fixed function again");
}

// The driver decides the position it reports; the message must show it,
// the driver's text, and the program marked at exactly that place.
TEST_F(RenderMachineGLTest, ProgramErrorShowsPositionAndMarksTheText) {
    const std::string text = "!!ARBvp1.0\nMOV result.position, vertex.position;\nEND\n";
    std::string broken = text;
    broken[2] = '#';
    const std::string message = messageOf([&] { delete machine().createVertexShader(broken.c_str()); });
    const std::string prefix = "loadProgram: error at position: ";
    ASSERT_EQ(message.rfind(prefix, 0), 0u) << message;
    const size_t firstBreak = message.find('\n');
    const int position = std::stoi(message.substr(prefix.size(), firstBreak - prefix.size()));
    ASSERT_GE(position, 0);
    ASSERT_LE(position, 2);
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
    const struct {
        int position;
        const char* expected;
    } cases[] = {
        {0, "loadProgram: error at position: 0\nbad\n ^^^ abc"},
        {2, "loadProgram: error at position: 2\nbad\nab ^^^ c"},
        {3, "loadProgram: error at position: 3\nbad\nabc ^^^ "},
        {9, "loadProgram: error at position: 9\nbad\nabc ^^^ "},
        {-1, "loadProgram: error at position: -1\nbad\n ^^^ abc"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(programErrorMessage("abc", c.position, "bad"), c.expected);
    // A syntax error on the third character is marked after the second.
    EXPECT_EQ(programErrorMessage("!!#RBvp1.0\nEND", 2, "syntax error"),
              "loadProgram: error at position: 2\nsyntax error\n!! ^^^ #RBvp1.0\nEND");
}

TEST_F(RenderMachineGLTest, RenderMemoryReadsBackItsOwnPixels) {
    std::unique_ptr<RenderMemory> memory(machine().createRenderMemory(32, 16, nullptr));
    clear(0, 0, 1);
    Viewport viewport;
    viewport.target = memory.get();
    machine().setViewport(viewport);
    EXPECT_EQ(machine().getWidth(), 32);
    EXPECT_EQ(machine().getHeight(), 16);
    clear(0, 0, 0);
    rect(-1, -1, 0, 1, 0, kGreen);
    memory->present();
    const uint8_t* pixels = memory->buffer();
    const auto at = [&](int x, int y) {
        const uint8_t* p = pixels + (y * 32 + x) * 4;
        return Rgba{p[0], p[1], p[2], p[3]};
    };
    expectPixel(at(2, 8), {0, 255, 0, 255}, "left half of the memory target");
    expectPixel(at(30, 8), {0, 0, 0, 255}, "right half of the memory target");

    setFullViewport();
    expectPixel(pixel(5, 5), {0, 0, 255, 255}, "window untouched by the memory target");

    std::vector<uint8_t> own(8 * 8 * 4, 7);
    std::unique_ptr<RenderMemory> given(machine().createRenderMemory(8, 8, own.data()));
    EXPECT_EQ(given->buffer(), own.data());
    viewport.target = given.get();
    machine().setViewport(viewport);
    clear(1, 0, 0);
    given->present();
    setFullViewport();
    EXPECT_EQ(own[0], 255);
    EXPECT_EQ(own[1], 0);
}

TEST_F(RenderMachineGLTest, TextureTargetCopiesIntoItsTextureOnPresent) {
    Texture* raw = nullptr;
    std::unique_ptr<TextureTarget> target(machine().createTextureTarget(16, 16, FORMAT_ARGB8, &raw));
    std::unique_ptr<Texture> texture(raw);
    ASSERT_NE(texture, nullptr);
    Viewport viewport;
    viewport.target = target.get();
    machine().setViewport(viewport);
    clear(1, 0, 1);
    target->present();
    setFullViewport();

    clear(0, 0, 0);
    machine().setTexture(0, texture.get());
    std::unique_ptr<VertexDeclaration> declaration(machine().createVertexDeclaration());
    declaration->append(VertexElement::POSITION, 2, 0);
    declaration->append(VertexElement::COLOR, 3, 0);
    declaration->append(VertexElement::TEXCOORD, 1, 0);
    struct TexturedVertex {
        float x, y, z, r, g, b, a, u, v;
    };
    const TexturedVertex vertices[] = {
        {-1, -1, 0, 1, 1, 1, 1, 0, 0}, {1, -1, 0, 1, 1, 1, 1, 1, 0},
        {1, 1, 0, 1, 1, 1, 1, 1, 1}, {-1, 1, 0, 1, 1, 1, 1, 0, 1}};
    std::unique_ptr<VertexStream> stream(machine().createVertexStream(4, sizeof(TexturedVertex), 0));
    std::memcpy(stream->lock(0u), vertices, sizeof(vertices));
    stream->unlock();
    machine().setVertexStream(stream.get(), 0);
    machine().setVertexDeclaration(declaration.get());
    machine().drawPrimitive(TRIANGLE_FAN, 0, 2);
    machine().setTexture(0, nullptr);
    expectPixel(pixel(320, 240), {255, 0, 255, 255}, "texture filled by the target");
}

TEST_F(RenderMachineGLTest, SnapshotListsSwitchesThenIntegerStatesAndFollowsChanges) {
    std::unique_ptr<RenderState> state(machine().createState());
    ASSERT_NE(state, nullptr);
    auto entries = state->entries();
    ASSERT_EQ(entries.size(), 66u + 63u);
    EXPECT_EQ(entries.front().name, "FOG");
    EXPECT_EQ(entries[65].name, "EDGE_FLAG_ARRAY");
    EXPECT_EQ(entries[66].name, "VERTEX_ARRAY_SIZE");
    EXPECT_EQ(entries.back().name, "BLEND_EQUATION");

    const auto value = [&](const std::string& name) {
        for (const auto& entry : state->entries())
            if (entry.name == name)
                return entry.value;
        return std::string("(missing)");
    };
    EXPECT_EQ(value("BLEND"), "false");
    EXPECT_EQ(value("BLEND_EQUATION"), "FUNC_ADD");
    EXPECT_EQ(value("DEPTH_FUNC"), "LESS");
    EXPECT_EQ(value("POLYGON_MODE"), "FILL FILL");
    EXPECT_EQ(value("VIEWPORT"), "0 0 640 480");

    machine().setBlend(true);
    machine().setBlendOperation(MAX);
    machine().setFillMode(WIREFRAME);
    // The master switch is on by default; the mask alone switches planes.
    machine().setClipPlanes(false);
    machine().setClipPlaneMask(5);
    machine().captureState(state.get());
    EXPECT_EQ(value("BLEND"), "true");
    EXPECT_EQ(value("BLEND_EQUATION"), "MAX");
    EXPECT_EQ(value("POLYGON_MODE"), "LINE LINE");
    EXPECT_EQ(value("CLIP_PLANE0"), "true");
    EXPECT_EQ(value("CLIP_PLANE1"), "false");
    EXPECT_EQ(value("CLIP_PLANE2"), "true");
    machine().setClipPlaneMask(0);
}

TEST_F(RenderMachineGLTest, OutOfRangeArgumentsFailWithTheirMessages) {
    const struct {
        std::function<void(RenderMachine&)> call;
        const char* message;
    } cases[] = {
        {[](RenderMachine& m) { m.setDepthFunc(8); }, "Invalid compare function"},
        {[](RenderMachine& m) { m.setAlphaFunc(-1, 0); }, "Invalid compare function"},
        {[](RenderMachine& m) { m.setBlendFunc(13, ONE); }, "Invalid blend mode"},
        {[](RenderMachine& m) { m.setBlendOperation(5); }, "Invalid blend operation"},
        {[](RenderMachine& m) { m.setStencilOp(0, STENCIL_KEEP, STENCIL_KEEP); }, "Invalid stencil operation"},
        {[](RenderMachine& m) { m.setStencilOpBack(STENCIL_KEEP, 9, STENCIL_KEEP); },
         "Invalid stencil operation"},
        {[](RenderMachine& m) { m.setFillMode(3); }, "setFillMode: Unknown fill mode."},
        {[](RenderMachine& m) { m.setFogMode(3); }, "Invalid fog mode"},
        {[](RenderMachine& m) { m.setCullingMode(2); }, "Invalid culling mode"},
        {[](RenderMachine& m) { m.setColorMaterial(6); },
         "setColorMaterial: Unknown color material destination."},
        {[](RenderMachine& m) { m.setTextureCoordGen(0, 5); }, "Invalid texgen mode"},
        {[](RenderMachine& m) { m.setTextureMatrix(8, nullptr); }, "texNum >= maxTextureUnits"},
        {[](RenderMachine& m) { m.drawPrimitive(6, 0, 1); }, "RenderMachineGL::getMode: Unknown primitive type.\n"},
        {[](RenderMachine& m) { m.enableFogVertexMode(false); }, "enableFogVertexMode: what should I do???"},
        {[](RenderMachine& m) { m.setVertexConstantB(0, nullptr, 0); },
         "RenderMachineGL::setVertexConstantB: Not supported"},
        {[](RenderMachine& m) { m.setPixelConstantI(0, nullptr, 0); },
         "RenderMachineGL::setPixelConstantI: Not supported"},
        {[](RenderMachine& m) { m.setVertexConstantMatrix(0, 4); }, "Invalid parameter name."},
        // A value OpenGL itself refuses comes back under the error's name.
        {[](RenderMachine& m) {
             const Plane plane;
             m.setClipPlane(1000, &plane);
         },
         "GL_INVALID_ENUM"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(messageOf([&] { c.call(machine()); }), c.message);
}

TEST(ExtensionWord, MatchesWholeBlankSeparatedWordsOnly) {
    const std::string extensions = "GL_EXT_bgra GL_ARB_multitexture GL_NV_fog_distance";
    const struct {
        const char* name;
        bool found;
    } cases[] = {
        {"GL_EXT_bgra", true},          {"GL_ARB_multitexture", true}, {"GL_NV_fog_distance", true},
        {"GL_EXT_bgr", false},          {"EXT_bgra", false},           {"GL_NV_fog", false},
        {"", false},                    {"GL_EXT_bgra GL_ARB_multitexture", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(hasExtensionWord(extensions, c.name), c.found) << c.name;
}

}  // namespace
}  // namespace Vexa
