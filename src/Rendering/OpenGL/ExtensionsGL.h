#pragma once
// Entry points and capabilities the OpenGL back end fetches at run time.
//
// OpenGL 1.1 is called directly; everything an extension adds is reached
// through the pointers below, fetched again by loadExtensionsGL() at each
// machine's first device reset. The pointers, the capability flags and the
// unit count are process-wide: one machine draws at a time.
#include <GL/gl.h>
#include <GL/glext.h>

#include <string>

namespace Vexa {

#define VEXA_GL_MULTITEXTURE(X)                      \
    X(PFNGLACTIVETEXTUREARBPROC, glActiveTextureARB) \
    X(PFNGLCLIENTACTIVETEXTUREARBPROC, glClientActiveTextureARB)
#define VEXA_GL_BLEND_COLOR(X) X(PFNGLBLENDCOLOREXTPROC, glBlendColorEXT)
#define VEXA_GL_BLEND_MINMAX(X) X(PFNGLBLENDEQUATIONEXTPROC, glBlendEquationEXT)
#define VEXA_GL_POINT_PARAMETERS(X)                      \
    X(PFNGLPOINTPARAMETERFEXTPROC, glPointParameterfEXT) \
    X(PFNGLPOINTPARAMETERFVEXTPROC, glPointParameterfvEXT)
#define VEXA_GL_VERTEX_PROGRAM(X)                                              \
    X(PFNGLVERTEXATTRIB1DARBPROC, glVertexAttrib1dARB)                         \
    X(PFNGLVERTEXATTRIB1DVARBPROC, glVertexAttrib1dvARB)                       \
    X(PFNGLVERTEXATTRIB1FARBPROC, glVertexAttrib1fARB)                         \
    X(PFNGLVERTEXATTRIB1FVARBPROC, glVertexAttrib1fvARB)                       \
    X(PFNGLVERTEXATTRIB1SARBPROC, glVertexAttrib1sARB)                         \
    X(PFNGLVERTEXATTRIB1SVARBPROC, glVertexAttrib1svARB)                       \
    X(PFNGLVERTEXATTRIB2DARBPROC, glVertexAttrib2dARB)                         \
    X(PFNGLVERTEXATTRIB2DVARBPROC, glVertexAttrib2dvARB)                       \
    X(PFNGLVERTEXATTRIB2FARBPROC, glVertexAttrib2fARB)                         \
    X(PFNGLVERTEXATTRIB2FVARBPROC, glVertexAttrib2fvARB)                       \
    X(PFNGLVERTEXATTRIB2SARBPROC, glVertexAttrib2sARB)                         \
    X(PFNGLVERTEXATTRIB2SVARBPROC, glVertexAttrib2svARB)                       \
    X(PFNGLVERTEXATTRIB3DARBPROC, glVertexAttrib3dARB)                         \
    X(PFNGLVERTEXATTRIB3DVARBPROC, glVertexAttrib3dvARB)                       \
    X(PFNGLVERTEXATTRIB3FARBPROC, glVertexAttrib3fARB)                         \
    X(PFNGLVERTEXATTRIB3FVARBPROC, glVertexAttrib3fvARB)                       \
    X(PFNGLVERTEXATTRIB3SARBPROC, glVertexAttrib3sARB)                         \
    X(PFNGLVERTEXATTRIB3SVARBPROC, glVertexAttrib3svARB)                       \
    X(PFNGLVERTEXATTRIB4NBVARBPROC, glVertexAttrib4NbvARB)                     \
    X(PFNGLVERTEXATTRIB4NIVARBPROC, glVertexAttrib4NivARB)                     \
    X(PFNGLVERTEXATTRIB4NSVARBPROC, glVertexAttrib4NsvARB)                     \
    X(PFNGLVERTEXATTRIB4NUBARBPROC, glVertexAttrib4NubARB)                     \
    X(PFNGLVERTEXATTRIB4NUBVARBPROC, glVertexAttrib4NubvARB)                   \
    X(PFNGLVERTEXATTRIB4NUIVARBPROC, glVertexAttrib4NuivARB)                   \
    X(PFNGLVERTEXATTRIB4NUSVARBPROC, glVertexAttrib4NusvARB)                   \
    X(PFNGLVERTEXATTRIB4BVARBPROC, glVertexAttrib4bvARB)                       \
    X(PFNGLVERTEXATTRIB4DARBPROC, glVertexAttrib4dARB)                         \
    X(PFNGLVERTEXATTRIB4DVARBPROC, glVertexAttrib4dvARB)                       \
    X(PFNGLVERTEXATTRIB4FARBPROC, glVertexAttrib4fARB)                         \
    X(PFNGLVERTEXATTRIB4FVARBPROC, glVertexAttrib4fvARB)                       \
    X(PFNGLVERTEXATTRIB4IVARBPROC, glVertexAttrib4ivARB)                       \
    X(PFNGLVERTEXATTRIB4SARBPROC, glVertexAttrib4sARB)                         \
    X(PFNGLVERTEXATTRIB4SVARBPROC, glVertexAttrib4svARB)                       \
    X(PFNGLVERTEXATTRIB4UBVARBPROC, glVertexAttrib4ubvARB)                     \
    X(PFNGLVERTEXATTRIB4UIVARBPROC, glVertexAttrib4uivARB)                     \
    X(PFNGLVERTEXATTRIB4USVARBPROC, glVertexAttrib4usvARB)                     \
    X(PFNGLVERTEXATTRIBPOINTERARBPROC, glVertexAttribPointerARB)               \
    X(PFNGLENABLEVERTEXATTRIBARRAYARBPROC, glEnableVertexAttribArrayARB)       \
    X(PFNGLDISABLEVERTEXATTRIBARRAYARBPROC, glDisableVertexAttribArrayARB)     \
    X(PFNGLPROGRAMSTRINGARBPROC, glProgramStringARB)                           \
    X(PFNGLBINDPROGRAMARBPROC, glBindProgramARB)                               \
    X(PFNGLDELETEPROGRAMSARBPROC, glDeleteProgramsARB)                         \
    X(PFNGLGENPROGRAMSARBPROC, glGenProgramsARB)                               \
    X(PFNGLPROGRAMENVPARAMETER4DARBPROC, glProgramEnvParameter4dARB)           \
    X(PFNGLPROGRAMENVPARAMETER4DVARBPROC, glProgramEnvParameter4dvARB)         \
    X(PFNGLPROGRAMENVPARAMETER4FARBPROC, glProgramEnvParameter4fARB)           \
    X(PFNGLPROGRAMENVPARAMETER4FVARBPROC, glProgramEnvParameter4fvARB)         \
    X(PFNGLPROGRAMLOCALPARAMETER4DARBPROC, glProgramLocalParameter4dARB)       \
    X(PFNGLPROGRAMLOCALPARAMETER4DVARBPROC, glProgramLocalParameter4dvARB)     \
    X(PFNGLPROGRAMLOCALPARAMETER4FARBPROC, glProgramLocalParameter4fARB)       \
    X(PFNGLPROGRAMLOCALPARAMETER4FVARBPROC, glProgramLocalParameter4fvARB)     \
    X(PFNGLGETPROGRAMENVPARAMETERDVARBPROC, glGetProgramEnvParameterdvARB)     \
    X(PFNGLGETPROGRAMENVPARAMETERFVARBPROC, glGetProgramEnvParameterfvARB)     \
    X(PFNGLGETPROGRAMLOCALPARAMETERDVARBPROC, glGetProgramLocalParameterdvARB) \
    X(PFNGLGETPROGRAMLOCALPARAMETERFVARBPROC, glGetProgramLocalParameterfvARB) \
    X(PFNGLGETPROGRAMIVARBPROC, glGetProgramivARB)                             \
    X(PFNGLGETPROGRAMSTRINGARBPROC, glGetProgramStringARB)                     \
    X(PFNGLGETVERTEXATTRIBDVARBPROC, glGetVertexAttribdvARB)                   \
    X(PFNGLGETVERTEXATTRIBFVARBPROC, glGetVertexAttribfvARB)                   \
    X(PFNGLGETVERTEXATTRIBIVARBPROC, glGetVertexAttribivARB)                   \
    X(PFNGLGETVERTEXATTRIBPOINTERVARBPROC, glGetVertexAttribPointervARB)       \
    X(PFNGLISPROGRAMARBPROC, glIsProgramARB)
#define VEXA_GL_BUFFER_OBJECT(X)                                   \
    X(PFNGLBINDBUFFERARBPROC, glBindBufferARB)                     \
    X(PFNGLDELETEBUFFERSARBPROC, glDeleteBuffersARB)               \
    X(PFNGLGENBUFFERSARBPROC, glGenBuffersARB)                     \
    X(PFNGLISBUFFERARBPROC, glIsBufferARB)                         \
    X(PFNGLBUFFERDATAARBPROC, glBufferDataARB)                     \
    X(PFNGLBUFFERSUBDATAARBPROC, glBufferSubDataARB)               \
    X(PFNGLGETBUFFERSUBDATAARBPROC, glGetBufferSubDataARB)         \
    X(PFNGLMAPBUFFERARBPROC, glMapBufferARB)                       \
    X(PFNGLUNMAPBUFFERARBPROC, glUnmapBufferARB)                   \
    X(PFNGLGETBUFFERPARAMETERIVARBPROC, glGetBufferParameterivARB) \
    X(PFNGLGETBUFFERPOINTERVARBPROC, glGetBufferPointervARB)
// Framebuffer objects: the ARB names when present, else the EXT ones; both
// sets share these slots because their signatures are the same.
#define VEXA_GL_FRAMEBUFFER_OBJECT(X)                            \
    X(PFNGLGENFRAMEBUFFERSPROC, glGenFramebuffers)               \
    X(PFNGLDELETEFRAMEBUFFERSPROC, glDeleteFramebuffers)         \
    X(PFNGLBINDFRAMEBUFFERPROC, glBindFramebuffer)               \
    X(PFNGLCHECKFRAMEBUFFERSTATUSPROC, glCheckFramebufferStatus) \
    X(PFNGLGENRENDERBUFFERSPROC, glGenRenderbuffers)             \
    X(PFNGLDELETERENDERBUFFERSPROC, glDeleteRenderbuffers)       \
    X(PFNGLBINDRENDERBUFFERPROC, glBindRenderbuffer)             \
    X(PFNGLRENDERBUFFERSTORAGEPROC, glRenderbufferStorage)       \
    X(PFNGLFRAMEBUFFERRENDERBUFFERPROC, glFramebufferRenderbuffer)

#define VEXA_GL_ALL_FUNCTIONS(X) \
    VEXA_GL_MULTITEXTURE(X)      \
    VEXA_GL_BLEND_COLOR(X)       \
    VEXA_GL_BLEND_MINMAX(X)      \
    VEXA_GL_POINT_PARAMETERS(X)  \
    VEXA_GL_VERTEX_PROGRAM(X)    \
    VEXA_GL_BUFFER_OBJECT(X)     \
    VEXA_GL_FRAMEBUFFER_OBJECT(X)

struct ExtensionsGL {
#define VEXA_GL_DECLARE(Type, name) Type name = nullptr;
    VEXA_GL_ALL_FUNCTIONS(VEXA_GL_DECLARE)
#undef VEXA_GL_DECLARE

    int maxTextureUnits = 0;
    bool hasVertexBuffers = false;
    bool hasFragmentPrograms = false;
    bool hasFogDistance = false;
    bool hasGenerateMipmap = false;
    bool hasFramebuffers = false;
    // Packed colours in blue, green, red, alpha byte order as a colour array.
    bool hasVertexArrayBgra = false;
    bool loaded = false;
};

// The process-wide entry points; all null until loadExtensionsGL() ran.
const ExtensionsGL& gl();

// Function-pointer lookup, normally the window layer's glProcAddress.
using ProcLoaderGL = void* (*)(const char* name);

// Reads the extension string of the current context and fetches every entry
// point, once per process; later calls return at once. A required extension
// that is missing fails with its fixed message. An entry point that comes
// back null is reported on standard error and loading goes on.
void loadExtensionsGL(ProcLoaderGL loader);

// Whether `name` occurs in `extensions` as a whole blank-separated word; an
// empty name or one containing a blank never matches.
bool hasExtensionWord(const std::string& extensions, const std::string& name);

}  // namespace Vexa
