#pragma once
// Conversions from the machine's enumerations to OpenGL values, and the one
// place where OpenGL errors become exceptions.
//
// Every conversion is a table; a value outside it fails with the message the
// machine defines for that enumeration.
#include <GL/gl.h>
#include <GL/glext.h>

#include <string>

namespace Vexa {

// Reads and clears the error flags. The first error is returned (GL_NO_ERROR
// when there was none); any further flags recorded with it are cleared too,
// so one failure is reported once.
GLenum takeErrorGL();

// The text an error is reported with: its name ("GL_INVALID_ENUM", ...), or
// "GL error 0x" and the code in hexadecimal for a code without one.
std::string errorTextGL(GLenum error);

// Throws the RenderMachineException for `error`, located at `unit` and
// `line`. `call` is the text of the failing call, or null; when given, a
// line naming the call and its place is written to standard error first.
[[noreturn]] void throwErrorGL(GLenum error, const char* unit, int line, const char* call);

// Throws for the pending error flag, if any (see throwErrorGL).
void checkErrorGL(const char* unit, int line, const char* call);

// Runs one OpenGL call, then checks the error flag: the one way this back
// end checks for OpenGL errors. The enclosing translation unit names itself
// as `kUnit`. Debug builds also name the failing call.
#ifdef NDEBUG
#define VEXA_GL_CALL_TEXT(call) nullptr
#else
#define VEXA_GL_CALL_TEXT(call) #call
#endif
#define GL_CHECK(call)                                                  \
    do {                                                                \
        call;                                                           \
        ::Vexa::checkErrorGL(kUnit, __LINE__, VEXA_GL_CALL_TEXT(call)); \
    } while (0)

GLenum blendFactorGL(int factor);
GLenum compareFuncGL(int func);
GLenum stencilOpGL(unsigned operation);
GLenum blendOperationGL(int operation);
GLenum primitiveModeGL(unsigned type);
// primitiveVertexCount, failing in the back end's words for an unknown type.
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
// Rectangle textures have no mip levels: they take each minification
// filter without its mip part.
GLint minFilterGL(int filter, bool rectangle);
GLint magFilterGL(int filter);
GLint wrapModeGL(int mode);
// GL_TEXTURE_WRAP_S, _T or _R for coordinate 0, 1, 2.
GLenum wrapCoordinateGL(int coordinate);

}  // namespace Vexa
