#include "Mesh/Triangulate.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iostream>
#include <vector>

namespace Vexa {

namespace {

// Corner c of a cell lies at (c & 1, c >> 1 & 1, c >> 2 & 1) in cell units:
// corners 0 to 3 on the bottom slice, 4 to 7 on the top one. A corner's bit
// in a case is set when the field there is 0 or more.
const int kEdgeCorners[12][2] = {{0, 1}, {2, 3}, {4, 5}, {6, 7}, {0, 2}, {4, 6},
                                 {1, 3}, {5, 7}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};

// The faces of the cell, each with its edges in cyclic order (the same
// turning sense for all six) and the corner between its last and first edge.
struct Face {
    int edges[4];
    int reference;
};
const Face kFaces[6] = {
    {{4, 10, 5, 8}, 0},  {{6, 9, 7, 11}, 3}, {{0, 8, 2, 9}, 1},
    {{3, 10, 1, 11}, 7}, {{0, 6, 1, 4}, 0},  {{2, 5, 3, 7}, 5},
};

// The triangles of one case as edge numbers, three a triangle. A case has at
// most twelve crossed edges in at least one polygon, so ten triangles.
struct CaseTriangles {
    int count = 0;
    uint8_t edges[30] = {};
};
using CaseTable = std::array<CaseTriangles, 256>;

// Cuts each face of the cell by directed segments between its crossed
// edges, chains the segments end to start into closed polygons and splits
// each polygon into a fan (q0, q(t-1), qt).
CaseTriangles buildCase(int c) {
    auto isSet = [c](int corner) { return (c >> corner & 1) != 0; };
    int next[12];
    int starts[12];
    int segments = 0;
    auto segment = [&](int from, int to) {
        next[from] = to;
        starts[segments++] = from;
    };
    for (const Face& face : kFaces) {
        int e[4];
        int n = 0;
        for (int edge : face.edges)
            if (isSet(kEdgeCorners[edge][0]) != isSet(kEdgeCorners[edge][1])) e[n++] = edge;
        const bool referenceSet = isSet(face.reference);
        if (n == 2) {
            if (referenceSet)
                segment(e[0], e[1]);
            else
                segment(e[1], e[0]);
        } else if (n == 4) {
            // Two diagonal corners set: the segments always go around the set
            // corners, so the two cells that share the face cut it alike.
            if (referenceSet) {
                segment(e[0], e[3]);
                segment(e[2], e[1]);
            } else {
                segment(e[1], e[0]);
                segment(e[3], e[2]);
            }
        }
    }
    CaseTriangles out;
    bool used[12] = {};
    for (int s = 0; s < segments; ++s) {
        if (used[starts[s]]) continue;
        int polygon[12];
        int m = 0;
        for (int e = starts[s]; !used[e]; e = next[e]) {
            used[e] = true;
            polygon[m++] = e;
        }
        for (int t = 2; t < m; ++t) {
            uint8_t* triangle = out.edges + 3 * out.count++;
            triangle[0] = static_cast<uint8_t>(polygon[0]);
            triangle[1] = static_cast<uint8_t>(polygon[t - 1]);
            triangle[2] = static_cast<uint8_t>(polygon[t]);
        }
    }
    return out;
}

const CaseTable& caseTable() {
    static const CaseTable table = [] {
        CaseTable t;
        for (int c = 0; c < 256; ++c) t[c] = buildCase(c);
        return t;
    }();
    return table;
}

// Two slices of values and their sign bits, the vertex numbers of the x and
// y edges on both slices (by the node the edge starts at), of the z edges
// between them, and the corner codes of one row of cells. One set serves
// every triangulation of the program; it only grows.
struct Workspace {
    std::vector<float> values[2];
    std::vector<uint8_t> signs[2];
    std::vector<uint16_t> xEdges[2];
    std::vector<uint16_t> yEdges[2];
    std::vector<uint16_t> zEdges;
    std::vector<uint8_t> columns;

