// The processors of a mesh chain: splitting faces into triangles, normals
// with a smoothing angle, and morph targets.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "Mesh/MeshKit.h"
#include "Mesh/Processing/MorphTargets.h"
#include "Mesh/Processing/NormalCalculator.h"
#include "Mesh/Processing/Tesselation.h"

namespace Vexa {
namespace {

using namespace Testing;

// A text R3D file of `points` and the polygon element `lists` (each a
// corner count and the corners), with `count` polygons.
std::string polygonFile(const std::string& points, int count, const std::string& lists) {
    const int vertices = int(std::count(points.begin(), points.end(), ',')) + 1;
    std::string file =
        header(vertices, "element polygons " + std::to_string(count) +
                             "\nproperty list int indices\ndata\n" + points + "\n" + lists);
    std::replace(file.begin(), file.end(), ',', ' ');
    return file;
}

// Twice the signed area of triangle (a, b, c) in the plane of axes u and v.
float area2(const float* a, const float* b, const float* c, int u, int v) {
    return (b[u] - a[u]) * (c[v] - a[v]) - (b[v] - a[v]) * (c[u] - a[u]);
}

TEST(Tesselator, SplitsQuadsAndPolygonsInsideTheirOutline) {
    struct Case {
        const char* points;  // x y z, x y z, ...
        int count;
        const char* lists;
        int triangles;
        std::vector<int> expected;  // the triangles, when pinned
        int u, v;                   // the plane to measure areas in
        float area;                 // the outline's area (twice, signed)
    };
    const Case cases[] = {
        {"0 0 0, 1 0 0, 1 1 0, 0 1 0", 1, "4 0 1 2 3", 2, {0, 1, 2, 0, 2, 3}, 0, 1, 2},
        // Corner 1 is concave: the split takes the other diagonal.
        {"0 0 0, 0.4 0.6 0, 1 1 0, 0 1 0", 1, "4 0 1 2 3", 2, {0, 1, 3, 1, 2, 3}, 0, 1, 0.8f},
        // A U in the xz plane, wound clockwise seen from +y: the notch
        // between the arms stays empty.
        {"0 0 0, 0 0 3, 1 0 3, 1 0 1, 2 0 1, 2 0 3, 3 0 3, 3 0 0",
         1,
         "8 0 1 2 3 4 5 6 7",
         6,
         {},
         2,
         0,
         14},
        {"0 0 0", 1, "0", 0, {}, 0, 1, 0},
        {"0 0 0, 1 0 0, 1 1 0, 0 1 0, 0.5 2 0", 2, "4 0 1 2 3  5 0 1 2 4 3", 5, {}, 0, 1, 5},
    };
    for (const Case& c : cases) {
        R3DChain chain(polygonFile(c.points, c.count, c.lists));
        chain.append<Tesselator>();
        KeepingConsumer& out = chain.produce();
        const int expectedTriangles = c.triangles;
        EXPECT_EQ(out.faces.degree, 3) << c.lists;
        EXPECT_EQ(out.faces.faceCount, expectedTriangles) << c.lists;
        EXPECT_EQ(out.faces.rangeCount, expectedTriangles) << c.lists;
        if (!c.expected.empty()) {
            EXPECT_EQ(out.faces.indices, c.expected) << c.lists;
        }
        // Every triangle turns the outline's way and together they cover it.
        float total = 0;
        for (int t = 0; t < out.faces.faceCount; ++t) {
            const int* i = &out.faces.indices[t * 3];
            const float a = area2(out.vertices.vertex(i[0]), out.vertices.vertex(i[1]),
                                  out.vertices.vertex(i[2]), c.u, c.v);
            EXPECT_GE(a * c.area, 0) << c.lists << " triangle " << t;
            total += std::fabs(a);
        }
        EXPECT_FLOAT_EQ(total, std::fabs(c.area)) << c.lists;
    }
}

// A cube of eight corners and six quads.
const std::string kCube =
    polygonFile("0 0 0, 1 0 0, 0 1 0, 1 1 0, 0 0 1, 1 0 1, 0 1 1, 1 1 1", 6,
                "4 0 2 3 1  4 4 5 7 6  4 0 1 5 4  4 2 6 7 3  4 0 4 6 2  4 1 3 7 5");

TEST(NormalCalculator, SplitsVerticesAtEdgesSharperThanTheSmoothingAngle) {
    const struct {
        float angle;
        int vertices;
    } cases[] = {{NormalCalculator::kDefaultSmoothingAngle, 24}, {3.2f, 8}};
    for (const auto& c : cases) {
        R3DChain chain(kCube);
        chain.append<NormalCalculator>(c.angle);
        chain.append<Tesselator>();
        KeepingConsumer& out = chain.produce();
        ASSERT_EQ(out.vertices.count, c.vertices);
        ASSERT_EQ(out.faces.faceCount, 12);
        const int n = out.vertices.format.find("normal")->offset;
        for (int v = 0; v < c.vertices; ++v) {
            const float* p = out.vertices.vertex(v);
            for (int axis = 0; axis < 3; ++axis) {
                // Split: each copy has its face's normal, along one axis.
                // Smooth: the normals point away from the cube's centre.
                const float expected = c.vertices == 24 ? std::round(p[n + axis])
                                                        : (p[axis] - 0.5f) * 2 / std::sqrt(3.0f);
                EXPECT_NEAR(p[n + axis], expected, 1e-6) << c.vertices << " vertex " << v;
            }
        }
    }
}

TEST(MorphTargets, PositionsMoveFromTheBaseTowardsEachWeightedTarget) {
    const std::string file = header(1,
                                    "property real upx\nproperty real upy\nproperty real upz\n"
                                    "property real outx\nproperty real outy\nproperty real outz\n"
                                    "data\n1 1 1  1 3 1  5 1 1\n");
    R3DChain chain(file);
    MorphTargetProcessor* morph =
        chain.append<MorphTargetProcessor>(std::vector<std::string>{"up", "out"});
    const struct {
        float up, out;
        std::vector<float> location;
    } cases[] = {
        {0, 0, {1, 1, 1}}, {0.5f, 0, {1, 2, 1}}, {1, 0.5f, {3, 3, 1}}, {-1, 0, {1, -1, 1}}};
    for (const auto& c : cases) {
        morph->setWeight(0, c.up);
        morph->setWeight(1, c.out);
        EXPECT_EQ(chain.produce().vertex(0), c.location) << c.up << " " << c.out;
    }
}

}  // namespace
}  // namespace Vexa
