#include "Rendering/OpenGL/RenderMachineGL.h"

#include <algorithm>
#include <cstring>

#include "Parser/Exceptions.h"
#include "Platform/SdlWindow.h"
#include "Rendering/OpenGL/CombinersGL.h"
#include "Rendering/OpenGL/ExtensionsGL.h"
#include "Rendering/OpenGL/ProgramsGL.h"
#include "Rendering/OpenGL/StateGL.h"
#include "Rendering/OpenGL/TargetsGL.h"
#include "Rendering/OpenGL/UtilsGL.h"

namespace Vexa {

static const char* const kUnit = "Rendering/OpenGL/RenderMachineGL";

namespace {

void* procAddress(const char* name) { return glProcAddress(name); }

void enableGL(GLenum capability, bool enable) {
    if (enable)
        GL_CHECK(glEnable(capability));
    else
        GL_CHECK(glDisable(capability));
}

const GLfloat kUnitRows[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
const GLenum kTexGenCoordinates[4] = {GL_S, GL_T, GL_R, GL_Q};

const bool s_registered = registerRenderMachine(
    "gl", []() -> std::unique_ptr<RenderMachine> { return std::make_unique<RenderMachineGL>(); });

}  // namespace

RenderMachineGL::RenderMachineGL() : m_combiners(makeCombinersGL(*this)) { (void)s_registered; }

RenderMachineGL::~RenderMachineGL() = default;

Window* RenderMachineGL::createWindow(const WindowParameters& parameters) {
    return new RenderWindowSDL(parameters);
}

TextureTarget* RenderMachineGL::createTextureTarget(int width, int height, unsigned format,
                                                    Texture** texture) {
    std::unique_ptr<Texture> made(createTexture(width, height, format, 1, true));
    auto target = std::make_unique<TextureTargetGL>(*this, width, height, made.get());
    if (texture) *texture = made.release();
    return target.release();
}

RenderMemory* RenderMachineGL::createRenderMemory(int width, int height, uint8_t* buffer) {
    return new RenderMemoryGL(width, height, buffer);
}

// Records the viewport's pixel size, makes its target current and sets the
// device viewport; the first call first resets the device, because only now
// is there a context to talk to (and to fetch entry points from).
void RenderMachineGL::setViewport(const Viewport& viewport) {
    if (!viewport.target) VEXA_THROW(RenderMachineException, "setViewport: no render target.");
    RenderTarget* const target = viewport.target;
    const ViewportPixels pixels = mapViewport(viewport, target->getWidth(), target->getHeight());
    m_viewportWidth = pixels.width;
    m_viewportHeight = pixels.height;
    target->makeCurrent(this);
    if (!m_initialized) resetDevice();
    if (target->isWindow()) bindWindowFramebufferGL();
    GL_CHECK(glViewport(pixels.x, pixels.y, pixels.width, pixels.height));
    GL_CHECK(glScissor(pixels.x, pixels.y, pixels.width, pixels.height));
}

void RenderMachineGL::resetDevice() {
    loadExtensionsGL(procAddress);
    for (unsigned kind = MATRIX_PROJECTION; kind <= MATRIX_WORLD; ++kind)
        m_matrices.set(kind, Matrix::identity());
    GL_CHECK(glMatrixMode(GL_PROJECTION));
    GL_CHECK(glLoadIdentity());
    GL_CHECK(glMatrixMode(GL_MODELVIEW));
    GL_CHECK(glLoadIdentity());
    GL_CHECK(glDisable(GL_LIGHTING));
    GL_CHECK(glDisable(GL_CULL_FACE));
    m_culling = false;
    GL_CHECK(glCullFace(GL_BACK));
    for (int unit = 0; unit < maxTextureUnits(); ++unit) {
        selectUnit(unit);
        GL_CHECK(glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE));
        for (int i = 0; i < 4; ++i) {
            GL_CHECK(glTexGenfv(kTexGenCoordinates[i], GL_OBJECT_PLANE, kUnitRows[i]));
            GL_CHECK(glTexGenfv(kTexGenCoordinates[i], GL_EYE_PLANE, kUnitRows[i]));
        }
        m_stages[unit].matrix = Matrix::identity();
        m_stages[unit].sScale = 1;
        m_stages[unit].tScale = 1;
        loadTextureMatrix(unit);
    }
    selectUnit(0);
    m_arrays.reset();
    resetProgramBindingsGL();
    resetCombinersGL(*m_combiners);
    setDefaultState();
    m_initialized = true;
}

int RenderMachineGL::maxTextureUnits() const {
    return std::min(gl().maxTextureUnits, kMaxTextureStages);
}

void RenderMachineGL::selectUnit(int stage) {
    GL_CHECK(gl().glActiveTextureARB(GL_TEXTURE0_ARB + static_cast<GLenum>(stage)));
}

void RenderMachineGL::checkStage(int stage) const {
    if (stage < 0 || stage >= maxTextureUnits())
        VEXA_THROW(RenderMachineException, "texNum >= maxTextureUnits");
}

void RenderMachineGL::setTextureScale(int stage, float s, float t) {
    checkStage(stage);
    TextureStageGL& entry = m_stages[stage];
    if (entry.sScale == s && entry.tScale == t) return;
    entry.sScale = s;
    entry.tScale = t;
    loadTextureMatrix(stage);
}

// The unit's texture matrix is the stored one with its first row scaled by
// s and its second by t, so rectangle textures see coordinates in texels.
void RenderMachineGL::loadTextureMatrix(int stage) {
    const TextureStageGL& entry = m_stages[stage];
    Matrix loaded = entry.matrix;
    for (int column = 0; column < 4; ++column) {
        loaded.at(0, column) *= entry.sScale;
        loaded.at(1, column) *= entry.tScale;
    }
    selectUnit(stage);
    GL_CHECK(glMatrixMode(GL_TEXTURE));
    GL_CHECK(glLoadMatrixf(loaded.m));
    GL_CHECK(glMatrixMode(GL_MODELVIEW));
}

void RenderMachineGL::loadModelview() {
    const Matrix modelview = m_matrices.modelview();
    GL_CHECK(glMatrixMode(GL_MODELVIEW));
    GL_CHECK(glLoadMatrixf(modelview.m));
}

VertexDeclaration* RenderMachineGL::createVertexDeclaration() { return new VertexDeclaration(); }

VertexStream* RenderMachineGL::createVertexStream(int count, int stride, unsigned usage) {
    return makeVertexStreamGL(count, stride, usage).release();
}

void RenderMachineGL::setVertexStream(VertexStream* stream, int index) {
    if (index < 0 || index >= kMaxVertexStreams)
        VEXA_THROW(RenderMachineException, "setVertexStream: invalid stream index.");
    m_streams[index] = static_cast<VertexStreamGL*>(stream);
}

void RenderMachineGL::setVertexDeclaration(VertexDeclaration* declaration) {
    m_declaration = declaration;
}

IndexStream* RenderMachineGL::createIndexStream(int count, int format) {
    return new IndexStreamGL(count, format);
}

void RenderMachineGL::setIndexStream(IndexStream* stream) {
    m_indexStream = static_cast<IndexStreamGL*>(stream);
}

void RenderMachineGL::applyFrontStencil() {
    GL_CHECK(glStencilOp(m_stencilOps[0], m_stencilOps[1], m_stencilOps[2]));
    GL_CHECK(glStencilFunc(m_stencilFunc, m_stencilRef, m_stencilMask));
}

void RenderMachineGL::applyBackStencil() {
    GL_CHECK(glStencilOp(m_stencilOpsBack[0], m_stencilOpsBack[1], m_stencilOpsBack[2]));
    GL_CHECK(glStencilFunc(m_stencilFuncBack, m_stencilRef, m_stencilMask));
}

// Two-sided stencil is done with two culled passes: clockwise faces with the
// front operations, counter-clockwise ones with the back operations. When the
// caller already culls, only the faces that survive are drawn, with the
// operations of their side.
template <typename Draw>
void RenderMachineGL::drawWithState(int baseVertex, Draw&& draw) {
    static const VertexDeclaration kEmpty;
    m_arrays.bind(m_declaration ? *m_declaration : kEmpty, m_streams, baseVertex);
    if (const ProgramGL* pixelShader = programInUseGL(GL_FRAGMENT_PROGRAM_ARB)) {
        useProgramGL(GL_FRAGMENT_PROGRAM_ARB, pixelShader);
    } else {
        applyCombinersGL(*m_combiners);
    }
    if (!(m_twoSided && m_stencilTest)) {
        draw();
        return;
    }
    if (!m_culling) {
        GL_CHECK(glEnable(GL_CULL_FACE));
        GL_CHECK(glFrontFace(GL_CW));
        draw();
        GL_CHECK(glFrontFace(GL_CCW));
        applyBackStencil();
        draw();
        applyFrontStencil();
        GL_CHECK(glDisable(GL_CULL_FACE));
        GL_CHECK(glFrontFace(m_frontFace));
    } else if (m_frontFace == GL_CCW) {
        applyBackStencil();
        draw();
        applyFrontStencil();
    } else {
        draw();
    }
}

void RenderMachineGL::drawPrimitive(unsigned type, int firstVertex, int primitiveCount) {
    const GLenum mode = primitiveModeGL(type);
    const GLsizei vertices = primitiveCount2VertexCount(type, primitiveCount);
    drawWithState(0, [&] { GL_CHECK(glDrawArrays(mode, firstVertex, vertices)); });
}

// Only the type and the primitive count matter: indices are read from the
// start of the index stream, relative to the first vertex of the streams.
// Draws from the index stream's entry `firstIndex` on, so that a part of a
// mesh can be drawn by range.
void RenderMachineGL::drawIndexedPrimitive(unsigned type, int, int, int, int firstIndex,
                                           int primitiveCount) {
    const GLenum mode = primitiveModeGL(type);
    const GLsizei vertices = primitiveCount2VertexCount(type, primitiveCount);
    if (!m_indexStream)
        VEXA_THROW(RenderMachineException, "drawIndexedPrimitive: no index stream.");
    const IndexStreamGL* const indices = m_indexStream;
    const auto* first = static_cast<const uint8_t*>(indices->data()) +
                        static_cast<std::ptrdiff_t>(firstIndex) * indices->indexSize();
    drawWithState(0,
                  [&] { GL_CHECK(glDrawElements(mode, vertices, indices->indexType(), first)); });
}

void RenderMachineGL::setTextureCoordGen(int stage, int mode) {
    const TexGenGL& generation = texGenGL(mode);
    checkStage(stage);
    selectUnit(stage);
    const GLint modes[3] = {generation.s, generation.t, generation.r};
    const GLenum capabilities[3] = {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R};
    for (int i = 0; i < 3; ++i) {
        if (generation.enabled && modes[i] != 0)
            GL_CHECK(glTexGeni(kTexGenCoordinates[i], GL_TEXTURE_GEN_MODE, modes[i]));
        enableGL(capabilities[i], generation.enabled);
    }
}

void RenderMachineGL::setMaterial(const Color* diffuse, const Color* ambient, const Color* specular,
                                  float power, const Color* emissive) {
    if (ambient) GL_CHECK(glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, &ambient->r));
    if (diffuse) GL_CHECK(glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, &diffuse->r));
    if (specular) GL_CHECK(glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, &specular->r));
    if (emissive) GL_CHECK(glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, &emissive->r));
    GL_CHECK(glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, std::clamp(power, 0.0f, 128.0f)));
}

