// The image warp and the volume slices on the recording machine: their
// grids, the registers they write and the state they leave. What the shipped
// shaders make of them is checked on captured pictures (EffectsCaptureTest).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "Parser/Functions/ShaderGrids.h"
#include "Support/RecordingScriptTest.h"

namespace Vexa {
namespace {

class ShaderGridsTest : public Testing::RecordingScriptTest {
protected:
    std::string script() override {
        m_folder.write("grid.vp", "program");
        return "directory = \"" + m_folder.path() +
               "\" shader = VertexShader { file = File \"grid.vp\"\n"
               "    constants = VertexConstants { constant1 = < 9 9 9 9 > } }\n";
    }
    // The lines of `log` that start with `prefix`.
    static Testing::Lines starting(const Testing::Lines& log, const std::string& prefix) {
        Testing::Lines found;
        std::copy_if(log.begin(), log.end(), std::back_inserter(found),
                     [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
        return found;
    }

    TempDir m_folder;
};

// Every Draw writes all ten vectors, given or not, over whatever the
// shader's constants held there, and draws the 101 x 101 grid under a fixed
// orthographic camera. The first Draw loads the shader and builds the grid.
TEST_F(ShaderGridsTest, ImageWarpWritesTenRegistersAndDrawsTheScreenGrid) {
    run("warp = ImageWarp { graphicsSystem = graphicsSystem shader = shader material = Material { }"
        " p2 = < 1 2 3 4 > }");
    const Testing::Lines draw = calls("warp", CommandKinds::Draw());
    EXPECT_EQ(draw.front(), "createVertexShader() -> vsh1");
    EXPECT_EQ(starting(draw, "createVertexStream"),
              Testing::Lines{"createVertexStream(10201, 24, 4) -> vbuf1"});
    EXPECT_EQ(
        starting(draw, "setMatrix"),
        (Testing::Lines{"setMatrix([1 0 0 0 0 1 0 0 0 0 0.010101 0 0 0 -0.010101 1], PROJECTION)",
                        "setMatrix([1 0 0 0 0 1 0 0 0 0 1 0 0 0 2 1], VIEW)"}));
    Testing::Lines registers;
    for (int r = 20; r < 30; ++r)
        registers.push_back("setVertexConstantF(" + std::to_string(r) + ", [" +
                            (r == 21 ? "1 2 3 4" : "0 0 0 0") + "], 1)");
    EXPECT_EQ(starting(draw, "setVertexConstantF(2"), registers);
    EXPECT_EQ(draw.back(), "drawIndexedPrimitive(TRIANGLE_LIST, 0, 0, 10201, 0, 20000)");
    EXPECT_EQ(calls("warp", CommandKinds::Unload()),
              (Testing::Lines{"delete ibuf1", "delete vbuf1", "delete decl1"}));
}

// Eleven 31 x 31 grids from z = 1 down to z = -1, blended, each placed by the
// transpose of the inverse view rotation times its shift, written one row a
// register into 12 to 15 and left there after the Draw.
TEST_F(ShaderGridsTest, SliceVolumeStepsElevenCameraFacingSlices) {
    IniObject* slices =
        run("v = SliceVolume { graphicsSystem = graphicsSystem shader = shader }", "v");
    Testing::send(slices, CommandKinds::Load());
    const Testing::Lines draw = calls("v", CommandKinds::Draw());
    EXPECT_EQ((Testing::Lines{draw.begin(), draw.begin() + 3}),
              (Testing::Lines{"setBlend(1)", "setBlendFunc(SRCCOLOR, INVSRCCOLOR)",
                              "setTexture(0, null)"}));
    const Testing::Lines placements = starting(draw, "setVertexConstantF(12");
    ASSERT_EQ(placements.size(), 11u);
    EXPECT_EQ(placements.front(), "setVertexConstantF(12, [1 0 0 0 0 1 0 0 0 0 1 1 0 0 0 1], 4)");
    EXPECT_EQ(starting(draw, "drawIndexedPrimitive"),
              Testing::Lines(11, "drawIndexedPrimitive(TRIANGLE_LIST, 0, 0, 961, 0, 1800)"));
    EXPECT_EQ(draw.back(), "setBlend(0)");

    // Under a view turned a quarter about y (and moved, which must not
    // count), the last slice, turned back by the view, lies at z = -1.
    Matrix view;
    view.at(0, 0) = view.at(2, 2) = 0.0f;
    view.at(0, 2) = 1.0f;
    view.at(2, 0) = -1.0f;
    view.at(0, 3) = 5.0f;
    m_machine->setMatrix(&view, MATRIX_VIEW);
    calls("v", CommandKinds::Draw());
    auto* shader = static_cast<VertexShaderObject*>(parser().lookup("shader"));
    const float* rows = shader->getConstants()->floats(12, 4);
    Matrix placement;
    for (int i = 0; i < 16; ++i) placement.at(i / 4, i % 4) = rows[i];
    view.at(0, 3) = 0.0f;
    const Matrix seen = multiply(view, placement);
    Matrix expected;
    expected.at(2, 3) = -1.0f;
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(seen.m[i], expected.m[i], 1e-6f) << i;
}

// Loading the grid loads its shader, so a missing file is reported.
TEST_F(ShaderGridsTest, MissingShaderFileIsReportedOnTheFirstDraw) {
    run("bad = VertexShader { file = File \"missing.vp\" constants = VertexConstants { } "
        "}"
        " v = SliceVolume { graphicsSystem = graphicsSystem shader = bad }");
    EXPECT_EQ(
        Testing::messageOf([&] { Testing::send(parser().lookup("v"), CommandKinds::Draw()); }),
        m_folder / "missing.vp missing");
}

}  // namespace
}  // namespace Vexa
