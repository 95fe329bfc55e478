#pragma once
// An implicit surface as a drawable primitive: it owns the render-machine
// buffers and triangulates its field again on every Update, so a field whose
// parameters are animated moves.
#include <memory>

#include "Mesh/Primitive.h"
#include "Mesh/Triangulate.h"
#include "Rendering/Common/RenderMachine.h"

namespace Vexa {

class TriangulateMesh : public Primitive {
public:
    // At most 65,536 vertices: the indices are 16-bit. Triangles beyond what
    // that many vertices can form, and counts below 1, are clamped too.
    static constexpr int kMaxVertices = 65536;
    static constexpr int kMaxTriangles = 218454;

    // `input` is not owned: the mesh object holds the script object.
    TriangulateMesh(RenderMachine* machine, const TriangulateInput* input, float voxelSize,
                    int maxTriangles, int maxVertices);
    void drawRange(float start, float end) override;
    void draw() override;
    bool isLoaded() const override { return m_created; }
    void load() override;
    void unload() override;
    void update(float time) override;

    int vertexCount() const { return m_vertexCount; }
    int triangleCount() const { return m_triangleCount; }

private:
    void drawTriangles(int first, int count);

    RenderMachine* m_machine;
    const TriangulateInput* m_input;
    std::unique_ptr<VertexDeclaration> m_declaration;
    std::unique_ptr<VertexStream> m_vertices;
    std::unique_ptr<IndexStream> m_indices;
    bool m_created = false;
    int m_maxVertices;
    int m_maxTriangles;
    float m_voxelSize;
    int m_vertexCount = 0;
    int m_triangleCount = 0;
};

}  // namespace Vexa
