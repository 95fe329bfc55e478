#include "Rendering/OpenGL/TextureGL.h"

#include <cstring>

#include "Parser/Exceptions.h"
#include "Rendering/OpenGL/ExtensionsGL.h"
#include "Rendering/OpenGL/RenderMachineGL.h"

namespace Vexa {

static const char* const kUnit = "Rendering/OpenGL/TextureGL";

namespace {

GLint maxSizeFor(GLenum target) {
    GLint size = 0;
    switch (target) {
        case GL_TEXTURE_RECTANGLE: glGetIntegerv(GL_MAX_RECTANGLE_TEXTURE_SIZE, &size); break;
        case GL_TEXTURE_CUBE_MAP: glGetIntegerv(GL_MAX_CUBE_MAP_TEXTURE_SIZE, &size); break;
        default: glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size); break;
    }
    return size;
}

// Rows of uploads are packed tightly: a pitch is width times bytes per pixel.
void packTightly(int rowLength) {
    GL_CHECK(glPixelStorei(GL_UNPACK_ALIGNMENT, 1));
    GL_CHECK(glPixelStorei(GL_UNPACK_ROW_LENGTH, rowLength));
    GL_CHECK(glPixelStorei(GL_UNPACK_SKIP_ROWS, 0));
    GL_CHECK(glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0));
}

}  // namespace

bool isPowerOfTwo(int value) { return value > 0 && (value & (value - 1)) == 0; }

BaseTextureGL::BaseTextureGL(GLenum target, int width, int height, unsigned format, int levels,
                             RenderMachineGL& machine)
    : m_target(target),
      m_format(textureFormatGL(format)),
      m_machine(machine),
      m_width(width),
      m_height(height),
      m_levels(levels < 1 ? 1 : levels) {
    const GLint maxSize = maxSizeFor(target);
    // A size the device refuses would fail at the first upload anyway; saying
    // so now also keeps lock() from allocating an absurd system-memory copy.
    if (width < 1 || height < 1 || width > maxSize || height > maxSize)
        VEXA_THROW(RenderMachineException, "GL_INVALID_VALUE");
    const GLenum wrap = target == GL_TEXTURE_2D ? GL_REPEAT : GL_CLAMP;
    m_wrap[0] = m_wrap[1] = m_wrap[2] = wrap;
    GL_CHECK(glGenTextures(1, &m_name));
}

BaseTextureGL::~BaseTextureGL() {
    for (int stage = 0; stage < kMaxTextureStages; ++stage)
        if (m_machine.stage(stage).texture == this) m_machine.stage(stage).texture = nullptr;
    glDeleteTextures(1, &m_name);
}

void BaseTextureGL::setPriority(float priority) {
    const GLclampf value = priority;
    GL_CHECK(glPrioritizeTextures(1, &m_name, &value));
}

void BaseTextureGL::setMinFilter(int filter) {
    m_minFilter = minFilterGL(filter, m_target == GL_TEXTURE_RECTANGLE);
    parameterChanged();
}

void BaseTextureGL::setMagFilter(int filter) {
    m_magFilter = magFilterGL(filter);
    parameterChanged();
}

void BaseTextureGL::setBorderColor(const Color& color) {
    m_border = color;
    parameterChanged();
}

void BaseTextureGL::setWrapMode(int coordinate, int mode) {
    wrapCoordinateGL(coordinate);  // refuses a coordinate other than u, v, w
    GLint wrap = wrapModeGL(mode);
    // Rectangle textures cannot repeat; the nearest they have is the edge.
    if (m_target == GL_TEXTURE_RECTANGLE && wrap == GL_REPEAT) wrap = GL_CLAMP_TO_EDGE;
    m_wrap[coordinate] = wrap;
    parameterChanged();
}

// A change while the texture is bound is applied at once on its unit; one
// made while unbound waits for the next bind.
void BaseTextureGL::parameterChanged() {
    m_dirty = true;
    if (m_stage < 0) return;
    m_machine.selectUnit(m_stage);
    applyParameters();
}

