// The render machine's shared code: viewport mapping, the vertex-program
// matrices, vertex declarations and the creator.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "Parser/Exceptions.h"
#include "Rendering/Common/RenderMachine.h"
#include "Support/RecordingRenderMachine.h"
#include "Support/TestKit.h"

namespace Vexa {
namespace {

using Testing::messageOf;

Matrix fromColumns(std::vector<float> values) {
    Matrix matrix;
    for (int i = 0; i < 16; ++i) matrix.m[i] = values[i];
    return matrix;
}

Matrix translation(float x, float y, float z) {
    return fromColumns({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1});
}
Matrix scaling(float x, float y, float z) {
    return fromColumns({x, 0, 0, 0, 0, y, 0, 0, 0, 0, z, 0, 0, 0, 0, 1});
}

// A quarter turn about z: x goes to y.
const Matrix kRotateZ = fromColumns({0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});

TEST(RenderMachineViewport, MapsFractionsToPixelsTruncatingTowardZero) {
    struct Case {
        Viewport viewport;
        int targetWidth, targetHeight;
        ViewportPixels expected;
    };
    const Case cases[] = {
        {{nullptr, 0, 0, 1, 1}, 640, 480, {0, 0, 640, 480}},
        {{nullptr, 0.5f, 0.5f, 0.5f, 0.5f}, 640, 480, {320, 240, 320, 240}},
        {{nullptr, 1.0f / 3, 0.25f, 0.9999f, 0.9999f}, 640, 480, {213, 120, 639, 479}},
        {{nullptr, 0.1f, 0.3f, 0.3f, 0.1f}, 100, 100, {10, 30, 30, 10}},
    };
    for (const Case& c : cases) {
        const ViewportPixels p = mapViewport(c.viewport, c.targetWidth, c.targetHeight);
        EXPECT_EQ(
            (std::vector<int>{p.x, p.y, p.width, p.height}),
            (std::vector<int>{c.expected.x, c.expected.y, c.expected.width, c.expected.height}));
    }
}

TEST(RenderMachineVertexProgram, LoadsTheSelectedMatrixAsRowsInTheStatedOrder) {
    const Matrix projection = scaling(2, 3, 4);
    const Matrix view = translation(1, 2, 3);
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
        const Matrix block = vertexProgramMatrix(c.selector, projection, view, kRotateZ);
        for (int row = 0; row < 4; ++row)
            EXPECT_FLOAT_EQ(block.m[4 * row] + block.m[4 * row + 3], c.expected[row])
                << "selector " << c.selector << " row " << row;
    }
    for (int selector : {-1, 4})
        EXPECT_EQ(messageOf([&] { vertexProgramMatrix(selector, projection, view, kRotateZ); }),
                  "Invalid parameter name.");
}

TEST(RenderMachineVertexDeclaration, EndsAtTheStrideAndRefusesUnknownTypes) {
    std::unique_ptr<VertexDeclaration> declaration(
        RecordingRenderMachine::create()->createVertexDeclaration());
    declaration->append(VertexElement::POSITION, 2, 0);
    declaration->append(VertexElement::TEXCOORD, 1, 2);
    EXPECT_EQ(declaration->stride(), 20);
    const int unknownType = kElementDataTypeCount;
    EXPECT_EQ(messageOf([&] { declaration->append(VertexElement::NORMAL, unknownType, 0); }),
              "Invalid vertex element type.");
    EXPECT_EQ(declaration->stride(), 20);
}

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
    ASSERT_TRUE(registerRenderMachine("gl", &RecordingRenderMachine::create));
    EXPECT_NE(dynamic_cast<RecordingRenderMachine*>(RenderMachineCreator("gl").get()), nullptr);

    registerRenderMachine("gl", nullptr);
    registerRenderMachine("dx", nullptr);
    using Testing::Outcome;
    using Testing::outcomeOf;
    EXPECT_EQ(outcomeOf([] { RenderMachineCreator("gl"); }),
              (Outcome{"RenderMachineException",
                       "The OpenGL render machine is not available on this system."}));

    EXPECT_FALSE(registerRenderMachine("vk", &RecordingRenderMachine::create));
    for (const char* type : {"GL", "Dx", "gl ", "", "opengl", "vk"})
        EXPECT_EQ(outcomeOf([&] { RenderMachineCreator(type); }),
                  (Outcome{"Exception", "Invalid machine type. Try 'gl' or 'dx'."}))
            << type;
}

}  // namespace
}  // namespace Vexa
