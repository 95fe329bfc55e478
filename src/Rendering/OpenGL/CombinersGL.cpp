#include "Rendering/OpenGL/CombinersGL.h"

#include <iterator>

#include "Parser/Exceptions.h"
#include "Rendering/OpenGL/ExtensionsGL.h"
#include "Rendering/OpenGL/RenderMachineGL.h"
#include "Rendering/OpenGL/TextureGL.h"
#include "Rendering/OpenGL/UtilsGL.h"

namespace Vexa {

static const char* const kUnit = "Rendering/OpenGL/CombinersGL";

namespace {

// Indexed by CombinerSource; the texture is named per stage ("tex" + s).
const char* const s_sourceRegister[] = {
    "spare0",                    // SRC_CURRENT (the primary colour until a stage writes it)
    "spare1",                    // SRC_TEMP
    "fragment.color.primary",    // SRC_DIFFUSE
    "fragment.color.secondary",  // SRC_SPECULAR
    nullptr,                     // SRC_TEXTURE
    "factor",                    // SRC_FACTOR
};
static_assert(std::size(s_sourceRegister) == kCombinerSourceCount,
              "one register per combiner source");

// Indexed by SamplerGL.
const char* const s_samplerTarget[] = {nullptr, "2D", "RECT", "CUBE"};
// Projective lookup as the fixed-function pipeline does, except for cubes,
// which look up a direction.
const char* const s_samplerInstruction[] = {nullptr, "TXP", "TXP", "TEX"};

// Indexed by ProgramFogGL.
const char* const s_fogOption[] = {nullptr, "OPTION ARB_fog_linear;\n", "OPTION ARB_fog_exp;\n",
                                   "OPTION ARB_fog_exp2;\n"};

bool readsTexture(const TextureCombinerStage& stage) {
    const int sources[] = {stage.colorArg1, stage.colorArg2, stage.colorArg3,
                           stage.alphaArg1, stage.alphaArg2, stage.alphaArg3};
    for (int source : sources)
        if (source == SRC_TEXTURE) return true;
    return stage.colorOp == OP_BLENDTEXALPHA || stage.alphaOp == OP_BLENDTEXALPHA;
}

// Emits one portion (colour or alpha) of a stage into `dest`. Operands are
// whole registers for the colour portion and replicated alphas for the alpha
// portion, so the same forms serve both.
class PortionWriter {
public:
    PortionWriter(std::string& out, int stage, bool alpha)
        : m_out(out), m_stage(stage), m_alpha(alpha) {}

    void write(int operation, const int args[3], const char* dest) {
        const std::string a1 = operand(args[0]), a2 = operand(args[1]), a3 = operand(args[2]);
        const std::string alpha1 = registerOf(args[0]) + ".wwww";
        const std::string d = dest;
        switch (operation) {
            case OP_I1: line("MOV " + d + ", " + a1); break;
            case OP_I2: line("MOV " + d + ", " + a2); break;
            case OP_MODULATE: line("MUL " + d + ", " + a1 + ", " + a2); break;
            case OP_MODULATE2X:
            case OP_MODULATE4X:
                line("MUL " + d + ", " + a1 + ", " + a2);
                line("MUL " + d + ", " + d + (operation == OP_MODULATE2X ? ", k.y" : ", k.z"));
                break;
            case OP_ADD: line("ADD " + d + ", " + a1 + ", " + a2); break;
            case OP_ADDSIGNED:
                line("ADD " + d + ", " + a1 + ", " + a2);
                line("SUB " + d + ", " + d + ", k.x");
                break;
            case OP_ADDSIGNED2X:
                line("ADD " + d + ", " + a1 + ", " + a2);
                line("SUB " + d + ", " + d + ", k.x");
                line("MUL " + d + ", " + d + ", k.y");
                break;
            case OP_SUB: line("SUB " + d + ", " + a1 + ", " + a2); break;
            case OP_ADDSMOOTH:
                line("SUB_SAT inv, one, " + a1);
                line("MAD " + d + ", " + a2 + ", inv, " + a1);
                break;
            case OP_BLENDCURALPHA: blend("spare0.wwww", a1, a2, d); break;
            case OP_BLENDDIFALPHA: blend("fragment.color.primary.wwww", a1, a2, d); break;
            // The alpha of this stage's own texture, as the operation's name says.
            case OP_BLENDTEXALPHA: blend(textureRegister() + ".wwww", a1, a2, d); break;
            case OP_DOTP:
                if (m_alpha) {
                    line("MUL " + d + ", " + a1 + ", " + a2);
                } else {
                    line("DP3 " + d + ", " + a1 + ", " + a2);
                }
                break;
            case OP_LERP:
                line("SUB_SAT inv, one, " + a1);
                line("MUL inv, inv, " + a3);
                line("MAD " + d + ", " + a1 + ", " + a2 + ", inv");
                break;
            case OP_MULADD: line("MAD " + d + ", " + a2 + ", " + a3 + ", " + a1); break;
            case OP_MODULATEALPHA_ADDCOLOR:
                line("MAD " + d + ", " + a2 + ", " + alpha1 + ", " + a1);
                break;
            case OP_MODULATECOLOR_ADDALPHA:
                line("MAD " + d + ", " + a1 + ", " + a2 + ", " + alpha1);
                break;
            case OP_MODULATEINVALPHA_ADDCOLOR:
                line("SUB_SAT inv, one, " + alpha1);
                line("MAD " + d + ", " + a2 + ", inv, " + a1);
                break;
            case OP_MODULATEINVCOLOR_ADDALPHA:
                line("SUB_SAT inv, one, " + a1);
                line("MAD " + d + ", inv, " + a2 + ", " + alpha1);
                break;
            default: break;
        }
        // Registers hold signed values.
        line("MAX " + d + ", " + d + ", -one");
        line("MIN " + d + ", " + d + ", one");
    }

private:
    std::string textureRegister() const { return "tex" + std::to_string(m_stage); }
    std::string registerOf(int source) const {
        return source == SRC_TEXTURE ? textureRegister() : std::string(s_sourceRegister[source]);
    }
    std::string operand(int source) const { return registerOf(source) + (m_alpha ? ".wwww" : ""); }
    // a1 times s plus a2 times (1 minus s), the inverted term unsigned.
    void blend(const std::string& s, const std::string& a1, const std::string& a2,
               const std::string& d) {
        line("SUB_SAT inv, one, " + s);
        line("MUL inv, inv, " + a2);
        line("MAD " + d + ", " + a1 + ", " + s + ", inv");
    }
    void line(const std::string& text) { m_out += text + ";\n"; }

