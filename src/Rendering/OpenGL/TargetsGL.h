#pragma once
// Off-screen render targets: a framebuffer object with a colour and a
// depth-stencil renderbuffer, made current by binding it. A texture target
// copies into its texture when presented; a memory target reads its pixels
// back as RGBA bytes.
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdint>
#include <vector>

#include "Rendering/Common/RenderMachine.h"

namespace Vexa {

class RenderMachineGL;

class FramebufferGL {
public:
    FramebufferGL(int width, int height);
    ~FramebufferGL();
    FramebufferGL(const FramebufferGL&) = delete;
    FramebufferGL& operator=(const FramebufferGL&) = delete;

    int width() const { return m_width; }
    int height() const { return m_height; }
    void bind() const;
    // Binds this framebuffer for `work`, then the one bound before.
    template <typename Work>
    void withBound(Work&& work) const;

private:
    int m_width = 0;
    int m_height = 0;
    GLuint m_framebuffer = 0;
    GLuint m_color = 0;
    GLuint m_depthStencil = 0;
};

// Binds the window's framebuffer (framebuffer objects present or not).
void bindWindowFramebufferGL();

class TextureTargetGL : public TextureTarget {
public:
    TextureTargetGL(RenderMachineGL& machine, int width, int height, Texture* texture);
    int getWidth() const override { return m_framebuffer.width(); }
    int getHeight() const override { return m_framebuffer.height(); }
    void present() override;
    void makeCurrent(RenderMachine* machine) override;

private:
    RenderMachineGL& m_machine;
    FramebufferGL m_framebuffer;
    Texture* m_texture = nullptr;  // owned by whoever created the target
};

class RenderMemoryGL : public RenderMemory {
public:
    // `buffer` may be null: the target then owns one of width x height x 4.
    RenderMemoryGL(int width, int height, uint8_t* buffer);
    int getWidth() const override { return m_framebuffer.width(); }
    int getHeight() const override { return m_framebuffer.height(); }
    void present() override;
    void makeCurrent(RenderMachine* machine) override;
    uint8_t* buffer() override { return m_buffer; }

private:
    FramebufferGL m_framebuffer;
    std::vector<uint8_t> m_ownBuffer;
    uint8_t* m_buffer = nullptr;
};

}  // namespace Vexa
