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

// A text R3D file of located vertices and one polygon element.
std::string polygonFile(const std::vector<std::vector<float>>& points,
                        const std::vector<std::vector<int>>& polygons) {
    std::string file = header(int(points.size()), "element polygons " +
                                                      std::to_string(polygons.size()) +
                                                      "\nproperty list int indices\ndata\n");
    for (const auto& p : points)
        for (float f : p) file += std::to_string(f) + " ";
    for (const auto& polygon : polygons) {
        file += "\n" + std::to_string(polygon.size());
        for (int i : polygon) file += " " + std::to_string(i);
    }
    return file;
}

// Twice the signed area of triangle (a, b, c) in the plane of axes u and v.
float area2(const float* a, const float* b, const float* c, int u, int v) {
    return (b[u] - a[u]) * (c[v] - a[v]) - (b[v] - a[v]) * (c[u] - a[u]);
}

TEST(Tesselator, SplitsQuadsAndPolygonsInsideTheirOutline) {
    struct Case {
        const char* name;
        std::vector<std::vector<float>> points;
        std::vector<std::vector<int>> polygons;
        std::vector<int> expected;  // the triangles, when pinned
        int u, v;                   // the plane to measure areas in
        float area;                 // the outline's area (twice, signed)
    };
    const Case cases[] = {
        {"convex quad", {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 1, 2, 3}},
         {0, 1, 2, 0, 2, 3}, 0, 1, 2},
        {"quad with p1 concave", {{0, 0, 0}, {0.4f, 0.6f, 0}, {1, 1, 0}, {0, 1, 0}},
         {{0, 1, 2, 3}}, {0, 1, 3, 1, 2, 3}, 0, 1, 0.8f},
        // A U in the xz plane, wound clockwise seen from +y: the notch
        // between the arms stays empty.
        {"concave U",
         {{0, 0, 0}, {0, 0, 3}, {1, 0, 3}, {1, 0, 1}, {2, 0, 1}, {2, 0, 3}, {3, 0, 3}, {3, 0, 0}},
         {{0, 1, 2, 3, 4, 5, 6, 7}}, {}, 2, 0, 14},
        {"empty polygon", {{0, 0, 0}}, {{}}, {}, 0, 1, 0},
        {"square and pentagon",
         {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0.5f, 2, 0}},
         {{0, 1, 2, 3}, {0, 1, 2, 4, 3}}, {}, 0, 1, 5},
    };
    for (const Case& c : cases) {
        R3DChain chain(polygonFile(c.points, c.polygons));
        chain.append<Tesselator>();
        KeepingConsumer& out = chain.produce();
        int expectedTriangles = 0;
        for (const auto& polygon : c.polygons) expectedTriangles += std::max(int(polygon.size()) - 2, 0);
        EXPECT_EQ(out.faces.degree, 3) << c.name;
        EXPECT_EQ(out.faces.faceCount, expectedTriangles) << c.name;
        EXPECT_EQ(out.faces.rangeCount, expectedTriangles) << c.name;
        if (!c.expected.empty()) {
            EXPECT_EQ(out.faces.indices, c.expected) << c.name;
        }
        // Every triangle turns the outline's way and together they cover it.
        float total = 0;
        for (int t = 0; t < out.faces.faceCount; ++t) {
            const int* i = &out.faces.indices[t * 3];
            const float a = area2(out.vertices.vertex(i[0]), out.vertices.vertex(i[1]),
                                  out.vertices.vertex(i[2]), c.u, c.v);
            EXPECT_GE(a * c.area, 0) << c.name << " triangle " << t;
            total += std::fabs(a);
        }
        EXPECT_FLOAT_EQ(total, std::fabs(c.area)) << c.name;
    }
}

// A cube of eight corners and six quads.
std::string cubeFile() {
    std::vector<std::vector<float>> corners;
    for (int i = 0; i < 8; ++i)
        corners.push_back({float(i & 1), float((i >> 1) & 1), float((i >> 2) & 1)});
    return polygonFile(corners, {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                 {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}});
}

TEST(NormalCalculator, SplitsVerticesAtEdgesSharperThanTheSmoothingAngle) {
    const struct {
        float angle;
        int vertices;
    } cases[] = {{NormalCalculator::kDefaultSmoothingAngle, 24}, {3.2f, 8}};
    for (const auto& c : cases) {
        R3DChain chain(cubeFile());
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
    } cases[] = {{0, 0, {1, 1, 1}}, {0.5f, 0, {1, 2, 1}}, {1, 0.5f, {3, 3, 1}}, {-1, 0, {1, -1, 1}}};
    for (const auto& c : cases) {
        morph->setWeight(0, c.up);
        morph->setWeight(1, c.out);
        EXPECT_EQ(chain.produce().vertex(0), c.location) << c.up << " " << c.out;
    }
}

}  // namespace
}  // namespace Vexa
