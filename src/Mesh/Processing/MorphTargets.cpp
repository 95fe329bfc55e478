#include "Mesh/Processing/MorphTargets.h"

namespace Vexa {

MorphTargetProcessor::MorphTargetProcessor(std::unique_ptr<MeshDataProducer> upstream,
                                           const std::vector<std::string>& targetNames)
    : StandardMeshDataProcessor(std::move(upstream)),
      m_names(targetNames),
      m_weights(targetNames.size(), 0.0f) {
    m_targets.format.add("location", 3);
    for (const std::string& name : m_names) m_targets.format.add(name, 3);
    registerTarget(0, &m_targets);
}

void MorphTargetProcessor::setWeight(std::size_t target, float weight) {
    if (target < m_weights.size()) m_weights[target] = weight;
}

VertexData* MorphTargetProcessor::createVertexData(const VertexFormat& format, int count) {
    m_vertices.format = format;
    m_vertices.allocate(count);
    m_hasVertices = true;
    return &m_vertices;
}

IndexData* MorphTargetProcessor::createIndexData(int indexCount) {
    m_faces = IndexData();
    m_faces.indices.assign(static_cast<std::size_t>(indexCount), 0);
    m_hasFaces = true;
    return &m_faces;
}

void MorphTargetProcessor::produce() {
    if (!m_read) {
        upstream().produce();
        m_read = true;
    }
    if (m_hasFaces) {
        IndexData* faces = consumer().createIndexData(static_cast<int>(m_faces.indices.size()));
        *faces = m_faces;
    }
    if (!m_hasVertices) return;
    VertexData* out = consumer().createVertexData(m_vertices.format, m_vertices.count);
    out->data = m_vertices.data;
    // Rows the target buffer lacks (another vertex element) keep their place.
    const int blended = m_targets.count < m_vertices.count ? m_targets.count : m_vertices.count;
    const std::size_t stride = std::size_t(m_targets.format.total);
    const int position = m_vertices.format.find("location")->offset;
    std::vector<int> offsets;
    for (const std::string& name : m_names) offsets.push_back(m_targets.format.find(name)->offset);
    for (int v = 0; v < blended; ++v) {
        const float* base = m_targets.data.data() + std::size_t(v) * stride;
        float sum[3] = {base[0], base[1], base[2]};
        for (std::size_t k = 0; k < m_names.size(); ++k) {
            const float weight = m_weights[k];
            if (weight == 0.0f) continue;
            const float* target = base + offsets[k];
            for (int axis = 0; axis < 3; ++axis) sum[axis] += weight * (target[axis] - base[axis]);
        }
        float* to = out->vertex(v) + position;
        to[0] = sum[0];
        to[1] = sum[1];
        to[2] = sum[2];
    }
}

}  // namespace Vexa