void BaseTextureGL::applyParameters() {
    GL_CHECK(glTexParameteri(m_target, GL_TEXTURE_MIN_FILTER, m_minFilter));
    GL_CHECK(glTexParameteri(m_target, GL_TEXTURE_MAG_FILTER, m_magFilter));
    for (int i = 0; i < 3; ++i) GL_CHECK(glTexParameteri(m_target, wrapCoordinateGL(i), m_wrap[i]));
    const GLfloat border[4] = {m_border.r, m_border.g, m_border.b, m_border.a};
    GL_CHECK(glTexParameterfv(m_target, GL_TEXTURE_BORDER_COLOR, border));
    if (m_target != GL_TEXTURE_RECTANGLE && gl().hasGenerateMipmap)
        GL_CHECK(glTexParameteri(m_target, GL_GENERATE_MIPMAP, GL_TRUE));
    m_dirty = false;
}

void BaseTextureGL::bind(RenderMachine*, int stage) { bindStage(stage); }

static BaseTextureGL* textureAt(RenderMachineGL& machine, int stage) {
    return static_cast<BaseTextureGL*>(machine.stage(stage).texture);
}

static int unitCount(RenderMachineGL& machine) {
    const int units = machine.maxTextureUnits();
    return units < kMaxTextureStages ? units : kMaxTextureStages;
}

void BaseTextureGL::bindStage(int stage) {
    if (stage < 0 || stage >= unitCount(m_machine))
        VEXA_THROW(RenderMachineException, "texNum >= maxTextureUnits");
    m_machine.selectUnit(stage);
    BaseTextureGL* const previous = textureAt(m_machine, stage);
    if (previous != this) {
        if (previous) {
            if (previous->m_target != m_target) GL_CHECK(glDisable(previous->m_target));
            previous->leaveStage(stage);
        }
        m_machine.stage(stage).texture = this;
        ++m_holders;
        m_stage = stage;
        GL_CHECK(glBindTexture(m_target, m_name));
    }
    if (m_dirty) applyParameters();
    const bool rectangle = m_target == GL_TEXTURE_RECTANGLE;
    m_machine.setTextureScale(stage, rectangle ? float(m_width) : 1.0f,
                              rectangle ? float(m_height) : 1.0f);
}

void BaseTextureGL::leaveStage(int stage) {
    if (m_machine.stage(stage).texture == this) m_machine.stage(stage).texture = nullptr;
    if (m_holders > 0) --m_holders;
    if (m_stage != stage) return;
    m_stage = -1;
    for (int other = 0; other < kMaxTextureStages; ++other)
        if (m_machine.stage(other).texture == this) {
            m_stage = other;
            break;
        }
}

// The upload rule: on the unit the texture is bound at; else on the first
// free unit, where it stays bound; else borrowed on unit 0, after which the
// texture that unit held is bound again.
template <class Upload>
void BaseTextureGL::withBound(const Upload& upload) {
    if (m_stage >= 0) {
        m_machine.selectUnit(m_stage);
        if (m_dirty) applyParameters();
        upload();
        return;
    }
    const int units = unitCount(m_machine);
    for (int stage = 0; stage < units; ++stage)
        if (!m_machine.stage(stage).texture) {
            bindStage(stage);
            upload();
            return;
        }
    m_machine.selectUnit(0);
    GL_CHECK(glBindTexture(m_target, m_name));
    if (m_dirty) applyParameters();
    upload();
    BaseTextureGL* const owner = textureAt(m_machine, 0);
    if (owner && owner->m_target == m_target) {
        GL_CHECK(glBindTexture(owner->m_target, owner->m_name));
    } else {
        GL_CHECK(glBindTexture(m_target, 0));
        if (owner) GL_CHECK(glBindTexture(owner->m_target, owner->m_name));
    }
}

void BaseTextureGL::uploadLevel(GLenum faceTarget, const void* pixels, bool cubeFace,
                                bool& defined) {
    if (m_levels > 1 && !gl().hasGenerateMipmap) {
        if (cubeFace)
            VEXA_THROW(RenderMachineException,
                       "BaseTextureGL::update2DFaceMipmaps not implemented!");
        VEXA_THROW(RenderMachineException, "BaseTextureGL::update2DMipmaps not implemented!");
    }
    withBound([&] {
        packTightly(0);
        GL_CHECK(glTexImage2D(faceTarget, 0, m_format.internalFormat, m_width, m_height, 0,
                              m_format.sourceFormat, GL_UNSIGNED_BYTE, pixels));
    });
    defined = m_uploaded = true;
}

