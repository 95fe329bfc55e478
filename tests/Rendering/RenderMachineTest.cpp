// The render machine's shared code: the default-state routine's exact calls,
// the matrix product and layout, viewport and point-size mapping, the
// vertex-program matrices, the creator and the script enumeration tables;
// and the recording machine other rendering tests rely on.
#include "Rendering/Common/RenderMachine.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "Parser/Exceptions.h"
#include "Support/RecordingRenderMachine.h"

namespace Vexa {
namespace {

const char* const kIdentity = "[1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1]";

Matrix fromColumns(std::vector<float> values) {
    Matrix matrix;
    for (int i = 0; i < 16; ++i)
        matrix.m[i] = values[i];
    return matrix;
}

Matrix translation(float x, float y, float z) {
    Matrix matrix = Matrix::identity();
    matrix.at(0, 3) = x;
    matrix.at(1, 3) = y;
    matrix.at(2, 3) = z;
    return matrix;
}

Matrix scaling(float x, float y, float z) {
    Matrix matrix = Matrix::identity();
    matrix.at(0, 0) = x;
    matrix.at(1, 1) = y;
    matrix.at(2, 2) = z;
    return matrix;
}

// A quarter turn about z: x goes to y.
const Matrix kRotateZ = fromColumns({0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});

void expectMatrix(const Matrix& actual, const std::vector<float>& expected, const std::string& what) {
    for (int i = 0; i < 16; ++i)
        EXPECT_FLOAT_EQ(actual.m[i], expected[i]) << what << " element " << i;
}

template <typename Call>
void expectFailure(Call call, const std::string& message) {
    try {
        call();
        ADD_FAILURE() << "expected failure: " << message;
    } catch (const RenderMachineException& e) {
        EXPECT_EQ(e.message(), message);
    }
}

TEST(RenderMachineDefaultState, CallsEveryOperationInOrderWithTheDefaultValues) {
    // Distinct counts, so a loop bounded by the wrong query shows.
    RecordingRenderMachine machine(RecordingLimits{2, 3, 1});
    machine.setDefaultState();

    std::string expected = R"(setTextureCoordGen(0, GEN_DISABLE)
setTextureCoordGen(1, GEN_DISABLE)
setMaterial((1 1 1 1), (0 0 0 0), (0 0 0 0), 40, (0 0 0 0))
setShadeMode(1)
setSpecularSeparate(0)
setFog(0)
setFogRangeBased(0)
setFogColor((0 0 0 0))
setFogMode(FOG_EXP)
setFogParameters(0, 1, 1)
setLighting(0)
setColorMaterialEnable(0)
setAmbientLight((0 0 0 0))
setLocalViewer(0)
setNormalize(0)
setLightEnable(0, 0)
setLightEnable(1, 0)
setLightEnable(2, 0)
setColorMaterial(0)
setVertexShader(null)
setTexture(0, null)
setTexture(1, null)
setCombinerStage(0, {0 SRC_TEXTURE SRC_CURRENT SRC_CURRENT SRC_TEXTURE SRC_CURRENT SRC_CURRENT OP_MODULATE OP_MODULATE SRC_CURRENT})
setDepthTest(1)
setDepthWrite(1)
setDepthFunc(LESS)
setDepthBias(0, 0)
setFillMode(SOLID)
setAlphaTest(0)
setAlphaFunc(ALWAYS, 0)
setBlend(0)
setBlendFunc(ONE, ZERO)
setBlendOperation(ADD)
setBlendColor((0 0 0 0))
setCulling(1)
setCullingMode(CCW)
setClipPlanes(1)
setStencilTest(0)
setTwoSidedStencil(0)
setStencilOp(STENCIL_KEEP, STENCIL_KEEP, STENCIL_KEEP)
setStencilFunc(ALWAYS)
setStencilOpBack(STENCIL_KEEP, STENCIL_KEEP, STENCIL_KEEP)
setStencilFuncBack(ALWAYS)
setStencilRef(0)
setStencilMask(4294967295)
setStencilWriteMask(4294967295)
setPointSprite(0)
setPointScaleEnable(0)
setPointSize(1)
setPointSizeMin(1)
setPointSizeMax(1)
setPointScale(1, 0, 0)
setMatrix(@, VIEW)
setMatrix(@, WORLD)
setMatrix(@, PROJECTION)
setTextureMatrix(0, @)
setTextureMatrix(1, @)
setColorWriteMask(1, 1, 1, 1)
setScissorTest(0)
setPerspectiveHint(0)
)";
    for (std::string::size_type at; (at = expected.find('@')) != std::string::npos;)
        expected.replace(at, 1, kIdentity);
    EXPECT_EQ(machine.logText(), expected);
}

TEST(RenderMachineMatrix, IdentityScalesTheWholeDiagonal) {
    expectMatrix(Matrix::identity(2.0f), {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2}, "identity(2)");
    expectMatrix(Matrix(), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, "default");
}

TEST(RenderMachineMatrix, ProductAppliesTheRightOperandFirst) {
    struct Case {
        const char* name;
        Matrix a, b;
        std::vector<float> expected;
    };
    const Case cases[] = {
        // Scale first, then move: the translation column stays as given.
        {"T*S", translation(1, 2, 3), scaling(2, 3, 4), {2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 1, 2, 3, 1}},
        // Move first, then scale: the translation is scaled too.
        {"S*T", scaling(2, 3, 4), translation(1, 2, 3), {2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 2, 6, 12, 1}},
        // Move along x, then turn: the translation ends on y.
        {"R*T", kRotateZ, translation(1, 0, 0), {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 1}},
        {"I*R", Matrix::identity(), kRotateZ, {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}},
    };
    for (const Case& c : cases)
        expectMatrix(multiply(c.a, c.b), c.expected, c.name);
}

TEST(RenderMachineViewport, MapsFractionsToPixelsTruncatingTowardZero) {
    struct Case {
        float x, y, width, height;
        int targetWidth, targetHeight;
        ViewportPixels expected;
    };
    const Case cases[] = {
        {0, 0, 1, 1, 640, 480, {0, 0, 640, 480}},
        {0.5f, 0.5f, 0.5f, 0.5f, 640, 480, {320, 240, 320, 240}},
        {1.0f / 3, 0.25f, 0.9999f, 0.9999f, 640, 480, {213, 120, 639, 479}},
        {0.1f, 0.3f, 0.3f, 0.1f, 100, 100, {10, 30, 30, 10}},
    };
    for (const Case& c : cases) {
        Viewport viewport;
        viewport.x = c.x;
        viewport.y = c.y;
        viewport.width = c.width;
        viewport.height = c.height;
        const ViewportPixels pixels = mapViewport(viewport, c.targetWidth, c.targetHeight);
        EXPECT_EQ(pixels.x, c.expected.x) << c.x;
        EXPECT_EQ(pixels.y, c.expected.y) << c.y;
        EXPECT_EQ(pixels.width, c.expected.width) << c.width;
        EXPECT_EQ(pixels.height, c.expected.height) << c.height;
    }
}

TEST(RenderMachineViewport, HalfOfTheWindowReportsItsSizeAndScalesPointSizes) {
    RecordingRenderMachine machine;
    std::unique_ptr<Window> window(machine.createWindow(WindowParameters()));
    EXPECT_EQ(machine.getWidth(), 0);
    machine.setViewport(Viewport{window.get(), 0, 0, 0.5f, 0.5f});
    EXPECT_EQ(machine.getWidth(), 320);
    EXPECT_EQ(machine.getHeight(), 240);
    machine.setPointSize(0.01f);
    EXPECT_FLOAT_EQ(machine.pointSizeInPixels(), 2.4f);
    EXPECT_EQ(machine.currentTarget(), window.get());
}

TEST(RenderMachineVertexProgram, LoadsTheSelectedMatrixAsRowsInTheStatedOrder) {
    const Matrix projection = scaling(2, 3, 4);
    const Matrix view = translation(1, 2, 3);
    const Matrix world = kRotateZ;
    // The point (1, 0, 0, 1) through each register row, as a vertex program's
    // four dot products would transform it.
    struct Case {
        int selector;
        float expected[4];
    };
    const Case cases[] = {
        {0, {2, 9, 12, 1}},  // world turns it to (0 1 0), view moves it, projection scales it
        {1, {0, 1, 0, 1}},
        {2, {1, 3, 3, 1}},
        {3, {2, 0, 0, 1}},
    };
    for (const Case& c : cases) {
        const Matrix block = vertexProgramMatrix(c.selector, projection, view, world);
        for (int row = 0; row < 4; ++row)
            EXPECT_FLOAT_EQ(block.m[4 * row] + block.m[4 * row + 3], c.expected[row])
                << "selector " << c.selector << " row " << row;
    }
    for (int selector : {-1, 4})
        expectFailure([&] { vertexProgramMatrix(selector, projection, view, world); }, "Invalid parameter name.");
}

TEST(RenderMachinePrimitives, CountsVerticesBlindlyFromPrimitives) {
    struct Case {
        unsigned type;
        int none, five;
    };
    const Case cases[] = {
        {POINT_LIST, 0, 5},     {LINE_LIST, 0, 10},      {LINE_STRIP, 1, 6},
        {TRIANGLE_LIST, 0, 15}, {TRIANGLE_STRIP, 2, 7}, {TRIANGLE_FAN, 2, 7},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(primitiveVertexCount(c.type, 0), c.none) << c.type;
        EXPECT_EQ(primitiveVertexCount(c.type, 5), c.five) << c.type;
    }
    EXPECT_EQ(primitiveVertexCount(6, 1), -1);
}

TEST(RenderMachineVertexDeclaration, AppendsAtTheRunningOffsetAndEndsAtTheStride) {
    RecordingRenderMachine machine;
    std::unique_ptr<VertexDeclaration> declaration(machine.createVertexDeclaration());
    declaration->append(VertexElement::POSITION, 2, 0);
    declaration->append(VertexElement::COLOR, 3, 0);
    declaration->append(VertexElement::TEXCOORD, 0, 1);
    declaration->append(VertexElement::TEXCOORD, 1, 2);
    const std::vector<VertexElement>& elements = declaration->elements();
    ASSERT_EQ(elements.size(), 4u);
    const int offsets[] = {0, 12, 28, 32};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(elements[i].offset, offsets[i]) << i;
    EXPECT_EQ(elements[2].usageIndex, 1);
    EXPECT_EQ(declaration->stride(), 40);
    expectFailure([&] { declaration->append(VertexElement::NORMAL, 4, 0); }, "Invalid vertex element type.");
    EXPECT_EQ(declaration->stride(), 40);
}

std::unique_ptr<RenderMachine> makeRecordingMachine() { return std::make_unique<RecordingRenderMachine>(); }

// Puts back whatever back ends this binary registered.
class RenderMachineCreatorTest : public ::testing::Test {
protected:
    void TearDown() override {
        registerRenderMachine("gl", m_gl);
        registerRenderMachine("dx", m_dx);
    }
    RenderMachineFactory m_gl = registeredRenderMachine("gl");
    RenderMachineFactory m_dx = registeredRenderMachine("dx");
};

TEST_F(RenderMachineCreatorTest, MakesOnlyRegisteredMachinesNamedExactly) {
    ASSERT_TRUE(registerRenderMachine("gl", &makeRecordingMachine));
    std::unique_ptr<RenderMachine> machine = RenderMachineCreator("gl");
    EXPECT_NE(dynamic_cast<RecordingRenderMachine*>(machine.get()), nullptr);

    registerRenderMachine("gl", nullptr);
    registerRenderMachine("dx", nullptr);
    expectFailure([] { RenderMachineCreator("gl"); }, "The OpenGL render machine is not available on this system.");
    expectFailure([] { RenderMachineCreator("dx"); },
                  "The Direct3D render machine is not available on this system.");

    EXPECT_FALSE(registerRenderMachine("vk", &makeRecordingMachine));
    for (const char* type : {"GL", "Dx", "gl ", "", "opengl", "vk"}) {
        try {
            RenderMachineCreator(type);
            ADD_FAILURE() << type;
        } catch (const RenderMachineException&) {
            ADD_FAILURE() << "an invalid name is a plain Exception: " << type;
        } catch (const Exception& e) {
            EXPECT_EQ(e.message(), "Invalid machine type. Try 'gl' or 'dx'.") << type;
        }
    }
}

TEST(RenderMachineEnums, TablesHoldExactlyTheScriptNamesInValueOrder) {
    struct Case {
        const EnumEntry* table;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {Enums::texCoordGen, {"GEN_DISABLE", "GEN_NORMAL", "GEN_VERTEX", "GEN_REFLECTION", "GEN_SPHEREMAP"}},
        {Enums::textureWrap, {"REPEAT", "CLAMP", "BORDER"}},
        {Enums::compareFunc,
         {"NEVER", "LESS", "EQUAL", "LESSEQUAL", "GREATER", "NOTEQUAL", "GREATEREQUAL", "ALWAYS"}},
        {Enums::fillMode, {"POINT", "WIREFRAME", "SOLID"}},
        {Enums::blendFactor,
         {"ZERO", "ONE", "SRCCOLOR", "INVSRCCOLOR", "SRCALPHA", "INVSRCALPHA", "DESTALPHA", "INVDESTALPHA",
          "DESTCOLOR", "INVDESTCOLOR", "SRCALPHASAT", "BLENDFACTOR", "INVBLENDFACTOR"}},
        {Enums::blendOperation, {"ADD", "SUBTRACT", "REVSUBTRACT", "MIN", "MAX"}},
        {Enums::cullingMode, {"CW", "CCW"}},
        {Enums::fogMode, {"FOG_EXP", "FOG_EXP2", "FOG_LINEAR"}},
        {Enums::lightType, {"POINT_LIGHT", "SPOT_LIGHT", "DIRECTIONAL_LIGHT"}},
        {Enums::combinerSource,
         {"SRC_CURRENT", "SRC_TEMP", "SRC_DIFFUSE", "SRC_SPECULAR", "SRC_TEXTURE", "SRC_FACTOR"}},
        {Enums::combinerOperation,
         {"OP_I1", "OP_I2", "OP_MODULATE", "OP_MODULATE2X", "OP_MODULATE4X", "OP_ADD", "OP_ADDSIGNED",
          "OP_ADDSIGNED2X", "OP_SUB", "OP_ADDSMOOTH", "OP_BLENDCURALPHA", "OP_BLENDDIFALPHA",
          "OP_BLENDTEXALPHA", "OP_DOTP", "OP_LERP", "OP_MULADD", "OP_MODULATEALPHA_ADDCOLOR",
          "OP_MODULATECOLOR_ADDALPHA", "OP_MODULATEINVALPHA_ADDCOLOR", "OP_MODULATEINVCOLOR_ADDALPHA"}},
        {Enums::geometrySource, {"SOURCE_NONE", "SOURCE_WORLD"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> names;
        int count = 0;
        for (; c.table[count].name; ++count) {
            names.push_back(c.table[count].name);
            EXPECT_EQ(c.table[count].value, count) << c.table[count].name;
        }
        EXPECT_EQ(names, c.names);
        EXPECT_EQ(c.table[count].value, 0);
        EXPECT_EQ(lookupEnum(c.table, c.names.back()), count - 1);
    }
}

TEST(RecordingRenderMachine, RejectsABadMatrixKindAndKeepsEveryMatrix) {
    RecordingRenderMachine machine;
    const Matrix moved = translation(1, 2, 3);
    machine.setMatrix(&moved, MATRIX_WORLD);
    const Matrix scaled = scaling(2, 2, 2);
    machine.setMatrix(&scaled, MATRIX_PROJECTION);

    expectFailure([&] { machine.setMatrix(&scaled, 3); }, "Bad matrix type.");
    expectFailure([&] { machine.multMatrix(&scaled, 7); }, "Bad matrix type.");
    expectFailure([&] { machine.getMatrix(3); }, "Bad matrix type.");
    expectMatrix(*machine.getMatrix(MATRIX_PROJECTION), {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1}, "P");
    expectMatrix(*machine.getMatrix(MATRIX_VIEW), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, "V");
    expectMatrix(*machine.getMatrix(MATRIX_WORLD), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1}, "W");

    // Stored times given: the given matrix applies first.
    machine.multMatrix(&scaled, MATRIX_WORLD);
    expectMatrix(*machine.getMatrix(MATRIX_WORLD), {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 1, 2, 3, 1}, "W*S");
    EXPECT_EQ(machine.log().back(), "multMatrix([2 0 0 0 0 2 0 0 0 0 2 0 0 0 0 1], WORLD)");
}

TEST(RecordingRenderMachine, NamesResourcesAndLogsTheirCallsAndDeletion) {
    RecordingRenderMachine machine;
    std::unique_ptr<Texture> texture(machine.createTexture(64, 32, FORMAT_ARGB8, 1, false));
    machine.setTexture(1, texture.get());
    texture->setWrapMode(0, CLAMP);
    Texture* targetTexture = nullptr;
    std::unique_ptr<TextureTarget> target(machine.createTextureTarget(16, 16, FORMAT_RGB8, &targetTexture));
    std::unique_ptr<Texture> ownedTargetTexture(targetTexture);
    machine.setViewport(Viewport{target.get(), 0, 0, 1, 1});
    const float constants[4] = {1, 0.5f, 0.25f, 0};
    machine.setVertexConstantF(4, constants, 1);
    machine.drawPrimitive(TRIANGLE_STRIP, 0, 2);
    texture.reset();

    const std::vector<std::string> expected = {
        "createTexture(64, 32, ARGB8, 1, 0) -> tex1",
        "setTexture(1, tex1)",
        "tex1.setWrapMode(0, CLAMP)",
        "createTextureTarget(16, 16, RGB8) -> target1 tex2",
        "setViewport(target1, 0, 0, 1, 1)",
        "setVertexConstantF(4, [1 0.5 0.25 0], 1)",
        "drawPrimitive(TRIANGLE_STRIP, 0, 2)",
        "delete tex1",
    };
    EXPECT_EQ(machine.takeLog(), expected);
    EXPECT_TRUE(machine.log().empty());
    EXPECT_EQ(machine.getWidth(), 16);

    // A matrix register block lands in the registers the program reads.
    const Matrix moved = translation(1, 2, 3);
    machine.setMatrix(&moved, MATRIX_WORLD);
    machine.setVertexConstantMatrix(8, 1);
    const std::array<float, 4> row0 = machine.vertexConstant(8);
    EXPECT_EQ(row0, (std::array<float, 4>{1, 0, 0, 1}));
    expectFailure([&] { machine.setVertexConstantMatrix(8, 4); }, "Invalid parameter name.");
    EXPECT_EQ(machine.log().back(), "setVertexConstantMatrix(8, 4)");
}

}  // namespace
}  // namespace Vexa
