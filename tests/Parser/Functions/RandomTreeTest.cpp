// The random tree: its growth against the scan that defines it, the first
// vertex the standard sequence puts down, and the line list it draws.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

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

// The first three numbers 41, 18467, 6334 become z, y and x of the target.
TEST(RandomTreeTest, FirstSegmentStepsFromTheOriginTowardsTheFirstTarget) {
    StandardRandom random;
    const RandomTree tree = growRandomTree(2, 0.5f, random);
    ASSERT_EQ(tree.positions.size(), 6u);
    const float expected[3] = {-0.26037745f, 0.05398243f, -0.42342589f};
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(tree.positions[k], 0.0f);
        EXPECT_NEAR(tree.positions[3 + k], expected[k], 1e-6f) << k;
    }
    EXPECT_EQ(tree.segments, (std::vector<uint16_t>{0, 1}));
}

TEST(RandomTreeTest, EverySegmentIsOneStepFromAnEarlierVertex) {
    StandardRandom random;
    const RandomTree tree = growRandomTree(10000, 0.01f, random);
    ASSERT_EQ(tree.segments.size(), 2u * 9999);
    for (int i = 1; i < 10000; ++i) {
        const int parent = tree.segments[2 * i - 2];
        ASSERT_EQ(tree.segments[2 * i - 1], i);
        ASSERT_LT(parent, i);
        double squared = 0;
        for (int k = 0; k < 3; ++k) {
            const double d = tree.positions[3 * i + k] - tree.positions[3 * parent + k];
            squared += d * d;
        }
        ASSERT_NEAR(std::sqrt(squared), 0.01, 1e-6) << i;
    }
}

class RTreeScriptTest : public Testing::RecordingScriptTest {};

// Draw before any Load grows the tree; Unload deletes the streams.
TEST_F(RTreeScriptTest, DrawsTheDefaultTreeAsALineList) {
    run("tree = RTree { graphicsSystem = graphicsSystem }", "tree");
    const Testing::Lines draw = calls("tree", CommandKinds::Draw());
    const Testing::Lines expected = {"createVertexDeclaration() -> decl1",
                                     "createIndexStream(19998, 0) -> ibuf1",
                                     "createVertexStream(10000, 12, 4) -> vbuf1",
                                     "ibuf1.lock(0)",
                                     "ibuf1.unlock()",
                                     "vbuf1.lock(0)",
                                     "vbuf1.unlock()",
                                     "setVertexDeclaration(decl1)",
                                     "setVertexStream(vbuf1, 0)",
                                     "setIndexStream(ibuf1)",
                                     "drawIndexedPrimitive(LINE_LIST, 0, 0, 10000, 0, 9999)"};
    EXPECT_EQ(draw, expected);
    EXPECT_EQ(calls("tree", CommandKinds::Unload()),
              (Testing::Lines{"delete vbuf1", "delete ibuf1", "delete decl1"}));
}

}  // namespace
}  // namespace Vexa
