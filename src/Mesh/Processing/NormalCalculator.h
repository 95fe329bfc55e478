#pragma once
// Gives every vertex a "normal": the average of the normals of the faces
// around it, where faces meeting at a sharp edge keep separate vertices so
// that the edge stays sharp.
#include <memory>

#include "Mesh/MeshData.h"

namespace Vexa {

class NormalCalculator : public StandardMeshDataProcessor {
public:
    // Half of pi as a float, a hair above it: right angles count as sharp.
    static constexpr float kDefaultSmoothingAngle = 1.5707964f;

    // Faces whose normals differ by less than `smoothingAngle` (radians)
    // share their vertices' normals.
    NormalCalculator(std::unique_ptr<MeshDataProducer> upstream,
                     float smoothingAngle = kDefaultSmoothingAngle)
        : StandardMeshDataProcessor(std::move(upstream)), m_smoothingAngle(smoothingAngle) {}

    VertexData* createVertexData(const VertexFormat& format, int count) override;
    IndexData* createIndexData(int indexCount) override;
    void produce() override;

private:
    float m_smoothingAngle;
    VertexData m_vertices;
    bool m_hasVertices = false;
    IndexData* m_faces = nullptr;
};

}  // namespace Vexa
