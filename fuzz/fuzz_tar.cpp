// Tar index: arbitrary bytes as an archive, then every member found and read.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "Archive/Archive.h"
#include "Common/DataBlock.h"
#include "Parser/Exceptions.h"

namespace {

// The fuzzer's bytes, loaded like a file: a fresh buffer plus a zero byte.
class MemoryBlock : public Vexa::DataBlock {
public:
    MemoryBlock(const uint8_t* bytes, std::size_t size) : m_bytes(bytes), m_length(size) {}
    ~MemoryBlock() override { delete[] m_data; }
    void load() override {
        if (m_loaded) return;
        m_data = new char[m_length + 1];
        if (m_length) std::memcpy(m_data, m_bytes, m_length);
        m_data[m_length] = 0;
        m_size = static_cast<int32_t>(m_length);
        m_loaded = true;
    }
    void unload() override {
        delete[] m_data;
        m_data = nullptr;
        m_size = 0;
        m_loaded = false;
    }

private:
    const uint8_t* m_bytes;
    std::size_t m_length;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    MemoryBlock block(data, size);
    Vexa::Archive archive(&block);
    try {
        archive.load();
    } catch (const Exception&) {
        return 0;
    }
    volatile unsigned sum = 0;
    for (const Vexa::ArchiveEntry& entry : archive.entries()) {
        try {
            const auto found = archive.find(entry.name);
            for (int32_t i = 0; i < found.second; ++i)
                sum = sum + static_cast<unsigned char>(found.first[i]);
            Vexa::ArchiveDataBlock member(&archive, entry.name);
            member.load();
            if (member.data()[member.size()] != 0) __builtin_trap();
            member.unload();
        } catch (const Exception&) {
            __builtin_trap();  // every listed entry must be found
        }
    }
    archive.unload();
    return 0;
}
