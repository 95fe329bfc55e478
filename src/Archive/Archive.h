#pragma once
// A tar archive held in memory: its index is read on load(), and members are
// found by exact name without copying their bytes.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace Vexa {

class DataBlock;

struct ArchiveEntry {
    std::string name;
    int64_t offset = 0;
    int64_t size = 0;
};

class Archive {
public:
    // `source` is not owned and must outlive the archive.
    explicit Archive(DataBlock* source) : m_source(source) {}

    void load();
    void unload();
    bool isParsed() const { return m_parsed; }
    // The first member of that exact name: its first byte and its size.
    // Raises ResourceNotFound for the name when there is none.
    std::pair<const char*, int32_t> find(const std::string& name) const;
    const std::vector<ArchiveEntry>& entries() const { return m_entries; }
    DataBlock* source() const { return m_source; }

private:
    DataBlock* m_source;
    std::vector<ArchiveEntry> m_entries;
    bool m_parsed = false;
    // Name to the index of its first entry, so lookups stay constant time in
    // archives of thousands of members.
    std::unordered_map<std::string, std::size_t> m_index;
};

}  // namespace Vexa