void RenderMachineGL::setShadeMode(bool smooth) {
    GL_CHECK(glShadeModel(smooth ? GL_SMOOTH : GL_FLAT));
}

void RenderMachineGL::setSpecularSeparate(bool separate) {
    GL_CHECK(glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL,
                           separate ? GL_SEPARATE_SPECULAR_COLOR : GL_SINGLE_COLOR));
}

void RenderMachineGL::setFog(bool enable) {
    GL_CHECK(glFogi(GL_FOG_COORDINATE_SOURCE_EXT, GL_FRAGMENT_DEPTH_EXT));
    enableGL(GL_FOG, enable);
}

void RenderMachineGL::setFogRangeBased(bool rangeBased) {
    GL_CHECK(
        glFogi(GL_FOG_DISTANCE_MODE_NV, rangeBased ? GL_EYE_RADIAL_NV : GL_EYE_PLANE_ABSOLUTE_NV));
}

void RenderMachineGL::setFogColor(const Color* color) {
    GL_CHECK(glFogfv(GL_FOG_COLOR, &color->r));
}

void RenderMachineGL::setFogMode(int mode) {
    GL_CHECK(glFogi(GL_FOG_MODE, static_cast<GLint>(fogModeGL(mode))));
}

void RenderMachineGL::enableFogVertexMode(bool) {
    VEXA_THROW(Exception, "enableFogVertexMode: what should I do???");
}

