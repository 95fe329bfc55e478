#include "Rendering/OpenGL/TargetsGL.h"

#include "Parser/Exceptions.h"
#include "Rendering/OpenGL/ExtensionsGL.h"
#include "Rendering/OpenGL/RenderMachineGL.h"
#include "Rendering/OpenGL/TexturesGL.h"
#include "Rendering/OpenGL/UtilsGL.h"

namespace Vexa {

static const char* const kUnit = "Rendering/OpenGL/TargetsGL";

FramebufferGL::FramebufferGL(int width, int height) : m_width(width), m_height(height) {
    if (!gl().hasFramebuffers)
        VEXA_THROW(RenderMachineException,
                   "framebuffer creation error: framebuffer objects not supported");
    if (width <= 0 || height <= 0)
        VEXA_THROW(RenderMachineException, "framebuffer creation error: invalid size");
    const ExtensionsGL& e = gl();
    GLint previous = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous);
    e.glGenFramebuffers(1, &m_framebuffer);
    e.glGenRenderbuffers(1, &m_color);
    e.glGenRenderbuffers(1, &m_depthStencil);
    e.glBindRenderbuffer(GL_RENDERBUFFER, m_color);
    e.glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    e.glBindRenderbuffer(GL_RENDERBUFFER, m_depthStencil);
    e.glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
    e.glBindRenderbuffer(GL_RENDERBUFFER, 0);
    e.glBindFramebuffer(GL_FRAMEBUFFER, m_framebuffer);
    e.glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, m_color);
    e.glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                                m_depthStencil);
    e.glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                                m_depthStencil);
    const GLenum status = e.glCheckFramebufferStatus(GL_FRAMEBUFFER);
    e.glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(previous));
    const GLenum error = takeErrorGL();
    if (status != GL_FRAMEBUFFER_COMPLETE || error != GL_NO_ERROR) {
        e.glDeleteRenderbuffers(1, &m_depthStencil);
        e.glDeleteRenderbuffers(1, &m_color);
        e.glDeleteFramebuffers(1, &m_framebuffer);
        const std::string why =
            error != GL_NO_ERROR ? errorTextGL(error) : "incomplete framebuffer";
        VEXA_THROW(RenderMachineException, "framebuffer creation error: " + why);
    }
}

FramebufferGL::~FramebufferGL() {
    const ExtensionsGL& e = gl();
    GLint current = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &current);
    if (static_cast<GLuint>(current) == m_framebuffer) e.glBindFramebuffer(GL_FRAMEBUFFER, 0);
    e.glDeleteRenderbuffers(1, &m_depthStencil);
    e.glDeleteRenderbuffers(1, &m_color);
    e.glDeleteFramebuffers(1, &m_framebuffer);
}

void FramebufferGL::bind() const {
    GL_CHECK(gl().glBindFramebuffer(GL_FRAMEBUFFER, m_framebuffer));
}

template <typename Work>
void FramebufferGL::withBound(Work&& work) const {
    GLint previous = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous);
    bind();
    try {
        work();
    } catch (...) {
        gl().glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(previous));
        throw;
    }
    GL_CHECK(gl().glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(previous)));
}

void bindWindowFramebufferGL() {
    if (gl().hasFramebuffers) GL_CHECK(gl().glBindFramebuffer(GL_FRAMEBUFFER, 0));
}

TextureTargetGL::TextureTargetGL(RenderMachineGL& machine, int width, int height, Texture* texture)
    : m_machine(machine), m_framebuffer(width, height), m_texture(texture) {}

void TextureTargetGL::present() {
    m_framebuffer.withBound([&] {
        copyFramebufferToTextureGL(m_machine, *m_texture, m_framebuffer.width(),
                                   m_framebuffer.height());
    });
}

void TextureTargetGL::makeCurrent(RenderMachine*) { m_framebuffer.bind(); }

RenderMemoryGL::RenderMemoryGL(int width, int height, uint8_t* buffer)
    : m_framebuffer(width, height), m_buffer(buffer) {
    if (!m_buffer) {
        m_ownBuffer.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
        m_buffer = m_ownBuffer.data();
    }
}

void RenderMemoryGL::present() {
    m_framebuffer.withBound([&] {
        GL_CHECK(glPixelStorei(GL_PACK_ALIGNMENT, 4));
        GL_CHECK(glReadPixels(0, 0, m_framebuffer.width(), m_framebuffer.height(), GL_RGBA,
                              GL_UNSIGNED_BYTE, m_buffer));
    });
}

void RenderMemoryGL::makeCurrent(RenderMachine*) { m_framebuffer.bind(); }

}  // namespace Vexa
