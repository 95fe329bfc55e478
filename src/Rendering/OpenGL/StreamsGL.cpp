#include "Rendering/OpenGL/StreamsGL.h"

#include "Parser/Exceptions.h"
#include "Rendering/OpenGL/ExtensionsGL.h"
#include "Rendering/OpenGL/UtilsGL.h"

namespace Vexa {

static const char* const kUnit = "Rendering/OpenGL/StreamsGL";

namespace {

size_t byteCount(int count, int size) {
    return count > 0 && size > 0 ? static_cast<size_t>(count) * static_cast<size_t>(size) : 0;
}

GLenum bufferUsage(unsigned usage) {
    if (usage & 1u) return GL_DYNAMIC_DRAW_ARB;
    if (usage & 2u) return GL_STREAM_DRAW_ARB;
    return GL_STATIC_DRAW_ARB;
}

// Bits of ArrayBindingGL's enabled set.
constexpr uint32_t kVertexArray = 1u << 0;
constexpr uint32_t kNormalArray = 1u << 1;
constexpr uint32_t kColorArray = 1u << 2;
constexpr int kTexCoordShift = 3;  // texture unit n is bit 3 + n

// Counts unlocks and destructions of vertex streams: a buffer name or an
// address may be reused by a new stream, so a binding made before any of
// them is not trusted after.
uint64_t s_streamChanges = 0;

bool sameElements(const std::vector<VertexElement>& a, const std::vector<VertexElement>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].usage != b[i].usage || a[i].dataType != b[i].dataType ||
            a[i].usageIndex != b[i].usageIndex || a[i].offset != b[i].offset)
            return false;
    return true;
}

}  // namespace

VertexStreamGL::~VertexStreamGL() { ++s_streamChanges; }

VertexStreamObjectGL::VertexStreamObjectGL(int count, int stride, unsigned usage)
    : VertexStreamGL(count, stride), m_usage(bufferUsage(usage)) {
    GL_CHECK(gl().glGenBuffersARB(1, &m_buffer));
    GL_CHECK(gl().glBindBufferARB(GL_ARRAY_BUFFER_ARB, m_buffer));
    GL_CHECK(gl().glBufferDataARB(GL_ARRAY_BUFFER_ARB,
                                  static_cast<GLsizeiptrARB>(byteCount(count, stride)), nullptr,
                                  m_usage));
}

VertexStreamObjectGL::~VertexStreamObjectGL() {
    if (m_mapped) {
        gl().glBindBufferARB(GL_ARRAY_BUFFER_ARB, m_buffer);
        gl().glUnmapBufferARB(GL_ARRAY_BUFFER_ARB);
    }
    gl().glDeleteBuffersARB(1, &m_buffer);
}

void* VertexStreamObjectGL::lock(int first, int, unsigned flags) {
    uint8_t* start = static_cast<uint8_t*>(lock(flags));
    return start + static_cast<ptrdiff_t>(first) * stride();
}

void* VertexStreamObjectGL::lock(unsigned flags) {
    GL_CHECK(gl().glBindBufferARB(GL_ARRAY_BUFFER_ARB, m_buffer));
    GLenum access = GL_READ_WRITE_ARB;
    if (flags & kLockDiscard) {
        GL_CHECK(gl().glBufferDataARB(
            GL_ARRAY_BUFFER_ARB, static_cast<GLsizeiptrARB>(byteCount(vertexCount(), stride())),
            nullptr, m_usage));
        access = GL_WRITE_ONLY_ARB;
    }
    void* data = nullptr;
    GL_CHECK(data = gl().glMapBufferARB(GL_ARRAY_BUFFER_ARB, access));
    m_mapped = true;
    return data;
}

void VertexStreamObjectGL::unlock() {
    ++s_streamChanges;
    if (!m_mapped) return;
    GL_CHECK(gl().glBindBufferARB(GL_ARRAY_BUFFER_ARB, m_buffer));
    GL_CHECK(gl().glUnmapBufferARB(GL_ARRAY_BUFFER_ARB));
    m_mapped = false;
}

VertexStreamMemoryGL::VertexStreamMemoryGL(int count, int stride)
    : VertexStreamGL(count, stride), m_data(byteCount(count, stride)) {}

void* VertexStreamMemoryGL::lock(int first, int, unsigned) {
    return m_data.data() + static_cast<ptrdiff_t>(first) * stride();
}

void* VertexStreamMemoryGL::lock(unsigned) { return m_data.data(); }