void RenderMachineGL::setFogParameters(float start, float end, float density) {
    GL_CHECK(glFogf(GL_FOG_START, start));
    GL_CHECK(glFogf(GL_FOG_END, end));
    GL_CHECK(glFogf(GL_FOG_DENSITY, density));
}

void RenderMachineGL::setLighting(bool enable) { enableGL(GL_LIGHTING, enable); }

void RenderMachineGL::setColorMaterialEnable(bool enable) { enableGL(GL_COLOR_MATERIAL, enable); }

void RenderMachineGL::setAmbientLight(const Color* color) {
    GL_CHECK(glLightModelfv(GL_LIGHT_MODEL_AMBIENT, &color->r));
}

void RenderMachineGL::setLocalViewer(bool enable) {
    GL_CHECK(glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, enable));
}

void RenderMachineGL::setNormalize(bool enable) { enableGL(GL_NORMALIZE, enable); }

void RenderMachineGL::setLightEnable(int light, bool enable) {
    enableGL(GL_LIGHT0 + static_cast<GLenum>(light), enable);
}

// Point and spot lights sit at their position (w = 1); a directional light
// shines along its direction, so OpenGL gets the way back to the light with
// w = 0. Only spot lights narrow their cone.
void RenderMachineGL::setLight(int index, const LightDesc* description) {
    const GLenum light = GL_LIGHT0 + static_cast<GLenum>(index);
    const LightDesc& d = *description;
    GL_CHECK(glLightfv(light, GL_AMBIENT, &d.ambient.r));
    GL_CHECK(glLightfv(light, GL_DIFFUSE, &d.diffuse.r));
    GL_CHECK(glLightfv(light, GL_SPECULAR, &d.specular.r));
    GLfloat position[4] = {d.position[0], d.position[1], d.position[2], 1};
    if (d.type == DIRECTIONAL_LIGHT) {
        position[0] = -d.direction[0];
        position[1] = -d.direction[1];
        position[2] = -d.direction[2];
        position[3] = 0;
    }
    GL_CHECK(glLightfv(light, GL_POSITION, position));
    if (d.type == SPOT_LIGHT) {
        GL_CHECK(glLightfv(light, GL_SPOT_DIRECTION, d.direction));
        GL_CHECK(glLightf(light, GL_SPOT_EXPONENT, d.spotExponent));
        GL_CHECK(glLightf(light, GL_SPOT_CUTOFF, d.spotCutoff));
    } else {
        GL_CHECK(glLightf(light, GL_SPOT_EXPONENT, 0));
        GL_CHECK(glLightf(light, GL_SPOT_CUTOFF, 180));
    }
    GL_CHECK(glLightf(light, GL_CONSTANT_ATTENUATION, d.attenuation0));
    GL_CHECK(glLightf(light, GL_LINEAR_ATTENUATION, d.attenuation1));
    GL_CHECK(glLightf(light, GL_QUADRATIC_ATTENUATION, d.attenuation2));
}

