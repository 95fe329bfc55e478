#include "Rendering/OpenGL/ExtensionsGL.h"

#include <cstdio>

#include "Parser/Exceptions.h"

namespace Vexa {

static const char* const kUnit = "Rendering/OpenGL/ExtensionsGL";

namespace {

ExtensionsGL s_extensions;

// Fetches one entry point. A null answer is reported with the back end's
// fixed warning text (which names no function) and loading goes on.
template <typename Fn>
void fetch(ProcLoaderGL loader, Fn& slot, const char* name) {
    slot = reinterpret_cast<Fn>(loader(name));
    if (!slot) std::fputs("GL extension warning: #funcname() not initialized\n", stderr);
}

void require(const std::string& extensions, const char* name, const char* message) {
    if (!hasExtensionWord(extensions, name)) VEXA_THROW(RenderMachineException, message);
}

}  // namespace

const ExtensionsGL& gl() { return s_extensions; }

bool hasExtensionWord(const std::string& extensions, const std::string& name) {
    if (name.empty() || name.find(' ') != std::string::npos) return false;
    size_t start = 0;
    while ((start = extensions.find(name, start)) != std::string::npos) {
        const size_t end = start + name.size();
        const bool wordStart = start == 0 || extensions[start - 1] == ' ';
        const bool wordEnd = end == extensions.size() || extensions[end] == ' ';
        if (wordStart && wordEnd) return true;
        start = end;
    }
    return false;
}

// The order follows the importance of each feature: formats and
// multitexturing first, then everything the machine's operations rely on,
// then what only makes things faster or replaces off-screen buffers.
// Runs for every new device: a driver may hand out entry points that belong
// to the context they were fetched in, so those of an earlier, destroyed
// context are never reused.
void loadExtensionsGL(ProcLoaderGL loader) {
    s_extensions = ExtensionsGL{};
    const char* text = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    const std::string extensions = text ? text : "";
    ExtensionsGL& e = s_extensions;

#define VEXA_GL_FETCH(Type, name) fetch(loader, e.name, #name);
    require(extensions, "GL_EXT_bgra", "fatal: GL_EXT_bgra is not supported.");

    require(extensions, "GL_ARB_multitexture", "Multitexturing is not supported.");
    VEXA_GL_MULTITEXTURE(VEXA_GL_FETCH)
    GLint units = 0;
    glGetIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &units);
    e.maxTextureUnits = units;

    require(extensions, "GL_SGIS_generate_mipmap", "GL_SGIS_generate_mipmap not supported.");
    e.hasGenerateMipmap = true;
    require(extensions, "GL_EXT_blend_color", "GL_EXT_blend_color not supported.");
    VEXA_GL_BLEND_COLOR(VEXA_GL_FETCH)
    require(extensions, "GL_EXT_blend_minmax", "GL_EXT_blend_minmax not supported.");
    VEXA_GL_BLEND_MINMAX(VEXA_GL_FETCH)
    require(extensions, "GL_EXT_point_parameters", "GL_EXT_point_parameters not supported.");
    VEXA_GL_POINT_PARAMETERS(VEXA_GL_FETCH)
    require(extensions, "GL_ARB_point_sprite", "GL_ARB_point_sprite not supported");
    require(extensions, "GL_ARB_vertex_program", "GL_ARB_vertex_program not supported");
    VEXA_GL_VERTEX_PROGRAM(VEXA_GL_FETCH)
    require(extensions, "GL_NV_fog_distance", "GL_NV_fog_distance not supported.");
    e.hasFogDistance = true;
    // The texture combiners are emulated with fragment programs.
    require(extensions, "GL_ARB_fragment_program", "GL_ARB_fragment_program not supported.");
    e.hasFragmentPrograms = true;

    if (hasExtensionWord(extensions, "GL_ARB_vertex_buffer_object")) {
        VEXA_GL_BUFFER_OBJECT(VEXA_GL_FETCH)
        e.hasVertexBuffers = true;
    }
#undef VEXA_GL_FETCH
    if (hasExtensionWord(extensions, "GL_ARB_framebuffer_object")) {
#define VEXA_GL_FETCH(Type, name) fetch(loader, e.name, #name);
        VEXA_GL_FRAMEBUFFER_OBJECT(VEXA_GL_FETCH)
#undef VEXA_GL_FETCH
        e.hasFramebuffers = true;
    } else if (hasExtensionWord(extensions, "GL_EXT_framebuffer_object") &&
               hasExtensionWord(extensions, "GL_EXT_packed_depth_stencil")) {
#define VEXA_GL_FETCH(Type, name) fetch(loader, e.name, #name "EXT");
        VEXA_GL_FRAMEBUFFER_OBJECT(VEXA_GL_FETCH)
#undef VEXA_GL_FETCH
        e.hasFramebuffers = true;
    }
    e.hasVertexArrayBgra = hasExtensionWord(extensions, "GL_ARB_vertex_array_bgra") ||
                           hasExtensionWord(extensions, "GL_EXT_vertex_array_bgra");
    e.loaded = true;
}

}  // namespace Vexa
