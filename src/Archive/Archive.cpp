#include "Archive/Archive.h"

#include <cstring>

#include "Common/DataBlock.h"
#include "Parser/Exceptions.h"

namespace Vexa {

static const char* const kUnit = "Archive/Archive";

namespace {

constexpr int64_t kHeaderSize = 512;
constexpr int64_t kNameLength = 100;
constexpr int64_t kSizeOffset = 124;
constexpr int64_t kSizeLength = 12;
constexpr int64_t kMagicOffset = 257;
// The POSIX form; the GNU form has two blanks and a zero after "ustar".
constexpr char kPosixMagic[6] = {'u', 's', 't', 'a', 'r', 0};

[[noreturn]] void corrupted() { VEXA_THROW(ResourceCorrupted, "Archive file"); }

// The octal member size: leading blanks skipped, reading stops at the first
// character that is not an octal digit or at the end of the 12-byte field
// (a field filled with digits is not followed into the next field). Twelve
// octal digits hold at most 36 bits, so the sum cannot overflow.
int64_t readSize(const char* field) {
    int64_t i = 0;
    while (i < kSizeLength && field[i] == ' ') ++i;
    int64_t size = 0;
    for (; i < kSizeLength && field[i] >= '0' && field[i] <= '7'; ++i)
        size = size * 8 + (field[i] - '0');
    return size;
}

}  // namespace

// Reads the index of a tar archive: one entry per header, in archive order,
// until an empty name or the end of the data. Checksums and type flags are
// not looked at, so folders and links become entries too. A name fills at
// most the 100 bytes of its field; a name of exactly 100 bytes has no zero.
//
// A member whose recorded size runs past the end of the data would later be
// handed out with bytes that are not there, so it makes the whole archive
// "Archive file corrupted" here, as a header that does not fit does. A
// failed parse leaves the archive unparsed and without entries; the source
// block stays loaded.
void Archive::load() {
    if (m_parsed) return;
    m_source->load();
    m_entries.clear();
    m_index.clear();

    const char* data = m_source->data();
    const int64_t total = m_source->size();
    int64_t offset = 0;
    try {
        while (offset < total) {
            const char* header = data + offset;
            if (header[0] == 0) break;
            if (offset + kHeaderSize > total) corrupted();
            const int64_t size = readSize(header + kSizeOffset);
            if (std::memcmp(header + kMagicOffset, kPosixMagic, sizeof kPosixMagic) == 0)
                corrupted();
            if (size > total - offset - kHeaderSize) corrupted();

            ArchiveEntry entry;
            entry.name.assign(header, ::strnlen(header, kNameLength));
            entry.offset = offset + kHeaderSize;
            entry.size = size;
            m_index.emplace(entry.name, m_entries.size());
            m_entries.push_back(std::move(entry));

            const int64_t padded = (size + kHeaderSize - 1) / kHeaderSize * kHeaderSize;
            offset += kHeaderSize + padded;
        }
    } catch (...) {
        m_entries.clear();
        m_index.clear();
        throw;
    }
    m_parsed = true;
}

void Archive::unload() {
    if (!m_parsed) return;
    m_entries.clear();
    m_index.clear();
    m_parsed = false;
}

// The first member of that exact name, pointing into the source's buffer.
// An archive not parsed (or whose source has since been unloaded) has no
// members.
std::pair<const char*, int32_t> Archive::find(const std::string& name) const {
    const auto it = m_index.find(name);
    if (!m_parsed || it == m_index.end() || !m_source->isLoaded())
        VEXA_THROW(ResourceNotFound, name);
    const ArchiveEntry& entry = m_entries[it->second];
    return {m_source->data() + entry.offset, static_cast<int32_t>(entry.size)};
}

}  // namespace Vexa