int RenderMachineGL::getMaxLights() {
    GLint lights = 0;
    GL_CHECK(glGetIntegerv(GL_MAX_LIGHTS, &lights));
    return lights;
}

void RenderMachineGL::setColorMaterial(unsigned source) {
    const GLenum mode = colorMaterialGL(source);
    if (mode == 0) {
        GL_CHECK(glDisable(GL_COLOR_MATERIAL));
        return;
    }
    GL_CHECK(glColorMaterial(GL_FRONT_AND_BACK, mode));
    GL_CHECK(glEnable(GL_COLOR_MATERIAL));
}

VertexShader* RenderMachineGL::createVertexShader(const char* text) {
    return new VertexShaderGL(text);
}

void RenderMachineGL::setVertexShader(VertexShader* shader) {
    useProgramGL(GL_VERTEX_PROGRAM_ARB,
                 shader ? &static_cast<VertexShaderGL*>(shader)->program() : nullptr);
}

void RenderMachineGL::setVertexConstantF(int first, const float* values, int count) {
    for (int i = 0; i < count; ++i)
        GL_CHECK(gl().glProgramEnvParameter4fvARB(GL_VERTEX_PROGRAM_ARB,
                                                  static_cast<GLuint>(first + i), values + 4 * i));
}

void RenderMachineGL::setVertexConstantB(int, const int*, int) {
    VEXA_THROW(Exception, "RenderMachineGL::setVertexConstantB: Not supported");
}

