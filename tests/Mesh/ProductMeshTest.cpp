// The generated plane and the streams a product mesh builds from a chain.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Mesh/PlaneProducer.h"
#include "Mesh/ProductMesh.h"
#include "Mesh/MeshKit.h"
#include "Support/RecordingRenderMachine.h"

namespace Vexa {
namespace {

using Testing::KeepingConsumer;

TEST(PlaneProducer, GridOfTwoTrianglesPerCellWithVRunningDown) {
    KeepingConsumer out;
    PlaneProducer plane(2, 1);
    plane.setConsumer(&out);
    plane.produce();
    EXPECT_EQ(out.vertices.count, 6);
    EXPECT_EQ(out.faces.faceCount, 4);
    EXPECT_EQ(out.faces.rangeCount, 4);
    EXPECT_EQ(out.faces.indices, (std::vector<int>{0, 3, 1, 1, 3, 4, 1, 4, 2, 2, 4, 5}));
    // Vertex 1 is the middle of the bottom row, vertex 5 the top right.
    const std::vector<float> bottomMiddle(out.vertices.vertex(1), out.vertices.vertex(1) + 6);
    const std::vector<float> topRight(out.vertices.vertex(5), out.vertices.vertex(5) + 6);
    EXPECT_EQ(bottomMiddle, (std::vector<float>{0, -1, 0, 0.5f, 1, 0}));
    EXPECT_EQ(topRight, (std::vector<float>{1, 1, 0, 1, 0, 0}));
}

TEST(ProductMesh, BuildsStreamsOnceAndDrawsRanges) {
    auto machine = RecordingRenderMachine::create();
    auto& recorder = static_cast<RecordingRenderMachine&>(*machine);
    ProductMesh mesh(machine.get(), std::make_unique<PlaneProducer>(2, 2));
    mesh.load();
    mesh.load();
    EXPECT_EQ(mesh.vertexCount(), 9);
    EXPECT_EQ(mesh.triangleCount(), 8);
    mesh.draw();
    // Half of 8 triangles from the second quarter on: triangles 2 to 5.
    mesh.drawRange(0.25f, 0.75f);
    mesh.drawRange(1.0f, 1.0f);
    const std::vector<std::string> expected = {
        "createVertexDeclaration() -> decl1",
        "createVertexStream(9, 24, 4) -> vbuf1",
        "vbuf1.lock(0)",
        "vbuf1.unlock()",
        "createIndexStream(24, 0) -> ibuf1",
        "ibuf1.lock(0)",
        "ibuf1.unlock()",
        "setVertexDeclaration(decl1)",
        "setVertexStream(vbuf1, 0)",
        "setIndexStream(ibuf1)",
        "drawIndexedPrimitive(TRIANGLE_LIST, 0, 0, 9, 0, 8)",
        "setVertexDeclaration(decl1)",
        "setVertexStream(vbuf1, 0)",
        "setIndexStream(ibuf1)",
        "drawIndexedPrimitive(TRIANGLE_LIST, 0, 0, 9, 6, 4)",
    };
    EXPECT_EQ(recorder.takeLog(), expected);
}

}  // namespace
}  // namespace Vexa
