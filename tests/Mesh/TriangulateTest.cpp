#include "Mesh/Triangulate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <vector>

#include "Parser/Functions/ImplicitSurfaces.h"
#include "Support/TestKit.h"

namespace Vexa {
namespace {

// A field given by a function over the box from 0 to 3; normals stay 0.
struct FunctionField : TriangulateInput {
    explicit FunctionField(std::function<float(float, float, float)> g) : f(std::move(g)) {}
    void getBounds(float min[3], float max[3]) const override {
        std::fill_n(min, 3, 0.0f), std::fill_n(max, 3, 3.0f);
    }
    void computeNormals(float*, int) const override {}
    void sample(float* v, const float o[3], int nx, int ny, float step) const override {
        for (int n = 0; n < nx * ny; ++n)
            v[n] = f(o[0] + n % nx * step, o[1] + n / nx * step, o[2]);
    }
    std::function<float(float, float, float)> f;
};

struct Surface {
    std::vector<float> v = std::vector<float>(6 * 65536);
    std::vector<uint16_t> index = std::vector<uint16_t>(3 * 200000);
    int vertices = 0, triangles = 0;

    Surface(const TriangulateInput& field, float step) {
        EXPECT_TRUE(
            triangulate(field, step, v.data(), index.data(), vertices, triangles, 65536, 200000));
    }
    const float* at(int t, int corner) const { return &v[6 * index[3 * t + corner]]; }
    // Whether each triangle edge is run once, and once the other way.
    bool closedAndConsistentlyWound() const {
        std::map<std::pair<int, int>, int> edges;
        for (int t = 0; t < 3 * triangles; ++t) ++edges[{index[t], index[t - t % 3 + (t + 1) % 3]}];
        for (const auto& [edge, count] : edges)
            if (count != 1 || edges.count({edge.second, edge.first}) == 0) return false;
        return true;
    }
    // The triangle's (b - a) x (c - a) dotted with `d`.
    static double turn(const float* a, const float* b, const float* c, const float* d) {
        double sum = 0;
        for (int u = 0; u < 3; ++u) {
            const int v = (u + 1) % 3, w = (u + 2) % 3;
            sum += ((b[v] - a[v]) * (c[w] - a[w]) - (b[w] - a[w]) * (c[v] - a[v])) * d[u];
        }
        return sum;
    }
};

// Edges between the n³ grid nodes from `low` whose ends lie on either side of 0.
int crossedEdges(const TriangulateInput& field, float low, float step, int n) {
    std::vector<float> v(static_cast<size_t>(n * n * n));
    for (int k = 0; k < n; ++k) {
        const float origin[3] = {low, low, low + k * step};
        field.sample(&v[static_cast<size_t>(k * n * n)], origin, n, n, step);
    }
    int crossed = 0;
    for (int node = 0; node < n * n * n; ++node)
        for (int axis = 0, stride = 1; axis < 3; ++axis, stride *= n)
            if (node / stride % n + 1 < n) crossed += (v[node] >= 0) != (v[node + stride] >= 0);
    return crossed;
}

// Every case in the middle cell of a 3³ grid whose other nodes are all set:
// a closed surface encloses the clear corners, turning the same way in every
// case, with one vertex per crossed edge.
TEST(Triangulate, EveryCaseGivesAClosedConsistentlyWoundSurface) {
    const float origin[3] = {0, 0, 0};
    for (int c = 0; c < 255; ++c) {
        const FunctionField field([c](float x, float y, float z) {
            const int i = std::lround(x) - 1, j = std::lround(y) - 1, k = std::lround(z) - 1;
            const bool corner = i >= 0 && i <= 1 && j >= 0 && j <= 1 && k >= 0 && k <= 1;
            return corner && !(c >> (i + 2 * j + 4 * k) & 1) ? -1.0f : 1.0f;
        });
        const Surface s(field, 1);
        EXPECT_TRUE(s.closedAndConsistentlyWound()) << "case " << c;
        EXPECT_EQ(s.vertices, crossedEdges(field, 0, 1, 4)) << "case " << c;
        double volume = 0;  // six times, from the triangles' turn about the origin
        for (int t = 0; t < s.triangles; ++t)
            volume += Surface::turn(origin, s.at(t, 1), s.at(t, 2), s.at(t, 0));
        EXPECT_LT(volume, 0) << "case " << c;
    }
}

// A plane through the whole box reaches its low faces too: the cells there
// find their vertices, and the surface covers the box's whole section.
TEST(Triangulate, SurfaceReachingTheLowFacesIsCutOpenThereAsAtTheHighFaces) {
    const Surface s(FunctionField([](float x, float y, float z) { return x + y + z - 4.5f; }), 1);
    const float alongZ[3] = {0, 0, 1};
    double area = 0;  // seen along z: the square less two corners
    for (int t = 0; t < s.triangles; ++t)
        area += std::fabs(Surface::turn(s.at(t, 0), s.at(t, 1), s.at(t, 2), alongZ)) / 2;
    EXPECT_NEAR(area, 9 - 1.5 * 1.5, 1e-4);
}

// The built-in fields give closed surfaces with one vertex per crossed edge,
// and normals of unit length for SinSphere, not for the soft box (a ball of
// weight 0 adds nothing, even on a grid node).
class TriangulateFields : public Testing::ScriptTest {};
TEST_F(TriangulateFields, GiveClosedSurfacesWithOneVertexPerCrossedEdge) {
    run("s = SinSphere { phases = < 0 0 0 > }  b = MetaCubes ( < 0 0 0 > 0 )");
    for (const char* name : {"s", "b"}) {
        const auto& field = *static_cast<TriangulateInputObject*>(parser().lookup(name));
        const Surface s(field, 0.25f);
        EXPECT_TRUE(s.closedAndConsistentlyWound()) << name;
        EXPECT_EQ(s.vertices, crossedEdges(field, -2.5f, 0.25f, 21)) << name;
        for (int n = 0; n < s.vertices; ++n)
            EXPECT_EQ(
                std::fabs(std::hypot(s.v[6 * n + 3], s.v[6 * n + 4], s.v[6 * n + 5]) - 1) < 1e-5f,
                name == std::string("s"))
                << name;
    }
}

}  // namespace
}  // namespace Vexa
