#include "MeshConversion/R3DWriter.h"

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace Vexa {
namespace {

constexpr std::size_t kBufferSize = 1 << 20;
constexpr int kMaxBinaryListLength = 0xFFFF;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Rows of values into a file through one large buffer. Text rows separate
// values by one blank and end with a line break; binary rows are the values'
// little-endian bytes with nothing between them.
class RowSink {
public:
    RowSink(const std::string& path, bool binary) : m_path(path), m_binary(binary) {
        m_file.reset(std::fopen(path.c_str(), "wb"));
        if (!m_file) fail();
        m_buffer.reserve(kBufferSize + 64);
    }

    void text(const std::string& words) {
        m_buffer.insert(m_buffer.end(), words.begin(), words.end());
        flushIfFull();
    }

    void real(float value) {
        if (m_binary) return word(bitsOf(value));
        decimal(value);
    }

    void integer(int value) {
        if (m_binary) return word(static_cast<std::uint32_t>(value));
        decimal(value);
    }

    // A list's length: an unsigned 16-bit word in binary, an int in text.
    void listLength(int length) {
        if (!m_binary) return integer(length);
        m_buffer.push_back(static_cast<char>(length & 0xFF));
        m_buffer.push_back(static_cast<char>((length >> 8) & 0xFF));
    }

    void endRow() {
        if (!m_binary) m_buffer.push_back('\n');
        m_rowStarted = false;
        flushIfFull();
    }

    void close() {
        flush();
        std::FILE* file = m_file.release();
        if (std::fclose(file) != 0) fail();
    }

    [[noreturn]] void fail() const {
        throw ConversionError("cannot write " + m_path + ": " + std::strerror(errno));
    }

private:
    static std::uint32_t bitsOf(float value) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        return bits;
    }

    void word(std::uint32_t bits) {
        for (int shift = 0; shift < 32; shift += 8)
            m_buffer.push_back(static_cast<char>((bits >> shift) & 0xFF));
    }

    // The shortest text that reads back as the same value.
    template <typename Number>
    void decimal(Number value) {
        char digits[32];
        const auto result = std::to_chars(digits, digits + sizeof digits, value);
        separate();
        m_buffer.insert(m_buffer.end(), digits, result.ptr);
    }

    void separate() {
        if (m_rowStarted) m_buffer.push_back(' ');
        m_rowStarted = true;
    }

    void flushIfFull() {
        if (m_buffer.size() >= kBufferSize) flush();
    }

    void flush() {
        if (!m_buffer.empty() &&
            std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_file.get()) != m_buffer.size())
            fail();
        m_buffer.clear();
    }

    std::string m_path;
    bool m_binary;
    bool m_rowStarted = false;
    std::unique_ptr<std::FILE, FileCloser> m_file;
    std::vector<char> m_buffer;
};

// Calls the progress callback each time another tenth of the rows is done.
class ProgressMarks {
public:
    ProgressMarks(std::size_t rows, const std::function<void(int)>& report)
        : m_rows(rows), m_report(report) {}
    void rowDone() {
        ++m_done;
        while (m_report && m_nextTenth <= 10 && m_done * 10 >= m_rows * m_nextTenth)
            m_report(10 * m_nextTenth++);
    }

private:
    std::size_t m_rows;
    std::size_t m_done = 0;
    std::size_t m_nextTenth = 1;
    const std::function<void(int)>& m_report;
};

std::string headerOf(const ConvertedMesh& mesh, const R3DWriteOptions& options) {
    std::string header = "element vertices " + std::to_string(mesh.vertexCount()) + "\n";
    header += "property real locationx\nproperty real locationy\nproperty real locationz\n";
    if (mesh.hasNormals())
        header += "property real normalx\nproperty real normaly\nproperty real normalz\n";
    if (mesh.hasTexCoords()) header += "property real u\nproperty real v\n";
    if (options.faces == FaceElement::Triangles) {
        header += "element triangles " + std::to_string(mesh.faceCount()) + "\n";
        for (const char* name : {"index0", "index1", "index2"})
            header += std::string("property int ") + name + "\nreference vertices\n";
    } else {
        header += "element polygons " + std::to_string(mesh.faceCount()) + "\n";
        header += "property list int indices\nreference vertices\n";
    }
    return header + (options.binary ? "bdata\n" : "data\n");
}

// Refuses faces the chosen element cannot hold, before anything is written.
void checkFaces(const ConvertedMesh& mesh, const std::string& path,
                const R3DWriteOptions& options) {
    for (const int size : mesh.faceSizes) {
        if (options.faces == FaceElement::Triangles && size != 3)
            throw ConversionError("cannot write " + path + ": a face of " + std::to_string(size) +
                                  " corners is not a triangle");
        if (options.binary && size > kMaxBinaryListLength)
            throw ConversionError("cannot write " + path + ": a face of " + std::to_string(size) +
                                  " corners is longer than a binary list can be (65535)");
    }
}

void writeRows(const ConvertedMesh& mesh, const R3DWriteOptions& options, RowSink& sink) {
    ProgressMarks marks(mesh.vertexCount() + mesh.faceCount(), options.progress);
    for (std::size_t i = 0; i < mesh.vertexCount(); ++i) {
        for (int k = 0; k < 3; ++k) sink.real(mesh.positions[3 * i + k]);
        if (mesh.hasNormals())
            for (int k = 0; k < 3; ++k) sink.real(mesh.normals[3 * i + k]);
        if (mesh.hasTexCoords())
            for (int k = 0; k < 2; ++k) sink.real(mesh.texCoords[2 * i + k]);
        sink.endRow();
        marks.rowDone();
    }
    const bool polygons = options.faces == FaceElement::Polygons;
    std::size_t corner = 0;
    for (const int size : mesh.faceSizes) {
        if (polygons) sink.listLength(size);
        for (int k = 0; k < size; ++k) sink.integer(mesh.indices[corner++]);
        sink.endRow();
        marks.rowDone();
    }
}

}  // namespace

void writeR3D(const ConvertedMesh& mesh, const std::string& path, const R3DWriteOptions& options) {
    checkFaces(mesh, path, options);
    RowSink sink(path, options.binary);
    try {
        sink.text(headerOf(mesh, options));
        writeRows(mesh, options, sink);
        sink.close();
    } catch (const ConversionError&) {
        std::remove(path.c_str());
        throw;
    }
}

}  // namespace Vexa
