#pragma once
// A whole file's bytes in memory, followed by one zero byte so that text can
// be read as a NUL-terminated string. Loaded and unloaded on demand.
#include <cstdint>
#include <memory>
#include <string>

namespace Vexa {

class Archive;

class DataBlock {
public:
    DataBlock() = default;
    DataBlock(const DataBlock&) = delete;
    DataBlock& operator=(const DataBlock&) = delete;
    virtual ~DataBlock() = default;
    virtual void load() = 0;
    virtual void unload() = 0;

    bool isLoaded() const { return m_loaded; }
    int32_t size() const { return m_size; }
    const char* data() const { return m_data; }

protected:
    bool m_loaded = false;
    int32_t m_size = 0;
    char* m_data = nullptr;
};

// A file of the file system, read whole.
class FileDataBlock : public DataBlock {
public:
    explicit FileDataBlock(std::string path) : m_path(std::move(path)) {}
    ~FileDataBlock() override;
    void load() override;
    void unload() override;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// A member of a loaded archive; its data points into the archive's buffer.
class ArchiveDataBlock : public DataBlock {
public:
    ArchiveDataBlock(Archive* archive, std::string member)
        : m_archive(archive), m_member(std::move(member)) {}
    void load() override;
    void unload() override;

private:
    Archive* m_archive;
    std::string m_member;
    // Set only for a member not followed by a zero byte in the archive.
    std::unique_ptr<char[]> m_copy;
};

// A gzip-compressed file (an uncompressed one passes through unchanged).
class GZipDataBlock : public DataBlock {
public:
    explicit GZipDataBlock(std::string path) : m_path(std::move(path)) {}
    ~GZipDataBlock() override;
    void load() override;
    void unload() override;

private:
    std::string m_path;
};

}  // namespace Vexa
