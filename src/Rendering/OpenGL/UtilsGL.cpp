#include "Rendering/OpenGL/UtilsGL.h"

#include <cstddef>

#include "Parser/Exceptions.h"
#include "Rendering/Common/RenderMachine.h"

namespace Vexa {

static const char* const kUnit = "Rendering/OpenGL/UtilsGL";

namespace {

// Entry `value - first` of `table`, or the failure for a value outside it.
template <typename Ex, typename T, size_t N>
const T& lookup(const T (&table)[N], long long value, const char* message, long long first = 0) {
    if (value < first || value - first >= static_cast<long long>(N))
        VEXA_THROW(Ex, message);
    return table[value - first];
}

struct ErrorName {
    GLenum code;
    const char* name;
};
const ErrorName kErrorNames[] = {
    {GL_INVALID_ENUM, "GL_INVALID_ENUM"},
    {GL_INVALID_VALUE, "GL_INVALID_VALUE"},
    {GL_INVALID_OPERATION, "GL_INVALID_OPERATION"},
    {GL_STACK_OVERFLOW, "GL_STACK_OVERFLOW"},
    {GL_STACK_UNDERFLOW, "GL_STACK_UNDERFLOW"},
    {GL_OUT_OF_MEMORY, "GL_OUT_OF_MEMORY"},
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
static_assert(sizeof(kBlendFactor) / sizeof(kBlendFactor[0]) == INVBLENDFACTOR + 1, "blend factors");

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
static_assert(sizeof(kCompareFunc) / sizeof(kCompareFunc[0]) == ALWAYS + 1, "compare functions");

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
static_assert(sizeof(kStencilOp) / sizeof(kStencilOp[0]) == STENCIL_DECR - STENCIL_KEEP + 1,
              "stencil operations");

const GLenum kBlendOperation[] = {
    GL_FUNC_ADD_EXT,               // ADD
    GL_FUNC_SUBTRACT_EXT,          // SUBTRACT
    GL_FUNC_REVERSE_SUBTRACT_EXT,  // REVSUBTRACT
    GL_MIN_EXT,                    // MIN
    GL_MAX_EXT,                    // MAX
};
static_assert(sizeof(kBlendOperation) / sizeof(kBlendOperation[0]) == MAX + 1, "blend operations");

struct PrimitiveGL {
    GLenum mode;
    int perPrimitive;  // vertices per primitive
    int extra;         // vertices added once
};
const PrimitiveGL kPrimitive[] = {
    {GL_POINTS, 1, 0},          // POINT_LIST
    {GL_LINES, 2, 0},           // LINE_LIST
    {GL_LINE_STRIP, 1, 1},      // LINE_STRIP
    {GL_TRIANGLES, 3, 0},       // TRIANGLE_LIST
    {GL_TRIANGLE_STRIP, 1, 2},  // TRIANGLE_STRIP
    {GL_TRIANGLE_FAN, 1, 2},    // TRIANGLE_FAN
};
static_assert(sizeof(kPrimitive) / sizeof(kPrimitive[0]) == TRIANGLE_FAN + 1, "primitive types");

const GLenum kFillMode[] = {
    GL_POINT,  // POINT
    GL_LINE,   // WIREFRAME
    GL_FILL,   // SOLID
};
static_assert(sizeof(kFillMode) / sizeof(kFillMode[0]) == SOLID + 1, "fill modes");

const GLenum kFogMode[] = {
    GL_EXP,     // FOG_EXP
    GL_EXP2,    // FOG_EXP2
    GL_LINEAR,  // FOG_LINEAR
};
static_assert(sizeof(kFogMode) / sizeof(kFogMode[0]) == FOG_LINEAR + 1, "fog modes");

const GLenum kFrontFace[] = {
    GL_CW,   // CW
    GL_CCW,  // CCW
};
static_assert(sizeof(kFrontFace) / sizeof(kFrontFace[0]) == CCW + 1, "culling modes");

const GLenum kColorMaterial[] = {
    0,                        // off
    GL_AMBIENT,               // ambient
    GL_DIFFUSE,               // diffuse
    GL_SPECULAR,              // specular
    GL_EMISSION,              // emissive
    GL_AMBIENT_AND_DIFFUSE,   // ambient and diffuse
};
static_assert(sizeof(kColorMaterial) / sizeof(kColorMaterial[0]) == 6, "colour material sources");

const TexGenGL kTexGen[] = {
    {0, 0, 0, false},                                                       // GEN_DISABLE
    {GL_NORMAL_MAP_ARB, GL_NORMAL_MAP_ARB, GL_NORMAL_MAP_ARB, true},        // GEN_NORMAL
    {GL_EYE_LINEAR, GL_EYE_LINEAR, GL_EYE_LINEAR, true},                    // GEN_VERTEX
    {GL_REFLECTION_MAP_ARB, GL_REFLECTION_MAP_ARB, GL_REFLECTION_MAP_ARB, true},  // GEN_REFLECTION
    {GL_SPHERE_MAP, GL_SPHERE_MAP, 0, true},                                // GEN_SPHEREMAP
};
static_assert(sizeof(kTexGen) / sizeof(kTexGen[0]) == GEN_SPHEREMAP + 1, "texgen modes");

const TextureFormatGL kTextureFormat[] = {
    {GL_RGB8, GL_BGR_EXT, 3},          // FORMAT_RGB8
    {GL_RGBA8, GL_BGRA_EXT, 4},        // FORMAT_ARGB8
    {GL_LUMINANCE8, GL_LUMINANCE, 1},  // FORMAT_L8
};
static_assert(sizeof(kTextureFormat) / sizeof(kTextureFormat[0]) == FORMAT_L8 + 1, "texture formats");

const GLint kMinFilter[] = {
    GL_NEAREST, GL_LINEAR, GL_NEAREST_MIPMAP_NEAREST, GL_LINEAR_MIPMAP_NEAREST,
    GL_NEAREST_MIPMAP_LINEAR, GL_LINEAR_MIPMAP_LINEAR,
};
static_assert(sizeof(kMinFilter) / sizeof(kMinFilter[0]) == 6, "minification filters");

const GLint kMagFilter[] = {GL_NEAREST, GL_LINEAR};
static_assert(sizeof(kMagFilter) / sizeof(kMagFilter[0]) == 2, "magnification filters");

const GLint kWrapMode[] = {
    GL_REPEAT,             // REPEAT
    GL_CLAMP,              // CLAMP
    GL_CLAMP_TO_EDGE_SGIS, // BORDER
};
static_assert(sizeof(kWrapMode) / sizeof(kWrapMode[0]) == BORDER + 1, "wrap modes");

const GLenum kWrapCoordinate[] = {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T, GL_TEXTURE_WRAP_R};
static_assert(sizeof(kWrapCoordinate) / sizeof(kWrapCoordinate[0]) == 3, "wrap coordinates");

}  // namespace

const char* errorNameGL(GLenum error) {
    for (const ErrorName& entry : kErrorNames)
        if (entry.code == error)
            return entry.name;
    return nullptr;
}

void checkErrorGL(const char* unit, int line) {
    const GLenum error = glGetError();
    if (error == GL_NO_ERROR)
        return;
    const char* name = errorNameGL(error);
    if (name)
        throw RenderMachineException(name, unit, line);
}

GLenum blendFactorGL(int factor) {
    return lookup<RenderMachineException>(kBlendFactor, factor, "Invalid blend mode");
}

GLenum compareFuncGL(int func) {
    return lookup<RenderMachineException>(kCompareFunc, func, "Invalid compare function");
}

GLenum stencilOpGL(unsigned operation) {
    return lookup<RenderMachineException>(kStencilOp, operation, "Invalid stencil operation", STENCIL_KEEP);
}

GLenum blendOperationGL(int operation) {
    return lookup<RenderMachineException>(kBlendOperation, operation, "Invalid blend operation");
}

GLenum primitiveModeGL(unsigned type) {
    return lookup<Exception>(kPrimitive, type, "RenderMachineGL::getMode: Unknown primitive type.\n").mode;
}

int primitiveCount2VertexCount(unsigned type, int count) {
    const PrimitiveGL& primitive = lookup<Exception>(
        kPrimitive, type, "RenderMachineGL::primitiveCount2VertexCount: Unknown primitive type.\n");
    return count * primitive.perPrimitive + primitive.extra;
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

GLint minFilterGL(int filter) {
    return lookup<RenderMachineException>(kMinFilter, filter, "Invalid texture filter");
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
