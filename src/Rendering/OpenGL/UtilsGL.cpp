#include "Rendering/OpenGL/UtilsGL.h"

#include <cstddef>
#include <cstdio>
#include <iterator>

#include "Parser/Exceptions.h"
#include "Rendering/Common/RenderMachine.h"

namespace Vexa {

static const char* const kUnit = "Rendering/OpenGL/UtilsGL";

namespace {

// Entry `value - first` of `table`, or the failure for a value outside it.
template <typename Ex, typename T, size_t N>
const T& lookup(const T (&table)[N], long long value, const char* message, long long first = 0) {
    if (value < first || value - first >= static_cast<long long>(N)) VEXA_THROW(Ex, message);
    return table[value - first];
}

struct ErrorName {
    GLenum code;
    const char* name;
};
const ErrorName kErrorNames[] = {
    {GL_INVALID_ENUM, "GL_INVALID_ENUM"},           {GL_INVALID_VALUE, "GL_INVALID_VALUE"},
    {GL_INVALID_OPERATION, "GL_INVALID_OPERATION"}, {GL_STACK_OVERFLOW, "GL_STACK_OVERFLOW"},
    {GL_STACK_UNDERFLOW, "GL_STACK_UNDERFLOW"},     {GL_OUT_OF_MEMORY, "GL_OUT_OF_MEMORY"},
};

const GLenum kBlendFactor[] = {
    GL_ZERO,                      // ZERO
    GL_ONE,                       // ONE
    GL_SRC_COLOR,                 // SRCCOLOR
    GL_ONE_MINUS_SRC_COLOR,       // INVSRCCOLOR
    GL_SRC_ALPHA,                 // SRCALPHA
    GL_ONE_MINUS_SRC_ALPHA,       // INVSRCALPHA
    GL_DST_ALPHA,                 // DESTALPHA
    GL_ONE_MINUS_DST_ALPHA,       // INVDESTALPHA
    GL_DST_COLOR,                 // DESTCOLOR
    GL_ONE_MINUS_DST_COLOR,       // INVDESTCOLOR
    GL_SRC_ALPHA_SATURATE,        // SRCALPHASAT
    GL_CONSTANT_COLOR,            // BLENDFACTOR
    GL_ONE_MINUS_CONSTANT_COLOR,  // INVBLENDFACTOR
};
static_assert(std::size(kBlendFactor) == kBlendFactorCount, "blend factors");

const GLenum kCompareFunc[] = {
    GL_NEVER,     // NEVER
    GL_LESS,      // LESS
    GL_EQUAL,     // EQUAL
    GL_LEQUAL,    // LESSEQUAL
    GL_GREATER,   // GREATER
    GL_NOTEQUAL,  // NOTEQUAL
    GL_GEQUAL,    // GREATEREQUAL
    GL_ALWAYS,    // ALWAYS
};
static_assert(std::size(kCompareFunc) == kCompareFuncCount, "compare functions");

// Indexed from STENCIL_KEEP (1).
const GLenum kStencilOp[] = {
    GL_KEEP,           // STENCIL_KEEP
    GL_ZERO,           // STENCIL_ZERO
    GL_REPLACE,        // STENCIL_REPLACE
    GL_INCR,           // STENCIL_INCRSAT
    GL_DECR,           // STENCIL_DECRSAT
    GL_INVERT,         // STENCIL_INVERT
    GL_INCR_WRAP_EXT,  // STENCIL_INCR
    GL_DECR_WRAP_EXT,  // STENCIL_DECR
};
static_assert(std::size(kStencilOp) == kStencilOperationCount, "stencil operations");

const GLenum kBlendOperation[] = {
    GL_FUNC_ADD_EXT,               // ADD
    GL_FUNC_SUBTRACT_EXT,          // SUBTRACT
    GL_FUNC_REVERSE_SUBTRACT_EXT,  // REVSUBTRACT
    GL_MIN_EXT,                    // MIN
    GL_MAX_EXT,                    // MAX
};
static_assert(std::size(kBlendOperation) == kBlendOperationCount, "blend operations");

const GLenum kPrimitiveMode[] = {
    GL_POINTS,          // POINT_LIST
    GL_LINES,           // LINE_LIST
    GL_LINE_STRIP,      // LINE_STRIP
    GL_TRIANGLES,       // TRIANGLE_LIST
    GL_TRIANGLE_STRIP,  // TRIANGLE_STRIP
    GL_TRIANGLE_FAN,    // TRIANGLE_FAN
};
static_assert(std::size(kPrimitiveMode) == kPrimitiveTypeCount, "primitive types");

const GLenum kFillMode[] = {
    GL_POINT,  // POINT
    GL_LINE,   // WIREFRAME
    GL_FILL,   // SOLID
};
static_assert(std::size(kFillMode) == kFillModeCount, "fill modes");

const GLenum kFogMode[] = {
    GL_EXP,     // FOG_EXP
    GL_EXP2,    // FOG_EXP2
    GL_LINEAR,  // FOG_LINEAR
};
static_assert(std::size(kFogMode) == kFogModeCount, "fog modes");

const GLenum kFrontFace[] = {
    GL_CW,   // CW
    GL_CCW,  // CCW
};
static_assert(std::size(kFrontFace) == kCullingModeCount, "culling modes");

const GLenum kColorMaterial[] = {
    0,                       // off
    GL_AMBIENT,              // ambient
    GL_DIFFUSE,              // diffuse
    GL_SPECULAR,             // specular
    GL_EMISSION,             // emissive
    GL_AMBIENT_AND_DIFFUSE,  // ambient and diffuse
};
static_assert(std::size(kColorMaterial) == kColorMaterialSourceCount, "colour material sources");

const TexGenGL kTexGen[] = {
    {0, 0, 0, false},                                                             // GEN_DISABLE
    {GL_NORMAL_MAP_ARB, GL_NORMAL_MAP_ARB, GL_NORMAL_MAP_ARB, true},              // GEN_NORMAL
    {GL_EYE_LINEAR, GL_EYE_LINEAR, GL_EYE_LINEAR, true},                          // GEN_VERTEX
    {GL_REFLECTION_MAP_ARB, GL_REFLECTION_MAP_ARB, GL_REFLECTION_MAP_ARB, true},  // GEN_REFLECTION
    {GL_SPHERE_MAP, GL_SPHERE_MAP, 0, true},                                      // GEN_SPHEREMAP
};
static_assert(std::size(kTexGen) == kTexGenModeCount, "texgen modes");

const TextureFormatGL kTextureFormat[] = {
    {GL_RGB8, GL_BGR_EXT, 3},          // FORMAT_RGB8
    {GL_RGBA8, GL_BGRA_EXT, 4},        // FORMAT_ARGB8
    {GL_LUMINANCE8, GL_LUMINANCE, 1},  // FORMAT_L8
};
static_assert(std::size(kTextureFormat) == kTextureFormatCount, "texture formats");

// The filter of textures with mip levels, and of rectangle textures.
struct MinFilterGL {
    GLint mipmapped;
    GLint rectangle;
};
const MinFilterGL kMinFilter[] = {
    {GL_NEAREST, GL_NEAREST},
    {GL_LINEAR, GL_LINEAR},
    {GL_NEAREST_MIPMAP_NEAREST, GL_NEAREST},
    {GL_LINEAR_MIPMAP_NEAREST, GL_LINEAR},
    {GL_NEAREST_MIPMAP_LINEAR, GL_NEAREST},
    {GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR},
};
static_assert(std::size(kMinFilter) == kMinFilterCount, "minification filters");

const GLint kMagFilter[] = {GL_NEAREST, GL_LINEAR};
static_assert(std::size(kMagFilter) == kMagFilterCount, "magnification filters");

const GLint kWrapMode[] = {
    GL_REPEAT,              // REPEAT
    GL_CLAMP,               // CLAMP
    GL_CLAMP_TO_EDGE_SGIS,  // BORDER
};
static_assert(std::size(kWrapMode) == kWrapModeCount, "wrap modes");

const GLenum kWrapCoordinate[] = {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T, GL_TEXTURE_WRAP_R};
static_assert(std::size(kWrapCoordinate) == kWrapCoordinateCount, "wrap coordinates");

}  // namespace

// Without a current context some drivers report an error for every call,
// glGetError included; the bound keeps that from looping forever.
GLenum takeErrorGL() {
    const GLenum first = glGetError();
    for (int i = 0; i < 16 && first != GL_NO_ERROR && glGetError() != GL_NO_ERROR; ++i) {}
    return first;
}

std::string errorTextGL(GLenum error) {
    for (const ErrorName& entry : kErrorNames)
        if (entry.code == error) return entry.name;
    char text[32];
    std::snprintf(text, sizeof text, "GL error 0x%04X", static_cast<unsigned>(error));
    return text;
}

void throwErrorGL(GLenum error, const char* unit, int line, const char* call) {
    std::string message = errorTextGL(error);
    if (call)
        std::fprintf(stderr, "%s.cpp:%d: %s failed with %s\n", unit, line, call, message.c_str());
    throw RenderMachineException(std::move(message), unit, line);
}

void checkErrorGL(const char* unit, int line, const char* call) {
    const GLenum error = takeErrorGL();
    if (error != GL_NO_ERROR) throwErrorGL(error, unit, line, call);
}

GLenum blendFactorGL(int factor) {
    return lookup<RenderMachineException>(kBlendFactor, factor, "Invalid blend mode");
}

GLenum compareFuncGL(int func) {
    return lookup<RenderMachineException>(kCompareFunc, func, "Invalid compare function");
}

GLenum stencilOpGL(unsigned operation) {
    return lookup<RenderMachineException>(kStencilOp, operation, "Invalid stencil operation",
                                          STENCIL_KEEP);
}

GLenum blendOperationGL(int operation) {
    return lookup<RenderMachineException>(kBlendOperation, operation, "Invalid blend operation");
}

GLenum primitiveModeGL(unsigned type) {
    return lookup<Exception>(kPrimitiveMode, type,
                             "RenderMachineGL::getMode: Unknown primitive type.\n");
}

int primitiveCount2VertexCount(unsigned type, int count) {
    const int vertices = primitiveVertexCount(type, count);
    if (vertices < 0)
        VEXA_THROW(Exception,
                   "RenderMachineGL::primitiveCount2VertexCount: Unknown primitive type.\n");
    return vertices;
}

GLenum fillModeGL(int mode) {
    return lookup<RenderMachineException>(kFillMode, mode, "setFillMode: Unknown fill mode.");
}

GLenum fogModeGL(int mode) {
    return lookup<RenderMachineException>(kFogMode, mode, "Invalid fog mode");
}

GLenum frontFaceGL(int cullingMode) {
    return lookup<RenderMachineException>(kFrontFace, cullingMode, "Invalid culling mode");
}

GLenum colorMaterialGL(unsigned source) {
    return lookup<RenderMachineException>(kColorMaterial, source,
                                          "setColorMaterial: Unknown color material destination.");
}

const TexGenGL& texGenGL(int mode) {
    return lookup<RenderMachineException>(kTexGen, mode, "Invalid texgen mode");
}

const TextureFormatGL& textureFormatGL(unsigned format) {
    return lookup<RenderMachineException>(kTextureFormat, format, "Invalid texture format");
}

GLint minFilterGL(int filter, bool rectangle) {
    const MinFilterGL& entry =
        lookup<RenderMachineException>(kMinFilter, filter, "Invalid texture filter");
    return rectangle ? entry.rectangle : entry.mipmapped;
}

GLint magFilterGL(int filter) {
    return lookup<RenderMachineException>(kMagFilter, filter, "Invalid texture filter");
}

GLint wrapModeGL(int mode) {
    return lookup<RenderMachineException>(kWrapMode, mode, "Invalid wrap type");
}

GLenum wrapCoordinateGL(int coordinate) {
    return lookup<RenderMachineException>(kWrapCoordinate, coordinate, "Invalid wrap type");
}

}  // namespace Vexa