void BaseTextureGL::uploadRect(GLenum faceTarget, const void* pixels, int x, int y, int width,
                               int height, bool& defined) {
    if (x < 0 || y < 0 || width < 0 || height < 0 || x + width > m_width || y + height > m_height)
        VEXA_THROW(RenderMachineException, "GL_INVALID_VALUE");
    withBound([&] {
        // A rectangle of a texture never filled gets defined storage first.
        if (!defined)
            GL_CHECK(glTexImage2D(faceTarget, 0, m_format.internalFormat, m_width, m_height, 0,
                                  m_format.sourceFormat, GL_UNSIGNED_BYTE, nullptr));
        packTightly(width);
        GL_CHECK(glTexSubImage2D(faceTarget, 0, x, y, width, height, m_format.sourceFormat,
                                 GL_UNSIGNED_BYTE, pixels));
        GL_CHECK(glPixelStorei(GL_UNPACK_ROW_LENGTH, 0));
    });
    defined = m_uploaded = true;
}

// A lock of an uploaded texture starts from its current contents, so that
// changing part of it keeps the rest.
void BaseTextureGL::readBack(GLenum faceTarget, uint8_t* pixels, bool defined) {
    if (!defined) {
        std::memset(pixels, 0, imageBytes());
        return;
    }
    withBound([&] {
        GL_CHECK(glPixelStorei(GL_PACK_ALIGNMENT, 1));
        GL_CHECK(glPixelStorei(GL_PACK_ROW_LENGTH, 0));
        GL_CHECK(glGetTexImage(faceTarget, 0, m_format.sourceFormat, GL_UNSIGNED_BYTE, pixels));
    });
}

TextureGL::TextureGL(int width, int height, unsigned format, int levels, RenderMachineGL& machine)
    : BaseTextureGL(
          isPowerOfTwo(width) && isPowerOfTwo(height) ? GL_TEXTURE_2D : GL_TEXTURE_RECTANGLE, width,
          height, format, levels, machine) {
    if (m_target == GL_TEXTURE_RECTANGLE && levels > 1)
        VEXA_THROW(RenderMachineException, "NPOTD texture cannot have mipmaps.");
}

void* TextureGL::lock(int* pitchOut, unsigned) {
    if (!m_memory) {
        m_memory = std::make_unique<uint8_t[]>(imageBytes());
        readBack(m_target, m_memory.get(), m_uploaded);
    }
    if (pitchOut) *pitchOut = pitch();
    return m_memory.get();
}

void* TextureGL::lockRect(int, int, int x, int y, int* pitchOut, unsigned flags) {
    uint8_t* const base = static_cast<uint8_t*>(lock(pitchOut, flags));
    return base + size_t(y) * size_t(pitch()) + size_t(x) * size_t(m_format.bytesPerPixel);
}

void TextureGL::unlock() {
    if (!m_memory) return;
    uploadLevel(m_target, m_memory.get(), false, m_uploaded);
    m_memory.reset();
}

void TextureGL::update(const void* pixels) { uploadLevel(m_target, pixels, false, m_uploaded); }

void TextureGL::updateRect(const void* pixels, int x, int y, int width, int height) {
    uploadRect(m_target, pixels, x, y, width, height, m_uploaded);
}

void* TextureGL::lockFace(int, int* pitchOut, unsigned flags) { return lock(pitchOut, flags); }
void TextureGL::unlockFace(int) { unlock(); }
void TextureGL::updateFace(int, const void* pixels) { update(pixels); }

CubeTextureGL::CubeTextureGL(int edge, unsigned format, int levels, RenderMachineGL& machine)
    : BaseTextureGL(GL_TEXTURE_CUBE_MAP, edge, edge, format, levels, machine) {}

static GLenum cubeFace(int face) {
    static const GLenum faces[] = {
        GL_TEXTURE_CUBE_MAP_POSITIVE_X, GL_TEXTURE_CUBE_MAP_NEGATIVE_X,
        GL_TEXTURE_CUBE_MAP_POSITIVE_Y, GL_TEXTURE_CUBE_MAP_NEGATIVE_Y,
        GL_TEXTURE_CUBE_MAP_POSITIVE_Z, GL_TEXTURE_CUBE_MAP_NEGATIVE_Z,
    };
    if (face < 0 || face > 5) VEXA_THROW(RenderMachineException, "GL_INVALID_ENUM");
    return faces[face];
}

