// R3D mesh files, text and binary: the reader with an extra vertex property
// and a morph target, then normals and face splitting, as a mesh is built.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "Common/DataBlock.h"
#include "Mesh/Processing/MorphTargets.h"
#include "Mesh/Processing/NormalCalculator.h"
#include "Mesh/Processing/R3DReader.h"
#include "Mesh/Processing/Tesselation.h"
#include "Parser/Exceptions.h"

namespace {

// The input as a loaded block, ended by a zero like every block.
class InputBlock : public Vexa::DataBlock {
public:
    InputBlock(const uint8_t* data, size_t size) : m_bytes(new char[size + 1]) {
        std::memcpy(m_bytes.get(), data, size);
        m_bytes[size] = '\0';
        m_data = m_bytes.get();
        m_size = static_cast<int32_t>(size);
        m_loaded = true;
    }
    void load() override {}
    void unload() override {}

private:
    std::unique_ptr<char[]> m_bytes;
};

// Touches every index it is given, as the streams would.
struct Sink : Vexa::MeshDataConsumer {
    Vexa::VertexData vertices;
    Vexa::IndexData faces;
    Vexa::VertexData* createVertexData(const Vexa::VertexFormat& format, int count) override {
        vertices.format = format;
        vertices.allocate(count);
        return &vertices;
    }
    Vexa::IndexData* createIndexData(int count) override {
        faces.indices.assign(size_t(count), 0);
        return &faces;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1 << 20)) return 0;
    InputBlock block(data, size);
    std::unique_ptr<Vexa::MeshDataProducer> chain = std::make_unique<Vexa::R3DReader>(
        &block, std::vector<Vexa::R3DReader::ExtraProperty>{{"tex0", {"u", "v"}}});
    auto morph = std::make_unique<Vexa::MorphTargetProcessor>(std::move(chain),
                                                              std::vector<std::string>{"t"});
    morph->setWeight(0, 0.5f);
    chain = std::make_unique<Vexa::NormalCalculator>(std::move(morph));
    chain = std::make_unique<Vexa::Tesselator>(std::move(chain));
    Sink sink;
    chain->setConsumer(&sink);
    try {
        chain->produce();
        float sum = 0;
        for (int index : sink.faces.indices) sum += sink.vertices.vertex(index)[0];
        (void)sum;
    } catch (const Exception&) {}
    return 0;
}
