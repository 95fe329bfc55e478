#pragma once
// ARB vertex and fragment programs: loading from text, binding with a
// record of the last bound program per target, and the shader objects.
#include <GL/gl.h>
#include <GL/glext.h>

#include <string>

#include "Rendering/Common/RenderMachine.h"

namespace Vexa {

// Binds `name` to `target` (GL_VERTEX_PROGRAM_ARB or GL_FRAGMENT_PROGRAM_ARB)
// unless it is already the last program bound there.
void bindProgramGL(GLenum target, GLuint name);
GLuint boundProgramGL(GLenum target);
// A fresh device has program 0 bound to both targets; makes the record and
// the device agree on that.
void resetProgramBindingsGL();

class ProgramGL;
// Sets the shader program of a target (null: none, the target disabled). A
// program destroyed while set is unset, so no one draws with a dead program.
void useProgramGL(GLenum target, const ProgramGL* program);
const ProgramGL* programInUseGL(GLenum target);

// The failure text of a program that does not load: the position, the
// driver's error string, and the program with " ^^^ " inserted at the
// position (clamped to the text).
std::string programErrorMessage(const std::string& text, int position, const std::string& error);

// One program object loaded from text. Loading keeps the previously bound
// program bound.
class ProgramGL {
public:
    ProgramGL(GLenum target, const char* text);
    ~ProgramGL();
    ProgramGL(const ProgramGL&) = delete;
    ProgramGL& operator=(const ProgramGL&) = delete;

    GLenum target() const { return m_target; }
    GLuint name() const { return m_name; }

private:
    GLenum m_target = 0;
    GLuint m_name = 0;
};

class VertexShaderGL : public VertexShader {
public:
    explicit VertexShaderGL(const char* text) : m_program(GL_VERTEX_PROGRAM_ARB, text) {}
    const ProgramGL& program() const { return m_program; }

private:
    ProgramGL m_program;
};

class PixelShaderGL : public PixelShader {
public:
    explicit PixelShaderGL(const char* text) : m_program(GL_FRAGMENT_PROGRAM_ARB, text) {}
    const ProgramGL& program() const { return m_program; }

private:
    ProgramGL m_program;
};

}  // namespace Vexa
