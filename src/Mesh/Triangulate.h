#pragma once
// Marching cubes: the zero level of a scalar field becomes an indexed
// triangle mesh, built over a regular grid of cubic cells one slice at a
// time.
#include <cstdint>

namespace Vexa {

// A scalar field f(x, y, z) whose zero level is the surface.
class TriangulateInput {
public:
    virtual ~TriangulateInput() = default;
    // The axis-aligned box to triangulate.
    virtual void getBounds(float min[3], float max[3]) const = 0;
    // Vertices are records of six floats, position then normal: fills the
    // normals from the positions.
    virtual void computeNormals(float* vertices, int count) const = 0;
    // Fills ny rows of nx values, x fastest:
    // values[j * nx + i] = f(origin.x + i * step, origin.y + j * step, origin.z).
    virtual void sample(float* values, const float origin[3], int nx, int ny, float step) const = 0;
};

// Cells along one axis a triangulation accepts: the slice buffers are
// sized from these counts.
constexpr int kMaxCellsPerAxis = 1024;

// The grid of `input` for cells of size `voxelSize`: the minimum snapped
// down to a multiple of the size and the cell count along each axis. False
// when the size is not above 0 or gives more than kMaxCellsPerAxis cells
// along an axis.
bool triangulationGrid(const TriangulateInput& input, float voxelSize, float min[3], int cells[3]);

// Triangulates the field into `vertices` (six floats each, as
// TriangulateInput::computeNormals takes them) and 16-bit `indices` (three
// per triangle). On success the counts are written and true is answered. A
// surface that needs more than `maxVertices` vertices or `maxTriangles`
// triangles writes "Triangulate: Too many vertices!" or "Triangulate: Too
// many triangles!" as a line to standard output, stops there (normals are not
// computed), leaves the counts alone and answers false. A grid that
// triangulationGrid refuses gives an empty surface.
bool triangulate(const TriangulateInput& input, float voxelSize, float* vertices, uint16_t* indices,
                 int& vertexCount, int& triangleCount, int maxVertices, int maxTriangles);

}  // namespace Vexa
