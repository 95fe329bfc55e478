#pragma once
// Texture combiners of the OpenGL back end, reproduced with ARB fragment
// programs.
//
// The model is a set of general combiner stages over registers: spare 0 (the
// running result, starting as the primary colour), spare 1 (the temporary
// register, starting as zero), the primary and secondary colours, the texture
// of unit s (white when the unit has no texture) and constant colour 0 (the
// texture factor). Stage s reads every register before it writes its result,
// clamps it to [-1, 1] and stores colour and alpha in spare 0 or spare 1.
// The fragment colour is spare 0 plus the secondary colour, clamped to
// [0, 1]; fog is applied by the program's fog option.
//
// Only the leading enabled stages count; with none, no program is bound and
// the per-unit modulate environment applies.
#include <map>
#include <memory>
#include <string>

#include "Rendering/Common/RenderMachine.h"
#include "Rendering/OpenGL/ProgramsGL.h"

namespace Vexa {

class RenderMachineGL;

constexpr int kMaxCombinerStages = 8;

// How a unit's texture is sampled.
enum class SamplerGL { None, Texture2D, Rectangle, Cube };
// The fog equation the program applies, if any.
enum class ProgramFogGL { None, Linear, Exp, Exp2 };

// Fails with "Invalid combiner stage source", "Invalid combiner stage rgb
// operation" or "Invalid combiner stage alpha operation".
void validateCombinerStage(const TextureCombinerStage& stage);

// Leading enabled stages among `count`.
int activeCombinerStages(const TextureCombinerStage* stages, int count);

// The program text for the first `count` stages (all taken as enabled) with
// the texture of unit s sampled as samplers[s].
std::string combinerProgramText(const TextureCombinerStage* stages, int count,
                                const SamplerGL samplers[kMaxCombinerStages], ProgramFogGL fog);

class CombinersGL {
public:
    explicit CombinersGL(RenderMachineGL& machine) : m_machine(machine) {}

    void reset();
    void setStage(int stage, const TextureCombinerStage& descriptor);
    void setFactor(const Color& color) { m_factor = color; }
    void apply();

    // Programs compiled so far, one per distinct stage set, sampler set and
    // fog equation.
    size_t cachedPrograms() const { return m_programs.size(); }

private:
    RenderMachineGL& m_machine;
    TextureCombinerStage m_stages[kMaxCombinerStages];
    Color m_factor{1, 1, 1, 1};
    // A program and the texture factor last loaded into its local parameter.
    struct CachedProgram {
        std::unique_ptr<ProgramGL> program;
        bool loaded = false;
        Color factor;
    };
    std::map<std::string, CachedProgram> m_programs;
    std::string m_key;  // reused so that a draw allocates nothing
};

}  // namespace Vexa