std::unique_ptr<VertexStreamGL> makeVertexStreamGL(int count, int stride, unsigned usage) {
    if (gl().hasVertexBuffers) return std::make_unique<VertexStreamObjectGL>(count, stride, usage);
    return std::make_unique<VertexStreamMemoryGL>(count, stride);
}

IndexStreamGL::IndexStreamGL(int count, int format)
    : m_count(count), m_size(format == 1 ? 4 : 2), m_data(byteCount(count, m_size)) {}

void* IndexStreamGL::lock(int first, int, unsigned) {
    return m_data.data() + static_cast<ptrdiff_t>(first) * m_size;
}

void* IndexStreamGL::lock(unsigned) { return m_data.data(); }

void ArrayBindingGL::bind(const VertexDeclaration& declaration,
                          VertexStreamGL* const streams[kMaxVertexStreams], int baseVertex) {
    VertexStreamGL* const stream = streams[0];
    if (m_current && m_streamChanges == s_streamChanges && m_stream == stream &&
        m_baseVertex == baseVertex && sameElements(m_elements, declaration.elements()))
        return;
    m_current = false;
    uint32_t wanted = 0;
    if (stream) {
        const GLsizei stride = stream->stride();
        if (gl().glBindBufferARB)
            GL_CHECK(gl().glBindBufferARB(GL_ARRAY_BUFFER_ARB, stream->buffer()));
        for (const VertexElement& element : declaration.elements()) {
            const uint8_t* address =
                stream->base() + static_cast<ptrdiff_t>(baseVertex) * stride + element.offset;
            const GLint size = element.dataType + 1;
            if (element.dataType == kElementColor32 && element.usage != VertexElement::COLOR)
                VEXA_THROW(RenderMachineException, "Not implemented.");
            switch (element.usage) {
                case VertexElement::POSITION:
                    GL_CHECK(glVertexPointer(size, GL_FLOAT, stride, address));
                    wanted |= kVertexArray;
                    break;
                case VertexElement::NORMAL:
                    GL_CHECK(glNormalPointer(GL_FLOAT, stride, address));
                    wanted |= kNormalArray;
                    break;
                case VertexElement::COLOR:
                    if (element.usageIndex != 0)
                        VEXA_THROW(RenderMachineException, "Not implemented.");
                    if (element.dataType != kElementColor32)
                        GL_CHECK(glColorPointer(size, GL_FLOAT, stride, address));
                    else if (gl().hasVertexArrayBgra)  // 0xAARRGGBB is stored B, G, R, A
                        GL_CHECK(glColorPointer(GL_BGRA, GL_UNSIGNED_BYTE, stride, address));
                    else
                        GL_CHECK(glColorPointer(4, GL_UNSIGNED_BYTE, stride, address));
                    wanted |= kColorArray;
                    break;
                case VertexElement::TEXCOORD:
                    GL_CHECK(gl().glClientActiveTextureARB(GL_TEXTURE0_ARB + element.usageIndex));
                    GL_CHECK(glTexCoordPointer(size, GL_FLOAT, stride, address));
                    wanted |= 1u << (kTexCoordShift + element.usageIndex);
                    break;
                default: VEXA_THROW(RenderMachineException, "Not implemented.");
            }
        }
    }

    const uint32_t changed = wanted ^ m_enabled;
    const auto toggle = [&](uint32_t bit, GLenum array) {
        if (!(changed & bit)) return;
        if (wanted & bit)
            GL_CHECK(glEnableClientState(array));
        else
            GL_CHECK(glDisableClientState(array));
    };
    toggle(kVertexArray, GL_VERTEX_ARRAY);
    toggle(kNormalArray, GL_NORMAL_ARRAY);
    toggle(kColorArray, GL_COLOR_ARRAY);
    for (int unit = 0; unit < gl().maxTextureUnits && kTexCoordShift + unit < 32; ++unit) {
        const uint32_t bit = 1u << (kTexCoordShift + unit);
        if (!(changed & bit)) continue;
        GL_CHECK(gl().glClientActiveTextureARB(GL_TEXTURE0_ARB + unit));
        toggle(bit, GL_TEXTURE_COORD_ARRAY);
    }
    m_enabled = wanted;
    m_current = true;
    m_elements = declaration.elements();
    m_stream = stream;
    m_baseVertex = baseVertex;
    m_streamChanges = s_streamChanges;
}

}  // namespace Vexa
