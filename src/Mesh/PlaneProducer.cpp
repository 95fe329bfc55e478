#include "Mesh/PlaneProducer.h"

namespace Vexa {

// Two triangles per cell, then the vertices row by row from the bottom.
void PlaneProducer::produce() {
    const int c = m_columns;
    const int r = m_rows;
    VertexFormat format;
    format.add("location", 3);
    format.add("tex0", 3);
    VertexData* vertices = m_consumer->createVertexData(format, (c + 1) * (r + 1));
    IndexData* faces = m_consumer->createIndexData(6 * c * r);
    faces->degree = 3;
    faces->faceCount = faces->rangeCount = 2 * c * r;

    int* index = faces->indices.data();
    for (int j = 0; j < r; ++j) {
        for (int i = 0; i < c; ++i) {
            const int k = (c + 1) * j + i;
            const int cell[6] = {k, k + c + 1, k + 1, k + 1, k + c + 1, k + c + 2};
            for (int n : cell) *index++ = n;
        }
    }
    float* v = vertices->data.data();
    for (int j = 0; j <= r; ++j) {
        for (int i = 0; i <= c; ++i) {
            *v++ = static_cast<float>(i) * (2.0f / static_cast<float>(c)) - 1.0f;
            *v++ = static_cast<float>(j) * (2.0f / static_cast<float>(r)) - 1.0f;
            *v++ = 0.0f;
            *v++ = static_cast<float>(i) / static_cast<float>(c);
            *v++ = 1.0f - static_cast<float>(j) / static_cast<float>(r);
            *v++ = 0.0f;
        }
    }
}

}  // namespace Vexa
