#pragma once
// The tail of a mesh data chain: collects the vertices and triangles the
// chain produces and turns them into render-machine streams drawn as an
// indexed triangle list.
#include <memory>

#include "Mesh/MeshData.h"
#include "Mesh/Primitive.h"

namespace Vexa {

class RenderMachine;
class VertexDeclaration;
class VertexStream;
class IndexStream;

class ProductMesh : public MeshDataConsumer, public Primitive {
public:
    // Owns the chain that ends in `chainTail`.
    ProductMesh(RenderMachine* machine, std::unique_ptr<MeshDataProducer> chainTail);
    ~ProductMesh() override;

    VertexData* createVertexData(const VertexFormat& format, int count) override;
    IndexData* createIndexData(int indexCount) override;

    // Runs the chain and builds the streams; a second load does nothing.
    // The built streams are kept until the mesh is destroyed: Unload leaves
    // them, so the mesh draws on and a later Load builds nothing again.
    void load() override;
    bool isLoaded() const override { return m_loaded; }
    // Runs the chain again and refills the streams (reusing them when the
    // sizes did not change): for chains whose output moves over time.
    void rebuild();
    void draw() override;
    void drawRange(float start, float end) override;

    int vertexCount() const { return m_vertexCount; }
    int triangleCount() const { return m_triangleCount; }

private:
    void upload();
    void drawTriangles(int first, int count);

    RenderMachine* m_machine;
    std::unique_ptr<MeshDataProducer> m_chain;
    VertexData m_vertices;
    IndexData m_faces;
    std::unique_ptr<VertexDeclaration> m_declaration;
    std::unique_ptr<VertexStream> m_vertexStream;
    std::unique_ptr<IndexStream> m_indexStream;
    int m_vertexCount = 0;
    int m_triangleCount = 0;
    bool m_wide = false;
    bool m_loaded = false;
};

}  // namespace Vexa
