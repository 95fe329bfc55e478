#pragma once
// The records that flow through a mesh data chain and the interfaces of its
// links: a producer at the head (a file reader, a generated plane), optional
// processors in the middle and a consumer at the tail that turns the data
// into something drawable. Data travels by request: a producer asks its
// consumer for the buffers to fill, so a processor can keep them privately or
// pass the request on.
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace Vexa {

// The layout of one vertex as a run of floats. Entries are looked up by name;
// offsets follow the order in which entries were added.
struct VertexFormat {
    struct Entry {
        int offset = 0;
        int count = 0;
    };
    int total = 0;
    std::map<std::string, Entry> entries;

    // Appends an entry of `count` floats after the existing ones.
    void add(const std::string& name, int count) {
        entries[name] = Entry{total, count};
        total += count;
    }
    const Entry* find(const std::string& name) const {
        auto it = entries.find(name);
        return it == entries.end() ? nullptr : &it->second;
    }
};

// Vertex i's float k is data[i * format.total + k].
struct VertexData {
    VertexFormat format;
    int count = 0;
    std::vector<float> data;

    // Holds `n` vertices of the format, every float zero.
    void allocate(int n) {
        count = n;
        data.assign(static_cast<std::size_t>(n) * format.total, 0.0f);
    }
    float* vertex(int i) { return data.data() + static_cast<std::size_t>(i) * format.total; }
    const float* vertex(int i) const {
        return data.data() + static_cast<std::size_t>(i) * format.total;
    }
};

// Faces as indices into the vertex data: triangles (degree 3), quads (4) or
// polygons of varying size (-1, with one size per face and the start of each
// face in `indices`, face count + 1 entries).
struct IndexData {
    int degree = 3;
    std::vector<int> polygonSizes;
    std::vector<int> polygonStarts;
    int faceCount = 0;
    // A second face count for drawing by ranges: the faces of the initial
    // range. Equal to the face count when read; after splitting into
    // triangles, the number of triangles made from those faces.
    int rangeCount = 0;
    std::vector<int> indices;

    // Fills the polygon starts from the sizes.
    void computeStarts() {
        polygonStarts.assign(polygonSizes.size() + 1, 0);
        for (std::size_t i = 0; i < polygonSizes.size(); ++i)
            polygonStarts[i + 1] = polygonStarts[i] + polygonSizes[i];
    }
};

class MeshDataConsumer {
public:
    virtual ~MeshDataConsumer() = default;
    // The buffer to fill with `count` vertices of `format` (data sized).
    virtual VertexData* createVertexData(const VertexFormat& format, int count) = 0;
    // The buffer to fill with `indexCount` indices (indices sized).
    virtual IndexData* createIndexData(int indexCount) = 0;
};

class MeshDataProducer {
public:
    virtual ~MeshDataProducer() = default;
    // A yes/no query passed up the chain; the head answers false.
    virtual bool queryFlag() const { return false; }
    virtual void setConsumer(MeshDataConsumer* consumer) = 0;
    // Asks the head to fill `target` too: its format names the vertex
    // properties to read (each entry E from the properties Ex, Ey, Ez); the
    // head sizes its data and count.
    virtual void registerTarget(int /*key*/, VertexData* /*target*/) {}
    // Runs the chain up to this link: the head produces its data, a
    // processor lets its upstream produce and then processes.
    virtual void produce() = 0;
    // Whether faces other than triangles will come.
    virtual bool hasNonTriangleFaces() const = 0;
};

// A middle link: consumes from the upstream producer it owns, produces for
// its consumer, and by default passes every request through.
class StandardMeshDataProcessor : public MeshDataProducer, public MeshDataConsumer {
public:
    explicit StandardMeshDataProcessor(std::unique_ptr<MeshDataProducer> upstream)
        : m_upstream(std::move(upstream)) {
        m_upstream->setConsumer(this);
    }
    bool queryFlag() const override { return m_upstream->queryFlag(); }
    void setConsumer(MeshDataConsumer* consumer) override { m_consumer = consumer; }
    void registerTarget(int key, VertexData* target) override {
        m_upstream->registerTarget(key, target);
    }
    void produce() override { m_upstream->produce(); }
    bool hasNonTriangleFaces() const override { return m_upstream->hasNonTriangleFaces(); }
    VertexData* createVertexData(const VertexFormat& format, int count) override {
        return m_consumer->createVertexData(format, count);
    }
    IndexData* createIndexData(int indexCount) override {
        return m_consumer->createIndexData(indexCount);
    }

protected:
    MeshDataProducer& upstream() const { return *m_upstream; }
    MeshDataConsumer& consumer() const { return *m_consumer; }

private:
    std::unique_ptr<MeshDataProducer> m_upstream;
    MeshDataConsumer* m_consumer = nullptr;
};

}  // namespace Vexa
