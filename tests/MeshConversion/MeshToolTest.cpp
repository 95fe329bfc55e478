#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "Common/DataBlock.h"
#include "Mesh/MeshKit.h"
#include "MeshConversion/MeshTool.h"
#include "Support/TestKit.h"

namespace Vexa {
namespace {

// A square and a pentagon with normals and texture coordinates; two
// coordinates are written with exponents.
const char* const kObj =
    "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 1e-7\n"
    "v 2 0 0.5\nv 3 0 0.5\nv 3.5 1 0.5\nv 2.5 1.7 0.5\nv 1.8 1 -3e20\n"
    "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvt 0.25 0.75\n"
    "vn 0 0 1\nvn 0.6 0 0.8\n"
    "f 1/1/1 2/2/1 3/3/1 4/4/1\n"
    "f 5/1/2 6/2/2 7/3/2 8/4/2 9/5/2\n";

int runTool(std::vector<std::string> args, std::string* errors = nullptr) {
    args.insert(args.begin(), "vexa-mesh");
    std::vector<const char*> argv;
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    MeshToolOptions options;
    std::string usage;
    if (!parseMeshToolArguments(static_cast<int>(argv.size()), argv.data(), options, usage))
        return 2;
    std::ostringstream out, err;
    const int status = runMeshTool(options, out, err);
    if (errors) *errors = err.str();
    return status;
}

// Our reader reads back exactly the vertices and faces the converter took
// from the model, in text and binary, as triangles and as polygons.
TEST(MeshToolTest, ReaderReadsBackWhatTheConverterWrote) {
    TempDir dir;
    const std::string obj = dir.write("shapes.obj", kObj);
    for (const bool binary : {false, true})
        for (const bool polygons : {false, true}) {
            SCOPED_TRACE(std::string(binary ? "binary" : "text") + (polygons ? " polygons" : ""));
            std::vector<std::string> args = {"--flip-v", "--progress", obj, dir / "out.r3d"};
            if (binary) args.insert(args.begin(), "--binary");
            if (polygons) args.insert(args.begin(), {"--faces", "polygons"});
            std::string errors;
            ASSERT_EQ(runTool(args, &errors), 0) << errors;
            EXPECT_NE(errors.find("out.r3d: 100%\n"), std::string::npos) << errors;

            ImportOptions import;
            import.flipV = true;
            import.triangulate = !polygons;
            const ConvertedMesh expected = ImportedScene(obj, import).convert();
            ASSERT_EQ(expected.vertexCount(), 9u);
            ASSERT_EQ(expected.faceCount(), polygons ? 2u : 5u);

            FileDataBlock file(dir / "out.r3d");
            R3DReader reader(&file,
                             {{"normal", {"normalx", "normaly", "normalz"}}, {"tex0", {"u", "v"}}});
            Testing::KeepingConsumer read;
            reader.setConsumer(&read);
            reader.produce();

            ASSERT_EQ(read.vertices.count, 9);
            ASSERT_EQ(read.vertices.format.total, 8);
            for (int i = 0; i < 9; ++i) {
                const float* v = read.vertices.vertex(i);
                for (int k = 0; k < 3; ++k) {
                    EXPECT_EQ(v[k], expected.positions[3 * i + k]) << i;
                    EXPECT_EQ(v[3 + k], expected.normals[3 * i + k]) << i;
                }
                for (int k = 0; k < 2; ++k) EXPECT_EQ(v[6 + k], expected.texCoords[2 * i + k]);
            }
            EXPECT_EQ(read.faces.degree, polygons ? -1 : 3);
            EXPECT_EQ(read.faces.faceCount, static_cast<int>(expected.faceCount()));
            EXPECT_EQ(read.faces.indices, expected.indices);
            if (polygons) {
                EXPECT_EQ(read.faces.polygonSizes, expected.faceSizes);
            }
        }
}

// One triangle placed by two nodes: moved along x, and mirrored in x. The
// merged mesh has both copies; the mirrored one's corners are reversed so it
// still faces the same way. A mesh picked alone keeps its own coordinates.
TEST(MeshToolTest, MergesMeshesUnderTheirNodeTransformsAndPicksOneAlone) {
    TempDir dir;
    const float corners[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    const unsigned short triangle[4] = {0, 1, 2, 0};
    std::string bin(reinterpret_cast<const char*>(corners), sizeof corners);
    bin.append(reinterpret_cast<const char*>(triangle), sizeof triangle);
    dir.write("tri.bin", bin);
    const std::string gltf = dir.write("scene.gltf", R"({
      "asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0, 1]}],
      "nodes": [{"mesh": 0, "translation": [10, 0, 0]}, {"mesh": 0, "scale": [-1, 1, 1]}],
      "meshes": [{"name": "tri", "primitives": [{"attributes": {"POSITION": 0}, "indices": 1}]}],
      "buffers": [{"uri": "tri.bin", "byteLength": 44}],
      "bufferViews": [{"buffer": 0, "byteLength": 36}, {"buffer": 0, "byteOffset": 36, "byteLength": 6}],
      "accessors": [
        {"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3", "min": [0, 0, 0], "max": [1, 1, 0]},
        {"bufferView": 1, "componentType": 5123, "count": 3, "type": "SCALAR"}]})");

    ImportOptions import;
    import.scale = 2.0f;
    const ConvertedMesh merged = ImportedScene(gltf, import).convert();
    EXPECT_EQ(merged.positions, (std::vector<float>{20, 0, 0, 22, 0, 0, 20, 2, 0,  //
                                                    0, 0, 0, -2, 0, 0, 0, 2, 0}));
    EXPECT_EQ(merged.indices, (std::vector<int>{0, 1, 2, 5, 4, 3}));

    import.meshName = "tri";
    const ConvertedMesh alone = ImportedScene(gltf, import).convert();
    EXPECT_EQ(alone.positions, (std::vector<float>{0, 0, 0, 2, 0, 0, 0, 2, 0}));
    EXPECT_EQ(alone.indices, (std::vector<int>{0, 1, 2}));
}

TEST(MeshToolTest, ReportsTheFileAndTheReasonWhenItCannotConvert) {
    TempDir dir;
    const std::string obj = dir.write("shapes.obj", kObj);
    const std::string points = dir.write("points.obj", "v 0 0 0\nv 1 0 0\np 1\np 2\n");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{dir / "none.obj", dir / "out.r3d"}, 1, dir / "none.obj: Unable to open file"},
        {{points, dir / "out.r3d"}, 1, points + ": the scene holds no mesh with faces\n"},
        {{"--mesh", "1", obj, dir / "out.r3d"},
         1,
         obj + ": there is no mesh 1: the scene holds 1 mesh, numbered from 0\n"},
        {{obj, dir / "missing/out.r3d"}, 1, "cannot write " + dir / "missing/out.r3d"},
        {{"--faces", "quads", obj, dir / "out.r3d"}, 2, ""},
        {{obj}, 2, ""},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(i);
        std::string errors;
        EXPECT_EQ(runTool(c.args, &errors), c.status);
        EXPECT_NE(errors.find(c.message), std::string::npos) << errors;
    }
}

}  // namespace
}  // namespace Vexa
