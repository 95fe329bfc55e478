#include "Mesh/Processing/NormalCalculator.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace Vexa {

namespace {

struct Normal {
    float x = 0, y = 0, z = 0;
};

// Cosines this close above the smoothing angle's still count as sharp, so
// that faces at exactly the smoothing angle split whatever the rounding.
constexpr float kCosineMargin = 1e-6f;
constexpr std::size_t kSearchedGroups = 64;

// The unit normal of the face with corners p0, p1 and p_last; zero for a
// face without area or with coordinates that are not numbers.
Normal faceNormal(const float* p0, const float* p1, const float* pl) {
    const float a[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]};
    const float b[3] = {pl[0] - p0[0], pl[1] - p0[1], pl[2] - p0[2]};
    Normal n{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    const float length2 = n.x * n.x + n.y * n.y + n.z * n.z;
    if (!(length2 >= 1e-18f) || !std::isfinite(length2)) return Normal{};
    const float scale = 1.0f / std::sqrt(length2);
    return Normal{n.x * scale, n.y * scale, n.z * scale};
}

}  // namespace

VertexData* NormalCalculator::createVertexData(const VertexFormat& format, int count) {
    m_vertices.format = format;
    m_vertices.allocate(count);
    m_hasVertices = true;
    return &m_vertices;
}

IndexData* NormalCalculator::createIndexData(int indexCount) {
    m_faces = consumer().createIndexData(indexCount);
    return m_faces;
}

// Groups the faces around each vertex by their normals: a group holds the
// faces within the smoothing angle of its first face. The first group keeps
// the vertex; each further group gets a copy, and its faces are pointed at it.
void NormalCalculator::produce() {
    m_hasVertices = false;
    m_faces = nullptr;
    m_vertices = VertexData();
    upstream().produce();
    if (!m_hasVertices) return;

    const int vertexCount = m_vertices.count;
    const int faceCount = m_faces ? m_faces->faceCount : 0;
    std::vector<int> empty;
    std::vector<int>& indices = m_faces ? m_faces->indices : empty;
    const auto start = [&](int f) {
        return m_faces->degree > 0 ? f * m_faces->degree : m_faces->polygonStarts[f];
    };
    const auto size = [&](int f) {
        return m_faces->degree > 0 ? m_faces->degree : m_faces->polygonSizes[f];
    };
    const int offset = m_vertices.format.find("location")->offset;
    const auto location = [&](int index) { return m_vertices.vertex(index) + offset; };

    std::vector<Normal> normals(static_cast<std::size_t>(faceCount));
    std::vector<int> firstUse(static_cast<std::size_t>(vertexCount) + 1, 0);
    for (int f = 0; f < faceCount; ++f) {
        const int s = start(f), n = size(f);
        if (n >= 3)
            normals[f] = faceNormal(location(indices[s]), location(indices[s + 1]),
                                    location(indices[s + n - 1]));
        for (int c = 0; c < n; ++c) ++firstUse[indices[s + c] + 1];
    }
    for (int v = 0; v < vertexCount; ++v) firstUse[v + 1] += firstUse[v];
    // The uses of each vertex: the face and the position in the index array.
    const std::size_t uses = static_cast<std::size_t>(firstUse[vertexCount]);
    std::vector<int> useFace(uses), usePosition(uses);
    {
        std::vector<int> fill(firstUse.begin(), firstUse.end() - 1);
        for (int f = 0; f < faceCount; ++f) {
            const int s = start(f), n = size(f);
            for (int c = 0; c < n; ++c) {
                const int at = fill[indices[s + c]]++;
                useFace[at] = f;
                usePosition[at] = s + c;
            }
        }
    }

    // Identical normals always share, whatever the angle.
    const float threshold =
        std::fmin(static_cast<float>(std::cos(double(m_smoothingAngle))) + kCosineMargin,
                  1.0f - kCosineMargin);
    const auto dot = [](const Normal& a, const Normal& b) {
        return a.x * b.x + a.y * b.y + a.z * b.z;
    };
    const auto degenerate = [](const Normal& n) { return n.x == 0 && n.y == 0 && n.z == 0; };
    // The vertex each use ends up on, and the source of each added copy. A
    // use joins the first group whose first face is close enough; faces
    // without a normal stay on the vertex itself. Only the first groups of a
    // vertex are searched, so that no vertex costs more than a bounded
    // number of comparisons per use.
    std::vector<int> target(uses, -1);
    std::vector<int> copies;
    struct Group {
        const Normal* leader;
        int vertex;
    };
    std::vector<Group> groups;
    for (int v = 0; v < vertexCount; ++v) {
        groups.clear();
        for (int i = firstUse[v]; i < firstUse[v + 1]; ++i) {
            const Normal& normal = normals[useFace[i]];
            if (degenerate(normal)) {
                target[i] = v;
                continue;
            }
            for (const Group& group : groups) {
                if (dot(*group.leader, normal) >= threshold) {
                    target[i] = group.vertex;
                    break;
                }
            }
            if (target[i] >= 0) continue;
            const int vertex = groups.empty() ? v : vertexCount + static_cast<int>(copies.size());
            if (!groups.empty()) copies.push_back(v);
            if (groups.size() < kSearchedGroups) groups.push_back({&normal, vertex});
            target[i] = vertex;
        }
    }

    // The normal goes after the existing floats. A "normal" the format
    // already had is replaced, which leaves its floats without an entry: the
    // product mesh then refuses the layout as noncontinuous.
    VertexFormat format = m_vertices.format;
    format.add("normal", 3);
    const int normalOffset = format.find("normal")->offset;
    const int outCount = vertexCount + static_cast<int>(copies.size());
    VertexData* out = consumer().createVertexData(format, outCount);
    const std::size_t inTotal = std::size_t(m_vertices.format.total);
    const std::size_t outTotal = std::size_t(format.total);
    for (int v = 0; v < outCount; ++v) {
        const int source = v < vertexCount ? v : copies[v - vertexCount];
        float* to = out->data.data() + std::size_t(v) * outTotal;
        std::memcpy(to, m_vertices.vertex(source), inTotal * sizeof(float));
        to[normalOffset] = to[normalOffset + 1] = to[normalOffset + 2] = 0.0f;
    }
    for (std::size_t i = 0; i < uses; ++i) {
        const Normal& n = normals[useFace[i]];
        float* to = out->data.data() + std::size_t(target[i]) * outTotal + normalOffset;
        to[0] += n.x;
        to[1] += n.y;
        to[2] += n.z;
        indices[usePosition[i]] = target[i];
    }
    for (int v = 0; v < outCount; ++v) {
        float* n = out->data.data() + std::size_t(v) * outTotal + normalOffset;
        const float length2 = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
        if (length2 > 0.0f) {
            const float scale = 1.0f / std::sqrt(length2);
            n[0] *= scale;
            n[1] *= scale;
            n[2] *= scale;
        }
    }
    m_vertices = VertexData();
}

}  // namespace Vexa
