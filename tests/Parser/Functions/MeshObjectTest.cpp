// Mesh objects in scripts: R3D meshes with their options, animated morph
// weights, drawing by range and the scene triple's two forms.
#include <gtest/gtest.h>

#include "Parser/Functions/MaterialObject.h"
#include "Parser/Functions/MeshObject.h"
#include "Parser/Functions/TransformObject.h"
#include "Support/RecordingScriptTest.h"

namespace Vexa {
namespace {

using Testing::Lines;

// One triangle whose top corner has a morph target "up" one unit higher.
const char* const kMesh =
    "element vertices 3\nproperty real locationx\nproperty real locationy\n"
    "property real locationz\nproperty real upx\nproperty real upy\nproperty real upz\n"
    "element triangles 1\nproperty int index0\nproperty int index1\nproperty int index2\n"
    "data\n0 0 0 0 0 0\n1 0 0 1 0 0\n0 1 0 0 2 0\n0 1 2\n";

class MeshObjectTest : public Testing::RecordingScriptTest {
protected:
    std::string script() override {
        m_dir.write("m.r3d", kMesh);
        return "directory = \"" + m_dir.path() + "\"  file = File \"m.r3d\"\n";
    }
    TempDir m_dir;
};

TEST_F(MeshObjectTest, NormalsAreLeftOutOnlyWhenAskedTo) {
    const struct {
        const char* options;
        const char* stream;
    } cases[] = {
        {"", "createVertexStream(3, 24, 4) -> vbuf1"},
        {"calculate_normals = 0", "createVertexStream(3, 12, 4) -> vbuf2"},
        {"calculate_normals = 1.9", "createVertexStream(3, 24, 4) -> vbuf3"},
    };
    for (const auto& c : cases) {
        run(std::string("m = R3DMesh { file = file ") + c.options + " }", "m");
        EXPECT_EQ(calls("m", CommandKinds::Load())[0], c.stream) << c.options;
    }
}

// Weights are read on Update; the streams are filled again only when one
// has moved, and the drawn window follows animated range numbers.
TEST_F(MeshObjectTest, AnimatedWeightsAndRangesAreReadWhenUsed) {
    run("w = TestAnimatedNumber 0  s = TestAnimatedNumber 0\n"
        "m = R3DMesh { file = file endomorph = ( \"up\" w ) }\n"
        "r = RangeDraw ( s 1 )");
    calls("m", CommandKinds::Load());
    Testing::send(parser().lookup("w"), CommandKinds::Update(), 0.0f);
    EXPECT_EQ(calls("m", CommandKinds::Update()), Lines{});
    Testing::send(parser().lookup("w"), CommandKinds::Update(), 0.5f);
    EXPECT_EQ(calls("m", CommandKinds::Update()),
              (Lines{"vbuf1.lock(0)", "vbuf1.unlock()", "ibuf1.lock(0)", "ibuf1.unlock()",
                     "createVertexDeclaration() -> decl2", "delete decl1"}));
    Testing::send(parser().lookup("s"), CommandKinds::Update(), 1.0f);
    m_machine->clearLog();
    parser().lookup("m")->execute(*static_cast<CommandObject*>(parser().lookup("r")));
    EXPECT_EQ(m_machine->takeLog(), Lines{});
}

// A tuple argument is the positional form, which has no shadow mesh.
TEST_F(MeshObjectTest, SceneTripleTakesItsPartsByPositionOrByName) {
    run("m = R3DMesh { file = file }  t = LwTransform { }  a = Material { }\n"
        "p = SceneTriple ( m t a )\n"
        "n = SceneTriple { mesh = m transform = t material = a shadow_mesh = m }");
    const auto* mesh = static_cast<MeshObject*>(parser().lookup("m"))->primitive();
    for (const char* name : {"p", "n"}) {
        const auto* triple = static_cast<SceneTripleObject*>(parser().lookup(name));
        EXPECT_EQ(triple->mesh(), mesh);
        EXPECT_EQ(triple->shadowMesh(), name[0] == 'n' ? mesh : nullptr);
        EXPECT_EQ(triple->transform(), parser().lookup("t"));
        EXPECT_EQ(triple->material(), parser().lookup("a"));
    }
}

}  // namespace
}  // namespace Vexa
