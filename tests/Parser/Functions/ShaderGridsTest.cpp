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
        return "directory = \"" + m_folder.path() + "\" shader = VertexShader { file = File " +
               "\"grid.vp\" constants = VertexConstants { constant1 = < 9 9 9 9 > } }";
    }
    // The lines that `kind` sent to `name` logs starting with `prefix`.
    Testing::Lines calls(const char* name, const CommandKind* kind, const std::string& prefix) {
        Testing::Lines found, log = RecordingScriptTest::calls(name, kind);
        std::copy_if(log.begin(), log.end(), std::back_inserter(found),
                     [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
        return found;
    }

    TempDir m_folder;
};

// Every Draw writes all ten vectors, given or not, over whatever the
// shader's constants held there, and draws the 101 x 101 grid.
TEST_F(ShaderGridsTest, ImageWarpWritesTenRegistersAndDrawsTheScreenGrid) {
    run("warp = ImageWarp { graphicsSystem = graphicsSystem shader = shader material = Material { }"
        " p2 = < 1 2 3 4 > }");
    Testing::Lines expected;
    for (int r = 20; r < 30; ++r)
        expected.push_back("setVertexConstantF(" + std::to_string(r) + ", [" +
                           (r == 21 ? "1 2 3 4" : "0 0 0 0") + "], 1)");
    EXPECT_EQ(calls("warp", CommandKinds::Draw(), "setVertexConstantF(2"), expected);
    EXPECT_EQ(calls("warp", CommandKinds::Draw(), "draw"),
              Testing::Lines{"drawIndexedPrimitive(TRIANGLE_LIST, 0, 0, 10201, 0, 20000)"});
}

// Eleven 31 x 31 grids from z = 1 down to z = -1, blended, each placed by
// the transpose of the view's rotation times its shift, one row a register
// in 12 to 15, blending off again at the end. The first slice's rows under an identity view, and
// under a view turned a quarter about y and moved (the move does not count): turned back by the
// view, the slice stands at z = 1 facing the camera.
TEST_F(ShaderGridsTest, SliceVolumeStepsElevenCameraFacingSlices) {
    Testing::send(run("v = SliceVolume { graphicsSystem = graphicsSystem shader = shader }", "v"),
                  CommandKinds::Load());
    const struct {
        float turn;
        const char* rows;
    } cases[] = {{0, "[1 0 0 0 0 1 0 0 0 0 1 1 0 0 0 1]"},
                 {1, "[0 0 -1 -1 0 1 0 0 1 0 0 0 0 0 0 1]"}};
    for (const auto& c : cases) {
        Matrix view;
        view.at(0, 0) = view.at(2, 2) = 1 - c.turn;
        view.at(0, 2) = c.turn;
        view.at(2, 0) = -c.turn;
        view.at(0, 3) = 5 * c.turn;
        m_machine->setMatrix(&view, MATRIX_VIEW);
        const Testing::Lines rows = calls("v", CommandKinds::Draw(), "setVertexConstantF(12");
        ASSERT_EQ(rows.size(), 11u);
        EXPECT_EQ(rows.front(), "setVertexConstantF(12, " + std::string(c.rows) + ", 4)");
    }
    const Testing::Lines draw = calls("v", CommandKinds::Draw(), "");
    EXPECT_EQ(draw.back(), "setBlend(0)");
    EXPECT_EQ(std::count(draw.begin(), draw.end(),
                         "drawIndexedPrimitive(TRIANGLE_LIST, 0, 0, 961, 0, 1800)"),
              11);
}

}  // namespace
}  // namespace Vexa
