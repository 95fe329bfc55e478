#pragma once
// What the mesh tests share: a consumer that keeps what it is given, R3D
// texts and binary words.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "Mesh/MeshData.h"
#include "Mesh/Processing/R3DReader.h"
#include "Support/TestKit.h"

namespace Vexa::Testing {

struct KeepingConsumer : MeshDataConsumer {
    VertexData vertices;
    IndexData faces;
    VertexData* createVertexData(const VertexFormat& format, int count) override {
        vertices.format = format;
        vertices.count = count;
        vertices.data.assign(static_cast<std::size_t>(count) * format.total, -9.0f);
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

// An R3D file in memory with the chain built on its reader by `extend`.
struct R3DChain {
    explicit R3DChain(std::string bytes, std::vector<R3DReader::ExtraProperty> extras = {})
        : block(std::move(bytes)) {
        auto head = std::make_unique<R3DReader>(&block, std::move(extras));
        reader = head.get();
        tail = std::move(head);
    }
    template <typename P, typename... A>
    P* append(A&&... arguments) {
        auto next = std::make_unique<P>(std::move(tail), std::forward<A>(arguments)...);
        P* raw = next.get();
        tail = std::move(next);
        return raw;
    }
    KeepingConsumer& produce() {
        out = KeepingConsumer();
        tail->setConsumer(&out);
        tail->produce();
        return out;
    }
    MemoryBlock block;
    R3DReader* reader = nullptr;
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

const char* const kLocations =
    "element vertices %d\nproperty real locationx\nproperty real locationy\n"
    "property real locationz\n";

// A header of `vertices` located vertices followed by `rest`.
inline std::string header(int vertices, const std::string& rest) {
    char text[160];
    std::snprintf(text, sizeof text, kLocations, vertices);
    return text + rest;
}

}  // namespace Vexa::Testing
