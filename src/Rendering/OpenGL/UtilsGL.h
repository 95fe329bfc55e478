#pragma once
// Conversions from the machine's enumerations to OpenGL values, and the one
// place where OpenGL errors become exceptions.
//
// Every conversion is a table; a value outside it fails with the message the
// machine defines for that enumeration.
#include <GL/gl.h>
#include <GL/glext.h>

namespace Vexa {

// Reads glGetError and throws a RenderMachineException named after the
// error ("GL_INVALID_ENUM", ...), located at `unit` and `line`.
void checkErrorGL(const char* unit, int line);

// Runs an OpenGL call sequence, then checks the error flag. The enclosing
// translation unit names itself as `kUnit`.
#define GL_CHECK(call)                          \
    do {                                        \
        call;                                   \
        ::Vexa::checkErrorGL(kUnit, __LINE__);  \
    } while (0)

// Name of an OpenGL error code, or null for GL_NO_ERROR and unknown codes.
const char* errorNameGL(GLenum error);

GLenum blendFactorGL(int factor);
GLenum compareFuncGL(int func);
GLenum stencilOpGL(unsigned operation);
GLenum blendOperationGL(int operation);
GLenum primitiveModeGL(unsigned type);
// Vertices a draw of `count` primitives uses, applied blindly (a count of 0
// gives 1 or 2 vertices for strips and fans).
int primitiveCount2VertexCount(unsigned type, int count);
GLenum fillModeGL(int mode);
GLenum fogModeGL(int mode);
GLenum frontFaceGL(int cullingMode);
// 0 for source 0 (colour material off).
GLenum colorMaterialGL(unsigned source);

// Texture coordinate generation: the mode for s, t and r (0 when the
// coordinate is left alone) and whether generation is on at all.
struct TexGenGL {
    GLint s, t, r;
    bool enabled;
};
const TexGenGL& texGenGL(int mode);

struct TextureFormatGL {
    GLint internalFormat;
    GLenum sourceFormat;
    int bytesPerPixel;
};
const TextureFormatGL& textureFormatGL(unsigned format);
GLint minFilterGL(int filter);
GLint magFilterGL(int filter);
GLint wrapModeGL(int mode);
// GL_TEXTURE_WRAP_S, _T or _R for coordinate 0, 1, 2.
GLenum wrapCoordinateGL(int coordinate);

}  // namespace Vexa
