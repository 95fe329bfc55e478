#include "Parser/Functions/ImplicitSurfaces.h"

#include <gtest/gtest.h>

#include <string>

#include "Mesh/TriangulateMesh.h"
#include "Parser/Functions/MeshObject.h"
#include "Support/RecordingScriptTest.h"

namespace Vexa {
namespace {

using Testing::Lines;

class ImplicitSurfaces : public Testing::RecordingScriptTest {
protected:
    std::string script() override {
        return "w = TestAnimatedNumber 0  balls = MetaCubes ( < 0 0 0 > w )\n"
               "mesh = TriangulateMesh { function = SinSphere { phases = < 0 0 0 > }\n"
               "  voxelsize = 0.25 primitive_max = 1e9 vertex_max = 100000 }\n"
               "few = TriangulateMesh { function = balls voxelsize = 0.25 vertex_max = 2000\n"
               "  primitive_max = 10 }\n"
               "small = TriangulateMesh { function = balls voxelsize = 0.25 vertex_max = 320\n"
               "  primitive_max = 1000 }\n";
    }
    const TriangulateMesh& mesh() {
        return *static_cast<TriangulateMesh*>(
            static_cast<MeshObject*>(parser().lookup("mesh"))->primitive());
    }
    std::string updated(const char* name) {
        return Testing::printed(parser().lookup(name), SimpleCommand(0, CommandKinds::Update()));
    }
    std::string drawCall(int first, int count) {
        return "drawIndexedPrimitive(TRIANGLE_LIST, 0, 0, " + std::to_string(mesh().vertexCount()) +
               ", " + std::to_string(3 * first) + ", " + std::to_string(count) + ")";
    }
};

// Load makes the buffers, the vertices clamped to what 16-bit indices reach
// and the triangles to what those vertices can form.
// RangeDraw draws truncate((end - start) × count) triangles from truncate(
// count × start) on, start raised to 0 and end lowered to 1, reading the
// fractions when it runs.
TEST_F(ImplicitSurfaces, DrawsTheRangeOfTheTrianglesMadeOnUpdate) {
    EXPECT_EQ(
        calls("mesh", CommandKinds::Load()),
        (Lines{"createVertexStream(65536, 24, 5) -> vbuf1", "createIndexStream(655362, 0) -> ibuf1",
               "createVertexDeclaration() -> decl1"}));
    Testing::send(parser().lookup("mesh"), CommandKinds::Update());
    const int n = mesh().triangleCount();
    auto* start = new NumberObject(0);
    auto* end = new NumberObject(0);
    RangeDrawCommand range(0, start, end);
    const struct {
        float start, end;
        std::string call;  // empty: nothing drawn
    } cases[] = {{0, 1, drawCall(0, n)},
                 {0, 0.5f, drawCall(0, n / 2)},
                 {0.5f, 2, drawCall(n / 2, n / 2)},
                 {-1, 0.5f, drawCall(0, n / 2)},
                 {1, 1, ""}};
    for (const auto& c : cases) {
        start->setValue(c.start);
        end->setValue(c.end);
        m_machine->clearLog();
        parser().lookup("mesh")->execute(range);
        const Lines log = m_machine->takeLog();
        EXPECT_EQ(log.empty() ? "" : log.back(), c.call) << c.start << " " << c.end;
    }
}

// A surface that needs more vertices or triangles than the mesh holds writes
// its message on every Update and is not drawn until it fits again. The
// ball's weight is read at each Update: the soft box alone fits into
// "small", the box with the grown ball does not.
TEST_F(ImplicitSurfaces, OverflowIsReportedOnEveryUpdateAndDrawsNothing) {
    EXPECT_EQ(updated("small"), "");
    EXPECT_EQ(calls("small", CommandKinds::Draw()).size(), 4u);
    Testing::send(parser().lookup("w"), CommandKinds::Update(), 0.002f);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(updated("small"), "Triangulate: Too many vertices!\n");
        EXPECT_EQ(updated("few"), "Triangulate: Too many triangles!\n");
    }
    EXPECT_EQ(calls("small", CommandKinds::Draw()), Lines{});
}

}  // namespace
}  // namespace Vexa