void RenderMachineGL::setVertexConstantI(int, const int*, int) {
    VEXA_THROW(Exception, "RenderMachineGL::setVertexConstantI: Not supported");
}

void RenderMachineGL::setVertexConstantMatrix(int first, int selector) {
    const Matrix rows = m_matrices.vertexProgramMatrix(selector);
    setVertexConstantF(first, rows.m, 4);
}

PixelShader* RenderMachineGL::createPixelShader(const char* text) {
    if (!gl().hasFragmentPrograms)
        VEXA_THROW(RenderMachineException,
                   "RenderMachineGL::createPixelShader: Pixel shaders not supported! ");
    return new PixelShaderGL(text);
}

bool RenderMachineGL::pixelShaderActive() const {
    return programInUseGL(GL_FRAGMENT_PROGRAM_ARB) != nullptr;
}

// A null shader hands the fragment stage back to the combiners, which
// decide at the next draw whether their own program runs.
void RenderMachineGL::setPixelShader(PixelShader* shader) {
    useProgramGL(GL_FRAGMENT_PROGRAM_ARB,
                 shader ? &static_cast<PixelShaderGL*>(shader)->program() : nullptr);
}

void RenderMachineGL::setPixelConstantF(int first, const float* values, int count) {
    for (int i = 0; i < count; ++i)
        GL_CHECK(gl().glProgramEnvParameter4fvARB(GL_FRAGMENT_PROGRAM_ARB,
                                                  static_cast<GLuint>(first + i), values + 4 * i));
}

void RenderMachineGL::setPixelConstantB(int, const int*, int) {
    VEXA_THROW(Exception, "RenderMachineGL::setPixelConstantB: Not supported");
}

void RenderMachineGL::setPixelConstantI(int, const int*, int) {
    VEXA_THROW(Exception, "RenderMachineGL::setPixelConstantI: Not supported");
}

Texture* RenderMachineGL::createTexture(int width, int height, unsigned format, int mipLevels,
                                        bool) {
    return makeTextureGL(*this, width, height, format, mipLevels).release();
}

