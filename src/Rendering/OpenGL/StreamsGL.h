#pragma once
// Vertex and index streams of the OpenGL machine and the binding of a vertex
// declaration to the client arrays.
//
// A vertex stream lives in a buffer object when the driver has them, else in
// a plain block of memory; either way its data handle (buffer name, or
// address) is what the client arrays point into. Index streams are memory.
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "Rendering/Common/RenderMachine.h"

namespace Vexa {

class VertexStreamGL : public VertexStream {
public:
    ~VertexStreamGL() override;
    int vertexCount() const override { return m_count; }
    int stride() const override { return m_stride; }
    void setPriority(float) override {}
    // The buffer object, 0 for a memory stream.
    virtual GLuint buffer() const = 0;
    // The start of the data for the client arrays: an offset in the buffer
    // (null) or the memory address.
    virtual const uint8_t* base() const = 0;

protected:
    VertexStreamGL(int count, int stride) : m_count(count), m_stride(stride) {}

private:
    int m_count = 0;
    int m_stride = 0;
};

// count x stride bytes in a buffer object; usage bit 0 asks for dynamic,
// bit 1 for stream drawing, neither for static. A lock with kLockDiscard
// gives the buffer fresh storage first, so the driver need not wait for draws
// still reading the old contents.
class VertexStreamObjectGL : public VertexStreamGL {
public:
    VertexStreamObjectGL(int count, int stride, unsigned usage);
    ~VertexStreamObjectGL() override;
    void* lock(int first, int count, unsigned flags) override;
    void* lock(unsigned flags) override;
    void unlock() override;
    GLuint buffer() const override { return m_buffer; }
    const uint8_t* base() const override { return nullptr; }

private:
    GLuint m_buffer = 0;
    GLenum m_usage = 0;
    bool m_mapped = false;
};

class VertexStreamMemoryGL : public VertexStreamGL {
public:
    VertexStreamMemoryGL(int count, int stride);
    void* lock(int first, int count, unsigned flags) override;
    void* lock(unsigned flags) override;
    void unlock() override {}
    GLuint buffer() const override { return 0; }
    const uint8_t* base() const override { return m_data.data(); }

private:
    std::vector<uint8_t> m_data;
};

// A buffer-object stream when the driver has them, else a memory stream.
std::unique_ptr<VertexStreamGL> makeVertexStreamGL(int count, int stride, unsigned usage);

class IndexStreamGL : public IndexStream {
public:
    // Format 0: 16-bit indices, 1: 32-bit.
    IndexStreamGL(int count, int format);
    void setPriority(float) override {}
    void* lock(int first, int count, unsigned flags) override;
    void* lock(unsigned flags) override;
    void unlock() override {}
    int indexCount() const override { return m_count; }
    int indexSize() const override { return m_size; }
    GLenum indexType() const { return m_size == 2 ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT; }
    const void* data() const { return m_data.data(); }

private:
    int m_count = 0;
    int m_size = 2;
    std::vector<uint8_t> m_data;
};

constexpr int kMaxVertexStreams = 16;

// The client arrays a declaration uses. Arrays the previous declaration
// enabled and this one does not are switched off, so no stale pointer is
// ever read.
class ArrayBindingGL {
public:
    // Points every element of `declaration` into stream 0 (elements carry no
    // stream number), `baseVertex` vertices in. Colour index 1, the fifth
    // usage and a packed colour used as anything but a colour fail with
    // "Not implemented.".
    void bind(const VertexDeclaration& declaration,
              VertexStreamGL* const streams[kMaxVertexStreams], int baseVertex);
    // Forgets what is enabled and bound (the device was reset).
    void reset() {
        m_enabled = 0;
        m_current = false;
    }

private:
    uint32_t m_enabled = 0;
    // What the arrays point at after the last complete bind, so that a draw
    // with the same declaration, stream and base vertex binds nothing again.
    // Any buffer unmapped or stream destroyed since then makes it stale; while
    // none is, the same stream still has the same buffer, base and stride.
    bool m_current = false;
    std::vector<VertexElement> m_elements;
    const VertexStreamGL* m_stream = nullptr;
    int m_baseVertex = 0;
    uint64_t m_streamChanges = 0;
};

}  // namespace Vexa
