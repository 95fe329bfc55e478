#pragma once
// The head of a mesh chain for R3D files: a text header naming elements and
// their properties, then a body of rows, in text ("data") or little-endian
// binary ("bdata"). The elements "vertices", "triangles", "quads" and
// "polygons" become vertex and index data; other elements are passed over.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Mesh/MeshData.h"

namespace Vexa {

class DataBlock;

class R3DReader : public MeshDataProducer {
public:
    // A vertex property beyond the location, read from the "vertices"
    // element's properties `sources`, one float each, in order.
    struct ExtraProperty {
        std::string name;
        std::vector<std::string> sources;
    };
    enum PropertyType { kReal = 0, kInt = 1, kRealList = 2, kIntList = 3 };
    struct Property {
        std::string name;
        int type = kReal;
        int reference = -1;  // index of the element referred to, or -1
        int64_t listTotal = 0;
    };
    struct Element {
        std::string name;
        int32_t rows = 0;
        std::vector<Property> properties;
    };

    R3DReader(DataBlock* file, std::vector<ExtraProperty> extras = {});
    ~R3DReader() override;

    void setConsumer(MeshDataConsumer* consumer) override { m_consumer = consumer; }
    void registerTarget(int key, VertexData* target) override { m_targets[key] = target; }
    void produce() override;
    bool hasNonTriangleFaces() const override;

    // The header records of the last produce.
    const std::vector<Element>& elements() const { return m_elements; }

private:
    struct Body;
    void parseHeader(Body& body);
    void readVertices(Body& body, Element& element);
    void readFaces(Body& body, Element& element, int degree);
    void readPolygons(Body& body, Element& element);

    DataBlock* m_file;
    MeshDataConsumer* m_consumer = nullptr;
    std::vector<ExtraProperty> m_extras;
    std::map<int, VertexData*> m_targets;
    std::vector<Element> m_elements;
    // What the last produce filled, checked against each other at its end.
    VertexData* m_vertices = nullptr;
    IndexData* m_faces = nullptr;
};

}  // namespace Vexa
