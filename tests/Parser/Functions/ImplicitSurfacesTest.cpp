#include "Parser/Functions/ImplicitSurfaces.h"

#include <gtest/gtest.h>

#include <string>

#include "Mesh/TriangulateMesh.h"
#include "Parser/Functions/MeshObject.h"
#include "Support/RecordingScriptTest.h"

namespace Vexa {
namespace {

using Testing::Lines;
using Testing::send;

class ImplicitSurfaces : public Testing::RecordingScriptTest {
protected:
    std::string script() override {
        return "w = TestAnimatedNumber 0\n"
               "balls = MetaCubes ( < 0 0 0 > w )\n"
               "mesh = TriangulateMesh { function = SinSphere { phases = < 0 0 0 > }\n"
               "  voxelsize = 0.25 primitive_max = 1e9 vertex_max = 100000 }\n"
               "few = TriangulateMesh { function = balls voxelsize = 0.25 vertex_max = 2000\n"
               "  primitive_max = 10 }\n"
               "small = TriangulateMesh { function = balls voxelsize = 0.25 vertex_max = 320\n"
               "  primitive_max = 1000 }\n";
    }
    TriangulateMesh& primitive(const char* name) {
        return *static_cast<TriangulateMesh*>(
            static_cast<MeshObject*>(parser().lookup(name))->primitive());
    }
    std::string updated(const char* name) {
        return Testing::printed(parser().lookup(name), SimpleCommand(0, CommandKinds::Update()));
    }
};

// Load makes the buffers once, the vertex count clamped to what 16-bit
// indices reach and the triangle count to what those vertices can form;
// Update refills them and Draw draws what it made; Unload deletes them.
TEST_F(ImplicitSurfaces, MakesClampedBuffersOnLoadAndRefillsThemOnUpdate) {
    EXPECT_EQ(
        calls("mesh", CommandKinds::Load()),
        (Lines{"createVertexStream(65536, 24, 5) -> vbuf1", "createIndexStream(655362, 0) -> ibuf1",
               "createVertexDeclaration() -> decl1"}));
    EXPECT_EQ(calls("mesh", CommandKinds::Load()), Lines{});
    EXPECT_EQ(calls("mesh", CommandKinds::Update()),
              (Lines{"ibuf1.lock(8192)", "vbuf1.lock(8192)", "ibuf1.unlock()", "vbuf1.unlock()"}));
    const TriangulateMesh& mesh = primitive("mesh");
    EXPECT_GT(mesh.triangleCount(), 1000);
    EXPECT_EQ(
        calls("mesh", CommandKinds::Draw()),
        (Lines{"setVertexDeclaration(decl1)", "setVertexStream(vbuf1, 0)", "setIndexStream(ibuf1)",
               "drawIndexedPrimitive(TRIANGLE_LIST, 0, 0, " + std::to_string(mesh.vertexCount()) +
                   ", 0, " + std::to_string(mesh.triangleCount()) + ")"}));
    EXPECT_EQ(calls("mesh", CommandKinds::Unload()),
              (Lines{"delete decl1", "delete vbuf1", "delete ibuf1"}));
    EXPECT_EQ(calls("mesh", CommandKinds::Draw()), Lines{});
}

// RangeDraw draws from truncate(count × start) on, truncate((end - start) ×
// count) triangles, with start raised to 0 and end lowered to 1; the fractions
// are read when the command runs.
TEST_F(ImplicitSurfaces, RangeDrawDrawsTheFractionOfTheTriangles) {
    send(parser().lookup("mesh"), CommandKinds::Update());
    const int n = primitive("mesh").triangleCount();
    auto* start = new NumberObject(0);
    auto* end = new NumberObject(0);
    RangeDrawCommand range(0, start, end);
    const struct {
        float start, end;
        int first, count;  // count 0: nothing drawn
    } cases[] = {
        {0, 0.5f, 0, n / 2},  {0.5f, 2, n / 2, n / 2},
        {-1, 0.5f, 0, n / 2}, {0.25f, 0.5f, n / 4, n / 4},
        {1, 1, 0, 0},         {0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        start->setValue(c.start);
        end->setValue(c.end);
        m_machine->clearLog();
        parser().lookup("mesh")->execute(range);
        const Lines log = m_machine->takeLog();
        if (c.count == 0) {
            EXPECT_EQ(log, Lines{}) << c.start << " " << c.end;
            continue;
        }
        ASSERT_EQ(log.size(), 4u) << c.start << " " << c.end;
        EXPECT_EQ(log[3], "drawIndexedPrimitive(TRIANGLE_LIST, 0, 0, " +
                              std::to_string(primitive("mesh").vertexCount()) + ", " +
                              std::to_string(3 * c.first) + ", " + std::to_string(c.count) + ")")
            << c.start << " " << c.end;
    }
}

// A surface that needs more vertices or triangles than the mesh holds writes
// its message on every Update and is not drawn until it fits again. The
// ball's weight is read at each Update: the soft box alone fits into
// "small", the box with the grown ball does not.
TEST_F(ImplicitSurfaces, OverflowIsReportedOnEveryUpdateAndDrawsNothing) {
    EXPECT_EQ(updated("small"), "");
    EXPECT_EQ(calls("small", CommandKinds::Draw()).size(), 4u);
    send(parser().lookup("w"), CommandKinds::Update(), 0.002f);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(updated("small"), "Triangulate: Too many vertices!\n");
        EXPECT_EQ(updated("few"), "Triangulate: Too many triangles!\n");
    }
    EXPECT_EQ(calls("small", CommandKinds::Draw()), Lines{});
}

}  // namespace
}  // namespace Vexa