Texture* RenderMachineGL::createCubeTexture(int edge, unsigned format, int mipLevels, int) {
    return makeCubeTextureGL(*this, edge, format, mipLevels).release();
}

int RenderMachineGL::getMaxTextureUnits() { return maxTextureUnits(); }

void RenderMachineGL::setTexture(int stage, Texture* texture) {
    setTextureGL(*this, stage, texture);
}

int RenderMachineGL::getMaxCombinerStages() { return maxCombinerStagesGL(*m_combiners); }

void RenderMachineGL::setCombinerStage(int stage, const TextureCombinerStage* descriptor) {
    setCombinerStageGL(*m_combiners, stage, *descriptor);
}

void RenderMachineGL::setTextureFactor(const Color* color) {
    setTextureFactorGL(*m_combiners, *color);
}

void RenderMachineGL::setDepthTest(bool enable) { enableGL(GL_DEPTH_TEST, enable); }

void RenderMachineGL::setDepthWrite(bool enable) {
    GL_CHECK(glDepthMask(enable ? GL_TRUE : GL_FALSE));
}

void RenderMachineGL::setDepthFunc(int func) { GL_CHECK(glDepthFunc(compareFuncGL(func))); }

// The offset only acts while polygon offsetting is on, so a bias of zero
// switches it off.
void RenderMachineGL::setDepthBias(float constant, float linear) {
    GL_CHECK(glPolygonOffset(linear, constant));
    const bool on = constant != 0 || linear != 0;
    enableGL(GL_POLYGON_OFFSET_FILL, on);
    enableGL(GL_POLYGON_OFFSET_LINE, on);
    enableGL(GL_POLYGON_OFFSET_POINT, on);
}

void RenderMachineGL::setFillMode(int mode) {
    GL_CHECK(glPolygonMode(GL_FRONT_AND_BACK, fillModeGL(mode)));
}

void RenderMachineGL::setAlphaTest(bool enable) { enableGL(GL_ALPHA_TEST, enable); }

void RenderMachineGL::setAlphaFunc(int func, float reference) {
    GL_CHECK(glAlphaFunc(compareFuncGL(func), reference));
}

void RenderMachineGL::setBlend(bool enable) { enableGL(GL_BLEND, enable); }

void RenderMachineGL::setBlendFunc(int source, int destination) {
    const GLenum sourceFactor = blendFactorGL(source);
    GL_CHECK(glBlendFunc(sourceFactor, blendFactorGL(destination)));
}

void RenderMachineGL::setBlendOperation(int operation) {
    GL_CHECK(gl().glBlendEquationEXT(blendOperationGL(operation)));
}

void RenderMachineGL::setBlendColor(const Color* color) {
    GL_CHECK(gl().glBlendColorEXT(color->r, color->g, color->b, color->a));
}

void RenderMachineGL::setCulling(bool enable) {
    m_culling = enable;
    enableGL(GL_CULL_FACE, enable);
}

void RenderMachineGL::setCullingMode(int mode) {
    m_frontFace = frontFaceGL(mode);
    GL_CHECK(glFrontFace(m_frontFace));
}

void RenderMachineGL::setClipPlanes(bool enable) {
    if (enable == m_clipPlanes) return;
    m_clipPlanes = enable;
    for (int plane = 0; plane < 8; ++plane)
        if (m_clipPlaneMask & (1u << plane))
            enableGL(GL_CLIP_PLANE0 + static_cast<GLenum>(plane), enable);
}

// Exactly the planes whose bits changed are switched, whatever the master
// switch says.
void RenderMachineGL::setClipPlaneMask(unsigned mask) {
    const unsigned changed = (mask ^ m_clipPlaneMask) & 0xffu;
    m_clipPlaneMask = mask;
    for (int plane = 0; plane < 8; ++plane)
        if (changed & (1u << plane))
            enableGL(GL_CLIP_PLANE0 + static_cast<GLenum>(plane), (mask & (1u << plane)) != 0);
}

