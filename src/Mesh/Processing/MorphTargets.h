#pragma once
// Blends morph targets into the vertex positions. The head of the chain
// fills this processor's target buffer with the base location and each
// target's positions from the same vertex rows; the processor keeps them, and
// the faces, so that new weights can be blended and passed down again
// without reading the file a second time.
#include <string>
#include <vector>

#include "Mesh/MeshData.h"

namespace Vexa {

class MorphTargetProcessor : public StandardMeshDataProcessor {
public:
    // Targets are read from the properties <name>x, <name>y and <name>z.
    MorphTargetProcessor(std::unique_ptr<MeshDataProducer> upstream,
                         const std::vector<std::string>& targetNames);

    // Positions become location + sum over k of weight_k * (target_k - location).
    void setWeight(std::size_t target, float weight);
    std::size_t targetCount() const { return m_names.size(); }

    VertexData* createVertexData(const VertexFormat& format, int count) override;
    IndexData* createIndexData(int indexCount) override;
    // Reads upstream the first time only; then passes the blend down.
    void produce() override;

private:
    std::vector<std::string> m_names;
    std::vector<float> m_weights;
    VertexData m_targets;
    VertexData m_vertices;
    IndexData m_faces;
    bool m_read = false;
    bool m_hasVertices = false;
    bool m_hasFaces = false;
};

}  // namespace Vexa
