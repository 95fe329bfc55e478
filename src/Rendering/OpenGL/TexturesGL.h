#pragma once
// What the OpenGL machine needs from the texture, image-loader and combiner
// units (TextureGL, ImageLoaderIL, CombinersGL). The machine calls only these
// functions; the units that define them reach back into the machine through
// the public part of RenderMachineGL marked "for textures and combiners":
// the shared stage table (stage(i).texture, the s/t scales), unit selection,
// the texture-scale setter that reloads the unit's texture matrix, and
// whether a script pixel shader is bound.
#include <memory>

#include "Rendering/Common/RenderMachine.h"

namespace Vexa {

class RenderMachineGL;

// A 2D texture for power-of-two sizes, otherwise a rectangle texture (more
// than one level then fails with "NPOTD texture cannot have mipmaps.").
std::unique_ptr<Texture> makeTextureGL(RenderMachineGL& machine, int width, int height,
                                       unsigned format, int levels);
std::unique_ptr<Texture> makeCubeTextureGL(RenderMachineGL& machine, int edge, unsigned format,
                                           int levels);
std::unique_ptr<ImageLoader> makeImageLoaderGL(RenderMachineGL& machine);

// setTexture: a null texture disables, on the stage's unit, the target of
// the texture recorded at the stage; otherwise binds the texture there and
// enables its target. The machine has already checked nothing; stages at or
// above the unit count fail with "texNum >= maxTextureUnits".
void setTextureGL(RenderMachineGL& machine, int stage, Texture* texture);

// Copies the lower-left width x height pixels of the framebuffer bound for
// reading into level 0 of `texture` (a texture target's present), keeping
// the texture bindings of every unit as they were.
void copyFramebufferToTextureGL(RenderMachineGL& machine, Texture& texture, int width, int height);

// The texture combiners, emulated with fragment programs. One instance per
// machine, made in the machine's constructor (no OpenGL calls there).
class CombinersGL;
std::unique_ptr<CombinersGL> makeCombinersGL(RenderMachineGL& machine);

// Device reset: every stage disabled, constant colours to (1, 1, 1, 1).
void resetCombinersGL(CombinersGL& combiners);
void setCombinerStageGL(CombinersGL& combiners, int stage, const TextureCombinerStage& descriptor);
void setTextureFactorGL(CombinersGL& combiners, const Color& color);
int maxCombinerStagesGL(const CombinersGL& combiners);
// Called before every draw while no script pixel shader is bound: binds and
// enables the emulating fragment program when a stage is enabled, otherwise
// disables GL_FRAGMENT_PROGRAM_ARB. Binding goes through bindProgramGL
// (ProgramsGL.h) so the machine's record of the bound program stays true.
void applyCombinersGL(CombinersGL& combiners);

}  // namespace Vexa
