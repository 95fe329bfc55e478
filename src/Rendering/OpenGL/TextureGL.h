#pragma once
// Textures of the OpenGL back end: 2D textures for power-of-two sizes,
// rectangle textures for other sizes and cube textures.
//
// The machine's stage table (RenderMachineGL::stage) records the texture
// bound at each unit. Invariants kept here: a texture's stage() is one of the
// stages holding it, or -1 when none does, and holders() counts those stages;
// binding sets the stage's coordinate scales to (1, 1) for 2D and cube
// textures and to (width, height) for rectangle textures, so that
// coordinates 0..1 address the whole rectangle.
//
// Orientation: the first row handed to an upload is the top row of the
// picture and lies at v = 0.
#include <GL/gl.h>
#include <GL/glext.h>

#include <memory>

#include "Rendering/Common/RenderMachine.h"
#include "Rendering/OpenGL/UtilsGL.h"

namespace Vexa {

class RenderMachineGL;

class BaseTextureGL : public Texture {
public:
    ~BaseTextureGL() override;

    void setPriority(float priority) override;
    void setMinFilter(int filter) override;
    void setMagFilter(int filter) override;
    void setBorderColor(const Color& color) override;
    void setWrapMode(int coordinate, int mode) override;
    void bind(RenderMachine* machine, int stage) override;

    GLenum target() const { return m_target; }
    GLuint name() const { return m_name; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    int mipLevels() const { return m_levels; }
    int stage() const { return m_stage; }
    int holders() const { return m_holders; }
    bool uploaded() const { return m_uploaded; }

    // Binds the texture at `stage` of the shared table (see bind).
    void bindStage(int stage);
    // Called when the texture at `stage` is replaced or removed.
    void leaveStage(int stage);
    // Copies the lower-left width x height pixels of the read framebuffer
    // into level 0, keeping every unit's bindings.
    void copyFramebuffer(int width, int height);

protected:
    BaseTextureGL(GLenum target, int width, int height, unsigned format, int levels,
                  RenderMachineGL& machine);

    // Makes the texture bound on the active unit for an upload, runs it and
    // restores unit 0 when the texture had to borrow it.
    template <class Upload>
    void withBound(const Upload& upload);
    // Level 0 of `faceTarget` (the texture's target or a cube face);
    // `defined` tells whether that image has storage yet.
    void uploadLevel(GLenum faceTarget, const void* pixels, bool cubeFace, bool& defined);
    void uploadRect(GLenum faceTarget, const void* pixels, int x, int y, int width, int height,
                    bool& defined);
    void readBack(GLenum faceTarget, uint8_t* pixels, bool defined);
    void applyParameters();
    void parameterChanged();
    int pitch() const { return m_width * m_format.bytesPerPixel; }
    size_t imageBytes() const { return size_t(pitch()) * size_t(m_height); }

    GLenum m_target;
    TextureFormatGL m_format;
    GLuint m_name = 0;
    int m_stage = -1;
    int m_holders = 0;
    bool m_dirty = true;
    GLint m_minFilter = GL_LINEAR;
    GLint m_magFilter = GL_LINEAR;
    Color m_border;
    GLint m_wrap[3];
    RenderMachineGL& m_machine;
    int m_width;
    int m_height;
    int m_levels;
    bool m_uploaded = false;
};

// A 2D texture (power-of-two sizes) or a rectangle texture (other sizes).
class TextureGL : public BaseTextureGL {
public:
    // "NPOTD texture cannot have mipmaps." for a rectangle with levels > 1.
    TextureGL(int width, int height, unsigned format, int levels, RenderMachineGL& machine);

    void* lock(int* pitch, unsigned flags) override;
    void* lockRect(int level, int reserved, int x, int y, int* pitch, unsigned flags) override;
    void unlock() override;
    void update(const void* pixels) override;
    void updateRect(const void* pixels, int x, int y, int width, int height) override;
    void* lockFace(int face, int* pitch, unsigned flags) override;
    void unlockFace(int face) override;
    void updateFace(int face, const void* pixels) override;

    bool isRectangle() const { return m_target == GL_TEXTURE_RECTANGLE; }

private:
    std::unique_ptr<uint8_t[]> m_memory;
};

class CubeTextureGL : public BaseTextureGL {
public:
    CubeTextureGL(int edge, unsigned format, int levels, RenderMachineGL& machine);

    // lock, lockRect, update and updateRect work on face 0; unlock uploads
    // every locked face.
    void* lock(int* pitch, unsigned flags) override;
    void* lockRect(int level, int reserved, int x, int y, int* pitch, unsigned flags) override;
    void unlock() override;
    void update(const void* pixels) override;
    void updateRect(const void* pixels, int x, int y, int width, int height) override;
    void* lockFace(int face, int* pitch, unsigned flags) override;
    void unlockFace(int face) override;
    void updateFace(int face, const void* pixels) override;

private:
    std::unique_ptr<uint8_t[]> m_memory[6];
    bool m_faceUploaded[6] = {};
};

bool isPowerOfTwo(int value);

}  // namespace Vexa
