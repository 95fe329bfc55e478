#include "Mesh/TriangulateMesh.h"

#include <algorithm>
#include <cstdint>

namespace Vexa {

namespace {

constexpr unsigned kDynamicUsage = 5;
constexpr int kIndex16 = 0;
constexpr int kVertexBytes = 24;

// A cell with a triangle has at least three crossed edges and at most ten
// triangles per twelve crossed edges, and every vertex lies on an edge shared
// by at most four cells: no surface has more than 10 / 3 triangles a vertex.
static_assert(TriangulateMesh::kMaxTriangles * 3 >= TriangulateMesh::kMaxVertices * 10,
              "every triangle the vertices can form fits");

}  // namespace

TriangulateMesh::TriangulateMesh(RenderMachine* machine, const TriangulateInput* input,
                                 float voxelSize, int maxTriangles, int maxVertices)
    : m_machine(machine),
      m_input(input),
      m_maxVertices(std::clamp(maxVertices, 1, kMaxVertices)),
      m_maxTriangles(std::clamp(maxTriangles, 1, kMaxTriangles)),
      m_voxelSize(voxelSize) {}

void TriangulateMesh::load() {
    if (m_created) return;
    m_vertices.reset(m_machine->createVertexStream(m_maxVertices, kVertexBytes, kDynamicUsage));
    m_indices.reset(m_machine->createIndexStream(m_maxTriangles * 3, kIndex16));
    m_declaration.reset(m_machine->createVertexDeclaration());
    m_declaration->append(VertexElement::POSITION, kElementFloat3, 0);
    m_declaration->append(VertexElement::NORMAL, kElementFloat3, 0);
    m_created = true;
}

void TriangulateMesh::unload() {
    if (!m_created) return;
    m_declaration.reset();
    m_vertices.reset();
    m_indices.reset();
    m_created = false;
    m_vertexCount = m_triangleCount = 0;
}

// An Update before the first Load creates the buffers. After an overflow the
// buffers hold part of a surface without normals, so nothing is drawn until
// a triangulation completes again.
void TriangulateMesh::update(float) {
    load();
    auto* indices = static_cast<uint16_t*>(m_indices->lock(kLockDiscard));
    auto* vertices = static_cast<float*>(m_vertices->lock(kLockDiscard));
    if (!triangulate(*m_input, m_voxelSize, vertices, indices, m_vertexCount, m_triangleCount,
                     m_maxVertices, m_maxTriangles))
        m_vertexCount = m_triangleCount = 0;
    m_indices->unlock();
    m_vertices->unlock();
}

void TriangulateMesh::draw() { drawTriangles(0, m_triangleCount); }

void TriangulateMesh::drawRange(float start, float end) {
    const TriangleWindow window = triangleWindow(start, end, m_triangleCount);
    drawTriangles(window.first, window.count);
}

void TriangulateMesh::drawTriangles(int first, int count) {
    if (!m_created || count <= 0) return;
    m_machine->setVertexDeclaration(m_declaration.get());
    m_machine->setVertexStream(m_vertices.get(), 0);
    m_machine->setIndexStream(m_indices.get());
    m_machine->drawIndexedPrimitive(TRIANGLE_LIST, 0, 0, m_vertexCount, first * 3, count);
}

}  // namespace Vexa
