// The generated plane and the streams a product mesh builds from a chain.
#include <gtest/gtest.h>

#include "Mesh/MeshKit.h"
#include "Mesh/PlaneProducer.h"
#include "Mesh/Processing/Tesselation.h"
#include "Mesh/ProductMesh.h"
#include "Support/RecordingRenderMachine.h"

namespace Vexa {
namespace {

using namespace Testing;

TEST(PlaneProducer, GridOfTwoTrianglesPerCellWithVRunningDown) {
    KeepingConsumer out;
    PlaneProducer plane(2, 1);
    plane.setConsumer(&out);
    plane.produce();
    EXPECT_EQ(out.faces.faceCount, 4);
    EXPECT_EQ(out.faces.indices, (std::vector<int>{0, 3, 1, 1, 3, 4, 1, 4, 2, 2, 4, 5}));
    // Vertex 1 is the middle of the bottom row, vertex 5 the top right.
    EXPECT_EQ(out.vertex(1), (std::vector<float>{0, -1, 0, 0.5f, 1, 0}));
    EXPECT_EQ(out.vertex(5), (std::vector<float>{1, 1, 0, 1, 0, 0}));
}

TEST(ProductMesh, BuildsStreamsOnceAndDrawsRanges) {
    auto machine = RecordingRenderMachine::create();
    auto& recorder = static_cast<RecordingRenderMachine&>(*machine);
    ProductMesh mesh(machine.get(), std::make_unique<PlaneProducer>(2, 2));
    mesh.load();
    mesh.unload();  // keeps what was built
    mesh.load();
    EXPECT_EQ(recorder.takeLog().size(), 7u);  // two streams filled, one declaration
    // Half of 8 triangles from the second quarter on: triangles 2 to 5.
    mesh.drawRange(0.25f, 0.75f);
    mesh.drawRange(1.0f, 1.0f);
    EXPECT_EQ(recorder.takeLog().back(), "drawIndexedPrimitive(TRIANGLE_LIST, 0, 0, 9, 6, 4)");
}

TEST(ProductMesh, WidensIndicesPastSixteenBitsAndNamesBadProperties) {
    auto machine = RecordingRenderMachine::create();
    auto& recorder = static_cast<RecordingRenderMachine&>(*machine);
    std::string wide = header(70001,
                              "element triangles 1\nproperty int index0\n"
                              "property int index1\nproperty int index2\nbdata\n");
    wide += std::string(70001 * 12, '\0') + word(0) + word(70000) + word(1);
    R3DChain chain(wide);
    chain.append<Tesselator>();
    ProductMesh mesh(machine.get(), std::move(chain.tail));
    mesh.load();
    EXPECT_EQ(recorder.takeLog()[3], "createIndexStream(3, 1) -> ibuf1");

    R3DChain named(header(1, "property real u\ndata\n0 0 0 1\n"), {{"uv", {"u"}}});
    ProductMesh refused(machine.get(), std::move(named.tail));
    EXPECT_EQ(messageOf([&] { refused.load(); }), "Invalid vertex property uv");
}

}  // namespace
}  // namespace Vexa