void RenderMachineGL::setClipPlane(int index, const Plane* plane) {
    const GLdouble equation[4] = {plane->a, plane->b, plane->c, plane->d};
    GL_CHECK(glClipPlane(GL_CLIP_PLANE0 + static_cast<GLenum>(index), equation));
}

void RenderMachineGL::setStencilTest(bool enable) {
    m_stencilTest = enable;
    enableGL(GL_STENCIL_TEST, enable);
}

void RenderMachineGL::setTwoSidedStencil(bool enable) { m_twoSided = enable; }

void RenderMachineGL::setStencilOp(unsigned fail, unsigned depthFail, unsigned pass) {
    const GLenum ops[3] = {stencilOpGL(fail), stencilOpGL(depthFail), stencilOpGL(pass)};
    std::copy(ops, ops + 3, m_stencilOps);
    GL_CHECK(glStencilOp(ops[0], ops[1], ops[2]));
}

void RenderMachineGL::setStencilFunc(int func) {
    m_stencilFunc = compareFuncGL(func);
    GL_CHECK(glStencilFunc(m_stencilFunc, m_stencilRef, m_stencilMask));
}

void RenderMachineGL::setStencilOpBack(unsigned fail, unsigned depthFail, unsigned pass) {
    const GLenum ops[3] = {stencilOpGL(fail), stencilOpGL(depthFail), stencilOpGL(pass)};
    std::copy(ops, ops + 3, m_stencilOpsBack);
}

void RenderMachineGL::setStencilFuncBack(int func) { m_stencilFuncBack = compareFuncGL(func); }

void RenderMachineGL::setStencilRef(int reference) {
    m_stencilRef = reference;
    GL_CHECK(glStencilFunc(m_stencilFunc, m_stencilRef, m_stencilMask));
}

void RenderMachineGL::setStencilMask(unsigned mask) {
    m_stencilMask = mask;
    GL_CHECK(glStencilFunc(m_stencilFunc, m_stencilRef, m_stencilMask));
}

void RenderMachineGL::setStencilWriteMask(unsigned mask) { GL_CHECK(glStencilMask(mask)); }

void RenderMachineGL::setPointSprite(bool enable) {
    if (!enable) {
        GL_CHECK(glDisable(GL_POINT_SPRITE_ARB));
        return;
    }
    GL_CHECK(glEnable(GL_POINT_SPRITE_ARB));
    selectUnit(0);
    GL_CHECK(glTexEnvi(GL_POINT_SPRITE_ARB, GL_COORD_REPLACE_ARB, GL_TRUE));
}

void RenderMachineGL::setPointScaleEnable(bool enable) {
    if (enable == m_pointScale) return;
    m_pointScale = enable;
    static const GLfloat kNoAttenuation[3] = {1, 0, 0};
    GL_CHECK(gl().glPointParameterfvEXT(GL_DISTANCE_ATTENUATION_EXT,
                                        enable ? m_pointScaleCoefficients : kNoAttenuation));
}

// Sizes are in units of the viewport height; a size that comes out as no
// pixels at all leaves the device's size as it was.
void RenderMachineGL::setPointSize(float size) {
    const float pixels = pointSizePixels(size, m_viewportHeight);
    if (pixels > 0) GL_CHECK(glPointSize(pixels));
}

void RenderMachineGL::setPointSizeMin(float size) {
    GL_CHECK(gl().glPointParameterfEXT(GL_POINT_SIZE_MIN_EXT, size));
}

void RenderMachineGL::setPointSizeMax(float size) {
    GL_CHECK(gl().glPointParameterfEXT(GL_POINT_SIZE_MAX_EXT, size));
}

