#include "Mesh/Triangulate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "Parser/Functions/ImplicitSurfaces.h"
#include "Support/TestKit.h"

namespace Vexa {
namespace {

using Field = std::function<float(float, float, float)>;

// A field given by a function over a box; normals are left at 0.
class FunctionField : public TriangulateInput {
public:
    FunctionField(Field f, float low, float high) : m_f(std::move(f)), m_low(low), m_high(high) {}
    void getBounds(float min[3], float max[3]) const override {
        for (int a = 0; a < 3; ++a) min[a] = m_low, max[a] = m_high;
    }
    void computeNormals(float* v, int count) const override {
        for (int n = 0; n < count; ++n) v[6 * n + 3] = v[6 * n + 4] = v[6 * n + 5] = 0;
    }
    void sample(float* values, const float o[3], int nx, int ny, float step) const override {
        for (int j = 0; j < ny; ++j)
            for (int i = 0; i < nx; ++i)
                values[j * nx + i] = m_f(o[0] + i * step, o[1] + j * step, o[2]);
    }

private:
    Field m_f;
    float m_low, m_high;
};

struct Surface {
    std::vector<float> vertices = std::vector<float>(6 * 65536);
    std::vector<uint16_t> indices = std::vector<uint16_t>(3 * 200000);
    int vertexCount = 0;
    int triangleCount = 0;

