#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "Archive/Archive.h"
#include "Common/DataBlock.h"
#include "Parser/Exceptions.h"
#include "Platform/FileSystem.h"

namespace Vexa {

static const char* const kUnit = "Common/FileDataBlock";

namespace {

// Well inside the 32-bit size field.
constexpr int64_t kMaxSize = Platform::kMaxFileSize;
constexpr int kChunkSize = 65536;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

FileDataBlock::~FileDataBlock() { delete[] m_data; }

// Reads the whole file into a new buffer of size + 1 bytes, the last one
// zero. A block that is already loaded keeps its buffer: an archive over
// this block points into it, so replacing it would leave those dangling.
// A file over the size limit is refused before anything is allocated.
void FileDataBlock::load() {
    if (m_loaded) return;
    std::unique_ptr<std::FILE, FileCloser> file(Platform::openFile(m_path, "rb"));
    if (!file) VEXA_THROW(ResourceNotFound, m_path);
    if (std::fseek(file.get(), 0, SEEK_END) != 0) VEXA_THROW(ResourceCorrupted, m_path);
    const int64_t length = std::ftell(file.get());
    if (length < 0) VEXA_THROW(ResourceCorrupted, m_path);
    if (length > kMaxSize) VEXA_THROW(ResourceTooLarge, m_path, kMaxSize);
    std::rewind(file.get());

    std::unique_ptr<char[]> buffer(new char[static_cast<std::size_t>(length) + 1]);
    const std::size_t got =
        std::fread(buffer.get(), 1, static_cast<std::size_t>(length), file.get());
    if (std::ferror(file.get())) VEXA_THROW(ResourceCorrupted, m_path);
    // A file that shrank while being read gives what was there.
    buffer[got] = 0;
    m_data = buffer.release();
    m_size = static_cast<int32_t>(got);
    m_loaded = true;
}

void FileDataBlock::unload() {
    delete[] m_data;
    m_data = nullptr;
    m_size = 0;
    m_loaded = false;
}

// Points into the archive's buffer. The byte after a member is normally a
// zero of the tar padding or the archive's own terminating zero; only a
// member whose size is a multiple of 512 with a header right after it lacks
// one, and that member alone is copied so that its text still ends in zero.
void ArchiveDataBlock::load() {
    const std::pair<const char*, int32_t> member = m_archive->find(m_member);
    m_copy.reset();
    if (member.first[member.second] != 0) {
        m_copy.reset(new char[static_cast<std::size_t>(member.second) + 1]);
        std::memcpy(m_copy.get(), member.first, static_cast<std::size_t>(member.second));
        m_copy[member.second] = 0;
        m_data = m_copy.get();
    } else {
        m_data = const_cast<char*>(member.first);
    }
    m_size = member.second;
    m_loaded = true;
}

void ArchiveDataBlock::unload() {
    m_copy.reset();
    m_data = nullptr;
    m_size = 0;
    m_loaded = false;
}

GZipDataBlock::~GZipDataBlock() { delete[] m_data; }

// Inflates the file in 64 KiB chunks until a short read, then copies the
// chunks once into a buffer of the exact size plus a zero byte. zlib passes
// an uncompressed file through unchanged. A truncated or damaged stream makes
// gzread fail or stop early with an error recorded on the file; both are
// reported as a corrupted file rather than handing out partial data. Both
// the file and what it inflates to are held to the size limit: the file's
// own size is checked before reading, the inflated size chunk by chunk.
void GZipDataBlock::load() {
    if (m_loaded) return;
    const std::string resolved = Platform::resolvePath(m_path);
    if (resolved.empty()) VEXA_THROW(ResourceNotFound, m_path);
    if (Platform::fileSize(resolved) > kMaxSize) VEXA_THROW(ResourceTooLarge, m_path, kMaxSize);
    gzFile file = gzopen(resolved.c_str(), "rb");
    if (!file) VEXA_THROW(ResourceNotFound, m_path);

    std::vector<std::unique_ptr<char[]>> chunks;
    int64_t total = 0;
    int last = 0;
    bool failed = false;
    bool tooLarge = false;
    for (;;) {
        std::unique_ptr<char[]> chunk(new char[kChunkSize]);
        last = gzread(file, chunk.get(), kChunkSize);
        if (last < 0) {
            failed = true;
            break;
        }
        if (total + last > kMaxSize) {
            tooLarge = true;
            break;
        }
        total += last;
        chunks.push_back(std::move(chunk));
        if (last < kChunkSize) break;
    }
    if (!failed && !tooLarge) {
        int error = Z_OK;
        gzerror(file, &error);
        failed = error != Z_OK;
    }
    gzclose(file);
    if (failed) VEXA_THROW(ResourceCorrupted, m_path);
    if (tooLarge) VEXA_THROW(ResourceTooLarge, m_path, kMaxSize);

    std::unique_ptr<char[]> buffer(new char[static_cast<std::size_t>(total) + 1]);
    int64_t at = 0;
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        const int64_t length = i + 1 < chunks.size() ? kChunkSize : total - at;
        std::memcpy(buffer.get() + at, chunks[i].get(), static_cast<std::size_t>(length));
        at += length;
    }
    buffer[total] = 0;
    m_data = buffer.release();
    m_size = static_cast<int32_t>(total);
    m_loaded = true;
}

void GZipDataBlock::unload() {
    delete[] m_data;
    m_data = nullptr;
    m_size = 0;
    m_loaded = false;
}

}  // namespace Vexa