void RenderMachineGL::setPointScale(float constant, float linear, float quadratic) {
    m_pointScaleCoefficients[0] = constant;
    m_pointScaleCoefficients[1] = linear;
    m_pointScaleCoefficients[2] = quadratic;
    if (m_pointScale)
        GL_CHECK(gl().glPointParameterfvEXT(GL_DISTANCE_ATTENUATION_EXT, m_pointScaleCoefficients));
}

void RenderMachineGL::clear(unsigned flags, const Color* color, float depth, int stencil) {
    GLbitfield buffers = 0;
    if ((flags & CLEAR_COLOR) && color) {
        GL_CHECK(glClearColor(color->r, color->g, color->b, color->a));
        buffers |= GL_COLOR_BUFFER_BIT;
    }
    if (flags & CLEAR_DEPTH) {
        GL_CHECK(glClearDepth(depth));
        buffers |= GL_DEPTH_BUFFER_BIT;
    }
    if (flags & CLEAR_STENCIL) {
        GL_CHECK(glClearStencil(stencil));
        buffers |= GL_STENCIL_BUFFER_BIT;
    }
    if (buffers) GL_CHECK(glClear(buffers));
}

void RenderMachineGL::readPixels(void* destination, int x, int y, int width, int height) {
    GL_CHECK(glPixelStorei(GL_PACK_ALIGNMENT, 4));
    GL_CHECK(glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, destination));
}

const Matrix* RenderMachineGL::getMatrix(unsigned kind) { return &m_matrices.get(kind); }

void RenderMachineGL::setMatrix(const Matrix* matrix, unsigned kind) {
    m_matrices.set(kind, *matrix);
    if (kind == MATRIX_PROJECTION) {
        GL_CHECK(glMatrixMode(GL_PROJECTION));
        GL_CHECK(glLoadMatrixf(matrix->m));
        GL_CHECK(glMatrixMode(GL_MODELVIEW));
    } else {
        loadModelview();
    }
}

void RenderMachineGL::multMatrix(const Matrix* matrix, unsigned kind) {
    m_matrices.mult(kind, *matrix);
    if (kind == MATRIX_PROJECTION) {
        GL_CHECK(glMatrixMode(GL_PROJECTION));
        GL_CHECK(glLoadMatrixf(m_matrices.get(kind).m));
        GL_CHECK(glMatrixMode(GL_MODELVIEW));
    } else {
        loadModelview();
    }
}

void RenderMachineGL::setTextureMatrix(int stage, const Matrix* matrix) {
    checkStage(stage);
    // The unit already holds exactly this matrix: materials set and restore
    // the same ones around every draw.
    if (std::memcmp(matrix->m, m_stages[stage].matrix.m, sizeof matrix->m) == 0) return;
    m_stages[stage].matrix = *matrix;
    loadTextureMatrix(stage);
}

void RenderMachineGL::multTextureMatrix(int stage, const Matrix* matrix) {
    checkStage(stage);
    m_stages[stage].matrix = multiply(m_stages[stage].matrix, *matrix);
    loadTextureMatrix(stage);
}

void RenderMachineGL::setColorWriteMask(bool red, bool green, bool blue, bool alpha) {
    GL_CHECK(glColorMask(red, green, blue, alpha));
}

void RenderMachineGL::setScissorTest(bool enable) { enableGL(GL_SCISSOR_TEST, enable); }

void RenderMachineGL::setPerspectiveHint(bool nicest) {
    GL_CHECK(glHint(GL_PERSPECTIVE_CORRECTION_HINT, nicest ? GL_NICEST : GL_FASTEST));
}

ImageLoader* RenderMachineGL::createImageLoader() { return makeImageLoaderGL(*this).release(); }

RenderState* RenderMachineGL::createState() {
    if (!m_stateNames) m_stateNames = std::make_unique<StateNamesGL>();
    auto state = std::make_unique<RenderStateGL>(*m_stateNames);
    state->capture();
    return state.release();
}

void RenderMachineGL::captureState(RenderState* state) {
    if (state) state->capture();
}

}  // namespace Vexa