    explicit Surface(const TriangulateInput& field, float step) {
        EXPECT_TRUE(triangulate(field, step, vertices.data(), indices.data(), vertexCount,
                                triangleCount, 65536, 200000));
    }
    const float* at(int triangle, int corner) const {
        return &vertices[6 * indices[3 * triangle + corner]];
    }
    // Whether every edge of a triangle is the edge of exactly one other
    // triangle, which runs it the other way.
    bool closedAndConsistentlyWound() const {
        std::map<std::pair<int, int>, int> edges;
        for (int t = 0; t < triangleCount; ++t)
            for (int c = 0; c < 3; ++c) ++edges[{indices[3 * t + c], indices[3 * t + (c + 1) % 3]}];
        for (const auto& [edge, count] : edges)
            if (count != 1 || edges.count({edge.second, edge.first}) == 0) return false;
        return true;
    }
    // Six times the volume enclosed, positive when the triangles turn
    // counter-clockwise seen from outside.
    double volume() const {
        double sum = 0;
        for (int t = 0; t < triangleCount; ++t) {
            const float *a = at(t, 0), *b = at(t, 1), *c = at(t, 2);
            sum += a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) +
                   a[2] * (b[0] * c[1] - b[1] * c[0]);
        }
        return sum;
    }
    std::set<std::vector<float>> distinctPositions() const {
        std::set<std::vector<float>> positions;
        for (int n = 0; n < vertexCount; ++n)
            positions.insert({vertices[6 * n], vertices[6 * n + 1], vertices[6 * n + 2]});
        return positions;
    }
};

// Grid edges of `nodes`³ nodes from `low` whose two ends lie on either side
// of the zero level.
int crossedEdges(const TriangulateInput& field, float low, float step, int nodes) {
    std::vector<float> v(static_cast<size_t>(nodes * nodes * nodes));
    for (int k = 0; k < nodes; ++k) {
        const float origin[3] = {low, low, low + k * step};
        field.sample(&v[static_cast<size_t>(k * nodes * nodes)], origin, nodes, nodes, step);
    }
    auto set = [&](int i, int j, int k) { return v[(k * nodes + j) * nodes + i] >= 0; };
    int crossed = 0;
    for (int i = 0; i < nodes; ++i)
        for (int j = 0; j < nodes; ++j)
            for (int k = 0; k < nodes; ++k) {
                if (i + 1 < nodes) crossed += set(i, j, k) != set(i + 1, j, k);
                if (j + 1 < nodes) crossed += set(i, j, k) != set(i, j + 1, k);
                if (k + 1 < nodes) crossed += set(i, j, k) != set(i, j, k + 1);
            }
    return crossed;
}

// Every case in the middle cell of a 3 x 3 x 3 grid whose other nodes are all
// set: the clear corners are enclosed by a closed surface, wound the same
// way in every case, with one vertex per crossed edge.
TEST(Triangulate, EveryCaseGivesAClosedConsistentlyWoundSurface) {
    for (int c = 0; c < 255; ++c) {
        const Field f = [c](float x, float y, float z) {
            const int i = std::lround(x) - 1, j = std::lround(y) - 1, k = std::lround(z) - 1;
            const bool corner = i >= 0 && i <= 1 && j >= 0 && j <= 1 && k >= 0 && k <= 1;
            return corner && !(c >> (i + 2 * j + 4 * k) & 1) ? -1.0f : 1.0f;
        };
        const FunctionField field(f, 0, 3);
        const Surface s(field, 1);
        EXPECT_TRUE(s.closedAndConsistentlyWound()) << "case " << c;
        EXPECT_LT(s.volume(), 0) << "case " << c;
        EXPECT_EQ(s.vertexCount, crossedEdges(field, 0, 1, 4)) << "case " << c;
        EXPECT_EQ(s.distinctPositions().size(), static_cast<size_t>(s.vertexCount)) << "case " << c;
    }
}

// A plane through the whole box reaches the low faces too: the cells there
// find their vertices, and the surface covers the box's whole section.
TEST(Triangulate, SurfaceReachingTheLowFacesIsCutOpenThereAsAtTheHighFaces) {
    for (int axis = 0; axis < 3; ++axis) {
        const Surface s(FunctionField(
                            [axis](float x, float y, float z) {
                                return (axis == 0 ? x : axis == 1 ? y : z) - 1.3f;
                            },
                            0, 3),
                        1);
        double area = 0;
        for (int t = 0; t < s.triangleCount; ++t) {
            for (int c = 0; c < 3; ++c) ASSERT_LT(s.indices[3 * t + c], s.vertexCount);
            const float *a = s.at(t, 0), *b = s.at(t, 1), *c = s.at(t, 2);
            const int u = (axis + 1) % 3, v = (axis + 2) % 3;
            area += std::fabs((b[u] - a[u]) * (c[v] - a[v]) - (b[v] - a[v]) * (c[u] - a[u])) / 2;
        }
        EXPECT_NEAR(area, 9.0, 1e-4) << "axis " << axis;
    }
}

class TriangulateFields : public Testing::ScriptTest {};

// The built-in fields give closed surfaces with one vertex per crossed edge.
// Normals point to where the field is 0 or more, against the triangles' turn
// (but for a few where a coarse cell meets a ripple);
// SinSphere's have unit length, the soft box's (a ball of weight 0 on a grid
// node adds nothing) do not.
TEST_F(TriangulateFields, GiveClosedSurfacesWithGradientNormals) {
    const struct {
        const char* field;
        bool unitNormals;
    } cases[] = {
        {"SinSphere { phases = < 0 0 0 > }", true},
        {"MetaCubes ( < 0 0 0 > 0 )", false},
    };
    for (const auto& c : cases) {
        const auto& field = *static_cast<TriangulateInputObject*>(eval(c.field));
        const Surface s(field, 0.25f);
        EXPECT_GT(s.triangleCount, 100) << c.field;
        EXPECT_TRUE(s.closedAndConsistentlyWound()) << c.field;
        EXPECT_EQ(s.vertexCount, crossedEdges(field, -2.5f, 0.25f, 21)) << c.field;
        for (int n = 0; n < s.vertexCount; ++n) {
            const float* v = &s.vertices[6 * n];
            const float length = std::sqrt(v[3] * v[3] + v[4] * v[4] + v[5] * v[5]);
            EXPECT_EQ(std::fabs(length - 1) < 1e-5f, c.unitNormals) << c.field << " " << length;
        }
        int along = 0;  // triangles that turn with the normals
        for (int t = 0; t < s.triangleCount; ++t) {
            const float *a = s.at(t, 0), *b = s.at(t, 1), *d = s.at(t, 2);
            float turn = 0;
            for (int u = 0; u < 3; ++u) {
                const int v = (u + 1) % 3, w = (u + 2) % 3;
                turn += ((b[v] - a[v]) * (d[w] - a[w]) - (b[w] - a[w]) * (d[v] - a[v])) *
                        (a[3 + u] + b[3 + u] + d[3 + u]);
            }
            along += turn > 0;
        }
        EXPECT_LT(along * 100, s.triangleCount) << c.field << ": " << along;
    }
}

}  // namespace
}  // namespace Vexa
