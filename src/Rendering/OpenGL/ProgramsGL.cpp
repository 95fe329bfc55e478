#include "Rendering/OpenGL/ProgramsGL.h"

#include <cstring>

#include "Parser/Exceptions.h"
#include "Rendering/OpenGL/ExtensionsGL.h"
#include "Rendering/OpenGL/UtilsGL.h"

namespace Vexa {

static const char* const kUnit = "Rendering/OpenGL/ProgramsGL";

namespace {

// The last program bound to each target; one context per process.
GLuint s_vertexProgram = 0;
GLuint s_fragmentProgram = 0;

GLuint& lastBound(GLenum target) {
    return target == GL_VERTEX_PROGRAM_ARB ? s_vertexProgram : s_fragmentProgram;
}

// The shader program the machine has set on each target, if any.
const ProgramGL* s_vertexInUse = nullptr;
const ProgramGL* s_fragmentInUse = nullptr;

const ProgramGL*& inUse(GLenum target) {
    return target == GL_VERTEX_PROGRAM_ARB ? s_vertexInUse : s_fragmentInUse;
}

}  // namespace

void bindProgramGL(GLenum target, GLuint name) {
    GLuint& last = lastBound(target);
    if (last == name) return;
    GL_CHECK(gl().glBindProgramARB(target, name));
    last = name;
}

GLuint boundProgramGL(GLenum target) { return lastBound(target); }

void useProgramGL(GLenum target, const ProgramGL* program) {
    inUse(target) = program;
    if (!program) {
        GL_CHECK(glDisable(target));
        return;
    }
    GL_CHECK(glEnable(target));
    bindProgramGL(target, program->name());
}

const ProgramGL* programInUseGL(GLenum target) { return inUse(target); }

void resetProgramBindingsGL() {
    for (GLenum target : {GL_VERTEX_PROGRAM_ARB, GL_FRAGMENT_PROGRAM_ARB}) {
        GL_CHECK(gl().glBindProgramARB(target, 0));
        lastBound(target) = 0;
        inUse(target) = nullptr;
    }
}

std::string programErrorMessage(const std::string& text, int position, const std::string& error) {
    size_t at = position < 0 ? 0 : static_cast<size_t>(position);
    if (at > text.size()) at = text.size();
    std::string message = "loadProgram: error at position: " + std::to_string(position) + "\n";
    message += error + "\n";
    message += text.substr(0, at) + " ^^^ " + text.substr(at);
    return message;
}

// Loads the text into a new program object. On a syntax error the driver
// raises GL_INVALID_OPERATION and tells where and why; that becomes the
// exception, with the program shown and the place marked.
ProgramGL::ProgramGL(GLenum target, const char* text) : m_target(target) {
    GL_CHECK(gl().glGenProgramsARB(1, &m_name));
    const GLuint previous = boundProgramGL(target);
    bindProgramGL(target, m_name);
    gl().glProgramStringARB(target, GL_PROGRAM_FORMAT_ASCII_ARB,
                            static_cast<GLsizei>(std::strlen(text)), text);
    const GLenum error = takeErrorGL();
    if (error == GL_NO_ERROR) {
        bindProgramGL(target, previous);
        return;
    }
    std::string message;
    if (error == GL_INVALID_OPERATION) {
        GLint position = -1;
        glGetIntegerv(GL_PROGRAM_ERROR_POSITION_ARB, &position);
        const GLubyte* errorString = glGetString(GL_PROGRAM_ERROR_STRING_ARB);
        const char* const why = errorString ? reinterpret_cast<const char*>(errorString) : "";
        message = programErrorMessage(text, position, why);
    }
    bindProgramGL(target, previous);
    gl().glDeleteProgramsARB(1, &m_name);
    if (message.empty())
        throwErrorGL(error, kUnit, __LINE__, VEXA_GL_CALL_TEXT(glProgramStringARB));
    VEXA_THROW(RenderMachineException, message);
}

// Deleting a bound program makes the driver bind program 0 in its place; a
// program still in use is taken out of use first, so the next draw runs the
// fixed stages instead of an enabled target with no program.
ProgramGL::~ProgramGL() {
    if (inUse(m_target) == this) {
        inUse(m_target) = nullptr;
        glDisable(m_target);
    }
    if (lastBound(m_target) == m_name) lastBound(m_target) = 0;
    gl().glDeleteProgramsARB(1, &m_name);
}

}  // namespace Vexa
