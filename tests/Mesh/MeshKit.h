#pragma once
// What the mesh tests share: a consumer that keeps what it is given, R3D
// files in memory with a chain on their reader, and binary words.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "Mesh/Processing/R3DReader.h"
#include "Support/TestKit.h"

namespace Vexa::Testing {

struct KeepingConsumer : MeshDataConsumer {
    VertexData vertices;
    IndexData faces;
    VertexData* createVertexData(const VertexFormat& format, int count) override {
        vertices = VertexData{format, count, std::vector<float>(std::size_t(count) * format.total)};
        return &vertices;
    }
    IndexData* createIndexData(int indexCount) override {
        faces.indices.assign(static_cast<std::size_t>(indexCount), -9);
        return &faces;
    }
    std::vector<float> vertex(int i) const {
        return {vertices.vertex(i), vertices.vertex(i) + vertices.format.total};
    }
};

struct R3DChain {
    explicit R3DChain(std::string bytes, std::vector<R3DReader::ExtraProperty> extras = {})
        : block(std::move(bytes)), reader(new R3DReader(&block, std::move(extras))), tail(reader) {}
    // Appends the processor P made with `arguments` after its upstream.
    template <typename P, typename... A>
    P* append(A&&... arguments) {
        P* next = new P(std::move(tail), std::forward<A>(arguments)...);
        tail.reset(next);
        return next;
    }
    KeepingConsumer& produce() {
        out = KeepingConsumer();
        tail->setConsumer(&out);
        tail->produce();
        return out;
    }
    MemoryBlock block;
    R3DReader* reader;
    std::unique_ptr<MeshDataProducer> tail;
    KeepingConsumer out;
};

inline std::string word(uint32_t w) {
    return {char(w), char(w >> 8), char(w >> 16), char(w >> 24)};
}
inline std::string f32(float f) {
    uint32_t w;
    std::memcpy(&w, &f, 4);
    return word(w);
}
inline std::string u16(int n) { return {char(n), char(n >> 8)}; }

// A header of `count` located vertices followed by `rest`.
inline std::string header(int count, const std::string& rest) {
    return "element vertices " + std::to_string(count) +
           "\nproperty real locationx\nproperty real locationy\nproperty real locationz\n" + rest;
}

}  // namespace Vexa::Testing