void* CubeTextureGL::lock(int* pitchOut, unsigned flags) { return lockFace(0, pitchOut, flags); }

void* CubeTextureGL::lockRect(int, int, int x, int y, int* pitchOut, unsigned flags) {
    uint8_t* const base = static_cast<uint8_t*>(lockFace(0, pitchOut, flags));
    return base + size_t(y) * size_t(pitch()) + size_t(x) * size_t(m_format.bytesPerPixel);
}

void CubeTextureGL::unlock() {
    for (int face = 0; face < 6; ++face) unlockFace(face);
}

void CubeTextureGL::update(const void* pixels) { updateFace(0, pixels); }

void CubeTextureGL::updateRect(const void* pixels, int x, int y, int width, int height) {
    uploadRect(cubeFace(0), pixels, x, y, width, height, m_faceUploaded[0]);
}

void* CubeTextureGL::lockFace(int face, int* pitchOut, unsigned) {
    const GLenum target = cubeFace(face);
    if (!m_memory[face]) {
        m_memory[face] = std::make_unique<uint8_t[]>(imageBytes());
        readBack(target, m_memory[face].get(), m_faceUploaded[face]);
    }
    if (pitchOut) *pitchOut = pitch();
    return m_memory[face].get();
}

void CubeTextureGL::unlockFace(int face) {
    const GLenum target = cubeFace(face);
    if (!m_memory[face]) return;
    uploadLevel(target, m_memory[face].get(), true, m_faceUploaded[face]);
    m_memory[face].reset();
}

void CubeTextureGL::updateFace(int face, const void* pixels) {
    uploadLevel(cubeFace(face), pixels, true, m_faceUploaded[face]);
}

// The texture target's present: the copy goes through unit 0 and leaves
// the selected unit and unit 0's binding of this target as they were.
void BaseTextureGL::copyFramebuffer(int width, int height) {
    GLint activeUnit = GL_TEXTURE0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &activeUnit);
    GL_CHECK(glActiveTexture(GL_TEXTURE0));
    GLint previous = 0;
    const GLenum binding = m_target == GL_TEXTURE_RECTANGLE  ? GL_TEXTURE_BINDING_RECTANGLE
                           : m_target == GL_TEXTURE_CUBE_MAP ? GL_TEXTURE_BINDING_CUBE_MAP
                                                             : GL_TEXTURE_BINDING_2D;
    glGetIntegerv(binding, &previous);
    GL_CHECK(glBindTexture(m_target, m_name));
    if (m_dirty) applyParameters();
    GL_CHECK(glCopyTexImage2D(m_target, 0, m_format.internalFormat, 0, 0, width, height, 0));
    GL_CHECK(glBindTexture(m_target, GLuint(previous)));
    GL_CHECK(glActiveTexture(GLenum(activeUnit)));
    m_uploaded = true;
}

std::unique_ptr<Texture> makeTextureGL(RenderMachineGL& machine, int width, int height,
                                       unsigned format, int levels) {
    return std::make_unique<TextureGL>(width, height, format, levels, machine);
}

std::unique_ptr<Texture> makeCubeTextureGL(RenderMachineGL& machine, int edge, unsigned format,
                                           int levels) {
    return std::make_unique<CubeTextureGL>(edge, format, levels, machine);
}

void setTextureGL(RenderMachineGL& machine, int stage, Texture* texture) {
    if (stage < 0 || stage >= unitCount(machine))
        VEXA_THROW(RenderMachineException, "texNum >= maxTextureUnits");
    if (texture) {
        BaseTextureGL* const textureGL = static_cast<BaseTextureGL*>(texture);
        textureGL->bindStage(stage);
        GL_CHECK(glEnable(textureGL->target()));
        return;
    }
    BaseTextureGL* const previous = textureAt(machine, stage);
    if (!previous) return;
    machine.selectUnit(stage);
    GL_CHECK(glDisable(previous->target()));
    GL_CHECK(glBindTexture(previous->target(), 0));
    previous->leaveStage(stage);
}

void copyFramebufferToTextureGL(RenderMachineGL&, Texture& texture, int width, int height) {
    static_cast<BaseTextureGL&>(texture).copyFramebuffer(width, height);
}

}  // namespace Vexa
