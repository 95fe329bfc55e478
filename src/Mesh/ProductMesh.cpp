#include "Mesh/ProductMesh.h"

#include <cstdint>
#include <cstring>

#include "Parser/Exceptions.h"
#include "Rendering/Common/RenderMachine.h"

namespace Vexa {

static const char* const kUnit = "Mesh/ProductMesh";

namespace {

constexpr unsigned kStreamUsage = 4;
constexpr int kFirstWideIndex = 65536;

// The usage and usage index of a vertex property: location and normal are
// fixed; "texN", "colorN" and "attributeN" all feed texture coordinate set N.
VertexElement usageOf(const std::string& name) {
    VertexElement element;
    const auto numbered = [&](const char* prefix, std::size_t length) {
        return name.size() == length && name.compare(0, length - 1, prefix) == 0;
    };
    if (name == "location") {
        element.usage = VertexElement::POSITION;
    } else if (name == "normal") {
        element.usage = VertexElement::NORMAL;
    } else if (numbered("tex", 4) || numbered("color", 6) || numbered("attribute", 10)) {
        element.usage = VertexElement::TEXCOORD;
        element.usageIndex = name.back() - '0';
    } else {
        VEXA_THROW(Exception, "Invalid vertex property " + name);
    }
    return element;
}

}  // namespace

ProductMesh::ProductMesh(RenderMachine* machine, std::unique_ptr<MeshDataProducer> chainTail)
    : m_machine(machine), m_chain(std::move(chainTail)) {}

ProductMesh::~ProductMesh() = default;

VertexData* ProductMesh::createVertexData(const VertexFormat& format, int count) {
    m_vertices.format = format;
    m_vertices.allocate(count);
    return &m_vertices;
}

IndexData* ProductMesh::createIndexData(int indexCount) {
    m_faces = IndexData();
    m_faces.indices.assign(static_cast<std::size_t>(indexCount), 0);
    return &m_faces;
}

void ProductMesh::load() {
    if (m_loaded) return;
    rebuild();
}

void ProductMesh::rebuild() {
    m_vertices = VertexData();
    m_faces = IndexData();
    m_chain->setConsumer(this);
    m_chain->produce();
    upload();
    m_vertices = VertexData();
    m_faces = IndexData();
    m_loaded = true;
}

// Checks the faces against the vertices, then fills the streams (16-bit
// indices unless one needs more) and describes the vertex layout.
void ProductMesh::upload() {
    if (m_faces.degree != 3) VEXA_THROW(Exception, "Invalid IndexData degree");
    const int vertexCount = m_vertices.count;
    const std::size_t indexCount = m_faces.indices.size() - m_faces.indices.size() % 3;
    int highest = -1;
    for (std::size_t i = 0; i < indexCount; ++i) {
        const int index = m_faces.indices[i];
        if (index < 0 || index >= vertexCount) VEXA_THROW(Exception, "Vertex index out of range.");
        if (index > highest) highest = index;
    }

    const VertexFormat& format = m_vertices.format;
    const int stride = format.total * 4;
    if (!m_vertexStream || m_vertexStream->vertexCount() != vertexCount ||
        m_vertexStream->stride() != stride)
        m_vertexStream.reset(m_machine->createVertexStream(vertexCount, stride, kStreamUsage));
    if (vertexCount > 0) {
        std::memcpy(m_vertexStream->lock(0u), m_vertices.data.data(),
                    m_vertices.data.size() * sizeof(float));
        m_vertexStream->unlock();
    }

    const bool wide = highest >= kFirstWideIndex;
    const int indices = static_cast<int>(indexCount);
    if (!m_indexStream || m_indexStream->indexCount() != indices || m_wide != wide)
        m_indexStream.reset(m_machine->createIndexStream(indices, wide ? 1 : 0));
    m_wide = wide;
    if (indices > 0) {
        void* memory = m_indexStream->lock(0u);
        if (wide) {
            std::memcpy(memory, m_faces.indices.data(), indexCount * sizeof(int32_t));
        } else {
            auto* narrow = static_cast<uint16_t*>(memory);
            for (std::size_t i = 0; i < indexCount; ++i)
                narrow[i] = static_cast<uint16_t>(m_faces.indices[i]);
        }
        m_indexStream->unlock();
    }

    // The layout is described last, walking the floats from offset 0; a
    // property of more than four floats has no element type.
    auto declaration = std::unique_ptr<VertexDeclaration>(m_machine->createVertexDeclaration());
    for (int offset = 0; offset < format.total;) {
        const std::pair<const std::string, VertexFormat::Entry>* found = nullptr;
        for (const auto& entry : format.entries)
            if (entry.second.offset == offset && entry.second.count > 0) found = &entry;
        if (!found || found->second.count > kElementFloat4 + 1)
            VEXA_THROW(Exception, "Noncontinuous vertex data not yet supported.");
        const VertexElement element = usageOf(found->first);
        declaration->append(element.usage, found->second.count - 1, element.usageIndex);
        offset += found->second.count;
    }
    m_declaration = std::move(declaration);
    m_vertexCount = vertexCount;
    m_triangleCount = indices / 3;
}

void ProductMesh::drawTriangles(int first, int count) {
    if (!m_loaded || count <= 0) return;
    m_machine->setVertexDeclaration(m_declaration.get());
    m_machine->setVertexStream(m_vertexStream.get(), 0);
    m_machine->setIndexStream(m_indexStream.get());
    m_machine->drawIndexedPrimitive(TRIANGLE_LIST, 0, 0, m_vertexCount, first * 3, count);
}

void ProductMesh::draw() { drawTriangles(0, m_triangleCount); }

void ProductMesh::drawRange(float start, float end) {
    const TriangleWindow window = triangleWindow(start, end, m_triangleCount);
    drawTriangles(window.first, window.count);
}

}  // namespace Vexa