    std::string& m_out;
    int m_stage;
    bool m_alpha;
};

SamplerGL samplerOf(GLenum target) {
    switch (target) {
        case GL_TEXTURE_2D: return SamplerGL::Texture2D;
        case GL_TEXTURE_RECTANGLE: return SamplerGL::Rectangle;
        case GL_TEXTURE_CUBE_MAP: return SamplerGL::Cube;
        default: return SamplerGL::None;
    }
}

}  // namespace

void validateCombinerStage(const TextureCombinerStage& stage) {
    const int sources[] = {stage.colorArg1, stage.colorArg2, stage.colorArg3,
                           stage.alphaArg1, stage.alphaArg2, stage.alphaArg3};
    for (int source : sources)
        if (source < SRC_CURRENT || source > SRC_FACTOR)
            VEXA_THROW(RenderMachineException, "Invalid combiner stage source");
    if (stage.result != SRC_CURRENT && stage.result != SRC_TEMP)
        VEXA_THROW(RenderMachineException, "Invalid combiner stage source");
    if (stage.colorOp < OP_I1 || stage.colorOp > OP_MODULATEINVCOLOR_ADDALPHA)
        VEXA_THROW(RenderMachineException, "Invalid combiner stage rgb operation");
    if (stage.alphaOp < OP_I1 || stage.alphaOp > OP_MULADD)
        VEXA_THROW(RenderMachineException, "Invalid combiner stage alpha operation");
}

int activeCombinerStages(const TextureCombinerStage* stages, int count) {
    int active = 0;
    while (active < count && stages[active].enabled) ++active;
    return active;
}

std::string combinerProgramText(const TextureCombinerStage* stages, int count,
                                const SamplerGL samplers[kMaxCombinerStages], ProgramFogGL fog) {
    std::string out = "!!ARBfp1.0\n";
    if (fog != ProgramFogGL::None) out += s_fogOption[int(fog)];
    out +=
        "PARAM factor = program.local[0];\n"
        "PARAM one = {1, 1, 1, 1};\n"
        "PARAM zero = {0, 0, 0, 0};\n"
        "PARAM k = {0.5, 2, 4, 0};\n"
        "TEMP spare0, spare1, c, a, inv;\n";
    for (int s = 0; s < count; ++s) {
        if (!readsTexture(stages[s])) continue;
        const std::string reg = "tex" + std::to_string(s);
        out += "TEMP " + reg + ";\n";
        const SamplerGL sampler = samplers[s];
        if (sampler == SamplerGL::None) {
            out += "MOV " + reg + ", one;\n";
        } else {
            const std::string unit = std::to_string(s);
            out += std::string(s_samplerInstruction[int(sampler)]) + " " + reg +
                   ", fragment.texcoord[" + unit + "], texture[" + unit + "], " +
                   s_samplerTarget[int(sampler)] + ";\n";
        }
    }
    out +=
        "MOV spare0, fragment.color.primary;\n"
        "MOV spare1, zero;\n";
    for (int s = 0; s < count; ++s) {
        const TextureCombinerStage& stage = stages[s];
        const int colorArgs[3] = {stage.colorArg1, stage.colorArg2, stage.colorArg3};
        const int alphaArgs[3] = {stage.alphaArg1, stage.alphaArg2, stage.alphaArg3};
        out += "# stage " + std::to_string(s) + "\n";
        PortionWriter(out, s, false).write(stage.colorOp, colorArgs, "c");
        PortionWriter(out, s, true).write(stage.alphaOp, alphaArgs, "a");
        const char* const result = stage.result == SRC_TEMP ? "spare1" : "spare0";
        out += std::string("MOV ") + result + ".xyz, c;\n";
        out += std::string("MOV ") + result + ".w, a;\n";
    }
    out +=
        "ADD_SAT c.xyz, spare0, fragment.color.secondary;\n"
        "MOV_SAT c.w, spare0;\n"
        "MOV result.color, c;\n"
        "END\n";
    return out;
}

void CombinersGL::reset() {
    for (TextureCombinerStage& stage : m_stages) stage = TextureCombinerStage();
    m_factor = Color{1, 1, 1, 1};
}

void CombinersGL::setStage(int stage, const TextureCombinerStage& descriptor) {
    if (stage < 0 || stage >= kMaxCombinerStages)
        VEXA_THROW(RenderMachineException, "texNum >= maxTextureUnits");
    if (descriptor.enabled) validateCombinerStage(descriptor);
    m_stages[stage] = descriptor;
}

// Binds the program for the current stages, texture targets and fog, making
// it on first use.
void CombinersGL::apply() {
    if (m_machine.pixelShaderActive()) return;
    const int active = activeCombinerStages(m_stages, kMaxCombinerStages);
    if (active == 0 || !gl().hasFragmentPrograms) {
        GL_CHECK(glDisable(GL_FRAGMENT_PROGRAM_ARB));
        return;
    }
    SamplerGL samplers[kMaxCombinerStages] = {};
    for (int s = 0; s < active; ++s)
        if (const Texture* texture = m_machine.stage(s).texture)
            samplers[s] = samplerOf(static_cast<const BaseTextureGL*>(texture)->target());
    ProgramFogGL fog = ProgramFogGL::None;
    if (glIsEnabled(GL_FOG)) {
        GLint mode = GL_EXP;
        glGetIntegerv(GL_FOG_MODE, &mode);
        fog = mode == GL_LINEAR ? ProgramFogGL::Linear
              : mode == GL_EXP2 ? ProgramFogGL::Exp2
                                : ProgramFogGL::Exp;
    }

    std::string& key = m_key;
    key.clear();
    for (int s = 0; s < active; ++s) {
        const TextureCombinerStage& stage = m_stages[s];
        const int fields[] = {stage.colorArg1, stage.colorArg2, stage.colorArg3,
                              stage.alphaArg1, stage.alphaArg2, stage.alphaArg3,
                              stage.colorOp,   stage.alphaOp,   stage.result};
        for (int field : fields) key += char(field);
        key += char(samplers[s]);
    }
    key += char(fog);
    CachedProgram& cached = m_programs[key];
    if (!cached.program) {
        const std::string text = combinerProgramText(m_stages, active, samplers, fog);
        cached.program = std::make_unique<ProgramGL>(GL_FRAGMENT_PROGRAM_ARB, text.c_str());
    }
    bindProgramGL(GL_FRAGMENT_PROGRAM_ARB, cached.program->name());
    GL_CHECK(glEnable(GL_FRAGMENT_PROGRAM_ARB));
    // Local parameters belong to the program, so one loaded with this factor
    // still has it.
    if (cached.loaded && cached.factor.r == m_factor.r && cached.factor.g == m_factor.g &&
        cached.factor.b == m_factor.b && cached.factor.a == m_factor.a)
        return;
    const GLfloat factor[4] = {m_factor.r, m_factor.g, m_factor.b, m_factor.a};
    GL_CHECK(gl().glProgramLocalParameter4fvARB(GL_FRAGMENT_PROGRAM_ARB, 0, factor));
    cached.loaded = true;
    cached.factor = m_factor;
}

std::unique_ptr<CombinersGL> makeCombinersGL(RenderMachineGL& machine) {
    return std::make_unique<CombinersGL>(machine);
}

void resetCombinersGL(CombinersGL& combiners) { combiners.reset(); }

void setCombinerStageGL(CombinersGL& combiners, int stage, const TextureCombinerStage& descriptor) {
    combiners.setStage(stage, descriptor);
}

void setTextureFactorGL(CombinersGL& combiners, const Color& color) { combiners.setFactor(color); }

int maxCombinerStagesGL(const CombinersGL&) { return kMaxCombinerStages; }

void applyCombinersGL(CombinersGL& combiners) { combiners.apply(); }

}  // namespace Vexa