    void grow(std::size_t nodes, std::size_t rowNodes) {
        if (values[0].size() < nodes) {
            for (int s = 0; s < 2; ++s) {
                values[s].resize(nodes);
                signs[s].resize(nodes);
                xEdges[s].resize(nodes);
                yEdges[s].resize(nodes);
            }
            zEdges.resize(nodes);
        }
        if (columns.size() < rowNodes) columns.resize(rowNodes);
    }
};

Workspace& workspace() {
    static Workspace w;
    return w;
}

void fillSigns(const float* values, uint8_t* signs, int count) {
    for (int n = 0; n < count; ++n) signs[n] = values[n] >= 0.0f;
}

// Where the field crosses 0 between corner 7 (value f7) and its neighbour
// one cell back along an axis (value f), in cells from corner 7: a number
// from -1 to 0. An infinite f7 puts the crossing at the neighbour.
float crossing(float f7, float f) {
    const float t = f7 / (f - f7);
    return t >= -1.0f ? t : -1.0f;
}

void overflow(const char* what) {
    std::cout << "Triangulate: Too many " << what << "!\n" << std::flush;
}

}  // namespace

bool triangulationGrid(const TriangulateInput& input, float voxelSize, float min[3], int cells[3]) {
    float max[3];
    input.getBounds(min, max);
    if (!(voxelSize > 0.0f) || !std::isfinite(voxelSize)) return false;
    for (int a = 0; a < 3; ++a) {
        min[a] = std::floor(min[a] / voxelSize) * voxelSize;
        const float n = std::ceil((max[a] - min[a]) / voxelSize);
        if (!(n <= kMaxCellsPerAxis)) return false;
        cells[a] = n > 0.0f ? static_cast<int>(n) : 0;
    }
    return true;
}

// Marches slice by slice. The grid gains one layer of cells below each low
// face: those cells make the vertices on the low faces' edges, which the
// cells inside need, and emit no triangles, so a surface that reaches a low
// face is cut open there as at a high face. Each cell makes only the
// vertices on the three edges that meet at its corner 7 and finds the others
// in the edge caches, where the cells before it left them.
bool triangulate(const TriangulateInput& input, float s, float* vertices, uint16_t* indices,
                 int& vertexCount, int& triangleCount, int maxVertices, int maxTriangles) {
    const CaseTable& table = caseTable();
    float min[3];
    int cells[3];
    if (!triangulationGrid(input, s, min, cells)) {
        vertexCount = triangleCount = 0;
        return true;
    }
    maxVertices = std::min(maxVertices, 65536);
    const int nx = cells[0] + 1;
    const int ny = cells[1] + 1;
    const int nz = cells[2] + 1;
    const int w = nx + 1;  // nodes in a row
    const int nodes = w * (ny + 1);
    Workspace& ws = workspace();
    ws.grow(static_cast<std::size_t>(nodes), static_cast<std::size_t>(w));
    uint8_t* const columns = ws.columns.data();
    uint16_t* const zEdges = ws.zEdges.data();

    float origin[3] = {min[0] - s, min[1] - s, min[2] - s};
    input.sample(ws.values[0].data(), origin, w, ny + 1, s);
    fillSigns(ws.values[0].data(), ws.signs[0].data(), nodes);

    int vc = 0;
    int tc = 0;
    for (int k = 1; k <= nz; ++k) {
        const int bottom = (k - 1) & 1;
        const int top = k & 1;
        const float z7 = min[2] + static_cast<float>(k - 1) * s;
        origin[2] = z7;
        input.sample(ws.values[top].data(), origin, w, ny + 1, s);
        fillSigns(ws.values[top].data(), ws.signs[top].data(), nodes);
        const float* const fb = ws.values[bottom].data();
        const float* const ft = ws.values[top].data();
        const uint8_t* const sb = ws.signs[bottom].data();
        const uint8_t* const st = ws.signs[top].data();
        uint16_t* const xb = ws.xEdges[bottom].data();
        uint16_t* const xt = ws.xEdges[top].data();
        uint16_t* const yb = ws.yEdges[bottom].data();
        uint16_t* const yt = ws.yEdges[top].data();
        const bool innerSlice = k >= 2;

        for (int j = 0; j < ny; ++j) {
            // Bits of corners 0, 2, 4 and 6 of the cell starting at each node.
            const int row = j * w;
            for (int i = 0; i < w; ++i)
                columns[i] = static_cast<uint8_t>(sb[row + i] | sb[row + w + i] << 2 |
                                                  st[row + i] << 4 | st[row + w + i] << 6);
            const float y7 = origin[1] + static_cast<float>(j + 1) * s;
            for (int i = 0; i < nx; ++i) {
                const int c = columns[i] | columns[i + 1] << 1;
                if (c == 0 || c == 255) continue;
                if (vc + 3 > maxVertices) {
                    overflow("vertices");
                    return false;
                }
                const int n7 = row + w + i + 1;
                const float x7 = origin[0] + static_cast<float>(i + 1) * s;
                const float f7 = ft[n7];
                if (i >= 1 && ((c >> 6 ^ c >> 7) & 1)) {
                    float* v = vertices + 6 * vc;
                    v[0] = x7 + s * crossing(f7, ft[n7 - 1]);
                    v[1] = y7;
                    v[2] = z7;
                    xt[n7 - 1] = static_cast<uint16_t>(vc++);
                }
                if (j >= 1 && ((c >> 5 ^ c >> 7) & 1)) {
                    float* v = vertices + 6 * vc;
                    v[0] = x7;
                    v[1] = y7 + s * crossing(f7, ft[n7 - w]);
                    v[2] = z7;
                    yt[n7 - w] = static_cast<uint16_t>(vc++);
                }
                if (innerSlice && ((c >> 3 ^ c >> 7) & 1)) {
                    float* v = vertices + 6 * vc;
                    v[0] = x7;
                    v[1] = y7;
                    v[2] = z7 + s * crossing(f7, fb[n7]);
                    zEdges[n7] = static_cast<uint16_t>(vc++);
                }
                if (i == 0 || j == 0 || !innerSlice) continue;

                const CaseTriangles& triangles = table[c];
                if (tc + triangles.count > maxTriangles) {
                    overflow("triangles");
                    return false;
                }
                const int n0 = row + i;
                const uint16_t edge[12] = {
                    xb[n0],     xb[n0 + w],     xt[n0],         xt[n0 + w],
                    yb[n0],     yt[n0],         yb[n0 + 1],     yt[n0 + 1],
                    zEdges[n0], zEdges[n0 + 1], zEdges[n0 + w], zEdges[n0 + w + 1],
                };
                uint16_t* out = indices + 3 * tc;
                for (int q = 0; q < 3 * triangles.count; ++q) out[q] = edge[triangles.edges[q]];
                tc += triangles.count;
            }
        }
    }
    input.computeNormals(vertices, vc);
    vertexCount = vc;
    triangleCount = tc;
    return true;
}

}  // namespace Vexa
