// The random tree: its growth against the scan that defines it, the first
// vertex the standard sequence puts down, and the line list it draws.
#include <gtest/gtest.h>

#include "Common/Random.h"
#include "Parser/Functions/RandomTree.h"
#include "Support/RecordingScriptTest.h"

namespace Vexa {
namespace {

// Steps that stay inside the cube, overshoot their targets out of it, put
// every vertex at the origin (ties everywhere) and walk away from the targets.
TEST(RandomTreeTest, IndexedGrowthEqualsTheScan) {
    const struct {
        int points;
        float length;
    } cases[] = {{3000, 0.01f}, {3000, 0.3f}, {400, 0.0f}, {400, -0.5f}, {1000, 3.0f}};
    for (const auto& c : cases) {
        StandardRandom a, b;
        const RandomTree indexed = growRandomTree(c.points, c.length, a);
        const RandomTree scanned = growRandomTreeByScan(c.points, c.length, b);
        EXPECT_EQ(indexed.positions, scanned.positions) << c.points << " " << c.length;
        EXPECT_EQ(indexed.segments, scanned.segments) << c.points << " " << c.length;
    }
}

// The first three numbers 41, 18467, 6334 become z, y and x of the target;
// the new vertex is one step from the origin towards it.
TEST(RandomTreeTest, FirstSegmentStepsFromTheOriginTowardsTheFirstTarget) {
    StandardRandom random;
    const RandomTree tree = growRandomTree(2, 0.5f, random);
    const std::vector<float> expected = {0, 0, 0, -0.26037745f, 0.05398243f, -0.42342589f};
    ASSERT_EQ(tree.positions.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k)
        EXPECT_NEAR(tree.positions[k], expected[k], 1e-6f) << k;
    EXPECT_EQ(tree.segments, (std::vector<uint16_t>{0, 1}));
}

using RTreeScriptTest = Testing::RecordingScriptTest;

// Draw before any Load grows the default tree into both streams, locked
// together; Unload deletes the declaration, then the streams.
TEST_F(RTreeScriptTest, DrawsTheDefaultTreeAsALineList) {
    run("tree = RTree { graphicsSystem = graphicsSystem }", "tree");
    const Testing::Lines draw = calls("tree", CommandKinds::Draw());
    EXPECT_EQ((Testing::Lines{draw.begin() + 1, draw.begin() + 7}),
              (Testing::Lines{"createIndexStream(19998, 0) -> ibuf1",
                              "createVertexStream(10000, 12, 4) -> vbuf1", "ibuf1.lock(0)",
                              "vbuf1.lock(0)", "ibuf1.unlock()", "vbuf1.unlock()"}));
    EXPECT_EQ(draw.back(), "drawIndexedPrimitive(LINE_LIST, 0, 0, 10000, 0, 9999)");
    EXPECT_EQ(calls("tree", CommandKinds::Unload()),
              (Testing::Lines{"delete decl1", "delete ibuf1", "delete vbuf1"}));
}

}  // namespace
}  // namespace Vexa
