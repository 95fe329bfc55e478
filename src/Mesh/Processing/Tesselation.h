#pragma once
// Splits quads and polygons into triangles, so that the tail of the chain
// always receives a triangle list. Triangles pass through untouched.
#include <cstdint>
#include <memory>

#include "Mesh/MeshData.h"

namespace Vexa {

class Tesselator : public StandardMeshDataProcessor {
public:
    using StandardMeshDataProcessor::StandardMeshDataProcessor;
    VertexData* createVertexData(const VertexFormat& format, int count) override;
    IndexData* createIndexData(int indexCount) override;
    void produce() override;

private:
    void splitPolygon(const int* corners, int size, int*& out);

    VertexData* m_vertices = nullptr;
    const float* m_location = nullptr;
    std::size_t m_stride = 0;
    std::unique_ptr<IndexData> m_faces;
    // Point-in-triangle tests left for ear clipping in this produce; when
    // spent, the remaining polygons are split as fans.
    int64_t m_budget = 0;
};

// The two triangles of the quad (i0, i1, i2, i3) with corners p0..p3, split
// along the diagonal that keeps the halves facing the same way.
void splitQuad(const int* quad, const float* const corners[4], int* out);

}  // namespace Vexa
